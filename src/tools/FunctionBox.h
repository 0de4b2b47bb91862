// The function box (功能框): a ruled frame of equal rows with one
// lengthwise division line, drawn between two picked corners with a
// rubber-band preview. Its three sizes (row spacing, total width, division
// width) are kept in the user's project data. Each is positive and at most
// 1e9: the host refuses a typed zero or negative size, the command one
// beyond ("数值超出范围!"), and a stored one that is no such size (not
// finite among others) reads as missing.
#pragma once

#include "host/acge.h"

#include <utility>
#include <vector>

// One line of a frame: start and end point.
using FunctionBoxLine = std::pair<AcGePoint3d, AcGePoint3d>;

// The lines of the frame with corner a towards point b, row spacing h,
// total width w and division width f (all in drawing units), in drawing
// order: the n + 1 cross lines from a's side outwards, the near side (back
// to a), the far side and the division line (w - f from a's side). The
// main direction is the one in which a and b differ most (vertical on a
// tie), n the number of whole rows that fit between them. Empty when h is
// not a positive number or exceeds the distance along the main direction.
std::vector<FunctionBoxLine> FunctionBoxLines(const AcGePoint3d& a, const AcGePoint3d& b, double h, double w,
                                              double f);

// The LISP function (gnkhz): asks for the two corners, lets the user change
// the sizes with the keywords H, Z and V and draws the frame as lines in the
// current space. A size of zero or less is refused when typed ("数值必须大于0!")
// and counts as missing when found stored. Always returns nil to LISP;
// reports 1 to the dispatcher.
int gnkhz();
