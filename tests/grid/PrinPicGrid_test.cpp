// The grid model: zone tables of both arrangements, the slot
// accessors and their statuses, and the point queries.
#include "GridTestSupport.h"

#include <stdexcept>
#include <vector>

using gridtest::box;
using gridtest::sameBox;

namespace {

// Base (0, 100), pitches 20 x 25, scale 2 (sX = 40, sY = 50), 3 cells per
// string and three strings, laid out as recognition would leave them:
// rows at Y = 50, 0, -50; columns at X = 40, 80, 120.
void buildGrid(CPrinPicGrid& g, int orientation)
{
    gridtest::startSchematic(g, orientation, AcGePoint3d(0, 100, 0), 20, 25, 2, 3);
    const std::vector<double> positions =
        orientation == 0 ? std::vector<double>{50, 0, -50} : std::vector<double>{40, 80, 120};
    if (orientation == 0)
        g.SetMinY(-75);
    else
        g.SetMaxX(140);
    g.SetStringPositions(positions);
    g.ResizeStrings(3);
    for (int s = 0; s < 3; ++s) {
        g.GetString(s).SetGrid(&g);
        g.LayOutString(g.GetString(s), positions[s]);
    }
}

AcDbExtents extentsOf(const CPrinPicGrid& g, int s, int c, int kind)
{
    AcDbExtents e;
    EXPECT_EQ(g.GetExtents(s, c, kind, e), 1) << s << "/" << c << "/" << kind;
    return e;
}

TEST(PrinPicGrid, RowArrangementZoneTable)
{
    CPrinPicGrid g;
    buildGrid(g, 0);
    EXPECT_EQ(g.GetStringPitch(), 50.0);
    EXPECT_EQ(g.GetCellPitch(), 40.0);
    const double cellX[3][2] = {{0, 40}, {40, 80}, {80, 120}};
    const double linkX[4][2] = {{-20, 20}, {20, 60}, {60, 100}, {100, 140}};
    const double cellY[3][2] = {{25, 75}, {-25, 25}, {-75, -25}};
    const double linkY[3][2] = {{50, 100}, {0, 50}, {-50, 0}};
    for (int s = 0; s < 3; ++s) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(sameBox(extentsOf(g, s, c, 1), box(cellX[c][0], cellY[s][0], cellX[c][1], cellY[s][1])));
            EXPECT_TRUE(sameBox(extentsOf(g, s, c, 0), box(linkX[c][0], linkY[s][0], linkX[c][1], linkY[s][1])));
        }
        EXPECT_TRUE(sameBox(extentsOf(g, s, -1, 0), box(100, linkY[s][0], 140, linkY[s][1])));
        // Recognition's lists hold the same zones.
        const CPrinPicString& str = g.GetString(s);
        ASSERT_EQ(str.GetCellZones().size(), 3u);
        ASSERT_EQ(str.GetLinkZones().size(), 4u);
        EXPECT_TRUE(sameBox(str.GetCellZones()[2], box(80, cellY[s][0], 120, cellY[s][1])));
        EXPECT_TRUE(sameBox(str.GetLinkZones()[3], str.GetExtents()));
    }
}

TEST(PrinPicGrid, ColumnArrangementZoneTable)
{
    CPrinPicGrid g;
    buildGrid(g, 1);
    EXPECT_EQ(g.GetStringPitch(), 40.0);
    EXPECT_EQ(g.GetCellPitch(), 50.0);
    const double cellX[3][2] = {{20, 60}, {60, 100}, {100, 140}};
    const double linkX[3][2] = {{0, 40}, {40, 80}, {80, 120}};
    const double cellY[3][2] = {{50, 100}, {0, 50}, {-50, 0}};
    const double linkY[4][2] = {{75, 125}, {25, 75}, {-25, 25}, {-75, -25}};
    for (int s = 0; s < 3; ++s) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(sameBox(extentsOf(g, s, c, 1), box(cellX[s][0], cellY[c][0], cellX[s][1], cellY[c][1])));
            EXPECT_TRUE(sameBox(extentsOf(g, s, c, 0), box(linkX[s][0], linkY[c][0], linkX[s][1], linkY[c][1])));
        }
        EXPECT_TRUE(sameBox(extentsOf(g, s, -1, 0), box(linkX[s][0], -75, linkX[s][1], -25)));
    }
}

