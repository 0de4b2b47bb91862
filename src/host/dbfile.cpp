// Reading and saving drawings.
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/dxf/dxfio.h"
#include "host/hostfile.h"
#include "host/hoststring.h"

#include <unistd.h>
#include <cstring>
#include <filesystem>

namespace {

bool endsWithNoCase(const std::string& s, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char a = s[s.size() - n + i], b = suffix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// Backslashes are folder separators too.
std::string hostPath(const ACHAR* fileName)
{
    std::string p = wideToUtf8(fileName ? fileName : L"");
    for (char& c : p)
        if (c == '\\')
            c = '/';
    if (endsWithNoCase(p, ".dwg")) {
        // The drawing of that name: "X.dxf", or "X.DXF" when only that exists.
        const std::string stem = p.substr(0, p.size() - 4);
        p = stem + ".dxf";
        if (::access(p.c_str(), F_OK) != 0 && ::access((stem + ".DXF").c_str(), F_OK) == 0)
            p = stem + ".DXF";
    }
    return p;
}

} // namespace

std::string hostResolvePathIgnoringCase(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty() || fs::exists(path, ec))
        return path;
    const auto folded = [](const std::string& name) {
        return lowerAscii(utf8ToWide(name));
    };
    fs::path resolved = path[0] == '/' ? fs::path("/") : fs::path(".");
    for (const fs::path& part : fs::path(path).relative_path()) {
        const fs::path exact = resolved / part;
        if (fs::exists(exact, ec)) {
            resolved = exact;
            continue;
        }
        const std::wstring want = folded(part.string());
        bool found = false;
        for (const auto& entry : fs::directory_iterator(resolved, ec)) {
            if (folded(entry.path().filename().string()) == want) {
                resolved = entry.path();
                found = true;
                break;
            }
        }
        if (!found)
            return path;
    }
    return path[0] == '/' ? resolved.string() : resolved.lexically_relative(".").string();
}

std::string acdbHostPathOf(const ACHAR* fileName)
{
    return hostPath(fileName);
}

Acad::ErrorStatus AcDbDatabase::readDxfText(std::string_view text, const std::string& sourceName)
{
    AcDbDatabase fresh(false);
    try {
        dxf::readDatabase(fresh, text);
    } catch (const dxf::DxfError& e) {
        std::string msg = sourceName;
        if (e.line() > 0)
            msg += ", " + dxf::describePosition(dxf::isBinaryDxf(text), e.line());
        msg += ": ";
        msg += e.what();
        m_lastError = utf8ToWide(msg);
        return Acad::eBadDxfFile;
    }
    swapContents(fresh);
    m_fileName = utf8ToWide(sourceName);
    m_lastError.clear();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::readDwgFile(const ACHAR* fileName)
{
    const std::string path = hostPath(fileName);
    std::string text;
    const HostFileRead read = hostReadFile(path, text);
    if (!read) {
        m_lastError = utf8ToWide(read.error);
        return read.missing ? Acad::eFileNotFound : Acad::eFileAccessErr;
    }
    Acad::ErrorStatus es = readDxfText(text, path);
    if (es == Acad::eOk)
        m_fileName = utf8ToWide(path);
    return es;
}

std::string AcDbDatabase::dxfOut() const
{
    return dxf::writeDatabase(*this);
}

Acad::ErrorStatus AcDbDatabase::saveAs(const ACHAR* fileName)
{
    const std::string path = hostPath(fileName);
    if (path.empty()) {
        m_lastError = L"no file name";
        return Acad::eInvalidInput;
    }
    std::string error;
    if (!dxf::saveDatabase(*this, path, error)) {
        m_lastError = utf8ToWide(error);
        return Acad::eFileAccessErr;
    }
    m_fileName = utf8ToWide(path);
    m_lastError.clear();
    m_recovered = false;
    return Acad::eOk;
}
