#include "statistics/EquipmentStatistics.h"

#include "components/NorvexCase.h"
#include "components/NorvexCodePage.h"
#include "components/NorvexGloFunc.h"
#include "components/TalvoDataBase.h"
#include "host/aced.h"
#include "host/dbmain.h"
#include "host/hostfile.h"
#include "statistics/EquipmentRows.h"
#include "statistics/ProjectDrawings.h"

#include <cstdlib>
#include <cwctype>
#include <deque>
#include <string_view>
#include <memory>
#include <unordered_map>

namespace {

constexpr std::size_t kValueSize = 4096;

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

struct Collector {
    std::wstring elementPrefix, panelPrefix, nameFile;
    EquipmentStore store;
    // Reused for every entity.
    std::wstring designation, name, model;
    std::string designationUtf8;
    std::string lastLayer = std::string(1, '\0');
    bool lastElement = false, lastPanel = false;

    // False when the drawing's model space cannot be walked (the whole
    // call ends then).
    bool scan(AcDbDatabase& db, int multiplier)
    {
        if (!db.table("BLOCK_RECORD")) {
            acutPrintf(L"\n打开块表失败!");
            return false;
        }
        AcDbBlockTableRecord* space = nullptr;
        if (acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) {
            acutPrintf(L"\n打开块表记录失败!");
            return false;
        }
        const AcDbObjectIdArray ids = space->entityIds();
        space->close();
        for (const AcDbObjectId& id : ids) {
            if (id.isErased())
                continue;
            AcDbEntity* ent = nullptr;
            if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) {
                acutPrintf(L"\n获取实体失败!");
                return false;
            }
            classify(ent, multiplier);
            ent->close();
        }
        return true;
    }

    void classify(AcDbEntity* ent, int multiplier)
    {
        // Entities come in runs on the same layer: classify a layer once per run.
        if (ent->layerName() != lastLayer) {
            lastLayer = ent->layerName();
            const std::wstring layer = UpperStr(firstChars(lastLayer, 3));
            lastElement = layer == elementPrefix;
            lastPanel = !lastElement && layer == panelPrefix;
        }
        const bool element = lastElement, panel = lastPanel;
        if (!element && !panel)
            return;
        const bool block = dynamic_cast<AcDbBlockReference*>(ent) != nullptr;
        const bool text = element && !block && dynamic_cast<AcDbText*>(ent) != nullptr;
        if (!block && !text)
            return;
        if (!findXdataString(ent, "XMDH", designation) || (panel && !findXdataString(ent, "SBMC", name))
            || !findXdataString(ent, "XHGG", model))
            return;
        trimLeftInPlace(designation);
        trimLeftInPlace(model);
        designationUtf8 = wideToUtf8(designation);
        std::uint32_t hash = 0;
        if (EquipmentStore::Record* known = store.find(designationUtf8, hash)) {
            // Found before: only a different model may change it.
            const std::wstring& stored = store.text(known->model);
            if (stored == model)
                return;
            if (!stored.empty() && !model.empty())
                acutPrintf(L"\n同一%ls设备的型号标注超过一个!", designation.c_str());
            if (!model.empty())
                known->model = store.intern(model);
            return;
        }
        std::uint32_t nameId = 0;
        if (text) {
            nameId = store.intern(L"转换开关");
        } else if (element) {
            nameId = nameOf(SplitDesignation(designation).letters);
        } else {
            trimLeftInPlace(name);
            nameId = store.intern(name);
        }
        store.add(designationUtf8, hash, nameId, store.intern(model), multiplier);
    }

