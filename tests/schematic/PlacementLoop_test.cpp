// Drawing a schematic at the placement loop's prompt: keywords typed or
// sent by the palette, the editing actions, the undo group of every unit
// of drawing, and the ways out (an exception among them).
#include "SchematicDrawTest.h"

#include "components/NorvexScopes.h"
#include "grid/PrinPicGrid.h"
#include "host/dbinternal.h"
#include "host/dbundo.h"
#include "schematic/PlacementLoop.h"
#include "schematic/SchematicEntries.h"
#include "schematic/SchematicXdata.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

namespace {

using drawtest::DrawingTest;
using drawtest::NotingLines;
using drawtest::output;

constexpr double kTol = 1e-6;

struct Seen {
    std::string type, layer;
    int color = 0;
    std::vector<AcGePoint3d> points; // polyline vertices, or the insertion point
    std::string block;
    double rotation = 0;
};

class PlacementTest : public DrawingTest {
protected:
    // Live model-space entities that are not the hidden marker.
    std::vector<Seen> seen() const
    {
        std::vector<Seen> out;
        for (const AcDbObjectId& id : liveEntities()) {
            AcDbEntity* e = open<AcDbEntity>(id);
            Seen s;
            s.layer = wideToUtf8(e->layer());
            s.color = e->colorIndex();
            if (auto* pl = dynamic_cast<AcDbPolyline*>(e)) {
                s.type = "LWPOLYLINE";
                for (unsigned i = 0; i < pl->numVerts(); ++i) {
                    AcGePoint3d p;
                    pl->getPointAt(i, p);
                    s.points.push_back(p);
                }
            } else if (auto* ref = dynamic_cast<AcDbBlockReference*>(e)) {
                s.type = "INSERT";
                s.points.push_back(ref->position());
                s.rotation = ref->rotation();
                auto* rec = open<AcDbSymbolTableRecord>(ref->blockTableRecord());
                s.block = rec ? rec->name() : "";
            } else {
                s.type = e->dxfName();
            }
            out.push_back(s);
        }
        return out;
    }
    int count(const std::string& type) const
    {
        int n = 0;
        for (const Seen& s : seen())
            n += s.type == type;
        return n;
    }
    // The symbol inserted at a point, or "".
    std::string symbolAt(double x, double y) const
    {
        for (const Seen& s : seen())
            if (s.type == "INSERT" && std::fabs(s.points[0].x - x) < kTol && std::fabs(s.points[0].y - y) < kTol)
                return s.block;
        return "";
    }
    // Whether a straight wire runs between the two points (either way).
    bool wireBetween(double x0, double y0, double x1, double y1) const
    {
        for (const Seen& s : seen()) {
            if (s.type != "LWPOLYLINE" || s.points.size() != 2)
                continue;
            const AcGePoint3d a(x0, y0, 0), b(x1, y1, 0);
            if ((s.points[0].distanceTo(a) < kTol && s.points[1].distanceTo(b) < kTol) ||
                (s.points[0].distanceTo(b) < kTol && s.points[1].distanceTo(a) < kTol))
                return true;
        }
        return false;
    }
    void run(std::deque<std::string> lines, int (*entry)())
    {
        feed(std::move(lines));
        EXPECT_EQ(entry(), RTNORM);
    }
};

TEST_F(PlacementTest, SymbolsAndWiresFillTheCellsAndANewStringGetsItsRails)
{
    run({"@type palette count \"4\"", "0,0", clickOn(L"CT-NO"), "t2", clickOn(L"KM-COIL"), "t1", ""}, ylthz);
    EXPECT_EQ(g_pYlthzDlg, nullptr) << "the loop closes the palette";
    EXPECT_EQ(symbolAt(11.25, -20), "CT-NO");
    EXPECT_EQ(symbolAt(71.25, -20), "KM-COIL");
    EXPECT_TRUE(wireBetween(0, -20, 11.25, -20));
    EXPECT_TRUE(wireBetween(30, -20, 60, -20));
    // The second string's rails join it to the first.
    EXPECT_TRUE(wireBetween(0, -20, 0, -40));
    EXPECT_TRUE(wireBetween(120, -20, 120, -40));
    EXPECT_EQ(count("INSERT"), 2);
    EXPECT_EQ(count("LWPOLYLINE"), 4 + 1 + 2);
    for (const Seen& s : seen()) {
        if (s.type == "LWPOLYLINE") {
            EXPECT_EQ(s.layer, wireLayer);
            EXPECT_EQ(s.color, 3);
        } else {
            EXPECT_EQ(s.layer, elementLayer);
        }
    }
    for (const AcDbObjectId& id : liveEntities()) {
        ads_name name;
        acdbGetAdsName(name, id);
        std::wstring text;
        EXPECT_EQ(GetXdataString(name, L"YLTHZCS", text), 1);
        EXPECT_EQ(text, L"20.00&30.00&0.30&1.00&4&0");
        AcGePoint3d p(9, 9, 9);
        EXPECT_EQ(GetIdPoint(id, p), 1);
        EXPECT_EQ(p, AcGePoint3d(0, 0, 0));
    }
}


// One session per arrangement that uses every keyword and every action.
class SessionTest : public PlacementTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        PlacementTest::SetUp();
        column = GetParam() == 1;
        ref.SetCellPitchX(30);
        ref.SetCellPitchY(20);
        ref.SetCellsPerString(4);
        ref.SetOrientation(GetParam());
        if (column)
            ref.SetReferenceRange(0, 15, 0, -80);
        else
            ref.SetReferenceRange(0, 120, 0, -10);
        for (int i = 0; i < 5; ++i)
            ref.InsertString(i);
    }
    AcDbExtents slot(int s, int c, int kind) const
    {
        AcDbExtents e;
        EXPECT_EQ(ref.GetExtents(s, c, kind, e), 1);
        return e;
    }
    static AcGePoint3d centre(const AcDbExtents& e)
    {
        return AcGePoint3d((e.minPoint().x + e.maxPoint().x) / 2, (e.minPoint().y + e.maxPoint().y) / 2, 0);
    }
    // Where a cell's symbol is inserted, and a point on a coil's edge for
    // a coil inserted there with the arrangement's rotation plus `turn`.
    AcGePoint3d insertion(int s, int c) const
    {
        const AcDbExtents e = slot(s, c, 1);
        const AcGePoint3d m = centre(e);
        return column ? AcGePoint3d(m.x, e.maxPoint().y - 6.25, 0) : AcGePoint3d(e.minPoint().x + 11.25, m.y, 0);
    }
    AcGePoint3d coilEdge(int s, int c, double turn = 0) const
    {
        const double r = (column ? 0.0 : M_PI / 2) + turn;
        const AcGePoint3d at = insertion(s, c);
        return AcGePoint3d(at.x + 3 * std::cos(r) + 3.75 * std::sin(r), at.y + 3 * std::sin(r) - 3.75 * std::cos(r),
                           0);
    }
    std::deque<std::string> script()
    {
        return {
            "@type palette count \"4\"",
            GetParam() == 1 ? "@check palette columns on" : "@check palette rows on",
            "0,0",
            // First string: a contact, a wire, a coil, an empty cell.
            clickOn(L"CT-NO"), "t2", clickOn(L"KM-COIL"), "t1",
            // Second: wires to the last cell, a coil there.
            "t3", clickOn(L"KA-COIL"),
            // Third: an empty cell, a link at the next, the string ended.
            "t1", "t4", "t5",
            // Fourth: a coil, then the actions.
            clickOn(L"KM-COIL"),
            "e1", clickOn(L"CT-NC"), "@pick " + xy(centre(slot(3, 1, 1))), "",
            "e2", xy(coilEdge(0, 2)), "",
            "e4", xy(coilEdge(3, 0)), "",
            "e3", xy(coilEdge(3, 0, M_PI / 2)), "", "",
            "e5", "@pick " + xy(centre(slot(1, 1, 1))), "",
            "e6", "@pick " + xy(centre(slot(2, 2, 0))), "",
            "e7", xy(centre(slot(1, 1, 0))), "",
            "e8", xy(centre(slot(1, 1, 0))), "",
            // A picked cell becomes current; wires to the end, next string.
            xy(centre(slot(3, 2, 1))), "t3", "t5",
            "",
        };
    }
    // The drawing without the marker: every live entity but the hidden one.
    std::string state() const
    {
        std::string out;
        const std::vector<Seen> all = seen();
        const AcDbObjectIdArray ids = liveEntities();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Seen& e = all[i];
            if (e.color == 1 && e.type == "LWPOLYLINE")
                continue; // the marker
            char buf[96];
            std::snprintf(buf, sizeof buf, "%p %s %s %d %s %.6f", static_cast<const void*>(AcDbInternals::stub(ids[i])),
                          e.type.c_str(), e.layer.c_str(), e.color, e.block.c_str(), e.rotation);
            out += buf;
            for (const AcGePoint3d& p : e.points) {
                std::snprintf(buf, sizeof buf, " (%.6f %.6f)", p.x, p.y);
                out += buf;
            }
            out += "\n";
        }
        return out;
    }
    bool column = false;
    CPrinPicGrid ref;
};

