// Dialog lifetimes and data exchange.
//
// Invariants checked here:
// - a modal dialog runs until EndDialog, returns its code, and is gone
//   afterwards; at end of input it is cancelled (OnCancel runs);
// - OK exchanges the controls' values into the members, and a value that
//   cannot be read keeps the dialog open after a message box;
// - a modeless dialog receives events while it lives and none after
//   DestroyWindow; every object attached to a destroyed window loses it;
// - a modal dialog disables its owner while it runs.
#include "uitest.h"

#include <algorithm>

using namespace uitest;

namespace {

bool contains(const std::vector<std::string>& log, const std::string& entry)
{
    return std::find(log.begin(), log.end(), entry) != log.end();
}

class ModalTest : public UiTest {};

TEST_F(ModalTest, OkExchangesTheControlsIntoTheMembers)
{
    feed({"@type 30001 101 \"second name\"", "@type 30001 102 \"7\"", "@click 30001 104", "@click 30001 107",
          "@select 30001 109 \"gamma\"", "@select 30001 110 2", "@click 30001 IDOK"});
    TestDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_name, L"second name");
    EXPECT_EQ(dlg.m_count, 7);
    EXPECT_EQ(dlg.m_toggle, BST_CHECKED);
    EXPECT_EQ(dlg.m_arrangement, 2);
    EXPECT_EQ(dlg.m_library, L"gamma");
    EXPECT_EQ(dlg.m_file, 2);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dlg.m_spin.GetSafeHwnd(), nullptr);
    EXPECT_EQ(events.remaining(), 0u);
}

TEST_F(ModalTest, InitialisationPutsTheMembersIntoTheControls)
{
    class Probe : public TestDialog {
    public:
        CString name, count, library;
        int radio = 0, file = 0;
        BOOL OnInitDialog() override
        {
            TestDialog::OnInitDialog();
            GetDlgItemText(IDC_NAME, name);
            GetDlgItemText(IDC_COUNT, count);
            GetDlgItem(IDC_LIBRARY)->GetWindowText(library);
            radio = GetCheckedRadioButton(IDC_ROW, IDC_GRID);
            file = files().GetCurSel();
            EndDialog(IDCANCEL);
            return TRUE;
        }
    } dlg;
    dlg.m_name = L"preset";
    dlg.m_count = 5;
    dlg.m_library = L"al";
    dlg.m_arrangement = 0;
    dlg.m_file = 1;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.name, L"preset");
    EXPECT_EQ(dlg.count, L"5");
    // DDX_CBString selects by prefix, ignoring case.
    EXPECT_EQ(dlg.library, L"Alpha");
    EXPECT_EQ(dlg.radio, IDC_ROW);
    EXPECT_EQ(dlg.file, 1);
}

TEST_F(ModalTest, CancelLeavesTheMembersAlone)
{
    feed({"@type 30001 101 \"changed\"", "@click 30001 2"});
    TestDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_name, L"first");
    EXPECT_TRUE(contains(dlg.log, "cancel"));
    EXPECT_FALSE(contains(dlg.log, "ok"));
}

TEST_F(ModalTest, EndOfInputEndsADialogThatRefusesToCancel)
{
    class Stubborn : public TestDialog {
        void OnCancel() override { log.push_back("refused"); }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(contains(dlg.log, "refused"));
}

TEST_F(ModalTest, EscCancelsTheDialogAndTheInputGoesOn)
{
    // A dialog whose OnCancel keeps it open still ends.
    class Stubborn : public TestDialog {
        void OnCancel() override { log.push_back("refused"); }
    } stubborn;
    // After a wrong event, Esc cancels the next dialog through OnCancel, and
    // the events after each Esc are left for what comes next.
    feed({"^C", "@list", "@type 30001 101 \"changed\"", "@click 30001 4242", " ^C ", "@list", "@click 30001 1"});
    EXPECT_EQ(stubborn.DoModal(), IDCANCEL);
    EXPECT_TRUE(contains(stubborn.log, "refused"));
    EXPECT_EQ(events.remaining(), 6u);

    TestDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(contains(dlg.log, "cancel"));
    EXPECT_FALSE(contains(dlg.log, "ok"));
    EXPECT_EQ(dlg.m_name, L"first");
    EXPECT_EQ(events.remaining(), 2u);
}

TEST_F(ModalTest, UnreadableNumberKeepsTheDialogOpen)
{
    // ES_NUMBER refuses letters typed, so the text is set from code.
    class Bad : public TestDialog {
        BOOL OnInitDialog() override
        {
            TestDialog::OnInitDialog();
            SetDlgItemText(IDC_COUNT, L"");
            return TRUE;
        }
    } dlg;
    feed({"@click 30001 1", "@msgbox ok", "@type 30001 102 \"12\"", "@click 30001 1"});
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::count(dlg.log.begin(), dlg.log.end(), "ok"), 2);
    EXPECT_TRUE(printed("Please enter an integer."));
    EXPECT_EQ(dlg.m_count, 12);
}

