// The terminal and contact dialog: the stored choice, "s " typed once per
// change when the user goes back to the drawing, the saved position and
// its corrections, and the three LISP functions' effects.
#include "components/NorvexGloFunc.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "ModuleTest.h"
#include "testutil.h"
#include "tools/TerminalDialog.h"
#include "ui/afxwin.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class TerminalDialogTest : public testutil::ModuleTest {
protected:
    void SetUp() override
    {
        testutil::writeFile(m_dir.file("settings.json"),
                            "{\"VMQMain\": {\"VmqUse\": \"" + m_dir.path() + "\"}}\n");
        useSettings(m_dir.file("settings.json"));
        ModuleTest::SetUp();
    }
    void TearDown() override
    {
        CloseDzjdDialog();
        ModuleTest::TearDown();
    }
    static std::wstring stored(const wchar_t* key)
    {
        ACHAR text[64] = L"";
        GetQrzfile(key, L"<none>", text, 64);
        return text;
    }
    static std::string typed() { return std::exchange(acDocManager->curDocument()->pendingInput(), std::string()); }
    CRect place() const
    {
        CRect r;
        g_pDzjdsjDlg->GetWindowRect(&r);
        return r;
    }

    testutil::TempDir m_dir;
};

TEST_F(TerminalDialogTest, AChangedChoiceIsStoredAndAnnouncedOnceWhenTheUserLeaves)
{
    showdzjddlg();
    ASSERT_NE(g_pDzjdsjDlg, nullptr);
    EXPECT_EQ(g_pDzjdsjDlg->GetType(), 0);
    EXPECT_EQ(g_pDzjdsjDlg->GetMethod(), 0);
    EXPECT_TRUE(ui::dispatchEvent("@select terminal type \"端子\""));
    EXPECT_EQ(typed(), "") << "nothing while the user is still in the dialog";
    EXPECT_TRUE(ui::dispatchEvent("@deactivate terminal"));
    EXPECT_EQ(typed(), "s ");
    EXPECT_EQ(stored(L"Gddata\\Dzjdsj\\Lx"), L"1");
    EXPECT_EQ(stored(L"Gddata\\Dzjdsj\\Fs"), L"0");
    EXPECT_EQ(g_pDzjdsjDlg->GetType(), 1);
    EXPECT_TRUE(ui::dispatchEvent("@select terminal method 3"));
    EXPECT_TRUE(ui::dispatchEvent("@deactivate terminal"));
    EXPECT_EQ(typed(), "s ");
    EXPECT_EQ(stored(L"Gddata\\Dzjdsj\\Fs"), L"3");
    EXPECT_TRUE(ui::queryKeepFocus(g_pDzjdsjDlg));
}

TEST_F(TerminalDialogTest, TheChoiceSurvivesTheDialogAndAnIndexBeyondTheListSelectsNothing)
{
    EXPECT_EQ(stored(L"Gddata\\Dzjdsj\\Lx"), L"<none>");
    showdzjddlg();
    EXPECT_TRUE(ui::dispatchEvent("@select terminal type 2"));
    EXPECT_TRUE(ui::dispatchEvent("@deactivate terminal"));
    hidedzjddlg();
    EXPECT_EQ(g_pDzjdsjDlg, nullptr);
    hidedzjddlg(); // without a dialog: nothing
    showdzjddlg();
    EXPECT_EQ(g_pDzjdsjDlg->GetType(), 2);
    EXPECT_EQ(static_cast<CComboBox*>(g_pDzjdsjDlg->GetDlgItem(IDC_DZJD_TYPE))->GetCurSel(), 2);
    CloseDzjdDialog();
    WriteQrzfile(L"Gddata\\Dzjdsj\\Fs", L"9");
    showdzjddlg();
    EXPECT_EQ(static_cast<CComboBox*>(g_pDzjdsjDlg->GetDlgItem(IDC_DZJD_METHOD))->GetCurSel(), -1);
    EXPECT_TRUE(ui::dispatchEvent("@select terminal type 0"));
    EXPECT_TRUE(ui::dispatchEvent("@deactivate terminal"));
    EXPECT_EQ(stored(L"Gddata\\Dzjdsj\\Fs"), L"-1") << "the list without a selection";
}

TEST_F(TerminalDialogTest, ThePositionIsKeptAndBroughtBackOntoTheDesktopAxisByAxis)
{
    showdzjddlg();
    EXPECT_EQ(place().TopLeft(), CPoint(150, 150)) << "the default";
    const CRect first = place();
    g_pDzjdsjDlg->MoveWindow(300, 200, first.Width(), first.Height());
    hidedzjddlg();
    EXPECT_EQ(stored(L"Gddata\\Dzjdsj\\Ckwz"), L"300 200");
    showdzjddlg();
    EXPECT_EQ(place().TopLeft(), CPoint(300, 200));
    CloseDzjdDialog();
    WriteQrzfile(L"Gddata\\Dzjdsj\\Ckwz", L"400 5000");
    showdzjddlg();
    EXPECT_EQ(place().TopLeft(), CPoint(400, 0)) << "below the screen: the top edge, the left kept";
    CloseDzjdDialog();
    WriteQrzfile(L"Gddata\\Dzjdsj\\Ckwz", L"-2000 30");
    showdzjddlg();
    EXPECT_EQ(place().TopLeft(), CPoint(0, 30));
    // Esc hides it; showing it again brings the same dialog back.
    CDzjdsjDlg* same = g_pDzjdsjDlg;
    EXPECT_TRUE(ui::dispatchEvent("@key terminal esc"));
    EXPECT_FALSE(g_pDzjdsjDlg->IsWindowVisible());
    showdzjddlg();
    EXPECT_EQ(g_pDzjdsjDlg, same);
    EXPECT_TRUE(g_pDzjdsjDlg->IsWindowVisible());
}

} // namespace