TEST(PrinPicGrid, LayOutStringKeepsContentsAndFixesCellCount)
{
    gridtest::IdSource ids;
    CPrinPicGrid g;
    buildGrid(g, 0);
    CPrinPicString str;
    str.SetCellCount(5);
    const AcDbObjectId sym = ids.next();
    str.GetCell(1).SetSymbolId(sym);
    g.LayOutString(str, 50);
    ASSERT_EQ(str.GetCellCount(), 3);
    EXPECT_EQ(str.GetCell(1).GetSymbolId(), sym);
    EXPECT_TRUE(sameBox(str.GetCell(1).GetCellExtents(), box(40, 25, 80, 75)));
    EXPECT_EQ(str.GetGrid(), nullptr);
}

class GridAccessors : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { buildGrid(g, GetParam()); }
    CPrinPicGrid g;
    gridtest::IdSource ids;
};

TEST_P(GridAccessors, GetExtentsStatuses)
{
    const AcDbExtents sentinel = box(-1, -2, -3, -4);
    AcDbExtents out = sentinel;
    EXPECT_EQ(g.GetExtents(-1, 0, 1, out), -1);
    EXPECT_EQ(g.GetExtents(3, 0, 1, out), -1);
    EXPECT_EQ(g.GetExtents(0, 3, 1, out), -2);
    EXPECT_EQ(g.GetExtents(0, -2, 0, out), -2);
    EXPECT_EQ(g.GetExtents(0, -1, 1, out), -3);
    EXPECT_EQ(g.GetExtents(0, -1, 2, out), -3);
    EXPECT_TRUE(sameBox(out, sentinel));
    // Any kind other than 1 is the link zone.
    EXPECT_TRUE(sameBox(extentsOf(g, 1, 2, 7), extentsOf(g, 1, 2, 0)));
    EXPECT_FALSE(sameBox(extentsOf(g, 1, 2, 1), extentsOf(g, 1, 2, 0)));
}

TEST_P(GridAccessors, CellDataGoesToTheSlotOfItsKind)
{
    const AcDbObjectIdArray wires = ids.array(2), linkWires = ids.array(3);
    const AcDbObjectIdArray devices = ids.array(1), bands = ids.array(2), devices2 = ids.array(2);
    const AcDbObjectId sym = ids.next(), linkSym = ids.next();
    EXPECT_EQ(g.SetCellData(1, 2, 1, wires, sym, devices, bands), 1);
    EXPECT_EQ(g.SetCellData(1, 2, 5, linkWires, linkSym, devices2, {}), 1);

    AcDbObjectIdArray w, lw, d, b;
    AcDbObjectId s, ls;
    ASSERT_EQ(g.GetCellData(1, 2, w, s, lw, ls, d, b), 1);
    EXPECT_EQ(w, wires);
    EXPECT_EQ(s, sym);
    EXPECT_EQ(lw, linkWires);
    EXPECT_EQ(ls, linkSym);
    EXPECT_EQ(d, devices2);
    EXPECT_TRUE(b.empty());
    // Neighbouring cells are untouched.
    ASSERT_EQ(g.GetCellData(1, 1, w, s, lw, ls, d, b), 1);
    EXPECT_TRUE(w.empty() && s.isNull() && lw.empty() && ls.isNull());
}

TEST_P(GridAccessors, BadIndicesAreRejectedWithoutTouchingAnything)
{
    const AcDbObjectIdArray wires = ids.array(2);
    const AcDbObjectId sym = ids.next();
    ASSERT_EQ(g.SetCellData(0, 0, 1, wires, sym, {}, {}), 1);
    for (int c : {-1, 3, 4}) {
        EXPECT_EQ(g.SetCellData(0, c, 1, ids.array(1), ids.next(), {}, {}), -2) << c;
        EXPECT_EQ(g.SetCellData(-1, c, 1, {}, {}, {}, {}), -1) << c;
    }
    EXPECT_EQ(g.SetCellData(3, 0, 1, {}, {}, {}, {}), -1);

    AcDbObjectIdArray w = wires, lw, d, b;
    AcDbObjectId s = sym, ls;
    EXPECT_EQ(g.GetCellData(0, 3, w, s, lw, ls, d, b), -2);
    EXPECT_EQ(g.GetCellData(3, 0, w, s, lw, ls, d, b), -1);
    EXPECT_EQ(g.GetCellData(0, -1, w, s, lw, ls, d, b), -2);
    ASSERT_EQ(g.GetCellData(0, 0, w, s, lw, ls, d, b), 1);
    EXPECT_EQ(w, wires);
    EXPECT_EQ(s, sym);

    EXPECT_EQ(g.SetStringData(3, ids.array(1), ids.next()), -1);
    EXPECT_EQ(g.SetStringData(-1, ids.array(1), ids.next()), -1);
    EXPECT_EQ(g.GetStringData(3, w, s), -1);
    EXPECT_EQ(w, wires);
}

