#include "ui/dialog.h"

#include "ui/controls.h"
#include "ui/detail/window.h"
#include "ui/dlgtemplate.h"
#include "ui/session.h"

#include <cerrno>
#include <cstdint>
#include <cwchar>

using namespace ui::detail;

namespace {

// Thrown by CDataExchange::Fail, caught by UpdateData.
struct DataExchangeFailure {};

struct KindInfo {
    WndClass cls;
    DWORD style;
};

KindInfo kindInfo(ui::ControlKind kind)
{
    using ui::ControlKind;
    switch (kind) {
    case ControlKind::PushButton:
        return {WndClass::Button, BS_PUSHBUTTON | WS_TABSTOP};
    case ControlKind::DefPushButton:
        return {WndClass::Button, BS_DEFPUSHBUTTON | WS_TABSTOP};
    case ControlKind::CheckBox:
        return {WndClass::Button, BS_AUTOCHECKBOX | WS_TABSTOP};
    case ControlKind::RadioButton:
        return {WndClass::Button, BS_AUTORADIOBUTTON};
    case ControlKind::GroupBox:
        return {WndClass::Button, BS_GROUPBOX};
    case ControlKind::Static:
        return {WndClass::Static, SS_LEFT};
    case ControlKind::Frame:
        return {WndClass::Static, SS_BLACKFRAME};
    case ControlKind::Picture:
        return {WndClass::Static, SS_BITMAP};
    case ControlKind::Edit:
        return {WndClass::Edit, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP};
    case ControlKind::ComboBox:
        return {WndClass::ComboBox, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
    case ControlKind::ListBox:
        return {WndClass::ListBox, LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP};
    case ControlKind::Spin:
        return {WndClass::Spin, UDS_ARROWKEYS};
    case ControlKind::Toolbar:
        return {WndClass::Toolbar, CCS_TOP | CCS_NODIVIDER | TBSTYLE_TOOLTIPS};
    }
    return {WndClass::Static, SS_LEFT};
}

void attachBuddy(Window& dlg, Window& spin, int buddyId)
{
    Window* buddy = nullptr;
    if (buddyId) {
        for (HWND c : dlg.children)
            if (Window* cw = lookup(c); cw && cw->id == buddyId && cw != &spin) {
                buddy = cw;
                break;
            }
    } else if (spin.style & UDS_AUTOBUDDY) {
        // The control created just before the spin.
        Window* previous = nullptr;
        for (HWND c : dlg.children) {
            if (c == spin.hwnd)
                break;
            previous = lookup(c);
        }
        buddy = previous;
    }
    if (!buddy)
        return;
    spin.buddy = buddy->hwnd;
    const int width = spin.rect.Width();
    if (spin.style & UDS_ALIGNRIGHT) {
        buddy->rect.right -= width;
        spin.rect = CRect(buddy->rect.right, buddy->rect.top, buddy->rect.right + width, buddy->rect.bottom);
    } else if (spin.style & UDS_ALIGNLEFT) {
        buddy->rect.left += width;
        spin.rect = CRect(buddy->rect.left - width, buddy->rect.top, buddy->rect.left, buddy->rect.bottom);
    }
}

// The text of a control as DDX sees it; sets it only when it differs, so a
// load does not send EN_CHANGE for nothing.
void setTextIfChanged(HWND h, const std::wstring& text)
{
    Window* w = lookup(h);
    if (!w)
        return;
    CString now;
    CWnd::FromHandle(h)->GetWindowText(now);
    if (now.str() != text)
        CWnd::FromHandle(h)->SetWindowText(text.c_str());
}

std::wstring textOf(HWND h)
{
    CString s;
    if (CWnd* w = CWnd::FromHandle(h))
        w->GetWindowText(s);
    return s.str();
}

bool onlyBlanks(const wchar_t* p)
{
    while (*p == L' ' || *p == L'\t')
        ++p;
    return *p == L'\0';
}

Window* listLike(HWND h)
{
    Window* w = lookup(h);
    return w && (w->cls == WndClass::ComboBox || w->cls == WndClass::ListBox) ? w : nullptr;
}

void exchangeIndex(CDataExchange* pDX, int nIDC, int& index)
{
    const HWND h = pDX->PrepareCtrl(nIDC);
    Window* w = listLike(h);
    if (!w)
        return;
    if (pDX->m_bSaveAndValidate) {
        index = w->curSel;
    } else {
        w->curSel = (index >= 0 && index < static_cast<int>(w->items.size())) ? index : -1;
        invalidate(*w, nullptr, true);
    }
}

void exchangeString(CDataExchange* pDX, int nIDC, CString& value, bool exact)
{
    const HWND h = pDX->PrepareCtrl(nIDC);
    Window* w = listLike(h);
    if (!w)
        return;
    if (pDX->m_bSaveAndValidate) {
        value = w->curSel >= 0 ? w->items[static_cast<size_t>(w->curSel)].text : std::wstring();
        return;
    }
    const int i = findItem(*w, -1, value.str(), exact);
    if (i >= 0) {
        w->curSel = i;
        invalidate(*w, nullptr, true);
    }
}

// The top-level window a dialog belongs to: the parent's, or the main
// window.
HWND ownerOf(CWnd* parent)
{
    if (parent)
        if (Window* p = lookup(parent->m_hWnd))
            return topLevel(*p)->hwnd;
    return mainWindow();
}

} // namespace

// CDialog ---------------------------------------------------------------------

CDialog::CDialog() = default;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

bool CDialog::createWindow(UINT nIDTemplate, CWnd* pParentWnd, bool modal)
{
    if (m_hWnd) {
        report(L"dialog " + std::to_wstring(nIDTemplate) + L" is already open");
        return false;
    }
    const ui::DialogTemplate* found = ui::findDialogTemplate(nIDTemplate);
    if (!found) {
        report(L"no dialog template " + std::to_wstring(nIDTemplate));
        return false;
    }
    // A copy: OnInitDialog may register templates.
    const ui::DialogTemplate t = *found;
    m_nIDTemplate = nIDTemplate;
    const HWND owner = ownerOf(pParentWnd);

    const CSize base = baseUnits(t.fontSize);
    const DWORD style = (t.style | WS_POPUP) & ~(WS_VISIBLE | WS_CHILD);
    Window& w = ui::detail::createWindow(WndClass::Dialog, owner, 0, style, CRect(), t.caption, this);
    w.templateId = nIDTemplate;
    w.name = t.name;
    w.modal = modal;
    w.baseX = base.cx;
    w.baseY = base.cy;
    w.pointSize = t.fontSize;
    w.fontName = t.fontName;
    const RECT in = insets(w);
    w.rect = CRect(0, 0, MulDiv(t.cx, base.cx, 4) + in.left + in.right, MulDiv(t.cy, base.cy, 8) + in.top + in.bottom);
    const HWND h = w.hwnd;

    for (const auto& c : t.controls) {
        const KindInfo k = kindInfo(c.kind);
        DWORD cs = k.style | c.style | WS_CHILD;
        if (!c.hidden)
            cs |= WS_VISIBLE;
        CRect r(MulDiv(c.rect.x, base.cx, 4), MulDiv(c.rect.y, base.cy, 8), 0, 0);
        r.right = r.left + MulDiv(c.rect.cx, base.cx, 4);
        r.bottom = r.top + MulDiv(c.rect.cy, base.cy, 8);
        if (k.cls == WndClass::ComboBox && (cs & 0x3) != CBS_SIMPLE)
            r.bottom = r.top + base.cy + 8;
        Window& cw = ui::detail::createWindow(k.cls, h, c.id, cs, r, c.text, nullptr);
        cw.name = c.name;
        if (c.kind == ui::ControlKind::DefPushButton)
            lookup(h)->defId = c.id;
    }
    for (const auto& c : t.controls) {
        if (c.kind != ui::ControlKind::Spin)
            continue;
        Window* dlg = lookup(h);
        for (HWND ch : dlg->children)
            if (Window* cw = lookup(ch); cw && cw->id == c.id && cw->cls == WndClass::Spin && !cw->buddy) {
                attachBuddy(*dlg, *cw, c.buddy);
                break;
            }
    }
    CenterWindow();

    const LRESULT defaultFocus = send(h, WM_INITDIALOG, 0, 0);
    Window* dlg = lookup(h);
    if (!dlg)
        return false;
    if (defaultFocus)
        for (HWND c : dlg->children)
            if (Window* cw = lookup(c); cw && (cw->style & WS_TABSTOP) && (cw->style & WS_VISIBLE) &&
                                         !(cw->style & WS_DISABLED)) {
                setFocus(c);
                break;
            }
    if (!modal && (t.style & WS_VISIBLE) && !dlg->ended)
        showWindow(*dlg, SW_SHOW);
    return true;
}

bool CDialog::ItemPoint(const std::wstring&, ItemClick&, std::wstring& why)
{
    why = L"no items to choose";
    return false;
}

INT_PTR CDialog::DoModal()
{
    m_nModalResult = -1;
    if (m_hWnd) {
        report(L"dialog " + std::to_wstring(m_nIDTemplate) + L" is already open");
        return -1;
    }
    // The owner is disabled before the dialog exists, so OnInitDialog
    // already sees it disabled.
    const HWND owner = ownerOf(m_pParentWnd);
    bool reenable = false;
    if (Window* o = lookup(owner); o && !(o->style & WS_DISABLED)) {
        o->style |= WS_DISABLED;
        reenable = true;
    }
    if (!createWindow(m_nIDTemplate, m_pParentWnd, true)) {
        if (Window* o = lookup(owner); o && reenable)
            o->style &= ~WS_DISABLED;
        return -1;
    }
    const HWND h = m_hWnd;
    // Whatever ends the loop, the owner comes back and the dialog goes.
    struct Finish {
        HWND h, owner;
        bool reenable;
        ~Finish()
        {
            if (reenable)
                if (Window* o = lookup(owner))
                    o->style &= ~WS_DISABLED;
            if (Window* w = lookup(h)) {
                showWindow(*w, SW_HIDE);
                destroyWindow(h);
            }
        }
    };
    int result = -1;
    {
        Finish finish{h, owner, reenable};
        Window* w = lookup(h);
        if (w && !w->ended)
            showWindow(*w, SW_SHOWNORMAL);
        while ((w = lookup(h)) && !w->ended) {
            ui::idle();
            if (!(w = lookup(h)) || w->ended)
                break;
            std::string line;
            ui::EventSource* src = ui::eventSource();
            // The end of input and Esc cancel the dialog, which ends even
            // when its OnCancel keeps it open.
            if (!src || !src->nextEvent(line) || ui::isEscapeLine(line)) {
                send(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                if ((w = lookup(h)) && !w->ended)
                    EndDialog(IDCANCEL);
                break;
            }
            ui::dispatchEvent(line);
        }
        result = m_nModalResult;
    }
    return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    return createWindow(nIDTemplate, m_pParentWnd, false) ? TRUE : FALSE;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    Window* w = lookup(m_hWnd);
    if (!w)
        return;
    w->ended = true;
    w->result = nResult;
    if (!w->modal)
        showWindow(*w, SW_HIDE);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    if (!lookup(m_hWnd))
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CDialog::MapDialogRect(LPRECT rect) const
{
    Window* w = lookup(m_hWnd);
    if (!w || !rect)
        return;
    rect->left = MulDiv(rect->left, w->baseX, 4);
    rect->right = MulDiv(rect->right, w->baseX, 4);
    rect->top = MulDiv(rect->top, w->baseY, 8);
    rect->bottom = MulDiv(rect->bottom, w->baseY, 8);
}

void CDialog::SetDefID(UINT nID)
{
    if (Window* w = lookup(m_hWnd))
        w->defId = static_cast<int>(nID);
}

DWORD CDialog::GetDefID() const
{
    Window* w = lookup(m_hWnd);
    return w ? MAKELONG(static_cast<WORD>(w->defId), 0x534B) : 0;
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl)
{
    if (pWndCtrl)
        pWndCtrl->SetFocus();
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CWnd::OnCommand(wParam, lParam))
        return TRUE;
    if (HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    if (LOWORD(wParam) == IDOK) {
        OnOK();
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    return CWnd::WindowProc(message, wParam, lParam);
}

// Data exchange ---------------------------------------------------------------

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
{
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    CWnd* ctl = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
    if (!ctl) {
        Window* dlg = m_pDlgWnd ? lookup(m_pDlgWnd->m_hWnd) : nullptr;
        report(L"dialog " + std::to_wstring(dlg ? dlg->templateId : 0) + L" has no control " + std::to_wstring(nIDC) +
               L" to exchange");
        Fail();
    }
    m_hWndLastControl = ctl->m_hWnd;
    return ctl->m_hWnd;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) { return PrepareCtrl(nIDC); }

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && lookup(m_hWndLastControl))
        setFocus(m_hWndLastControl);
    throw DataExchangeFailure{};
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    const HWND h = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = textOf(h);
    else
        setTextIfChanged(h, value.str());
}

namespace {

// An edit control's text as a whole number in [lo, hi]; a text that is not
// one, or out of range, tells the user `message` and fails the exchange.
long long exchangeInteger(CDataExchange* pDX, int nIDC, long long current, long long lo, long long hi,
                          const wchar_t* message)
{
    const HWND h = pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        setTextIfChanged(h, std::to_wstring(current));
        return current;
    }
    const std::wstring t = textOf(h);
    wchar_t* end = nullptr;
    errno = 0;
    const long long v = std::wcstoll(t.c_str(), &end, 10);
    if (end == t.c_str() || !onlyBlanks(end) || errno == ERANGE || v < lo || v > hi) {
        AfxMessageBox(message, MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    return v;
}

} // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    value = static_cast<int>(exchangeInteger(pDX, nIDC, value, INT32_MIN, INT32_MAX, L"Please enter an integer."));
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value)
{
    value = static_cast<UINT>(
        exchangeInteger(pDX, nIDC, value, 0, 0xFFFFFFFFLL, L"Please enter a positive integer."));
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value)
{
    const HWND h = pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        wchar_t buf[64];
        std::swprintf(buf, 64, L"%.15g", value);
        setTextIfChanged(h, buf);
        return;
    }
    const std::wstring t = textOf(h);
    wchar_t* end = nullptr;
    const double v = std::wcstod(t.c_str(), &end);
    if (end == t.c_str() || !onlyBlanks(end)) {
        AfxMessageBox(L"Please enter a number.", MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    value = v;
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    const HWND h = pDX->PrepareCtrl(nIDC);
    Window* w = lookup(h);
    if (!w || w->cls != WndClass::Button)
        return;
    if (pDX->m_bSaveAndValidate)
        value = w->check;
    else
        setCheck(*w, (value >= 0 && value <= 2) ? value : BST_UNCHECKED);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    const HWND h = pDX->PrepareCtrl(nIDC);
    Window* w = lookup(h);
    if (!w || w->cls != WndClass::Button)
        return;
    const std::vector<Window*> group = radioGroup(*w);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i)
            if (group[i]->check == BST_CHECKED) {
                value = static_cast<int>(i);
                break;
            }
        return;
    }
    for (size_t i = 0; i < group.size(); ++i)
        setCheck(*group[i], static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED);
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) { exchangeIndex(pDX, nIDC, index); }
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value) { exchangeString(pDX, nIDC, value, false); }
void DDX_CBStringExact(CDataExchange* pDX, int nIDC, CString& value) { exchangeString(pDX, nIDC, value, true); }
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index) { exchangeIndex(pDX, nIDC, index); }
void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value) { exchangeString(pDX, nIDC, value, false); }
void DDX_LBStringExact(CDataExchange* pDX, int nIDC, CString& value) { exchangeString(pDX, nIDC, value, true); }

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    const HWND h = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(h)) {
        report(L"control " + std::to_wstring(nIDC) + L" is already bound to another object");
        pDX->Fail();
    }
}
