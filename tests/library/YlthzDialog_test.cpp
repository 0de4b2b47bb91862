// The schematic palette: the keywords it types in each state and how they
// reach a waiting prompt, paging and picking, the settings it keeps, the
// circuit parameters, what it shows when library files are missing or
// damaged, and its picture.
#include "PaletteTest.h"

#include "library/YlthzSetupDialog.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>

namespace {

using palettetest::PaletteTest;
namespace fs = std::filesystem;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::string readBytes(const fs::path& p) { return testutil::readFile(p.string()); }
void writeBytes(const fs::path& p, const std::string& bytes) { testutil::writeFile(p.string(), bytes); }

// The lines of a list file, without their line ends.
std::vector<std::string> lines(const std::string& bytes)
{
    std::vector<std::string> out;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            out.push_back(line);
    }
    return out;
}

std::string joined(const std::vector<std::string>& ls)
{
    std::string out;
    for (const std::string& l : ls)
        out += l + "\r\n";
    return out;
}

class PaletteWork : public PaletteTest {
protected:
    // A copy of the installation's symbol drawing folder that a test may
    // change; the palette reads it from then on.
    fs::path copyLibraries()
    {
        const fs::path copy = fs::path(m_dir.path()) / "DwgLib2D";
        fs::remove_all(copy);
        fs::copy(installation().dwgDir, copy, fs::copy_options::recursive);
        useSymbolFolder(copy);
        return copy;
    }
    static fs::path schematicFile(const fs::path& dwgDir, const std::string& ext)
    {
        return dwgDir / "YLTFH" / ("YLTFH." + ext);
    }

    // Pixels of the palette's client area as last painted.
    COLORREF pixel(CPoint p)
    {
        CClientDC dc(&palette());
        return dc.GetPixel(p.x, p.y);
    }
    CRect cell(int local)
    {
        const CRect r = palette().GetPreviewRect();
        const int n = palette().GetGridSize();
        const int w = r.Width() / n, h = r.Height() / n;
        const int x = r.left + w * (local % n), y = r.top + h * (local / n);
        return CRect(x, y, x + w, y + h);
    }
    // The selection mark inverts a band just inside the cell lines; slides
    // keep off that corner.
    bool marked(int local) { return pixel(cell(local).TopLeft() + CPoint(1, 1)) == kWhite; }
    // Pixels of a slide drawn inside a cell (neither background nor mark).
    int ink(int local)
    {
        const CRect c = cell(local);
        int n = 0;
        for (int y = c.top + 4; y < c.bottom - 4; ++y)
            for (int x = c.left + 4; x < c.right - 4; ++x)
                if (pixel(CPoint(x, y)) != kBlack)
                    ++n;
        return n;
    }
    int firstBlankSlot()
    {
        for (int i = 0; i < palette().GetIndex().GetCount(); ++i)
            if (palette().GetIndex().GetName(i) == CSymbolIndex::kEmptySlotName)
                return i;
        return -1;
    }
};

TEST_F(PaletteWork, NothingIsTypedBeforeDrawingButCancelAlwaysSendsClose)
{
    open();
    EXPECT_FALSE(palette().IsCommandReady());
    EXPECT_FALSE(palette().IsActionActive());
    EXPECT_TRUE(event("@tool palette skip"));
    EXPECT_TRUE(event("@click palette replace"));
    EXPECT_TRUE(clickSlot(2));
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(event("@close palette"));
    EXPECT_EQ(sent(), "close ");
    EXPECT_TRUE(event("@key palette esc"));
    EXPECT_EQ(sent(), "close ");
    // The palette stays until the drawing commands close it.
    EXPECT_TRUE(palette().IsWindowVisible());
}

