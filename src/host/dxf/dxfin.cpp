// The typed level of DXF reading: sections, tables, blocks, entities and
// objects built from tags. Known fields bind through describeFields; every
// other tag is kept as an extra tag of its subclass.
#include "host/dbdxf.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/dxf/codepage.h"
#include "host/dxf/dxfio.h"
#include "host/dxf/tags.h"
#include "host/hoststring.h"

#include <cassert>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <typeindex>
#include <typeinfo>
#include <unordered_set>
#include <utility>

const char* acdbRecordMarkerOf(const std::string& table);

namespace dxf {

namespace {

enum class BindKind : std::uint8_t { Text, Name, Real, Angle, Int, Coord, BlockName, Vertex };

struct Binding {
    short code;
    std::uint8_t slot;
    BindKind kind;
    // Next binding of the same group code, or -1.
    std::int8_t next = -1;
    // Where the value goes: while planning an offset from the object.
    void* ptr;
};

// How the tags of one kind of object bind to its fields, worked out once
// per kind from the first object's describeFields. The fields are kept as
// offsets from that object and used for every later object of the kind:
// right only while describeFields binds members inside the object itself,
// the same ones for every object of the kind (see AcDbDxfFields). Debug
// builds check each object against its plan (sameFields).
struct FieldPlan {
    // The class (compared by address first: cheaper than type_index).
    const std::type_info* typeInfo;
    std::type_index type;
    std::string name;
    bool raw = false;
    std::vector<Binding> bindings;
    std::vector<std::string> markers;
    std::vector<std::int8_t> byCode; // first binding of a code, or -1
    // Dimension styles have their handle in 105: their 5 is a block name.
    bool handleIn105Only = false;
    // The slot of the common entity fields (AcDbEntity), or 0.
    std::uint8_t entitySlot = 0;
};

constexpr int kPlanCodes = 1072;

// Collects where each group code of an object goes.
class Binder final : public AcDbDxfFields {
public:
    std::vector<Binding> bindings;
    std::vector<const char*> markers;

    bool isReading() const override { return true; }
    void subclass(const char* marker) override { markers.push_back(marker); }
    void text(short code, std::string& v, const char*) override { add(code, BindKind::Text, &v); }
    void name(short code, AcDbSharedName& v, const char*) override { add(code, BindKind::Name, &v); }
    void real(short code, double& v, double, bool) override { add(code, BindKind::Real, &v); }
    void angle(short code, double& r, bool) override { add(code, BindKind::Angle, &r); }
    void integer(short code, int& v, int, bool) override { add(code, BindKind::Int, &v); }
    void point(short code, AcGePoint3d& p, bool) override
    {
        add(code, BindKind::Coord, &p.x);
        add(static_cast<short>(code + 10), BindKind::Coord, &p.y);
        add(static_cast<short>(code + 20), BindKind::Coord, &p.z);
    }
    void normal(short code, AcGeVector3d& v) override
    {
        add(code, BindKind::Coord, &v.x);
        add(static_cast<short>(code + 10), BindKind::Coord, &v.y);
        add(static_cast<short>(code + 20), BindKind::Coord, &v.z);
    }
    void blockName(short code, AcDbBlockReference& ref) override { add(code, BindKind::BlockName, &ref); }
    void vertices(AcDbPolyline& pl) override
    {
        for (short c : {90, 10, 20, 40, 41, 42})
            add(c, BindKind::Vertex, &pl);
    }

private:
    void add(short code, BindKind kind, void* ptr)
    {
        bindings.push_back(Binding{code, static_cast<std::uint8_t>(markers.size()), kind, -1, ptr});
    }
};

bool isFollower(std::string_view name)
{
    return name == "ATTRIB" || name == "VERTEX" || name == "SEQEND";
}

// The name of a block record or block: old files (R13, R14) name the layout
// blocks $MODEL_SPACE and $PAPER_SPACE; they are the same blocks as
// *Model_Space and *Paper_Space.
std::string layoutBlockName(std::string name)
{
    const std::string folded = upperAscii(name);
    if (folded == "$MODEL_SPACE")
        return "*Model_Space";
    if (folded == "$PAPER_SPACE")
        return "*Paper_Space";
    return name;
}

// An INSERT is a multiple insert when its subclass says so or, in files
// without subclasses, when it repeats the block in rows or columns.
bool isMultipleInsert(const std::vector<Tag>& tags)
{
    bool markers = false;
    for (const Tag& t : tags) {
        if (t.code == 100) {
            markers = true;
            if (t.value == "AcDbMInsertBlock")
                return true;
        }
        if (t.code == 1001)
            break;
    }
    if (markers)
        return false;
    for (const Tag& t : tags) {
        if (t.code == 1001)
            break;
        double n = 0.0;
        if ((t.code == 70 || t.code == 71) && parseRealText(t.value, n) && n > 1.0)
            return true;
    }
    return false;
}

// Where the group codes of an entity kind go in files with subclass
// markers (R13 on): each subclass with its codes.
struct OldSubclass {
    std::string_view marker;
    std::vector<short> codes;
};

std::vector<short> withAxes(std::initializer_list<short> codes)
{
    std::vector<short> out;
    for (short c : codes) {
        out.push_back(c);
        // Points and directions: X codes bring their Y and Z.
        if ((c >= 10 && c <= 18) || c == 210) {
            out.push_back(static_cast<short>(c + 10));
            out.push_back(static_cast<short>(c + 20));
        }
    }
    return out;
}

int oldFlags(const std::vector<Tag>& tags)
{
    for (const Tag& t : tags) {
        double v = 0.0;
        if (t.code == 70 && parseRealText(t.value, v))
            return static_cast<int>(v);
    }
    return 0;
}

// The subclasses of an entity of an old file that the host keeps as tags;
// empty for kinds without subclasses of their own (SEQEND) and for kinds
// the host models or does not know.
std::vector<OldSubclass> oldSubclassesOf(std::string_view kind, const std::vector<Tag>& tags)
{
    const auto text = [] { return withAxes({39, 10, 40, 1, 50, 41, 51, 7, 71, 72, 11, 210}); };
    if (kind == "ATTDEF")
        return {{"AcDbText", text()}, {"AcDbAttributeDefinition", {3, 2, 70, 73, 74}}};
    if (kind == "ATTRIB")
        return {{"AcDbText", text()}, {"AcDbAttribute", {2, 70, 73, 74}}};
    if (kind == "DIMENSION") {
        std::vector<OldSubclass> out{
            {"AcDbDimension", withAxes({2, 3, 10, 11, 12, 70, 71, 72, 41, 42, 1, 52, 53, 51, 210})}};
        // The definition points and lengths all go to the kind's subclass:
        // old files write them for every kind, used or not.
        const std::vector<short> points = withAxes({13, 14, 15, 16, 40, 50});
        switch (oldFlags(tags) & 15) {
        case 0:
            out.push_back({"AcDbAlignedDimension", points});
            out.push_back({"AcDbRotatedDimension", {}});
            break;
        case 1: out.push_back({"AcDbAlignedDimension", points}); break;
        case 2: out.push_back({"AcDb2LineAngularDimension", points}); break;
        case 3: out.push_back({"AcDbDiametricDimension", points}); break;
        case 4: out.push_back({"AcDbRadialDimension", points}); break;
        case 5: out.push_back({"AcDb3PointAngularDimension", points}); break;
        case 6: out.push_back({"AcDbOrdinateDimension", points}); break;
        default: break;
        }
        return out;
    }
    if (kind == "POLYLINE") {
        const int flags = oldFlags(tags);
        const std::string_view marker = (flags & 8)    ? "AcDb3dPolyline"
                                        : (flags & 16) ? "AcDbPolygonMesh"
                                        : (flags & 64) ? "AcDbPolyFaceMesh"
                                                       : "AcDb2dPolyline";
        return {{marker, withAxes({66, 10, 39, 70, 40, 41, 71, 72, 73, 74, 75, 210})}};
    }
    if (kind == "VERTEX") {
        const int flags = oldFlags(tags);
        const std::vector<short> codes = withAxes({10, 40, 41, 42, 70, 50, 71, 72, 73, 74});
        if ((flags & 128) && !(flags & 64))
            return {{"AcDbFaceRecord", codes}};
        const std::string_view marker = (flags & 128)  ? "AcDbPolyFaceMeshVertex"
                                        : (flags & 32) ? "AcDb3dPolylineVertex"
                                        : (flags & 64) ? "AcDbPolygonMeshVertex"
                                                       : "AcDb2dVertex";
        return {{"AcDbVertex", {}}, {marker, codes}};
    }
    if (kind == "TRACE")
        return {{"AcDbTrace", withAxes({10, 11, 12, 13, 39, 210})}};
    if (kind == "3DFACE")
        return {{"AcDbFace", withAxes({10, 11, 12, 13, 70})}};
    if (kind == "SHAPE")
        return {{"AcDbShape", withAxes({39, 10, 40, 2, 50, 41, 51, 210})}};
    if (kind == "VIEWPORT")
        return {{"AcDbViewport", withAxes({10, 40, 41, 68, 69})}};
    return {};
}

// Old files (R12 and before) write entities without subclass markers. The
// kinds the host keeps as tags get them here, in the order later versions
// write them, so that the drawing saved as R2010 reads back as the same
// entities in any program. Codes no subclass claims stay in the first one.
void addSubclassMarkers(std::vector<Tag>& tags)
{
    for (const Tag& t : tags)
        if (t.code == 100)
            return;
    const std::string_view kind = tags.front().value;
    const std::vector<OldSubclass> subclasses = oldSubclassesOf(kind, tags);
    if (subclasses.empty() && kind != "SEQEND")
        return;
    std::size_t xdata = tags.size();
    for (std::size_t i = 1; i < tags.size(); ++i)
        if (tags[i].code == 1001) {
            xdata = i;
            break;
        }
    const int line = tags.front().line;
    std::vector<Tag> out{tags.front()};
    std::vector<bool> placed(tags.size(), false);
    for (std::size_t i = 1; i < xdata; ++i)
        if (tags[i].code == 5 || tags[i].code == 330 || tags[i].code == 102) {
            out.push_back(tags[i]);
            placed[i] = true;
        }
    out.push_back(Tag{100, "AcDbEntity", line});
    auto claimed = [&](short code) {
        for (const OldSubclass& sc : subclasses)
            if (std::find(sc.codes.begin(), sc.codes.end(), code) != sc.codes.end())
                return true;
        return false;
    };
    static const short kCommon[] = {8, 6, 62, 67, 48, 60, 370, 420, 430, 440, 284, 347};
    for (std::size_t i = 1; i < xdata; ++i)
        if (!placed[i] && std::find(std::begin(kCommon), std::end(kCommon), tags[i].code) != std::end(kCommon)) {
            out.push_back(tags[i]);
            placed[i] = true;
        }
    for (std::size_t k = 0; k < subclasses.size(); ++k) {
        out.push_back(Tag{100, subclasses[k].marker, line});
        for (std::size_t i = 1; i < xdata; ++i) {
            const bool mine = std::find(subclasses[k].codes.begin(), subclasses[k].codes.end(), tags[i].code)
                           != subclasses[k].codes.end();
            if (!placed[i] && (mine || (k == 0 && !claimed(static_cast<short>(tags[i].code))))) {
                out.push_back(tags[i]);
                placed[i] = true;
            }
        }
    }
    for (std::size_t i = 1; i < xdata; ++i)
        if (!placed[i])
            out.push_back(tags[i]);
    out.insert(out.end(), tags.begin() + static_cast<std::ptrdiff_t>(xdata), tags.end());
    tags.swap(out);
}

// An entity of the ENTITIES section, placed once every block record is
// known; whether it is in paper space is kept apart (a bit each).
struct PendingEntity {
    AcDbStub* stub;
    std::uint64_t owner;
};

class Loader {
public:
    Loader(AcDbDatabase& db, std::string_view text) : m_db(db), m_size(text.size()), m_tagger(text) {}
    Loader(AcDbDatabase& db, ByteSource& source, std::size_t blockBytes)
        : m_db(db), m_size(source.sizeHint()), m_tagger(source, blockBytes) {}
    void run();

private:
    // Tags and text
    bool next(Tag& t) { return m_tagger.next(t); }
    Tag expect(int line, const char* what);
    std::string decode(const Tag& t) const;
    // The same without a copy where the text needs no decoding; otherwise
    // valid until the next call.
    std::string_view decodeView(const Tag& t);
    // The shared name of a text (the names read last are at hand).
    AcDbSharedName sharedName(const Tag& t);
    void requireApp(const Tag& t) const
    {
        if (!m_xdata.hasApp())
            throw DxfError(t.line, "extended data without an application name");
    }
    void readObjectTags(const Tag& first, std::vector<Tag>& out);

