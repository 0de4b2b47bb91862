// Inserting and deleting strings: the listed cases in both arrangements and
// a seeded random walk that checks every grid invariant after each step.
#include "GridTestSupport.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using gridtest::box;
using gridtest::sameBox;

namespace {

// The zones of the grid's table, worked out here from the parameters.
struct Layout {
    int orientation;
    double minX, maxY, sX, sY;
    AcDbExtents cell(double p, int j) const
    {
        return orientation == 0 ? box(minX + j * sX, p - sY / 2, minX + (j + 1) * sX, p + sY / 2)
                                : box(p - sX / 2, maxY - (j + 1) * sY, p + sX / 2, maxY - j * sY);
    }
    AcDbExtents link(double p, int j) const
    {
        return orientation == 0 ? box(minX + (j - 0.5) * sX, p, minX + (j + 0.5) * sX, p + sY)
                                : box(p - sX, maxY - (j + 0.5) * sY, p, maxY - (j - 0.5) * sY);
    }
};

Layout layoutOf(const CPrinPicGrid& g)
{
    return {g.GetOrientation(), g.GetMinX(), g.GetMaxY(), g.GetCellPitchX() * g.GetScale(),
            g.GetCellPitchY() * g.GetScale()};
}

// What a test put into one string, to follow it through the edits.
struct Contents {
    AcDbObjectIdArray endWires;
    AcDbObjectId endSymbol;
    struct Cell {
        AcDbObjectIdArray wires, linkWires, devices, bands;
        AcDbObjectId symbol, linkSymbol;
    };
    std::vector<Cell> cells;
};

Contents fill(CPrinPicGrid& g, int s, gridtest::IdSource& ids)
{
    // Two fresh entities mark the string; a few more vary the cells.
    const AcDbObjectId a = ids.next(), b = ids.next();
    Contents k;
    k.endWires = {b, a};
    k.endSymbol = a;
    EXPECT_EQ(g.SetStringData(s, k.endWires, k.endSymbol), 1);
    for (int c = 0; c < g.GetCellsPerString(); ++c) {
        Contents::Cell cell;
        cell.symbol = a;
        cell.linkSymbol = c % 2 ? b : AcDbObjectId();
        cell.wires = {a, b};
        cell.wires.resize(static_cast<std::size_t>(c % 3), a);
        cell.linkWires = {b};
        cell.devices = {a, b};
        cell.bands = c == 0 ? AcDbObjectIdArray{} : AcDbObjectIdArray{b};
        EXPECT_EQ(g.SetCellData(s, c, 1, cell.wires, cell.symbol, {}, {}), 1);
        EXPECT_EQ(g.SetCellData(s, c, 0, cell.linkWires, cell.linkSymbol, cell.devices, cell.bands), 1);
        k.cells.push_back(cell);
    }
    return k;
}

::testing::AssertionResult holds(const CPrinPicGrid& g, int s, const Contents& k)
{
    AcDbObjectIdArray w, lw, d, b;
    AcDbObjectId sym, lsym;
    if (g.GetStringData(s, w, sym) != 1 || w != k.endWires || sym != k.endSymbol)
        return ::testing::AssertionFailure() << "end zone of string " << s;
    for (int c = 0; c < static_cast<int>(k.cells.size()); ++c) {
        const Contents::Cell& e = k.cells[static_cast<std::size_t>(c)];
        if (g.GetCellData(s, c, w, sym, lw, lsym, d, b) != 1 || w != e.wires || sym != e.symbol
            || lw != e.linkWires || lsym != e.linkSymbol || d != e.devices || b != e.bands)
            return ::testing::AssertionFailure() << "cell " << c << " of string " << s;
    }
    return ::testing::AssertionSuccess();
}

bool isEmpty(const CPrinPicString& str)
{
    if (!str.GetEndWireIds().empty() || !str.GetEndSymbolId().isNull())
        return false;
    return std::all_of(str.GetCells().begin(), str.GetCells().end(), [](const CPrinPicCell& c) {
        return c.GetSymbolId().isNull() && c.GetLinkSymbolId().isNull() && c.GetWireIds().empty()
            && c.GetLinkWireIds().empty() && c.GetDeviceIds().empty() && c.GetBandDeviceIds().empty();
    });
}

// The invariants of a grid started empty at its base point: one position
// per string, string k one pitch beyond string k - 1 and the first one
// pitch from the base point; cellsPerString cells, the grid pointer, and
// zones equal to the table for the string's position.
::testing::AssertionResult invariantsHold(const CPrinPicGrid& g, double tol)
{
    const Layout t = layoutOf(g);
    const int n = g.GetCellsPerString();
    const std::vector<double>& pos = g.GetStringPositions();
    if (pos.size() != g.GetStrings().size())
        return ::testing::AssertionFailure() << pos.size() << " positions for " << g.GetStringCount() << " strings";
    for (int s = 0; s < g.GetStringCount(); ++s) {
        const double p = pos[static_cast<std::size_t>(s)];
        const double expected = t.orientation == 0 ? g.GetBasePoint().y - (s + 1) * t.sY
                                                   : g.GetBasePoint().x + (s + 1) * t.sX;
        if (std::fabs(p - expected) > tol)
            return ::testing::AssertionFailure() << "string " << s << " at " << p << " not " << expected;
        const CPrinPicString& str = g.GetString(s);
        if (str.GetCellCount() != n || str.GetGrid() != &g)
            return ::testing::AssertionFailure() << "string " << s << " cells or grid pointer";
        for (int c = 0; c < n; ++c) {
            const CPrinPicCell& cell = str.GetCell(c);
            if (auto r = sameBox(cell.GetCellExtents(), t.cell(p, c), tol); !r)
                return r << " (cell zone " << s << "/" << c << ")";
            if (auto r = sameBox(cell.GetLinkExtents(), t.link(p, c), tol); !r)
                return r << " (link zone " << s << "/" << c << ")";
        }
        if (auto r = sameBox(str.GetExtents(), t.link(p, n), tol); !r)
            return r << " (end zone " << s << ")";
    }
    return ::testing::AssertionSuccess();
}

struct Range {
    double minX, maxX, maxY, minY;
};
Range rangeOf(const CPrinPicGrid& g)
{
    return {g.GetMinX(), g.GetMaxX(), g.GetMaxY(), g.GetMinY()};
}
bool operator==(const Range& a, const Range& b)
{
    return a.minX == b.minX && a.maxX == b.maxX && a.maxY == b.maxY && a.minY == b.minY;
}

// Row grid of the worked example: base Y 100, sY 25 (scale 1), rows at 75, 50.
class RowEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        gridtest::startSchematic(g, 0, AcGePoint3d(0, 100, 0), 20, 25, 1, 3);
        ASSERT_EQ(g.InsertString(0), 1);
        ASSERT_EQ(g.InsertString(1), 1);
        k0 = fill(g, 0, ids);
        k1 = fill(g, 1, ids);
    }
    CPrinPicGrid g;
    gridtest::IdSource ids;
    Contents k0, k1;
};