TEST_F(PaletteWork, WaitingAtThePromptEveryButtonTypesItsKeyword)
{
    open();
    palette().BeginDrawing();
    EXPECT_TRUE(palette().IsCommandReady());
    const char* const tools[5] = {"skip", "wire", "wire-to-end", "link", "next-string"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(event(std::string("@tool palette ") + tools[i]));
        EXPECT_EQ(sent(), "t" + std::to_string(i + 1) + " ");
    }
    // The command ids are the same buttons; a name no button has is refused.
    EXPECT_TRUE(event("@tool palette 23547"));
    EXPECT_EQ(sent(), "t5 ");
    EXPECT_FALSE(event("@tool palette nowhere"));
    EXPECT_EQ(sent(), "");
    const int actions[8] = {21861, 21876, 21869, 21919, 21904, 21928, 21887, 21897};
    const char* const names[8] = {"replace",       "delete",      "mirror",     "rotate",
                                  "insert-string", "insert-link", "add-string", "delete-string"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(event(std::string("@click palette ") + names[i]));
        EXPECT_EQ(sent(), "e" + std::to_string(i + 1) + " ") << actions[i];
        // The loop marks the action as running and ends it again.
        palette().ActionStarted(static_cast<PaletteAction>(i));
        EXPECT_EQ(static_cast<CButton*>(palette().GetDlgItem(actions[i]))->GetCheck(), BST_CHECKED);
        palette().ActionEnded(static_cast<PaletteAction>(i));
        EXPECT_EQ(static_cast<CButton*>(palette().GetDlgItem(actions[i]))->GetCheck(), BST_UNCHECKED);
    }
    EXPECT_TRUE(clickSlot(0));
    EXPECT_EQ(sent(), "s ");
    CString name;
    ASSERT_TRUE(palette().GetSelectedSymbol(name));
    EXPECT_EQ(name, palette().GetIndex().GetName(0).c_str());
}

TEST_F(PaletteWork, WhileAnActionRunsKeywordsComeAfterALineEnd)
{
    open();
    palette().BeginDrawing();
    palette().ActionStarted(PaletteAction::Replace);
    EXPECT_FALSE(palette().IsCommandReady());
    EXPECT_TRUE(palette().IsActionActive());
    EXPECT_TRUE(event("@tool palette wire"));
    EXPECT_EQ(sent(), "\nt2 ");
    // Another action button shows pressed now: it ends the running action
    // and asks for its own.
    EXPECT_TRUE(event("@click palette delete"));
    EXPECT_EQ(sent(), "\ne2 ");
    // The running action's button shows released now: it only ends it.
    EXPECT_TRUE(event("@click palette replace"));
    EXPECT_EQ(sent(), "\n");
    EXPECT_TRUE(clickSlot(1));
    EXPECT_EQ(sent(), "r ");
    EXPECT_TRUE(event("@close palette"));
    EXPECT_EQ(sent(), "close ");
}

TEST_F(PaletteWork, KeywordsArriveAtAWaitingPrompt)
{
    open();
    palette().BeginDrawing();
    const auto prompt = [](std::deque<std::string> lines, std::wstring& keyword) {
        testutil::ScriptLines source(std::move(lines));
        host::setLineSource(&source);
        acedInitGet(0, L"s t1 t2 t3 t4 t5 e1 e2 e3 e4 e5 e6 e7 e8 r close");
        ads_point pt;
        const int rc = acedGetPoint(nullptr, L"\n请选择要绘制的符号<回车结束>:", pt);
        ACHAR kw[64] = L"";
        if (rc == RTKWORD)
            acedGetInput(kw);
        keyword = kw;
        host::setLineSource(nullptr);
        return rc;
    };
    std::wstring kw;
    EXPECT_EQ(prompt({"@click palette rotate"}, kw), RTKWORD);
    EXPECT_EQ(kw, L"e4");
    EXPECT_EQ(prompt({"@tool palette next-string"}, kw), RTKWORD);
    EXPECT_EQ(kw, L"t5");
    // Events that type nothing leave the prompt waiting for the next line.
    EXPECT_EQ(
        prompt({"@list palette", "@spin palette count-spin up", "@mouse palette 0 1 1", "@click palette prev", ""}, kw),
        RTNONE);
    // An action's prompt ends with the line end, the next one gets the
    // keyword.
    palette().ActionStarted(PaletteAction::Rotate);
    EXPECT_EQ(prompt({"@tool palette wire-to-end"}, kw), RTNONE);
    EXPECT_EQ(prompt({}, kw), RTKWORD);
    EXPECT_EQ(kw, L"t3");
    EXPECT_EQ(prompt({"@close palette"}, kw), RTKWORD);
    EXPECT_EQ(kw, L"close");
}

