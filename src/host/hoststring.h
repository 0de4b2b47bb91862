// Letter case of the host's names: commands, system variables, keywords,
// LISP symbols, table and file names. Only the ASCII letters change case;
// every other character (Chinese text among them) stays as it is, whatever
// the process locale.
#pragma once

#include <string>

inline char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline wchar_t upperAscii(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

inline char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline wchar_t lowerAscii(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Whole texts: std::string (UTF-8 bytes) or std::wstring.
template <class C>
std::basic_string<C> upperAscii(std::basic_string<C> s)
{
    for (C& c : s)
        c = upperAscii(c);
    return s;
}

template <class C>
std::basic_string<C> lowerAscii(std::basic_string<C> s)
{
    for (C& c : s)
        c = lowerAscii(c);
    return s;
}
