// The SVG picture as viewers show it: rasterised by librsvg (what Debian's
// image viewers and thumbnailers use) and by headless Chromium, and measured
// by pixels. A test is skipped only where a viewer cannot start.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbtext.h"
#include "host/render/svg.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

namespace {

using testutil::Image;
using testutil::shellQuote;

bool haveRsvg()
{
    std::string out;
    return testutil::run("rsvg-convert --version", out) == 0;
}

// Rasterises an SVG file with librsvg at its own size.
Image rsvgRaster(const testutil::TempDir& dir, const std::string& svg, const std::string& name)
{
    const std::string in = dir.file(name + ".svg"), out = dir.file(name + "-rsvg.png");
    testutil::writeFile(in, svg);
    std::string log;
    EXPECT_EQ(testutil::run("timeout 60 rsvg-convert " + shellQuote(in) + " -o " + shellQuote(out), log), 0) << log;
    Image img;
    EXPECT_TRUE(testutil::readPng(out, img)) << out;
    return img;
}

// Where world points land in the picture: its pixel size over its viewBox.
struct Placement {
    double scale = 1.0, left = 0.0, top = 0.0;
    int width = 0, height = 0;
    double px(double x) const { return (x - left) * scale; }
    double py(double y) const { return (top - y) * scale; }
};

Placement placementOf(const std::string& svg)
{
    std::smatch m;
    Placement p;
    if (!std::regex_search(svg, m, std::regex(R"re(width="(\d+)" height="(\d+)" viewBox="(\S+) (\S+) (\S+) (\S+)")re")))
        return p;
    p.width = std::stoi(m[1]);
    p.height = std::stoi(m[2]);
    p.scale = p.width / std::stod(m[5]);
    p.left = std::stod(m[3]);
    p.top = -std::stod(m[4]);
    return p;
}

bool isDark(std::uint32_t c)
{
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return r + g + b < 3 * 160;
}

// Dark pixels in column x between rows y0 and y1.
int darkInColumn(const Image& img, int x, int y0, int y1)
{
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(img.height, y1); ++y)
        n += isDark(img.at(x, y));
    return n;
}

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    bool empty() const { return x1 < 0; }
};

// Bounding box of the dark pixels.
Box darkBox(const Image& img)
{
    Box b;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (isDark(img.at(x, y))) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
            }
    return b;
}

AcDbPolyline* wire(double x0, double y, double x1, double width)
{
    auto* pl = new AcDbPolyline();
    pl->addVertexAt(0, AcGePoint2d(x0, y));
    pl->addVertexAt(1, AcGePoint2d(x1, y));
    pl->setConstantWidth(width);
    return pl;
}

TEST(RenderViewersTest, LibrsvgShowsHairlinesOnePixelAndWiresAtTheirWidth)
{
    if (!haveRsvg())
        GTEST_SKIP() << "rsvg-convert cannot start (librsvg2-bin is not installed)";
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    // At about 20 pixels per unit a unit-wide stroke would be a blob.
    ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(30, 0, 0)));
    ms->appendAcDbEntity(new AcDbCircle(AcGePoint3d(15, 10, 0), AcGeVector3d::kZAxis, 4));
    ms->appendAcDbEntity(wire(0, 20, 30, 0.3));
    ms->appendAcDbEntity(wire(0, 25, 30, 0.0));
    SvgOptions opt;
    opt.margin = 2;
    opt.maxPixels = 680;
    const std::string svg = renderSvg(db, opt);
    testutil::TempDir dir;
    const Image img = rsvgRaster(dir, svg, "lines");
    const Placement at = placementOf(svg);
    ASSERT_EQ(img.width, at.width);
    ASSERT_GT(at.scale, 15.0);
    const int column = static_cast<int>(at.px(7.3));
    const auto across = [&](double y) {
        const int row = static_cast<int>(std::lround(at.py(y)));
        return darkInColumn(img, column, row - 12, row + 12);
    };
    for (double y : {0.0, 25.0}) {
        const int n = across(y);
        EXPECT_GE(n, 1) << "hairline at y " << y;
        EXPECT_LE(n, 2) << "hairline at y " << y;
    }
    // The circle's hairline, crossed at its top.
    const int ring = darkInColumn(img, static_cast<int>(at.px(15)), static_cast<int>(at.py(14)) - 8,
                                  static_cast<int>(at.py(14)) + 8);
    EXPECT_GE(ring, 1);
    EXPECT_LE(ring, 2);
    // 0.3 units at this scale.
    EXPECT_NEAR(across(20.0), 0.3 * at.scale, 1.0);
}

