// Placing panel equipment: symbols dragged onto picked points, scaled by
// the dialog's width and height, with their equipment data and labels;
// changes in the dialog replace the dragged symbol; Enter and Esc end.
#include "PanelTest.h"

#include "components/NorvexGloFunc.h"
#include "host/dbinternal.h"
#include "library/ProjectSettings.h"
#include "library/SymbolLibrary.h"
#include "install/Symbols.h"
#include "panel/PanelInsert.h"

#include <cmath>

namespace {

using paneltest::output;
using paneltest::PanelTest;

struct Placed {
    std::string block;
    AcGePoint3d at;
    double sx = 0, sy = 0;
    std::map<std::string, std::wstring> data;
};

struct Label {
    std::wstring text;
    AcGePoint3d at;
    double height = 0;
};

class PanelInsertTest : public PanelTest {
protected:
    std::vector<Placed> placed() const
    {
        std::vector<Placed> out;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds()) {
            if (id.isErased())
                continue;
            auto* ref = dynamic_cast<AcDbBlockReference*>(AcDbInternals::stub(id)->object.get());
            if (!ref)
                continue;
            Placed p;
            p.at = ref->position();
            p.sx = ref->scaleFactors().sx;
            p.sy = ref->scaleFactors().sy;
            auto* rec = dynamic_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(ref->blockTableRecord())->object.get());
            p.block = rec ? rec->name() : "";
            for (const char* app : {"PMTBZ", "XMDH", "SBMC", "XHGG"}) {
                std::wstring text;
                if (findXdataString(ref, app, text))
                    p.data[app] = text;
            }
            out.push_back(p);
        }
        return out;
    }
    std::vector<Label> labels() const
    {
        std::vector<Label> out;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds())
            if (auto* t = dynamic_cast<AcDbText*>(AcDbInternals::stub(id)->object.get()); t && !id.isErased())
                out.push_back({t->textString(), t->alignmentPoint(), t->height()});
        return out;
    }
    const Label* label(const std::wstring& text) const
    {
        static std::vector<Label> all;
        all = labels();
        for (const Label& l : all)
            if (l.text == text)
                return &l;
        return nullptr;
    }
    static std::string slot(int local) { return clickSlot(local); }
};

TEST_F(PanelInsertTest, SymbolsLandOnThePickedPointsWithTheirDataAndLabels)
{
    const std::string buttonSlot = slot(2), lamp = slot(1);
    feed({
        // The name plate, the first symbol, is chosen from the start: its
        // values are typed while it is dragged; leaving the dialog brings
        // a new one of the new size.
        "@type panel width \"2\"", "@type panel height \"3\"", "@type panel code \"I1\"",
        "@type panel symbol \"1LP\"", "@type panel name \"铭牌\"", "@type panel model \"100x40\"",
        "@deactivate panel", "@move 30,30", "@pick 0,0",
        // A button: the next code and symbol text.
        buttonSlot, "@spin panel code-spin up", "@spin panel symbol-spin up", "@type panel name \"按钮\"",
        "@type panel model \"LA39\"", "@deactivate panel", "@pick 100,0",
        // A lamp, square: the height gives both; no code.
        lamp, "@type panel height \"2\"", "@type panel code \"\"", "@spin panel symbol-spin up",
        "@type panel name \"指示灯\"", "@type panel model \"AD16\"", "@deactivate panel", "@pick 200,0",
        // Enter while the next one is dragged.
        "",
    });
    InsertPanelEquipment(1.0);
    EXPECT_EQ(g_pPmtsbcsDlg, nullptr) << "the dialog goes with the command";
    const std::vector<Placed> p = placed();
    ASSERT_EQ(p.size(), 3u) << output();
    EXPECT_EQ(p[0].block, "pmtfh1");
    EXPECT_EQ(p[0].at, AcGePoint3d(0, 0, 0));
    EXPECT_DOUBLE_EQ(p[0].sx, 2);
    EXPECT_DOUBLE_EQ(p[0].sy, 3);
    EXPECT_EQ(p[0].data.at("PMTBZ"), L"I1&1LP");
    EXPECT_EQ(p[0].data.at("XMDH"), L"1LP");
    EXPECT_EQ(p[0].data.at("SBMC"), L"铭牌");
    EXPECT_EQ(p[0].data.at("XHGG"), L"100x40");
    EXPECT_EQ(p[1].block, "pmtfh3");
    EXPECT_EQ(p[1].at, AcGePoint3d(100, 0, 0));
    EXPECT_EQ(p[1].data.at("PMTBZ"), L"I2&2LP");
    EXPECT_EQ(p[2].block, "pmtfh2");
    EXPECT_DOUBLE_EQ(p[2].sx, 2);
    EXPECT_DOUBLE_EQ(p[2].sy, 2);
    EXPECT_EQ(p[2].data.at("PMTBZ"), L"&3LP");
    // Labels: inside the name plate (from the origin, scaled 2 x 3), above
    // and below the others.
    const double plateWidth = 2 * ctrlsch::install::kNamePlateWidth;
    const double plateHeight = 3 * ctrlsch::install::kNamePlateHeight;
    ASSERT_NE(label(L"I1"), nullptr);
    EXPECT_EQ(label(L"I1")->at, AcGePoint3d(plateWidth / 2, plateHeight * 3 / 4, 0));
    EXPECT_DOUBLE_EQ(label(L"I1")->height, 20);
    EXPECT_EQ(label(L"1LP")->at, AcGePoint3d(plateWidth / 2, plateHeight / 4, 0));
    EXPECT_DOUBLE_EQ(label(L"1LP")->height, 30);
    // Above and below the button's own extents.
    AcDbExtents button;
    for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds())
        if (auto* ref = dynamic_cast<AcDbBlockReference*>(AcDbInternals::stub(id)->object.get());
            ref && !id.isErased() && ref->position() == AcGePoint3d(100, 0, 0))
            ref->getGeomExtents(button);
    const double mid = (button.minPoint().x + button.maxPoint().x) / 2;
    EXPECT_EQ(label(L"I2")->at, AcGePoint3d(mid, button.maxPoint().y + 13, 0));
    EXPECT_EQ(label(L"2LP")->at, AcGePoint3d(mid, button.minPoint().y - 19.5, 0));
    EXPECT_NE(label(L"3LP"), nullptr);
    EXPECT_EQ(labels().size(), 5u) << "no code label without a code";
}

