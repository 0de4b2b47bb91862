// Control behaviour, by members and by the user's events.
//
// Invariants checked here:
// - in a radio group exactly the clicked button is checked, and the group
//   ends at the next WS_GROUP control;
// - a sorted list keeps AddString's items in case-insensitive order;
// - a spin step goes through UDN_DELTAPOS, can be refused, stays inside its
//   range and updates a buddy that takes its integer;
// - numeric edit boxes refuse anything but digits typed.
#include "uitest.h"

#include <algorithm>
#include <cwchar>

using namespace uitest;

namespace {

class ControlsTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(dlg.Create(kTestDlg));
        dlg.ShowWindow(SW_SHOW);
        dlg.log.clear();
    }
    void TearDown() override
    {
        dlg.DestroyWindow();
        UiTest::TearDown();
    }
    std::vector<std::wstring> items(const CComboBox& box)
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < box.GetCount(); ++i) {
            CString t;
            box.GetLBText(i, t);
            out.push_back(t.str());
        }
        return out;
    }
    CString text(int id)
    {
        CString t;
        dlg.GetDlgItemText(id, t);
        return t;
    }
    TestDialog dlg;
};

using RadioTest = ControlsTest;

TEST_F(RadioTest, ClickChecksItAndClearsTheRestOfItsGroup)
{
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_ROW, IDC_GRID), IDC_COLUMN);
    dlg.CheckDlgButton(IDC_AFTER, BST_CHECKED);
    for (int id : {IDC_ROW, IDC_GRID, IDC_ROW}) {
        ASSERT_TRUE(ui::dispatchEvent("@click 30001 " + std::to_string(id)));
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_ROW, IDC_GRID), id);
        int checked = 0;
        for (int other = IDC_ROW; other <= IDC_GRID; ++other)
            checked += dlg.IsDlgButtonChecked(other) == BST_CHECKED;
        EXPECT_EQ(checked, 1);
    }
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_AFTER), static_cast<UINT>(BST_CHECKED))
        << "the next group's check box is not part of the radio group";
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"radio:105", "radio:107", "radio:105"}));
}

TEST_F(RadioTest, ProgrammaticChecksDoNotNotifyAndDataExchangeReadsTheIndex)
{
    dlg.CheckRadioButton(IDC_ROW, IDC_GRID, IDC_GRID);
    EXPECT_TRUE(dlg.log.empty());
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.m_arrangement, 2);
    dlg.m_arrangement = -1;
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_ROW, IDC_GRID), 0);
}

TEST_F(RadioTest, CheckEventOnlyClicksWhenTheStateDiffers)
{
    EXPECT_TRUE(ui::dispatchEvent("@check 30001 106 on"));
    EXPECT_TRUE(dlg.log.empty()) << "already checked";
    EXPECT_TRUE(ui::dispatchEvent("@check 30001 105 on"));
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_ROW, IDC_GRID), IDC_ROW);
    EXPECT_FALSE(ui::dispatchEvent("@check 30001 105 off"));
    EXPECT_TRUE(printed("a radio button is cleared by checking another"));
}

using CheckBoxTest = ControlsTest;

TEST_F(CheckBoxTest, PushLikeCheckBoxTogglesThenNotifies)
{
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"toggle:1", "toggle:0"}));
    ASSERT_TRUE(ui::dispatchEvent("@check 30001 104 on"));
    ASSERT_TRUE(ui::dispatchEvent("@check 30001 104 on"));
    EXPECT_EQ(dlg.log.size(), 3u);
    auto* toggle = static_cast<CButton*>(dlg.GetDlgItem(IDC_TOGGLE));
    EXPECT_EQ(toggle->GetCheck(), BST_CHECKED);
    EXPECT_TRUE(toggle->GetButtonStyle() & BS_PUSHLIKE);
    toggle->SetCheck(BST_UNCHECKED);
    EXPECT_EQ(dlg.log.size(), 3u) << "SetCheck does not notify";
}

using ListTest = ControlsTest;

