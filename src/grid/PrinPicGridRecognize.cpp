// Recognition: rebuilds a CPrinPicGrid from the wires, symbols and devices of
// a drawing.
//
// The rules are stated per string and per zone (each wire or symbol goes to
// the first string that accepts it, each entity of a string to every zone
// that holds it), but a schematic has thousands of strings, so nothing here
// scans every string or every zone. The string positions are monotonic
// (row: falling, column: rising), so the strings that can accept an entity
// are found by binary search over the positions with a conservative window
// around the entity's coordinate; the exact acceptance test then decides, in
// string order. Within a string the cells an entity can fall into follow
// from its coordinate along the string; the exact PointInRect / overlap test
// of each candidate zone (and its neighbours) decides. The result is the
// same as testing every string and every zone in order.
#include "grid/PrinPicGrid.h"

#include "components/NorvexGloFunc.h"
#include "host/adsdefs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <typeinfo>
#include <unordered_map>
#include <vector>

namespace {

// Coordinate tolerance of the acceptance tests and the wire readings.
constexpr double kTol = 0.1;
// A vertical wire must be at least this long.
constexpr double kMinVerticalLength = 1.0;
// Relative slack of the search windows; the exact tests decide, so it only
// has to cover rounding.
constexpr double kSlack = 1e-9;
// Extra zones tested on each side of the computed candidates.
constexpr int kNeighbours = 2;

double planarLength(const AcGePoint3d& a, const AcGePoint3d& b)
{
    return std::hypot(b.x - a.x, b.y - a.y);
}

bool horizontalEnds(const AcGePoint3d& p0, const AcGePoint3d& p1)
{
    return std::fabs(p0.y - p1.y) <= kTol && planarLength(p0, p1) >= kTol;
}

bool verticalEnds(const AcGePoint3d& p0, const AcGePoint3d& p1)
{
    return std::fabs(p0.x - p1.x) <= kTol && planarLength(p0, p1) >= kMinVerticalLength;
}

// An entity read once, with the point it is placed by.
struct PointEntry {
    AcDbObjectId id;
    AcGePoint3d point; // wires: the midpoint; symbols: the insertion point
};

struct DeviceEntry {
    AcDbObjectId id;
    AcGePoint3d lo, hi; // MINPT, MAXPT
};

struct WireEntry {
    std::size_t input; // index in the input wire list
    AcDbObjectId id;
    AcGePoint3d p0, p1, mid;
};

// The six buckets of one string, with the geometry already read.
struct Buckets {
    std::vector<PointEntry> inlineWires, linkWires, inlineSymbols, linkSymbols;
    std::vector<DeviceEntry> crossingDevices, bandDevices;
};

// Candidate zones of one string for a stretch [ua, ub] of the coordinate
// along the string (row: X - minX; column: maxY - Y). Zone j covers
// [(j + shift) * pitch, (j + shift + 1) * pitch] with shift 0 for cell zones
// and -1/2 for link zones; a point within kTol of a zone's edge line may be
// on the edge, so the window is widened by kTol and kNeighbours zones.
struct ZoneRange {
    int first = 0;
    int last = -1; // inclusive
};

ZoneRange candidateZones(double ua, double ub, double pitch, double shift, int count)
{
    ZoneRange all{0, count - 1};
    if (count <= 0)
        return all;
    if (!(pitch > 0) || !std::isfinite(pitch) || !std::isfinite(ua) || !std::isfinite(ub))
        return all;
    const double slack = kTol + kSlack * (1.0 + std::fabs(ua) + std::fabs(ub) + pitch);
    const double a = std::floor((ua - slack) / pitch - shift) - 1 - kNeighbours;
    const double b = std::floor((ub + slack) / pitch - shift) + kNeighbours;
    if (!std::isfinite(a) || !std::isfinite(b))
        return all;
    ZoneRange r;
    r.first = static_cast<int>(std::clamp(a, 0.0, static_cast<double>(count - 1)));
    r.last = static_cast<int>(std::clamp(b, -1.0, static_cast<double>(count - 1)));
    if (b < 0 || a > count - 1)
        r.last = r.first - 1;
    return r;
}

// Fills a string from buckets whose geometry has been read.
void fillString(const CPrinPicGrid& grid, CPrinPicString& str, const Buckets& b, double p)
{
    grid.LayOutString(str, p);
    const std::vector<AcDbExtents>& cellZones = str.GetCellZones();
    const std::vector<AcDbExtents>& linkZones = str.GetLinkZones();
    const int cellCount = static_cast<int>(cellZones.size());
    const int linkCount = static_cast<int>(linkZones.size());
    const int endZone = linkCount - 1;

    const bool column = grid.IsColumnArrangement();
    const double pitch = grid.GetCellPitch();
    const double origin = column ? grid.GetMaxY() : grid.GetMinX();
    const auto along = [&](const AcGePoint3d& q) { return column ? origin - q.y : q.x - origin; };

    // Every zone that holds the point, among the few its position along
    // the string allows.
    const auto inCells = [&](const AcGePoint3d& q, const auto& take) {
        const double u = along(q);
        const ZoneRange r = candidateZones(u, u, pitch, 0.0, cellCount);
        for (int j = r.first; j <= r.last; ++j)
            if (CPrinPicGrid::PointInRect(q, cellZones[static_cast<std::size_t>(j)]) == 1)
                take(j);
    };
    const auto inLinks = [&](const AcGePoint3d& q, const auto& take) {
        const double u = along(q);
        const ZoneRange r = candidateZones(u, u, pitch, -0.5, linkCount);
        for (int j = r.first; j <= r.last; ++j)
            if (CPrinPicGrid::PointInRect(q, linkZones[static_cast<std::size_t>(j)]) == 1)
                take(j);
    };
    for (const PointEntry& e : b.inlineWires)
        inCells(e.point, [&](int j) { str.GetCell(j).AppendWireId(e.id); });
    for (const PointEntry& e : b.linkWires)
        inLinks(e.point, [&](int j) {
            if (j == endZone)
                str.AppendEndWireId(e.id);
            else
                str.GetCell(j).AppendLinkWireId(e.id);
        });
    // Symbols: walking the bucket in order, the last one in a zone stays.
    for (const PointEntry& e : b.inlineSymbols)
        inCells(e.point, [&](int j) { str.GetCell(j).SetSymbolId(e.id); });
    for (const PointEntry& e : b.linkSymbols)
        inLinks(e.point, [&](int j) {
            if (j == endZone)
                str.SetEndSymbolId(e.id);
            else
                str.GetCell(j).SetLinkSymbolId(e.id);
        });
    for (const DeviceEntry& e : b.crossingDevices) {
        const double u0 = along(e.lo), u1 = along(e.hi);
        const ZoneRange r = candidateZones(std::min(u0, u1), std::max(u0, u1), pitch, 0.0, cellCount);
        const AcDbExtents rect(e.lo, e.hi);
        for (int j = r.first; j <= r.last; ++j)
            if (CPrinPicGrid::ExtentsOverlap(rect, cellZones[static_cast<std::size_t>(j)]))
                str.GetCell(j).AppendDeviceId(e.id);
    }
    for (const DeviceEntry& e : b.bandDevices) {
        const double u0 = along(e.lo), u1 = along(e.hi);
        const ZoneRange r = candidateZones(std::min(u0, u1), std::max(u0, u1), pitch, 0.0, cellCount);
        const double from = column ? e.lo.y : e.lo.x;
        const double to = column ? e.hi.y : e.hi.x;
        const auto contains = [&](double v) { return from <= v && v <= to; };
        for (int j = r.first; j <= r.last; ++j) {
            const AcDbExtents& zone = cellZones[static_cast<std::size_t>(j)];
            const double start = column ? zone.minPoint().y : zone.minPoint().x;
            const double end = column ? zone.maxPoint().y : zone.maxPoint().x;
            if (contains(start) || contains(end))
                str.GetCell(j).AppendBandDeviceId(e.id);
        }
    }
}

// The string positions with a nondecreasing key for searching: the
// position itself in column arrangement, its negation (exact) in row
// arrangement, where positions fall.
class StringIndex {
public:
    StringIndex(const std::vector<double>& positions, bool column) : m_positions(positions), m_column(column)
    {
        m_keys.reserve(positions.size());
        for (double p : positions)
            m_keys.push_back(column ? p : -p);
    }
    int size() const { return static_cast<int>(m_positions.size()); }
    double position(int i) const { return m_positions[static_cast<std::size_t>(i)]; }

