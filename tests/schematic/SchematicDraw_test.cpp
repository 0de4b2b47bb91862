// Wires and symbols in grid slots, checked by the entities they leave:
// stub lengths (negative ones for a short slot), insertion points, scales,
// rotations, layers, colours and widths in both arrangements; the "E22"
// clearance and the one-stub "R10"; erasing slots; the containment test
// and the view widening; one U taking back a whole group of drawing; and
// the saved drawing as an independent reader and the renderer see it.
#include "SchematicDrawTest.h"

#include "components/NorvexGloFunc.h"
#include "grid/PrinPicGrid.h"
#include "host/dbinternal.h"
#include "host/dbundo.h"
#include "host/render/svg.h"
#include "schematic/SchematicDraw.h"
#include "schematic/SchematicXdata.h"

#include <cmath>

namespace {

using drawtest::DrawingTest;
using drawtest::output;

constexpr double kTol = 1e-9;

struct Wire {
    AcGePoint2d a, b;
    double width = -1;
};

class SchematicDrawTest : public DrawingTest {
protected:
    // Pitches 30 (cells) x 20 (strings) in the row arrangement, 20 x 30 in
    // the column one; two strings of three cells.
    void makeGrid(int orientation, double symbolScale = 1.0)
    {
        grid.SetOrientation(orientation);
        grid.SetCellPitchX(30);
        grid.SetCellPitchY(20);
        grid.SetCellsPerString(3);
        grid.SetLineWidth(0.3);
        grid.SetScale(1.0);
        grid.SetSymbolScale(symbolScale);
        grid.SetReferenceRange(0, 90, 0, -60);
        grid.ResizeStrings(2);
        const std::vector<double> positions = orientation == 0 ? std::vector<double>{-20, -40} : std::vector<double>{30, 60};
        grid.SetStringPositions(positions);
        for (int s = 0; s < 2; ++s)
            grid.LayOutString(grid.GetString(s), positions[s]);
    }
    AcDbExtents cell(int s, int c)
    {
        AcDbExtents e;
        EXPECT_EQ(grid.GetExtents(s, c, 1, e), 1);
        return e;
    }
    AcDbExtents endZone(int s)
    {
        AcDbExtents e;
        EXPECT_EQ(grid.GetExtents(s, -1, 0, e), 1);
        return e;
    }
    AcDbExtents link(int s, int c)
    {
        AcDbExtents e;
        EXPECT_EQ(grid.GetExtents(s, c, 0, e), 1);
        return e;
    }
    void place(const wchar_t* symbol, const AcDbExtents& slot, double rotation, bool linkSlot = false)
    {
        choose(symbol);
        symbolId = AcDbObjectId();
        wires.clear();
        if (linkSlot)
            PlaceLinkSymbol(slot, grid.GetOrientation(), grid.GetScale(), grid.GetSymbolScale(), grid.GetLineWidth(),
                            rotation, symbolId, wires);
        else
            PlaceCellSymbol(slot, grid.GetOrientation(), grid.GetScale(), grid.GetSymbolScale(), grid.GetLineWidth(),
                            rotation, symbolId, wires);
    }
    Wire wire(const AcDbObjectId& id)
    {
        Wire w;
        auto* pl = open<AcDbPolyline>(id);
        EXPECT_NE(pl, nullptr);
        if (!pl)
            return w;
        EXPECT_EQ(pl->numVerts(), 2u);
        pl->getPointAt(0, w.a);
        pl->getPointAt(1, w.b);
        pl->getConstantWidth(w.width);
        EXPECT_EQ(pl->layerName(), wireLayer);
        EXPECT_EQ(pl->colorIndex(), 3);
        return w;
    }
    void expectWire(const AcDbObjectId& id, double ax, double ay, double bx, double by)
    {
        const Wire w = wire(id);
        EXPECT_NEAR(w.a.x, ax, kTol);
        EXPECT_NEAR(w.a.y, ay, kTol);
        EXPECT_NEAR(w.b.x, bx, kTol);
        EXPECT_NEAR(w.b.y, by, kTol);
        EXPECT_NEAR(w.width, 0.3, kTol);
    }
    void expectSymbol(const char* name, double x, double y, double scale, double rotationDegrees)
    {
        auto* ref = open<AcDbBlockReference>(symbolId);
        ASSERT_NE(ref, nullptr) << output();
        EXPECT_EQ(ref->blockName(), name);
        EXPECT_NEAR(ref->position().x, x, kTol);
        EXPECT_NEAR(ref->position().y, y, kTol);
        EXPECT_NEAR(ref->scaleFactors().sx, scale, kTol);
        EXPECT_NEAR(ref->scaleFactors().sy, scale, kTol);
        EXPECT_NEAR(ref->rotation(), rotationDegrees * kPi / 180.0, kTol);
        EXPECT_EQ(ref->layerName(), elementLayer);
    }
    int liveCount() const { return liveEntities().length(); }

