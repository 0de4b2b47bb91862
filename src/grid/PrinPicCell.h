// Defines CPrinPicCell (one cell of a schematic string) and the id-array helpers.
//
// Every id array of the grid model starts empty and grows in steps of 8
// entries.
//
// A cell has two slots: the symbol slot (the cell zone, centred on the
// string line) and the link slot (the link zone before the cell, between
// this string and the previous one). Object ids are plain values naming
// drawing entities; nothing here opens, changes or erases an entity.
#pragma once

#include "host/acge.h"
#include "host/dbmain.h"

#include <cstddef>

// Capacity step of every id array held by the grid model.
inline constexpr std::size_t kPrinPicIdGrowth = 8;

// Makes `to` an element-by-element copy of `from`; the capacity of `to` is
// a multiple of kPrinPicIdGrowth afterwards.
void PrinPicAssignIds(AcDbObjectIdArray& to, const AcDbObjectIdArray& from);
// Appends one id; a full array grows by kPrinPicIdGrowth entries.
void PrinPicAppendId(AcDbObjectIdArray& to, const AcDbObjectId& id);

class CPrinPicCell {
public:
    // Null ids, empty id arrays, empty (invalid) extents.
    CPrinPicCell() = default;
    // Copies every field, the id arrays element by element.
    CPrinPicCell(const CPrinPicCell& other);
    CPrinPicCell& operator=(const CPrinPicCell& other);
    CPrinPicCell(CPrinPicCell&&) noexcept = default;
    CPrinPicCell& operator=(CPrinPicCell&&) noexcept = default;
    ~CPrinPicCell() = default;

    // Symbol slot: the block reference standing in the cell zone (null when
    // empty) and the wires whose midpoint lies in the cell zone.
    const AcDbObjectId& GetSymbolId() const { return symbolId; }
    void SetSymbolId(const AcDbObjectId& id) { symbolId = id; }
    const AcDbObjectIdArray& GetWireIds() const { return wireIds; }
    void SetWireIds(const AcDbObjectIdArray& ids) { PrinPicAssignIds(wireIds, ids); }
    void AppendWireId(const AcDbObjectId& id) { PrinPicAppendId(wireIds, id); }

    // Link slot: the block reference in the link zone before the cell and
    // the wires whose midpoint lies in that zone.
    const AcDbObjectId& GetLinkSymbolId() const { return linkSymbolId; }
    void SetLinkSymbolId(const AcDbObjectId& id) { linkSymbolId = id; }
    const AcDbObjectIdArray& GetLinkWireIds() const { return linkWireIds; }
    void SetLinkWireIds(const AcDbObjectIdArray& ids) { PrinPicAssignIds(linkWireIds, ids); }
    void AppendLinkWireId(const AcDbObjectId& id) { PrinPicAppendId(linkWireIds, id); }

    // Both slots: multi-cell devices lying across the string's line and
    // overlapping the cell zone, and those in the band after the string
    // whose extent along the string reaches the start or end of the cell.
    const AcDbObjectIdArray& GetDeviceIds() const { return deviceIds; }
    void SetDeviceIds(const AcDbObjectIdArray& ids) { PrinPicAssignIds(deviceIds, ids); }
    void AppendDeviceId(const AcDbObjectId& id) { PrinPicAppendId(deviceIds, id); }
    const AcDbObjectIdArray& GetBandDeviceIds() const { return bandDeviceIds; }
    void SetBandDeviceIds(const AcDbObjectIdArray& ids) { PrinPicAssignIds(bandDeviceIds, ids); }
    void AppendBandDeviceId(const AcDbObjectId& id) { PrinPicAppendId(bandDeviceIds, id); }

    // The cell zone and the link zone before the cell.
    const AcDbExtents& GetCellExtents() const { return cellExtents; }
    void SetCellExtents(const AcDbExtents& e) { cellExtents = e; }
    const AcDbExtents& GetLinkExtents() const { return linkExtents; }
    void SetLinkExtents(const AcDbExtents& e) { linkExtents = e; }

    // Moves both zones by (dx, dy); zones not set yet stay empty.
    void MoveBy(double dx, double dy);

private:
    AcDbObjectId symbolId;
    AcDbObjectIdArray wireIds;
    AcDbObjectId linkSymbolId;
    AcDbObjectIdArray linkWireIds;
    AcDbObjectIdArray deviceIds;
    AcDbObjectIdArray bandDeviceIds;
    AcDbExtents cellExtents;
    AcDbExtents linkExtents;
};

// Moves a box by (dx, dy); an empty box stays empty.
void PrinPicMoveExtents(AcDbExtents& e, double dx, double dy);
