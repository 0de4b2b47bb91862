// Drawing into a grid slot and taking it out again: wires along and across
// strings, symbol blocks with their two wire stubs, the erasing of a slot,
// and the view widening the drawing commands need.
//
// Wires are "_.PLINE" polylines of width lineWidth x scale, colour 3, on the
// configured wire layer; symbols are "_.INSERT" block references of size
// scale x symbolScale on the element layer. Wires stay out of "E22"
// blocks: a wire wholly inside one is removed (the null id is its result),
// a wire crossing one is cut back to its edge; a wire passing through one
// keeps its id for the piece before it, and the pieces beyond it are new
// entities (given in `pieces`, for the caller to mark and record with the
// wire). "R10" gets a stub at its
// insertion point only. Everything runs through acedCommand, so it belongs
// to the undo group the caller has open.
#pragma once

#include "host/acge.h"
#include "host/dbmain.h"

class CPrinPicGrid;

// The special symbols.
inline constexpr const wchar_t* kClearanceBlock = L"E22";
inline constexpr const wchar_t* kOneStubBlock = L"R10";

// One wire from one point to the other, with the E22 clearance.
AcDbObjectId DrawWire(const AcGePoint3d& from, const AcGePoint3d& to, double lineWidth, double scale,
                      AcDbObjectIdArray* pieces = nullptr);
// A wire across a cell along its string: row arrangement (orientation 0)
// horizontal through the middle of the extents' height, column arrangement
// vertical through the middle of their width.
AcDbObjectId DrawCellWire(const AcDbExtents& slot, double scale, double lineWidth, int orientation,
                          AcDbObjectIdArray* pieces = nullptr);
// A wire across a link slot between strings: the other direction.
AcDbObjectId DrawLinkWire(const AcDbExtents& slot, double scale, double lineWidth, int orientation,
                          AcDbObjectIdArray* pieces = nullptr);

// Inserts the palette's chosen symbol in a cell's symbol slot
// with its two stubs; the stubs' ids (null for a stub removed by the
// clearance or left out for R10) are appended to wires in drawing order,
// followed by the pieces the clearance cut off them,
// the block reference's id goes to symbolId. Nothing is drawn when no
// symbol is chosen. When the symbol cannot be inserted, the stubs are
// erased again and symbolId and wires are left as they were.
void PlaceCellSymbol(const AcDbExtents& slot, int orientation, double scale, double symbolScale, double lineWidth,
                     double rotation, AcDbObjectId& symbolId, AcDbObjectIdArray& wires);
// The same across a link slot; a rotation of 0 becomes 90 and any other 0.
void PlaceLinkSymbol(const AcDbExtents& slot, int orientation, double scale, double symbolScale, double lineWidth,
                     double rotation, AcDbObjectId& symbolId, AcDbObjectIdArray& wires);

// Erases a slot's entities and clears it: kind 0 the link slot before the
// cell, kind 1 the symbol slot. The grid's status for a bad index, else 1.
int EraseCellContents(CPrinPicGrid& grid, int stringIndex, int cellIndex, int kind);
// Erases the entities of a string's end zone and clears it.
int EraseEndZone(CPrinPicGrid& grid, int stringIndex);

// 1 when the point is inside the extents or on their edges (within 0.1 of
// an edge's line and between its corners), else 0.
int IsPointInExtents(const AcGePoint3d& point, const AcDbExtents& extents);
// Widens the current view so that both points are on screen; always 1.
int ZoomToInclude(const AcGePoint3d& p, const AcGePoint3d& q);