TEST_F(ListTest, SortedComboKeepsCaseInsensitiveOrder)
{
    CComboBox& box = dlg.library();
    EXPECT_EQ(items(box), (std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"}));
    const int at = box.AddString(L"Beta2");
    EXPECT_EQ(at, 2);
    box.AddString(L"ALPHA");
    EXPECT_EQ(items(box), (std::vector<std::wstring>{L"Alpha", L"ALPHA", L"beta", L"Beta2", L"gamma"}));
    EXPECT_EQ(box.InsertString(0, L"zeta"), 0) << "InsertString never sorts";
    const int last = box.InsertString(-1, L"last");
    EXPECT_EQ(last, box.GetCount() - 1);
}

TEST_F(ListTest, ALongSortedListFilledOutOfOrderEndsInOrder)
{
    CComboBox& box = dlg.library();
    box.ResetContent();
    // Each name twice, once in capitals, in scrambled order: equals stay in
    // the order they came.
    constexpr int kNames = 5000;
    for (int i = 0; i < 2 * kNames; ++i) {
        const int n = (i * 7919) % kNames;
        box.AddString(((i < kNames ? L"lib" : L"LIB") + std::to_wstring(n)).c_str());
    }
    const std::vector<std::wstring> listed = items(box);
    ASSERT_EQ(listed.size(), 2u * kNames);
    std::vector<std::wstring> expected;
    for (int n = 0; n < kNames; ++n) {
        expected.push_back(L"lib" + std::to_wstring(n));
        expected.push_back(L"LIB" + std::to_wstring(n));
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::wstring& a, const std::wstring& b) { return CString(a.c_str()).CompareNoCase(b.c_str()) < 0; });
    EXPECT_EQ(listed, expected);
}

TEST_F(ListTest, SelectionFollowsInsertionsAndDeletions)
{
    CComboBox& box = dlg.library();
    ASSERT_EQ(box.SelectString(-1, L"BE"), 1);
    box.AddString(L"aardvark");
    EXPECT_EQ(box.GetCurSel(), 2);
    CString selected;
    dlg.GetDlgItem(IDC_LIBRARY)->GetWindowText(selected);
    EXPECT_EQ(selected, L"beta");
    EXPECT_EQ(box.DeleteString(0), 3);
    EXPECT_EQ(box.GetCurSel(), 1);
    box.DeleteString(1);
    EXPECT_EQ(box.GetCurSel(), CB_ERR);
    EXPECT_EQ(box.DeleteString(7), CB_ERR);
    EXPECT_EQ(box.SetCurSel(9), CB_ERR);
    box.ResetContent();
    EXPECT_EQ(box.GetCount(), 0);
}

TEST_F(ListTest, SearchesWrapAndDistinguishPrefixFromWholeText)
{
    CComboBox& box = dlg.library();
    box.AddString(L"Alphabet");
    // Alpha, Alphabet, beta, gamma.
    EXPECT_EQ(box.FindString(-1, L"alp"), 0);
    EXPECT_EQ(box.FindString(0, L"alp"), 1);
    EXPECT_EQ(box.FindString(1, L"alp"), 0) << "wraps around";
    EXPECT_EQ(box.FindStringExact(-1, L"ALPHABET"), 1);
    EXPECT_EQ(box.FindStringExact(-1, L"alph"), CB_ERR);
    const int before = box.GetCurSel();
    EXPECT_EQ(box.SelectString(-1, L"delta"), CB_ERR);
    EXPECT_EQ(box.GetCurSel(), before);
    box.SetItemData(2, 77);
    EXPECT_EQ(box.GetItemData(2), 77u);
}

TEST_F(ListTest, SelectEventSetsThenNotifies)
{
    ASSERT_TRUE(ui::dispatchEvent("@select 30001 109 0"));
    ASSERT_TRUE(ui::dispatchEvent("@select test 109 \"GAMMA\""));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"library:Alpha", "library:gamma"}));
    EXPECT_FALSE(ui::dispatchEvent("@select 30001 109 3"));
    EXPECT_FALSE(ui::dispatchEvent("@select 30001 109 \"delta\""));
    EXPECT_FALSE(ui::dispatchEvent("@select 30001 101 0"));
    EXPECT_EQ(dlg.log.size(), 2u);
    EXPECT_TRUE(printed("has no item \"delta\""));
    EXPECT_TRUE(printed("is not a list or combo box"));
}

TEST_F(ListTest, ListBoxDoubleClickAndPixelPicks)
{
    CListBox& files = dlg.files();
    ASSERT_TRUE(ui::dispatchEvent("@dblclick 30001 110 \"two.dxf\""));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"file:1", "open:1"})) << "not sorted: in the order added";
    dlg.log.clear();
    // The second row, by pixel: rows are as high as the font's cell.
    const int row = files.GetItemHeight(0);
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 110 5 " + std::to_string(row + row / 2)));
    EXPECT_EQ(files.GetCurSel(), 1);
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"file:1"}));
    files.ResetContent();
    EXPECT_FALSE(ui::dispatchEvent("@dblclick 30001 110"));
}

