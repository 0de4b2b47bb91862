// The SVG renderer and the "ctrlsch render" command.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbtext.h"
#include "host/render/font.h"
#include "host/render/svg.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <vector>

namespace {

// One drawn element of a rendered picture: its tag, attributes and (for
// texts) the markup inside it.
struct Element {
    std::string tag;
    std::map<std::string, std::string> attr;
    std::string inner;
    double num(const std::string& name) const { return std::stod(attr.at(name)); }
};

// The elements inside the picture's Y-flipping group, in order.
std::vector<Element> drawnElements(const std::string& svg)
{
    std::vector<Element> out;
    const std::size_t groupStart = svg.find("<g ");
    const std::size_t groupEnd = svg.rfind("</g>");
    if (groupStart == std::string::npos || groupEnd == std::string::npos)
        return out;
    const std::string body = svg.substr(groupStart, groupEnd - groupStart);
    static const std::regex element(R"re(<(line|circle|ellipse|path|polygon|text)\s([^>]*?)/?>)re");
    static const std::regex attribute(R"re(([\w:-]+)="([^"]*)\")re");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), element); it != std::sregex_iterator(); ++it) {
        Element e;
        e.tag = (*it)[1];
        const std::string attrs = (*it)[2];
        for (auto a = std::sregex_iterator(attrs.begin(), attrs.end(), attribute); a != std::sregex_iterator(); ++a)
            e.attr[(*a)[1]] = (*a)[2];
        if (e.tag == "text") {
            const std::size_t from = it->position() + it->length();
            e.inner = body.substr(from, body.find("</text>", from) - from);
        }
        out.push_back(e);
    }
    return out;
}

std::map<std::string, int> countByTag(const std::vector<Element>& elements)
{
    std::map<std::string, int> n;
    for (const Element& e : elements)
        ++n[e.tag];
    return n;
}

std::vector<Element> withTag(const std::vector<Element>& elements, const std::string& tag)
{
    std::vector<Element> out;
    for (const Element& e : elements)
        if (e.tag == tag)
            out.push_back(e);
    return out;
}

std::vector<double> numbers(const std::string& s)
{
    static const std::regex number(R"re(-?\d+(\.\d+)?)re");
    std::vector<double> out;
    for (auto it = std::sregex_iterator(s.begin(), s.end(), number); it != std::sregex_iterator(); ++it)
        out.push_back(std::stod(it->str()));
    return out;
}

