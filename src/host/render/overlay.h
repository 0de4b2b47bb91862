// What the current document shows over its drawing for now: the vectors of
// acedGrDraw, the entities acedRedraw highlights and, while acedDragGen
// waits, its selection where the pointer carries it.
#pragma once

#include "host/dbmain.h"

#include <functional>
#include <string>

namespace render {

// An SVG document in the user units of renderSvg's pictures (drawing units,
// y turned down), holding one group for each kind of what is shown; an
// empty document without a current drawing.
std::string overlaySvg();

// Whether the current document's picture shows a top-level entity now:
// entities hidden for the time being (a symbol parked while it is dragged)
// are neither drawn nor measured.
std::function<bool(const AcDbObjectId&)> shownNow();
// The entities the current document hides for the time being (none
// without a current drawing).
AcDbObjectIdArray hiddenNow();

} // namespace render