    CPrinPicGrid grid;
    AcDbObjectId symbolId;
    AcDbObjectIdArray wires;
};

TEST_F(SchematicDrawTest, RowCellSymbolSitsBetweenTwoStubsAlongTheRow)
{
    makeGrid(0);
    const AcDbExtents slot = cell(0, 1); // x 30..60, y -30..-10
    place(L"CT-NO", slot, 90);
    // (30 - 7.5) / 2 = 11.25 on each side of the body.
    ASSERT_EQ(wires.length(), 2);
    expectWire(wires[0], 30, -20, 41.25, -20);
    expectWire(wires[1], 60, -20, 48.75, -20);
    expectSymbol("CT-NO", 41.25, -20, 1.0, 90);
    // The lower connection point (0, -7.5) turned by 90 degrees meets stub 2.
    auto* ref = open<AcDbBlockReference>(symbolId);
    AcGePoint3d lower(0, -7.5, 0);
    lower.transformBy(ref->blockTransform());
    EXPECT_NEAR(lower.x, 48.75, 1e-9);
    EXPECT_NEAR(lower.y, -20, 1e-9);
    // The colour current at the insert (the wires' green) is the block's own.
    EXPECT_EQ(ref->colorIndex(), 3);
    EXPECT_EQ(liveCount(), 3);

    // The drawing file defined the block once; a second placement reuses it.
    place(L"CT-NO", cell(1, 0), 90);
    expectSymbol("CT-NO", 11.25, -40, 1.0, 90);
    int definitions = 0;
    for (const AcDbObjectId& id : db->table("BLOCK_RECORD")->recordIds())
        if (auto* rec = open<AcDbBlockTableRecord>(id); rec && rec->name() == "CT-NO")
            ++definitions;
    EXPECT_EQ(definitions, 1);
}

TEST_F(SchematicDrawTest, ColumnCellSymbolHangsFromItsUpperStubAndShortSlotsGiveNegativeStubs)
{
    makeGrid(1);
    const AcDbExtents slot = cell(0, 0); // x 15..45, y -20..0
    place(L"KM-COIL", slot, 0);
    ASSERT_EQ(wires.length(), 2);
    // (20 - 7.5) / 2 = 6.25 from the bottom and the top edge.
    expectWire(wires[0], 30, -20, 30, -13.75);
    expectWire(wires[1], 30, 0, 30, -6.25);
    expectSymbol("KM-COIL", 30, -6.25, 1.0, 0);

    // Size 4: a body of 30 in a slot of 20 overhangs by 5 at each end.
    makeGrid(1, 4.0);
    place(L"KM-COIL", cell(1, 1), 0); // x 45..75, y -40..-20
    ASSERT_EQ(wires.length(), 2);
    expectWire(wires[0], 60, -40, 60, -45);
    expectWire(wires[1], 60, -20, 60, -15);
    expectSymbol("KM-COIL", 60, -15, 4.0, 0);
}

TEST_F(SchematicDrawTest, LinkSymbolsLieAcrossTheLinkAndTurnTheOtherWay)
{
    makeGrid(0);
    const AcDbExtents slot = link(1, 1); // x 15..45, y -40..-20
    place(L"CT-NC", slot, 90, true);
    ASSERT_EQ(wires.length(), 2);
    expectWire(wires[0], 30, -40, 30, -33.75);
    expectWire(wires[1], 30, -20, 30, -26.25);
    expectSymbol("CT-NC", 30, -26.25, 1.0, 0); // 90 becomes 0: upright

    makeGrid(1);
    place(L"CT-NC", link(1, 0), 0, true); // x 30..60, y -10..10
    ASSERT_EQ(wires.length(), 2);
    expectWire(wires[0], 30, 0, 41.25, 0);
    expectWire(wires[1], 60, 0, 48.75, 0);
    expectSymbol("CT-NC", 41.25, 0, 1.0, 90); // 0 becomes 90
}

TEST_F(SchematicDrawTest, CellAndLinkWiresRunAlongAndAcrossTheString)
{
    makeGrid(0);
    expectWire(DrawCellWire(cell(0, 2), 1.0, 0.3, 0), 60, -20, 90, -20);
    expectWire(DrawLinkWire(link(1, 0), 1.0, 0.3, 0), 0, -40, 0, -20);
    makeGrid(1);
    expectWire(DrawCellWire(cell(1, 1), 1.0, 0.3, 1), 60, -40, 60, -20);
    expectWire(DrawLinkWire(endZone(0), 1.0, 0.3, 1), 0, -60, 30, -60);
    // The width is the line width times the drawing scale.
    const AcDbObjectId wide = DrawWire(AcGePoint3d(0, 10, 0), AcGePoint3d(10, 10, 0), 0.3, 2.0);
    double width = 0;
    open<AcDbPolyline>(wide)->getConstantWidth(width);
    EXPECT_NEAR(width, 0.6, kTol);
}

TEST_F(SchematicDrawTest, EarthSymbolGetsTheStubAtItsInsertionPointOnly)
{
    makeGrid(0);
    place(L"R10", cell(0, 0), 90);
    ASSERT_EQ(wires.length(), 2);
    expectWire(wires[0], 0, -20, 11.25, -20);
    EXPECT_TRUE(wires[1].isNull());
    expectSymbol("R10", 11.25, -20, 1.0, 90);

    makeGrid(1);
    place(L"R10", cell(0, 0), 0);
    ASSERT_EQ(wires.length(), 2);
    EXPECT_TRUE(wires[0].isNull());
    expectWire(wires[1], 30, 0, 30, -6.25);
}

TEST_F(SchematicDrawTest, WiresStayOutOfJunctionBoxes)
{
    makeGrid(0);
    place(L"E22", cell(0, 0), 90);
    // Its own stubs end at its connection points and stay whole.
    expectWire(wires[0], 0, -20, 11.25, -20);
    expectWire(wires[1], 30, -20, 18.75, -20);
    AcDbExtents box;
    ASSERT_EQ(open<AcDbBlockReference>(symbolId)->getGeomExtents(box), Acad::eOk);
    EXPECT_NEAR(box.minPoint().x, 11.25, 1e-9);
    EXPECT_NEAR(box.maxPoint().x, 18.75, 1e-9);
    EXPECT_NEAR(box.minPoint().y, -24.5, 1e-9);
    EXPECT_NEAR(box.maxPoint().y, -15.5, 1e-9);
    const int before = liveCount();

    // Wholly inside: removed, the caller gets the null id.
    const AcDbObjectId inside = DrawWire(AcGePoint3d(12, -18, 0), AcGePoint3d(18, -18, 0), 0.3, 1.0);
    EXPECT_TRUE(inside.isNull());
    EXPECT_EQ(liveCount(), before);

    // Crossing: cut back to the edges; the id keeps the first piece.
    const AcDbObjectId across = DrawWire(AcGePoint3d(0, -18, 0), AcGePoint3d(30, -18, 0), 0.3, 1.0);
    ASSERT_FALSE(across.isNull());
    expectWire(across, 0, -18, 11.25, -18);
    ASSERT_EQ(liveCount(), before + 2);
    expectWire(liveEntities().back(), 18.75, -18, 30, -18);

    // Ending on the box, or reaching less than 1.0 into it: left alone.
    const AcDbObjectId touching = DrawWire(AcGePoint3d(30, -16, 0), AcGePoint3d(18.75, -16, 0), 0.3, 1.0);
    expectWire(touching, 30, -16, 18.75, -16);
    const AcDbObjectId nearly = DrawWire(AcGePoint3d(30, -22, 0), AcGePoint3d(18.0, -22, 0), 0.3, 1.0);
    expectWire(nearly, 30, -22, 18.0, -22);
    EXPECT_EQ(liveCount(), before + 4);
}

TEST_F(SchematicDrawTest, PlacingAJunctionBoxClearsGreenWiresButNoOthers)
{
    makeGrid(0);
    const AcDbObjectId through = DrawCellWire(cell(0, 0), 1.0, 0.3, 0);               // 0..30 at y -20
    const AcDbObjectId within = DrawWire(AcGePoint3d(13, -17, 0), AcGePoint3d(17, -17, 0), 0.3, 1.0);
    ASSERT_EQ(acedCommand({L"_.COLOR", L"1"}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.PLINE", AcGePoint3d(13, -23, 0), AcGePoint3d(17, -23, 0), L""}), RTNORM);
    ads_name redName;
    acdbEntLast(redName);
    AcDbObjectId red;
    acdbGetObjectId(red, redName);

    place(L"E22", cell(0, 0), 90);
    EXPECT_TRUE(within.isErased());
    EXPECT_FALSE(red.isErased());
    // The wire through the box keeps its part left of it; the right part is
    // a new wire.
    expectWire(through, 0, -20, 11.25, -20);
    bool rightPart = false;
    for (const AcDbObjectId& id : liveEntities())
        if (auto* pl = open<AcDbPolyline>(id); pl && id != wires[1] && pl->colorIndex() == 3) {
            AcGePoint2d a, b;
            pl->getPointAt(0, a);
            pl->getPointAt(1, b);
            if (std::fabs(a.x - 18.75) < 1e-9 && std::fabs(b.x - 30) < 1e-9)
                rightPart = true;
        }
    EXPECT_TRUE(rightPart);
}

TEST_F(SchematicDrawTest, NothingIsDrawnWithoutASymbol)
{
    makeGrid(0);
    const std::string empty = drawingText();
    choose(L"NULL");
    AcDbObjectId keep;
    AcDbObjectIdArray list;
    PlaceCellSymbol(cell(0, 0), 0, 1.0, 1.0, 0.3, 90, keep, list);
    EXPECT_TRUE(keep.isNull());
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(drawingText(), empty);
}

// Symbols the test may take away.
class OwnSymbolsDrawTest : public SchematicDrawTest {
protected:
    OwnSymbolsDrawTest() { ownSymbols = true; }
};

TEST_F(OwnSymbolsDrawTest, NothingIsDrawnWhenTheSymbolsDrawingIsMissing)
{
    makeGrid(0);
    std::string path = wideToUtf8(libraryFolder) + "/SK.DXF";
    for (char& c : path)
        if (c == '\\')
            c = '/';
    ASSERT_TRUE(std::filesystem::remove(path)) << path;
    place(L"SK", cell(0, 0), 90);
    EXPECT_TRUE(symbolId.isNull());
    EXPECT_TRUE(wires.empty());
    EXPECT_EQ(liveCount(), 0);
    EXPECT_NE(output().find("SK"), std::string::npos) << output();
}

TEST_F(SchematicDrawTest, ErasingASlotErasesItsEntitiesAndClearsIt)
{
    makeGrid(0);
    place(L"KM-NO", cell(0, 1), 90);
    grid.SetCellData(0, 1, 1, wires, symbolId, {}, {});
    const AcDbObjectId linkWire = DrawLinkWire(link(1, 1), 1.0, 0.3, 0);
    grid.SetCellData(1, 1, 0, AcDbObjectIdArray{linkWire}, AcDbObjectId(), {}, {});
    const AcDbObjectId endWire = DrawLinkWire(endZone(0), 1.0, 0.3, 0);
    grid.SetStringData(0, AcDbObjectIdArray{endWire}, AcDbObjectId());
    ASSERT_EQ(liveCount(), 5);

    // An empty slot: nothing to erase.
    EXPECT_EQ(EraseCellContents(grid, 0, 0, 1), 1);
    EXPECT_EQ(liveCount(), 5);

    EXPECT_EQ(EraseCellContents(grid, 0, 1, 1), 1);
    EXPECT_TRUE(symbolId.isErased());
    EXPECT_EQ(liveCount(), 2);
    AcDbObjectIdArray w, lw, d, bd;
    AcDbObjectId s, ls;
    grid.GetCellData(0, 1, w, s, lw, ls, d, bd);
    EXPECT_TRUE(w.empty() && s.isNull());

    EXPECT_EQ(EraseCellContents(grid, 1, 1, 0), 1);
    EXPECT_TRUE(linkWire.isErased());
    EXPECT_EQ(EraseEndZone(grid, 0), 1);
    EXPECT_TRUE(endWire.isErased());
    EXPECT_EQ(liveCount(), 0);
    EXPECT_EQ(EraseCellContents(grid, 5, 0, 1), -1);
    EXPECT_EQ(EraseEndZone(grid, -1), -1);
}

TEST(IsPointInExtents, EdgesWithinTheirCornersInsideAndOutside)
{
    const AcDbExtents box(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 5, 0));
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(5, 2, 0), box), 1);
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(0, 0, 0), box), 1);
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(10, 2.5, 0), box), 1);
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(5, 5, 7), box), 1); // z does not matter
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(11, 0, 0), box), 0);  // on the edge's line, past its corner
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(5, -0.5, 0), box), 0);
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(-3, 2, 0), box), 0);
    // Near an edge's line the edge decides: off the segment by 0.05 the
    // distances to its corners add up to more than its length.
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(5, 0.05, 0), box), 0);
    EXPECT_EQ(IsPointInExtents(AcGePoint3d(5, 0.2, 0), box), 1);
}

