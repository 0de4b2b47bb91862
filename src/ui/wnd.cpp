#include "ui/wnd.h"

#include "ui/detail/window.h"
#include "ui/session.h"

#include <algorithm>
#include <cwchar>
#include <string>

using namespace ui::detail;

namespace ui::detail {

HandlerTable* WndAccess::handlers(CWnd& w) { return w.m_handlers.get(); }

HandlerTable& WndAccess::ensureHandlers(CWnd& w)
{
    if (!w.m_handlers)
        w.m_handlers = std::make_unique<HandlerTable>();
    return *w.m_handlers;
}

void WndAccess::postNcDestroy(CWnd& w) { w.PostNcDestroy(); }

} // namespace ui::detail

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    if (m_hWnd)
        objectGone(this);
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    Window* w = lookup(hWnd);
    return w ? w->object : nullptr;
}

CWnd* CWnd::GetDesktopWindow() { return FromHandle(desktopWindow()); }

CWnd* CWnd::GetActiveWindow()
{
    mainWindow();
    return FromHandle(activeWindow());
}

CWnd* CWnd::GetFocus() { return FromHandle(focusWindow()); }

BOOL CWnd::SubclassWindow(HWND hWnd) { return attachObject(hWnd, this); }

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent)
        return FALSE;
    CWnd* item = pParent->GetDlgItem(static_cast<int>(nID));
    return item ? SubclassWindow(item->m_hWnd) : FALSE;
}

HWND CWnd::UnsubclassWindow() { return detachObject(m_hWnd); }

BOOL CWnd::DestroyWindow()
{
    if (!lookup(m_hWnd))
        return FALSE;
    destroyWindow(m_hWnd);
    return TRUE;
}

CWnd* CWnd::GetParent() const
{
    Window* w = lookup(m_hWnd);
    if (!w)
        return nullptr;
    // Top-level windows report their owner, as dialogs do on Windows.
    return FromHandle(w->parent);
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    Window* w = lookup(m_hWnd);
    if (!w)
        return nullptr;
    for (HWND c : w->children)
        if (Window* cw = lookup(c); cw && cw->id == nID)
            return cw->object;
    return nullptr;
}

int CWnd::GetDlgCtrlID() const
{
    Window* w = lookup(m_hWnd);
    return w ? w->id : 0;
}

DWORD CWnd::GetStyle() const
{
    Window* w = lookup(m_hWnd);
    return w ? w->style : 0;
}