TEST_F(PaletteWork, FortySymbolsMakeTwoPages)
{
    const fs::path dwg = copyLibraries();
    std::vector<std::string> index = lines(readBytes(schematicFile(dwg, "IDX")));
    ASSERT_GE(index.size(), 40u);
    index.resize(40);
    writeBytes(schematicFile(dwg, "IDX"), joined(index));
    open();
    ASSERT_EQ(palette().GetIndex().GetCount(), 40);
    ASSERT_EQ(palette().GetGridSize(), 6);
    EXPECT_FALSE(enabled(21818));
    EXPECT_TRUE(enabled(21827));
    EXPECT_GT(ink(35), 0);
    EXPECT_TRUE(event("@click palette next"));
    EXPECT_EQ(palette().GetPage(), 1);
    EXPECT_TRUE(enabled(21818));
    EXPECT_FALSE(enabled(21827));
    // Slots 36 to 39 fill the first four cells of the first row.
    for (int local = 0; local < 4; ++local)
        EXPECT_GT(ink(local), 0) << local;
    for (int local = 4; local < 36; ++local)
        EXPECT_EQ(ink(local), 0) << local;
    // A cell beyond the last symbol takes the mark but chooses nothing.
    palette().BeginDrawing();
    EXPECT_TRUE(clickSlot(3));
    EXPECT_EQ(palette().GetSelection(), 39);
    EXPECT_EQ(sent(), "s ");
    EXPECT_TRUE(clickSlot(10));
    EXPECT_EQ(palette().GetSelection(), 46);
    EXPECT_TRUE(marked(10));
    EXPECT_FALSE(marked(3));
    EXPECT_EQ(caption(), L"空");
    CString name;
    EXPECT_FALSE(palette().GetSelectedSymbol(name));
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(event("@click palette prev"));
    EXPECT_EQ(palette().GetPage(), 0);
    EXPECT_FALSE(marked(10));
    EXPECT_FALSE(enabled(21818));
}

TEST_F(PaletteWork, ABlankSlotChoosesNothing)
{
    open();
    palette().BeginDrawing();
    const int blank = firstBlankSlot();
    ASSERT_GE(blank, 0);
    ASSERT_LT(blank, 36);
    EXPECT_TRUE(clickSlot(blank));
    EXPECT_EQ(palette().GetSelection(), blank);
    EXPECT_EQ(caption(), L"空");
    CString name, description;
    EXPECT_FALSE(palette().GetSelectedSymbol(name));
    palette().GetSymbolDescription(description);
    EXPECT_EQ(description, L"空");
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(marked(blank));
}

TEST_F(PaletteWork, ADoubleClickChangesNothingAndASingleClickWaitsForIt)
{
    open();
    palette().BeginDrawing();
    EXPECT_EQ(GetDoubleClickTime(), 200u);
    const int before = palette().GetSelection();
    const std::wstring title = caption();
    EXPECT_TRUE(clickSlot(8, " double"));
    EXPECT_EQ(palette().GetSelection(), before);
    EXPECT_EQ(caption(), title);
    EXPECT_EQ(sent(), "");
    const DWORD start = GetTickCount();
    EXPECT_TRUE(clickSlot(8));
    EXPECT_GE(GetTickCount() - start, 200u);
    EXPECT_LT(GetTickCount() - start, 300u);
    EXPECT_EQ(palette().GetSelection(), 8);
    EXPECT_EQ(caption(), palette().GetIndex().GetDescription(8));
    EXPECT_EQ(sent(), "s ");
    // Presses with another button or a key held, or on the cell lines'
    // outer edge, are not picks.
    EXPECT_TRUE(clickSlot(9, " shift"));
    EXPECT_TRUE(clickSlot(9, " right"));
    const CRect r = palette().GetPreviewRect();
    EXPECT_TRUE(event("@mouse palette 0 " + std::to_string(r.left) + " " + std::to_string(r.top + 5)));
    EXPECT_EQ(palette().GetSelection(), 8);
    EXPECT_EQ(sent(), "");
    // The double-click time comes back with the palette's end.
    ClosePalette();
    EXPECT_EQ(GetDoubleClickTime(), 500u);
}

TEST_F(PaletteWork, AnotherLibraryKeepsTheSelectionIndex)
{
    const fs::path dwg = copyLibraries();
    fs::copy(dwg / "YLTFH", dwg / "SPARE", fs::copy_options::recursive);
    fs::rename(dwg / "SPARE" / "YLTFH.SLB", dwg / "SPARE" / "SPARE.SLB");
    std::vector<std::string> index = lines(readBytes(dwg / "SPARE" / "YLTFH.IDX"));
    std::reverse(index.begin(), index.end());
    writeBytes(dwg / "SPARE" / "SPARE.IDX", joined(index));
    writeBytes(dwg / "T-Sywj.dat", readBytes(dwg / "T-Sywj.dat") + "SPARE SPARE 6 0\r\n");
    open();
    EXPECT_EQ(static_cast<CComboBox*>(palette().GetDlgItem(21882))->GetCount(), 2);
    EXPECT_TRUE(clickSlot(5));
    CString first;
    ASSERT_TRUE(palette().GetSelectedSymbol(first));
    EXPECT_TRUE(event("@select palette library \"SPARE\""));
    EXPECT_EQ(palette().GetCurrentLibrary(), L"SPARE");
    EXPECT_EQ(palette().GetSelection(), 5);
    EXPECT_TRUE(marked(5));
    const std::wstring expected = utf8ToWide(index[5].substr(0, index[5].find(' ')));
    CString now;
    ASSERT_TRUE(palette().GetSelectedSymbol(now));
    EXPECT_EQ(now, expected.c_str());
    EXPECT_NE(now, first);
    EXPECT_EQ(caption(), palette().GetIndex().GetDescription(5));
    CString folder;
    palette().GetLibraryFolder(folder);
    EXPECT_EQ(folder.Right(6), L"\\SPARE");
}

