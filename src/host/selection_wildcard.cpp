// Wildcard patterns as wcmatch reads them: #, @, ., *, ?, ~, [...], [~...],
// ` to quote and commas between alternatives.
#include "host/selection.h"


#include <cwctype>

namespace {

wchar_t fold(wchar_t c, bool ignoreCase)
{
    return ignoreCase ? upperAscii(c) : c;
}

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool isLetter(wchar_t c)
{
    return std::iswalpha(static_cast<wint_t>(c)) != 0;
}

// Where the bracket set starting at pattern[i] == '[' ends (the index of
// its ']'), or npos when it is not closed.
std::size_t setEnd(std::wstring_view p, std::size_t i)
{
    std::size_t j = i + 1;
    if (j < p.size() && p[j] == L'~')
        ++j;
    // A ']' right after the opening is a member.
    if (j < p.size() && p[j] == L']')
        ++j;
    for (; j < p.size(); ++j) {
        if (p[j] == L'`') {
            ++j;
            continue;
        }
        if (p[j] == L']')
            return j;
    }
    return std::wstring_view::npos;
}

bool inSet(std::wstring_view p, std::size_t open, std::size_t close, wchar_t c, bool ignoreCase)
{
    std::size_t j = open + 1;
    bool negate = false;
    if (j < close && p[j] == L'~' && j + 1 < close) {
        negate = true;
        ++j;
    }
    const wchar_t fc = fold(c, ignoreCase);
    bool found = false;
    while (j < close) {
        wchar_t lo = p[j];
        if (lo == L'`' && j + 1 < close)
            lo = p[++j];
        ++j;
        wchar_t hi = lo;
        if (j + 1 < close && p[j] == L'-') {
            hi = p[j + 1];
            if (hi == L'`' && j + 2 < close)
                hi = p[j + 2], ++j;
            j += 2;
        }
        if (fold(lo, ignoreCase) <= fc && fc <= fold(hi, ignoreCase))
            found = true;
        else if (ignoreCase && lo <= c && c <= hi)
            found = true;
    }
    return found != negate;
}

// Whether pattern element at p[i] matches c; next is where the element ends.
bool elementMatches(std::wstring_view p, std::size_t i, wchar_t c, bool ignoreCase, std::size_t& next)
{
    const wchar_t e = p[i];
    next = i + 1;
    switch (e) {
    case L'?':
        return true;
    case L'#':
        return isDigit(c);
    case L'@':
        return isLetter(c);
    case L'.':
        return !isDigit(c) && !isLetter(c);
    case L'`':
        if (i + 1 < p.size()) {
            next = i + 2;
            return fold(p[i + 1], ignoreCase) == fold(c, ignoreCase);
        }
        return c == L'`';
    case L'[': {
        const std::size_t close = setEnd(p, i);
        if (close != std::wstring_view::npos) {
            next = close + 1;
            return inSet(p, i, close, c, ignoreCase);
        }
        return c == L'[';
    }
    default:
        return fold(e, ignoreCase) == fold(c, ignoreCase);
    }
}

// One alternative (without "," and the leading "~"): "*" backtracks to the
// last star only, which is enough as every other element takes one character.
bool matchAlternative(std::wstring_view t, std::wstring_view p, bool ignoreCase)
{
    std::size_t ti = 0, pi = 0;
    std::size_t starP = std::wstring_view::npos, starT = 0;
    while (ti < t.size()) {
        std::size_t next = 0;
        if (pi < p.size() && p[pi] == L'*') {
            starP = ++pi;
            starT = ti;
            continue;
        }
        if (pi < p.size() && elementMatches(p, pi, t[ti], ignoreCase, next)) {
            pi = next;
            ++ti;
            continue;
        }
        if (starP == std::wstring_view::npos)
            return false;
        pi = starP;
        ti = ++starT;
    }
    while (pi < p.size() && p[pi] == L'*')
        ++pi;
    return pi == p.size();
}

} // namespace

namespace host {

bool wcMatch(std::wstring_view text, std::wstring_view pattern, bool ignoreCase)
{
    // Split into alternatives at commas outside sets and escapes.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= pattern.size(); ++i) {
        if (i < pattern.size()) {
            if (pattern[i] == L'`') {
                ++i;
                continue;
            }
            if (pattern[i] == L'[') {
                const std::size_t close = setEnd(pattern, i);
                if (close != std::wstring_view::npos)
                    i = close;
                continue;
            }
            if (pattern[i] != L',')
                continue;
        }
        std::wstring_view alt = pattern.substr(start, i - start);
        bool negate = false;
        if (!alt.empty() && alt[0] == L'~') {
            negate = true;
            alt.remove_prefix(1);
        }
        if (matchAlternative(text, alt, ignoreCase) != negate)
            return true;
        start = i + 1;
    }
    return false;
}

} // namespace host