TEST_F(PanelInsertTest, TheUsersLayerComesBackHoweverTheCommandEnds)
{
    // The user draws on a layer of his own.
    auto* own = new AcDbLayerTableRecord();
    own->setName("用户层");
    AcDbObjectId ownId;
    ASSERT_EQ(db->addSymbolTableRecord(ownId, own), Acad::eOk);
    const auto currentLayer = [] {
        resbuf rb{};
        EXPECT_EQ(acedGetVar(L"CLAYER", &rb), RTNORM);
        const std::wstring name = rb.restype == RTSTR ? rb.resval.rstring : L"";
        if (rb.restype == RTSTR)
            std::free(rb.resval.rstring);
        return name;
    };
    const auto useOwnLayer = [] {
        resbuf rb{};
        rb.restype = RTSTR;
        rb.resval.rstring = const_cast<ACHAR*>(L"用户层");
        ASSERT_EQ(acedSetVar(L"CLAYER", &rb), RTNORM);
    };
    // The name plate is taken away from a copy of the symbols.
    testutil::TempDir symbols;
    const auto layout = testutil::withOwnSymbolFolder(installation(), symbols.path());
    useSettings(layout.settings.string());
    const std::filesystem::path plate = layout.libraries.at(1).folder / "pmtfh1.DXF";
    struct Ending {
        const char* what;
        std::deque<std::string> lines;
        bool insertFails;
    };
    const std::vector<Ending> endings = {
        {"Enter while dragging, after a placed symbol", {"@type panel code \"I1\"", "@pick 0,0", ""}, false},
        {"Esc while dragging", {"^C"}, false},
        {"Enter at the symbol prompt", {"5,5", ""}, false},
        {"an insertion error", {""}, true},
    };
    for (const Ending& end : endings) {
        SCOPED_TRACE(end.what);
        useOwnLayer();
        {
            // No symbol chosen for the symbol prompt, the name plate else.
            ProjectSettings settings;
            settings.setInt(L"Gddata\\Pmtsj\\Sb\\CurSel", end.lines.front() == "5,5" ? 99 : 0);
            ASSERT_TRUE(settings.save());
        }
        if (end.insertFails)
            std::filesystem::rename(plate, plate.string() + ".away");
        feed(end.lines);
        InsertPanelEquipment(1.0);
        if (end.insertFails)
            std::filesystem::rename(plate.string() + ".away", plate);
        EXPECT_EQ(currentLayer(), L"用户层") << output();
        EXPECT_EQ(g_pPmtsbcsDlg, nullptr) << "the dialog goes with the command";
        // What the user draws next lands on his layer.
        ASSERT_EQ(acedCommand({L"_.TEXT", L"J", L"M", AcGePoint3d(0, -100, 0), 5.0, 0.0, L"next"}), RTNORM);
        const AcDbObjectId last = AcDbInternals::modelSpace(*db)->entityIds().back();
        EXPECT_EQ(dynamic_cast<AcDbEntity*>(AcDbInternals::stub(last)->object.get())->layer(), L"用户层");
    }
    // Only the symbol placed before Enter stays (the dragged one goes, and
    // points at the symbol prompt are ignored); it and its label went onto
    // the panel layer.
    ASSERT_EQ(placed().size(), 1u) << output();
    EXPECT_NE(output().find("请选择一个屏面图符号<回车结束>:"), std::string::npos) << output();
    EXPECT_NE(output().find("块插入操作错误!"), std::string::npos) << output();
    for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds()) {
        auto* e = dynamic_cast<AcDbEntity*>(AcDbInternals::stub(id)->object.get());
        auto* t = dynamic_cast<AcDbText*>(e);
        if (!id.isErased() && !(t && t->textString() == L"next")) {
            EXPECT_EQ(e->layer(), L"屏面设备");
        }
    }
}

