#include "components/slide/SlideWriter.h"

#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "ui/dc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unistd.h>

using namespace ctrlsch::slide;

namespace {

std::vector<SlideSegment> segments(const Slide& s)
{
    std::vector<SlideSegment> out;
    for (const auto& p : s.primitives)
        if (const auto* seg = std::get_if<SlideSegment>(&p))
            out.push_back(*seg);
    return out;
}

std::vector<SlideFill> fills(const Slide& s)
{
    std::vector<SlideFill> out;
    for (const auto& p : s.primitives)
        if (const auto* f = std::get_if<SlideFill>(&p))
            out.push_back(*f);
    return out;
}

// Whether the slide has a segment between a and b, in either direction.
bool hasSegment(const Slide& s, SlidePoint a, SlidePoint b, int tolerance = 0)
{
    auto near = [&](SlidePoint p, SlidePoint q) {
        return std::abs(p.x - q.x) <= tolerance && std::abs(p.y - q.y) <= tolerance;
    };
    for (const auto& seg : segments(s))
        if ((near(seg.from, a) && near(seg.to, b)) || (near(seg.from, b) && near(seg.to, a)))
            return true;
    return false;
}

Slide parsed(const SlideWriter& w)
{
    auto bytes = w.bytes();
    EXPECT_TRUE(bytes.ok()) << bytes.error();
    if (!bytes.ok())
        return {};
    auto s = parseSlide(bytes.value());
    EXPECT_TRUE(s.ok()) << s.error();
    return s.ok() ? s.value() : Slide{};
}

} // namespace

