// Drawing the model space as SVG. Everything is written in world
// coordinates (Y up) inside one group that flips Y for the picture, so a
// block reference's placement, including mirroring and unequal scales, is
// applied to the geometry itself: circles may become ellipses, arcs
// elliptical arcs.
#include "host/render/svg.h"

#include "host/dbdxf.h"
#include "host/dbtext.h"
#include "host/hoststring.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

// Deepest chain of block references drawn.
constexpr int kMaxNesting = 32;
// Entities visited in all before the renderer stops: blocks that insert
// other blocks many times over can multiply without bound.
constexpr long kMaxVisits = 1'000'000;
// Cap height of common sans-serif fonts in units of the font size: a text
// of height h is set at h / kCapHeight so its capitals stand h tall.
constexpr double kCapHeight = 0.72;
// CJK characters fill a square cell of the text height.
constexpr double kCjkFontSize = 1.0;
// Radius of the dot of a point entity, in pixels.
constexpr double kDotPixels = 1.5;
// Flattening step of the arcs of wide polyline segments.
constexpr double kWideArcStep = kPi / 36;

struct Vec2 {
    double x = 0.0, y = 0.0;
};

// x' = a x + c y + e, y' = b x + d y + f: the order of SVG's matrix().
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Vec2 apply(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
    Vec2 linear(double x, double y) const { return {a * x + c * y, b * x + d * y}; }
    double det() const { return a * d - b * c; }
};

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

AcGeMatrix3d ocsMatrix(const AcGeVector3d& normal)
{
    return acgeOcsMatrix(normal);
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

AcGeVector3d entityNormal(AcDbEntity& e)
{
    NormalProbe probe;
    e.describeFields(probe);
    return probe.found;
}

// The image of the unit circle under t's linear part: an ellipse with
// semi-axes s1 >= s2 >= 0, the first at angle phi (radians).
struct EllipseAxes {
    double s1, s2, phi;
};

bool isRound(const EllipseAxes& ax) { return ax.s1 - ax.s2 <= 1e-9 * ax.s1; }

EllipseAxes unitCircleImage(const Affine& t)
{
    const double e = (t.a + t.d) / 2, f = (t.a - t.d) / 2;
    const double g = (t.b + t.c) / 2, h = (t.b - t.c) / 2;
    const double q = std::hypot(e, h), r = std::hypot(f, g);
    EllipseAxes out;
    out.s1 = q + r;
    out.s2 = std::fabs(q - r);
    // A circle stays a circle: no axis to follow.
    out.phi = isRound(out) ? 0.0 : (std::atan2(h, e) + std::atan2(g, f)) / 2;
    return out;
}

double normalizeAngle(double a)
{
    a = std::fmod(a, 2 * kPi);
    if (a < 0)
        a += 2 * kPi;
    return a;
}

double degrees(double radians)
{
    double d = radians * 180.0 / kPi;
    d = std::fmod(d, 360.0);
    if (d <= -180.0)
        d += 360.0;
    else if (d > 180.0)
        d -= 360.0;
    return d;
}

// Fixed-point numbers without trailing zeros; the same value always gives
// the same text, whatever the locale.
class NumberFormat {
public:
    explicit NumberFormat(int decimals = 4) : m_decimals(decimals) {}
    std::string operator()(double v) const
    {
        if (!std::isfinite(v))
            v = 0.0;
        char buf[400];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, m_decimals);
        if (r.ec != std::errc())
            return "0";
        std::string s(buf, r.ptr);
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0')
                s.pop_back();
            if (s.back() == '.')
                s.pop_back();
        }
        if (s == "-0")
            s = "0";
        return s;
    }

private:
    int m_decimals;
};

std::string hexColor(std::uint32_t rgb)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
    return buf;
}

bool isCjk(wchar_t c) { return c >= 0x2E80 && c < 0xFFEF; }

// The text as shown: %%d, %%p, %%c and %%% become their symbols; the
// underline and overline switches are dropped.
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
        out += in[i];
    }
    return out;
}

