// Object selection: wildcard matching, selection filters, the geometric
// tests behind picks, windows and crossing windows, and the selection sets
// that acedSSGet and kin hand out by name.
#include "host/selection.h"

#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbtext.h"
#include "host/hoststring.h"
#include "host/spatialindex.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

// ---------------------------------------------------------------- wildcards

wchar_t fold(wchar_t c, bool ignoreCase)
{
    return ignoreCase ? upperAscii(c) : c;
}

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool isLetter(wchar_t c)
{
    return std::iswalpha(static_cast<wint_t>(c)) != 0;
}

// Where the bracket set starting at pattern[i] == '[' ends (the index of
// its ']'), or npos when it is not closed.
std::size_t setEnd(std::wstring_view p, std::size_t i)
{
    std::size_t j = i + 1;
    if (j < p.size() && p[j] == L'~')
        ++j;
    // A ']' right after the opening is a member.
    if (j < p.size() && p[j] == L']')
        ++j;
    for (; j < p.size(); ++j) {
        if (p[j] == L'`') {
            ++j;
            continue;
        }
        if (p[j] == L']')
            return j;
    }
    return std::wstring_view::npos;
}

bool inSet(std::wstring_view p, std::size_t open, std::size_t close, wchar_t c, bool ignoreCase)
{
    std::size_t j = open + 1;
    bool negate = false;
    if (j < close && p[j] == L'~' && j + 1 < close) {
        negate = true;
        ++j;
    }
    const wchar_t fc = fold(c, ignoreCase);
    bool found = false;
    while (j < close) {
        wchar_t lo = p[j];
        if (lo == L'`' && j + 1 < close)
            lo = p[++j];
        ++j;
        wchar_t hi = lo;
        if (j + 1 < close && p[j] == L'-') {
            hi = p[j + 1];
            if (hi == L'`' && j + 2 < close)
                hi = p[j + 2], ++j;
            j += 2;
        }
        if (fold(lo, ignoreCase) <= fc && fc <= fold(hi, ignoreCase))
            found = true;
        else if (ignoreCase && lo <= c && c <= hi)
            found = true;
    }
    return found != negate;
}

// Whether pattern element at p[i] matches c; next is where the element ends.
bool elementMatches(std::wstring_view p, std::size_t i, wchar_t c, bool ignoreCase, std::size_t& next)
{
    const wchar_t e = p[i];
    next = i + 1;
    switch (e) {
    case L'?':
        return true;
    case L'#':
        return isDigit(c);
    case L'@':
        return isLetter(c);
    case L'.':
        return !isDigit(c) && !isLetter(c);
    case L'`':
        if (i + 1 < p.size()) {
            next = i + 2;
            return fold(p[i + 1], ignoreCase) == fold(c, ignoreCase);
        }
        return c == L'`';
    case L'[': {
        const std::size_t close = setEnd(p, i);
        if (close != std::wstring_view::npos) {
            next = close + 1;
            return inSet(p, i, close, c, ignoreCase);
        }
        return c == L'[';
    }
    default:
        return fold(e, ignoreCase) == fold(c, ignoreCase);
    }
}

// One alternative (without "," and the leading "~"): "*" backtracks to the
// last star only, which is enough as every other element takes one character.
bool matchAlternative(std::wstring_view t, std::wstring_view p, bool ignoreCase)
{
    std::size_t ti = 0, pi = 0;
    std::size_t starP = std::wstring_view::npos, starT = 0;
    while (ti < t.size()) {
        std::size_t next = 0;
        if (pi < p.size() && p[pi] == L'*') {
            starP = ++pi;
            starT = ti;
            continue;
        }
        if (pi < p.size() && elementMatches(p, pi, t[ti], ignoreCase, next)) {
            pi = next;
            ++ti;
            continue;
        }
        if (starP == std::wstring_view::npos)
            return false;
        pi = starP;
        ti = ++starT;
    }
    while (pi < p.size() && p[pi] == L'*')
        ++pi;
    return pi == p.size();
}

