// The paged grid of slides that the symbol dialogs show: N x N cells per
// page, slot k of an index on page k div N² at local position
// l = k - page * N², column l mod N, row l div N; cells are
// (width div N) x (height div N) pixels from the rectangle's top-left.
#pragma once

#include "library/SymbolLibrary.h"
#include "ui/afxwin.h"

#include <string>

class CGraph;

// Draws the grid lines, then (when slides are available and the slide
// library opens) the slides of the page's slots that the index holds; a
// slide of size 0 or unreadable leaves its cell empty.
void PaintSlidePage(CDC& dc, const CRect& rect, int n, int page, const CSymbolIndex& index,
                    const CString& slideLibraryPath, bool slidesAvailable);
// Reads the slide library once to see whether it can be used: false, and
// why on the command line ("文件NAME读失败！..."), when it is there but
// cannot be read (a folder or a named pipe in its place, a read error, a
// damaged directory); true, without a word, when it reads or is missing.
bool CheckSlideLibrary(const CString& slideLibraryPath);
// Whether the point lies strictly inside the rectangle.
bool IsInsidePreview(const CRect& rect, CPoint point);
// The slot under a point of the rectangle on the page; -1 when the cells
// have no size.
int SlotAtPoint(const CRect& rect, int n, int page, CPoint point);
// The centre of a slot's cell; the slot lies on the page.
CPoint SlotCentre(const CRect& rect, int n, int page, int slot);
// The slot an "@choose" event names: "#N" is the N-th slot (from 1, row by
// row) of the page shown, anything else a symbol's name, compared without
// regard to case: the first slot of the index holding it. -1, with why
// ("no symbol \"X\""), when there is none.
int NamedSlot(const CSymbolIndex& index, int n, int page, const std::wstring& item, std::wstring& why);
// Where a click chooses a named slot of the grid (CDialog::ItemPoint): the
// slot's centre in the dialog's client area when it lies on the page shown,
// else the centre of the page button towards it.
bool SlotItemPoint(const CSymbolIndex& index, const CRect& rect, int n, int page, const std::wstring& item,
                   const CWnd& previous, const CWnd& next, CDialog::ItemClick& click, std::wstring& why);
// Marks (or, again, unmarks) a slot when it lies on the page.
void MarkSlot(CGraph& graph, CDC& dc, const CRect& rect, int n, int page, int slot);
// The page buttons: both disabled without slides, else the previous one
// disabled on the first page and the next one on the last
// ((count - 1) div N², so an empty index has one page).
void UpdatePageButtons(CWnd* previous, CWnd* next, bool slidesAvailable, int page, int count, int n);
