// ctrlsch demo end to end: a motor starter drawn with (ylthz) in one
// session and continued with (yltbj) in a second one on the saved file,
// then its panel front laid out with (inspmtsb) and counted with (esbbtj).
// The drawings are read back with ezdxf, and with our host for what a
// designer looks at: designations beside their symbols, rails from the
// first string to the last, panel labels that fit their equipment.
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

namespace {

int count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The demo runs once for the suite.
class Demo : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new testutil::TempDir;
        s_output = new std::string;
        s_status = testutil::run("CTRLSCH_MODULE=" + std::string(CTRLSCH_MODULE_PATH) + " " + CTRLSCH_PROGRAM_PATH +
                                     " demo " + testutil::shellQuote(s_dir->path()),
                                 *s_output);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        delete s_output;
        s_dir = nullptr;
        s_output = nullptr;
    }
    void SetUp() override { ASSERT_EQ(s_status, 0) << *s_output; }

    static std::string file(const std::string& name) { return s_dir->file(name); }
    static const std::string& out() { return *s_output; }

    static testutil::TempDir* s_dir;
    static std::string* s_output;
    static int s_status;
};

testutil::TempDir* Demo::s_dir = nullptr;
std::string* Demo::s_output = nullptr;
int Demo::s_status = -1;

// What a drawing's model space shows, as the host reads it.
struct Shown {
    std::string name; // block name, or the text
    AcDbExtents box;
    double height = 0; // a text's, from its baseline up (its box holds its descent too)
};
struct Wire {
    AcGePoint3d a, b;
};
struct Drawing {
    std::vector<Shown> symbols, texts;
    std::vector<Wire> wires; // straight two-point polylines on the wire layer
};

Drawing read(const std::string& path)
{
    AcDbDatabase db(false, true);
    Drawing d;
    EXPECT_EQ(db.readDwgFile(utf8ToWide(path).c_str()), Acad::eOk) << path;
    for (const AcDbObjectId& id : AcDbInternals::modelSpace(db)->entityIds()) {
        AcDbEntity* e = nullptr;
        if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk)
            continue;
        AcDbExtents box;
        if (auto* ref = dynamic_cast<AcDbBlockReference*>(e)) {
            auto* rec = dynamic_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(ref->blockTableRecord())->object.get());
            if (rec && ref->getGeomExtents(box) == Acad::eOk)
                d.symbols.push_back({rec->name(), box});
        } else if (auto* t = dynamic_cast<AcDbText*>(e)) {
            if (t->getGeomExtents(box) == Acad::eOk)
                d.texts.push_back({t->text(), box, t->height()});
        } else if (auto* pl = dynamic_cast<AcDbPolyline*>(e); pl && pl->numVerts() == 2 && e->layerName() == "电气导线") {
            Wire w;
            pl->getPointAt(0, w.a);
            pl->getPointAt(1, w.b);
            d.wires.push_back(w);
        }
        e->close();
    }
    return d;
}

AcGePoint3d centre(const AcDbExtents& e)
{
    return AcGePoint3d((e.minPoint().x + e.maxPoint().x) / 2, (e.minPoint().y + e.maxPoint().y) / 2, 0);
}

bool overlap(const AcDbExtents& p, const AcDbExtents& q)
{
    return p.minPoint().x < q.maxPoint().x && q.minPoint().x < p.maxPoint().x && p.minPoint().y < q.maxPoint().y &&
           q.minPoint().y < p.maxPoint().y;
}

bool inside(const AcDbExtents& inner, const AcDbExtents& outer)
{
    return inner.minPoint().x >= outer.minPoint().x && inner.maxPoint().x <= outer.maxPoint().x &&
           inner.minPoint().y >= outer.minPoint().y && inner.maxPoint().y <= outer.maxPoint().y;
}

std::string describe(const AcDbExtents& e)
{
    char s[128];
    std::snprintf(s, sizeof s, "(%g,%g)-(%g,%g)", e.minPoint().x, e.minPoint().y, e.maxPoint().x, e.maxPoint().y);
    return s;
}

