// Recognition of a grid from the entities of a drawing: the entity
// readings, the string count, placing wires, symbols and devices, and
// random drawings checked cell by cell against the rules applied plainly.
#include "grid/PrinPicGrid.h"

#include "components/TalvoDbObject.h"
#include "host/acapdoc.h"
#include "host/dbmain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using Ids = AcDbObjectIdArray;

class RecognizeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        acDocManager->newDocument();
        db = acdbHostApplicationServices()->workingDatabase();
        ASSERT_EQ(db->registerApp("MINPT"), Acad::eOk);
        ASSERT_EQ(db->registerApp("MAXPT"), Acad::eOk);
    }
    void TearDown() override { acDocManager->closeAll(); }

    AcDbObjectId add(AcDbEntity* e)
    {
        AcDbObjectId id;
        EXPECT_TRUE(AddToCurrentSpace(e, &id));
        return id;
    }
    AcDbObjectId polyline(const std::vector<AcGePoint2d>& pts)
    {
        auto* pl = new AcDbPolyline;
        for (unsigned int k = 0; k < pts.size(); ++k)
            pl->addVertexAt(k, pts[k]);
        return add(pl);
    }
    AcDbObjectId wire(double x0, double y0, double x1, double y1)
    {
        return polyline({AcGePoint2d(x0, y0), AcGePoint2d(x1, y1)});
    }
    AcDbObjectId symbol(double x, double y) { return add(new AcDbBlockReference(AcGePoint3d(x, y, 0), AcDbObjectId())); }
    void setPoint(const AcDbObjectId& id, const ACHAR* app, double x, double y)
    {
        ads_point p = {x, y, 0};
        resbuf* rb = acutBuildList(1001, app, 1010, p, 0);
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(obj->setXData(rb), Acad::eOk);
        obj->close();
        acutRelRb(rb);
    }
    AcDbObjectId device(double x0, double y0, double x1, double y1)
    {
        const AcDbObjectId id = symbol(x0, y0);
        setPoint(id, L"MINPT", x0, y0);
        setPoint(id, L"MAXPT", x1, y1);
        return id;
    }

    // Parameters in the order a continued schematic sets them; scale comes
    // out as 1.
    static void parameters(CPrinPicGrid& g, int orientation, AcGePoint3d base, double pitchX, double pitchY, int cells)
    {
        g.SetBasePoint(base);
        g.SetScale(7); // recognition replaces it
        g.SetBlockScale(2);
        g.SetSymbolScale(2);
        g.SetOrientation(orientation);
        g.SetCellPitchY(pitchY);
        g.SetCellPitchX(pitchX);
        g.SetLineWidth(0.3);
        g.SetCellsPerString(cells);
    }

    struct Cell {
        Ids wires, links, devices, bands;
        AcDbObjectId symbol, linkSymbol;
    };
    static Cell cell(const CPrinPicGrid& g, int s, int c)
    {
        Cell out;
        EXPECT_EQ(g.GetCellData(s, c, out.wires, out.symbol, out.links, out.linkSymbol, out.devices, out.bands), 1);
        return out;
    }
    // The cells of every string whose slot (chosen by pick) holds id.
    template <class Pick>
    static std::vector<std::pair<int, int>> where(const CPrinPicGrid& g, const AcDbObjectId& id, Pick pick)
    {
        std::vector<std::pair<int, int>> at;
        for (int s = 0; s < g.GetStringCount(); ++s)
            for (int c = 0; c < g.GetCellsPerString(); ++c)
                if (pick(cell(g, s, c), id))
                    at.emplace_back(s, c);
        return at;
    }
    static bool inWires(const Cell& c, const AcDbObjectId& id) { return c.wires.contains(id); }
    static bool inLinks(const Cell& c, const AcDbObjectId& id) { return c.links.contains(id); }
    static bool inDevices(const Cell& c, const AcDbObjectId& id) { return c.devices.contains(id); }
    static bool inBands(const Cell& c, const AcDbObjectId& id) { return c.bands.contains(id); }
    static bool isSymbol(const Cell& c, const AcDbObjectId& id) { return c.symbol == id; }
    static bool isLinkSymbol(const Cell& c, const AcDbObjectId& id) { return c.linkSymbol == id; }

    using Places = std::vector<std::pair<int, int>>;

    AcDbDatabase* db = nullptr;
};

// ------------------------------------------------------------ readings

