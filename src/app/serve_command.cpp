#include "app/serve_command.h"

#include "app/render_command.h"
#include "app/session.h"
#include "host/acapdoc.h"
#include "host/adsdefs.h"
#include "host/commandline.h"
#include "host/render/live.h"
#include "host/render/overlay.h"
#include "host/render/plot.h"
#include "host/render/svg.h"
#include "ui/session.h"

// The only file that includes the web server's header: it is large.
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

namespace app {

namespace {

constexpr const char* kAddress = "127.0.0.1";
constexpr const char* kTokenHeader = "X-Ctrlsch-Token";
// The page that sends a command (see Owner).
constexpr const char* kPageHeader = "X-Ctrlsch-Page";
// Command lines are short; a larger body is refused before it is read.
constexpr std::size_t kMaxBody = 64 * 1024;

// The page: a toolbar typing the module's calls, the drawing (picks,
// zoom and pan with the mouse), the open dialogs (clicks on their
// pictures), the transcript and a command input with its history (Up,
// Down). Every request carries the token of the
// page's own address. Text from the session is set as text, never as
// markup; the drawing is the renderer's own SVG.
constexpr const char* kPage =
#include "serve_page.inc"
;

// 32 hex digits from the system's random source.
std::string makeToken()
{
    std::random_device random("/dev/urandom");
    static const char hex[] = "0123456789abcdef";
    std::string token;
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = random();
        for (int digit = 0; digit < 8; ++digit, bits >>= 4)
            token += hex[bits & 15u];
    }
    return token;
}

// Compares without stopping at the first difference, so the time taken
// tells nothing of how much of a guess was right.
bool sameToken(const std::string& given, const std::string& token)
{
    if (given.size() != token.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ token[i]);
    return diff == 0;
}

// Thrown by work for the session that cannot be done: the answer's status
// and text.
struct Refusal : std::runtime_error {
    Refusal(int httpStatus, const std::string& what) : std::runtime_error(what), status(httpStatus) {}
    int status;
};

// Between the request threads and the session thread, which owns the host
// and the module. A request queues a command line or a piece of work and
// waits for its answer. The session thread takes lines as the command
// line's source: a line's answer is what was printed from when it was
// taken until the command line asks for the next one. Work is done while
// the command line waits for a line, never while a command runs.
class SessionQueue : public host::LineSource {
public:
    struct Answer {
        int status = 200;
        std::string text;
        // Whether the line's answer left a tracking read waiting.
        bool tracking = false;
    };

    // Request threads.
    Answer runLine(const std::string& line)
    {
        auto job = std::make_shared<Job>();
        job->line = line;
        return submit(job);
    }
    Answer runTask(std::function<std::string()> task)
    {
        auto job = std::make_shared<Job>();
        job->task = std::move(task);
        return submit(job);
    }
    std::string transcript() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_transcript;
    }
    // Any thread: the next line read is the end of input.
    void stop()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_work.notify_all();
    }

    // The session thread.
    void append(const std::string& utf8)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_transcript += utf8;
    }
    bool readLine(std::string& line, const std::string&) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        answerCurrent();
        for (;;) {
            m_work.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return false;
            std::shared_ptr<Job> job = m_queue.front();
            m_queue.pop_front();
            if (!job->task) {
                job->start = m_transcript.size();
                m_current = job;
                line = job->line;
                return true;
            }
            lock.unlock();
            Answer answer;
            try {
                answer.text = job->task();
            } catch (const Refusal& r) {
                answer = Answer{r.status, r.what()};
            } catch (const std::exception& e) {
                answer = Answer{500, e.what()};
            }
            lock.lock();
            complete(*job, answer);
        }
    }
    // Lines are echoed after their prompt, as a script's are: the
    // transcript reads like the terminal's.
    bool echoes() const override { return true; }
    // The page sends a move for every step of the pointer while a tracking
    // read waits: echoed, they would flood the transcript.
    bool echoesMoves() const override { return false; }
    // The session has ended: the line being run gets what it printed, the
    // requests still waiting and those to come are refused.
    void finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        answerCurrent();
        m_ended = true;
        for (const std::shared_ptr<Job>& job : m_queue)
            complete(*job, ended());
        m_queue.clear();
    }

