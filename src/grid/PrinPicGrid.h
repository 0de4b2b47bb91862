// Defines CPrinPicGrid, the in-memory model of a schematic's grid of strings and cells.
//
// The grid holds the parameters, the zone arithmetic, the slot accessors,
// the point queries, and inserting and deleting strings.
//
// Arrangements. orientation 0 is the row arrangement: strings are
// horizontal rows, row 0 one string pitch below the base point and each
// further row one pitch lower; cells run left to right from minX.
// orientation 1 is the column arrangement: strings are vertical columns,
// column 0 one string pitch right of the base point and each further column
// one pitch further right; cells run top to bottom from maxY. Any other
// orientation value is invalid and is treated as the row arrangement.
//
// Distances in the drawing are pitches times `scale`: sX = cellPitchX *
// scale, sY = cellPitchY * scale. The string pitch is sY in the row
// arrangement and sX in the column arrangement, the cell pitch the other.
//
// Zones of a string at position p (its entry in stringPositions: Y of a
// row, X of a column), cell j counted from 0, n = cellsPerString:
//   row:    cell zone j  [minX + j*sX, minX + (j+1)*sX] x [p - sY/2, p + sY/2]
//           link zone j  [minX + (j-1/2)*sX, minX + (j+1/2)*sX] x [p, p + sY]
//   column: cell zone j  [p - sX/2, p + sX/2] x [maxY - (j+1)*sY, maxY - j*sY]
//           link zone j  [p - sX, p] x [maxY - (j+1/2)*sY, maxY - (j-1/2)*sY]
// Link zone j (j = 0 .. n) lies between this string and the previous one
// (above a row, left of a column), centred on the boundary in front of cell
// j; link zone n is the string's end zone. All zones have Z = 0.
//
// Invariants after recognition or any editing operation:
//   - stringPositions holds one entry per string, in string order; they fall
//     by sY from string to string (row) or rise by sX (column);
//   - every string has cellsPerString cells and its grid pointer names this
//     grid;
//   - every cell's cellExtents and linkExtents, and every string's extents,
//     equal the zones above for the string's position.
//
// Statuses are 32-bit signed: 1 success, negative values as documented per
// operation. A string index s counts from 0 and is bad outside
// [0, string count); a cell index c is valid when 0 <= c < cellsPerString.
// An index that passes these checks but lies beyond a string's actual cell
// array breaks the invariants and throws std::invalid_argument.
//
// The grid owns its strings by value and each string points back at it, so
// a grid can be neither copied nor moved. It is used by one command on one
// thread.
#pragma once

#include "grid/PrinPicCell.h"
#include "grid/PrinPicString.h"

#include <cstdint>
#include <vector>

// The zones of one string at one position: n cell zones, n + 1 link zones
// (the last one the end zone).
struct PrinPicStringZones {
    std::vector<AcDbExtents> cellZones;
    std::vector<AcDbExtents> linkZones;
};

class CPrinPicGrid {
public:
    // Row arrangement, pitches 20 x 25, 3 cells per string, widths 0,
    // scales 1, base point at the origin, no strings; the reference range
    // is 0 until set.
    CPrinPicGrid() = default;
    CPrinPicGrid(const CPrinPicGrid&) = delete;
    CPrinPicGrid& operator=(const CPrinPicGrid&) = delete;

    // Parameters. Each setter stores its argument unchanged.
    void SetBasePoint(const AcGePoint3d& p) { basePoint = p; }
    const AcGePoint3d& GetBasePoint() const { return basePoint; }
    void SetLineWidth(double w) { lineWidth = w; }
    double GetLineWidth() const { return lineWidth; }
    void SetCellsPerString(std::int32_t n) { cellsPerString = n; }
    std::int32_t GetCellsPerString() const { return cellsPerString; }
    // 0 row arrangement, 1 column arrangement.
    void SetOrientation(std::int32_t o) { orientation = o; }
    std::int32_t GetOrientation() const { return orientation; }
    bool IsColumnArrangement() const { return orientation == 1; }
    void SetSymbolScale(double s) { symbolScale = s; }
    double GetSymbolScale() const { return symbolScale; }
    void SetCellPitchX(double d) { cellPitchX = d; }
    double GetCellPitchX() const { return cellPitchX; }
    void SetCellPitchY(double d) { cellPitchY = d; }
    double GetCellPitchY() const { return cellPitchY; }
    void SetBlockScale(double s) { blockScale = s; }
    double GetBlockScale() const { return blockScale; }
    void SetScale(double s) { scale = s; }
    double GetScale() const { return scale; }

