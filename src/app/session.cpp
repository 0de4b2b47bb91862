#include "app/session.h"

#include "app/linetype_dialog.h"
#include "app/render_command.h"
#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/dbmain.h"
#include "ui/session.h"
#include "ui/wnd.h"
#include "host/aced.h"

#include <cassert>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <langinfo.h>
#include <optional>
#include <poll.h>
#include <readline/history.h>
#include <readline/readline.h>
#include <sys/select.h>
#include <unistd.h>

namespace app {

namespace {

// Modal dialogs and message boxes read their events from the command line.
class CommandLineEvents : public ui::EventSource {
public:
    bool nextEvent(std::string& line) override { return host::readEventLine(line); }
};

class CommandLineOutput : public ui::OutputSink {
public:
    void write(std::string_view utf8) override { host::print(std::string(utf8)); }
};

CommandLineEvents g_events;
CommandLineOutput g_output;

void printToStderr(const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

// While it lives, what the command line prints goes to the error stream.
class CommandLineOnStderr {
public:
    CommandLineOnStderr() : m_previous(host::output())
    {
        std::fflush(stdout);
        host::setOutput(printToStderr);
    }
    ~CommandLineOnStderr()
    {
        assert(host::output() == printToStderr);
        host::setOutput(m_previous);
    }
    CommandLineOnStderr(const CommandLineOnStderr&) = delete;
    CommandLineOnStderr& operator=(const CommandLineOnStderr&) = delete;

private:
    host::OutputFn m_previous;
};

} // namespace

std::string besideProgram(const std::string& relative)
{
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return relative;
    std::string dir(exe, static_cast<std::size_t>(n));
    return dir.substr(0, dir.find_last_of('/') + 1) + relative;
}

std::string programFile(const std::string& inBuildTree, const std::string& installed)
{
    const std::string built = besideProgram(inBuildTree);
    std::error_code ec;
    return std::filesystem::exists(built, ec) ? built : besideProgram(installed);
}

std::string moduleOfProgram()
{
    // In the build tree the program is in src/app and the module in src/frame.
    const std::string name = "libNorvexCtrlSchDiagram10.so";
    return programFile("../frame/" + name, CTRLSCH_MODULE_FROM_PROGRAM + name);
}

bool ScriptSource::readLine(std::string& line, const std::string&)
{
    for (;;) {
        if (m_next >= m_lines.size())
            return false;
        line = m_lines[m_next++];
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] != ';')
            return true;
    }
}

bool openSession(const std::string& drawing, bool noModule, bool loadingOnStderr)
{
    ui::setEventSource(&g_events);
    ui::setOutputSink(&g_output);
    host::setEventHandler([](const std::string& line) { return ui::dispatchEvent(line); });
    host::setEventHelp([] {
        std::vector<host::EventHelp> help;
        for (const ui::EventVerb& v : ui::eventVerbs())
            help.push_back(host::EventHelp{v.form, v.what});
        return help;
    });
    installLinetypeDialog();
    acedSetMainWindow(AfxGetMainWnd()->GetSafeHwnd());
    AcApDocManager* dm = acDocManager;
    if (drawing.empty()) {
        dm->newDocument();
    } else {
        std::wstring error;
        AcApDocument* opened = dm->openDocument(utf8ToWide(drawing), error);
        if (!opened) {
            std::cerr << wideToUtf8(error) << "\n";
            return false;
        }
        host::reportRecovery(*opened->database());
    }
    if (!noModule) {
        std::optional<CommandLineOnStderr> onStderr;
        if (loadingOnStderr)
            onStderr.emplace();
        const char* env = std::getenv("CTRLSCH_MODULE");
        const std::string path = env && *env ? env : moduleOfProgram();
        std::string error;
        if (!acrxLoadApp(path, error))
            host::print("\n无法加载模块: " + error + "\n");
    }
    return true;
}

void closeSession()
{
    acrxUnloadAll();
    acDocManager->closeAll();
    ui::reset();
    host::setEventHandler(nullptr);
    host::setEventHelp(nullptr);
}