    void readHeader();
    void setupEncoding();
    void readRawSection(const std::string& name);
    void readTables();
    // The table of that name, made (with the extra tags and handle given)
    // when the file has none yet.
    AcDbSymbolTable* tableNamed(const std::string& name, std::vector<AcDbExtraTag> extra, std::uint64_t handle);
    // A table record starting at t, found inside inTable (null: outside
    // any table); it goes to the table of its kind.
    void readTableRecord(const Tag& t, AcDbSymbolTable* inTable);
    void readBlocks();
    // Reads entities up to the end of the ENTITIES section or of a block
    // (whose ENDBLK is put back). False when the block ended without its
    // ENDBLK (the tag that ended it is put back).
    bool readEntities(std::vector<AcDbStub*>* blockEntities, const std::string& blockName = {});
    void readObjects();
    // True when t begins the next section or the end of the file inside a
    // section: the section lacks its ENDSEC. The repair is noted and t put
    // back.
    bool endsUnclosedSection(const Tag& t, const std::string& section);

    AcDbStub* makeObject(std::unique_ptr<AcDbObject> obj, const std::vector<Tag>& tags, std::uint64_t* owner);
    void fill(AcDbObject& obj, const std::vector<Tag>& tags, std::uint64_t& handle, std::uint64_t* owner);
    int findBinding(const FieldPlan& plan, int code, int slot, bool unknown, bool entityPartEmpty) const;
    // The handle a tag gives, or 0 (a new one) when it is empty or not a
    // handle; such repairs are counted for the load notes.
    std::uint64_t handleOrZero(const Tag& t);
    // The handle an object's tags give it before its first subclass (code
    // 5, or 105 for a DIMSTYLE), 0 when they give none or a bad one;
    // nothing is counted.
    static std::uint64_t handleIn(const std::vector<Tag>& tags);
    void noteDuplicateHandle(std::uint64_t handle)
    {
        if (m_duplicateHandles++ == 0)
            m_firstDuplicateHandle = handle;
    }
    // Puts the tag's value into the field at ptr; false when the field
    // takes more tags (polyline vertices) or the value was a hint only.
    bool assign(const Binding& b, void* ptr, const Tag& t);
    std::size_t readXData(AcDbObject& obj, const std::vector<Tag>& tags, std::size_t i);
    std::unique_ptr<AcDbEntity> newEntity(std::string_view name);
    void finishEntity();
    void convertHeavyPolyline(AcDbStub* stub);
    void attachFollower(const std::vector<Tag>& tags);
    void resolve();
    void ensureUsedNames();
    static constexpr std::size_t kPrefetchAhead = 8;

