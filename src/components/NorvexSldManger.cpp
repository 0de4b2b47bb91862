#include "components/NorvexSldManger.h"

#include "components/slide/SlideLibrary.h"

#include "host/accolor.h"
#include "host/adsdefs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using ctrlsch::slide::Slide;
using ctrlsch::slide::SlideLibrary;

const COLORREF kPreviewBack = RGB(0, 0, 0);
const COLORREF kPreviewLines = RGB(96, 96, 96);

std::string filePath(LPCTSTR path)
{
    std::string s = wideToUtf8(path ? path : L"");
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

COLORREF slideColour(int aci)
{
    const std::uint32_t rgb = aciToRgb(aci, true);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The library, or null; error says why unless there is no file at all.
std::unique_ptr<SlideLibrary> openLibrary(LPCTSTR path, std::wstring& error)
{
    bool missing = false;
    auto read = SlideLibrary::readFile(filePath(path), &missing);
    error = read || missing ? std::wstring() : utf8ToWide(read.error());
    if (!read)
        return nullptr;
    return std::make_unique<SlideLibrary>(std::move(read.value()));
}

} // namespace

namespace ctrlsch::slide {

void drawSlide(CDC& dc, const Slide& slide, int x, int y, int w, int h)
{
    const double highX = std::max(slide.highX, 1);
    const double highY = std::max(slide.highY, 1);
    double aspect = slide.aspectRatio;
    if (!(aspect > 0.01 && aspect < 100.0))
        aspect = (highX + 1) / (highY + 1);
    const double room = 2.0;
    const double availW = w - 2 * room, availH = h - 2 * room;
    if (availW < 1 || availH < 1)
        return;
    // The slide's screen is aspect wide and 1 high; fit it, centred.
    const double s = std::min(availW / aspect, availH);
    const double offX = x + room + (availW - aspect * s) / 2;
    const double offY = y + room + (availH - s) / 2;
    auto toPixel = [&](SlidePoint p) {
        return CPoint(static_cast<int>(std::lround(offX + p.x / highX * aspect * s)),
                      static_cast<int>(std::lround(offY + (1.0 - p.y / highY) * s)));
    };
    CPen pen;
    CBrush brush;
    CPen* oldPen = nullptr;
    CBrush* oldBrush = nullptr;
    const int oldRop = dc.SetROP2(R2_COPYPEN);
    for (const SlidePrimitive& prim : slide.primitives) {
        if (const auto* seg = std::get_if<SlideSegment>(&prim)) {
            pen.CreatePen(PS_SOLID, 1, slideColour(seg->colour));
            CPen* prev = dc.SelectObject(&pen);
            if (!oldPen)
                oldPen = prev;
            const CPoint a = toPixel(seg->from), b = toPixel(seg->to);
            dc.MoveTo(a);
            dc.LineTo(b);
            dc.SetPixel(b.x, b.y, pen.m_color); // LineTo leaves the end point out
        } else if (const auto* fill = std::get_if<SlideFill>(&prim)) {
            const COLORREF c = slideColour(fill->colour);
            pen.CreatePen(PS_SOLID, 1, c);
            brush.CreateSolidBrush(c);
            CPen* prevPen = dc.SelectObject(&pen);
            CBrush* prevBrush = dc.SelectObject(&brush);
            if (!oldPen)
                oldPen = prevPen;
            if (!oldBrush)
                oldBrush = prevBrush;
            std::vector<POINT> pts;
            for (SlidePoint p : fill->vertices) {
                const CPoint q = toPixel(p);
                pts.push_back(POINT{q.x, q.y});
            }
            dc.Polygon(pts.data(), static_cast<int>(pts.size()));
        }
    }
    if (oldPen)
        dc.SelectObject(oldPen);
    if (oldBrush)
        dc.SelectObject(oldBrush);
    dc.SetROP2(oldRop);
}

} // namespace ctrlsch::slide

// --- CSlbMan -------------------------------------------------------------

CSlbMan::CSlbMan() = default;
CSlbMan::~CSlbMan() = default;

BOOL CSlbMan::OnOpenDocument(LPCTSTR lpszPathName)
{
    m_library = openLibrary(lpszPathName, m_error);
    return m_library != nullptr;
}

long CSlbMan::GetSlideSize(LPCTSTR name) const
{
    if (!m_library || !name)
        return 0;
    const auto bytes = m_library->slideBytes(wideToUtf8(name));
    return bytes ? static_cast<long>(bytes->size()) : 0;
}

BOOL CSlbMan::GetSlideData(LPCTSTR name, void* buffer) const
{
    if (!m_library || !name || !buffer)
        return FALSE;
    const auto bytes = m_library->slideBytes(wideToUtf8(name));
    if (!bytes || bytes->empty())
        return FALSE;
    std::memcpy(buffer, bytes->data(), bytes->size());
    return TRUE;
}

// --- CGraph --------------------------------------------------------------

void CGraph::DrawGrid(CRect rect, int columns, int rows, int left, int top)
{
    if (!m_pDC)
        return;
    columns = std::max(columns, 1);
    rows = std::max(rows, 1);
    m_pDC->FillSolidRect(&rect, kPreviewBack);
    const int w = rect.Width() / columns, h = rect.Height() / rows;
    CPen pen(PS_SOLID, 1, kPreviewLines);
    CPen* old = m_pDC->SelectObject(&pen);
    const int oldRop = m_pDC->SetROP2(R2_COPYPEN);
    for (int c = 0; c <= columns; ++c) {
        const int x = std::min(left + c * w, static_cast<int>(rect.right) - 1);
        m_pDC->MoveTo(x, top);
        m_pDC->LineTo(x, top + rows * h);
    }
    for (int r = 0; r <= rows; ++r) {
        const int y = std::min(top + r * h, static_cast<int>(rect.bottom) - 1);
        m_pDC->MoveTo(left, y);
        m_pDC->LineTo(left + columns * w, y);
    }
    m_pDC->SetROP2(oldRop);
    m_pDC->SelectObject(old);
}

bool CGraph::Draw(const void* data, long size, int cellWidth, int cellHeight, int x, int y, int, int)
{
    if (!m_pDC || !data || size <= 0)
        return false;
    auto slide = ctrlsch::slide::parseSlide(
        std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)));
    if (!slide)
        return false;
    ctrlsch::slide::drawSlide(*m_pDC, slide.value(), x, y, cellWidth, cellHeight);
    return true;
}

