// The drawing database of the host: object ids, objects and entities,
// symbol tables, block definitions and the database itself.
//
// Ownership: a database owns every object in it through the object's stub;
// an id stays valid (and keeps naming the same object) for the database's
// life, even when the object is erased or its addition is undone.
// Strings are stored as UTF-8; the ObjectARX-style accessors take and give
// wide strings.
#pragma once

#include "host/acge.h"
#include "host/adsdefs.h"

#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace Acad {
enum ErrorStatus {
    eOk = 0,
    eNotImplementedYet,
    eNotApplicable,
    eInvalidInput,
    eNullObjectId,
    eKeyNotFound,
    eDuplicateKey,
    eWasErased,
    eNotOpenForWrite,
    eWrongObjectType,
    eInvalidIndex,
    eRegappIdNotFound,
    eCannotScaleNonUniformly,
    eFileNotFound,
    eFileAccessErr,
    eBadDxfFile,
    eNotThatKindOfFile,
    eDwgNeedsRecovery,
    eNoDatabase,
    eXdataSizeExceeded,
    eAlreadyInDb,
    eInvalidXdata,
    eInvalidExtents,
};
}

namespace AcDb {
enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };
enum TextHorzMode { kTextLeft = 0, kTextCenter = 1, kTextRight = 2, kTextAlign = 3, kTextMid = 4, kTextFit = 5 };
enum TextVertMode { kTextBase = 0, kTextBottom = 1, kTextVertMid = 2, kTextTop = 3 };
constexpr int kColorByBlock = 0;
constexpr int kColorByLayer = 256;
}

class AcDbDatabase;
class AcDbObject;
class AcDbEntity;
class AcDbDxfFields;

// Entities hold finite numbers only: the setters that take coordinates,
// lengths, angles or scales refuse others with eInvalidInput (and change
// nothing), transformBy refuses a matrix that would take the entity there,
// and a block table record refuses to append an entity that holds one
// (acdbHasFiniteFields).
inline bool acdbIsFinite(double v)
{
    return std::isfinite(v);
}
inline bool acdbIsFinite(const AcGePoint3d& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}
inline bool acdbIsFinite(const AcGePoint2d& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}
// Sets field to value when value is finite.
template <class T>
Acad::ErrorStatus acdbSetFinite(T& field, const T& value)
{
    if (!acdbIsFinite(value))
        return Acad::eInvalidInput;
    field = value;
    return Acad::eOk;
}
// Whether every number among the object's fields (those it describes for
// files) is finite.
bool acdbHasFiniteFields(AcDbObject& object);
class AcDbBlockTableRecord;
// The host's record behind an id and the host's way to its internals
// (host/dbinternal.h): neither is part of this interface.
struct AcDbStub;
class AcDbInternals;

class AcDbObjectId {
public:
    AcDbObjectId() = default;
    explicit AcDbObjectId(AcDbStub* stub) : m_stub(stub) {}
    static const AcDbObjectId kNull;

    bool isNull() const { return m_stub == nullptr; }
    // True when the id names an object that is in its database now (its
    // addition not undone); erased objects are still valid.
    bool isValid() const;
    bool isErased() const;
    AcDbDatabase* database() const;
    std::uint64_t handle() const;

    bool operator==(const AcDbObjectId& o) const { return m_stub == o.m_stub; }
    bool operator!=(const AcDbObjectId& o) const { return m_stub != o.m_stub; }
    // Orders by database, then handle: stable across runs.
    bool operator<(const AcDbObjectId& o) const;

private:
    friend class AcDbInternals;
    friend struct std::hash<AcDbObjectId>;
    AcDbStub* stub() const { return m_stub; }
    AcDbStub* m_stub = nullptr;
};

// Ids as keys of unordered containers (equal ids, equal hashes).
template <>
struct std::hash<AcDbObjectId> {
    std::size_t operator()(const AcDbObjectId& id) const noexcept { return std::hash<const void*>()(id.stub()); }
};

class AcDbObjectIdArray : public std::vector<AcDbObjectId> {
public:
    using std::vector<AcDbObjectId>::vector;
    int length() const { return static_cast<int>(size()); }
    int logicalLength() const { return length(); }
    AcDbObjectIdArray& append(const AcDbObjectId& id) { push_back(id); return *this; }
    bool contains(const AcDbObjectId& id) const;
    bool find(const AcDbObjectId& id, int& index) const;
    AcDbObjectIdArray& removeAt(int index) { erase(begin() + index); return *this; }
    AcDbObjectIdArray& setLogicalLength(int n) { resize(static_cast<std::size_t>(n)); return *this; }
    bool isEmpty() const { return empty(); }
};

// One DXF group: code and value as text (UTF-8).
struct AcDbDxfTag {
    short code = 0;
    std::string value;
    bool operator==(const AcDbDxfTag&) const = default;
};
using AcDbDxfTags = std::vector<AcDbDxfTag>;

// A tag of a known object that the host does not model, kept in place: it
// is written again after the known fields of the subclass it followed
// (slot 0: before the first subclass marker, where application data lives).
struct AcDbExtraTag {
    std::uint8_t slot = 0;
    short code = 0;
    std::string value;
    bool operator==(const AcDbExtraTag&) const = default;
};

// Extended data: one group per application, items in order.
struct AcDbXItem {
    short code = 0;
    // std::string for 1000-1005 (1004 holds the raw bytes), double for
    // 1040-1042, int for 1070/1071, point for 1010-1013.
    std::variant<std::string, double, std::int32_t, AcGePoint3d> value;
    bool operator==(const AcDbXItem&) const = default;
};
// One application's items, to build extended data with (AcDbXData::assign).
struct AcDbXAppData {
    std::string app;
    std::vector<AcDbXItem> items;
    bool operator==(const AcDbXAppData&) const = default;
};
struct AcDbXGroup;

// An object's extended data, packed: every application's items in one
// buffer, nothing allocated when there are none. The buffer is a run of
// records, each a 16-bit group code and its value: 1001 (an application
// name, possibly without items, as files may have it) and the texts (1000, 1002-1005; 1004 its raw bytes) as a 32-bit
// length and the bytes, reals 8 bytes, 1070/1071 4 bytes, points 24. The
// first record names an application and no application is named twice.
// Iterating gives AcDbXGroup views into the buffer, valid while the data
// is not changed.
class AcDbXData {
public:
    // One item in the buffer.
    class Item {
    public:
        explicit Item(const char* p) : m_p(p) {}
        short code() const;
        // The text of 1000-1009 (1004: the raw bytes); empty for others.
        std::string_view text() const;
        double real() const;
        std::int32_t integer() const;
        AcGePoint3d point() const;
        // An owning copy.
        AcDbXItem item() const;
        operator AcDbXItem() const { return item(); }