DWORD CWnd::GetExStyle() const
{
    Window* w = lookup(m_hWnd);
    return w ? w->exStyle : 0;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT)
{
    Window* w = lookup(m_hWnd);
    if (!w)
        return FALSE;
    const DWORD before = w->style;
    w->style = (w->style & ~remove) | add;
    if (w->style != before)
        invalidate(*w, nullptr, true);
    return w->style != before;
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    Window* w = lookup(m_hWnd);
    if (!w)
        return FALSE;
    const BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (bEnable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    if (wasDisabled != !bEnable)
        invalidate(*w, nullptr, true);
    if (!bEnable && focusWindow() == m_hWnd)
        setFocus(nullptr);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const
{
    Window* w = lookup(m_hWnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    Window* w = lookup(m_hWnd);
    return w ? showWindow(*w, nCmdShow) : FALSE;
}

BOOL CWnd::IsWindowVisible() const
{
    Window* w = lookup(m_hWnd);
    return w && isVisible(*w);
}

void CWnd::SetWindowText(LPCTSTR text)
{
    if (Window* w = lookup(m_hWnd))
        setText(*w, text ? text : L"", true);
}

namespace {
std::wstring windowText(const Window& w)
{
    if (w.cls == WndClass::ComboBox && (w.style & 0x3) == CBS_DROPDOWNLIST)
        return w.curSel >= 0 && w.curSel < static_cast<int>(w.items.size()) ? w.items[static_cast<size_t>(w.curSel)].text
                                                                          : std::wstring();
    return w.text;
}
} // namespace

int CWnd::GetWindowText(LPTSTR buffer, int maxCount) const
{
    Window* w = lookup(m_hWnd);
    if (!buffer || maxCount <= 0)
        return 0;
    const std::wstring t = w ? windowText(*w) : std::wstring();
    const int n = std::min(static_cast<int>(t.size()), maxCount - 1);
    std::wmemcpy(buffer, t.data(), static_cast<size_t>(n));
    buffer[n] = L'\0';
    return n;
}

void CWnd::GetWindowText(CString& text) const
{
    Window* w = lookup(m_hWnd);
    text = w ? windowText(*w) : std::wstring();
}

int CWnd::GetWindowTextLength() const
{
    Window* w = lookup(m_hWnd);
    return w ? static_cast<int>(windowText(*w).size()) : 0;
}

void CWnd::GetWindowRect(LPRECT rect) const
{
    Window* w = lookup(m_hWnd);
    if (rect)
        *rect = w ? screenRect(*w) : CRect();
}

void CWnd::GetClientRect(LPRECT rect) const
{
    Window* w = lookup(m_hWnd);
    if (rect)
        *rect = w ? clientRect(*w) : CRect();
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL bRepaint)
{
    if (Window* w = lookup(m_hWnd))
        setRect(*w, CRect(x, y, x + width, y + height), bRepaint);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL bRepaint)
{
    if (rect)
        MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT nFlags)
{
    Window* w = lookup(m_hWnd);
    if (!w)
        return FALSE;
    CRect r = w->rect;
    if (!(nFlags & SWP_NOMOVE))
        r.MoveToXY(x, y);
    if (!(nFlags & SWP_NOSIZE)) {
        r.right = r.left + cx;
        r.bottom = r.top + cy;
    }
    setRect(*w, r, !(nFlags & SWP_NOREDRAW));
    if ((w = lookup(m_hWnd))) {
        if (nFlags & SWP_SHOWWINDOW)
            showWindow(*w, (nFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
        else if (nFlags & SWP_HIDEWINDOW)
            showWindow(*w, SW_HIDE);
    }
    return TRUE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    Window* w = lookup(m_hWnd);
    if (!w)
        return;
    Window* owner = lookup(pAlternateOwner ? pAlternateOwner->m_hWnd : w->parent);
    const CRect work = desktop().workArea;
    const CRect around = owner ? screenRect(*owner) : work;
    const CRect self = screenRect(*w);
    int x = around.left + (around.Width() - self.Width()) / 2;
    int y = around.top + (around.Height() - self.Height()) / 2;
    if (isTopLevel(*w)) {
        x = std::max(work.left, std::min(x, work.right - self.Width()));
        y = std::max(work.top, std::min(y, work.bottom - self.Height()));
    }
    CPoint p(x, y);
    if (!isTopLevel(*w))
        if (Window* parent = lookup(w->parent))
            p -= clientOrigin(*parent);
    setRect(*w, CRect(p, self.Size()), true);
}

void CWnd::ClientToScreen(LPPOINT point) const
{
    Window* w = lookup(m_hWnd);
    if (w && point) {
        const CPoint o = clientOrigin(*w);
        point->x += o.x;
        point->y += o.y;
    }
}

void CWnd::ClientToScreen(LPRECT rect) const
{
    Window* w = lookup(m_hWnd);
    if (w && rect)
        static_cast<CRect*>(rect)->OffsetRect(clientOrigin(*w));
}

void CWnd::ScreenToClient(LPPOINT point) const
{
    Window* w = lookup(m_hWnd);
    if (w && point) {
        const CPoint o = clientOrigin(*w);
        point->x -= o.x;
        point->y -= o.y;
    }
}

void CWnd::ScreenToClient(LPRECT rect) const
{
    Window* w = lookup(m_hWnd);
    if (w && rect) {
        const CPoint o = clientOrigin(*w);
        CRect r(*rect);
        r.OffsetRect(-o.x, -o.y);
        *rect = r;
    }
}

CWnd* CWnd::SetFocus()
{
    CWnd* old = FromHandle(focusWindow());
    if (lookup(m_hWnd))
        setFocus(m_hWnd);
    return old;
}

CWnd* CWnd::SetActiveWindow()
{
    mainWindow();
    CWnd* old = FromHandle(activeWindow());
    Window* w = lookup(m_hWnd);
    if (w) {
        Window* top = topLevel(*w);
        if (top)
            activate(top->hwnd, WA_ACTIVE);
    }
    return old;
}

void CWnd::Invalidate(BOOL bErase)
{
    if (Window* w = lookup(m_hWnd))
        invalidate(*w, nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT rect, BOOL bErase)
{
    if (Window* w = lookup(m_hWnd)) {
        if (rect) {
            const CRect r(*rect);
            invalidate(*w, &r, bErase);
        } else {
            invalidate(*w, nullptr, bErase);
        }
    }
}

void CWnd::ValidateRect(LPCRECT rect)
{
    Window* w = lookup(m_hWnd);
    if (!w)
        return;
    // The invalid area is kept as one rectangle: validating a part that
    // covers it clears it, a smaller part leaves it.
    if (!rect || (rect->left <= w->invalid.left && rect->top <= w->invalid.top && rect->right >= w->invalid.right &&
                  rect->bottom >= w->invalid.bottom))
        w->invalid.SetRectEmpty();
}

void CWnd::UpdateWindow()
{
    Window* w = lookup(m_hWnd);
    if (w && !w->invalid.IsRectEmpty() && isVisible(*w))
        send(m_hWnd, WM_PAINT);
    if ((w = lookup(m_hWnd)))
        w->invalid.SetRectEmpty();
}

BOOL CWnd::GetUpdateRect(LPRECT rect, BOOL)
{
    Window* w = lookup(m_hWnd);
    const CRect r = w ? w->invalid : CRect();
    if (rect)
        *rect = r;
    return !r.IsRectEmpty();
}

void CWnd::SetDlgItemText(int nID, LPCTSTR text)
{
    if (CWnd* c = GetDlgItem(nID))
        c->SetWindowText(text);
}

int CWnd::GetDlgItemText(int nID, CString& text) const
{
    CWnd* c = GetDlgItem(nID);
    if (!c) {
        text.Empty();
        return 0;
    }
    c->GetWindowText(text);
    return text.GetLength();
}

void CWnd::SetDlgItemInt(int nID, UINT value, BOOL bSigned)
{
    const std::wstring t = bSigned ? std::to_wstring(static_cast<int>(value)) : std::to_wstring(value);
    SetDlgItemText(nID, t.c_str());
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* ok, BOOL bSigned) const
{
    if (ok)
        *ok = FALSE;
    CString text;
    if (!GetDlgItem(nID))
        return 0;
    GetDlgItemText(nID, text);
    const std::wstring& s = text.str();
    size_t i = 0;
    while (i < s.size() && s[i] == L' ')
        ++i;
    bool neg = false;
    if (bSigned && i < s.size() && (s[i] == L'-' || s[i] == L'+'))
        neg = s[i++] == L'-';
    long long v = 0;
    size_t digits = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i, ++digits) {
        v = v * 10 + (s[i] - L'0');
        if (v > 0xFFFFFFFFLL)
            return 0;
    }
    while (i < s.size() && s[i] == L' ')
        ++i;
    if (!digits || i != s.size() || (bSigned && v > 0x80000000LL) || (bSigned && !neg && v > 0x7FFFFFFFLL))
        return 0;
    if (ok)
        *ok = TRUE;
    return static_cast<UINT>(neg ? -v : v);
}

void CWnd::CheckDlgButton(int nID, UINT nCheck)
{
    if (CWnd* c = GetDlgItem(nID))
        if (Window* w = lookup(c->m_hWnd); w && w->cls == WndClass::Button)
            setCheck(*w, static_cast<int>(nCheck));
}

UINT CWnd::IsDlgButtonChecked(int nID) const
{
    CWnd* c = GetDlgItem(nID);
    Window* w = c ? lookup(c->m_hWnd) : nullptr;
    return w && w->cls == WndClass::Button ? static_cast<UINT>(w->check) : 0;
}

void CWnd::CheckRadioButton(int nIDFirst, int nIDLast, int nIDCheck)
{
    for (int id = nIDFirst; id <= nIDLast; ++id)
        CheckDlgButton(id, id == nIDCheck ? BST_CHECKED : BST_UNCHECKED);
}

int CWnd::GetCheckedRadioButton(int nIDFirst, int nIDLast)
{
    for (int id = nIDFirst; id <= nIDLast; ++id)
        if (IsDlgButtonChecked(id) == BST_CHECKED)
            return id;
    return 0;
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* c = GetDlgItem(nID);
    return c ? c->SendMessage(message, wParam, lParam) : 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return send(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!lookup(m_hWnd))
        return FALSE;
    post(m_hWnd, message, wParam, lParam);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HandlerTable* t = WndAccess::handlers(*this))
        for (auto& m : t->messages)
            if (m.message == message) {
                auto fn = m.fn;
                return fn(wParam, lParam);
            }
    const CPoint pt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(wParam, lParam, &result))
            return result;
        break;
    }
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_RBUTTONDOWN:
        OnRButtonDown(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_RBUTTONUP:
        OnRButtonUp(static_cast<UINT>(wParam), pt);
        return 0;
    case WM_CHAR:
        OnChar(static_cast<UINT>(wParam), LOWORD(static_cast<DWORD_PTR>(lParam)), HIWORD(static_cast<DWORD_PTR>(lParam)));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam), FromHandle(reinterpret_cast<HWND>(lParam)), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_ACAD_KEEPFOCUS:
        return OnAcadKeepFocus(wParam, lParam);
    default:
        break;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return classProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const CurrentMessage* m = currentMessage();
    if (!m || m->hwnd != m_hWnd)
        return 0;
    return DefWindowProc(m->message, m->wParam, m->lParam);
}

void CWnd::MapCommand(UINT id, std::function<void()> fn)
{
    WndAccess::ensureHandlers(*this).commands.push_back({BN_CLICKED, id, id, [fn](UINT) { fn(); }});
}

void CWnd::MapCommandRange(UINT first, UINT last, std::function<void(UINT)> fn)
{
    WndAccess::ensureHandlers(*this).commands.push_back({BN_CLICKED, first, last, std::move(fn)});
}

void CWnd::MapControl(UINT code, UINT id, std::function<void()> fn)
{
    WndAccess::ensureHandlers(*this).commands.push_back({code, id, id, [fn](UINT) { fn(); }});
}

void CWnd::MapNotify(UINT code, UINT id, std::function<void(NMHDR*, LRESULT*)> fn)
{
    WndAccess::ensureHandlers(*this).notifies.push_back({code, id, id, std::move(fn)});
}

void CWnd::MapNotifyRange(UINT code, UINT first, UINT last, std::function<void(NMHDR*, LRESULT*)> fn)
{
    WndAccess::ensureHandlers(*this).notifies.push_back({code, first, last, std::move(fn)});
}

void CWnd::MapMessage(UINT message, std::function<LRESULT(WPARAM, LPARAM)> fn)
{
    WndAccess::ensureHandlers(*this).messages.push_back({message, std::move(fn)});
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    HandlerTable* t = WndAccess::handlers(*this);
    if (!t)
        return FALSE;
    const UINT id = LOWORD(wParam), code = HIWORD(wParam);
    for (auto& c : t->commands)
        if (c.code == code && id >= c.first && id <= c.last) {
            // A copy: the handler may change the table or destroy this.
            auto fn = c.fn;
            fn(id);
            return TRUE;
        }
    return FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    HandlerTable* t = WndAccess::handlers(*this);
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!t || !hdr)
        return FALSE;
    for (auto& n : t->notifies)
        if (n.code == hdr->code && hdr->idFrom >= n.first && hdr->idFrom <= n.last) {
            auto fn = n.fn;
            LRESULT r = 0;
            fn(hdr, &r);
            if (pResult)
                *pResult = r;
            return TRUE;
        }
    return FALSE;
}

void CWnd::OnLButtonDown(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_LBUTTONDOWN, nFlags, MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
}

void CWnd::OnLButtonUp(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_LBUTTONUP, nFlags, MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
}

void CWnd::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_LBUTTONDBLCLK, nFlags, MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
}

