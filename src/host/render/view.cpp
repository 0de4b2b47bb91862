#include "host/render/view.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

// The extents, or the unit square for an empty drawing, grown so that a
// drawing of one point or one horizontal line still has an area.
Extents withArea(const Extents& ext, double margin)
{
    Extents e = ext.valid ? ext : Extents{0.0, 0.0, 1.0, 1.0, true};
    e.x0 -= margin;
    e.y0 -= margin;
    e.x1 += margin;
    e.y1 += margin;
    const double w = e.x1 - e.x0, h = e.y1 - e.y0;
    const double minSide = std::max({w, h, 1e-6}) * 1e-3;
    if (w < minSide) {
        e.x0 -= (minSide - w) / 2;
        e.x1 = e.x0 + minSide;
    }
    if (h < minSide) {
        e.y0 -= (minSide - h) / 2;
        e.y1 = e.y0 + minSide;
    }
    return e;
}

} // namespace

void paperSizeMm(const PageSetup& page, double& width, double& height)
{
    width = page.paper == Paper::A3 ? 297.0 : 210.0;
    height = page.paper == Paper::A3 ? 420.0 : 297.0;
    if (page.landscape)
        std::swap(width, height);
}

View pictureView(const Extents& ext, double margin, int maxPixels)
{
    const Extents e = withArea(ext, std::isfinite(margin) ? std::max(0.0, margin) : 0.0);
    const double w = e.x1 - e.x0, h = e.y1 - e.y0;
    View v;
    v.scale = std::max(1, maxPixels) / std::max(w, h);
    v.width = w * v.scale;
    v.height = h * v.scale;
    v.left = e.x0;
    v.top = e.y1;
    return v;
}

View pageView(const Extents& ext, const PageSetup& page)
{
    double wMm = 0.0, hMm = 0.0;
    paperSizeMm(page, wMm, hMm);
    const Extents e = withArea(ext, 0.0);
    View v;
    v.width = wMm * kPointsPerMm;
    v.height = hMm * kPointsPerMm;
    if (page.scaleDenominator > 0.0) {
        v.scale = kPointsPerMm / page.scaleDenominator;
    } else {
        const double printW = (wMm - 2 * kPageMarginMm) * kPointsPerMm;
        const double printH = (hMm - 2 * kPageMarginMm) * kPointsPerMm;
        v.scale = std::min(printW / (e.x1 - e.x0), printH / (e.y1 - e.y0));
    }
    v.left = (e.x0 + e.x1) / 2 - v.width / 2 / v.scale;
    v.top = (e.y0 + e.y1) / 2 + v.height / 2 / v.scale;
    return v;
}

} // namespace render