TEST_F(RowEdit, InsertAtFrontMovesTheOldStringsDown)
{
    ASSERT_EQ(g.GetStringPositions(), (std::vector<double>{75, 50}));
    const double minY = g.GetMinY();
    const AcDbExtents oldCell = g.GetString(1).GetCell(2).GetCellExtents();
    const AcDbExtents oldEnd = g.GetString(0).GetExtents();
    ASSERT_EQ(g.InsertString(0), 1);
    EXPECT_EQ(g.GetStringPositions(), (std::vector<double>{75, 50, 25}));
    EXPECT_TRUE(isEmpty(g.GetString(0)));
    EXPECT_TRUE(sameBox(g.GetString(0).GetCell(0).GetCellExtents(), box(0, 62.5, 20, 87.5)));
    EXPECT_TRUE(holds(g, 1, k0));
    EXPECT_TRUE(holds(g, 2, k1));
    EXPECT_TRUE(sameBox(g.GetString(2).GetCell(2).GetCellExtents(),
                        box(oldCell.minPoint().x, oldCell.minPoint().y - 25, oldCell.maxPoint().x,
                            oldCell.maxPoint().y - 25)));
    EXPECT_TRUE(sameBox(g.GetString(1).GetExtents(), box(oldEnd.minPoint().x, oldEnd.minPoint().y - 25,
                                                         oldEnd.maxPoint().x, oldEnd.maxPoint().y - 25)));
    EXPECT_EQ(g.GetMinY(), minY - 25);
    EXPECT_TRUE(invariantsHold(g, 0));
}