TEST_F(SchematicDrawTest, ZoomWidensTheViewOnlyWhenAPointIsOutside)
{
    double lo[2], hi[2];
    XScjx(lo, hi);
    EXPECT_EQ(ZoomToInclude(AcGePoint3d(lo[0] + 1, lo[1] + 1, 0), AcGePoint3d(hi[0] - 1, hi[1] - 1, 0)), 1);
    double lo2[2], hi2[2];
    XScjx(lo2, hi2);
    EXPECT_DOUBLE_EQ(lo2[0], lo[0]);
    EXPECT_DOUBLE_EQ(hi2[1], hi[1]);

    EXPECT_EQ(ZoomToInclude(AcGePoint3d(-1000, 0, 0), AcGePoint3d(0, 2000, 0)), 1);
    XScjx(lo2, hi2);
    EXPECT_LE(lo2[0], -1000 + 1e-6);
    EXPECT_GE(hi2[1], 2000 - 1e-6);
    EXPECT_LE(lo2[1], lo[1] + 1e-6);
    EXPECT_GE(hi2[0], hi[0] - 1e-6);
}

TEST_F(SchematicDrawTest, PlacedEntitiesCarryTheSchematicsExtendedData)
{
    makeGrid(0);
    place(L"KA-COIL", cell(0, 0), 90);
    const AcGePoint3d idPoint(0, 0, 0);
    ASSERT_EQ(WriteSymbolXdata(symbolId, 20, 30, 0.3, 1, 3, 0, idPoint), 1);
    for (const AcDbObjectId& w : wires)
        ASSERT_EQ(WriteSchematicXdata(w, 20, 30, 0.3, 1, 3, 0, idPoint), 1);
    ads_name name;
    acdbGetAdsName(name, symbolId);
    std::wstring text;
    GetXdataString(name, L"TKSY", text);
    EXPECT_EQ(text, L"中间继电器线圈&KA"); // the palette's description and code of the symbol
    GetXdataString(name, L"YLTHZCS", text);
    EXPECT_EQ(text, L"20.00&30.00&0.30&1.00&3&0");
    acdbGetAdsName(name, wires[1]);
    text.clear();
    GetXdataString(name, L"TKSY", text);
    EXPECT_EQ(text, L""); // wires have no symbol reference
    AcGePoint3d p(9, 9, 9);
    EXPECT_EQ(GetIdPoint(wires[1], p), 1);
    EXPECT_EQ(p, idPoint);
}