TEST_F(PanelInsertTest, AStrayWordAtTheDragPromptStartsTheDragAgain)
{
    // The name plate is chosen from the start; a word that is neither a
    // point nor the keyword asks for the point again, with the dialog open.
    feed({"word", "@move 40,40", "@list panel", "@pick 50,60", "^C"});
    InsertPanelEquipment(1.0);
    const std::string prompt = "请点取符号的插入位置<回车结束>:";
    EXPECT_NE(output().find(prompt + "word\n" + prompt), std::string::npos) << output();
    EXPECT_NE(uiOut.text().find("23508"), std::string::npos) << "the dialog was still open: " << uiOut.text();
    const std::vector<Placed> p = placed();
    ASSERT_EQ(p.size(), 1u) << output();
    EXPECT_EQ(p[0].block, "pmtfh1");
    EXPECT_EQ(p[0].at, AcGePoint3d(50, 60, 0));
    EXPECT_EQ(g_pPmtsbcsDlg, nullptr);
}

TEST_F(PanelInsertTest, AtTheDefaultSizeTheLabelsFitTheSymbols)
{
    // Every symbol of the panel library at the dialog's width and height,
    // with a code and a symbol text of three characters.
    const std::vector<std::wstring> names = {L"pmtfh1", L"pmtfh2", L"pmtfh3", L"pmtfh7", L"pmtfh13", L"pmtfh16"};
    std::deque<std::string> lines;
    int at = 0;
    for (const std::wstring& name : names) {
        const int index = [&] {
            CSymbolIndex library;
            EXPECT_TRUE(library.Load(installation().libraries.at(1).index.wstring()));
            for (int i = 0; i < library.GetCount(); ++i)
                if (library.GetName(i) == name)
                    return i;
            return -1;
        }();
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 16) << "on the first page";
        const std::string i = std::to_string(at);
        for (const std::string& line : {slot(index), "@type panel code \"K" + i + "\"",
                                        "@type panel symbol \"S" + i + "L\"", std::string("@deactivate panel"),
                                        "@pick " + std::to_string(300 * at) + ",0"})
            lines.push_back(line);
        ++at;
    }
    lines.push_back("");
    feed(lines);
    InsertPanelEquipment(1.0);
    ASSERT_EQ(placed().size(), names.size()) << output();

    // Where a label's characters stand: its width, and its height about
    // its middle (the characters have no descenders).
    const auto textBox = [this](const std::wstring& text) {
        AcDbExtents box;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds())
            if (auto* t = dynamic_cast<AcDbText*>(AcDbInternals::stub(id)->object.get());
                t && !id.isErased() && t->textString() == text) {
                AcDbExtents all;
                t->getGeomExtents(all);
                const double middle = t->alignmentPoint().y, half = t->height() / 2;
                box = AcDbExtents(AcGePoint3d(all.minPoint().x, middle - half, 0),
                                  AcGePoint3d(all.maxPoint().x, middle + half, 0));
            }
        return box;
    };
    const auto apart = [](const AcDbExtents& below, const AcDbExtents& above) {
        return below.maxPoint().y <= above.minPoint().y;
    };
    const auto inside = [](const AcDbExtents& inner, const AcDbExtents& outer) {
        return inner.minPoint().x >= outer.minPoint().x && inner.maxPoint().x <= outer.maxPoint().x &&
               inner.minPoint().y >= outer.minPoint().y && inner.maxPoint().y <= outer.maxPoint().y;
    };
    at = 0;
    for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds()) {
        auto* ref = dynamic_cast<AcDbBlockReference*>(AcDbInternals::stub(id)->object.get());
        if (!ref || id.isErased())
            continue;
        SCOPED_TRACE(wideToUtf8(names[static_cast<std::size_t>(at)]));
        EXPECT_DOUBLE_EQ(ref->scaleFactors().sx, 1.0);
        AcDbExtents symbol;
        ASSERT_EQ(ref->getGeomExtents(symbol), Acad::eOk);
        const std::wstring i = std::to_wstring(at++);
        const AcDbExtents code = textBox(L"K" + i), text = textBox(L"S" + i + L"L");
        // The symbol is about as large as its labels are high.
        EXPECT_GE(std::max(symbol.maxPoint().x - symbol.minPoint().x, symbol.maxPoint().y - symbol.minPoint().y),
                  30.0);
        EXPECT_TRUE(apart(text, code)) << "the code above the symbol text";
        if (at == 1) {
            // The name plate holds both.
            EXPECT_TRUE(inside(code, symbol));
            EXPECT_TRUE(inside(text, symbol));
        } else {
            EXPECT_TRUE(apart(symbol, code));
            EXPECT_TRUE(apart(text, symbol));
        }
    }
}