TEST_F(RowEdit, DeletingTheLastStringMovesNothing)
{
    const AcDbExtents firstEnd = g.GetString(0).GetExtents();
    const double minY = g.GetMinY();
    ASSERT_EQ(g.DeleteString(1), 1);
    EXPECT_EQ(g.GetStringPositions(), std::vector<double>{75});
    EXPECT_TRUE(sameBox(g.GetString(0).GetExtents(), firstEnd));
    EXPECT_TRUE(holds(g, 0, k0));
    EXPECT_EQ(g.GetMinY(), minY + 25);
}

TEST_F(RowEdit, PositionsOutOfStepWithStringsAreAProgrammingError)
{
    g.SetStringPositions({75});
    EXPECT_THROW(g.InsertString(0), std::logic_error);
    EXPECT_THROW(g.DeleteString(0), std::logic_error);
}

// The grid's own check, which every edit asserts, sees each invariant broken.
TEST_F(RowEdit, CheckInvariantsFindsEachBrokenInvariant)
{
    EXPECT_TRUE(g.CheckInvariants());

    g.SetStringPositions({75});
    EXPECT_FALSE(g.CheckInvariants()) << "a position missing";
    g.SetStringPositions({75, 55});
    EXPECT_FALSE(g.CheckInvariants()) << "positions not one pitch apart";
    g.SetStringPositions({75, 50});
    ASSERT_TRUE(g.CheckInvariants());

    g.SetCellsPerString(4);
    EXPECT_FALSE(g.CheckInvariants()) << "strings short of cells";
    g.SetCellsPerString(3);

    const AcDbExtents cellZone = g.GetString(1).GetCell(2).GetCellExtents();
    g.GetString(1).GetCell(2).SetCellExtents(box(40, 12.5, 60, 37.5));
    EXPECT_FALSE(g.CheckInvariants()) << "a cell zone moved";
    g.GetString(1).GetCell(2).SetCellExtents(cellZone);

    const AcDbExtents linkZone = g.GetString(0).GetCell(0).GetLinkExtents();
    g.GetString(0).GetCell(0).SetLinkExtents(AcDbExtents());
    EXPECT_FALSE(g.CheckInvariants()) << "a link zone emptied";
    g.GetString(0).GetCell(0).SetLinkExtents(linkZone);

    const AcDbExtents endZone = g.GetString(0).GetExtents();
    g.GetString(0).SetExtents(box(50, 75, 70, 100.5));
    EXPECT_FALSE(g.CheckInvariants()) << "an end zone grown";
    g.GetString(0).SetExtents(endZone);

    g.GetString(0).SetGrid(nullptr);
    EXPECT_FALSE(g.CheckInvariants()) << "a string out of the grid";
    g.GetString(0).SetGrid(&g);
    EXPECT_TRUE(g.CheckInvariants());

    // Rounding in a moved zone is no break.
    g.GetString(1).GetCell(0).SetCellExtents(box(0, 37.5 + 1e-9, 20, 62.5));
    EXPECT_TRUE(g.CheckInvariants());
}

TEST(GridEdit, FirstStringLiesOnePitchFromTheBasePoint)
{
    CPrinPicGrid row, column;
    gridtest::startSchematic(row, 0, AcGePoint3d(10, 100, 0), 20, 25, 2, 3);
    gridtest::startSchematic(column, 1, AcGePoint3d(10, 100, 0), 20, 25, 2, 3);
    const Range rowRange = rangeOf(row), columnRange = rangeOf(column);
    ASSERT_EQ(row.InsertString(0), 1);
    ASSERT_EQ(column.InsertString(4), 1);
    EXPECT_EQ(row.GetStringPositions(), std::vector<double>{50});
    EXPECT_EQ(column.GetStringPositions(), std::vector<double>{50});
    EXPECT_TRUE(sameBox(row.GetString(0).GetExtents(), box(110, 50, 150, 100)));
    EXPECT_TRUE(sameBox(column.GetString(0).GetCell(0).GetCellExtents(), box(30, 50, 70, 100)));
    EXPECT_TRUE((rangeOf(row) == Range{rowRange.minX, rowRange.maxX, rowRange.maxY, rowRange.minY - 50}));
    EXPECT_TRUE((rangeOf(column) == Range{columnRange.minX, columnRange.maxX + 40, columnRange.maxY,
                                          columnRange.minY}));
}

