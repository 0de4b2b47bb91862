#include "ui/cstring.h"

#include "host/adsdefs.h"
#include "ui/detail/text.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <cwctype>

namespace {

// Formats one conversion with swprintf; `directive` is a complete glibc wide
// conversion directive.
template <class T>
void appendOne(std::wstring& out, const std::wstring& directive, int width, int precision, bool starW, bool starP, T v)
{
    wchar_t buf[512];
    int n;
    if (starW && starP)
        n = std::swprintf(buf, 512, directive.c_str(), width, precision, v);
    else if (starW)
        n = std::swprintf(buf, 512, directive.c_str(), width, v);
    else if (starP)
        n = std::swprintf(buf, 512, directive.c_str(), precision, v);
    else
        n = std::swprintf(buf, 512, directive.c_str(), v);
    if (n >= 0) {
        out.append(buf, static_cast<size_t>(n));
        return;
    }
    // Longer than the buffer (a wide field or a long string): grow.
    for (size_t cap = 4096; cap <= (size_t(1) << 26); cap *= 4) {
        std::wstring big(cap, L'\0');
        if (starW && starP)
            n = std::swprintf(big.data(), cap, directive.c_str(), width, precision, v);
        else if (starW)
            n = std::swprintf(big.data(), cap, directive.c_str(), width, v);
        else if (starP)
            n = std::swprintf(big.data(), cap, directive.c_str(), precision, v);
        else
            n = std::swprintf(big.data(), cap, directive.c_str(), v);
        if (n >= 0) {
            out.append(big.data(), static_cast<size_t>(n));
            return;
        }
    }
}

} // namespace