TEST_F(PanelInsertTest, ScalesOutOfRangeAreRefusedAndDrawNothing)
{
    for (const double s : {0.0, -1.0, 1e-300, 2e6, 1e308, HUGE_VAL, std::nan("")}) {
        SCOPED_TRACE(s);
        output().clear();
        feed({"@pick 0,0", ""});
        InsertPanelEquipment(s);
        EXPECT_NE(output().find("参数超出范围!"), std::string::npos) << output();
        EXPECT_EQ(output().find("请点取符号的插入位置"), std::string::npos) << output();
        EXPECT_EQ(g_pPmtsbcsDlg, nullptr);
        EXPECT_TRUE(AcDbInternals::modelSpace(*db)->entityIds().empty());
    }
}

TEST_F(PanelInsertTest, SizesFromTheProjectThatAreNotFiniteAreReadAsMissing)
{
    {
        ProjectSettings settings;
        settings.set(L"Gddata\\Pmtsj\\Sb\\XScale", L"inf");
        settings.set(L"Gddata\\Pmtsj\\Sb\\YScale", L"1e999");
        ASSERT_TRUE(settings.save());
    }
    feed({"@pick 0,0", "^C"});
    InsertPanelEquipment(2.0);
    ASSERT_EQ(placed().size(), 1u) << output();
    EXPECT_DOUBLE_EQ(placed()[0].sx, 2.0) << "width 1 at scale 2";
    EXPECT_DOUBLE_EQ(placed()[0].sy, 2.0);
}

TEST_F(PanelInsertTest, SizesTooLargeForTheScaleEndTheCommandWithNothingDrawn)
{
    {
        ProjectSettings settings;
        settings.set(L"Gddata\\Pmtsj\\Sb\\XScale", L"1e307");
        ASSERT_TRUE(settings.save());
    }
    feed({"@pick 0,0", "^C"});
    InsertPanelEquipment(100.0);
    EXPECT_NE(output().find("参数超出范围!"), std::string::npos) << output();
    EXPECT_TRUE(placed().empty());
    EXPECT_EQ(g_pPmtsbcsDlg, nullptr);
}

TEST(PanelLabels, AboveAndBelowOrInsideTheNamePlate)
{
    const AcDbExtents box(AcGePoint3d(0, 0, 0), AcGePoint3d(40, 40, 0));
    PanelLabelPlaces at = PanelLabelPositions(box, L"pmtfh9", 1.0);
    EXPECT_EQ(at.code, AcGePoint3d(20, 53, 0));
    EXPECT_EQ(at.symbol, AcGePoint3d(20, -19.5, 0));
    at = PanelLabelPositions(box, L"PMTFH1", 1.0);
    EXPECT_EQ(at.code, AcGePoint3d(20, 30, 0));
    EXPECT_EQ(at.symbol, AcGePoint3d(20, 10, 0));
    at = PanelLabelPositions(box, L"pmtfh12", 2.0);
    EXPECT_EQ(at.code, AcGePoint3d(20, 66, 0));
    EXPECT_EQ(at.symbol, AcGePoint3d(20, -39, 0));
}

} // namespace
