// Host internals: the temporary graphics of the current document (vectors
// of acedGrDraw, entities hidden or highlighted by acedRedraw), which are
// not part of the drawing and vanish at REDRAW.
#pragma once

#include "host/dbmain.h"

#include <vector>

namespace host {

struct TempVector {
    AcGePoint3d from, to;
    int color = 7;
    bool highlight = false;
};

struct TempGraphics {
    std::vector<TempVector> vectors;
    AcDbObjectIdArray hidden;
    AcDbObjectIdArray highlighted;
};

// The current document's temporary graphics (an empty set without one).
TempGraphics& temporaryGraphics();
void clearTemporaryGraphics();

} // namespace host
