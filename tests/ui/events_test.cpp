// Event lines: reading them, refusing what cannot happen, mouse presses,
// activation, closing, keys, listings and message boxes.
//
// Invariants checked here:
// - an event that names a missing dialog, control or item, or a disabled
//   or hidden one, is reported and changes nothing (dispatch is false);
// - events reach the dialog as the Windows notification would: presses in
//   client coordinates with the key state, activation before input;
// - a message box answers only with one of its buttons, and at end of
//   input with the cancel-like one.
#include "uitest.h"

#include <algorithm>

using namespace uitest;

namespace {

class EventsTest : public UiTest {
protected:
    void open()
    {
        ASSERT_TRUE(dlg.Create(kTestDlg));
        dlg.ShowWindow(SW_SHOW);
        dlg.log.clear();
    }
    TestDialog dlg;
};

using EventRefusalTest = EventsTest;

TEST_F(EventRefusalTest, MalformedLinesAreReported)
{
    open();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"click 30001 1", "not an event"},
        {"@frobnicate 30001", "unknown event @frobnicate"},
        {"@type 30001 101 \"open", "unclosed quote"},
        {"@click 30001", "usage: @click DIALOG CONTROL"},
        {"@spin 30001 103 sideways", "usage: @spin"},
        {"@mouse 30001 0 x 3", "X and Y are whole numbers"},
        {"@mouse 30001 0 3 3 middle", "unknown mouse option middle"},
        {"@click 30001 okay", "dialog test has no control \"okay\""},
    };
    for (const auto& [line, message] : cases) {
        out.clear();
        EXPECT_FALSE(ui::dispatchEvent(line)) << line;
        EXPECT_TRUE(printed("** " + line)) << output();
        EXPECT_TRUE(printed(message)) << output();
    }
    EXPECT_TRUE(dlg.log.empty());
}

TEST_F(EventRefusalTest, MissingDialogOrControlIsReportedAndIgnored)
{
    EXPECT_FALSE(ui::dispatchEvent("@click 30001 1"));
    EXPECT_TRUE(printed("no open dialog 30001"));
    open();
    EXPECT_FALSE(ui::dispatchEvent("@click palette 1"));
    EXPECT_TRUE(printed("no open dialog palette"));
    EXPECT_FALSE(ui::dispatchEvent("@click 30001 999"));
    EXPECT_TRUE(printed("dialog test has no control 999"));
    EXPECT_FALSE(ui::dispatchEvent("@tool 30001 501"));
    EXPECT_TRUE(printed("has no toolbar button 501"));
    EXPECT_TRUE(dlg.log.empty());
    EXPECT_TRUE(IsWindow(dlg.GetSafeHwnd()));
}

TEST_F(EventRefusalTest, DisabledAndHiddenControlsIgnoreInput)
{
    open();
    int applied = 0;
    dlg.MapCommand(IDC_APPLY, [&applied] { ++applied; });
    dlg.MapCommand(IDC_SECRET, [&applied] { applied += 10; });
    EXPECT_FALSE(ui::dispatchEvent("@click 30001 112"));
    EXPECT_TRUE(printed("button apply is disabled"));
    EXPECT_FALSE(ui::dispatchEvent("@click 30001 113"));
    EXPECT_TRUE(printed("button secret is hidden"));
    EXPECT_EQ(applied, 0);
    dlg.GetDlgItem(IDC_APPLY)->EnableWindow(TRUE);
    dlg.GetDlgItem(IDC_SECRET)->ShowWindow(SW_SHOW);
    EXPECT_TRUE(ui::dispatchEvent("@click 30001 112"));
    EXPECT_TRUE(ui::dispatchEvent("@click 30001 113"));
    EXPECT_EQ(applied, 11);
    // A whole disabled dialog takes nothing either.
    dlg.EnableWindow(FALSE);
    EXPECT_FALSE(ui::dispatchEvent("@click 30001 112"));
    EXPECT_EQ(applied, 11);
    EXPECT_TRUE(printed("dialog test is disabled"));
}

using MouseTest = EventsTest;