using SpinTest = ControlsTest;

TEST_F(SpinTest, StepsGoThroughTheNotificationAndTheBuddy)
{
    ASSERT_EQ(dlg.m_spin.GetPos(), 3);
    ASSERT_TRUE(ui::dispatchEvent("@spin 30001 103 up 2"));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"spin:3+1", "spin:4+1"}));
    EXPECT_EQ(dlg.m_spin.GetPos(), 5);
    EXPECT_EQ(text(IDC_COUNT), L"5");
    ASSERT_TRUE(ui::dispatchEvent("@spin 30001 103 -1"));
    EXPECT_EQ(text(IDC_COUNT), L"4");
}

TEST_F(SpinTest, RangeClampsAndEndsStillNotify)
{
    int lower, upper;
    dlg.m_spin.GetRange(lower, upper);
    ASSERT_TRUE(ui::dispatchEvent("@spin 30001 103 +20"));
    EXPECT_EQ(dlg.m_spin.GetPos(), upper);
    EXPECT_EQ(dlg.log.size(), 20u) << "every press notifies, also at the end of the range";
    ASSERT_TRUE(ui::dispatchEvent("@spin 30001 103 down 30"));
    EXPECT_EQ(dlg.m_spin.GetPos(), lower);
    EXPECT_EQ(dlg.m_spin.SetPos(upper + 5), lower);
    EXPECT_EQ(dlg.m_spin.GetPos(), upper);
}

TEST_F(SpinTest, RepeatCountsAreBoundedAndRefusedWholeWhenTooLarge)
{
    // The most presses one event takes: every one notifies.
    ASSERT_TRUE(ui::dispatchEvent("@spin 30001 103 down 10000"));
    EXPECT_EQ(dlg.log.size(), 10000u);
    dlg.log.clear();
    const int before = dlg.m_spin.GetPos();
    for (const char* line : {"@spin 30001 103 up 10001", "@spin 30001 103 up 999999999999", "@spin 30001 103 +10001",
                             "@spin 30001 103 -2147483648", "@spin 30001 103 +999999999999", "@spin 30001 103 up 0",
                             "@spin 30001 103 down -3", "@spin 30001 103 -+5", "@spin 30001 103 +0"}) {
        out.clear();
        EXPECT_FALSE(ui::dispatchEvent(line)) << line;
        EXPECT_TRUE(printed(std::string("** ") + line + ": the count of steps is a whole number from 1 to 10000"))
            << output();
    }
    EXPECT_TRUE(dlg.log.empty()) << "a refused count takes no step";
    EXPECT_EQ(dlg.m_spin.GetPos(), before);
}

TEST_F(SpinTest, RefusedStepChangesNothing)
{
    dlg.refuseSpin = true;
    const int before = dlg.m_spin.GetPos();
    ASSERT_TRUE(ui::dispatchEvent("@spin 30001 103 up"));
    EXPECT_EQ(dlg.log.size(), 1u);
    EXPECT_EQ(dlg.m_spin.GetPos(), before);
    EXPECT_EQ(text(IDC_COUNT), CString(std::to_wstring(before)));
}

TEST_F(SpinTest, PositionIsReadBackFromTheBuddy)
{
    dlg.SetDlgItemText(IDC_COUNT, L"8");
    EXPECT_EQ(dlg.m_spin.GetPos(), 8);
    dlg.SetDlgItemText(IDC_COUNT, L"80");
    EXPECT_EQ(dlg.m_spin.GetPos(), 10) << "kept inside the range";
}

