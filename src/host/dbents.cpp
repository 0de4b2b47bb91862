// Entities: DXF fields, extents and transformations.
#include "host/dbdxf.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbtext.h"

#include <algorithm>
#include <cassert>
#include <typeinfo>
#include <cmath>
#include <memory>

namespace {

constexpr int kMaxBlockNesting = 32;
// Work limit of one extents query through nested blocks: a damaged file
// whose blocks insert each other many times cannot stall the host.
constexpr long kMaxBlockVisits = 2000000;
thread_local int t_blockDepth = 0;
thread_local long t_blockVisits = 0;
thread_local std::vector<const AcDbBlockTableRecord*> t_blockStack;

// World coordinates of a point given in the object coordinate system of
// normal n (the arbitrary axis algorithm of DXF).
AcGePoint3d ocsToWcs(const AcGePoint3d& p, const AcGeVector3d& n)
{
    if (n.x == 0.0 && n.y == 0.0 && n.z > 0.0)
        return p;
    return AcGePoint3d(p).transformBy(acgeOcsMatrix(n));
}

double normalizeAngle(double a)
{
    a = std::fmod(a, 2 * kPi);
    if (a < 0)
        a += 2 * kPi;
    return a;
}

// The linear part of m applied to the X and Y axes; false when m shears or
// scales X and Y differently in a way a single rotation cannot carry.
struct Planar {
    double rotation, sx, sy, uniform;
    bool mirrored;
};

Planar decompose(const AcGeMatrix3d& m)
{
    const double xx = m(0, 0), xy = m(1, 0), yx = m(0, 1), yy = m(1, 1);
    const double det = xx * yy - xy * yx;
    Planar p{};
    p.mirrored = det < 0;
    const double lx = std::hypot(xx, xy);
    if (p.mirrored) {
        p.rotation = std::atan2(-xy, -xx);
        p.sx = -lx;
    } else {
        p.rotation = std::atan2(xy, xx);
        p.sx = lx;
    }
    p.sy = yx * -std::sin(p.rotation) + yy * std::cos(p.rotation);
    p.rotation = normalizeAngle(p.rotation);
    p.uniform = std::sqrt(std::fabs(det));
    return p;
}

bool isUniform(const AcGeMatrix3d& m)
{
    const double lx = std::hypot(m(0, 0), m(1, 0));
    const double ly = std::hypot(m(0, 1), m(1, 1));
    const double dot = m(0, 0) * m(0, 1) + m(1, 0) * m(1, 1);
    const double tol = 1e-9 * std::max(1.0, lx * ly);
    return std::fabs(lx - ly) <= 1e-9 * std::max(1.0, lx) && std::fabs(dot) <= tol;
}

void addArcExtents(AcDbExtents& ext, const AcGePoint3d& c, double r, double a0, double a1, const AcGeVector3d& n)
{
    a0 = normalizeAngle(a0);
    a1 = normalizeAngle(a1);
    if (a1 <= a0)
        a1 += 2 * kPi;
    ext.addPoint(ocsToWcs(AcGePoint3d(c.x + r * std::cos(a0), c.y + r * std::sin(a0), c.z), n));
    ext.addPoint(ocsToWcs(AcGePoint3d(c.x + r * std::cos(a1), c.y + r * std::sin(a1), c.z), n));
    for (int k = 0; k < 8; ++k) {
        const double q = k * kPi / 2;
        if (q > a0 && q < a1)
            ext.addPoint(ocsToWcs(AcGePoint3d(c.x + r * std::cos(q), c.y + r * std::sin(q), c.z), n));
    }
}

} // namespace

// ---------------------------------------------------------------- fields

void AcDbObject::describeFields(AcDbDxfFields&) {}

namespace {

// Looks at every number an object describes for files.
class FiniteCheck : public AcDbDxfFields {
public:
    bool finite = true;

