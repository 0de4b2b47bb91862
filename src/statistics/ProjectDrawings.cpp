#include "statistics/ProjectDrawings.h"

#include "components/NorvexGloFunc.h"
#include "components/TalvoDataBase.h"
#include "host/aced.h"
#include "statistics/EquipmentRows.h"

#include <cwctype>

namespace {

constexpr std::size_t kValueSize = 4096;
// The lists grow with the project: room for thousands of drawings.
constexpr std::size_t kListSize = 1 << 20;

std::wstring trimLeft(const std::wstring& s)
{
    std::size_t i = 0;
    while (i < s.size() && std::iswspace(s[i]))
        ++i;
    return s.substr(i);
}

bool failWith(const ACHAR* message)
{
    acutPrintf(L"%ls", message);
    return false;
}

// The user folder of the settings; false after its message when it cannot
// be read or is empty.
bool readUserFolder(std::wstring& folder)
{
    ACHAR value[kValueSize] = {};
    if (GetInformation(L"VMQMain", L"VmqUse", L"VmqUse", value, kValueSize) < 1) {
        acutPrintf(L"\n读取注册表项%ls错误.", L"VmqUse");
        return false;
    }
    folder = value;
    if (folder.empty()) {
        acutPrintf(L"\n注册表项%ls数据无效.", L"VmqUse");
        return false;
    }
    return true;
}

} // namespace

bool projectDrawings(int mode, std::vector<ProjectDrawing>& drawings)
{
    if (mode == 1) {
        std::wstring user;
        if (!readUserFolder(user))
            return false;
        const std::wstring listFile = user + L"\\Sbxl.Qrz";
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
    } else {
        drawings.push_back({L"", 1});
    }
    return true;
}
