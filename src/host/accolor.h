// The colours of the AutoCAD Color Index: what an index looks like on the
// screen. Part of the host's interface: renderers and applications take
// their colours from here.
#pragma once

#include <cstdint>

// The colour of an index 1..255 as 0xRRGGBB; colour 7 (and anything out of
// range) is black on a light background and white on a dark one.
std::uint32_t aciToRgb(int colorIndex, bool darkBackground = false);