// The symbol whose middle is nearest to the text's.
const Shown* nearestSymbol(const Drawing& d, const Shown& text)
{
    const Shown* best = nullptr;
    for (const Shown& s : d.symbols)
        if (!best || centre(s.box).distanceTo(centre(text.box)) < centre(best->box).distanceTo(centre(text.box)))
            best = &s;
    return best;
}

// Each designation stands next to its own symbol: the nearest symbol is
// the one it names, within half a string's pitch (20), over it and clear
// of every symbol. Gives "text symbol" for each.
std::multiset<std::string> designations(const Drawing& d)
{
    std::multiset<std::string> found;
    for (const Shown& t : d.texts) {
        SCOPED_TRACE(t.name + " at " + describe(t.box));
        const Shown* s = nearestSymbol(d, t);
        if (!s) {
            ADD_FAILURE() << "no symbol";
            continue;
        }
        EXPECT_LT(centre(s->box).distanceTo(centre(t.box)), 10.0) << s->name;
        EXPECT_NEAR(centre(s->box).x, centre(t.box).x, 1.0) << "centred over " << s->name;
        EXPECT_GT(t.box.minPoint().y, s->box.maxPoint().y) << "above " << s->name;
        for (const Shown& other : d.symbols)
            EXPECT_FALSE(overlap(t.box, other.box)) << other.name << " " << describe(other.box);
        for (const Wire& w : d.wires) {
            AcDbExtents wire;
            wire.addPoint(w.a);
            wire.addPoint(w.b);
            EXPECT_FALSE(overlap(t.box, wire)) << "a wire " << describe(wire);
        }
        found.insert(t.name + " " + s->name);
    }
    return found;
}

// The ladder's rails, the vertical wires at its left and right, run from
// its first string to its last: from the highest horizontal wire down to
// the lowest, and no further.
void expectRailsFromFirstToLastString(const Drawing& d)
{
    double left = 1e300, right = -1e300, top = -1e300, bottom = 1e300;
    for (const Wire& w : d.wires) {
        left = std::min({left, w.a.x, w.b.x});
        right = std::max({right, w.a.x, w.b.x});
        if (std::fabs(w.a.y - w.b.y) < 1e-9) {
            top = std::max(top, w.a.y);
            bottom = std::min(bottom, w.a.y);
        }
    }
    ASSERT_LT(bottom, top) << "strings";
    for (double x : {left, right}) {
        SCOPED_TRACE(x);
        double high = -1e300, low = 1e300, length = 0;
        for (const Wire& w : d.wires)
            if (std::fabs(w.a.x - x) < 1e-9 && std::fabs(w.b.x - x) < 1e-9) {
                high = std::max({high, w.a.y, w.b.y});
                low = std::min({low, w.a.y, w.b.y});
                length += std::fabs(w.a.y - w.b.y);
            }
        EXPECT_NEAR(high, top, 1e-9);
        EXPECT_NEAR(low, bottom, 1e-9);
        EXPECT_NEAR(length, top - bottom, 1e-9) << "one rail, no gap and no overlap";
    }
}