TEST(RenderViewersTest, LibrsvgKeepsFittedAndAlignedTextsInsideTheirBoxes)
{
    if (!haveRsvg())
        GTEST_SKIP() << "rsvg-convert cannot start (librsvg2-bin is not installed)";
    struct Case {
        AcDb::TextHorzMode mode;
        const wchar_t* text;
        double length;
    };
    // Texts whose natural width is far from the span they are fitted to:
    // wider, narrower, and Chinese.
    for (const Case& c : {Case{AcDb::kTextFit, L"FITTED TEXT WIDE", 20.0}, Case{AcDb::kTextFit, L"ii", 30.0},
                          Case{AcDb::kTextAlign, L"ALIGNED 对齐", 25.0}, Case{AcDb::kTextFit, L"控制回路电源", 12.0}}) {
        AcDbDatabase db;
        auto* t = new AcDbText(AcGePoint3d(10, 10, 0), c.text, 3.0);
        t->setHorizontalMode(c.mode);
        t->setAlignmentPoint(AcGePoint3d(10 + c.length, 10, 0));
        AcDbInternals::modelSpace(db)->appendAcDbEntity(t);
        // Frame the text's box with margins; nothing else is drawn.
        SvgOptions opt;
        opt.margin = 10;
        opt.maxPixels = 600;
        const std::string svg = renderSvg(db, opt);
        testutil::TempDir dir;
        const Image img = rsvgRaster(dir, svg, "text");
        const Placement at = placementOf(svg);
        const Box ink = darkBox(img);
        ASSERT_FALSE(ink.empty()) << "no text drawn: " << svg;
        const double left = at.px(10), right = at.px(10 + c.length);
        // Inside the span, and filling most of it (the glyphs' side
        // bearings, stretched with them, leave some blank).
        EXPECT_GE(ink.x0, left - 2) << svg;
        EXPECT_LE(ink.x1, right + 2) << svg;
        EXPECT_GT(ink.x1 - ink.x0, 0.6 * (right - left)) << svg;
        // On the baseline, no taller than the (aligned: rescaled) height
        // with its descent.
        const TextLayout lay = layoutText(*t);
        EXPECT_LE(ink.y1, at.py(10 - lay.descent) + 2);
        EXPECT_GE(ink.y0, at.py(10 + 1.25 * lay.height) - 2);
    }
}

// Fraction of the dark pixels of either picture that have no dark pixel of
// the other within one pixel.
double darkMismatch(const Image& a, const Image& b, int width, int height)
{
    const auto darkNear = [](const Image& img, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int u = x + dx, v = y + dy;
                if (u >= 0 && v >= 0 && u < img.width && v < img.height && isDark(img.at(u, v)))
                    return true;
            }
        return false;
    };
    long dark = 0, lonely = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inA = isDark(a.at(x, y)), inB = isDark(b.at(x, y));
            if (!inA && !inB)
                continue;
            ++dark;
            lonely += (inA && !darkNear(b, x, y)) || (inB && !darkNear(a, x, y));
        }
    return dark ? static_cast<double>(lonely) / static_cast<double>(dark) : 0.0;
}

TEST(RenderViewersTest, ChromiumAndLibrsvgShowTheSamePicture)
{
    if (!haveRsvg())
        GTEST_SKIP() << "rsvg-convert cannot start (librsvg2-bin is not installed)";
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(60, 0, 0)));
    ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 40, 0)));
    ms->appendAcDbEntity(new AcDbCircle(AcGePoint3d(45, 25, 0), AcGeVector3d::kZAxis, 8));
    ms->appendAcDbEntity(new AcDbArc(AcGePoint3d(20, 25, 0), 6, 0.3, 2.8));
    ms->appendAcDbEntity(wire(5, 10, 55, 0.8));
    ms->appendAcDbEntity(new AcDbSolid(AcGePoint3d(50, 2, 0), AcGePoint3d(56, 2, 0), AcGePoint3d(53, 7, 0),
                                       AcGePoint3d(53, 7, 0)));
    auto* fit = new AcDbText(AcGePoint3d(3, 30, 0), L"KM1 主接触器", 3.0);
    fit->setHorizontalMode(AcDb::kTextFit);
    fit->setAlignmentPoint(AcGePoint3d(30, 30, 0));
    ms->appendAcDbEntity(fit);
    ms->appendAcDbEntity(new AcDbText(AcGePoint3d(3, 15, 0), L"QF1 380V", 2.5));
    SvgOptions opt;
    opt.margin = 3;
    opt.maxPixels = 480;
    const std::string svg = renderSvg(db, opt);
    testutil::TempDir dir;
    const Image rsvg = rsvgRaster(dir, svg, "same");
    const Placement at = placementOf(svg);

    // Chromium's window is never smaller than the picture (nor than what
    // it accepts as a window); the picture sits at its top left.
    const int side = std::max({at.width, at.height, 500});
    const std::string shot = dir.file("same-chromium.png");
    std::string log;
    const int status = testutil::run(
        "timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync --no-first-run --hide-scrollbars --force-device-scale-factor=1 "
        "--user-data-dir="
            + shellQuote(dir.file("chromium-profile")) + " --screenshot=" + shellQuote(shot) + " --window-size="
            + std::to_string(side) + "," + std::to_string(side) + " " + shellQuote("file://" + dir.file("same.svg")),
        log);
    Image chrome;
    if (status != 0 || !testutil::readPng(shot, chrome))
        GTEST_SKIP() << "headless Chromium cannot start here (status " << status << "): " << log.substr(0, 400);
    ASSERT_GE(chrome.width, at.width);
    ASSERT_GE(chrome.height, at.height);
    const Box ink = darkBox(rsvg);
    ASSERT_FALSE(ink.empty());
    const double mismatch = darkMismatch(rsvg, chrome, at.width, at.height);
    RecordProperty("dark_pixel_mismatch_permille", static_cast<int>(std::lround(mismatch * 1000)));
    EXPECT_LT(mismatch, 0.04);
}

TEST(RenderViewersTest, ThePictureNamesAnInstalledFontWithFallbacks)
{
    AcDbDatabase db;
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbText(AcGePoint3d(0, 0, 0), L"控制", 2.5));
    const std::string svg = renderSvg(db);
    EXPECT_NE(svg.find("font-family=\"'WenQuanYi Micro Hei', 'Noto Sans CJK SC', sans-serif\""), std::string::npos);
    std::string out;
    ASSERT_EQ(testutil::run("fc-list 'WenQuanYi Micro Hei' family", out), 0);
    EXPECT_NE(out.find("WenQuanYi Micro Hei"), std::string::npos) << "the font the picture names is not installed";
}

} // namespace