// x, y, width and height of the picture's viewBox.
std::vector<double> viewBox(const std::string& svg)
{
    std::smatch m;
    if (!std::regex_search(svg, m, std::regex(R"re(viewBox="([^"]*)\")re")))
        return {};
    return numbers(m[1]);
}

// Parses the file with Python's XML parser; returns its root element's name
// or the parser's complaint.
std::string xmlRootOf(const std::string& path)
{
    std::string out;
    testutil::run(testutil::python()
                      + " -c 'import sys, xml.dom.minidom; "
                        "print(xml.dom.minidom.parse(sys.argv[1]).documentElement.tagName)' "
                      + testutil::shellQuote(path),
                  out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

AcDbObjectId addLayer(AcDbDatabase& db, const std::string& name, int color, bool off = false, bool frozen = false)
{
    auto* layer = new AcDbLayerTableRecord();
    layer->setName(name);
    layer->setColor(color);
    layer->setIsOff(off);
    if (frozen)
        layer->setFlags(layer->flags() | 1);
    AcDbObjectId id;
    EXPECT_EQ(db.addSymbolTableRecord(id, layer), Acad::eOk);
    return id;
}

AcDbBlockTableRecord* addBlock(AcDbDatabase& db, const std::string& name, const AcGePoint3d& base = {})
{
    auto* block = new AcDbBlockTableRecord();
    block->setName(name);
    block->setOrigin(base);
    AcDbObjectId id;
    EXPECT_EQ(db.addBlockTableRecord(id, block), Acad::eOk);
    return block;
}

template <class T>
T* add(AcDbBlockTableRecord* owner, T* entity, int color = AcDb::kColorByLayer, const char* layer = nullptr)
{
    entity->setColorIndex(color);
    if (layer)
        entity->setLayerName(layer);
    EXPECT_EQ(owner->appendAcDbEntity(entity), Acad::eOk);
    return entity;
}

AcDbBlockReference* insert(AcDbBlockTableRecord* owner, AcDbBlockTableRecord* block, const AcGePoint3d& at,
                           const AcGeScale3d& scale = {}, double rotation = 0.0)
{
    auto* ref = new AcDbBlockReference(at, block->objectId());
    ref->setScaleFactors(scale);
    ref->setRotation(rotation);
    return add(owner, ref);
}

// Vertices as x, y, bulge, start width, end width (-1: the constant width).
AcDbPolyline* polyline(const std::vector<std::array<double, 5>>& vertices, bool closed = false)
{
    auto* pl = new AcDbPolyline();
    unsigned i = 0;
    for (const auto& v : vertices)
        pl->addVertexAt(i++, AcGePoint2d(v[0], v[1]), v[2], v[3], v[4]);
    pl->setClosed(closed);
    return pl;
}

void expectNear(const std::vector<double>& got, const std::vector<double>& want, double tol = 1e-3)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], tol) << "value " << i;
}

// ---------------------------------------------------------------- drawing

TEST(RenderSvgTest, EveryModelledKindIsDrawnOnceAndTheDocumentIsWellFormed)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    add(ms, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
    add(ms, new AcDbCircle(AcGePoint3d(20, 0, 0), AcGeVector3d::kZAxis, 3));
    add(ms, new AcDbArc(AcGePoint3d(30, 0, 0), 3, 0, kPi / 2));
    add(ms, new AcDbPoint(AcGePoint3d(40, 0, 0)));
    add(ms, new AcDbSolid(AcGePoint3d(50, 0, 0), AcGePoint3d(55, 0, 0), AcGePoint3d(50, 5, 0), AcGePoint3d(55, 5, 0)));
    add(ms, polyline({{0, 10, 0.5, -1, -1}, {10, 10, 0, -1, -1}, {10, 20, 0, -1, -1}}));
    AcDbPolyline* wide = add(ms, polyline({{20, 10, 0, -1, -1}, {30, 10, 0, -1, -1}}, true));
    wide->setConstantWidth(0.5);
    // Two tapered segments and one without width.
    add(ms, polyline({{40, 10, 0, 2, 0}, {50, 10, 0.3, 1, 1}, {60, 10, 0, 0, 0}, {70, 10, 0, -1, -1}}));
    add(ms, new AcDbText(AcGePoint3d(0, 30, 0), L"Motor <M1> & \"电机\"", 2.5));
    add(ms, new AcDbRawEntity("HATCH"));
    add(ms, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(-500, -500, 0)))->erase();

    testutil::TempDir dir;
    const std::string svg = renderSvg(db);
    testutil::writeFile(dir.file("all.svg"), svg);
    EXPECT_EQ(xmlRootOf(dir.file("all.svg")), "svg");

    const std::vector<Element> drawn = drawnElements(svg);
    const std::map<std::string, int> want = {
        {"line", 1}, {"circle", 2}, {"path", 4}, {"polygon", 3}, {"text", 1}};
    EXPECT_EQ(countByTag(drawn), want);

    // Zero-width geometry takes the group's hairline, one pixel in drawing
    // units (no viewer-dependent non-scaling strokes); the constant-width
    // polyline is stroked at its width in drawing units.
    std::smatch size;
    ASSERT_TRUE(std::regex_search(svg, size, std::regex(R"re(width="(\d+)" height="\d+" viewBox)re")));
    std::smatch group;
    ASSERT_TRUE(std::regex_search(svg, group, std::regex(R"re(<g [^>]*stroke-width="([\d.]+)")re")));
    EXPECT_NEAR(std::stod(group[1]), viewBox(svg)[2] / std::stod(size[1]), 1e-6);
    EXPECT_EQ(svg.find("vector-effect"), std::string::npos);
    for (const Element& e : drawn) {
        if (e.attr.count("stroke-width")) {
            EXPECT_NEAR(e.num("stroke-width"), 0.5, 1e-9) << e.attr.at("d");
        }
    }

    // The erased line lies far outside: it neither shows nor widens the view.
    const std::vector<double> box = viewBox(svg);
    ASSERT_EQ(box.size(), 4u);
    EXPECT_GT(box[0], -100);
    EXPECT_GT(-(box[1] + box[3]), -100);
}