    // Indices [first, last) of the strings whose position lies in [pa, pb].
    std::pair<int, int> within(double pa, double pb) const
    {
        const double ka = m_column ? pa : -pb;
        const double kb = m_column ? pb : -pa;
        if (std::isnan(ka) || std::isnan(kb) || ka > kb)
            return {0, 0};
        const auto first = std::lower_bound(m_keys.begin(), m_keys.end(), ka);
        const auto last = std::upper_bound(first, m_keys.end(), kb);
        return {static_cast<int>(first - m_keys.begin()), static_cast<int>(last - m_keys.begin())};
    }

    // The first string with its position in [pa, pb] for which accepts(i)
    // holds, or -1. The window must hold every string accepts() can take.
    template <class Accepts>
    int firstAccepting(double pa, double pb, Accepts accepts) const
    {
        const auto [first, last] = within(pa, pb);
        for (int i = first; i < last; ++i)
            if (accepts(i))
                return i;
        return -1;
    }

private:
    const std::vector<double>& m_positions;
    bool m_column;
    std::vector<double> m_keys;
};

constexpr double kInf = std::numeric_limits<double>::infinity();

// Which slot of the string at p a symbol at c (Y in row, X in column
// arrangement) takes: 2 the link slot, 1 the in-line slot, 0 neither.
int symbolSlot(double c, double p, double stringPitch, bool column)
{
    const bool link = column ? (c < p && std::fabs(c - p) > kTol)
                             : (p < c && c < p + stringPitch && std::fabs(c - p) > kTol);
    if (link)
        return 2;
    return std::fabs(c - p) < kTol ? 1 : 0;
}

// What the wires say about the schematic: the horizontal and the vertical
// wires in input order, and the extent they measure.
struct WireSurvey {
    std::vector<WireEntry> horizontal, vertical;
    double loX, hiX, loY, hiY;
};

// Classifies the wires, in input order, and measures the schematic from
// them (from the base point when no wire can be read).
WireSurvey surveyWires(const AcDbObjectIdArray& wireIds, const AcGePoint3d& base, bool column)
{
    WireSurvey s{{}, {}, base.x, base.x, base.y, base.y};
    bool measured = false;
    const auto widenX = [&s](const AcGePoint3d& q) {
        s.loX = std::min(s.loX, q.x);
        s.hiX = std::max(s.hiX, q.x);
    };
    const auto widenY = [&s](const AcGePoint3d& q) {
        s.loY = std::min(s.loY, q.y);
        s.hiY = std::max(s.hiY, q.y);
    };
    for (std::size_t k = 0; k < wireIds.size(); ++k) {
        WireEntry w{k, wireIds[k], {}, {}, {}};
        if (!CPrinPicGrid::GetWireEnds(w.id, w.p0, w.p1, w.mid))
            continue;
        if (!measured) {
            s.loX = s.hiX = w.p0.x;
            s.loY = s.hiY = w.p0.y;
            measured = true;
        }
        const bool isHorizontal = horizontalEnds(w.p0, w.p1);
        const bool isVertical = !isHorizontal && verticalEnds(w.p0, w.p1);
        // Along the strings every wire counts; across them only the wires
        // that are part of the schematic's lines.
        if (column) {
            widenY(w.p0);
            widenY(w.p1);
        } else {
            widenX(w.p0);
            widenX(w.p1);
        }
        if (!isHorizontal && !isVertical)
            continue;
        if (column) {
            widenX(w.p0);
            widenX(w.p1);
        } else {
            widenY(w.p0);
            widenY(w.p1);
        }
        (isHorizontal ? s.horizontal : s.vertical).push_back(w);
    }
    return s;
}

// The number of strings for an extent of q string pitches across the
// strings: rounded half up from the integer part; 0 when q is no count.
int stringCount(double q, double stringPitch)
{
    int count = 0;
    if (stringPitch > 0 && std::isfinite(stringPitch) && std::isfinite(q)) {
        const double whole = std::trunc(q);
        const double n = whole + (q - whole >= 0.5 ? 1.0 : 0.0);
        if (n > 0 && n <= static_cast<double>(std::numeric_limits<int>::max()))
            count = static_cast<int>(n);
    }
    return count;
}

// The strings an entity is binned among, and the slack of the search
// windows around a coordinate (relative to the schematic's magnitude).
struct Placement {
    const StringIndex& strs;
    bool column;
    double stringPitch;
    double magnitude;

