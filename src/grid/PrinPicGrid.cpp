#include "grid/PrinPicGrid.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace {

// Distance within which a point counts as lying on a rectangle's edge line.
constexpr double kEdgeTolerance = 0.1;

// Sets the host's global point tolerance for the life of the guard.
class PointToleranceGuard {
public:
    explicit PointToleranceGuard(double tol) : m_saved(AcGeContext::gTol)
    {
        AcGeContext::gTol.setEqualPoint(tol);
    }
    ~PointToleranceGuard() { AcGeContext::gTol = m_saved; }
    PointToleranceGuard(const PointToleranceGuard&) = delete;
    PointToleranceGuard& operator=(const PointToleranceGuard&) = delete;

private:
    AcGeTol m_saved;
};

AcDbExtents box(double x0, double y0, double x1, double y1)
{
    return AcDbExtents(AcGePoint3d(x0, y0, 0.0), AcGePoint3d(x1, y1, 0.0));
}

} // namespace

double CPrinPicGrid::GetStringPitch() const
{
    return IsColumnArrangement() ? GetScaledPitchX() : GetScaledPitchY();
}

double CPrinPicGrid::GetCellPitch() const
{
    return IsColumnArrangement() ? GetScaledPitchY() : GetScaledPitchX();
}

void CPrinPicGrid::SetReferenceRange(double minXValue, double maxXValue, double maxYValue, double minYValue)
{
    minX = minXValue;
    maxX = maxXValue;
    maxY = maxYValue;
    minY = minYValue;
}

bool CPrinPicGrid::CheckInvariants() const
{
    if (stringPositions.size() != strings.size())
        return false;
    const double tol = 1e-6 * std::max({1.0, std::fabs(GetStringPitch()), std::fabs(GetCellPitch())});
    const auto near = [tol](double a, double b) { return std::fabs(a - b) <= tol; };
    const auto sameBox = [&near](const AcDbExtents& a, const AcDbExtents& b) {
        return a.isValid() == b.isValid() && near(a.minPoint().x, b.minPoint().x)
            && near(a.minPoint().y, b.minPoint().y) && near(a.maxPoint().x, b.maxPoint().x)
            && near(a.maxPoint().y, b.maxPoint().y) && a.minPoint().z == 0.0 && a.maxPoint().z == 0.0;
    };
    const double forward = IsColumnArrangement() ? GetStringPitch() : -GetStringPitch();
    const int n = cellsPerString > 0 ? cellsPerString : 0;
    for (std::size_t s = 0; s < strings.size(); ++s) {
        const double p = stringPositions[s];
        if (s > 0 && !near(p - stringPositions[s - 1], forward))
            return false;
        const CPrinPicString& str = strings[s];
        if (str.GetCellCount() != n || str.GetGrid() != this)
            return false;
        for (int c = 0; c < n; ++c) {
            const CPrinPicCell& cell = str.GetCells()[static_cast<std::size_t>(c)];
            if (!sameBox(cell.GetCellExtents(), GetCellZone(p, c)) || !sameBox(cell.GetLinkExtents(), GetLinkZone(p, c)))
                return false;
        }
        if (!sameBox(str.GetExtents(), GetEndZone(p)))
            return false;
    }
    return true;
}

const CPrinPicString& CPrinPicGrid::GetString(int s) const
{
    if (badString(s))
        throw std::invalid_argument("string index " + std::to_string(s) + " outside the grid's "
                                    + std::to_string(strings.size()) + " strings");
    return strings[static_cast<std::size_t>(s)];
}

CPrinPicString& CPrinPicGrid::GetString(int s)
{
    return const_cast<CPrinPicString&>(static_cast<const CPrinPicGrid&>(*this).GetString(s));
}