TEST(RenderSvgTest, ViewBoxIsTheExtentsWithMarginAndTheLongerSideGetsMaxPixels)
{
    AcDbDatabase db;
    add(AcDbInternals::modelSpace(db), new AcDbLine(AcGePoint3d(10, 20, 0), AcGePoint3d(110, 70, 0)));
    SvgOptions opt;
    opt.margin = 5;
    opt.maxPixels = 880;
    const std::string svg = renderSvg(db, opt);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex(R"re(width="(\d+)" height="(\d+)" viewBox="([^"]*)\")re")));
    EXPECT_EQ(m[1], "880");
    EXPECT_EQ(m[2], "480");
    // Y is flipped: the picture shows world y as -y.
    expectNear(numbers(m[3]), {5, -75, 110, 60});
    EXPECT_NE(svg.find("scale(1,-1)"), std::string::npos);

    // An empty drawing still gives a picture.
    AcDbDatabase empty;
    const std::string blank = renderSvg(empty);
    EXPECT_TRUE(drawnElements(blank).empty());
    testutil::TempDir dir;
    testutil::writeFile(dir.file("empty.svg"), blank);
    EXPECT_EQ(xmlRootOf(dir.file("empty.svg")), "svg");
}

TEST(RenderSvgTest, SolidsAndTaperedSegmentsAreFilledOutlines)
{
    AcDbDatabase db;
    // File order 1, 2, 4, 3: drawn as the square, not a bow tie.
    add(AcDbInternals::modelSpace(db), new AcDbSolid(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0), AcGePoint3d(0, 10, 0),
                                       AcGePoint3d(10, 10, 0)));
    // Equal third and fourth corners: a triangle.
    add(AcDbInternals::modelSpace(db), new AcDbSolid(AcGePoint3d(20, 0, 0), AcGePoint3d(30, 0, 0), AcGePoint3d(25, 8, 0),
                                       AcGePoint3d(25, 8, 0)));
    // An arrow: 4 wide at the start, a point at the end.
    add(AcDbInternals::modelSpace(db), polyline({{0, 20, 0, 4, 0}, {10, 20, 0, -1, -1}}));
    const std::vector<Element> polys = withTag(drawnElements(renderSvg(db)), "polygon");
    ASSERT_EQ(polys.size(), 3u);
    expectNear(numbers(polys[0].attr.at("points")), {0, 0, 10, 0, 10, 10, 0, 10});
    expectNear(numbers(polys[1].attr.at("points")), {20, 0, 30, 0, 25, 8});
    expectNear(numbers(polys[2].attr.at("points")), {0, 22, 10, 20, 10, 20, 0, 18});
    for (const Element& p : polys)
        EXPECT_EQ(p.attr.at("fill"), "#000000");
}

TEST(RenderSvgTest, ArcsAndBulgesTurnTheRightWay)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    // A quarter from 0 to 90 degrees: counter-clockwise (sweep flag 1 in
    // world coordinates, which the picture's group flips).
    add(ms, new AcDbArc(AcGePoint3d(0, 0, 0), 10, 0, kPi / 2));
    // From 90 to 0 degrees: three quarters, drawn in two pieces that meet
    // at 225 degrees.
    add(ms, new AcDbArc(AcGePoint3d(50, 0, 0), 10, kPi / 2, 0));
    // Bulge 1: a half circle to the right of the way (counter-clockwise);
    // bulge -1 the other way.
    add(ms, polyline({{0, 30, 1, -1, -1}, {10, 30, 0, -1, -1}}));
    add(ms, polyline({{20, 30, -1, -1, -1}, {30, 30, 0, -1, -1}}));
    const std::vector<Element> paths = withTag(drawnElements(renderSvg(db)), "path");
    ASSERT_EQ(paths.size(), 4u);
    expectNear(numbers(paths[0].attr.at("d")), {10, 0, 10, 10, 0, 0, 1, 0, 10});
    expectNear(numbers(paths[1].attr.at("d")), {50, 10, 10, 10, 0, 0, 1, 42.929, -7.071, 10, 10, 0, 0, 1, 60, 0}, 1e-2);
    expectNear(numbers(paths[2].attr.at("d")), {0, 30, 5, 5, 0, 0, 1, 10, 30});
    expectNear(numbers(paths[3].attr.at("d")), {20, 30, 5, 5, 0, 0, 0, 30, 30});
}

