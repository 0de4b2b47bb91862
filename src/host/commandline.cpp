#include "host/commandline.h"

#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/hostcall.h"
#include "host/hoststring.h"
#include "host/lisp.h"
#include "host/commands.h"

#include <cassert>
#include <cctype>
#include <iterator>
#include <optional>
#include <vector>
#include <cstdio>
#include <cstdlib>

namespace host {

namespace {

OutputFn g_output = nullptr;
EventHandlerFn g_events = nullptr;
EventHelpFn g_eventHelp = nullptr;
LineSource* g_source = nullptr;
bool g_atLineStart = true;
bool g_quit = false;
int g_errors = 0;
// The command loop stops at the first error.
bool g_stopAtError = false;
// The rest of the line being read (with its line end), and whether what
// is taken from it is echoed.
std::string g_rest;
bool g_restEchoes = false;
bool g_tracking = false;

std::string trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

void dispatchEvent(const std::string& line, bool echo = true)
{
    if (echo && g_source && g_source->echoes()) {
        print(line);
        print("\n");
    }
    if (!g_events) {
        print("没有打开的对话框: " + line + "\n");
        return;
    }
    g_events(line);
}

// Takes a reply from buffer: up to a blank or the line end, or to the line
// end for whole lines.
std::string takeFrom(std::string& buffer, bool wholeLine)
{
    std::size_t end = wholeLine ? buffer.find('\n') : buffer.find_first_of(" \n");
    if (end == std::string::npos)
        end = buffer.size();
    std::string reply = buffer.substr(0, end);
    buffer.erase(0, end < buffer.size() ? end + 1 : end);
    if (!reply.empty() && reply.back() == '\r')
        reply.pop_back();
    return reply;
}

std::string currentPrompt;

// "@click ..." is an event; "@3,4" a relative point.
bool isEvent(const std::string& trimmed)
{
    return trimmed.size() > 1 && trimmed[0] == '@' && std::isalpha(static_cast<unsigned char>(trimmed[1]));
}

} // namespace

void setOutput(OutputFn fn)
{
    g_output = fn;
}

OutputFn output()
{
    return g_output;
}

void print(const std::string& text)
{
    if (text.empty())
        return;
    std::string_view s = text;
    if (g_atLineStart && s.front() == '\n')
        s.remove_prefix(1);
    if (s.empty())
        return;
    if (g_output)
        g_output(std::string(s));
    else
        std::fwrite(s.data(), 1, s.size(), stdout);
    g_atLineStart = s.back() == '\n';
    const std::size_t nl = s.rfind('\n');
    currentPrompt = std::string(nl == std::string_view::npos ? s : s.substr(nl + 1));
}

void printWide(const std::wstring& text)
{
    print(wideToUtf8(text));
}

void printOutput(const std::string& utf8)
{
    print(utf8);
}

void setEventHandler(EventHandlerFn fn)
{
    g_events = fn;
}

void setEventHelp(EventHelpFn fn)
{
    g_eventHelp = fn;
}

void setLineSource(LineSource* source)
{
    g_source = source;
    g_rest.clear();
}

LineSource* lineSource()
{
    return g_source;
}

bool parsePointerEvent(const std::string& line, InputEvent& ev)
{
    if (line.size() < 2 || line[0] != '@')
        return false;
    const std::size_t blank = line.find(' ');
    const std::string verb = lowerAscii(line.substr(1, blank == std::string::npos ? std::string::npos : blank - 1));
    const std::string arg = blank == std::string::npos ? std::string() : trim(line.substr(blank + 1));
    ev = InputEvent{};
    if (verb == "move" || verb == "pick") {
        ads_point p;
        if (!parsePoint(arg, nullptr, p))
            return false;
        ev.kind = verb == "move" ? InputEvent::Kind::Move : InputEvent::Kind::Pick;
        ev.x = p[0];
        ev.y = p[1];
        return true;
    }
    if (verb == "right") {
        ev.kind = InputEvent::Kind::Right;
        return arg.empty();
    }
    if (verb == "aux" || verb == "menu" || verb == "char") {
        char* end = nullptr;
        const long v = std::strtol(arg.c_str(), &end, 10);
        if (arg.empty() || *end || v < 0 || v > 65535)
            return false;
        ev.kind = verb == "aux" ? InputEvent::Kind::Aux : verb == "menu" ? InputEvent::Kind::Menu : InputEvent::Kind::Key;
        ev.value = static_cast<int>(v);
        return true;
    }
    return false;
}

namespace {

// Where the next input comes from: text typed by applications, the rest of
// the current line, or a new line (a pointer event, a dialog event, text).
enum class Next { Text, Pointer, End };

Next nextInput(InputEvent& ev)
{
    const std::string prompt = currentPrompt;
    while (true) {
        AcApDocument* doc = acDocManager->curDocument();
        if ((doc && !doc->pendingInput().empty()) || !g_rest.empty())
            return Next::Text;
        std::string line;
        if (!g_source || !g_source->readLine(line, currentPrompt))
            return Next::End;
        const std::string t = trim(line);
        if (parsePointerEvent(t, ev)) {
            if (ev.kind == InputEvent::Kind::Move ? g_source->echoesMoves() : g_source->echoes()) {
                print(t);
                print("\n");
            }
            return Next::Pointer;
        }
        if (isEvent(t)) {
            dispatchEvent(t);
            // The prompt still waits: show it again.
            if (!g_atLineStart)
                print("\n");
            print(prompt);
            continue;
        }
        g_rest = line + "\n";
        g_restEchoes = g_source->echoes();
    }
}

// Takes the next reply from the typed text nextInput found.
void takeReply(std::string& reply, bool wholeLine)
{
    AcApDocument* doc = acDocManager->curDocument();
    if (doc && !doc->pendingInput().empty()) {
        // Typed by an application: shown as if the user typed it.
        reply = takeFrom(doc->pendingInput(), wholeLine);
        print(reply + "\n");
        return;
    }
    reply = takeFrom(g_rest, wholeLine);
    if (g_restEchoes)
        print(reply + "\n");
    else
        g_atLineStart = true;
}

} // namespace

bool readReply(std::string& reply, bool wholeLine)
{
    while (true) {
        InputEvent ev;
        switch (nextInput(ev)) {
        case Next::End:
            return false;
        case Next::Text:
            takeReply(reply, wholeLine);
            return true;
        case Next::Pointer:
            // At a prompt a pick is its point and the right button Enter;
            // pointer moves and menus change nothing.
            if (ev.kind == InputEvent::Kind::Pick) {
                char buf[80];
                std::snprintf(buf, sizeof buf, "%.17g,%.17g", ev.x, ev.y);
                reply = buf;
                return true;
            }
            if (ev.kind == InputEvent::Kind::Right || (ev.kind == InputEvent::Kind::Key && ev.value == 13)) {
                reply.clear();
                return true;
            }
            break;
        }
    }
}

bool readReplyOrPointer(std::string& reply, InputEvent& ev, bool& pointer)
{
    pointer = false;
    switch (nextInput(ev)) {
    case Next::End:
        return false;
    case Next::Pointer:
        pointer = true;
        return true;
    case Next::Text:
        takeReply(reply, false);
        return reply != "^C";
    }
    return false;
}

bool readInputEvent(InputEvent& ev)
{
    switch (nextInput(ev)) {
    case Next::End:
        return false;
    case Next::Pointer:
        return true;
    case Next::Text:
        break;
    }
    // One character of the typed text.
    AcApDocument* doc = acDocManager->curDocument();
    std::string& buffer = doc && !doc->pendingInput().empty() ? doc->pendingInput() : g_rest;
    const bool echo = &buffer != &g_rest || g_restEchoes;
    if (&buffer == &g_rest && g_rest.rfind("^C", 0) == 0) {
        g_rest.erase(0, g_rest.find('\n') == std::string::npos ? g_rest.size() : g_rest.find('\n') + 1);
        if (echo)
            print("^C\n");
        return false;
    }
    // A UTF-8 sequence is one key.
    std::size_t n = 1;
    const unsigned char c0 = static_cast<unsigned char>(buffer[0]);
    if (c0 >= 0xC0)
        n = c0 >= 0xF0 ? 4 : c0 >= 0xE0 ? 3 : 2;
    n = std::min(n, buffer.size());
    const std::string ch = buffer.substr(0, n);
    buffer.erase(0, n);
    ev = InputEvent{};
    ev.kind = InputEvent::Kind::Key;
    if (ch == "\n" || ch == "\r") {
        if (ch == "\r" && !buffer.empty() && buffer[0] == '\n')
            buffer.erase(0, 1);
        ev.value = 13;
        if (echo)
            print("\n");
        return true;
    }
    const std::wstring w = utf8ToWide(ch);
    ev.value = w.empty() ? 0 : static_cast<int>(w[0]);
    if (echo)
        print(ch);
    return true;
}

bool trackingInputWaits()
{
    return g_tracking;
}

TrackingRead::TrackingRead() : m_previous(g_tracking)
{
    g_tracking = true;
}

TrackingRead::~TrackingRead()
{
    g_tracking = m_previous;
}

bool readEventLine(std::string& line)
{
    while (true) {
        if (!g_rest.empty()) {
            print("对话框打开时忽略输入: " + trim(g_rest) + "\n");
            g_rest.clear();
        }
        if (!g_source || !g_source->readLine(line, ""))
            return false;
        line = trim(line);
        if (isEvent(line) || line == "^C") {
            if (g_source->echoes())
                print(line + "\n");
            return true;
        }
        if (!line.empty())
            print("对话框打开时忽略输入: " + line + "\n");
    }
}

void reportRecovery(const AcDbDatabase& db)
{
    if (!db.isRecovered())
        return;
    print("\n图形已损坏, 已按恢复模式打开: " + wideToUtf8(db.originalFileName()) + "\n修复了:\n");
    for (const AcDbLoadNote& note : db.loadNotes())
        print("  " + note.text + "\n");
    print("图形尚未保存; 检查后可用 SAVE 保存修复的图形。\n");
}

bool quitRequested()
{
    return g_quit;
}

void resetQuit()
{
    g_quit = false;
}

namespace {

void error(const std::string& message)
{
    ++g_errors;
    print("\n" + message + "\n");
}

// A prompt for a file name or other text with blanks; empty on Esc.
bool askLine(const char* prompt, std::string& out)
{
    print(prompt);
    if (!readReply(out, true) || trim(out) == "^C") {
        print("*取消*\n");
        return false;
    }
    out = trim(out);
    return true;
}

bool saveTo(AcApDocument* doc, const std::string& path)
{
    if (doc->database()->saveAs(utf8ToWide(path).c_str()) != Acad::eOk) {
        error("保存失败: " + wideToUtf8(doc->database()->lastError()));
        return false;
    }
    doc->setFileName(doc->database()->originalFileName());
    print("\n已保存: " + wideToUtf8(doc->fileName()) + "\n");
    return true;
}

bool isUntitled(AcApDocument* doc)
{
    return doc->database()->originalFileName().empty();
}

// Before a drawing with changes closes (CLOSE, QUIT): whether to save them
// first. True when it may close: saved, or the changes are given up; false
// on Cancel, Esc, the end of input or a save that failed (said why).
bool saveChangesFirst(AcApDocument* doc)
{
    if (!doc->database()->isModified())
        return true;
    const std::string prompt =
        "\n是否将改动保存到 " + wideToUtf8(doc->fileName()) + "？[是(Y)/否(N)/取消(C)] <是>: ";
    std::wstring choice;
    while (true) {
        print(prompt);
        std::string reply;
        if (!readReply(reply, false) || reply == "^C") {
            print("*取消*\n");
            return false;
        }
        if (reply.empty()) {
            choice = L"Yes";
            break;
        }
        if (matchKeyword(L"Yes No Cancel", reply, choice))
            break;
        print("\n无效选项关键字。\n");
    }
    if (choice == L"No")
        return true;
    if (choice == L"Cancel")
        return false;
    std::string path = wideToUtf8(doc->fileName());
    if (isUntitled(doc) && (!askLine("\n保存为: ", path) || path.empty()))
        return false;
    return saveTo(doc, path);
}

// Replies of a command typed at the command line: the user's, asked again
// after a message when not acceptable.
class TypedInput : public CommandInput {
public:
    bool next(const std::wstring& prompt, AcCmdArg& reply) override { return read(prompt, reply, false); }
    bool nextText(const std::wstring& prompt, AcCmdArg& reply) override { return read(prompt, reply, true); }
    bool reject(const std::wstring& message) override
    {
        printWide(message);
        return true;
    }

private:
    static bool read(const std::wstring& prompt, AcCmdArg& reply, bool wholeLine)
    {
        printWide(prompt);
        std::string text;
        if (!readReply(text, wholeLine) || text == "^C") {
            print("*取消*\n");
            return false;
        }
        reply = AcCmdArg(utf8ToWide(text));
        return true;
    }
};

const char* const kHostCommands[] = {"QUIT",     "EXIT",    "SAVE",      "QSAVE", "SAVEAS", "OPEN", "NEW",
                                     "CLOSE",    "DOCUMENT", "ARXLOAD", "ARXUNLOAD", "HELP", "?"};

// HELP: what can be typed at the command prompt, one line for each kind.
void printHelp()
{
    const auto line = [](const std::string& title, const std::vector<std::string>& names) {
        std::string text = "\n" + title + ":";
        for (const std::string& n : names)
            text += " " + n;
        if (names.empty())
            text += " (无)";
        print(text);
    };
    line("主机命令", std::vector<std::string>(kHostCommands, std::end(kHostCommands)));
    line("绘图命令", interpretedCommandNames());
    std::vector<std::string> appCommands;
    for (const std::string& entry : acedRegCmds()->listing())
        appCommands.push_back(entry.substr(entry.find(' ') + 1));
    line("应用程序命令", appCommands);
    std::vector<std::string> defined;
    if (AcApDocument* doc = acDocManager->curDocument())
        for (const auto& f : doc->lispFunctions())
            defined.push_back("(" + f.first + ")");
    line("本图形的 LISP 函数", defined);
    std::vector<std::string> builtins;
    for (const std::string& n : lisp::builtinNames())
        builtins.push_back("(" + n + ")");
    line("内置 LISP 函数", builtins);
    // The events as the toolkit that reads them describes them: their
    // verbs, then each with its form.
    const std::vector<EventHelp> events = g_eventHelp ? g_eventHelp() : std::vector<EventHelp>();
    std::vector<std::string> verbs;
    for (const EventHelp& e : events)
        verbs.push_back(e.form.substr(0, e.form.find(' ')));
    line("对话框事件", verbs);
    for (const EventHelp& e : events)
        print("\n  " + e.form + ": " + e.what);
    print("\n命令后可在同一行给出回答; (表达式) 求值 LISP; @事件 操作打开的对话框。\n");
}

void hostCommand(const std::string& name)
{
    AcApDocManager* dm = acDocManager;
    AcApDocument* doc = dm->curDocument();
    std::string arg;
    if (name == "QUIT" || name == "EXIT") {
        // Each drawing with changes is asked about, the current one first;
        // a Cancel keeps them all open.
        if (!saveChangesFirst(doc))
            return;
        for (int i = 0; i < dm->documentCount(); ++i)
            if (dm->document(i) != doc && !saveChangesFirst(dm->document(i)))
                return;
        g_quit = true;
    } else if (name == "SAVE" || name == "QSAVE") {
        if (isUntitled(doc)) {
            if (askLine("\n保存为: ", arg) && !arg.empty())
                saveTo(doc, arg);
        } else {
            saveTo(doc, wideToUtf8(doc->fileName()));
        }
    } else if (name == "SAVEAS") {
        if (askLine("\n保存为: ", arg) && !arg.empty())
            saveTo(doc, arg);
    } else if (name == "OPEN") {
        if (askLine("\n要打开的图形: ", arg) && !arg.empty()) {
            std::wstring err;
            if (AcApDocument* opened = dm->openDocument(utf8ToWide(arg), err))
                reportRecovery(*opened->database());
            else
                error("无法打开图形: " + wideToUtf8(err));
        }
    } else if (name == "NEW") {
        dm->newDocument();
    } else if (name == "CLOSE") {
        if (!saveChangesFirst(doc))
            return;
        dm->closeDocument(doc);
        if (dm->documentCount() == 0)
            dm->newDocument();
    } else if (name == "DOCUMENT") {
        // Lists the open drawings, or makes the one named on the command
        // line current ("DOCUMENT 2").
        if (!trim(g_rest).empty() && askLine("\n图形编号或名称: ", arg) && !arg.empty()) {
            for (int i = 0; i < dm->documentCount(); ++i)
                if (arg == std::to_string(i + 1) || upperAscii(arg) == upperAscii(wideToUtf8(dm->document(i)->docTitle()))) {
                    dm->setCurDocument(dm->document(i));
                    return;
                }
            error("没有这个图形: " + arg);
            return;
        }
        for (int i = 0; i < dm->documentCount(); ++i)
            print("\n" + std::string(dm->document(i) == doc ? "* " : "  ") + std::to_string(i + 1) + " "
                  + wideToUtf8(dm->document(i)->docTitle()));
        print("\n");
    } else if (name == "HELP" || name == "?") {
        printHelp();
    } else if (name == "ARXLOAD") {
        std::string err;
        if (askLine("\n应用程序文件: ", arg) && !arg.empty() && !acrxLoadApp(arg, err))
            error("ARXLOAD 失败: " + err);
    } else if (name == "ARXUNLOAD") {
        std::string err;
        if (askLine("\n要卸载的应用程序: ", arg) && !arg.empty() && !acrxUnloadApp(arg, err))
            error("ARXUNLOAD 失败: " + err);
    }
}

// The undo group of one LISP call or application command, opened in the
// current drawing and ended however the call ends, an exception included,
// also when the call made another drawing current. A call that closed its
// drawing took the group with it.
class CallGroupScope {
public:
    CallGroupScope() : m_db(acdbCurDwg()), m_serial(m_db ? m_db->serial() : 0)
    {
        if (m_db)
            m_group.emplace(AcDbInternals::journal(*m_db));
    }
    ~CallGroupScope()
    {
        if (m_group && AcDbDatabase::fromSerial(m_serial) != m_db)
            m_group->abandon();
    }
    CallGroupScope(const CallGroupScope&) = delete;
    CallGroupScope& operator=(const CallGroupScope&) = delete;

private:
    AcDbDatabase* m_db;
    std::int64_t m_serial;
    std::optional<AcDbUndoGroupScope> m_group;
};

void evalLisp(const std::string& text)
{
    std::vector<lisp::Value> exprs;
    try {
        exprs = lisp::read(text);
    } catch (const lisp::SyntaxError& e) {
        error(std::string("; 错误: ") + e.what());
        return;
    }
    for (const lisp::Value& x : exprs) {
        const CallGroupScope group;
        try {
            const lisp::Value v = lisp::eval(x);
            const std::string out = lisp::print(v);
            if (!out.empty())
                print("\n" + out + "\n");
        } catch (const lisp::EvalError& e) {
            error(std::string("; 错误: ") + e.what());
        }
        if (g_stopAtError && g_errors > 0)
            return;
    }
}

} // namespace

void executeLine(const std::string& rawLine)
{
    const std::string line = trim(rawLine);
    if (line.empty())
        return;
    InputEvent pointer;
    if (parsePointerEvent(line, pointer))
        return; // the pointer at the command prompt picks nothing
    if (isEvent(line)) {
        dispatchEvent(line, false); // echoed as the command line
        return;
    }
    if (line == "^C") {
        // Esc at the command prompt: nothing to cancel.
        print("*取消*\n");
        return;
    }
    if (line[0] == '(' || line[0] == '\'' || line[0] == '!') {
        std::string text = line[0] == '!' ? line.substr(1) : line;
        // An expression may go on over several lines.
        while (lisp::openDepth(text) > 0) {
            std::string more;
            if (!g_source || !g_source->readLine(more, "(_> ")) {
                error("; 错误: 输入意外结束");
                return;
            }
            if (trim(more) == "^C") {
                if (g_source->echoes())
                    print(more + "\n");
                print("*取消*\n");
                return;
            }
            if (g_source->echoes())
                print(more + "\n");
            text += "\n" + more;
        }
        evalLisp(text);
        return;
    }
    // A command: its name, then replies to its prompts from the same line.
    const std::size_t blank = line.find(' ');
    std::string name = upperAscii(line.substr(0, blank));
    g_rest = blank == std::string::npos ? std::string() : line.substr(blank + 1) + "\n";
    g_restEchoes = g_source && g_source->echoes();
    while (!name.empty() && (name[0] == '_' || name[0] == '.'))
        name.erase(0, 1);
    for (const char* c : kHostCommands)
        if (name == c) {
            hostCommand(name);
            return;
        }
    if (isInterpretedCommand(name)) {
        TypedInput in;
        if (runCommand(name, in) == RTERROR)
            ++g_errors;
        return;
    }
    if (AcRxFunctionPtr fn = acedRegCmds()->lookupCmd(utf8ToWide(name).c_str())) {
        const CallGroupScope group;
        fn();
        return;
    }
    g_rest.clear();
    error("未知命令“" + line.substr(0, blank) + "”。输入 HELP 查看帮助。");
}

int runCommandLoop(bool stopAtError)
{
    g_errors = 0;
    g_stopAtError = stopAtError;
    bool prompted = false;
    while (!g_quit && !(stopAtError && g_errors > 0)) {
        if (!prompted)
            print("\n命令: ");
        prompted = false;
        std::string line;
        AcApDocument* doc = acDocManager->curDocument();
        if (doc && !doc->pendingInput().empty()) {
            line = takeFrom(doc->pendingInput(), true);
            print(line + "\n");
        } else if (!g_rest.empty()) {
            line = takeFrom(g_rest, true);
            if (g_restEchoes)
                print(line + "\n");
        } else if (g_source && g_source->readLine(line, currentPrompt)) {
            InputEvent ev;
            if (parsePointerEvent(trim(line), ev) && ev.kind == InputEvent::Kind::Move && !g_source->echoesMoves()) {
                // Nothing happened: the prompt stands as it was.
                prompted = true;
                continue;
            }
            if (g_source->echoes())
                print(line + "\n");
            else
                g_atLineStart = true;
        } else if (g_source && g_source->endIsQuit()) {
            // Ctrl-D at a terminal: QUIT, shown where it was typed.
            print("QUIT\n");
            line = "QUIT";
        } else {
            break;
        }
        executeLine(line);
        // Every command and LISP call has ended the groups it began.
        assert(!acdbCurDwg() || AcDbInternals::journal(*acdbCurDwg()).depth() == 0);
        g_rest.clear();
    }
    g_stopAtError = false;
    print("\n");
    return g_errors;
}

} // namespace host
