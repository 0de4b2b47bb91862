// Plots through "ctrlsch render": PDF pages read back with poppler
// (pdfinfo, pdftotext, pdftoppm), PNG pages and SVG pictures by their
// pixels, the dark background in each format, and the options' mistakes.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/render/view.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testutil::Image;
using testutil::shellQuote;

std::string ctrlsch() { return shellQuote(testutil::binaryDir() + "/src/app/ctrlsch"); }

bool havePoppler()
{
    std::string out;
    return testutil::run("pdfinfo -v", out) == 0 && testutil::run("pdftoppm -v", out) == 0;
}

// Runs "ctrlsch render IN OUT ARGS"; returns its exit status.
int render(const std::string& in, const std::string& out, const std::string& args, std::string& log)
{
    return testutil::run(ctrlsch() + " render " + shellQuote(in) + " " + shellQuote(out) + args, log);
}

// A drawing saved as DXF: a line 100 long along X from the origin and one
// 50 long up from it (extents 0..100 x 0..50, centre 50,25), and texts.
std::string saveCross(const testutil::TempDir& dir, bool withTexts = false)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(100, 0, 0)));
    ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 50, 0)));
    if (withTexts) {
        ms->appendAcDbEntity(new AcDbText(AcGePoint3d(10, 30, 0), L"KM1 主接触器", 5.0));
        auto* fit = new AcDbText(AcGePoint3d(10, 10, 0), L"控制电源 QF2", 4.0);
        fit->setHorizontalMode(AcDb::kTextFit);
        fit->setAlignmentPoint(AcGePoint3d(80, 10, 0));
        ms->appendAcDbEntity(fit);
    }
    const std::string path = dir.file(withTexts ? "texts.dxf" : "cross.dxf");
    EXPECT_EQ(db.saveAs(utf8ToWide(path).c_str()), Acad::eOk);
    return path;
}

// pdfinfo's page size in points.
std::vector<double> pageSize(const std::string& pdf)
{
    std::string out;
    EXPECT_EQ(testutil::run("pdfinfo " + shellQuote(pdf), out), 0) << out;
    std::smatch m;
    if (!std::regex_search(out, m, std::regex(R"re(Page size:\s+([\d.]+) x ([\d.]+) pts)re")))
        return {};
    return {std::stod(m[1]), std::stod(m[2])};
}

// The PDF rasterised at 72 dpi: one pixel per point.
Image rasterPdf(const std::string& pdf)
{
    std::string out;
    EXPECT_EQ(testutil::run("pdftoppm -r 72 -png -singlefile " + shellQuote(pdf) + " " + shellQuote(pdf + "-72"), out),
              0)
        << out;
    Image img;
    EXPECT_TRUE(testutil::readPng(pdf + "-72.png", img));
    return img;
}