TEST(SlideWriterFit, SquareIsCentredAndKeepsItsProportions)
{
    SlideWriter w(300, 200);
    w.addSegment({0, 0}, {10, 0}, 1);
    w.addSegment({10, 0}, {10, 10}, 2);
    w.addSegment({10, 10}, {0, 10}, 3);
    w.addSegment({0, 10}, {0, 0}, 4);
    const Slide s = parsed(w);
    EXPECT_EQ(s.highX, 299);
    EXPECT_EQ(s.highY, 199);
    EXPECT_NEAR(s.aspectRatio, 299.0 / 199.0, 1e-7);
    // 10 units become 199 dots, centred horizontally: x from 50 to 249.
    EXPECT_TRUE(hasSegment(s, {50, 0}, {249, 0}));
    EXPECT_TRUE(hasSegment(s, {249, 0}, {249, 199}));
    EXPECT_TRUE(hasSegment(s, {249, 199}, {50, 199}));
    EXPECT_TRUE(hasSegment(s, {50, 199}, {50, 0}));
    const auto segs = segments(s);
    ASSERT_EQ(segs.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(segs[i].colour, i + 1);
}

TEST(SlideWriterFit, WideDrawingFillsTheWidth)
{
    SlideWriter w(300, 200);
    w.addSegment({-5, 3}, {35, 3}, 7);
    w.addSegment({-5, 3}, {-5, 13}, 7);
    const Slide s = parsed(w);
    // 40 x 10 units: 299 dots wide, 74.75 high, centred vertically.
    const int y0 = static_cast<int>(std::lround((199 - 74.75) / 2));
    EXPECT_TRUE(hasSegment(s, {0, y0}, {299, y0}));
    EXPECT_TRUE(hasSegment(s, {0, y0}, {0, static_cast<int>(std::lround((199 - 74.75) / 2 + 74.75))}));
}

TEST(SlideWriterRoundTrip, ReadBackEqualsTheFittedSlide)
{
    SlideWriter w(300, 200);
    // A polyline of small steps (offset and common-endpoint vectors) and long jumps.
    for (int i = 0; i < 40; ++i)
        w.addSegment({i * 0.5, std::sin(i * 0.3)}, {(i + 1) * 0.5, std::sin((i + 1) * 0.3)}, i < 20 ? 1 : 5);
    w.addSegment({0, -1}, {20, 1}, 3);
    w.addFill({{1, 0}, {2, 0}, {2, 0.5}, {1, 0.5}}, 4);
    const Slide fitted = w.slide();
    const Slide back = parsed(w);
    EXPECT_EQ(back.primitives, fitted.primitives);
    EXPECT_EQ(segments(back).size(), 41u);
    ASSERT_EQ(fills(back).size(), 1u);
    EXPECT_EQ(fills(back)[0].colour, 4);
    // Chained segments cost 3 bytes each instead of 8.
    EXPECT_LT(w.bytes().value().size(), kSlideHeaderSizeLevel2 + 41 * 5);
}

TEST(SlideWriterRoundTrip, LargeFillsAreSplitIntoSlideSizedPieces)
{
    SlideWriter w(300, 200);
    std::vector<AcGePoint2d> circle;
    for (int i = 0; i < 24; ++i)
        circle.push_back({std::cos(i * std::numbers::pi / 12), std::sin(i * std::numbers::pi / 12)});
    w.addFill(circle, 2);
    const Slide s = parsed(w);
    const auto f = fills(s);
    ASSERT_GE(f.size(), 3u);
    std::size_t covered = 0;
    for (const auto& piece : f) {
        EXPECT_LE(piece.vertices.size(), kMaxFillVertices);
        EXPECT_EQ(piece.colour, 2);
        EXPECT_EQ(piece.vertices.front(), f[0].vertices.front()); // a fan around the first vertex
        covered += piece.vertices.size() - 2;
    }
    EXPECT_EQ(covered, circle.size() - 2); // every triangle of the fan, once
}

TEST(SlideWriterFile, WritesAtomicallyAndLeavesNoTemporaryFile)
{
    const auto dir = std::filesystem::temp_directory_path() / ("slidew-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    SlideWriter w;
    w.addSegment({0, 0}, {1, 1}, 7);
    const auto path = dir / "A.SLD";
    ASSERT_TRUE(w.writeFile(path).ok());
    ASSERT_TRUE(w.writeFile(path).ok()); // replaces an existing file
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
    EXPECT_EQ(std::filesystem::file_size(path), w.bytes().value().size());
    EXPECT_FALSE(w.writeFile(dir / "missing" / "B.SLD").ok());
    std::filesystem::remove_all(dir);
}

TEST(SlideFromDrawing, ModelSpaceEntitiesAndBlocks)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    ASSERT_NE(ms, nullptr);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(100, 0, 0));
    line->setColorIndex(1);
    ASSERT_EQ(ms->appendAcDbEntity(line), Acad::eOk);
    auto* circle = new AcDbCircle(AcGePoint3d(50, 25, 0), AcGeVector3d::kZAxis, 10);
    circle->setColorIndex(2);
    ASSERT_EQ(ms->appendAcDbEntity(circle), Acad::eOk);
    auto* solid = new AcDbSolid(AcGePoint3d(0, 40, 0), AcGePoint3d(10, 40, 0), AcGePoint3d(0, 50, 0),
                                AcGePoint3d(10, 50, 0));
    solid->setColorIndex(3);
    ASSERT_EQ(ms->appendAcDbEntity(solid), Acad::eOk);

    // A block with one by-block line, inserted rotated by 90 degrees at (100, 0).
    auto* block = new AcDbBlockTableRecord();
    block->setName("SYM");
    AcDbObjectId blockId;
    ASSERT_EQ(db.addBlockTableRecord(blockId, block), Acad::eOk);
    auto* inner = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(50, 0, 0));
    inner->setColorIndex(0);
    ASSERT_EQ(block->appendAcDbEntity(inner), Acad::eOk);
    auto* ref = new AcDbBlockReference(AcGePoint3d(100, 0, 0), blockId);
    ref->setRotation(std::numbers::pi / 2);
    ref->setColorIndex(4);
    ASSERT_EQ(ms->appendAcDbEntity(ref), Acad::eOk);

    auto bytes = slideFromDatabase(db, 201, 101);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    auto s = parseSlide(bytes.value());
    ASSERT_TRUE(s.ok()) << s.error();
    // Extents 0..100 x 0..50: two dots per unit.
    EXPECT_TRUE(hasSegment(s.value(), {0, 0}, {200, 0}));
    EXPECT_TRUE(hasSegment(s.value(), {200, 0}, {200, 100})); // the block's line, turned upright
    const auto segs = segments(s.value());
    EXPECT_EQ(std::count_if(segs.begin(), segs.end(), [](const SlideSegment& g) { return g.colour == 4; }), 1);
    // The circle is flattened into many short segments, all on its radius.
    int onCircle = 0;
    for (const auto& g : segs)
        if (g.colour == 2) {
            ++onCircle;
            EXPECT_NEAR(std::hypot(g.from.x - 100, g.from.y - 50), 20, 1.0);
        }
    EXPECT_GE(onCircle, 24);
    const auto f = fills(s.value());
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].colour, 3);
    EXPECT_EQ(f[0].vertices, (std::vector<SlidePoint>{{0, 80}, {20, 80}, {20, 100}, {0, 100}}));
}