TEST_F(PaletteWork, SettingsAreWrittenAtCloseAndReadAtTheNextStart)
{
    open();
    // Defaults on a fresh project: the first slot, row arrangement, six
    // symbols, at 200, 300.
    EXPECT_EQ(palette().GetSelection(), 0);
    EXPECT_EQ(palette().GetArrangement(), 0);
    EXPECT_EQ(text(21853), L"6");
    EXPECT_EQ(caption(), palette().GetIndex().GetDescription(0));
    CRect w;
    palette().GetWindowRect(&w);
    EXPECT_EQ(w.TopLeft(), CPoint(200, 300));
    EXPECT_DOUBLE_EQ(palette().GetHorizontalSpacing(), 30.0);
    EXPECT_DOUBLE_EQ(palette().GetWireWidth(), 0.3);

    EXPECT_TRUE(event("@spin palette count-spin up 3"));
    EXPECT_TRUE(event("@check palette columns on"));
    EXPECT_EQ(text(21904), L"竖插");
    EXPECT_EQ(text(21928), L"横插");
    EXPECT_TRUE(clickSlot(7));
    palette().MoveWindow(310, 420, w.Width(), w.Height());
    const std::wstring name = palette().GetIndex().GetName(7);
    ClosePalette();
    EXPECT_EQ(g_pYlthzDlg, nullptr);
    EXPECT_EQ(saved(L"ylthz\\CurSel"), L"7");
    EXPECT_EQ(saved(L"ylthz\\RowcolMark"), L"1");
    EXPECT_EQ(saved(L"ylthz\\Num"), L"9");
    EXPECT_EQ(saved(L"ylthz\\IdxName"), L"常用原理图符号");
    EXPECT_EQ(saved(L"ylthz\\BlockName"), name);
    EXPECT_EQ(saved(L"ylthz\\pos\\x"), L"310");
    EXPECT_EQ(saved(L"ylthz\\pos\\y"), L"420");

    open();
    EXPECT_EQ(palette().GetSelection(), 7);
    EXPECT_TRUE(marked(7));
    EXPECT_EQ(palette().GetArrangement(), 1);
    EXPECT_EQ(static_cast<CButton*>(palette().GetDlgItem(21845))->GetCheck(), BST_CHECKED);
    EXPECT_EQ(text(21904), L"竖插");
    EXPECT_EQ(text(21853), L"9");
    palette().GetWindowRect(&w);
    EXPECT_EQ(w.TopLeft(), CPoint(310, 420));
    ClosePalette();

    // A position wholly off the desktop opens at the corner.
    store(L"ylthz\\pos\\x", L"5000");
    open();
    palette().GetWindowRect(&w);
    EXPECT_EQ(w.TopLeft(), CPoint(0, 0));
}

TEST_F(PaletteWork, TheSymbolCountStaysAboveZeroAndTypedTextCountsAtTheNextSchematic)
{
    open();
    EXPECT_TRUE(event("@spin palette count-spin down 10"));
    EXPECT_EQ(text(21853), L"1");
    EXPECT_EQ(palette().GetSymbolCount(), 1);
    EXPECT_TRUE(event("@type palette count \"12\""));
    EXPECT_EQ(palette().GetSymbolCount(), 1);
    palette().BeginDrawing();
    EXPECT_EQ(palette().GetSymbolCount(), 12);
    // The shape of the schematic is fixed from now on.
    for (int id : {21836, 21845, 21853, 21963, 21999, 21923})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(enabled(21861));
    EXPECT_FALSE(event("@click palette setup"));
}

