// The control classes: CButton, CStatic, CEdit, CComboBox, CListBox,
// CSpinButtonCtrl and CToolBarCtrl.
//
// Each works on the window it is attached to (from a template, bound with
// DDX_Control or SubclassDlgItem, or returned by GetDlgItem) and holds no
// state of its own, so GetDlgItem(id) cast to the control's class is as
// good as a bound member. Calling a member on an object without a window,
// or on a window of another class, does nothing and returns 0 / an error
// value.
//
// Sorted lists (CBS_SORT, LBS_SORT) keep AddString's items in the order of
// a case-insensitive comparison, a new item after equal ones; InsertString
// never sorts. Programmatic changes (SetCheck, SetCurSel, ...) send no
// notification; the user's events do (see EVENTS.md).
#pragma once

#include "ui/wnd.h"

class CButton : public CWnd {
public:
    // BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE.
    int GetCheck() const;
    // Sets the state without notifying and without touching the group.
    void SetCheck(int nCheck);
    // BST_PUSHED while highlighted, plus the check state.
    UINT GetState() const;
    void SetState(BOOL bHighlight);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
};

class CStatic : public CWnd {};

class CEdit : public CWnd {
public:
    // Characters from nStart up to nEnd become selected; (0, -1) selects
    // all; typed characters replace the selection.
    void SetSel(int nStart, int nEnd, BOOL bNoScroll = FALSE);
    void GetSel(int& nStart, int& nEnd) const;
    // Replaces the selection and sends EN_CHANGE.
    void ReplaceSel(LPCTSTR text, BOOL bCanUndo = FALSE);
    // Most characters the user may type (0: the default, 30000).
    void SetLimitText(UINT nMax);
    void LimitText(int nChars = 0) { SetLimitText(static_cast<UINT>(nChars)); }
    UINT GetLimitText() const;
    BOOL SetReadOnly(BOOL bReadOnly = TRUE);
};

class CComboBox : public CWnd {
public:
    int GetCount() const;
    int GetCurSel() const;
    // Returns the new selection, or CB_ERR when nSelect is out of range
    // (the selection is then cleared; -1 clears it on purpose).
    int SetCurSel(int nSelect);
    // Index of the new item, CB_ERR for a null text.
    int AddString(LPCTSTR text);
    // -1 appends.
    int InsertString(int nIndex, LPCTSTR text);
    // Count of the items left, CB_ERR for a bad index.
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetLBText(int nIndex, LPTSTR buffer) const;
    void GetLBText(int nIndex, CString& text) const;
    int GetLBTextLen(int nIndex) const;
    // Searches after nStartAfter (-1: from the start), wrapping around:
    // FindString by prefix, FindStringExact by the whole text, both
    // ignoring case. CB_ERR when none.
    int FindString(int nStartAfter, LPCTSTR text) const;
    int FindStringExact(int nIndexStart, LPCTSTR text) const;
    // FindString, then selects the item found; CB_ERR (selection kept)
    // when none.
    int SelectString(int nStartAfter, LPCTSTR text);
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR data);
};

class CListBox : public CWnd {
public:
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int AddString(LPCTSTR text);
    int InsertString(int nIndex, LPCTSTR text);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetText(int nIndex, LPTSTR buffer) const;
    void GetText(int nIndex, CString& text) const;
    int GetTextLen(int nIndex) const;
    int FindString(int nStartAfter, LPCTSTR text) const;
    int FindStringExact(int nIndexStart, LPCTSTR text) const;
    int SelectString(int nStartAfter, LPCTSTR text);
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR data);
    int GetTopIndex() const;
    int SetTopIndex(int nIndex);
    // Height of one item in pixels (the dialog font's baseY).
    int GetItemHeight(int nIndex) const;
};

// The up arrow moves the position towards the upper end of the range. The
// default range is lower 100, upper 0, so the up arrow proposes a delta of
// -1. Each arrow press sends UDN_DELTAPOS (iPos, iDelta) to the parent,
// also at the ends of the range; a non-zero result refuses the change.
// Otherwise the position moves by iDelta, kept inside the range (or
// wrapped with UDS_WRAP), and with UDS_SETBUDDYINT the buddy shows it in
// decimal. With UDS_SETBUDDYINT the position is read back from the
// buddy's text before each press and at GetPos.
class CSpinButtonCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper);
    void SetRange32(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    void GetRange32(int& nLower, int& nUpper) const;
    // Returns the previous position. The position is kept inside the range.
    int SetPos(int nPos);
    int SetPos32(int nPos) { return SetPos(nPos); }
    int GetPos() const;
    int GetPos32(BOOL* pError = nullptr) const;
    // Returns the previous buddy.
    CWnd* SetBuddy(CWnd* pWndBuddy);
    CWnd* GetBuddy() const;
};

// Buttons are laid out from the left of the client area, each of the
// button size (default 24 x 22); separators are iBitmap pixels wide (8 when
// 0); hidden buttons take no room. A click on an enabled button toggles a
// TBSTYLE_CHECK button and then sends WM_COMMAND (idCommand, BN_CLICKED) to
// the parent. Tooltips: TTN_NEEDTEXTW to the parent, falling back to the
// button's string.
class CToolBarCtrl : public CWnd {
public:
    // A new toolbar window as a child of pParentWnd.
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    // Adds the pictures of a bitmap resource (ui::registerBitmapResource),
    // split into nNumButtons equal parts side by side; returns the index of
    // the first one added, -1 on failure. A button shows image iBitmap
    // centred, greyed when disabled; an image whose bitmap is not
    // registered shows nothing.
    int AddBitmap(int nNumButtons, UINT nBitmapID);
    BOOL AddButtons(int nNumButtons, const TBBUTTON* pButtons);
    BOOL InsertButton(int nIndex, const TBBUTTON* pButton);
    BOOL DeleteButton(int nIndex);
    // Adds strings separated by zero characters and ended by two; returns
    // the index of the first.
    int AddStrings(LPCTSTR strings);
    int GetButtonCount() const;
    BOOL GetButton(int nIndex, TBBUTTON* pButton) const;
    // Index of the button with this command id, -1 when none.
    int CommandToIndex(UINT nID) const;
    BOOL EnableButton(int nID, BOOL bEnable = TRUE);
    BOOL IsButtonEnabled(int nID) const;
    BOOL CheckButton(int nID, BOOL bCheck = TRUE);
    BOOL IsButtonChecked(int nID) const;
    BOOL HideButton(int nID, BOOL bHide = TRUE);
    BOOL IsButtonHidden(int nID) const;
    BOOL SetButtonSize(CSize size);
    CSize GetButtonSize() const;
    BOOL SetBitmapSize(CSize size);
    CSize GetBitmapSize() const;
    int GetImageCount() const;
    // A button's rectangle in the toolbar's client coordinates.
    BOOL GetItemRect(int nIndex, LPRECT rect) const;
    // Without CCS_NORESIZE: as wide as the parent's client area and one
    // button high; at its top unless CCS_NOMOVEY.
    void AutoSize();
    // The tooltip of a button, asked of the parent as a tooltip would.
    CString GetToolTipText(UINT nID);
};

namespace ui {
// For edit boxes that check what is typed (OnChar without the default):
// reports the refused character as the toolkit's own boxes do, so that the
// typing event fails.
void refuseTyping(CWnd& edit, wchar_t ch, std::wstring_view why);
} // namespace ui