TEST_P(SessionTest, EveryKeywordAndActionDrawsWhatTheGridSays)
{
    NotingLines lines(script(), [this] { return state(); });
    host::setLineSource(&lines);
    // As a LISP call runs: inside the host's group of the call.
    AcDbInternals::journal(*db).beginGroup();
    ASSERT_EQ(ylthz(), RTNORM);
    AcDbInternals::journal(*db).endGroup();
    EXPECT_EQ(g_pYlthzDlg, nullptr);

    // Symbols: what stays of them after the actions.
    std::multiset<std::string> inserts;
    for (const Seen& s : seen())
        if (s.type == "INSERT")
            inserts.insert(s.block);
    EXPECT_EQ(inserts, (std::multiset<std::string>{"CT-NO", "CT-NC", "CT-NC", "CT-NC", "KM-COIL"}));
    EXPECT_EQ(symbolAt(insertion(0, 0).x, insertion(0, 0).y), "CT-NO");
    EXPECT_EQ(symbolAt(insertion(1, 1).x, insertion(1, 1).y), "CT-NC"); // inserted into the second string
    EXPECT_EQ(symbolAt(insertion(3, 1).x, insertion(3, 1).y), "CT-NC"); // the replacement
    EXPECT_EQ(symbolAt(insertion(0, 2).x, insertion(0, 2).y), "");      // deleted: a wire instead
    const AcDbExtents deleted = slot(0, 2, 1);
    const AcGePoint3d dm = centre(deleted);
    if (column)
        EXPECT_TRUE(wireBetween(dm.x, deleted.maxPoint().y, dm.x, deleted.minPoint().y));
    else
        EXPECT_TRUE(wireBetween(deleted.minPoint().x, dm.y, deleted.maxPoint().x, dm.y));
    // 4 + 7 + 5 + 7 + 2 wires: stubs, cell and link wires, and the rails
    // of strings 1 to 4 (the string added and deleted again took its own
    // rails with it).
    EXPECT_EQ(count("LWPOLYLINE"), 25);
    const AcDbExtents s4 = slot(4, 0, 0);
    EXPECT_TRUE(column ? wireBetween(s4.minPoint().x, 0, s4.maxPoint().x, 0)
                       : wireBetween(0, s4.maxPoint().y, 0, s4.minPoint().y));
    const std::wstring params = column ? L"30.00&20.00&0.30&1.00&4&1" : L"20.00&30.00&0.30&1.00&4&0";
    for (const AcDbObjectId& id : liveEntities()) {
        ads_name name;
        acdbGetAdsName(name, id);
        std::wstring text;
        EXPECT_EQ(GetXdataString(name, L"YLTHZCS", text), 1);
        EXPECT_EQ(text, params);
        AcGePoint3d p(9, 9, 9);
        EXPECT_EQ(GetIdPoint(id, p), 1);
        EXPECT_EQ(p, AcGePoint3d(0, 0, 0));
    }
    for (const Seen& s : seen()) {
        EXPECT_EQ(s.layer, s.type == "INSERT" ? elementLayer : wireLayer);
        if (s.type == "LWPOLYLINE") {
            EXPECT_EQ(s.color, 3);
        }
    }
    EXPECT_EQ(output().find("此位置处没有符号"), std::string::npos) << output();
    EXPECT_EQ(output().find("请在边界内点取一点"), std::string::npos) << output();

    // The saved drawing read elsewhere holds the same: five symbols, 25
    // green wires of width 0.3 on the wire layer, every one with the
    // schematic's data; nothing else but the hidden frame.
    if (testutil::haveEzdxf()) {
        testutil::TempDir dir;
        const std::string path = dir.file("session.dxf");
        ASSERT_EQ(db->saveAs(utf8ToWide(path).c_str()), Acad::eOk);
        const std::string report = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(path));
        const auto lines = [&report](const std::string& what) {
            int n = 0;
            for (std::size_t at = report.find(what); at != std::string::npos; at = report.find(what, at + 1))
                ++n;
            return n;
        };
        EXPECT_NE(report.find("audit errors=0 fixes=0"), std::string::npos) << report;
        EXPECT_EQ(lines("\nINSERT color=3 "), 5) << report;
        EXPECT_EQ(lines("\nLWPOLYLINE color=3 const_width=0.3 flags=0 layer=" + wireLayer), 25) << report;
        EXPECT_EQ(lines("1000:" + wideToUtf8(params)), 30) << report;
        EXPECT_EQ(lines("xdata[IDPOINT]=1001:IDPOINT;1011:(0,0,0)"), 30) << report;
        EXPECT_EQ(lines("xdata[TKSY]"), 5) << report;
    }

    // One U per unit of drawing: going back, the drawing passes through the
    // states noted at the prompts, from the last to the first (a picked
    // cell, t1 and t5 draw nothing and make no unit; the strings' rails are
    // units of their own, between two prompts).
    std::vector<std::string> states;
    for (const std::string& note : lines.notes)
        if (states.empty() || states.back() != note)
            states.push_back(note);
    ASSERT_GE(states.size(), 15u);
    ASSERT_EQ(state(), states.back()) << "the end of the run changed nothing";
    std::size_t next = states.size() - 1;
    int undos = 0;
    while (next > 0 && undos < 100) {
        ASSERT_EQ(acedCommand({L"U"}), RTNORM);
        ++undos;
        if (state() == states[next - 1])
            --next;
    }
    EXPECT_EQ(next, 0u);
    // Four symbols, one t2, two t3, one t4 and the eight actions; the rails
    // of four strings.
    EXPECT_EQ(undos, 16 + 4) << "each unit one group";
    // Last, the marker's unit; then nothing is left of the run.
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(AcDbInternals::modelSpace(*db)->entityIds().length(), 0);
    output().clear();
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_NE(output().find("没有可放弃的操作。"), std::string::npos) << output();
}

