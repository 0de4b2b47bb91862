#include "ui/controls.h"

#include "ui/detail/window.h"

#include <algorithm>
#include <cwchar>

using namespace ui::detail;

namespace {

Window* as(HWND h, WndClass cls)
{
    Window* w = lookup(h);
    return w && w->cls == cls ? w : nullptr;
}

Window* listLike(HWND h)
{
    Window* w = lookup(h);
    return w && (w->cls == WndClass::ComboBox || w->cls == WndClass::ListBox) ? w : nullptr;
}

int count(HWND h)
{
    Window* w = listLike(h);
    return w ? static_cast<int>(w->items.size()) : -1;
}

int curSel(HWND h)
{
    Window* w = listLike(h);
    return w ? w->curSel : -1;
}

int setCurSel(HWND h, int index)
{
    Window* w = listLike(h);
    if (!w)
        return -1;
    const bool valid = index >= 0 && index < static_cast<int>(w->items.size());
    w->curSel = valid ? index : -1;
    invalidate(*w, nullptr, true);
    return valid ? index : -1;
}

int addString(HWND h, LPCTSTR text)
{
    Window* w = listLike(h);
    if (!w || !text)
        return -1;
    return addItem(*w, text, isSorted(*w));
}

int insertString(HWND h, int index, LPCTSTR text)
{
    Window* w = listLike(h);
    if (!w || !text || index > static_cast<int>(w->items.size()))
        return -1;
    const int at = index < 0 ? static_cast<int>(w->items.size()) : index;
    w->items.insert(w->items.begin() + at, ListItem{text, 0});
    if (w->curSel >= at)
        ++w->curSel;
    invalidate(*w, nullptr, true);
    return at;
}

int deleteString(HWND h, UINT index)
{
    Window* w = listLike(h);
    if (!w || index >= w->items.size())
        return -1;
    const int i = static_cast<int>(index);
    w->items.erase(w->items.begin() + i);
    if (w->curSel == i)
        w->curSel = -1;
    else if (w->curSel > i)
        --w->curSel;
    w->topIndex = std::min(w->topIndex, std::max(0, static_cast<int>(w->items.size()) - 1));
    invalidate(*w, nullptr, true);
    return static_cast<int>(w->items.size());
}

void resetContent(HWND h)
{
    if (Window* w = listLike(h)) {
        w->items.clear();
        w->curSel = -1;
        w->topIndex = 0;
        invalidate(*w, nullptr, true);
    }
}

const ListItem* item(HWND h, int index)
{
    Window* w = listLike(h);
    if (!w || index < 0 || index >= static_cast<int>(w->items.size()))
        return nullptr;
    return &w->items[static_cast<size_t>(index)];
}

int itemText(HWND h, int index, LPTSTR buffer)
{
    const ListItem* it = item(h, index);
    if (!it)
        return -1;
    if (buffer) {
        std::wmemcpy(buffer, it->text.data(), it->text.size());
        buffer[it->text.size()] = L'\0';
    }
    return static_cast<int>(it->text.size());
}

void itemText(HWND h, int index, CString& text)
{
    const ListItem* it = item(h, index);
    text = it ? it->text : std::wstring();
}

int find(HWND h, int startAfter, LPCTSTR text, bool exact)
{
    Window* w = listLike(h);
    return w && text ? findItem(*w, startAfter, text, exact) : -1;
}

int selectString(HWND h, int startAfter, LPCTSTR text)
{
    const int i = find(h, startAfter, text, false);
    if (i >= 0)
        setCurSel(h, i);
    return i;
}

int setItemData(HWND h, int index, DWORD_PTR data)
{
    Window* w = listLike(h);
    if (!w || index < 0 || index >= static_cast<int>(w->items.size()))
        return -1;
    w->items[static_cast<size_t>(index)].data = data;
    return 0;
}

DWORD_PTR itemData(HWND h, int index)
{
    const ListItem* it = item(h, index);
    return it ? it->data : static_cast<DWORD_PTR>(-1);
}

TBBUTTON* buttonById(Window* w, int id)
{
    if (!w)
        return nullptr;
    for (auto& b : w->buttons)
        if (b.idCommand == id && !(b.fsStyle & TBSTYLE_SEP))
            return &b;
    return nullptr;
}

BOOL setButtonState(HWND h, int id, BYTE bit, bool on)
{
    Window* w = as(h, WndClass::Toolbar);
    TBBUTTON* b = buttonById(w, id);
    if (!b)
        return FALSE;
    if (on)
        b->fsState |= bit;
    else
        b->fsState &= static_cast<BYTE>(~bit);
    invalidate(*w, nullptr, true);
    return TRUE;
}

BOOL buttonState(HWND h, int id, BYTE bit)
{
    TBBUTTON* b = buttonById(as(h, WndClass::Toolbar), id);
    return b && (b->fsState & bit) ? TRUE : FALSE;
}

} // namespace

