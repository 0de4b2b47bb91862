#include "testutil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace testutil {

TempDir::TempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "ctrlsch-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot make a temporary folder");
    m_path = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string shellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int run(const std::string& command, std::string& output)
{
    output.clear();
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        output.append(buf.data(), n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string sourceDir() { return CTRLSCH_SOURCE_DIR; }
std::string binaryDir() { return CTRLSCH_BINARY_DIR; }
std::string python() { return "/usr/bin/python3"; }

bool haveEzdxf()
{
    static int have = -1;
    if (have < 0) {
        std::string out;
        have = run(python() + " -c 'import ezdxf'", out) == 0 ? 1 : 0;
    }
    return have == 1;
}

std::string runPythonTool(const std::string& name, const std::string& args)
{
    std::string out;
    const std::string cmd = python() + " " + shellQuote(sourceDir() + "/tests/tools/" + name + ".py") + " " + args;
    const int rc = run(cmd, out);
    EXPECT_EQ(rc, 0) << cmd << "\n" << out;
    return out;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary);
    out << data;
}

} // namespace testutil