    private:
        const char* m_p;
    };
    // The items of one application.
    class Items {
    public:
        class iterator {
        public:
            using value_type = Item;
            using difference_type = std::ptrdiff_t;
            iterator() = default;
            explicit iterator(const char* p, const char* end) : m_p(p), m_end(end) {}
            Item operator*() const { return Item(m_p); }
            iterator& operator++();
            iterator operator++(int)
            {
                iterator old = *this;
                ++*this;
                return old;
            }
            bool operator==(const iterator& o) const { return m_p == o.m_p; }

        private:
            const char* m_p = nullptr;
            const char* m_end = nullptr;
        };
        Items() = default;
        Items(const char* begin, const char* end) : m_begin(begin), m_end(end) {}
        iterator begin() const { return iterator(m_begin, m_end); }
        iterator end() const { return iterator(m_end, m_end); }
        bool empty() const { return m_begin == m_end; }
        std::size_t size() const;

    private:
        const char* m_begin = nullptr;
        const char* m_end = nullptr;
    };
    class iterator {
    public:
        using value_type = AcDbXGroup;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        explicit iterator(const char* p, const char* end) : m_p(p), m_end(end) {}
        AcDbXGroup operator*() const;
        iterator& operator++();
        iterator operator++(int)
        {
            iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const iterator& o) const { return m_p == o.m_p; }

    private:
        const char* m_p = nullptr;
        const char* m_end = nullptr;
    };

    AcDbXData() = default;
    AcDbXData(const AcDbXData& o);
    AcDbXData(AcDbXData&& o) noexcept : m_data(o.m_data) { o.m_data = nullptr; }
    AcDbXData& operator=(const AcDbXData& o);
    AcDbXData& operator=(AcDbXData&& o) noexcept;
    ~AcDbXData() { delete[] m_data; }
    bool operator==(const AcDbXData& o) const { return bytes() == o.bytes(); }

    iterator begin() const { return iterator(body(), body() + bodySize()); }
    iterator end() const { return iterator(body() + bodySize(), body() + bodySize()); }
    bool empty() const { return m_data == nullptr; }
    // Applications with data.
    std::size_t size() const;
    void clear();
    // Replaces the data (a repeated application continues its first group).
    void assign(const std::vector<AcDbXAppData>& groups);
    std::vector<AcDbXAppData> unpack() const;
    // The buffer as it is (the records after a 32-bit size), or empty.
    std::string_view bytes() const { return m_data ? std::string_view(m_data, 4 + bodySize()) : std::string_view(); }
    // Takes records made by AcDbXDataBuilder (host internals).
    void adopt(std::string_view records);
    // Bytes of one record's value after its code; 0 for a code that
    // extended data does not hold.
    static std::size_t fixedValueBytes(short code);
    static bool isTextCode(short code) { return code >= 1000 && code <= 1009; }

private:
    const char* body() const { return m_data ? m_data + 4 : nullptr; }
    std::size_t bodySize() const;
    char* m_data = nullptr;
};

// One application's extended data: a view into its object's buffer.
struct AcDbXGroup {
    std::string_view app;
    AcDbXData::Items items;
};

// Builds packed extended data record by record (the file reader's way):
// items go to the application named last; an application named again
// continues its first group. Reusable: finish() leaves it empty.
class AcDbXDataBuilder {
public:
    void app(std::string_view name);
    // Whether an application was named (items need one).
    bool hasApp() const { return !m_groups.empty(); }
    void text(short code, std::string_view value);
    void real(short code, double value);
    void integer(short code, std::int32_t value);
    void point(short code, const AcGePoint3d& p);
    void finish(AcDbXData& out);
    void clear();

private:
    struct Segment {
        std::size_t group, begin, end;
    };
    void startRecord(short code);
    std::string m_buf;
    // Per application: where its name record is in m_buf.
    std::vector<std::pair<std::size_t, std::size_t>> m_groups;
    std::vector<Segment> m_segments;
    std::string m_out;
};

// A name kept once for the whole process, however many objects use it
// (the layer and linetype of entities): copying and comparing are a
// pointer's work, and a drawing of many entities holds each name once.
class AcDbSharedName {
public:
    AcDbSharedName() : m_text(&empty()) {}
    explicit AcDbSharedName(std::string_view text) : m_text(&of(text)) {}
    const std::string& str() const { return *m_text; }
    bool operator==(const AcDbSharedName& o) const { return m_text == o.m_text; }
    // The one copy of text (made on first use; never freed).
    static const std::string& of(std::string_view text);
    // The empty name, found once.
    static const std::string& empty();

private:
    const std::string* m_text;
};

// Base of everything stored in a database.
class AcDbObject {
public:
    AcDbObject() = default;
    virtual ~AcDbObject() = default;

    // The DXF record name ("LINE", "LAYER", ...).
    virtual std::string dxfName() const = 0;
    // A deep copy without identity (not in any database).
    virtual std::unique_ptr<AcDbObject> cloneObject() const = 0;
    // Exchanges the data (not the identity) with an object of the same
    // kind; undo uses it to put an earlier state back into the same object.
    virtual void swapData(AcDbObject& other) = 0;

    AcDbObjectId objectId() const { return AcDbObjectId(m_stub); }
    AcDbObjectId ownerId() const;
    AcDbDatabase* database() const;
    std::uint64_t handle() const;

    bool isErased() const { return m_erased; }
    // Erases or un-erases; recorded by the database's undo journal.
    Acad::ErrorStatus erase(bool erasing = true);
    bool isWriteEnabled() const { return m_openMode == AcDb::kForWrite; }
    bool isReadEnabled() const { return m_openMode >= 0; }
    Acad::ErrorStatus close();
    Acad::ErrorStatus upgradeOpen();

    // Extended data as a result-buffer chain: one application's data (with
    // its 1001 item first), or every application's when app is null.
    // nullptr when there is none. The caller releases it with acutRelRb.
    resbuf* xData(const ACHAR* app = nullptr) const;
    // Replaces the data of every application named in the chain; an
    // application followed by no items loses its data. Applications must be
    // registered in the database (eRegappIdNotFound otherwise); the chain is
    // checked whole before anything changes.
    Acad::ErrorStatus setXData(const resbuf* xdata);

