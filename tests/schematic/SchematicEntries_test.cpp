// The drawing entries: a new schematic from its base point, continuing a
// saved one (the grid rebuilt from the drawing, ours or ezdxf's), and
// every way a run ends or is refused.
#include "SchematicDrawTest.h"

#include "grid/PrinPicGrid.h"
#include "host/dbinternal.h"
#include "host/dbundo.h"
#include "schematic/PlacementLoop.h"
#include "schematic/SchematicEntries.h"
#include "schematic/SchematicXdata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

using drawtest::DrawingTest;
using drawtest::output;

// What a grid holds, by handle, cell by cell: each slot's symbol and its
// wires (as a sorted list).
std::vector<std::string> contents(const CPrinPicGrid& grid)
{
    const auto handles = [](const AcDbObjectIdArray& ids) {
        std::vector<std::uint64_t> h;
        for (const AcDbObjectId& id : ids)
            h.push_back(id.handle());
        std::sort(h.begin(), h.end());
        std::string out;
        for (std::uint64_t v : h)
            out += " " + std::to_string(v);
        return out;
    };
    const auto one = [](const AcDbObjectId& id) { return id.isNull() ? std::string("-") : std::to_string(id.handle()); };
    std::vector<std::string> out;
    for (int s = 0; s < grid.GetStringCount(); ++s) {
        for (int c = 0; c < grid.GetCellsPerString(); ++c) {
            AcDbObjectIdArray w, lw, d, b;
            AcDbObjectId sym, linkSym;
            grid.GetCellData(s, c, w, sym, lw, linkSym, d, b);
            out.push_back(std::to_string(s) + "," + std::to_string(c) + " symbol " + one(sym) + " wires" + handles(w) +
                          " link " + one(linkSym) + " wires" + handles(lw));
        }
        AcDbObjectIdArray ew;
        AcDbObjectId es;
        grid.GetStringData(s, ew, es);
        out.push_back(std::to_string(s) + " end " + one(es) + " wires" + handles(ew));
    }
    return out;
}

class EntriesTest : public DrawingTest {
protected:
    void SetUp() override
    {
        DrawingTest::SetUp();
        // The palette's clicks, noted while it is open.
        for (const wchar_t* name : {L"CT-NO", L"CT-NC", L"KM-COIL", L"KA-COIL"})
            click[name] = clickOn(name);
    }
    void run(std::deque<std::string> lines, int (*entry)())
    {
        feed(std::move(lines));
        EXPECT_EQ(entry(), RTNORM);
        EXPECT_EQ(g_pYlthzDlg, nullptr) << "the run closes the palette";
        EXPECT_FALSE(AcDbInternals::journal(*db).isGroupOpen());
        EXPECT_FALSE(markerShown());
    }
    // The marker: the red frame, hidden again whenever the loop ends.
    bool markerShown() const
    {
        for (const AcDbObjectId& id : liveEntities()) {
            auto* pl = open<AcDbPolyline>(id);
            if (pl && pl->colorIndex() == 1)
                return true;
        }
        return false;
    }
    std::string saveTo(const std::string& name)
    {
        const std::string path = m_dir.file(name);
        EXPECT_EQ(db->saveAs(utf8ToWide(path).c_str()), Acad::eOk);
        return path;
    }
    void openDrawing(const std::string& path)
    {
        std::wstring error;
        ASSERT_NE(acDocManager->openDocument(utf8ToWide(path), error), nullptr) << wideToUtf8(error);
        db = acdbHostApplicationServices()->workingDatabase();
    }
    // The symbol inserted at a point, with its parameters text.
    std::string symbolAt(double x, double y, std::wstring* params = nullptr) const
    {
        for (const AcDbObjectId& id : liveEntities()) {
            auto* ref = open<AcDbBlockReference>(id);
            if (!ref || std::fabs(ref->position().x - x) > 1e-6 || std::fabs(ref->position().y - y) > 1e-6)
                continue;
            if (params) {
                ads_name name;
                acdbGetAdsName(name, id);
                GetXdataString(name, L"YLTHZCS", *params);
            }
            auto* rec = open<AcDbSymbolTableRecord>(ref->blockTableRecord());
            return rec ? rec->name() : "?";
        }
        return "";
    }
    std::map<std::wstring, std::string> click;
    testutil::TempDir m_dir;
};