TEST_F(MouseTest, PressOnTheDialogCarriesPointAndKeys)
{
    open();
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 0 250 200 shift ctrl"));
    EXPECT_EQ(dlg.lastPress, CPoint(250, 200));
    EXPECT_EQ(dlg.lastFlags, MK_LBUTTON | MK_SHIFT | MK_CONTROL);
    ASSERT_TRUE(ui::dispatchEvent("@mouse test - 251 201 right"));
    EXPECT_EQ(dlg.lastFlags, static_cast<UINT>(MK_RBUTTON));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"press:250,200", "rpress:251,201"}));
}

TEST_F(MouseTest, PressOnAPlainFrameReachesTheDialog)
{
    open();
    CRect frame;
    dlg.GetDlgItem(IDC_PREVIEW)->GetWindowRect(&frame);
    dlg.ScreenToClient(&frame);
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 111 4 6"));
    EXPECT_EQ(dlg.lastPress, CPoint(frame.left + 4, frame.top + 6));
    EXPECT_FALSE(ui::dispatchEvent("@mouse 30001 111 4000 6"));
    EXPECT_TRUE(printed("is outside frame preview"));
}

TEST_F(MouseTest, PressOnADialogPixelOverAControlHitsTheControl)
{
    open();
    CRect toggle;
    dlg.GetDlgItem(IDC_TOGGLE)->GetWindowRect(&toggle);
    dlg.ScreenToClient(&toggle);
    const CPoint inside = toggle.CenterPoint();
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 0 " + std::to_string(inside.x) + " " + std::to_string(inside.y)));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"toggle:1"}));
    CRect apply;
    dlg.GetDlgItem(IDC_APPLY)->GetWindowRect(&apply);
    dlg.ScreenToClient(&apply);
    const CPoint onApply = apply.CenterPoint();
    EXPECT_FALSE(ui::dispatchEvent("@mouse 30001 0 " + std::to_string(onApply.x) + " " + std::to_string(onApply.y)));
    EXPECT_TRUE(printed("button apply under the point is disabled"));
}

using ActivationTest = EventsTest;

TEST_F(ActivationTest, LeavingAndComingBack)
{
    open();
    EXPECT_EQ(CWnd::GetActiveWindow(), &dlg);
    ASSERT_TRUE(ui::dispatchEvent("@deactivate 30001"));
    EXPECT_EQ(CWnd::GetActiveWindow(), AfxGetMainWnd());
    EXPECT_FALSE(ui::dispatchEvent("@deactivate 30001"));
    ASSERT_TRUE(ui::dispatchEvent("@activate 30001"));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"inactive", "active"}));
}

TEST_F(ActivationTest, InputIntoAnInactiveDialogActivatesItFirst)
{
    open();
    TestDialog other;
    ASSERT_TRUE(other.Create(kTestDlg));
    other.ShowWindow(SW_SHOW);
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"inactive"}));
    // "30001" names the newest of the two.
    other.log.clear();
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_EQ(other.log, (std::vector<std::string>{"toggle:1"})) << "already active";
    other.DestroyWindow();
    EXPECT_EQ(CWnd::GetActiveWindow(), AfxGetMainWnd());
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"inactive", "clickactive", "toggle:1"}));
}

TEST_F(ActivationTest, HidingTheActiveDialogActivatesItsOwner)
{
    open();
    dlg.log.clear();
    dlg.ShowWindow(SW_HIDE);
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"inactive"}));
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_EQ(CWnd::GetActiveWindow(), AfxGetMainWnd());
}

TEST_F(ActivationTest, KeepFocusQuery)
{
    class Keeper : public TestDialog {
        LRESULT OnAcadKeepFocus(WPARAM, LPARAM) override { return TRUE; }
    } keeper;
    open();
    EXPECT_FALSE(ui::queryKeepFocus(&dlg));
    ASSERT_TRUE(keeper.Create(kTestDlg));
    EXPECT_TRUE(ui::queryKeepFocus(&keeper));
    ASSERT_TRUE(ui::dispatchEvent("@keepfocus 30001"));
    EXPECT_TRUE(printed("dialog test keeps the focus: yes"));
}