    // Every application's extended data (iterated as AcDbXGroup views).
    const AcDbXData& xdataGroups() const { return m_xdata; }
    AcDbXData& xdataGroups() { return m_xdata; }
    // Tags the host does not model (AcDbExtraTag); stored only when there
    // are some: the non-const accessor makes the list.
    const std::vector<AcDbExtraTag>& extraTags() const { return m_extra ? *m_extra : kNoExtraTags; }
    std::vector<AcDbExtraTag>& extraTags();
    bool hasExtraTags() const { return m_extra && !m_extra->empty(); }

protected:
    // The file layer's, through AcDbInternals (overrides stay protected):
    // visits the object's DXF fields in file order, once for reading and
    // once for writing: the single description of the object's file form.
    virtual void describeFields(AcDbDxfFields& f);
    // How the file writer frames the object (a cheap test on a hot path).
    enum class FileKind { Object, Entity, RawObject, Table };
    virtual FileKind fileKind() const { return FileKind::Object; }

    // Copies carry the data (extended data, extra tags), never the identity
    // (stub, open mode, erased flag): swapData and cloneObject rely on it.
    AcDbObject(const AcDbObject& o) : m_xdata(o.m_xdata), m_extra(copyExtra(o)) {}
    AcDbObject& operator=(const AcDbObject& o)
    {
        m_xdata = o.m_xdata;
        m_extra = copyExtra(o);
        return *this;
    }

private:
    // Host internals (AcDbInternals): identity and open state.
    friend class AcDbInternals;
    AcDbStub* stub() const { return m_stub; }
    void setStub(AcDbStub* s) { m_stub = s; }
    void setOpenMode(int mode) { m_openMode = mode; }
    void setErasedFlag(bool e) { m_erased = e; }

    AcDbStub* m_stub = nullptr;
    int m_openMode = -1;
    bool m_erased = false;
    AcDbXData m_xdata;
    std::unique_ptr<std::vector<AcDbExtraTag>> m_extra;
    static const std::vector<AcDbExtraTag> kNoExtraTags;
    static std::unique_ptr<std::vector<AcDbExtraTag>> copyExtra(const AcDbObject& o)
    {
        return o.hasExtraTags() ? std::make_unique<std::vector<AcDbExtraTag>>(*o.m_extra) : nullptr;
    }
};

// Boilerplate of every concrete object class: copying (a copy has no
// identity) and data exchange.
#define ACDB_DECLARE_MEMBERS(T)                                                                  \
    std::unique_ptr<AcDbObject> cloneObject() const override                                     \
    {                                                                                            \
        return std::make_unique<T>(*this);                                                       \
    }                                                                                            \
    void swapData(AcDbObject& other) override                                                    \
    {                                                                                            \
        T& o = static_cast<T&>(other);                                                           \
        T tmp(o);                                                                                \
        o = *this;                                                                               \
        *this = tmp;                                                                             \
    }

// An entity: something drawn, owned by a block table record.
class AcDbEntity : public AcDbObject {
public:
    std::wstring layer() const { return utf8ToWide(m_layer.str()); }
    Acad::ErrorStatus setLayer(const ACHAR* name);
    const std::string& layerName() const { return m_layer.str(); }
    void setLayerName(const std::string& name) { m_layer = AcDbSharedName(name); }

    std::wstring linetype() const { return utf8ToWide(m_linetype.str()); }
    Acad::ErrorStatus setLinetype(const ACHAR* name);
    const std::string& linetypeName() const { return m_linetype.str(); }
    void setLinetypeName(const std::string& name) { m_linetype = AcDbSharedName(name); }

    // 0 by block, 1..255 the colour index, 256 by layer.
    int colorIndex() const { return m_color; }
    Acad::ErrorStatus setColorIndex(int color);

    // Layer, colour and linetype from the database's current settings
    // ($CLAYER, $CECOLOR, $CELTYPE).
    void setDatabaseDefaults(const AcDbDatabase* db);

    // The box around the entity in world coordinates.
    virtual Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const;
    virtual Acad::ErrorStatus transformBy(const AcGeMatrix3d& m);

    // Entities that follow this one in a file (attributes and their end
    // marker, vertices of a heavy polyline), kept as read.
    virtual std::vector<AcDbDxfTags>* followers() { return nullptr; }

protected:
    void describeFields(AcDbDxfFields& f) override;
    FileKind fileKind() const override { return FileKind::Entity; }
    AcDbEntity() = default;

private:
    // "0" and "ByLayer", made once.
    static AcDbSharedName layerZero();
    static AcDbSharedName byLayer();
    AcDbSharedName m_layer = layerZero();
    AcDbSharedName m_linetype = byLayer();
    int m_color = AcDb::kColorByLayer;
};

