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

// What acedDragGen drags: the selection set's entities, shown carried by
// the matrix its callback gave for the pointer's last place.
struct TempDrag {
    AcDbObjectIdArray ids;
    AcGeMatrix3d matrix;
    bool moved = false;
};

struct TempGraphics {
    std::vector<TempVector> vectors;
    AcDbObjectIdArray hidden;
    AcDbObjectIdArray highlighted;
    // Set while acedDragGen waits.
    TempDrag drag;
};

// The current document's temporary graphics (an empty set without one).
TempGraphics& temporaryGraphics();
void clearTemporaryGraphics();

} // namespace host