    bool isReading() const override { return false; }
    void subclass(const char*) override {}
    void text(short, std::string&, const char*) override {}
    void real(short, double& value, double, bool) override { finite = finite && acdbIsFinite(value); }
    void angle(short, double& radians, bool) override { finite = finite && acdbIsFinite(radians); }
    void integer(short, int&, int, bool) override {}
    void point(short, AcGePoint3d& p, bool) override { finite = finite && acdbIsFinite(p); }
    void normal(short, AcGeVector3d& v) override { finite = finite && acdbIsFinite(AcGePoint3d(v.x, v.y, v.z)); }
    void blockName(short, AcDbBlockReference&) override {}
    void vertices(AcDbPolyline& pl) override
    {
        for (unsigned int i = 0; finite && i < pl.numVerts(); ++i) {
            AcGePoint2d p;
            double bulge = 0.0, sw = 0.0, ew = 0.0;
            pl.getPointAt(i, p);
            pl.getBulgeAt(i, bulge);
            pl.getWidthsAt(i, sw, ew);
            finite = acdbIsFinite(p) && acdbIsFinite(bulge) && acdbIsFinite(sw) && acdbIsFinite(ew);
        }
    }
};

bool isFinite(const AcGeMatrix3d& m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!std::isfinite(m(r, c)))
                return false;
    return true;
}

// Applies a transformation to an entity unless the matrix or the result
// holds a number that is not finite; then the entity is left as it was.
template <class Apply>
Acad::ErrorStatus transformFinite(AcDbEntity& e, const AcGeMatrix3d& m, Apply apply)
{
    if (!isFinite(m))
        return Acad::eInvalidInput;
    const std::unique_ptr<AcDbObject> before = e.cloneObject();
    const Acad::ErrorStatus es = apply();
    if (es == Acad::eOk && !acdbHasFiniteFields(e)) {
        e.swapData(*before);
        return Acad::eInvalidInput;
    }
    return es;
}

} // namespace

bool acdbHasFiniteFields(AcDbObject& object)
{
    FiniteCheck check;
    AcDbInternals::describeFields(object, check);
    return check.finite;
}

AcDbSharedName AcDbEntity::layerZero()
{
    static const AcDbSharedName name("0");
    return name;
}

AcDbSharedName AcDbEntity::byLayer()
{
    static const AcDbSharedName name("ByLayer");
    return name;
}

void AcDbEntity::describeFields(AcDbDxfFields& f)
{
    f.subclass("AcDbEntity");
    f.name(8, m_layer);
    f.name(6, m_linetype, "ByLayer");
    f.integer(62, m_color, AcDb::kColorByLayer);
}

void AcDbLine::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbLine");
    f.real(39, m_thickness, 0.0);
    f.point(10, m_start);
    f.point(11, m_end);
    f.normal(210, m_normal);
}

namespace {

// The AcDbCircle subclass, which arcs write before their own.
void describeCircleFields(AcDbDxfFields& f, double& thickness, AcGePoint3d& center, double& radius,
                          AcGeVector3d& normal)
{
    f.subclass("AcDbCircle");
    f.real(39, thickness, 0.0);
    f.point(10, center);
    f.real(40, radius, 0.0, true);
    f.normal(210, normal);
}

} // namespace

void AcDbCircle::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    describeCircleFields(f, m_thickness, m_center, m_radius, m_normal);
}

void AcDbArc::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    describeCircleFields(f, m_thickness, m_center, m_radius, m_normal);
    f.subclass("AcDbArc");
    f.angle(50, m_startAngle, true);
    f.angle(51, m_endAngle, true);
}

void AcDbPoint::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbPoint");
    f.point(10, m_position);
    f.real(39, m_thickness, 0.0);
    f.normal(210, m_normal);
    f.angle(50, m_ecsRotation);
}

void AcDbSolid::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbTrace");
    f.point(10, m_points[0]);
    f.point(11, m_points[1]);
    f.point(12, m_points[2]);
    f.point(13, m_points[3]);
    f.real(39, m_thickness, 0.0);
    f.normal(210, m_normal);
}

void AcDbText::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbText");
    f.real(39, m_thickness, 0.0);
    f.point(10, m_position);
    f.real(40, m_height, 0.0, true);
    f.text(1, m_text);
    f.angle(50, m_rotation);
    f.real(41, m_widthFactor, 1.0);
    f.angle(51, m_oblique);
    f.text(7, m_style, "Standard");
    f.integer(71, m_mirror, 0);
    f.integer(72, m_horz, 0);
    // The second alignment point matters only for justified text; it is kept
    // when a file gave it.
    if (f.isReading() || !isDefaultAlignment() || m_alignment != AcGePoint3d::kOrigin)
        f.point(11, m_alignment);
    f.normal(210, m_normal);
    f.subclass("AcDbText");
    f.integer(73, m_vert, 0);
}