class AcDbLine : public AcDbEntity {
public:
    AcDbLine() = default;
    AcDbLine(const AcGePoint3d& start, const AcGePoint3d& end) : m_start(start), m_end(end) {}
    ACDB_DECLARE_MEMBERS(AcDbLine)
    std::string dxfName() const override { return "LINE"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;

    AcGePoint3d startPoint() const { return m_start; }
    AcGePoint3d endPoint() const { return m_end; }
    Acad::ErrorStatus setStartPoint(const AcGePoint3d& p) { return acdbSetFinite(m_start, p); }
    Acad::ErrorStatus setEndPoint(const AcGePoint3d& p) { return acdbSetFinite(m_end, p); }
    double thickness() const { return m_thickness; }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    AcGePoint3d m_start, m_end;
    double m_thickness = 0.0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
};

class AcDbCircle : public AcDbEntity {
public:
    AcDbCircle() = default;
    AcDbCircle(const AcGePoint3d& c, const AcGeVector3d& n, double r) : m_center(c), m_radius(r), m_normal(n) {}
    ACDB_DECLARE_MEMBERS(AcDbCircle)
    std::string dxfName() const override { return "CIRCLE"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;

    AcGePoint3d center() const { return m_center; }
    double radius() const { return m_radius; }
    Acad::ErrorStatus setCenter(const AcGePoint3d& c) { return acdbSetFinite(m_center, c); }
    Acad::ErrorStatus setRadius(double r);

protected:
    void describeFields(AcDbDxfFields& f) override;
    AcGePoint3d m_center;
    double m_radius = 0.0;
    double m_thickness = 0.0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
};

// Angles in radians, counter-clockwise from start to end.
class AcDbArc : public AcDbEntity {
public:
    AcDbArc() = default;
    AcDbArc(const AcGePoint3d& c, double r, double startAngle, double endAngle)
        : m_center(c), m_radius(r), m_startAngle(startAngle), m_endAngle(endAngle) {}
    ACDB_DECLARE_MEMBERS(AcDbArc)
    std::string dxfName() const override { return "ARC"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;

    AcGePoint3d center() const { return m_center; }
    double radius() const { return m_radius; }
    double startAngle() const { return m_startAngle; }
    double endAngle() const { return m_endAngle; }
    Acad::ErrorStatus setCenter(const AcGePoint3d& c) { return acdbSetFinite(m_center, c); }
    Acad::ErrorStatus setRadius(double r);
    Acad::ErrorStatus setStartAngle(double a) { return acdbSetFinite(m_startAngle, a); }
    Acad::ErrorStatus setEndAngle(double a) { return acdbSetFinite(m_endAngle, a); }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    AcGePoint3d m_center;
    double m_radius = 0.0;
    double m_startAngle = 0.0;
    double m_endAngle = 0.0;
    double m_thickness = 0.0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
};

class AcDbPoint : public AcDbEntity {
public:
    AcDbPoint() = default;
    explicit AcDbPoint(const AcGePoint3d& p) : m_position(p) {}
    ACDB_DECLARE_MEMBERS(AcDbPoint)
    std::string dxfName() const override { return "POINT"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;

    AcGePoint3d position() const { return m_position; }
    Acad::ErrorStatus setPosition(const AcGePoint3d& p) { return acdbSetFinite(m_position, p); }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    AcGePoint3d m_position;
    double m_thickness = 0.0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
    double m_ecsRotation = 0.0;
};

// A filled triangle or quadrilateral; corners in the DXF order 1, 2, 4, 3.
class AcDbSolid : public AcDbEntity {
public:
    AcDbSolid() = default;
    AcDbSolid(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3)
        : m_points{p0, p1, p2, p3} {}
    ACDB_DECLARE_MEMBERS(AcDbSolid)
    std::string dxfName() const override { return "SOLID"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;

    Acad::ErrorStatus getPointAt(int index, AcGePoint3d& p) const;
    Acad::ErrorStatus setPointAt(int index, const AcGePoint3d& p);

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    AcGePoint3d m_points[4];
    double m_thickness = 0.0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
};

class AcDbText : public AcDbEntity {
public:
    AcDbText() = default;
    AcDbText(const AcGePoint3d& position, const ACHAR* text, double height = 0.2, double rotation = 0.0);
    ACDB_DECLARE_MEMBERS(AcDbText)
    std::string dxfName() const override { return "TEXT"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;

    AcGePoint3d position() const { return m_position; }
    AcGePoint3d alignmentPoint() const { return m_alignment; }
    Acad::ErrorStatus setPosition(const AcGePoint3d& p) { return acdbSetFinite(m_position, p); }
    Acad::ErrorStatus setAlignmentPoint(const AcGePoint3d& p) { return acdbSetFinite(m_alignment, p); }
    bool isDefaultAlignment() const { return m_horz == AcDb::kTextLeft && m_vert == AcDb::kTextBase; }
    double height() const { return m_height; }
    Acad::ErrorStatus setHeight(double h);
    double rotation() const { return m_rotation; }
    Acad::ErrorStatus setRotation(double r) { return acdbSetFinite(m_rotation, r); }
    double widthFactor() const { return m_widthFactor; }
    Acad::ErrorStatus setWidthFactor(double w);
    double oblique() const { return m_oblique; }
    std::wstring textString() const { return utf8ToWide(m_text); }
    Acad::ErrorStatus setTextString(const ACHAR* text);
    const std::string& text() const { return m_text; }
    void setText(std::string t) { m_text = std::move(t); }
    const std::string& styleName() const { return m_style; }
    void setStyleName(std::string s) { m_style = std::move(s); }
    AcDb::TextHorzMode horizontalMode() const { return static_cast<AcDb::TextHorzMode>(m_horz); }
    AcDb::TextVertMode verticalMode() const { return static_cast<AcDb::TextVertMode>(m_vert); }
    Acad::ErrorStatus setHorizontalMode(AcDb::TextHorzMode m) { m_horz = m; return Acad::eOk; }
    Acad::ErrorStatus setVerticalMode(AcDb::TextVertMode m) { m_vert = m; return Acad::eOk; }
    bool isMirroredInX() const { return (m_mirror & 2) != 0; }
    bool isMirroredInY() const { return (m_mirror & 4) != 0; }
    // The point that placement is measured from: the position for left and
    // baseline text, the alignment point otherwise.
    AcGePoint3d anchorPoint() const { return isDefaultAlignment() ? m_position : m_alignment; }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    AcGePoint3d m_position;
    AcGePoint3d m_alignment;
    double m_height = 0.2;
    double m_rotation = 0.0;
    double m_widthFactor = 1.0;
    double m_oblique = 0.0;
    double m_thickness = 0.0;
    std::string m_text;
    std::string m_style = "Standard";
    int m_horz = 0;
    int m_vert = 0;
    int m_mirror = 0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
};

// Lightweight polyline: 2D vertices with optional bulges and widths.
class AcDbPolyline : public AcDbEntity {
public:
    AcDbPolyline() = default;
    explicit AcDbPolyline(unsigned int reserve) { m_points.reserve(reserve); }
    ACDB_DECLARE_MEMBERS(AcDbPolyline)
    std::string dxfName() const override { return "LWPOLYLINE"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;

    unsigned int numVerts() const { return static_cast<unsigned int>(m_points.size()); }
    Acad::ErrorStatus addVertexAt(unsigned int index, const AcGePoint2d& pt, double bulge = 0.0,
                                  double startWidth = -1.0, double endWidth = -1.0);
    Acad::ErrorStatus removeVertexAt(unsigned int index);
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint2d& pt) const;
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint3d& pt) const;
    Acad::ErrorStatus setPointAt(unsigned int index, const AcGePoint2d& pt);
    Acad::ErrorStatus getBulgeAt(unsigned int index, double& bulge) const;
    Acad::ErrorStatus setBulgeAt(unsigned int index, double bulge);
    Acad::ErrorStatus getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const;
    Acad::ErrorStatus setWidthsAt(unsigned int index, double startWidth, double endWidth);
    // The constant width when every segment has the same start and end width.
    Acad::ErrorStatus getConstantWidth(double& width) const;
    Acad::ErrorStatus setConstantWidth(double width);
    bool isClosed() const { return (m_flags & 1) != 0; }
    void setClosed(bool closed) { m_flags = closed ? (m_flags | 1) : (m_flags & ~1); }
    double elevation() const { return m_elevation; }
    // A non-finite elevation is ignored.
    void setElevation(double e) { acdbSetFinite(m_elevation, e); }
    bool hasWidth() const { return !m_widths.empty() || m_constWidth != 0.0; }
    bool hasBulges() const { return !m_bulges.empty(); }
    // True when widths are kept per vertex rather than as one constant width.
    bool hasVertexWidths() const { return !m_widths.empty(); }

