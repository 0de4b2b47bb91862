#include "ui/dc.h"

#include "ui/detail/paint.h"
#include "ui/detail/window.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

using namespace ui::detail;

// --- GDI objects ---------------------------------------------------------

BOOL CBitmap::CreateBitmap(int nWidth, int nHeight, UINT, UINT, const void* lpBits)
{
    if (nWidth <= 0 || nHeight <= 0)
        return FALSE;
    m_pixels = std::make_shared<Pixels>(nWidth, nHeight, RGB(0, 0, 0));
    if (lpBits)
        std::memcpy(m_pixels->px.data(), lpBits, m_pixels->px.size() * sizeof(COLORREF));
    return TRUE;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int nWidth, int nHeight) { return CreateBitmap(nWidth, nHeight); }

int CBitmap::GetBitmap(BITMAP* b) const
{
    if (!m_pixels || !b)
        return 0;
    *b = BITMAP{0, m_pixels->width, m_pixels->height, m_pixels->width * 4, 1, 32, m_pixels->px.data()};
    return static_cast<int>(sizeof(BITMAP));
}

CSize CBitmap::GetSize() const { return m_pixels ? CSize(m_pixels->width, m_pixels->height) : CSize(0, 0); }

COLORREF CBitmap::GetPixel(int x, int y) const
{
    return m_pixels && m_pixels->inside(x, y) ? m_pixels->at(x, y) : CLR_INVALID;
}

void CBitmap::SetPixel(int x, int y, COLORREF c)
{
    if (m_pixels && m_pixels->inside(x, y))
        m_pixels->at(x, y) = c;
}

BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor)
{
    m_style = nPenStyle;
    m_width = std::max(1, nWidth);
    m_color = crColor;
    return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor)
{
    m_null = false;
    m_color = crColor;
    return TRUE;
}

// --- CDC -----------------------------------------------------------------

CDC::CDC() = default;
CDC::~CDC() = default;

BOOL CDC::CreateCompatibleDC(CDC*)
{
    m_target.reset();
    m_bitmap = nullptr;
    m_hDC = reinterpret_cast<HDC>(this);
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    m_target.reset();
    m_bitmap = nullptr;
    m_hDC = nullptr;
    return TRUE;
}

void CDC::attachWindow(CWnd* pWnd)
{
    m_pWnd = pWnd;
    Window* w = pWnd ? lookup(pWnd->m_hWnd) : nullptr;
    if (!w)
        return;
    m_target = backing(*w);
    m_hDC = reinterpret_cast<HDC>(pWnd->m_hWnd);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap)
{
    CBitmap* old = m_bitmap;
    m_bitmap = pBitmap;
    m_target = pBitmap ? pBitmap->m_pixels : nullptr;
    return old;
}

CPen* CDC::SelectObject(CPen* pPen)
{
    CPen* old = m_pen;
    m_pen = pPen ? pPen : &m_defaultPen;
    return old;
}

CBrush* CDC::SelectObject(CBrush* pBrush)
{
    CBrush* old = m_brush;
    m_brush = pBrush ? pBrush : &m_defaultBrush;
    return old;
}

int CDC::SetROP2(int nDrawMode)
{
    int old = m_rop2;
    m_rop2 = nDrawMode;
    return old;
}

COLORREF CDC::SetTextColor(COLORREF c) { return std::exchange(m_textColor, c); }
COLORREF CDC::SetBkColor(COLORREF c) { return std::exchange(m_bkColor, c); }
int CDC::SetBkMode(int nBkMode) { return std::exchange(m_bkMode, nBkMode); }

void CDC::plot(int x, int y, COLORREF c, bool rop)
{
    if (!m_target || !m_target->inside(x, y))
        return;
    COLORREF& d = m_target->at(x, y);
    if (!rop) {
        d = c;
        return;
    }
    switch (m_rop2) {
    case R2_NOT:
        d = ~d & 0x00FFFFFF;
        break;
    case R2_XORPEN:
        d = (d ^ c) & 0x00FFFFFF;
        break;
    default:
        d = c;
        break;
    }
}

CPoint CDC::MoveTo(int x, int y)
{
    CPoint old = m_pos;
    m_pos = CPoint(x, y);
    return old;
}

