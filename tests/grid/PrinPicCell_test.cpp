// Cells and strings as values: what copying carries, how id arrays grow,
// moving zones, and bad cell indices.
#include "GridTestSupport.h"

#include <stdexcept>

using gridtest::box;
using gridtest::sameBox;

namespace {

CPrinPicCell filledCell(gridtest::IdSource& ids)
{
    CPrinPicCell cell;
    cell.SetSymbolId(ids.next());
    cell.SetWireIds(ids.array(3));
    cell.SetLinkSymbolId(ids.next());
    cell.SetLinkWireIds(ids.array(2));
    cell.SetDeviceIds(ids.array(1));
    cell.SetBandDeviceIds(ids.array(4));
    cell.SetCellExtents(box(0, 0, 10, 20));
    cell.SetLinkExtents(box(-5, 10, 5, 30));
    return cell;
}

void expectSameCell(const CPrinPicCell& a, const CPrinPicCell& b)
{
    EXPECT_EQ(a.GetSymbolId(), b.GetSymbolId());
    EXPECT_EQ(a.GetWireIds(), b.GetWireIds());
    EXPECT_EQ(a.GetLinkSymbolId(), b.GetLinkSymbolId());
    EXPECT_EQ(a.GetLinkWireIds(), b.GetLinkWireIds());
    EXPECT_EQ(a.GetDeviceIds(), b.GetDeviceIds());
    EXPECT_EQ(a.GetBandDeviceIds(), b.GetBandDeviceIds());
    EXPECT_TRUE(sameBox(a.GetCellExtents(), b.GetCellExtents()));
    EXPECT_TRUE(sameBox(a.GetLinkExtents(), b.GetLinkExtents()));
}

TEST(PrinPicCell, CopyingCopiesEveryFieldIndependently)
{
    gridtest::IdSource ids;
    const CPrinPicCell source = filledCell(ids);
    CPrinPicCell constructed(source);
    expectSameCell(constructed, source);

    CPrinPicCell assigned = filledCell(ids);
    assigned = source;
    expectSameCell(assigned, source);

    // The copy owns its arrays: changing it leaves the source alone.
    assigned.AppendWireId(ids.next());
    constructed.SetDeviceIds({});
    EXPECT_EQ(source.GetWireIds().size(), 3u);
    EXPECT_EQ(source.GetDeviceIds().size(), 1u);
}

TEST(PrinPicCell, IdArraysGrowInStepsOfEight)
{
    gridtest::IdSource ids;
    CPrinPicCell cell;
    for (int i = 1; i <= 17; ++i) {
        cell.AppendLinkWireId(ids.next());
        EXPECT_EQ(cell.GetLinkWireIds().capacity(), (i + 7) / 8 * 8u) << i << " entries";
    }
    // Arrays handed in with any capacity are stored with a multiple of 8.
    AcDbObjectIdArray three = ids.array(3);
    three.shrink_to_fit();
    cell.SetWireIds(three);
    EXPECT_EQ(cell.GetWireIds(), three);
    EXPECT_EQ(cell.GetWireIds().capacity(), 8u);
    const CPrinPicCell copy(cell);
    EXPECT_EQ(copy.GetLinkWireIds().capacity(), 24u);
    EXPECT_EQ(copy.GetWireIds().capacity(), 8u);
}

TEST(PrinPicString, AssignmentReplacesAllButTheZoneLists)
{
    gridtest::IdSource ids;
    CPrinPicGrid g1, g2;
    CPrinPicString source;
    source.SetCellCount(2);
    source.GetCell(1) = filledCell(ids);
    source.SetEndWireIds(ids.array(2));
    source.SetEndSymbolId(ids.next());
    source.SetExtents(box(1, 2, 3, 4));
    source.SetGrid(&g1);
    source.SetCellZones({box(0, 0, 1, 1)});
    source.SetLinkZones({box(0, 0, 2, 2), box(2, 2, 3, 3)});

    CPrinPicString target;
    target.SetCellCount(5);
    target.SetGrid(&g2);
    const std::vector<AcDbExtents> ownZones{box(7, 7, 8, 8)};
    target.SetCellZones(ownZones);
    target = source;
    ASSERT_EQ(target.GetCellCount(), 2);
    expectSameCell(target.GetCell(0), CPrinPicCell());
    expectSameCell(target.GetCell(1), source.GetCell(1));
    EXPECT_EQ(target.GetEndWireIds(), source.GetEndWireIds());
    EXPECT_EQ(target.GetEndSymbolId(), source.GetEndSymbolId());
    EXPECT_TRUE(sameBox(target.GetExtents(), box(1, 2, 3, 4)));
    EXPECT_EQ(target.GetGrid(), &g1);
    ASSERT_EQ(target.GetCellZones().size(), 1u);
    EXPECT_TRUE(sameBox(target.GetCellZones()[0], ownZones[0]));
    EXPECT_TRUE(target.GetLinkZones().empty());

    const CPrinPicString copy(source);
    EXPECT_EQ(copy.GetCellCount(), 2);
    EXPECT_EQ(copy.GetGrid(), &g1);
    EXPECT_TRUE(copy.GetCellZones().empty() && copy.GetLinkZones().empty());
}

TEST(PrinPicString, MoveByShiftsZonesButNotZoneLists)
{
    CPrinPicString str;
    str.SetCellCount(2);
    str.GetCell(0).SetCellExtents(box(0, 0, 10, 10));
    str.GetCell(0).SetLinkExtents(box(-5, 10, 5, 20));
    str.SetExtents(box(15, 10, 25, 20));
    str.SetCellZones({box(0, 0, 10, 10)});
    str.MoveBy(3, -4);
    EXPECT_TRUE(sameBox(str.GetCell(0).GetCellExtents(), box(3, -4, 13, 6)));
    EXPECT_TRUE(sameBox(str.GetCell(0).GetLinkExtents(), box(-2, 6, 8, 16)));
    EXPECT_TRUE(sameBox(str.GetExtents(), box(18, 6, 28, 16)));
    EXPECT_FALSE(str.GetCell(1).GetCellExtents().isValid());
    EXPECT_TRUE(sameBox(str.GetCellZones()[0], box(0, 0, 10, 10)));
}

TEST(PrinPicString, CellIndexBeyondTheArrayThrows)
{
    CPrinPicString str;
    str.SetCellCount(3);
    EXPECT_NO_THROW(str.GetCell(2));
    EXPECT_THROW(str.GetCell(3), std::invalid_argument);
    EXPECT_THROW(str.GetCell(-1), std::invalid_argument);
}

} // namespace
