// Text helpers shared inside the toolkit: case folding and formatting.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace ui::detail {

// Simple case folding: ASCII letters always, other characters as the C
// library folds them.
wchar_t foldCase(wchar_t c);
// <0, 0, >0 comparing folded characters.
int compareNoCase(std::wstring_view a, std::wstring_view b);
bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix);
// The formatter behind CString::Format.
std::wstring formatV(const wchar_t* format, va_list args);

} // namespace ui::detail