TEST(RenderSvgTest, EntitiesWithAnExtrusionDirectionAreSeenFromAbove)
{
    // Seen from below (extrusion -Z) the object X axis points to world -X.
    AcDbDatabase db;
    add(AcDbInternals::modelSpace(db), new AcDbCircle(AcGePoint3d(5, 2, 0), AcGeVector3d(0, 0, -1), 1));
    const std::vector<Element> drawn = drawnElements(renderSvg(db));
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0].num("cx"), -5, 1e-9);
    EXPECT_NEAR(drawn[0].num("cy"), 2, 1e-9);
}

// ---------------------------------------------------------------- blocks

TEST(RenderSvgTest, BlockReferencesPlaceTheirBlockThroughBasePointScaleRotationAndMirror)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    AcDbBlockTableRecord* arrow = addBlock(db, "ARROW", AcGePoint3d(2, 1, 0));
    add(arrow, new AcDbLine(AcGePoint3d(2, 1, 0), AcGePoint3d(12, 1, 0)));
    add(arrow, new AcDbArc(AcGePoint3d(2, 1, 0), 4, 0, kPi / 2));

    insert(ms, arrow, AcGePoint3d(100, 50, 0));
    insert(ms, arrow, AcGePoint3d(100, 50, 0), AcGeScale3d(-1, 1, 1));
    insert(ms, arrow, AcGePoint3d(0, 0, 0), AcGeScale3d(2), kPi / 2);
    // Nested: a block holding the arrow mirrored, inserted mirrored again
    // and moved.
    AcDbBlockTableRecord* pair = addBlock(db, "PAIR");
    insert(pair, arrow, AcGePoint3d(0, 0, 0), AcGeScale3d(1, -1, 1));
    insert(ms, pair, AcGePoint3d(-50, -50, 0), AcGeScale3d(1, -1, 1));

    const std::vector<Element> drawn = drawnElements(renderSvg(db));
    const std::vector<Element> lines = withTag(drawn, "line");
    const std::vector<Element> arcs = withTag(drawn, "path");
    ASSERT_EQ(lines.size(), 4u);
    ASSERT_EQ(arcs.size(), 4u);
    const auto ends = [](const Element& l) {
        return std::vector<double>{l.num("x1"), l.num("y1"), l.num("x2"), l.num("y2")};
    };
    expectNear(ends(lines[0]), {100, 50, 110, 50});
    // Mirrored in X: the shaft points the other way from the same place.
    expectNear(ends(lines[1]), {100, 50, 90, 50});
    expectNear(ends(lines[2]), {0, 0, 0, 20});
    expectNear(ends(lines[3]), {-50, -50, -40, -50});

    // The quarter arc: counter-clockwise from +X to +Y as defined; mirrored,
    // from -X to +Y clockwise; doubled and turned, from +Y to -X.
    expectNear(numbers(arcs[0].attr.at("d")), {104, 50, 4, 4, 0, 0, 1, 100, 54});
    expectNear(numbers(arcs[1].attr.at("d")), {96, 50, 4, 4, 0, 0, 0, 100, 54});
    expectNear(numbers(arcs[2].attr.at("d")), {0, 8, 8, 8, 0, 0, 1, -8, 0});
    expectNear(numbers(arcs[3].attr.at("d")), {-46, -50, 4, 4, 0, 0, 1, -50, -46});
}