TEST_F(Demo, TheSecondSessionContinuesTheFirstOnesDrawing)
{
    // The scripts name dialogs, controls and symbols: no control ids, no
    // pixels.
    for (const char* script : {"motor-starter.scr", "motor-starter-continued.scr", "motor-starter-panel.scr",
                               "selection-dialogs.scr"}) {
        const std::string text = testutil::readFile(file(script));
        EXPECT_NE(text.find("\n@"), std::string::npos) << script;
        EXPECT_EQ(text.find("@mouse"), std::string::npos) << text;
        EXPECT_FALSE(std::regex_search(text, std::regex("(^|\n)@[a-z]+ [a-z]+ [0-9]"))) << text;
    }
    // Nothing refused or failed on the way.
    EXPECT_EQ(out().find("** "), std::string::npos) << out();
    EXPECT_EQ(out().find("错误"), std::string::npos) << out();
    EXPECT_EQ(out().find("请在边界内点取一点"), std::string::npos) << out();
    // Every typed line was taken: no input asked for again.
    EXPECT_EQ(out().find("无效"), std::string::npos) << out();
    EXPECT_EQ(out().find("\n需要"), std::string::npos) << out();
    // The panel front's equipment table, as (esbbtj 0) gives it.
    EXPECT_NE(out().find("(\"HL1\" \"\" \"\" \"运行指示灯\" \"AD16-22/红\" \"1\")"), std::string::npos) << out();
    EXPECT_NE(out().find("(\"SB2\" \"\" \"\" \"启动按钮\" \"LA39-11/绿\" \"1\")"), std::string::npos) << out();
    for (const char* base : {"motor-starter", "motor-starter-continued", "motor-starter-panel"}) {
        EXPECT_TRUE(std::filesystem::exists(file(base + std::string(".dxf")))) << base;
        // Its pictures: SVG, a PNG and a PDF page.
        EXPECT_NE(testutil::readFile(file(base + std::string(".svg"))).find("<svg "), std::string::npos) << base;
        EXPECT_EQ(testutil::readFile(file(base + std::string(".png"))).find("PNG"), 1u) << base;
        EXPECT_EQ(testutil::readFile(file(base + std::string(".pdf"))).find("%PDF-"), 0u) << base;
    }
    // The ladders are plotted across a landscape page, the panel door on an
    // upright one.
    testutil::Image ladder, door;
    ASSERT_TRUE(testutil::readPng(file("motor-starter.png"), ladder));
    ASSERT_TRUE(testutil::readPng(file("motor-starter-panel.png"), door));
    EXPECT_GT(ladder.width, ladder.height);
    EXPECT_LT(door.width, door.height);
    // The dialogs as the user saw them on the way.
    for (const char* dialog : {"palette", "panel", "busbar", "switchtable"}) {
        testutil::Image seen;
        EXPECT_TRUE(testutil::readPng(file(dialog + std::string(".png")), seen)) << dialog;
        EXPECT_GT(seen.width * seen.height, 100 * 100) << dialog;
    }
    if (!testutil::haveEzdxf())
        GTEST_SKIP() << "ezdxf is not installed";
    const std::string first = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(file("motor-starter.dxf")));
    const std::string second =
        testutil::runPythonTool("ezdxf_report", testutil::shellQuote(file("motor-starter-continued.dxf")));
    // Ten symbols first (five, the holding contact, two lamp rows of two),
    // then the contactor's contact and the auxiliary relay's coil; each
    // with its designation.
    EXPECT_EQ(count(first, "\nINSERT "), 10) << first;
    EXPECT_EQ(count(second, "\nINSERT "), 12) << second;
    EXPECT_EQ(count(first, "\nTEXT "), 10) << first;
    EXPECT_EQ(count(second, "\nTEXT "), 12) << second;
    EXPECT_NE(second.find("KA-COIL"), std::string::npos) << second;
    EXPECT_EQ(first.find("KA-COIL"), std::string::npos) << first;
    // Five pieces of panel equipment, each with its data and labels.
    const std::string panel = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(file("motor-starter-panel.dxf")));
    EXPECT_EQ(count(panel, "\nINSERT "), 5) << panel;
    EXPECT_EQ(count(panel, "xdata[PMTBZ]"), 5) << panel;
    EXPECT_EQ(count(panel, "\nTEXT "), 10) << "a code and a symbol text each";
    // The function box beside it: six rows, so seven cross lines, the two
    // sides and the division line.
    EXPECT_EQ(count(second, "\nLINE "), 10) << second;
    EXPECT_EQ(count(first, "\nLINE "), 0);
    // The selection dialogs answer their LISP callers.
    EXPECT_NE(out().find("@click busbar ok\n5\n"), std::string::npos) << out();
    EXPECT_NE(out().find("(2 \"ZHKGB1.DWG\")"), std::string::npos) << out();
    EXPECT_NE(out().find("(getdzjddlg)\n(0 0)"), std::string::npos) << out();
    // Every symbol of both carries the same parameters of the schematic.
    EXPECT_EQ(count(second, "20.00&30.00&0.30&1.00&5&0"), count(second, "xdata[YLTHZCS]")) << second;
}

