// The panel equipment dialog: its spins, the square symbol, paging and
// picking, the settings it keeps, and "s " when the user leaves it.
#include "PanelTest.h"

namespace {

using paneltest::PanelTest;

class PanelDialogTest : public PanelTest {
protected:
    // Sets a box's text, presses its spin ("NAME-spin") once (up or down), returns the
    // text that results.
    std::wstring step(int box, const std::string& name, const std::string& start, bool up)
    {
        EXPECT_TRUE(ui::dispatchEvent("@type panel " + name + " \"" + start + "\""));
        EXPECT_TRUE(ui::dispatchEvent("@spin panel " + name + "-spin" + (up ? " up" : " down")));
        return text(*g_pPmtsbcsDlg, box);
    }
};

TEST_F(PanelDialogTest, SizeSpinsStepByOneBelowTenAndByTenFromTen)
{
    open();
    EXPECT_EQ(step(IDC_PMT_WIDTH, "width", "9", true), L"10");
    EXPECT_EQ(step(IDC_PMT_WIDTH, "width", "10", true), L"20");
    EXPECT_EQ(step(IDC_PMT_WIDTH, "width", "12", false), L"2");
    EXPECT_EQ(step(IDC_PMT_WIDTH, "width", "10", false), L"1");
    EXPECT_EQ(step(IDC_PMT_WIDTH, "width", "", true), L"2");
    EXPECT_EQ(step(IDC_PMT_WIDTH, "width", "1.5", true), L"2");
    EXPECT_EQ(step(IDC_PMT_HEIGHT, "height", "1", false), L"1");
    EXPECT_EQ(step(IDC_PMT_HEIGHT, "height", "30", true), L"40");
}

TEST_F(PanelDialogTest, CodeAndSymbolSpinsStepTheirFirstNumber)
{
    open();
    EXPECT_EQ(step(IDC_PMT_CODE, "code", "I1", true), L"I2");
    EXPECT_EQ(step(IDC_PMT_CODE, "code", "K09", true), L"K10");
    EXPECT_EQ(step(IDC_PMT_CODE, "code", "I0", false), L"I0");
    EXPECT_EQ(step(IDC_PMT_CODE, "code", "KA", true), L"KA");
    EXPECT_EQ(step(IDC_PMT_CODE, "code", "", true), L"I2");
    EXPECT_EQ(step(IDC_PMT_SYMBOL, "symbol", "1LP", true), L"2LP");
    EXPECT_EQ(step(IDC_PMT_SYMBOL, "symbol", "", false), L"0LP");
    EXPECT_EQ(step(IDC_PMT_SYMBOL, "symbol", "X12Y3", false), L"X11Y3");
}

TEST_F(PanelDialogTest, TheSquareSymbolsWidthFollowsItsHeight)
{
    CPmtsbcsDlg& dlg = open();
    EXPECT_TRUE(ui::dispatchEvent("@type panel width \"30\""));
    EXPECT_TRUE(ui::dispatchEvent("@type panel height \"20\""));
    EXPECT_TRUE(ui::dispatchEvent(clickSlot(1)));
    EXPECT_EQ(dlg.GetSelection(), 1);
    EXPECT_EQ(text(dlg, 21809), L"20");
    EXPECT_FALSE(dlg.GetDlgItem(21809)->IsWindowEnabled());
    EXPECT_FALSE(dlg.GetDlgItem(22110)->IsWindowEnabled());
    EXPECT_TRUE(ui::dispatchEvent("@type panel height \"25\""));
    EXPECT_DOUBLE_EQ(dlg.GetWidth(), 25.0);
    EXPECT_DOUBLE_EQ(dlg.GetHeight(), 25.0);
    EXPECT_TRUE(ui::dispatchEvent(clickSlot(2)));
    EXPECT_TRUE(dlg.GetDlgItem(21809)->IsWindowEnabled());
    EXPECT_TRUE(ui::dispatchEvent("@type panel width \"7\""));
    EXPECT_DOUBLE_EQ(dlg.GetWidth(), 7.0);
    EXPECT_NE(dlg.GetSymbolPath().Find(L"\\PMTFH\\pmtfh3.dwg"), -1) << dlg.GetSymbolPath().GetString();
}

TEST_F(PanelDialogTest, PagesOfThePanelLibraryAndClicksPastTheLastSymbol)
{
    CPmtsbcsDlg& dlg = open();
    const int n = dlg.GetGridSize();
    const int count = dlg.GetIndex().GetCount();
    ASSERT_EQ(n, 4);
    ASSERT_GT(count, 16) << "two pages";
    EXPECT_FALSE(dlg.GetDlgItem(21863)->IsWindowEnabled());
    EXPECT_TRUE(dlg.GetDlgItem(21871)->IsWindowEnabled());
    EXPECT_TRUE(ui::dispatchEvent("@click panel next"));
    EXPECT_EQ(dlg.GetPage(), 1);
    EXPECT_TRUE(dlg.GetDlgItem(21863)->IsWindowEnabled());
    EXPECT_FALSE(dlg.GetDlgItem(21871)->IsWindowEnabled());
    EXPECT_FALSE(ui::dispatchEvent("@click panel next")) << "the page never passes the last";
    EXPECT_TRUE(ui::dispatchEvent(clickSlot(15)));
    EXPECT_EQ(dlg.GetSelection(), 31);
    EXPECT_EQ(dlg.GetSymbolPath(), L"NULL");
    EXPECT_TRUE(ui::dispatchEvent(clickSlot(0)));
    EXPECT_NE(dlg.GetSymbolPath().Find(dlg.GetIndex().GetName(16).c_str()), -1);
}

TEST_F(PanelDialogTest, LeavingTheDialogSavesItsSettingsAndWakesTheCommand)
{
    CPmtsbcsDlg& dlg = open();
    EXPECT_TRUE(ui::dispatchEvent("@type panel code \"K3\""));
    EXPECT_TRUE(ui::dispatchEvent("@type panel name \"按钮\""));
    EXPECT_TRUE(ui::dispatchEvent(clickSlot(2)));
    acDocManager->curDocument()->pendingInput().clear();
    EXPECT_TRUE(ui::dispatchEvent("@deactivate panel"));
    EXPECT_EQ(acDocManager->curDocument()->pendingInput(), "s ");
    dlg.MoveWindow(420, 310, 171, 300);
    DeletePanelDialog();

    CPmtsbcsDlg& again = open();
    EXPECT_EQ(text(again, 21829), L"K3");
    EXPECT_EQ(text(again, 22217), L"按钮");
    EXPECT_EQ(again.GetSelection(), 2);
    EXPECT_NE(again.GetSymbolPath().Find(L"pmtfh3.dwg"), -1);
    CRect r;
    again.GetWindowRect(&r);
    EXPECT_EQ(r.TopLeft(), CPoint(200, 300)) << "the position saved when leaving, not after";
    // The close box saves too; the dialog stays.
    again.MoveWindow(5000, 300, r.Width(), r.Height());
    EXPECT_TRUE(ui::dispatchEvent("@close panel"));
    DeletePanelDialog();
    CPmtsbcsDlg& third = open();
    third.GetWindowRect(&r);
    EXPECT_EQ(r.TopLeft(), CPoint(0, 0)) << "wholly off the desktop";
}

// The dialog as seen, with the panel library's slides and a selection.
// PICTURE_DIR keeps the picture (the README's is made so).
TEST_F(PanelDialogTest, PictureOfThePanelLibrary)
{
    const char* keep = std::getenv("PICTURE_DIR");
    testutil::TempDir tmp;
    const std::string dir = keep ? keep : tmp.path();
    CPmtsbcsDlg& dlg = open();
    EXPECT_TRUE(ui::dispatchEvent("@type panel code \"I1\""));
    EXPECT_TRUE(ui::dispatchEvent("@type panel symbol \"1HL\""));
    EXPECT_TRUE(ui::dispatchEvent("@type panel name \"指示灯\""));
    EXPECT_TRUE(ui::dispatchEvent("@type panel model \"AD16-22\""));
    EXPECT_TRUE(ui::dispatchEvent(clickSlot(5)));
    EXPECT_TRUE(ui::dispatchEvent("@snapshot panel \"" + dir + "/panel-dialog.png\""));
    // Every symbol of the first page is drawn in its cell.
    CClientDC dc(&dlg);
    const CRect r = dlg.GetPreviewRect();
    const int n = dlg.GetGridSize(), w = r.Width() / n, h = r.Height() / n;
    for (int slot = 0; slot < n * n && slot < dlg.GetIndex().GetCount(); ++slot) {
        int ink = 0;
        const int x0 = r.left + w * (slot % n), y0 = r.top + h * (slot / n);
        for (int y = y0 + 4; y < y0 + h - 4; ++y)
            for (int x = x0 + 4; x < x0 + w - 4; ++x)
                ink += dc.GetPixel(x, y) != RGB(0, 0, 0);
        EXPECT_GT(ink, 0) << slot;
    }
    EXPECT_GT(std::filesystem::file_size(dir + "/panel-dialog.png"), 1000u);
}

} // namespace