    double slack(double v) const { return kSlack * (magnitude + std::fabs(v)); }
};

// Bins wires into the first string that accepts each, marking them taken.
// In-line wires: row, when the first vertex is above the row or within 0.1
// of it; column, when the midpoint is left of the column or within 0.1 of
// it. Link wires: midpoint above the row / left of the column.
void binWires(const Placement& at, const std::vector<WireEntry>& list, bool inLine, std::vector<Buckets>& buckets,
              std::vector<char>& taken)
{
    const StringIndex& strs = at.strs;
    const bool column = at.column;
    for (const WireEntry& w : list) {
        int s = -1;
        if (inLine && !column) {
            const double y = w.p0.y;
            s = strs.firstAccepting(-kInf, y + kTol + at.slack(y), [&](int i) {
                const double p = strs.position(i);
                return y > p || std::fabs(y - p) < kTol;
            });
        } else if (inLine) {
            const double x = w.mid.x;
            s = strs.firstAccepting(x - kTol - at.slack(x), kInf, [&](int i) {
                const double p = strs.position(i);
                return x < p || std::fabs(x - p) < kTol;
            });
        } else if (!column) {
            const double y = w.mid.y;
            s = strs.firstAccepting(-kInf, y, [&](int i) { return y > strs.position(i); });
        } else {
            const double x = w.mid.x;
            s = strs.firstAccepting(x, kInf, [&](int i) { return x < strs.position(i); });
        }
        if (s < 0)
            continue;
        Buckets& b = buckets[static_cast<std::size_t>(s)];
        (inLine ? b.inlineWires : b.linkWires).push_back({w.id, w.mid});
        taken[w.input] = 1;
    }
}

// Bins symbols: the link slot when between the string and the previous one
// (more than 0.1 off the string's line), the in-line slot when within 0.1
// of it. Gives which symbols a string took.
std::vector<char> binSymbols(const Placement& at, const AcDbObjectIdArray& symbolIds, std::vector<Buckets>& buckets)
{
    const StringIndex& strs = at.strs;
    const bool column = at.column;
    const double stringPitch = at.stringPitch;
    std::vector<char> taken(symbolIds.size(), 0);
    for (std::size_t k = 0; k < symbolIds.size() && strs.size() > 0; ++k) {
        AcGePoint3d pos;
        if (!CPrinPicGrid::GetSymbolPosition(symbolIds[k], pos))
            continue;
        const double c = column ? pos.x : pos.y;
        const double pa = column ? c - kTol - at.slack(c) : c - std::max(stringPitch, kTol) - at.slack(c);
        const double pb = column ? kInf : c + kTol + at.slack(c);
        int slot = 0;
        const int s = strs.firstAccepting(pa, pb, [&](int i) {
            slot = symbolSlot(c, strs.position(i), stringPitch, column);
            return slot != 0;
        });
        if (s < 0)
            continue;
        Buckets& b = buckets[static_cast<std::size_t>(s)];
        (slot == 2 ? b.linkSymbols : b.inlineSymbols).push_back({symbolIds[k], pos});
        taken[k] = 1;
    }
    return taken;
}

// The devices read once, with the strings each goes to: entries index
// devices; canonical[d] is the first entry with the same id.
struct DeviceBins {
    std::vector<DeviceEntry> devices;
    std::vector<std::size_t> canonical;
    std::vector<std::vector<std::size_t>> crossing, bandFromPrevious, bandOwn;
};

// Bins devices, which are not consumed. A device crossing a string's line
// goes to its crossing bin; one with its near end in the band after the
// string (and not crossing it) to the string's own band bin; one with its
// far end there to the own band bin of the string and to the band bin
// from the previous string of the next one.
DeviceBins binDevices(const Placement& at, const AcDbObjectIdArray& deviceIds, double sX, double sY)
{
    const StringIndex& strs = at.strs;
    const bool column = at.column;
    const double stringPitch = at.stringPitch;
    const int count = strs.size();
    DeviceBins bins;
    bins.crossing.resize(static_cast<std::size_t>(count));
    bins.bandFromPrevious.resize(static_cast<std::size_t>(count));
    bins.bandOwn.resize(static_cast<std::size_t>(count));
    if (count <= 0)
        return bins;
    std::unordered_map<AcDbObjectId, std::size_t> firstOf;
    for (const AcDbObjectId& id : deviceIds) {
        DeviceEntry d{id, {}, {}};
        if (!CPrinPicGrid::GetDeviceExtent(id, d.lo, d.hi))
            continue;
        const std::size_t index = bins.devices.size();
        bins.devices.push_back(d);
        bins.canonical.push_back(firstOf.emplace(id, index).first->second);

        const double lo = column ? d.lo.x : d.lo.y;
        const double hi = column ? d.hi.x : d.hi.y;
        const std::pair<int, int> crossRange = strs.within(lo, hi);
        const int crossFirst = crossRange.first, crossLast = crossRange.second;
        for (int i = crossFirst; i < crossLast; ++i)
            bins.crossing[static_cast<std::size_t>(i)].push_back(index);
        const auto crosses = [&](int i) { return i >= crossFirst && i < crossLast; };

        // Row: the band after a row lies below it, [p - sY, p);
        // column: the band after a column lies right of it, (p, p + sX].
        const auto nearEnd = [&](int i) {
            const double p = strs.position(i);
            return column ? (p < d.lo.x && d.lo.x <= p + sX) : (p - sY <= d.hi.y && d.hi.y < p);
        };
        const auto farEnd = [&](int i) {
            const double p = strs.position(i);
            return column ? (p < d.hi.x && d.hi.x <= p + sX) : (p - sY <= d.lo.y && d.lo.y < p);
        };
        const double nearAt = column ? d.lo.x : d.hi.y;
        const double farAt = column ? d.hi.x : d.lo.y;
        const auto window = [&](double v) {
            return column ? std::pair{v - stringPitch - at.slack(v), v + at.slack(v)}
                          : std::pair{v - at.slack(v), v + stringPitch + at.slack(v)};
        };
        const auto [nearA, nearB] = window(nearAt);
        const auto [nearFirst, nearLast] = strs.within(nearA, nearB);
        const auto [farA, farB] = window(farAt);
        const auto [farFirst, farLast] = strs.within(farA, farB);
        for (int i = nearFirst; i < nearLast; ++i)
            if (!crosses(i) && nearEnd(i))
                bins.bandOwn[static_cast<std::size_t>(i)].push_back(index);
        for (int i = farFirst; i < farLast; ++i) {
            if (!farEnd(i))
                continue;
            std::vector<std::size_t>& own = bins.bandOwn[static_cast<std::size_t>(i)];
            if (own.empty() || own.back() != index)
                own.push_back(index);
            if (i + 1 < count)
                bins.bandFromPrevious[static_cast<std::size_t>(i) + 1].push_back(index);
        }
    }
    return bins;
}

// Puts the binned devices into the strings' buckets. No bucket holds an id
// twice; a band bucket holds the devices put there from the previous string
// first, each group in list order.
void fillDeviceBuckets(const DeviceBins& bins, std::vector<Buckets>& buckets)
{
    const int count = static_cast<int>(buckets.size());
    std::vector<int> lastCrossing(bins.devices.size(), -1), lastBand(bins.devices.size(), -1);
    for (int i = 0; i < count; ++i) {
        Buckets& b = buckets[static_cast<std::size_t>(i)];
        for (std::size_t d : bins.crossing[static_cast<std::size_t>(i)]) {
            int& mark = lastCrossing[bins.canonical[d]];
            if (mark != i) {
                mark = i;
                b.crossingDevices.push_back(bins.devices[d]);
            }
        }
        for (const auto* group : {&bins.bandFromPrevious[static_cast<std::size_t>(i)],
                                  &bins.bandOwn[static_cast<std::size_t>(i)]})
            for (std::size_t d : *group) {
                int& mark = lastBand[bins.canonical[d]];
                if (mark != i) {
                    mark = i;
                    b.bandDevices.push_back(bins.devices[d]);
                }
            }
    }
}

// Keeps in the list what no string took, in its order.
void keepUntaken(AcDbObjectIdArray& ids, const std::vector<char>& taken)
{
    std::size_t out = 0;
    for (std::size_t k = 0; k < ids.size(); ++k)
        if (!taken[k])
            ids[out++] = ids[k];
    ids.resize(out);
}

} // namespace