// Shown, with no event yet: the palette knows the highlighted symbol and
// which page buttons work, as it would after its first painting.
TEST_F(PaletteWork, ThePaletteKnowsItsSymbolAndPageButtonsAsSoonAsItIsShown)
{
    store(L"ylthz\\CurSel", L"4");
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    g_pYlthzDlg->ShowWindow(SW_SHOW);
    CString name;
    ASSERT_TRUE(palette().GetSelectedSymbol(name));
    EXPECT_EQ(name, L"KM-COIL");
    EXPECT_FALSE(enabled(21818));
    EXPECT_TRUE(enabled(21827));
    // The previous page of the first page is refused, the page stays.
    EXPECT_FALSE(event("@click palette prev"));
    EXPECT_EQ(palette().GetPage(), 0);
    ui::idle();
    EXPECT_TRUE(marked(4));

    // A selection on another page is not highlighted and is no symbol
    // until its page is shown.
    ClosePalette();
    store(L"ylthz\\CurSel", L"44");
    g_pYlthzDlg = new CYlthzDialog;
    ASSERT_TRUE(g_pYlthzDlg->Create());
    g_pYlthzDlg->ShowWindow(SW_SHOW);
    EXPECT_FALSE(palette().GetSelectedSymbol(name));
    EXPECT_TRUE(event("@click palette next"));
    ASSERT_TRUE(palette().GetSelectedSymbol(name));
    EXPECT_EQ(name, L"E22");
    // The last page has no next one.
    EXPECT_FALSE(enabled(21827));
    EXPECT_FALSE(event("@click palette next"));
    EXPECT_EQ(palette().GetPage(), 1);
}

// The group boxes have ids; "设置" is one of the controls that fix the
// shape of a schematic and is disabled with them while drawing.
TEST_F(PaletteWork, TheSettingsGroupIsDisabledWhileDrawing)
{
    open();
    for (int id : {IDC_YLTHZ_SYMBOLS_GROUP, IDC_YLTHZ_SETTINGS_GROUP, IDC_YLTHZ_EDIT_GROUP})
        ASSERT_NE(palette().GetDlgItem(id), nullptr) << id;
    EXPECT_EQ(text(IDC_YLTHZ_SETTINGS_GROUP), L"设置");
    EXPECT_EQ(text(IDC_YLTHZ_SYMBOLS_GROUP), L"常用原理图符号：");
    EXPECT_EQ(text(IDC_YLTHZ_EDIT_GROUP), L"编辑");
    EXPECT_TRUE(enabled(IDC_YLTHZ_SETTINGS_GROUP));
    palette().BeginDrawing();
    EXPECT_FALSE(enabled(IDC_YLTHZ_SETTINGS_GROUP));
    EXPECT_TRUE(enabled(IDC_YLTHZ_SYMBOLS_GROUP));
    EXPECT_TRUE(enabled(IDC_YLTHZ_EDIT_GROUP));
    ClosePalette();
    open();
    palette().LockShapeControls();
    EXPECT_FALSE(enabled(IDC_YLTHZ_SETTINGS_GROUP));
}

TEST_F(PaletteWork, AnExistingSchematicLocksTheShapeAndSetsTheCaptions)
{
    store(L"ylthz\\RowcolMark", L"1");
    open();
    palette().LockShapeControls();
    EXPECT_FALSE(palette().IsCommandReady());
    for (int id : {21836, 21845, 21853, 21963, 21999, 21923})
        EXPECT_FALSE(enabled(id)) << id;
    palette().SetReady();
    EXPECT_TRUE(palette().IsCommandReady());
    EXPECT_EQ(text(21904), L"竖插");
    EXPECT_TRUE(event("@tool palette link"));
    EXPECT_EQ(sent(), "t4 ");
}

