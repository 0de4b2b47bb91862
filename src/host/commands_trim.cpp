// TRIM: cut lines and polylines at the crossing cutting edges.
#include "host/commands_internal.h"
#include "host/dbinternal.h"
#include "host/selection.h"

#include <algorithm>
#include <cmath>

namespace host::cmd {

namespace {

struct Segment {
    AcGePoint2d a, b;
};

// The straight segments of a cutting edge in world coordinates.
void edgeSegments(const AcDbEntity& e, std::vector<Segment>& out)
{
    if (auto* l = dynamic_cast<const AcDbLine*>(&e)) {
        out.push_back({{l->startPoint().x, l->startPoint().y}, {l->endPoint().x, l->endPoint().y}});
    } else if (auto* pl = dynamic_cast<const AcDbPolyline*>(&e)) {
        const unsigned n = pl->numVerts();
        const unsigned segs = pl->isClosed() ? n : (n > 0 ? n - 1 : 0);
        for (unsigned i = 0; i < segs; ++i) {
            AcGePoint2d a, b;
            pl->getPointAt(i, a);
            pl->getPointAt((i + 1) % n, b);
            out.push_back({a, b});
        }
    }
}

// Parameter t along segment p->q where it meets segment e (0..1 both), or
// false.
bool crossing(const AcGePoint2d& p, const AcGePoint2d& q, const Segment& e, double& t)
{
    const double rx = q.x - p.x, ry = q.y - p.y;
    const double sx = e.b.x - e.a.x, sy = e.b.y - e.a.y;
    const double den = rx * sy - ry * sx;
    const double scale = std::max({std::fabs(rx), std::fabs(ry), std::fabs(sx), std::fabs(sy), 1e-12});
    if (std::fabs(den) <= 1e-12 * scale * scale)
        return false;
    const double qx = e.a.x - p.x, qy = e.a.y - p.y;
    t = (qx * sy - qy * sx) / den;
    const double u = (qx * ry - qy * rx) / den;
    const double eps = 1e-9;
    return t >= -eps && t <= 1 + eps && u >= -eps && u <= 1 + eps;
}

// A polyline's path as vertices with per-segment widths; parameters run
// from 0 at the first vertex, one unit per segment.
struct Path {
    std::vector<AcGePoint2d> pts;
    std::vector<std::pair<double, double>> widths;
    bool closed = false;
    unsigned segments() const { return static_cast<unsigned>(closed ? pts.size() : pts.size() - 1); }
    AcGePoint2d at(double t) const
    {
        const unsigned i = std::min(static_cast<unsigned>(t), segments() - 1);
        const double f = t - i;
        const AcGePoint2d& a = pts[i];
        const AcGePoint2d& b = pts[(i + 1) % pts.size()];
        return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
    }
    // end: t ends a piece, so at a vertex the segment before it counts.
    double widthAt(double t, bool end) const
    {
        unsigned i = std::min(static_cast<unsigned>(t), segments() - 1);
        if (end && i > 0 && t == i)
            --i;
        const double f = t - i;
        const auto [w0, w1] = widths[i];
        return w0 + (w1 - w0) * f;
    }
};

bool readPath(const AcDbEntity& e, Path& path)
{
    if (auto* l = dynamic_cast<const AcDbLine*>(&e)) {
        path.pts = {{l->startPoint().x, l->startPoint().y}, {l->endPoint().x, l->endPoint().y}};
        path.widths = {{0, 0}};
        return true;
    }
    auto* pl = dynamic_cast<const AcDbPolyline*>(&e);
    if (!pl || pl->hasBulges() || pl->numVerts() < 2)
        return false;
    for (unsigned i = 0; i < pl->numVerts(); ++i) {
        AcGePoint2d p;
        pl->getPointAt(i, p);
        double w0 = 0, w1 = 0;
        pl->getWidthsAt(i, w0, w1);
        path.pts.push_back(p);
        path.widths.emplace_back(w0, w1);
    }
    path.closed = pl->isClosed();
    return true;
}

// The part of the path from parameter t0 to t1 (t1 < t0 wraps round a
// closed path) as polyline vertices.
void subPath(const Path& path, double t0, double t1, std::vector<AcGePoint2d>& pts,
             std::vector<std::pair<double, double>>& widths)
{
    const double total = path.segments();
    if (t1 < t0)
        t1 += total;
    // Only a closed path wraps round to its first vertex.
    auto param = [&](double t) { return path.closed && t >= total ? t - total : t; };
    pts.push_back(path.at(param(t0)));
    double t = t0;
    while (true) {
        const double next = std::floor(t + 1e-12) + 1.0;
        const double stop = std::min(next, t1);
        // The piece's end at the path's end stays there (widthAt takes the
        // segment before it).
        const double a = param(t), b = stop > total ? param(stop) : stop;
        widths.emplace_back(path.widthAt(a, false), path.widthAt(b >= a ? b : total - 1e-12, true));
        pts.push_back(stop == next && param(stop) < total ? path.pts[static_cast<std::size_t>(param(stop)) % path.pts.size()]
                                                           : path.at(param(stop)));
        if (stop >= t1)
            break;
        t = stop;
    }
    widths.emplace_back(widths.back().second, widths.back().second);
}

void setPathVertices(AcDbPolyline& pl, const std::vector<AcGePoint2d>& pts,
                     const std::vector<std::pair<double, double>>& widths, bool constant, double constWidth)
{
    while (pl.numVerts() > 0)
        pl.removeVertexAt(pl.numVerts() - 1);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (constant)
            pl.addVertexAt(static_cast<unsigned>(i), pts[i]);
        else
            pl.addVertexAt(static_cast<unsigned>(i), pts[i], 0.0, widths[i].first, widths[i].second);
    }
    pl.setClosed(false);
    if (constant)
        pl.setConstantWidth(constWidth);
}

// The parameter of the pick point along the path: that of the path's
// nearest point.
double pickParameter(const Path& path, const AcGePoint3d& pick)
{
    double tp = 0, best = 1e300;
    for (unsigned i = 0; i < path.segments(); ++i) {
        const AcGePoint2d& a = path.pts[i];
        const AcGePoint2d& b = path.pts[(i + 1) % path.pts.size()];
        const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        double f = len2 > 0 ? ((pick.x - a.x) * dx + (pick.y - a.y) * dy) / len2 : 0.0;
        f = std::clamp(f, 0.0, 1.0);
        const double d = std::hypot(pick.x - (a.x + f * dx), pick.y - (a.y + f * dy));
        if (d < best) {
            best = d;
            tp = i + f;
        }
    }
    return tp;
}

// The parameters where the cutting edges cross the path.
std::vector<double> crossingParameters(const Path& path, const std::vector<Segment>& edges)
{
    std::vector<double> ts;
    for (unsigned i = 0; i < path.segments(); ++i)
        for (const Segment& s : edges) {
            double t;
            if (crossing(path.pts[i], path.pts[(i + 1) % path.pts.size()], s, t))
                ts.push_back(i + std::clamp(t, 0.0, 1.0));
        }
    return ts;
}

// The stretch to cut around the pick parameter tp: lo and hi are the
// nearest crossings before and after it, -1 where an open path has none;
// round a closed path they wrap. False when no crossing bounds it.
bool cutBounds(const Path& path, std::vector<double> ts, double tp, double& lo, double& hi)
{
    const double eps = 1e-9;
    lo = -1;
    hi = -1;
    for (double t : ts) {
        if (t < tp - eps && t > eps && (lo < 0 || t > lo))
            lo = t;
        if (t > tp + eps && t < path.segments() - eps && (hi < 0 || t < hi))
            hi = t;
    }
    if (path.closed) {
        // Round the path: the nearest crossings on either side, wrapping.
        if (ts.size() < 2)
            return false;
        std::sort(ts.begin(), ts.end());
        lo = -1;
        hi = -1;
        for (double t : ts) {
            if (t <= tp)
                lo = t;
            if (t > tp && hi < 0)
                hi = t;
        }
        if (lo < 0)
            lo = ts.back();
        if (hi < 0)
            hi = ts.front();
        return true;
    }
    return lo >= 0 || hi >= 0;
}

// Cuts [lo, hi] out of a line: the line keeps its id for the first piece;
// the second is a copy.
bool cutLine(const AcDbObjectId& id, AcDbLine& line, const Path& path, double lo, double hi)
{
    const double total = path.segments();
    AcDbEntity* w = nullptr;
    if (acdbOpenAcDbEntity(w, id, AcDb::kForWrite) != Acad::eOk)
        return false;
    const AcGePoint2d a = path.at(lo < 0 ? hi : 0), b = path.at(lo < 0 ? total : lo);
    if (lo >= 0 && hi >= 0) {
        std::unique_ptr<AcDbObject> copy = line.cloneObject();
        auto* second = static_cast<AcDbLine*>(copy.get());
        const AcGePoint2d c = path.at(hi);
        second->setStartPoint(AcGePoint3d(c.x, c.y, line.startPoint().z));
        AcDbObjectId added;
        if (static_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(id)->owner->object.get())->appendAcDbEntity(added, second)
            == Acad::eOk)
            copy.release();
    }
    line.setStartPoint(AcGePoint3d(a.x, a.y, line.startPoint().z));
    line.setEndPoint(AcGePoint3d(b.x, b.y, line.endPoint().z));
    w->close();
    return true;
}