TEST(SlideFromDrawing, PolylineBulgesBecomeArcsOnTheRightSide)
{
    AcDbDatabase db;
    // From (0, 0) to (10, 0) with bulge 1: the half circle below the chord
    // (counter-clockwise).
    auto* pl = new AcDbPolyline();
    ASSERT_EQ(pl->addVertexAt(0, AcGePoint2d(0, 0), 1.0), Acad::eOk);
    ASSERT_EQ(pl->addVertexAt(1, AcGePoint2d(10, 0)), Acad::eOk);
    ASSERT_EQ(AcDbInternals::modelSpace(db)->appendAcDbEntity(pl), Acad::eOk);
    auto bytes = slideFromDatabase(db, 201, 101);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    auto s = parseSlide(bytes.value());
    ASSERT_TRUE(s.ok()) << s.error();
    // Extents 0..10 x -5..0 at 20 dots a unit: centre (100, 100), radius 100.
    const auto segs = segments(s.value());
    ASSERT_GE(segs.size(), 12u);
    bool bottom = false;
    for (const auto& g : segs)
        for (SlidePoint p : {g.from, g.to}) {
            EXPECT_NEAR(std::hypot(p.x - 100, p.y - 100), 100, 1.5);
            bottom = bottom || (std::abs(p.x - 100) <= 1 && p.y <= 1);
        }
    EXPECT_TRUE(bottom);
}

namespace {

// The slide's vectors as dots on a grid of its size.
struct Ink {
    int width, height;
    std::vector<char> dots;
    explicit Ink(const Slide& s) : width(s.highX + 1), height(s.highY + 1), dots(static_cast<size_t>(width) * height)
    {
        for (const SlideSegment& g : segments(s)) {
            const int n = std::max({std::abs(g.to.x - g.from.x), std::abs(g.to.y - g.from.y), 1});
            for (int i = 0; i <= n; ++i)
                set(g.from.x + (g.to.x - g.from.x) * i / n, g.from.y + (g.to.y - g.from.y) * i / n);
        }
    }
    void set(int x, int y)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            dots[static_cast<size_t>(y) * width + x] = 1;
    }
    bool at(int x, int y) const { return dots[static_cast<size_t>(y) * width + x] != 0; }
    int count(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += at(x, y);
        return n;
    }
};

Slide slideOf(AcDbDatabase& db, int w, int h)
{
    auto bytes = slideFromDatabase(db, w, h);
    EXPECT_TRUE(bytes.ok()) << bytes.error();
    auto s = parseSlide(bytes.value());
    EXPECT_TRUE(s.ok()) << s.error();
    return s.ok() ? s.value() : Slide{};
}

// A frame 0..100 x 0..50 (two dots a unit on a 201 x 101 slide) and a text.
AcDbText* framedText(AcDbDatabase& db, const ACHAR* str, double height)
{
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    const AcGePoint3d corners[] = {{0, 0, 0}, {100, 0, 0}, {100, 50, 0}, {0, 50, 0}};
    for (int i = 0; i < 4; ++i)
        ms->appendAcDbEntity(new AcDbLine(corners[i], corners[(i + 1) % 4]));
    auto* t = new AcDbText(AcGePoint3d(50, 25, 0), str, height);
    ms->appendAcDbEntity(t);
    return t;
}

} // namespace

