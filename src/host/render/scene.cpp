// The walk of the model space. Everything is produced in world coordinates
// (Y up); a block reference's placement, including mirroring and unequal
// scales, is applied to the geometry itself: circles may become ellipses,
// arcs elliptical arcs.
#include "host/render/scene.h"

#include "host/accolor.h"
#include "host/dbdxf.h"
#include "host/dbinternal.h"
#include "host/dbtext.h"
#include "host/hoststring.h"
#include "host/render/font.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace render {

namespace {

// Deepest chain of block references drawn.
constexpr int kMaxNesting = 32;
// Entities visited in all before the walk stops: blocks that insert other
// blocks many times over can multiply without bound.
constexpr long kMaxVisits = 1'000'000;
// CJK characters fill a square cell of the text height.
constexpr double kCjkFontSize = 1.0;
// Flattening step of the arcs of wide polyline segments.
constexpr double kWideArcStep = kPi / 36;

// The plane z = elevation of a coordinate system mapped by m, seen from
// above.
Affine planeAffine(const AcGeMatrix3d& m, double elevation)
{
    Affine t;
    t.a = m(0, 0);
    t.b = m(1, 0);
    t.c = m(0, 1);
    t.d = m(1, 1);
    t.e = m(0, 2) * elevation + m(0, 3);
    t.f = m(1, 2) * elevation + m(1, 3);
    return t;
}

// Reads an entity's extrusion direction (group 210) through the field
// description every entity gives of itself; the entity is not changed.
class NormalProbe final : public AcDbDxfFields {
public:
    AcGeVector3d found = AcGeVector3d::kZAxis;
    bool isReading() const override { return false; }
    void subclass(const char*) override {}
    void text(short, std::string&, const char*) override {}
    void real(short, double&, double, bool) override {}
    void angle(short, double&, bool) override {}
    void integer(short, int&, int, bool) override {}
    void point(short, AcGePoint3d&, bool) override {}
    void normal(short code, AcGeVector3d& v) override
    {
        if (code == 210)
            found = v;
    }
    void blockName(short, AcDbBlockReference&) override {}
    void vertices(AcDbPolyline&) override {}
};

// From the coordinate system of an entity with its own extrusion direction
// into the world.
AcGeMatrix3d entityMatrix(AcDbEntity& e, const AcGeMatrix3d& toWorld)
{
    NormalProbe probe;
    AcDbInternals::describeFields(e, probe);
    return toWorld * acgeOcsMatrix(probe.found);
}

// The plane of such an entity at an elevation.
Affine entityPlane(AcDbEntity& e, const AcGeMatrix3d& toWorld, double elevation)
{
    return planeAffine(entityMatrix(e, toWorld), elevation);
}

double normalizeAngle(double a)
{
    a = std::fmod(a, 2 * kPi);
    if (a < 0)
        a += 2 * kPi;
    return a;
}

// Whether a character can be shown: no control characters, surrogates or
// non-characters, which XML cannot hold and cairo refuses.
bool isPrintable(wchar_t c)
{
    const auto u = static_cast<std::uint32_t>(c);
    return u >= 0x20 && !(u >= 0xD800 && u < 0xE000) && u != 0xFFFE && u != 0xFFFF && u <= 0x10FFFF;
}

// The text as shown: %%d, %%p, %%c and %%% become their symbols; the
// underline and overline switches are dropped; tabs are spaces and what
// cannot be shown is left out.
std::wstring displayText(const std::string& utf8)
{
    const std::wstring in = utf8ToWide(utf8);
    std::wstring out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == L'%' && i + 2 < in.size() && in[i + 1] == L'%') {
            const wchar_t k = lowerAscii(in[i + 2]);
            const wchar_t* sym = k == L'd' ? L"\u00B0" : k == L'p' ? L"\u00B1" : k == L'c' ? L"\u2300"
                               : k == L'%' ? L"%" : (k == L'u' || k == L'o') ? L"" : nullptr;
            if (sym) {
                out += sym;
                i += 2;
                continue;
            }
        }
        if (in[i] == L'\t')
            out += L' ';
        else if (isPrintable(in[i]))
            out += in[i];
    }
    return out;
}