// Draws a schematic with the loop on a grid of our own, keeps the grid,
// saves the drawing (rewritten by ezdxf when asked) and rebuilds the grid
// from the file: every slot holds the same entities.
class RebuildTest : public EntriesTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(RebuildTest, TheRebuiltGridHoldsWhatTheDrawnOneHeld)
{
    const auto [arrangement, byEzdxf] = GetParam();
    if (byEzdxf && !testutil::haveEzdxf())
        GTEST_SKIP() << "ezdxf is not installed";
    g_pYlthzDlg->SetArrangement(arrangement);
    CPrinPicGrid drawn;
    SetUpNewGrid(drawn, *g_pYlthzDlg, 4, AcGePoint3d(0, 0, 0), 1.0);
    g_pYlthzDlg->BeginDrawing();
    AcDbExtents link;
    CPrinPicGrid probe;
    SetUpNewGrid(probe, *g_pYlthzDlg, 4, AcGePoint3d(0, 0, 0), 1.0);
    probe.InsertString(0);
    probe.InsertString(1);
    probe.GetExtents(1, 2, 0, link);
    const AcGePoint3d linkCentre((link.minPoint().x + link.maxPoint().x) / 2,
                                 (link.minPoint().y + link.maxPoint().y) / 2, 0);
    feed({click[L"CT-NO"], "t2", click[L"KM-COIL"], "t1", "t1", "t4", click[L"KA-COIL"], "e6",
          "@pick " + xy(linkCentre), "", "t3", click[L"CT-NC"], "t1", "t3", ""});
    RunPlacementLoop(&drawn, 0, 0, 0, AcDbExtents(), kNewSchematic);
    ASSERT_EQ(drawn.GetStringCount(), 3);
    const std::vector<std::string> expected = contents(drawn);

    std::string path = saveTo("drawn.dxf");
    if (byEzdxf) {
        const std::string rewritten = m_dir.file("ezdxf.dxf");
        testutil::runPythonTool("ezdxf_rewrite", testutil::shellQuote(path) + " " + testutil::shellQuote(rewritten));
        path = rewritten;
    }
    openDrawing(path);
    AcDbObjectIdArray polylines, symbols, terminals;
    SchematicParameters parameters;
    double blockScale = 0;
    ASSERT_EQ(GatherSchematic(AcGePoint3d(0, 0, 0), polylines, symbols, terminals, parameters, blockScale), 1)
        << output();
    EXPECT_EQ(parameters.orientation, arrangement);
    EXPECT_EQ(parameters.cellsPerString, 4);
    EXPECT_DOUBLE_EQ(blockScale, 1.0);
    CPrinPicGrid rebuilt;
    RecognizeSchematic(rebuilt, parameters, blockScale, AcGePoint3d(0, 0, 0), polylines, symbols, terminals);
    EXPECT_TRUE(polylines.isEmpty()) << "every wire found its slot";
    EXPECT_TRUE(symbols.isEmpty()) << "every symbol found its slot";
    EXPECT_EQ(contents(rebuilt), expected);
    EXPECT_DOUBLE_EQ(rebuilt.GetCellPitchX(), drawn.GetCellPitchX());
    EXPECT_DOUBLE_EQ(rebuilt.GetCellPitchY(), drawn.GetCellPitchY());
    EXPECT_DOUBLE_EQ(rebuilt.GetScale(), 1.0);
    int s = -1, c = -1;
    FindResumeCell(rebuilt, s, c);
    EXPECT_EQ(std::make_pair(s, c), std::make_pair(0, 3)) << "the first cell without symbol or wires";
}

INSTANTIATE_TEST_SUITE_P(Drawings, RebuildTest,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Values(false, true)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Columns" : "Rows") +
                                    (std::get<1>(info.param) ? "WrittenByEzdxf" : "WrittenByUs");
                         });

