// Window lifetimes and message routing.
//
// Invariants checked here:
// - destruction sends WM_DESTROY parent first and detaches every object
//   before PostNcDestroy; windows owned by a destroyed window go with it;
// - a handler table entry for a message comes before the virtual handler,
//   and Default() gives the window class's own behaviour;
// - reset() leaves no window and the default desktop;
// - the same events give the same transcript.
#include "uitest.h"

#include <algorithm>

using namespace uitest;

namespace {

class LifecycleTest : public UiTest {};

// Records destruction as its control objects see it.
class Watched : public TestDialog {
public:
    explicit Watched(std::vector<std::string>& trail, CWnd* parent = nullptr) : TestDialog(parent), m_trail(trail) {}
    CButton okButton;
    bool hwndNullInPostNcDestroy = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        TestDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDOK, okButton);
    }
    void OnDestroy() override
    {
        m_trail.push_back(std::string("destroy:") + (okButton.GetSafeHwnd() ? "ok-alive" : "ok-gone"));
        TestDialog::OnDestroy();
    }
    void PostNcDestroy() override
    {
        hwndNullInPostNcDestroy = GetSafeHwnd() == nullptr && okButton.GetSafeHwnd() == nullptr;
        m_trail.push_back("post");
    }

private:
    std::vector<std::string>& m_trail;
};

TEST_F(LifecycleTest, DestructionOrder)
{
    std::vector<std::string> trail;
    Watched dlg(trail);
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.DestroyWindow();
    EXPECT_EQ(trail, (std::vector<std::string>{"destroy:ok-alive", "post"}));
    EXPECT_TRUE(dlg.hwndNullInPostNcDestroy);
    EXPECT_FALSE(dlg.DestroyWindow()) << "nothing left to destroy";
}

TEST_F(LifecycleTest, OwnedDialogsGoWithTheirOwner)
{
    std::vector<std::string> trail;
    TestDialog owner;
    ASSERT_TRUE(owner.Create(kTestDlg));
    Watched owned(trail, &owner);
    ASSERT_TRUE(owned.Create(kTestDlg));
    owner.DestroyWindow();
    EXPECT_EQ(owned.GetSafeHwnd(), nullptr);
    EXPECT_EQ(trail.back(), "post");
}

TEST_F(LifecycleTest, ResetDestroysEverythingAndRestoresTheDesktop)
{
    std::vector<std::string> trail;
    Watched dlg(trail);
    ASSERT_TRUE(dlg.Create(kTestDlg));
    ui::setScreenSize(800, 600);
    ui::reset();
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_EQ(trail.back(), "post");
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(ui::eventSource(), nullptr);
    ui::setOutputSink(&out);
    EXPECT_TRUE(ui::dispatchEvent("@list"));
    EXPECT_TRUE(printed("dialogs: none"));
}

TEST_F(LifecycleTest, ShowingWithoutActivation)
{
    TestDialog first, second;
    ASSERT_TRUE(first.Create(kTestDlg));
    first.ShowWindow(SW_SHOW);
    ASSERT_TRUE(second.Create(kTestDlg));
    second.ShowWindow(SW_SHOWNA);
    EXPECT_TRUE(second.IsWindowVisible());
    EXPECT_EQ(CWnd::GetActiveWindow(), &first);
    second.SetActiveWindow();
    EXPECT_EQ(CWnd::GetActiveWindow(), &second);
    EXPECT_EQ(first.log.back(), "inactive");
}

TEST_F(LifecycleTest, ChildVisibilityFollowsTheDialog)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    CWnd* ok = dlg.GetDlgItem(IDOK);
    EXPECT_FALSE(ok->IsWindowVisible()) << "the dialog is still hidden";
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(ok->IsWindowVisible());
    EXPECT_FALSE(dlg.GetDlgItem(IDC_SECRET)->IsWindowVisible());
    EXPECT_TRUE(ok->ShowWindow(SW_HIDE)) << "it was visible";
    EXPECT_FALSE(ok->IsWindowVisible());
    EXPECT_FALSE(ok->ShowWindow(SW_HIDE)) << "it was hidden";
    EXPECT_FALSE(ok->EnableWindow(FALSE)) << "it was enabled";
    EXPECT_FALSE(ok->IsWindowEnabled());
    EXPECT_TRUE(ok->EnableWindow(TRUE)) << "it was disabled";
}

class RoutingTest : public UiTest {};

TEST_F(RoutingTest, MessageTableComesBeforeTheVirtualHandler)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    int tableCalls = 0;
    dlg.MapMessage(WM_LBUTTONDOWN, [&tableCalls](WPARAM, LPARAM) -> LRESULT {
        ++tableCalls;
        return 0;
    });
    dlg.log.clear();
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 0 1 1"));
    EXPECT_EQ(tableCalls, 1);
    EXPECT_TRUE(std::none_of(dlg.log.begin(), dlg.log.end(), [](const std::string& e) { return e.rfind("press", 0) == 0; }));
}

// A button that swallows presses unless told to pass them on.
class Gate : public CButton {
public:
    bool open = false;

protected:
    void OnLButtonDown(UINT, CPoint) override
    {
        if (open)
            Default();
    }
};