// CButton ---------------------------------------------------------------------

int CButton::GetCheck() const
{
    Window* w = as(m_hWnd, WndClass::Button);
    return w ? w->check : BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck)
{
    if (Window* w = as(m_hWnd, WndClass::Button))
        setCheck(*w, nCheck);
}

UINT CButton::GetState() const
{
    Window* w = as(m_hWnd, WndClass::Button);
    return w ? static_cast<UINT>(w->check | (w->pressed ? BST_PUSHED : 0)) : 0;
}

void CButton::SetState(BOOL bHighlight)
{
    if (Window* w = as(m_hWnd, WndClass::Button)) {
        w->pressed = bHighlight != FALSE;
        invalidate(*w, nullptr, true);
    }
}

UINT CButton::GetButtonStyle() const
{
    Window* w = as(m_hWnd, WndClass::Button);
    return w ? (w->style & 0xFFFF) : 0;
}

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw)
{
    if (Window* w = as(m_hWnd, WndClass::Button)) {
        w->style = (w->style & 0xFFFF0000u) | (nStyle & 0xFFFF);
        if (bRedraw)
            invalidate(*w, nullptr, true);
    }
}

// CEdit -------------------------------------------------------------------------

void CEdit::SetSel(int nStart, int nEnd, BOOL)
{
    Window* w = as(m_hWnd, WndClass::Edit);
    if (!w)
        return;
    const int len = static_cast<int>(w->text.size());
    if (nStart < 0) {
        w->selStart = w->selEnd = std::clamp(w->selEnd, 0, len);
        return;
    }
    w->selStart = std::min(nStart, len);
    w->selEnd = nEnd < 0 ? len : std::min(nEnd, len);
}

void CEdit::GetSel(int& nStart, int& nEnd) const
{
    Window* w = as(m_hWnd, WndClass::Edit);
    nStart = w ? std::min(w->selStart, w->selEnd) : 0;
    nEnd = w ? std::max(w->selStart, w->selEnd) : 0;
}

void CEdit::ReplaceSel(LPCTSTR text, BOOL)
{
    Window* w = as(m_hWnd, WndClass::Edit);
    if (!w)
        return;
    const int len = static_cast<int>(w->text.size());
    const int a = std::clamp(std::min(w->selStart, w->selEnd), 0, len);
    const int b = std::clamp(std::max(w->selStart, w->selEnd), 0, len);
    const std::wstring t = text ? text : L"";
    w->text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), t);
    w->selStart = w->selEnd = a + static_cast<int>(t.size());
    invalidate(*w, nullptr, true);
    notifyParent(*w, EN_CHANGE);
}

void CEdit::SetLimitText(UINT nMax)
{
    if (Window* w = as(m_hWnd, WndClass::Edit))
        w->limit = nMax;
}

UINT CEdit::GetLimitText() const
{
    Window* w = as(m_hWnd, WndClass::Edit);
    return w ? (w->limit ? w->limit : 30000) : 0;
}

BOOL CEdit::SetReadOnly(BOOL bReadOnly)
{
    Window* w = as(m_hWnd, WndClass::Edit);
    if (!w)
        return FALSE;
    if (bReadOnly)
        w->style |= ES_READONLY;
    else
        w->style &= ~ES_READONLY;
    return TRUE;
}