// A run left by an exception: at the main prompt after a symbol, or in the
// middle of deleting (where the pick runs with OSMODE 64).
struct Failure {
    const char* name;
    std::vector<std::string> after; // lines after the symbol
    int units;                      // undo groups the run leaves
};
void PrintTo(const Failure& f, std::ostream* os)
{
    *os << f.name;
}

class FailureTest : public PlacementTest, public ::testing::WithParamInterface<Failure> {
protected:
    void SetUp() override
    {
        PlacementTest::SetUp();
        auto* layer = new AcDbLayerTableRecord();
        layer->setName("USER");
        AcDbObjectId id;
        ASSERT_EQ(db->addSymbolTableRecord(id, layer), Acad::eOk);
        // The user's settings, none of them what a run sets.
        ASSERT_EQ(setText(L"CLAYER", L"USER"), RTNORM);
        ASSERT_EQ(setText(L"CECOLOR", L"5"), RTNORM);
        ASSERT_EQ(setText(L"CELTYPE", L"Continuous"), RTNORM);
        for (const auto& [name, value] : kShorts)
            ASSERT_EQ(SetAcadSysVar(name, value), RTNORM);
        AcDbInternals::journal(*db).clear();
    }
    static int setText(const ACHAR* name, const ACHAR* value)
    {
        resbuf rb{};
        rb.restype = RTSTR;
        rb.resval.rstring = const_cast<ACHAR*>(value);
        return acedSetVar(name, &rb);
    }
    static void expectTheUsersSettings()
    {
        EXPECT_EQ(testutil::stringVar(L"CLAYER"), L"USER");
        EXPECT_EQ(testutil::stringVar(L"CECOLOR"), L"5");
        EXPECT_EQ(testutil::stringVar(L"CELTYPE"), L"Continuous");
        for (const auto& [name, value] : kShorts) {
            resbuf rb{};
            ASSERT_EQ(acedGetVar(name, &rb), RTNORM);
            EXPECT_EQ(rb.resval.rint, value) << wideToUtf8(name);
        }
    }
    static constexpr std::pair<const ACHAR*, short> kShorts[] = {
        {L"OSMODE", 35}, {L"CMDECHO", 1}, {L"PLINETYPE", 1}, {L"BLIPMODE", 1}};
};