TEST_P(GridAccessors, IndexBeyondTheActualCellArrayThrows)
{
    g.SetCellsPerString(4); // the strings still have 3 cells
    AcDbExtents e;
    AcDbObjectIdArray w, lw, d, b;
    AcDbObjectId s, ls;
    EXPECT_THROW(g.GetExtents(0, 3, 1, e), std::invalid_argument);
    EXPECT_THROW(g.GetCellData(0, 3, w, s, lw, ls, d, b), std::invalid_argument);
    EXPECT_THROW(g.SetCellData(0, 3, 0, {}, {}, {}, {}), std::invalid_argument);
    EXPECT_EQ(g.GetExtents(0, 4, 1, e), -2);
    EXPECT_EQ(g.GetExtents(0, -1, 0, e), 1);
}

INSTANTIATE_TEST_SUITE_P(BothArrangements, GridAccessors, ::testing::Values(0, 1));

TEST(PointInRect, EdgeLineRule)
{
    const AcDbExtents r = box(0, 0, 10, 20);
    const auto in = [&](double x, double y) { return CPrinPicGrid::PointInRect(AcGePoint3d(x, y, 0), r); };
    // Corners, edge points and the centre are inside.
    EXPECT_EQ(in(0, 0), 1);
    EXPECT_EQ(in(0, 20), 1);
    EXPECT_EQ(in(10, 20), 1);
    EXPECT_EQ(in(10, 0), 1);
    EXPECT_EQ(in(0, 10), 1);
    EXPECT_EQ(in(5, 20), 1);
    EXPECT_EQ(in(10, 7), 1);
    EXPECT_EQ(in(5, 0), 1);
    EXPECT_EQ(in(5, 10), 1);
    // Within 0.1 of an edge line but off the edge: outside, inside or not.
    EXPECT_EQ(in(0.05, 10), 0);
    EXPECT_EQ(in(-0.05, 10), 0);
    EXPECT_EQ(in(5, 19.95), 0);
    EXPECT_EQ(in(0.1, 10), 0);
    EXPECT_EQ(in(0.1000001, 10), 1);
    EXPECT_EQ(in(-0.1000001, 10), 0);
    // On an edge's line beyond its ends.
    EXPECT_EQ(in(0, 30), 0);
    EXPECT_EQ(in(-4, 0), 0);
    // The first edge near the point decides: on the top edge but within 0.1
    // of the left line is outside; near the top-right corner the top edge
    // comes before the right one.
    EXPECT_EQ(in(0.05, 20), 0);
    EXPECT_EQ(in(9.95, 20), 1);
    EXPECT_EQ(in(10, 19.95), 0);
    EXPECT_EQ(in(10, 0.05), 1);
    // Z does not count.
    EXPECT_EQ(CPrinPicGrid::PointInRect(AcGePoint3d(0, 10, 5), r), 1);
    EXPECT_EQ(CPrinPicGrid::PointInRect(AcGePoint3d(5, 10, -3), r), 1);
}

TEST(PointInRect, RestoresTheGlobalTolerance)
{
    const AcGeTol saved = AcGeContext::gTol;
    AcGeContext::gTol.setEqualPoint(1e-3);
    AcGeContext::gTol.setEqualVector(1e-7);
    EXPECT_EQ(CPrinPicGrid::PointInRect(AcGePoint3d(0.05, 5, 0), box(0, 0, 10, 10)), 0);
    EXPECT_EQ(AcGeContext::gTol.equalPoint(), 1e-3);
    EXPECT_EQ(AcGeContext::gTol.equalVector(), 1e-7);
    AcGeContext::gTol = saved;
}

