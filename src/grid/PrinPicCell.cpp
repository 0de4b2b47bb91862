#include "grid/PrinPicCell.h"

namespace {

std::size_t roundUpToGrowth(std::size_t n)
{
    return (n + kPrinPicIdGrowth - 1) / kPrinPicIdGrowth * kPrinPicIdGrowth;
}

} // namespace

void PrinPicAssignIds(AcDbObjectIdArray& to, const AcDbObjectIdArray& from)
{
    if (&to == &from)
        return;
    const std::size_t need = roundUpToGrowth(from.size());
    if (to.capacity() >= need && to.capacity() % kPrinPicIdGrowth == 0) {
        to.assign(from.begin(), from.end());
        return;
    }
    AcDbObjectIdArray fresh;
    fresh.reserve(need);
    for (const AcDbObjectId& id : from)
        fresh.push_back(id);
    to.swap(fresh);
}

void PrinPicAppendId(AcDbObjectIdArray& to, const AcDbObjectId& id)
{
    if (to.size() == to.capacity())
        to.reserve(roundUpToGrowth(to.size() + 1));
    to.push_back(id);
}

void PrinPicMoveExtents(AcDbExtents& e, double dx, double dy)
{
    if (!e.isValid())
        return;
    const AcGeVector3d d(dx, dy, 0.0);
    e.set(e.minPoint() + d, e.maxPoint() + d);
}

CPrinPicCell::CPrinPicCell(const CPrinPicCell& other)
    : symbolId(other.symbolId),
      linkSymbolId(other.linkSymbolId),
      cellExtents(other.cellExtents),
      linkExtents(other.linkExtents)
{
    PrinPicAssignIds(wireIds, other.wireIds);
    PrinPicAssignIds(linkWireIds, other.linkWireIds);
    PrinPicAssignIds(deviceIds, other.deviceIds);
    PrinPicAssignIds(bandDeviceIds, other.bandDeviceIds);
}

CPrinPicCell& CPrinPicCell::operator=(const CPrinPicCell& other)
{
    if (this == &other)
        return *this;
    symbolId = other.symbolId;
    PrinPicAssignIds(wireIds, other.wireIds);
    linkSymbolId = other.linkSymbolId;
    PrinPicAssignIds(linkWireIds, other.linkWireIds);
    PrinPicAssignIds(deviceIds, other.deviceIds);
    PrinPicAssignIds(bandDeviceIds, other.bandDeviceIds);
    cellExtents = other.cellExtents;
    linkExtents = other.linkExtents;
    return *this;
}

void CPrinPicCell::MoveBy(double dx, double dy)
{
    PrinPicMoveExtents(cellExtents, dx, dy);
    PrinPicMoveExtents(linkExtents, dx, dy);
}