// An object in the database by id: nullptr when it is missing, its addition
// undone or it is erased.
template <class T>
T* liveObject(const AcDbObjectId& id)
{
    if (id.isNull() || !AcDbInternals::stub(id)->inDatabase || !AcDbInternals::stub(id)->object)
        return nullptr;
    AcDbObject* o = AcDbInternals::stub(id)->object.get();
    if (o->isErased())
        return nullptr;
    return dynamic_cast<T*>(o);
}

PathStep moveTo(const Vec2& p)
{
    PathStep s;
    s.kind = PathStep::Move;
    s.to = p;
    return s;
}

PathStep lineTo(const Vec2& p)
{
    PathStep s;
    s.kind = PathStep::Line;
    s.to = p;
    return s;
}

// A circular arc of the plane t, from its start (where the path already
// is) through a signed sweep.
PathStep arcStep(const Affine& t, double cx, double cy, double r, double start, double sweep)
{
    PathStep s;
    s.kind = PathStep::Arc;
    s.plane = t;
    s.cx = cx;
    s.cy = cy;
    s.r = r;
    s.start = start;
    s.sweep = sweep;
    const double end = start + sweep;
    s.to = t.apply(cx + r * std::cos(end), cy + r * std::sin(end));
    return s;
}

// The polyline segment from p to q in the plane t.
PathStep segmentStep(const Affine& t, const AcGePoint2d& p, const AcGePoint2d& q, double bulge)
{
    AcGeBulgeArc arc;
    if (!acgeBulgeArc(p, q, bulge, arc))
        return lineTo(t.apply(q.x, q.y));
    return arcStep(t, arc.center.x, arc.center.y, arc.radius, arc.startAngle, arc.sweep);
}

// The outline of a wide polyline segment from p to q (its start width
// tapering to its end width), empty when the segment has no length.
std::vector<Vec2> wideOutline(const Affine& t, const AcGePoint2d& p, const AcGePoint2d& q, double bulge, double sw,
                              double ew)
{
    std::vector<Vec2> outline;
    AcGeBulgeArc arc;
    if (!acgeBulgeArc(p, q, bulge, arc)) {
        const double len = std::hypot(q.x - p.x, q.y - p.y);
        if (len == 0.0)
            return outline;
        const double nx = -(q.y - p.y) / len, ny = (q.x - p.x) / len;
        return {t.apply(p.x + nx * sw / 2, p.y + ny * sw / 2), t.apply(q.x + nx * ew / 2, q.y + ny * ew / 2),
                t.apply(q.x - nx * ew / 2, q.y - ny * ew / 2), t.apply(p.x - nx * sw / 2, p.y - ny * sw / 2)};
    }
    const int steps = std::max(2, static_cast<int>(std::ceil(std::fabs(arc.sweep) / kWideArcStep)));
    std::vector<Vec2> inner;
    for (int k = 0; k <= steps; ++k) {
        const double f = static_cast<double>(k) / steps;
        const double a = arc.startAngle + arc.sweep * f;
        const double half = (sw + (ew - sw) * f) / 2;
        const double ca = std::cos(a), sa = std::sin(a);
        const double outer = arc.radius + half, inside = arc.radius - half;
        outline.push_back(t.apply(arc.center.x + outer * ca, arc.center.y + outer * sa));
        inner.push_back(t.apply(arc.center.x + inside * ca, arc.center.y + inside * sa));
    }
    outline.insert(outline.end(), inner.rbegin(), inner.rend());
    return outline;
}

} // namespace

std::uint32_t backgroundRgb(bool dark)
{
    return dark ? 0x1A1A1A : 0xFFFFFF;
}

class Scene::Walker {
public:
    Walker(const AcDbDatabase& db, bool dark, Scene::Filter topLevel)
        : m_db(db), m_dark(dark), m_topLevel(std::move(topLevel))
    {
    }
    Extents extents();
    // One top-level entity's part of extents(); false when it has none.
    bool entityExtents(const AcDbObjectId& id, AcDbExtents& out);
    void draw(SceneSink& sink, const AcGeMatrix3d& moved);
    bool drawTop(const AcDbObjectId& id, SceneSink& sink);

private:
    // What the references around an entity pass down to it.
    struct Context {
        AcGeMatrix3d toWorld;
        // Colour index 1..255 that by-block colours take.
        int blockColor = 7;
        // Layer that entities on layer 0 take; empty at the top.
        std::string blockLayer;
        int depth = 0;
    };