TEST(PointInGrid, ReferenceRangeWidenedByHalfAPitch)
{
    CPrinPicGrid row, column;
    buildGrid(row, 0);    // range X 0..120, Y -75..100; sX/2 = 20, sY/2 = 25
    buildGrid(column, 1); // range X 0..140, Y -50..100
    EXPECT_TRUE(row.PointInGrid(AcGePoint3d(130, 110, 0)));
    EXPECT_TRUE(row.PointInGrid(AcGePoint3d(-19, -99, 0)));
    EXPECT_TRUE(row.PointInGrid(AcGePoint3d(140, 0, 0)));
    EXPECT_FALSE(row.PointInGrid(AcGePoint3d(141, 0, 0)));
    EXPECT_FALSE(row.PointInGrid(AcGePoint3d(-19.95, 0, 0)));
    EXPECT_FALSE(row.PointInGrid(AcGePoint3d(0, 126, 0)));
    EXPECT_TRUE(column.PointInGrid(AcGePoint3d(155, -70, 0)));
    EXPECT_FALSE(column.PointInGrid(AcGePoint3d(155, -76, 0)));
    EXPECT_FALSE(column.PointInGrid(AcGePoint3d(161, 0, 0)));
}

TEST(FindCellAtPoint, StatusesAndFirstHitOrder)
{
    CPrinPicGrid g;
    buildGrid(g, 0);
    std::int32_t s = 99, c = 99;
    EXPECT_EQ(g.FindCellAtPoint(AcGePoint3d(500, 0, 0), 1, s, c), -1);
    EXPECT_EQ(g.FindCellAtPoint(AcGePoint3d(130, 0, 0), 1, s, c), -3); // in the grid, right of the cells
    EXPECT_EQ(s, 99);
    EXPECT_EQ(c, 99);
    ASSERT_EQ(g.FindCellAtPoint(AcGePoint3d(50, 10, 0), 1, s, c), 1);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(c, 1);
    // Shared edges go to the cell and string met first.
    ASSERT_EQ(g.FindCellAtPoint(AcGePoint3d(40, 50, 0), 1, s, c), 1); // cells 0 and 1 of string 0
    EXPECT_EQ(s, 0);
    EXPECT_EQ(c, 0);
    ASSERT_EQ(g.FindCellAtPoint(AcGePoint3d(60, 25, 0), 1, s, c), 1); // strings 0 and 1
    EXPECT_EQ(s, 0);
    EXPECT_EQ(c, 1);
    ASSERT_EQ(g.FindCellAtPoint(AcGePoint3d(20, 50, 0), 2, s, c), 1); // link zones of strings 0 and 1
    EXPECT_EQ(s, 0);
    EXPECT_EQ(c, 0);

    CPrinPicGrid empty;
    gridtest::startSchematic(empty, 0, AcGePoint3d(0, 100, 0), 20, 25, 2, 3);
    EXPECT_EQ(empty.FindCellAtPoint(AcGePoint3d(10, 100, 0), 1, s, c), -2);
}

TEST(FindCellAtPoint, EndZonesOnlyForKindZero)
{
    for (int orientation : {0, 1}) {
        SCOPED_TRACE(orientation);
        CPrinPicGrid g;
        buildGrid(g, orientation);
        // Inside string 1's end zone only.
        const AcGePoint3d end = orientation == 0 ? AcGePoint3d(130, 10, 0) : AcGePoint3d(50, -60, 0);
        std::int32_t s = 99, c = 99;
        ASSERT_EQ(g.FindCellAtPoint(end, 0, s, c), 1);
        EXPECT_EQ(s, 1);
        EXPECT_EQ(c, -1);
        s = c = 99;
        EXPECT_EQ(g.FindCellAtPoint(end, 2, s, c), -3);
        EXPECT_EQ(s, 99);
        // On the edge between string 1's last link zone and its end zone the
        // cells are tested first, for both kinds.
        const AcGePoint3d edge = orientation == 0 ? AcGePoint3d(100, 10, 0) : AcGePoint3d(50, -25, 0);
        for (int kind : {0, 2}) {
            ASSERT_EQ(g.FindCellAtPoint(edge, kind, s, c), 1);
            EXPECT_EQ(s, 1);
            EXPECT_EQ(c, 2);
        }
        // Between the end zones of strings 0 and 1: string 0 wins.
        const AcGePoint3d between = orientation == 0 ? AcGePoint3d(120, 50, 0) : AcGePoint3d(40, -50, 0);
        ASSERT_EQ(g.FindCellAtPoint(between, 0, s, c), 1);
        EXPECT_EQ(s, 0);
        EXPECT_EQ(c, -1);
    }
}

} // namespace
