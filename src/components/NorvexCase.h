// Letter case of the module's names and codes: layer and block names,
// settings keys, equipment letter codes, slide names, file endings. Only
// the ASCII letters change case; Chinese text and every other character
// stay as they are, whatever the process locale. Header only, so that the
// slide library uses the same rule.
#pragma once

#include <string>
#include <string_view>

inline wchar_t UpperChar(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

inline char UpperChar(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whole texts: std::string (UTF-8 bytes) or std::wstring.
template <class C>
std::basic_string<C> UpperStr(std::basic_string<C> text)
{
    for (C& c : text)
        c = UpperChar(c);
    return text;
}

// Whether two texts are the same when letter case is ignored.
template <class C>
bool EqualNoCase(std::basic_string_view<C> a, std::basic_string_view<C> b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i]))
            return false;
    return true;
}

inline bool EqualNoCase(std::wstring_view a, std::wstring_view b)
{
    return EqualNoCase<wchar_t>(a, b);
}

inline bool EqualNoCase(std::string_view a, std::string_view b)
{
    return EqualNoCase<char>(a, b);
}