// ---------------------------------------------------------------- readings

bool CPrinPicGrid::GetWireEnds(const AcDbObjectId& id, AcGePoint3d& p0, AcGePoint3d& p1, AcGePoint3d& mid)
{
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForRead) != Acad::eOk)
        return false;
    const AcDbObject& object = *obj;
    AcGePoint3d a, b;
    bool ok = false;
    if (typeid(object) == typeid(AcDbPolyline)) {
        const auto& wire = static_cast<const AcDbPolyline&>(object);
        ok = wire.numVerts() == 2 && wire.getPointAt(0u, a) == Acad::eOk && wire.getPointAt(1u, b) == Acad::eOk;
    }
    obj->close();
    if (!ok)
        return false;
    const ads_point from = {a.x, a.y, a.z};
    const ads_point to = {b.x, b.y, b.z};
    ads_point half;
    arx_polar(from, arx_angle(from, to), planarLength(a, b) / 2, half);
    p0 = a;
    p1 = b;
    mid = AcGePoint3d(half[0], half[1], half[2]);
    return true;
}

bool CPrinPicGrid::IsHorizontalWire(const AcDbObjectId& id)
{
    AcGePoint3d p0, p1, mid;
    return GetWireEnds(id, p0, p1, mid) && horizontalEnds(p0, p1);
}

