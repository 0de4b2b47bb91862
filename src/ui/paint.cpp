// Backing bitmaps, text through FreeType, the controls' own look and PNG
// output of a window.
#include "ui/dc.h"
#include "ui/detail/paint.h"
#include "ui/detail/window.h"

#include "host/render/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <png.h>

#include <cmath>
#include <optional>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace ui::detail {

std::shared_ptr<Pixels> backing(Window& w)
{
    const CRect c = clientRect(w);
    const int cw = std::max(0, c.Width()), ch = std::max(0, c.Height());
    if (!w.surface || w.surface->width != cw || w.surface->height != ch)
        w.surface = std::make_shared<Pixels>(cw, ch, ui::kFaceColor);
    return w.surface;
}

// --- text ----------------------------------------------------------------

namespace {

constexpr int kPixelSize = 12;

struct Font {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    int ascent = kPixelSize;
    Font()
    {
        // The host's font for texts, the one its pictures use.
        const render::FontFile& file = render::cjkFontFile();
        if (file.path.empty() || FT_Init_FreeType(&lib) != 0)
            return;
        if (FT_New_Face(lib, file.path.c_str(), file.index, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, kPixelSize) != 0) {
            if (face)
                FT_Done_Face(face);
            face = nullptr;
            return;
        }
        ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    }
    ~Font()
    {
        if (face)
            FT_Done_Face(face);
        if (lib)
            FT_Done_FreeType(lib);
    }
};

Font& font()
{
    static Font f;
    return f;
}

COLORREF blend(COLORREF d, COLORREF s, int a)
{
    auto mix = [a](int dv, int sv) { return (sv * a + dv * (255 - a) + 127) / 255; };
    return RGB(mix(GetRValue(d), GetRValue(s)), mix(GetGValue(d), GetGValue(s)), mix(GetBValue(d), GetBValue(s)));
}

// Advance of one character; draws it when p is given.
int glyph(Pixels* p, int x, int y, wchar_t ch, COLORREF color)
{
    Font& f = font();
    if (!f.face || FT_Load_Char(f.face, static_cast<FT_ULong>(ch), FT_LOAD_RENDER) != 0) {
        // No font: a box per character.
        const int w = ch < 0x100 ? kPixelSize / 2 : kPixelSize;
        if (p)
            for (int j = 1; j < kPixelSize - 1; ++j)
                for (int i = 1; i < w - 1; ++i)
                    if ((i == 1 || i == w - 2 || j == 1 || j == kPixelSize - 2) && p->inside(x + i, y + j))
                        p->at(x + i, y + j) = color;
        return w;
    }
    FT_GlyphSlot g = f.face->glyph;
    if (p) {
        const FT_Bitmap& b = g->bitmap;
        for (unsigned r = 0; r < b.rows; ++r)
            for (unsigned c = 0; c < b.width; ++c) {
                const int a = b.buffer[r * b.pitch + c];
                const int px = x + g->bitmap_left + static_cast<int>(c);
                const int py = y + f.ascent - g->bitmap_top + static_cast<int>(r);
                if (a > 0 && p->inside(px, py))
                    p->at(px, py) = blend(p->at(px, py), color, a);
            }
    }
    return static_cast<int>(g->advance.x >> 6);
}

} // namespace

int drawText(Pixels& p, int x, int y, std::wstring_view text, COLORREF color)
{
    int adv = 0;
    for (wchar_t ch : text)
        adv += glyph(&p, x + adv, y, ch, color);
    return adv;
}

int textWidth(std::wstring_view text)
{
    int adv = 0;
    for (wchar_t ch : text)
        adv += glyph(nullptr, 0, 0, ch, 0);
    return adv;
}

int textHeight() { return kPixelSize + 4; }

namespace {

// Collects a glyph's outline in font units, flattening its curves.
struct OutlineSink {
    std::vector<std::vector<ui::OutlinePoint>>* contours = nullptr;
    double x0 = 0.0; // the glyph's start along the baseline, font units
    ui::OutlinePoint last;

    static constexpr int kCurveSteps = 8;

