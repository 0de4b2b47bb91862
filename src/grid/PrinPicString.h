// Defines CPrinPicString, one string (circuit line) of a schematic grid.
//
// A string holds its cells, its end zone and what stands in it, and
// recognition's zone lists.
//
// The end zone is the link zone after the string's last cell. The string
// points back at the grid that holds it (not owning); the grid sets the
// pointer when it puts the string into itself.
#pragma once

#include "grid/PrinPicCell.h"

#include <vector>

class CPrinPicGrid;

class CPrinPicString {
public:
    // No cells, no end-zone ids, empty extents, empty zone lists, no grid.
    CPrinPicString() = default;
    // Copying replaces the cells (each copied), endWireIds, endSymbolId, the
    // extents and the grid pointer; the zone lists are not copied: a copy
    // starts with empty lists and an assigned-to string keeps its own.
    CPrinPicString(const CPrinPicString& other);
    CPrinPicString& operator=(const CPrinPicString& other);
    // Moving relocates the whole string, zone lists included.
    CPrinPicString(CPrinPicString&&) noexcept = default;
    CPrinPicString& operator=(CPrinPicString&&) noexcept = default;
    ~CPrinPicString() = default;

    // The cells. GetCell throws std::invalid_argument for an index outside
    // the actual cell array.
    int GetCellCount() const { return static_cast<int>(cells.size()); }
    const std::vector<CPrinPicCell>& GetCells() const { return cells; }
    const CPrinPicCell& GetCell(int c) const;
    CPrinPicCell& GetCell(int c);
    // Resizes the cell array; cells added are empty, kept cells keep
    // everything. A negative count is taken as 0.
    void SetCellCount(int n);

    // End zone contents: wires lying in it and the block reference standing
    // in it (null when there is none).
    const AcDbObjectIdArray& GetEndWireIds() const { return endWireIds; }
    void SetEndWireIds(const AcDbObjectIdArray& ids) { PrinPicAssignIds(endWireIds, ids); }
    void AppendEndWireId(const AcDbObjectId& id) { PrinPicAppendId(endWireIds, id); }
    const AcDbObjectId& GetEndSymbolId() const { return endSymbolId; }
    void SetEndSymbolId(const AcDbObjectId& id) { endSymbolId = id; }

    // The end zone rectangle.
    const AcDbExtents& GetExtents() const { return extents; }
    void SetExtents(const AcDbExtents& e) { extents = e; }

    // The owning grid, or nullptr while the string is in none.
    CPrinPicGrid* GetGrid() const { return grid; }
    void SetGrid(CPrinPicGrid* g) { grid = g; }

    // Recognition's working lists: one cell zone per cell and
    // cellsPerString + 1 link zones. Editing does not keep them current.
    const std::vector<AcDbExtents>& GetCellZones() const { return cellZones; }
    void SetCellZones(const std::vector<AcDbExtents>& zones) { cellZones = zones; }
    const std::vector<AcDbExtents>& GetLinkZones() const { return linkZones; }
    void SetLinkZones(const std::vector<AcDbExtents>& zones) { linkZones = zones; }

    // Moves the end zone and both zones of every cell by (dx, dy); the zone
    // lists stay as they are.
    void MoveBy(double dx, double dy);

private:
    std::vector<CPrinPicCell> cells;
    AcDbObjectIdArray endWireIds;
    AcDbObjectId endSymbolId;
    AcDbExtents extents;
    CPrinPicGrid* grid = nullptr;
    std::vector<AcDbExtents> cellZones;
    std::vector<AcDbExtents> linkZones;
};