    const AcDbLayerTableRecord* layerRecord(const std::string& name);
    std::string effectiveLayer(const AcDbEntity& e, const Context& ctx) const;
    int resolveColor(const AcDbEntity& e, const std::string& layer, const Context& ctx);
    // Whether an entity at this level is drawn at all (a reference on a
    // layer that is off still shows what its block has on other layers).
    bool isShown(const AcDbEntity& e, const std::string& layer);

    // How many entities measuring or drawing a reference to the block
    // visits, up to kMaxVisits; a block that contains itself counts as
    // kMaxVisits.
    long expansionCost(const AcDbBlockTableRecord& block, int depth = 0);
    // The cost of every copy of a reference whose block costs blockCost,
    // up to kMaxVisits.
    static long referenceCost(const AcDbBlockReference& ref, long blockCost)
    {
        const long long copies = ref.copyCount();
        return blockCost > 0 && copies > kMaxVisits / blockCost ? kMaxVisits : static_cast<long>(copies * blockCost);
    }
    void drawEntities(const AcDbBlockTableRecord& block, const Context& ctx);
    // A live model-space entity, between the sink's entity marks.
    void drawTopEntity(AcDbEntity& e, const Context& top);
    void drawEntity(AcDbEntity& e, const Context& ctx);
    void drawInsert(AcDbBlockReference& ref, const Context& ctx, const std::string& layer, int color);
    void strokeHairline(Stroke::Shape shape, std::initializer_list<PathStep> steps, bool closed, std::uint32_t rgb);
    void drawLine(const AcDbLine& l, const Context& ctx, std::uint32_t rgb);
    void drawCircle(AcDbCircle& c, const Context& ctx, std::uint32_t rgb);
    void drawArc(AcDbArc& a, const Context& ctx, std::uint32_t rgb);
    void drawSolid(AcDbSolid& s, const Context& ctx, std::uint32_t rgb);
    void drawPolyline(AcDbPolyline& pl, const Context& ctx, std::uint32_t rgb);
    void drawWidePolyline(AcDbPolyline& pl, const Affine& t, std::uint32_t rgb);
    void drawText(AcDbText& t, const Context& ctx, std::uint32_t rgb);

    bool takesPart(const AcDbObjectId& id) const { return !m_topLevel || m_topLevel(id); }

    const AcDbDatabase& m_db;
    bool m_dark;
    Scene::Filter m_topLevel;
    SceneSink* m_sink = nullptr;
    long m_visits = 0;
    std::vector<const AcDbBlockTableRecord*> m_expanding;
    std::map<std::string, const AcDbLayerTableRecord*> m_layers;
    std::map<const AcDbBlockTableRecord*, long> m_costs;
    // Reused between entities: the steps of the stroke being made.
    Stroke m_stroke;
};

const AcDbLayerTableRecord* Scene::Walker::layerRecord(const std::string& name)
{
    auto it = m_layers.find(name);
    if (it != m_layers.end())
        return it->second;
    const AcDbLayerTableRecord* rec = nullptr;
    if (AcDbSymbolTable* table = m_db.table("LAYER"))
        rec = liveObject<AcDbLayerTableRecord>(table->getAt(name));
    m_layers.emplace(name, rec);
    return rec;
}

std::string Scene::Walker::effectiveLayer(const AcDbEntity& e, const Context& ctx) const
{
    if (!ctx.blockLayer.empty() && e.layerName() == "0")
        return ctx.blockLayer;
    return e.layerName();
}

bool Scene::Walker::isShown(const AcDbEntity& e, const std::string& layer)
{
    if (dynamic_cast<const AcDbRawEntity*>(&e))
        return false;
    const AcDbLayerTableRecord* rec = layerRecord(layer);
    if (rec && rec->isFrozen())
        return false;
    return !(rec && rec->isOff()) || dynamic_cast<const AcDbBlockReference*>(&e);
}

