#include "tools/PreviewPicture.h"

void PaintPreviewPicture(CDC& dc, const CRect& rect, CBitmap* bitmap, CPoint at)
{
    CBrush black(RGB(0, 0, 0));
    dc.FillRect(&rect, &black);
    dc.SetBkMode(TRANSPARENT);
    if (!bitmap)
        return;
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap* old = memory.SelectObject(bitmap);
    dc.BitBlt(at.x, at.y, rect.right - at.x, rect.bottom - at.y, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}