// Text content for an XML element: markup characters escaped, characters
// XML cannot hold dropped, tabs as spaces.
std::string xmlText(const std::wstring& s)
{
    std::wstring clean;
    for (wchar_t c : s) {
        if (c == L'\t')
            c = L' ';
        const auto u = static_cast<std::uint32_t>(c);
        if ((u < 0x20 && c != L'\n' && c != L'\r') || (u >= 0xD800 && u < 0xE000) || u == 0xFFFE || u == 0xFFFF
            || u > 0x10FFFF)
            continue;
        clean += c;
    }
    std::string out;
    for (char ch : wideToUtf8(clean)) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: out += ch;
        }
    }
    return out;
}

// An object in the database by id: nullptr when it is missing, its addition
// undone or it is erased.
template <class T>
T* liveObject(const AcDbObjectId& id)
{
    if (id.isNull() || !id.stub()->inDatabase || !id.stub()->object)
        return nullptr;
    AcDbObject* o = id.stub()->object.get();
    if (o->isErased())
        return nullptr;
    return dynamic_cast<T*>(o);
}

class SvgWriter {
public:
    SvgWriter(const AcDbDatabase& db, const SvgOptions& opt) : m_db(db), m_opt(opt) {}
    std::string render();

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
    bool isFrozen(const std::string& layer);
    bool isOff(const std::string& layer);
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
    void drawEntity(AcDbEntity& e, const Context& ctx);
    void drawInsert(AcDbBlockReference& ref, const Context& ctx, const std::string& layer, int color);
    void drawLine(const AcDbLine& l, const Context& ctx, const std::string& color);
    void drawCircle(AcDbCircle& c, const Context& ctx, const std::string& color);
    void drawArc(AcDbArc& a, const Context& ctx, const std::string& color);
    void drawPoint(const AcDbPoint& p, const Context& ctx, const std::string& color);
    void drawSolid(AcDbSolid& s, const Context& ctx, const std::string& color);
    void drawPolyline(AcDbPolyline& pl, const Context& ctx, const std::string& color);
    void drawText(AcDbText& t, const Context& ctx, const std::string& color);

    std::string pt(const Vec2& p) const { return m_num(p.x) + "," + m_num(p.y); }
    // Appends " A ..." pieces of a circular arc (centre, radius, start angle,
    // signed sweep in the plane of t) to a path already at its start.
    void appendArc(std::string& d, const Affine& t, double cx, double cy, double r, double a0, double sweep) const;
    // Appends the polyline segment from p to q.
    void appendSegment(std::string& d, const Affine& t, const AcGePoint2d& p, const AcGePoint2d& q, double bulge) const;
    std::string thinStroke(const std::string& color) const
    {
        return " stroke=\"" + color + "\" vector-effect=\"non-scaling-stroke\"";
    }

    const AcDbDatabase& m_db;
    const SvgOptions& m_opt;
    NumberFormat m_num;
    double m_pxPerUnit = 1.0;
    long m_visits = 0;
    std::vector<const AcDbBlockTableRecord*> m_expanding;
    std::map<std::string, const AcDbLayerTableRecord*> m_layers;
    std::map<const AcDbBlockTableRecord*, long> m_costs;
    std::string m_out;
};

const AcDbLayerTableRecord* SvgWriter::layerRecord(const std::string& name)
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

std::string SvgWriter::effectiveLayer(const AcDbEntity& e, const Context& ctx) const
{
    if (!ctx.blockLayer.empty() && e.layerName() == "0")
        return ctx.blockLayer;
    return e.layerName();
}

bool SvgWriter::isFrozen(const std::string& layer)
{
    const AcDbLayerTableRecord* rec = layerRecord(layer);
    return rec && rec->isFrozen();
}

bool SvgWriter::isOff(const std::string& layer)
{
    const AcDbLayerTableRecord* rec = layerRecord(layer);
    return rec && rec->isOff();
}

bool SvgWriter::isShown(const AcDbEntity& e, const std::string& layer)
{
    if (dynamic_cast<const AcDbRawEntity*>(&e) || isFrozen(layer))
        return false;
    return !isOff(layer) || dynamic_cast<const AcDbBlockReference*>(&e);
}

int SvgWriter::resolveColor(const AcDbEntity& e, const std::string& layer, const Context& ctx)
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