    // Host internals for the file reader: append a vertex quickly.
    void appendRaw(double x, double y)
    {
        m_points.emplace_back(x, y);
        if (!m_bulges.empty())
            m_bulges.push_back(0.0);
        if (!m_widths.empty())
            m_widths.emplace_back(m_constWidth, m_constWidth);
    }
    void setLastRawY(double y) { m_points.back().y = y; }
    void setRawBulge(unsigned int index, double b);
    void setRawWidth(unsigned int index, bool end, double w);
    void reserveRaw(std::size_t n) { m_points.reserve(n); }
    int flags() const { return m_flags; }
    void setFlags(int f) { m_flags = f; }
    double constWidthField() const { return m_constWidth; }
    void setConstWidthField(double w) { m_constWidth = w; }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    void ensureWidths();
    std::vector<AcGePoint2d> m_points;
    // Empty when every bulge is 0.
    std::vector<double> m_bulges;
    // Empty when every width equals the constant width; otherwise start and
    // end width of each vertex.
    std::vector<std::pair<double, double>> m_widths;
    double m_constWidth = 0.0;
    double m_elevation = 0.0;
    double m_thickness = 0.0;
    int m_flags = 0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
};

struct AcGeScale3d {
    AcGeScale3d() = default;
    AcGeScale3d(double s) : sx(s), sy(s), sz(s) {}
    AcGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}
    bool operator==(const AcGeScale3d&) const = default;
    double sx = 1.0, sy = 1.0, sz = 1.0;
};

class AcDbBlockReference : public AcDbEntity {
public:
    AcDbBlockReference() = default;
    AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord)
        : m_position(position), m_block(blockTableRecord) {}
    ACDB_DECLARE_MEMBERS(AcDbBlockReference)
    std::string dxfName() const override { return "INSERT"; }
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    std::vector<AcDbDxfTags>* followers() override { return &m_followers; }

    AcDbObjectId blockTableRecord() const { return m_block; }
    Acad::ErrorStatus setBlockTableRecord(AcDbObjectId id);
    // The block's name, also while its definition is missing from the file.
    std::string blockName() const;
    void setUnresolvedName(std::string name) { m_blockName = std::move(name); }
    const std::string& unresolvedName() const { return m_blockName; }
    AcGePoint3d position() const { return m_position; }
    Acad::ErrorStatus setPosition(const AcGePoint3d& p) { return acdbSetFinite(m_position, p); }
    AcGeScale3d scaleFactors() const { return m_scale; }
    Acad::ErrorStatus setScaleFactors(const AcGeScale3d& s);
    double rotation() const { return m_rotation; }
    Acad::ErrorStatus setRotation(double r) { return acdbSetFinite(m_rotation, r); }
    AcGeVector3d normal() const { return m_normal; }
    // Block coordinates to world coordinates (base point, scale, rotation,
    // position).
    AcGeMatrix3d blockTransform() const;
    // How many times the block is shown: 1, or rows times columns of a
    // multiple insert. Whoever draws, picks or counts references walks
    // every copy; copy 0 is the one at the position.
    virtual long long copyCount() const { return 1; }
    // Block coordinates to world coordinates for one copy (0 <= index <
    // copyCount()).
    virtual AcGeMatrix3d copyTransform(long long index) const;

protected:
    void describeFields(AcDbDxfFields& f) override;
    // The fields shared with multiple inserts, from the block name to the
    // rotation; the extrusion comes last (describeNormal).
    void describePlacement(AcDbDxfFields& f);
    void describeNormal(AcDbDxfFields& f);
    // blockTransform with the block's base point placed at position (given
    // in the object coordinate system).
    AcGeMatrix3d transformAt(const AcGePoint3d& position) const;

private:
    AcGePoint3d m_position;
    AcDbObjectId m_block;
    std::string m_blockName;
    AcGeScale3d m_scale;
    double m_rotation = 0.0;
    AcGeVector3d m_normal = AcGeVector3d::kZAxis;
    std::vector<AcDbDxfTags> m_followers;
};

// A multiple insert (MINSERT): the block repeated in rows and columns. The
// copy in row r and column c sits c column spacings along the reference's
// X axis and r row spacings along its Y axis (both turned by the rotation,
// neither scaled) from the position. Counts below 1 are kept as read and
// count as 1.
class AcDbMInsertBlock : public AcDbBlockReference {
public:
    AcDbMInsertBlock() = default;
    AcDbMInsertBlock(const AcGePoint3d& position, AcDbObjectId blockTableRecord)
        : AcDbBlockReference(position, blockTableRecord) {}
    ACDB_DECLARE_MEMBERS(AcDbMInsertBlock)
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    long long copyCount() const override;
    AcGeMatrix3d copyTransform(long long index) const override;

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    double columnSpacing() const { return m_columnSpacing; }
    double rowSpacing() const { return m_rowSpacing; }
    Acad::ErrorStatus setColumns(int n);
    Acad::ErrorStatus setRows(int n);
    Acad::ErrorStatus setColumnSpacing(double d);
    Acad::ErrorStatus setRowSpacing(double d);

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    // The offset of a copy from the position, in the object coordinate system.
    AcGeVector3d copyOffset(long long index) const;
    int m_columns = 1;
    int m_rows = 1;
    double m_columnSpacing = 0.0;
    double m_rowSpacing = 0.0;
};

// An entity kind the host does not model: its common part is read, the rest
// kept as tags and written back unchanged.
class AcDbRawEntity : public AcDbEntity {
public:
    explicit AcDbRawEntity(std::string dxfName) : m_name(std::move(dxfName)) {}
    ACDB_DECLARE_MEMBERS(AcDbRawEntity)
    std::string dxfName() const override { return m_name; }
    std::vector<AcDbDxfTags>* followers() override { return &m_followers; }

private:
    std::string m_name;
    std::vector<AcDbDxfTags> m_followers;
};

// A non-graphical object the host does not model (dictionaries, layouts,
// classes of the OBJECTS section): its tags after the handle, as read.
class AcDbRawObject : public AcDbObject {
public:
    explicit AcDbRawObject(std::string dxfName) : m_name(std::move(dxfName)) {}
    ACDB_DECLARE_MEMBERS(AcDbRawObject)
    std::string dxfName() const override { return m_name; }

protected:
    FileKind fileKind() const override { return FileKind::RawObject; }
    void describeFields(AcDbDxfFields& f) override;

private:
    std::string m_name;
};

// A record of a symbol table. Kinds the host does not model keep their
// fields as extra tags; the name is always known.
class AcDbSymbolTableRecord : public AcDbObject {
public:
    AcDbSymbolTableRecord(std::string table, std::string marker) : m_table(std::move(table)), m_marker(std::move(marker)) {}
    ACDB_DECLARE_MEMBERS(AcDbSymbolTableRecord)
    std::string dxfName() const override { return m_table; }

