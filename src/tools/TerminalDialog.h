// The terminal and contact dialog ("端子/接点设计"): a small modeless bar
// with the terminal type and the drawing method, for LISP programs that
// draw terminals and contacts. showdzjddlg shows it, getdzjddlg reads the
// choice (type method), hidedzjddlg removes it. When the user changes a
// choice and goes back to the drawing, the dialog stores it and types
// "s ", so that a waiting LISP prompt learns of the change.
#pragma once

#include "ui/afxwin.h"

enum : UINT {
    IDD_DZJDSJ = 21701,
    IDC_DZJD_TYPE = 22234,
    IDC_DZJD_METHOD = 22236,
};

class CDzjdsjDlg : public CDialog {
public:
    CDzjdsjDlg();
    ~CDzjdsjDlg() override;
    BOOL Create(CWnd* parent);

    // The choice of the last deactivation (or of the dialog's start).
    int GetType() const { return m_nType; }
    int GetMethod() const { return m_nMethod; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override {}
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized) override;
    void OnDestroy() override;
    LRESULT OnAcadKeepFocus(WPARAM wParam, LPARAM lParam) override;

private:
    int m_nMethod = 0;
    int m_nType = 0;
    CComboBox m_cbMethod, m_cbType;
};

// The one dialog, or null.
extern CDzjdsjDlg* g_pDzjdsjDlg;
// Destroys (saving the position) and deletes the dialog; nothing without
// one.
void CloseDzjdDialog();

// LISP: no value; no value; (type method).
int showdzjddlg();
int hidedzjddlg();
int getdzjddlg();
// Registers the dialog's template (again is harmless).
void RegisterTerminalResources();