BOOL CDC::LineTo(int x, int y)
{
    const int x0 = m_pos.x, y0 = m_pos.y;
    m_pos = CPoint(x, y);
    if (!m_target || m_pen->m_style == PS_NULL)
        return TRUE;
    // Bresenham; each pixel of the stroke is touched once, so that XOR and
    // NOT drawing undo themselves.
    const int w = m_pen->m_width;
    std::vector<std::pair<int, int>> pts;
    int dx = std::abs(x - x0), dy = -std::abs(y - y0);
    int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    int cx = x0, cy = y0;
    while (cx != x || cy != y) {
        pts.emplace_back(cx, cy);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            cx += sx;
        }
        if (e2 <= dx) {
            err += dx;
            cy += sy;
        }
    }
    if (w == 1) {
        for (auto [px, py] : pts)
            plot(px, py, m_pen->m_color, true);
        return TRUE;
    }
    std::vector<std::pair<int, int>> all;
    const int lo = -(w - 1) / 2, hi = w / 2;
    for (auto [px, py] : pts)
        for (int oy = lo; oy <= hi; ++oy)
            for (int ox = lo; ox <= hi; ++ox)
                all.emplace_back(px + ox, py + oy);
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    for (auto [px, py] : all)
        plot(px, py, m_pen->m_color, true);
    return TRUE;
}

BOOL CDC::Rectangle(int x1, int y1, int x2, int y2)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    if (!m_target || x2 - x1 < 1 || y2 - y1 < 1)
        return TRUE;
    const bool pen = m_pen->m_style != PS_NULL;
    const int b = pen ? std::min({m_pen->m_width, (x2 - x1 + 1) / 2, (y2 - y1 + 1) / 2}) : 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) {
            const bool edge = x < x1 + b || x >= x2 - b || y < y1 + b || y >= y2 - b;
            if (edge)
                plot(x, y, m_pen->m_color, true);
            else if (!m_brush->m_null)
                plot(x, y, m_brush->m_color, true);
        }
    return TRUE;
}

BOOL CDC::Polygon(const POINT* points, int nCount)
{
    if (!points || nCount < 2)
        return FALSE;
    if (!m_target)
        return TRUE;
    if (!m_brush->m_null && nCount >= 3) {
        int top = points[0].y, bottom = points[0].y;
        for (int i = 1; i < nCount; ++i) {
            top = std::min(top, static_cast<int>(points[i].y));
            bottom = std::max(bottom, static_cast<int>(points[i].y));
        }
        top = std::max(top, 0);
        bottom = std::min(bottom, m_target->height - 1);
        std::vector<double> xs;
        for (int y = top; y <= bottom; ++y) {
            const double cy = y + 0.5;
            xs.clear();
            for (int i = 0; i < nCount; ++i) {
                const POINT a = points[i], b = points[(i + 1) % nCount];
                if ((a.y <= cy) != (b.y <= cy))
                    xs.push_back(a.x + (cy - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
                const int from = std::max(0, static_cast<int>(std::ceil(xs[k] - 0.5)));
                const int to = std::min(m_target->width - 1, static_cast<int>(std::ceil(xs[k + 1] - 0.5)) - 1);
                for (int x = from; x <= to; ++x)
                    plot(x, y, m_brush->m_color, true);
            }
        }
    }
    const CPoint saved = m_pos;
    MoveTo(points[nCount - 1]);
    for (int i = 0; i < nCount; ++i)
        LineTo(points[i]);
    m_pos = saved;
    return TRUE;
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c)
{
    for (int j = y; j < y + cy; ++j)
        for (int i = x; i < x + cx; ++i)
            plot(i, j, c, false);
    m_bkColor = c;
}

void CDC::FillSolidRect(LPCRECT r, COLORREF c) { FillSolidRect(r->left, r->top, r->right - r->left, r->bottom - r->top, c); }

void CDC::FillRect(LPCRECT r, CBrush* pBrush)
{
    if (!pBrush || pBrush->m_null)
        return;
    for (int j = r->top; j < r->bottom; ++j)
        for (int i = r->left; i < r->right; ++i)
            plot(i, j, pBrush->m_color, false);
}

void CDC::FrameRect(LPCRECT r, CBrush* pBrush)
{
    if (!pBrush || pBrush->m_null || r->right <= r->left || r->bottom <= r->top)
        return;
    for (int j = r->top; j < r->bottom; ++j)
        for (int i = r->left; i < r->right; ++i)
            if (i == r->left || i == r->right - 1 || j == r->top || j == r->bottom - 1)
                plot(i, j, pBrush->m_color, false);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight)
{
    if (cx <= 0 || cy <= 0)
        return;
    for (int i = x; i < x + cx; ++i) {
        plot(i, y, topLeft, false);
        plot(i, y + cy - 1, bottomRight, false);
    }
    for (int j = y + 1; j < y + cy - 1; ++j) {
        plot(x, j, topLeft, false);
        plot(x + cx - 1, j, bottomRight, false);
    }
    plot(x + cx - 1, y, bottomRight, false);
}

void CDC::Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight)
{
    Draw3dRect(r->left, r->top, r->right - r->left, r->bottom - r->top, topLeft, bottomRight);
}

BOOL CDC::PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop)
{
    if (!m_target)
        return FALSE;
    for (int j = y; j < y + nHeight; ++j)
        for (int i = x; i < x + nWidth; ++i) {
            if (!m_target->inside(i, j))
                continue;
            COLORREF& d = m_target->at(i, j);
            switch (dwRop) {
            case PATCOPY: d = m_brush->m_color; break;
            case PATINVERT: d = (d ^ m_brush->m_color) & 0x00FFFFFF; break;
            case DSTINVERT: d = ~d & 0x00FFFFFF; break;
            case BLACKNESS: d = RGB(0, 0, 0); break;
            case WHITENESS: d = RGB(255, 255, 255); break;
            default: return FALSE;
            }
        }
    return TRUE;
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop)
{
    if (dwRop != SRCCOPY && dwRop != SRCINVERT)
        return PatBlt(x, y, nWidth, nHeight, dwRop);
    if (!m_target || !pSrcDC || !pSrcDC->m_target)
        return FALSE;
    // Copy through a buffer so that overlapping blits within one bitmap work.
    const Pixels& s = *pSrcDC->m_target;
    std::vector<std::pair<bool, COLORREF>> buf;
    buf.reserve(static_cast<size_t>(std::max(0, nWidth)) * std::max(0, nHeight));
    for (int j = 0; j < nHeight; ++j)
        for (int i = 0; i < nWidth; ++i) {
            const int sx = xSrc + i, sy = ySrc + j;
            const bool in = s.inside(sx, sy);
            buf.emplace_back(in, in ? s.px[static_cast<size_t>(sy) * s.width + sx] : 0);
        }
    size_t k = 0;
    for (int j = 0; j < nHeight; ++j)
        for (int i = 0; i < nWidth; ++i, ++k) {
            if (!buf[k].first || !m_target->inside(x + i, y + j))
                continue;
            COLORREF& d = m_target->at(x + i, y + j);
            d = dwRop == SRCCOPY ? buf[k].second : (d ^ buf[k].second) & 0x00FFFFFF;
        }
    return TRUE;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF c)
{
    if (!m_target || !m_target->inside(x, y))
        return CLR_INVALID;
    m_target->at(x, y) = c & 0x00FFFFFF;
    return c & 0x00FFFFFF;
}