TEST_F(EntriesTest, ContinuingASavedSchematicResumesAtItsFirstEmptyCell)
{
    run({"@type palette count \"4\"", "0,0", click[L"CT-NO"], "t2", click[L"KM-COIL"], "t1", "t1",
         click[L"KA-COIL"], ""},
        ylthz);
    const std::string path = saveTo("first.dxf");
    openDrawing(path);
    output().clear();
    run({"-10,10", "130,-60", click[L"CT-NC"], ""}, yltbj);
    EXPECT_NE(output().find("请选择要继续绘制的原理图:"), std::string::npos);
    std::wstring params;
    EXPECT_EQ(symbolAt(101.25, -20, &params), "CT-NC") << output();
    EXPECT_EQ(params, L"20.00&30.00&0.30&1.00&4&0");
    // The symbols drawn before are where they were.
    EXPECT_EQ(symbolAt(11.25, -20), "CT-NO");
    EXPECT_EQ(symbolAt(41.25, -40), "KA-COIL");
}

TEST_F(EntriesTest, AWindowWithTwoSchematicsContinuesTheOneMetFirst)
{
    run({"@type palette count \"2\"", "0,0", click[L"CT-NO"], ""}, ylthz);
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    run({"0,-100", click[L"KM-COIL"], ""}, ylthz);
    run({"-10,10", "100,-150", click[L"CT-NC"], ""}, yltbj);
    EXPECT_EQ(symbolAt(41.25, -20), "CT-NC") << output();
    EXPECT_EQ(symbolAt(41.25, -120), "");
}

TEST_F(EntriesTest, ContinuingIsRefusedWithTheReason)
{
    // Nothing in the window, then the window prompt ends.
    run({"500,500", "600,600", "close"}, yltbj);
    EXPECT_NE(output().find("没有选择实体!"), std::string::npos);
    // Text where a point is due.
    output().clear();
    run({"here", ""}, yltbj);
    EXPECT_NE(output().find("请输入一点!"), std::string::npos);
    // A schematic of wires only.
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    run({"@type palette count \"2\"", "0,0", "t2", "t2", ""}, ylthz);
    output().clear();
    run({"-10,10", "100,-60"}, yltbj);
    EXPECT_NE(output().find("所选原理图中没有块信息, 不能编辑!"), std::string::npos) << output();
    // Damaged data: a wire whose identifier point has gone.
    for (const AcDbObjectId& id : liveEntities()) {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
        resbuf* none = acutBuildList(1001, L"IDPOINT", 0);
        obj->setXData(none);
        acutRelRb(none);
        obj->close();
        break;
    }
    output().clear();
    run({"-10,10", "100,-60"}, yltbj);
    EXPECT_NE(output().find("获取实体的扩展数据错误, 程序退出!"), std::string::npos) << output();
}

TEST_F(EntriesTest, TheBasePointPromptTakesAPointEnterOrClose)
{
    run({"text", "close"}, ylthz);
    EXPECT_NE(output().find("请输入一点:"), std::string::npos);
    EXPECT_TRUE(liveEntities().isEmpty());
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    run({"^C"}, ylthz);
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    // A symbol count of 0 gives three cells per string.
    run({"@type palette count \"0\"", "0,0", "t1", "t1", "t1", "999,999", ""}, ylthz);
    EXPECT_NE(output().find("请在边界内点取一点!"), std::string::npos);
    bool railAtThree = false;
    for (const AcDbObjectId& id : liveEntities())
        if (auto* pl = open<AcDbPolyline>(id); pl && pl->numVerts() == 2) {
            AcGePoint3d a, b;
            pl->getPointAt(0, a);
            pl->getPointAt(1, b);
            railAtThree = railAtThree || (std::fabs(a.x - 90) < 1e-9 && std::fabs(b.x - 90) < 1e-9);
        }
    EXPECT_TRUE(railAtThree) << "the second string's last rail at three cells";
}

