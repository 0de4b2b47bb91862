// The geometric tests behind picks, windows and crossing windows.
#include "host/selection.h"

#include "host/aced.h"
#include "host/dbinternal.h"
#include "host/dbtext.h"
#include "host/selection_internal.h"
#include "host/spatialindex.h"

#include <algorithm>
#include <cmath>
#include <string>

using namespace host::sel;

namespace {

struct Rect {
    double x0, y0, x1, y1;
    bool contains(double x, double y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

Rect toRect(const AcDbExtents& w)
{
    const double x0 = std::min(w.minPoint().x, w.maxPoint().x), x1 = std::max(w.minPoint().x, w.maxPoint().x);
    const double y0 = std::min(w.minPoint().y, w.maxPoint().y), y1 = std::max(w.minPoint().y, w.maxPoint().y);
    const double scale = std::max({1.0, std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)});
    const double tol = 1e-9 * scale;
    return Rect{x0 - tol, y0 - tol, x1 + tol, y1 + tol};
}

// Liang-Barsky: does the segment touch the closed rectangle?
bool segmentCrosses(const Rect& r, double ax, double ay, double bx, double by)
{
    if (r.contains(ax, ay) || r.contains(bx, by))
        return true;
    const double dx = bx - ax, dy = by - ay;
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax - r.x0, r.x1 - ax, ay - r.y0, r.y1 - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

double normAngle(double a)
{
    a = std::fmod(a, 2 * kPi);
    return a < 0 ? a + 2 * kPi : a;
}

// A counter-clockwise arc; a full circle when full.
struct Arc {
    double cx, cy, r, a0, a1;
    bool full;
    double sweep() const { return full ? 2 * kPi : normAngle(a1 - a0); }
    bool onArc(double a) const { return full || normAngle(a - a0) <= sweep() + 1e-12; }
};

bool arcInside(const Rect& r, const Arc& a)
{
    if (!r.contains(a.cx + a.r * std::cos(a.a0), a.cy + a.r * std::sin(a.a0))
        || !r.contains(a.cx + a.r * std::cos(a.a1), a.cy + a.r * std::sin(a.a1)))
        return false;
    for (int k = 0; k < 4; ++k) {
        const double ang = k * kPi / 2;
        if (a.onArc(ang) && !r.contains(a.cx + a.r * std::cos(ang), a.cy + a.r * std::sin(ang)))
            return false;
    }
    return true;
}

bool arcCrosses(const Rect& r, const Arc& a)
{
    // Quick rejections: the circle misses the rectangle, or the rectangle
    // lies wholly within the circle.
    const double nx = std::clamp(a.cx, r.x0, r.x1), ny = std::clamp(a.cy, r.y0, r.y1);
    if (std::hypot(nx - a.cx, ny - a.cy) > a.r)
        return false;
    const double fx = std::max(std::fabs(r.x0 - a.cx), std::fabs(r.x1 - a.cx));
    const double fy = std::max(std::fabs(r.y0 - a.cy), std::fabs(r.y1 - a.cy));
    if (std::hypot(fx, fy) < a.r)
        return false;
    if (a.full)
        return true;
    if (r.contains(a.cx + a.r * std::cos(a.a0), a.cy + a.r * std::sin(a.a0)))
        return true;
    // Where the circle meets the edges, on the arc's sweep.
    for (int k = 0; k < 4; ++k) {
        const bool vertical = k < 2;
        const double c = vertical ? (k == 0 ? r.x0 : r.x1) : (k == 2 ? r.y0 : r.y1);
        const double d = c - (vertical ? a.cx : a.cy);
        if (std::fabs(d) > a.r)
            continue;
        const double h = std::sqrt(a.r * a.r - d * d);
        for (double s : {-h, h}) {
            const double x = vertical ? c : a.cx + s;
            const double y = vertical ? a.cy + s : c;
            const bool within = vertical ? (y >= r.y0 && y <= r.y1) : (x >= r.x0 && x <= r.x1);
            if (within && a.onArc(std::atan2(y - a.cy, x - a.cx)))
                return true;
        }
    }
    return false;
}

// The arc of a bulged polyline segment from a to b; false for a straight
// segment.
bool bulgeArc(const AcGePoint3d& a, const AcGePoint3d& b, double bulge, Arc& out)
{
    AcGeBulgeArc arc;
    if (!acgeBulgeArc(AcGePoint2d(a.x, a.y), AcGePoint2d(b.x, b.y), bulge, arc))
        return false;
    out = Arc{arc.center.x, arc.center.y, arc.radius, arc.ccwStartAngle(), arc.ccwEndAngle(), false};
    return true;
}

// Whether m keeps circles circles in the XY plane (rotation, uniform scale,
// mirroring, translation).
bool isSimilarity(const AcGeMatrix3d& m, double& scale, bool& mirrored)
{
    const double a = m(0, 0), b = m(0, 1), c = m(1, 0), d = m(1, 1);
    const double lx = std::hypot(a, c), ly = std::hypot(b, d);
    scale = lx;
    mirrored = a * d - b * c < 0;
    return std::fabs(lx - ly) <= 1e-12 * std::max(1.0, lx) && std::fabs(a * b + c * d) <= 1e-12 * std::max(1.0, lx * ly);
}

// Visits the world-space pieces of an entity (segments, arcs, points and
// filled polygons); the visitor returns false to stop. Returns false when
// the visit was stopped.
template <class V>
class Pieces {
public:
    explicit Pieces(V& v) : m_v(v) {}

    bool entity(const AcDbEntity& e, const AcGeMatrix3d* m, int depth)
    {
        if (auto* l = dynamic_cast<const AcDbLine*>(&e))
            return segment(m, l->startPoint(), l->endPoint());
        if (auto* pl = dynamic_cast<const AcDbPolyline*>(&e))
            return polyline(*pl, m);
        if (auto* c = dynamic_cast<const AcDbCircle*>(&e))
            return arc(m, Arc{c->center().x, c->center().y, c->radius(), 0.0, 2 * kPi, true}, c->center().z);
        if (auto* a = dynamic_cast<const AcDbArc*>(&e))
            return arc(m, Arc{a->center().x, a->center().y, a->radius(), a->startAngle(), a->endAngle(), false},
                       a->center().z);
        if (auto* p = dynamic_cast<const AcDbPoint*>(&e))
            return m_v.point(apply(m, p->position()));
        if (auto* s = dynamic_cast<const AcDbSolid*>(&e)) {
            AcGePoint3d q[4];
            for (int i = 0; i < 4; ++i)
                s->getPointAt(i, q[i]);
            // The outline runs through corners 1, 2, 4, 3.
            AcGePoint3d poly[4] = {apply(m, q[0]), apply(m, q[1]), apply(m, q[3]), apply(m, q[2])};
            return m_v.polygon(poly, 4);
        }
        if (auto* t = dynamic_cast<const AcDbText*>(&e)) {
            const TextLayout lay = layoutText(*t);
            const double c = std::cos(lay.rotation), s = std::sin(lay.rotation);
            AcGePoint3d poly[4];
            const double lx[4] = {0, lay.width, lay.width, 0};
            const double ly[4] = {-lay.descent, -lay.descent, lay.height, lay.height};
            for (int i = 0; i < 4; ++i)
                poly[i] = apply(m, AcGePoint3d(lay.origin.x + lx[i] * c - ly[i] * s,
                                               lay.origin.y + lx[i] * s + ly[i] * c, lay.origin.z));
            return m_v.polygon(poly, 4);
        }
        if (auto* ref = dynamic_cast<const AcDbBlockReference*>(&e)) {
            const AcDbBlockTableRecord* rec = blockOf(*ref);
            if (!rec || depth >= kMaxDepth)
                return true;
            for (long long i = 0, n = copiesToVisit(*ref); i < n; ++i) {
                const AcGeMatrix3d inner = m ? *m * ref->copyTransform(i) : ref->copyTransform(i);
                for (const AcDbObjectId& id : rec->entityIds())
                    if (const AcDbEntity* sub = liveEntity(id))
                        if (!entity(*sub, &inner, depth + 1))
                            return false;
            }
            return true;
        }
        // Anything else by its box, when it has one.
        AcDbExtents ext;
        if (e.getGeomExtents(ext) != Acad::eOk || !ext.isValid())
            return true;
        const AcGePoint3d& lo = ext.minPoint();
        const AcGePoint3d& hi = ext.maxPoint();
        AcGePoint3d poly[4] = {apply(m, lo), apply(m, AcGePoint3d(hi.x, lo.y, lo.z)), apply(m, hi),
                               apply(m, AcGePoint3d(lo.x, hi.y, lo.z))};
        return m_v.polygon(poly, 4);
    }

private:
    static AcGePoint3d apply(const AcGeMatrix3d* m, AcGePoint3d p)
    {
        if (m)
            p.transformBy(*m);
        return p;
    }

    bool segment(const AcGeMatrix3d* m, const AcGePoint3d& a, const AcGePoint3d& b)
    {
        return m_v.segment(apply(m, a), apply(m, b));
    }

    bool arc(const AcGeMatrix3d* m, Arc a, double z)
    {
        if (!m)
            return m_v.arc(a);
        double s = 1.0;
        bool mirrored = false;
        if (isSimilarity(*m, s, mirrored)) {
            const AcGePoint3d c = apply(m, AcGePoint3d(a.cx, a.cy, z));
            const AcGePoint3d p0 = apply(m, AcGePoint3d(a.cx + a.r * std::cos(a.a0), a.cy + a.r * std::sin(a.a0), z));
            const AcGePoint3d p1 = apply(m, AcGePoint3d(a.cx + a.r * std::cos(a.a1), a.cy + a.r * std::sin(a.a1), z));
            Arc w{c.x, c.y, a.r * s, std::atan2(p0.y - c.y, p0.x - c.x), std::atan2(p1.y - c.y, p1.x - c.x), a.full};
            if (mirrored)
                std::swap(w.a0, w.a1);
            return m_v.arc(w);
        }
        // Stretched: an ellipse, followed by chords.
        const int n = std::max(8, static_cast<int>(std::ceil(a.sweep() / (kPi / 32))));
        AcGePoint3d prev;
        for (int i = 0; i <= n; ++i) {
            const double t = a.a0 + a.sweep() * i / n;
            const AcGePoint3d p = apply(m, AcGePoint3d(a.cx + a.r * std::cos(t), a.cy + a.r * std::sin(t), z));
            if (i > 0 && !m_v.segment(prev, p))
                return false;
            prev = p;
        }
        return true;
    }

    bool polyline(const AcDbPolyline& pl, const AcGeMatrix3d* m)
    {
        const unsigned n = pl.numVerts();
        if (n == 0)
            return true;
        if (n == 1) {
            AcGePoint3d p;
            pl.getPointAt(0u, p);
            return m_v.point(apply(m, p));
        }
        const unsigned segs = pl.isClosed() ? n : n - 1;
        for (unsigned i = 0; i < segs; ++i) {
            AcGePoint3d a, b;
            pl.getPointAt(i, a);
            pl.getPointAt((i + 1) % n, b);
            double bulge = 0.0;
            pl.getBulgeAt(i, bulge);
            Arc curve{};
            const bool ok = bulgeArc(a, b, bulge, curve) ? arc(m, curve, a.z) : segment(m, a, b);
            if (!ok)
                return false;
        }
        return true;
    }

    V& m_v;
};

bool pointInPolygon(double x, double y, const AcGePoint3d* poly, int n)
{
    bool in = false;
    for (int i = 0, j = n - 1; i < n; j = i++)
        if ((poly[i].y > y) != (poly[j].y > y)
            && x < (poly[j].x - poly[i].x) * (y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
            in = !in;
    return in;
}

// Stops at the first piece that touches the rectangle.
struct CrossVisitor {
    Rect r;
    bool found = false;
    bool segment(const AcGePoint3d& a, const AcGePoint3d& b) { return !(found = segmentCrosses(r, a.x, a.y, b.x, b.y)); }
    bool arc(const Arc& a) { return !(found = arcCrosses(r, a)); }
    bool point(const AcGePoint3d& p) { return !(found = r.contains(p.x, p.y)); }
    bool polygon(const AcGePoint3d* poly, int n)
    {
        for (int i = 0; i < n; ++i)
            if (segmentCrosses(r, poly[i].x, poly[i].y, poly[(i + 1) % n].x, poly[(i + 1) % n].y))
                return !(found = true);
        // A filled area around the whole window.
        return !(found = pointInPolygon(r.x0, r.y0, poly, n));
    }
};

// Stops at the first piece that leaves the rectangle.
struct InsideVisitor {
    Rect r;
    bool outside = false;
    bool any = false;
    bool point(const AcGePoint3d& p)
    {
        any = true;
        return !(outside = !r.contains(p.x, p.y));
    }
    bool segment(const AcGePoint3d& a, const AcGePoint3d& b) { return point(a) && point(b); }
    bool arc(const Arc& a)
    {
        any = true;
        return !(outside = !arcInside(r, a));
    }
    bool polygon(const AcGePoint3d* poly, int n)
    {
        for (int i = 0; i < n; ++i)
            if (!point(poly[i]))
                return false;
        return true;
    }
};

bool boxesMeet(const Rect& r, const AcDbExtents& e)
{
    return e.minPoint().x <= r.x1 && e.maxPoint().x >= r.x0 && e.minPoint().y <= r.y1 && e.maxPoint().y >= r.y0;
}

bool boxInside(const Rect& r, const AcDbExtents& e)
{
    return r.contains(e.minPoint().x, e.minPoint().y) && r.contains(e.maxPoint().x, e.maxPoint().y);
}

// ---------------------------------------------------------------- picking

double segmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
    t = std::max(0.0, std::min(1.0, t));
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

double arcDistance(double px, double py, const Arc& a)
{
    const double ang = std::atan2(py - a.cy, px - a.cx);
    if (a.onArc(ang))
        return std::fabs(std::hypot(px - a.cx, py - a.cy) - a.r);
    return std::min(std::hypot(px - a.cx - a.r * std::cos(a.a0), py - a.cy - a.r * std::sin(a.a0)),
                    std::hypot(px - a.cx - a.r * std::cos(a.a1), py - a.cy - a.r * std::sin(a.a1)));
}

bool hits(const AcDbEntity* e, const AcGePoint3d& p, double tol, int depth)
{
    if (auto* l = dynamic_cast<const AcDbLine*>(e))
        return segmentDistance(p.x, p.y, l->startPoint().x, l->startPoint().y, l->endPoint().x, l->endPoint().y) <= tol;
    if (auto* pl = dynamic_cast<const AcDbPolyline*>(e)) {
        const unsigned n = pl->numVerts();
        if (n == 1) {
            AcGePoint3d a;
            pl->getPointAt(0u, a);
            return std::hypot(p.x - a.x, p.y - a.y) <= tol;
        }
        for (unsigned i = 0; i + 1 < n + (pl->isClosed() ? 1u : 0u); ++i) {
            AcGePoint3d a, b;
            pl->getPointAt(i, a);
            pl->getPointAt((i + 1) % n, b);
            double w0 = 0, w1 = 0, bulge = 0;
            pl->getWidthsAt(i, w0, w1);
            pl->getBulgeAt(i, bulge);
            Arc curve{};
            const double d = bulgeArc(a, b, bulge, curve) ? arcDistance(p.x, p.y, curve)
                                                          : segmentDistance(p.x, p.y, a.x, a.y, b.x, b.y);
            if (d <= tol + std::max(w0, w1) / 2)
                return true;
        }
        return false;
    }
    if (auto* c = dynamic_cast<const AcDbCircle*>(e))
        return std::fabs(p.distanceTo(AcGePoint3d(c->center().x, c->center().y, p.z)) - c->radius()) <= tol;
    if (auto* a = dynamic_cast<const AcDbArc*>(e))
        return arcDistance(p.x, p.y, Arc{a->center().x, a->center().y, a->radius(), a->startAngle(), a->endAngle(), false})
            <= tol;
    if (auto* ref = dynamic_cast<const AcDbBlockReference*>(e)) {
        const AcDbBlockTableRecord* rec = blockOf(*ref);
        if (!rec || depth >= kMaxDepth)
            return false;
        for (long long i = 0, n = copiesToVisit(*ref); i < n; ++i) {
            const AcGeMatrix3d m = ref->copyTransform(i);
            if (std::fabs(m.det()) < 1e-300)
                return false;
            AcGePoint3d local = p;
            local.transformBy(m.inverse());
            const double s = m.scale() > 0 ? m.scale() : 1.0;
            for (const AcDbObjectId& id : rec->entityIds())
                if (const AcDbEntity* sub = liveEntity(id))
                    if (hits(sub, local, tol / s, depth + 1))
                        return true;
        }
        return false;
    }
    // Texts, points, solids and the rest: their box.
    AcDbExtents ext;
    return e->getGeomExtents(ext) == Acad::eOk && ext.contains(p, tol);
}

} // namespace

namespace host {

bool entityInsideWindow(const AcDbEntity& e, const AcDbExtents& window)
{
    const Rect r = toRect(window);
    AcDbExtents ext;
    if (e.getGeomExtents(ext) != Acad::eOk || !ext.isValid())
        return false;
    if (boxInside(r, ext))
        return true;
    if (!boxesMeet(r, ext))
        return false;
    // Block boxes are the boxes of transformed boxes: look at the pieces.
    if (!dynamic_cast<const AcDbBlockReference*>(&e))
        return false;
    InsideVisitor v{r};
    Pieces<InsideVisitor>(v).entity(e, nullptr, 0);
    return v.any && !v.outside;
}

bool entityCrossesWindow(const AcDbEntity& e, const AcDbExtents& window)
{
    const Rect r = toRect(window);
    AcDbExtents ext;
    const bool haveBox = e.getGeomExtents(ext) == Acad::eOk && ext.isValid();
    if (!haveBox)
        return false;
    if (!boxesMeet(r, ext))
        return false;
    if (boxInside(r, ext))
        return true;
    CrossVisitor v{r};
    Pieces<CrossVisitor>(v).entity(e, nullptr, 0);
    return v.found;
}

AcDbObjectId pickEntity(const AcGePoint3d& p)
{
    AcDbDatabase* db = currentDb();
    const AcDbBlockTableRecord* ms = db ? AcDbInternals::modelSpace(*db) : nullptr;
    if (!ms)
        return AcDbObjectId();
    resbuf rb{};
    double pickbox = 3, viewsize = 100, screenH = 768;
    if (acedGetVar(L"PICKBOX", &rb) == RTNORM)
        pickbox = rb.resval.rint;
    if (acedGetVar(L"VIEWSIZE", &rb) == RTNORM)
        viewsize = rb.resval.rreal;
    if (acedGetVar(L"SCREENSIZE", &rb) == RTNORM && rb.resval.rpoint[1] > 0)
        screenH = rb.resval.rpoint[1];
    const double tol = pickbox * viewsize / screenH;
    const std::vector<std::string> hidden = hiddenLayers(db);
    const auto& ids = ms->entityIds();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it)
        if (const AcDbEntity* e = liveEntity(*it))
            if ((hidden.empty() || !onHiddenLayer(*e, hidden)) && hits(e, p, tol, 0))
                return *it;
    return AcDbObjectId();
}


AcDbObjectIdArray selectInWindow(const AcDbExtents& window, bool crossing, const resbuf* filter)
{
    AcDbObjectIdArray out;
    AcDbDatabase* db = currentDb();
    const AcDbBlockTableRecord* ms = db ? AcDbInternals::modelSpace(*db) : nullptr;
    if (!ms || !window.isValid())
        return out;
    const std::vector<std::string> hidden = hiddenLayers(db);
    // The index offers, in drawing order, every entity whose box may meet
    // the window; the exact tests below decide.
    std::vector<AcDbStub*> candidates;
    AcDbInternals::spatialIndex(*db).candidates(window, candidates);
    for (AcDbStub* stub : candidates) {
        const AcDbObjectId id(stub);
        const AcDbEntity* e = liveEntity(id);
        if (!e || (!hidden.empty() && onHiddenLayer(*e, hidden)) || !matchesFilter(*e, filter))
            continue;
        if (crossing ? entityCrossesWindow(*e, window) : entityInsideWindow(*e, window))
            out.push_back(id);
    }
    return out;
}

} // namespace host
