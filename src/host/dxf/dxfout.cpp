// The typed level of DXF writing: a database to R2010+ UTF-8 DXF text.
#include "host/dbdxf.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dxf/dxfio.h"
#include "host/dxf/tags.h"
#include "host/hostfile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dxf {

namespace {

bool equalsNoCase(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Writes the fields an object describes, with its extra tags after the
// known fields of their subclass.
class FieldWriter final : public AcDbDxfFields {
public:
    FieldWriter(TagWriter& w, const std::vector<AcDbExtraTag>& extra) : m_w(w), m_extra(extra) {}

    bool isReading() const override { return false; }
    void subclass(const char* marker) override
    {
        flush(m_slot);
        ++m_slot;
        m_w.str(100, marker);
    }
    // A default value is left out, unless an extra tag of the subclass has
    // the same code: the field must then come first to read back as itself.
    void text(short code, std::string& v, const char* dflt) override
    {
        if (dflt && equalsNoCase(v, dflt) && !shadowed(code))
            return;
        m_w.str(code, v);
    }
    void name(short code, AcDbSharedName& v, const char* dflt) override
    {
        if (dflt && equalsNoCase(v.str(), dflt) && !shadowed(code))
            return;
        m_w.str(code, v.str());
    }
    void real(short code, double& v, double dflt, bool always) override
    {
        if (always || v != dflt || shadowed(code))
            m_w.real(code, v);
    }
    void angle(short code, double& radians, bool always) override
    {
        if (always || radians != 0.0 || shadowed(code))
            m_w.real(code, degreesForFile(radians));
    }
    void integer(short code, int& v, int dflt, bool always) override
    {
        if (always || v != dflt || shadowed(code))
            m_w.integer(code, v);
    }
    void point(short code, AcGePoint3d& p, bool flat) override { m_w.point(code, p.x, p.y, p.z, !flat); }
    void normal(short code, AcGeVector3d& v) override
    {
        if (!(v.x == 0.0 && v.y == 0.0 && v.z == 1.0) || shadowed(code) || shadowed(static_cast<short>(code + 10))
            || shadowed(static_cast<short>(code + 20)))
            m_w.point(code, v.x, v.y, v.z);
    }
    void blockName(short code, AcDbBlockReference& ref) override { m_w.str(code, ref.blockName()); }
    void vertices(AcDbPolyline& pl) override
    {
        const unsigned int n = pl.numVerts();
        const bool widths = pl.hasVertexWidths();
        for (unsigned int i = 0; i < n; ++i) {
            AcGePoint2d p;
            pl.getPointAt(i, p);
            m_w.point(10, p.x, p.y, 0.0, false);
            if (widths) {
                double sw, ew;
                pl.getWidthsAt(i, sw, ew);
                m_w.real(40, sw);
                m_w.real(41, ew);
            }
            if (pl.hasBulges()) {
                double b;
                pl.getBulgeAt(i, b);
                if (b != 0.0)
                    m_w.real(42, b);
            }
        }
    }
    void finish()
    {
        flush(m_slot);
        for (const AcDbExtraTag& t : m_extra)
            if (t.slot > m_slot)
                m_w.str(t.code, t.value);
    }

private:
    bool shadowed(short code) const
    {
        for (const AcDbExtraTag& t : m_extra)
            if (t.code == code && t.slot == m_slot)
                return true;
        return false;
    }
    void flush(int slot)
    {
        if (slot == 0)
            return; // slot 0 is written before the owner
        for (const AcDbExtraTag& t : m_extra)
            if (t.slot == slot)
                m_w.str(t.code, t.value);
    }
    TagWriter& m_w;
    const std::vector<AcDbExtraTag>& m_extra;
    int m_slot = 0;
};

void hexBytes(std::string& out, std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
}

} // namespace

void writeXData(TagWriter& w, const AcDbXData& xdata)
{
    std::string hex;
    for (const AcDbXGroup& g : xdata) {
        w.str(1001, g.app);
        for (const AcDbXData::Item it : g.items) {
            const short code = it.code();
            switch (AcDbXData::fixedValueBytes(code)) {
            case 24: {
                const AcGePoint3d p = it.point();
                w.point(code, p.x, p.y, p.z);
                break;
            }
            case 8: w.real(code, it.real()); break;
            case 4: w.integer(code, it.integer()); break;
            default:
                if (code == 1004) {
                    hex.clear();
                    hexBytes(hex, it.text());
                    w.str(1004, hex);
                } else {
                    w.str(code, it.text());
                }
                break;
            }
        }
    }
}

void writeObject(TagWriter& w, const AcDbObject& cobj)
{
    // Describing fields needs a mutable object; the writer changes nothing.
    AcDbObject& obj = const_cast<AcDbObject&>(cobj);
    const std::string name = obj.dxfName();
    const auto& extra = cobj.extraTags();
    const AcDbInternals::FileKind kind = AcDbInternals::fileKind(obj);
    if (kind == AcDbInternals::FileKind::Table) {
        auto* table = static_cast<AcDbSymbolTable*>(&obj);
        w.str(0, "TABLE");
        w.str(2, table->tableName());
        w.handle(5, obj.handle());
        for (const AcDbExtraTag& t : extra)
            if (t.slot == 0)
                w.str(t.code, t.value);
        w.str(330, "0");
    } else if (kind == AcDbInternals::FileKind::RawObject) {
        w.str(0, name);
        w.handle(5, obj.handle());
        for (const AcDbExtraTag& t : extra)
            w.str(t.code, t.value);
        writeXData(w, obj.xdataGroups());
        return;
    } else {
        w.str(0, name);
        w.handle(name == "DIMSTYLE" ? 105 : 5, obj.handle());
        // Leading application data groups ("102 {...", "102 }") come before
        // the owner, the rest of the first slot after it, so that the owner
        // reads back as owner.
        std::vector<const AcDbExtraTag*> first, head, rest;
        for (const AcDbExtraTag& t : extra)
            if (t.slot == 0)
                first.push_back(&t);
        std::size_t k = 0;
        while (k < first.size() && first[k]->code == 102 && !first[k]->value.empty() && first[k]->value.front() == '{') {
            std::size_t close = k + 1;
            while (close < first.size() && first[close]->code != 102)
                ++close;
            if (close >= first.size() || first[close]->value != "}")
                break;
            head.insert(head.end(), first.begin() + static_cast<std::ptrdiff_t>(k),
                        first.begin() + static_cast<std::ptrdiff_t>(close + 1));
            k = close + 1;
        }
        rest.assign(first.begin() + static_cast<std::ptrdiff_t>(k), first.end());
        for (const AcDbExtraTag* t : head)
            w.str(t->code, t->value);
        const AcDbStub* self = AcDbInternals::stub(obj);
        const AcDbStub* owner = self ? self->owner : nullptr;
        w.handle(330, owner ? owner->handle : 0);
        for (const AcDbExtraTag* t : rest)
            w.str(t->code, t->value);
    }
    FieldWriter fw(w, extra);
    AcDbInternals::describeFields(obj, fw);
    fw.finish();
    writeXData(w, obj.xdataGroups());
    if (kind == AcDbInternals::FileKind::Entity)
        if (const auto* f = static_cast<AcDbEntity&>(obj).followers())
            for (const AcDbDxfTags& tags : *f)
                for (const AcDbDxfTag& t : tags)
                    w.str(t.code, t.value);
}

namespace {

// A live object of the drawing, then a chance to hand the text on.
void writeLive(TagWriter& w, const AcDbObjectId& id)
{
    if (!id.isValid() || id.isErased())
        return;
    writeObject(w, *AcDbInternals::stub(id)->object);
    w.maybeFlush();
}

// A section of tags as they were read.
void writeRawSection(TagWriter& w, const std::string& name, const std::vector<AcDbDxfTags>& records)
{
    w.str(0, "SECTION");
    w.str(2, name);
    for (const AcDbDxfTags& rec : records)
        for (const AcDbDxfTag& t : rec)
            w.str(t.code, t.value);
    w.str(0, "ENDSEC");
}

// HEADER: the version is at least R2010; the handle seed is ours.
void writeHeader(const AcDbDatabase& db, TagWriter& w)
{
    std::string version = db.version();
    // Every version the reader accepts has the form AC10nn.
    if (version.size() != 6 || version < "AC1024")
        version = "AC1024";
    const bool r2018 = version >= "AC1032";
    w.str(0, "SECTION");
    w.str(2, "HEADER");
    bool wroteVersion = false;
    auto writeVersion = [&] {
        w.str(9, "$ACADVER");
        w.str(1, version);
        wroteVersion = true;
    };
    for (const AcDbHeaderVar& v : db.headerVars()) {
        if (v.name == "$ACADVER") {
            writeVersion();
            continue;
        }
        if (!wroteVersion)
            writeVersion();
        if (v.name == "$HANDSEED")
            continue;
        if (v.name == "$ACADMAINTVER") {
            w.str(9, v.name);
            w.str(r2018 ? 90 : 70, v.tags.empty() ? "0" : v.tags.front().value);
            continue;
        }
        w.str(9, v.name);
        for (const AcDbDxfTag& t : v.tags)
            w.str(t.code, t.value);
    }
    if (!wroteVersion)
        writeVersion();
    w.str(9, "$HANDSEED");
    w.handle(5, db.nextHandle());
    w.str(0, "ENDSEC");
}

void writeTables(const AcDbDatabase& db, TagWriter& w)
{
    w.str(0, "SECTION");
    w.str(2, "TABLES");
    for (const AcDbObjectId& tid : db.tableIds()) {
        auto* table = static_cast<AcDbSymbolTable*>(AcDbInternals::stub(tid)->object.get());
        writeObject(w, *table);
        for (const AcDbObjectId& rid : table->recordIds())
            writeLive(w, rid);
        w.str(0, "ENDTAB");
    }
    w.str(0, "ENDSEC");
}

// BLOCKS: every block's begin and end; the layouts' entities go in ENTITIES.
void writeBlocks(const AcDbDatabase& db, TagWriter& w)
{
    w.str(0, "SECTION");
    w.str(2, "BLOCKS");
    if (AcDbSymbolTable* blocks = db.table("BLOCK_RECORD")) {
        for (const AcDbObjectId& rid : blocks->recordIds()) {
            if (!rid.isValid() || rid.isErased())
                continue;
            auto* rec = static_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(rid)->object.get());
            if (rec->blockBeginId().isNull())
                continue;
            writeObject(w, *AcDbInternals::stub(rec->blockBeginId())->object);
            const bool layout = equalsNoCase(rec->name(), "*Model_Space") || equalsNoCase(rec->name(), "*Paper_Space");
            if (!layout)
                for (const AcDbObjectId& eid : rec->entityIds())
                    writeLive(w, eid);
            writeObject(w, *AcDbInternals::stub(rec->blockEndId())->object);
        }
    }
    w.str(0, "ENDSEC");
}

void writeEntitiesAndObjects(const AcDbDatabase& db, TagWriter& w)
{
    w.str(0, "SECTION");
    w.str(2, "ENTITIES");
    for (const char* space : {"*Model_Space", "*Paper_Space"})
        if (AcDbBlockTableRecord* rec = db.blockRecord(space))
            for (const AcDbObjectId& eid : rec->entityIds())
                writeLive(w, eid);
    w.str(0, "ENDSEC");

    w.str(0, "SECTION");
    w.str(2, "OBJECTS");
    for (const AcDbObjectId& oid : db.objectIds())
        writeLive(w, oid);
    w.str(0, "ENDSEC");
}

void writeSections(const AcDbDatabase& db, TagWriter& w)
{
    writeHeader(db, w);
    // CLASSES as read (or empty), the sections we do not know after ours.
    std::vector<AcDbDxfTags> classes;
    for (const auto& [name, records] : db.rawSections())
        if (name == "CLASSES")
            classes.insert(classes.end(), records.begin(), records.end());
    writeRawSection(w, "CLASSES", classes);
    writeTables(db, w);
    writeBlocks(db, w);
    writeEntitiesAndObjects(db, w);
    for (const auto& [name, records] : db.rawSections())
        if (name != "CLASSES")
            writeRawSection(w, name, records);
    w.str(0, "EOF");
}

} // namespace