int channelSum(std::uint32_t c)
{
    return static_cast<int>(((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF));
}

// Rows of column x (between y0 and y1) whose pixel differs from the
// background by more than a faint anti-aliased edge.
std::vector<int> inkRows(const Image& img, int x, int y0, int y1, std::uint32_t background)
{
    std::vector<int> rows;
    for (int y = std::max(0, y0); y < std::min(img.height, y1); ++y)
        if (std::abs(channelSum(img.at(x, y)) - channelSum(background)) > 3 * 24)
            rows.push_back(y);
    return rows;
}

std::vector<int> inkColumns(const Image& img, int y, int x0, int x1, std::uint32_t background)
{
    std::vector<int> cols;
    for (int x = std::max(0, x0); x < std::min(img.width, x1); ++x)
        if (std::abs(channelSum(img.at(x, y)) - channelSum(background)) > 3 * 24)
            cols.push_back(x);
    return cols;
}

TEST(RenderPlotTest, PdfPagesHaveThePaperSizeInBothOrientations)
{
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils cannot start";
    testutil::TempDir dir;
    const std::string dxf = saveCross(dir);
    struct Case {
        const char* args;
        double width, height;
    };
    for (const Case& c : {Case{"", 595.28, 841.89}, Case{" --paper A4", 595.28, 841.89},
                          Case{" --landscape", 841.89, 595.28}, Case{" --paper A3", 841.89, 1190.55},
                          Case{" --paper A3 --landscape --fit", 1190.55, 841.89}}) {
        const std::string pdf = dir.file("page.pdf");
        std::string log;
        ASSERT_EQ(render(dxf, pdf, c.args, log), 0) << c.args << ": " << log;
        const std::vector<double> size = pageSize(pdf);
        ASSERT_EQ(size.size(), 2u) << c.args;
        EXPECT_NEAR(size[0], c.width, 0.5) << c.args;
        EXPECT_NEAR(size[1], c.height, 0.5) << c.args;
    }
}

TEST(RenderPlotTest, PdfTextsIncludingChineseCanBeExtracted)
{
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils cannot start";
    testutil::TempDir dir;
    const std::string pdf = dir.file("texts.pdf");
    std::string log;
    ASSERT_EQ(render(saveCross(dir, true), pdf, "", log), 0) << log;
    std::string text;
    ASSERT_EQ(testutil::run("pdftotext " + shellQuote(pdf) + " -", text), 0) << text;
    EXPECT_NE(text.find("KM1"), std::string::npos) << text;
    EXPECT_NE(text.find("主接触器"), std::string::npos) << text;
    EXPECT_NE(text.find("控制电源"), std::string::npos) << text;
    EXPECT_NE(text.find("QF2"), std::string::npos) << text;
    // Every font the page uses travels with it, as a subset: a reader
    // without the font shows the same glyphs.
    std::string fonts;
    ASSERT_EQ(testutil::run("pdffonts " + shellQuote(pdf), fonts), 0) << fonts;
    std::istringstream rows(fonts);
    std::string row;
    int listed = 0;
    while (std::getline(rows, row)) {
        if (row.empty() || row.rfind("name", 0) == 0 || row.rfind("---", 0) == 0)
            continue;
        ++listed;
        // The columns emb, sub and uni read "yes yes yes".
        EXPECT_NE(row.find("yes yes yes"), std::string::npos) << fonts;
    }
    EXPECT_GT(listed, 0) << fonts;
}

// With --scale 1:1 on A4 the extents' centre (50,25) is at the page's
// centre and a drawing unit is a millimetre: the X axis line lies 25 mm
// below the centre, the Y axis line 50 mm left of it.
void expectCrossAt(const Image& img, double pixelsPerPoint, std::uint32_t background)
{
    const double mm = render::kPointsPerMm * pixelsPerPoint;
    const double cx = img.width / 2.0, cy = img.height / 2.0;
    const double axisY = cy + 25 * mm, axisX = cx - 50 * mm;
    const std::vector<int> rows =
        inkRows(img, static_cast<int>(cx + 20 * mm), static_cast<int>(axisY) - 20, static_cast<int>(axisY) + 20,
                background);
    ASSERT_FALSE(rows.empty()) << "no X axis line near row " << axisY;
    EXPECT_NEAR((rows.front() + rows.back()) / 2.0, axisY, 2.0);
    const std::vector<int> cols =
        inkColumns(img, static_cast<int>(cy), static_cast<int>(axisX) - 20, static_cast<int>(axisX) + 20, background);
    ASSERT_FALSE(cols.empty()) << "no Y axis line near column " << axisX;
    EXPECT_NEAR((cols.front() + cols.back()) / 2.0, axisX, 2.0);
    // The line ends where the drawing's does: 100 mm long.
    EXPECT_TRUE(inkRows(img, static_cast<int>(axisX + 98 * mm), static_cast<int>(axisY) - 3,
                        static_cast<int>(axisY) + 4, background)
                    .size()
                > 0);
    EXPECT_TRUE(inkRows(img, static_cast<int>(axisX + 103 * mm), static_cast<int>(axisY) - 3,
                        static_cast<int>(axisY) + 4, background)
                    .empty());
}

TEST(RenderPlotTest, GeometryLandsWhereTheScalePutsItOnPdfAndPng)
{
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils cannot start";
    testutil::TempDir dir;
    const std::string dxf = saveCross(dir);
    std::string log;
    ASSERT_EQ(render(dxf, dir.file("cross.pdf"), " --scale 1:1", log), 0) << log;
    const Image pdf = rasterPdf(dir.file("cross.pdf"));
    EXPECT_NEAR(pdf.width, 595, 1);
    expectCrossAt(pdf, 1.0, 0xFFFFFF);

    ASSERT_EQ(render(dxf, dir.file("cross.png"), " --scale 1:1", log), 0) << log;
    Image png;
    ASSERT_TRUE(testutil::readPng(dir.file("cross.png"), png));
    // 150 dots per inch.
    EXPECT_EQ(png.width, 1240);
    EXPECT_EQ(png.height, 1754);
    expectCrossAt(png, 150.0 / 72.0, 0xFFFFFF);
    // Colour 7 is black on white: the line's darkest pixel.
    const std::vector<int> rows = inkRows(png, png.width / 2, 0, png.height, 0xFFFFFF);
    ASSERT_FALSE(rows.empty());
    std::uint32_t darkest = 0xFFFFFF;
    for (int y : rows)
        darkest = channelSum(png.at(png.width / 2, y)) < channelSum(darkest) ? png.at(png.width / 2, y) : darkest;
    EXPECT_LT(channelSum(darkest), 3 * 90);

    // At 1:2 the lines come twice as close to the centre.
    ASSERT_EQ(render(dxf, dir.file("half.pdf"), " --scale 1:2", log), 0) << log;
    const Image half = rasterPdf(dir.file("half.pdf"));
    const double axisY = half.height / 2.0 + 12.5 * render::kPointsPerMm;
    const std::vector<int> halfRows = inkRows(half, half.width / 2, static_cast<int>(axisY) - 10,
                                              static_cast<int>(axisY) + 10, 0xFFFFFF);
    ASSERT_FALSE(halfRows.empty());
    EXPECT_NEAR(halfRows.front(), axisY, 2.0);
}

TEST(RenderPlotTest, FittedPlotsFillThePageWithinItsMargins)
{
    testutil::TempDir dir;
    const std::string dxf = saveCross(dir);
    std::string log;
    ASSERT_EQ(render(dxf, dir.file("fit.png"), " --landscape", log), 0) << log;
    Image png;
    ASSERT_TRUE(testutil::readPng(dir.file("fit.png"), png));
    ASSERT_GT(png.width, png.height);
    // The 100 x 50 drawing is wider than the page's printable area is
    // high: its width spans the page less the two 10 mm margins.
    const double margin = 10 * render::kPointsPerMm * 150.0 / 72.0;
    const int row = png.height / 2 + static_cast<int>((png.width - 2 * margin) / 100.0 * 25.0);
    // The row of the X axis line: the one with the most ink near there.
    std::vector<int> cols;
    for (int dy = -3; dy <= 3; ++dy) {
        std::vector<int> found = inkColumns(png, row + dy, 0, png.width, 0xFFFFFF);
        if (found.size() > cols.size())
            cols = found;
    }
    ASSERT_FALSE(cols.empty()) << "no X axis line near row " << row;
    EXPECT_NEAR(cols.front(), margin, 3.0);
    EXPECT_NEAR(cols.back(), png.width - margin, 3.0);
}

// --dark: near-black paper and colour 7 white, in each format.
TEST(RenderPlotTest, DarkBackgroundInSvgPngAndPdf)
{
    testutil::TempDir dir;
    const std::string dxf = saveCross(dir);
    std::string log;
    const auto expectDark = [](const Image& img, const std::string& what) {
        ASSERT_GT(img.width, 0) << what;
        const std::uint32_t corner = img.at(1, 1);
        EXPECT_LT(channelSum(corner), 3 * 48) << what << ": background " << std::hex << corner;
        std::uint32_t brightest = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x)
                brightest = channelSum(img.at(x, y)) > channelSum(brightest) ? img.at(x, y) : brightest;
        // The colour-7 lines are white (grey where a hairline is
        // anti-aliased over two pixels).
        EXPECT_GT(channelSum(brightest), 3 * 160) << what;
        const int r = (brightest >> 16) & 0xFF, g = (brightest >> 8) & 0xFF, b = brightest & 0xFF;
        EXPECT_LT(std::max({r, g, b}) - std::min({r, g, b}), 16) << what << ": not white";
    };

    ASSERT_EQ(render(dxf, dir.file("dark.png"), " --dark --scale 1:1", log), 0) << log;
    Image png;
    ASSERT_TRUE(testutil::readPng(dir.file("dark.png"), png));
    expectDark(png, "png");
    expectCrossAt(png, 150.0 / 72.0, png.at(1, 1));

    if (havePoppler()) {
        ASSERT_EQ(render(dxf, dir.file("dark.pdf"), " --dark", log), 0) << log;
        expectDark(rasterPdf(dir.file("dark.pdf")), "pdf");
    }
    std::string version;
    if (testutil::run("rsvg-convert --version", version) == 0) {
        ASSERT_EQ(render(dxf, dir.file("dark.svg"), " --dark", log), 0) << log;
        ASSERT_EQ(testutil::run("rsvg-convert " + shellQuote(dir.file("dark.svg")) + " -o "
                                    + shellQuote(dir.file("dark-svg.png")),
                                log),
                  0)
            << log;
        Image svg;
        ASSERT_TRUE(testutil::readPng(dir.file("dark-svg.png"), svg));
        expectDark(svg, "svg");
    }
}

