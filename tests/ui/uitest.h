// Shared by the toolkit tests: a fixture that gives each test a fresh
// toolkit, a list of event lines and a captured output, and the test
// dialog's template.
#pragma once

#include "ui/afxwin.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace uitest {

// The test dialog (template kTestDlg, short name "test"): OK/Cancel, a
// text edit, a numeric edit with a spin, a push-like check box, a radio
// group of three, a check box after the group, a sorted combo, a list box,
// a picture frame, a disabled and a hidden button.
enum : int {
    kTestDlg = 30001,
    IDC_NAME = 101,
    IDC_COUNT = 102,
    IDC_COUNT_SPIN = 103,
    IDC_TOGGLE = 104,
    IDC_ROW = 105,
    IDC_COLUMN = 106,
    IDC_GRID = 107,
    IDC_AFTER = 108,
    IDC_LIBRARY = 109,
    IDC_FILES = 110,
    IDC_PREVIEW = 111,
    IDC_APPLY = 112,
    IDC_SECRET = 113,
};

void registerTestTemplate();

// Records its handlers' calls in `log` and exchanges its controls with the
// members below.
class TestDialog : public CDialog {
public:
    explicit TestDialog(CWnd* parent = nullptr);

    CString m_name = L"first";
    int m_count = 3;
    int m_toggle = BST_UNCHECKED;
    int m_arrangement = 1;
    CString m_library = L"beta";
    int m_file = -1;
    CSpinButtonCtrl m_spin;
    std::vector<std::string> log;
    // WM_PAINT handled (kept out of the log: painting follows every event).
    int paints = 0;
    // Refuse spin notifications.
    bool refuseSpin = false;
    // Where the last dialog-level left press landed, and with which keys.
    CPoint lastPress{-1, -1};
    UINT lastFlags = 0;

    CComboBox& library() { return *static_cast<CComboBox*>(GetDlgItem(IDC_LIBRARY)); }
    CListBox& files() { return *static_cast<CListBox*>(GetDlgItem(IDC_FILES)); }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnRButtonDown(UINT nFlags, CPoint point) override;
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized) override;
    void OnClose() override;
    void OnDestroy() override;
    void OnPaint() override;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void feed(std::initializer_list<std::string> lines);
    std::string output() const { return out.text(); }
    // True when the output has this text (UTF-8).
    bool printed(const std::string& text) const { return out.text().find(text) != std::string::npos; }

    ui::LineEventSource events;
    ui::StringOutputSink out;
};

} // namespace uitest