void AcDbPolyline::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbPolyline");
    // The vertex count is written from the vertices; a reader takes it
    // through vertices() as a size hint.
    if (!f.isReading()) {
        int count = static_cast<int>(m_points.size());
        f.integer(90, count, 0, true);
    }
    f.integer(70, m_flags, 0, true);
    if (f.isReading() || m_widths.empty())
        f.real(43, m_constWidth, 0.0);
    f.real(38, m_elevation, 0.0);
    f.real(39, m_thickness, 0.0);
    f.vertices(*this);
    f.normal(210, m_normal);
}

void AcDbBlockReference::describePlacement(AcDbDxfFields& f)
{
    f.blockName(2, *this);
    f.point(10, m_position);
    f.real(41, m_scale.sx, 1.0);
    f.real(42, m_scale.sy, 1.0);
    f.real(43, m_scale.sz, 1.0);
    f.angle(50, m_rotation);
}

void AcDbBlockReference::describeNormal(AcDbDxfFields& f)
{
    f.normal(210, m_normal);
}

void AcDbBlockReference::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbBlockReference");
    describePlacement(f);
    describeNormal(f);
}

void AcDbMInsertBlock::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbMInsertBlock");
    describePlacement(f);
    f.integer(70, m_columns, 1);
    f.integer(71, m_rows, 1);
    f.real(44, m_columnSpacing, 0.0);
    f.real(45, m_rowSpacing, 0.0);
    describeNormal(f);
}

void AcDbRawObject::describeFields(AcDbDxfFields&) {}

void AcDbSymbolTableRecord::describeRecordHead(AcDbDxfFields& f)
{
    f.subclass("AcDbSymbolTableRecord");
    f.subclass(m_marker.c_str());
    f.text(2, m_name);
}

void AcDbSymbolTableRecord::describeFields(AcDbDxfFields& f)
{
    describeRecordHead(f);
    f.integer(70, m_flags, 0, true);
}

void AcDbLayerTableRecord::describeFields(AcDbDxfFields& f)
{
    describeRecordHead(f);
    f.integer(70, m_flags, 0, true);
    f.integer(62, m_color, 7, true);
    f.text(6, m_linetype);
}

void AcDbLinetypeTableRecord::describeFields(AcDbDxfFields& f)
{
    describeRecordHead(f);
    f.integer(70, m_flags, 0, true);
    f.text(3, m_description);
}

void AcDbBlockTableRecord::describeFields(AcDbDxfFields& f)
{
    // The block's flags live on its BLOCK entity; 70 here is its units.
    describeRecordHead(f);
}

void AcDbBlockBegin::describeFields(AcDbDxfFields& f)
{
    if (!f.isReading() && m_record) {
        name = m_record->name();
        base = m_record->origin();
        flags = m_record->blockFlags();
    }
    m_name2 = name;
    AcDbEntity::describeFields(f);
    f.subclass("AcDbBlockBegin");
    f.text(2, name);
    f.integer(70, flags, 0, true);
    f.point(10, base);
    f.text(3, m_name2);
}

void AcDbBlockEnd::describeFields(AcDbDxfFields& f)
{
    AcDbEntity::describeFields(f);
    f.subclass("AcDbBlockEnd");
}

void AcDbSymbolTable::describeFields(AcDbDxfFields& f)
{
    f.subclass("AcDbSymbolTable");
    if (!f.isReading()) {
        int count = static_cast<int>(m_records.size());
        f.integer(70, count, 0, true);
    }
}

// ---------------------------------------------------------------- setters

Acad::ErrorStatus AcDbEntity::setColorIndex(int color)
{
    if (color < 0 || color > 257)
        return Acad::eInvalidInput;
    m_color = color;
    return Acad::eOk;
}

