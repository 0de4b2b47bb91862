// The module's JSON files read from a path: installation settings, project
// data and the layer configuration.
#include "fuzz_checks.h"
#include "scratch.h"

#include "components/NorvexCodePage.h"
#include "components/NorvexGloFunc.h"
#include "components/TalvoDataBase.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "host/dbmain.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <vector>

namespace fuzzcheck {

namespace {

using Json = nlohmann::json;

// String values of the tree with their key paths ("a\b\c"): those a key
// path can reach (names not empty, without separators), at most a few.
void stringLeaves(const Json& node, const std::string& path, std::vector<std::pair<std::string, std::string>>& out)
{
    if (out.size() >= 16 || !node.is_object())
        return;
    for (auto it = node.begin(); it != node.end(); ++it) {
        const std::string& key = it.key();
        if (key.empty() || key.find_first_of("\\/") != std::string::npos)
            continue;
        const std::string child = path.empty() ? key : path + "\\" + key;
        if (it->is_string())
            out.emplace_back(child, it->get<std::string>());
        else
            stringLeaves(*it, child, out);
    }
}

// The settings file: values fit or are cut to the buffer, the default
// stands for what is missing.
std::string checkSettings(std::string_view bytes)
{
    const std::string path = writeScratch("settings.json", bytes);
    if (path.empty())
        return {};
    ::setenv("CTRLSCH_SETTINGS", path.c_str(), 1);
    for (const wchar_t* key : {L"VmqUse", L"VmqSys", L"CodePage", L"X"}) {
        ACHAR big[4096], small[4];
        const int n = GetInformation(L"VMQMain", key, L"默认", big, 4096);
        const int m = GetInformation(L"VMQMain", key, L"默认", small, 4);
        if (n != m)
            return "a setting's length depends on the buffer it is read into";
        if (n == 0 && std::wcscmp(big, L"默认") != 0)
            return "a missing setting does not give the default";
        if (n > 0 && static_cast<std::size_t>(n) <= 4096 && std::wcslen(big) + 1 != static_cast<std::size_t>(n))
            return "a setting's length is not that of its text";
        if (std::wcslen(small) > 3 || std::wcsncmp(small, big, std::wcslen(small)) != 0)
            return "a setting cut to a small buffer is not the start of its text";
    }
    (void)ProcessCodePage();
    bool ok = false;
    if (readScratch(path, ok) != bytes)
        return "reading the settings changed the file";
    return {};
}

// Project data: a damaged file is refused, never overwritten; what is read
// writes and reads back with the same values.
std::string checkProjectData(std::string_view bytes)
{
    std::filesystem::create_directories(scratchDir() + "/project");
    const std::string path = writeScratch("project/data.Qrz", bytes);
    if (path.empty())
        return {};
    const std::wstring file = utf8ToWide(path);
    CInterDpData data;
    ACHAR value[256];
    if (!data.ReadDataFromQrzFile(file.c_str())) {
        if (data.error().empty())
            return "a project file that exists is refused without a message";
        if (data.WriteDataToQrzFile(file.c_str()))
            return "a damaged project file is written over";
        bool ok = false;
        if (readScratch(path, ok) != bytes)
            return "a damaged project file changed";
        if (FindFromQrzfile(file.c_str(), L"Gddata\\Gnkhz\\Hj", L"默认", value) != 0 || std::wcscmp(value, L"默认") != 0)
            return "a value found in a damaged project file";
        return {};
    }

    std::vector<std::pair<std::string, std::string>> leaves;
    stringLeaves(Json::parse(bytes, nullptr, false), "", leaves);
    for (const auto& [key, text] : leaves) {
        const std::wstring wideKey = utf8ToWide(key);
        const DpValueNode* node = data.GetSubValueFromPathW(0, wideKey.c_str());
        if (!node || !node->text)
            return "a value of the project file is not found: " + key;
        // Read as a C string: a value holding a NUL reads up to it.
        const std::wstring whole = utf8ToWide(text);
        const std::wstring expected = whole.substr(0, whole.find(L'\0'));
        if (node->text != expected)
            return "a value of the project file reads as another: " + key;
        if (node->length < 1 || (whole.size() < 32767 && static_cast<std::size_t>(node->length) != whole.size() + 1))
            return "a value's length is not that of its text: " + key;
        const int n = FindFromQrzfile(file.c_str(), wideKey.c_str(), L"默认", value);
        if (n != node->length || std::wcsncmp(value, expected.c_str(), 255) != 0)
            return "FindFromQrzfile finds another value than the project data: " + key;
    }
    if (FindFromQrzfile(file.c_str(), L"", L"默认", value) <= 0 || std::wcscmp(value, L"默认") != 0)
        return "an empty key path does not give the default";

    // A value set is written with the others and read back.
    if (!data.SetSubValueW(L"ZzFuzz\\Set", 4, L"新值", 0))
        return "a value cannot be set";
    const std::wstring copy = utf8ToWide(scratchDir() + "/project/copy.Qrz");
    if (!data.WriteDataToQrzFile(copy.c_str()))
        return "project data that was read cannot be written";
    CInterDpData again;
    if (!again.ReadDataFromQrzFile(copy.c_str()))
        return "written project data does not read back: " + again.error();
    const DpValueNode* set = again.GetSubValueFromPathW(0, L"ZzFuzz\\Set");
    if (!set || std::wstring(set->text) != L"新值")
        return "a value set does not read back";
    for (const auto& [key, text] : leaves) {
        if (key.rfind("ZzFuzz", 0) == 0)
            continue;
        const DpValueNode* node = again.GetSubValueFromPathW(0, utf8ToWide(key).c_str());
        const std::wstring whole = utf8ToWide(text);
        if (!node || node->text != whole.substr(0, whole.find(L'\0')))
            return "a value does not survive writing the project data: " + key;
    }
    return {};
}

// The layer configuration: what is configured has a name; the layer made
// current exists and the drawing still writes and reads back.
std::string checkLayers(std::string_view bytes)
{
    std::filesystem::create_directories(scratchDir() + "/system");
    useSettings("layers-settings.json", {{"VmqSys", scratchDir() + "/system"}, {"CodePage", "GBK"}});
    const std::string path = writeScratch("system/layers.json", bytes);
    if (path.empty())
        return {};
    LayerInfo element; // the layer SetToCurrentLayer makes current
    for (const wchar_t* kind : {L"ELEMENT", L"WIREFRAME", L"SCREEN"}) {
        LayerInfo info;
        if (GetDQLayerName(L"SCHEMATIC", kind, info) && info.name.empty())
            return "a configured layer without a name";
        if (kind == std::wstring_view(L"ELEMENT"))
            element = info;
    }
    KxDtLayerDef def;
    def.key = L" dq_element ";
    if (KxDtLayerCfg().GetLayerDef(def) && def.name.empty())
        return "a layer key resolves to no name";

    AcApDocument* doc = acDocManager->newDocument();
    std::string broken;
    if (SetToCurrentLayer(L"SCHEMATIC", L"ELEMENT")) {
        const LayerInfo& info = element;
        resbuf rb{};
        if (acedGetVar(L"CLAYER", &rb) != RTNORM || rb.restype != RTSTR || info.name != rb.resval.rstring)
            broken = "the configured layer is not made current";
        if (rb.restype == RTSTR)
            std::free(rb.resval.rstring);
        if (broken.empty() && !doc->database()->table("LAYER")->has(wideToUtf8(info.name)))
            broken = "the configured layer is current but not in the drawing";
        // A name of letters, digits and Chinese writes as it is; others go
        // through the drawing's DXF and back (slow, so only for them).
        const bool plain = std::all_of(info.name.begin(), info.name.end(), [](wchar_t c) {
            return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_'
                || (c >= 0x4E00 && c <= 0x9FFF);
        });
        if (broken.empty() && (!plain || info.name.size() > 64)) {
            AcDbDatabase again(false);
            if (again.readDxfText(doc->database()->dxfOut(), "layers.dxf") != Acad::eOk)
                broken = "a drawing with the configured layer does not read back: " + wideToUtf8(again.lastError());
        }
    }
    acDocManager->closeDocument(doc);
    bool ok = false;
    if (broken.empty() && readScratch(path, ok) != bytes)
        broken = "reading the layer configuration changed the file";
    return broken;
}

} // namespace

std::string settings(std::string_view bytes)
{
    host::setOutput([](const std::string&) {}); // messages of damaged files
    std::string broken = checkSettings(bytes);
    if (broken.empty())
        broken = checkProjectData(bytes);
    if (broken.empty())
        broken = checkLayers(bytes);
    return broken;
}

} // namespace fuzzcheck