TEST(RenderSvgTest, MultipleInsertsDrawEveryRowAndColumn)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* tick = addBlock(db, "TICK");
    add(tick, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0)));
    // Three columns 10 apart and two rows 20 apart, the grid turned by 90
    // degrees with the block: columns run up, rows run left.
    auto* grid = new AcDbMInsertBlock(AcGePoint3d(100, 0, 0), tick->objectId());
    ASSERT_EQ(grid->setColumns(3), Acad::eOk);
    ASSERT_EQ(grid->setRows(2), Acad::eOk);
    ASSERT_EQ(grid->setColumnSpacing(10), Acad::eOk);
    ASSERT_EQ(grid->setRowSpacing(20), Acad::eOk);
    grid->setRotation(kPi / 2);
    add(AcDbInternals::modelSpace(db), grid);

    const std::vector<Element> lines = withTag(drawnElements(renderSvg(db)), "line");
    ASSERT_EQ(lines.size(), 6u);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column) {
            const Element& l = lines[static_cast<std::size_t>(row * 3 + column)];
            const double x = 100 - 20 * row, y = 10 * column;
            expectNear({l.num("x1"), l.num("y1"), l.num("x2"), l.num("y2")}, {x, y, x, y + 2});
        }
}

TEST(RenderSvgTest, UnequalScalesTurnCirclesIntoEllipses)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ring = addBlock(db, "RING");
    add(ring, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 5));
    insert(AcDbInternals::modelSpace(db), ring, AcGePoint3d(10, 10, 0), AcGeScale3d(3, 1, 1), kPi / 2);
    const std::vector<Element> drawn = drawnElements(renderSvg(db));
    ASSERT_EQ(drawn.size(), 1u);
    ASSERT_EQ(drawn[0].tag, "ellipse");
    EXPECT_NEAR(drawn[0].num("rx"), 15, 1e-6);
    EXPECT_NEAR(drawn[0].num("ry"), 5, 1e-6);
    // The long axis follows the reference's rotation.
    const std::vector<double> rot = numbers(drawn[0].attr.at("transform"));
    ASSERT_EQ(rot.size(), 3u);
    EXPECT_NEAR(std::fabs(rot[0]), 90, 1e-6);
}

TEST(RenderSvgTest, SelfReferenceAndDeepNestingStop)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* loop = addBlock(db, "LOOP");
    add(loop, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    // Twice: walking every path through it would never end.
    insert(loop, loop, AcGePoint3d(0, 1, 0));
    insert(loop, loop, AcGePoint3d(1, 1, 0));
    insert(AcDbInternals::modelSpace(db), loop, AcGePoint3d(0, 0, 0));
    add(AcDbInternals::modelSpace(db), new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1));
    const std::vector<Element> drawn = drawnElements(renderSvg(db));
    EXPECT_EQ(withTag(drawn, "line").size(), 1u);
    EXPECT_EQ(withTag(drawn, "circle").size(), 1u);

    // A chain of blocks each holding a line and the next block: a short
    // chain is drawn whole, a very long one is cut off.
    for (int length : {10, 200}) {
        AcDbDatabase chainDb;
        AcDbBlockTableRecord* next = nullptr;
        for (int i = 0; i < length; ++i) {
            AcDbBlockTableRecord* b = addBlock(chainDb, "B" + std::to_string(i));
            add(b, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
            if (next)
                insert(b, next, AcGePoint3d(0, 1, 0));
            next = b;
        }
        insert(AcDbInternals::modelSpace(chainDb), next, AcGePoint3d(0, 0, 0));
        const std::size_t lines = withTag(drawnElements(renderSvg(chainDb)), "line").size();
        if (length == 10)
            EXPECT_EQ(lines, 10u);
        else
            EXPECT_TRUE(lines >= 10u && lines < 200u) << lines;
    }
}

// ---------------------------------------------------------------- colours and layers

