// The message queue and its clock: sent, posted and peeked messages.
#include "ui/window_internal.h"

namespace ui::detail {

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

} // namespace ui::detail

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
