#include "components/NorvexGloFunc.h"

#include "components/NorvexCase.h"
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/dbmain.h"
#include "host/hostfile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <set>
#include <unistd.h>

namespace {

using Json = nlohmann::json;

std::string hostPath(const ACHAR* p)
{
    std::string s = wideToUtf8(p ? p : L"");
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

void copyOut(const std::wstring& text, ACHAR* out, std::size_t size)
{
    if (!out || size == 0)
        return;
    const std::size_t n = std::min(text.size(), size - 1);
    std::wmemcpy(out, text.c_str(), n);
    out[n] = L'\0';
}

std::vector<std::string> splitPath(const ACHAR* keyPath)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : wideToUtf8(keyPath ? keyPath : L"")) {
        if (c == '\\' || c == '/') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    return parts;
}

// Files reported as damaged, so that each is reported once.
std::set<std::string>& reported()
{
    static std::set<std::string> files;
    return files;
}

// What reading a JSON file gave.
enum class JsonRead { Ok, Missing, Unreadable, Damaged };

// Reads a JSON file; error says why unless it is read or missing.
JsonRead readJson(const std::string& path, Json& out, std::string& error)
{
    error.clear();
    std::string text;
    const HostFileRead read = hostReadFile(path, text);
    if (!read) {
        if (read.missing)
            return JsonRead::Missing;
        error = read.error;
        return JsonRead::Unreadable;
    }
    try {
        out = Json::parse(text);
    } catch (const Json::exception& e) {
        error = path + ": damaged (" + e.what() + ")";
        return JsonRead::Damaged;
    }
    if (!out.is_object()) {
        error = path + ": damaged (not an object)";
        return JsonRead::Damaged;
    }
    return JsonRead::Ok;
}

} // namespace

namespace {

bool settingsNamedByEnvironment()
{
    const char* env = std::getenv("CTRLSCH_SETTINGS");
    return env && *env;
}

// The line telling what a read of the settings file gave: the file in use,
// or why the defaults are used instead (the reader's words after the file).
std::string settingsMessage(const std::string& path, JsonRead read, const std::string& error)
{
    switch (read) {
    case JsonRead::Ok:
        return "设置文件: " + path + "\n";
    case JsonRead::Missing:
        return settingsNamedByEnvironment() ? "设置文件不存在, 使用默认设置: " + path + "\n"
                                            : "未设置 CTRLSCH_SETTINGS, 使用默认设置 (" + path + " 不存在)\n";
    case JsonRead::Unreadable:
        return "设置文件无法读取, 使用默认设置: " + error + "\n";
    case JsonRead::Damaged:
        break;
    }
    return "设置文件损坏, 使用默认设置: " + error + "\n";
}

} // namespace

std::string SettingsFilePath()
{
    if (settingsNamedByEnvironment())
        return std::getenv("CTRLSCH_SETTINGS");
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.config/ctrlsch/settings.json";
}

std::string DescribeSettingsFile()
{
    Json settings;
    std::string error;
    const std::string path = SettingsFilePath();
    const JsonRead read = readJson(path, settings, error);
    if (read == JsonRead::Unreadable || read == JsonRead::Damaged)
        reported().insert(path);
    return settingsMessage(path, read, error);
}

int GetInformation(const ACHAR* section, const ACHAR* key, const ACHAR* defaultValue, ACHAR* value, std::size_t size,
                   int)
{
    copyOut(defaultValue ? defaultValue : L"", value, size);
    Json settings;
    std::string error;
    const std::string path = SettingsFilePath();
    const JsonRead read = readJson(path, settings, error);
    if (read != JsonRead::Ok) {
        if (read != JsonRead::Missing && reported().insert(path).second)
            acutPrintf(L"\n%ls", utf8ToWide(settingsMessage(path, read, error)).c_str());
        return 0;
    }
    const std::string s = wideToUtf8(section ? section : L""), k = wideToUtf8(key ? key : L"");
    auto sec = settings.find(s);
    if (sec == settings.end() || !sec->is_object())
        return 0;
    auto v = sec->find(k);
    if (v == sec->end() || !v->is_string())
        return 0;
    const std::wstring text = utf8ToWide(v->get<std::string>());
    copyOut(text, value, size);
    return static_cast<int>(text.size()) + 1;
}