COLORREF CDC::GetPixel(int x, int y) const
{
    return m_target && m_target->inside(x, y) ? m_target->at(x, y) : CLR_INVALID;
}

BOOL CDC::TextOut(int x, int y, LPCTSTR text, int nCount)
{
    if (!m_target || !text)
        return FALSE;
    std::wstring_view s(text, nCount < 0 ? std::wcslen(text) : static_cast<size_t>(nCount));
    if (m_bkMode == OPAQUE)
        FillSolidRect(x, y, textWidth(s), textHeight(), m_bkColor);
    drawText(*m_target, x, y, s, m_textColor);
    return TRUE;
}

BOOL CDC::TextOut(int x, int y, const CString& text)
{
    return TextOut(x, y, static_cast<LPCTSTR>(text), text.GetLength());
}

int CDC::DrawText(const CString& text, LPRECT r, UINT nFormat)
{
    if (!r)
        return 0;
    std::wstring_view s(static_cast<LPCTSTR>(text), static_cast<size_t>(text.GetLength()));
    const int w = textWidth(s), h = textHeight();
    int x = r->left, y = r->top;
    if (nFormat & DT_CENTER)
        x = r->left + (r->right - r->left - w) / 2;
    else if (nFormat & DT_RIGHT)
        x = r->right - w;
    if (nFormat & DT_VCENTER)
        y = r->top + (r->bottom - r->top - h) / 2;
    if (m_target) {
        if (m_bkMode == OPAQUE)
            FillSolidRect(x, y, w, h, m_bkColor);
        drawText(*m_target, x, y, s, m_textColor);
    }
    return h;
}

CSize CDC::GetTextExtent(const CString& text) const
{
    return CSize(textWidth(std::wstring_view(static_cast<LPCTSTR>(text), static_cast<size_t>(text.GetLength()))),
                 textHeight());
}

// --- window contexts -----------------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd)
{
    attachWindow(pWnd);
    Window* w = pWnd ? lookup(pWnd->m_hWnd) : nullptr;
    if (!w)
        return;
    m_ps.hdc = m_hDC;
    m_ps.fErase = w->erase ? TRUE : FALSE;
    m_ps.rcPaint = w->invalid;
    if (w->erase)
        FillSolidRect(&m_ps.rcPaint, ui::kFaceColor);
    w->invalid.SetRectEmpty();
    w->erase = false;
}

CPaintDC::~CPaintDC() = default;

CClientDC::CClientDC(CWnd* pWnd) { attachWindow(pWnd); }
