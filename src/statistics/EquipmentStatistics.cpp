#include "statistics/EquipmentStatistics.h"

#include "components/NorvexCase.h"
#include "components/NorvexCodePage.h"
#include "components/NorvexGloFunc.h"
#include "components/TalvoDataBase.h"
#include "host/aced.h"
#include "host/dbmain.h"
#include "host/hostfile.h"
#include "statistics/EquipmentRows.h"
#include "statistics/ProjectReading.h"

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <deque>
#include <exception>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace {

constexpr std::size_t kValueSize = 4096;
constexpr std::size_t kListSize = 1 << 20;

// The first n characters of UTF-8 text, without converting the rest.
std::wstring firstChars(const std::string& utf8, std::size_t n)
{
    std::size_t end = 0, count = 0;
    while (end < utf8.size() && count < n) {
        ++end;
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            ++end;
        ++count;
    }
    return utf8ToWide(std::string_view(utf8).substr(0, end));
}

void trimLeftInPlace(std::wstring& s)
{
    std::size_t i = 0;
    while (i < s.size() && std::iswspace(s[i]))
        ++i;
    if (i)
        s.erase(0, i);
}

std::wstring trimLeft(const std::wstring& s)
{
    std::size_t i = 0;
    while (i < s.size() && std::iswspace(s[i]))
        ++i;
    return s.substr(i);
}

// The same drawing whatever the separators and whether it is named by
// ".dwg" or by its ".dxf".
std::wstring comparablePath(std::wstring upperPath)
{
    for (wchar_t& c : upperPath)
        if (c == L'\\')
            c = L'/';
    if (upperPath.size() >= 4 && upperPath.compare(upperPath.size() - 4, 4, L".DXF") == 0)
        upperPath.replace(upperPath.size() - 4, 4, L".DWG");
    return upperPath;
}

std::wstring sysvarString(const ACHAR* name)
{
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM || rb.restype != RTSTR)
        return {};
    std::wstring v = rb.resval.rstring ? rb.resval.rstring : L"";
    std::free(rb.resval.rstring);
    return v;
}

// The whole file in the process code page, line ends as "\n"; false when
// it cannot be read (a folder, a named pipe or a device is refused at once).
bool readTextFile(const std::wstring& path, std::wstring& text)
{
    std::string p = wideToUtf8(path);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    std::string file;
    if (!hostReadFile(p, file))
        return false;
    std::string bytes;
    for (char c : file)
        if (c != '\r')
            bytes.push_back(c);
    MultiByteToWide(bytes, text);
    return true;
}

// The equipment found so far, kept compact: a project can hold hundreds of
// thousands of items, and only the designations differ much. Designations
// live end to end in one pool of UTF-8, names and models once each in a
// table; an open-addressing index over 32-bit hashes finds a designation
// with one probe into contiguous memory for a new one. About 40 bytes an
// item, whatever the size of the drawings.
class EquipmentStore {
public:
    struct Record {
        std::uint32_t offset = 0; // into the pool
        std::uint32_t length = 0;
        std::uint32_t name = 0;   // into the texts
        std::uint32_t model = 0;
        int quantity = 0;
    };

    std::size_t size() const { return m_records.size(); }
    std::string_view designation(const Record& r) const { return std::string_view(m_pool).substr(r.offset, r.length); }
    const std::wstring& text(std::uint32_t id) const { return m_texts[id]; }
    const Record& record(std::size_t i) const { return m_records[i]; }