private:
    struct Job {
        std::string line;
        std::function<std::string()> task;
        std::size_t start = 0;
        bool done = false;
        Answer answer;
    };

    static Answer ended() { return Answer{503, "the session has ended\n"}; }

    Answer submit(const std::shared_ptr<Job>& job)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_ended)
            return ended();
        m_queue.push_back(job);
        m_work.notify_all();
        m_done.wait(lock, [&] { return job->done; });
        return job->answer;
    }
    // With the lock held.
    void complete(Job& job, Answer answer)
    {
        job.answer = std::move(answer);
        job.done = true;
        m_done.notify_all();
    }
    void answerCurrent()
    {
        if (!m_current)
            return;
        complete(*m_current, Answer{200, m_transcript.substr(m_current->start), host::trackingInputWaits()});
        m_current.reset();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_work, m_done;
    std::deque<std::shared_ptr<Job>> m_queue;
    std::shared_ptr<Job> m_current;
    std::string m_transcript;
    bool m_stopping = false, m_ended = false;
};

SessionQueue* g_session = nullptr;

void toTranscript(const std::string& utf8)
{
    g_session->append(utf8);
}

void plainText(httplib::Response& res, int status, const std::string& text)
{
    res.status = status;
    res.set_content(text, "text/plain; charset=utf-8");
}

void json(httplib::Response& res, const nlohmann::json& value)
{
    // Text the command line printed that is no valid UTF-8 is replaced,
    // not refused.
    res.set_content(value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), "application/json");
}

// The session's answer as the body of the type given, or its refusal.
void reply(httplib::Response& res, const SessionQueue::Answer& a, const char* type)
{
    if (a.status != 200)
        plainText(res, a.status, a.text);
    else
        res.set_content(a.text, type);
}

void answer(httplib::Response& res, const SessionQueue::Answer& a, const char* key)
{
    if (a.status != 200)
        plainText(res, a.status, a.text);
    else
        json(res, nlohmann::json{{key, a.text}, {"tracking", a.tracking}});
}

// The line of a command request: {"line": "..."} with one line of text.
bool commandLine(const std::string& body, std::string& line, std::string& problem)
{
    nlohmann::json request;
    try {
        request = nlohmann::json::parse(body);
    } catch (const nlohmann::json::parse_error& e) {
        problem = std::string("the body is no JSON: ") + e.what();
        return false;
    }
    if (!request.is_object() || !request.contains("line") || !request["line"].is_string()) {
        problem = "the body must be {\"line\": \"...\"}";
        return false;
    }
    line = request["line"].get<std::string>();
    if (line.find_first_of("\r\n") != std::string::npos) {
        problem = "a command is one line: it holds no line break";
        return false;
    }
    return true;
}

// The page maps the pointer through the SVG's viewBox; the renderer's user
// units are drawing units with y turned down. The picture says so itself.
std::string withDrawingMatrix(std::string svg)
{
    const std::string::size_type at = svg.find("<svg ");
    if (at != std::string::npos)
        svg.insert(at + 5, "data-drawing-matrix=\"1 0 0 -1 0 0\" ");
    return svg;
}

// A dialog's controls, where the page lays its inputs over the picture.
nlohmann::json controlsJson(const std::vector<ui::OpenControl>& controls)
{
    nlohmann::json list = nlohmann::json::array();
    for (const ui::OpenControl& c : controls) {
        if (!c.visible)
            continue;
        nlohmann::json items = nlohmann::json::array();
        for (const std::wstring& item : c.items)
            items.push_back(wideToUtf8(item));
        list.push_back({{"id", c.id},
                        {"kind", c.kind},
                        {"left", c.rect.left},
                        {"top", c.rect.top},
                        {"width", c.rect.Width()},
                        {"height", c.rect.Height()},
                        {"text", wideToUtf8(c.text)},
                        {"enabled", c.enabled},
                        {"readOnly", c.readOnly},
                        {"items", items},
                        {"selected", c.selected}});
    }
    return list;
}