// ---------------------------------------------------------------- text

// Calls f with the UTF-8 text as a wide view, without allocating for short
// names (the filter test runs for every entity of a drawing).
template <class F>
bool withWide(const std::string& s, F f)
{
    wchar_t buf[128];
    if (s.size() < std::size(buf)) {
        bool ascii = true;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c >= 0x80) {
                ascii = false;
                break;
            }
            buf[i] = static_cast<wchar_t>(c);
        }
        if (ascii)
            return f(std::wstring_view(buf, s.size()));
    }
    const std::wstring w = utf8ToWide(s);
    return f(std::wstring_view(w));
}

// ---------------------------------------------------------------- database

AcDbDatabase* currentDb()
{
    if (AcDbDatabase* db = acdbCurDwg())
        return db;
    return acdbHostApplicationServices()->workingDatabase();
}

const AcDbEntity* liveEntity(const AcDbObjectId& id)
{
    if (!id.isValid() || id.isErased())
        return nullptr;
    return dynamic_cast<const AcDbEntity*>(id.stub()->object.get());
}

// Names of layers that are off or frozen: their entities are not drawn and
// cannot be picked or windowed.
std::vector<std::string> hiddenLayers(const AcDbDatabase* db)
{
    std::vector<std::string> out;
    const AcDbSymbolTable* t = db ? db->table("LAYER") : nullptr;
    if (!t)
        return out;
    for (const AcDbObjectId& id : t->recordIds())
        if (id.isValid())
            if (auto* l = dynamic_cast<const AcDbLayerTableRecord*>(id.stub()->object.get()))
                if (l->isOff() || l->isFrozen())
                    out.push_back(l->name());
    return out;
}

bool onHiddenLayer(const AcDbEntity& e, const std::vector<std::string>& hidden)
{
    for (const std::string& n : hidden)
        if (sameNameIgnoringCase(e.layerName(), n))
            return true;
    return false;
}

const AcDbBlockTableRecord* blockOf(const AcDbBlockReference& ref)
{
    const AcDbObjectId id = ref.blockTableRecord();
    if (!id.isValid())
        return nullptr;
    return dynamic_cast<const AcDbBlockTableRecord*>(id.stub()->object.get());
}

constexpr int kMaxDepth = 16;
// Copies of one multiple insert that picking and window tests look at; a
// damaged file's grid of millions is judged by its first copies (and by its
// box, which covers them all).
constexpr long long kMaxCopies = 100000;

long long copiesToVisit(const AcDbBlockReference& ref)
{
    return std::min(ref.copyCount(), kMaxCopies);
}

// ---------------------------------------------------------------- geometry

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

// ---------------------------------------------------------------- filters

// What the filter looks at, fetched from the entity once.
struct Facts {
    const AcDbEntity* e = nullptr;
    std::string dxf;
    bool haveDxf = false;
    const std::string& type()
    {
        if (!haveDxf) {
            dxf = e->dxfName();
            haveDxf = true;
        }
        return dxf;
    }
};

enum class Rel { None, Eq, Ne, Lt, Gt, Le, Ge, Any };

Rel relation(const ACHAR* s)
{
    if (!s)
        return Rel::None;
    const std::wstring_view v(s);
    if (v == L"=")
        return Rel::Eq;
    if (v == L"!=" || v == L"/=" || v == L"<>")
        return Rel::Ne;
    if (v == L"<")
        return Rel::Lt;
    if (v == L">")
        return Rel::Gt;
    if (v == L"<=")
        return Rel::Le;
    if (v == L">=")
        return Rel::Ge;
    if (v == L"*")
        return Rel::Any;
    return Rel::None;
}

bool upperEquals(const ACHAR* s, std::wstring_view word)
{
    if (!s)
        return false;
    std::size_t i = 0;
    for (; s[i] && i < word.size(); ++i)
        if (upperAscii(s[i]) != word[i])
            return false;
    return i == word.size() && s[i] == 0;
}