// Texts are their font's glyphs, filled: "口" centred on its point is a
// solid ring around an empty middle, not the outline of a box.
TEST(SlideFromDrawing, TextsAreFilledGlyphsPlacedByTheirJustification)
{
    if (ui::textCapitalHeight() <= 0.0)
        GTEST_SKIP() << "no font installed";
    AcDbDatabase db;
    AcDbText* t = framedText(db, L"口", 20);
    t->setHorizontalMode(AcDb::kTextMid);
    t->setAlignmentPoint(AcGePoint3d(50, 25, 0));
    const Slide s = slideOf(db, 201, 101);
    const Ink ink(s);
    // The glyph: dots inside the frame, centred across x = 100, 40 dots
    // tall or a little less.
    int x0 = 200, x1 = 0, y0 = 100, y1 = 0;
    for (int y = 1; y < 100; ++y)
        for (int x = 1; x < 200; ++x)
            if (ink.at(x, y)) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    EXPECT_NEAR((x0 + x1) / 2.0, 100, 4);
    // Set on the baseline as plots set it, a CJK glyph sits a little below
    // the middle of its height.
    EXPECT_LT(y0, 45);
    EXPECT_GT(y1, 55);
    EXPECT_GT(y1 - y0, 25);
    EXPECT_LE(y1 - y0, 42);
    EXPECT_FALSE(ink.at(100, 50)) << "the hole of the character";
    // Its strokes are solid: a band along the left stroke is inked through.
    int solidRows = 0;
    for (int y = y0 + 5; y < y1 - 5; ++y)
        solidRows += ink.count(x0, y, x0 + 3, y + 1) == 3;
    EXPECT_GT(solidRows, (y1 - y0) / 2);
    // Left justified at the same point, the glyph starts there instead.
    t->setHorizontalMode(AcDb::kTextLeft);
    t->setPosition(AcGePoint3d(50, 25, 0));
    const Ink left(slideOf(db, 201, 101));
    EXPECT_EQ(left.count(60, 1, 100, 49), 0) << "nothing left of the start";
    EXPECT_GT(left.count(100, 50, 150, 99), 50);
}

// Every character is there, in order along the baseline, and a rotated text
// runs upwards.
TEST(SlideFromDrawing, TextsKeepTheirCharactersAndRotation)
{
    if (ui::textCapitalHeight() <= 0.0)
        GTEST_SKIP() << "no font installed";
    AcDbDatabase one, three;
    framedText(one, L"I", 10)->setPosition(AcGePoint3d(10, 20, 0));
    framedText(three, L"III", 10)->setPosition(AcGePoint3d(10, 20, 0));
    const Ink i1(slideOf(one, 201, 101)), i3(slideOf(three, 201, 101));
    // Count the separate strokes across the baseline row a little above it.
    auto strokes = [](const Ink& ink, int y) {
        int n = 0;
        for (int x = 2; x < 199; ++x)
            n += ink.at(x, y) && !ink.at(x - 1, y);
        return n;
    };
    EXPECT_EQ(strokes(i1, 45), 1);
    EXPECT_EQ(strokes(i3, 45), 3);
    AcDbDatabase turned;
    AcDbText* t = framedText(turned, L"III", 10);
    t->setPosition(AcGePoint3d(50, 5, 0));
    t->setRotation(std::numbers::pi / 2);
    const Ink up(slideOf(turned, 201, 101));
    // Three strokes across a column left of the start, none across a row.
    int across = 0;
    for (int y = 2; y < 99; ++y)
        across += up.at(95, y) && !up.at(95, y - 1);
    EXPECT_EQ(across, 3);
    EXPECT_EQ(up.count(102, 1, 199, 99), 0) << "a text turned up stands left of its start";
}