    // Scaled pitches: sX, sY, and the scaled pitch between strings (sY in
    // row arrangement, sX in column arrangement) and along a string.
    double GetScaledPitchX() const { return cellPitchX * scale; }
    double GetScaledPitchY() const { return cellPitchY * scale; }
    double GetStringPitch() const;
    double GetCellPitch() const;

    // The reference range: the extent of the schematic.
    double GetMinX() const { return minX; }
    double GetMaxX() const { return maxX; }
    double GetMaxY() const { return maxY; }
    double GetMinY() const { return minY; }
    void SetMinX(double v) { minX = v; }
    void SetMaxX(double v) { maxX = v; }
    void SetMaxY(double v) { maxY = v; }
    void SetMinY(double v) { minY = v; }
    void SetReferenceRange(double minXValue, double maxXValue, double maxYValue, double minYValue);

    // Strings and their positions. GetString throws std::invalid_argument for
    // an index outside [0, string count). SetStringPositions and
    // ResizeStrings are for building a grid (recognition): the caller makes
    // the two agree and lays the strings out (SetGrid, LayOutString).
    int GetStringCount() const { return static_cast<int>(strings.size()); }
    const std::vector<CPrinPicString>& GetStrings() const { return strings; }
    const CPrinPicString& GetString(int s) const;
    CPrinPicString& GetString(int s);
    const std::vector<double>& GetStringPositions() const { return stringPositions; }
    void SetStringPositions(const std::vector<double>& positions) { stringPositions = positions; }
    // Strings added are empty (no cells, no grid pointer); a negative count
    // is taken as 0.
    void ResizeStrings(int n);

    // Zone table for a string at position p (see the header comment). j may
    // be any integer; GetEndZone(p) is GetLinkZone(p, cellsPerString).
    AcDbExtents GetCellZone(double p, int j) const;
    AcDbExtents GetLinkZone(double p, int j) const;
    AcDbExtents GetEndZone(double p) const { return GetLinkZone(p, cellsPerString); }
    PrinPicStringZones ComputeZones(double p) const;
    // Lays a string out at position p: its cell count becomes
    // cellsPerString (added cells are empty, kept cells keep their ids), its
    // zone lists become ComputeZones(p), every cell's cellExtents and
    // linkExtents the zones of the table and the string's extents its end
    // zone. The grid pointer is left as it is.
    void LayOutString(CPrinPicString& str, double p) const;

    // GetExtents(s, c, kind, out): c = -1 with kind 0 gives the string's end
    // zone; c >= 0 with kind 1 the cell zone; c >= 0 with any other kind the
    // link zone before the cell. Returns -1 for a bad s, -2 when
    // c >= cellsPerString or c < -1, -3 when c = -1 and kind != 0, else 1.
    // On failure `out` is unchanged.
    std::int32_t GetExtents(std::int32_t s, std::int32_t c, std::int32_t kind, AcDbExtents& out) const;
    // Copies endWireIds and endSymbolId of string s out. -1 for a bad s
    // (outputs unchanged), else 1.
    std::int32_t GetStringData(std::int32_t s, AcDbObjectIdArray& wireIdsOut, AcDbObjectId& symbolIdOut) const;
    // Replaces endWireIds and endSymbolId of string s. -1 for a bad s, else 1.
    std::int32_t SetStringData(std::int32_t s, AcDbObjectIdArray wireIdsIn, AcDbObjectId symbolIdIn);
    // Copies the six slot values of cell (s, c) out in argument order. -1 for
    // a bad s, -2 for a bad c (outputs unchanged), else 1.
    std::int32_t GetCellData(std::int32_t s, std::int32_t c, AcDbObjectIdArray& wireIdsOut,
                             AcDbObjectId& symbolIdOut, AcDbObjectIdArray& linkWireIdsOut,
                             AcDbObjectId& linkSymbolIdOut, AcDbObjectIdArray& deviceIdsOut,
                             AcDbObjectIdArray& bandDeviceIdsOut) const;
    // kind 1 replaces wireIds and symbolId of cell (s, c), any other kind
    // linkWireIds and linkSymbolId; both replace deviceIds and bandDeviceIds.
    // -1 for a bad s, -2 for a bad c (nothing changes), else 1.
    std::int32_t SetCellData(std::int32_t s, std::int32_t c, std::int32_t kind, AcDbObjectIdArray wireIdsIn,
                             AcDbObjectId symbolIdIn, AcDbObjectIdArray deviceIdsIn,
                             AcDbObjectIdArray bandDeviceIdsIn);

