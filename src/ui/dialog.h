// CDialog (modal and modeless dialogs from registered templates),
// CDataExchange and the DDX_ data exchange functions.
//
// Creating a dialog: the template's window and controls are made, the
// dialog is centred on its parent (the main window when none is given)
// and kept inside the work area, WM_INITDIALOG runs OnInitDialog, and a
// TRUE result puts the focus on the first enabled tab stop.
//
// DoModal disables the parent before creating the dialog (OnInitDialog
// sees it disabled), then shows and activates the dialog and takes events from the event source (ui::setEventSource) until
// EndDialog; at end of input it sends IDCANCEL, and a dialog that still
// has not ended ends with IDCANCEL. The dialog is then destroyed, the
// parent enabled and activated again, and the code returned; -1 when the
// template is missing. EndDialog called in OnInitDialog ends it unshown.
//
// Create makes a modeless dialog; it lives until DestroyWindow (events
// reach it through ui::dispatchEvent). EndDialog on it only hides it.
#pragma once

#include "ui/wnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    virtual INT_PTR DoModal();
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);

    // Runs DoDataExchange: TRUE takes the controls' values into the
    // members, FALSE puts the members into the controls. Returns FALSE when
    // a value could not be taken (a message box has said why and the focus
    // is on the control).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // Dialog units (of this dialog's font) to pixels.
    void MapDialogRect(LPRECT rect) const;
    void SetDefID(UINT nID);
    DWORD GetDefID() const;
    void GotoDlgCtrl(CWnd* pWndCtrl);
    UINT GetTemplateID() const { return m_nIDTemplate; }

    // Where a click chooses an item that the dialog shows in a picture of
    // its own (the symbols of a grid), for the event "@choose DIALOG ITEM":
    // control is the id of the control clicked (0: the dialog's client
    // area), point is in that control's client coordinates. When the item
    // lies on another page, the click is on the page button towards it
    // (turnsPage): the toolkit presses it, as a user would, and asks again.
    struct ItemClick {
        int control = 0;
        CPoint point;
        bool turnsPage = false;
    };
    // item is what the event names (a symbol's name, "#N" for a slot of the
    // page shown). False, with why (it follows "dialog NAME has ": "no
    // symbol \"X\""), when the dialog has no such item; the default has
    // none.
    virtual bool ItemPoint(const std::wstring& item, ItemClick& click, std::wstring& why);

protected:
    // The default exchanges data into the controls (UpdateData(FALSE)) and
    // returns TRUE.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    // UpdateData(TRUE), then EndDialog(IDOK) when it succeeded.
    virtual void OnOK();
    virtual void OnCancel();
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;
    int m_nModalResult = -1;

private:
    bool createWindow(UINT nIDTemplate, CWnd* pParentWnd, bool modal);
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

    // The control's window; reports and fails when the dialog has none.
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    // Abandons the exchange: UpdateData returns FALSE, the focus goes to
    // the last control prepared.
    [[noreturn]] void Fail();

private:
    HWND m_hWndLastControl = nullptr;
};

// Edit text. Numbers are written with %d and %.15g; reading one that is not
// a number says "Please enter an integer." / "Please enter a number." in a
// message box and fails.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
// Check box state (BST_...).
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// nIDC is the first radio button of a group (it has WS_GROUP; the group
// runs to the next control with WS_GROUP). value is the index of the
// checked button in the group, -1 for none.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
// Combo and list boxes: the selection index, or the selected text. The
// String forms select by prefix, the StringExact forms by the whole text
// (both ignoring case); a text not found leaves the selection as it was.
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
void DDX_CBStringExact(CDataExchange* pDX, int nIDC, CString& value);
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value);
void DDX_LBStringExact(CDataExchange* pDX, int nIDC, CString& value);
// Binds the control object to the dialog's control (once).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
