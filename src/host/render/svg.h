// The SVG picture of a drawing's model space.
#pragma once

#include "host/accolor.h"
#include "host/dbmain.h"

#include <cstdint>
#include <string>

struct SvgOptions {
    // Blank space around the drawing extents, in drawing units.
    double margin = 5.0;
    // Draw on black (colour 7 white) instead of on white (colour 7 black).
    bool darkBackground = false;
    // Pixel size of the longer side of the picture.
    int maxPixels = 2000;
};

// Writes the model space of db (erased entities and entities on layers that
// are off or frozen skipped) as a standalone SVG document in UTF-8. Block
// references are drawn through their block's entities. The same drawing
// gives the same bytes.
std::string renderSvg(const AcDbDatabase& db, const SvgOptions& opt = {});