// CComboBox and CListBox ----------------------------------------------------------

int CComboBox::GetCount() const { return count(m_hWnd); }
int CComboBox::GetCurSel() const { return curSel(m_hWnd); }
int CComboBox::SetCurSel(int nSelect) { return setCurSel(m_hWnd, nSelect); }
int CComboBox::AddString(LPCTSTR text) { return addString(m_hWnd, text); }
int CComboBox::InsertString(int nIndex, LPCTSTR text) { return insertString(m_hWnd, nIndex, text); }
int CComboBox::DeleteString(UINT nIndex) { return deleteString(m_hWnd, nIndex); }
void CComboBox::ResetContent() { resetContent(m_hWnd); }
int CComboBox::GetLBText(int nIndex, LPTSTR buffer) const { return itemText(m_hWnd, nIndex, buffer); }
void CComboBox::GetLBText(int nIndex, CString& text) const { itemText(m_hWnd, nIndex, text); }
int CComboBox::GetLBTextLen(int nIndex) const { return itemText(m_hWnd, nIndex, nullptr); }
int CComboBox::FindString(int nStartAfter, LPCTSTR text) const { return find(m_hWnd, nStartAfter, text, false); }
int CComboBox::FindStringExact(int nIndexStart, LPCTSTR text) const { return find(m_hWnd, nIndexStart, text, true); }
int CComboBox::SelectString(int nStartAfter, LPCTSTR text) { return selectString(m_hWnd, nStartAfter, text); }
DWORD_PTR CComboBox::GetItemData(int nIndex) const { return itemData(m_hWnd, nIndex); }
int CComboBox::SetItemData(int nIndex, DWORD_PTR data) { return setItemData(m_hWnd, nIndex, data); }

int CListBox::GetCount() const { return count(m_hWnd); }
int CListBox::GetCurSel() const { return curSel(m_hWnd); }
int CListBox::SetCurSel(int nSelect) { return setCurSel(m_hWnd, nSelect); }
int CListBox::AddString(LPCTSTR text) { return addString(m_hWnd, text); }
int CListBox::InsertString(int nIndex, LPCTSTR text) { return insertString(m_hWnd, nIndex, text); }
int CListBox::DeleteString(UINT nIndex) { return deleteString(m_hWnd, nIndex); }
void CListBox::ResetContent() { resetContent(m_hWnd); }
int CListBox::GetText(int nIndex, LPTSTR buffer) const { return itemText(m_hWnd, nIndex, buffer); }
void CListBox::GetText(int nIndex, CString& text) const { itemText(m_hWnd, nIndex, text); }
int CListBox::GetTextLen(int nIndex) const { return itemText(m_hWnd, nIndex, nullptr); }
int CListBox::FindString(int nStartAfter, LPCTSTR text) const { return find(m_hWnd, nStartAfter, text, false); }
int CListBox::FindStringExact(int nIndexStart, LPCTSTR text) const { return find(m_hWnd, nIndexStart, text, true); }
int CListBox::SelectString(int nStartAfter, LPCTSTR text) { return selectString(m_hWnd, nStartAfter, text); }
DWORD_PTR CListBox::GetItemData(int nIndex) const { return itemData(m_hWnd, nIndex); }
int CListBox::SetItemData(int nIndex, DWORD_PTR data) { return setItemData(m_hWnd, nIndex, data); }

int CListBox::GetTopIndex() const
{
    Window* w = listLike(m_hWnd);
    return w ? w->topIndex : -1;
}

int CListBox::SetTopIndex(int nIndex)
{
    Window* w = listLike(m_hWnd);
    if (!w || nIndex < 0 || nIndex >= static_cast<int>(w->items.size()))
        return LB_ERR;
    w->topIndex = nIndex;
    invalidate(*w, nullptr, true);
    return 0;
}

int CListBox::GetItemHeight(int) const
{
    Window* w = listLike(m_hWnd);
    return w ? w->baseY : LB_ERR;
}