TEST_F(ModalTest, RealNumbersAreWrittenShortestAndReadWhole)
{
    ui::DialogTemplate t;
    t.id = 30005;
    t.cx = 80;
    t.cy = 40;
    t.controls = {{301, ui::ControlKind::Edit, L"", {5, 5, 60, 12}}};
    ui::registerDialogTemplate(t);
    class Scale : public CDialog {
    public:
        Scale() : CDialog(30005) {}
        double value = 0.3;
        CString shown;
        BOOL OnInitDialog() override
        {
            CDialog::OnInitDialog();
            GetDlgItemText(301, shown);
            return TRUE;
        }
        void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 301, value); }
    } dlg;
    feed({"@type 30005 301 \"1.5x\"", "@key 30005 enter", "@msgbox ok", "@type 30005 301 \" 2.25 \"",
          "@key 30005 enter"});
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.shown, L"0.3");
    EXPECT_TRUE(printed("Please enter a number."));
    EXPECT_DOUBLE_EQ(dlg.value, 2.25);
}

TEST_F(ModalTest, EndDialogDuringInitialisationNeverShows)
{
    class Quitter : public TestDialog {
        BOOL OnInitDialog() override
        {
            TestDialog::OnInitDialog();
            EndDialog(42);
            return TRUE;
        }
        void OnPaint() override
        {
            log.push_back("painted");
            CDialog::OnPaint();
        }
    } dlg;
    feed({"@click 30001 1"});
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_FALSE(contains(dlg.log, "painted"));
    EXPECT_EQ(events.remaining(), 1u);
}

TEST_F(ModalTest, MissingTemplateFails)
{
    CDialog dlg(99999);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_TRUE(printed("no dialog template 99999"));
}

TEST_F(ModalTest, HelpPrintsWhatWouldBeOpened)
{
    // A help button that calls WinHelp while the dialog runs.
    class Helpful : public TestDialog {
    public:
        Helpful()
        {
            MapCommand(IDC_APPLY, std::function<void()>([this] {
                shown = WinHelp(L"C:\\Inst\\Hlp\\Book.Hlp", HELP_CONTEXT, 510);
                closed = WinHelp(L"Book.Hlp", HELP_QUIT, 0);
            }));
        }
        BOOL OnInitDialog() override
        {
            TestDialog::OnInitDialog();
            GetDlgItem(IDC_APPLY)->EnableWindow(TRUE);
            return TRUE;
        }
        BOOL shown = FALSE;
        BOOL closed = FALSE;
    };
    feed({"@click 30001 112", "@click 30001 IDCANCEL"});
    Helpful dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dlg.shown);
    EXPECT_TRUE(dlg.closed);
    EXPECT_TRUE(printed("help \"C:\\Inst\\Hlp\\Book.Hlp\" context 510\n")) << output();
    EXPECT_TRUE(printed("help \"Book.Hlp\" command 2 data 0\n")) << output();
}