    std::wstring getName() const { return utf8ToWide(m_name); }
    const std::string& name() const { return m_name; }
    void setName(std::string n) { m_name = std::move(n); }
    int flags() const { return m_flags; }
    void setFlags(int f) { m_flags = f; }

protected:
    void describeFields(AcDbDxfFields& f) override;
    void describeRecordHead(AcDbDxfFields& f);
    std::string m_table;
    std::string m_marker;
    std::string m_name;
    int m_flags = 0;
};

class AcDbLayerTableRecord : public AcDbSymbolTableRecord {
public:
    AcDbLayerTableRecord() : AcDbSymbolTableRecord("LAYER", "AcDbLayerTableRecord") {}
    ACDB_DECLARE_MEMBERS(AcDbLayerTableRecord)

    // Colour index 1..255; a layer that is off is stored with a negative
    // colour in the file.
    int color() const { return m_color < 0 ? -m_color : m_color; }
    void setColor(int c) { m_color = isOff() ? -c : c; }
    bool isOff() const { return m_color < 0; }
    void setIsOff(bool off) { m_color = off ? -color() : color(); }
    bool isFrozen() const { return (m_flags & 1) != 0; }
    bool isLocked() const { return (m_flags & 4) != 0; }
    const std::string& linetypeName() const { return m_linetype; }
    void setLinetypeName(std::string lt) { m_linetype = std::move(lt); }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    int m_color = 7;
    std::string m_linetype = "Continuous";
};

class AcDbLinetypeTableRecord : public AcDbSymbolTableRecord {
public:
    AcDbLinetypeTableRecord() : AcDbSymbolTableRecord("LTYPE", "AcDbLinetypeTableRecord") {}
    ACDB_DECLARE_MEMBERS(AcDbLinetypeTableRecord)
    const std::string& description() const { return m_description; }
    void setDescription(std::string d) { m_description = std::move(d); }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    std::string m_description;
};

class AcDbBlockBegin;
class AcDbBlockEnd;

// A block definition: base point, flags and entities in order. Model
// space and paper space are blocks too ("*Model_Space", "*Paper_Space").
class AcDbBlockTableRecord : public AcDbSymbolTableRecord {
public:
    AcDbBlockTableRecord() : AcDbSymbolTableRecord("BLOCK_RECORD", "AcDbBlockTableRecord") {}
    // Copies leave out the entity list and the frame: additions are undone
    // on their own, so opening a block for write stays cheap.
    AcDbBlockTableRecord(const AcDbBlockTableRecord& o)
        : AcDbSymbolTableRecord(o), m_origin(o.m_origin), m_blockFlags(o.m_blockFlags) {}
    AcDbBlockTableRecord& operator=(const AcDbBlockTableRecord& o)
    {
        AcDbSymbolTableRecord::operator=(o);
        m_origin = o.m_origin;
        m_blockFlags = o.m_blockFlags;
        return *this;
    }
    ACDB_DECLARE_MEMBERS(AcDbBlockTableRecord)

    AcGePoint3d origin() const { return m_origin; }
    void setOrigin(const AcGePoint3d& p) { m_origin = p; }
    bool isLayout() const;
    bool isAnonymous() const { return (m_blockFlags & 1) != 0; }
    int blockFlags() const { return m_blockFlags; }
    void setBlockFlags(int f) { m_blockFlags = f; }

    // Adds an entity at the end and gives it an id (the database takes
    // ownership). Recorded by the undo journal. An entity that holds a
    // number that is not finite is refused (eInvalidInput; the caller keeps
    // it).
    Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity);
    Acad::ErrorStatus appendAcDbEntity(AcDbEntity* entity);
    // Every entity, erased ones included, in drawing order.
    const AcDbObjectIdArray& entityIds() const { return m_entities; }
    AcDbObjectIdArray& entityIdsForHost() { return m_entities; }

    AcDbObjectId blockBeginId() const { return m_begin; }
    AcDbObjectId blockEndId() const { return m_end; }
    void setBlockBeginEnd(AcDbObjectId b, AcDbObjectId e) { m_begin = b; m_end = e; }

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    friend class AcDbBlockBegin;
    AcGePoint3d m_origin;
    int m_blockFlags = 0;
    AcDbObjectIdArray m_entities;
    AcDbObjectId m_begin, m_end;
};

// The BLOCK and ENDBLK entities that frame a block definition in a file.
class AcDbBlockBegin : public AcDbEntity {
public:
    AcDbBlockBegin() = default;
    ACDB_DECLARE_MEMBERS(AcDbBlockBegin)
    std::string dxfName() const override { return "BLOCK"; }
    void setRecord(AcDbBlockTableRecord* r) { m_record = r; }

    // Fields of the block read before its record is known.
    std::string name;
    AcGePoint3d base;
    int flags = 0;

protected:
    void describeFields(AcDbDxfFields& f) override;

private:
    AcDbBlockTableRecord* m_record = nullptr;
    std::string m_name2;
};

class AcDbBlockEnd : public AcDbEntity {
public:
    ACDB_DECLARE_MEMBERS(AcDbBlockEnd)
    std::string dxfName() const override { return "ENDBLK"; }

protected:
    void describeFields(AcDbDxfFields& f) override;
};

// A symbol table: its records in order, looked up by name without case.
class AcDbSymbolTable : public AcDbObject {
public:
    explicit AcDbSymbolTable(std::string name) : m_name(std::move(name)) {}
    // Copies leave out the records (their additions are undone on their own).
    AcDbSymbolTable(const AcDbSymbolTable& o) : AcDbObject(o), m_name(o.m_name) {}
    AcDbSymbolTable& operator=(const AcDbSymbolTable& o)
    {
        AcDbObject::operator=(o);
        m_name = o.m_name;
        return *this;
    }
    ACDB_DECLARE_MEMBERS(AcDbSymbolTable)
    std::string dxfName() const override { return "TABLE"; }

    const std::string& tableName() const { return m_name; }
    bool has(const std::string& name) const { return !getAt(name).isNull(); }
    AcDbObjectId getAt(const std::string& name) const;
    const AcDbObjectIdArray& recordIds() const { return m_records; }