// Group 0 comes as RTDXF0 in chains built with acutBuildList (0 ends them).
bool isStringGroup(int code)
{
    return code == 0 || code == RTDXF0 || code == 2 || code == 6 || code == 8;
}

bool isNumberGroup(int code)
{
    return code == 62 || code == 67;
}

// The filter's evaluator: a chain read item by item. With no entity it
// only checks that every item can be evaluated.
class FilterEval {
public:
    explicit FilterEval(const AcDbEntity* e) { m_facts.e = e; }
    bool ok() const { return m_ok; }

    // Every item of the chain must hold.
    bool all(const resbuf* rb)
    {
        bool result = true;
        while (rb && m_ok)
            result = item(rb) && result;
        return result && m_ok;
    }

private:
    bool fail()
    {
        m_ok = false;
        return false;
    }

    // Evaluates the item at rb and moves rb past it.
    bool item(const resbuf*& rb)
    {
        const resbuf* cur = rb;
        rb = rb->rbnext;
        if (cur->restype == -4) {
            const ACHAR* op = cur->resval.rstring;
            if (upperEquals(op, L"<AND"))
                return group(rb, L"AND>", 0);
            if (upperEquals(op, L"<OR"))
                return group(rb, L"OR>", 1);
            if (upperEquals(op, L"<XOR"))
                return group(rb, L"XOR>", 2);
            if (upperEquals(op, L"<NOT"))
                return group(rb, L"NOT>", 3);
            const Rel rel = relation(op);
            if (rel == Rel::None || !rb)
                return fail();
            const resbuf* target = rb;
            rb = rb->rbnext;
            return compared(rel, target);
        }
        if (cur->restype == -3)
            return applications(rb);
        return compared(Rel::Eq, cur);
    }

    // Items up to the closing marker: 0 and, 1 or, 2 exclusive or (two
    // items), 3 not (one item).
    bool group(const resbuf*& rb, std::wstring_view closer, int kind)
    {
        int count = 0, trues = 0;
        while (rb && m_ok) {
            if (rb->restype == -4 && upperEquals(rb->resval.rstring, closer)) {
                rb = rb->rbnext;
                if (count == 0 || (kind == 2 && count != 2) || (kind == 3 && count != 1))
                    return fail();
                switch (kind) {
                case 0:
                    return trues == count;
                case 1:
                    return trues > 0;
                case 2:
                    return trues == 1;
                default:
                    return trues == 0;
                }
            }
            ++count;
            if (item(rb))
                ++trues;
        }
        return fail();
    }

    bool applications(const resbuf*& rb)
    {
        bool result = true;
        int apps = 0;
        while (rb && rb->restype == 1001) {
            const ACHAR* name = rb->resval.rstring;
            rb = rb->rbnext;
            ++apps;
            if (!name)
                return fail();
            if (!m_facts.e)
                continue;
            bool found = false;
            for (const AcDbXGroup& g : m_facts.e->xdataGroups())
                if (withWide(g.app, [&](std::wstring_view app) { return host::wcMatch(app, name, true); })) {
                    found = true;
                    break;
                }
            result = result && found;
        }
        if (apps == 0)
            return fail();
        return result;
    }

    bool compared(Rel rel, const resbuf* rb)
    {
        const int code = rb->restype;
        if (isStringGroup(code)) {
            if (rel != Rel::Eq && rel != Rel::Ne && rel != Rel::Any)
                return fail();
            if (!rb->resval.rstring)
                return fail();
            if (!m_facts.e)
                return false;
            if (rel == Rel::Any)
                return true;
            const bool m = stringMatches(code, rb->resval.rstring);
            return rel == Rel::Eq ? m : !m;
        }
        if (isNumberGroup(code)) {
            if (!m_facts.e)
                return false;
            const int value = code == 62 ? m_facts.e->colorIndex() : 0;
            const int want = rb->resval.rint;
            switch (rel) {
            case Rel::Eq:
                return value == want;
            case Rel::Ne:
                return value != want;
            case Rel::Lt:
                return value < want;
            case Rel::Gt:
                return value > want;
            case Rel::Le:
                return value <= want;
            case Rel::Ge:
                return value >= want;
            default:
                return true;
            }
        }
        return fail();
    }