long SvgWriter::expansionCost(const AcDbBlockTableRecord& block, int depth)
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

void SvgWriter::drawEntities(const AcDbBlockTableRecord& block, const Context& ctx)
{
    for (const AcDbObjectId& id : block.entityIds()) {
        if (m_visits >= kMaxVisits)
            return;
        if (AcDbEntity* e = liveObject<AcDbEntity>(id)) {
            ++m_visits;
            drawEntity(*e, ctx);
        }
    }
}

void SvgWriter::drawEntity(AcDbEntity& e, const Context& ctx)
{
    const std::string layer = effectiveLayer(e, ctx);
    if (!isShown(e, layer))
        return;
    const int index = resolveColor(e, layer, ctx);
    if (auto* ref = dynamic_cast<AcDbBlockReference*>(&e)) {
        drawInsert(*ref, ctx, layer, index);
        return;
    }
    const std::string color = hexColor(aciToRgb(index, m_opt.darkBackground));
    if (auto* l = dynamic_cast<AcDbLine*>(&e))
        drawLine(*l, ctx, color);
    else if (auto* c = dynamic_cast<AcDbCircle*>(&e))
        drawCircle(*c, ctx, color);
    else if (auto* a = dynamic_cast<AcDbArc*>(&e))
        drawArc(*a, ctx, color);
    else if (auto* p = dynamic_cast<AcDbPoint*>(&e))
        drawPoint(*p, ctx, color);
    else if (auto* s = dynamic_cast<AcDbSolid*>(&e))
        drawSolid(*s, ctx, color);
    else if (auto* pl = dynamic_cast<AcDbPolyline*>(&e))
        drawPolyline(*pl, ctx, color);
    else if (auto* t = dynamic_cast<AcDbText*>(&e))
        drawText(*t, ctx, color);
}

void SvgWriter::drawInsert(AcDbBlockReference& ref, const Context& ctx, const std::string& layer, int color)
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

void SvgWriter::drawLine(const AcDbLine& l, const Context& ctx, const std::string& color)
{
    const AcGePoint3d p = AcGePoint3d(l.startPoint()).transformBy(ctx.toWorld);
    const AcGePoint3d q = AcGePoint3d(l.endPoint()).transformBy(ctx.toWorld);
    m_out += "<line x1=\"" + m_num(p.x) + "\" y1=\"" + m_num(p.y) + "\" x2=\"" + m_num(q.x) + "\" y2=\"" + m_num(q.y)
           + "\"" + thinStroke(color) + "/>\n";
}

void SvgWriter::drawCircle(AcDbCircle& c, const Context& ctx, const std::string& color)
{
    const AcGePoint3d centre = c.center();
    const Affine t = planeAffine(ctx.toWorld * ocsMatrix(entityNormal(c)), centre.z);
    const Vec2 o = t.apply(centre.x, centre.y);
    const EllipseAxes ax = unitCircleImage(t);
    if (isRound(ax)) {
        m_out += "<circle cx=\"" + m_num(o.x) + "\" cy=\"" + m_num(o.y) + "\" r=\"" + m_num(c.radius() * ax.s1) + "\""
               + thinStroke(color) + "/>\n";
        return;
    }
    m_out += "<ellipse cx=\"" + m_num(o.x) + "\" cy=\"" + m_num(o.y) + "\" rx=\"" + m_num(c.radius() * ax.s1)
           + "\" ry=\"" + m_num(c.radius() * ax.s2) + "\" transform=\"rotate(" + m_num(degrees(ax.phi)) + " "
           + m_num(o.x) + " " + m_num(o.y) + ")\"" + thinStroke(color) + "/>\n";
}