    AcDbDatabase& m_db;
    // The size of the file (a hint when it is read from a source).
    std::size_t m_size;
    Tagger m_tagger;
    // Tags of the header, read before the code page is known; their values
    // stay in the tagger's blocks until setupEncoding, which comes before
    // the first release.
    std::vector<std::pair<std::string, std::vector<Tag>>> m_rawHeader;
    std::unique_ptr<TextDecoder> m_decoder;
    std::string m_codePage = "CP1252";
    std::vector<PendingEntity> m_pending;
    std::vector<bool> m_pendingPaper;
    std::vector<AcDbStub*> m_inserts;
    std::unordered_set<std::string> m_apps;
    AcDbStub* m_lastEntity = nullptr;
    const FieldPlan& planFor(AcDbObject& obj);

    std::vector<Tag> m_buf;
    int m_duplicateHandles = 0;
    std::uint64_t m_firstDuplicateHandle = 0;
    int m_badHandles = 0;
    int m_firstBadHandleLine = 0;
    std::vector<std::unique_ptr<FieldPlan>> m_plans;
    // Which bindings of the object being filled have their value.
    std::vector<std::uint8_t> m_bound;
    std::string m_lastApp;
    AcDbXDataBuilder m_xdata;
    std::string m_decoded;
    static constexpr std::size_t kRecentNames = 8;
    std::vector<AcDbSharedName> m_recentNames;
    std::size_t m_nextRecentName = 0;
    bool m_lastIsHeavyPolyline = false;
};

#ifndef NDEBUG
// Whether obj describes the fields of plan at the same offsets: a field
// outside the object (in memory it owns) or one described only for some
// objects of a kind would break the plan's offsets.
bool sameFields(const FieldPlan& plan, AcDbObject& obj)
{
    Binder bd;
    AcDbInternals::describeFields(obj, bd);
    if (bd.bindings.size() != plan.bindings.size() || bd.markers.size() != plan.markers.size())
        return false;
    const char* base = reinterpret_cast<const char*>(&obj);
    for (std::size_t i = 0; i < bd.bindings.size(); ++i) {
        const Binding& b = bd.bindings[i];
        const Binding& p = plan.bindings[i];
        const auto offset = static_cast<std::uintptr_t>(static_cast<const char*>(b.ptr) - base);
        if (b.code != p.code || b.kind != p.kind || b.slot != p.slot || offset != reinterpret_cast<std::uintptr_t>(p.ptr))
            return false;
    }
    return true;
}
#endif

const FieldPlan& Loader::planFor(AcDbObject& obj)
{
    const std::type_info& info = typeid(obj);
    const std::string name = obj.dxfName();
    for (const auto& p : m_plans)
        if (p->typeInfo == &info && p->name == name) {
            assert(sameFields(*p, obj));
            return *p;
        }
    const std::type_index type(info);
    for (const auto& p : m_plans)
        if (p->type == type && p->name == name) {
            assert(sameFields(*p, obj));
            return *p;
        }
    Binder bd;
    AcDbInternals::describeFields(obj, bd);
    auto plan = std::make_unique<FieldPlan>(FieldPlan{&info, type, name, false, {}, {}, {}});
    plan->raw = dynamic_cast<AcDbRawObject*>(&obj) != nullptr;
    plan->handleIn105Only = name == "DIMSTYLE";
    char* base = reinterpret_cast<char*>(&obj);
    plan->byCode.assign(kPlanCodes, -1);
    for (std::size_t i = bd.bindings.size(); i-- > 0;) {
        Binding b = bd.bindings[i];
        b.ptr = reinterpret_cast<void*>(static_cast<std::uintptr_t>(static_cast<char*>(b.ptr) - base));
        if (b.code >= 0 && b.code < kPlanCodes) {
            b.next = plan->byCode[b.code];
            plan->byCode[b.code] = static_cast<std::int8_t>(i);
        }
        plan->bindings.insert(plan->bindings.begin(), b);
    }
    for (const char* m : bd.markers) {
        plan->markers.emplace_back(m);
        if (plan->markers.back() == "AcDbEntity")
            plan->entitySlot = static_cast<std::uint8_t>(plan->markers.size());
    }
    m_plans.push_back(std::move(plan));
    return *m_plans.back();
}

Tag Loader::expect(int line, const char* what)
{
    Tag t;
    if (!next(t))
        throw DxfError(m_tagger.line() ? m_tagger.line() : line, std::string("unexpected end of file: ") + what);
    return t;
}

std::string Loader::decode(const Tag& t) const
{
    if (TextDecoder::isPlain(t.value))
        return std::string(t.value);
    std::string out;
    if (!m_decoder) {
        // Header text before the code page is known stays as read.
        return std::string(t.value);
    }
    if (!m_decoder->decode(t.value, out))
        throw DxfError(t.line, "text is not valid in the file's encoding (" + m_codePage + ")");
    return out;
}

std::string_view Loader::decodeView(const Tag& t)
{
    if (!m_decoder || TextDecoder::isPlain(t.value))
        return t.value;
    m_decoded.clear();
    if (!m_decoder->decode(t.value, m_decoded))
        throw DxfError(t.line, "text is not valid in the file's encoding (" + m_codePage + ")");
    return m_decoded;
}

AcDbSharedName Loader::sharedName(const Tag& t)
{
    const std::string_view text = decodeView(t);
    for (const AcDbSharedName& n : m_recentNames)
        if (n.str() == text)
            return n;
    const AcDbSharedName n(text);
    if (m_recentNames.size() < kRecentNames)
        m_recentNames.push_back(n);
    else
        m_recentNames[m_nextRecentName++ % kRecentNames] = n;
    return n;
}

void Loader::readObjectTags(const Tag& first, std::vector<Tag>& out)
{
    // Tags of earlier objects are done with: first is the last tag read.
    out.clear();
    m_tagger.release();
    out.push_back(first);
    Tag t;
    while (next(t)) {
        if (t.code == 0) {
            m_tagger.pushBack(t);
            return;
        }
        out.push_back(t);
    }
    throw DxfError(first.line, "unexpected end of file inside " + std::string(first.value));
}

void Loader::run()
{
    const std::string_view start = m_tagger.start();
    if (start.empty())
        throw DxfError(0, "the file is empty");
    if (start.size() >= 4 && start.substr(0, 3) == "AC1")
        throw DxfError(1, "this is a DWG drawing; only DXF drawings can be read");
    AcDbInternals::journal(m_db).setRecording(false);
    Tag t;
    bool sawEof = false;
    bool sawHeader = false;
    while (next(t)) {
        if (t.code == 999)
            continue; // comments
        if (t.code != 0)
            throw DxfError(t.line, "expected a section, found group code " + std::to_string(t.code));
        if (t.value == "EOF") {
            sawEof = true;
            break;
        }
        if (t.value == "ENDSEC") {
            m_db.addRepairNote("STRAY_ENDSEC", 0, "a stray ENDSEC at " + m_tagger.position(t.line) + " was ignored");
            continue;
        }
        if (t.value != "SECTION")
            throw DxfError(t.line, "expected SECTION, found '" + std::string(t.value.substr(0, 40)) + "'");
        Tag n = expect(t.line, "section name missing");
        if (n.code != 2)
            throw DxfError(n.line, "section without a name");
        const std::string name(n.value);
        if (name != "HEADER" && !sawHeader) {
            sawHeader = true;
            setupEncoding();
        }
        if (name == "HEADER" && !m_decoder) {
            readHeader();
            sawHeader = true;
            setupEncoding();
        } else if (name == "HEADER") {
            // A header after the drawing's settings are known is kept as read.
            m_db.addRepairNote("SECOND_HEADER", 0, "a second HEADER section at " + m_tagger.position(t.line) + " was kept apart");
            readRawSection(name);
        } else if (name == "TABLES") {
            readTables();
        } else if (name == "BLOCKS") {
            readBlocks();
        } else if (name == "ENTITIES") {
            readEntities(nullptr);
        } else if (name == "OBJECTS") {
            readObjects();
        } else {
            readRawSection(name);
        }
    }
    if (!sawHeader)
        setupEncoding();
    // Every section read was complete: only the end marker is missing.
    if (!sawEof)
        m_db.addRepairNote("MISSING_EOF", 0, "the EOF marker at the end of the file is missing");
    for (Tagger::RepairNote& note : m_tagger.repairNotes())
        m_db.addNote(std::move(note.code), 0, std::move(note.text));
    resolve();
    AcDbInternals::journal(m_db).setRecording(true);
}

bool Loader::endsUnclosedSection(const Tag& t, const std::string& section)
{
    if (t.code != 0 || (t.value != "SECTION" && t.value != "EOF"))
        return false;
    m_db.addRepairNote("MISSING_ENDSEC", 0,
                       "the " + section + " section is not closed: its ENDSEC is missing before line "
                           + std::to_string(t.line));
    m_tagger.pushBack(t);
    return true;
}

void Loader::readHeader()
{
    Tag t;
    std::pair<std::string, std::vector<Tag>>* cur = nullptr;
    while (true) {
        t = expect(t.line, "the HEADER section is not closed");
        if (t.code == 0) {
            if (t.value == "ENDSEC") {
                // Some writers end the header early and go on with its
                // variables: an ENDSEC followed by a variable is stray.
                Tag after;
                const bool more = next(after);
                if (more && after.code == 9) {
                    m_db.addRepairNote("STRAY_ENDSEC", 0,
                                       "a stray ENDSEC at " + m_tagger.position(t.line)
                                           + " inside the HEADER section was ignored");
                    m_tagger.pushBack(after);
                    continue;
                }
                if (more)
                    m_tagger.pushBack(after);
                return;
            }
            if (endsUnclosedSection(t, "HEADER"))
                return;
            throw DxfError(t.line, "unexpected '" + std::string(t.value.substr(0, 40)) + "' in the HEADER section");
        }
        if (t.code == 9) {
            m_rawHeader.emplace_back(std::string(t.value), std::vector<Tag>{});
            cur = &m_rawHeader.back();
            continue;
        }
        if (!cur)
            throw DxfError(t.line, "header value without a variable name");
        cur->second.push_back(t);
    }
}

void Loader::setupEncoding()
{
    if (m_decoder)
        return;
    std::string version = "AC1009";
    const Tag* versionTag = nullptr;
    const Tag* cpTag = nullptr;
    for (auto& [name, tags] : m_rawHeader) {
        if (name == "$ACADVER" && !tags.empty()) {
            versionTag = &tags.front();
            version = std::string(tags.front().value);
            while (!version.empty() && version.back() == ' ')
                version.pop_back();
        }
        if (name == "$DWGCODEPAGE" && !tags.empty())
            cpTag = &tags.front();
        if (name == "$HANDSEED" && !tags.empty()) {
            std::uint64_t h = 0;
            if (tryParseHandle(tags.front().value, h) && h > 0) {
                m_db.noteHandle(h - 1);
                // Handles are mostly dense: size the handle map once.
                const std::size_t bySize = m_size / 64;
                m_db.reserveHandles(static_cast<std::size_t>(std::min<std::uint64_t>(h, bySize)));
            }
        }
    }
    static const char* const kVersions[] = {"AC1002", "AC1003", "AC1004", "AC1006", "AC1009", "AC1012", "AC1014",
                                            "AC1015", "AC1018", "AC1021", "AC1024", "AC1027", "AC1032"};
    bool known = false;
    for (const char* v : kVersions)
        known = known || version == v;
    if (!known)
        throw DxfError(versionTag ? versionTag->line : 1, "unknown DXF version '" + version.substr(0, 20) + "'");
    const bool utf8 = version >= "AC1021";
    if (!utf8 && cpTag) {
        m_codePage = iconvNameOf(cpTag->value);
        if (m_codePage.empty())
            throw DxfError(cpTag->line, "unknown code page '" + std::string(cpTag->value.substr(0, 40)) + "'");
    }
    if (utf8)
        m_codePage = "UTF-8";
    try {
        m_decoder = std::make_unique<TextDecoder>(utf8, m_codePage);
    } catch (const std::runtime_error& e) {
        throw DxfError(cpTag ? cpTag->line : 1, e.what());
    }
    auto& header = m_db.headerVarsForHost();
    header.clear();
    for (auto& [name, tags] : m_rawHeader) {
        AcDbHeaderVar v;
        v.name = name;
        for (const Tag& t : tags)
            v.tags.push_back(AcDbDxfTag{static_cast<short>(t.code), decode(t)});
        header.push_back(std::move(v));
    }
    if (!versionTag)
        header.insert(header.begin(), AcDbHeaderVar{"$ACADVER", {AcDbDxfTag{1, version}}});
    // Their values may point into blocks the tagger frees from now on.
    m_rawHeader.clear();
}

void Loader::readRawSection(const std::string& name)
{
    std::vector<AcDbDxfTags> records;
    Tag t;
    while (true) {
        t = expect(t.line, ("the " + name + " section is not closed").c_str());
        if ((t.code == 0 && t.value == "ENDSEC") || endsUnclosedSection(t, name))
            break;
        if (t.code == 0 || records.empty())
            records.emplace_back();
        records.back().push_back(AcDbDxfTag{static_cast<short>(t.code), decode(t)});
        m_tagger.release();
    }
    m_db.rawSectionsForHost().emplace_back(name, std::move(records));
}

bool Loader::assign(const Binding& b, void* ptr, const Tag& t)
{
    switch (b.kind) {
    case BindKind::Text:
        *static_cast<std::string*>(ptr) = decode(t);
        break;
    case BindKind::Name:
        *static_cast<AcDbSharedName*>(ptr) = sharedName(t);
        break;
    case BindKind::Real:
    case BindKind::Coord:
        *static_cast<double*>(ptr) = parseReal(t);
        break;
    case BindKind::Angle:
        *static_cast<double*>(ptr) = radiansFromFile(parseReal(t));
        break;
    case BindKind::Int: {
        const long long v = parseInt(t);
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
            throw DxfError(t.line, "group code " + std::to_string(t.code) + ": value out of range");
        *static_cast<int*>(ptr) = static_cast<int>(v);
        break;
    }
    case BindKind::BlockName:
        static_cast<AcDbBlockReference*>(ptr)->setUnresolvedName(decode(t));
        break;
    case BindKind::Vertex: {
        auto* pl = static_cast<AcDbPolyline*>(ptr);
        if (t.code == 90) {
            // A size hint only: bounded by what the object can hold.
            const long long n = parseInt(t);
            if (n > 0 && n <= static_cast<long long>(m_buf.size()))
                pl->reserveRaw(static_cast<std::size_t>(n));
            return false;
        }
        const double v = parseReal(t);
        if (t.code == 10) {
            pl->appendRaw(v, 0.0);
            return false;
        }
        const unsigned int n = pl->numVerts();
        if (n == 0)
            throw DxfError(t.line, "polyline vertex data before the first vertex");
        if (t.code == 20) {
            pl->setLastRawY(v);
        } else if (t.code == 40 || t.code == 41) {
            pl->setRawWidth(n - 1, t.code == 41, v);
        } else if (t.code == 42) {
            pl->setRawBulge(n - 1, v);
        }
        return false;
    }
    }
    return true;
}

// The raw bytes of a 1004 item from its hex digits.
std::string hexBytesOf(const Tag& t)
{
    const std::string_view h = t.value;
    if (h.size() % 2 != 0)
        throw DxfError(t.line, "group code 1004: odd number of hex digits");
    const auto hexv = [&](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw DxfError(t.line, "group code 1004: not hex");
    };
    std::string bytes;
    bytes.reserve(h.size() / 2);
    for (std::size_t k = 0; k + 1 < h.size(); k += 2)
        bytes.push_back(static_cast<char>(hexv(h[k]) * 16 + hexv(h[k + 1])));
    return bytes;
}

std::size_t Loader::readXData(AcDbObject& obj, const std::vector<Tag>& tags, std::size_t i)
{
    AcDbXDataBuilder& b = m_xdata;
    b.clear();
    for (; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        if (t.code == 1001) {
            const std::string_view app = decodeView(t);
            // At most one group per application: a repeated one continues it.
            b.app(app);
            if (app != m_lastApp) {
                m_apps.emplace(app);
                m_lastApp = app;
            }
            continue;
        }
        if (t.code < 1000 || t.code > 1071)
            throw DxfError(t.line, "group code " + std::to_string(t.code) + " inside extended data");
        const auto code = static_cast<short>(t.code);
        if (code >= 1010 && code <= 1013) {
            AcGePoint3d p;
            p.x = parseReal(t);
            if (i + 1 < tags.size() && tags[i + 1].code == t.code + 10) {
                p.y = parseReal(tags[++i]);
                if (i + 1 < tags.size() && tags[i + 1].code == t.code + 20)
                    p.z = parseReal(tags[++i]);
            }
            requireApp(t);
            b.point(code, p);
        } else if (code >= 1040 && code <= 1042) {
            const double v = parseReal(t);
            requireApp(t);
            b.real(code, v);
        } else if (code == 1070 || code == 1071) {
            const long long v = parseInt(t);
            const bool inRange = code == 1070 ? v >= -32768 && v <= 32767
                                              : v >= std::numeric_limits<std::int32_t>::min()
                                                    && v <= std::numeric_limits<std::uint32_t>::max();
            if (!inRange)
                throw DxfError(t.line, "group code " + std::to_string(code) + ": value out of range");
            requireApp(t);
            b.integer(code, static_cast<std::int32_t>(v));
        } else if (code == 1004) {
            const std::string bytes = hexBytesOf(t);
            requireApp(t);
            b.text(code, bytes);
        } else if (code >= 1000 && code <= 1009) {
            const std::string_view text = decodeView(t);
            requireApp(t);
            b.text(code, text);
        } else {
            throw DxfError(t.line, "group code " + std::to_string(t.code) + " inside extended data");
        }
    }
    b.finish(obj.xdataGroups());
    return i;
}

// The field a tag goes into: the first unbound one of its code in the
// current subclass (any subclass when the object has no markers, slot < 0);
// -1 when none takes it.
int Loader::findBinding(const FieldPlan& plan, int code, int slot, bool unknown, bool entityPartEmpty) const
{
    const std::vector<Binding>& bindings = plan.bindings;
    if (!unknown && code >= 0 && code < kPlanCodes)
        for (int k = plan.byCode[code]; k >= 0; k = bindings[k].next) {
            const Binding& b = bindings[k];
            if ((!m_bound[k] || b.kind == BindKind::Vertex) && (slot < 0 || b.slot == slot))
                return k;
        }
    // Some writers leave the common subclass empty and put the layer,
    // linetype and colour after the next subclass marker: they are still
    // the entity's.
    if (entityPartEmpty && (slot > plan.entitySlot || unknown) && (code == 8 || code == 6 || code == 62))
        for (int k = plan.byCode[code]; k >= 0; k = bindings[k].next)
            if (!m_bound[k] && bindings[k].slot == plan.entitySlot)
                return k;
    return -1;
}

void Loader::fill(AcDbObject& obj, const std::vector<Tag>& tags, std::uint64_t& handle, std::uint64_t* owner)
{
    const FieldPlan& plan = planFor(obj);
    char* base = reinterpret_cast<char*>(&obj);
    const std::vector<Binding>& bindings = plan.bindings;
    m_bound.assign(bindings.size(), 0);
    bool markers = false;
    for (std::size_t i = 1; i < tags.size(); ++i)
        if (tags[i].code == 100) {
            markers = true;
            break;
        }
    const bool raw = plan.raw;
    const auto lastSlot = static_cast<std::uint8_t>(plan.markers.size());
    std::uint8_t slot = 0;
    std::size_t nextMarker = 0;
    bool unknown = false;
    bool gotHandle = false, gotOwner = false;
    // True from an AcDbEntity marker until the first tag after it that is
    // read into that subclass.
    bool entityPartEmpty = false;
    // Made on the first tag kept: most objects have none.
    std::vector<AcDbExtraTag>* extra = nullptr;
    const auto keep = [&](std::uint8_t s, int code, const Tag& value) {
        if (!extra)
            extra = &obj.extraTags();
        extra->push_back(AcDbExtraTag{s, static_cast<short>(code), decode(value)});
    };
    for (std::size_t i = 1; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        if (t.code == 1001) {
            i = readXData(obj, tags, i);
            break;
        }
        if (!gotHandle && (t.code == 105 || (t.code == 5 && !plan.handleIn105Only)) && (slot == 0 || raw)) {
            handle = handleOrZero(t);
            gotHandle = true;
            continue;
        }
        if (raw) {
            keep(0, t.code, t);
            continue;
        }
        if (t.code == 102) {
            // Application data ({ACAD_REACTORS ... }) is kept whole.
            const std::uint8_t s = markers ? slot : 0;
            keep(s, 102, t);
            // A group is kept whole only when it is closed; an unclosed one
            // keeps just its opening tag.
            std::size_t close = i + 1;
            while (close < tags.size() && tags[close].code != 102)
                ++close;
            if (!t.value.empty() && t.value.front() == '{' && close < tags.size() && tags[close].value == "}")
                while (++i <= close)
                    keep(s, tags[i].code, tags[i]);
            if (i > close)
                i = close;
            continue;
        }
        // The owner is the first reference before any subclass; inside a
        // subclass the host does not know, a 330 is that subclass's data.
        if (t.code == 330 && slot == 0 && !gotOwner && !unknown) {
            std::uint64_t h = 0;
            if (tryParseHandle(t.value, h) && owner)
                *owner = h;
            gotOwner = true;
            continue;
        }
        if (t.code == 100) {
            if (nextMarker < plan.markers.size() && t.value == plan.markers[nextMarker]) {
                slot = static_cast<std::uint8_t>(++nextMarker);
                unknown = false;
                if (slot == plan.entitySlot)
                    entityPartEmpty = true;
                continue;
            }
            keep(slot, 100, t);
            unknown = true;
            continue;
        }
        const int hit = findBinding(plan, t.code, markers ? slot : -1, unknown, entityPartEmpty);
        if (slot == plan.entitySlot && !unknown)
            entityPartEmpty = false;
        if (hit >= 0) {
            const Binding& b = bindings[hit];
            if (assign(b, base + reinterpret_cast<std::uintptr_t>(b.ptr), t))
                m_bound[hit] = 1;
        }
        else
            keep(markers ? slot : lastSlot, t.code, t);
    }
}

std::uint64_t Loader::handleOrZero(const Tag& t)
{
    std::uint64_t h = 0;
    if (tryParseHandle(t.value, h) && h != 0)
        return h;
    if (m_badHandles++ == 0)
        m_firstBadHandleLine = t.line;
    return 0;
}

std::uint64_t Loader::handleIn(const std::vector<Tag>& tags)
{
    std::uint64_t h = 0;
    for (const Tag& t : tags) {
        if (t.code == 100)
            break; // the handle comes before the first subclass
        if (t.code == 5 || t.code == 105)
            return tryParseHandle(t.value, h) ? h : 0;
    }
    return 0;
}

AcDbStub* Loader::makeObject(std::unique_ptr<AcDbObject> obj, const std::vector<Tag>& tags, std::uint64_t* owner)
{
    std::uint64_t handle = 0;
    fill(*obj, tags, handle, owner);
    bool renumbered = false;
    AcDbStub* stub = AcDbInternals::newStub(m_db, std::move(obj), handle, &renumbered);
    if (renumbered)
        noteDuplicateHandle(handle);
    return stub;
}

std::unique_ptr<AcDbEntity> Loader::newEntity(std::string_view name)
{
    if (name == "LINE")
        return std::make_unique<AcDbLine>();
    if (name == "LWPOLYLINE")
        return std::make_unique<AcDbPolyline>();
    if (name == "INSERT")
        return std::make_unique<AcDbBlockReference>();
    if (name == "TEXT")
        return std::make_unique<AcDbText>();
    if (name == "CIRCLE")
        return std::make_unique<AcDbCircle>();
    if (name == "ARC")
        return std::make_unique<AcDbArc>();
    if (name == "POINT")
        return std::make_unique<AcDbPoint>();
    if (name == "SOLID")
        return std::make_unique<AcDbSolid>();
    return std::make_unique<AcDbRawEntity>(std::string(name));
}

void Loader::attachFollower(const std::vector<Tag>& tags)
{
    AcDbDxfTags out;
    out.reserve(tags.size() + 2);
    bool hasHandle = false;
    for (const Tag& t : tags) {
        if (t.code == 5) {
            hasHandle = true;
            std::uint64_t h = 0;
            if (tryParseHandle(t.value, h))
                m_db.noteHandle(h);
        }
    }
    for (std::size_t i = 0; i < tags.size(); ++i) {
        std::uint64_t h = 0;
        if (tags[i].code == 5 && !(tryParseHandle(tags[i].value, h) && h != 0)) {
            handleOrZero(tags[i]);
            out.push_back(AcDbDxfTag{5, formatHandle(m_db.nextHandle())});
            m_db.noteHandle(m_db.nextHandle());
            continue;
        }
        out.push_back(AcDbDxfTag{static_cast<short>(tags[i].code), decode(tags[i])});
        if (i == 0 && !hasHandle) {
            // Followers of old files get a handle and their owner.
            out.push_back(AcDbDxfTag{5, formatHandle(m_db.nextHandle())});
            m_db.noteHandle(m_db.nextHandle());
            out.push_back(AcDbDxfTag{330, formatHandle(m_lastEntity->handle)});
        }
    }
    static_cast<AcDbEntity*>(m_lastEntity->object.get())->followers()->push_back(std::move(out));
}

void Loader::finishEntity()
{
    if (m_lastEntity && m_lastIsHeavyPolyline)
        convertHeavyPolyline(m_lastEntity);
    m_lastEntity = nullptr;
    m_lastIsHeavyPolyline = false;
}

void Loader::convertHeavyPolyline(AcDbStub* stub)
{
    auto* raw = static_cast<AcDbRawEntity*>(stub->object.get());
    int flags = 0;
    double w0 = 0.0, w1 = 0.0, elevation = 0.0;
    bool flatNormal = true;
    double nz = 1.0, nx = 0.0, ny = 0.0;
    for (const AcDbExtraTag& t : std::as_const(*raw).extraTags()) {
        Tag tag{t.code, t.value, 0};
        switch (t.code) {
        case 70: flags = static_cast<int>(parseInt(tag)); break;
        case 40: w0 = parseReal(tag); break;
        case 41: w1 = parseReal(tag); break;
        case 30: elevation = parseReal(tag); break;
        case 210: nx = parseReal(tag); break;
        case 220: ny = parseReal(tag); break;
        case 230: nz = parseReal(tag); break;
        default: break;
        }
    }
    flatNormal = nx == 0.0 && ny == 0.0 && nz > 0.0;
    // 3D polylines, meshes and polyface meshes stay as read.
    if ((flags & (8 | 16 | 64)) != 0 || !flatNormal)
        return;
    auto pl = std::make_unique<AcDbPolyline>();
    pl->setLayerName(raw->layerName());
    pl->setLinetypeName(raw->linetypeName());
    pl->setColorIndex(raw->colorIndex());
    pl->xdataGroups() = raw->xdataGroups();
    pl->setClosed((flags & 1) != 0);
    pl->setFlags(pl->flags() | (flags & 128));
    pl->setElevation(elevation);
    const bool constant = w0 == w1;
    if (constant)
        pl->setConstWidthField(w0);
    for (const AcDbDxfTags& v : *raw->followers()) {
        if (v.empty() || v.front().value != "VERTEX")
            continue;
        double x = 0, y = 0, sw = w0, ew = w1, bulge = 0;
        int vflags = 0;
        for (const AcDbDxfTag& t : v) {
            Tag tag{t.code, t.value, 0};
            switch (t.code) {
            case 10: x = parseReal(tag); break;
            case 20: y = parseReal(tag); break;
            case 40: sw = parseReal(tag); break;
            case 41: ew = parseReal(tag); break;
            case 42: bulge = parseReal(tag); break;
            case 70: vflags = static_cast<int>(parseInt(tag)); break;
            default: break;
            }
        }
        if (vflags & 16)
            continue; // spline frame control point
        pl->appendRaw(x, y);
        const unsigned int i = pl->numVerts() - 1;
        if (bulge != 0.0)
            pl->setRawBulge(i, bulge);
        if (!(constant && sw == w0 && ew == w0)) {
            pl->setRawWidth(i, false, sw);
            pl->setRawWidth(i, true, ew);
        }
    }
    AcDbInternals::setStub(*pl, stub);
    AcDbInternals::setErasedFlag(*pl, raw->isErased());
    stub->object = std::move(pl);
    m_db.addNote("R12_POLYLINE", stub->handle, "a 2D POLYLINE was read as a lightweight polyline");
}

bool Loader::readEntities(std::vector<AcDbStub*>* blockEntities, const std::string& blockName)
{
    Tag t;
    m_lastEntity = nullptr;
    while (true) {
        t = expect(t.line, blockEntities ? "a block is not closed" : "the ENTITIES section is not closed");
        if (t.code != 0)
            throw DxfError(t.line, "expected an entity, found group code " + std::to_string(t.code));
        if ((!blockEntities && t.value == "ENDSEC") || (blockEntities && t.value == "ENDBLK")) {
            finishEntity();
            if (blockEntities)
                m_tagger.pushBack(t);
            return true;
        }
        if (blockEntities
            && (t.value == "ENDSEC" || t.value == "SECTION" || t.value == "EOF" || t.value == "BLOCK")) {
            // What follows a block without its end: the block ends here.
            finishEntity();
            m_db.addRepairNote("MISSING_ENDBLK", 0,
                               "block " + blockName + " is not closed: its ENDBLK is missing before line "
                                   + std::to_string(t.line));
            m_tagger.pushBack(t);
            return false;
        }
        if (endsUnclosedSection(t, "ENTITIES")) {
            finishEntity();
            return true;
        }
        readObjectTags(t, m_buf);
        addSubclassMarkers(m_buf);
        if (t.value == "BLOCK" || t.value == "ENDBLK" || t.value == "TABLE" || t.value == "ENDTAB") {
            // Structure out of place: keeping it would make the file ambiguous.
            finishEntity();
            m_db.addRepairNote("MISPLACED_STRUCTURE", handleIn(m_buf),
                               "a misplaced " + std::string(t.value) + " at " + m_tagger.position(t.line)
                                   + " was dropped");
            continue;
        }
        if (isFollower(t.value)) {
            if (m_lastEntity && static_cast<AcDbEntity*>(m_lastEntity->object.get())->followers())
                attachFollower(m_buf);
            else
                m_db.addRepairNote("STRAY_FOLLOWER", handleIn(m_buf),
                                   "a stray " + std::string(t.value) + " at " + m_tagger.position(t.line)
                                       + " was dropped");
            continue;
        }
        finishEntity();
        std::unique_ptr<AcDbEntity> ent
            = t.value == "INSERT" && isMultipleInsert(m_buf) ? std::make_unique<AcDbMInsertBlock>() : newEntity(t.value);
        const bool isInsert = t.value == "INSERT";
        std::uint64_t owner = 0;
        AcDbStub* s = makeObject(std::move(ent), m_buf, &owner);
        if (isInsert)
            m_inserts.push_back(s);
        m_lastEntity = s;
        m_lastIsHeavyPolyline = t.value == "POLYLINE";
        if (blockEntities) {
            blockEntities->push_back(s);
        } else {
            bool paper = false;
            for (const AcDbExtraTag& x : std::as_const(*s->object).extraTags())
                if (x.code == 67 && x.value.find('1') != std::string::npos)
                    paper = true;
            m_pending.push_back(PendingEntity{s, owner});
            m_pendingPaper.push_back(paper);
        }
    }
}

AcDbSymbolTable* Loader::tableNamed(const std::string& name, std::vector<AcDbExtraTag> extra, std::uint64_t handle)
{
    if (AcDbSymbolTable* table = m_db.table(name))
        return table;
    auto obj = std::make_unique<AcDbSymbolTable>(name);
    if (!extra.empty())
        obj->extraTags() = std::move(extra);
    if (handle != 0 && AcDbInternals::stubForHandle(m_db, handle)) {
        noteDuplicateHandle(handle);
        handle = 0;
    }
    AcDbStub* s = AcDbInternals::newStub(m_db, std::move(obj), handle);
    m_db.tableIdsForHost().push_back(AcDbObjectId(s));
    return static_cast<AcDbSymbolTable*>(s->object.get());
}

void Loader::readTableRecord(const Tag& t, AcDbSymbolTable* inTable)
{
    const std::string kind(t.value);
    readObjectTags(t, m_buf);
    static const char* const kKinds[] = {"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW", "UCS", "APPID", "DIMSTYLE",
                                         "BLOCK_RECORD"};
    bool known = false;
    for (const char* k : kKinds)
        known = known || kind == k;
    const std::string where = inTable ? " in the " + inTable->tableName() + " table" : " outside the tables";
    if (!known) {
        m_db.addRepairNote("UNKNOWN_TABLE_RECORD", handleIn(m_buf),
                           "a " + kind.substr(0, 40) + " at " + m_tagger.position(t.line) + where + " was dropped");
        return;
    }
    // A record goes to the table of its kind, wherever the file put it.
    AcDbSymbolTable* table = tableNamed(kind, {}, 0);
    if (table != inTable)
        m_db.addRepairNote("MISPLACED_TABLE_RECORD", handleIn(m_buf),
                           "a " + kind + " record at " + m_tagger.position(t.line) + where + " was put into the "
                               + kind + " table");
    std::unique_ptr<AcDbSymbolTableRecord> rec;
    if (kind == "LAYER")
        rec = std::make_unique<AcDbLayerTableRecord>();
    else if (kind == "LTYPE")
        rec = std::make_unique<AcDbLinetypeTableRecord>();
    else if (kind == "BLOCK_RECORD")
        rec = std::make_unique<AcDbBlockTableRecord>();
    else
        rec = std::make_unique<AcDbSymbolTableRecord>(kind, acdbRecordMarkerOf(kind));
    AcDbSymbolTableRecord* r = rec.get();
    AcDbStub* s = makeObject(std::move(rec), m_buf, nullptr);
    s->owner = AcDbInternals::stub(*table);
    if (kind == "BLOCK_RECORD")
        r->setName(layoutBlockName(r->name()));
    if (r->name().empty() || table->has(r->name())) {
        m_db.addRepairNote(r->name().empty() ? "UNNAMED_TABLE_RECORD" : "DUPLICATE_TABLE_RECORD", s->handle,
                           "a " + kind + " record at " + m_tagger.position(t.line)
                               + (r->name().empty() ? " without a name" : " named twice (" + r->name() + ")")
                               + " was dropped");
        s->inDatabase = false;
        return;
    }
    table->addRecordId(AcDbObjectId(s), r->name());
}

void Loader::readTables()
{
    Tag t;
    while (true) {
        t = expect(t.line, "the TABLES section is not closed");
        if ((t.code == 0 && t.value == "ENDSEC") || endsUnclosedSection(t, "TABLES"))
            return;
        if (t.code == 0 && t.value != "TABLE" && t.value != "ENDTAB") {
            readTableRecord(t, nullptr);
            continue;
        }
        if (t.code != 0 || t.value != "TABLE")
            throw DxfError(t.line, "expected TABLE, found '" + std::string(t.value.substr(0, 40)) + "'");
        readObjectTags(t, m_buf);
        std::string name;
        std::uint64_t handle = 0;
        std::vector<AcDbExtraTag> extra;
        std::uint8_t slot = 0;
        for (std::size_t i = 1; i < m_buf.size(); ++i) {
            const Tag& x = m_buf[i];
            if (x.code == 2 && name.empty())
                name = decode(x);
            else if ((x.code == 5 || x.code == 105) && handle == 0)
                handle = handleOrZero(x);
            else if (x.code == 330 && slot == 0)
                continue;
            else if (x.code == 100 && x.value == "AcDbSymbolTable")
                slot = 1;
            else if (x.code == 70 && slot <= 1)
                continue; // the record count is recomputed
            else
                extra.push_back(AcDbExtraTag{slot, static_cast<short>(x.code), decode(x)});
        }
        if (name.empty())
            throw DxfError(t.line, "a table without a name");
        if (m_db.table(name))
            m_db.addRepairNote("DUPLICATE_TABLE", handle, "table " + name + " appears twice; its records were merged");
        AcDbSymbolTable* table = tableNamed(name, std::move(extra), handle);
        while (true) {
            t = expect(t.line, ("the " + name + " table is not closed").c_str());
            if (t.code != 0)
                throw DxfError(t.line, "expected a table record, found group code " + std::to_string(t.code));
            if (t.value == "ENDTAB") {
                readObjectTags(t, m_buf);
                break;
            }
            if (t.value == "TABLE" || t.value == "ENDSEC" || t.value == "SECTION" || t.value == "EOF") {
                // The next table or section begins: this one lacks its end.
                m_db.addRepairNote("MISSING_ENDTAB", 0,
                                   "the " + name + " table is not closed: its ENDTAB is missing before line "
                                       + std::to_string(t.line));
                m_tagger.pushBack(t);
                break;
            }
            readTableRecord(t, table);
        }
    }
}

void Loader::readBlocks()
{
    Tag t;
    while (true) {
        t = expect(t.line, "the BLOCKS section is not closed");
        if ((t.code == 0 && t.value == "ENDSEC") || endsUnclosedSection(t, "BLOCKS"))
            return;
        if (t.code != 0 || t.value != "BLOCK")
            throw DxfError(t.line, "expected BLOCK, found '" + std::string(t.value.substr(0, 40)) + "'");
        const int blockLine = t.line;
        readObjectTags(t, m_buf);
        auto beginObj = std::make_unique<AcDbBlockBegin>();
        AcDbBlockBegin* begin = beginObj.get();
        AcDbStub* bs = makeObject(std::move(beginObj), m_buf, nullptr);
        const std::string name = layoutBlockName(begin->name);
        if (name.empty())
            throw DxfError(blockLine, "a block without a name");
        std::vector<AcDbStub*> entities;
        AcDbStub* es = nullptr;
        if (readEntities(&entities, name)) {
            t = expect(t.line, "a block is not closed");
            readObjectTags(t, m_buf);
            es = makeObject(std::make_unique<AcDbBlockEnd>(), m_buf, nullptr);
        } else {
            std::vector<Tag> endTags{Tag{0, "ENDBLK", blockLine}};
            es = makeObject(std::make_unique<AcDbBlockEnd>(), endTags, nullptr);
            static_cast<AcDbEntity*>(es->object.get())->setLayerName(begin->layerName());
        }

        AcDbSymbolTable* table = tableNamed("BLOCK_RECORD", {}, 0);
        AcDbBlockTableRecord* rec = m_db.blockRecord(name);
        if (!rec) {
            auto r = std::make_unique<AcDbBlockTableRecord>();
            r->setName(name);
            rec = r.get();
            AcDbStub* rs = AcDbInternals::newStub(m_db, std::move(r));
            rs->owner = AcDbInternals::stub(*table);
            table->addRecordId(AcDbObjectId(rs), name);
        }
        if (!rec->blockBeginId().isNull()) {
            m_db.addRepairNote("DUPLICATE_BLOCK", bs->handle,
                               "block " + name + " at " + m_tagger.position(blockLine)
                                   + " is defined twice; the second definition was dropped");
            bs->inDatabase = es->inDatabase = false;
            for (AcDbStub* e : entities)
                e->inDatabase = false;
            continue;
        }
        begin->setRecord(rec);
        rec->setOrigin(begin->base);
        rec->setBlockFlags(begin->flags);
        bs->owner = es->owner = AcDbInternals::stub(*rec);
        rec->setBlockBeginEnd(AcDbObjectId(bs), AcDbObjectId(es));
        auto& ids = rec->entityIdsForHost();
        ids.reserve(ids.size() + entities.size());
        for (AcDbStub* e : entities) {
            e->owner = AcDbInternals::stub(*rec);
            ids.push_back(AcDbObjectId(e));
        }
    }
}

void Loader::readObjects()
{
    Tag t;
    while (true) {
        t = expect(t.line, "the OBJECTS section is not closed");
        if ((t.code == 0 && t.value == "ENDSEC") || endsUnclosedSection(t, "OBJECTS"))
            return;
        if (t.code != 0)
            throw DxfError(t.line, "expected an object, found group code " + std::to_string(t.code));
        readObjectTags(t, m_buf);
        AcDbStub* s = makeObject(std::make_unique<AcDbRawObject>(std::string(t.value)), m_buf, nullptr);
        m_db.objectIdsForHost().push_back(AcDbObjectId(s));
    }
}

void Loader::ensureUsedNames()
{
    // Layers, linetypes and text styles that are used exist.
    // user: the handle of the entity that uses the name (0 for none).
    auto ensure = [&](const char* tableName, const std::string& name, std::uint64_t user) {
        if (name.empty())
            return;
        AcDbSymbolTable* t = m_db.table(tableName);
        if (t->has(name))
            return;
        AcDbSymbolTableRecord* rec;
        if (std::strcmp(tableName, "LAYER") == 0)
            rec = new AcDbLayerTableRecord();
        else if (std::strcmp(tableName, "LTYPE") == 0) {
            auto* lt = new AcDbLinetypeTableRecord();
            lt->extraTags() = {{2, 72, "65"}, {2, 73, "0"}, {2, 40, "0.0"}};
            rec = lt;
        } else {
            rec = new AcDbSymbolTableRecord(tableName, acdbRecordMarkerOf(tableName));
            if (std::strcmp(tableName, "STYLE") == 0)
                rec->extraTags() = {{2, 40, "0.0"}, {2, 41, "1.0"}, {2, 50, "0.0"}, {2, 71, "0"}, {2, 42, "2.5"},
                                    {2, 3, "txt"}, {2, 4, ""}};
        }
        rec->setName(name);
        AcDbObjectId id;
        m_db.addSymbolTableRecord(id, rec);
        m_db.addNote(std::string("UNDEFINED_") + tableName, user,
                     std::string(tableName) + " " + name + " was used but not defined; it was added");
    };
    std::string lastLayer = "0", lastLinetype = "ByLayer", lastStyle = "Standard";
    AcDbSymbolTable* blocks = m_db.table("BLOCK_RECORD");
    for (const AcDbObjectId& rid : blocks->recordIds()) {
        auto* rec = static_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(rid)->object.get());
        const AcDbObjectIdArray& ids = rec->entityIds();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            // The walk waits on memory: ask for the entities ahead early.
            if (i + kPrefetchAhead < ids.size())
                __builtin_prefetch(AcDbInternals::stub(ids[i + kPrefetchAhead])->object.get());
            const AcDbObjectId& eid = ids[i];
            auto* e = static_cast<AcDbEntity*>(AcDbInternals::stub(eid)->object.get());
            if (e->layerName() != lastLayer) {
                ensure("LAYER", e->layerName(), AcDbInternals::stub(eid)->handle);
                lastLayer = e->layerName();
            }
            if (e->linetypeName() != lastLinetype) {
                ensure("LTYPE", e->linetypeName(), AcDbInternals::stub(eid)->handle);
                lastLinetype = e->linetypeName();
            }
            if (auto* text = typeid(*e) == typeid(AcDbText) ? static_cast<AcDbText*>(e) : nullptr)
                if (text->styleName() != lastStyle) {
                    ensure("STYLE", text->styleName(), AcDbInternals::stub(eid)->handle);
                    lastStyle = text->styleName();
                }
        }
    }
    ensure("LAYER", "0", 0);
}