TEST_F(SchematicDrawTest, OneUTakesBackAWholeGroupOfDrawing)
{
    makeGrid(0);
    const std::string empty = drawingText();
    ASSERT_EQ(acedCommand({L"_.UNDO", L"_BEGIN"}), RTNORM);
    place(L"KM-NO", cell(0, 0), 90);
    ASSERT_EQ(acedCommand({L"_.UNDO", L"_END"}), RTNORM);
    const std::string afterFirst = drawingText();

    // A command of the user's (a LISP call) with one group of drawing in it.
    AcDbInternals::journal(*db).beginGroup();
    ASSERT_EQ(acedCommand({L"_.Undo", L"_BEGIN"}), RTNORM);
    DrawCellWire(cell(0, 1), 1.0, 0.3, 0);
    place(L"E22", cell(0, 1), 90);
    place(L"CT-NC", link(1, 1), 90, true);
    DrawLinkWire(link(1, 0), 1.0, 0.3, 0);
    ZoomToInclude(AcGePoint3d(-500, -500, 0), AcGePoint3d(500, 500, 0));
    ASSERT_EQ(acedCommand({L"_.Undo", L"_End"}), RTNORM);
    AcDbInternals::journal(*db).endGroup();
    ASSERT_NE(drawingText(), afterFirst);

    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(drawingText(), afterFirst);
    // The placement before the group is a group of its own.
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(drawingText(), empty);
}