TEST(RenderSvgTest, ColoursResolveThroughLayersAndInsertingReferences)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    addLayer(db, "RED", 1);
    addLayer(db, "BLUE", 5);
    add(ms, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), AcDb::kColorByLayer, "RED");
    add(ms, new AcDbLine(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0)), 30, "RED");
    add(ms, new AcDbLine(AcGePoint3d(0, 2, 0), AcGePoint3d(1, 2, 0)), AcDb::kColorByBlock, "RED");

    AcDbBlockTableRecord* b = addBlock(db, "B");
    add(b, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), AcDb::kColorByBlock, "RED");
    add(b, new AcDbLine(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0)), AcDb::kColorByLayer, "0");
    add(b, new AcDbLine(AcGePoint3d(0, 2, 0), AcGePoint3d(1, 2, 0)), AcDb::kColorByLayer, "RED");
    // A green reference on BLUE, and a by-layer reference on BLUE.
    AcDbBlockReference* green = insert(ms, b, AcGePoint3d(10, 0, 0));
    green->setColorIndex(3);
    green->setLayerName("BLUE");
    AcDbBlockReference* byLayer = insert(ms, b, AcGePoint3d(20, 0, 0));
    byLayer->setLayerName("BLUE");

    const auto strokes = [](const std::string& svg) {
        std::vector<std::string> out;
        for (const Element& e : drawnElements(svg))
            out.push_back(e.attr.at("stroke"));
        return out;
    };
    EXPECT_EQ(strokes(renderSvg(db)),
              (std::vector<std::string>{"#ff0000", "#ff7f00", "#000000",
                                        // By block takes the reference's colour; layer 0
                                        // entities take the reference's layer.
                                        "#00ff00", "#0000ff", "#ff0000",
                                        "#0000ff", "#0000ff", "#ff0000"}));
    SvgOptions dark;
    dark.darkBackground = true;
    const std::vector<std::string> onDark = strokes(renderSvg(db, dark));
    ASSERT_EQ(onDark.size(), 9u);
    EXPECT_EQ(onDark[2], "#ffffff");
}

TEST(RenderSvgTest, AciColoursFollowTheStandardTable)
{
    const std::map<int, std::uint32_t> known = {
        {1, 0xFF0000},  {2, 0xFFFF00},  {3, 0x00FF00},  {4, 0x00FFFF},  {5, 0x0000FF},  {6, 0xFF00FF},
        {8, 0x808080},  {9, 0xC0C0C0},  {10, 0xFF0000}, {11, 0xFF7F7F}, {12, 0xCC0000}, {13, 0xCC6666},
        {14, 0x990000}, {16, 0x7F0000}, {19, 0x4C2626}, {20, 0xFF3F00}, {21, 0xFF9F7F}, {30, 0xFF7F00},
        {40, 0xFFBF00}, {50, 0xFFFF00}, {80, 0x3FFF00}, {90, 0x00FF00}, {140, 0x00BFFF}, {170, 0x0000FF},
        {210, 0xFF00FF}, {250, 0x333333}, {253, 0x828282}, {255, 0xFFFFFF}};
    for (const auto& [index, rgb] : known)
        EXPECT_EQ(aciToRgb(index), rgb) << "colour " << index;
    EXPECT_EQ(aciToRgb(7), 0x000000u);
    EXPECT_EQ(aciToRgb(7, true), 0xFFFFFFu);
}

TEST(RenderSvgTest, LayersThatAreOffOrFrozenAreNotDrawn)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    addLayer(db, "OFF", 1, true);
    addLayer(db, "FROZEN", 2, false, true);
    addLayer(db, "SHOWN", 3);
    add(ms, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)), AcDb::kColorByLayer, "SHOWN");
    add(ms, new AcDbCircle(AcGePoint3d(500, 500, 0), AcGeVector3d::kZAxis, 3), AcDb::kColorByLayer, "OFF");
    add(ms, new AcDbText(AcGePoint3d(-500, 0, 0), L"frozen", 2.5), AcDb::kColorByLayer, "FROZEN");

    // A block with one entity on layer 0 and one on its own shown layer.
    AcDbBlockTableRecord* b = addBlock(db, "B");
    add(b, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 5, 0)), AcDb::kColorByLayer, "0");
    add(b, new AcDbPoint(AcGePoint3d(1, 1, 0)), AcDb::kColorByLayer, "SHOWN");
    // On a frozen layer nothing of the block shows; on a layer that is off
    // only what the block has on other layers.
    insert(ms, b, AcGePoint3d(2, 0, 0))->setLayerName("FROZEN");
    insert(ms, b, AcGePoint3d(4, 0, 0))->setLayerName("OFF");

    const std::string svg = renderSvg(db);
    const std::vector<Element> drawn = drawnElements(svg);
    const std::map<std::string, int> want = {{"line", 1}, {"circle", 1}};
    EXPECT_EQ(countByTag(drawn), want);
    EXPECT_EQ(svg.find("frozen"), std::string::npos);
    // The hidden entities do not widen the view either.
    const std::vector<double> box = viewBox(svg);
    ASSERT_EQ(box.size(), 4u);
    EXPECT_LT(box[2], 100);
    EXPECT_LT(box[3], 100);
}