int Scene::Walker::resolveColor(const AcDbEntity& e, const std::string& layer, const Context& ctx)
{
    const int c = e.colorIndex();
    if (c == AcDb::kColorByBlock)
        return ctx.blockColor;
    if (c == AcDb::kColorByLayer) {
        const AcDbLayerTableRecord* rec = layerRecord(layer);
        const int lc = rec ? rec->color() : 7;
        return lc >= 1 && lc <= 255 ? lc : 7;
    }
    return c >= 1 && c <= 255 ? c : 7;
}

long Scene::Walker::expansionCost(const AcDbBlockTableRecord& block, int depth)
{
    auto it = m_costs.find(&block);
    if (it != m_costs.end())
        return it->second;
    if (depth > 2 * kMaxNesting)
        return kMaxVisits;
    // Seen again before it is known: the block contains itself.
    m_costs[&block] = kMaxVisits;
    long n = 0;
    for (const AcDbObjectId& id : block.entityIds()) {
        if (n >= kMaxVisits)
            break;
        AcDbEntity* e = liveObject<AcDbEntity>(id);
        if (!e)
            continue;
        ++n;
        if (auto* ref = dynamic_cast<AcDbBlockReference*>(e))
            if (const auto* inner = liveObject<AcDbBlockTableRecord>(ref->blockTableRecord()))
                n += referenceCost(*ref, expansionCost(*inner, depth + 1));
    }
    return m_costs[&block] = std::min(n, kMaxVisits);
}

void Scene::Walker::drawEntities(const AcDbBlockTableRecord& block, const Context& ctx)
{
    const bool top = ctx.depth == 0;
    for (const AcDbObjectId& id : block.entityIds()) {
        if (m_visits >= kMaxVisits)
            return;
        if (top && !takesPart(id))
            continue;
        if (AcDbEntity* e = liveObject<AcDbEntity>(id)) {
            ++m_visits;
            drawEntity(*e, ctx);
        }
    }
}

void Scene::Walker::drawEntity(AcDbEntity& e, const Context& ctx)
{
    const std::string layer = effectiveLayer(e, ctx);
    if (!isShown(e, layer))
        return;
    const int index = resolveColor(e, layer, ctx);
    if (auto* ref = dynamic_cast<AcDbBlockReference*>(&e)) {
        drawInsert(*ref, ctx, layer, index);
        return;
    }
    const std::uint32_t rgb = aciToRgb(index, m_dark);
    if (auto* l = dynamic_cast<AcDbLine*>(&e)) {
        drawLine(*l, ctx, rgb);
    } else if (auto* c = dynamic_cast<AcDbCircle*>(&e)) {
        drawCircle(*c, ctx, rgb);
    } else if (auto* a = dynamic_cast<AcDbArc*>(&e)) {
        drawArc(*a, ctx, rgb);
    } else if (auto* p = dynamic_cast<AcDbPoint*>(&e)) {
        const AcGePoint3d q = AcGePoint3d(p->position()).transformBy(ctx.toWorld);
        m_sink->dot(Dot{{q.x, q.y}, rgb});
    } else if (auto* s = dynamic_cast<AcDbSolid*>(&e)) {
        drawSolid(*s, ctx, rgb);
    } else if (auto* pl = dynamic_cast<AcDbPolyline*>(&e)) {
        drawPolyline(*pl, ctx, rgb);
    } else if (auto* t = dynamic_cast<AcDbText*>(&e)) {
        drawText(*t, ctx, rgb);
    }
}

void Scene::Walker::drawInsert(AcDbBlockReference& ref, const Context& ctx, const std::string& layer, int color)
{
    const auto* block = liveObject<AcDbBlockTableRecord>(ref.blockTableRecord());
    if (!block || ctx.depth >= kMaxNesting
        || std::find(m_expanding.begin(), m_expanding.end(), block) != m_expanding.end())
        return;
    Context inner;
    inner.blockColor = color;
    inner.blockLayer = layer;
    inner.depth = ctx.depth + 1;
    m_expanding.push_back(block);
    // Every copy of a multiple insert, within the drawing's work limit.
    const long long copies = ref.copyCount();
    for (long long i = 0; i < copies && m_visits < kMaxVisits; ++i) {
        inner.toWorld = ctx.toWorld * ref.copyTransform(i);
        drawEntities(*block, inner);
    }
    m_expanding.pop_back();
}

