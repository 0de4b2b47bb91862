#include "testutil.h"
#include "host/aced.h"
#include "host/dbdxf.h"
#include "host/dbinternal.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testutil {

Utf8CharLocale::Utf8CharLocale() : m_saved(std::setlocale(LC_CTYPE, nullptr))
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
}

Utf8CharLocale::~Utf8CharLocale()
{
    std::setlocale(LC_CTYPE, m_saved.c_str());
}

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

ChildRun runInChild(const std::function<int()>& body, double seconds)
{
    ChildRun result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return result;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (child == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        int status = 1;
        try {
            status = body();
        } catch (...) {
            status = 2;
        }
        std::fflush(nullptr);
        ::_exit(status);
    }
    ::close(fds[1]);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const auto left = [&] {
        return static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
    };
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int n = ::poll(&p, 1, left());
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        char buffer[4096];
        const ssize_t got = n > 0 ? ::read(fds[0], buffer, sizeof buffer) : -1;
        if (got > 0)
            result.output.append(buffer, static_cast<std::size_t>(got));
        else if (got < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    ::close(fds[0]);
    int status = 0;
    for (;;) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            result.ended = true;
            break;
        }
        if (left() == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        ::usleep(5000);
    }
    if (result.ended && WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    if (result.ended && WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
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

std::wstring stringVar(const wchar_t* name)
{
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM || rb.restype != RTSTR)
        return L"?";
    std::wstring v = rb.resval.rstring;
    std::free(rb.resval.rstring);
    return v;
}

} // namespace testutil

namespace {

class PointPoke : public AcDbDxfFields {
public:
    PointPoke(short code, int axis, double value) : m_code(code), m_axis(axis), m_value(value) {}
    bool isReading() const override { return true; }
    void subclass(const char*) override {}
    void text(short, std::string&, const char*) override {}
    void real(short, double&, double, bool) override {}
    void angle(short, double&, bool) override {}
    void integer(short, int&, int, bool) override {}
    void point(short code, AcGePoint3d& p, bool) override
    {
        if (code == m_code)
            (m_axis == 0 ? p.x : m_axis == 1 ? p.y : p.z) = m_value;
    }
    void normal(short, AcGeVector3d&) override {}
    void blockName(short, AcDbBlockReference&) override {}
    void vertices(AcDbPolyline&) override {}

private:
    short m_code;
    int m_axis;
    double m_value;
};

} // namespace

void testutil::pokePointField(AcDbObject& object, short code, int axis, double value)
{
    PointPoke poke(code, axis, value);
    AcDbInternals::describeFields(object, poke);
}

std::string testutil::loadNotesText(const AcDbDatabase& db)
{
    std::string notes;
    for (const AcDbLoadNote& n : db.loadNotes())
        notes += n.text + "\n";
    return notes;
}

testutil::TempDir* testutil::EzdxfDrawingsTest::s_dir = nullptr;

void testutil::EzdxfDrawingsTest::makeDrawings(const std::string& tool)
{
    s_dir = new TempDir();
    if (haveEzdxf())
        runPythonTool(tool, shellQuote(s_dir->path()));
}

void testutil::EzdxfDrawingsTest::TearDownTestSuite()
{
    delete s_dir;
    s_dir = nullptr;
}

void testutil::EzdxfDrawingsTest::SetUp()
{
    if (!haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
}

bool testutil::readPng(const std::string& path, Image& out)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return false;
    img.format = PNG_FORMAT_RGB;
    out.width = static_cast<int>(img.width);
    out.height = static_cast<int>(img.height);
    out.rgb.resize(PNG_IMAGE_SIZE(img));
    return png_image_finish_read(&img, nullptr, out.rgb.data(), 0, nullptr) != 0;
}