TEST_F(ModalTest, WaitCursorsNestAndEnd)
{
    EXPECT_EQ(ui::waitCursorCount(), 0);
    {
        CWaitCursor outer;
        EXPECT_EQ(ui::waitCursorCount(), 1);
        {
            CWaitCursor inner;
            inner.Restore();
            EXPECT_EQ(ui::waitCursorCount(), 2);
        }
        EXPECT_EQ(ui::waitCursorCount(), 1);
        BeginWaitCursor();
        EXPECT_EQ(ui::waitCursorCount(), 2);
        EndWaitCursor();
    }
    EXPECT_EQ(ui::waitCursorCount(), 0);
    // An end without a begin leaves the normal cursor.
    EndWaitCursor();
    EXPECT_EQ(ui::waitCursorCount(), 0);
    BeginWaitCursor();
    EXPECT_EQ(ui::waitCursorCount(), 1);
    EndWaitCursor();
    EXPECT_EQ(ui::waitCursorCount(), 0);
}

TEST_F(ModalTest, OwnerIsDisabledWhileTheDialogRuns)
{
    TestDialog owner;
    ASSERT_TRUE(owner.Create(kTestDlg));
    owner.ShowWindow(SW_SHOW);
    BOOL ownerEnabledInside = FALSE;
    class Inner : public TestDialog {
    public:
        using TestDialog::TestDialog;
        BOOL* seen = nullptr;
        BOOL OnInitDialog() override
        {
            *seen = GetParent()->IsWindowEnabled();
            return TestDialog::OnInitDialog();
        }
    } inner(&owner);
    inner.seen = &ownerEnabledInside;
    // The newest dialog of the template is the inner one; the owner is
    // disabled, so its own events are refused.
    feed({"@click 30001 2"});
    EXPECT_EQ(inner.DoModal(), IDCANCEL);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(CWnd::GetActiveWindow(), &owner);
    EXPECT_FALSE(ownerEnabledInside) << "disabled before the dialog is created";
}

TEST_F(ModalTest, EventsForTheDisabledOwnerAreRefused)
{
    ui::DialogTemplate small;
    small.id = 30002;
    small.caption = L"inner";
    small.cx = 50;
    small.cy = 30;
    small.controls = {{IDCANCEL, ui::ControlKind::PushButton, L"Cancel", {5, 5, 40, 14}}};
    ui::registerDialogTemplate(small);
    TestDialog owner;
    ASSERT_TRUE(owner.Create(kTestDlg));
    owner.ShowWindow(SW_SHOW);
    CDialog inner(30002, &owner);
    feed({"@click 30001 104", "@click 30002 2"});
    EXPECT_EQ(inner.DoModal(), IDCANCEL);
    EXPECT_TRUE(printed("dialog test is disabled"));
    EXPECT_EQ(owner.IsDlgButtonChecked(IDC_TOGGLE), static_cast<UINT>(BST_UNCHECKED));
}

class ModelessTest : public UiTest {};

TEST_F(ModelessTest, ReceivesEventsUntilDestroyed)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_TRUE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_TRUE(contains(dlg.log, "toggle:1"));
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(contains(dlg.log, "destroy"));
    const size_t before = dlg.log.size();
    EXPECT_FALSE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_EQ(dlg.log.size(), before);
    EXPECT_TRUE(printed("no open dialog 30001"));
}

TEST_F(ModelessTest, ControlObjectsLoseTheirWindowWithTheDialog)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    CWnd* ok = dlg.GetDlgItem(IDOK);
    ASSERT_NE(ok, nullptr);
    const HWND okHandle = ok->GetSafeHwnd();
    EXPECT_TRUE(IsWindow(okHandle));
    EXPECT_NE(dlg.m_spin.GetSafeHwnd(), nullptr);
    dlg.DestroyWindow();
    EXPECT_FALSE(IsWindow(okHandle));
    EXPECT_EQ(dlg.m_spin.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CWnd::FromHandle(okHandle), nullptr);
}

TEST_F(ModelessTest, DeletesItselfAfterTheWindowIsGone)
{
    static int deleted = 0;
    deleted = 0;
    class SelfDeleting : public TestDialog {
        void PostNcDestroy() override { delete this; }

    public:
        ~SelfDeleting() override { ++deleted; }
    };
    auto* dlg = new SelfDeleting;
    ASSERT_TRUE(dlg->Create(kTestDlg));
    dlg->ShowWindow(SW_SHOW);
    dlg->DestroyWindow();
    EXPECT_EQ(deleted, 1);
}