TEST_F(PaletteWork, CircuitParametersAreStoredOnOkOnly)
{
    open();
    ui::LineEventSource events({"@spin circuitparams x-spacing-spin up", "@type circuitparams scale \"2\"",
                                "@click circuitparams cancel"});
    ui::setEventSource(&events);
    EXPECT_TRUE(event("@click palette setup"));
    EXPECT_DOUBLE_EQ(palette().GetHorizontalSpacing(), 30.0);
    EXPECT_DOUBLE_EQ(palette().GetEquipmentScale(), 1.0);
    EXPECT_FALSE(fs::exists(projectFile()));

    ui::LineEventSource more({"@spin circuitparams x-spacing-spin up", "@type circuitparams wire-width \"\"",
                              "@click circuitparams ok", "@msgbox ok", "@type circuitparams wire-width \"0.5\"",
                              "@type circuitparams scale \"2\"", "@click circuitparams ok"});
    ui::setEventSource(&more);
    EXPECT_TRUE(event("@click palette setup"));
    EXPECT_NE(uiOut.text().find("数据不能为空"), std::string::npos);
    EXPECT_DOUBLE_EQ(palette().GetHorizontalSpacing(), 30.5);
    EXPECT_DOUBLE_EQ(palette().GetVerticalSpacing(), 20.0);
    EXPECT_DOUBLE_EQ(palette().GetWireWidth(), 0.5);
    EXPECT_DOUBLE_EQ(palette().GetEquipmentScale(), 2.0);
    EXPECT_EQ(saved(L"Gddata\\Yltsz\\Xdis"), L"30.50");
    EXPECT_EQ(saved(L"Gddata\\Yltsz\\Ydis"), L"20.0");
    EXPECT_EQ(saved(L"Gddata\\Yltsz\\Mxkd"), L"0.5");
    EXPECT_EQ(saved(L"Gddata\\Yltsz\\MxBl"), L"2");
    ui::setEventSource(nullptr);
    ClosePalette();
    open();
    EXPECT_DOUBLE_EQ(palette().GetHorizontalSpacing(), 30.5);
    EXPECT_DOUBLE_EQ(palette().GetEquipmentScale(), 2.0);
}

TEST_F(PaletteWork, CircuitParametersTooLargeAreRefusedAndNeverStored)
{
    open();
    // 320 digits typed: the box stops before the number becomes infinite,
    // and letters of "1e999" are no number.
    const std::string digits(320, '9');
    ui::LineEventSource events({"@type circuitparams x-spacing \"" + digits + "\"",
                                "@type circuitparams y-spacing \"1e999\"", "@click circuitparams ok"});
    ui::setEventSource(&events);
    EXPECT_TRUE(event("@click palette setup"));
    EXPECT_NE(uiOut.text().find("edit box 21883 takes no larger number"), std::string::npos) << uiOut.text();
    EXPECT_TRUE(std::isfinite(palette().GetHorizontalSpacing()));
    EXPECT_GT(palette().GetHorizontalSpacing(), 9.9e307);
    EXPECT_DOUBLE_EQ(palette().GetVerticalSpacing(), 1999.0);
    EXPECT_EQ(saved(L"Gddata\\Yltsz\\Xdis"), std::wstring(308, L'9'));
    ui::setEventSource(nullptr);
    ClosePalette();
    open();
    EXPECT_TRUE(std::isfinite(palette().GetHorizontalSpacing()));
    EXPECT_GT(palette().GetHorizontalSpacing(), 9.9e307);
    ClosePalette();
}

TEST_F(PaletteWork, CircuitParametersNotFiniteInTheProjectAreReadAsMissing)
{
    store(L"Gddata\\Yltsz\\Xdis", L"inf");
    store(L"Gddata\\Yltsz\\Ydis", L"1e999");
    store(L"Gddata\\Yltsz\\Mxkd", L"nan");
    store(L"Gddata\\Yltsz\\MxBl", L"-1e400");
    open();
    EXPECT_DOUBLE_EQ(palette().GetHorizontalSpacing(), 30.0);
    EXPECT_DOUBLE_EQ(palette().GetVerticalSpacing(), 20.0);
    EXPECT_DOUBLE_EQ(palette().GetWireWidth(), 0.3);
    EXPECT_DOUBLE_EQ(palette().GetEquipmentScale(), 1.0);
    // The dialog shows the defaults, and OK stores them over the damage.
    ui::LineEventSource events({"@list circuitparams", "@click circuitparams ok"});
    ui::setEventSource(&events);
    EXPECT_TRUE(event("@click palette setup"));
    EXPECT_NE(uiOut.text().find("21883 x-spacing edit \"30.0\""), std::string::npos) << uiOut.text();
    EXPECT_EQ(saved(L"Gddata\\Yltsz\\Xdis"), L"30.0");
    EXPECT_EQ(saved(L"Gddata\\Yltsz\\Mxkd"), L"0.30");
    ui::setEventSource(nullptr);
    ClosePalette();
}