void AcDbEntity::setDatabaseDefaults(const AcDbDatabase* db)
{
    if (!db)
        return;
    const std::string layer = db->headerString("$CLAYER");
    if (!layer.empty())
        m_layer = AcDbSharedName(layer);
    const std::string lt = db->headerString("$CELTYPE");
    if (!lt.empty())
        m_linetype = AcDbSharedName(lt);
    const std::string color = db->headerString("$CECOLOR");
    if (!color.empty()) {
        const int c = std::atoi(color.c_str());
        if (c >= 0 && c <= 256)
            m_color = c;
    }
}

static const AcDbDatabase* databaseFor(const AcDbEntity* e)
{
    if (e->database())
        return e->database();
    return acdbHostApplicationServices()->workingDatabase();
}

Acad::ErrorStatus AcDbEntity::setLayer(const ACHAR* name)
{
    if (!name || !*name)
        return Acad::eInvalidInput;
    std::string n = wideToUtf8(name);
    if (const AcDbDatabase* db = databaseFor(this)) {
        AcDbSymbolTable* t = db->table("LAYER");
        AcDbObjectId id = t ? t->getAt(n) : AcDbObjectId();
        if (id.isNull())
            return Acad::eKeyNotFound;
        AcDbSymbolTableRecord* rec = static_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(id)->object.get());
        n = rec->name();
    }
    m_layer = AcDbSharedName(n);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLinetype(const ACHAR* name)
{
    if (!name || !*name)
        return Acad::eInvalidInput;
    std::string n = wideToUtf8(name);
    if (const AcDbDatabase* db = databaseFor(this)) {
        AcDbSymbolTable* t = db->table("LTYPE");
        AcDbObjectId id = t ? t->getAt(n) : AcDbObjectId();
        if (id.isNull())
            return Acad::eKeyNotFound;
        n = static_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(id)->object.get())->name();
    }
    m_linetype = AcDbSharedName(n);
    return Acad::eOk;
}