TEST(RenderPlotTest, SvgWithAPageOptionIsSizedInMillimetres)
{
    testutil::TempDir dir;
    std::string log;
    ASSERT_EQ(render(saveCross(dir), dir.file("page.svg"), " --paper A3 --landscape --scale 1:1", log), 0) << log;
    const std::string svg = testutil::readFile(dir.file("page.svg"));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex(R"re(width="([\d.]+)mm" height="([\d.]+)mm" viewBox="(\S+) (\S+) (\S+) (\S+)")re")))
        << svg.substr(0, 300);
    EXPECT_EQ(m[1], "420");
    EXPECT_EQ(m[2], "297");
    // At 1:1 the view spans the paper in drawing units, centred on the
    // drawing (50,25; SVG's y is the world's -y).
    EXPECT_NEAR(std::stod(m[5]), 420, 1e-3);
    EXPECT_NEAR(std::stod(m[6]), 297, 1e-3);
    EXPECT_NEAR(std::stod(m[3]) + 210, 50, 1e-3);
    EXPECT_NEAR(std::stod(m[4]) + 148.5, -25, 1e-3);
}

TEST(RenderPlotTest, PngPlotsAreTheSameBytesEachTime)
{
    testutil::TempDir dir;
    const std::string dxf = saveCross(dir, true);
    std::string log;
    ASSERT_EQ(render(dxf, dir.file("a.png"), "", log), 0) << log;
    ASSERT_EQ(render(dxf, dir.file("b.png"), "", log), 0) << log;
    EXPECT_EQ(testutil::readFile(dir.file("a.png")), testutil::readFile(dir.file("b.png")));
}