    // 1 when the point (X and Y only) is in the rectangle from rect's minimum
    // to its maximum corner, else 0. Edges are tried in the order left, top,
    // right, bottom; the first whose unbounded line lies within 0.1 of the
    // point decides: 1 when the point is on the edge segment (|PA| + |PB| <=
    // |AB|), else 0. A point near none of the four lines is inside when it is
    // strictly between the edges. So a point exactly on an edge is inside and
    // one closer than 0.1 to an edge line but not on the edge is outside.
    // The host's global point tolerance is 0.1 during the call and restored
    // afterwards, also when the call throws.
    static std::int32_t PointInRect(const AcGePoint3d& point, const AcDbExtents& rect);
    // The reference range widened by half a pitch on every side: X from
    // minX - sX/2 to maxX + sX/2, Y from minY - sY/2 to maxY + sY/2.
    AcDbExtents GetGridRect() const;
    // PointInRect(point, GetGridRect()) == 1.
    bool PointInGrid(const AcGePoint3d& point) const;
    // Finds the zone holding the point. kind 1 searches the cell zones, any
    // other kind the link zones; kind 0 also tests each string's end zone
    // after its cells (a hit gives c = -1). Strings and cells are searched in
    // order and the first hit wins, so a point on an edge shared by two
    // zones goes to the string and cell met first. Returns -1 when the point
    // is outside the grid (PointInGrid), -2 when there are no strings, -3
    // when no zone holds it, else 1 with s and c set; s and c are unchanged
    // unless the result is 1.
    std::int32_t FindCellAtPoint(const AcGePoint3d& point, std::int32_t kind, std::int32_t& s,
                                 std::int32_t& c) const;

    // Inserts an empty string at index i (an index at or beyond the end
    // appends) laid out one string pitch beyond the strings before it: at the
    // old position of string i, one pitch beyond the last string, or, in an
    // empty grid, one pitch from the base point. The strings after it move on
    // by one string pitch (row: -sY in Y; column: +sX in X), zones and
    // positions alike, keeping their ids; the reference range grows by one
    // pitch (row: minY -= sY; column: maxX += sX). Relies on minX (row) or
    // maxY (column) being set. Returns -1 for i < 0 (nothing changes), else 1.
    // Throws std::logic_error when stringPositions and the strings disagree
    // in number.
    std::int32_t InsertString(std::int32_t i);
    // Removes string i with its position; the strings after it move back by
    // one string pitch and the reference range shrinks by one pitch. Returns
    // -1 when i is outside [0, string count) (nothing changes), else 1.
    // Throws std::logic_error when stringPositions and the strings disagree
    // in number. Zone lists are not kept current by either operation.
    std::int32_t DeleteString(std::int32_t i);

    // True when the invariants of the header comment hold: one position per
    // string, each one string pitch beyond the one before, cellsPerString
    // cells in every string, every grid pointer naming this grid and every
    // zone equal to the zone table for its string's position (within a
    // millionth of the larger pitch, so that rounding in moved zones
    // passes). Every editing operation ends asserting it.
    bool CheckInvariants() const;

    // ------------------------------------------------------------------
    // Recognition: rebuilding the grid from the entities of a drawing.
    // Defined in PrinPicGridRecognize.cpp. Entities are opened for read
    // and closed again; nothing in the drawing changes. Only X and Y of
    // points count.
    // ------------------------------------------------------------------

