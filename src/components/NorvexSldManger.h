// Slide libraries painted into device contexts: CSlbMan opens a library and
// hands out the bytes of its slides by name, CGraph draws preview grids,
// slides and selection marks, CSlideLibraryData keeps a whole library and
// makes bitmaps of its slides.
//
// Look of the previews: a preview rectangle is black with dark grey cell
// lines; a slide is drawn in its colours as seen on a dark screen, fitted
// into its cell with its proportions kept and a margin of two pixels; the
// selection mark inverts a frame three pixels wide just inside the cell
// lines, so marking the same cell twice restores it exactly.
#pragma once

#include "ui/afxwin.h"

#include <memory>
#include <string>
#include <vector>

namespace ctrlsch::slide {
class SlideLibrary;
struct Slide;
}

class CSlbMan {
public:
    CSlbMan();
    ~CSlbMan();
    CSlbMan(const CSlbMan&) = delete;
    CSlbMan& operator=(const CSlbMan&) = delete;

    // Opens a slide library (backslashes or slashes); nonzero when opened.
    // A folder, a named pipe or a device in its place is refused at once.
    BOOL OnOpenDocument(LPCTSTR lpszPathName);
    // Why the last open failed ("PATH: reason"); empty when it opened or
    // when there was no file at all.
    const std::wstring& ReadError() const { return m_error; }
    // Byte size of the named slide (any letter case), 0 when there is none.
    long GetSlideSize(LPCTSTR name) const;
    // Copies GetSlideSize(name) bytes into buffer; nonzero on success.
    BOOL GetSlideData(LPCTSTR name, void* buffer) const;

private:
    std::unique_ptr<ctrlsch::slide::SlideLibrary> m_library;
    std::wstring m_error;
};

class CGraph {
public:
    // The context drawn into; set by the caller before each call.
    CDC* m_pDC = nullptr;

    // Fills the rectangle black and draws the lines of columns x rows cells
    // of (width / columns) x (height / rows) pixels from (left, top).
    void DrawGrid(CRect rect, int columns, int rows, int left, int top);
    // Draws one slide's bytes into the cell whose top-left is (x, y).
    // Damaged bytes draw nothing; false then.
    bool Draw(const void* data, long size, int cellWidth, int cellHeight, int x, int y, int reserved1 = 0,
              int reserved2 = 0);
    // Marks (or, called again, unmarks) the cell of slide `index` when it
    // lies on `page` (pages of columns x rows slides).
    void HighLightBlock(CRect rect, int columns, int rows, int page, int index, int reserved = 0);
};

class CSlideLibraryData {
public:
    CSlideLibraryData();
    ~CSlideLibraryData();
    CSlideLibraryData(const CSlideLibraryData&) = delete;
    CSlideLibraryData& operator=(const CSlideLibraryData&) = delete;

    // Loads the whole library: the number of slides, or -1 when it cannot
    // be read (as CSlbMan::OnOpenDocument).
    int ReadDataFromFileW(LPCTSTR path);
    // As CSlbMan::ReadError.
    const std::wstring& ReadError() const { return m_error; }
    int GetSlideCount() const;
    // A new width x height bitmap of the slide at that position, black
    // behind the slide; nullptr for a position outside the library, a
    // damaged slide or a size below 1. The caller deletes it.
    CBitmap* MakeBitMapFromIndex(short index, int width, int height, int reserved = 0);

private:
    std::unique_ptr<ctrlsch::slide::SlideLibrary> m_library;
    std::wstring m_error;
};

namespace ctrlsch::slide {
// Draws a parsed slide fitted into the w x h cell at (x, y).
void drawSlide(CDC& dc, const Slide& slide, int x, int y, int w, int h);
} // namespace ctrlsch::slide
