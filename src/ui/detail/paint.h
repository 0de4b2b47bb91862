// Inside the toolkit: pixel buffers, window backing bitmaps, text and the
// controls' own look.
#pragma once

#include "ui/wintypes.h"

#include <memory>
#include <string_view>
#include <vector>

namespace ui::detail {

struct Window;

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> px;
    Pixels(int w, int h, COLORREF fill) : width(w), height(h), px(static_cast<size_t>(w) * h, fill) {}
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    COLORREF& at(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
};

// Hollow controls (frames and group boxes) leave their inside in this
// colour, which composing skips so that the parent shows through; written
// as the face colour where a hollow control is saved alone.
inline constexpr COLORREF kClear = 0xFF000000u;

// The window's backing bitmap, of its client size (remade, blank, when the
// size changed).
std::shared_ptr<Pixels> backing(Window& w);

// Draws text with its top-left at (x, y); returns the advance width.
// Only pixels of the glyphs are touched (no background).
int drawText(Pixels& p, int x, int y, std::wstring_view text, COLORREF color);
// Width and height of the text as drawn.
int textWidth(std::wstring_view text);
int textHeight();

// The class's own look, drawn into the backing bitmap (WM_PAINT default).
void paintClassLook(Window& w);

} // namespace ui::detail