// A base point at which the schematic would leave the numbers a double
// holds is refused and asked for again; a schematic that grows there ends
// with the same message. Sizes too large for the entities' data are
// refused as well. Nothing stored holds a number that is not finite.
TEST_F(EntriesTest, ABasePointWhereTheSchematicDoesNotFitIsRefused)
{
    const auto allFinite = [this] {
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds())
            if (!acdbHasFiniteFields(*AcDbInternals::stub(id)->object))
                return false;
        return true;
    };
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    // Huge print scale: the first string one scaled pitch below
    // -1.797693e308 is refused; then a base point that fits, a second
    // string with its rails, Enter.
    db->setHeaderVar("$DIMSCALE", 40, "1e300");
    run({"0,-1.797693e308", "0,0", "t5", ""}, ylthz);
    EXPECT_EQ(count(output(), "坐标超出范围!"), 1u) << output();
    EXPECT_EQ(count(output(), "请选择绘制的基点"), 2u) << output();
    EXPECT_NE(output().find("请选择要绘制的符号"), std::string::npos) << output();
    EXPECT_FALSE(liveEntities().isEmpty());
    EXPECT_TRUE(allFinite());

    // Strings added one after the other until the next would not fit: the
    // run ends with the message.
    db->setHeaderVar("$DIMSCALE", 40, "1e305");
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    output().clear();
    run({"0,-1.75e308", "t5", "t5", "t5", "t5"}, ylthz);
    EXPECT_EQ(count(output(), "坐标超出范围!"), 1u) << output();
    std::string line;
    EXPECT_TRUE(m_lines->readLine(line, "")) << "the run ended before the input did";
    EXPECT_TRUE(allFinite());

    // A spacing whose text the entities cannot carry: every base point is
    // refused until Enter.
    db->setHeaderVar("$DIMSCALE", 40, "1");
    ClosePalette();
    WriteQrzfile(L"Gddata\\Yltsz\\Ydis", L"1e306");
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    ASSERT_DOUBLE_EQ(g_pYlthzDlg->GetVerticalSpacing(), 1e306);
    const std::size_t before = AcDbInternals::modelSpace(*db)->entityIds().size();
    output().clear();
    run({"0,0", "10,10", ""}, ylthz);
    EXPECT_EQ(count(output(), "参数超出范围!"), 2u) << output();
    EXPECT_EQ(output().find("请选择要绘制的符号"), std::string::npos) << output();
    EXPECT_EQ(AcDbInternals::modelSpace(*db)->entityIds().size(), before);
}

// The palette the entry opens is painted at once and knows its highlighted
// symbol: "s" right after the base point places it, and the previous page
// of the first page is refused.
TEST_F(EntriesTest, SymbolTypedRightAfterTheBasePointPlacesTheHighlightedOne)
{
    ClosePalette();
    storeSetting(L"ylthz\\CurSel", L"4");
    bool painted = false;
    drawtest::NotingLines lines({"@click palette prev", "0,0", "s", ""},
                                [&painted] {
                                    CRect invalid;
                                    painted = g_pYlthzDlg && g_pYlthzDlg->IsWindowVisible() &&
                                              !g_pYlthzDlg->GetUpdateRect(&invalid);
                                    return std::string();
                                },
                                "请选择绘制的基点");
    host::setLineSource(&lines);
    EXPECT_EQ(ylthz(), RTNORM);
    EXPECT_TRUE(painted);
    EXPECT_NE(uiOut.text().find("** @click palette prev: button prev is disabled"), std::string::npos)
        << uiOut.text();
    EXPECT_EQ(symbolAt(11.25, -20), "KM-COIL") << output();
}