// ---------------------------------------------------------------- texts

TEST(RenderSvgTest, TextsSitWhereTheHostPlacesThemWithEscapedUnicodeContent)
{
    AcDbDatabase db;
    auto* centred = new AcDbText(AcGePoint3d(0, 0, 0), L"控制 <A&B>", 4.0);
    centred->setHorizontalMode(AcDb::kTextCenter);
    centred->setVerticalMode(AcDb::kTextVertMid);
    centred->setAlignmentPoint(AcGePoint3d(50, 20, 0));
    add(AcDbInternals::modelSpace(db), centred);
    auto* turned = new AcDbText(AcGePoint3d(10, 10, 0), L"UP", 2.0, kPi / 2);
    add(AcDbInternals::modelSpace(db), turned);

    const std::vector<Element> texts = withTag(drawnElements(renderSvg(db)), "text");
    ASSERT_EQ(texts.size(), 2u);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const AcDbText& t = i == 0 ? *centred : *turned;
        const TextLayout lay = layoutText(t);
        AcDbExtents ext;
        ASSERT_EQ(t.getGeomExtents(ext), Acad::eOk);
        // matrix(a b c d e f) maps text space (x along the baseline, y down)
        // into the world.
        const std::vector<double> m = numbers(texts[i].attr.at("transform"));
        ASSERT_EQ(m.size(), 6u);
        // No text length for viewers to honour or ignore: the matrix scales
        // the font's own advance of the characters to the text's width.
        EXPECT_EQ(texts[i].attr.count("textLength"), 0u);
        const double natural = i == 0 ? render::fontAdvance(L"控制") * 4.0
                                            + render::fontAdvance(L" <A&B>") * 4.0 / render::fontCapHeight()
                                      : render::fontAdvance(L"UP") * 2.0 / render::fontCapHeight();
        EXPECT_NEAR(std::hypot(m[0], m[1]) * natural, lay.width, 1e-3);
        const AcGePoint3d start(m[4], m[5], 0), end(m[0] * natural + m[4], m[1] * natural + m[5], 0);
        EXPECT_TRUE(ext.contains(start, 1e-3) && ext.contains(end, 1e-3));
        EXPECT_NEAR(start.x, lay.origin.x, 1e-3);
        EXPECT_NEAR(start.y, lay.origin.y, 1e-3);
        // Text space "up" (minus y) is the world's up of the text.
        EXPECT_NEAR(-m[2], -std::sin(lay.rotation), 1e-9);
        EXPECT_NEAR(-m[3], std::cos(lay.rotation), 1e-9);
    }
    // Centred text: its baseline runs across the alignment point.
    EXPECT_NEAR(numbers(texts[0].attr.at("transform"))[4] + layoutText(*centred).width / 2, 50, 1e-3);
    // Capitals stand the text height tall: the Latin font size is larger
    // than the height, CJK characters fill the height.
    std::smatch run;
    const std::regex mixed(R"re(控制<tspan x="([\d.]+)" font-size="([\d.]+)"> &lt;A&amp;B&gt;</tspan>)re");
    ASSERT_TRUE(std::regex_match(texts[0].inner, run, mixed))
        << texts[0].inner;
    // The second run starts where the font's advance of the first ends.
    EXPECT_NEAR(std::stod(run[1]), render::fontAdvance(L"控制") * 4.0, 1e-3);
    EXPECT_GT(std::stod(run[2]), 4.0);
    EXPECT_NEAR(texts[0].num("font-size"), 4.0, 1e-9);
    EXPECT_GT(texts[1].num("font-size"), 2.0);
    EXPECT_EQ(texts[1].inner, "UP");
}

// ---------------------------------------------------------------- stability

