// The window table: creating, destroying and looking up windows, their
// objects, and their geometry and state.
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/window_internal.h"

#include <algorithm>

namespace ui::detail {

// Never destroyed: objects may outlive static destruction order.
State& st()
{
    static State* s = new State;
    return *s;
}

namespace {

std::unique_ptr<CWnd> makeStock(WndClass cls)
{
    switch (cls) {
    case WndClass::Button:
        return std::make_unique<CButton>();
    case WndClass::Static:
        return std::make_unique<CStatic>();
    case WndClass::Edit:
        return std::make_unique<CEdit>();
    case WndClass::ComboBox:
        return std::make_unique<CComboBox>();
    case WndClass::ListBox:
        return std::make_unique<CListBox>();
    case WndClass::Spin:
        return std::make_unique<CSpinButtonCtrl>();
    case WndClass::Toolbar:
        return std::make_unique<CToolBarCtrl>();
    case WndClass::Dialog:
        return std::make_unique<CDialog>();
    default:
        return std::make_unique<CWnd>();
    }
}

void ensureStock(Window& w)
{
    if (!w.stock) {
        w.stock = makeStock(w.cls);
        w.stock->m_hWnd = w.hwnd;
    }
}

bool isAncestor(HWND ancestor, HWND h)
{
    for (Window* w = lookup(h); w; w = isTopLevel(*w) ? nullptr : lookup(w->parent))
        if (w->hwnd == ancestor)
            return true;
    return false;
}

// The window that becomes active when w stops being so.
HWND fallbackActive(const Window& w)
{
    Window* owner = lookup(w.parent);
    if (owner && owner->hwnd != w.hwnd && isTopLevel(*owner) && isVisible(*owner) &&
        !(owner->style & WS_DISABLED) && owner->cls != WndClass::Desktop)
        return owner->hwnd;
    return mainWindow();
}

void sendDestroy(HWND h)
{
    send(h, WM_DESTROY);
    Window* w = lookup(h);
    if (!w)
        return;
    const std::vector<HWND> kids = w->children;
    for (HWND c : kids)
        if (lookup(c))
            sendDestroy(c);
}

void sendNcDestroy(HWND h)
{
    Window* w = lookup(h);
    if (!w)
        return;
    const std::vector<HWND> kids = w->children;
    for (HWND c : kids)
        sendNcDestroy(c);
    send(h, WM_NCDESTROY);
    w = lookup(h);
    if (!w)
        return;
    CWnd* obj = w->object;
    w->object = nullptr;
    if (w->stock)
        w->stock->m_hWnd = nullptr;
    if (obj) {
        obj->m_hWnd = nullptr;
        if (obj != w->stock.get())
            WndAccess::postNcDestroy(*obj);
    }
}

void forget(HWND h)
{
    auto it = st().windows.find(key(h));
    if (it == st().windows.end())
        return;
    const std::vector<HWND> kids = it->second->children;
    for (HWND c : kids)
        forget(c);
    st().windows.erase(key(h));
}

} // namespace

// Window table ------------------------------------------------------------

Window* lookup(HWND h)
{
    if (!h)
        return nullptr;
    auto it = st().windows.find(key(h));
    return it == st().windows.end() ? nullptr : it->second.get();
}

Window& createWindow(WndClass cls, HWND parent, int id, DWORD style, const CRect& rect, std::wstring text,
                     CWnd* object)
{
    auto w = std::make_unique<Window>();
    w->hwnd = reinterpret_cast<HWND>(st().nextHandle++);
    w->cls = cls;
    w->id = id;
    w->style = style;
    w->rect = rect;
    w->text = std::move(text);
    w->parent = parent;
    if (Window* p = lookup(parent)) {
        if (style & WS_CHILD)
            p->children.push_back(w->hwnd);
        w->baseX = p->baseX;
        w->baseY = p->baseY;
        w->pointSize = p->pointSize;
        w->fontName = p->fontName;
    }
    if (object) {
        w->object = object;
        w->ownedByObject = true;
        object->m_hWnd = w->hwnd;
    } else {
        ensureStock(*w);
        w->object = w->stock.get();
    }
    Window& ref = *w;
    st().windows.emplace(key(w->hwnd), std::move(w));
    if (style & WS_VISIBLE)
        invalidate(ref, nullptr, true);
    return ref;
}

void destroyWindow(HWND h)
{
    Window* w = lookup(h);
    if (!w || w->destroying)
        return;
    w->destroying = true;
    // Owned top-level windows go first.
    for (HWND o : allWindows()) {
        Window* ow = lookup(o);
        if (ow && o != h && ow->parent == h && isTopLevel(*ow))
            destroyWindow(o);
    }
    w = lookup(h);
    if (!w)
        return;
    if (isTopLevel(*w) && (w->style & WS_VISIBLE)) {
        w->style &= ~WS_VISIBLE;
        if (st().active == h)
            activate(fallbackActive(*w), WA_ACTIVE);
    }
    if (st().active == h)
        st().active = nullptr;
    if (st().focus && isAncestor(h, st().focus))
        st().focus = nullptr;
    sendDestroy(h);
    sendNcDestroy(h);
    w = lookup(h);
    if (!w)
        return;
    if (Window* p = lookup(w->parent))
        std::erase(p->children, h);
    forget(h);
    for (auto& [k, other] : st().windows)
        if (other->cls == WndClass::Spin && other->buddy && !lookup(other->buddy))
            other->buddy = nullptr;
    if (st().desktop == h)
        st().desktop = nullptr;
    if (st().main == h)
        st().main = nullptr;
}

void objectGone(CWnd* object)
{
    Window* w = lookup(object->m_hWnd);
    object->m_hWnd = nullptr;
    if (!w || w->object != object || w->stock.get() == object)
        return;
    ensureStock(*w);
    w->object = w->stock.get();
    if ((w->ownedByObject || w->cls == WndClass::Dialog) && !w->destroying)
        destroyWindow(w->hwnd);
}

bool attachObject(HWND h, CWnd* object)
{
    Window* w = lookup(h);
    if (!w || object->m_hWnd)
        return false;
    if (w->object && w->object != w->stock.get())
        return false;
    w->object = object;
    object->m_hWnd = h;
    return true;
}

HWND detachObject(HWND h)
{
    Window* w = lookup(h);
    if (!w || w->object == w->stock.get())
        return nullptr;
    CWnd* obj = w->object;
    ensureStock(*w);
    w->object = w->stock.get();
    w->ownedByObject = false;
    obj->m_hWnd = nullptr;
    return h;
}

std::vector<HWND> allWindows()
{
    std::vector<HWND> out;
    out.reserve(st().windows.size());
    for (auto& [k, w] : st().windows)
        out.push_back(w->hwnd);
    return out;
}

void destroyAll()
{
    for (HWND h : allWindows()) {
        Window* w = lookup(h);
        if (w && isTopLevel(*w) && w->cls != WndClass::Desktop && h != st().main)
            destroyWindow(h);
    }
    for (HWND h : allWindows())
        destroyWindow(h);
    st().active = st().focus = nullptr;
    st().posted.clear();
}

// Geometry and state ------------------------------------------------------------

bool isTopLevel(const Window& w) { return !(w.style & WS_CHILD); }

bool isVisible(const Window& w)
{
    for (const Window* p = &w; p; p = isTopLevel(*p) ? nullptr : lookup(p->parent))
        if (!(p->style & WS_VISIBLE))
            return false;
    return true;
}

bool isEnabled(const Window& w)
{
    for (const Window* p = &w; p; p = isTopLevel(*p) ? nullptr : lookup(p->parent))
        if (p->style & WS_DISABLED)
            return false;
    return true;
}

RECT insets(const Window& w)
{
    RECT r{0, 0, 0, 0};
    if (w.cls == WndClass::Desktop || w.cls == WndClass::Frame)
        return r;
    auto all = [&r](int n) { r.left += n; r.top += n; r.right += n; r.bottom += n; };
    if ((w.style & WS_CAPTION) == WS_CAPTION) {
        all(3);
        r.top += 23;
    } else if ((w.style & WS_DLGFRAME) || (w.cls == WndClass::Dialog && (w.style & DS_MODALFRAME))) {
        all(3);
    } else if (w.style & WS_BORDER) {
        all(1);
    }
    if (w.exStyle & WS_EX_CLIENTEDGE)
        all(2);
    return r;
}

CPoint clientOrigin(const Window& w)
{
    const RECT in = insets(w);
    CPoint p(w.rect.left + in.left, w.rect.top + in.top);
    if (!isTopLevel(w))
        if (Window* parent = lookup(w.parent))
            p += clientOrigin(*parent);
    return p;
}

CRect screenRect(const Window& w)
{
    CRect r = w.rect;
    if (!isTopLevel(w))
        if (Window* parent = lookup(w.parent))
            r.OffsetRect(clientOrigin(*parent));
    return r;
}

CRect clientRect(const Window& w)
{
    const RECT in = insets(w);
    return CRect(0, 0, std::max(0, w.rect.Width() - in.left - in.right),
                 std::max(0, w.rect.Height() - in.top - in.bottom));
}

void setRect(Window& w, const CRect& r, bool repaint)
{
    if (w.rect == r)
        return;
    w.rect = r;
    if (repaint)
        invalidateTree(w);
}

void invalidate(Window& w, const CRect* r, bool erase)
{
    CRect area = clientRect(w);
    if (r) {
        CRect clipped;
        if (!clipped.IntersectRect(r, &area))
            return;
        area = clipped;
    }
    if (area.IsRectEmpty())
        return;
    w.invalid.UnionRect(&w.invalid, &area);
    w.erase = w.erase || erase;
}

void invalidateTree(Window& w)
{
    invalidate(w, nullptr, true);
    for (HWND c : w.children)
        if (Window* cw = lookup(c))
            invalidateTree(*cw);
}

Window* topLevel(Window& w)
{
    Window* p = &w;
    while (p && !isTopLevel(*p))
        p = lookup(p->parent);
    return p;
}

bool showWindow(Window& w, int cmd)
{
    const bool was = (w.style & WS_VISIBLE) != 0;
    const HWND h = w.hwnd;
    if (cmd == SW_HIDE) {
        if (!was)
            return false;
        w.style &= ~WS_VISIBLE;
        if (!isTopLevel(w))
            if (Window* p = lookup(w.parent))
                invalidate(*p, &w.rect, true);
        if (st().focus && isAncestor(h, st().focus))
            st().focus = nullptr;
        if (isTopLevel(w) && st().active == h)
            activate(fallbackActive(w), WA_ACTIVE);
        return true;
    }
    if (!was) {
        w.style |= WS_VISIBLE;
        invalidateTree(w);
    }
    if (isTopLevel(w) && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE)
        activate(h, WA_ACTIVE);
    return was;
}

void activate(HWND h, UINT how)
{
    State& s = st();
    const HWND old = s.active;
    if (old == h)
        return;
    s.active = h;
    if (lookup(old))
        send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(h));
    if (lookup(h) && s.active == h)
        send(h, WM_ACTIVATE, MAKEWPARAM(static_cast<WORD>(how), 0),
             reinterpret_cast<LPARAM>(lookup(old) ? old : nullptr));
}

HWND activeWindow() { return lookup(st().active) ? st().active : nullptr; }
HWND focusWindow() { return lookup(st().focus) ? st().focus : nullptr; }
void setFocus(HWND h) { st().focus = lookup(h) ? h : nullptr; }

void setText(Window& w, std::wstring text, bool notify)
{
    if (w.cls == WndClass::ComboBox && (w.style & 0x3) == CBS_DROPDOWNLIST) {
        // A drop-down list shows its selection; setting text selects the
        // item with exactly that text, if any.
        const int i = findItem(w, -1, text, true);
        if (i >= 0)
            w.curSel = i;
        invalidate(w, nullptr, true);
        return;
    }
    w.text = std::move(text);
    invalidate(w, nullptr, true);
    if (w.cls == WndClass::Edit) {
        w.selStart = w.selEnd = 0;
        if (notify && !(w.style & ES_MULTILINE))
            notifyParent(w, EN_CHANGE);
    }
}

} // namespace ui::detail

BOOL IsWindow(HWND hWnd) { return ui::detail::lookup(hWnd) != nullptr; }