// What the palette shows when its files let it down: never a message,
// never a crash, only less to see.
TEST_F(PaletteWork, MissingOrDamagedLibraryFilesShowLess)
{
    const auto expectBare = [this](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(palette().GetGridSize(), 6);
        EXPECT_EQ(palette().GetSelection(), -1);
        EXPECT_FALSE(enabled(21818));
        EXPECT_FALSE(enabled(21827));
        EXPECT_EQ(ink(0), 0);
        palette().BeginDrawing();
        EXPECT_TRUE(clickSlot(0));
        CString name;
        EXPECT_FALSE(palette().GetSelectedSymbol(name));
        EXPECT_EQ(sent(), "");
        EXPECT_EQ(uiOut.text().find("MessageBox"), std::string::npos);
        ClosePalette();
    };
    fs::path dwg = copyLibraries();
    fs::remove(dwg / "T-Sywj.dat");
    open();
    EXPECT_EQ(static_cast<CComboBox*>(palette().GetDlgItem(21882))->GetCount(), 0);
    expectBare("no catalogue");

    dwg = copyLibraries();
    store(L"ylthz\\IdxName", L"不存在的库");
    open();
    EXPECT_EQ(static_cast<CComboBox*>(palette().GetDlgItem(21882))->GetCount(), 1);
    expectBare("no library of that name");
    store(L"ylthz\\IdxName", L"常用原理图符号");

    fs::remove(schematicFile(dwg, "IDX"));
    open();
    EXPECT_EQ(caption(), L"空");
    expectBare("no index");

    // An index without one symbol: grid lines, one page, nothing to choose.
    writeBytes(schematicFile(dwg, "IDX"), "not a symbol line\r\n");
    open();
    EXPECT_EQ(palette().GetIndex().GetCount(), 0);
    EXPECT_EQ(caption(), L"空");
    EXPECT_FALSE(enabled(21818));
    EXPECT_FALSE(enabled(21827));
    EXPECT_EQ(ink(0), 0);
    palette().BeginDrawing();
    EXPECT_TRUE(clickSlot(0));
    EXPECT_EQ(sent(), "");
}

TEST_F(PaletteWork, ABadGridSizeOrSlideLibraryDrawsGridLinesOnly)
{
    fs::path dwg = copyLibraries();
    // A grid size below 1 does not count: the library is not offered.
    std::string catalogue = readBytes(dwg / "T-Sywj.dat");
    const auto at = catalogue.find(" YLTFH 6 ");
    ASSERT_NE(at, std::string::npos);
    writeBytes(dwg / "T-Sywj.dat", catalogue.substr(0, at) + " YLTFH 0 " + catalogue.substr(at + 9));
    open();
    EXPECT_EQ(palette().GetGridSize(), 6);
    EXPECT_EQ(palette().GetSelection(), -1);
    ClosePalette();
    writeBytes(dwg / "T-Sywj.dat", catalogue);

    // No slide library: the grid is there, the index still chooses.
    fs::remove(schematicFile(dwg, "SLB"));
    open();
    palette().BeginDrawing();
    for (int i = 0; i < 36; ++i)
        ASSERT_EQ(ink(i), 0) << i;
    EXPECT_TRUE(enabled(21827));
    EXPECT_TRUE(clickSlot(0));
    EXPECT_EQ(sent(), "s ");
    ClosePalette();

    // A damaged slide leaves its cell empty and the others drawn.
    dwg = copyLibraries();
    std::string slb = readBytes(schematicFile(dwg, "SLB"));
    open();
    const int before1 = ink(1);
    ClosePalette();
    ASSERT_GT(before1, 0);
    // The first slide's own header follows the library's.
    const std::string magic = "AutoCAD Slide\r\n";
    const std::size_t slide = slb.find(magic);
    ASSERT_NE(slide, std::string::npos);
    slb[slide] = 'X';
    writeBytes(schematicFile(dwg, "SLB"), slb);
    open();
    EXPECT_EQ(ink(0), 0);
    EXPECT_EQ(ink(1), before1);
}

// A folder in the slide library's place made the palette abort when it
// painted; now it shows the grid as for a missing library, the index still
// chooses, and the command line says why there are no slides.
TEST_F(PaletteWork, ASlideLibraryThatIsAFolderShowsTheGridAndSaysWhy)
{
    const fs::path dwg = copyLibraries();
    const fs::path slb = schematicFile(dwg, "SLB");
    fs::remove(slb);
    fs::create_directory(slb);
    open();
    EXPECT_NE(palettetest::hostOutput().find("文件YLTFH.SLB读失败！" + slb.string() + ": a folder, not a file"),
              std::string::npos)
        << palettetest::hostOutput();
    EXPECT_EQ(uiOut.text().find("MessageBox"), std::string::npos) << uiOut.text();
    palette().BeginDrawing();
    for (int i = 0; i < 36; ++i)
        ASSERT_EQ(ink(i), 0) << i;
    EXPECT_TRUE(clickSlot(0));
    EXPECT_EQ(sent(), "s ");
    ClosePalette();
    // The library back: its slides are there again.
    fs::remove(slb);
    fs::copy_file(schematicFile(installation().dwgDir, "SLB"), slb);
    open();
    EXPECT_GT(ink(0), 0);
}