// One stroke without width, reusing the walker's stroke buffer.
void Scene::Walker::strokeHairline(Stroke::Shape shape, std::initializer_list<PathStep> steps, bool closed,
                                   std::uint32_t rgb)
{
    Stroke& s = m_stroke;
    s.shape = shape;
    s.steps.assign(steps);
    s.closed = closed;
    s.width = 0.0;
    s.rgb = rgb;
    m_sink->stroke(s);
}

void Scene::Walker::drawLine(const AcDbLine& l, const Context& ctx, std::uint32_t rgb)
{
    const AcGePoint3d p = AcGePoint3d(l.startPoint()).transformBy(ctx.toWorld);
    const AcGePoint3d q = AcGePoint3d(l.endPoint()).transformBy(ctx.toWorld);
    strokeHairline(Stroke::Shape::Line, {moveTo({p.x, p.y}), lineTo({q.x, q.y})}, false, rgb);
}

void Scene::Walker::drawCircle(AcDbCircle& c, const Context& ctx, std::uint32_t rgb)
{
    const AcGePoint3d centre = c.center();
    const Affine t = entityPlane(c, ctx.toWorld, centre.z);
    const double r = c.radius();
    strokeHairline(Stroke::Shape::Circle,
                   {moveTo(t.apply(centre.x + r, centre.y)), arcStep(t, centre.x, centre.y, r, 0.0, 2 * kPi)}, true,
                   rgb);
}

void Scene::Walker::drawArc(AcDbArc& a, const Context& ctx, std::uint32_t rgb)
{
    const AcGePoint3d centre = a.center();
    const Affine t = entityPlane(a, ctx.toWorld, centre.z);
    double sweep = normalizeAngle(a.endAngle() - a.startAngle());
    if (sweep == 0.0)
        sweep = 2 * kPi;
    const double a0 = a.startAngle(), r = a.radius();
    strokeHairline(Stroke::Shape::Path,
                   {moveTo(t.apply(centre.x + r * std::cos(a0), centre.y + r * std::sin(a0))),
                    arcStep(t, centre.x, centre.y, r, a0, sweep)},
                   false, rgb);
}

void Scene::Walker::drawSolid(AcDbSolid& s, const Context& ctx, std::uint32_t rgb)
{
    const AcGeMatrix3d m = entityMatrix(s, ctx.toWorld);
    AcGePoint3d p[4];
    for (int i = 0; i < 4; ++i)
        s.getPointAt(i, p[i]);
    // Corners are stored in the order 1, 2, 4, 3; the fourth equals the
    // third for a triangle.
    const int order[4] = {0, 1, 3, 2};
    const int n = p[3] == p[2] ? 3 : 4;
    Fill f;
    f.rgb = rgb;
    for (int i = 0; i < n; ++i) {
        const AcGePoint3d w = AcGePoint3d(p[n == 3 ? i : order[i]]).transformBy(m);
        f.corners.push_back({w.x, w.y});
    }
    m_sink->fill(f);
}

void Scene::Walker::drawPolyline(AcDbPolyline& pl, const Context& ctx, std::uint32_t rgb)
{
    const unsigned n = pl.numVerts();
    if (n < 2)
        return;
    const Affine t = entityPlane(pl, ctx.toWorld, pl.elevation());
    double constWidth = 0.0;
    if (pl.getConstantWidth(constWidth) != Acad::eOk) {
        drawWidePolyline(pl, t, rgb);
        return;
    }
    Stroke& s = m_stroke;
    s.shape = Stroke::Shape::Path;
    s.steps.clear();
    AcGePoint2d p, q;
    double bulge = 0.0;
    pl.getPointAt(0, p);
    s.steps.push_back(moveTo(t.apply(p.x, p.y)));
    const unsigned segments = pl.isClosed() ? n : n - 1;
    for (unsigned i = 0; i < segments; ++i) {
        pl.getPointAt(i, p);
        pl.getPointAt((i + 1) % n, q);
        pl.getBulgeAt(i, bulge);
        s.steps.push_back(segmentStep(t, p, q, bulge));
    }
    s.closed = pl.isClosed();
    s.width = constWidth > 0.0 ? constWidth * std::sqrt(std::fabs(t.det())) : 0.0;
    s.rgb = rgb;
    m_sink->stroke(s);
}