void SvgWriter::appendArc(std::string& d, const Affine& t, double cx, double cy, double r, double a0,
                          double sweep) const
{
    const EllipseAxes ax = unitCircleImage(t);
    // Pieces of at most half a turn, so the large-arc flag is never needed
    // and a full circle still has distinct end points.
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / kPi - 1e-9)));
    const char* sweepFlag = (sweep > 0) == (t.det() > 0) ? "1" : "0";
    for (int k = 1; k <= pieces; ++k) {
        const double a = a0 + sweep * k / pieces;
        const Vec2 end = t.apply(cx + r * std::cos(a), cy + r * std::sin(a));
        if (ax.s2 <= 1e-12 * ax.s1) {
            // Seen edge-on: the arc is a line.
            d += " L" + pt(end);
            continue;
        }
        d += " A" + m_num(r * ax.s1) + "," + m_num(r * ax.s2) + " " + m_num(degrees(ax.phi)) + " 0," + sweepFlag + " "
           + pt(end);
    }
}

void SvgWriter::drawArc(AcDbArc& a, const Context& ctx, const std::string& color)
{
    const AcGePoint3d centre = a.center();
    const Affine t = planeAffine(ctx.toWorld * ocsMatrix(entityNormal(a)), centre.z);
    double sweep = normalizeAngle(a.endAngle() - a.startAngle());
    if (sweep == 0.0)
        sweep = 2 * kPi;
    const double a0 = a.startAngle(), r = a.radius();
    std::string d = "M" + pt(t.apply(centre.x + r * std::cos(a0), centre.y + r * std::sin(a0)));
    appendArc(d, t, centre.x, centre.y, r, a0, sweep);
    m_out += "<path d=\"" + d + "\"" + thinStroke(color) + "/>\n";
}

void SvgWriter::drawPoint(const AcDbPoint& p, const Context& ctx, const std::string& color)
{
    const AcGePoint3d q = AcGePoint3d(p.position()).transformBy(ctx.toWorld);
    m_out += "<circle cx=\"" + m_num(q.x) + "\" cy=\"" + m_num(q.y) + "\" r=\"" + m_num(kDotPixels / m_pxPerUnit)
           + "\" fill=\"" + color + "\"/>\n";
}

void SvgWriter::drawSolid(AcDbSolid& s, const Context& ctx, const std::string& color)
{
    const AcGeMatrix3d m = ctx.toWorld * ocsMatrix(entityNormal(s));
    AcGePoint3d p[4];
    for (int i = 0; i < 4; ++i)
        s.getPointAt(i, p[i]);
    // Corners are stored in the order 1, 2, 4, 3; the fourth equals the
    // third for a triangle.
    const int order[4] = {0, 1, 3, 2};
    const int n = p[3] == p[2] ? 3 : 4;
    std::string pts;
    for (int i = 0; i < n; ++i) {
        const int k = n == 3 ? i : order[i];
        const AcGePoint3d w = AcGePoint3d(p[k]).transformBy(m);
        pts += (i ? " " : "") + pt({w.x, w.y});
    }
    m_out += "<polygon points=\"" + pts + "\" fill=\"" + color + "\"" + thinStroke(color) + "/>\n";
}

void SvgWriter::appendSegment(std::string& d, const Affine& t, const AcGePoint2d& p, const AcGePoint2d& q,
                              double bulge) const
{
    AcGeBulgeArc arc;
    if (!acgeBulgeArc(p, q, bulge, arc)) {
        d += " L" + pt(t.apply(q.x, q.y));
        return;
    }
    appendArc(d, t, arc.center.x, arc.center.y, arc.radius, arc.startAngle, arc.sweep);
}