void CGraph::HighLightBlock(CRect rect, int columns, int rows, int page, int index, int)
{
    if (!m_pDC || columns < 1 || rows < 1 || index < 0 || page < 0)
        return;
    const long perPage = static_cast<long>(columns) * rows;
    if (index / perPage != page)
        return;
    const int slot = static_cast<int>(index % perPage);
    const int w = rect.Width() / columns, h = rect.Height() / rows;
    const int x = rect.left + (slot % columns) * w, y = rect.top + (slot / columns) * h;
    // Inside the cell lines: from x + 1 to x + w - 1.
    const int band = std::min({3, (w - 1) / 2, (h - 1) / 2});
    if (band < 1)
        return;
    const int x0 = x + 1, y0 = y + 1, cw = w - 1, ch = h - 1;
    m_pDC->PatBlt(x0, y0, cw, band, DSTINVERT);
    m_pDC->PatBlt(x0, y0 + ch - band, cw, band, DSTINVERT);
    m_pDC->PatBlt(x0, y0 + band, band, ch - 2 * band, DSTINVERT);
    m_pDC->PatBlt(x0 + cw - band, y0 + band, band, ch - 2 * band, DSTINVERT);
}

// --- CSlideLibraryData ---------------------------------------------------

CSlideLibraryData::CSlideLibraryData() = default;
CSlideLibraryData::~CSlideLibraryData() = default;

int CSlideLibraryData::ReadDataFromFileW(LPCTSTR path)
{
    m_library = openLibrary(path, m_error);
    return m_library ? static_cast<int>(m_library->size()) : -1;
}

int CSlideLibraryData::GetSlideCount() const
{
    return m_library ? static_cast<int>(m_library->size()) : 0;
}

CBitmap* CSlideLibraryData::MakeBitMapFromIndex(short index, int width, int height, int)
{
    if (!m_library || index < 0 || static_cast<std::size_t>(index) >= m_library->size() || width < 1 || height < 1)
        return nullptr;
    auto slide = m_library->slide(static_cast<std::size_t>(index));
    if (!slide)
        return nullptr;
    auto bitmap = std::make_unique<CBitmap>();
    bitmap->CreateBitmap(width, height);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap* old = dc.SelectObject(bitmap.get());
    dc.FillSolidRect(0, 0, width, height, kPreviewBack);
    ctrlsch::slide::drawSlide(dc, slide.value(), 0, 0, width, height);
    dc.SelectObject(old);
    return bitmap.release();
}
