#include "ui/cstring.h"

#include "host/adsdefs.h"
#include "ui/detail/text.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstddef>
#include <cwchar>
#include <cwctype>
#include <locale.h>

namespace {

// The format in glibc's wide terms. Windows' wide functions read %s and %c
// as wide and %S and %C as narrow, h and w make them narrow and wide, and
// I64, I32 and I are length modifiers; glibc reads %s and %c as narrow and
// %ls and %lc as wide.
std::wstring glibcFormat(const wchar_t* format)
{
    std::wstring out;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* start = p;
        const std::size_t at = out.size();
        out += *p++;
        if (*p == L'%') {
            out += *p++;
            continue;
        }
        // Flags, width and precision read the same.
        while (*p && (std::wcschr(L"-+ #0*.", *p) || (*p >= L'0' && *p <= L'9')))
            out += *p++;
        const auto isText = [](wchar_t c) { return c == L's' || c == L'S' || c == L'c' || c == L'C'; };
        bool narrow = false, wide = false;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            out += L"ll";
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            p += 3;
        } else if (*p == L'I') {
            out += L'z';
            ++p;
        } else if (*p == L'h' && isText(p[1])) {
            narrow = true;
            ++p;
        } else if ((*p == L'l' || *p == L'w') && isText(p[1])) {
            wide = true;
            ++p;
        }
        if (isText(*p)) {
            if (!narrow && (wide || *p == L's' || *p == L'c'))
                out += L'l';
            out += *p == L'S' || *p == L's' ? L's' : L'c';
            ++p;
        } else if (!*p) {
            // A directive cut off by the end of the format is text.
            out.resize(at);
            out += L'%';
            out += start;
        }
    }
    return out;
}

// Narrow text (%S, %hs) is UTF-8 while in scope, on this thread only; the
// other categories (the decimal point) stay as they are.
class NarrowTextIsUtf8 {
public:
    NarrowTextIsUtf8() : m_utf8(utf8Text()), m_previous(m_utf8 ? uselocale(m_utf8) : static_cast<locale_t>(0)) {}
    ~NarrowTextIsUtf8()
    {
        if (m_utf8) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }
    NarrowTextIsUtf8(const NarrowTextIsUtf8&) = delete;
    NarrowTextIsUtf8& operator=(const NarrowTextIsUtf8&) = delete;

private:
    static locale_t utf8Text()
    {
        const locale_t base = duplocale(uselocale(static_cast<locale_t>(0)));
        if (!base)
            return static_cast<locale_t>(0);
        const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
        if (!utf8)
            freelocale(base);
        return utf8;
    }

    locale_t m_utf8;
    locale_t m_previous;
};

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
    if (!format)
        return {};
    const std::wstring glibc = glibcFormat(format);
    const NarrowTextIsUtf8 utf8;
    std::wstring out(512, L'\0');
    while (true) {
        va_list copy;
        va_copy(copy, args);
        errno = 0;
        const int n = std::vswprintf(out.data(), out.size(), glibc.c_str(), copy);
        va_end(copy);
        if (n >= 0) {
            out.resize(static_cast<std::size_t>(n));
            return out;
        }
        // Too long for the buffer: grow; text that does not convert: nothing.
        if (errno == EILSEQ || out.size() > (std::size_t(1) << 26))
            return {};
        out.resize(out.size() * 4);
    }
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
