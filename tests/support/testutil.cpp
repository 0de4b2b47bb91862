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

extern char** environ;

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

namespace {

// The tool server of tests/tools (tool_server.py): one Python with ezdxf
// loaded for the whole test program, started at the first tool run and
// ended when the program exits. Each run is a process forked from it.
class ToolServer {
public:
    static ToolServer& get()
    {
        static ToolServer server;
        return server;
    }
    ~ToolServer() { stop(); }
    ToolServer(const ToolServer&) = delete;
    ToolServer& operator=(const ToolServer&) = delete;

    bool haveEzdxf()
    {
        std::string error;
        return start(error) && m_ezdxf;
    }

    // Runs tests/tools/NAME.py with args (a shell's words) in the current
    // folder and environment; false when the server cannot be reached.
    bool runTool(const std::string& name, const std::string& args, int& status, std::string& output)
    {
        output.clear();
        if (!start(output))
            return false;
        std::string request = name + '\0' + std::filesystem::current_path().string() + '\0' + args;
        for (char** e = environ; *e; ++e)
            request += '\0' + std::string(*e);
        const std::string message = std::to_string(request.size()) + "\n" + request;
        std::string header;
        std::size_t length = 0;
        if (!writeAll(message) || !readLine(header) || std::sscanf(header.c_str(), "%d %zu", &status, &length) != 2
            || !readBytes(length, output)) {
            output += "\nthe tool server stopped (" + header + ")";
            stop();
            return false;
        }
        return true;
    }

private:
    ToolServer() = default;

    bool start(std::string& error)
    {
        if (m_pid > 0)
            return true;
        if (m_failed) {
            error = "the tool server could not be started";
            return false;
        }
        m_failed = true;
        int toServer[2], fromServer[2];
        if (::pipe2(toServer, O_CLOEXEC) != 0)
            return false;
        if (::pipe2(fromServer, O_CLOEXEC) != 0) {
            ::close(toServer[0]);
            ::close(toServer[1]);
            return false;
        }
        const std::string script = sourceDir() + "/tests/tools/tool_server.py";
        const std::string py = python();
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(toServer[0], 0);
            ::dup2(fromServer[1], 1);
            ::execl(py.c_str(), py.c_str(), script.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toServer[0]);
        ::close(fromServer[1]);
        if (pid < 0) {
            ::close(toServer[1]);
            ::close(fromServer[0]);
            return false;
        }
        m_pid = pid;
        m_in = toServer[1];
        m_out = fromServer[0];
        std::string ready;
        if (!readLine(ready) || ready.rfind("ready ezdxf=", 0) != 0) {
            error = "the tool server did not start: " + ready;
            stop();
            return false;
        }
        m_ezdxf = ready == "ready ezdxf=1";
        m_failed = false;
        return true;
    }

    void stop()
    {
        if (m_pid <= 0)
            return;
        ::close(m_in);
        ::close(m_out);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }

    bool writeAll(const std::string& data)
    {
        // A server that died must not end the test program with SIGPIPE.
        struct sigaction ignore{}, saved{};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &saved);
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(m_in, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::sigaction(SIGPIPE, &saved, nullptr);
        return done == data.size();
    }

    bool fill()
    {
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            m_buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
    }

    bool readLine(std::string& line)
    {
        std::size_t end;
        while ((end = m_buffer.find('\n')) == std::string::npos)
            if (!fill()) {
                line = m_buffer;
                return false;
            }
        line = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        return true;
    }

    bool readBytes(std::size_t length, std::string& out)
    {
        while (m_buffer.size() < length)
            if (!fill())
                return false;
        out.append(m_buffer, 0, length);
        m_buffer.erase(0, length);
        return true;
    }

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    bool m_ezdxf = false;
    bool m_failed = false;
    std::string m_buffer;
};

} // namespace

bool haveEzdxf()
{
    static const bool have = [] {
        if (ToolServer::get().haveEzdxf())
            return true;
        // No server: ezdxf is missing only when Python cannot import it
        // either; else the tool runs fail and say why.
        std::string out;
        return run(python() + " -c 'import ezdxf'", out) == 0;
    }();
    return have;
}

std::string runPythonTool(const std::string& name, const std::string& args)
{
    int status = -1;
    std::string out;
    const bool reached = ToolServer::get().runTool(name, args, status, out);
    EXPECT_TRUE(reached && status == 0) << "tests/tools/" << name << ".py " << args << " (exit status " << status
                                        << ")\n"
                                        << out;
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