// A user's layer, colour and linetype, and a run that places two symbols.
class UndoTest : public EntriesTest {
protected:
    void SetUp() override
    {
        EntriesTest::SetUp();
        auto* layer = new AcDbLayerTableRecord();
        layer->setName("MINE");
        AcDbObjectId id;
        ASSERT_EQ(db->addSymbolTableRecord(id, layer), Acad::eOk);
        setText(L"CLAYER", L"MINE");
        setText(L"CECOLOR", L"5");
        setText(L"CELTYPE", L"Continuous");
    }
    static void setText(const wchar_t* name, const wchar_t* value)
    {
        resbuf rb{};
        rb.restype = RTSTR;
        rb.resval.rstring = const_cast<ACHAR*>(value);
        ASSERT_EQ(acedSetVar(name, &rb), RTNORM);
    }
    static std::string text(const wchar_t* name)
    {
        resbuf rb{};
        if (acedGetVar(name, &rb) != RTNORM || rb.restype != RTSTR)
            return "?";
        const std::string v = wideToUtf8(rb.resval.rstring);
        std::free(rb.resval.rstring);
        return v;
    }
    std::string settings() const { return text(L"CLAYER") + " " + text(L"CECOLOR") + " " + text(L"CELTYPE"); }
    int inserts() const
    {
        int n = 0;
        for (const AcDbObjectId& id : liveEntities())
            n += open<AcDbBlockReference>(id) != nullptr;
        return n;
    }
    // The run as a LISP call makes it: inside the host's group of the call.
    void draw(std::deque<std::string> lines)
    {
        feed(std::move(lines));
        AcDbInternals::journal(*db).beginGroup();
        EXPECT_EQ(ylthz(), RTNORM);
        AcDbInternals::journal(*db).endGroup();
        EXPECT_EQ(settings(), "MINE 5 Continuous");
    }
};

TEST_F(UndoTest, OneUTakesBackTheLastSymbolAndLeavesTheUsersSettings)
{
    draw({"0,0", click[L"CT-NO"], "t1", "5,-20", "45,-20", click[L"KM-COIL"], ""});
    ASSERT_EQ(symbolAt(41.25, -20), "KM-COIL");
    ASSERT_EQ(inserts(), 2);
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(symbolAt(41.25, -20), "");
    EXPECT_EQ(symbolAt(11.25, -20), "CT-NO");
    EXPECT_EQ(inserts(), 1);
    EXPECT_EQ(settings(), "MINE 5 Continuous");
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(inserts(), 0);
    EXPECT_EQ(settings(), "MINE 5 Continuous");
    // What the user draws next lands on the user's layer in the user's colour.
    ASSERT_EQ(acedCommand({L"_.PLINE", AcGePoint3d(0, 50, 0), AcGePoint3d(10, 50, 0), L""}), RTNORM);
    auto* pl = open<AcDbPolyline>(liveEntities().back());
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(wideToUtf8(pl->layer()), "MINE");
    EXPECT_EQ(pl->colorIndex(), 5);
}

TEST_F(UndoTest, ARunEndedAtTheBasePointLeavesNothingToTakeBack)
{
    ASSERT_EQ(acedCommand({L"_.PLINE", AcGePoint3d(0, 50, 0), AcGePoint3d(10, 50, 0), L""}), RTNORM);
    draw({"^C"});
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(liveEntities().length(), 0);
    EXPECT_EQ(settings(), "MINE 5 Continuous");
}

// A schematic of strings 8 apart drawn at equipment scale 2: the junction
// box E22 in the second string reaches over the wire of the first string,
// which it cuts in two, and over the third string's wire, drawn after it.
class JunctionBoxTest : public EntriesTest {
protected:
    void SetUp() override
    {
        EntriesTest::SetUp();
        reopenPalette({{L"Gddata\\Yltsz\\Ydis", L"8"}, {L"Gddata\\Yltsz\\MxBl", L"2"}});
        choose(L"E22");
        run({"@type palette count \"4\"", "0,0", "t2", "t2", "t2", "t2", "t1", "s", "t5", "t1", "t2", ""}, ylthz);
    }
    // The wires that lie on the line y between x0 and x1.
    std::vector<AcDbObjectId> wiresOn(double y, double x0, double x1) const
    {
        std::vector<AcDbObjectId> out;
        for (const AcDbObjectId& id : liveEntities()) {
            auto* pl = open<AcDbPolyline>(id);
            if (!pl || pl->colorIndex() != 3 || pl->numVerts() != 2)
                continue;
            AcGePoint3d a, b;
            pl->getPointAt(0, a);
            pl->getPointAt(1, b);
            if (std::fabs(a.y - y) < 1e-9 && std::fabs(b.y - y) < 1e-9 && std::min(a.x, b.x) >= x0 - 1e-9 &&
                std::max(a.x, b.x) <= x1 + 1e-9)
                out.push_back(id);
        }
        return out;
    }
};

