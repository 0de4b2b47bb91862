// The picture controls of the tools' dialogs: a black field with a bitmap
// on it (a bus bar type, a switch table's preview).
#pragma once

#include "ui/afxwin.h"

// Fills the rectangle black, then draws the bitmap (none: the field stays
// black) with its top-left corner at `at`, cut at the rectangle's right and
// bottom; text drawn afterwards has a transparent background.
void PaintPreviewPicture(CDC& dc, const CRect& rect, CBitmap* bitmap, CPoint at = CPoint(0, 0));
