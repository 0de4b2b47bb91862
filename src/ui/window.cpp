#include "ui/controls.h"
#include "ui/detail/text.h"
#include "ui/detail/window.h"
#include "ui/detail/paint.h"
#include "ui/dialog.h"
#include "ui/session.h"

#include <algorithm>
#include <deque>
#include <map>

namespace ui::detail {
namespace {

struct Posted {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

struct State {
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::uintptr_t nextHandle = 1;
    HWND desktop = nullptr;
    HWND main = nullptr;
    HWND active = nullptr;
    HWND focus = nullptr;
    Desktop desk;
    std::deque<Posted> posted;
    std::vector<CurrentMessage> messages;
};

// Never destroyed: objects may outlive static destruction order.
State& st()
{
    static State* s = new State;
    return *s;
}

std::uintptr_t key(HWND h) { return reinterpret_cast<std::uintptr_t>(h); }

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

int parseInt(const std::wstring& s, bool& ok)
{
    ok = false;
    size_t i = 0;
    while (i < s.size() && (s[i] == L' ' || s[i] == L'\t'))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == L'-' || s[i] == L'+'))
        neg = s[i++] == L'-';
    long long v = 0;
    size_t digits = 0;
    while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') {
        v = v * 10 + (s[i++] - L'0');
        if (v > 0x7FFFFFFFLL)
            return 0;
        ++digits;
    }
    while (i < s.size() && (s[i] == L' ' || s[i] == L'\t'))
        ++i;
    if (!digits || i != s.size())
        return 0;
    ok = true;
    return static_cast<int>(neg ? -v : v);
}

// Button behaviour ------------------------------------------------------