// CSpinButtonCtrl -------------------------------------------------------------

void CSpinButtonCtrl::SetRange(short nLower, short nUpper) { SetRange32(nLower, nUpper); }

void CSpinButtonCtrl::SetRange32(int nLower, int nUpper)
{
    if (Window* w = as(m_hWnd, WndClass::Spin)) {
        w->lower = nLower;
        w->upper = nUpper;
        w->pos = std::clamp(w->pos, std::min(nLower, nUpper), std::max(nLower, nUpper));
    }
}

void CSpinButtonCtrl::GetRange(int& nLower, int& nUpper) const { GetRange32(nLower, nUpper); }

void CSpinButtonCtrl::GetRange32(int& nLower, int& nUpper) const
{
    Window* w = as(m_hWnd, WndClass::Spin);
    nLower = w ? w->lower : 0;
    nUpper = w ? w->upper : 0;
}

int CSpinButtonCtrl::SetPos(int nPos)
{
    Window* w = as(m_hWnd, WndClass::Spin);
    if (!w)
        return 0;
    const int old = w->pos;
    spinSetPos(*w, nPos);
    return old;
}

int CSpinButtonCtrl::GetPos() const
{
    Window* w = as(m_hWnd, WndClass::Spin);
    return w ? spinPos(*w) : 0;
}

int CSpinButtonCtrl::GetPos32(BOOL* pError) const
{
    if (pError)
        *pError = as(m_hWnd, WndClass::Spin) ? FALSE : TRUE;
    return GetPos();
}

CWnd* CSpinButtonCtrl::SetBuddy(CWnd* pWndBuddy)
{
    Window* w = as(m_hWnd, WndClass::Spin);
    if (!w)
        return nullptr;
    CWnd* old = FromHandle(w->buddy);
    w->buddy = pWndBuddy ? pWndBuddy->m_hWnd : nullptr;
    return old;
}

CWnd* CSpinButtonCtrl::GetBuddy() const
{
    Window* w = as(m_hWnd, WndClass::Spin);
    return w ? FromHandle(w->buddy) : nullptr;
}

// CToolBarCtrl -------------------------------------------------------------------

BOOL CToolBarCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (m_hWnd || !pParentWnd || !lookup(pParentWnd->m_hWnd))
        return FALSE;
    createWindow(WndClass::Toolbar, pParentWnd->m_hWnd, static_cast<int>(nID), dwStyle | WS_CHILD, CRect(rect), L"",
                 this);
    return TRUE;
}

int CToolBarCtrl::AddBitmap(int nNumButtons, UINT nBitmapID)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || nNumButtons <= 0)
        return -1;
    const int first = w->images;
    w->images += nNumButtons;
    w->bitmaps.emplace_back(nBitmapID, nNumButtons);
    invalidate(*w, nullptr, true);
    return first;
}

BOOL CToolBarCtrl::AddButtons(int nNumButtons, const TBBUTTON* pButtons)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || !pButtons || nNumButtons < 0)
        return FALSE;
    w->buttons.insert(w->buttons.end(), pButtons, pButtons + nNumButtons);
    invalidate(*w, nullptr, true);
    return TRUE;
}

BOOL CToolBarCtrl::InsertButton(int nIndex, const TBBUTTON* pButton)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || !pButton || nIndex < 0 || nIndex > static_cast<int>(w->buttons.size()))
        return FALSE;
    w->buttons.insert(w->buttons.begin() + nIndex, *pButton);
    invalidate(*w, nullptr, true);
    return TRUE;
}

BOOL CToolBarCtrl::DeleteButton(int nIndex)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || nIndex < 0 || nIndex >= static_cast<int>(w->buttons.size()))
        return FALSE;
    w->buttons.erase(w->buttons.begin() + nIndex);
    invalidate(*w, nullptr, true);
    return TRUE;
}

int CToolBarCtrl::AddStrings(LPCTSTR strings)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || !strings)
        return -1;
    const int first = static_cast<int>(w->strings.size());
    for (const wchar_t* p = strings; *p; p += std::wcslen(p) + 1)
        w->strings.emplace_back(p);
    return first;
}

