// Device contexts: CDC and CPaintDC. Drawing members come with the bitmap
// painting; for now a CPaintDC carries what WM_PAINT handlers need to know
// (the area to paint) and validates the window as BeginPaint does.
#pragma once

#include "ui/wnd.h"

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    // The window the context paints, nullptr for none.
    CWnd* GetWindow() const { return m_pWnd; }

    HDC m_hDC = nullptr;

protected:
    CWnd* m_pWnd = nullptr;
};

// BeginPaint on construction: m_ps.rcPaint is the invalid area (client
// coordinates), m_ps.fErase whether the background was to be erased, and
// the window counts as painted from then on.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};
};
