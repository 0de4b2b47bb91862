#include "components/NorvexGloClass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>

bool IsDecimalNumber(const std::wstring& text, bool allowSign)
{
    std::size_t i = 0;
    if (allowSign && i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        ++i;
    bool digit = false, point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= L'0' && text[i] <= L'9')
            digit = true;
        else if (text[i] == L'.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

bool CDoubleEdit::GetValue(double& value) const
{
    CString text;
    GetWindowText(text);
    const std::wstring s = text.GetString();
    if (!IsDecimalNumber(s, m_allowSign))
        return false;
    const double v = std::wcstod(s.c_str(), nullptr);
    if (!std::isfinite(v))
        return false;
    value = v;
    return true;
}

void CDoubleEdit::SetValue(double value, int decimals)
{
    if (!std::isfinite(value))
        return;
    if (!m_allowSign && value < 0)
        value = 0;
    CString text; // whole however long: 1e300 has 301 digits
    text.Format(L"%.*f", std::clamp(decimals, 0, 12), value);
    std::wstring s = text.GetString();
    if (s.find(L'.') != std::wstring::npos) {
        while (s.back() == L'0')
            s.pop_back();
        if (s.back() == L'.')
            s.pop_back();
    }
    if (s == L"-0")
        s = L"0";
    SetWindowText(s.c_str());
}

void CDoubleEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    const wchar_t ch = static_cast<wchar_t>(nChar);
    if (ch < 32) { // backspace and other control keys
        CEdit::OnChar(nChar, nRepCnt, nFlags);
        return;
    }
    // The text as it would be with the character typed over the selection.
    CString text;
    GetWindowText(text);
    std::wstring s = text.GetString();
    int a = 0, b = 0;
    GetSel(a, b);
    a = std::clamp(a, 0, static_cast<int>(s.size()));
    b = std::clamp(b, a, static_cast<int>(s.size()));
    s.replace(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a), 1, ch);
    // A number in the making: a lone sign or point may still become one.
    const bool partial = s == L"-" || s == L"." || s == L"-." || IsDecimalNumber(s, m_allowSign);
    if (!partial || (!m_allowSign && (ch == L'-' || ch == L'+'))) {
        ui::refuseTyping(*this, ch, m_allowSign ? L"takes a number" : L"takes a number without a sign");
        return;
    }
    // Digits beyond what a double holds would make the number infinite.
    if (IsDecimalNumber(s, m_allowSign) && !std::isfinite(std::wcstod(s.c_str(), nullptr))) {
        ui::refuseTyping(*this, ch, L"takes no larger number");
        return;
    }
    CEdit::OnChar(nChar, nRepCnt, nFlags);
}