    // The record of the designation, or nullptr.
    Record* find(std::string_view designation, std::uint32_t& hash)
    {
        hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(designation)) | 1u; // 0: empty slot
        if (m_slots.empty())
            return nullptr;
        for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
            const Slot& s = m_slots[i];
            if (s.hash == 0)
                return nullptr;
            if (s.hash == hash && this->designation(m_records[s.record]) == designation)
                return &m_records[s.record];
        }
    }
    void add(std::string_view designation, std::uint32_t hash, std::uint32_t name, std::uint32_t model, int quantity)
    {
        m_records.push_back({static_cast<std::uint32_t>(m_pool.size()), static_cast<std::uint32_t>(designation.size()),
                             name, model, quantity});
        m_pool.append(designation);
        if (2 * (m_used + 1) > m_slots.size())
            grow();
        place(hash, static_cast<std::uint32_t>(m_records.size() - 1));
    }
    // The index is only needed while records are found.
    void dropIndex()
    {
        std::vector<Slot>().swap(m_slots);
        m_mask = m_used = 0;
    }
    // Names and models are few: each is kept once.
    std::uint32_t intern(const std::wstring& text)
    {
        auto [it, added] = m_textIds.try_emplace(text, static_cast<std::uint32_t>(m_texts.size()));
        if (added)
            m_texts.push_back(text);
        return it->second;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t record = 0;
    };
    void place(std::uint32_t hash, std::uint32_t record)
    {
        std::size_t i = hash & m_mask;
        while (m_slots[i].hash != 0)
            i = (i + 1) & m_mask;
        m_slots[i] = {hash, record};
        ++m_used;
    }
    void grow()
    {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(std::max<std::size_t>(1024, old.size() * 2), Slot{});
        m_mask = m_slots.size() - 1;
        m_used = 0;
        for (const Slot& s : old)
            if (s.hash != 0)
                place(s.hash, s.record);
    }

    std::deque<Record> m_records; // no copies as it grows
    std::string m_pool;
    std::vector<std::wstring> m_texts;
    std::unordered_map<std::wstring, std::uint32_t> m_textIds;
    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_used = 0;
};

// What one entity of a drawing holds for the table, as found: texts trimmed
// on the left, the name only for panel equipment.
enum class FoundKind : unsigned char { Text, Element, Panel };
struct FoundItem {
    std::wstring designation, name, model;
    FoundKind kind = FoundKind::Element;
};

// Finds the equipment of a drawing's model space in drawing order. It only
// reads the drawing it is given, so that separate drawings can be searched
// on separate threads; nothing is printed. False with the message when the
// model space cannot be walked.
struct Finder {
    std::wstring elementPrefix, panelPrefix;

    bool find(AcDbDatabase& db, std::vector<FoundItem>& found, std::wstring& failure) const
    {
        if (!db.table("BLOCK_RECORD")) {
            failure = L"\n打开块表失败!";
            return false;
        }
        AcDbBlockTableRecord* space = nullptr;
        if (acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) {
            failure = L"\n打开块表记录失败!";
            return false;
        }
        const AcDbObjectIdArray ids = space->entityIds();
        space->close();
        // Entities come in runs on the same layer: a layer is classified
        // once per run.
        std::string lastLayer(1, '\0');
        bool element = false, panel = false;
        FoundItem item;
        for (const AcDbObjectId& id : ids) {
            if (id.isErased())
                continue;
            AcDbEntity* ent = nullptr;
            if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) {
                failure = L"\n获取实体失败!";
                return false;
            }
            if (ent->layerName() != lastLayer) {
                lastLayer = ent->layerName();
                const std::wstring layer = UpperStr(firstChars(lastLayer, 3));
                element = layer == elementPrefix;
                panel = !element && layer == panelPrefix;
            }
            if (element || panel) {
                const bool block = dynamic_cast<AcDbBlockReference*>(ent) != nullptr;
                const bool text = element && !block && dynamic_cast<AcDbText*>(ent) != nullptr;
                if ((block || text) && findXdataString(ent, "XMDH", item.designation)
                    && (!panel || findXdataString(ent, "SBMC", item.name)) && findXdataString(ent, "XHGG", item.model)) {
                    trimLeftInPlace(item.designation);
                    trimLeftInPlace(item.model);
                    if (panel)
                        trimLeftInPlace(item.name);
                    else
                        item.name.clear();
                    item.kind = text ? FoundKind::Text : element ? FoundKind::Element : FoundKind::Panel;
                    found.push_back(item);
                }
            }
            ent->close();
        }
        return true;
    }
};