bool CPrinPicGrid::IsVerticalWire(const AcDbObjectId& id)
{
    AcGePoint3d p0, p1, mid;
    return GetWireEnds(id, p0, p1, mid) && verticalEnds(p0, p1);
}

bool CPrinPicGrid::GetSymbolPosition(const AcDbObjectId& id, AcGePoint3d& position)
{
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForRead) != Acad::eOk)
        return false;
    const AcDbObject& object = *obj;
    const bool ok = typeid(object) == typeid(AcDbBlockReference);
    if (ok)
        position = static_cast<const AcDbBlockReference&>(object).position();
    obj->close();
    return ok;
}

bool CPrinPicGrid::GetDeviceExtent(const AcDbObjectId& id, AcGePoint3d& minPoint, AcGePoint3d& maxPoint)
{
    AcGePoint3d lo, hi;
    if (GetEntXdataPoint(id, L"MINPT", lo) == 0 || GetEntXdataPoint(id, L"MAXPT", hi) == 0)
        return false;
    minPoint = lo;
    maxPoint = hi;
    return true;
}

bool CPrinPicGrid::ExtentsOverlap(const AcDbExtents& a, const AcDbExtents& b)
{
    const AcGePoint3d& aMin = a.minPoint();
    const AcGePoint3d& aMax = a.maxPoint();
    const AcGePoint3d& bMin = b.minPoint();
    const AcGePoint3d& bMax = b.maxPoint();
    return !(bMin.x > aMax.x || aMin.x > bMax.x || bMin.y > aMax.y || aMin.y > bMax.y);
}