// Sets a length that must be positive.
static Acad::ErrorStatus setPositive(double& field, double value)
{
    if (!(value > 0.0) || !acdbIsFinite(value))
        return Acad::eInvalidInput;
    field = value;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::setRadius(double r)
{
    return setPositive(m_radius, r);
}

Acad::ErrorStatus AcDbArc::setRadius(double r)
{
    return setPositive(m_radius, r);
}

Acad::ErrorStatus AcDbSolid::getPointAt(int index, AcGePoint3d& p) const
{
    if (index < 0 || index > 3)
        return Acad::eInvalidIndex;
    p = m_points[index];
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::setPointAt(int index, const AcGePoint3d& p)
{
    if (index < 0 || index > 3)
        return Acad::eInvalidIndex;
    return acdbSetFinite(m_points[index], p);
}

AcDbText::AcDbText(const AcGePoint3d& position, const ACHAR* text, double height, double rotation)
    : m_position(position), m_alignment(position), m_height(height), m_rotation(rotation),
      m_text(wideToUtf8(text ? text : L""))
{
}

Acad::ErrorStatus AcDbText::setHeight(double h)
{
    return setPositive(m_height, h);
}

Acad::ErrorStatus AcDbText::setWidthFactor(double w)
{
    return setPositive(m_widthFactor, w);
}

Acad::ErrorStatus AcDbText::setTextString(const ACHAR* text)
{
    if (!text)
        return Acad::eInvalidInput;
    m_text = wideToUtf8(text);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::setBlockTableRecord(AcDbObjectId id)
{
    if (id.isNull())
        return Acad::eNullObjectId;
    const AcDbObject* o = AcDbInternals::stub(id)->object.get();
    if (!o || typeid(*o) != typeid(AcDbBlockTableRecord))
        return Acad::eWrongObjectType;
    m_block = id;
    m_blockName.clear();
    return Acad::eOk;
}

std::string AcDbBlockReference::blockName() const
{
    // Written for every reference when saving: a type test without the
    // cost of dynamic_cast across libraries.
    if (!m_block.isNull())
        if (const AcDbObject* o = AcDbInternals::stub(m_block)->object.get(); o && typeid(*o) == typeid(AcDbBlockTableRecord))
            return static_cast<const AcDbBlockTableRecord*>(o)->name();
    return m_blockName;
}

Acad::ErrorStatus AcDbBlockReference::setScaleFactors(const AcGeScale3d& s)
{
    if (s.sx == 0.0 || s.sy == 0.0 || s.sz == 0.0 || !acdbIsFinite(AcGePoint3d(s.sx, s.sy, s.sz)))
        return Acad::eInvalidInput;
    m_scale = s;
    return Acad::eOk;
}

AcGeMatrix3d AcDbBlockReference::blockTransform() const
{
    return transformAt(m_position);
}

AcGeMatrix3d AcDbBlockReference::copyTransform(long long) const
{
    return blockTransform();
}

AcGeMatrix3d AcDbBlockReference::transformAt(const AcGePoint3d& position) const
{
    AcGePoint3d base;
    if (!m_block.isNull())
        if (auto* r = dynamic_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(m_block)->object.get()))
            base = r->origin();
    AcGeMatrix3d m = AcGeMatrix3d::translation(position.asVector())
                   * AcGeMatrix3d::rotation(m_rotation, AcGeVector3d::kZAxis)
                   * AcGeMatrix3d::scaling(m_scale.sx, m_scale.sy, m_scale.sz)
                   * AcGeMatrix3d::translation(-base.asVector());
    // Position and rotation are in the object coordinate system.
    if (!(m_normal.x == 0.0 && m_normal.y == 0.0 && m_normal.z > 0.0))
        m = acgeOcsMatrix(m_normal) * m;
    return m;
}

// ---------------------------------------------------------------- multiple insert

Acad::ErrorStatus AcDbMInsertBlock::setColumns(int n)
{
    if (n < 1 || n > 32767)
        return Acad::eInvalidInput;
    m_columns = n;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbMInsertBlock::setRows(int n)
{
    if (n < 1 || n > 32767)
        return Acad::eInvalidInput;
    m_rows = n;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbMInsertBlock::setColumnSpacing(double d)
{
    if (!std::isfinite(d))
        return Acad::eInvalidInput;
    m_columnSpacing = d;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbMInsertBlock::setRowSpacing(double d)
{
    if (!std::isfinite(d))
        return Acad::eInvalidInput;
    m_rowSpacing = d;
    return Acad::eOk;
}

long long AcDbMInsertBlock::copyCount() const
{
    return static_cast<long long>(std::max(m_columns, 1)) * std::max(m_rows, 1);
}

AcGeVector3d AcDbMInsertBlock::copyOffset(long long index) const
{
    const long long columns = std::max(m_columns, 1);
    const double u = static_cast<double>(index % columns) * m_columnSpacing;
    const double v = static_cast<double>(index / columns) * m_rowSpacing;
    const double c = std::cos(rotation()), s = std::sin(rotation());
    return AcGeVector3d(u * c - v * s, u * s + v * c, 0.0);
}

AcGeMatrix3d AcDbMInsertBlock::copyTransform(long long index) const
{
    assert(index >= 0 && index < copyCount());
    return transformAt(position() + copyOffset(index));
}

Acad::ErrorStatus AcDbMInsertBlock::getGeomExtents(AcDbExtents& ext) const
{
    const Acad::ErrorStatus es = AcDbBlockReference::getGeomExtents(ext);
    if (es != Acad::eOk || copyCount() == 1)
        return es;
    // Copies differ from the first by a shift that grows linearly with row
    // and column: the corner copies bound them all.
    const AcGeMatrix3d first = blockTransform();
    const long long columns = std::max(m_columns, 1), last = copyCount() - 1;
    AcDbExtents all = ext;
    for (long long corner : {columns - 1, last - (columns - 1), last}) {
        const AcGeMatrix3d m = copyTransform(corner);
        const AcGeVector3d shift(m(0, 3) - first(0, 3), m(1, 3) - first(1, 3), m(2, 3) - first(2, 3));
        all.addPoint(ext.minPoint() + shift);
        all.addPoint(ext.maxPoint() + shift);
    }
    ext = all;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbMInsertBlock::transformBy(const AcGeMatrix3d& m)
{
    // The grid's axes turn, scale and mirror with the reference: each
    // spacing becomes the length of its transformed step measured along the
    // new axis.
    const double c0 = std::cos(rotation()), s0 = std::sin(rotation());
    const AcGeVector3d columnStep(m_columnSpacing * c0, m_columnSpacing * s0, 0.0);
    const AcGeVector3d rowStep(-m_rowSpacing * s0, m_rowSpacing * c0, 0.0);
    const Acad::ErrorStatus es = AcDbBlockReference::transformBy(m);
    if (es != Acad::eOk)
        return es;
    auto linear = [&](const AcGeVector3d& v) {
        return AcGeVector3d(m(0, 0) * v.x + m(0, 1) * v.y, m(1, 0) * v.x + m(1, 1) * v.y, 0.0);
    };
    const double c1 = std::cos(rotation()), s1 = std::sin(rotation());
    const AcGeVector3d column = linear(columnStep), row = linear(rowStep);
    m_columnSpacing = column.x * c1 + column.y * s1;
    m_rowSpacing = -row.x * s1 + row.y * c1;
    return Acad::eOk;
}

// ---------------------------------------------------------------- polyline

void AcDbPolyline::ensureWidths()
{
    if (m_widths.empty())
        m_widths.assign(m_points.size(), {m_constWidth, m_constWidth});
}

void AcDbPolyline::setRawBulge(unsigned int index, double b)
{
    if (index >= m_points.size())
        return;
    if (m_bulges.empty()) {
        if (b == 0.0)
            return;
        m_bulges.assign(m_points.size(), 0.0);
    }
    m_bulges.resize(m_points.size(), 0.0);
    m_bulges[index] = b;
}

void AcDbPolyline::setRawWidth(unsigned int index, bool end, double w)
{
    if (index >= m_points.size())
        return;
    ensureWidths();
    m_widths.resize(m_points.size(), {m_constWidth, m_constWidth});
    (end ? m_widths[index].second : m_widths[index].first) = w;
}

Acad::ErrorStatus AcDbPolyline::addVertexAt(unsigned int index, const AcGePoint2d& pt, double bulge, double sw,
                                            double ew)
{
    if (index > m_points.size())
        return Acad::eInvalidIndex;
    if (!acdbIsFinite(pt) || !acdbIsFinite(bulge) || !acdbIsFinite(sw) || !acdbIsFinite(ew))
        return Acad::eInvalidInput;
    m_points.insert(m_points.begin() + index, pt);
    if (!m_bulges.empty() || bulge != 0.0) {
        m_bulges.resize(m_points.size() - 1, 0.0);
        m_bulges.insert(m_bulges.begin() + index, bulge);
    }
    const bool hasWidth = sw >= 0.0 || ew >= 0.0;
    if (!m_widths.empty() || (hasWidth && !(sw == m_constWidth && ew == m_constWidth))) {
        m_widths.resize(m_points.size() - 1, {m_constWidth, m_constWidth});
        m_widths.insert(m_widths.begin() + index,
                        {sw >= 0.0 ? sw : m_constWidth, ew >= 0.0 ? ew : m_constWidth});
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::removeVertexAt(unsigned int index)
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    m_points.erase(m_points.begin() + index);
    if (!m_bulges.empty())
        m_bulges.erase(m_bulges.begin() + index);
    if (!m_widths.empty())
        m_widths.erase(m_widths.begin() + index);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint2d& pt) const
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    pt = m_points[index];
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint3d& pt) const
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    pt = ocsToWcs(AcGePoint3d(m_points[index].x, m_points[index].y, m_elevation), m_normal);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setPointAt(unsigned int index, const AcGePoint2d& pt)
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    return acdbSetFinite(m_points[index], pt);
}

Acad::ErrorStatus AcDbPolyline::getBulgeAt(unsigned int index, double& bulge) const
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    bulge = index < m_bulges.size() ? m_bulges[index] : 0.0;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setBulgeAt(unsigned int index, double bulge)
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    if (!acdbIsFinite(bulge))
        return Acad::eInvalidInput;
    setRawBulge(index, bulge);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getWidthsAt(unsigned int index, double& sw, double& ew) const
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    if (index < m_widths.size()) {
        sw = m_widths[index].first;
        ew = m_widths[index].second;
    } else {
        sw = ew = m_constWidth;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setWidthsAt(unsigned int index, double sw, double ew)
{
    if (index >= m_points.size())
        return Acad::eInvalidIndex;
    if (!(sw >= 0.0) || !(ew >= 0.0) || !acdbIsFinite(sw) || !acdbIsFinite(ew))
        return Acad::eInvalidInput;
    setRawWidth(index, false, sw);
    setRawWidth(index, true, ew);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getConstantWidth(double& width) const
{
    if (m_widths.empty()) {
        width = m_constWidth;
        return Acad::eOk;
    }
    const double w = m_widths.front().first;
    for (const auto& p : m_widths)
        if (p.first != w || p.second != w)
            return Acad::eInvalidInput;
    width = w;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setConstantWidth(double width)
{
    if (!(width >= 0.0) || !acdbIsFinite(width))
        return Acad::eInvalidInput;
    m_widths.clear();
    m_constWidth = width;
    return Acad::eOk;
}

// ---------------------------------------------------------------- extents

Acad::ErrorStatus AcDbEntity::getGeomExtents(AcDbExtents&) const
{
    return Acad::eNotApplicable;
}

Acad::ErrorStatus AcDbEntity::transformBy(const AcGeMatrix3d&)
{
    return Acad::eNotApplicable;
}

Acad::ErrorStatus AcDbLine::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    ext.addPoint(m_start);
    ext.addPoint(m_end);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    addArcExtents(ext, m_center, m_radius, 0.0, 2 * kPi, m_normal);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    addArcExtents(ext, m_center, m_radius, m_startAngle, m_endAngle, m_normal);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPoint::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    ext.addPoint(m_position);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    for (const auto& p : m_points)
        ext.addPoint(ocsToWcs(p, m_normal));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbText::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    const TextLayout t = layoutText(*this);
    const double c = std::cos(t.rotation), s = std::sin(t.rotation);
    for (int i = 0; i < 4; ++i) {
        const double lx = (i & 1) ? t.width : 0.0;
        const double ly = (i & 2) ? t.height : -t.descent;
        ext.addPoint(AcGePoint3d(t.origin.x + lx * c - ly * s, t.origin.y + lx * s + ly * c, t.origin.z));
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    if (m_points.empty())
        return Acad::eInvalidExtents;
    const std::size_t n = m_points.size();
    for (std::size_t i = 0; i < n; ++i) {
        const AcGePoint2d& a = m_points[i];
        ext.addPoint(ocsToWcs(AcGePoint3d(a.x, a.y, m_elevation), m_normal));
        if ((i + 1 == n && !isClosed()) || i >= m_bulges.size())
            continue;
        AcGeBulgeArc arc;
        if (!acgeBulgeArc(a, m_points[(i + 1) % n], m_bulges[i], arc))
            continue;
        addArcExtents(ext, AcGePoint3d(arc.center.x, arc.center.y, m_elevation), arc.radius, arc.ccwStartAngle(),
                      arc.ccwEndAngle(), m_normal);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::getGeomExtents(AcDbExtents& ext) const
{
    ext = AcDbExtents();
    if (m_block.isNull() || !AcDbInternals::stub(m_block)->inDatabase)
        return Acad::eInvalidExtents;
    auto* rec = dynamic_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(m_block)->object.get());
    if (!rec || t_blockDepth >= kMaxBlockNesting)
        return Acad::eInvalidExtents;
    // A block that contains itself contributes what it has besides itself.
    if (std::find(t_blockStack.begin(), t_blockStack.end(), rec) != t_blockStack.end())
        return Acad::eInvalidExtents;
    if (t_blockDepth == 0)
        t_blockVisits = 0;
    if (t_blockVisits > kMaxBlockVisits)
        return Acad::eInvalidExtents;
    t_blockStack.push_back(rec);
    ++t_blockDepth;
    const AcGeMatrix3d m = blockTransform();
    for (const AcDbObjectId& id : rec->entityIds()) {
        if (!AcDbInternals::stub(id)->inDatabase || ++t_blockVisits > kMaxBlockVisits)
            continue;
        auto* e = static_cast<AcDbEntity*>(AcDbInternals::stub(id)->object.get());
        if (e->isErased())
            continue;
        AcDbExtents sub;
        if (e->getGeomExtents(sub) != Acad::eOk || !sub.isValid())
            continue;
        sub.transformBy(m);
        ext.addExt(sub);
    }
    --t_blockDepth;
    t_blockStack.pop_back();
    return ext.isValid() ? Acad::eOk : Acad::eInvalidExtents;
}

// ---------------------------------------------------------------- transforms

Acad::ErrorStatus AcDbLine::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        m_start.transformBy(m);
        m_end.transformBy(m);
        return Acad::eOk;
    });
}

Acad::ErrorStatus AcDbCircle::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        if (!isUniform(m))
            return Acad::eCannotScaleNonUniformly;
        m_center.transformBy(m);
        m_radius *= decompose(m).uniform;
        return Acad::eOk;
    });
}

Acad::ErrorStatus AcDbArc::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        if (!isUniform(m))
            return Acad::eCannotScaleNonUniformly;
        AcGePoint3d s(m_center.x + m_radius * std::cos(m_startAngle), m_center.y + m_radius * std::sin(m_startAngle),
                      m_center.z);
        AcGePoint3d e(m_center.x + m_radius * std::cos(m_endAngle), m_center.y + m_radius * std::sin(m_endAngle),
                      m_center.z);
        m_center.transformBy(m);
        s.transformBy(m);
        e.transformBy(m);
        m_radius *= decompose(m).uniform;
        double a0 = normalizeAngle(std::atan2(s.y - m_center.y, s.x - m_center.x));
        double a1 = normalizeAngle(std::atan2(e.y - m_center.y, e.x - m_center.x));
        if (decompose(m).mirrored)
            std::swap(a0, a1);
        m_startAngle = a0;
        m_endAngle = a1;
        return Acad::eOk;
    });
}