int runCommand(const std::vector<std::string>& args)
{
    std::string script, drawing, out;
    bool keepGoing = false, haveOut = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (haveOut || i + 1 >= args.size() || args[i + 1].empty())
                return kExitUsage;
            haveOut = true;
            out = args[++i];
        } else if (args[i] == "-k" || args[i] == "--keep-going") {
            keepGoing = true;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return kExitUsage;
        } else if (script.empty()) {
            script = args[i];
        } else if (drawing.empty()) {
            drawing = args[i];
        } else {
            return kExitUsage;
        }
    }
    if (script.empty())
        return kExitUsage;
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        std::cerr << script << ": cannot open the script\n";
        return kExitFailed;
    }
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    // A byte-order mark some editors put at the start of UTF-8 text.
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0)
        lines[0].erase(0, 3);
    ScriptSource source(std::move(lines));
    host::setLineSource(&source);
    // What loading the module prints goes to the error stream: the standard
    // output is the script's transcript.
    if (!openSession(drawing, std::getenv("CTRLSCH_NO_MODULE") != nullptr, true)) {
        host::setLineSource(nullptr);
        return kExitFailed;
    }
    const int errors = host::runCommandLoop(!keepGoing);
    int status = errors > 0 ? kExitFailed : kExitOk;
    std::fflush(stdout);
    if (errors > 0 && !keepGoing) {
        std::cerr << script << ":" << source.linesRead() << ": the script stopped at a failed command (-k goes on)"
                  << (out.empty() ? "" : "; " + out + " is not written") << "\n";
        out.clear();
    }
    if (!out.empty() && acDocManager->curDocument()) {
        AcDbDatabase* db = acDocManager->curDocument()->database();
        if (db->saveAs(utf8ToWide(out).c_str()) != Acad::eOk) {
            std::cerr << wideToUtf8(db->lastError()) << "\n";
            status = kExitFailed;
        }
    }
    closeSession();
    host::setLineSource(nullptr);
    std::fflush(stdout);
    return status;
}

