// The one font the renderers draw texts with, and what it measures: the
// SVG names it and its width is computed from the same outlines, so every
// viewer that has the font shows texts at the width the picture gives them.
#pragma once

#include <string>

namespace render {

struct FontFile {
    std::string path;
    // Face within a font collection (.ttc).
    int index = 0;
};

// An installed font that covers Chinese (fontconfig's best match for
// WenQuanYi Micro Hei, then known files); an empty path when there is none.
const FontFile& cjkFontFile();

// The family name a picture asks for, followed by fallbacks, as one CSS
// font-family value.
const char* fontFamilyList();

// Advance of a run of characters at font size 1 (in units of the size),
// from the font's own metrics; an estimate when no font is installed.
double fontAdvance(const std::wstring& text);

// Height of the capitals at font size 1.
double fontCapHeight();

// Whether a character is set at the CJK size (a square of the text height)
// rather than the Latin one (capitals the text height tall).
bool isCjkCharacter(wchar_t c);

} // namespace render