// ---------------------------------------------------------------- project data

struct CInterDpData::Impl {
    Json tree = Json::object();
    bool damaged = false;
    std::string error;
    // Nodes handed out: their text lives here until the next change.
    std::map<std::string, std::pair<DpValueNode, std::wstring>> nodes;
};

CInterDpData::CInterDpData() : m_impl(std::make_unique<Impl>()) {}
CInterDpData::~CInterDpData() = default;

bool CInterDpData::ReadDataFromQrzFile(const ACHAR* path)
{
    m_impl->tree = Json::object();
    m_impl->nodes.clear();
    m_impl->damaged = false;
    const std::string p = hostPath(path);
    Json j;
    const JsonRead read = readJson(p, j, m_impl->error);
    if (read != JsonRead::Ok) {
        if (read != JsonRead::Missing) {
            m_impl->damaged = true;
            if (reported().insert(p).second)
                acutPrintf(read == JsonRead::Damaged ? L"\n项目数据文件损坏, 按空文件读取且不会改写: %ls"
                                                     : L"\n项目数据文件无法读取, 按空文件读取且不会改写: %ls",
                           utf8ToWide(m_impl->error).c_str());
        }
        return false;
    }
    m_impl->tree = std::move(j);
    return true;
}

bool CInterDpData::WriteDataToQrzFile(const ACHAR* path)
{
    if (m_impl->damaged) {
        // The changes are lost: say so, and leave the file for the user.
        acutPrintf(L"\n项目数据文件损坏或无法读取, 设置未保存: %ls\n", utf8ToWide(hostPath(path)).c_str());
        return false;
    }
    std::string error;
    return hostWriteFileAtomically(hostPath(path), m_impl->tree.dump(2) + "\n", error);
}

const DpValueNode* CInterDpData::GetSubValueFromPathW(int, const ACHAR* keyPath)
{
    const std::vector<std::string> parts = splitPath(keyPath);
    if (parts.empty())
        return nullptr;
    const Json* node = &m_impl->tree;
    for (const std::string& part : parts) {
        if (!node->is_object())
            return nullptr;
        auto it = node->find(part);
        if (it == node->end())
            return nullptr;
        node = &*it;
    }
    if (!node->is_string())
        return nullptr;
    std::string key;
    for (const std::string& part : parts)
        key += part + "\\";
    auto& slot = m_impl->nodes[key];
    slot.second = utf8ToWide(node->get<std::string>());
    slot.first.length = static_cast<short>(std::min<std::size_t>(slot.second.size() + 1, 32767));
    slot.first.text = slot.second.c_str();
    return &slot.first;
}

bool CInterDpData::SetSubValueW(const ACHAR* keyPath, int length, const ACHAR* text, int)
{
    const std::vector<std::string> parts = splitPath(keyPath);
    if (parts.empty() || !text || length < 1)
        return false;
    Json* node = &m_impl->tree;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        Json& child = (*node)[parts[i]];
        if (!child.is_object())
            child = Json::object();
        node = &child;
    }
    std::wstring value(text, std::wcslen(text));
    if (value.size() > static_cast<std::size_t>(length - 1))
        value.resize(static_cast<std::size_t>(length - 1));
    (*node)[parts.back()] = wideToUtf8(value);
    m_impl->nodes.clear();
    return true;
}

const std::string& CInterDpData::error() const
{
    return m_impl->error;
}

namespace {

std::wstring workingProjectFile()
{
    ACHAR folder[1024];
    GetInformation(L"VMQMain", L"VmqUse", L"C:\\User", folder, 1024);
    return std::wstring(folder) + L"\\VmqTemporary.Qrz";
}

} // namespace