int CToolBarCtrl::GetButtonCount() const
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    return w ? static_cast<int>(w->buttons.size()) : 0;
}

BOOL CToolBarCtrl::GetButton(int nIndex, TBBUTTON* pButton) const
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || !pButton || nIndex < 0 || nIndex >= static_cast<int>(w->buttons.size()))
        return FALSE;
    *pButton = w->buttons[static_cast<size_t>(nIndex)];
    return TRUE;
}

int CToolBarCtrl::CommandToIndex(UINT nID) const
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w)
        return -1;
    for (size_t i = 0; i < w->buttons.size(); ++i)
        if (w->buttons[i].idCommand == static_cast<int>(nID) && !(w->buttons[i].fsStyle & TBSTYLE_SEP))
            return static_cast<int>(i);
    return -1;
}

BOOL CToolBarCtrl::EnableButton(int nID, BOOL bEnable) { return setButtonState(m_hWnd, nID, TBSTATE_ENABLED, bEnable); }
BOOL CToolBarCtrl::IsButtonEnabled(int nID) const { return buttonState(m_hWnd, nID, TBSTATE_ENABLED); }
BOOL CToolBarCtrl::CheckButton(int nID, BOOL bCheck) { return setButtonState(m_hWnd, nID, TBSTATE_CHECKED, bCheck); }
BOOL CToolBarCtrl::IsButtonChecked(int nID) const { return buttonState(m_hWnd, nID, TBSTATE_CHECKED); }
BOOL CToolBarCtrl::HideButton(int nID, BOOL bHide) { return setButtonState(m_hWnd, nID, TBSTATE_HIDDEN, bHide); }
BOOL CToolBarCtrl::IsButtonHidden(int nID) const { return buttonState(m_hWnd, nID, TBSTATE_HIDDEN); }

BOOL CToolBarCtrl::SetButtonSize(CSize size)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || size.cx <= 0 || size.cy <= 0)
        return FALSE;
    w->buttonSize = size;
    invalidate(*w, nullptr, true);
    return TRUE;
}

CSize CToolBarCtrl::GetButtonSize() const
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    return w ? w->buttonSize : CSize();
}

BOOL CToolBarCtrl::SetBitmapSize(CSize size)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || size.cx <= 0 || size.cy <= 0)
        return FALSE;
    w->bitmapSize = size;
    return TRUE;
}

CSize CToolBarCtrl::GetBitmapSize() const
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    return w ? w->bitmapSize : CSize();
}

int CToolBarCtrl::GetImageCount() const
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    return w ? w->images : 0;
}

BOOL CToolBarCtrl::GetItemRect(int nIndex, LPRECT rect) const
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || !rect || nIndex < 0 || nIndex >= static_cast<int>(w->buttons.size()))
        return FALSE;
    *rect = toolbarItemRect(*w, nIndex);
    return TRUE;
}

void CToolBarCtrl::AutoSize()
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    if (!w || (w->style & CCS_NORESIZE))
        return;
    Window* parent = lookup(w->parent);
    const int width = parent ? clientRect(*parent).Width() : w->rect.Width();
    const int top = (w->style & CCS_NOMOVEY) ? w->rect.top : 0;
    setRect(*w, CRect(0, top, width, top + w->buttonSize.cy), true);
}

CString CToolBarCtrl::GetToolTipText(UINT nID)
{
    Window* w = as(m_hWnd, WndClass::Toolbar);
    const int i = CommandToIndex(nID);
    return w && i >= 0 ? CString(toolTipText(*w, i)) : CString();
}

void ui::refuseTyping(CWnd& edit, wchar_t ch, std::wstring_view why)
{
    ui::detail::report(L"unacceptable character '" + std::wstring(1, ch) + L"': edit box " +
                       std::to_wstring(edit.GetDlgCtrlID()) + L" " + std::wstring(why));
    ++ui::detail::refusedChars();
}