TEST_F(RecognizeTest, WireEndsOnlyForTwoVertexPolylines)
{
    AcGePoint3d p0, p1, mid;
    ASSERT_TRUE(CPrinPicGrid::GetWireEnds(wire(2, 3, 12, 7), p0, p1, mid));
    EXPECT_EQ(p0, AcGePoint3d(2, 3, 0));
    EXPECT_EQ(p1, AcGePoint3d(12, 7, 0));
    EXPECT_NEAR(mid.x, 7, 1e-12);
    EXPECT_NEAR(mid.y, 5, 1e-12);

    const AcGePoint3d untouched(-1, -1, -1);
    p0 = p1 = mid = untouched;
    const AcDbObjectId threeVertices = polyline({AcGePoint2d(0, 0), AcGePoint2d(5, 0), AcGePoint2d(10, 0)});
    const AcDbObjectId oneVertex = polyline({AcGePoint2d(0, 0)});
    const AcDbObjectId line = add(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
    for (const AcDbObjectId& id : {threeVertices, oneVertex, line, symbol(1, 1), AcDbObjectId()}) {
        EXPECT_FALSE(CPrinPicGrid::GetWireEnds(id, p0, p1, mid));
        EXPECT_FALSE(CPrinPicGrid::IsHorizontalWire(id));
        EXPECT_FALSE(CPrinPicGrid::IsVerticalWire(id));
    }
    EXPECT_EQ(p0, untouched);
    EXPECT_EQ(mid, untouched);
}

TEST_F(RecognizeTest, HorizontalAndVerticalWiresByTheirTolerances)
{
    struct Case {
        double x0, y0, x1, y1;
        bool horizontal, vertical;
    };
    const Case cases[] = {
        {0, 0, 0.5, 0, true, false},    // short horizontal wires still count
        {0, 0, 0, 0.5, false, false},   // a vertical wire must be 1.0 long
        {0, 0, 0, 1.0, false, true},
        {0, 0, 10, 0.1, true, false},   // 0.1 of slope is still horizontal
        {0, 0, 10, 0.25, false, false}, // more is neither
        {0, 0, 0.1, 20, false, true},
        {0, 0, 0.3, 20, false, false},
        {0, 0, 0.05, 0, false, false},  // shorter than 0.1
        {5, 5, 5, 5, false, false},
    };
    for (const Case& c : cases) {
        const AcDbObjectId id = wire(c.x0, c.y0, c.x1, c.y1);
        EXPECT_EQ(CPrinPicGrid::IsHorizontalWire(id), c.horizontal) << c.x1 << "," << c.y1;
        EXPECT_EQ(CPrinPicGrid::IsVerticalWire(id), c.vertical) << c.x1 << "," << c.y1;
    }
}

TEST_F(RecognizeTest, SymbolPositionsAndDeviceExtents)
{
    AcGePoint3d at(9, 9, 9);
    ASSERT_TRUE(CPrinPicGrid::GetSymbolPosition(symbol(4, 6), at));
    EXPECT_EQ(at, AcGePoint3d(4, 6, 0));
    EXPECT_FALSE(CPrinPicGrid::GetSymbolPosition(wire(0, 0, 1, 0), at));
    EXPECT_FALSE(CPrinPicGrid::GetSymbolPosition(AcDbObjectId(), at));
    EXPECT_EQ(at, AcGePoint3d(4, 6, 0));

    AcGePoint3d lo, hi;
    ASSERT_TRUE(CPrinPicGrid::GetDeviceExtent(device(1, 2, 30, 40), lo, hi));
    EXPECT_EQ(lo, AcGePoint3d(1, 2, 0));
    EXPECT_EQ(hi, AcGePoint3d(30, 40, 0));
    const AcDbObjectId halfDevice = symbol(0, 0);
    setPoint(halfDevice, L"MINPT", 0, 0);
    EXPECT_FALSE(CPrinPicGrid::GetDeviceExtent(halfDevice, lo, hi));
    EXPECT_FALSE(CPrinPicGrid::GetDeviceExtent(symbol(0, 0), lo, hi));
}

TEST_F(RecognizeTest, ExtentsOverlapIncludesTouching)
{
    const auto box = [](double x0, double y0, double x1, double y1) {
        return AcDbExtents(AcGePoint3d(x0, y0, 0), AcGePoint3d(x1, y1, 0));
    };
    const AcDbExtents a = box(0, 0, 10, 10);
    struct Case {
        AcDbExtents b;
        bool overlap;
    };
    const Case cases[] = {
        {box(5, 5, 15, 15), true},   {box(10, 0, 20, 10), true}, {box(10, 10, 20, 20), true},
        {box(2, 2, 3, 3), true},     {box(-5, -5, 20, 20), true}, {box(10.01, 0, 20, 10), false},
        {box(-9, 0, -0.01, 10), false}, {box(0, 10.5, 10, 20), false}, {box(0, -9, 10, -1), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CPrinPicGrid::ExtentsOverlap(a, c.b), c.overlap);
        EXPECT_EQ(CPrinPicGrid::ExtentsOverlap(c.b, a), c.overlap);
    }
}

// ------------------------------------------------------------ string count

TEST_F(RecognizeTest, StringCountRoundsHalfUpFromTheIntegerPart)
{
    // Row arrangement: base at Y = 100, string pitch 25.
    for (const auto& [lowest, strings] : std::vector<std::pair<double, int>>{{40, 2}, {37.5, 3}, {88, 0}, {87.5, 1}}) {
        CPrinPicGrid g;
        parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
        Ids wires{wire(0, 90, 60, 90), wire(-5, lowest, 30, lowest)};
        Ids symbols;
        g.RecognizeGrid(wires, symbols, Ids());
        EXPECT_EQ(g.GetScale(), 1.0);
        ASSERT_EQ(g.GetStringCount(), strings) << "lowest wire at " << lowest;
        ASSERT_EQ(g.GetStringPositions().size(), static_cast<std::size_t>(strings));
        for (int i = 0; i < strings; ++i)
            EXPECT_DOUBLE_EQ(g.GetStringPositions()[static_cast<std::size_t>(i)], 100 - 25.0 * (i + 1));
        EXPECT_EQ(g.GetMinX(), -5);
        EXPECT_EQ(g.GetMaxX(), 60);
        EXPECT_EQ(g.GetMaxY(), 100); // the base point, not the highest wire
        EXPECT_EQ(g.GetMinY(), std::min(lowest, 90.0));
    }
    // Column arrangement: base at X = 10, string pitch 20.
    for (const auto& [rightmost, strings] : std::vector<std::pair<double, int>>{{58, 2}, {60, 3}}) {
        CPrinPicGrid g;
        parameters(g, 1, AcGePoint3d(10, 100, 0), 20, 25, 3);
        Ids wires{wire(30, 100, 30, 40), wire(rightmost, 90, rightmost, 20)};
        Ids symbols;
        g.RecognizeGrid(wires, symbols, Ids());
        ASSERT_EQ(g.GetStringCount(), strings);
        for (int i = 0; i < strings; ++i)
            EXPECT_DOUBLE_EQ(g.GetStringPositions()[static_cast<std::size_t>(i)], 10 + 20.0 * (i + 1));
        EXPECT_EQ(g.GetMinX(), 10); // the base point
        EXPECT_EQ(g.GetMaxX(), rightmost);
        EXPECT_EQ(g.GetMaxY(), 100);
        EXPECT_EQ(g.GetMinY(), 20);
    }
}

TEST_F(RecognizeTest, NoReadableWireOrANegativeCountGivesNoStrings)
{
    {
        CPrinPicGrid g;
        parameters(g, 0, AcGePoint3d(3, 100, 0), 20, 25, 3);
        const AcDbObjectId line = add(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(50, 0, 0)));
        const AcDbObjectId sym = symbol(10, 75);
        Ids wires{line}, symbols{sym};
        g.RecognizeGrid(wires, symbols, Ids{device(0, 0, 10, 80)});
        EXPECT_EQ(g.GetStringCount(), 0);
        EXPECT_TRUE(g.GetStringPositions().empty());
        EXPECT_EQ(wires, Ids{line});
        EXPECT_EQ(symbols, Ids{sym});
        // The range collapses onto the base point.
        EXPECT_EQ(g.GetMinX(), 3);
        EXPECT_EQ(g.GetMaxX(), 3);
        EXPECT_EQ(g.GetMaxY(), 100);
        EXPECT_EQ(g.GetMinY(), 100);
    }
    {
        // Base point below every wire: the count would be -3.
        CPrinPicGrid g;
        parameters(g, 0, AcGePoint3d(0, 0, 0), 20, 25, 3);
        const AcDbObjectId w = wire(0, 75, 60, 75);
        Ids wires{w}, symbols{symbol(10, 75)};
        g.RecognizeGrid(wires, symbols, Ids());
        EXPECT_EQ(g.GetStringCount(), 0);
        EXPECT_EQ(wires, Ids{w});
        EXPECT_EQ(symbols.size(), 1u);
        EXPECT_EQ(g.GetMinX(), 0);
        EXPECT_EQ(g.GetMaxX(), 60);
        EXPECT_EQ(g.GetMaxY(), 0);
        EXPECT_EQ(g.GetMinY(), 75);
    }
    {
        // A symbol scale of 0 leaves no usable pitch.
        CPrinPicGrid g;
        parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
        g.SetSymbolScale(0);
        Ids wires{wire(0, 75, 60, 75)}, symbols;
        g.RecognizeGrid(wires, symbols, Ids());
        EXPECT_EQ(g.GetStringCount(), 0);
        EXPECT_EQ(wires.size(), 1u);
    }
}