void GetQrzfile(const ACHAR* keyPath, const ACHAR* defaultValue, ACHAR* value, std::size_t size)
{
    FindFromQrzfile(workingProjectFile().c_str(), keyPath, defaultValue, value, size);
}

void WriteQrzfile(const ACHAR* keyPath, const ACHAR* value)
{
    const std::wstring file = workingProjectFile();
    CInterDpData data;
    data.ReadDataFromQrzFile(file.c_str()); // a damaged file is refused by the write, with a message
    data.SetSubValueW(keyPath, static_cast<int>(std::wcslen(value ? value : L"")) + 1, value ? value : L"", 0);
    data.WriteDataToQrzFile(file.c_str());
}

int FindFromQrzfile(const ACHAR* filePath, const ACHAR* keyPath, const ACHAR* defaultValue, ACHAR* value,
                    std::size_t size)
{
    copyOut(defaultValue ? defaultValue : L"", value, size);
    CInterDpData data;
    if (!data.ReadDataFromQrzFile(filePath))
        return 0;
    const DpValueNode* node = data.GetSubValueFromPathW(0, keyPath);
    if (!node) // the file was read: an absent key gives the default
        return static_cast<int>(std::wcslen(defaultValue ? defaultValue : L"")) + 1;
    copyOut(node->text, value, size);
    return node->length;
}

// ---------------------------------------------------------------- host helpers

void SendMsgToAcad(const ACHAR* text, int length)
{
    if (!text || length < 1)
        return;
    std::wstring t(text, std::min<std::size_t>(std::wcslen(text), static_cast<std::size_t>(length - 1)));
    acDocManager->sendStringToExecute(acDocManager->curDocument(), t.c_str());
}

int AddXdata(const ads_name entity, const ACHAR* app, const resbuf* items)
{
    AcDbObjectId id;
    if (!app || acdbGetObjectId(id, entity) != Acad::eOk)
        return 0;
    AcDbDatabase* db = id.database();
    db->registerApp(wideToUtf8(app));
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForWrite) != Acad::eOk)
        return 0;
    resbuf* head = acutBuildList(1001, app, 0);
    resbuf* tail = head;
    for (const resbuf* p = items; p; p = p->rbnext) {
        if (p->restype != RTSTR)
            continue;
        tail->rbnext = acutBuildList(1000, p->resval.rstring, 0);
        tail = tail->rbnext;
    }
    const bool ok = obj->setXData(head) == Acad::eOk;
    acutRelRb(head);
    obj->close();
    return ok ? 1 : 0;
}

bool findXdataString(const AcDbObject* obj, std::string_view app, std::wstring& text)
{
    if (!obj)
        return false;
    // Straight from the groups: this runs for every entity of whole projects.
    for (const AcDbXGroup& g : obj->xdataGroups()) {
        if (!EqualNoCase(g.app, app))
            continue;
        for (const AcDbXItem& item : g.items)
            if (item.code == 1000) {
                const std::string& v = std::get<std::string>(item.value);
                if (std::all_of(v.begin(), v.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                    text.assign(v.begin(), v.end()); // ASCII: the storage is reused
                else
                    text = utf8ToWide(v);
                return true;
            }
    }
    return false;
}

int findXdata(AcDbObject* obj, const ACHAR* app, ACHAR* text, std::size_t size)
{
    if (!obj || !app)
        return 0;
    std::wstring value;
    if (!findXdataString(obj, wideToUtf8(app), value))
        return 0;
    copyOut(value, text, size);
    return 1;
}

int GetEntXdataPoint(const AcDbObjectId& id, const ACHAR* app, AcGePoint3d& point)
{
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForRead) != Acad::eOk)
        return 0;
    resbuf* rb = obj->xData(app);
    obj->close();
    int found = 0;
    for (resbuf* p = rb ? rb->rbnext : nullptr; p; p = p->rbnext)
        if (p->restype >= 1010 && p->restype <= 1013) {
            point = AcGePoint3d(p->resval.rpoint[0], p->resval.rpoint[1], p->resval.rpoint[2]);
            found = 1;
            break;
        }
    acutRelRb(rb);
    return found;
}

