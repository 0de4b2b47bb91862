// CString: a wide text string with the members dialog code uses.
//
// It converts to LPCTSTR implicitly (as the Windows class does), so it can
// be passed wherever a wide C string is wanted; the pointer stays valid
// until the string next changes. Format and AppendFormat take printf
// formats with the Windows wide meaning of the conversions: %s and %c are
// wide text and characters, %S and %C narrow (UTF-8) ones, %I64d a 64-bit
// integer; everything else is as in C.
#pragma once

#include "ui/wintypes.h"

#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const wchar_t* s) : m_str(s ? s : L"") {}
    CString(const wchar_t* s, int length) : m_str(s ? std::wstring(s, static_cast<size_t>(length)) : std::wstring()) {}
    CString(wchar_t ch, int repeat = 1) : m_str(static_cast<size_t>(repeat > 0 ? repeat : 0), ch) {}
    CString(std::wstring s) : m_str(std::move(s)) {}
    CString(std::wstring_view s) : m_str(s) {}
    // Narrow text is read as UTF-8.
    explicit CString(const char* utf8);

    operator LPCTSTR() const { return m_str.c_str(); }
    LPCTSTR GetString() const { return m_str.c_str(); }
    const std::wstring& str() const { return m_str; }
    std::string utf8() const;

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    // Out-of-range indexes read as 0 and are ignored when written.
    wchar_t GetAt(int i) const;
    void SetAt(int i, wchar_t ch);
    wchar_t operator[](int i) const { return GetAt(i); }

    // A writable buffer of at least minLength characters plus the ending
    // zero; ReleaseBuffer takes the text up to its first zero (newLength
    // -1) or the given length.
    LPTSTR GetBuffer(int minLength = 0);
    LPTSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    void Format(LPCTSTR format, ...);
    void AppendFormat(LPCTSTR format, ...);

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    // Index of the first match at or after start, -1 when none.
    int Find(wchar_t ch, int start = 0) const;
    int Find(LPCTSTR sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int FindOneOf(LPCTSTR chars) const;
    // Number of replacements made.
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(LPCTSTR oldText, LPCTSTR newText);
    int Remove(wchar_t ch);
    int Insert(int index, wchar_t ch);
    int Insert(int index, LPCTSTR text);
    int Delete(int index, int count = 1);
    // Without arguments, white space is trimmed.
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(LPCTSTR chars);
    CString& TrimLeft(LPCTSTR chars);
    CString& TrimRight(LPCTSTR chars);
    CString& MakeUpper();
    CString& MakeLower();
    // <0, 0, >0 as wcscmp; the NoCase form folds case character by
    // character.
    int Compare(LPCTSTR other) const;
    int CompareNoCase(LPCTSTR other) const;

    CString& operator=(const wchar_t* s) { m_str = s ? s : L""; return *this; }
    CString& operator=(wchar_t ch) { m_str.assign(1, ch); return *this; }
    CString& operator=(std::wstring s) { m_str = std::move(s); return *this; }
    CString& operator+=(const CString& s) { m_str += s.m_str; return *this; }
    CString& operator+=(const wchar_t* s) { if (s) m_str += s; return *this; }
    CString& operator+=(wchar_t ch) { m_str += ch; return *this; }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
    friend CString operator+(const CString& a, const wchar_t* b) { CString r(a); r += b; return r; }
    friend CString operator+(const wchar_t* a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, wchar_t b) { CString r(a); r += b; return r; }
    friend CString operator+(wchar_t a, const CString& b) { CString r(a); r += b; return r; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
    friend bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }

private:
    std::wstring m_str;
};

namespace ui {
// Formats like CString::Format (Windows meaning of %s, %c, %S, %C, %I64).
CString formatText(LPCTSTR format, ...);
}