using CloseTest = EventsTest;

TEST_F(CloseTest, CloseBoxGoesThroughOnCloseToOnCancel)
{
    feed({"@close 30001"});
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    const auto close = std::find(dlg.log.begin(), dlg.log.end(), "close");
    ASSERT_NE(close, dlg.log.end());
    EXPECT_EQ(*(close + 1), "cancel");
}

TEST_F(CloseTest, CloseBoxDoesNothingWhileCancelIsDisabled)
{
    open();
    dlg.GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
    ASSERT_TRUE(ui::dispatchEvent("@close 30001"));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"close"}));
    EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST_F(CloseTest, KeysPressTheDefaultAndCancelButtons)
{
    feed({"@key 30001 enter"});
    EXPECT_EQ(dlg.DoModal(), IDOK);
    TestDialog second;
    feed({"@key 30001 esc"});
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_EQ(std::count(second.log.begin(), second.log.end(), "cancel"), 1);
}

using ListingTest = EventsTest;

TEST_F(ListingTest, ListsOpenDialogsAndTheirControls)
{
    ASSERT_TRUE(ui::dispatchEvent("@list"));
    EXPECT_TRUE(printed("dialogs: none"));
    open();
    out.clear();
    ASSERT_TRUE(ui::dispatchEvent("@list"));
    CRect r;
    dlg.GetWindowRect(&r);
    const std::string where = "at " + std::to_string(r.left) + "," + std::to_string(r.top) + " size " +
                              std::to_string(r.Width()) + "x" + std::to_string(r.Height());
    EXPECT_TRUE(printed("dialogs: 1\n  30001 test \"测试\" modeless shown active " + where)) << output();
    out.clear();
    ASSERT_TRUE(ui::dispatchEvent("@list test"));
    EXPECT_TRUE(printed("dialog 30001 test")) << output();
    // Template names beside ids; IDOK and IDCANCEL are named by default.
    EXPECT_TRUE(printed("\n  1 ok default-button \"OK\" at ")) << output();
    EXPECT_TRUE(printed("\n  2 cancel button \"Cancel\" at ")) << output();
    EXPECT_TRUE(printed("\n  103 count-spin spin at ")) << output();
    EXPECT_TRUE(printed("\n  111 preview frame \"\" at ")) << output();
    EXPECT_TRUE(printed("106 column radio \"Column\"")) << output();
    EXPECT_TRUE(printed("sorted sel=1 items=[\"Alpha\",\"beta\",\"gamma\"]")) << output();
    EXPECT_TRUE(printed("pos=3 range=1..10 buddy=102")) << output();
    EXPECT_TRUE(printed("112 apply button \"Apply\"")) << output();
    const std::string text = output();
    const size_t column = text.find("106 column radio");
    const std::string columnLine = text.substr(column, text.find('\n', column) - column);
    EXPECT_TRUE(columnLine.ends_with(" checked")) << columnLine;
    EXPECT_EQ(columnLine.find("unchecked"), std::string::npos) << columnLine;
    EXPECT_NE(text.find("hidden", text.find("113 secret button")), std::string::npos);
}

class MessageBoxTest : public UiTest {};