TEST_F(JunctionBoxTest, TheRunShowsNoMessagesOfTheHostsCommands)
{
    ASSERT_EQ(symbolAt(37.5, -16), "E22") << output();
    for (const char* note : {"当前线宽", "选择剪切边", "对象未与剪切边相交", "指定", "已放弃"})
        EXPECT_EQ(output().find(note), std::string::npos) << note << "\n" << output();
}

TEST_F(JunctionBoxTest, WirePiecesKeepTheSchematicDataAndAreContinued)
{
    ASSERT_EQ(symbolAt(37.5, -16), "E22") << output();
    // Both wires under the box are cut in two.
    ASSERT_EQ(wiresOn(-8, 30, 60).size(), 2u);
    ASSERT_EQ(wiresOn(-24, 30, 60).size(), 2u);
    for (const AcDbObjectId& id : liveEntities()) {
        ads_name name;
        acdbGetAdsName(name, id);
        std::wstring params;
        EXPECT_EQ(GetXdataString(name, L"YLTHZCS", params), 1) << id.handle();
        EXPECT_EQ(params, L"8.00&30.00&0.30&2.00&4&0");
        AcGePoint3d p(9, 9, 9);
        EXPECT_EQ(GetIdPoint(id, p), 1) << id.handle();
        EXPECT_EQ(p, AcGePoint3d(0, 0, 0));
    }
    // Continued, the third string's cell 1 knows both its pieces: a wire
    // drawn across it again replaces them.
    openDrawing(saveTo("box.dxf"));
    run({"-10,10", "130,-40", "45,-24", "t2", ""}, yltbj);
    EXPECT_EQ(wiresOn(-24, 30, 60).size(), 2u) << output();
    EXPECT_EQ(wiresOn(-8, 30, 60).size(), 2u);
}

// The scale of a new schematic is the drawing's print scale, DIMSCALE.
TEST_F(EntriesTest, ThePrintScaleIsTheDrawingsDimscale)
{
    resbuf rb{};
    rb.restype = RTREAL;
    rb.resval.rreal = 2.0;
    ASSERT_EQ(acedSetVar(L"DIMSCALE", &rb), RTNORM);
    run({"@type palette count \"4\"", "0,0", click[L"CT-NO"], ""}, ylthz);
    EXPECT_EQ(symbolAt(22.5, -40), "CT-NO") << output();
    for (const AcDbObjectId& id : liveEntities()) {
        if (auto* ref = open<AcDbBlockReference>(id)) {
            EXPECT_EQ(ref->scaleFactors().sx, 2.0);
        }
    }
}

// Esc at any prompt of any action ends the run: the marker hidden, the
// undo group closed, the palette closed. A drag that fails only ends its
// action; the next Esc at the main prompt ends the run.
TEST_F(EntriesTest, EscEndsTheRunFromEveryPrompt)
{
    const std::vector<std::deque<std::string>> endings = {
        {"^C"},
        {"e1", "^C", "^C"},
        {"e2", "^C"},
        {"e3", "^C"},
        {"e3", xy(AcGePoint3d(15, -17, 0)), "^C"},
        {"e4", "^C"},
        {"e5", "^C", "^C"},
        {"e6", "^C", "^C"},
        {"e7", "^C"},
        {"e8", "^C"},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.front());
        if (!g_pYlthzDlg) {
            g_pYlthzDlg = new CYlthzDialog;
            ASSERT_TRUE(g_pYlthzDlg->Create());
        }
        std::deque<std::string> lines = {"@type palette count \"2\"", "0,0", click[L"KM-COIL"]};
        lines.insert(lines.end(), ending.begin(), ending.end());
        run(lines, ylthz);
        EXPECT_EQ(m_lines->readLine(lines.front(), ""), false) << "every line was read";
    }
}

} // namespace
