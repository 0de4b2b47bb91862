// Placing a symbol by dragging its image: a temporary insert far outside
// the view is scaled, rotated and dragged under the cursor until the user
// picks a point, presses Enter, cancels or types "Repeat"; it is deleted
// again on every way out. Nothing is placed: the outcome is the drag status
// and, after a pick, the picked point.
#pragma once

#include "host/acge.h"

#include <string>

// What the last DragInsertBlock ended with.
enum DragStatus : int {
    kDragFailed = -1,   // failed or cancelled
    kDragEnded = 1,     // Enter, or an error of the drag
    kDragPicked = 2,    // a point was picked (GetDragPickedPoint)
    kDragRepeat = 3,    // "Repeat" was typed
};

// block: a block of the drawing or a drawing file (".dwg" added for the
// search when missing). A scale below 0 or above 1e8 is asked for again
// ("\n比例参数无效,请输入比例<1.0>:"); a rotation beyond +-360 degrees
// becomes 0. Offsets shift the parking point of the temporary insert.
// Always 1.
int DragInsertBlock(double xOffset, double yOffset, const std::wstring& block, const std::wstring& prompt,
                    double& scale, double& rotation);
int GetDragStatus();
AcGePoint3d GetDragPickedPoint();