    void to(double x, double y)
    {
        last = {x, y};
        contours->back().push_back({x0 + x, y});
    }
    static OutlineSink& of(void* user) { return *static_cast<OutlineSink*>(user); }
    static int move(const FT_Vector* p, void* user)
    {
        OutlineSink& s = of(user);
        s.contours->emplace_back();
        s.to(p->x, p->y);
        return 0;
    }
    static int line(const FT_Vector* p, void* user)
    {
        of(user).to(p->x, p->y);
        return 0;
    }
    static int conic(const FT_Vector* c, const FT_Vector* p, void* user)
    {
        OutlineSink& s = of(user);
        const ui::OutlinePoint a = s.last;
        for (int i = 1; i <= kCurveSteps; ++i) {
            const double t = static_cast<double>(i) / kCurveSteps, u = 1.0 - t;
            s.to(u * u * a.x + 2 * u * t * c->x + t * t * p->x, u * u * a.y + 2 * u * t * c->y + t * t * p->y);
        }
        return 0;
    }
    static int cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* p, void* user)
    {
        OutlineSink& s = of(user);
        const ui::OutlinePoint a = s.last;
        for (int i = 1; i <= kCurveSteps; ++i) {
            const double t = static_cast<double>(i) / kCurveSteps, u = 1.0 - t;
            const double k0 = u * u * u, k1 = 3 * u * u * t, k2 = 3 * u * t * t, k3 = t * t * t;
            s.to(k0 * a.x + k1 * c1->x + k2 * c2->x + k3 * p->x, k0 * a.y + k1 * c1->y + k2 * c2->y + k3 * p->y);
        }
        return 0;
    }
};

} // namespace

} // namespace ui::detail

ui::TextOutline ui::textOutline(std::wstring_view text)
{
    using namespace ui::detail;
    TextOutline out;
    Font& f = font();
    if (!f.face || f.face->units_per_EM == 0)
        return out;
    const FT_Outline_Funcs funcs{&OutlineSink::move, &OutlineSink::line, &OutlineSink::conic, &OutlineSink::cubic,
                                 0, 0};
    OutlineSink sink;
    sink.contours = &out.contours;
    for (wchar_t ch : text) {
        // Unscaled: the outline and advance in font units, no hinting.
        if (FT_Load_Char(f.face, static_cast<FT_ULong>(ch), FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0)
            continue;
        const FT_GlyphSlot g = f.face->glyph;
        if (g->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_Decompose(&g->outline, &funcs, &sink);
        sink.x0 += static_cast<double>(g->metrics.horiAdvance);
    }
    const double em = f.face->units_per_EM;
    for (auto& contour : out.contours)
        for (OutlinePoint& p : contour)
            p = {p.x / em, p.y / em};
    out.advance = sink.x0 / em;
    return out;
}

double ui::textCapitalHeight()
{
    using namespace ui::detail;
    Font& f = font();
    if (!f.face || f.face->units_per_EM == 0 ||
        FT_Load_Char(f.face, 'H', FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0)
        return 0.0;
    return static_cast<double>(f.face->glyph->metrics.horiBearingY) / f.face->units_per_EM;
}

namespace ui::detail {

// --- the controls' look ---------------------------------------------------

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kShadow = RGB(160, 160, 160);
constexpr COLORREF kDarkShadow = RGB(105, 105, 105);
constexpr COLORREF kPressed = RGB(204, 228, 247);

void frame(Pixels& p, const CRect& r, COLORREF tl, COLORREF br)
{
    for (int x = r.left; x < r.right; ++x) {
        if (p.inside(x, r.top))
            p.at(x, r.top) = tl;
        if (p.inside(x, r.bottom - 1))
            p.at(x, r.bottom - 1) = br;
    }
    for (int y = r.top; y < r.bottom; ++y) {
        if (p.inside(r.left, y))
            p.at(r.left, y) = tl;
        if (p.inside(r.right - 1, y))
            p.at(r.right - 1, y) = br;
    }
}

void fill(Pixels& p, const CRect& r, COLORREF c)
{
    for (int y = std::max(0, static_cast<int>(r.top)); y < std::min(p.height, static_cast<int>(r.bottom)); ++y)
        for (int x = std::max(0, static_cast<int>(r.left)); x < std::min(p.width, static_cast<int>(r.right)); ++x)
            p.at(x, y) = c;
}

void centred(Pixels& p, const CRect& r, std::wstring_view s, COLORREF c)
{
    drawText(p, r.left + (r.Width() - textWidth(s)) / 2, r.top + (r.Height() - textHeight()) / 2 + 1, s, c);
}

// A raised button face: light top-left, dark bottom-right, a shadow line
// inside the dark edge.
void raised(Pixels& p, const CRect& r)
{
    fill(p, r, ui::kFaceColor);
    frame(p, r, kWhite, kDarkShadow);
    if (r.Width() > 2 && r.Height() > 2)
        frame(p, CRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1), ui::kFaceColor, kShadow);
}

enum class Point { Up, Down, Left, Right };

// A filled arrow head centred in r: a base of up to 7 pixels (odd) and half
// as many rows, smaller when r is small.
void arrowHead(Pixels& p, const CRect& r, Point dir, COLORREF c)
{
    const bool vertical = dir == Point::Up || dir == Point::Down;
    const int across = vertical ? r.Width() : r.Height();
    const int along = vertical ? r.Height() : r.Width();
    int base = std::min(7, across - 4);
    if (base % 2 == 0)
        --base;
    const int rows = std::min((base + 1) / 2, along - 2);
    if (base < 3 || rows < 2)
        return;
    const int ca = vertical ? r.left + r.Width() / 2 : r.top + r.Height() / 2;
    const int start = (vertical ? r.top : r.left) + (along - rows) / 2;
    for (int i = 0; i < rows; ++i) {
        // Row i from the tip: 2i + 1 pixels wide.
        const bool tipFirst = dir == Point::Up || dir == Point::Left;
        const int at = start + (tipFirst ? i : rows - 1 - i);
        for (int k = -i; k <= i; ++k) {
            const int x = vertical ? ca + k : at, y = vertical ? at : ca + k;
            if (p.inside(x, y))
                p.at(x, y) = c;
        }
    }
}

// A line two pixels thick (the pixel and the one below it).
void thickLine(Pixels& p, int x0, int y0, int x1, int y1, COLORREF c)
{
    const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= n; ++i) {
        const int x = x0 + (n ? (x1 - x0) * i / n : 0), y = y0 + (n ? (y1 - y0) * i / n : 0);
        for (int dy = 0; dy < 2; ++dy)
            if (p.inside(x, y + dy))
                p.at(x, y + dy) = c;
    }
}

// A round radio button in the 13-pixel square at (0, top): a white disc
// in a ring, a dot inside when checked.
void radioMark(Pixels& p, int top, bool enabled, bool checked, COLORREF c)
{
    constexpr double centre = 6.5, outer = 6.5, ring = 5.3, dot = 2.6;
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) {
            const double d = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
            if (d > outer || !p.inside(x, top + y))
                continue;
            COLORREF& px = p.at(x, top + y);
            px = d > ring ? c : checked && d <= dot ? c : enabled ? kWhite : ui::kFaceColor;
        }
}

std::wstring stripAmpersand(const std::wstring& s)
{
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'&' && i + 1 < s.size())
            ++i;
        out += s[i];
    }
    return out;
}

} // namespace