    bool stringMatches(int code, const ACHAR* pattern)
    {
        const AcDbEntity& e = *m_facts.e;
        auto test = [&](const std::string& s) {
            return withWide(s, [&](std::wstring_view w) { return host::wcMatch(w, pattern, true); });
        };
        switch (code) {
        case 0:
        case RTDXF0:
            return test(m_facts.type());
        case 8:
            return test(e.layerName());
        case 6:
            return test(e.linetypeName());
        default: {
            if (m_facts.type() != "INSERT")
                return false;
            return test(static_cast<const AcDbBlockReference&>(e).blockName());
        }
        }
    }

    Facts m_facts;
    bool m_ok = true;
};

// ---------------------------------------------------------------- sets

constexpr std::int64_t kSetMagic = 0x5353'4554'0000'0001; // "SSET"
std::unordered_map<std::int64_t, AcDbObjectIdArray> g_sets;
// The drawing each set was made in: a set dies with its drawing.
std::unordered_map<std::int64_t, std::int64_t> g_setDrawing;
std::int64_t g_nextSet = 1;

// What acedSSGet selected last ("P"), and the serial of its database (a
// database closed since cannot be mistaken for a new one at its address).
AcDbObjectIdArray g_previous;
std::int64_t g_previousDb = 0;

std::int64_t currentDbSerial()
{
    const AcDbDatabase* db = currentDb();
    return db ? db->serial() : -1;
}

void setErrno(int v)
{
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = static_cast<short>(v);
    acedSetVar(L"ERRNO", &rb);
}

bool isNullName(const ads_name n)
{
    return !n || (n[0] == 0 && n[1] == 0);
}

bool entityId(const ads_name n, AcDbObjectId& id)
{
    return !isNullName(n) && acdbGetObjectId(id, n) == Acad::eOk
        && dynamic_cast<const AcDbEntity*>(id.stub()->object.get()) != nullptr;
}

void copyName(ads_name to, const ads_name from)
{
    to[0] = from[0];
    to[1] = from[1];
}

// Appends the ids not seen yet (added counts them); returns how many were
// seen before.
int addUnique(AcDbObjectIdArray& to, std::unordered_set<AcDbStub*>& seen, const AcDbObjectIdArray& ids,
              int& added)
{
    int dup = 0;
    added = 0;
    for (const AcDbObjectId& id : ids) {
        if (seen.insert(id.stub()).second) {
            to.push_back(id);
            ++added;
        } else {
            ++dup;
        }
    }
    return dup;
}

AcDbObjectIdArray allMatching(const resbuf* filter)
{
    AcDbObjectIdArray out;
    AcDbDatabase* db = currentDb();
    const AcDbBlockTableRecord* ms = db ? db->modelSpace() : nullptr;
    if (!ms)
        return out;
    for (const AcDbObjectId& id : ms->entityIds())
        if (const AcDbEntity* e = liveEntity(id))
            if (host::matchesFilter(*e, filter))
                out.push_back(id);
    return out;
}

AcDbObjectIdArray lastMatching(const resbuf* filter)
{
    AcDbObjectIdArray out;
    AcDbDatabase* db = currentDb();
    const AcDbBlockTableRecord* ms = db ? db->modelSpace() : nullptr;
    if (!ms)
        return out;
    const auto& ids = ms->entityIds();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it)
        if (const AcDbEntity* e = liveEntity(*it)) {
            if (host::matchesFilter(*e, filter))
                out.push_back(*it);
            break;
        }
    return out;
}

