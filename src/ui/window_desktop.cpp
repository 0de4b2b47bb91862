// The desktop: screen, work area, double-click time, the desktop and main
// windows, and the system metrics they answer.
#include "ui/session.h"
#include "ui/window_internal.h"

#include <algorithm>

namespace ui::detail {

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