TEST(RenderSvgTest, SameDrawingGivesTheSameBytesAlsoAfterASaveAndReload)
{
    if (!testutil::haveEzdxf())
        GTEST_SKIP() << "ezdxf is not installed";
    testutil::TempDir dir;
    testutil::runPythonTool("make_render_sample", testutil::shellQuote(dir.file("sample.dxf")));
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDwgFile(utf8ToWide(dir.file("sample.dxf")).c_str()), Acad::eOk) << wideToUtf8(db.lastError());
    const std::string first = renderSvg(db);
    EXPECT_EQ(renderSvg(db), first);

    ASSERT_EQ(db.saveAs(utf8ToWide(dir.file("again.dxf")).c_str()), Acad::eOk);
    AcDbDatabase reread(false);
    ASSERT_EQ(reread.readDwgFile(utf8ToWide(dir.file("again.dxf")).c_str()), Acad::eOk);
    EXPECT_EQ(renderSvg(reread), first);
}

// ---------------------------------------------------------------- the command

std::string ctrlsch() { return testutil::shellQuote(testutil::binaryDir() + "/src/app/ctrlsch"); }

TEST(RenderCommandTest, RendersTheSampleDrawing)
{
    if (!testutil::haveEzdxf())
        GTEST_SKIP() << "ezdxf is not installed";
    testutil::TempDir dir;
    testutil::runPythonTool("make_render_sample", testutil::shellQuote(dir.file("sample.dxf")));
    std::string out;
    const std::string svgPath = dir.file("sample.svg");
    testutil::writeFile(svgPath, "old");
    ASSERT_EQ(testutil::run(ctrlsch() + " render " + testutil::shellQuote(dir.file("sample.dxf")) + " "
                                + testutil::shellQuote(svgPath),
                            out),
              0)
        << out;
    EXPECT_EQ(xmlRootOf(svgPath), "svg");
    const std::string svg = testutil::readFile(svgPath);
    const std::vector<Element> drawn = drawnElements(svg);
    const std::map<std::string, int> tags = countByTag(drawn);
    // Five motors and the panel's two, each with its letter; nine notes;
    // the frozen note is left out.
    EXPECT_EQ(tags.at("text"), 7 + 9);
    // The squashed motor's ring is an ellipse; the off layer's big circle
    // (radius 30) is not drawn.
    EXPECT_EQ(tags.at("ellipse"), 1);
    for (const Element& c : withTag(drawn, "circle"))
        EXPECT_LT(c.num("r"), 20);
    EXPECT_NE(svg.find(">控制柜<"), std::string::npos);
    EXPECT_NE(svg.find(">主回路<"), std::string::npos);
    EXPECT_NE(svg.find("FIT &amp; &lt;ok&gt;"), std::string::npos);
    // Only the picture is left in the folder.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2);
}

TEST(RenderCommandTest, UnreadableDrawingsFailWithTheFileNamedAndWriteNothing)
{
    testutil::TempDir dir;
    testutil::writeFile(dir.file("damaged.dxf"), "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot-a-number\n0\nENDSEC\n");
    testutil::writeFile(dir.file("kept.svg"), "previous picture");
    for (const std::string& input : {dir.file("missing.dxf"), dir.file("damaged.dxf")}) {
        std::string out;
        EXPECT_EQ(testutil::run(ctrlsch() + " render " + testutil::shellQuote(input) + " "
                                    + testutil::shellQuote(dir.file("new.svg")),
                                out),
                  1);
        EXPECT_NE(out.find(input), std::string::npos) << out;
        EXPECT_FALSE(std::filesystem::exists(dir.file("new.svg")));
        EXPECT_EQ(testutil::run(ctrlsch() + " render " + testutil::shellQuote(input) + " "
                                    + testutil::shellQuote(dir.file("kept.svg")),
                                out),
                  1);
        EXPECT_EQ(testutil::readFile(dir.file("kept.svg")), "previous picture");
    }
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2);
}

TEST(RenderCommandTest, UsageErrorsExitWithStatusTwo)
{
    for (const char* args : {" render", " render only-one.dxf", " render a.dxf b.svg c", " paint a.dxf b.svg"}) {
        std::string out;
        EXPECT_EQ(testutil::run(ctrlsch() + args, out), 2) << args;
        EXPECT_NE(out.find("usage"), std::string::npos) << args << ": " << out;
    }
}

} // namespace