TEST_F(RoutingTest, DefaultGivesTheClassBehaviour)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    Gate gate;
    ASSERT_TRUE(gate.SubclassDlgItem(IDC_TOGGLE, &dlg));
    dlg.log.clear();
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_TRUE(dlg.log.empty()) << "no press, so no click";
    gate.open = true;
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"toggle:1"}));
}

TEST_F(RoutingTest, DoubleClicksOnButtonsAndNotifyingStatics)
{
    ui::DialogTemplate t;
    t.id = 30050;
    t.cx = 100;
    t.cy = 60;
    t.controls = {{601, ui::ControlKind::PushButton, L"Go", {5, 5, 40, 14}},
                  {602, ui::ControlKind::Static, L"label", {5, 25, 40, 10}, SS_NOTIFY},
                  {603, ui::ControlKind::PushButton, L"Notify", {50, 5, 40, 14}, BS_NOTIFY}};
    ui::registerDialogTemplate(t);
    class Dlg : public CDialog {
    public:
        Dlg() : CDialog(30050)
        {
            MapCommand(601, [this] { codes.push_back("601:click"); });
            MapCommand(602, [this] { codes.push_back("602:click"); });
            MapControl(STN_DBLCLK, 602, [this] { codes.push_back("602:dblclk"); });
            MapCommand(603, [this] { codes.push_back("603:click"); });
            MapControl(BN_DOUBLECLICKED, 603, [this] { codes.push_back("603:dblclk"); });
        }
        std::vector<std::string> codes;
    } dlg;
    ASSERT_TRUE(dlg.Create(30050));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(ui::dispatchEvent("@dblclick 30050 601"));
    ASSERT_TRUE(ui::dispatchEvent("@dblclick 30050 602"));
    ASSERT_TRUE(ui::dispatchEvent("@dblclick 30050 603"));
    EXPECT_EQ(dlg.codes, (std::vector<std::string>{"601:click", "601:click", "602:click", "602:dblclk", "603:click",
                                                   "603:dblclk"}));
}

TEST_F(RoutingTest, DialogItemIntegers)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    BOOL ok = FALSE;
    dlg.SetDlgItemInt(IDC_NAME, static_cast<UINT>(-12));
    EXPECT_EQ(static_cast<int>(dlg.GetDlgItemInt(IDC_NAME, &ok)), -12);
    EXPECT_TRUE(ok);
    EXPECT_EQ(dlg.GetDlgItemInt(IDC_NAME, &ok, FALSE), 0u);
    EXPECT_FALSE(ok) << "no sign without bSigned";
    dlg.SetDlgItemText(IDC_NAME, L" 42 ");
    EXPECT_EQ(dlg.GetDlgItemInt(IDC_NAME, &ok), 42u);
    EXPECT_TRUE(ok);
    dlg.SetDlgItemText(IDC_NAME, L"4x");
    EXPECT_EQ(dlg.GetDlgItemInt(IDC_NAME, &ok), 0u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(dlg.GetDlgItemInt(999, &ok), 0u);
    EXPECT_FALSE(ok);
}

TEST_F(RoutingTest, ExchangeWithAMissingControlFails)
{
    class Broken : public TestDialog {
    public:
        bool bad = false;
        void DoDataExchange(CDataExchange* pDX) override
        {
            TestDialog::DoDataExchange(pDX);
            int v = 0;
            if (bad)
                DDX_Text(pDX, 4242, v);
        }
    } dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    EXPECT_TRUE(dlg.UpdateData(TRUE));
    dlg.bad = true;
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    EXPECT_TRUE(printed("dialog 30001 has no control 4242"));
}

TEST_F(RoutingTest, EventSourceSkipsOtherLines)
{
    EXPECT_TRUE(ui::isEventLine("  @click 1 2"));
    EXPECT_FALSE(ui::isEventLine("(ylthz)"));
    EXPECT_FALSE(ui::isEventLine(""));
    EXPECT_TRUE(ui::isEscapeLine(" ^C\r"));
    EXPECT_FALSE(ui::isEscapeLine("^C^C"));
    ui::LineEventSource source({"(ylthz)", "@list", "30,20", "^C", "@msgbox ok"});
    std::string line;
    ASSERT_TRUE(source.nextEvent(line));
    EXPECT_EQ(line, "@list");
    ASSERT_TRUE(source.nextEvent(line));
    EXPECT_EQ(line, "^C");
    ASSERT_TRUE(source.nextEvent(line));
    EXPECT_EQ(line, "@msgbox ok");
    EXPECT_FALSE(source.nextEvent(line));
}

TEST_F(RoutingTest, SameEventsGiveTheSameTranscript)
{
    auto run = [this] {
        ui::reset();
        registerTestTemplate();
        ui::LineEventSource source({"@list", "@type test 102 \"1a\"", "@spin test 103 up", "@click test 999",
                                    "@list test", "@click test 1"});
        ui::StringOutputSink sink;
        ui::setEventSource(&source);
        ui::setOutputSink(&sink);
        TestDialog dlg;
        dlg.DoModal();
        dlg.MessageBox(L"end", L"t", MB_OKCANCEL);
        ui::setEventSource(&events);
        ui::setOutputSink(&out);
        return sink.text();
    };
    const std::string first = run();
    EXPECT_EQ(first, run());
    EXPECT_NE(first.find("unacceptable character 'a'"), std::string::npos);
    EXPECT_NE(first.find("MessageBox answer: Cancel"), std::string::npos);
}

} // namespace