// Image `image` of the toolbar's bitmaps, centred in the button; light grey
// (192, 192, 192) is transparent, a disabled button shows its picture in grey.
static void drawToolbarImage(Pixels& p, const Window& w, int image, const CRect& r, bool enabled, bool down)
{
    if (image < 0)
        return;
    for (const auto& [id, count] : w.bitmaps) {
        if (image >= count) {
            image -= count;
            continue;
        }
        const ui::BitmapResource* bmp = ui::findBitmapResource(id);
        if (!bmp)
            return;
        const int iw = bmp->width / count;
        const int ih = bmp->height;
        const int x0 = r.left + (r.Width() - iw) / 2 + (down ? 1 : 0);
        const int y0 = r.top + (r.Height() - ih) / 2 + (down ? 1 : 0);
        for (int y = 0; y < ih; ++y)
            for (int x = 0; x < iw; ++x) {
                const COLORREF c = bmp->pixels[static_cast<size_t>(y) * bmp->width + image * iw + x];
                if (c == RGB(192, 192, 192) || !p.inside(x0 + x, y0 + y))
                    continue;
                p.at(x0 + x, y0 + y) = enabled ? c : kShadow;
            }
        return;
    }
}

namespace {

// What every class's look starts from.
struct Look {
    CRect all; // the whole window
    bool enabled;
    COLORREF text; // the colour of text and marks
    std::wstring caption; // the text without its & marks
};

// A group box, a check box or radio button, or a push button.
void paintButton(Pixels& p, Window& w, const Look& look)
{
    const DWORD type = w.style & BS_TYPEMASK;
    if (type == BS_GROUPBOX) {
        fill(p, look.all, kClear);
        frame(p, CRect(0, textHeight() / 2, p.width, p.height), kShadow, kShadow);
        const int tw = textWidth(look.caption);
        if (tw > 0) {
            fill(p, CRect(6, 0, 10 + tw, textHeight()), ui::kFaceColor);
            drawText(p, 8, 0, look.caption, look.text);
        }
        return;
    }
    const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
                     type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if (box && !(w.style & BS_PUSHLIKE)) {
        fill(p, look.all, ui::kFaceColor);
        const int top = (p.height - 13) / 2;
        if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
            radioMark(p, top, look.enabled, w.check != BST_UNCHECKED, look.text);
        } else {
            CRect b(0, top, 13, top + 13);
            fill(p, b, look.enabled ? kWhite : ui::kFaceColor);
            frame(p, b, look.text, look.text);
            if (w.check == BST_INDETERMINATE) {
                fill(p, CRect(3, top + 3, 10, top + 10), kShadow);
            } else if (w.check == BST_CHECKED) {
                // The tick: down to the bottom of the short stroke, up to the
                // top right.
                thickLine(p, 3, top + 5, 5, top + 8, look.text);
                thickLine(p, 5, top + 8, 9, top + 3, look.text);
            }
        }
        drawText(p, 17, (p.height - textHeight()) / 2 + 1, look.caption, look.text);
        return;
    }
    const bool down = w.pressed || (box && w.check != BST_UNCHECKED);
    fill(p, look.all, down ? kPressed : ui::kFaceColor);
    frame(p, look.all, look.enabled ? kBlack : kShadow, look.enabled ? kBlack : kShadow);
    if (down)
        frame(p, CRect(1, 1, p.width - 1, p.height - 1), kShadow, kShadow);
    else
        frame(p, CRect(1, 1, p.width - 1, p.height - 1), kWhite, kShadow);
    if (type == BS_DEFPUSHBUTTON && look.enabled)
        frame(p, CRect(2, 2, p.width - 2, p.height - 2), ui::kHighlight, ui::kHighlight);
    centred(p, down ? CRect(1, 1, p.width + 1, p.height + 1) : look.all, look.caption, look.text);
}