TEST_P(FailureTest, ExceptionMidwayLeavesNoUndoGroupOpenAndTheUsersSettings)
{
    std::deque<std::string> script = {"@type palette 21853 \"4\"", "0,0", clickOn(L"CT-NO")};
    for (const std::string& line : GetParam().after)
        script.push_back(line);
    testutil::ScriptLines lines(std::move(script), /*failAtEnd=*/true);
    host::setLineSource(&lines);
    AcDbUndoJournal& journal = AcDbInternals::journal(*db);
    {
        // As a LISP call runs: inside the host's group of the call.
        const AcDbUndoGroupScope call(journal);
        EXPECT_THROW(ylthz(), std::runtime_error);
        EXPECT_EQ(journal.depth(), 1) << "only the call's group is open";
    }
    EXPECT_EQ(journal.depth(), 0);
    EXPECT_FALSE(journal.isGroupOpen()) << "UNDO BEGIN of the last unit was ended";
    expectTheUsersSettings();
    EXPECT_EQ(symbolAt(11.25, -20), "CT-NO");
    for (const Seen& s : seen())
        EXPECT_FALSE(s.type == "LWPOLYLINE" && s.color == 1) << "the marker is hidden";

    // One U per unit, each leaving the user's settings as they are; then
    // nothing is left of the run.
    int undos = 0;
    while (AcDbInternals::modelSpace(*db)->entityIds().length() > 0 && undos < 10) {
        ASSERT_EQ(acedCommand({L"U"}), RTNORM);
        ++undos;
        expectTheUsersSettings();
    }
    EXPECT_EQ(undos, GetParam().units);
    output().clear();
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_NE(output().find("没有可放弃的操作。"), std::string::npos) << output();
}

INSTANTIATE_TEST_SUITE_P(Places, FailureTest,
                         ::testing::Values(Failure{"AtTheMainPrompt", {}, 2}, Failure{"WhileDeleting", {"e2"}, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Arrangements, SessionTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Rows" : "Columns"; });

} // namespace