// Control characters, tabs and lone surrogates in a text: cairo refuses
// them and XML cannot hold them, so they are left out (tabs are spaces)
// and the rest is plotted.
TEST(RenderPlotTest, TextsWithCharactersThatCannotBeShownStillPlot)
{
    testutil::TempDir dir;
    AcDbDatabase db;
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbText(AcGePoint3d(0, 0, 0), L"BELL\x07 TAB\tEND \xD800控制", 5.0));
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbText(AcGePoint3d(0, 20, 0), L"\x01\x02", 5.0));
    const std::string dxf = dir.file("odd.dxf");
    ASSERT_EQ(db.saveAs(utf8ToWide(dxf).c_str()), Acad::eOk);
    std::string log;
    for (const char* out : {"odd.pdf", "odd.png", "odd.svg"})
        ASSERT_EQ(render(dxf, dir.file(out), "", log), 0) << out << ": " << log;
    ASSERT_EQ(testutil::run(testutil::python() + " -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "
                                + shellQuote(dir.file("odd.svg")),
                            log),
              0)
        << log;
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils cannot start";
    std::string text;
    ASSERT_EQ(testutil::run("pdftotext " + shellQuote(dir.file("odd.pdf")) + " -", text), 0) << text;
    EXPECT_NE(text.find("BELL TAB END"), std::string::npos) << text;
    EXPECT_NE(text.find("控制"), std::string::npos) << text;
}

