#include "app/session.h"

#include "app/linetype_dialog.h"
#include "app/render_command.h"
#include "components/NorvexGloFunc.h"
#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/dbmain.h"
#include "ui/session.h"
#include "ui/wnd.h"
#include "host/aced.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <readline/history.h>
#include <readline/readline.h>
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

std::string moduleBesideProgram()
{
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return {};
    std::string dir(exe, static_cast<std::size_t>(n));
    dir = dir.substr(0, dir.find_last_of('/'));
    // In the build tree the program is in src/app and the module in src/frame.
    return dir + "/../frame/libNorvexCtrlSchDiagram10.so";
}

} // namespace

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

bool openSession(const std::string& drawing, bool noModule)
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
        const char* env = std::getenv("CTRLSCH_MODULE");
        const std::string path = env && *env ? env : moduleBesideProgram();
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
    // On the error stream: the standard output is the script's transcript.
    std::cerr << DescribeSettingsFile();
    host::setLineSource(&source);
    if (!openSession(drawing, std::getenv("CTRLSCH_NO_MODULE") != nullptr)) {
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

class ReadlineSource : public host::LineSource {
public:
    bool readLine(std::string& line, const std::string&) override
    {
        std::fflush(stdout);
        char* l = ::readline("");
        if (!l)
            return false;
        line = l;
        if (!line.empty())
            ::add_history(l);
        std::free(l);
        return true;
    }
    bool echoes() const override { return false; }
};

} // namespace

int interactiveCommand(const std::vector<std::string>& args)
{
    if (args.size() > 1)
        return kExitUsage;
    ReadlineSource source;
    host::print(DescribeSettingsFile());
    host::setLineSource(&source);
    if (!openSession(args.empty() ? std::string() : args[0], false))
        return kExitFailed;
    host::runCommandLoop();
    closeSession();
    host::setLineSource(nullptr);
    return kExitOk;
}

} // namespace app