TEST(GridEdit, ColumnInsertInTheMiddleMovesLaterColumnsRight)
{
    gridtest::IdSource ids;
    CPrinPicGrid g;
    gridtest::startSchematic(g, 1, AcGePoint3d(0, 100, 0), 20, 25, 2, 3);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(g.InsertString(i), 1);
    std::vector<Contents> k;
    for (int s = 0; s < 3; ++s)
        k.push_back(fill(g, s, ids));
    const double maxX = g.GetMaxX();
    ASSERT_EQ(g.InsertString(1), 1);
    EXPECT_EQ(g.GetStringPositions(), (std::vector<double>{40, 80, 120, 160}));
    EXPECT_TRUE(isEmpty(g.GetString(1)));
    EXPECT_TRUE(holds(g, 0, k[0]));
    EXPECT_TRUE(holds(g, 2, k[1]));
    EXPECT_TRUE(holds(g, 3, k[2]));
    EXPECT_EQ(g.GetMaxX(), maxX + 40);
    EXPECT_TRUE(invariantsHold(g, 0));
    ASSERT_EQ(g.DeleteString(0), 1);
    EXPECT_TRUE(holds(g, 1, k[1]));
    EXPECT_EQ(g.GetMaxX(), maxX);
    EXPECT_TRUE(invariantsHold(g, 0));
}

// Random walk: orientation, parameter set (exact binary values, checked
// exactly, or inexact ones, checked within a tolerance) and seed.
struct WalkCase {
    int orientation;
    bool exact;
    unsigned seed;
};

void PrintTo(const WalkCase& wc, std::ostream* os)
{
    *os << "orientation " << wc.orientation << (wc.exact ? ", exact" : ", inexact") << ", seed " << wc.seed;
}

class RandomEditWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(RandomEditWalk, InvariantsAndContentsHoldAfterEveryStep)
{
    const WalkCase wc = GetParam();
    CPrinPicGrid g;
    if (wc.exact)
        gridtest::startSchematic(g, wc.orientation, AcGePoint3d(0, 100, 0), 20, 25, 2, 3);
    else
        gridtest::startSchematic(g, wc.orientation, AcGePoint3d(12.5, -7.3, 0), 17.3, 9.1, 0.37, 5);
    const double tol = wc.exact ? 0.0 : 1e-6;
    const double pitch = g.GetStringPitch();
    const Range start = rangeOf(g);
    gridtest::IdSource ids;
    std::vector<Contents> model;
    std::mt19937 rng(wc.seed);
    int accepted = 0, rejected = 0, largest = 0;
    bool emptiedAgain = false;