// A frame, a filled rectangle or look.text.
void paintStatic(Pixels& p, Window& w, const Look& look)
{
    const DWORD type = w.style & SS_TYPEMASK;
    const bool hollow = type == SS_BLACKFRAME || type == SS_ETCHEDFRAME;
    fill(p, look.all, hollow ? kClear : ui::kFaceColor);
    if (type == SS_BLACKRECT)
        fill(p, look.all, kBlack);
    else if (type == SS_BLACKFRAME || type == SS_ETCHEDFRAME || (w.style & SS_SUNKEN))
        frame(p, look.all, kShadow, kWhite);
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
        const int tw = textWidth(look.caption);
        const int x = type == SS_CENTER ? (p.width - tw) / 2 : type == SS_RIGHT ? p.width - tw : 0;
        drawText(p, x, 0, look.caption, look.text);
    }
}

// The selected item and the drop-down arrow.
void paintComboBox(Pixels& p, Window& w, const Look& look)
{
    const COLORREF field = look.enabled ? kWhite : ui::kFaceColor;
    fill(p, look.all, field);
    if (w.curSel >= 0 && w.curSel < static_cast<int>(w.items.size()))
        drawText(p, 3, (p.height - textHeight()) / 2 + 1, w.items[w.curSel].text, look.text);
    // The text ends two pixels before the button, which covers the rest.
    const int bw = std::min(17, p.width);
    const CRect button(p.width - bw, 1, p.width - 1, p.height - 1);
    fill(p, CRect(button.left - 2, 1, button.left, p.height - 1), field);
    raised(p, button);
    arrowHead(p, button, Point::Down, look.text);
    frame(p, look.all, kShadow, kShadow);
}

// The items from the top index, the selected one highlighted.
void paintListBox(Pixels& p, Window& w, const Look& look)
{
    fill(p, look.all, look.enabled ? kWhite : ui::kFaceColor);
    frame(p, look.all, kShadow, kShadow);
    const int ih = textHeight();
    int y = 1;
    for (int i = std::max(0, w.topIndex); i < static_cast<int>(w.items.size()) && y < p.height - 1; ++i, y += ih) {
        COLORREF c = look.text;
        if (i == w.curSel) {
            fill(p, CRect(1, y, p.width - 1, std::min(y + ih, p.height - 1)), look.enabled ? ui::kHighlight : kShadow);
            c = kWhite;
        }
        drawText(p, 3, y + 1, w.items[i].text, c);
    }
}

