#include "ui/session.h"

#include "host/adsdefs.h"
#include "ui/detail/window.h"

#include <cstdio>

namespace ui {
namespace {

struct Session {
    EventSource* source = nullptr;
    OutputSink* sink = nullptr;
    std::wstring appName = L"ctrlsch";
};

Session& session()
{
    static auto* s = new Session;
    return *s;
}

} // namespace

void setEventSource(EventSource* source) { session().source = source; }
EventSource* eventSource() { return session().source; }
void setOutputSink(OutputSink* sink) { session().sink = sink; }

void print(std::wstring_view text)
{
    const std::string utf8 = wideToUtf8(text);
    if (session().sink) {
        session().sink->write(utf8);
    } else {
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fflush(stdout);
    }
}

bool isEventLine(std::string_view line)
{
    const size_t i = line.find_first_not_of(" \t");
    return i != std::string_view::npos && line[i] == '@';
}

bool isEscapeLine(std::string_view line)
{
    const size_t b = line.find_first_not_of(" \t\r");
    const size_t e = line.find_last_not_of(" \t\r");
    return b != std::string_view::npos && line.substr(b, e - b + 1) == "^C";
}

void idle()
{
    detail::runPosted();
    detail::runPaints();
}

bool queryKeepFocus(CWnd* wnd)
{
    return wnd && detail::lookup(wnd->m_hWnd) && detail::send(wnd->m_hWnd, WM_ACAD_KEEPFOCUS) != 0;
}

void setAppName(std::wstring name) { session().appName = std::move(name); }
const std::wstring& appName() { return session().appName; }

void setScreenSize(int cx, int cy)
{
    detail::desktop().screen = CSize(cx, cy);
    if (detail::Window* d = detail::lookup(detail::desktopWindow()))
        d->rect = CRect(0, 0, cx, cy);
    setWorkArea(CRect(0, 0, cx, cy > 40 ? cy - 40 : cy));
}

CSize screenSize() { return detail::desktop().screen; }

void setWorkArea(const CRect& area)
{
    detail::desktop().workArea = area;
    if (detail::Window* m = detail::lookup(detail::mainWindow()))
        detail::setRect(*m, area, true);
}

CRect workArea() { return detail::desktop().workArea; }

void reset()
{
    detail::destroyAll();
    detail::clearPosted();
    detail::desktop() = detail::Desktop{};
    session() = Session{};
}

LineEventSource::LineEventSource(std::vector<std::string> lines) : m_lines(lines.begin(), lines.end()) {}

bool LineEventSource::nextEvent(std::string& line)
{
    while (!m_lines.empty()) {
        std::string next = std::move(m_lines.front());
        m_lines.pop_front();
        if (isEventLine(next) || isEscapeLine(next)) {
            line = std::move(next);
            return true;
        }
    }
    return false;
}

} // namespace ui

namespace ui::detail {

void report(std::wstring_view text)
{
    std::wstring line = L"** ";
    line += text;
    line += L'\n';
    ui::print(line);
}

ui::EventSource* source() { return ui::eventSource(); }

} // namespace ui::detail