// The open dialogs as the page shows them (the session thread).
std::string dialogsJson()
{
    nlohmann::json list = nlohmann::json::array();
    for (const ui::OpenDialog& d : ui::openDialogs())
        list.push_back({{"name", d.name},
                        {"caption", wideToUtf8(d.caption)},
                        {"modal", d.modal},
                        {"shown", d.shown},
                        {"active", d.active},
                        {"x", d.window.left},
                        {"y", d.window.top},
                        {"width", d.window.Width()},
                        {"height", d.window.Height()},
                        {"clientX", d.client.x},
                        {"clientY", d.client.y},
                        {"controls", controlsJson(d.controls)}});
    return nlohmann::json{{"dialogs", list}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The current drawing as a file to download: DXF as it would be saved,
// the SVG picture, or a PDF plot on an A3 page it fills (the session
// thread). The file name is the drawing's with the format's extension.
std::string downloadFile(const std::string& format, std::string& fileName)
{
    AcApDocument* doc = acDocManager->curDocument();
    if (!doc)
        throw Refusal(404, "no drawing is open\n");
    std::string title = wideToUtf8(doc->docTitle());
    if (const std::string::size_type dot = title.rfind('.'); dot != std::string::npos && dot > 0)
        title.erase(dot);
    fileName = (title.empty() ? std::string("drawing") : title) + "." + format;
    const AcDbDatabase& db = *doc->database();
    if (format == "dxf") {
        try {
            return db.dxfOut();
        } catch (const std::exception& e) {
            throw Refusal(500, std::string("the drawing cannot be written as DXF: ") + e.what() + "\n");
        }
    }
    if (format == "svg")
        return renderSvg(db);
    render::PlotOptions plot;
    plot.page.paper = render::Paper::A3;
    plot.page.landscape = true;
    std::string bytes, error;
    if (!render::renderPlot(db, render::PlotFormat::Pdf, plot, bytes, error))
        throw Refusal(500, "the drawing cannot be plotted: " + error + "\n");
    return bytes;
}

// Drawings the page offers to open: the DXF files of the user folder the
// settings name and of the current drawing's folder, newest first within
// a folder (the session thread).
std::string drawingFilesJson()
{
    namespace fs = std::filesystem;
    std::vector<fs::path> folders;
    // The settings file the module reads: CTRLSCH_SETTINGS, else the user's.
    const char* named = std::getenv("CTRLSCH_SETTINGS");
    const char* home = std::getenv("HOME");
    const std::string settings = named && *named ? std::string(named)
                                                 : std::string(home ? home : ".") + "/.config/ctrlsch/settings.json";
    {
        std::ifstream in(settings, std::ios::binary);
        const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
        if (j.is_object() && j.contains("VMQMain") && j["VMQMain"].is_object() && j["VMQMain"].contains("VmqUse")
            && j["VMQMain"]["VmqUse"].is_string())
            folders.emplace_back(j["VMQMain"]["VmqUse"].get<std::string>());
    }
    if (AcApDocument* doc = acDocManager->curDocument(); doc && !doc->fileName().empty())
        folders.push_back(fs::path(wideToUtf8(doc->fileName())).parent_path());
    std::error_code ec;
    folders.push_back(fs::current_path(ec));
    nlohmann::json list = nlohmann::json::array();
    std::vector<fs::path> seen;
    for (const fs::path& folder : folders) {
        const fs::path canonical = fs::weakly_canonical(folder, ec);
        if (ec || canonical.empty() || std::find(seen.begin(), seen.end(), canonical) != seen.end())
            continue;
        seen.push_back(canonical);
        std::vector<std::pair<fs::file_time_type, std::string>> files;
        for (fs::directory_iterator it(canonical, ec), end; !ec && it != end; it.increment(ec)) {
            std::string ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (ext == ".dxf" && it->is_regular_file(ec))
                files.emplace_back(it->last_write_time(ec), it->path().string());
        }
        std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        nlohmann::json names = nlohmann::json::array();
        for (const auto& f : files)
            names.push_back(f.second);
        list.push_back({{"folder", canonical.string()}, {"files", names}});
    }
    return nlohmann::json{{"folders", list}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Which page may act: the one that claimed the session last. Another tab,
// or a page opened again, claims it when it loads; an older page's
// commands are refused (409) until it takes the session back.
class Owner {
public:
    void claim(const std::string& page)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_page = page;
    }
    bool owns(const std::string& page) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_page.empty() || page == m_page;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_page;
};

// A page's own name for itself: letters and digits, short.
bool pageName(const std::string& name)
{
    return !name.empty() && name.size() <= 64
           && std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
}

void setUpServer(httplib::Server& server, SessionQueue& session, Owner& owner, render::LiveDrawing& live,
                 const std::string& token, const int& port)
{
    server.set_payload_max_length(kMaxBody);
    // Before any route: the Host a page at another name (DNS rebinding)
    // sends, then the token.
    server.set_pre_routing_handler([&token, &port](const httplib::Request& req, httplib::Response& res) {
        const std::string host = req.get_header_value("Host");
        const std::string portText = ":" + std::to_string(port);
        if (host != kAddress + portText && host != "localhost" + portText) {
            plainText(res, 403, "refused: this server answers only to 127.0.0.1" + portText + " and localhost" + portText + "\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string given = req.has_header(kTokenHeader) ? req.get_header_value(kTokenHeader) : req.get_param_value("token");
        if (!sameToken(given, token)) {
            plainText(res, 403, "refused: open the address ctrlsch serve printed (it holds the token)\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_header("X-Frame-Options", "DENY");
        res.set_header("X-Content-Type-Options", "nosniff");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (res.status == 404 && res.body.empty())
            plainText(res, 404, "not found: " + req.path + "\n");
    });
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kPage, "text/html; charset=utf-8");
    });
    // The whole live picture at a version; then what changed since the
    // version the page holds (a page without one, or with one of another
    // drawing, is told to take the whole picture again).
    server.Get("/api/drawing.svg", [&session, &live](const httplib::Request&, httplib::Response& res) {
        const SessionQueue::Answer a = session.runTask([&live] {
            AcApDocument* doc = acDocManager->curDocument();
            if (!doc)
                throw Refusal(404, "no drawing is open\n");
            live.follow(doc->database());
            live.syncHidden(render::hiddenNow());
            return withDrawingMatrix(live.whole());
        });
        reply(res, a, "image/svg+xml");
    });
    server.Get("/api/changes", [&session, &live](const httplib::Request& req, httplib::Response& res) {
        const std::string given = req.get_param_value("since");
        std::uint64_t since = 0;
        if (!given.empty()
            && (given.size() > 20 || given.find_first_not_of("0123456789") != std::string::npos
                || std::from_chars(given.data(), given.data() + given.size(), since).ec != std::errc())) {
            plainText(res, 400, "since wants the version the page holds, a number\n");
            return;
        }
        const SessionQueue::Answer a = session.runTask([&live, since] {
            AcApDocument* doc = acDocManager->curDocument();
            if (!doc)
                throw Refusal(404, "no drawing is open\n");
            live.follow(doc->database());
            live.syncHidden(render::hiddenNow());
            return live.changesSince(since);
        });
        reply(res, a, "application/json");
    });
    server.Post("/api/claim", [&owner](const httplib::Request& req, httplib::Response& res) {
        const std::string page = req.get_header_value(kPageHeader);
        if (!pageName(page)) {
            plainText(res, 400, std::string("a claim names its page in ") + kPageHeader + " (letters and digits)\n");
            return;
        }
        owner.claim(page);
        json(res, nlohmann::json{{"owner", page}});
    });
    server.Post("/api/command", [&session, &owner](const httplib::Request& req, httplib::Response& res) {
        // A request without a page name (a script, curl) is not a page
        // that was taken over.
        if (req.has_header(kPageHeader) && !owner.owns(req.get_header_value(kPageHeader))) {
            plainText(res, 409, "another page took this session over: take it back to go on here\n");
            return;
        }
        std::string line, problem;
        if (!commandLine(req.body, line, problem)) {
            plainText(res, 400, problem + "\n");
            return;
        }
        answer(res, session.runLine(line), "output");
    });
    server.Get("/api/dialogs", [&session](const httplib::Request&, httplib::Response& res) {
        const SessionQueue::Answer a = session.runTask(dialogsJson);
        reply(res, a, "application/json");
    });
    server.Get(R"(/api/dialog/([^/]+)\.png)", [&session](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1];
        const SessionQueue::Answer a = session.runTask([name] {
            std::string png;
            if (!ui::dialogPng(name, png))
                throw Refusal(404, "no open dialog " + name + "\n");
            return png;
        });
        reply(res, a, "image/png");
    });
    server.Get(R"(/api/download/drawing\.(dxf|svg|pdf))", [&session](const httplib::Request& req, httplib::Response& res) {
        const std::string format = req.matches[1];
        auto fileName = std::make_shared<std::string>();
        const SessionQueue::Answer a = session.runTask([format, fileName] { return downloadFile(format, *fileName); });
        if (a.status != 200) {
            plainText(res, a.status, a.text);
            return;
        }
        const char* type = format == "dxf" ? "application/dxf" : format == "svg" ? "image/svg+xml" : "application/pdf";
        res.set_header("Content-Disposition", "attachment; filename*=UTF-8''" + httplib::detail::encode_query_param(*fileName));
        res.set_content(a.text, type);
    });
    server.Get("/api/files", [&session](const httplib::Request&, httplib::Response& res) {
        const SessionQueue::Answer a = session.runTask(drawingFilesJson);
        reply(res, a, "application/json");
    });
    // What is shown over the drawing for now, in the drawing picture's
    // user units.
    server.Get("/api/overlay.svg", [&session](const httplib::Request&, httplib::Response& res) {
        const SessionQueue::Answer a = session.runTask([] { return render::overlaySvg(); });
        reply(res, a, "image/svg+xml");
    });
    // Whether the pointer's moves are wanted now.
    server.Get("/api/state", [&session](const httplib::Request&, httplib::Response& res) {
        const SessionQueue::Answer a = session.runTask([] {
            return nlohmann::json{{"tracking", host::trackingInputWaits()}}.dump();
        });
        reply(res, a, "application/json");
    });
    server.Get("/api/transcript", [&session](const httplib::Request&, httplib::Response& res) {
        json(res, nlohmann::json{{"transcript", session.transcript()}});
    });
}

// SIGINT and SIGTERM end the session: blocked in every thread, they are
// taken by one thread of their own, which stops the command line's input.
class StopSignals {
public:
    explicit StopSignals(SessionQueue& session)
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
        m_thread = std::thread([this, &session] {
            int sig = 0;
            sigwait(&m_set, &sig);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_ending)
                session.stop();
        });
    }
    ~StopSignals()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ending = true;
        }
        pthread_kill(m_thread.native_handle(), SIGTERM);
        m_thread.join();
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    sigset_t m_set{}, m_old{};
    std::mutex m_mutex;
    bool m_ending = false;
    std::thread m_thread;
};