void SvgWriter::drawPolyline(AcDbPolyline& pl, const Context& ctx, const std::string& color)
{
    const unsigned n = pl.numVerts();
    if (n < 2)
        return;
    const Affine t = planeAffine(ctx.toWorld * ocsMatrix(entityNormal(pl)), pl.elevation());
    std::vector<AcGePoint2d> v(n);
    std::vector<double> bulge(n, 0.0);
    for (unsigned i = 0; i < n; ++i) {
        pl.getPointAt(i, v[i]);
        pl.getBulgeAt(i, bulge[i]);
    }
    const unsigned segments = pl.isClosed() ? n : n - 1;

    double constWidth = 0.0;
    if (pl.getConstantWidth(constWidth) == Acad::eOk) {
        std::string d = "M" + pt(t.apply(v[0].x, v[0].y));
        for (unsigned i = 0; i < segments; ++i)
            appendSegment(d, t, v[i], v[(i + 1) % n], bulge[i]);
        if (pl.isClosed())
            d += " Z";
        if (constWidth > 0.0) {
            const double w = constWidth * std::sqrt(std::fabs(t.det()));
            m_out += "<path d=\"" + d + "\" stroke=\"" + color + "\" stroke-width=\"" + m_num(w)
                   + "\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\"/>\n";
        } else {
            m_out += "<path d=\"" + d + "\"" + thinStroke(color) + "/>\n";
        }
        return;
    }

    // Varying widths: each wide segment is a filled outline (its start
    // width tapering to its end width); segments without width are lines.
    std::string thin;
    bool thinOpen = false;
    for (unsigned i = 0; i < segments; ++i) {
        const AcGePoint2d& p = v[i];
        const AcGePoint2d& q = v[(i + 1) % n];
        double sw = 0.0, ew = 0.0;
        pl.getWidthsAt(i, sw, ew);
        if (sw <= 0.0 && ew <= 0.0) {
            if (!thinOpen)
                thin += (thin.empty() ? "M" : " M") + pt(t.apply(p.x, p.y));
            appendSegment(thin, t, p, q, bulge[i]);
            thinOpen = true;
            continue;
        }
        thinOpen = false;
        std::vector<Vec2> outline;
        AcGeBulgeArc arc;
        if (!acgeBulgeArc(p, q, bulge[i], arc)) {
            const double len = std::hypot(q.x - p.x, q.y - p.y);
            if (len == 0.0)
                continue;
            const double nx = -(q.y - p.y) / len, ny = (q.x - p.x) / len;
            outline = {t.apply(p.x + nx * sw / 2, p.y + ny * sw / 2), t.apply(q.x + nx * ew / 2, q.y + ny * ew / 2),
                       t.apply(q.x - nx * ew / 2, q.y - ny * ew / 2), t.apply(p.x - nx * sw / 2, p.y - ny * sw / 2)};
        } else {
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
        }
        std::string pts;
        for (const Vec2& o : outline)
            pts += (pts.empty() ? "" : " ") + pt(o);
        // The hairline outline closes the seams between adjacent segments.
        m_out += "<polygon points=\"" + pts + "\" fill=\"" + color + "\"" + thinStroke(color) + "/>\n";
    }
    if (!thin.empty())
        m_out += "<path d=\"" + thin + "\"" + thinStroke(color) + "/>\n";
}

void SvgWriter::drawText(AcDbText& t, const Context& ctx, const std::string& color)
{
    const std::wstring shown = displayText(t.text());
    if (shown.empty() || !(t.height() > 0.0))
        return;
    const TextLayout lay = layoutText(t);
    const Affine plane = planeAffine(ctx.toWorld * ocsMatrix(entityNormal(t)), lay.origin.z);
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
    // Text space runs right and down; the world's "up" is its minus y.
    const Vec2 o = plane.apply(ox, oy);
    const Vec2 u = plane.linear(ux, uy);
    const Vec2 v = plane.linear(vx, vy);
    const std::string latinSize = m_num(lay.height / kCapHeight);
    const std::string cjkSize = m_num(lay.height * kCjkFontSize);

    // Runs of CJK and other characters, each at its own size.
    std::vector<std::pair<bool, std::wstring>> runs;
    for (wchar_t ch : shown) {
        const bool cjk = isCjk(ch);
        if (runs.empty() || runs.back().first != cjk)
            runs.emplace_back(cjk, std::wstring());
        runs.back().second += ch;
    }
    const bool baseCjk = runs.front().first;
    std::string content;
    for (const auto& [cjk, text] : runs) {
        if (cjk == baseCjk)
            content += xmlText(text);
        else
            content += "<tspan font-size=\"" + (cjk ? cjkSize : latinSize) + "\">" + xmlText(text) + "</tspan>";
    }
    m_out += "<text transform=\"matrix(" + m_num(u.x) + " " + m_num(u.y) + " " + m_num(-v.x) + " " + m_num(-v.y) + " "
           + m_num(o.x) + " " + m_num(o.y) + ")\" font-size=\"" + (baseCjk ? cjkSize : latinSize) + "\"";
    if (lay.width > 0.0)
        m_out += " textLength=\"" + m_num(lay.width) + "\" lengthAdjust=\"spacingAndGlyphs\"";
    m_out += " fill=\"" + color + "\" xml:space=\"preserve\">" + content + "</text>\n";
}