TEST_F(Demo, DesignationsStandOverTheirSymbols)
{
    const std::multiset<std::string> starter = {
        "QF1 QF",        "FR1 FR-NC",     "SB1 SB-NC",     "SB2 SB-NO", "KM1 KM-COIL",
        "KM1 KM-NO",     "KM1 KM-NO",     "KM1 KM-NC",     "HL1 HL-R",  "HL2 HL-G",
    };
    {
        SCOPED_TRACE("first session");
        EXPECT_EQ(designations(read(file("motor-starter.dxf"))), starter);
    }
    SCOPED_TRACE("continued");
    std::multiset<std::string> continued = starter;
    continued.insert({"KM1 KM-NO", "KA1 KA-COIL"});
    EXPECT_EQ(designations(read(file("motor-starter-continued.dxf"))), continued);
}

TEST_F(Demo, RailsRunFromTheFirstStringToTheLast)
{
    for (const char* drawing : {"motor-starter.dxf", "motor-starter-continued.dxf"}) {
        SCOPED_TRACE(drawing);
        const Drawing d = read(file(drawing));
        ASSERT_FALSE(d.wires.empty());
        expectRailsFromFirstToLastString(d);
    }
}

TEST_F(Demo, PanelLabelsFitTheirEquipmentAndOverlapNothing)
{
    const Drawing d = read(file("motor-starter-panel.dxf"));
    ASSERT_EQ(d.symbols.size(), 5u);
    ASSERT_EQ(d.texts.size(), 10u);
    // Real sizes, in millimetres: 22 mm lamps and buttons in their 30 mm
    // bezels, a name plate as wide as the two columns of devices.
    std::map<std::string, int> labelsOf;
    for (const Shown& s : d.symbols) {
        const double w = s.box.maxPoint().x - s.box.minPoint().x, h = s.box.maxPoint().y - s.box.minPoint().y;
        if (s.name == "pmtfh1") {
            EXPECT_NEAR(w, 80, 10) << describe(s.box);
            EXPECT_NEAR(h, 30, 10) << describe(s.box);
        } else {
            EXPECT_GE(w, 26) << s.name << describe(s.box);
            EXPECT_LE(w, 31) << s.name << describe(s.box);
            EXPECT_NEAR(w, h, 1e-9) << s.name;
        }
    }
    for (const Shown& t : d.texts) {
        SCOPED_TRACE(t.name + " at " + describe(t.box));
        const Shown* s = nearestSymbol(d, t);
        ASSERT_NE(s, nullptr);
        ++labelsOf[describe(s->box)];
        if (s->name == "pmtfh1") {
            // The plate's labels inside it.
            EXPECT_TRUE(inside(t.box, s->box)) << describe(s->box);
            continue;
        }
        // Within the width of its device, above or below it: the code's
        // baseline sits just over the device, its descent (none in digits
        // and capitals) reaching into the device's outline.
        EXPECT_GE(t.box.minPoint().x, s->box.minPoint().x) << describe(s->box);
        EXPECT_LE(t.box.maxPoint().x, s->box.maxPoint().x) << describe(s->box);
        const AcDbExtents glyphs(AcGePoint3d(t.box.minPoint().x, t.box.maxPoint().y - t.height, 0), t.box.maxPoint());
        for (const Shown& other : d.symbols)
            EXPECT_FALSE(overlap(&other == s ? glyphs : t.box, other.box)) << other.name << " " << describe(other.box);
    }
    for (std::size_t i = 0; i < d.texts.size(); ++i)
        for (std::size_t j = i + 1; j < d.texts.size(); ++j)
            EXPECT_FALSE(overlap(d.texts[i].box, d.texts[j].box))
                << d.texts[i].name << " " << describe(d.texts[i].box) << " and " << d.texts[j].name << " "
                << describe(d.texts[j].box);
    EXPECT_EQ(labelsOf.size(), 5u) << "two labels for each piece of equipment";
    for (const auto& [box, n] : labelsOf)
        EXPECT_EQ(n, 2) << box;
}

} // namespace
