// Test helpers: temporary folders, running commands, the ezdxf scripts.
#pragma once

#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// The C.UTF-8 character locale for the scope (interactive sessions take
// theirs from the environment); the one before is restored at the end.
class Utf8CharLocale {
public:
    Utf8CharLocale();
    ~Utf8CharLocale();
    Utf8CharLocale(const Utf8CharLocale&) = delete;
    Utf8CharLocale& operator=(const Utf8CharLocale&) = delete;

private:
    std::string m_saved;
};

// Runs a shell command; returns its exit status and fills output with what
// it printed (stdout and stderr).
int run(const std::string& command, std::string& output);
// Single-quotes text for the shell.
std::string shellQuote(const std::string& s);

std::string sourceDir();
std::string binaryDir();
// The Python with ezdxf (Debian's python3-ezdxf).
std::string python();
bool haveEzdxf();
// Runs tests/tools/NAME.py with arguments (words as the shell takes them,
// quoted with shellQuote) in the current folder and environment; fails the
// current test when it exits non-zero. Returns its output (standard output
// and error). The runs of a test program go through one tool server
// (tests/tools/tool_server.py), a Python with ezdxf loaded, started at the
// first run; each run is a process of its own forked from it.
std::string runPythonTool(const std::string& name, const std::string& args);

// The entities of a block of the given class, in the block's order.
template <class T>
std::vector<T*> entitiesOf(const AcDbBlockTableRecord* rec)
{
    std::vector<T*> out;
    for (const AcDbObjectId& id : rec->entityIds())
        if (auto* e = dynamic_cast<T*>(AcDbInternals::stub(id)->object.get()))
            out.push_back(e);
    return out;
}

// Lines of a script for the command line, echoed as a script's are. Where
// they end the input ends, or, when failAtEnd, the input itself fails (a
// handler or device that throws while a prompt waits).
class ScriptLines : public host::LineSource {
public:
    explicit ScriptLines(std::deque<std::string> lines, bool failAtEnd = false)
        : m_lines(std::move(lines)), m_failAtEnd(failAtEnd)
    {
    }
    bool readLine(std::string& line, const std::string&) override
    {
        if (m_lines.empty()) {
            if (m_failAtEnd)
                throw std::runtime_error("input failed");
            return false;
        }
        line = m_lines.front();
        m_lines.pop_front();
        return true;
    }
    bool echoes() const override { return true; }

private:
    std::deque<std::string> m_lines;
    bool m_failAtEnd = false;
};

// The text of a string system variable, or "?" when it has none.
std::wstring stringVar(const wchar_t* name);

// What a child process did. ended is false when it was still running at
// its deadline (it is killed then); signal is the signal that ended it, or
// 0; output is what it wrote on its standard output and error.
struct ChildRun {
    bool ended = false;
    int exitStatus = -1;
    int signal = 0;
    std::string output;
};
// Runs body in a forked child, which exits with what body returns. For
// what may block, crash the process or change its limits and identity.
ChildRun runInChild(const std::function<int()>& body, double seconds = 30.0);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);

// A picture read from a PNG file, as 8-bit RGB rows.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    // The pixel as 0xRRGGBB.
    std::uint32_t at(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
        return static_cast<std::uint32_t>(rgb[i]) << 16 | static_cast<std::uint32_t>(rgb[i + 1]) << 8 | rgb[i + 2];
    }
};
// Reads any PNG (alpha composed over black by libpng's simplified reader);
// false when the file is missing or is no PNG.
bool readPng(const std::string& path, Image& out);

} // namespace testutil

class AcDbObject;
class AcDbDatabase;
namespace testutil {
// The texts of a drawing's load notes, one line each.
std::string loadNotesText(const AcDbDatabase& db);
// Puts a number straight into a field of an object, the way the DXF
// reader fills it, past the checks of the object's setters: the point of
// group code `code` gets `value` as its coordinate `axis` (0 X, 1 Y, 2 Z).
// Lets tests hand the writer what the API never lets through.
void pokePointField(AcDbObject& object, short code, int axis, double value);
} // namespace testutil

namespace testutil {
// A suite over the drawings one script of tests/tools writes, once for the
// suite, into a folder of its own; every test is skipped where ezdxf is
// missing. A suite names its script in its own SetUpTestSuite:
// `static void SetUpTestSuite() { makeDrawings("make_interop_drawings"); }`.
class EzdxfDrawingsTest : public ::testing::TestWithParam<std::string> {
protected:
    static void makeDrawings(const std::string& tool);
    static void TearDownTestSuite();
    void SetUp() override;
    static TempDir* s_dir;
};
} // namespace testutil