// The table being made: items found are added in drawing order, the first
// of a designation counting, a later different model replacing its model.
struct Collector {
    const std::wstring* nameFile = nullptr;
    // Said on the command line when a designation gets a second model.
    bool reportModels = true;
    EquipmentStore store;
    std::string designationUtf8;

    void add(const FoundItem& item, int multiplier)
    {
        designationUtf8 = wideToUtf8(item.designation);
        std::uint32_t hash = 0;
        if (EquipmentStore::Record* known = store.find(designationUtf8, hash)) {
            // Found before: only a different model may change it.
            const std::wstring& stored = store.text(known->model);
            if (stored == item.model)
                return;
            if (reportModels && !stored.empty() && !item.model.empty())
                acutPrintf(L"\n同一%ls设备的型号标注超过一个!", item.designation.c_str());
            if (!item.model.empty())
                known->model = store.intern(item.model);
            return;
        }
        std::uint32_t nameId = 0;
        if (item.kind == FoundKind::Text)
            nameId = store.intern(L"转换开关");
        else if (item.kind == FoundKind::Element)
            nameId = nameOf(SplitDesignation(item.designation).letters);
        else
            nameId = store.intern(item.name);
        store.add(designationUtf8, hash, nameId, store.intern(item.model), multiplier);
    }

    // Names by letter code: few codes, many items.
    std::uint32_t nameOf(const std::wstring& letters)
    {
        auto [it, added] = names.try_emplace(letters, 0);
        if (added) {
            std::wstring found = LookupEquipmentName(*nameFile, letters);
            trimLeftInPlace(found);
            it->second = store.intern(found);
        }
        return it->second;
    }

    std::vector<EquipmentRow> rows(int sortMode, const std::vector<std::wstring>& sortList)
    {
        if (store.size() == 0)
            return {};
        store.dropIndex();
        return BuildEquipmentRows(
            store.size(),
            [this](std::size_t i) {
                const EquipmentStore::Record& r = store.record(i);
                return EquipmentRecordView{store.designation(r), store.text(r.name), store.text(r.model), r.quantity};
            },
            sortMode, sortList);
    }

    std::unordered_map<std::wstring, std::uint32_t> names;
};

// A folder of the "VMQMain" settings; false after its message when it
// cannot be read or is empty.
bool readFolderSetting(const ACHAR* key, const ACHAR* fallback, std::wstring& folder)
{
    ACHAR value[kValueSize] = {};
    if (GetInformation(L"VMQMain", key, fallback, value, kValueSize) < 1) {
        acutPrintf(L"\n读取注册表项%ls错误.", key);
        return false;
    }
    folder = value;
    if (folder.empty()) {
        acutPrintf(L"\n注册表项%ls数据无效.", key);
        return false;
    }
    return true;
}

resbuf* newItem(short type)
{
    resbuf* rb = acutNewRb(type);
    return rb;
}

// Appends rb after tail; tail moves to it.
void append(resbuf*& tail, resbuf* rb)
{
    tail->rbnext = rb;
    tail = rb;
}

// Each row as a list of its texts.
void appendRows(resbuf*& tail, const std::vector<EquipmentRow>& rows)
{
    for (const EquipmentRow& row : rows) {
        append(tail, newItem(RTLB));
        for (const std::wstring& cell : row) {
            resbuf* s = newItem(RTSTR);
            s->resval.rstring = acutNewString(cell.c_str());
            append(tail, s);
        }
        append(tail, newItem(RTLE));
    }
}

// The rows as a chain of lists; one row is wrapped once more so that the
// caller always receives a list of rows.
resbuf* buildRows(const std::vector<EquipmentRow>& rows)
{
    resbuf head{};
    resbuf* tail = &head;
    const bool wrap = rows.size() == 1;
    if (wrap)
        append(tail, newItem(RTLB));
    appendRows(tail, rows);
    if (wrap)
        append(tail, newItem(RTLE));
    return head.rbnext;
}

