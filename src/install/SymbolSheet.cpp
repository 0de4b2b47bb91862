#include "install/SymbolSheet.h"

#include "components/NorvexSldManger.h"
#include "host/adsdefs.h"
#include "components/slide/SlideLibrary.h"
#include "library/SymbolLibrary.h"

#include <algorithm>

namespace ctrlsch::install {

namespace {

constexpr int kMargin = 12;
constexpr int kTitleHeight = 28;
constexpr int kCaptionHeight = 34;
const COLORREF kPaper = RGB(255, 255, 255);
const COLORREF kInk = RGB(0, 0, 0);

// Cuts a caption to what fits in the cell, on one or two lines.
std::vector<CString> fitCaption(CDC& dc, const std::wstring& text, int width)
{
    std::vector<CString> lines;
    std::wstring rest = text;
    while (!rest.empty() && lines.size() < 2) {
        std::size_t n = rest.size();
        while (n > 1 && dc.GetTextExtent(CString(rest.substr(0, n).c_str())).cx > width)
            --n;
        lines.emplace_back(rest.substr(0, n).c_str());
        rest.erase(0, n);
    }
    return lines;
}

} // namespace

bool writeSymbolSheet(const std::vector<SheetSection>& sections, const std::string& pngPath, SheetResult& result,
                      std::string& error, int columns, int cellWidth, int cellHeight)
{
    result = {};
    columns = std::max(columns, 1);
    const int slotHeight = cellHeight + kCaptionHeight;
    int height = kMargin;
    for (const SheetSection& s : sections) {
        const int rows = std::max<int>(1, (static_cast<int>(s.items.size()) + columns - 1) / columns);
        height += kTitleHeight + rows * slotHeight + kMargin;
    }
    const int width = 2 * kMargin + columns * cellWidth;

    CBitmap sheet;
    sheet.CreateBitmap(width, height);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap* old = dc.SelectObject(&sheet);
    dc.FillSolidRect(0, 0, width, height, kPaper);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kInk);

    CGraph graph;
    graph.m_pDC = &dc;
    int top = kMargin;
    std::vector<std::uint8_t> buffer(4096);
    for (const SheetSection& s : sections) {
        dc.TextOut(kMargin, top + 6, CString(s.title.c_str()));
        top += kTitleHeight;
        const int rows = std::max<int>(1, (static_cast<int>(s.items.size()) + columns - 1) / columns);
        CSlbMan library;
        const bool open = library.OnOpenDocument(utf8ToWide(s.slideLibrary).c_str());
        for (int i = 0; i < static_cast<int>(s.items.size()); ++i) {
            const SheetItem& item = s.items[static_cast<std::size_t>(i)];
            const int x = kMargin + (i % columns) * cellWidth, y = top + (i / columns) * slotHeight;
            graph.DrawGrid(CRect(x, y, x + cellWidth, y + cellHeight), 1, 1, x, y);
            const long size = open ? library.GetSlideSize(item.slide.c_str()) : 0;
            bool drawn = false;
            if (size > 0) {
                if (buffer.size() < static_cast<std::size_t>(size))
                    buffer.assign(static_cast<std::size_t>(size), 0);
                drawn = library.GetSlideData(item.slide.c_str(), buffer.data())
                        && graph.Draw(buffer.data(), size, cellWidth, cellHeight, x, y);
            }
            ++(drawn ? result.drawn : result.missing);
            int line = 0;
            for (const CString& text : fitCaption(dc, item.caption, cellWidth - 4))
                dc.TextOut(x + 2, y + cellHeight + 2 + 15 * line++, text);
        }
        top += rows * slotHeight + kMargin;
    }
    dc.SelectObject(old);
    if (!ui::saveBitmapPng(sheet, pngPath)) {
        error = "cannot write " + pngPath;
        return false;
    }
    return true;
}

namespace {

std::string filePath(std::wstring path)
{
    for (wchar_t& c : path)
        if (c == L'\\')
            c = L'/';
    return wideToUtf8(path);
}

} // namespace

std::vector<SheetSection> installationSheetSections(const std::wstring& installFolder,
                                                    const std::wstring& symbolDrawingFolder)
{
    std::vector<SheetSection> sections;
    CSymbolLibCatalog catalog;
    catalog.Load(CatalogPath(symbolDrawingFolder));
    for (int e = 0; e < catalog.GetCount(); ++e) {
        SheetSection s;
        s.title = catalog.GetDisplayName(e) + L" (" + catalog.GetFolderName(e) + L")";
        s.slideLibrary = filePath(catalog.GetSlideLibraryPath(symbolDrawingFolder, e));
        CSymbolIndex index;
        index.Load(catalog.GetIndexPath(symbolDrawingFolder, e));
        for (int i = 0; i < index.GetCount(); ++i)
            if (index.GetName(i) != CSymbolIndex::kEmptySlotName)
                s.items.push_back({index.GetName(i), index.GetName(i) + L" " + index.GetDescription(i)});
        sections.push_back(std::move(s));
    }
    SheetSection busBars;
    busBars.title = L"母线类型 (Image\\G-mx.slb)";
    busBars.slideLibrary = filePath(installFolder + L"\\Image\\G-mx.slb");
    if (auto lib = ctrlsch::slide::SlideLibrary::readFile(busBars.slideLibrary)) {
        int n = 0;
        for (const auto& entry : lib.value().entries())
            busBars.items.push_back({utf8ToWide(entry.name), std::to_wstring(++n) + L" " + utf8ToWide(entry.name)});
    }
    sections.push_back(std::move(busBars));
    return sections;
}

} // namespace ctrlsch::install