double arx_angle(const ads_point p1, const ads_point p2)
{
    return acutAngle(p1, p2);
}

void arx_polar(const ads_point from, double angle, double distance, ads_point result)
{
    acutPolar(from, angle, distance, result);
}

bool EraseObject(const AcDbObjectId& id)
{
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForWrite) != Acad::eOk)
        return false;
    const bool ok = obj->erase() == Acad::eOk;
    obj->close();
    return ok;
}

void XScjx(double lowerLeft[2], double upperRight[2])
{
    resbuf ctr{}, size{}, screen{};
    double cx = 0, cy = 0, h = 1, aspect = 4.0 / 3.0;
    if (acedGetVar(L"VIEWCTR", &ctr) == RTNORM) {
        cx = ctr.resval.rpoint[0];
        cy = ctr.resval.rpoint[1];
    }
    if (acedGetVar(L"VIEWSIZE", &size) == RTNORM)
        h = size.resval.rreal;
    if (acedGetVar(L"SCREENSIZE", &screen) == RTNORM && screen.resval.rpoint[1] > 0)
        aspect = screen.resval.rpoint[0] / screen.resval.rpoint[1];
    const double w = h * aspect;
    lowerLeft[0] = cx - w / 2;
    lowerLeft[1] = cy - h / 2;
    upperRight[0] = cx + w / 2;
    upperRight[1] = cy + h / 2;
}

int CSelectionSet::get(const ACHAR* mode, const ads_point p1, const ads_point p2, const resbuf* filter)
{
    free();
    const int rc = acedSSGet(mode, p1, p2, filter, m_ss);
    m_held = rc == RTNORM;
    return rc;
}

void CSelectionSet::free()
{
    if (m_held)
        acedSSFree(m_ss);
    m_held = false;
}

ads_int32 CSelectionSet::length() const
{
    ads_int32 n = 0;
    if (m_held)
        acedSSLength(m_ss, &n);
    return n;
}

bool CSelectionSet::name(ads_int32 i, ads_name out) const
{
    return m_held && acedSSName(m_ss, i, out) == RTNORM;
}

bool CSelectionSet::ids(std::vector<AcDbObjectId>& out) const
{
    out.clear();
    return m_held && SelectionSetIds(m_ss, out);
}

bool SelectionSetIds(const ads_name ss, std::vector<AcDbObjectId>& ids)
{
    ids.clear();
    ads_int32 n = 0;
    if (acedSSLength(ss, &n) != RTNORM)
        return false;
    ids.reserve(static_cast<std::size_t>(n));
    bool all = true;
    for (ads_int32 i = 0; i < n; ++i) {
        ads_name ent{};
        AcDbObjectId id;
        if (acedSSName(ss, i, ent) == RTNORM && acdbGetObjectId(id, ent) == Acad::eOk)
            ids.push_back(id);
        else
            all = false;
    }
    return all;
}

void ExplodeStr(const std::wstring& text, const std::wstring& separator, std::vector<std::wstring>& out, bool)
{
    out.clear();
    if (separator.empty()) {
        out.push_back(text);
        return;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        out.push_back(text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start));
        if (at == std::wstring::npos)
            break;
        start = at + separator.size();
    }
}

bool ProjectDataReal(const ACHAR* text, double& value)
{
    const double v = text ? std::wcstod(text, nullptr) : 0.0;
    if (!std::isfinite(v))
        return false;
    value = v;
    return true;
}

int findNumInString(const ACHAR* text)
{
    if (!text)
        return -1;
    for (int i = 0; text[i]; ++i)
        if (text[i] >= L'0' && text[i] <= L'9')
            return i;
    return -1;
}