namespace ui::detail {

wchar_t foldCase(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c - L'A' + L'a');
    if (c < 128)
        return c;
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

int compareNoCase(std::wstring_view a, std::wstring_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wchar_t x = foldCase(a[i]), y = foldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() && compareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

std::wstring formatV(const wchar_t* format, va_list args)
{
    std::wstring out;
    if (!format)
        return out;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        std::wstring directive = L"%";
        while (*p && std::wcschr(L"-+ #0", *p))
            directive += *p++;
        bool starW = false, starP = false;
        int width = 0, precision = 0;
        if (*p == L'*') {
            starW = true;
            directive += *p++;
        } else {
            while (*p >= L'0' && *p <= L'9')
                directive += *p++;
        }
        if (*p == L'.') {
            directive += *p++;
            if (*p == L'*') {
                starP = true;
                directive += *p++;
            } else {
                while (*p >= L'0' && *p <= L'9')
                    directive += *p++;
            }
        }
        if (starW)
            width = va_arg(args, int);
        if (starP)
            precision = va_arg(args, int);
        // Length modifiers, Windows and C.
        enum { None, H, HH, L, LL, Z, J, T, BigL, W } len = None;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            len = LL;
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            p += 3;
        } else if (*p == L'I') {
            len = Z;
            ++p;
        } else if (p[0] == L'h' && p[1] == L'h') {
            len = HH;
            p += 2;
        } else if (*p == L'h') {
            len = H;
            ++p;
        } else if (p[0] == L'l' && p[1] == L'l') {
            len = LL;
            p += 2;
        } else if (*p == L'l') {
            len = L;
            ++p;
        } else if (*p == L'w') {
            len = W;
            ++p;
        } else if (*p == L'z') {
            len = Z;
            ++p;
        } else if (*p == L'j') {
            len = J;
            ++p;
        } else if (*p == L't') {
            len = T;
            ++p;
        } else if (*p == L'L') {
            len = BigL;
            ++p;
        }
        const wchar_t conv = *p;
        if (!conv) {
            out.append(start);
            break;
        }
        ++p;
        switch (conv) {
        case L'd':
        case L'i':
        case L'o':
        case L'u':
        case L'x':
        case L'X': {
            const bool isSigned = conv == L'd' || conv == L'i';
            switch (len) {
            case LL:
                directive += L"ll";
                directive += conv;
                if (isSigned)
                    appendOne(out, directive, width, precision, starW, starP, va_arg(args, long long));
                else
                    appendOne(out, directive, width, precision, starW, starP, va_arg(args, unsigned long long));
                break;
            case L:
                directive += L"l";
                directive += conv;
                if (isSigned)
                    appendOne(out, directive, width, precision, starW, starP, va_arg(args, long));
                else
                    appendOne(out, directive, width, precision, starW, starP, va_arg(args, unsigned long));
                break;
            case Z:
            case J:
            case T:
                directive += L"ll";
                directive += conv;
                if (isSigned)
                    appendOne(out, directive, width, precision, starW, starP,
                              static_cast<long long>(va_arg(args, std::ptrdiff_t)));
                else
                    appendOne(out, directive, width, precision, starW, starP,
                              static_cast<unsigned long long>(va_arg(args, std::size_t)));
                break;
            default: {
                int v = va_arg(args, int);
                if (len == H)
                    v = isSigned ? static_cast<short>(v) : static_cast<unsigned short>(v);
                else if (len == HH)
                    v = isSigned ? static_cast<signed char>(v) : static_cast<unsigned char>(v);
                directive += conv;
                if (isSigned)
                    appendOne(out, directive, width, precision, starW, starP, v);
                else
                    appendOne(out, directive, width, precision, starW, starP, static_cast<unsigned>(v));
            }
            }
            break;
        }
        case L'e':
        case L'E':
        case L'f':
        case L'F':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
            if (len == BigL) {
                directive += L'L';
                directive += conv;
                appendOne(out, directive, width, precision, starW, starP, va_arg(args, long double));
            } else {
                directive += conv;
                appendOne(out, directive, width, precision, starW, starP, va_arg(args, double));
            }
            break;
        case L'c':
        case L'C': {
            const bool narrow = len == H || (conv == L'C' && len != L && len != W);
            const int v = va_arg(args, int);
            const wchar_t ch = narrow ? static_cast<wchar_t>(static_cast<unsigned char>(v)) : static_cast<wchar_t>(v);
            directive += L"lc";
            appendOne(out, directive, width, precision, starW, starP, static_cast<wint_t>(ch));
            break;
        }
        case L's':
        case L'S': {
            const bool narrow = len == H || (conv == L'S' && len != L && len != W);
            std::wstring text;
            if (narrow) {
                const char* s = va_arg(args, const char*);
                text = s ? utf8ToWide(s) : std::wstring(L"(null)");
            } else {
                const wchar_t* s = va_arg(args, const wchar_t*);
                text = s ? s : L"(null)";
            }
            directive += L"ls";
            appendOne(out, directive, width, precision, starW, starP, text.c_str());
            break;
        }
        case L'p':
            directive += L'p';
            appendOne(out, directive, width, precision, starW, starP, va_arg(args, void*));
            break;
        default:
            // Unknown conversions are copied as written.
            out.append(start, p);
            break;
        }
    }
    return out;
}

} // namespace ui::detail

CString::CString(const char* utf8) : m_str(utf8 ? utf8ToWide(utf8) : std::wstring()) {}

std::string CString::utf8() const { return wideToUtf8(m_str); }

wchar_t CString::GetAt(int i) const
{
    return i >= 0 && i < GetLength() ? m_str[static_cast<size_t>(i)] : L'\0';
}

void CString::SetAt(int i, wchar_t ch)
{
    if (i >= 0 && i < GetLength())
        m_str[static_cast<size_t>(i)] = ch;
}

LPTSTR CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_str.resize(static_cast<size_t>(minLength));
    return m_str.data();
}

LPTSTR CString::GetBufferSetLength(int length)
{
    m_str.resize(static_cast<size_t>(length > 0 ? length : 0));
    return m_str.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0) {
        const size_t z = m_str.find(L'\0');
        if (z != std::wstring::npos)
            m_str.resize(z);
    } else if (newLength <= GetLength()) {
        m_str.resize(static_cast<size_t>(newLength));
    }
}

