#include "statistics/EquipmentStatistics.h"

#include "components/NorvexCodePage.h"
#include "components/NorvexGloFunc.h"
#include "components/TalvoDataBase.h"
#include "host/aced.h"
#include "host/dbmain.h"
#include "statistics/EquipmentRows.h"

#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_map>

namespace {

constexpr std::size_t kValueSize = 4096;

std::wstring upper(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

std::wstring trimLeft(const std::wstring& s)
{
    std::size_t i = 0;
    while (i < s.size() && std::iswspace(s[i]))
        ++i;
    return s.substr(i);
}

std::vector<std::wstring> splitAt(const std::wstring& text, wchar_t sep)
{
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start));
        if (at == std::wstring::npos)
            return parts;
        start = at + 1;
    }
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
// it cannot be opened.
bool readTextFile(const std::wstring& path, std::wstring& text)
{
    std::string p = wideToUtf8(path);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    std::stringstream ss;
    ss << in.rdbuf();
    std::string bytes;
    for (char c : ss.str())
        if (c != '\r')
            bytes.push_back(c);
    MultiByteToWide(bytes, text);
    return true;
}

std::wstring xdataText(AcDbObject* obj, const ACHAR* app, bool& found)
{
    ACHAR value[kValueSize] = {};
    found = findXdata(obj, app, value, kValueSize) != 0;
    return value;
}

struct Collector {
    std::wstring elementPrefix, panelPrefix, nameFile;
    std::vector<EquipmentRecord> records;
    std::unordered_map<std::wstring, std::size_t> byDesignation;

    // False when the drawing's model space cannot be walked (the whole
    // call ends then).
    bool scan(AcDbDatabase& db, int multiplier)
    {
        if (!db.table("BLOCK_RECORD")) {
            acutPrintf(L"\n打开块表失败!");
            return false;
        }
        AcDbBlockTableRecord* space = db.modelSpace();
        if (!space) {
            acutPrintf(L"\n打开块表记录失败!");
            return false;
        }
        for (const AcDbObjectId& id : space->entityIds()) {
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
        const std::wstring layer = upper(ent->layer()).substr(0, 3);
        const bool block = dynamic_cast<AcDbBlockReference*>(ent) != nullptr;
        const bool text = !block && dynamic_cast<AcDbText*>(ent) != nullptr;
        bool hasDesignation = false, hasName = true, hasModel = false;
        std::wstring designation, name, model;
        if (layer == elementPrefix && (block || text)) {
            designation = xdataText(ent, L"XMDH", hasDesignation);
            model = xdataText(ent, L"XHGG", hasModel);
            if (!hasDesignation || !hasModel)
                return;
            name = text ? L"转换开关" : LookupEquipmentName(nameFile, SplitDesignation(trimLeft(designation)).letters);
        } else if (layer == panelPrefix && block) {
            designation = xdataText(ent, L"XMDH", hasDesignation);
            name = xdataText(ent, L"SBMC", hasName);
            model = xdataText(ent, L"XHGG", hasModel);
            if (!hasDesignation || !hasName || !hasModel)
                return;
        } else {
            return;
        }
        add(trimLeft(designation), trimLeft(name), trimLeft(model), multiplier);
    }

    void add(const std::wstring& designation, const std::wstring& name, const std::wstring& model, int quantity)
    {
        auto it = byDesignation.find(designation);
        if (it == byDesignation.end()) {
            byDesignation.emplace(designation, records.size());
            records.push_back({designation, name, model, quantity});
            return;
        }
        EquipmentRecord& r = records[it->second];
        if (r.model == model)
            return;
        if (!r.model.empty() && !model.empty())
            acutPrintf(L"\n同一%ls设备的型号标注超过一个!", designation.c_str());
        if (!model.empty())
            r.model = model;
    }
};

struct ProjectDrawing {
    std::wstring path; // as listed, ".dwg" appended
    int multiplier = 1;
};

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

} // namespace