// The buttons, checked or pressed ones sunk.
void paintToolbar(Pixels& p, Window& w, const Look& look)
{
    fill(p, look.all, ui::kFaceColor);
    for (int i = 0; i < static_cast<int>(w.buttons.size()); ++i) {
        const CRect r = toolbarItemRect(w, i);
        const bool checked = (w.buttons[i].fsState & TBSTATE_CHECKED) != 0;
        if (checked || i == w.pressedButton) {
            fill(p, r, kPressed);
            frame(p, r, kShadow, kWhite);
        }
        const TBBUTTON& b = w.buttons[static_cast<size_t>(i)];
        if (!(b.fsStyle & TBSTYLE_SEP) && !r.IsRectEmpty())
            drawToolbarImage(p, w, b.iBitmap, r, look.enabled && (b.fsState & TBSTATE_ENABLED),
                             checked || i == w.pressedButton);
    }
}

} // namespace

void paintClassLook(Window& w)
{
    Pixels& p = *backing(w);
    const bool enabled = isEnabled(w);
    const Look look{CRect(0, 0, p.width, p.height), enabled, enabled ? kBlack : ui::kGrayText, stripAmpersand(w.text)};
    switch (w.cls) {
    case WndClass::Button:
        paintButton(p, w, look);
        break;
    case WndClass::Static:
        paintStatic(p, w, look);
        break;
    case WndClass::Edit:
        fill(p, look.all, look.enabled ? kWhite : ui::kFaceColor);
        frame(p, look.all, kShadow, kShadow);
        drawText(p, 3, (p.height - textHeight()) / 2 + 1, w.text, look.text);
        break;
    case WndClass::ComboBox:
        paintComboBox(p, w, look);
        break;
    case WndClass::ListBox:
        paintListBox(p, w, look);
        break;
    case WndClass::Spin: {
        // Two buttons, up over down (left and right side by side for a
        // horizontal one), each with its arrow.
        fill(p, look.all, ui::kFaceColor);
        const bool horz = (w.style & UDS_HORZ) != 0;
        const CRect first = horz ? CRect(0, 0, p.width / 2, p.height) : CRect(0, 0, p.width, p.height / 2);
        const CRect second = horz ? CRect(p.width / 2, 0, p.width, p.height) : CRect(0, p.height / 2, p.width, p.height);
        raised(p, first);
        raised(p, second);
        arrowHead(p, first, horz ? Point::Left : Point::Up, look.text);
        arrowHead(p, second, horz ? Point::Right : Point::Down, look.text);
        break;
    }
    case WndClass::Toolbar:
        paintToolbar(p, w, look);
        break;
    default:
        fill(p, look.all, ui::kFaceColor);
        break;
    }
}

} // namespace ui::detail

// --- PNG -----------------------------------------------------------------

namespace {

using namespace ui::detail;

void paintTree(HWND h, bool root)
{
    Window* w = lookup(h);
    if (!w || (!root && !(w->style & WS_VISIBLE)))
        return;
    const CRect c = clientRect(*w);
    if (!w->surface || !w->invalid.IsRectEmpty() || w->surface->width != c.Width() ||
        w->surface->height != c.Height()) {
        if (w->invalid.IsRectEmpty())
            invalidate(*w, nullptr, true);
        send(h, WM_PAINT);
    }
    if ((w = lookup(h))) {
        const std::vector<HWND> kids = w->children;
        for (HWND k : kids)
            paintTree(k, false);
    }
}

void blit(Pixels& dst, const Pixels& src, int ox, int oy, const CRect& clip)
{
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const int dx = ox + x, dy = oy + y;
            const COLORREF c = src.px[static_cast<size_t>(y) * src.width + x];
            if (c != kClear && dst.inside(dx, dy) && clip.PtInRect(CPoint(dx, dy)))
                dst.at(dx, dy) = c;
        }
}