TEST_F(SpinTest, DefaultRangeMakesTheUpArrowReportMinusOne)
{
    ui::DialogTemplate t;
    t.id = 30010;
    t.cx = 80;
    t.cy = 40;
    t.controls = {{301, ui::ControlKind::Edit, L"5", {5, 5, 40, 12}},
                  {302, ui::ControlKind::Spin, L"", {45, 5, 10, 12}, UDS_AUTOBUDDY | UDS_ALIGNRIGHT}};
    ui::registerDialogTemplate(t);
    // Like the palette's symbol count: value minus delta, at least 1.
    class Counter : public CDialog {
    public:
        Counter() : CDialog(30010)
        {
            MapNotify(UDN_DELTAPOS, 302, [this](NMHDR* hdr, LRESULT* result) {
                auto* ud = reinterpret_cast<NMUPDOWN*>(hdr);
                deltas.push_back(ud->iDelta);
                const int v = std::max(1, static_cast<int>(GetDlgItemInt(301)) - ud->iDelta);
                SetDlgItemInt(301, static_cast<UINT>(v));
                *result = 0;
            });
        }
        std::vector<int> deltas;
    } dlg2;
    ASSERT_TRUE(dlg2.Create(30010));
    dlg2.ShowWindow(SW_SHOW);
    auto* spin = static_cast<CSpinButtonCtrl*>(dlg2.GetDlgItem(302));
    int lower, upper;
    spin->GetRange(lower, upper);
    EXPECT_GT(lower, upper);
    EXPECT_EQ(spin->GetBuddy(), dlg2.GetDlgItem(301));
    CRect edit, arrows;
    dlg2.GetDlgItem(301)->GetWindowRect(&edit);
    spin->GetWindowRect(&arrows);
    EXPECT_EQ(arrows.left, edit.right) << "aligned at the buddy's right edge";
    ASSERT_TRUE(ui::dispatchEvent("@spin 30010 302 up 3"));
    ASSERT_TRUE(ui::dispatchEvent("@spin 30010 302 down 20"));
    EXPECT_EQ(dlg2.deltas.front(), -1);
    EXPECT_EQ(dlg2.deltas.back(), 1);
    EXPECT_EQ(dlg2.GetDlgItemInt(301), 1u);
    // A press on the upper half of the control is the up arrow.
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30010 302 2 1"));
    EXPECT_EQ(dlg2.GetDlgItemInt(301), 2u);
}

using EditTest = ControlsTest;

TEST_F(EditTest, NumericEditRefusesOtherCharacters)
{
    EXPECT_FALSE(ui::dispatchEvent("@type 30001 102 \"4x2\""));
    EXPECT_EQ(text(IDC_COUNT), L"42");
    EXPECT_TRUE(printed("unacceptable character 'x'"));
    EXPECT_TRUE(ui::dispatchEvent("@type 30001 101 \"a b\""));
    EXPECT_EQ(text(IDC_NAME), L"a b");
}

TEST_F(EditTest, TypingSendsAChangePerKeystroke)
{
    ASSERT_TRUE(ui::dispatchEvent("@type 30001 101 \"ab\""));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"name:a", "name:ab"}));
    dlg.log.clear();
    ASSERT_TRUE(ui::dispatchEvent("@type 30001 101 \"\""));
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"name:"}));
}

TEST_F(EditTest, SelectionLimitAndReadOnly)
{
    auto* edit = static_cast<CEdit*>(dlg.GetDlgItem(IDC_NAME));
    edit->SetWindowText(L"hello");
    edit->SetSel(1, 3);
    edit->ReplaceSel(L"EY");
    EXPECT_EQ(text(IDC_NAME), L"hEYlo");
    int a, b;
    edit->GetSel(a, b);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 3);
    edit->SetLimitText(3);
    EXPECT_FALSE(ui::dispatchEvent("@type 30001 101 \"abcd\""));
    EXPECT_EQ(text(IDC_NAME), L"abc");
    edit->SetReadOnly(TRUE);
    EXPECT_FALSE(ui::dispatchEvent("@type 30001 101 \"z\""));
    EXPECT_EQ(text(IDC_NAME), L"abc");
}

class ToolbarTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        dlg.MapCommandRange(501, 504, [this](UINT id) { commands.push_back(static_cast<int>(id)); });
        dlg.MapNotifyRange(TTN_NEEDTEXTW, 501, 504, [](NMHDR* hdr, LRESULT*) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
            if (hdr->idFrom == 501)
                std::swprintf(info->szText, 80, L"tip %d", static_cast<int>(hdr->idFrom));
        });
        CRect r(0, 0, 150, 25);
        ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_NORESIZE, r, &dlg, 500));
        EXPECT_EQ(bar.AddBitmap(3, 21696), 0);
        const int strings = bar.AddStrings(L"second\0third\0");
        TBBUTTON buttons[] = {
            {0, 501, TBSTATE_ENABLED, TBSTYLE_BUTTON, 0, -1},
            {1, 502, TBSTATE_ENABLED, TBSTYLE_CHECK, 0, strings},
            {0, 0, 0, TBSTYLE_SEP, 0, -1},
            {2, 503, 0, TBSTYLE_BUTTON, 0, strings + 1},
        };
        ASSERT_TRUE(bar.AddButtons(4, buttons));
        bar.SetButtonSize(CSize(22, 17));
        bar.AutoSize();
    }
    CToolBarCtrl bar;
    std::vector<int> commands;
};