    // Rebuilds the grid of an existing schematic from its entities; the
    // parameters (base point, scales, orientation, pitches, lineWidth,
    // cellsPerString) must be set. wireIds are lightweight polylines,
    // symbolIds block references, deviceIds multi-cell devices carrying
    // their extent as the extended-data points MINPT and MAXPT.
    //   - scale becomes blockScale / symbolScale;
    //   - the wires give the reference range and, with the base point, the
    //     string count: q = (base.y - minY) / sY (row) or
    //     (maxX - base.x) / sX (column), rounded half up from its integer
    //     part; string i lies (i + 1) string pitches from the base point;
    //   - every wire and symbol goes to the first string (in order) that
    //     accepts it and is removed from its list; those no string accepts
    //     stay in the lists. Devices are not removed and may go to several
    //     strings;
    //   - the strings are then built with BuildString.
    // A drawing without a readable wire, a string count below 0 or a string
    // pitch that is not a positive number gives no strings; the reference
    // range is written in every case (from the base point when no wire is
    // readable).
    void RecognizeGrid(AcDbObjectIdArray& wireIds, AcDbObjectIdArray& symbolIds,
                       const AcDbObjectIdArray& deviceIds);
    // Fills one string at position p from its six buckets: lays it out
    // (LayOutString) and puts each entity into every zone that holds it,
    // so one on the edge shared by two zones goes to both. Wires go by
    // their midpoint, symbols by their insertion point (the last one in a
    // zone wins), crossing devices to the cells whose zone their extent
    // overlaps, band devices to the cells whose start or end along the
    // string their extent along the string contains. Link wires and link
    // symbols in the end zone go to the string's end slot. Entities that
    // cannot be read are skipped. Ids are appended to what the string
    // holds. The string's grid pointer must name this grid, otherwise
    // std::invalid_argument is thrown.
    void BuildString(CPrinPicString& str, const AcDbObjectIdArray& inlineWireIds,
                     const AcDbObjectIdArray& linkWireIds, const AcDbObjectIdArray& inlineSymbolIds,
                     const AcDbObjectIdArray& linkSymbolIds, const AcDbObjectIdArray& crossingDeviceIds,
                     const AcDbObjectIdArray& bandDeviceIds, double p);

    // Readings of single entities; false when the entity cannot be opened
    // or is not what the reading expects (outputs are then unchanged).
    // A wire is exactly an AcDbPolyline (not a derived class) with exactly
    // two readable vertices; mid is the point half-way from p0 towards p1.
    static bool GetWireEnds(const AcDbObjectId& id, AcGePoint3d& p0, AcGePoint3d& p1, AcGePoint3d& mid);
    // |p0.y - p1.y| <= 0.1 and the wire at least 0.1 long.
    static bool IsHorizontalWire(const AcDbObjectId& id);
    // |p0.x - p1.x| <= 0.1 and the wire at least 1.0 long.
    static bool IsVerticalWire(const AcDbObjectId& id);
    // The insertion point of exactly an AcDbBlockReference.
    static bool GetSymbolPosition(const AcDbObjectId& id, AcGePoint3d& position);
    // The extended-data points MINPT (lower left) and MAXPT (upper right);
    // false unless both are there.
    static bool GetDeviceExtent(const AcDbObjectId& id, AcGePoint3d& minPoint, AcGePoint3d& maxPoint);
    // False only when one box starts right of the other's right edge or
    // above the other's top; boxes that only touch overlap.
    static bool ExtentsOverlap(const AcDbExtents& a, const AcDbExtents& b);

private:
    // The cell of a string that passed the index checks; throws
    // std::invalid_argument when the string's cell array is shorter.
    const CPrinPicCell& checkedCell(std::int32_t s, std::int32_t c) const;
    CPrinPicCell& checkedCell(std::int32_t s, std::int32_t c);
    bool badString(std::int32_t s) const { return s < 0 || s >= GetStringCount(); }
    bool badCell(std::int32_t c) const { return c < 0 || c >= cellsPerString; }
    // Moves string s and its position by one string pitch in the direction
    // strings follow each other (forward) or back.
    void shiftString(std::size_t s, bool forward);
    void checkPositionsMatch() const;

    std::vector<CPrinPicString> strings;
    double cellPitchX = 20.0;
    double cellPitchY = 25.0;
    std::int32_t cellsPerString = 3;
    std::int32_t orientation = 0;
    double lineWidth = 0.0;
    double symbolScale = 1.0;
    double scale = 1.0;
    double blockScale = 1.0;
    AcGePoint3d basePoint;
    std::vector<double> stringPositions;
    double minX = 0.0, maxX = 0.0, maxY = 0.0, minY = 0.0;
};