std::string writeDatabase(const AcDbDatabase& db)
{
    std::string out;
    // About 250 bytes an entity: one allocation for most drawings.
    std::size_t entities = 0;
    if (AcDbSymbolTable* blocks = db.table("BLOCK_RECORD"))
        for (const AcDbObjectId& rid : blocks->recordIds())
            if (auto* rec = dynamic_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(rid)->object.get()))
                entities += rec->entityIds().size();
    out.reserve((entities + db.objectIds().size()) * 256 + 64 * 1024);
    TagWriter w(out);
    writeSections(db, w);
    return out;
}

bool saveDatabase(const AcDbDatabase& db, const std::string& path, std::string& error)
{
    HostAtomicFile file(path);
    if (!file.ok()) {
        error = file.error();
        return false;
    }
    std::string buffer;
    buffer.reserve(2 << 20);
    TagWriter w(buffer, [](void* f, const std::string& chunk) { static_cast<HostAtomicFile*>(f)->write(chunk); }, &file);
    try {
        writeSections(db, w);
    } catch (const DxfWriteError& e) {
        // The temporary file goes with file; path stays as it was.
        error = "cannot save " + path + ": " + e.what();
        return false;
    }
    w.flush();
    if (!file.commit()) {
        error = file.error();
        return false;
    }
    return true;
}

void objectTags(const AcDbObject& obj, AcDbDxfTags& out)
{
    std::string text;
    TagWriter w(text);
    try {
        writeObject(w, obj);
    } catch (const DxfWriteError&) {
        // A value no file may hold (not finite): the tags before it.
    }
    Tagger tg(text);
    Tag t;
    while (tg.next(t))
        out.push_back(AcDbDxfTag{static_cast<short>(t.code), std::string(t.value)});
}

bool writeFileAtomically(const std::string& path, const std::string& data, std::string& error)
{
    return hostWriteFileAtomically(path, data, error);
}

} // namespace dxf
