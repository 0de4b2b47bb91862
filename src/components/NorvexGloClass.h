// Numeric edit boxes: CDoubleEdit takes a signed decimal number,
// CUnsignedDoubleEdit one without a sign. Typed characters that would not
// keep the text a number in the making (digits, one decimal point, a minus
// sign in front), or that would make it too large for a double, are
// refused; pasted or set text is not checked.
#pragma once

#include "ui/afxwin.h"

class CDoubleEdit : public CEdit {
public:
    explicit CDoubleEdit(bool allowSign = true) : m_allowSign(allowSign) {}
    // The text as a number; false (value unchanged) when it is not one.
    bool GetValue(double& value) const;
    // Shows the value with up to `decimals` digits after the point,
    // trailing zeros dropped.
    void SetValue(double value, int decimals = 4);

protected:
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) override;

private:
    bool m_allowSign;
};

class CUnsignedDoubleEdit : public CDoubleEdit {
public:
    CUnsignedDoubleEdit() : CDoubleEdit(false) {}
};

// Whether text is a decimal number (optional sign, digits, at most one
// point, at least one digit), as the numeric edit boxes take it.
bool IsDecimalNumber(const std::wstring& text, bool allowSign);
