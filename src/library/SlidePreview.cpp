#include "library/SlidePreview.h"

#include "components/NorvexSldManger.h"
#include "host/aced.h"

#include <vector>

void PaintSlidePage(CDC& dc, const CRect& rect, int n, int page, const CSymbolIndex& index,
                    const CString& slideLibraryPath, bool slidesAvailable)
{
    CGraph graph;
    graph.m_pDC = &dc;
    graph.DrawGrid(rect, n, n, rect.left, rect.top);
    if (!slidesAvailable)
        return;
    CSlbMan slides;
    if (!slides.OnOpenDocument(slideLibraryPath.GetString()))
        return;
    const int w = rect.Width() / n, h = rect.Height() / n;
    const int perPage = n * n;
    // One block, grown as larger slides come.
    std::vector<unsigned char> block(4096, 0);
    const int first = page * perPage;
    for (int k = first; k < first + perPage && k < index.GetCount(); ++k) {
        const std::wstring name = index.GetName(k);
        const long size = slides.GetSlideSize(name.c_str());
        if (size <= 0)
            continue;
        if (block.size() < static_cast<size_t>(size))
            block.assign(static_cast<size_t>(size), 0);
        if (!slides.GetSlideData(name.c_str(), block.data()))
            continue;
        const int l = k - first;
        graph.Draw(block.data(), size, w, h, rect.left + w * (l % n), rect.top + h * (l / n), 0, 0);
    }
}

bool CheckSlideLibrary(const CString& slideLibraryPath)
{
    CSlbMan slides;
    if (slides.OnOpenDocument(slideLibraryPath.GetString()) || slides.ReadError().empty())
        return true;
    const std::wstring path = slideLibraryPath.GetString();
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    acutPrintf(L"\n文件%ls读失败！%ls", name.c_str(), slides.ReadError().c_str());
    return false;
}

bool IsInsidePreview(const CRect& rect, CPoint p)
{
    return p.x > rect.left && p.x < rect.right && p.y > rect.top && p.y < rect.bottom;
}

int SlotAtPoint(const CRect& rect, int n, int page, CPoint p)
{
    const int w = rect.Width() / n, h = rect.Height() / n;
    if (w <= 0 || h <= 0)
        return -1;
    const int column = std::min((p.x - rect.left) / w, n - 1);
    const int row = std::min((p.y - rect.top) / h, n - 1);
    return column + row * n + page * n * n;
}

void MarkSlot(CGraph& graph, CDC& dc, const CRect& rect, int n, int page, int slot)
{
    graph.m_pDC = &dc;
    graph.HighLightBlock(rect, n, n, page, slot, 0);
    graph.m_pDC = nullptr;
}

void UpdatePageButtons(CWnd* previous, CWnd* next, bool slidesAvailable, int page, int count, int n)
{
    if (!previous || !next)
        return;
    previous->EnableWindow(slidesAvailable && page != 0);
    next->EnableWindow(slidesAvailable && page != (count - 1) / (n * n));
}
