// Reading and saving drawings.
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/dxf/dxfio.h"
#include "host/hostfile.h"
#include "host/hoststring.h"

#include <unistd.h>
#include <algorithm>
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

namespace {

// A file read in blocks for the DXF reader. A failed read ends the load
// (ReadFailed passes through the reader); the first bytes tell how
// positions are named.
class FileSource final : public dxf::ByteSource {
public:
    struct ReadFailed {};
    explicit FileSource(HostFileReader& file) : m_file(file) {}
    std::size_t read(char* buf, std::size_t n) override
    {
        const std::size_t got = m_file.read(buf, n);
        if (!m_file.status())
            throw ReadFailed{};
        if (m_head.size() < 32)
            m_head.append(buf, std::min(got, 32 - m_head.size()));
        return got;
    }
    std::size_t sizeHint() const override { return m_file.size(); }
    bool binary() const { return dxf::isBinaryDxf(m_head); }

private:
    HostFileReader& m_file;
    std::string m_head;
};

// Fills fresh through read(fresh, binary); the message of a damaged file
// (naming the source and the position), or an empty string.
template <class Read>
std::string readFresh(AcDbDatabase& fresh, const Read& read, const std::string& sourceName)
{
    bool binary = false;
    try {
        read(fresh, binary);
    } catch (const dxf::DxfError& e) {
        std::string msg = sourceName;
        if (e.line() > 0)
            msg += ", " + dxf::describePosition(binary, e.line());
        msg += ": ";
        msg += e.what();
        return msg;
    }
    return {};
}

} // namespace

Acad::ErrorStatus AcDbDatabase::readDxfText(std::string_view text, const std::string& sourceName)
{
    AcDbDatabase fresh(false);
    const std::string error = readFresh(
        fresh,
        [text](AcDbDatabase& db, bool& binary) {
            binary = dxf::isBinaryDxf(text);
            dxf::readDatabase(db, text);
        },
        sourceName);
    if (!error.empty()) {
        m_lastError = utf8ToWide(error);
        return Acad::eBadDxfFile;
    }
    swapContents(fresh);
    m_fileName = utf8ToWide(sourceName);
    m_savedState = m_undo->state();
    m_lastError.clear();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::readDwgFile(const ACHAR* fileName)
{
    const std::string path = hostPath(fileName);
    // Read in blocks: the text is never held whole beside the drawing.
    HostFileReader file(path);
    if (!file.status()) {
        m_lastError = utf8ToWide(file.status().error);
        return file.status().missing ? Acad::eFileNotFound : Acad::eFileAccessErr;
    }
    FileSource source(file);
    AcDbDatabase fresh(false);
    std::string error;
    try {
        error = readFresh(
            fresh,
            [&source](AcDbDatabase& db, bool& binary) {
                try {
                    dxf::readDatabase(db, source);
                } catch (const dxf::DxfError&) {
                    binary = source.binary();
                    throw;
                }
            },
            path);
    } catch (const FileSource::ReadFailed&) {
        m_lastError = utf8ToWide(file.status().error);
        return Acad::eFileAccessErr;
    }
    if (!error.empty()) {
        m_lastError = utf8ToWide(error);
        return Acad::eBadDxfFile;
    }
    swapContents(fresh);
    m_fileName = utf8ToWide(path);
    m_lastError.clear();
    return Acad::eOk;
}

bool AcDbDatabase::isModified() const
{
    return m_recovered || m_undo->state() != m_savedState;
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
    m_savedState = m_undo->state();
    return Acad::eOk;
}