TEST_F(ToolbarTest, ButtonsSendTheirCommandsAndCheckButtonsToggle)
{
    ASSERT_TRUE(ui::dispatchEvent("@tool 30001 501"));
    ASSERT_TRUE(ui::dispatchEvent("@tool 30001 502"));
    EXPECT_EQ(commands, (std::vector<int>{501, 502}));
    EXPECT_TRUE(bar.IsButtonChecked(502));
    EXPECT_FALSE(bar.IsButtonChecked(501));
    EXPECT_FALSE(ui::dispatchEvent("@tool 30001 503"));
    EXPECT_TRUE(printed("toolbar button 503 is disabled"));
    bar.EnableButton(503);
    ASSERT_TRUE(ui::dispatchEvent("@tool 30001 503"));
    EXPECT_EQ(commands.back(), 503);
    bar.HideButton(501);
    EXPECT_FALSE(ui::dispatchEvent("@tool 30001 501"));
    EXPECT_EQ(bar.GetImageCount(), 3);
}

TEST_F(ToolbarTest, LayoutFollowsTheButtonSize)
{
    CRect first, second, sep, fourth;
    ASSERT_TRUE(bar.GetItemRect(0, &first));
    bar.GetItemRect(1, &second);
    bar.GetItemRect(2, &sep);
    bar.GetItemRect(3, &fourth);
    EXPECT_EQ(first.Size(), CSize(22, 17));
    EXPECT_EQ(second.left, first.right);
    EXPECT_EQ(fourth.left, sep.right);
    CRect client;
    bar.GetClientRect(&client);
    EXPECT_EQ(client.Width(), 150) << "CCS_NORESIZE keeps the rectangle it was made with";
    // A press at the fourth button's pixel.
    bar.EnableButton(503);
    const CPoint c = fourth.CenterPoint();
    ASSERT_TRUE(ui::dispatchEvent("@mouse 30001 500 " + std::to_string(c.x) + " " + std::to_string(c.y)));
    EXPECT_EQ(commands, (std::vector<int>{503}));
}

TEST_F(ToolbarTest, TooltipsComeFromTheParentThenTheButtonStrings)
{
    EXPECT_EQ(bar.GetToolTipText(501), L"tip 501");
    EXPECT_EQ(bar.GetToolTipText(502), L"second");
    ASSERT_TRUE(ui::dispatchEvent("@tip 30001 503"));
    EXPECT_TRUE(printed("tooltip 503: \"third\""));
}

} // namespace

// Toolbar pictures come from a registered bitmap strip, centred in their
// buttons, light grey see-through, grey when the button is disabled.
TEST_F(ToolbarTest, ButtonsShowTheirPicturesFromTheBitmap)
{
    constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kKey = RGB(192, 192, 192);
    ui::BitmapResource strip{12, 4, std::vector<COLORREF>(48, kKey)};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            strip.pixels[static_cast<size_t>(y * 12 + x)] = kRed;
            strip.pixels[static_cast<size_t>(y * 12 + 4 + x)] = kBlue;
        }
    EXPECT_FALSE(ui::registerBitmapResource(21697, ui::BitmapResource{12, 4, {}})) << "too few pixels";
    ASSERT_TRUE(ui::registerBitmapResource(21696, strip));
    bar.Invalidate();
    ui::idle();
    CClientDC dc(&bar);
    const auto centre = [this](int index) {
        CRect r;
        bar.GetItemRect(index, &r);
        return r.CenterPoint();
    };
    EXPECT_EQ(dc.GetPixel(centre(0).x, centre(0).y), kRed);
    EXPECT_EQ(dc.GetPixel(centre(1).x, centre(1).y), kBlue);
    // Image 2 is see-through; button 503 is disabled.
    EXPECT_EQ(dc.GetPixel(centre(3).x, centre(3).y), ui::kFaceColor);
    bar.EnableButton(503, TRUE);
    CRect r;
    bar.GetItemRect(3, &r);
    EXPECT_EQ(dc.GetPixel(r.left + 1, r.top + 1), ui::kFaceColor);
    ui::BitmapResource grey = strip;
    grey.pixels[static_cast<size_t>(8)] = kRed;
    ASSERT_TRUE(ui::registerBitmapResource(21696, grey));
    bar.EnableButton(501, FALSE);
    bar.Invalidate();
    ui::idle();
    CClientDC again(&bar);
    EXPECT_NE(again.GetPixel(centre(0).x, centre(0).y), kRed);
    EXPECT_NE(again.GetPixel(centre(0).x, centre(0).y), ui::kFaceColor);
}