// Reads the words after "serve"; on a mistake says what is wrong.
bool parseServeArgs(const std::vector<std::string>& args, std::string& drawing, int& port, std::string& problem)
{
    bool portGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port") {
            const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
            if (portGiven || value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos
                || std::stoi(value) > 65535) {
                problem = "--port wants a number from 0 to 65535, once";
                return false;
            }
            portGiven = true;
            port = std::stoi(value);
            ++i;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            problem = "unknown option " + args[i];
            return false;
        } else if (drawing.empty() && !args[i].empty()) {
            drawing = args[i];
        } else {
            problem = "one drawing at most";
            return false;
        }
    }
    return true;
}

} // namespace

int serveCommand(const std::vector<std::string>& args)
{
    std::string drawing, problem;
    int wanted = 0;
    if (!parseServeArgs(args, drawing, wanted, problem)) {
        std::cerr << "ctrlsch serve: " << problem << "\n";
        return kExitUsage;
    }

    SessionQueue session;
    const std::string token = makeToken();
    int port = 0;
    httplib::Server server;
    Owner owner;
    // Used by the session thread only; it lets go of a drawing that closes.
    render::LiveDrawing live;
    setUpServer(server, session, owner, live, token, port);
    port = wanted == 0 ? server.bind_to_any_port(kAddress) : (server.bind_to_port(kAddress, wanted) ? wanted : -1);
    if (port <= 0) {
        std::cerr << "ctrlsch serve: cannot listen on " << kAddress << ":" << wanted << ": " << std::strerror(errno) << "\n";
        return kExitFailed;
    }

    // What the session prints goes to its transcript; the standard output
    // holds the address only.
    g_session = &session;
    const host::OutputFn previousOutput = host::output();
    host::setOutput(toTranscript);
    host::setLineSource(&session);
    auto restoreHost = [&] {
        host::setLineSource(nullptr);
        host::setOutput(previousOutput);
        g_session = nullptr;
    };
    if (!openSession(drawing, std::getenv("CTRLSCH_NO_MODULE") != nullptr, false)) {
        restoreHost();
        return kExitFailed;
    }
    std::cout << "http://" << kAddress << ":" << port << "/?token=" << token << std::endl;

    // A client that goes away while it is answered is no reason to end.
    const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
    {
        StopSignals signals(session);
        std::atomic<bool> listening{true};
        std::thread http([&server, &listening] {
            server.listen_after_bind();
            listening = false;
        });
        // Stopped before it runs, the server would not stop.
        while (listening && !server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        host::runCommandLoop();
        session.finish();
        server.stop();
        http.join();
    }
    std::signal(SIGPIPE, previousPipe);
    closeSession();
    restoreHost();
    return kExitOk;
}

} // namespace app