void Loader::resolve()
{
    m_db.repairStructure();
    if (m_duplicateHandles)
        m_db.addRepairNote("DUPLICATE_HANDLE", m_firstDuplicateHandle,
                           std::to_string(m_duplicateHandles) + " objects with handles used twice got new handles");
    if (m_badHandles)
        m_db.addRepairNote("INVALID_HANDLE", 0,
                           std::to_string(m_badHandles) + " objects with an empty or invalid handle (the first at line "
                               + std::to_string(m_firstBadHandleLine) + ") got new handles");

    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(m_db);
    AcDbBlockTableRecord* ps = m_db.blockRecord("*Paper_Space");
    std::uint64_t lastOwner = 0;
    AcDbBlockTableRecord* lastTarget = nullptr;
    ms->entityIdsForHost().reserve(ms->entityIds().size() + m_pending.size());
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        const PendingEntity& p = m_pending[i];
        AcDbBlockTableRecord* target = nullptr;
        if (p.owner && p.owner == lastOwner) {
            target = lastTarget;
        } else if (p.owner) {
            if (AcDbStub* o = AcDbInternals::stubForHandle(m_db, p.owner))
                target = dynamic_cast<AcDbBlockTableRecord*>(o->object.get());
            lastOwner = p.owner;
            lastTarget = target;
        }
        if (!target)
            target = m_pendingPaper[i] ? ps : ms;
        p.stub->owner = AcDbInternals::stub(*target);
        target->entityIdsForHost().push_back(AcDbObjectId(p.stub));
    }

    // Block references find their definitions; a missing one is made empty.
    for (AcDbStub* s : m_inserts) {
        auto* ref = static_cast<AcDbBlockReference*>(s->object.get());
        const std::string name = ref->unresolvedName();
        AcDbBlockTableRecord* rec = m_db.blockRecord(name);
        if (!rec) {
            if (name.empty()) {
                m_db.addRepairNote("UNNAMED_BLOCK_REFERENCE", s->handle, "a block reference without a block name was dropped");
                AcDbInternals::setErasedFlag(*s->object, true);
                continue;
            }
            rec = new AcDbBlockTableRecord();
            rec->setName(name);
            AcDbObjectId id;
            m_db.addBlockTableRecord(id, rec);
            m_db.addRepairNote("UNDEFINED_BLOCK", s->handle,
                               "block " + name + " was referenced but not defined; an empty definition was added");
        }
        ref->setBlockTableRecord(rec->objectId());
    }

    ensureUsedNames();
    for (const std::string& app : m_apps)
        if (!m_db.isAppRegistered(app)) {
            m_db.registerApp(app);
            m_db.addNote("UNREGISTERED_APP", 0,
                         "application " + app + " was used in extended data but not registered; it was added");
        }
}

} // namespace

void readDatabase(AcDbDatabase& db, std::string_view text)
{
    Loader loader(db, text);
    loader.run();
}

void readDatabase(AcDbDatabase& db, ByteSource& source, std::size_t blockBytes)
{
    Loader loader(db, source, blockBytes);
    loader.run();
}

} // namespace dxf