// "@choose panel SYMBOL" pages to the symbol and clicks it; "#N" is a slot
// of the page shown.
TEST_F(PanelDialogTest, ChooseClicksASymbolByNameOrSlotPagingToIt)
{
    CPmtsbcsDlg& dlg = open();
    const std::string last = wideToUtf8(dlg.GetIndex().GetName(16));
    EXPECT_TRUE(ui::dispatchEvent("@choose panel " + last));
    EXPECT_EQ(dlg.GetPage(), 1);
    EXPECT_EQ(dlg.GetSelection(), 16);
    EXPECT_FALSE(dlg.GetDlgItem(IDC_PMT_NEXTPAGE)->IsWindowEnabled());
    EXPECT_TRUE(ui::dispatchEvent("@choose panel pmtfh3"));
    EXPECT_EQ(dlg.GetPage(), 0);
    EXPECT_NE(dlg.GetSymbolPath().Find(L"pmtfh3.dwg"), -1);
    EXPECT_TRUE(ui::dispatchEvent("@choose panel #2"));
    EXPECT_EQ(dlg.GetSelection(), 1);
    EXPECT_FALSE(ui::dispatchEvent("@choose panel pmtfh99"));
    EXPECT_NE(uiOut.text().find("** @choose panel pmtfh99: dialog panel has no symbol \"pmtfh99\"\n"), std::string::npos)
        << uiOut.text();
    EXPECT_EQ(dlg.GetSelection(), 1);
}