TEST_F(ModelessTest, DeletingTheObjectDestroysTheWindow)
{
    HWND handle;
    {
        TestDialog dlg;
        ASSERT_TRUE(dlg.Create(kTestDlg));
        handle = dlg.GetSafeHwnd();
        EXPECT_TRUE(IsWindow(handle));
    }
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(ui::dispatchEvent("@click test 104"));
}

TEST_F(ModelessTest, EndDialogOnlyHides)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(ui::dispatchEvent("@click 30001 2"));
    EXPECT_TRUE(IsWindow(dlg.GetSafeHwnd()));
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_FALSE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_TRUE(printed("dialog test is hidden"));
}

TEST_F(ModelessTest, TemplateWithVisibleStyleShowsItself)
{
    ui::DialogTemplate t = *ui::findDialogTemplate(kTestDlg);
    t.id = 30003;
    t.style |= WS_VISIBLE;
    ui::registerDialogTemplate(t);
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(30003));
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_EQ(CWnd::GetActiveWindow(), &dlg);
}

TEST_F(ModelessTest, PaintsWhenIdleAfterShowingAndInvalidating)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    ui::idle();
    EXPECT_EQ(dlg.paints, 0) << "hidden windows are not painted";
    dlg.ShowWindow(SW_SHOW);
    ui::idle();
    EXPECT_EQ(dlg.paints, 1);
    ui::idle();
    EXPECT_EQ(dlg.paints, 1);
    CRect r(0, 0, 10, 10);
    dlg.InvalidateRect(&r);
    CRect update;
    EXPECT_TRUE(dlg.GetUpdateRect(&update));
    EXPECT_EQ(update, r);
    dlg.UpdateWindow();
    EXPECT_EQ(dlg.paints, 2);
    EXPECT_FALSE(dlg.GetUpdateRect(&update));
}

TEST_F(ModelessTest, PostedMessagesArriveWhenIdle)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    std::vector<WPARAM> got;
    dlg.MapMessage(WM_USER + 1, [&got](WPARAM w, LPARAM) -> LRESULT {
        got.push_back(w);
        return 0;
    });
    dlg.PostMessage(WM_USER + 1, 5);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(dlg.SendMessage(WM_USER + 1, 6), 0);
    ui::idle();
    EXPECT_EQ(got, (std::vector<WPARAM>{6, 5}));
}

class SubclassTest : public UiTest {};

// A picture control that handles its own clicks, bound with DDX_Control.
class Picture : public CStatic {
public:
    int presses = 0;
    CPoint at;

protected:
    void OnLButtonDown(UINT nFlags, CPoint point) override
    {
        ++presses;
        at = point;
        CStatic::OnLButtonDown(nFlags, point);
    }
};

TEST_F(SubclassTest, BoundControlGetsItsOwnMessages)
{
    ui::DialogTemplate t;
    t.id = 30004;
    t.cx = 100;
    t.cy = 60;
    t.controls = {{201, ui::ControlKind::Picture, L"", {10, 10, 40, 30}, SS_NOTIFY}};
    ui::registerDialogTemplate(t);
    class Dlg : public CDialog {
    public:
        Dlg() : CDialog(30004) { MapCommand(201, [this] { ++clicked; }); }
        Picture picture;
        int clicked = 0;
        void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 201, picture); }
    } dlg;
    ASSERT_TRUE(dlg.Create(30004));
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(dlg.GetDlgItem(201), &dlg.picture);
    EXPECT_TRUE(ui::dispatchEvent("@mouse 30004 201 3 4"));
    EXPECT_EQ(dlg.picture.presses, 1);
    EXPECT_EQ(dlg.picture.at, CPoint(3, 4));
    EXPECT_EQ(dlg.clicked, 1) << "the static's own behaviour (STN_CLICKED) still runs";
    dlg.picture.UnsubclassWindow();
    EXPECT_NE(dlg.GetDlgItem(201), &dlg.picture);
    EXPECT_TRUE(ui::dispatchEvent("@mouse 30004 201 3 4"));
    EXPECT_EQ(dlg.picture.presses, 1);
    EXPECT_EQ(dlg.clicked, 2);
}