void CWnd::OnRButtonDown(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_RBUTTONDOWN, nFlags, MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
}

void CWnd::OnRButtonUp(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_RBUTTONUP, nFlags, MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
}

void CWnd::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    DefWindowProc(WM_CHAR, nChar, MAKELPARAM(static_cast<WORD>(nRepCnt), static_cast<WORD>(nFlags)));
}

void CWnd::OnPaint() { DefWindowProc(WM_PAINT, 0, 0); }

void CWnd::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
{
    DefWindowProc(WM_ACTIVATE, MAKEWPARAM(static_cast<WORD>(nState), static_cast<WORD>(bMinimized)),
                  reinterpret_cast<LPARAM>(pWndOther ? pWndOther->m_hWnd : nullptr));
}

void CWnd::OnClose() { DefWindowProc(WM_CLOSE, 0, 0); }

void CWnd::OnDestroy() {}

void CWnd::PostNcDestroy() {}

LRESULT CWnd::OnAcadKeepFocus(WPARAM, LPARAM) { return 0; }

CWnd* AfxGetMainWnd() { return CWnd::FromHandle(mainWindow()); }

BOOL CWnd::WinHelp(LPCTSTR file, UINT command, DWORD_PTR data)
{
    std::wstring line = L"help \"";
    line += file ? file : L"";
    line += L"\"";
    if (command == HELP_CONTEXT)
        line += L" context " + std::to_wstring(data);
    else
        line += L" command " + std::to_wstring(command) + L" data " + std::to_wstring(data);
    ui::print(line + L"\n");
    return TRUE;
}

namespace {
int g_waitCursors = 0;
}

CWaitCursor::CWaitCursor() { ++g_waitCursors; }

CWaitCursor::~CWaitCursor() { EndWaitCursor(); }

void BeginWaitCursor() { ++g_waitCursors; }

void EndWaitCursor()
{
    if (g_waitCursors > 0)
        --g_waitCursors;
}

int ui::waitCursorCount() { return g_waitCursors; }
