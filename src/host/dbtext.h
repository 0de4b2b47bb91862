// Where a text sits: the placement that extents and rendering share.
#pragma once

#include "host/dbmain.h"

struct TextLayout {
    // Start of the baseline in world coordinates.
    AcGePoint3d origin;
    // Along the baseline, and from the baseline up to the cap height.
    double width = 0.0;
    double height = 0.0;
    // Below the baseline.
    double descent = 0.0;
    // Baseline direction in radians.
    double rotation = 0.0;
};

// Estimated advance of the text in units of its height (before the width
// factor): CJK characters are square, others 0.6 of the height.
double estimateTextAdvance(const std::string& utf8);
TextLayout layoutText(const AcDbText& text);