    // Host internals: the database adds and removes records.
    void addRecordId(AcDbObjectId id, const std::string& name);
    void removeRecordId(AcDbObjectId id, const std::string& name);
    void renameRecord(AcDbObjectId id, const std::string& oldName, const std::string& newName);

protected:
    FileKind fileKind() const override { return FileKind::Table; }
    void describeFields(AcDbDxfFields& f) override;

private:
    std::string m_name;
    AcDbObjectIdArray m_records;
    std::unordered_map<std::string, AcDbObjectId> m_index;
};

class AcDbUndoJournal;
namespace host {
class SpatialIndex;
}

// One header variable ("$ACADVER") and its tags.
struct AcDbHeaderVar {
    std::string name;
    AcDbDxfTags tags;
};

// One note of what the reader did to a drawing while loading it.
//   code    what happened, a stable upper-case name programs can test:
//           STRAY_ENDSEC, SECOND_HEADER, MISSING_EOF, MISSING_ENDSEC,
//           MISSING_ENDTAB, MISSING_ENDBLK, MISPLACED_STRUCTURE,
//           STRAY_FOLLOWER, UNKNOWN_TABLE_RECORD, MISPLACED_TABLE_RECORD,
//           UNNAMED_TABLE_RECORD, DUPLICATE_TABLE_RECORD, DUPLICATE_TABLE,
//           DUPLICATE_BLOCK, DUPLICATE_HANDLE, INVALID_HANDLE,
//           UNNAMED_BLOCK_REFERENCE, UNDEFINED_BLOCK, UNDEFINED_LAYER,
//           UNDEFINED_LTYPE, UNDEFINED_STYLE, UNREGISTERED_APP,
//           MISSING_TABLE, R12_POLYLINE, INTEGER_AS_REAL,
//           HEADER_NAME_WITHOUT_DOLLAR, REFERENCE_WITHOUT_HANDLE;
//   handle  the object concerned, as the file numbered it (the first one
//           where the note counts several), 0 when the note names none;
//   text    the line shown to the user.
struct AcDbLoadNote {
    std::string code;
    std::uint64_t handle = 0;
    std::string text;
    bool operator==(const AcDbLoadNote&) const = default;
};

// Hears of the changes of a database's objects, from every place that
// changes them: commands, module code, undo (U) and a command's rollback.
// Notifications come as the change happens: read the object afterwards for
// its new state. A reactor is added to one database and removed before it
// goes away; none is added or removed during a notification.
class AcDbDatabaseReactor {
public:
    virtual ~AcDbDatabaseReactor() = default;
    // The object was added to its owner (a block's entity list, a table,
    // the objects).
    virtual void objectAppended(const AcDbDatabase*, const AcDbObject*) {}
    // Its addition was undone: it left its owner and the database.
    virtual void objectUnAppended(const AcDbDatabase*, const AcDbObject*) {}
    // The object is opened to change, or undo swaps an earlier state of it
    // back in.
    virtual void objectModified(const AcDbDatabase*, const AcDbObject*) {}
    // The object was erased (erased true) or unerased, undo included.
    virtual void objectErased(const AcDbDatabase*, const AcDbObject*, bool /*erased*/) {}
    // A drawing was read into the database: every object is new, ids taken
    // before are void.
    virtual void contentsReplaced(const AcDbDatabase*) {}
    // The database is about to be destroyed; the reactor is removed
    // afterwards by the database itself.
    virtual void databaseToBeDestroyed(const AcDbDatabase*) {}
};

class AcDbDatabase {
public:
    // A new drawing with the standard tables, model and paper space;
    // with buildDefaultDrawing false an empty one that readDwgFile fills.
    explicit AcDbDatabase(bool buildDefaultDrawing = true, bool noDocument = false);
    ~AcDbDatabase();
    AcDbDatabase(const AcDbDatabase&) = delete;
    AcDbDatabase& operator=(const AcDbDatabase&) = delete;

    // Reads a DXF drawing, text or binary; a path ending in ".dwg" names the
    // ".dxf" of the same name. On failure the database is unchanged and
    // lastError() says what went wrong, naming the file and line (the byte
    // offset in a binary file).
    Acad::ErrorStatus readDwgFile(const ACHAR* fileName);
    Acad::ErrorStatus readDxfText(std::string_view text, const std::string& sourceName);
    // Writes DXF text (R2010 or later, UTF-8) through a temporary file
    // renamed over the target; a failure, also of a value no file may hold
    // (a number that is not finite), leaves the old file as it was.
    Acad::ErrorStatus saveAs(const ACHAR* fileName);
    // The drawing as DXF text; throws dxf::DxfWriteError where saveAs fails
    // for a value no file may hold.
    std::string dxfOut() const;

    const std::wstring& lastError() const { return m_lastError; }
    // What the reader repaired or converted while loading, in the order it
    // happened, like the lines of an audit report (AcDbLoadNote).
    const std::vector<AcDbLoadNote>& loadNotes() const { return m_notes; }
    // True when the drawing was read in recover mode: its file was damaged
    // (structure missing or out of place, data dropped or renumbered) and
    // the reader repaired it; loadNotes() say what was done. The drawing
    // differs from its file until it is saved (saving clears the mark).
    bool isRecovered() const { return m_recovered; }
    // True when the drawing differs from its file: changed since it was
    // read, made or last saved (a change undone again still counts), or
    // read in recover mode.
    bool isModified() const;
    const std::wstring& originalFileName() const { return m_fileName; }
    // Serial number of the database in this process (part of entity names).
    std::int64_t serial() const { return m_serial; }

    // Tables by DXF name ("LAYER", "LTYPE", "APPID", "BLOCK_RECORD", ...).
    AcDbSymbolTable* table(const std::string& name) const;
    const std::vector<AcDbObjectId>& tableIds() const { return m_tables; }
    AcDbObjectId modelSpaceId() const;
    AcDbObjectId paperSpaceId() const;
    AcDbBlockTableRecord* blockRecord(const std::string& name) const;
    // Adds a block definition (its entities already appended or added
    // later); the name must be new.
    Acad::ErrorStatus addBlockTableRecord(AcDbObjectId& id, AcDbBlockTableRecord* record);
    // Adds a record to a symbol table; the name must be new.
    Acad::ErrorStatus addSymbolTableRecord(AcDbObjectId& id, AcDbSymbolTableRecord* record);
    // Registers an application name (no change when it exists).
    Acad::ErrorStatus registerApp(const std::string& name);
    bool isAppRegistered(const std::string& name) const;

    // Header variables ("$CELTYPE"): the first value's text, or empty.
    std::string headerString(const std::string& name) const;
    const AcDbHeaderVar* headerVar(const std::string& name) const;
    // Sets a variable to one value; recorded by the undo journal.
    void setHeaderVar(const std::string& name, short code, const std::string& value);
    void setHeaderTags(const std::string& name, AcDbDxfTags tags);
    const std::vector<AcDbHeaderVar>& headerVars() const { return m_header; }
    // "AC1024" and so on.
    std::string version() const { return headerString("$ACADVER"); }