    // Names by letter code: few codes, many items.
    std::uint32_t nameOf(const std::wstring& letters)
    {
        auto [it, added] = names.try_emplace(letters, 0);
        if (added) {
            std::wstring found = LookupEquipmentName(nameFile, letters);
            trimLeftInPlace(found);
            it->second = store.intern(found);
        }
        return it->second;
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

// The rows as a chain of lists; one row is wrapped once more so that the
// caller always receives a list of rows.
resbuf* buildRows(const std::vector<EquipmentRow>& rows)
{
    resbuf head{};
    resbuf* tail = &head;
    auto append = [&](resbuf* rb) {
        tail->rbnext = rb;
        tail = rb;
    };
    const bool wrap = rows.size() == 1;
    if (wrap)
        append(newItem(RTLB));
    for (const EquipmentRow& row : rows) {
        append(newItem(RTLB));
        for (const std::wstring& cell : row) {
            resbuf* s = newItem(RTSTR);
            s->resval.rstring = acutNewString(cell.c_str());
            append(s);
        }
        append(newItem(RTLE));
    }
    if (wrap)
        append(newItem(RTLE));
    return head.rbnext;
}

// Says why the table cannot be made; false.
bool failWith(const ACHAR* message)
{
    acutPrintf(L"%ls", message);
    return false;
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

// Scans each drawing into the collector: the current one as it is open,
// the others read one at a time. False when a scan fails.
bool scanDrawings(Collector& collector, int mode, const std::vector<ProjectDrawing>& drawings)
{
    const std::wstring current = comparablePath(UpperStr(trimLeft(sysvarString(L"dwgprefix") + sysvarString(L"dwgname"))));
    AcDbDatabase* open = acdbHostApplicationServices()->workingDatabase();
    for (const ProjectDrawing& d : drawings) {
        AcDbDatabase* db = open;
        std::unique_ptr<AcDbDatabase> read;
        if (mode == 1) {
            const std::wstring shown = UpperStr(d.path);
            if (comparablePath(shown) != current || !open) {
                // One drawing at a time: each is dropped before the next is read.
                read = std::make_unique<AcDbDatabase>(false, true);
                if (read->readDwgFile(d.path.c_str()) != Acad::eOk) {
                    acutPrintf(L"无法打开文件:%ls", shown.c_str());
                    continue;
                }
                db = read.get();
            }
        }
        if (!db || !collector.scan(*db, d.multiplier))
            return false;
    }
    return true;
}

} // namespace

bool CollectEquipmentTable(int mode, std::vector<EquipmentRow>& rows)
{
    rows.clear();
    std::vector<ProjectDrawing> drawings;
    if (!projectDrawings(mode, drawings))
        return false;

    std::wstring sys;
    if (!readFolderSetting(L"VmqSys", L"", sys))
        return false;
    const std::wstring settings = sys + L"\\DATCOM\\ESBB.Qrz";
    int sortMode = 0;
    std::vector<std::wstring> sortList;
    if (!readSortOrder(settings, sortMode, sortList))
        return false;

    ACHAR value[kValueSize] = {};
    if (GetInformation(L"GdData", L"Xmname", L"", value, kValueSize) < 1)
        return failWith(L"\n无法得到设备名称文件名.");
    Collector collector;
    const std::wstring nameFile = sys + L"\\DATCOM\\" + value;
    if (!readTextFile(nameFile, collector.nameFile))
        acutPrintf(L"\n打开文件%ls失败", nameFile.c_str());

    LayerInfo element, panel;
    GetDQLayerName(L"SCHEMATIC", L"ELEMENT", element);
    GetDQLayerName(L"SCHEMATIC", L"SCREEN", panel);
    collector.elementPrefix = UpperStr(element.name).substr(0, 3);
    collector.panelPrefix = UpperStr(panel.name).substr(0, 3);

    if (!scanDrawings(collector, mode, drawings))
        return false;

    if (collector.store.size() == 0) {
        if (mode == 0)
            acutPrintf(L"\n当前图中没有设备表数据!");
        return true;
    }
    collector.store.dropIndex();
    const EquipmentStore& store = collector.store;
    rows = BuildEquipmentRows(
        store.size(),
        [&](std::size_t i) {
            const EquipmentStore::Record& r = store.record(i);
            return EquipmentRecordView{store.designation(r), store.text(r.name), store.text(r.model), r.quantity};
        },
        sortMode, sortList);
    return true;
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