bool CollectEquipmentTable(int mode, std::vector<EquipmentRow>& rows)
{
    rows.clear();
    auto fail = [](const ACHAR* message) {
        acutPrintf(L"%ls", message);
        return false;
    };
    const std::wstring current = comparablePath(upper(trimLeft(sysvarString(L"dwgprefix") + sysvarString(L"dwgname"))));
    std::vector<ProjectDrawing> drawings;
    ACHAR value[kValueSize] = {};
    if (mode == 1) {
        if (GetInformation(L"VMQMain", L"VmqUse", L"VmqUse", value, kValueSize) < 1)
            return fail(L"\n读取注册表项VmqUse错误.");
        const std::wstring user = value;
        if (user.empty())
            return fail(L"\n注册表项VmqUse数据无效.");
        const std::wstring listFile = user + L"\\Sbxl.Qrz";
        if (FindFromQrzfile(listFile.c_str(), L"Project\\Filenm", L"", value, kValueSize) < 1)
            return fail(L"\n读取QRZ文件错误!");
        const std::wstring names = trimLeft(value);
        if (FindFromQrzfile(listFile.c_str(), L"Project\\Filenum", L"1", value, kValueSize) < 1)
            return fail(L"\n读取QRZ文件错误!");
        const std::wstring numbers = trimLeft(value);
        if (names.empty() || numbers.empty())
            return fail(L"\n工程环境中无图!");
        const auto paths = splitAt(names, L'&');
        const auto counts = splitAt(numbers, L'&');
        if (paths.size() != counts.size())
            return fail(L"\nSbxl.Qrz数据错误");
        for (std::size_t i = 0; i < paths.size(); ++i)
            drawings.push_back({paths[i] + L".dwg", DesignationNumber(counts[i])});
    } else {
        drawings.push_back({L"", 1});
    }

    if (GetInformation(L"VMQMain", L"VmqSys", L"", value, kValueSize) < 1)
        return fail(L"\n读取注册表项VmqSys错误.");
    const std::wstring sys = value;
    if (sys.empty())
        return fail(L"\n注册表项VmqSys数据无效.");
    const std::wstring settings = sys + L"\\DATCOM\\ESBB.Qrz";
    if (FindFromQrzfile(settings.c_str(), L"生成顺序\\排序项", L"2", value, kValueSize) < 1)
        return fail(L"\n读取QRZ文件错误!");
    const std::wstring sortText = value;
    if (sortText != L"0" && sortText != L"1" && sortText != L"2")
        return fail(L"\n排序项数据无效.");
    const int sortMode = sortText[0] - L'0';
    std::vector<std::wstring> sortList;
    if (sortMode != kSortAsFound) {
        if (FindFromQrzfile(settings.c_str(), L"生成顺序\\排序内容", L"任意", value, kValueSize) < 1)
            return fail(L"\n读取QRZ文件错误!");
        if (value[0] == L'\0')
            return fail(L"\n排序内容数据无效.");
        sortList = splitAt(value, L',');
    }

    if (GetInformation(L"GdData", L"Xmname", L"", value, kValueSize) < 1)
        return fail(L"\n无法得到设备名称文件名.");
    Collector collector;
    const std::wstring nameFile = sys + L"\\DATCOM\\" + value;
    if (!readTextFile(nameFile, collector.nameFile))
        acutPrintf(L"\n打开文件%ls失败", nameFile.c_str());

    LayerInfo element, panel;
    GetDQLayerName(L"SCHEMATIC", L"ELEMENT", element);
    GetDQLayerName(L"SCHEMATIC", L"SCREEN", panel);
    collector.elementPrefix = upper(element.name).substr(0, 3);
    collector.panelPrefix = upper(panel.name).substr(0, 3);

    AcDbDatabase* open = acdbHostApplicationServices()->workingDatabase();
    for (const ProjectDrawing& d : drawings) {
        AcDbDatabase* db = open;
        std::unique_ptr<AcDbDatabase> read;
        if (mode == 1) {
            const std::wstring shown = upper(d.path);
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

    if (collector.records.empty()) {
        if (mode == 0)
            acutPrintf(L"\n当前图中没有设备表数据!");
        return true;
    }
    rows = BuildEquipmentRows(collector.records, sortMode, sortList);
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
