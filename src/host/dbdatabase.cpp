// Ids, objects, tables, block definitions and the database.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/spatialindex.h"
#include "host/dxf/tags.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

namespace {

// Never destroyed: databases owned by other statics may outlive it.
// Separate databases may be made, read and dropped on several threads at
// once: the registry is used under its lock only, and serials are taken
// atomically.
std::map<std::int64_t, AcDbDatabase*>& registry()
{
    static auto* r = new std::map<std::int64_t, AcDbDatabase*>;
    return *r;
}
std::mutex& registryLock()
{
    static auto* m = new std::mutex;
    return *m;
}
std::atomic<std::int64_t> g_nextSerial{1};

// Names of tables and records compare without case (ASCII letters).
std::string foldName(const std::string& s)
{
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

const AcDbObjectId AcDbObjectId::kNull;

bool AcDbObjectId::isValid() const
{
    return m_stub && m_stub->inDatabase && m_stub->object;
}

bool AcDbObjectId::isErased() const
{
    return m_stub && m_stub->object && m_stub->object->isErased();
}

AcDbDatabase* AcDbObjectId::database() const
{
    return m_stub ? m_stub->db : nullptr;
}

std::uint64_t AcDbObjectId::handle() const
{
    return m_stub ? m_stub->handle : 0;
}

bool AcDbObjectId::operator<(const AcDbObjectId& o) const
{
    const std::int64_t a = m_stub && m_stub->db ? m_stub->db->serial() : 0;
    const std::int64_t b = o.m_stub && o.m_stub->db ? o.m_stub->db->serial() : 0;
    if (a != b)
        return a < b;
    return handle() < o.handle();
}

bool AcDbObjectIdArray::contains(const AcDbObjectId& id) const
{
    return std::find(begin(), end(), id) != end();
}

bool AcDbObjectIdArray::find(const AcDbObjectId& id, int& index) const
{
    auto it = std::find(begin(), end(), id);
    if (it == end())
        return false;
    index = static_cast<int>(it - begin());
    return true;
}

// ---------------------------------------------------------------- objects

AcDbObjectId AcDbObject::ownerId() const
{
    return AcDbObjectId(m_stub ? m_stub->owner : nullptr);
}

AcDbDatabase* AcDbObject::database() const
{
    return m_stub ? m_stub->db : nullptr;
}

std::uint64_t AcDbObject::handle() const
{
    return m_stub ? m_stub->handle : 0;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing)
{
    if (m_erased == erasing)
        return erasing ? Acad::eWasErased : Acad::eOk;
    if (m_stub && m_stub->db)
        AcDbInternals::journal(*m_stub->db).recordErased(m_stub, m_erased);
    m_erased = erasing;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::close()
{
    m_openMode = -1;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::upgradeOpen()
{
    if (m_openMode == AcDb::kForWrite)
        return Acad::eOk;
    if (m_stub && m_stub->db)
        AcDbInternals::journal(*m_stub->db).recordModified(m_stub);
    m_openMode = AcDb::kForWrite;
    return Acad::eOk;
}

// ---------------------------------------------------------------- tables

AcDbObjectId AcDbSymbolTable::getAt(const std::string& name) const
{
    auto it = m_index.find(foldName(name));
    return it == m_index.end() ? AcDbObjectId() : it->second;
}

void AcDbSymbolTable::addRecordId(AcDbObjectId id, const std::string& name)
{
    m_records.push_back(id);
    m_index.emplace(foldName(name), id);
}

void AcDbSymbolTable::removeRecordId(AcDbObjectId id, const std::string& name)
{
    auto it = std::find(m_records.rbegin(), m_records.rend(), id);
    if (it != m_records.rend())
        m_records.erase(std::next(it).base());
    auto ix = m_index.find(foldName(name));
    if (ix != m_index.end() && ix->second == id)
        m_index.erase(ix);
}

void AcDbSymbolTable::renameRecord(AcDbObjectId id, const std::string& oldName, const std::string& newName)
{
    auto ix = m_index.find(foldName(oldName));
    if (ix != m_index.end() && ix->second == id)
        m_index.erase(ix);
    m_index.emplace(foldName(newName), id);
}

bool AcDbBlockTableRecord::isLayout() const
{
    const std::string n = foldName(name());
    return n == "*model_space" || n.rfind("*paper_space", 0) == 0;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity)
{
    if (!entity)
        return Acad::eInvalidInput;
    if (AcDbInternals::stub(*entity))
        return Acad::eAlreadyInDb;
    if (!acdbHasFiniteFields(*entity))
        return Acad::eInvalidInput;
    AcDbDatabase* db = database();
    if (!db)
        return Acad::eNoDatabase;
    AcDbStub* s = AcDbInternals::newStub(*db, std::unique_ptr<AcDbObject>(entity));
    s->owner = AcDbInternals::stub(*this);
    m_entities.push_back(AcDbObjectId(s));
    AcDbInternals::journal(*db).recordAdded(s);
    id = AcDbObjectId(s);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* entity)
{
    AcDbObjectId id;
    return appendAcDbEntity(id, entity);
}

// ---------------------------------------------------------------- database

AcDbHostApplicationServices* acdbHostApplicationServices()
{
    static AcDbHostApplicationServices services;
    return &services;
}

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing, bool)
    : m_serial(g_nextSerial++), m_stubs(std::make_unique<std::deque<AcDbStub>>()),
      m_spatial(std::make_unique<host::SpatialIndex>(*this)), m_undo(std::make_unique<AcDbUndoJournal>(*this))
{
    {
        const std::lock_guard<std::mutex> lock(registryLock());
        registry()[m_serial] = this;
    }
    if (buildDefaultDrawing) {
        m_undo->setRecording(false);
        setHeaderVar("$ACADVER", 1, "AC1024");
        setHeaderVar("$DWGCODEPAGE", 3, "ANSI_936");
        setHeaderVar("$CLAYER", 8, "0");
        setHeaderVar("$CELTYPE", 6, "ByLayer");
        setHeaderVar("$CECOLOR", 62, "256");
        setHeaderVar("$LUNITS", 70, "2");
        setHeaderVar("$LUPREC", 70, "4");
        repairStructure();
        m_notes.clear();
        m_undo->setRecording(true);
    }
}

AcDbDatabase::~AcDbDatabase()
{
    {
        const std::lock_guard<std::mutex> lock(registryLock());
        registry().erase(m_serial);
    }
    if (acdbHostApplicationServices()->workingDatabase() == this)
        acdbHostApplicationServices()->setWorkingDatabase(nullptr);
}

AcDbDatabase* AcDbDatabase::fromSerial(std::int64_t serial)
{
    const std::lock_guard<std::mutex> lock(registryLock());
    auto it = registry().find(serial);
    return it == registry().end() ? nullptr : it->second;
}

void AcDbDatabase::swapContents(AcDbDatabase& other)
{
    // The serial stays with the object; everything else moves.
    std::swap(m_stubs, other.m_stubs);
    std::swap(m_handles, other.m_handles);
    std::swap(m_dense, other.m_dense);
    std::swap(m_handseed, other.m_handseed);
    std::swap(m_tables, other.m_tables);
    std::swap(m_objects, other.m_objects);
    std::swap(m_header, other.m_header);
    std::swap(m_rawSections, other.m_rawSections);
    std::swap(m_notes, other.m_notes);
    std::swap(m_recovered, other.m_recovered);
    std::swap(m_fileName, other.m_fileName);
    for (auto& s : *m_stubs)
        s.db = this;
    for (auto& s : *other.m_stubs)
        s.db = &other;
    m_undo->clear();
    other.m_undo->clear();
    m_spatial->reset();
    other.m_spatial->reset();
}

AcDbStub** AcDbDatabase::handleSlot(std::uint64_t handle, bool create)
{
    if (handle < kDenseHandles) {
        if (handle >= m_dense.size()) {
            if (!create)
                return nullptr;
            m_dense.resize(std::max<std::size_t>(handle + 1, m_dense.size() * 3 / 2), nullptr);
        }
        return &m_dense[handle];
    }
    if (!create) {
        auto it = m_handles.find(handle);
        return it == m_handles.end() ? nullptr : &it->second;
    }
    return &m_handles[handle];
}

AcDbStub* AcDbDatabase::newStub(std::unique_ptr<AcDbObject> obj, std::uint64_t handle, bool* renumbered)
{
    AcDbStub** slot = handle != 0 ? handleSlot(handle, true) : nullptr;
    if (!slot || *slot) {
        if (renumbered && handle != 0)
            *renumbered = true;
        handle = m_handseed;
        while (stubForHandle(handle))
            ++handle;
        slot = handleSlot(handle, true);
    }
    noteHandle(handle);
    AcDbStub& s = m_stubs->emplace_back();
    s.db = this;
    s.handle = handle;
    s.object = std::move(obj);
    if (s.object)
        AcDbInternals::setStub(*s.object, &s);
    *slot = &s;
    return &s;
}

AcDbStub* AcDbDatabase::stubForHandle(std::uint64_t handle) const
{
    if (handle < m_dense.size())
        return m_dense[handle];
    if (handle < kDenseHandles)
        return nullptr;
    auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : it->second;
}

AcDbSymbolTable* AcDbDatabase::table(const std::string& name) const
{
    for (const AcDbObjectId& id : m_tables) {
        auto* t = static_cast<AcDbSymbolTable*>(AcDbInternals::stub(id)->object.get());
        if (t->tableName() == name)
            return t;
    }
    return nullptr;
}

AcDbBlockTableRecord* AcDbDatabase::blockRecord(const std::string& name) const
{
    AcDbSymbolTable* t = table("BLOCK_RECORD");
    if (!t)
        return nullptr;
    AcDbObjectId id = t->getAt(name);
    if (!id.isValid())
        return nullptr;
    return dynamic_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(id)->object.get());
}

AcDbObjectId AcDbDatabase::modelSpaceId() const
{
    AcDbBlockTableRecord* r = blockRecord("*Model_Space");
    return r ? r->objectId() : AcDbObjectId();
}

AcDbObjectId AcDbDatabase::paperSpaceId() const
{
    AcDbBlockTableRecord* r = blockRecord("*Paper_Space");
    return r ? r->objectId() : AcDbObjectId();
}

AcDbBlockTableRecord* AcDbDatabase::modelSpace() const
{
    return blockRecord("*Model_Space");
}

Acad::ErrorStatus AcDbDatabase::addSymbolTableRecord(AcDbObjectId& id, AcDbSymbolTableRecord* record)
{
    if (!record)
        return Acad::eInvalidInput;
    if (AcDbInternals::stub(*record))
        return Acad::eAlreadyInDb;
    AcDbSymbolTable* t = table(record->dxfName());
    if (!t) {
        // A table the drawing lacks is made on first use.
        auto* nt = new AcDbSymbolTable(record->dxfName());
        AcDbStub* ts = newStub(std::unique_ptr<AcDbObject>(nt));
        m_tables.push_back(AcDbObjectId(ts));
        t = nt;
    }
    // A name must stay one DXF value: no line ends or other control characters.
    const std::string& name = record->name();
    if (name.empty()
        || std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return Acad::eInvalidInput;
    if (t->has(record->name()))
        return Acad::eDuplicateKey;
    AcDbStub* s = newStub(std::unique_ptr<AcDbObject>(record));
    s->owner = AcDbInternals::stub(*t);
    t->addRecordId(AcDbObjectId(s), record->name());
    m_undo->recordAdded(s);
    id = AcDbObjectId(s);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::addBlockTableRecord(AcDbObjectId& id, AcDbBlockTableRecord* record)
{
    if (!record)
        return Acad::eInvalidInput;
    const bool recording = m_undo->isRecording();
    Acad::ErrorStatus es = addSymbolTableRecord(id, record);
    if (es != Acad::eOk)
        return es;
    // The frame entities come with the record and go with it on undo.
    m_undo->setRecording(false);
    auto* begin = new AcDbBlockBegin();
    begin->setRecord(record);
    auto* end = new AcDbBlockEnd();
    AcDbStub* bs = newStub(std::unique_ptr<AcDbObject>(begin));
    AcDbStub* es2 = newStub(std::unique_ptr<AcDbObject>(end));
    bs->owner = es2->owner = AcDbInternals::stub(*record);
    record->setBlockBeginEnd(AcDbObjectId(bs), AcDbObjectId(es2));
    m_undo->setRecording(recording);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::registerApp(const std::string& name)
{
    if (name.empty() || name.size() > 255)
        return Acad::eInvalidInput;
    if (isAppRegistered(name))
        return Acad::eOk;
    auto* rec = new AcDbSymbolTableRecord("APPID", "AcDbRegAppTableRecord");
    rec->setName(name);
    AcDbObjectId id;
    Acad::ErrorStatus es = addSymbolTableRecord(id, rec);
    if (es != Acad::eOk)
        delete rec;
    return es;
}

bool AcDbDatabase::isAppRegistered(const std::string& name) const
{
    AcDbSymbolTable* t = table("APPID");
    return t && t->getAt(name).isValid();
}

const AcDbHeaderVar* AcDbDatabase::headerVar(const std::string& name) const
{
    for (const auto& v : m_header)
        if (v.name == name)
            return &v;
    return nullptr;
}

std::string AcDbDatabase::headerString(const std::string& name) const
{
    const AcDbHeaderVar* v = headerVar(name);
    return v && !v->tags.empty() ? v->tags.front().value : std::string();
}

void AcDbDatabase::setHeaderTags(const std::string& name, AcDbDxfTags tags)
{
    auto it = std::find_if(m_header.begin(), m_header.end(), [&](const AcDbHeaderVar& v) { return v.name == name; });
    m_undo->recordHeader(name, it == m_header.end() ? nullptr : &*it);
    if (tags.empty()) {
        if (it != m_header.end())
            m_header.erase(it);
        return;
    }
    if (it == m_header.end())
        m_header.push_back(AcDbHeaderVar{name, std::move(tags)});
    else
        it->tags = std::move(tags);
}

void AcDbDatabase::setHeaderVar(const std::string& name, short code, const std::string& value)
{
    setHeaderTags(name, AcDbDxfTags{AcDbDxfTag{code, value}});
}

// ---------------------------------------------------------------- structure

namespace {

const char* const kTableOrder[] = {"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW", "UCS", "APPID", "DIMSTYLE", "BLOCK_RECORD"};

const char* markerOf(const std::string& table)
{
    if (table == "VPORT") return "AcDbViewportTableRecord";
    if (table == "LTYPE") return "AcDbLinetypeTableRecord";
    if (table == "LAYER") return "AcDbLayerTableRecord";
    if (table == "STYLE") return "AcDbTextStyleTableRecord";
    if (table == "VIEW") return "AcDbViewTableRecord";
    if (table == "UCS") return "AcDbUCSTableRecord";
    if (table == "APPID") return "AcDbRegAppTableRecord";
    if (table == "DIMSTYLE") return "AcDbDimStyleTableRecord";
    if (table == "BLOCK_RECORD") return "AcDbBlockTableRecord";
    return "AcDbSymbolTableRecord";
}

void addExtra(AcDbObject& o, short code, std::string value, std::uint8_t slot = 0)
{
    o.extraTags().push_back(AcDbExtraTag{slot, code, std::move(value)});
}

std::string hex(std::uint64_t h)
{
    return dxf::formatHandle(h);
}

// The default records of the tables, each where the drawing lacks it.
void addDefaultRecords(AcDbDatabase& db)
{
    auto ensure = [&db](const std::string& tableName, const std::string& name, AcDbSymbolTableRecord* rec) {
        if (db.table(tableName)->has(name)) {
            delete rec;
            return;
        }
        rec->setName(name);
        AcDbObjectId id;
        if (tableName == "BLOCK_RECORD")
            db.addBlockTableRecord(id, static_cast<AcDbBlockTableRecord*>(rec));
        else
            db.addSymbolTableRecord(id, rec);
    };

    auto* vport = new AcDbSymbolTableRecord("VPORT", markerOf("VPORT"));
    for (auto& [c, v] : std::vector<std::pair<short, std::string>>{{10, "0.0"}, {20, "0.0"}, {11, "1.0"}, {21, "1.0"},
             {12, "0.0"}, {22, "0.0"}, {13, "0.0"}, {23, "0.0"}, {14, "10.0"}, {24, "10.0"}, {15, "10.0"}, {25, "10.0"},
             {16, "0.0"}, {26, "0.0"}, {36, "1.0"}, {17, "0.0"}, {27, "0.0"}, {37, "0.0"}, {40, "100.0"}, {41, "1.5"},
             {42, "50.0"}, {43, "0.0"}, {44, "0.0"}, {50, "0.0"}, {51, "0.0"}, {71, "0"}, {72, "1000"}, {73, "1"},
             {74, "3"}, {75, "0"}, {76, "0"}, {77, "0"}, {78, "0"}})
        addExtra(*vport, c, v, 2);
    ensure("VPORT", "*Active", vport);

    auto lt = [](const char* desc) {
        auto* r = new AcDbLinetypeTableRecord();
        r->setDescription(desc);
        addExtra(*r, 72, "65", 2);
        addExtra(*r, 73, "0", 2);
        addExtra(*r, 40, "0.0", 2);
        return r;
    };
    ensure("LTYPE", "ByBlock", lt(""));
    ensure("LTYPE", "ByLayer", lt(""));
    ensure("LTYPE", "Continuous", lt("Solid line"));
    ensure("LAYER", "0", new AcDbLayerTableRecord());
    auto* style = new AcDbSymbolTableRecord("STYLE", markerOf("STYLE"));
    for (auto& [c, v] : std::vector<std::pair<short, std::string>>{{40, "0.0"}, {41, "1.0"}, {50, "0.0"}, {71, "0"},
             {42, "2.5"}, {3, "txt"}, {4, ""}})
        addExtra(*style, c, v, 2);
    ensure("STYLE", "Standard", style);
    ensure("APPID", "ACAD", new AcDbSymbolTableRecord("APPID", markerOf("APPID")));
    ensure("DIMSTYLE", "Standard", new AcDbSymbolTableRecord("DIMSTYLE", markerOf("DIMSTYLE")));
    ensure("BLOCK_RECORD", "*Model_Space", new AcDbBlockTableRecord());
    ensure("BLOCK_RECORD", "*Paper_Space", new AcDbBlockTableRecord());
}

// The objects section: a root dictionary with groups and layouts, where
// the drawing has no dictionary.
void addRootDictionary(AcDbDatabase& db)
{
    bool hasRoot = false;
    for (const AcDbObjectId& id : db.objectIds())
        if (AcDbInternals::stub(id)->object->dxfName() == "DICTIONARY") {
            hasRoot = true;
            break;
        }
    if (hasRoot)
        return;
    auto addObject = [&db](const std::string& name) {
        AcDbStub* s = AcDbInternals::newStub(db, std::make_unique<AcDbRawObject>(name));
        db.objectIdsForHost().push_back(AcDbObjectId(s));
        return s;
    };
    AcDbStub* root = addObject("DICTIONARY");
    AcDbStub* groups = addObject("DICTIONARY");
    AcDbStub* layouts = addObject("DICTIONARY");
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    AcDbBlockTableRecord* ps = db.blockRecord("*Paper_Space");
    AcDbStub* msLayout = addObject("LAYOUT");
    AcDbStub* psLayout = addObject("LAYOUT");
    AcDbObject& r = *root->object;
    addExtra(r, 330, "0");
    addExtra(r, 100, "AcDbDictionary");
    addExtra(r, 281, "1");
    addExtra(r, 3, "ACAD_GROUP");
    addExtra(r, 350, hex(groups->handle));
    addExtra(r, 3, "ACAD_LAYOUT");
    addExtra(r, 350, hex(layouts->handle));
    for (AcDbStub* d : {groups, layouts}) {
        addExtra(*d->object, 330, hex(root->handle));
        addExtra(*d->object, 100, "AcDbDictionary");
        addExtra(*d->object, 281, "1");
    }
    addExtra(*layouts->object, 3, "Model");
    addExtra(*layouts->object, 350, hex(msLayout->handle));
    addExtra(*layouts->object, 3, "Layout1");
    addExtra(*layouts->object, 350, hex(psLayout->handle));
    auto layout = [&](AcDbStub* s, const char* name, int order, AcDbBlockTableRecord* owner) {
        AcDbObject& o = *s->object;
        addExtra(o, 330, hex(layouts->handle));
        const std::vector<std::pair<short, std::string>> tags = {{100, "AcDbPlotSettings"}, {1, ""}, {2, ""},
            {4, ""}, {6, ""}, {40, "0.0"}, {41, "0.0"}, {42, "0.0"}, {43, "0.0"}, {44, "420.0"}, {45, "297.0"},
            {46, "0.0"}, {47, "0.0"}, {48, "0.0"}, {49, "0.0"}, {140, "0.0"}, {141, "0.0"}, {142, "1.0"},
            {143, "1.0"}, {70, order == 0 ? "1024" : "0"}, {72, "1"}, {73, "0"}, {74, "5"}, {7, ""}, {75, "16"},
            {76, "0"}, {77, "2"}, {78, "300"}, {147, "1.0"}, {148, "0.0"}, {149, "0.0"}, {100, "AcDbLayout"},
            {1, name}, {70, "1"}, {71, std::to_string(order)}, {10, "0.0"}, {20, "0.0"}, {11, "420.0"},
            {21, "297.0"}, {12, "0.0"}, {22, "0.0"}, {32, "0.0"}, {14, "1e+20"}, {24, "1e+20"}, {34, "1e+20"},
            {15, "-1e+20"}, {25, "-1e+20"}, {35, "-1e+20"}, {146, "0.0"}, {13, "0.0"}, {23, "0.0"}, {33, "0.0"},
            {16, "1.0"}, {26, "0.0"}, {36, "0.0"}, {17, "0.0"}, {27, "1.0"}, {37, "0.0"}, {76, "1"}};
        for (const auto& [c, v] : tags)
            addExtra(o, c, v);
        addExtra(o, 330, hex(owner->handle()));
        // The block record points at its layout.
        auto& ex = owner->extraTags();
        ex.erase(std::remove_if(ex.begin(), ex.end(), [](const AcDbExtraTag& t) { return t.code == 340; }), ex.end());
        ex.insert(ex.begin(), AcDbExtraTag{2, 340, hex(s->handle)});
    };
    layout(msLayout, "Model", 0, ms);
    layout(psLayout, "Layout1", 1, ps);
}

} // namespace

const char* acdbRecordMarkerOf(const std::string& table)
{
    return markerOf(table);
}

void AcDbDatabase::repairStructure()
{
    const bool recording = m_undo->isRecording();
    m_undo->setRecording(false);

    // Required tables, in the writers' order.
    for (const char* name : kTableOrder) {
        if (table(name))
            continue;
        AcDbStub* s = newStub(std::make_unique<AcDbSymbolTable>(name));
        if (std::string(name) == "DIMSTYLE") {
            addExtra(*s->object, 100, "AcDbDimStyleTable", 1);
            addExtra(*s->object, 71, "1", 1);
        }
        m_tables.push_back(AcDbObjectId(s));
        if (!m_notes.empty() || !m_objects.empty())
            addNote("MISSING_TABLE", s->handle, std::string("added the missing ") + name + " table");
    }
    std::stable_sort(m_tables.begin(), m_tables.end(), [](const AcDbObjectId& a, const AcDbObjectId& b) {
        auto rank = [](const AcDbObjectId& id) {
            const std::string& n = static_cast<AcDbSymbolTable*>(AcDbInternals::stub(id)->object.get())->tableName();
            for (int i = 0; i < 9; ++i)
                if (n == kTableOrder[i])
                    return i;
            return 9;
        };
        return rank(a) < rank(b);
    });

    addDefaultRecords(*this);
    addRootDictionary(*this);
    m_undo->setRecording(recording);
}