// Cuts [lo, hi] out of a polyline (round a closed one, keeps [hi, lo]);
// a second piece is a copy.
bool cutPolyline(const AcDbObjectId& id, AcDbPolyline& pl, const Path& path, double lo, double hi)
{
    const double total = path.segments();
    double constWidth = 0;
    const bool constant = !pl.hasVertexWidths() && pl.getConstantWidth(constWidth) == Acad::eOk;
    std::vector<AcGePoint2d> pts1, pts2;
    std::vector<std::pair<double, double>> w1, w2;
    AcDbEntity* w = nullptr;
    if (acdbOpenAcDbEntity(w, id, AcDb::kForWrite) != Acad::eOk)
        return false;
    if (path.closed) {
        subPath(path, hi, lo, pts1, w1);
        setPathVertices(pl, pts1, w1, constant, constWidth);
    } else if (lo >= 0 && hi >= 0) {
        subPath(path, 0, lo, pts1, w1);
        subPath(path, hi, total, pts2, w2);
        std::unique_ptr<AcDbObject> copy = pl.cloneObject();
        auto* second = static_cast<AcDbPolyline*>(copy.get());
        setPathVertices(*second, pts2, w2, constant, constWidth);
        setPathVertices(pl, pts1, w1, constant, constWidth);
        AcDbObjectId added;
        if (static_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(id)->owner->object.get())->appendAcDbEntity(added, second)
            == Acad::eOk)
            copy.release();
    } else if (lo >= 0) {
        subPath(path, 0, lo, pts1, w1);
        setPathVertices(pl, pts1, w1, constant, constWidth);
    } else {
        subPath(path, hi, total, pts1, w1);
        setPathVertices(pl, pts1, w1, constant, constWidth);
    }
    w->close();
    return true;
}