// Draws the window (frame and client) at (ox, oy) of the image, then its
// visible children inside its client area.
void compose(Pixels& img, Window& w, int ox, int oy, const CRect& clip)
{
    const RECT in = insets(w);
    const CRect outer(ox, oy, ox + w.rect.Width(), oy + w.rect.Height());
    CRect visible;
    visible.IntersectRect(&outer, &clip);
    if (in.left || in.top || in.right || in.bottom) {
        for (int y = visible.top; y < visible.bottom; ++y)
            for (int x = visible.left; x < visible.right; ++x)
                if (img.inside(x, y))
                    img.at(x, y) = ui::kFaceColor;
        if ((w.style & WS_CAPTION) == WS_CAPTION) {
            for (int y = oy + 3; y < oy + in.top; ++y)
                for (int x = ox + 3; x < outer.right - 3; ++x)
                    if (img.inside(x, y) && visible.PtInRect(CPoint(x, y)))
                        img.at(x, y) = ui::kCaptionColor;
            drawText(img, ox + 8, oy + 3 + (in.top - 3 - textHeight()) / 2 + 1, w.text, RGB(255, 255, 255));
        }
        for (int x = outer.left; x < outer.right; ++x) {
            if (img.inside(x, outer.top)) img.at(x, outer.top) = ui::kFrameColor;
            if (img.inside(x, outer.bottom - 1)) img.at(x, outer.bottom - 1) = ui::kFrameColor;
        }
        for (int y = outer.top; y < outer.bottom; ++y) {
            if (img.inside(outer.left, y)) img.at(outer.left, y) = ui::kFrameColor;
            if (img.inside(outer.right - 1, y)) img.at(outer.right - 1, y) = ui::kFrameColor;
        }
    }
    const int cx = ox + in.left, cy = oy + in.top;
    CRect client(cx, cy, outer.right - in.right, outer.bottom - in.bottom);
    CRect inner;
    inner.IntersectRect(&client, &visible);
    if (w.surface)
        blit(img, *w.surface, cx, cy, inner);
    for (HWND k : w.children) {
        Window* c = lookup(k);
        if (c && (c->style & WS_VISIBLE))
            compose(img, *c, cx + c->rect.left, cy + c->rect.top, inner);
    }
}

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

// libpng reports errors by longjmp; nothing here outlives the jump.
// Written to a file when f is set, else appended to *memory.
bool encode(png_structp png, png_infop info, FILE* f, std::string* memory, const Pixels& img, std::vector<png_byte>& row)
{
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    if (f)
        png_init_io(png, f);
    else
        png_set_write_fn(png, memory, appendBytes, nullptr);
    png_set_IHDR(png, info, img.width, img.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            COLORREF c = img.px[static_cast<size_t>(y) * img.width + x];
            if (c == kClear)
                c = ui::kFaceColor;
            row[x * 3] = GetRValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetBValue(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

bool writePng(const Pixels& img, const std::string& path)
{
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<size_t>(img.width) * 3);
    bool ok = png && info && encode(png, info, f, nullptr, img, row);
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    std::remove(tmp.c_str());
    return false;
}

bool pngBytes(const Pixels& img, std::string& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<size_t>(img.width) * 3);
    std::string bytes;
    const bool ok = png && info && encode(png, info, nullptr, &bytes, img, row);
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (ok)
        out = std::move(bytes);
    return ok;
}

// The window as seen, painted first; false when it has no size.
bool windowPixels(CWnd* pWnd, std::optional<Pixels>& img)
{
    Window* w = pWnd ? lookup(pWnd->m_hWnd) : nullptr;
    if (!w || w->rect.Width() <= 0 || w->rect.Height() <= 0)
        return false;
    const HWND h = w->hwnd;
    paintTree(h, true);
    if (!(w = lookup(h)))
        return false;
    img.emplace(w->rect.Width(), w->rect.Height(), ui::kFaceColor);
    compose(*img, *w, 0, 0, CRect(0, 0, img->width, img->height));
    return true;
}

} // namespace

bool ui::saveWindowPng(CWnd* pWnd, const std::string& path)
{
    std::optional<Pixels> img;
    return windowPixels(pWnd, img) && writePng(*img, path);
}

bool ui::windowPng(CWnd* pWnd, std::string& png)
{
    std::optional<Pixels> img;
    return windowPixels(pWnd, img) && pngBytes(*img, png);
}

bool ui::saveBitmapPng(const CBitmap& bitmap, const std::string& path)
{
    if (bitmap.IsNull() || bitmap.m_pixels->width <= 0 || bitmap.m_pixels->height <= 0)
        return false;
    return writePng(*bitmap.m_pixels, path);
}