// ---------------------------------------------------------------- strings

void CPrinPicGrid::BuildString(CPrinPicString& str, const AcDbObjectIdArray& inlineWireIds,
                               const AcDbObjectIdArray& linkWireIds, const AcDbObjectIdArray& inlineSymbolIds,
                               const AcDbObjectIdArray& linkSymbolIds, const AcDbObjectIdArray& crossingDeviceIds,
                               const AcDbObjectIdArray& bandDeviceIds, double p)
{
    if (str.GetGrid() != this)
        throw std::invalid_argument("BuildString: the string does not belong to this grid");
    const auto readWires = [](const AcDbObjectIdArray& ids, std::vector<PointEntry>& out) {
        for (const AcDbObjectId& id : ids) {
            AcGePoint3d p0, p1, mid;
            if (GetWireEnds(id, p0, p1, mid))
                out.push_back({id, mid});
        }
    };
    const auto readSymbols = [](const AcDbObjectIdArray& ids, std::vector<PointEntry>& out) {
        for (const AcDbObjectId& id : ids) {
            AcGePoint3d at;
            if (GetSymbolPosition(id, at))
                out.push_back({id, at});
        }
    };
    const auto readDevices = [](const AcDbObjectIdArray& ids, std::vector<DeviceEntry>& out) {
        for (const AcDbObjectId& id : ids) {
            AcGePoint3d lo, hi;
            if (GetDeviceExtent(id, lo, hi))
                out.push_back({id, lo, hi});
        }
    };
    Buckets b;
    readWires(inlineWireIds, b.inlineWires);
    readWires(linkWireIds, b.linkWires);
    readSymbols(inlineSymbolIds, b.inlineSymbols);
    readSymbols(linkSymbolIds, b.linkSymbols);
    readDevices(crossingDeviceIds, b.crossingDevices);
    readDevices(bandDeviceIds, b.bandDevices);
    fillString(*this, str, b, p);
}