TEST_F(SchematicDrawTest, SavedDrawingReadsTheSameElsewhereAndRendersItsSymbols)
{
    makeGrid(0);
    int xdataEntities = 0;
    auto mark = [&](const AcDbObjectId& id, bool symbol) {
        if (id.isNull())
            return;
        ++xdataEntities;
        if (symbol)
            WriteSymbolXdata(id, 20, 30, 0.3, 1, 3, 0, AcGePoint3d(0, 0, 0));
        else
            WriteSchematicXdata(id, 20, 30, 0.3, 1, 3, 0, AcGePoint3d(0, 0, 0));
    };
    const wchar_t* symbols[] = {L"CT-NO", L"E22", L"KM-COIL"};
    for (int c = 0; c < 3; ++c) {
        place(symbols[c], cell(0, c), 90);
        mark(symbolId, true);
        for (const AcDbObjectId& w : wires)
            mark(w, false);
    }
    mark(DrawLinkWire(link(1, 0), 1.0, 0.3, 0), false);
    mark(DrawCellWire(cell(1, 0), 1.0, 0.3, 0), false);

    testutil::TempDir dir;
    const std::string path = dir.file("cells.dxf");
    ASSERT_EQ(db->saveAs(utf8ToWide(path).c_str()), Acad::eOk);
    const std::string report = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(path));
    EXPECT_NE(report.find("audit errors=0 fixes=0"), std::string::npos) << report;
    int inserts = 0, polylines = 0, withParameters = 0;
    std::size_t start = 0;
    while (start < report.size()) {
        const std::size_t end = report.find('\n', start);
        const std::string line = report.substr(start, end - start);
        start = end == std::string::npos ? report.size() : end + 1;
        if (line.rfind("INSERT ", 0) == 0)
            ++inserts;
        if (line.rfind("LWPOLYLINE ", 0) == 0)
            ++polylines;
        if (line.find("xdata[YLTHZCS]=1001:YLTHZCS;1000:20.00&30.00&0.30&1.00&3&0") != std::string::npos
            && line.find("xdata[IDPOINT]=1001:IDPOINT;1011:(0,0,0)") != std::string::npos)
            ++withParameters;
    }
    int ourInserts = 0, ourPolylines = 0;
    for (const AcDbObjectId& id : liveEntities()) {
        ourInserts += open<AcDbBlockReference>(id) != nullptr;
        ourPolylines += open<AcDbPolyline>(id) != nullptr;
    }
    EXPECT_EQ(inserts, ourInserts);
    EXPECT_EQ(polylines, ourPolylines);
    EXPECT_EQ(inserts, 3);
    EXPECT_EQ(withParameters, xdataEntities);
    EXPECT_NE(report.find("xdata[TKSY]=1001:TKSY;1000:常开触点&KA"), std::string::npos);

    // The picture draws the symbols' strokes and the wires in green.
    const std::string svg = renderSvg(*db);
    testutil::writeFile(dir.file("cells.svg"), svg);
    EXPECT_NE(svg.find("#00ff00"), std::string::npos);
    auto count = [&](const char* tag) {
        std::size_t n = 0;
        for (std::size_t at = svg.find(tag); at != std::string::npos; at = svg.find(tag, at + 1))
            ++n;
        return n;
    };
    // The symbols' strokes (polylines of their pen's width) besides the
    // wires.
    EXPECT_GT(count("<path"), static_cast<std::size_t>(ourPolylines));
}

} // namespace