// A table as one item of a list: the list of its rows, nil without rows.
void appendTable(resbuf*& tail, const std::vector<EquipmentRow>& rows)
{
    if (rows.empty()) {
        append(tail, newItem(RTNIL));
        return;
    }
    append(tail, newItem(RTLB));
    appendRows(tail, rows);
    append(tail, newItem(RTLE));
}

// Says why the table cannot be made; false.
bool failWith(const ACHAR* message)
{
    acutPrintf(L"%ls", message);
    return false;
}

// The drawings to collect from: the project's drawings (mode 1), or the
// current drawing.
bool projectDrawings(int mode, std::vector<ProjectDrawing>& drawings)
{
    if (mode == 1)
        return ReadProjectDrawings(drawings);
    drawings.push_back({L"", 1});
    return true;
}

// The order of the table from the settings file: the sort mode and, unless
// the rows keep the order found, the sort list. False, having said why,
// when the settings cannot be read.
bool readSortOrder(const std::wstring& settings, int& sortMode, std::vector<std::wstring>& sortList)
{
    ACHAR value[kValueSize] = {};
    if (FindFromQrzfile(settings.c_str(), L"生成顺序\\排序项", L"2", value, kValueSize) < 1)
        return failWith(L"\n读取QRZ文件错误!");
    const std::wstring sortText = value;
    if (sortText != L"0" && sortText != L"1" && sortText != L"2")
        return failWith(L"\n排序项数据无效.");
    sortMode = sortText[0] - L'0';
    if (sortMode != kSortAsFound) {
        if (FindFromQrzfile(settings.c_str(), L"生成顺序\\排序内容", L"任意", value, kValueSize) < 1)
            return failWith(L"\n读取QRZ文件错误!");
        if (value[0] == L'\0')
            return failWith(L"\n排序内容数据无效.");
        ExplodeStr(value, L",", sortList);
    }
    return true;
}

// One drawing's equipment as found, handed from the reading threads to the
// caller's.
struct DrawingFound {
    enum State { Waiting, Read, Unreadable, Failed, Current } state = Waiting;
    std::vector<FoundItem> items;
    std::wstring failure;
};

// Reads the project's drawings on several threads and hands each drawing's
// equipment to take(i, found) in the project's order on the caller's
// thread, so that the table and the messages are those of reading them one
// after the other. Each drawing read is dropped once searched; the threads
// run at most a few drawings ahead of the one being taken. The drawing
// open as the current one is searched on the caller's thread (take gets it
// as Current with nothing found).
template <class Take>
void readInParallel(const std::vector<ProjectDrawing>& drawings, const Finder& finder,
                    const std::function<bool(const ProjectDrawing&)>& isCurrent, Take take)
{
    std::vector<DrawingFound> found(drawings.size());
    auto read = [&](std::size_t i) {
        DrawingFound& result = found[i];
        if (isCurrent(drawings[i])) {
            result.state = DrawingFound::Current;
            return;
        }
        try {
            AcDbDatabase db(false, true);
            if (db.readDwgFile(drawings[i].path.c_str()) != Acad::eOk)
                result.state = DrawingFound::Unreadable;
            else
                result.state = finder.find(db, result.items, result.failure) ? DrawingFound::Read : DrawingFound::Failed;
        } catch (const std::exception&) {
            // Out of memory while reading: that drawing is not read.
            result = DrawingFound{};
            result.state = DrawingFound::Unreadable;
        }
    };
    ReadInOrder(drawings.size(), ReadingThreads(drawings.size()), read, [&](std::size_t i) {
        // Dropped once taken: only the drawings ahead are held.
        DrawingFound mine = std::move(found[i]);
        found[i] = DrawingFound{};
        return take(i, mine);
    });
}