void CPrinPicGrid::ResizeStrings(int n)
{
    strings.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

AcDbExtents CPrinPicGrid::GetCellZone(double p, int j) const
{
    const double sX = GetScaledPitchX();
    const double sY = GetScaledPitchY();
    if (IsColumnArrangement())
        return box(p - sX / 2, maxY - (j + 1) * sY, p + sX / 2, maxY - j * sY);
    return box(minX + j * sX, p - sY / 2, minX + (j + 1) * sX, p + sY / 2);
}

AcDbExtents CPrinPicGrid::GetLinkZone(double p, int j) const
{
    const double sX = GetScaledPitchX();
    const double sY = GetScaledPitchY();
    if (IsColumnArrangement())
        return box(p - sX, maxY - (j + 0.5) * sY, p, maxY - (j - 0.5) * sY);
    return box(minX + (j - 0.5) * sX, p, minX + (j + 0.5) * sX, p + sY);
}

PrinPicStringZones CPrinPicGrid::ComputeZones(double p) const
{
    PrinPicStringZones zones;
    const int n = cellsPerString > 0 ? cellsPerString : 0;
    zones.cellZones.reserve(static_cast<std::size_t>(n));
    zones.linkZones.reserve(static_cast<std::size_t>(n) + 1);
    for (int j = 0; j < n; ++j)
        zones.cellZones.push_back(GetCellZone(p, j));
    for (int j = 0; j <= n; ++j)
        zones.linkZones.push_back(GetLinkZone(p, j));
    return zones;
}

void CPrinPicGrid::LayOutString(CPrinPicString& str, double p) const
{
    PrinPicStringZones zones = ComputeZones(p);
    str.SetCellCount(cellsPerString);
    for (int j = 0; j < str.GetCellCount(); ++j) {
        CPrinPicCell& cell = str.GetCell(j);
        cell.SetCellExtents(zones.cellZones[static_cast<std::size_t>(j)]);
        cell.SetLinkExtents(zones.linkZones[static_cast<std::size_t>(j)]);
    }
    str.SetExtents(zones.linkZones.back());
    str.SetCellZones(zones.cellZones);
    str.SetLinkZones(zones.linkZones);
}

const CPrinPicCell& CPrinPicGrid::checkedCell(std::int32_t s, std::int32_t c) const
{
    return strings[static_cast<std::size_t>(s)].GetCell(c);
}

CPrinPicCell& CPrinPicGrid::checkedCell(std::int32_t s, std::int32_t c)
{
    return strings[static_cast<std::size_t>(s)].GetCell(c);
}

std::int32_t CPrinPicGrid::GetExtents(std::int32_t s, std::int32_t c, std::int32_t kind, AcDbExtents& out) const
{
    if (badString(s))
        return -1;
    if (c >= cellsPerString || c < -1)
        return -2;
    if (c == -1) {
        if (kind != 0)
            return -3;
        out = strings[static_cast<std::size_t>(s)].GetExtents();
        return 1;
    }
    const CPrinPicCell& cell = checkedCell(s, c);
    out = kind == 1 ? cell.GetCellExtents() : cell.GetLinkExtents();
    return 1;
}

std::int32_t CPrinPicGrid::GetStringData(std::int32_t s, AcDbObjectIdArray& wireIdsOut,
                                         AcDbObjectId& symbolIdOut) const
{
    if (badString(s))
        return -1;
    const CPrinPicString& str = strings[static_cast<std::size_t>(s)];
    PrinPicAssignIds(wireIdsOut, str.GetEndWireIds());
    symbolIdOut = str.GetEndSymbolId();
    return 1;
}

std::int32_t CPrinPicGrid::SetStringData(std::int32_t s, AcDbObjectIdArray wireIdsIn, AcDbObjectId symbolIdIn)
{
    if (badString(s))
        return -1;
    CPrinPicString& str = strings[static_cast<std::size_t>(s)];
    str.SetEndWireIds(wireIdsIn);
    str.SetEndSymbolId(symbolIdIn);
    return 1;
}

std::int32_t CPrinPicGrid::GetCellData(std::int32_t s, std::int32_t c, AcDbObjectIdArray& wireIdsOut,
                                       AcDbObjectId& symbolIdOut, AcDbObjectIdArray& linkWireIdsOut,
                                       AcDbObjectId& linkSymbolIdOut, AcDbObjectIdArray& deviceIdsOut,
                                       AcDbObjectIdArray& bandDeviceIdsOut) const
{
    if (badString(s))
        return -1;
    if (badCell(c))
        return -2;
    const CPrinPicCell& cell = checkedCell(s, c);
    PrinPicAssignIds(wireIdsOut, cell.GetWireIds());
    symbolIdOut = cell.GetSymbolId();
    PrinPicAssignIds(linkWireIdsOut, cell.GetLinkWireIds());
    linkSymbolIdOut = cell.GetLinkSymbolId();
    PrinPicAssignIds(deviceIdsOut, cell.GetDeviceIds());
    PrinPicAssignIds(bandDeviceIdsOut, cell.GetBandDeviceIds());
    return 1;
}

std::int32_t CPrinPicGrid::SetCellData(std::int32_t s, std::int32_t c, std::int32_t kind,
                                       AcDbObjectIdArray wireIdsIn, AcDbObjectId symbolIdIn,
                                       AcDbObjectIdArray deviceIdsIn, AcDbObjectIdArray bandDeviceIdsIn)
{
    if (badString(s))
        return -1;
    if (badCell(c))
        return -2;
    CPrinPicCell& cell = checkedCell(s, c);
    if (kind == 1) {
        cell.SetWireIds(wireIdsIn);
        cell.SetSymbolId(symbolIdIn);
    } else {
        cell.SetLinkWireIds(wireIdsIn);
        cell.SetLinkSymbolId(symbolIdIn);
    }
    cell.SetDeviceIds(deviceIdsIn);
    cell.SetBandDeviceIds(bandDeviceIdsIn);
    return 1;
}

std::int32_t CPrinPicGrid::PointInRect(const AcGePoint3d& point, const AcDbExtents& rect)
{
    const double x0 = rect.minPoint().x, y0 = rect.minPoint().y;
    const double x1 = rect.maxPoint().x, y1 = rect.maxPoint().y;
    const AcGePoint3d p(point.x, point.y, 0.0);
    const AcGePoint3d bottomLeft(x0, y0, 0.0), topLeft(x0, y1, 0.0);
    const AcGePoint3d topRight(x1, y1, 0.0), bottomRight(x1, y0, 0.0);
    const AcGePoint3d edges[4][2] = {
        {bottomLeft, topLeft},     // left
        {topLeft, topRight},       // top
        {topRight, bottomRight},   // right
        {bottomRight, bottomLeft}, // bottom
    };

    PointToleranceGuard tolerance(kEdgeTolerance);
    for (const auto& edge : edges) {
        const AcGePoint3d& a = edge[0];
        const AcGePoint3d& b = edge[1];
        if (AcGeLine3d(a, b).isOn(p))
            return p.distanceTo(a) + p.distanceTo(b) <= a.distanceTo(b) ? 1 : 0;
    }
    return x0 < p.x && p.x < x1 && y0 < p.y && p.y < y1 ? 1 : 0;
}

AcDbExtents CPrinPicGrid::GetGridRect() const
{
    const double halfX = GetScaledPitchX() / 2;
    const double halfY = GetScaledPitchY() / 2;
    return box(minX - halfX, minY - halfY, maxX + halfX, maxY + halfY);
}

bool CPrinPicGrid::PointInGrid(const AcGePoint3d& point) const
{
    return PointInRect(point, GetGridRect()) == 1;
}

std::int32_t CPrinPicGrid::FindCellAtPoint(const AcGePoint3d& point, std::int32_t kind, std::int32_t& s,
                                           std::int32_t& c) const
{
    if (!PointInGrid(point))
        return -1;
    if (strings.empty())
        return -2;
    for (std::size_t si = 0; si < strings.size(); ++si) {
        const CPrinPicString& str = strings[si];
        for (std::size_t ci = 0; ci < str.GetCells().size(); ++ci) {
            const CPrinPicCell& cell = str.GetCells()[ci];
            if (PointInRect(point, kind == 1 ? cell.GetCellExtents() : cell.GetLinkExtents()) == 1) {
                s = static_cast<std::int32_t>(si);
                c = static_cast<std::int32_t>(ci);
                return 1;
            }
        }
        if (kind == 0 && PointInRect(point, str.GetExtents()) == 1) {
            s = static_cast<std::int32_t>(si);
            c = -1;
            return 1;
        }
    }
    return -3;
}