TEST(RenderPlotTest, BadOptionsGiveUsageAndWriteNothing)
{
    testutil::TempDir dir;
    const std::string dxf = saveCross(dir);
    const std::string kept = dir.file("kept.pdf");
    testutil::writeFile(kept, "previous plot");
    struct Case {
        const char* out;
        const char* args;
        const char* says;
    };
    for (const Case& c : {Case{"new.pdf", " --paper A5", "--paper wants A4 or A3"},
                          Case{"new.pdf", " --paper", "--paper wants A4 or A3"},
                          Case{"new.png", " --scale 2", "--scale wants 1:N"},
                          Case{"new.png", " --scale 1:0", "--scale wants 1:N"},
                          Case{"new.png", " --scale 1:-5", "--scale wants 1:N"},
                          Case{"new.png", " --scale 1:abc", "--scale wants 1:N"},
                          Case{"new.png", " --scale 1:nan", "--scale wants 1:N"},
                          Case{"new.svg", " --scale", "--scale wants 1:N"},
                          Case{"new.svg", " --scale 1:10 --fit", "exclude each other"},
                          Case{"new.pdf", " --color", "unknown option --color"},
                          Case{"new.txt", "", "must end in .svg, .pdf or .png"},
                          Case{"new.pdf", " extra.pdf", "usage: ctrlsch render"}}) {
        for (const std::string& out : {dir.file(c.out), kept}) {
            if (out == kept && std::string(c.out) == "new.txt")
                continue;
            std::string log;
            EXPECT_EQ(render(dxf, out, c.args, log), 2) << c.args << ": " << log;
            EXPECT_NE(log.find(c.says), std::string::npos) << c.args << ": " << log;
            EXPECT_NE(log.find("usage: ctrlsch render"), std::string::npos) << log;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.file(c.out))) << c.args;
        EXPECT_EQ(testutil::readFile(kept), "previous plot") << c.args;
    }
    // Only the drawing and the kept file are in the folder.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2);
}

TEST(RenderPlotTest, APlotReplacesTheOldFileWhole)
{
    testutil::TempDir dir;
    const std::string dxf = saveCross(dir);
    const std::string out = dir.file("plot.pdf");
    testutil::writeFile(out, "previous plot");
    std::string log;
    ASSERT_EQ(render(dxf, out, "", log), 0) << log;
    EXPECT_EQ(testutil::readFile(out).find("%PDF-"), 0u);
    // Into a folder that does not exist: a message naming it, nothing made.
    const std::string nowhere = dir.file("missing/plot.png");
    EXPECT_EQ(render(dxf, nowhere, "", log), 1);
    EXPECT_NE(log.find(nowhere), std::string::npos) << log;
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2);
}

} // namespace