// The settings every collection reads: the sort order, the name file, the
// layers. False, having said why, when they cannot be read.
struct TableSettings {
    int sortMode = 0;
    std::vector<std::wstring> sortList;
    std::wstring nameFile;
    Finder finder;
};

bool readTableSettings(TableSettings& t)
{
    std::wstring sys;
    if (!readFolderSetting(L"VmqSys", L"", sys))
        return false;
    const std::wstring settings = sys + L"\\DATCOM\\ESBB.Qrz";
    if (!readSortOrder(settings, t.sortMode, t.sortList))
        return false;

    ACHAR value[kValueSize] = {};
    if (GetInformation(L"GdData", L"Xmname", L"", value, kValueSize) < 1)
        return failWith(L"\n无法得到设备名称文件名.");
    const std::wstring nameFile = sys + L"\\DATCOM\\" + value;
    if (!readTextFile(nameFile, t.nameFile))
        acutPrintf(L"\n打开文件%ls失败", nameFile.c_str());

    LayerInfo element, panel;
    GetDQLayerName(L"SCHEMATIC", L"ELEMENT", element);
    GetDQLayerName(L"SCHEMATIC", L"SCREEN", panel);
    t.finder.elementPrefix = UpperStr(element.name).substr(0, 3);
    t.finder.panelPrefix = UpperStr(panel.name).substr(0, 3);
    return true;
}

// Collects each drawing into the project's collector (and, when perDrawing
// is given, each into a table of its own, counted once as the current
// drawing's table counts): the current drawing as it is open, the others
// read from their files. False when a drawing's model space cannot be
// walked.
bool scanDrawings(Collector& collector, int mode, const std::vector<ProjectDrawing>& drawings,
                  const TableSettings& settings, std::vector<DrawingTable>* perDrawing)
{
    const std::wstring current = comparablePath(UpperStr(trimLeft(sysvarString(L"dwgprefix") + sysvarString(L"dwgname"))));
    AcDbDatabase* open = acdbHostApplicationServices()->workingDatabase();
    std::wstring failure;
    auto takeFound = [&](const ProjectDrawing& d, const std::vector<FoundItem>& items) {
        for (const FoundItem& item : items)
            collector.add(item, d.multiplier);
        if (perDrawing) {
            Collector own;
            own.nameFile = collector.nameFile;
            own.reportModels = false;
            for (const FoundItem& item : items)
                own.add(item, 1);
            perDrawing->push_back({d.path, own.rows(settings.sortMode, settings.sortList)});
        }
    };
    auto searchOpen = [&](const ProjectDrawing& d) {
        std::vector<FoundItem> items;
        if (!open || !settings.finder.find(*open, items, failure))
            return false;
        takeFound(d, items);
        return true;
    };
    if (mode != 1) {
        if (searchOpen(drawings.front()))
            return true;
        acutPrintf(L"%ls", failure.c_str());
        return false;
    }

    bool ok = true;
    readInParallel(
        drawings, settings.finder,
        [&](const ProjectDrawing& d) { return open && comparablePath(UpperStr(d.path)) == current; },
        [&](std::size_t i, DrawingFound& f) {
            const ProjectDrawing& d = drawings[i];
            switch (f.state) {
            case DrawingFound::Unreadable:
                acutPrintf(L"无法打开文件:%ls", UpperStr(d.path).c_str());
                return true;
            case DrawingFound::Current:
                ok = searchOpen(d);
                break;
            case DrawingFound::Read:
                takeFound(d, f.items);
                break;
            default:
                failure = f.failure;
                ok = false;
            }
            return ok;
        });
    if (!ok)
        acutPrintf(L"%ls", failure.c_str());
    return ok;
}

} // namespace