// ------------------------------------------------------------ wires

TEST_F(RecognizeTest, WiresThatAreNotStraightTwoPointPolylinesAreLeftOut)
{
    // Row arrangement, base (0, 100), cells 20 wide, one row at Y = 75.
    CPrinPicGrid g;
    parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
    const AcDbObjectId row = wire(0, 75, 20, 75);               // cell 0
    const AcDbObjectId shortHorizontal = wire(24.75, 75, 25.25, 75); // 0.5 long, cell 1
    const AcDbObjectId shortVertical = wire(90, 10, 90, 10.5);  // 0.5 long: widens X only
    const AcDbObjectId bent = polyline({AcGePoint2d(40, 75), AcGePoint2d(50, 75), AcGePoint2d(60, 75)});
    const AcDbObjectId line = add(new AcDbLine(AcGePoint3d(-50, 75, 0), AcGePoint3d(-40, 0, 0)));
    const AcDbObjectId slanted = wire(41, 60, 59, 90);          // neither: widens X only
    Ids wires{line, row, shortVertical, bent, shortHorizontal, slanted};
    Ids symbols;
    g.RecognizeGrid(wires, symbols, Ids());

    // Only the two horizontal wires give Y: one row.
    ASSERT_EQ(g.GetStringCount(), 1);
    EXPECT_EQ(g.GetMinY(), 75);
    EXPECT_EQ(g.GetMinX(), 0);
    EXPECT_EQ(g.GetMaxX(), 90);
    EXPECT_EQ(wires, (Ids{line, shortVertical, bent, slanted}));
    EXPECT_EQ(where(g, row, inWires), (Places{{0, 0}}));
    EXPECT_EQ(where(g, shortHorizontal, inWires), (Places{{0, 1}}));
    for (const AcDbObjectId& id : {shortVertical, bent, line, slanted}) {
        EXPECT_TRUE(where(g, id, inWires).empty());
        EXPECT_TRUE(where(g, id, inLinks).empty());
    }
    AcDbObjectIdArray end;
    AcDbObjectId endSymbol;
    ASSERT_EQ(g.GetStringData(0, end, endSymbol), 1);
    EXPECT_TRUE(end.empty());
}

