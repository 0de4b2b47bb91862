// Reading and saving drawings.
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/dxf/dxfio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

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
    if (endsWithNoCase(p, ".dwg"))
        p = p.substr(0, p.size() - 4) + ".dxf";
    return p;
}

} // namespace

std::string acdbHostPathOf(const ACHAR* fileName)
{
    return hostPath(fileName);
}

Acad::ErrorStatus AcDbDatabase::readDxfText(std::string text, const std::string& sourceName)
{
    AcDbDatabase fresh(false);
    try {
        dxf::readDatabase(fresh, text);
    } catch (const dxf::DxfError& e) {
        std::string msg = sourceName;
        if (e.line() > 0)
            msg += ", line " + std::to_string(e.line());
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
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_lastError = utf8ToWide(path + ": cannot open the file (" + std::strerror(errno) + ")");
        return Acad::eFileNotFound;
    }
    std::string text;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        m_lastError = utf8ToWide(path + ": cannot read the file");
        return Acad::eFileAccessErr;
    }
    text.resize(static_cast<std::size_t>(size));
    in.seekg(0, std::ios::beg);
    in.read(text.data(), size);
    if (!in) {
        m_lastError = utf8ToWide(path + ": cannot read the file");
        return Acad::eFileAccessErr;
    }
    Acad::ErrorStatus es = readDxfText(std::move(text), path);
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
    if (!dxf::writeFileAtomically(path, dxfOut(), error)) {
        m_lastError = utf8ToWide(error);
        return Acad::eFileAccessErr;
    }
    m_fileName = utf8ToWide(path);
    m_lastError.clear();
    return Acad::eOk;
}