TEST_F(SubclassTest, ControlObjectDestroyedFirstHandsTheWindowBack)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    HWND toggle = dlg.GetDlgItem(IDC_TOGGLE)->GetSafeHwnd();
    {
        CButton bound;
        ASSERT_TRUE(bound.SubclassDlgItem(IDC_TOGGLE, &dlg));
        EXPECT_EQ(dlg.GetDlgItem(IDC_TOGGLE), &bound);
        CButton second;
        EXPECT_FALSE(second.SubclassWindow(toggle)) << "one object per window";
    }
    EXPECT_TRUE(IsWindow(toggle));
    auto* again = static_cast<CButton*>(dlg.GetDlgItem(IDC_TOGGLE));
    ASSERT_NE(again, nullptr);
    again->SetCheck(BST_CHECKED);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_TOGGLE), static_cast<UINT>(BST_CHECKED));
}

TEST_F(SubclassTest, MemberFunctionTablesDispatchToTheDerivedClass)
{
    class Dlg : public TestDialog {
    public:
        Dlg()
        {
            MapCommand(IDC_APPLY, &Dlg::OnApply);
            MapControl(EN_CHANGE, IDC_COUNT, &Dlg::OnCountChanged);
        }
        int applied = 0, changes = 0;
        void OnApply() { ++applied; }
        void OnCountChanged() { ++changes; }
    } dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    const int changesAtStart = dlg.changes;
    dlg.GetDlgItem(IDC_APPLY)->EnableWindow(TRUE);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(ui::dispatchEvent("@click 30001 112"));
    EXPECT_EQ(dlg.applied, 1);
    dlg.SetDlgItemText(IDC_COUNT, L"9");
    EXPECT_EQ(dlg.changes, changesAtStart + 1) << "setting an edit's text sends EN_CHANGE";
}

} // namespace

// Control names: well formed and unique; IDOK and IDCANCEL get theirs.
TEST(TemplateNameTest, NamesAreCheckedAndOkAndCancelNamedByDefault)
{
    ui::DialogTemplate t;
    t.id = 30050;
    t.controls = {{IDOK, ui::ControlKind::DefPushButton, L"OK", {5, 5, 40, 14}, 0, false, 0, ""},
                  {IDCANCEL, ui::ControlKind::PushButton, L"Cancel", {50, 5, 40, 14}, 0, false, 0, ""},
                  {301, ui::ControlKind::Edit, L"", {5, 25, 40, 12}, 0, false, 0, "count-2"},
                  {IDC_STATIC, ui::ControlKind::Static, L"x", {5, 45, 40, 10}, 0, false, 0, ""}};
    EXPECT_EQ(ui::controlNameProblem(t), "");
    for (const char* bad : {"Count", "2count", "count-", "count--2", "co unt", "-", "数量"}) {
        t.controls[2].name = bad;
        EXPECT_NE(ui::controlNameProblem(t).find("control 301 has the name"), std::string::npos) << bad;
    }
    t.controls[2].name = "cancel";
    EXPECT_EQ(ui::controlNameProblem(t), "");
    t.controls[3].name = "cancel";
    EXPECT_EQ(ui::controlNameProblem(t), "two controls are named \"cancel\"");
    t.controls[3].name = "";
    // IDOK is named "ok"; IDCANCEL keeps no name, as another control has
    // taken "cancel".
    ui::registerDialogTemplate(t);
    const ui::DialogTemplate* registered = ui::findDialogTemplate(30050);
    ASSERT_NE(registered, nullptr);
    EXPECT_EQ(registered->controls[0].name, "ok");
    EXPECT_EQ(registered->controls[1].name, "");
    EXPECT_EQ(registered->controls[2].name, "cancel");
    ui::unregisterDialogTemplate(30050);
}