Acad::ErrorStatus AcDbPoint::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        m_position.transformBy(m);
        return Acad::eOk;
    });
}

Acad::ErrorStatus AcDbSolid::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        for (auto& p : m_points)
            p.transformBy(m);
        return Acad::eOk;
    });
}

Acad::ErrorStatus AcDbText::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        const Planar p = decompose(m);
        m_position.transformBy(m);
        m_alignment.transformBy(m);
        m_height *= std::fabs(p.sy);
        if (std::fabs(p.sx) != std::fabs(p.sy) && p.sy != 0.0)
            m_widthFactor *= std::fabs(p.sx) / std::fabs(p.sy);
        m_rotation = normalizeAngle(m_rotation + p.rotation);
        if (p.mirrored)
            m_mirror ^= 2;
        return Acad::eOk;
    });
}

Acad::ErrorStatus AcDbPolyline::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        const Planar p = decompose(m);
        for (auto& pt : m_points) {
            AcGePoint3d q(pt.x, pt.y, m_elevation);
            q.transformBy(m);
            pt = AcGePoint2d(q.x, q.y);
        }
        if (p.mirrored)
            for (double& b : m_bulges)
                b = -b;
        const double s = p.uniform;
        m_constWidth *= s;
        for (auto& w : m_widths) {
            w.first *= s;
            w.second *= s;
        }
        return Acad::eOk;
    });
}

Acad::ErrorStatus AcDbBlockReference::transformBy(const AcGeMatrix3d& m)
{
    return transformFinite(*this, m, [&] {
        // Compose with the current placement and read the result back as
        // position, rotation and scale.
        AcGeMatrix3d placement = AcGeMatrix3d::rotation(m_rotation, AcGeVector3d::kZAxis)
                               * AcGeMatrix3d::scaling(m_scale.sx, m_scale.sy, m_scale.sz);
        AcGeMatrix3d linear = m;
        linear(0, 3) = linear(1, 3) = linear(2, 3) = 0.0;
        const AcGeMatrix3d total = linear * placement;
        const double dot = total(0, 0) * total(0, 1) + total(1, 0) * total(1, 1);
        const double lx = std::hypot(total(0, 0), total(1, 0)), ly = std::hypot(total(0, 1), total(1, 1));
        if (std::fabs(dot) > 1e-9 * std::max(1.0, lx * ly))
            return Acad::eCannotScaleNonUniformly;
        const Planar p = decompose(total);
        m_position.transformBy(m);
        m_rotation = p.rotation;
        m_scale.sx = p.sx;
        m_scale.sy = p.sy;
        m_scale.sz *= m(2, 2);
        return Acad::eOk;
    });
}