// Cuts the piece of an entity that holds the pick point between the
// nearest crossings with the edges. False when nothing could be cut.
bool trimAt(const Replies& r, const AcDbObjectId& id, const AcGePoint3d& pick, const std::vector<Segment>& edges,
            const AcDbObjectIdArray& edgeIds)
{
    AcDbEntity* e = liveEntity(id);
    Path path;
    if (!e || !readPath(*e, path)) {
        r.note(L"\n无法修剪该对象。\n");
        return false;
    }
    const double tp = pickParameter(path, pick);
    // Crossings with the cutting edges (an edge does not cut itself).
    const bool selfIsEdge = edgeIds.contains(id);
    (void)selfIsEdge;
    double lo = -1, hi = -1;
    if (!cutBounds(path, crossingParameters(path, edges), tp, lo, hi)) {
        r.note(L"\n对象未与剪切边相交。\n");
        return false;
    }
    if (auto* pl = dynamic_cast<AcDbPolyline*>(e))
        return cutPolyline(id, *pl, path, lo, hi);
    return cutLine(id, *static_cast<AcDbLine*>(e), path, lo, hi);
}

} // namespace

int cmdTrim(Replies& r)
{
    r.note(L"\n选择剪切边...");
    AcDbObjectIdArray edgeIds = r.objects(L"\n选择对象或 <全部选择>: ");
    if (edgeIds.empty())
        for (const AcDbObjectId& id : currentSpace()->entityIds())
            if (liveEntity(id))
                edgeIds.append(id);
    std::vector<Segment> edges;
    for (const AcDbObjectId& id : edgeIds)
        if (const AcDbEntity* e = liveEntity(id))
            edgeSegments(*e, edges);
    while (true) {
        const AcCmdArg a = r.next(L"\n选择要修剪的对象或 [放弃(U)]: ");
        if (Replies::isEnter(a))
            break;
        AcDbObjectId id;
        AcGePoint3d p;
        if (a.kind == AcCmdArg::Kind::Pick) {
            if (acdbGetObjectId(id, a.name) != Acad::eOk || !liveEntity(id)) {
                r.reject(L"\n对象无效。\n");
                continue;
            }
            p = AcGePoint3d(a.point[0], a.point[1], a.point[2]);
        } else if (Replies::asPoint(a, p)) {
            id = pickEntity(p);
            if (id.isNull()) {
                r.reject(L"\n未找到对象。\n");
                continue;
            }
        } else {
            r.reject(L"\n需要选择要修剪的对象。\n");
            continue;
        }
        trimAt(r, id, p, edges, edgeIds);
    }
    return RTNORM;
}

} // namespace host::cmd