// The palette as seen: the first page with its slides, the second page,
// a selection. PICTURE_DIR keeps the pictures (the README's is made so).
TEST_F(PaletteWork, PicturesOfTheDefaultLibrary)
{
    const char* keep = std::getenv("PICTURE_DIR");
    const std::string dir = keep ? keep : m_dir.path();
    open();
    EXPECT_TRUE(event("@snapshot palette \"" + dir + "/palette-page1.png\""));
    for (int local = 0; local < 36; ++local) {
        if (palette().GetIndex().GetName(local) != CSymbolIndex::kEmptySlotName) {
            EXPECT_GT(ink(local), 0) << local;
        }
    }
    EXPECT_TRUE(marked(0));
    EXPECT_TRUE(clickSlot(14));
    EXPECT_TRUE(marked(14));
    EXPECT_FALSE(marked(0));
    EXPECT_EQ(caption(), palette().GetIndex().GetDescription(14));
    EXPECT_TRUE(event("@snapshot palette \"" + dir + "/palette-selection.png\""));
    EXPECT_TRUE(event("@click palette next"));
    const int onSecond = palette().GetIndex().GetCount() - 36;
    for (int local = 0; local < 36; ++local) {
        const bool blank = palette().GetIndex().GetName(36 + local) == CSymbolIndex::kEmptySlotName;
        EXPECT_EQ(ink(local) > 0, local < onSecond && !blank) << local;
    }
    EXPECT_FALSE(marked(14));
    EXPECT_TRUE(event("@snapshot palette \"" + dir + "/palette-page2.png\""));
    for (const char* name : {"palette-page1.png", "palette-selection.png", "palette-page2.png"})
        EXPECT_GT(fs::file_size(fs::path(dir) / name), 1000u) << name;
}

} // namespace

// "@choose palette SYMBOL" clicks the symbol's slot as a user would, paging
// to it with 上页/下页 first; "#N" is a slot of the page shown.
TEST_F(PaletteWork, ChooseClicksASymbolByNameOrSlotPagingToIt)
{
    open();
    palette().BeginDrawing();
    const CSymbolIndex& index = palette().GetIndex();
    const int perPage = palette().GetGridSize() * palette().GetGridSize();
    ASSERT_GT(index.GetCount(), perPage) << "two pages";
    int later = perPage;
    while (later < index.GetCount() && index.GetName(later) == CSymbolIndex::kEmptySlotName)
        ++later;
    ASSERT_LT(later, index.GetCount());
    const std::string name = wideToUtf8(index.GetName(later));
    EXPECT_TRUE(event("@choose palette " + name));
    EXPECT_EQ(palette().GetPage(), later / perPage);
    EXPECT_EQ(palette().GetSelection(), later);
    EXPECT_EQ(sent(), "s ");
    CString chosen;
    ASSERT_TRUE(palette().GetSelectedSymbol(chosen));
    EXPECT_EQ(chosen.GetString(), index.GetName(later));
    // Back on the first page, by name without regard to case, then by slot.
    std::string lower = wideToUtf8(index.GetName(1));
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_NE(lower, wideToUtf8(index.GetName(1)));
    EXPECT_TRUE(event("@choose palette " + lower));
    EXPECT_EQ(palette().GetPage(), 0);
    EXPECT_EQ(palette().GetSelection(), 1);
    EXPECT_TRUE(event("@choose palette #3"));
    EXPECT_EQ(palette().GetSelection(), 2);
    EXPECT_EQ(sent(), "s s ");
    // A double click on the preview chooses nothing.
    EXPECT_TRUE(event("@choose palette " + name + " double"));
    EXPECT_EQ(palette().GetSelection(), 2);
    EXPECT_EQ(sent(), "");
    // What is not there is refused and changes nothing.
    uiOut.clear();
    EXPECT_FALSE(event("@choose palette NO-SUCH"));
    EXPECT_FALSE(event("@choose palette #" + std::to_string(perPage + 1)));
    EXPECT_EQ(uiOut.text(), "** @choose palette NO-SUCH: dialog palette has no symbol \"NO-SUCH\"\n"
                              "** @choose palette #" + std::to_string(perPage + 1) +
                                  ": dialog palette has no slot #" + std::to_string(perPage + 1) +
                                  " (a page holds " + std::to_string(perPage) + ")\n");
    EXPECT_EQ(palette().GetPage(), later / perPage);
    EXPECT_EQ(sent(), "");
}
