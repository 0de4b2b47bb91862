#include "scratch.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace fuzzcheck {

namespace {

std::string g_dir;

void removeScratch()
{
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

} // namespace

const std::string& scratchDir()
{
    if (g_dir.empty()) {
        // In memory where there is such a folder: the host syncs what it
        // writes, which on a disk costs more than the reading checked.
        std::error_code ec;
        const char* tmpdir = std::getenv("TMPDIR");
        const std::filesystem::path base = !(tmpdir && *tmpdir) && std::filesystem::is_directory("/dev/shm", ec)
                                               && ::access("/dev/shm", W_OK) == 0
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "ctrlsch-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch folder in " + pattern);
        g_dir = pattern;
        std::atexit(removeScratch);
    }
    return g_dir;
}

std::string writeScratch(const std::string& name, std::string_view bytes)
{
    const std::string path = scratchDir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out ? path : std::string();
}

std::string readScratch(const std::string& path, bool& ok)
{
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    return ok ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) : std::string();
}

} // namespace fuzzcheck

namespace fuzzcheck {

namespace {

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

void useSettings(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> values)
{
    std::string json = "{\"VMQMain\": {";
    const char* comma = "";
    for (const auto& [key, value] : values) {
        json += comma + jsonString(key) + ": " + jsonString(value);
        comma = ", ";
    }
    json += "}}\n";
    // Written once per content: the checks switch between a few files.
    static std::map<std::string, std::string> written;
    const std::string path = scratchDir() + "/" + name;
    if (written[path] != json) {
        writeScratch(name, json);
        written[path] = json;
    }
    ::setenv("CTRLSCH_SETTINGS", path.c_str(), 1);
}

} // namespace fuzzcheck