TEST_F(MessageBoxTest, AnswersComeFromTheEvents)
{
    feed({"@msgbox yes", "@msgbox no", "@msgbox ok", "@msgbox cancel"});
    EXPECT_EQ(AfxMessageBox(L"继续吗?", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(AfxMessageBox(L"again?", MB_YESNOCANCEL), IDNO);
    EXPECT_EQ(AfxMessageBox(L"done"), IDOK);
    EXPECT_EQ(AfxMessageBox(L"go on?", MB_OKCANCEL), IDCANCEL);
    EXPECT_TRUE(printed("MessageBox \"ctrlsch\": 继续吗? [Yes/No]\nMessageBox answer: Yes\n")) << output();
}

TEST_F(MessageBoxTest, OnlyItsOwnButtonsAnswer)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    dlg.log.clear();
    feed({"@msgbox ok", "@click 30001 104", "@list", "@msgbox no"});
    EXPECT_EQ(dlg.MessageBox(L"数据不能为空", L"回路参数", MB_YESNO | MB_ICONWARNING), IDNO);
    EXPECT_TRUE(printed("MessageBox \"回路参数\": 数据不能为空 [Yes/No]"));
    EXPECT_TRUE(printed("the message box has no ok button"));
    EXPECT_TRUE(printed("a message box is waiting for @msgbox"));
    EXPECT_TRUE(printed("dialogs: 1")) << "listings still work";
    EXPECT_TRUE(dlg.log.empty()) << "the click was not delivered";
}

TEST_F(MessageBoxTest, EscapeAndEndOfInputGiveTheCancelLikeAnswer)
{
    feed({"@msgbox cancel"});
    EXPECT_EQ(AfxMessageBox(L"lone OK"), IDOK) << "Esc on a lone OK button is OK";
    EXPECT_EQ(AfxMessageBox(L"x", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(AfxMessageBox(L"x", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox(L"x", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(AfxMessageBox(L"x", MB_ABORTRETRYIGNORE), IDABORT);
    EXPECT_EQ(AfxMessageBox(L"x", MB_RETRYCANCEL), IDCANCEL);
}

TEST_F(MessageBoxTest, EscGivesTheCancelLikeAnswerAndTheInputGoesOn)
{
    feed({"^C", "^C", "^C", "@msgbox yes"});
    EXPECT_EQ(AfxMessageBox(L"x", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(AfxMessageBox(L"x", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox(L"x", MB_ABORTRETRYIGNORE), IDABORT);
    EXPECT_EQ(AfxMessageBox(L"x", MB_YESNO), IDYES) << "each Esc answers one box";
}

TEST_F(MessageBoxTest, StrayAnswerIsReported)
{
    EXPECT_FALSE(ui::dispatchEvent("@msgbox ok"));
    EXPECT_TRUE(printed("no message box is open"));
    ui::setAppName(L"原理图");
    feed({"@msgbox ok"});
    AfxMessageBox(L"t");
    EXPECT_TRUE(printed("MessageBox \"原理图\": t [OK]"));
}

class ModelessBesideModalTest : public UiTest {};

TEST_F(ModelessBesideModalTest, AModelessPaletteStaysLiveWhileAModalDialogRuns)
{
    ui::DialogTemplate t = *ui::findDialogTemplate(kTestDlg);
    t.id = 30020;
    t.name = "palette";
    ui::registerDialogTemplate(t);
    TestDialog palette;
    ASSERT_TRUE(palette.Create(30020));
    palette.ShowWindow(SW_SHOW);
    palette.log.clear();
    feed({"@click palette 104", "@click 30001 1"});
    TestDialog modal;
    EXPECT_EQ(modal.DoModal(), IDOK);
    EXPECT_NE(std::find(palette.log.begin(), palette.log.end(), "toggle:1"), palette.log.end());
}

// A handler may look ahead in the message queue during a press: the rest
// of a double click is there with its timing; after a single click the
// queue stays empty and the clock moves on while it looks.
TEST_F(MouseTest, APressHandlerSeesTheRestOfTheClickInTheQueue)
{
    class Peeking : public TestDialog {
    public:
        std::vector<std::pair<UINT, DWORD>> seen;
        DWORD waited = 0;

    protected:
        void OnLButtonDown(UINT, CPoint) override
        {
            const DWORD start = GetTickCount();
            MSG msg;
            while (GetTickCount() - start < 300) {
                if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
                    continue;
                seen.emplace_back(msg.message, msg.time - start);
                DispatchMessage(&msg);
            }
            waited = GetTickCount() - start;
        }
    } dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 0 250 200 double"));
    EXPECT_EQ(dlg.seen, (std::vector<std::pair<UINT, DWORD>>{
                            {WM_LBUTTONUP, 60}, {WM_LBUTTONDBLCLK, 120}, {WM_LBUTTONUP, 180}}));
    dlg.seen.clear();
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 0 250 200"));
    EXPECT_EQ(dlg.seen, (std::vector<std::pair<UINT, DWORD>>{{WM_LBUTTONUP, 60}}));
    EXPECT_GE(dlg.waited, 300u);
    EXPECT_LT(dlg.waited, 320u);
    // Looking only (PM_NOREMOVE) leaves the message queued; a filter picks.
    dlg.PostMessage(WM_USER + 1);
    dlg.PostMessage(WM_USER + 2);
    MSG msg{};
    EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2);
    EXPECT_TRUE(PeekMessage(&msg, dlg.m_hWnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);
    EXPECT_FALSE(PeekMessage(&msg, reinterpret_cast<HWND>(1), 0, 0, PM_REMOVE));
    dlg.DestroyWindow();
}

} // namespace

// Controls by name -------------------------------------------------------------

using NameTest = EventsTest;

TEST_F(NameTest, ControlsAreNamedByTheirTemplateNamesOrIds)
{
    open();
    ASSERT_TRUE(ui::dispatchEvent("@type test name \"ab\""));
    ASSERT_TRUE(ui::dispatchEvent("@click test TOGGLE"));
    ASSERT_TRUE(ui::dispatchEvent("@select test library \"gamma\""));
    // Numbers still name controls by id.
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"name:a", "name:ab", "toggle:1", "library:gamma",
                                                 "toggle:0"}));
    // A quoted number is a name, and no control is named so.
    EXPECT_FALSE(ui::dispatchEvent("@click test \"104\""));
    EXPECT_TRUE(printed("** @click test \"104\": dialog test has no control \"104\"\n")) << output();
    // IDOK and IDCANCEL are "ok" and "cancel" unless their template names
    // them otherwise.
    ASSERT_TRUE(ui::dispatchEvent("@click test cancel"));
    EXPECT_FALSE(dlg.IsWindowVisible());
}

// A dialog showing five symbols two by two on pages of its preview frame,
// with page buttons; it says where "@choose" clicks, as the module's symbol
// dialogs do.
enum : int { kGridDlg = 30060, IDC_GRID_PREVIEW = 201, IDC_GRID_PREV = 202, IDC_GRID_NEXT = 203 };

class GridDialog : public CDialog {
public:
    GridDialog() : CDialog(kGridDlg)
    {
        ui::DialogTemplate t;
        t.id = kGridDlg;
        t.name = "grid";
        t.cx = 120;
        t.cy = 100;
        t.controls = {
            {IDC_GRID_PREVIEW, ui::ControlKind::Frame, L"", {10, 10, 80, 64}, 0, false, 0, "preview"},
            {IDC_GRID_PREV, ui::ControlKind::PushButton, L"<", {10, 80, 30, 14}, 0, false, 0, "prev"},
            {IDC_GRID_NEXT, ui::ControlKind::PushButton, L">", {60, 80, 30, 14}, 0, false, 0, "next"},
        };
        ui::registerDialogTemplate(std::move(t));
        MapCommand(IDC_GRID_PREV, [this] { turn(-1); });
        MapCommand(IDC_GRID_NEXT, [this] { turn(1); });
    }

    const std::vector<std::wstring> symbols = {L"KM-COIL", L"KM-NO", L"SB-NC", L"SB-NO", L"HL-R"};
    int page = 0;
    std::vector<std::string> log;

    bool ItemPoint(const std::wstring& item, ItemClick& click, std::wstring& why) override
    {
        int slot = -1;
        if (item.size() > 1 && item[0] == L'#') {
            const int n = std::stoi(item.substr(1));
            if (n < 1 || n > 4) {
                why = L"no slot " + item + L" (a page holds 4)";
                return false;
            }
            slot = page * 4 + n - 1;
        } else {
            for (size_t i = 0; i < symbols.size() && slot < 0; ++i)
                if (symbols[i] == item)
                    slot = static_cast<int>(i);
            if (slot < 0) {
                why = L"no symbol \"" + item + L"\"";
                return false;
            }
        }
        if (slot / 4 != page) {
            click.control = slot / 4 > page ? IDC_GRID_NEXT : IDC_GRID_PREV;
            CRect r;
            GetDlgItem(click.control)->GetClientRect(&r);
            click.point = r.CenterPoint();
            click.turnsPage = true;
            return true;
        }
        const CRect r = preview();
        const int local = slot % 4;
        click.point = CPoint(r.left + r.Width() / 4 + (local % 2) * r.Width() / 2,
                             r.top + r.Height() / 4 + (local / 2) * r.Height() / 2);
        return true;
    }

protected:
    void OnLButtonDown(UINT, CPoint p) override
    {
        const CRect r = preview();
        if (!r.PtInRect(p))
            return;
        const int slot = page * 4 + (p.x - r.left) * 2 / r.Width() + (p.y - r.top) * 2 / r.Height() * 2;
        log.push_back("press:" + std::to_string(slot));
    }
    void OnLButtonDblClk(UINT, CPoint) override { log.push_back("double"); }

private:
    CRect preview()
    {
        CRect r;
        GetDlgItem(IDC_GRID_PREVIEW)->GetWindowRect(&r);
        ScreenToClient(&r);
        return r;
    }
    void turn(int by)
    {
        page += by;
        log.push_back("page:" + std::to_string(page));
        GetDlgItem(IDC_GRID_PREV)->EnableWindow(page > 0);
        GetDlgItem(IDC_GRID_NEXT)->EnableWindow(page < 1);
    }
};

class ChooseTest : public UiTest {
protected:
    void open()
    {
        ASSERT_TRUE(grid.Create(kGridDlg));
        grid.ShowWindow(SW_SHOW);
        grid.GetDlgItem(IDC_GRID_PREV)->EnableWindow(FALSE);
    }
    GridDialog grid;
};

TEST_F(ChooseTest, DoubleChooseDoubleClicks)
{
    open();
    ASSERT_TRUE(ui::dispatchEvent("@choose grid HL-R double"));
    EXPECT_EQ(grid.log, (std::vector<std::string>{"page:1", "press:4", "double"}));
    EXPECT_FALSE(ui::dispatchEvent("@choose grid HL-R twice"));
    EXPECT_TRUE(printed("usage: @choose DIALOG SYMBOL|#N [double]")) << output();
}

TEST_F(ChooseTest, WhatCannotBeChosenIsRefused)
{
    open();
    EXPECT_FALSE(ui::dispatchEvent("@choose grid KA-COIL"));
    EXPECT_FALSE(ui::dispatchEvent("@choose grid #5"));
    EXPECT_EQ(output(), "** @choose grid KA-COIL: dialog grid has no symbol \"KA-COIL\"\n"
                        "** @choose grid #5: dialog grid has no slot #5 (a page holds 4)\n");
    // A page button that cannot be pressed stops it.
    grid.GetDlgItem(IDC_GRID_NEXT)->EnableWindow(FALSE);
    EXPECT_FALSE(ui::dispatchEvent("@choose grid HL-R"));
    EXPECT_TRUE(printed("** @choose grid HL-R: button next is disabled\n")) << output();
    EXPECT_TRUE(grid.log.empty());
    // A dialog that shows no items has none to choose.
    TestDialog plain;
    ASSERT_TRUE(plain.Create(kTestDlg));
    plain.ShowWindow(SW_SHOW);
    EXPECT_FALSE(ui::dispatchEvent("@choose test KM-NO"));
    EXPECT_TRUE(printed("** @choose test KM-NO: dialog test has no items to choose\n")) << output();
}

// The verbs the help lists are those dispatched.
TEST(EventVerbTest, EveryVerbListedIsAnEvent)
{
    const std::vector<ui::EventVerb> verbs = ui::eventVerbs();
    ASSERT_FALSE(verbs.empty());
    ui::StringOutputSink out;
    ui::setOutputSink(&out);
    for (const ui::EventVerb& v : verbs) {
        EXPECT_EQ(v.form.rfind("@" + v.name, 0), 0u) << v.form;
        EXPECT_FALSE(v.what.empty()) << v.name;
        ui::dispatchEvent("@" + v.name + " nosuchdialog");
        EXPECT_EQ(out.text().find("unknown event"), std::string::npos) << out.text();
    }
    ui::reset();
}