void CString::Format(LPCTSTR format, ...)
{
    va_list args;
    va_start(args, format);
    m_str = ui::detail::formatV(format, args);
    va_end(args);
}

void CString::AppendFormat(LPCTSTR format, ...)
{
    va_list args;
    va_start(args, format);
    m_str += ui::detail::formatV(format, args);
    va_end(args);
}

CString ui::formatText(LPCTSTR format, ...)
{
    va_list args;
    va_start(args, format);
    CString s(ui::detail::formatV(format, args));
    va_end(args);
    return s;
}

CString CString::Left(int count) const
{
    if (count <= 0)
        return CString();
    return CString(m_str.substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_str.substr(m_str.size() - static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (first >= GetLength() || count <= 0)
        return CString();
    return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    const size_t i = m_str.find(ch, static_cast<size_t>(start));
    return i == std::wstring::npos ? -1 : static_cast<int>(i);
}

int CString::Find(LPCTSTR sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    const size_t i = m_str.find(sub, static_cast<size_t>(start));
    return i == std::wstring::npos ? -1 : static_cast<int>(i);
}

int CString::ReverseFind(wchar_t ch) const
{
    const size_t i = m_str.rfind(ch);
    return i == std::wstring::npos ? -1 : static_cast<int>(i);
}

int CString::FindOneOf(LPCTSTR chars) const
{
    if (!chars)
        return -1;
    const size_t i = m_str.find_first_of(chars);
    return i == std::wstring::npos ? -1 : static_cast<int>(i);
}

int CString::Replace(wchar_t oldCh, wchar_t newCh)
{
    int n = 0;
    for (auto& c : m_str)
        if (c == oldCh) {
            c = newCh;
            ++n;
        }
    return n;
}

int CString::Replace(LPCTSTR oldText, LPCTSTR newText)
{
    if (!oldText || !*oldText)
        return 0;
    const std::wstring from(oldText), to(newText ? newText : L"");
    int n = 0;
    size_t pos = 0;
    while ((pos = m_str.find(from, pos)) != std::wstring::npos) {
        m_str.replace(pos, from.size(), to);
        pos += to.size();
        ++n;
    }
    return n;
}

int CString::Remove(wchar_t ch)
{
    const size_t before = m_str.size();
    std::erase(m_str, ch);
    return static_cast<int>(before - m_str.size());
}

int CString::Insert(int index, wchar_t ch)
{
    index = std::clamp(index, 0, GetLength());
    m_str.insert(static_cast<size_t>(index), 1, ch);
    return GetLength();
}

int CString::Insert(int index, LPCTSTR text)
{
    index = std::clamp(index, 0, GetLength());
    if (text)
        m_str.insert(static_cast<size_t>(index), text);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_str.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_str.size() && std::iswspace(static_cast<wint_t>(m_str[i])))
        ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && std::iswspace(static_cast<wint_t>(m_str[n - 1])))
        --n;
    m_str.resize(n);
    return *this;
}

CString& CString::Trim(LPCTSTR chars) { return TrimRight(chars).TrimLeft(chars); }

CString& CString::TrimLeft(LPCTSTR chars)
{
    if (chars)
        m_str.erase(0, std::min(m_str.find_first_not_of(chars), m_str.size()));
    return *this;
}

CString& CString::TrimRight(LPCTSTR chars)
{
    if (chars) {
        const size_t last = m_str.find_last_not_of(chars);
        m_str.resize(last == std::wstring::npos ? 0 : last + 1);
    }
    return *this;
}

CString& CString::MakeUpper()
{
    for (auto& c : m_str)
        c = static_cast<wchar_t>(c < 128 ? (c >= L'a' && c <= L'z' ? c - 32 : c) : std::towupper(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::MakeLower()
{
    for (auto& c : m_str)
        c = ui::detail::foldCase(c);
    return *this;
}

int CString::Compare(LPCTSTR other) const
{
    const int r = m_str.compare(other ? other : L"");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(LPCTSTR other) const
{
    return ui::detail::compareNoCase(m_str, other ? other : L"");
}