// ---------------------------------------------------------------- the grid

void CPrinPicGrid::RecognizeGrid(AcDbObjectIdArray& wireIds, AcDbObjectIdArray& symbolIds,
                                 const AcDbObjectIdArray& deviceIds)
{
    scale = blockScale / symbolScale;
    const bool column = IsColumnArrangement();
    const double sX = GetScaledPitchX();
    const double sY = GetScaledPitchY();

    WireSurvey wires = surveyWires(wireIds, basePoint, column);

    // The strings: count and place.
    const double stringPitch = GetStringPitch();
    const double q = column ? (wires.hiX - basePoint.x) / stringPitch : (basePoint.y - wires.loY) / stringPitch;
    const int count = stringCount(q, stringPitch);
    std::vector<double> positions;
    positions.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        positions.push_back(column ? basePoint.x + (i + 1) * sX : basePoint.y - (i + 1) * sY);
    if (column)
        wires.loX = basePoint.x;
    else
        wires.hiY = basePoint.y;
    stringPositions = positions;

    const StringIndex strs(stringPositions, column);
    const double magnitude =
        1.0 + (column ? std::fabs(basePoint.x) : std::fabs(basePoint.y)) + (count + 1.0) * stringPitch;
    const Placement at{strs, column, stringPitch, magnitude};

    // Bin the wires, the symbols and the devices into the strings.
    std::vector<Buckets> buckets(static_cast<std::size_t>(count));
    std::vector<char> wireTaken(wireIds.size(), 0);
    binWires(at, wires.horizontal, !column, buckets, wireTaken);
    binWires(at, wires.vertical, column, buckets, wireTaken);
    const std::vector<char> symbolTaken = binSymbols(at, symbolIds, buckets);
    fillDeviceBuckets(binDevices(at, deviceIds, sX, sY), buckets);

    keepUntaken(wireIds, wireTaken);
    keepUntaken(symbolIds, symbolTaken);

    // Fill the strings from their buckets.
    SetReferenceRange(wires.loX, wires.hiX, wires.hiY, wires.loY);
    ResizeStrings(count);
    for (int i = 0; i < count; ++i) {
        CPrinPicString& str = strings[static_cast<std::size_t>(i)];
        str.SetGrid(this);
        fillString(*this, str, buckets[static_cast<std::size_t>(i)], stringPositions[static_cast<std::size_t>(i)]);
    }
}
