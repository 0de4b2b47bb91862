// Plots: the model space on a paper page, as a PDF document or a PNG
// picture, drawn with cairo.
#pragma once

#include "host/dbmain.h"
#include "host/render/view.h"

#include <string>

namespace render {

enum class PlotFormat { Pdf, Png };

struct PlotOptions {
    PageSetup page;
    // Near black paper, colour 7 white.
    bool darkBackground = false;
    // Resolution of a PNG plot.
    int dotsPerInch = 150;
};

// Line weights of a plot: a polyline's width at the page's scale, lines
// without width as hairlines (0.25 pt in a PDF, one pixel in a PNG).
constexpr double kHairlinePoints = 0.25;

// Draws the page into out (the file's bytes). Texts are set in the font of
// render/font.h; a PDF embeds the subset it uses with its character codes,
// so the texts can be searched and copied. False with error filled when
// cairo fails.
bool renderPlot(const AcDbDatabase& db, PlotFormat format, const PlotOptions& opt, std::string& out,
                std::string& error);

} // namespace render
