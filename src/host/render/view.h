// Where the drawing lands in an output: a picture sized in pixels around
// the drawing, or a paper page in points with the drawing at a scale or
// fitted, centred within the page's margins.
#pragma once

#include "host/render/scene.h"

namespace render {

enum class Paper { A4, A3 };

struct PageSetup {
    Paper paper = Paper::A4;
    bool landscape = false;
    // 1:N with drawing units in millimetres; 0 fits the drawing to the page.
    double scaleDenominator = 0.0;
};

constexpr double kPointsPerMm = 72.0 / 25.4;
// Blank paper around what is printed.
constexpr double kPageMarginMm = 10.0;

// The paper's width and height in millimetres as it lies.
void paperSizeMm(const PageSetup& page, double& width, double& height);

// World (drawing units, Y up) to output (X right, Y down).
struct View {
    // Size of the output in its units (pixels for a picture, points for a
    // page).
    double width = 1.0, height = 1.0;
    // Output units per drawing unit.
    double scale = 1.0;
    // The world point at the output's top left corner.
    double left = 0.0, top = 0.0;
    Vec2 toOutput(const Vec2& w) const { return {(w.x - left) * scale, (top - w.y) * scale}; }
};

// A picture of the extents with a margin in drawing units around them, its
// longer side maxPixels long; an empty drawing gives the unit square.
View pictureView(const Extents& ext, double margin, int maxPixels);

// A page in points: the extents' centre at the centre of the page, at the
// page's scale or as large as fits within the margins.
View pageView(const Extents& ext, const PageSetup& page);

} // namespace render