TEST_F(RecognizeTest, EachWireGoesToTheFirstStringThatTakesIt)
{
    // Rows at Y = 75 and 50, cells 20 wide from X = 0.
    CPrinPicGrid g;
    parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
    const AcDbObjectId row0 = wire(0, 75, 20, 75);
    const AcDbObjectId row1 = wire(0, 50, 20, 50);
    const AcDbObjectId nearRow0 = wire(20, 74.95, 40, 74.95); // within 0.1 of row 0
    const AcDbObjectId aboveRow1 = wire(40, 60, 60, 60);      // only row 1 takes it
    const AcDbObjectId aboveRow0 = wire(40, 76, 60, 76);      // both take it: row 0 wins
    const AcDbObjectId outside = wire(200, 95, 210, 95);      // taken by row 0, in no zone
    const AcDbObjectId link0 = wire(30, 75, 30, 100);         // midpoint 87.5: row 0's link
    const AcDbObjectId link1 = wire(30, 50, 30, 75);          // midpoint 62.5: row 1's link
    Ids wires{row0, row1, nearRow0, aboveRow1, aboveRow0, outside, link0, link1};
    Ids symbols;
    g.RecognizeGrid(wires, symbols, Ids());

    ASSERT_EQ(g.GetStringCount(), 2);
    EXPECT_TRUE(wires.empty());
    EXPECT_EQ(where(g, row0, inWires), (Places{{0, 0}}));
    EXPECT_EQ(where(g, row1, inWires), (Places{{1, 0}}));
    EXPECT_EQ(where(g, nearRow0, inWires), (Places{{0, 1}}));
    EXPECT_EQ(where(g, aboveRow1, inWires), (Places{{1, 2}}));
    EXPECT_EQ(where(g, aboveRow0, inWires), (Places{{0, 2}}));
    EXPECT_TRUE(where(g, outside, inWires).empty());
    EXPECT_TRUE(where(g, outside, inLinks).empty());
    // Link zone 1 of a row spans X 10..30 and 2 spans 30..50: X = 30 is on
    // their shared edge.
    EXPECT_EQ(where(g, link0, inLinks), (Places{{0, 1}, {0, 2}}));
    EXPECT_EQ(where(g, link1, inLinks), (Places{{1, 1}, {1, 2}}));
}

TEST_F(RecognizeTest, AMidpointOnASharedEdgeGoesToBothZones)
{
    CPrinPicGrid g;
    parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
    const AcDbObjectId across = wire(15, 75, 25, 75); // midpoint X = 20
    const AcDbObjectId first = wire(0, 75, 10, 75);
    const AcDbObjectId atEnd = wire(50, 75, 50, 100); // midpoint on link zones 2 | 3 (the end zone)
    const AcDbObjectId beforeFirst = wire(0, 75, 0, 100); // link zone 0 only
    Ids wires{first, across, atEnd, beforeFirst};
    Ids symbols;
    g.RecognizeGrid(wires, symbols, Ids());
    ASSERT_EQ(g.GetStringCount(), 1);
    EXPECT_EQ(where(g, across, inWires), (Places{{0, 0}, {0, 1}}));
    EXPECT_EQ(cell(g, 0, 0).wires, (Ids{first, across})); // bucket order = list order
    EXPECT_EQ(where(g, atEnd, inLinks), (Places{{0, 2}}));
    EXPECT_EQ(where(g, beforeFirst, inLinks), (Places{{0, 0}}));
    Ids end;
    AcDbObjectId endSymbol;
    ASSERT_EQ(g.GetStringData(0, end, endSymbol), 1);
    EXPECT_EQ(end, Ids{atEnd});
}

// ------------------------------------------------------------ symbols

TEST_F(RecognizeTest, SymbolsByTheirDistanceFromARowLine)
{
    CPrinPicGrid g;
    parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
    Ids wires{wire(0, 75, 60, 75), wire(0, 50, 60, 50)};
    const AcDbObjectId onRow0 = symbol(30, 75.05);     // 0.05 off: in line
    const AcDbObjectId belowRow1 = symbol(50, 49.95);  // 0.05 below row 1: in line
    const AcDbObjectId linkRow1 = symbol(25, 55);      // 5 above row 1: link symbol
    const AcDbObjectId linkRow0 = symbol(5, 80);       // 5 above row 0
    const AcDbObjectId high = symbol(25, 105);         // 30 above the first row: nowhere
    const AcDbObjectId endOfRow0 = symbol(65, 90);     // link zone 3 = the end zone
    Ids symbols{onRow0, belowRow1, linkRow1, linkRow0, high, endOfRow0};
    g.RecognizeGrid(wires, symbols, Ids());

    ASSERT_EQ(g.GetStringCount(), 2);
    EXPECT_EQ(where(g, onRow0, isSymbol), (Places{{0, 1}}));
    EXPECT_EQ(where(g, belowRow1, isSymbol), (Places{{1, 2}}));
    EXPECT_EQ(where(g, linkRow1, isLinkSymbol), (Places{{1, 1}}));
    EXPECT_EQ(where(g, linkRow0, isLinkSymbol), (Places{{0, 0}}));
    EXPECT_TRUE(where(g, high, isSymbol).empty());
    EXPECT_TRUE(where(g, high, isLinkSymbol).empty());
    Ids end;
    AcDbObjectId endSymbol;
    ASSERT_EQ(g.GetStringData(0, end, endSymbol), 1);
    EXPECT_EQ(endSymbol, endOfRow0);
    EXPECT_EQ(symbols, Ids{high});
}

