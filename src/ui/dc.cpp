#include "ui/dc.h"

#include "ui/detail/window.h"

using namespace ui::detail;

CPaintDC::CPaintDC(CWnd* pWnd)
{
    m_pWnd = pWnd;
    Window* w = pWnd ? lookup(pWnd->m_hWnd) : nullptr;
    if (!w)
        return;
    // The handle is only a token until contexts draw into bitmaps.
    m_hDC = reinterpret_cast<HDC>(pWnd->m_hWnd);
    m_ps.hdc = m_hDC;
    m_ps.fErase = w->erase ? TRUE : FALSE;
    m_ps.rcPaint = w->invalid;
    w->invalid.SetRectEmpty();
    w->erase = false;
}

CPaintDC::~CPaintDC() = default;