void buttonClicked(Window& w)
{
    switch (w.style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
        setCheck(w, w.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
        break;
    case BS_AUTO3STATE:
        setCheck(w, (w.check + 1) % 3);
        break;
    case BS_AUTORADIOBUTTON:
        checkRadioInGroup(w);
        break;
    default:
        break;
    }
    notifyParent(w, BN_CLICKED);
}

LRESULT buttonProc(Window& w, UINT message, WPARAM, LPARAM lParam)
{
    const DWORD type = w.style & BS_TYPEMASK;
    if (type == BS_GROUPBOX)
        return 0;
    switch (message) {
    case WM_LBUTTONDBLCLK:
        if ((w.style & BS_NOTIFY) || type == BS_RADIOBUTTON) {
            notifyParent(w, BN_DOUBLECLICKED);
            return 0;
        }
        [[fallthrough]];
    case WM_LBUTTONDOWN:
        w.pressed = true;
        setFocus(w.hwnd);
        invalidate(w, nullptr, true);
        return 0;
    case WM_LBUTTONUP: {
        if (!w.pressed)
            return 0;
        w.pressed = false;
        invalidate(w, nullptr, true);
        const CPoint p(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (clientRect(w).PtInRect(p))
            buttonClicked(w);
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT staticProc(Window& w, UINT message)
{
    if (!(w.style & SS_NOTIFY))
        return 0;
    if (message == WM_LBUTTONDOWN)
        notifyParent(w, STN_CLICKED);
    else if (message == WM_LBUTTONDBLCLK)
        notifyParent(w, STN_DBLCLK);
    return 0;
}

LRESULT editProc(Window& w, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        setFocus(w.hwnd);
        return 0;
    case WM_CHAR:
        editChar(w, static_cast<wchar_t>(wParam));
        return 0;
    default:
        return 0;
    }
}

LRESULT listProc(Window& w, UINT message, LPARAM lParam)
{
    if (message != WM_LBUTTONDOWN && message != WM_LBUTTONDBLCLK)
        return 0;
    setFocus(w.hwnd);
    const int index = w.topIndex + GET_Y_LPARAM(lParam) / std::max(1, w.baseY);
    if (index < 0 || index >= static_cast<int>(w.items.size()))
        return 0;
    const HWND h = w.hwnd;
    if (message == WM_LBUTTONDOWN) {
        userSelect(w, index);
    } else if (Window* again = lookup(h); again && (again->style & LBS_NOTIFY)) {
        notifyParent(*again, LBN_DBLCLK);
    }
    return 0;
}

LRESULT comboProc(Window& w, UINT message)
{
    if (message == WM_LBUTTONDOWN) {
        setFocus(w.hwnd);
        notifyParent(w, CBN_DROPDOWN);
    }
    return 0;
}

LRESULT spinProc(Window& w, UINT message, LPARAM lParam)
{
    if (message != WM_LBUTTONDOWN && message != WM_LBUTTONDBLCLK)
        return 0;
    const CRect c = clientRect(w);
    const CPoint p(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    const bool up = (w.style & UDS_HORZ) ? p.x >= c.Width() / 2 : p.y < c.Height() / 2;
    spinPress(w, up);
    return 0;
}

LRESULT toolbarProc(Window& w, UINT message, LPARAM lParam)
{
    const CPoint p(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const int i = toolbarHit(w, p);
        w.pressedButton = (i >= 0 && (w.buttons[static_cast<size_t>(i)].fsState & TBSTATE_ENABLED)) ? i : -1;
        return 0;
    }
    case WM_LBUTTONUP: {
        const int pressed = w.pressedButton;
        w.pressedButton = -1;
        if (pressed >= 0 && toolbarHit(w, p) == pressed)
            toolbarClick(w, pressed);
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT dialogProc(Window& w, UINT message)
{
    if (message == WM_CLOSE) {
        for (HWND c : w.children) {
            Window* cw = lookup(c);
            if (cw && cw->id == IDCANCEL) {
                if (!isEnabled(*cw))
                    return 0;
                return send(w.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(c));
            }
        }
        return send(w.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return 0;
}

} // namespace

void userSelect(Window& w, int index)
{
    w.curSel = index;
    invalidate(w, nullptr, true);
    if (w.cls == WndClass::ComboBox)
        notifyParent(w, CBN_SELCHANGE);
    else if (w.style & LBS_NOTIFY)
        notifyParent(w, LBN_SELCHANGE);
}

int& refusedChars()
{
    static int n = 0;
    return n;
}

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

// Messages ------------------------------------------------------------------

LRESULT send(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* w = lookup(h);
    if (!w || !w->object)
        return 0;
    CWnd* obj = w->object;
    auto& stack = st().messages;
    stack.push_back({h, message, wParam, lParam});
    struct Pop {
        std::vector<CurrentMessage>& s;
        ~Pop() { s.pop_back(); }
    } pop{stack};
    return obj->WindowProc(message, wParam, lParam);
}

void post(HWND h, UINT message, WPARAM wParam, LPARAM lParam) { postAt(h, message, wParam, lParam, 0); }

void postAt(HWND h, UINT message, WPARAM wParam, LPARAM lParam, DWORD delay)
{
    st().posted.push_back({h, message, wParam, lParam, desktop().clock + delay});
}

namespace {
void advanceClock(DWORD time)
{
    if (static_cast<std::int32_t>(time - desktop().clock) > 0)
        desktop().clock = time;
}
} // namespace

void runPosted()
{
    // Only what was waiting when we started: a handler that posts again
    // waits for the next idle time.
    size_t n = st().posted.size();
    while (n-- > 0 && !st().posted.empty()) {
        const Posted p = st().posted.front();
        st().posted.pop_front();
        advanceClock(p.time);
        send(p.hwnd, p.message, p.wParam, p.lParam);
    }
}

void clearPosted() { st().posted.clear(); }

void runPaints()
{
    for (HWND h : allWindows()) {
        Window* w = lookup(h);
        if (!w || w->invalid.IsRectEmpty() || !isVisible(*w))
            continue;
        send(h, WM_PAINT);
        if ((w = lookup(h)))
            w->invalid.SetRectEmpty();
    }
}

const CurrentMessage* currentMessage()
{
    return st().messages.empty() ? nullptr : &st().messages.back();
}

void notifyParent(Window& ctl, UINT code)
{
    if (!ctl.parent || isTopLevel(ctl))
        return;
    send(ctl.parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(ctl.id), static_cast<WORD>(code)),
         reinterpret_cast<LPARAM>(ctl.hwnd));
}

LRESULT classProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* w = lookup(h);
    if (!w)
        return 0;
    if (message == WM_PAINT) {
        // As BeginPaint: only what is still invalid (or never painted) gets
        // the class's look.
        if (!w->invalid.IsRectEmpty() || !w->surface)
            paintClassLook(*w);
        w->invalid.SetRectEmpty();
        w->erase = false;
        return 0;
    }
    if (!isEnabled(*w) && message >= WM_MOUSEMOVE && message <= WM_RBUTTONDBLCLK)
        return 0;
    switch (w->cls) {
    case WndClass::Button:
        return buttonProc(*w, message, wParam, lParam);
    case WndClass::Static:
        return staticProc(*w, message);
    case WndClass::Edit:
        return editProc(*w, message, wParam);
    case WndClass::ListBox:
        return listProc(*w, message, lParam);
    case WndClass::ComboBox:
        return comboProc(*w, message);
    case WndClass::Spin:
        return spinProc(*w, message, lParam);
    case WndClass::Toolbar:
        return toolbarProc(*w, message, lParam);
    case WndClass::Dialog:
        return dialogProc(*w, message);
    default:
        return 0;
    }
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

// Controls ------------------------------------------------------------------

void setCheck(Window& w, int state)
{
    if (w.check != state) {
        w.check = state;
        invalidate(w, nullptr, true);
    }
}

std::vector<Window*> radioGroup(Window& w)
{
    std::vector<Window*> group;
    Window* parent = lookup(w.parent);
    if (!parent)
        return group;
    const auto& kids = parent->children;
    auto self = std::find(kids.begin(), kids.end(), w.hwnd);
    if (self == kids.end())
        return group;
    // Back to the group's first control, then forward to the next group.
    auto first = self;
    while (first != kids.begin()) {
        Window* cw = lookup(*first);
        if (cw && (cw->style & WS_GROUP))
            break;
        --first;
    }
    for (auto it = first; it != kids.end(); ++it) {
        Window* cw = lookup(*it);
        if (!cw)
            continue;
        if (it != first && (cw->style & WS_GROUP))
            break;
        const DWORD type = cw->style & BS_TYPEMASK;
        if (cw->cls == WndClass::Button && (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON))
            group.push_back(cw);
    }
    return group;
}

void checkRadioInGroup(Window& w)
{
    for (Window* r : radioGroup(w))
        setCheck(*r, r == &w ? BST_CHECKED : BST_UNCHECKED);
    setCheck(w, BST_CHECKED);
}

bool isSorted(const Window& w)
{
    return w.cls == WndClass::ComboBox ? (w.style & CBS_SORT) != 0 : (w.style & LBS_SORT) != 0;
}

int addItem(Window& w, const std::wstring& text, bool sorted)
{
    size_t at = w.items.size();
    // After the last item that does not sort after the text (the items are
    // in order): a binary search, so that filling a long sorted list stays
    // fast.
    if (sorted)
        at = static_cast<size_t>(std::upper_bound(w.items.begin(), w.items.end(), text,
                                                  [](const std::wstring& t, const ListItem& item) {
                                                      return compareNoCase(t, item.text) < 0;
                                                  })
                                 - w.items.begin());
    w.items.insert(w.items.begin() + static_cast<std::ptrdiff_t>(at), ListItem{text, 0});
    if (w.curSel >= static_cast<int>(at))
        ++w.curSel;
    invalidate(w, nullptr, true);
    return static_cast<int>(at);
}

int findItem(const Window& w, int startAfter, const std::wstring& text, bool exact)
{
    const int n = static_cast<int>(w.items.size());
    if (n == 0)
        return -1;
    const int start = (startAfter < 0 || startAfter >= n) ? 0 : startAfter + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        const std::wstring& t = w.items[static_cast<size_t>(i)].text;
        if (exact ? compareNoCase(t, text) == 0 : startsWithNoCase(t, text))
            return i;
    }
    return -1;
}

int spinPos(Window& w)
{
    if ((w.style & UDS_SETBUDDYINT) && lookup(w.buddy)) {
        bool ok = false;
        const int v = parseInt(lookup(w.buddy)->text, ok);
        if (ok)
            w.pos = std::clamp(v, std::min(w.lower, w.upper), std::max(w.lower, w.upper));
    }
    return w.pos;
}

void spinSetPos(Window& w, int pos)
{
    w.pos = std::clamp(pos, std::min(w.lower, w.upper), std::max(w.lower, w.upper));
    if ((w.style & UDS_SETBUDDYINT))
        if (Window* b = lookup(w.buddy))
            setText(*b, std::to_wstring(w.pos), true);
}

bool spinPress(Window& w, bool up)
{
    const HWND h = w.hwnd;
    const int pos = spinPos(w);
    const bool rising = w.upper >= w.lower;
    NMUPDOWN nm{};
    nm.hdr.hwndFrom = h;
    nm.hdr.idFrom = static_cast<UINT_PTR>(w.id);
    nm.hdr.code = UDN_DELTAPOS;
    nm.iPos = pos;
    nm.iDelta = (up == rising) ? 1 : -1;
    const LRESULT refused = w.parent ? send(w.parent, WM_NOTIFY, static_cast<WPARAM>(w.id), reinterpret_cast<LPARAM>(&nm)) : 0;
    Window* again = lookup(h);
    if (!again || refused)
        return false;
    const int lo = std::min(again->lower, again->upper), hi = std::max(again->lower, again->upper);
    int np = pos + nm.iDelta;
    if (np < lo)
        np = (again->style & UDS_WRAP) ? hi : lo;
    else if (np > hi)
        np = (again->style & UDS_WRAP) ? lo : hi;
    if (np == pos)
        return false;
    spinSetPos(*again, np);
    return true;
}

CRect toolbarItemRect(const Window& w, int index)
{
    int x = 0;
    for (int i = 0; i < static_cast<int>(w.buttons.size()); ++i) {
        const TBBUTTON& b = w.buttons[static_cast<size_t>(i)];
        if (b.fsState & TBSTATE_HIDDEN) {
            if (i == index)
                return CRect();
            continue;
        }
        const int width = (b.fsStyle & TBSTYLE_SEP) ? (b.iBitmap > 0 ? b.iBitmap : 8) : w.buttonSize.cx;
        if (i == index)
            return CRect(x, 0, x + width, w.buttonSize.cy);
        x += width;
    }
    return CRect();
}

int toolbarHit(Window& w, CPoint p)
{
    for (int i = 0; i < static_cast<int>(w.buttons.size()); ++i) {
        const TBBUTTON& b = w.buttons[static_cast<size_t>(i)];
        if ((b.fsStyle & TBSTYLE_SEP) || (b.fsState & TBSTATE_HIDDEN))
            continue;
        if (toolbarItemRect(w, i).PtInRect(p))
            return i;
    }
    return -1;
}

void toolbarClick(Window& w, int index)
{
    TBBUTTON& b = w.buttons[static_cast<size_t>(index)];
    if (b.fsStyle & TBSTYLE_CHECK)
        b.fsState ^= TBSTATE_CHECKED;
    invalidate(w, nullptr, true);
    if (w.parent)
        send(w.parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(b.idCommand), BN_CLICKED),
             reinterpret_cast<LPARAM>(w.hwnd));
}

std::wstring toolTipText(Window& w, int index)
{
    if (!(w.style & TBSTYLE_TOOLTIPS) || index < 0 || index >= static_cast<int>(w.buttons.size()))
        return {};
    const TBBUTTON b = w.buttons[static_cast<size_t>(index)];
    const HWND self = w.hwnd;
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = w.hwnd;
    info.hdr.idFrom = static_cast<UINT_PTR>(b.idCommand);
    info.hdr.code = TTN_NEEDTEXTW;
    if (w.parent)
        send(w.parent, WM_NOTIFY, static_cast<WPARAM>(b.idCommand), reinterpret_cast<LPARAM>(&info));
    std::wstring text = info.lpszText ? std::wstring(info.lpszText) : std::wstring(info.szText);
    Window* again = lookup(self);
    if (text.empty() && again && b.iString >= 0 && b.iString < static_cast<INT_PTR>(again->strings.size()))
        text = again->strings[static_cast<size_t>(b.iString)];
    return text;
}

bool editChar(Window& w, wchar_t ch)
{
    if (w.style & ES_READONLY) {
        report(L"edit box " + std::to_wstring(w.id) + L" is read-only");
        ++refusedChars();
        return false;
    }
    int a = std::min(w.selStart, w.selEnd), b = std::max(w.selStart, w.selEnd);
    const int len = static_cast<int>(w.text.size());
    a = std::clamp(a, 0, len);
    b = std::clamp(b, 0, len);
    if (ch == static_cast<wchar_t>(VK_BACK)) {
        if (a == b && a > 0)
            --a;
        if (a == b)
            return true;
        w.text.erase(static_cast<size_t>(a), static_cast<size_t>(b - a));
        w.selStart = w.selEnd = a;
        invalidate(w, nullptr, true);
        notifyParent(w, EN_CHANGE);
        return true;
    }
    if (ch < 32)
        return true;
    if ((w.style & ES_NUMBER) && !(ch >= L'0' && ch <= L'9')) {
        report(L"unacceptable character '" + std::wstring(1, ch) + L"': edit box " + std::to_wstring(w.id) +
               L" takes digits only");
        ++refusedChars();
        return false;
    }
    const UINT limit = w.limit ? w.limit : 30000;
    if (static_cast<UINT>(len - (b - a) + 1) > limit) {
        report(L"edit box " + std::to_wstring(w.id) + L" is full (" + std::to_wstring(limit) + L" characters)");
        ++refusedChars();
        notifyParent(w, EN_MAXTEXT);
        return false;
    }
    if (w.style & ES_UPPERCASE)
        ch = static_cast<wchar_t>(ch >= L'a' && ch <= L'z' ? ch - 32 : ch);
    else if (w.style & ES_LOWERCASE)
        ch = foldCase(ch);
    w.text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), 1, ch);
    w.selStart = w.selEnd = a + 1;
    invalidate(w, nullptr, true);
    notifyParent(w, EN_CHANGE);
    return true;
}

bool isTransparent(const Window& w)
{
    if (w.cls == WndClass::Static)
        return !(w.style & SS_NOTIFY);
    return w.cls == WndClass::Button && (w.style & BS_TYPEMASK) == BS_GROUPBOX;
}

const wchar_t* className(const Window& w)
{
    switch (w.cls) {
    case WndClass::Desktop:
        return L"desktop";
    case WndClass::Frame:
        return L"frame";
    case WndClass::Dialog:
        return L"dialog";
    case WndClass::Button:
        switch (w.style & BS_TYPEMASK) {
        case BS_DEFPUSHBUTTON:
            return L"default-button";
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return L"checkbox";
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return L"radio";
        case BS_GROUPBOX:
            return L"groupbox";
        default:
            return L"button";
        }
    case WndClass::Static:
        switch (w.style & SS_TYPEMASK) {
        case SS_BLACKFRAME:
        case SS_ETCHEDFRAME:
            return L"frame";
        case SS_BITMAP:
        case SS_ICON:
            return L"picture";
        default:
            return L"static";
        }
    case WndClass::Edit:
        return L"edit";
    case WndClass::ComboBox:
        return L"combo";
    case WndClass::ListBox:
        return L"list";
    case WndClass::Spin:
        return L"spin";
    case WndClass::Toolbar:
        return L"toolbar";
    }
    return L"window";
}

// Desktop -------------------------------------------------------------------

Desktop& desktop() { return st().desk; }

HWND desktopWindow()
{
    State& s = st();
    if (!lookup(s.desktop)) {
        Window& w = createWindow(WndClass::Desktop, nullptr, 0, WS_POPUP | WS_VISIBLE,
                                 CRect(0, 0, s.desk.screen.cx, s.desk.screen.cy), L"", nullptr);
        s.desktop = w.hwnd;
    }
    return s.desktop;
}

HWND mainWindow()
{
    State& s = st();
    if (!lookup(s.main)) {
        Window& w = createWindow(WndClass::Frame, nullptr, 0, WS_OVERLAPPED | WS_VISIBLE, s.desk.workArea,
                                 L"ctrlsch", nullptr);
        s.main = w.hwnd;
        if (!lookup(s.active))
            s.active = s.main;
    }
    return s.main;
}

CSize baseUnits(int pointSize)
{
    const int h = std::max(1, (pointSize * 96 + 71) / 72);
    return CSize((h + 1) / 2, h + 2);
}

} // namespace ui::detail

// Free Win32 functions --------------------------------------------------------

int GetSystemMetrics(int nIndex)
{
    const auto& d = ui::detail::desktop();
    switch (nIndex) {
    case SM_CXSCREEN:
        return d.screen.cx;
    case SM_CYSCREEN:
        return d.screen.cy;
    case SM_CXFULLSCREEN:
        return d.workArea.Width();
    case SM_CYFULLSCREEN:
        return d.workArea.Height() - 23;
    case SM_CYCAPTION:
        return 23;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    default:
        return 0;
    }
}

BOOL SystemParametersInfo(UINT uiAction, UINT, PVOID pvParam, UINT)
{
    if (!pvParam)
        return FALSE;
    if (uiAction == SPI_GETWORKAREA) {
        *static_cast<RECT*>(pvParam) = ui::detail::desktop().workArea;
        return TRUE;
    }
    if (uiAction == SPI_SETWORKAREA) {
        ui::setWorkArea(CRect(*static_cast<RECT*>(pvParam)));
        return TRUE;
    }
    return FALSE;
}

UINT GetDoubleClickTime() { return ui::detail::desktop().doubleClickTime; }

BOOL SetDoubleClickTime(UINT ms)
{
    ui::detail::desktop().doubleClickTime = ms ? ms : 500;
    return TRUE;
}

BOOL IsWindow(HWND hWnd) { return ui::detail::lookup(hWnd) != nullptr; }

BOOL PeekMessage(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    using namespace ui::detail;
    auto& queue = st().posted;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (hWnd && it->hwnd != hWnd)
            continue;
        if ((filterMin || filterMax) && (it->message < filterMin || it->message > filterMax))
            continue;
        if (msg) {
            *msg = MSG{it->hwnd, it->message, it->wParam, it->lParam, it->time, POINT{0, 0}};
            const UINT m = it->message;
            if (m >= WM_MOUSEMOVE && m <= WM_RBUTTONDBLCLK)
                msg->pt = POINT{GET_X_LPARAM(it->lParam), GET_Y_LPARAM(it->lParam)};
        }
        if (removeMsg & PM_REMOVE) {
            advanceClock(it->time);
            queue.erase(it);
        }
        return TRUE;
    }
    desktop().clock += 10;
    return FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessage(const MSG* msg)
{
    return msg ? ui::detail::send(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

DWORD GetTickCount() { return ui::detail::desktop().clock; }

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long n = static_cast<long long>(a) * b;
    long long q = n / c;
    const long long r = n % c;
    // Round halves away from zero.
    if (2 * (r < 0 ? -r : r) >= (c < 0 ? -c : c))
        q += ((n < 0) != (c < 0)) ? -1 : 1;
    return static_cast<int>(q);
}