TEST_F(RecognizeTest, TheLaterOfTwoSymbolsInAZoneWins)
{
    CPrinPicGrid g;
    parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
    Ids wires{wire(0, 75, 60, 75)};
    const AcDbObjectId a = symbol(25, 75), b = symbol(35, 75.02), c = symbol(45, 75);
    const AcDbObjectId la = symbol(10, 90), lb = symbol(12, 80);
    Ids symbols{a, la, b, c, lb};
    g.RecognizeGrid(wires, symbols, Ids());
    ASSERT_EQ(g.GetStringCount(), 1);
    EXPECT_EQ(cell(g, 0, 1).symbol, b);
    EXPECT_EQ(cell(g, 0, 2).symbol, c);
    EXPECT_EQ(cell(g, 0, 0).symbol, AcDbObjectId());
    // X = 10 is on the edge of link zones 0 and 1: la is in both, lb
    // follows it in the list and takes zone 1.
    EXPECT_EQ(cell(g, 0, 0).linkSymbol, la);
    EXPECT_EQ(cell(g, 0, 1).linkSymbol, lb);
    EXPECT_TRUE(symbols.empty());
}

// ------------------------------------------------------------ devices

TEST_F(RecognizeTest, DevicesAcrossRowsAndInTheBandBetweenThem)
{
    // Rows at 75, 50 and 25; cells 20 wide from X = 0.
    CPrinPicGrid g;
    parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 3);
    Ids wires{wire(0, 75, 60, 75), wire(0, 50, 60, 50), wire(0, 25, 60, 25)};
    const AcDbObjectId terminal = device(15, 45, 38, 80); // crosses rows 0 and 1 over cells 0, 1
    const AcDbObjectId band = device(35, 55, 59, 70);     // between rows 0 and 1, reaching X = 40
    const AcDbObjectId unread = symbol(30, 60);           // no extent points
    Ids symbols;
    const Ids devices{terminal, band, unread, terminal};
    g.RecognizeGrid(wires, symbols, devices);
    ASSERT_EQ(g.GetStringCount(), 3);

    EXPECT_EQ(where(g, terminal, inDevices), (Places{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
    // Its lower end lies in the band after row 1, so rows 1 and 2 hold it
    // as a band device in the cells whose start or end X (0, 20, 40, 60)
    // lies within 15..38.
    EXPECT_EQ(where(g, terminal, inBands), (Places{{1, 0}, {1, 1}, {2, 0}, {2, 1}}));
    EXPECT_EQ(cell(g, 1, 0).devices, Ids{terminal}); // listed twice, held once
    EXPECT_EQ(cell(g, 1, 0).bands, Ids{terminal});

    // Both ends after row 0: band device of rows 0 and 1, in the cells
    // ending or starting at X = 40.
    EXPECT_TRUE(where(g, band, inDevices).empty());
    EXPECT_EQ(where(g, band, inBands), (Places{{0, 1}, {0, 2}, {1, 1}, {1, 2}}));
    // Row 1 got the band device from row 0 before its own terminal block.
    EXPECT_EQ(cell(g, 1, 1).bands, (Ids{band, terminal}));
    EXPECT_TRUE(where(g, unread, inDevices).empty());
    EXPECT_TRUE(where(g, unread, inBands).empty());
}

// ------------------------------------------------------------ column arrangement

TEST_F(RecognizeTest, ColumnArrangement)
{
    // Columns at X = 25 and 50 (string pitch 25), cells 20 high from Y = 100 down.
    CPrinPicGrid g;
    parameters(g, 1, AcGePoint3d(0, 100, 0), 25, 20, 3);
    const AcDbObjectId col0 = wire(25, 100, 25, 80);   // cell 0 of column 0
    const AcDbObjectId col1 = wire(50, 80, 50, 40);    // midpoint 60: cells 1 | 2
    const AcDbObjectId near1 = wire(49.95, 100, 49.95, 80);
    const AcDbObjectId link1 = wire(25, 75, 50, 75);   // midpoint X 37.5: column 1's link zone 1
    const AcDbObjectId link0 = wire(0, 95, 25, 95);    // column 0's link zone 0
    const AcDbObjectId shortVertical = wire(10, 30, 10, 30.5); // widens Y only
    Ids wires{col0, col1, near1, link1, link0, shortVertical};
    const AcDbObjectId s0 = symbol(25.05, 70);  // in line: column 0, cell 1
    const AcDbObjectId l1 = symbol(45, 85);     // left of column 1: link symbol, zone 1
    const AcDbObjectId far = symbol(-30, 85);   // left of the first column: its link symbol, in no zone
    const AcDbObjectId right = symbol(80, 70);  // right of every column: nowhere
    Ids symbols{s0, l1, far, right};
    const AcDbObjectId terminal = device(20, 45, 55, 58); // crosses both columns, cell 2
    g.RecognizeGrid(wires, symbols, Ids{terminal});

    ASSERT_EQ(g.GetStringCount(), 2);
    EXPECT_EQ(g.GetMinX(), 0);
    EXPECT_EQ(g.GetMaxX(), 50);
    EXPECT_EQ(g.GetMaxY(), 100);
    EXPECT_EQ(g.GetMinY(), 30);
    EXPECT_EQ(wires, Ids{shortVertical});
    EXPECT_EQ(symbols, Ids{right});
    EXPECT_EQ(where(g, col0, inWires), (Places{{0, 0}}));
    EXPECT_EQ(where(g, col1, inWires), (Places{{1, 1}, {1, 2}}));
    EXPECT_EQ(where(g, near1, inWires), (Places{{1, 0}}));
    EXPECT_EQ(where(g, link1, inLinks), (Places{{1, 1}}));
    EXPECT_EQ(where(g, link0, inLinks), (Places{{0, 0}}));
    EXPECT_EQ(where(g, s0, isSymbol), (Places{{0, 1}}));
    EXPECT_EQ(where(g, l1, isLinkSymbol), (Places{{1, 1}}));
    EXPECT_TRUE(where(g, far, isLinkSymbol).empty());
    EXPECT_EQ(where(g, terminal, inDevices), (Places{{0, 2}, {1, 2}}));
    // The layout of every cell follows the zone table.
    for (int s = 0; s < 2; ++s) {
        const CPrinPicString& str = g.GetString(s);
        EXPECT_EQ(str.GetGrid(), &g);
        ASSERT_EQ(str.GetCellCount(), 3);
        const double p = g.GetStringPositions()[static_cast<std::size_t>(s)];
        for (int c = 0; c < 3; ++c) {
            AcDbExtents e;
            ASSERT_EQ(g.GetExtents(s, c, 1, e), 1);
            EXPECT_EQ(e.minPoint(), g.GetCellZone(p, c).minPoint());
            EXPECT_EQ(e.maxPoint(), g.GetCellZone(p, c).maxPoint());
            ASSERT_EQ(g.GetExtents(s, c, 2, e), 1);
            EXPECT_EQ(e.maxPoint(), g.GetLinkZone(p, c).maxPoint());
        }
        EXPECT_EQ(str.GetExtents().minPoint(), g.GetEndZone(p).minPoint());
        EXPECT_EQ(str.GetLinkZones().size(), 4u);
    }
}

// ------------------------------------------------------------ BuildString

TEST_F(RecognizeTest, BuildStringFillsOneStringFromItsBuckets)
{
    CPrinPicGrid g;
    parameters(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 2);
    g.SetScale(1);
    g.SetReferenceRange(0, 40, 100, 75);
    g.ResizeStrings(1);
    CPrinPicString& str = g.GetString(0);
    const AcDbObjectId w = wire(20, 75, 40, 75), lw = wire(40, 75, 40, 100), ls = symbol(40, 90);
    const AcDbObjectId s = symbol(30, 75), d = device(5, 60, 15, 90), bd = device(0, 40, 30, 55);
    const AcDbObjectId notAWire = symbol(30, 75);
    EXPECT_THROW(g.BuildString(str, Ids{w}, Ids(), Ids(), Ids(), Ids(), Ids(), 75), std::invalid_argument);
    str.SetGrid(&g);
    g.BuildString(str, Ids{w, notAWire}, Ids{lw}, Ids{s, w}, Ids{ls}, Ids{d}, Ids{bd}, 75);
    ASSERT_EQ(str.GetCellCount(), 2);
    EXPECT_EQ(cell(g, 0, 1).wires, Ids{w});
    EXPECT_EQ(cell(g, 0, 1).symbol, s);
    EXPECT_EQ(cell(g, 0, 0).devices, Ids{d});
    EXPECT_TRUE(cell(g, 0, 1).devices.empty());
    EXPECT_EQ(cell(g, 0, 0).bands, Ids{bd}); // 0..30 holds X 0, 20
    EXPECT_EQ(cell(g, 0, 1).bands, Ids{bd}); // and 20
    EXPECT_EQ(str.GetEndWireIds(), Ids{lw});
    EXPECT_EQ(str.GetEndSymbolId(), ls);
    EXPECT_EQ(str.GetCellZones().size(), 2u);
    EXPECT_EQ(str.GetExtents().minPoint(), g.GetEndZone(75).minPoint());
}

// ------------------------------------------------------------ against the rules one by one

// Recognition done the plain way: every string tests every remaining
// entity, every zone every bucket entry. The recognised grid must match it
// exactly, also for entities placed on zone edges and tolerance limits.
struct PlainResult {
    int strings = 0;
    double minX = 0, maxX = 0, maxY = 0, minY = 0;
    std::vector<CPrinPicCell> cells; // string-major
    std::vector<Ids> endWires;
    std::vector<AcDbObjectId> endSymbols;
    Ids wiresLeft, symbolsLeft;
};

PlainResult recognisePlainly(const CPrinPicGrid& params, Ids wires, Ids symbols, const Ids& devices)
{
    PlainResult r;
    const bool column = params.GetOrientation() == 1;
    const double sX = params.GetCellPitchX(), sY = params.GetCellPitchY(); // scale 1
    const AcGePoint3d base = params.GetBasePoint();
    Ids horizontal, vertical;
    bool first = true;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    const auto widen = [](double& lo, double& hi, double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (const AcDbObjectId& id : wires) {
        AcGePoint3d p0, p1, m;
        if (!CPrinPicGrid::GetWireEnds(id, p0, p1, m))
            continue;
        if (first) {
            minX = maxX = p0.x;
            minY = maxY = p0.y;
            first = false;
        }
        const bool h = CPrinPicGrid::IsHorizontalWire(id), v = !h && CPrinPicGrid::IsVerticalWire(id);
        for (const AcGePoint3d& q : {p0, p1}) {
            column ? widen(minY, maxY, q.y) : widen(minX, maxX, q.x);
            if (h || v)
                column ? widen(minX, maxX, q.x) : widen(minY, maxY, q.y);
        }
        if (h)
            horizontal.append(id);
        else if (v)
            vertical.append(id);
    }
    const double q = column ? (maxX - base.x) / sX : (base.y - minY) / sY;
    int n = static_cast<int>(std::trunc(q));
    n += q - std::trunc(q) >= 0.5 ? 1 : 0;
    n = std::max(n, 0);
    if (column)
        minX = base.x;
    else
        maxY = base.y;
    r.strings = n;
    r.minX = minX, r.maxX = maxX, r.maxY = maxY, r.minY = minY;

    CPrinPicGrid zones; // only for the zone table
    zones.SetOrientation(params.GetOrientation());
    zones.SetCellPitchX(sX);
    zones.SetCellPitchY(sY);
    zones.SetCellsPerString(params.GetCellsPerString());
    zones.SetReferenceRange(minX, maxX, maxY, minY);
    const int cells = params.GetCellsPerString();
    std::vector<Ids> band(static_cast<std::size_t>(n));
    Ids taken;
    for (int i = 0; i < n; ++i) {
        const double p = column ? base.x + (i + 1) * sX : base.y - (i + 1) * sY;
        Ids inl, lnk, sIn, sLn, cross;
        Ids& inList = column ? vertical : horizontal;
        Ids& linkList = column ? horizontal : vertical;
        for (int k = 0; k < inList.length();) {
            AcGePoint3d p0, p1, m;
            CPrinPicGrid::GetWireEnds(inList[static_cast<std::size_t>(k)], p0, p1, m);
            const bool take = column ? (m.x < p || std::fabs(m.x - p) < 0.1) : (p0.y > p || std::fabs(p0.y - p) < 0.1);
            if (take) {
                inl.append(inList[static_cast<std::size_t>(k)]);
                taken.append(inList[static_cast<std::size_t>(k)]);
                inList.removeAt(k);
            } else
                ++k;
        }
        for (int k = 0; k < linkList.length();) {
            AcGePoint3d p0, p1, m;
            CPrinPicGrid::GetWireEnds(linkList[static_cast<std::size_t>(k)], p0, p1, m);
            if (column ? m.x < p : m.y > p) {
                lnk.append(linkList[static_cast<std::size_t>(k)]);
                taken.append(linkList[static_cast<std::size_t>(k)]);
                linkList.removeAt(k);
            } else
                ++k;
        }
        for (int k = 0; k < symbols.length();) {
            AcGePoint3d at;
            if (!CPrinPicGrid::GetSymbolPosition(symbols[static_cast<std::size_t>(k)], at)) {
                ++k;
                continue;
            }
            const double c = column ? at.x : at.y;
            const bool link = column ? (c < p && std::fabs(c - p) > 0.1) : (p < c && c < p + sY && std::fabs(c - p) > 0.1);
            if (link || std::fabs(c - p) < 0.1) {
                (link ? sLn : sIn).append(symbols[static_cast<std::size_t>(k)]);
                symbols.removeAt(k);
            } else
                ++k;
        }
        Ids& myBand = band[static_cast<std::size_t>(i)];
        const auto put = [](Ids& ids, const AcDbObjectId& id) {
            if (!ids.contains(id))
                ids.append(id);
        };
        for (const AcDbObjectId& id : devices) {
            AcGePoint3d lo, hi;
            if (!CPrinPicGrid::GetDeviceExtent(id, lo, hi))
                continue;
            const double a = column ? lo.x : lo.y, b = column ? hi.x : hi.y;
            if (a <= p && p <= b)
                put(cross, id);
            else if (column ? (p < lo.x && lo.x <= p + sX) : (p - sY <= hi.y && hi.y < p))
                put(myBand, id);
            if (column ? (p < hi.x && hi.x <= p + sX) : (p - sY <= lo.y && lo.y < p)) {
                put(myBand, id);
                if (i + 1 < n)
                    put(band[static_cast<std::size_t>(i) + 1], id);
            }
        }
        // The string.
        Ids ends;
        AcDbObjectId endSymbol;
        const AcDbExtents endZone = zones.GetLinkZone(p, cells);
        for (const AcDbObjectId& id : lnk) {
            AcGePoint3d p0, p1, m;
            CPrinPicGrid::GetWireEnds(id, p0, p1, m);
            if (CPrinPicGrid::PointInRect(m, endZone) == 1)
                ends.append(id);
        }
        for (const AcDbObjectId& id : sLn) {
            AcGePoint3d at;
            CPrinPicGrid::GetSymbolPosition(id, at);
            if (CPrinPicGrid::PointInRect(at, endZone) == 1)
                endSymbol = id;
        }
        r.endWires.push_back(ends);
        r.endSymbols.push_back(endSymbol);
        for (int j = 0; j < cells; ++j) {
            CPrinPicCell cellOut;
            const AcDbExtents cz = zones.GetCellZone(p, j), lz = zones.GetLinkZone(p, j);
            for (const AcDbObjectId& id : inl) {
                AcGePoint3d p0, p1, m;
                CPrinPicGrid::GetWireEnds(id, p0, p1, m);
                if (CPrinPicGrid::PointInRect(m, cz) == 1)
                    cellOut.AppendWireId(id);
            }
            for (const AcDbObjectId& id : lnk) {
                AcGePoint3d p0, p1, m;
                CPrinPicGrid::GetWireEnds(id, p0, p1, m);
                if (CPrinPicGrid::PointInRect(m, lz) == 1)
                    cellOut.AppendLinkWireId(id);
            }
            for (const AcDbObjectId& id : sIn) {
                AcGePoint3d at;
                CPrinPicGrid::GetSymbolPosition(id, at);
                if (CPrinPicGrid::PointInRect(at, cz) == 1)
                    cellOut.SetSymbolId(id);
            }
            for (const AcDbObjectId& id : sLn) {
                AcGePoint3d at;
                CPrinPicGrid::GetSymbolPosition(id, at);
                if (CPrinPicGrid::PointInRect(at, lz) == 1)
                    cellOut.SetLinkSymbolId(id);
            }
            for (const AcDbObjectId& id : cross) {
                AcGePoint3d lo, hi;
                CPrinPicGrid::GetDeviceExtent(id, lo, hi);
                if (CPrinPicGrid::ExtentsOverlap(AcDbExtents(lo, hi), cz))
                    cellOut.AppendDeviceId(id);
            }
            r.cells.push_back(cellOut);
        }
    }
    // Band devices only once every bucket is complete.
    for (int i = 0; i < n; ++i) {
        const double p = column ? base.x + (i + 1) * sX : base.y - (i + 1) * sY;
        for (int j = 0; j < cells; ++j) {
            const AcDbExtents cz = zones.GetCellZone(p, j);
            const double s = column ? cz.minPoint().y : cz.minPoint().x;
            const double e = column ? cz.maxPoint().y : cz.maxPoint().x;
            for (const AcDbObjectId& id : band[static_cast<std::size_t>(i)]) {
                AcGePoint3d lo, hi;
                CPrinPicGrid::GetDeviceExtent(id, lo, hi);
                const double a = column ? lo.y : lo.x, b = column ? hi.y : hi.x;
                if ((a <= s && s <= b) || (a <= e && e <= b))
                    r.cells[static_cast<std::size_t>(i * cells + j)].AppendBandDeviceId(id);
            }
        }
    }
    for (const AcDbObjectId& id : wires)
        if (!taken.contains(id))
            r.wiresLeft.append(id);
    r.symbolsLeft = symbols;
    return r;
}

class AgainstPlainTest : public RecognizeTest, public ::testing::WithParamInterface<int> {};

TEST_P(AgainstPlainTest, RandomDrawingsOnZoneEdgesMatchThePlainRules)
{
    const int orientation = GetParam();
    const bool column = orientation == 1;
    std::mt19937 rng(777 + static_cast<unsigned>(orientation));
    // Coordinates snapped to tenths and quarters of the pitches, so that many
    // points lie on zone edges or at the 0.1 tolerances.
    const auto coord = [&](double lo, double hi) {
        const double step = std::uniform_int_distribution<int>(0, 2)(rng) == 0 ? 0.05 : 2.5;
        const int k = std::uniform_int_distribution<int>(0, static_cast<int>((hi - lo) / step))(rng);
        return lo + k * step;
    };
    for (int round = 0; round < 6; ++round) {
        CPrinPicGrid g;
        parameters(g, orientation, AcGePoint3d(0, 200, 0), 20, 25, 4);
        // A frame that fixes the range: the first line of cells and the
        // last string.
        const int strings = 6;
        Ids wires;
        if (column)
            wires.append(wire(20.0 * strings, 200, 20.0 * strings, 120));
        else
            wires.append(wire(0, 200 - 25.0 * strings, 80, 200 - 25.0 * strings));
        Ids symbols, devices;
        const double x0 = -10, x1 = column ? 20.0 * strings + 10 : 90;
        const double y0 = column ? 110 : 200 - 25.0 * strings - 10, y1 = 210;
        for (int k = 0; k < 120; ++k) {
            const double x = coord(x0, x1), y = coord(y0, y1);
            const double len = std::uniform_int_distribution<int>(0, 1)(rng) ? 10 : 25;
            switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
            case 0: wires.append(wire(x, y, x + len, y)); break;
            case 1: wires.append(wire(x, y, x, y + len)); break;
            case 2: wires.append(wire(x, y, x + 0.05, y + len)); break;
            case 3: symbols.append(symbol(x, y)); break;
            case 4: symbols.append(symbol(x, y)); break;
            default: devices.append(device(x, y, x + coord(0, 40), y + coord(0, 60))); break;
            }
        }
        const PlainResult want = recognisePlainly(g, wires, symbols, devices);
        g.RecognizeGrid(wires, symbols, devices);
        ASSERT_EQ(g.GetStringCount(), want.strings);
        EXPECT_EQ(g.GetMinX(), want.minX);
        EXPECT_EQ(g.GetMaxX(), want.maxX);
        EXPECT_EQ(g.GetMaxY(), want.maxY);
        EXPECT_EQ(g.GetMinY(), want.minY);
        EXPECT_EQ(wires, want.wiresLeft);
        EXPECT_EQ(symbols, want.symbolsLeft);
        int filled = 0;
        for (int i = 0; i < want.strings; ++i) {
            EXPECT_EQ(g.GetString(i).GetEndWireIds(), want.endWires[static_cast<std::size_t>(i)]);
            EXPECT_EQ(g.GetString(i).GetEndSymbolId(), want.endSymbols[static_cast<std::size_t>(i)]);
            for (int j = 0; j < 4; ++j) {
                const Cell got = cell(g, i, j);
                const CPrinPicCell& w = want.cells[static_cast<std::size_t>(i * 4 + j)];
                EXPECT_EQ(got.wires, w.GetWireIds()) << round << ": " << i << "/" << j;
                EXPECT_EQ(got.links, w.GetLinkWireIds()) << round << ": " << i << "/" << j;
                EXPECT_EQ(got.symbol, w.GetSymbolId()) << round << ": " << i << "/" << j;
                EXPECT_EQ(got.linkSymbol, w.GetLinkSymbolId()) << round << ": " << i << "/" << j;
                EXPECT_EQ(got.devices, w.GetDeviceIds()) << round << ": " << i << "/" << j;
                EXPECT_EQ(got.bands, w.GetBandDeviceIds()) << round << ": " << i << "/" << j;
                filled += static_cast<int>(got.wires.size() + got.links.size() + got.devices.size()
                                           + got.bands.size());
            }
        }
        EXPECT_GT(filled, 40) << "the drawing should fill the grid";
    }
}

INSTANTIATE_TEST_SUITE_P(BothArrangements, AgainstPlainTest, ::testing::Values(0, 1));

} // namespace