std::string SvgWriter::render()
{
    const AcDbBlockTableRecord* model = m_db.modelSpace();
    const Context top;

    // Extents of what is drawn at the top level.
    AcDbExtents ext;
    if (model) {
        for (const AcDbObjectId& id : model->entityIds()) {
            AcDbEntity* e = liveObject<AcDbEntity>(id);
            if (!e || !isShown(*e, effectiveLayer(*e, top)))
                continue;
            // Measuring a reference walks its blocks without a limit on the
            // work; one whose blocks contain themselves or multiply beyond
            // what is drawn is left out of the view's extents.
            if (auto* ref = dynamic_cast<AcDbBlockReference*>(e)) {
                const auto* block = liveObject<AcDbBlockTableRecord>(ref->blockTableRecord());
                if (!block || referenceCost(*ref, expansionCost(*block)) >= kMaxVisits)
                    continue;
            }
            AcDbExtents sub;
            if (e->getGeomExtents(sub) != Acad::eOk || !sub.isValid())
                continue;
            const AcGePoint3d& lo = sub.minPoint();
            const AcGePoint3d& hi = sub.maxPoint();
            if (std::isfinite(lo.x) && std::isfinite(lo.y) && std::isfinite(hi.x) && std::isfinite(hi.y))
                ext.addExt(sub);
        }
    }
    double x0 = 0.0, y0 = 0.0, x1 = 1.0, y1 = 1.0;
    if (ext.isValid()) {
        x0 = ext.minPoint().x;
        y0 = ext.minPoint().y;
        x1 = ext.maxPoint().x;
        y1 = ext.maxPoint().y;
    }
    const double margin = std::isfinite(m_opt.margin) ? std::max(0.0, m_opt.margin) : 0.0;
    x0 -= margin;
    y0 -= margin;
    x1 += margin;
    y1 += margin;
    double w = x1 - x0, h = y1 - y0;
    // A drawing of one point or one horizontal line still needs an area.
    const double minSide = std::max({w, h, 1e-6}) * 1e-3;
    if (w < minSide) {
        x0 -= (minSide - w) / 2;
        w = minSide;
    }
    if (h < minSide) {
        y0 -= (minSide - h) / 2;
        h = minSide;
    }
    const double longer = std::max(w, h);
    const int maxPixels = std::max(1, m_opt.maxPixels);
    m_pxPerUnit = maxPixels / longer;
    const long widthPx = std::max(1L, std::lround(w * m_pxPerUnit));
    const long heightPx = std::max(1L, std::lround(h * m_pxPerUnit));
    // Enough decimals for a hundred-thousandth of the picture's size.
    m_num = NumberFormat(std::clamp(5 - static_cast<int>(std::floor(std::log10(longer))), 0, 12));

    // SVG's y runs down: the picture shows world y as -y.
    const std::string vx = m_num(x0), vy = m_num(-(y0 + h)), vw = m_num(w), vh = m_num(h);
    m_out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    m_out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + std::to_string(widthPx)
           + "\" height=\"" + std::to_string(heightPx) + "\" viewBox=\"" + vx + " " + vy + " " + vw + " " + vh
           + "\">\n";
    m_out += "<rect x=\"" + vx + "\" y=\"" + vy + "\" width=\"" + vw + "\" height=\"" + vh + "\" fill=\""
           + (m_opt.darkBackground ? "#000000" : "#ffffff") + "\"/>\n";
    m_out += "<g transform=\"scale(1,-1)\" fill=\"none\" stroke-width=\"1\" stroke-linecap=\"round\" "
             "stroke-linejoin=\"round\" font-family=\"sans-serif\">\n";
    if (model)
        drawEntities(*model, top);
    m_out += "</g>\n</svg>\n";
    return std::move(m_out);
}

} // namespace

std::string renderSvg(const AcDbDatabase& db, const SvgOptions& opt)
{
    return SvgWriter(db, opt).render();
}