// Varying widths: each wide segment is a filled outline; segments without
// width are hairlines, collected in one path drawn last.
void Scene::Walker::drawWidePolyline(AcDbPolyline& pl, const Affine& t, std::uint32_t rgb)
{
    const unsigned n = pl.numVerts();
    const unsigned segments = pl.isClosed() ? n : n - 1;
    Stroke thin;
    thin.rgb = rgb;
    bool thinOpen = false;
    AcGePoint2d p, q;
    for (unsigned i = 0; i < segments; ++i) {
        double bulge = 0.0, sw = 0.0, ew = 0.0;
        pl.getPointAt(i, p);
        pl.getPointAt((i + 1) % n, q);
        pl.getBulgeAt(i, bulge);
        pl.getWidthsAt(i, sw, ew);
        if (sw <= 0.0 && ew <= 0.0) {
            if (!thinOpen)
                thin.steps.push_back(moveTo(t.apply(p.x, p.y)));
            thin.steps.push_back(segmentStep(t, p, q, bulge));
            thinOpen = true;
            continue;
        }
        thinOpen = false;
        Fill f;
        f.rgb = rgb;
        f.corners = wideOutline(t, p, q, bulge, sw, ew);
        if (!f.corners.empty())
            m_sink->fill(f);
    }
    if (!thin.steps.empty())
        m_sink->stroke(thin);
}

void Scene::Walker::drawText(AcDbText& t, const Context& ctx, std::uint32_t rgb)
{
    const std::wstring shown = displayText(t.text());
    if (shown.empty() || !(t.height() > 0.0))
        return;
    const TextLayout lay = layoutText(t);
    const Affine plane = entityPlane(t, ctx.toWorld, lay.origin.z);
    const double c = std::cos(lay.rotation), s = std::sin(lay.rotation);
    double ox = lay.origin.x, oy = lay.origin.y;
    double ux = c, uy = s, vx = -s, vy = c;
    // Backwards and upside-down text are mirrored within their own box.
    if (t.isMirroredInX()) {
        ox += ux * lay.width;
        oy += uy * lay.width;
        ux = -ux;
        uy = -uy;
    }
    if (t.isMirroredInY()) {
        ox += vx * (lay.height - lay.descent);
        oy += vy * (lay.height - lay.descent);
        vx = -vx;
        vy = -vy;
    }
    Text out;
    out.rgb = rgb;
    // Runs of CJK and other characters, each at its own size.
    for (wchar_t ch : shown) {
        const bool cjk = isCjkCharacter(ch);
        if (out.runs.empty() || out.runs.back().cjk != cjk)
            out.runs.push_back({std::wstring(), cjk, cjk ? lay.height * kCjkFontSize : lay.height / fontCapHeight()});
        out.runs.back().text += ch;
    }
    for (TextRun& run : out.runs) {
        run.offset = out.width;
        out.width += fontAdvance(run.text) * run.size;
    }
    // The font's own width is scaled to the width the host gives the text
    // (its width factor, or the span of a fitted or aligned text).
    const double xScale = lay.width > 0.0 && out.width > 0.0 ? lay.width / out.width : 1.0;
    out.origin = plane.apply(ox, oy);
    const Vec2 u = plane.linear(ux, uy);
    out.along = {u.x * xScale, u.y * xScale};
    out.up = plane.linear(vx, vy);
    m_sink->text(out);
}

