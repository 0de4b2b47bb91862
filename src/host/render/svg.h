// The SVG picture of a drawing's model space.
#pragma once

#include "host/accolor.h"
#include "host/dbmain.h"
#include "host/render/scene.h"
#include "host/render/view.h"

#include <functional>
#include <optional>
#include <string>

struct SvgOptions {
    // Blank space around the drawing extents, in drawing units (pictures
    // without a page).
    double margin = 5.0;
    // Draw on near black (colour 7 white) instead of on white (colour 7
    // black).
    bool darkBackground = false;
    // Pixel size of the longer side of the picture (without a page).
    int maxPixels = 2000;
    // A paper page (its size in millimetres) instead of a picture sized
    // around the drawing.
    std::optional<render::PageSetup> page;
    // Which entities of model space are drawn and measured (all without
    // one): a view leaves out what is hidden for now.
    std::function<bool(const AcDbObjectId&)> topLevel;
    // The live picture of a workbench page instead of a file: each live
    // model-space entity is a group of its own whose id is "e-" and its
    // handle in hex (<g id="e-1F">, empty when its layer is off), numbers
    // have fixed decimals, and hairlines and dots keep their size on the
    // screen at any zoom (vector-effect="non-scaling-stroke"). The
    // document is its entities' fragments (renderSvgFragment) in drawing
    // order between a header and a footer. Not for files: viewers that
    // ignore non-scaling strokes show hairlines one drawing unit wide.
    bool live = false;
};

// Writes the model space of db (erased entities and entities on layers that
// are off or frozen skipped) as a standalone SVG document in UTF-8. Block
// references are drawn through their block's entities. Hairlines and texts
// are sized in drawing units for the picture's scale, so viewers that
// ignore non-scaling strokes and text lengths show the same picture. The
// same drawing gives the same bytes.
std::string renderSvg(const AcDbDatabase& db, const SvgOptions& opt = {});

// The entities of model space that `only` accepts, carried by `moved`, as
// one SVG group (<g attributes>...</g>) in the user units of renderSvg's
// pictures, to be shown over such a picture. Empty when nothing is drawn.
std::string svgEntityGroup(const AcDbDatabase& db, const std::function<bool(const AcDbObjectId&)>& only,
                           const AcGeMatrix3d& moved, const std::string& attributes);
// The group of one model-space entity in the live picture (opt.live),
// exactly as the whole document holds it; it depends on the entity, its
// blocks and layers only, never on the rest of the drawing. False (out
// untouched) when the entity is erased, its addition undone or it is no
// model-space entity. Fragments are appended to out; the scene is the
// drawing's (several fragments may share one).
bool renderSvgFragment(render::Scene& scene, const AcDbObjectId& id, std::string& out);

// A colour as SVG writes it: "#rrggbb".
std::string svgColor(std::uint32_t rgb);