bool ReadProjectDrawings(std::vector<ProjectDrawing>& drawings)
{
    drawings.clear();
    std::wstring user;
    if (!readFolderSetting(L"VmqUse", L"VmqUse", user))
        return false;
    const std::wstring listFile = user + L"\\Sbxl.Qrz";
    // The lists grow with the project: room for thousands of drawings.
    std::vector<ACHAR> list(kListSize);
    if (FindFromQrzfile(listFile.c_str(), L"Project\\Filenm", L"", list.data(), list.size()) < 1)
        return failWith(L"\n读取QRZ文件错误!");
    const std::wstring names = trimLeft(list.data());
    if (FindFromQrzfile(listFile.c_str(), L"Project\\Filenum", L"1", list.data(), list.size()) < 1)
        return failWith(L"\n读取QRZ文件错误!");
    const std::wstring numbers = trimLeft(list.data());
    if (names.empty() || numbers.empty())
        return failWith(L"\n工程环境中无图!");
    std::vector<std::wstring> paths, counts;
    ExplodeStr(names, L"&", paths);
    ExplodeStr(numbers, L"&", counts);
    if (paths.size() != counts.size())
        return failWith(L"\nSbxl.Qrz数据错误");
    for (std::size_t i = 0; i < paths.size(); ++i)
        drawings.push_back({paths[i] + L".dwg", DesignationNumber(counts[i])});
    return true;
}

bool CollectEquipmentTables(int mode, std::vector<EquipmentRow>& rows, std::vector<DrawingTable>* perDrawing)
{
    rows.clear();
    if (perDrawing)
        perDrawing->clear();
    std::vector<ProjectDrawing> drawings;
    if (!projectDrawings(mode, drawings))
        return false;
    TableSettings settings;
    if (!readTableSettings(settings))
        return false;
    Collector collector;
    collector.nameFile = &settings.nameFile;
    if (!scanDrawings(collector, mode, drawings, settings, perDrawing))
        return false;
    if (collector.store.size() == 0) {
        if (mode == 0)
            acutPrintf(L"\n当前图中没有设备表数据!");
        return true;
    }
    rows = collector.rows(settings.sortMode, settings.sortList);
    return true;
}

bool CollectEquipmentTable(int mode, std::vector<EquipmentRow>& rows)
{
    return CollectEquipmentTables(mode, rows, nullptr);
}

int esbbtj()
{
    const resbuf* args = acedGetArgs();
    if (!args) {
        acutPrintf(L"\n无参数!");
        acedRetVoid();
        return 1;
    }
    if (args->restype != RTSHORT) {
        acutPrintf(L"\n参数应为整型!");
        acedRetVoid();
        return 1;
    }
    const int mode = args->resval.rint;
    if (mode != 0 && mode != 1) {
        acutPrintf(L"\n参数应为0或1!");
        acedRetVoid();
        return 1;
    }
    std::vector<EquipmentRow> rows;
    if (!CollectEquipmentTable(mode, rows)) {
        acedRetVoid();
        return 1;
    }
    if (rows.empty()) {
        acedRetNil();
        return 1;
    }
    resbuf* list = buildRows(rows);
    if (!list) {
        acutPrintf(L"\n无法创建列表");
        acedRetVoid();
        return 1;
    }
    acedRetList(list);
    acutRelRb(list);
    return 1;
}

int esbbtjgt()
{
    if (acedGetArgs()) {
        acutPrintf(L"\n不需要参数!");
        acedRetVoid();
        return 1;
    }
    std::vector<EquipmentRow> rows;
    std::vector<DrawingTable> drawings;
    if (!CollectEquipmentTables(1, rows, &drawings)) {
        acedRetVoid();
        return 1;
    }
    resbuf head{};
    resbuf* tail = &head;
    appendTable(tail, rows);
    for (const DrawingTable& d : drawings) {
        tail->rbnext = newItem(RTLB);
        tail = tail->rbnext;
        resbuf* path = newItem(RTSTR);
        path->resval.rstring = acutNewString(d.path.c_str());
        tail->rbnext = path;
        tail = path;
        appendTable(tail, d.rows);
        tail->rbnext = newItem(RTLE);
        tail = tail->rbnext;
    }
    acedRetList(head.rbnext);
    acutRelRb(head.rbnext);
    return 1;
}