bool Scene::Walker::entityExtents(const AcDbObjectId& id, AcDbExtents& out)
{
    if (!takesPart(id))
        return false;
    AcDbEntity* e = liveObject<AcDbEntity>(id);
    const Context top;
    if (!e || !isShown(*e, effectiveLayer(*e, top)))
        return false;
    // Measuring a reference walks its blocks without a limit on the
    // work; one whose blocks contain themselves or multiply beyond what
    // is drawn is left out of the extents.
    if (auto* ref = dynamic_cast<AcDbBlockReference*>(e)) {
        const auto* block = liveObject<AcDbBlockTableRecord>(ref->blockTableRecord());
        if (!block || referenceCost(*ref, expansionCost(*block)) >= kMaxVisits)
            return false;
    }
    if (e->getGeomExtents(out) != Acad::eOk || !out.isValid())
        return false;
    const AcGePoint3d& lo = out.minPoint();
    const AcGePoint3d& hi = out.maxPoint();
    return std::isfinite(lo.x) && std::isfinite(lo.y) && std::isfinite(hi.x) && std::isfinite(hi.y);
}

Extents Scene::Walker::extents()
{
    Extents out;
    const AcDbBlockTableRecord* model = AcDbInternals::modelSpace(m_db);
    if (!model)
        return out;
    AcDbExtents ext;
    for (const AcDbObjectId& id : model->entityIds()) {
        AcDbExtents sub;
        if (entityExtents(id, sub))
            ext.addExt(sub);
    }
    if (ext.isValid())
        out = {ext.minPoint().x, ext.minPoint().y, ext.maxPoint().x, ext.maxPoint().y, true};
    return out;
}

void Scene::Walker::drawTopEntity(AcDbEntity& e, const Context& top)
{
    m_sink->entityBegins(e.handle());
    drawEntity(e, top);
    m_sink->entityEnds();
}

void Scene::Walker::draw(SceneSink& sink, const AcGeMatrix3d& moved)
{
    m_sink = &sink;
    m_visits = 0;
    Context top;
    top.toWorld = moved;
    if (const AcDbBlockTableRecord* model = AcDbInternals::modelSpace(m_db)) {
        for (const AcDbObjectId& id : model->entityIds()) {
            if (m_visits >= kMaxVisits)
                break;
            if (!takesPart(id))
                continue;
            if (AcDbEntity* e = liveObject<AcDbEntity>(id)) {
                ++m_visits;
                drawTopEntity(*e, top);
            }
        }
    }
    m_sink = nullptr;
}

bool Scene::Walker::drawTop(const AcDbObjectId& id, SceneSink& sink)
{
    const AcDbBlockTableRecord* model = AcDbInternals::modelSpace(m_db);
    AcDbEntity* e = liveObject<AcDbEntity>(id);
    if (!model || !e || AcDbInternals::stub(id)->owner != AcDbInternals::stub(*model))
        return false;
    m_sink = &sink;
    // Each entity has the whole drawing's work limit.
    m_visits = 1;
    // One that does not take part is live but shows nothing.
    if (takesPart(id)) {
        drawTopEntity(*e, Context());
    } else {
        sink.entityBegins(e->handle());
        sink.entityEnds();
    }
    m_sink = nullptr;
    return true;
}

Scene::Scene(const AcDbDatabase& db, bool darkBackground, Filter topLevel)
    : m_walker(std::make_unique<Walker>(db, darkBackground, std::move(topLevel)))
{
}

Scene::~Scene() = default;

Extents Scene::extents()
{
    return m_walker->extents();
}

void Scene::draw(SceneSink& sink)
{
    m_walker->draw(sink, AcGeMatrix3d());
}

void Scene::draw(SceneSink& sink, const AcGeMatrix3d& moved)
{
    m_walker->draw(sink, moved);
}

Extents Scene::entityExtents(const AcDbObjectId& id)
{
    AcDbExtents ext;
    if (!m_walker->entityExtents(id, ext))
        return {};
    return {ext.minPoint().x, ext.minPoint().y, ext.maxPoint().x, ext.maxPoint().y, true};
}

bool Scene::drawEntity(const AcDbObjectId& id, SceneSink& sink)
{
    return m_walker->drawTop(id, sink);
}

} // namespace render
