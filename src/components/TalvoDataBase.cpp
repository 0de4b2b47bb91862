#include "components/TalvoDataBase.h"

#include "components/NorvexCase.h"
#include "components/NorvexGloFunc.h"
#include "host/aced.h"
#include "host/dbmain.h"
#include "host/hostfile.h"

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

const Json& builtIn()
{
    static const Json j = Json::parse(R"({
        "layers": {
            "DQ_ELEMENT": {"name": "电气元件", "color": 7, "linetype": "Continuous"},
            "DQ_WIRE": {"name": "电气导线", "color": 1, "linetype": "Continuous"},
            "DQ_SCREEN": {"name": "屏面设备", "color": 3, "linetype": "Continuous"}
        },
        "kinds": {"SCHEMATIC": {"ELEMENT": "DQ_ELEMENT", "WIREFRAME": "DQ_WIRE", "SCREEN": "DQ_SCREEN"}}
    })");
    return j;
}

// A layer name that a drawing can hold: no line ends or control characters.
bool usableLayerName(const Json& v)
{
    if (!v.is_string() || v.get_ref<const std::string&>().empty())
        return false;
    for (unsigned char c : v.get_ref<const std::string&>())
        if (c < 0x20)
            return false;
    return true;
}

// Every layer an object with a usable name, an optional colour number of the
// host's range and an optional linetype name; every kind a key name. Anything
// else makes the whole file damaged, so that no half-read entry is used.
bool wellFormed(const Json& j)
{
    if (!j.is_object() || !j.contains("layers") || !j["layers"].is_object())
        return false;
    for (const auto& layer : j["layers"].items()) {
        const Json& v = layer.value();
        if (!v.is_object() || !usableLayerName(v.value("name", Json())))
            return false;
        if (v.contains("color")
            && (!v["color"].is_number_integer() || v["color"].get<long long>() < 0 || v["color"].get<long long>() > 256))
            return false;
        if (v.contains("linetype") && !usableLayerName(v["linetype"]))
            return false;
    }
    if (j.contains("kinds")) {
        if (!j["kinds"].is_object())
            return false;
        for (const auto& category : j["kinds"].items()) {
            if (!category.value().is_object())
                return false;
            for (const auto& kind : category.value().items())
                if (!kind.value().is_string())
                    return false;
        }
    }
    return true;
}

// The installation's configuration, or the built-in one.
Json configuration()
{
    ACHAR folder[1024];
    GetInformation(L"VMQMain", L"VmqSys", L"C:\\Zelk7.0", folder, 1024);
    std::string path = wideToUtf8(folder) + "/layers.json";
    for (char& c : path)
        if (c == '\\')
            c = '/';
    std::string text;
    const HostFileRead read = hostReadFile(path, text);
    if (!read) {
        if (!read.missing)
            acutPrintf(L"\n图层配置文件无法读取, 使用内置配置: %ls", utf8ToWide(read.error).c_str());
        return builtIn();
    }
    try {
        Json j = Json::parse(text);
        if (wellFormed(j))
            return j;
    } catch (const Json::exception&) {
    }
    acutPrintf(L"\n图层配置文件损坏, 使用内置配置: %ls", utf8ToWide(path).c_str());
    return builtIn();
}

} // namespace

KxDtLayerCfg::KxDtLayerCfg() = default;

bool KxDtLayerCfg::GetLayerDef(KxDtLayerDef& def, bool) const
{
    const Json cfg = configuration();
    // Keys compare without case and surrounding blanks.
    std::string key = wideToUtf8(def.key);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\r'))
        key.pop_back();
    while (!key.empty() && key.front() == ' ')
        key.erase(key.begin());
    for (auto it = cfg["layers"].begin(); it != cfg["layers"].end(); ++it) {
        if (!EqualNoCase(it.key(), key) || !it->is_object())
            continue;
        def.name = utf8ToWide(it->value("name", std::string()));
        def.color = it->value("color", 7);
        def.linetype = utf8ToWide(it->value("linetype", std::string("Continuous")));
        return !def.name.empty();
    }
    def.name.clear();
    return false;
}

std::wstring KxDtLayerCfg::keyFor(const std::wstring& category, const std::wstring& kind) const
{
    const Json cfg = configuration();
    const std::string c = wideToUtf8(category), k = wideToUtf8(kind);
    if (!cfg.contains("kinds") || !cfg["kinds"].contains(c) || !cfg["kinds"][c].contains(k)
        || !cfg["kinds"][c][k].is_string())
        return {};
    return utf8ToWide(cfg["kinds"][c][k].get<std::string>());
}

bool GetDQLayerName(const ACHAR* category, const ACHAR* kind, LayerInfo& info)
{
    KxDtLayerCfg cfg;
    KxDtLayerDef def;
    def.key = cfg.keyFor(category ? category : L"", kind ? kind : L"");
    if (def.key.empty() || !cfg.GetLayerDef(def))
        return false;
    info.name = def.name;
    info.text = def.key;
    info.color = def.color;
    info.linetype = def.linetype;
    return true;
}

bool SetToCurrentLayer(const ACHAR* category, const ACHAR* kind, void*, void*)
{
    LayerInfo info;
    AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    if (!db || !GetDQLayerName(category, kind, info))
        return false;
    const std::string name = wideToUtf8(info.name);
    if (!db->table("LAYER")->has(name)) {
        auto* layer = new AcDbLayerTableRecord();
        layer->setName(name);
        layer->setColor(info.color);
        const std::string lt = wideToUtf8(info.linetype);
        layer->setLinetypeName(db->table("LTYPE")->has(lt) ? lt : "Continuous");
        AcDbObjectId id;
        if (db->addSymbolTableRecord(id, layer) != Acad::eOk) {
            delete layer;
            return false;
        }
    }
    resbuf rb{};
    rb.restype = RTSTR;
    rb.resval.rstring = const_cast<ACHAR*>(info.name.c_str());
    return acedSetVar(L"CLAYER", &rb) == RTNORM;
}