namespace {

// The interactive terminal. GNU readline edits the line with the prompt the
// host printed as its prompt, so that a recalled line (Up) and a redraw
// (Ctrl-A, Ctrl-L) stand after the prompt: the host's output is written up
// to its last line end, and the rest, the line the prompt stands on, is
// held back and handed to readline when a line is read.
//
// Ctrl-C (SIGINT) is Esc: the line being typed is dropped and "^C" read.
// SIGINT is blocked except while a key is awaited, so it never ends the
// program; one that comes while a command works cancels the next prompt.
// SIGTERM and SIGHUP while a key is awaited put the terminal back before
// they end the program as they would have.
volatile std::sig_atomic_t g_signal = 0;

void noteSignal(int sig)
{
    g_signal = sig;
}

// The start of the line the output stands on, not written yet.
std::string g_heldLine;

void terminalOutput(const std::string& utf8)
{
    const std::size_t nl = utf8.rfind('\n');
    if (nl == std::string::npos) {
        g_heldLine += utf8;
        return;
    }
    std::fwrite(g_heldLine.data(), 1, g_heldLine.size(), stdout);
    std::fwrite(utf8.data(), 1, nl + 1, stdout);
    g_heldLine = utf8.substr(nl + 1);
}

void flushHeldLine()
{
    std::fwrite(g_heldLine.data(), 1, g_heldLine.size(), stdout);
    g_heldLine.clear();
    std::fflush(stdout);
}

// What readline hands over when a line is complete: null at the end of
// input.
std::optional<std::string> g_readLine;
bool g_lineDone = false;

void onLine(char* text)
{
    // Removed here, readline does not show the prompt again.
    ::rl_callback_handler_remove();
    g_lineDone = true;
    g_readLine.reset();
    if (text)
        g_readLine = std::string(text);
    std::free(text);
}

// Readline counts the columns of multi-byte characters (the Chinese
// prompts) by the character type of the locale: the user's when it is
// UTF-8, else C.UTF-8. Numbers keep the "C" form.
void useUtf8CharacterTypes()
{
    const char* set = std::setlocale(LC_CTYPE, "");
    if (!set || std::string_view(::nl_langinfo(CODESET)) != "UTF-8")
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

class ReadlineSource : public host::LineSource {
public:
    ReadlineSource() : m_oldLocale(std::setlocale(LC_CTYPE, nullptr)), m_terminal(::isatty(STDIN_FILENO) != 0)
    {
        useUtf8CharacterTypes();
        ::rl_readline_name = "ctrlsch";
        ::rl_catch_signals = 0;
        ::rl_catch_sigwinch = 0;
        ::rl_change_environment = 0;
        sigset_t intr;
        sigemptyset(&intr);
        sigaddset(&intr, SIGINT);
        sigprocmask(SIG_BLOCK, &intr, &m_oldMask);
        m_waitMask = m_oldMask;
        sigdelset(&m_waitMask, SIGINT);
        catchSignal(SIGINT, m_oldInt);
        host::setOutput(terminalOutput);
    }
    ~ReadlineSource() override
    {
        host::setOutput(nullptr);
        flushHeldLine();
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigprocmask(SIG_SETMASK, &m_oldMask, nullptr);
        std::setlocale(LC_CTYPE, m_oldLocale.c_str());
    }
    ReadlineSource(const ReadlineSource&) = delete;
    ReadlineSource& operator=(const ReadlineSource&) = delete;

    bool readLine(std::string& line, const std::string& prompt) override
    {
        // The prompt the host printed last; a prompt it gives without
        // printing ("(_> ") when nothing is held.
        std::string shown;
        shown.swap(g_heldLine);
        if (shown.empty())
            shown = prompt;
        std::fflush(stdout);
        const int status = waitForLine(shown);
        if (status == kInterrupted) {
            std::fputs("^C\n", stdout);
            std::fflush(stdout);
            line = "^C";
            return true;
        }
        if (status == kEnd || !g_readLine) {
            // Ctrl-D leaves the terminal there; a hang-up or a failed read
            // does not, and the session ends without asking.
            if (status == kEnd || inputGone())
                m_terminal = false;
            return false;
        }
        line = *g_readLine;
        if (!line.empty())
            ::add_history(line.c_str());
        return true;
    }
    bool echoes() const override { return false; }
    // Ctrl-D at a terminal quits; at the end of piped input the session
    // ends as a script's does: nobody is there to answer.
    bool endIsQuit() const override { return m_terminal; }

private:
    enum { kLine, kInterrupted, kEnd };

    static bool inputGone()
    {
        pollfd p{::rl_instream ? fileno(::rl_instream) : STDIN_FILENO, POLLIN, 0};
        return ::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    static void catchSignal(int sig, struct sigaction& old)
    {
        struct sigaction sa {};
        sa.sa_handler = noteSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no restart: the wait ends
        sigaction(sig, &sa, &old);
    }

    // Reads keys until readline has a line (kLine), Ctrl-C (kInterrupted)
    // or a failure of the input (kEnd).
    int waitForLine(const std::string& prompt)
    {
        // Caught while a key is awaited, as they are before.
        struct sigaction oldTerm, oldHup, oldWinch;
        catchSignal(SIGTERM, oldTerm);
        catchSignal(SIGHUP, oldHup);
        catchSignal(SIGWINCH, oldWinch);
        g_lineDone = false;
        ::rl_callback_handler_install(prompt.c_str(), onLine);
        int status = kLine;
        const int fd = ::rl_instream ? fileno(::rl_instream) : STDIN_FILENO;
        while (!g_lineDone) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(fd, &ready);
            const int n = ::pselect(fd + 1, &ready, nullptr, nullptr, nullptr, &m_waitMask);
            if (n > 0) {
                ::rl_callback_read_char();
                continue;
            }
            const int sig = g_signal;
            g_signal = 0;
            if (n < 0 && errno == EINTR && sig == SIGWINCH) {
                ::rl_resize_terminal();
                continue;
            }
            if (n < 0 && errno == EINTR && sig == 0)
                continue;
            // Ctrl-C, a signal that ends the program, or input that failed:
            // the line is dropped, the terminal put back.
            if (sig == SIGINT) {
                ::rl_point = ::rl_end;
                ::rl_redisplay();
            }
            ::rl_free_line_state();
            ::rl_callback_sigcleanup();
            ::rl_cleanup_after_signal();
            ::rl_callback_handler_remove();
            if (sig == SIGTERM || sig == SIGHUP) {
                std::fputs("\n", stdout);
                flushHeldLine();
                ::signal(sig, SIG_DFL);
                ::raise(sig);
            }
            status = sig == SIGINT ? kInterrupted : kEnd;
            break;
        }
        sigaction(SIGTERM, &oldTerm, nullptr);
        sigaction(SIGHUP, &oldHup, nullptr);
        sigaction(SIGWINCH, &oldWinch, nullptr);
        return status;
    }

    std::string m_oldLocale;
    bool m_terminal;
    sigset_t m_oldMask{}, m_waitMask{};
    struct sigaction m_oldInt {};
};

} // namespace

int interactiveCommand(const std::vector<std::string>& args)
{
    if (args.size() > 1)
        return kExitUsage;
    ReadlineSource source;
    host::setLineSource(&source);
    if (!openSession(args.empty() ? std::string() : args[0], false, false)) {
        host::setLineSource(nullptr);
        return kExitFailed;
    }
    host::runCommandLoop();
    closeSession();
    host::setLineSource(nullptr);
    return kExitOk;
}

} // namespace app