    for (int step = 0; step < 2000; ++step) {
        const int n = g.GetStringCount();
        const bool insert = std::uniform_real_distribution<double>(0, 1)(rng) < (step < 1000 ? 0.55 : 0.4);
        // Mostly valid indices, one in eight anywhere from -3 to n + 3.
        int i = std::uniform_int_distribution<int>(0, 7)(rng) == 0
            ? std::uniform_int_distribution<int>(-3, n + 3)(rng)
            : std::uniform_int_distribution<int>(0, std::max(0, insert ? n : n - 1))(rng);
        const Range before = rangeOf(g);
        const std::vector<double> positionsBefore = g.GetStringPositions();
        std::int32_t result;
        if (insert) {
            result = g.InsertString(i);
            ASSERT_EQ(result, i < 0 ? -1 : 1) << "step " << step;
            if (result == 1) {
                const int at = std::min(i, n);
                ASSERT_TRUE(isEmpty(g.GetString(at))) << "step " << step;
                model.insert(model.begin() + at, fill(g, at, ids));
            }
        } else {
            result = g.DeleteString(i);
            ASSERT_EQ(result, i >= 0 && i < n ? 1 : -1) << "step " << step;
            if (result == 1)
                model.erase(model.begin() + i);
        }
        accepted += result == 1;

        ASSERT_TRUE(invariantsHold(g, tol)) << "step " << step << (insert ? " insert " : " delete ") << i;
        ASSERT_TRUE(g.CheckInvariants()) << "step " << step;
        ASSERT_EQ(g.GetStringCount(), static_cast<int>(model.size()));
        for (int s = 0; s < g.GetStringCount(); ++s)
            ASSERT_TRUE(holds(g, s, model[static_cast<std::size_t>(s)])) << "step " << step;
        if (result != 1) {
            ++rejected;
            ASSERT_EQ(g.GetStringPositions(), positionsBefore) << "step " << step;
        }
        largest = std::max(largest, g.GetStringCount());
        emptiedAgain = emptiedAgain || (largest > 20 && g.GetStringCount() == 0);

        // The range moves by one pitch per accepted edit, on one side only.
        const double moved = result != 1 ? 0.0 : insert ? pitch : -pitch;
        const Range now = rangeOf(g);
        const double count = g.GetStringCount();
        if (wc.orientation == 0) {
            ASSERT_NEAR(now.minY, before.minY - moved, tol) << "step " << step;
            ASSERT_NEAR(now.minY, start.minY - count * pitch, tol + 1e-9) << "step " << step;
            ASSERT_TRUE((Range{now.minX, now.maxX, now.maxY, before.minY} == before)) << "step " << step;
        } else {
            ASSERT_NEAR(now.maxX, before.maxX + moved, tol) << "step " << step;
            ASSERT_NEAR(now.maxX, start.maxX + count * pitch, tol + 1e-9) << "step " << step;
            ASSERT_TRUE((Range{now.minX, before.maxX, now.maxY, now.minY} == before)) << "step " << step;
        }

        // A random string's zone centres are found where they are.
        if (g.GetStringCount() > 0) {
            const int s = std::uniform_int_distribution<int>(0, g.GetStringCount() - 1)(rng);
            const int c = std::uniform_int_distribution<int>(0, g.GetCellsPerString() - 1)(rng);
            const auto centre = [](const AcDbExtents& e) {
                return AcGePoint3d((e.minPoint().x + e.maxPoint().x) / 2, (e.minPoint().y + e.maxPoint().y) / 2, 0);
            };
            const CPrinPicString& str = g.GetString(s);
            std::int32_t fs = -9, fc = -9;
            ASSERT_EQ(g.FindCellAtPoint(centre(str.GetCell(c).GetCellExtents()), 1, fs, fc), 1);
            ASSERT_EQ(fs * 100 + fc, s * 100 + c) << "step " << step;
            ASSERT_EQ(g.FindCellAtPoint(centre(str.GetCell(c).GetLinkExtents()), 2, fs, fc), 1);
            ASSERT_EQ(fs * 100 + fc, s * 100 + c) << "step " << step;
            ASSERT_EQ(g.FindCellAtPoint(centre(str.GetExtents()), 0, fs, fc), 1);
            ASSERT_EQ(fs * 100 + fc, s * 100 - 1) << "step " << step;
        }
    }
    // The walk grew the grid, emptied it again and met bad indices.
    EXPECT_GT(accepted, 1500);
    EXPECT_GT(rejected, 20);
    EXPECT_GT(largest, 20);
    EXPECT_TRUE(emptiedAgain);
}

std::string walkName(const ::testing::TestParamInfo<WalkCase>& info)
{
    return std::string(info.param.orientation == 0 ? "Rows" : "Columns") + (info.param.exact ? "Exact" : "Inexact")
        + "Seed" + std::to_string(info.param.seed);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEditWalk,
                         ::testing::Values(WalkCase{0, true, 1}, WalkCase{1, true, 1}, WalkCase{0, false, 1},
                                           WalkCase{1, false, 1}, WalkCase{0, true, 20240607},
                                           WalkCase{1, true, 20240607}, WalkCase{0, false, 20240607},
                                           WalkCase{1, false, 20240607}),
                         walkName);

} // namespace
