// Device contexts drawing into RGB bitmaps: CBitmap, CPen, CBrush, CDC,
// CPaintDC and CClientDC, and saveWindowPng.
//
// Every window has a backing bitmap of its client size. CPaintDC and
// CClientDC draw into it (client coordinates); a memory DC made by
// CreateCompatibleDC draws into the bitmap selected into it. Drawing is
// clipped to the target. Pixels are COLORREF values (RGB()).
//
// Raster operations: SetROP2 applies to pens and to brush interiors drawn by
// Rectangle; R2_XORPEN and R2_NOT are their own inverse, so drawing a mark
// twice restores the pixels exactly. Text is drawn with a CJK-capable
// system font (FreeType); without a font each character is a box.
#pragma once

#include "ui/wnd.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ui::detail {
struct Pixels;
}

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

inline constexpr int R2_NOT = 6;
inline constexpr int R2_XORPEN = 7;
inline constexpr int R2_COPYPEN = 13;
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD PATINVERT = 0x005A0049;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5;
inline constexpr UINT DT_LEFT = 0x0;
inline constexpr UINT DT_CENTER = 0x1;
inline constexpr UINT DT_RIGHT = 0x2;
inline constexpr UINT DT_VCENTER = 0x4;
inline constexpr UINT DT_SINGLELINE = 0x20;

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
};

class CBitmap : public CGdiObject {
public:
    // A bitmap of the size, black; bits (when given) are COLORREF values,
    // row by row from the top. The planes and depth are accepted as given.
    BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes = 1, UINT nBitcount = 32, const void* lpBits = nullptr);
    BOOL CreateCompatibleBitmap(class CDC* pDC, int nWidth, int nHeight);
    int GetBitmap(BITMAP* pBitMap) const;
    CSize GetSize() const;
    // Pixel access; CLR_INVALID outside.
    COLORREF GetPixel(int x, int y) const;
    void SetPixel(int x, int y, COLORREF c);
    bool IsNull() const { return !m_pixels; }

    std::shared_ptr<ui::detail::Pixels> m_pixels;
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
    int m_style = PS_SOLID;
    int m_width = 1;
    COLORREF m_color = RGB(0, 0, 0);
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    BOOL CreateSolidBrush(COLORREF crColor);
    bool m_null = false;
    COLORREF m_color = RGB(255, 255, 255);
};

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    // The window the context paints, nullptr for none.
    CWnd* GetWindow() const { return m_pWnd; }

    // A memory context; it draws once a bitmap is selected into it.
    BOOL CreateCompatibleDC(CDC* pDC);
    BOOL DeleteDC();
    // Each returns the object selected before (the context's default pen
    // and brush at first, nullptr for the first bitmap).
    CBitmap* SelectObject(CBitmap* pBitmap);
    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);

    int SetROP2(int nDrawMode);
    int GetROP2() const { return m_rop2; }
    COLORREF SetTextColor(COLORREF c);
    COLORREF SetBkColor(COLORREF c);
    int SetBkMode(int nBkMode);

    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    // Draws from the current position to (x, y), the end point excluded.
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    // Outline with the pen, inside with the brush; right and bottom
    // excluded.
    BOOL Rectangle(int x1, int y1, int x2, int y2);
    BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
    // A closed polygon: inside (pixel centres, even-odd rule) with the brush,
    // then the outline with the pen.
    BOOL Polygon(const POINT* points, int nCount);
    void FillSolidRect(LPCRECT r, COLORREF c);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
    void FillRect(LPCRECT r, CBrush* pBrush);
    void FrameRect(LPCRECT r, CBrush* pBrush);
    void Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
    BOOL PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop);
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);
    COLORREF SetPixel(int x, int y, COLORREF c);
    COLORREF GetPixel(int x, int y) const;
    BOOL TextOut(int x, int y, const CString& text);
    BOOL TextOut(int x, int y, LPCTSTR text, int nCount);
    int DrawText(const CString& text, LPRECT r, UINT nFormat);
    CSize GetTextExtent(const CString& text) const;

    HDC m_hDC = nullptr;

protected:
    // Points the context at a window's backing bitmap.
    void attachWindow(CWnd* pWnd);
    CWnd* m_pWnd = nullptr;

private:
    void plot(int x, int y, COLORREF c, bool rop);
    std::shared_ptr<ui::detail::Pixels> m_target;
    CBitmap* m_bitmap = nullptr;
    CPen m_defaultPen;
    CBrush m_defaultBrush;
    CPen* m_pen = &m_defaultPen;
    CBrush* m_brush = &m_defaultBrush;
    int m_rop2 = R2_COPYPEN;
    COLORREF m_textColor = RGB(0, 0, 0);
    COLORREF m_bkColor = RGB(255, 255, 255);
    int m_bkMode = OPAQUE;
    CPoint m_pos{0, 0};
};

// BeginPaint on construction: m_ps.rcPaint is the invalid area (client
// coordinates), m_ps.fErase whether the background was to be erased (the
// context erases it with the window's background colour), and the window
// counts as painted from then on.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};
};

// Draws into the window's client area outside of painting.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
};

namespace ui {
// Paints what is invalid in the window and its children, then writes the
// window as seen (frame, caption, client area, every visible control) as
// a PNG: a temporary file renamed to path. False (nothing written) on
// failure.
bool saveWindowPng(CWnd* pWnd, const std::string& path);
// The same picture as PNG bytes, in memory.
bool windowPng(CWnd* pWnd, std::string& png);
// Writes a bitmap as a PNG, the same way.
bool saveBitmapPng(const CBitmap& bitmap, const std::string& path);
// Text as vectors, for pictures drawn at any scale: the glyphs of the
// toolkit's font as closed contours, curves flattened to lines, at a font
// size (em) of 1, the baseline on y = 0 with y up and the text starting at
// x = 0. Filled by the non-zero winding rule they are the characters.
struct OutlinePoint {
    double x = 0.0;
    double y = 0.0;
};
struct TextOutline {
    std::vector<std::vector<OutlinePoint>> contours;
    // Where a following character would start.
    double advance = 0.0;
};
// Nothing (no contours, no advance) when there is no font.
TextOutline textOutline(std::wstring_view text);
// Height of the capitals at font size 1; 0 when there is no font.
double textCapitalHeight();
// The colours the toolkit paints with.
inline constexpr COLORREF kFaceColor = RGB(240, 240, 240);
inline constexpr COLORREF kCaptionColor = RGB(0, 84, 166);
inline constexpr COLORREF kFrameColor = RGB(100, 100, 100);
inline constexpr COLORREF kGrayText = RGB(160, 160, 160);
inline constexpr COLORREF kHighlight = RGB(0, 120, 215);
} // namespace ui