AcDbObjectIdArray pickMatching(const AcGePoint3d& p, const resbuf* filter)
{
    AcDbObjectIdArray out;
    const AcDbObjectId id = host::pickEntity(p);
    if (const AcDbEntity* e = liveEntity(id))
        if (host::matchesFilter(*e, filter))
            out.push_back(id);
    return out;
}

AcDbExtents windowOf(const double* a, const double* b)
{
    AcDbExtents w;
    w.addPoint(AcGePoint3d(a[0], a[1], 0));
    w.addPoint(AcGePoint3d(b[0], b[1], 0));
    return w;
}

void reportFound(int found, int dup, std::size_t total)
{
    std::string s = "找到 " + std::to_string(found + dup) + " 个";
    if (dup > 0)
        s += " (" + std::to_string(dup) + " 个重复)";
    if (total != static_cast<std::size_t>(found))
        s += "，总计 " + std::to_string(total) + " 个";
    host::print(s + "\n");
}

// The prompt loop of a selection without points: picks, windows, "Last",
// "ALL", until Enter. RTCAN on Esc.
int interactiveSelection(const resbuf* filter, AcDbObjectIdArray& result)
{
    std::unordered_set<AcDbStub*> seen;
    while (true) {
        acedInitGet(0, L"Window Crossing Last ALL");
        ads_point pt;
        const int rc = acedGetPoint(nullptr, L"\n选择对象: ", pt);
        if (rc == RTCAN)
            return RTCAN;
        if (rc == RTNONE)
            return RTNORM;
        AcDbObjectIdArray got;
        if (rc == RTNORM) {
            got = pickMatching(AcGePoint3d(pt[0], pt[1], 0), filter);
            if (got.empty()) {
                host::print("未找到对象。\n");
                continue;
            }
        } else if (rc == RTKWORD) {
            ACHAR kw[64] = {};
            acedGetInput(kw, std::size(kw));
            const std::wstring_view k(kw);
            if (k == L"Window" || k == L"Crossing") {
                ads_point a, b;
                int r = acedGetPoint(nullptr, L"\n指定第一个角点: ", a);
                if (r == RTNORM)
                    r = acedGetCorner(a, L"\n指定对角点: ", b);
                if (r == RTCAN)
                    return RTCAN;
                if (r != RTNORM)
                    continue;
                got = host::selectInWindow(windowOf(a, b), k == L"Crossing", filter);
            } else if (k == L"Last") {
                got = lastMatching(filter);
            } else {
                got = allMatching(filter);
            }
        } else {
            continue;
        }
        int added = 0;
        const int dup = addUnique(result, seen, got, added);
        reportFound(added, dup, result.size());
    }
}

} // namespace

// ---------------------------------------------------------------- host

namespace host {

bool wcMatch(std::wstring_view text, std::wstring_view pattern, bool ignoreCase)
{
    // Split into alternatives at commas outside sets and escapes.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= pattern.size(); ++i) {
        if (i < pattern.size()) {
            if (pattern[i] == L'`') {
                ++i;
                continue;
            }
            if (pattern[i] == L'[') {
                const std::size_t close = setEnd(pattern, i);
                if (close != std::wstring_view::npos)
                    i = close;
                continue;
            }
            if (pattern[i] != L',')
                continue;
        }
        std::wstring_view alt = pattern.substr(start, i - start);
        bool negate = false;
        if (!alt.empty() && alt[0] == L'~') {
            negate = true;
            alt.remove_prefix(1);
        }
        if (matchAlternative(text, alt, ignoreCase) != negate)
            return true;
        start = i + 1;
    }
    return false;
}

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
    const AcDbBlockTableRecord* ms = db ? db->modelSpace() : nullptr;
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

bool matchesFilter(const AcDbEntity& e, const resbuf* filter)
{
    if (!filter)
        return true;
    FilterEval eval(&e);
    return eval.all(filter);
}

