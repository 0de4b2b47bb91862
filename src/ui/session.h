// The toolkit's connection to the host: where events come from, where text
// goes, dispatching "@" event lines, the desktop's configuration, and
// resetting everything between sessions. EVENTS.md describes the event
// lines.
#pragma once

#include "ui/geometry.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

class CWnd;

namespace ui {

// The input of modal loops and message boxes.
class EventSource {
public:
    virtual ~EventSource() = default;
    // The next "@" line of the input, or an Esc line ("^C": see
    // isEscapeLine); false at end of input.
    virtual bool nextEvent(std::string& line) = 0;
};

// Where message boxes, listings and reports go, as UTF-8.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void write(std::string_view utf8) = 0;
};

// The toolkit does not own either; nullptr means no events (end of input at
// once) and standard output.
void setEventSource(EventSource* source);
EventSource* eventSource();
void setOutputSink(OutputSink* sink);
// Writes text to the output sink in UTF-8.
void print(std::wstring_view text);

// True when the line (after leading blanks) starts with "@".
bool isEventLine(std::string_view line);
// True for "^C" (blanks around it allowed): Esc. A modal dialog that reads
// it is cancelled as at the end of input, a message box gets the answer it
// gets there; the input goes on after it.
bool isEscapeLine(std::string_view line);
// Carries out one event line as the user's action on the open dialogs.
// Returns false, after printing why, when the line is not a valid event or
// names a dialog, control or item that does not exist or cannot take it
// (disabled, hidden, wrong kind). Runs posted messages and paints after.
bool dispatchEvent(const std::string& line);
// The events dispatchEvent knows, for help texts: the verb ("click"), its
// form ("@click DIALOG CONTROL") and what the user does, in one line.
struct EventVerb {
    std::string name;
    std::string form;
    std::string what;
};
std::vector<EventVerb> eventVerbs();
// Delivers posted messages and paints invalid windows. The host calls it
// when it waits for input; dispatchEvent and modal loops call it too.
void idle();

// The open dialogs, in the order "@list" prints them. name is what events
// call the dialog: its short name, else its template id. The picture
// windowPng makes is the whole window; client is where the client area
// (the origin of "@mouse DIALOG 0 X Y") lies in it, after frame and
// caption.
// A control of an open dialog as a page showing the dialog's picture
// needs it: where it lies in the client area, what it is and holds.
struct OpenControl {
    int id = 0;
    // The class as "@list" names it: "edit", "combo", "list",
    // "button", "checkbox", "radio", "static"...
    std::string kind;
    CRect rect;
    std::wstring text;
    bool visible = true, enabled = true, readOnly = false;
    // Combo and list boxes: their items and the selected one (-1: none).
    std::vector<std::wstring> items;
    int selected = -1;
};
struct OpenDialog {
    std::string name;
    std::wstring caption;
    bool modal = false;
    bool shown = false;
    bool active = false;
    CRect window;
    CPoint client;
    std::vector<OpenControl> controls;
};
std::vector<OpenDialog> openDialogs();
// The dialog of that name as "@snapshot" paints it, as PNG bytes; false
// when no dialog of that name is open or it has no size.
bool dialogPng(const std::string& name, std::string& png);

// Asks a window whether it keeps the focus (WM_ACAD_KEEPFOCUS).
bool queryKeepFocus(CWnd* wnd);

// The caption of AfxMessageBox; default L"ctrlsch".
void setAppName(std::wstring name);
const std::wstring& appName();

// The screen in pixels (default 1920 x 1080) and the work area (default
// the screen less a 40 px task bar at the bottom: 0, 0, 1920, 1040). The
// main window covers the work area. Setting the screen size resets the
// work area to the screen less the task bar.
void setScreenSize(int cx, int cy);
CSize screenSize();
void setWorkArea(const CRect& area);
CRect workArea();

// Destroys every window (objects' PostNcDestroy run), drops posted
// messages, and restores the default desktop, event source, output sink,
// application name and double-click time. Registered templates stay.
void reset();

// An event source over a list of lines (for scripts and tests); lines that
// are neither events nor Esc lines are skipped.
class LineEventSource : public EventSource {
public:
    LineEventSource() = default;
    explicit LineEventSource(std::vector<std::string> lines);
    void add(std::string line) { m_lines.push_back(std::move(line)); }
    bool nextEvent(std::string& line) override;
    size_t remaining() const { return m_lines.size(); }

private:
    std::deque<std::string> m_lines;
};

// An output sink that keeps what it gets.
class StringOutputSink : public OutputSink {
public:
    void write(std::string_view utf8) override { m_text += utf8; }
    const std::string& text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    std::string m_text;
};

} // namespace ui
