#include "library/SlidePreview.h"

#include "components/NorvexSldManger.h"
#include "host/aced.h"

#include <algorithm>
#include <cassert>
#include <cwctype>
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

CPoint SlotCentre(const CRect& rect, int n, int page, int slot)
{
    const int local = slot - page * n * n;
    assert(local >= 0 && local < n * n);
    const int w = rect.Width() / n, h = rect.Height() / n;
    return CPoint(rect.left + w * (local % n) + w / 2, rect.top + h * (local / n) + h / 2);
}

int NamedSlot(const CSymbolIndex& index, int n, int page, const std::wstring& item, std::wstring& why)
{
    if (item.size() > 1 && item[0] == L'#' &&
        std::all_of(item.begin() + 1, item.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        const int perPage = n * n;
        const std::wstring digits = item.substr(1);
        if (digits.size() > 9 || std::stoi(digits) < 1 || std::stoi(digits) > perPage) {
            why = L"no slot " + item + L" (a page holds " + std::to_wstring(perPage) + L")";
            return -1;
        }
        return page * perPage + std::stoi(digits) - 1;
    }
    for (int i = 0; i < index.GetCount(); ++i) {
        const std::wstring name = index.GetName(i);
        if (name.size() == item.size() &&
            std::equal(name.begin(), name.end(), item.begin(), [](wchar_t a, wchar_t b) {
                return std::towupper(static_cast<wint_t>(a)) == std::towupper(static_cast<wint_t>(b));
            }))
            return i;
    }
    why = L"no symbol \"" + item + L"\"";
    return -1;
}

bool SlotItemPoint(const CSymbolIndex& index, const CRect& rect, int n, int page, const std::wstring& item,
                   const CWnd& previous, const CWnd& next, CDialog::ItemClick& click, std::wstring& why)
{
    const int slot = NamedSlot(index, n, page, item, why);
    if (slot < 0)
        return false;
    const int shown = slot / (n * n);
    if (shown == page) {
        click = CDialog::ItemClick{0, SlotCentre(rect, n, page, slot), false};
        return true;
    }
    const CWnd& button = shown > page ? next : previous;
    CRect r;
    button.GetClientRect(&r);
    click = CDialog::ItemClick{button.GetDlgCtrlID(), r.CenterPoint(), true};
    return true;
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
