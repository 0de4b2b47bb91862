#include "tools/PreviewPicture.h"

void PaintPreviewPicture(CDC& dc, const CRect& rect, CBitmap* bitmap, int top)
{
    CBrush black(RGB(0, 0, 0));
    dc.FillRect(&rect, &black);
    dc.SetBkMode(TRANSPARENT);
    if (!bitmap)
        return;
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap* old = memory.SelectObject(bitmap);
    dc.BitBlt(0, top, rect.right, rect.bottom, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}
