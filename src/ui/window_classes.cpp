// The class procedures: how buttons, statics, edits, lists, combos, spins,
// toolbars and dialogs answer messages, and the control operations they use.
#include "ui/detail/paint.h"
#include "ui/detail/text.h"
#include "ui/window_internal.h"

#include <algorithm>

namespace ui::detail {

namespace {

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

} // namespace ui::detail