    // Objects of the OBJECTS section and raw sections (CLASSES and unknown
    // ones), in file order.
    const AcDbObjectIdArray& objectIds() const { return m_objects; }
    const std::vector<std::pair<std::string, std::vector<AcDbDxfTags>>>& rawSections() const { return m_rawSections; }

    // Reactors hear of every change of the database's objects; adding one
    // twice adds it once.
    void addReactor(AcDbDatabaseReactor* reactor);
    void removeReactor(AcDbDatabaseReactor* reactor);

    // Host internals.
    void reserveHandles(std::size_t n) { m_dense.reserve(std::min<std::size_t>(n + 1, kDenseHandles)); }
    static constexpr std::uint64_t kDenseHandles = 1u << 22;
    std::uint64_t nextHandle() const { return m_handseed; }
    void noteHandle(std::uint64_t h) { if (h >= m_handseed) m_handseed = h + 1; }
    void addNote(std::string code, std::uint64_t handle, std::string text)
    {
        m_notes.push_back(AcDbLoadNote{std::move(code), handle, std::move(text)});
    }
    // A note of damage that was repaired: the drawing is marked recovered.
    void addRepairNote(std::string code, std::uint64_t handle, std::string text)
    {
        m_recovered = true;
        addNote(std::move(code), handle, std::move(text));
    }
    void clearNotes() { m_notes.clear(); }
    void swapContents(AcDbDatabase& other);
    void setFileName(std::wstring name) { m_fileName = std::move(name); }
    AcDbObjectIdArray& objectIdsForHost() { return m_objects; }
    std::vector<AcDbObjectId>& tableIdsForHost() { return m_tables; }
    std::vector<AcDbHeaderVar>& headerVarsForHost() { return m_header; }
    std::vector<std::pair<std::string, std::vector<AcDbDxfTags>>>& rawSectionsForHost() { return m_rawSections; }
    // Adds missing required tables, records and objects; returns what it added.
    void repairStructure();
    static AcDbDatabase* fromSerial(std::int64_t serial);
    const std::vector<AcDbDatabaseReactor*>& reactorsForHost() const { return m_reactors; }

private:
    // Host internals (AcDbInternals).
    friend class AcDbInternals;
    AcDbBlockTableRecord* modelSpace() const;
    AcDbUndoJournal& undoJournal() { return *m_undo; }
    // Where window selections find model-space entities (host/spatialindex.h);
    // told of every change through the undo journal's recorders.
    host::SpatialIndex& spatialIndex() { return *m_spatial; }
    // Gives obj an identity with the handle (a fresh one when 0 or taken;
    // renumbered then tells so).
    AcDbStub* newStub(std::unique_ptr<AcDbObject> obj, std::uint64_t handle = 0, bool* renumbered = nullptr);
    AcDbStub* stubForHandle(std::uint64_t handle) const;

    std::int64_t m_serial;
    // Every object's record, never moved (by pointer: AcDbStub is the host's).
    std::unique_ptr<std::deque<AcDbStub>> m_stubs;
    // Handles are mostly small and dense: a table for those, a map for the rest.
    std::vector<AcDbStub*> m_dense;
    std::unordered_map<std::uint64_t, AcDbStub*> m_handles;
    AcDbStub** handleSlot(std::uint64_t handle, bool create);
    std::uint64_t m_handseed = 1;
    std::vector<AcDbObjectId> m_tables;
    AcDbObjectIdArray m_objects;
    std::vector<AcDbHeaderVar> m_header;
    std::vector<std::pair<std::string, std::vector<AcDbDxfTags>>> m_rawSections;
    std::unique_ptr<host::SpatialIndex> m_spatial;
    std::unique_ptr<AcDbUndoJournal> m_undo;
    std::wstring m_lastError;
    std::wstring m_fileName;
    std::vector<AcDbLoadNote> m_notes;
    bool m_recovered = false;
    std::vector<AcDbDatabaseReactor*> m_reactors;
    // The undo journal's state when the drawing was last read or saved.
    std::uint64_t m_savedState = 0;
};

// The working database: where ads functions and new entities go.
class AcDbHostApplicationServices {
public:
    AcDbDatabase* workingDatabase() const { return m_working; }
    void setWorkingDatabase(AcDbDatabase* db) { m_working = db; }

private:
    AcDbDatabase* m_working = nullptr;
};
AcDbHostApplicationServices* acdbHostApplicationServices();

// Opening objects. Fails with eNullObjectId, eKeyNotFound (not in the
// database), eWasErased (unless openErased) or eWrongObjectType. Opening
// for write records the object's state for undo. close() ends the open.
Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false);
Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false);
template <class T>
Acad::ErrorStatus acdbOpenObject(T*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false)
{
    AcDbObject* o = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(o, id, mode, openErased);
    if (es != Acad::eOk)
        return es;
    obj = dynamic_cast<T*>(o);
    if (!obj) {
        o->close();
        return Acad::eWrongObjectType;
    }
    return Acad::eOk;
}

// Entity names of the C interface, mapped one to one to ids.
Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name);
Acad::ErrorStatus acdbGetAdsName(ads_name name, AcDbObjectId id);

// The C interface on the working database.
int acdbEntLast(ads_name result);
int acdbEntNext(const ads_name ent, ads_name result);
// Erases the entity, or un-erases it when it is erased.
int acdbEntDel(const ads_name ent);
// The entity's data as DXF groups (-1 its name, 0 its type, 8 its layer,
// ...; extended data only for the applications asked for).
resbuf* acdbEntGet(const ads_name ent);
resbuf* acdbEntGetX(const ads_name ent, const resbuf* apps);
int acdbRegApp(const ACHAR* appname);
// A table entry's data (0 type, 2 name, 70 flags, and the kind's fields),
// or nullptr. Tables: "LAYER", "LTYPE", "BLOCK", "APPID", "STYLE", ...
resbuf* acdbTblSearch(const ACHAR* table, const ACHAR* symbol, int setnext);
// Distance text to a real in the given units (1 scientific, 2 decimal,
// 3 engineering, 4 architectural, 5 fractional, -1 any).
int acdbDisToF(const ACHAR* str, int unit, ads_real* result);
// A real to text; prec -1 takes LUPREC (4 by default). RTERROR when the
// text does not fit bufLen (with its terminator) or the value is not
// finite or, in units 4 and 5, too large to count in whole fractions.
int acdbRToS(ads_real value, int unit, int prec, ACHAR* str, std::size_t bufLen = 256);

// The text form of a status ("eKeyNotFound").
const char* acadErrorStatusText(Acad::ErrorStatus es);