bool isSupportedFilter(const resbuf* filter)
{
    FilterEval eval(nullptr);
    eval.all(filter);
    return eval.ok();
}

void newSelectionSet(const AcDbObjectIdArray& ids, ads_name ss)
{
    AcDbObjectIdArray unique;
    unique.reserve(ids.size());
    std::unordered_set<AcDbStub*> seen;
    int added = 0;
    addUnique(unique, seen, ids, added);
    const std::int64_t serial = g_nextSet++;
    g_sets[serial] = std::move(unique);
    const AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    g_setDrawing[serial] = db ? db->serial() : -1;
    ss[0] = serial;
    ss[1] = kSetMagic;
}

AcDbObjectIdArray* selectionSetIds(const ads_name ss)
{
    if (!ss || ss[1] != kSetMagic)
        return nullptr;
    auto it = g_sets.find(ss[0]);
    if (it == g_sets.end())
        return nullptr;
    auto drawing = g_setDrawing.find(ss[0]);
    if (drawing != g_setDrawing.end() && drawing->second >= 0 && !AcDbDatabase::fromSerial(drawing->second)) {
        g_sets.erase(it);
        g_setDrawing.erase(drawing);
        return nullptr;
    }
    return &it->second;
}

AcDbObjectIdArray selectInWindow(const AcDbExtents& window, bool crossing, const resbuf* filter)
{
    AcDbObjectIdArray out;
    AcDbDatabase* db = currentDb();
    const AcDbBlockTableRecord* ms = db ? db->modelSpace() : nullptr;
    if (!ms || !window.isValid())
        return out;
    const std::vector<std::string> hidden = hiddenLayers(db);
    // The index offers, in drawing order, every entity whose box may meet
    // the window; the exact tests below decide.
    std::vector<AcDbStub*> candidates;
    db->spatialIndex().candidates(window, candidates);
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

// ---------------------------------------------------------------- ads

int acedSSGet(const ACHAR* mode, const void* pt1, const void* pt2, const resbuf* filter, ads_name ss)
{
    if (!ss)
        return RTERROR;
    ss[0] = ss[1] = 0;
    if (!host::isSupportedFilter(filter))
        return RTERROR;
    std::wstring m;
    if (mode)
        for (const ACHAR* c = mode; *c; ++c)
            if (*c != L'_')
                m.push_back(upperAscii(*c));
    const auto* p1 = static_cast<const double*>(pt1);
    const auto* p2 = static_cast<const double*>(pt2);
    AcDbObjectIdArray ids;
    if (m.empty()) {
        if (p1) {
            ids = pickMatching(AcGePoint3d(p1[0], p1[1], 0), filter);
            if (ids.empty()) {
                setErrno(7);
                return RTERROR;
            }
        } else {
            const int rc = interactiveSelection(filter, ids);
            if (rc != RTNORM)
                return rc;
        }
    } else if (m == L"W" || m == L"C") {
        if (!p1 || !p2)
            return RTERROR;
        ids = host::selectInWindow(windowOf(p1, p2), m == L"C", filter);
    } else if (m == L"X") {
        ids = allMatching(filter);
    } else if (m == L"L") {
        ids = lastMatching(filter);
    } else if (m == L"P") {
        if (g_previousDb == currentDbSerial())
            for (const AcDbObjectId& id : g_previous)
                if (const AcDbEntity* e = liveEntity(id))
                    if (host::matchesFilter(*e, filter))
                        ids.push_back(id);
    } else {
        return RTERROR;
    }
    if (ids.empty())
        return RTERROR;
    g_previous = ids;
    g_previousDb = currentDbSerial();
    host::newSelectionSet(ids, ss);
    return RTNORM;
}

int acedSSAdd(const ads_name ename, const ads_name sname, ads_name result)
{
    if (!result)
        return RTERROR;
    AcDbObjectId id;
    const bool haveEnt = !isNullName(ename);
    if (haveEnt && !entityId(ename, id))
        return RTERROR;
    if (isNullName(sname)) {
        AcDbObjectIdArray ids;
        if (haveEnt)
            ids.push_back(id);
        host::newSelectionSet(ids, result);
        return RTNORM;
    }
    AcDbObjectIdArray* set = host::selectionSetIds(sname);
    if (!set)
        return RTERROR;
    if (haveEnt && !set->contains(id))
        set->push_back(id);
    copyName(result, sname);
    return RTNORM;
}

int acedSSDel(const ads_name ename, const ads_name ss)
{
    AcDbObjectIdArray* set = host::selectionSetIds(ss);
    AcDbObjectId id;
    if (!set || !entityId(ename, id))
        return RTERROR;
    int index = 0;
    if (!set->find(id, index))
        return RTERROR;
    set->removeAt(index);
    return RTNORM;
}

int acedSSName(const ads_name ss, ads_int32 i, ads_name entres)
{
    if (!entres)
        return RTERROR;
    entres[0] = entres[1] = 0;
    const AcDbObjectIdArray* set = host::selectionSetIds(ss);
    if (!set || i < 0 || static_cast<std::size_t>(i) >= set->size())
        return RTERROR;
    return acdbGetAdsName(entres, (*set)[static_cast<std::size_t>(i)]) == Acad::eOk ? RTNORM : RTERROR;
}

int acedSSLength(const ads_name ss, ads_int32* len)
{
    const AcDbObjectIdArray* set = host::selectionSetIds(ss);
    if (!set || !len)
        return RTERROR;
    *len = static_cast<ads_int32>(set->size());
    return RTNORM;
}

int acedSSFree(const ads_name sname)
{
    if (!host::selectionSetIds(sname))
        return RTERROR;
    g_sets.erase(sname[0]);
    g_setDrawing.erase(sname[0]);
    return RTNORM;
}

int acedSSMemb(const ads_name ename, const ads_name ss)
{
    const AcDbObjectIdArray* set = host::selectionSetIds(ss);
    AcDbObjectId id;
    if (!set || !entityId(ename, id))
        return RTERROR;
    return set->contains(id) ? RTNORM : RTERROR;
}

int acedXformSS(const ads_name ssname, const ads_matrix genmat)
{
    const AcDbObjectIdArray* set = host::selectionSetIds(ssname);
    if (!set || !genmat)
        return RTERROR;
    AcGeMatrix3d m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m(r, c) = genmat[r][c];
    // Every entity must take the matrix before any is changed.
    for (const AcDbObjectId& id : *set) {
        const AcDbEntity* e = liveEntity(id);
        if (!e)
            continue;
        std::unique_ptr<AcDbObject> copy = e->cloneObject();
        if (static_cast<AcDbEntity*>(copy.get())->transformBy(m) != Acad::eOk)
            return RTERROR;
    }
    // Should one fail after all, what was done is put back.
    std::vector<std::pair<AcDbObjectId, std::unique_ptr<AcDbObject>>> done;
    for (const AcDbObjectId& id : *set) {
        if (!liveEntity(id))
            continue;
        AcDbEntity* e = nullptr;
        if (acdbOpenAcDbEntity(e, id, AcDb::kForWrite) != Acad::eOk)
            continue;
        std::unique_ptr<AcDbObject> before = e->cloneObject();
        const bool ok = e->transformBy(m) == Acad::eOk;
        if (!ok)
            e->swapData(*before);
        e->close();
        if (!ok) {
            for (auto& [doneId, original] : done) {
                AcDbEntity* d = nullptr;
                if (acdbOpenAcDbEntity(d, doneId, AcDb::kForWrite) == Acad::eOk) {
                    d->swapData(*original);
                    d->close();
                }
            }
            return RTERROR;
        }
        done.emplace_back(id, std::move(before));
    }
    return RTNORM;
}
