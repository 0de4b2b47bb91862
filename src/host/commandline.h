// The host's command line: where typed lines come from, how replies are
// taken from them for prompts, what the user sees, and the top-level loop
// that runs LISP expressions, host commands and application commands.
//
// Lines are read from a LineSource (a script file, the interactive
// terminal). A prompt takes one reply: the text up to a blank or the line
// end ("x,y" points, numbers, keywords), or a whole line for strings that
// may hold blanks. Text that applications type (sendStringToExecute) is
// read first. Lines starting with "@" are events for dialogs: they are
// handed to the event handler while a prompt waits, and the prompt goes
// on reading. "^C" and the end of input are Esc; at the command prompt
// "^C" cancels nothing and says "*取消*".
//
// QUIT (EXIT) and CLOSE ask first about drawings with changes (isModified):
// "是否将改动保存到 NAME？[是(Y)/否(N)/取消(C)] <是>:". Yes (Enter) saves,
// asking for a name when the drawing has none, and a failed save keeps the
// drawing open; No gives the changes up; Cancel, Esc and the end of input
// keep everything open. The question is read like any reply, so a script
// answers it; at the end of a script nothing is asked.
#pragma once

#include <string>
#include <vector>

class AcDbDatabase;

namespace host {

class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line (without its line end); false at the end of input.
    // prompt is what the command line shows (for an interactive editor).
    virtual bool readLine(std::string& line, const std::string& prompt) = 0;
    // True when what is read should be echoed after the prompt (scripts).
    virtual bool echoes() const = 0;
    // True when pointer moves ("@move X,Y") are echoed too; a source that
    // sends one for every move of the mouse says no, or they would flood
    // what the user reads.
    virtual bool echoesMoves() const { return echoes(); }
    // True when the end of input at the command prompt is a QUIT (Ctrl-D
    // at a terminal: changed drawings are asked about, and a Cancel goes
    // on reading); false when it ends the session as it is (a script).
    virtual bool endIsQuit() const { return false; }
};

// Output of the command line, UTF-8. A newline at the start of a text is
// dropped when the output already stands at the start of a line, so that
// prompts beginning with "\n" do not leave empty lines after a reply.
using OutputFn = void (*)(const std::string& utf8);
void setOutput(OutputFn fn);
// The output set (null: the standard output).
OutputFn output();
void print(const std::string& utf8);
void printWide(const std::wstring& text);

// Handler of "@" lines (the dialog toolkit): false when the event could not
// be delivered (it has reported why).
using EventHandlerFn = bool (*)(const std::string& line);
void setEventHandler(EventHandlerFn fn);
// What HELP says of the events: for each, its form ("@click DIALOG
// CONTROL") and what it does, from the dialog toolkit that reads them.
struct EventHelp {
    std::string form;
    std::string what;
};
using EventHelpFn = std::vector<EventHelp> (*)();
void setEventHelp(EventHelpFn fn);

// The source lines are read from (not owned); null means end of input.
void setLineSource(LineSource* source);
LineSource* lineSource();

// One reply for a prompt that was just printed. Returns false on Esc.
// wholeLine: the reply runs to the line end (blanks included).
bool readReply(std::string& reply, bool wholeLine);
// Pointer, button and key events of the script: "@move X,Y" (the pointer
// moved), "@pick X,Y" (left button at a point), "@right" (right button),
// "@aux N" and "@menu N" (menu items), "@char N" (the key of code N).
// Typed text gives one Key event per character and Key 13 at the line end.
struct InputEvent {
    enum class Kind { Key, Move, Pick, Right, Aux, Menu } kind = Kind::Key;
    int value = 0;
    double x = 0.0, y = 0.0;
};
// Parses a pointer event line; false when the line is none.
bool parsePointerEvent(const std::string& line, InputEvent& ev);
// The next event for tracking input; dialog events are dispatched while
// waiting. False on Esc ("^C") and at the end of input.
bool readInputEvent(InputEvent& ev);
// A reply as readReply reads it, or a pointer event when one comes first
// (pointer set then). False on Esc.
bool readReplyOrPointer(std::string& reply, InputEvent& ev, bool& pointer);

// Whether a read for tracking input waits now: acedGrRead with the track
// bit or acedDragGen, which take pointer moves. Other reads and the command
// prompt ignore moves.
bool trackingInputWaits();
// Marks a tracking read for as long as it lives (reads may nest: a dialog
// event handled while one waits may start another).
class TrackingRead {
public:
    TrackingRead();
    ~TrackingRead();
    TrackingRead(const TrackingRead&) = delete;
    TrackingRead& operator=(const TrackingRead&) = delete;

private:
    bool m_previous;
};

// The next "@" line, or "^C" (Esc, which cancels the dialog), for modal
// dialogs and message boxes; other lines that arrive meanwhile are reported
// and skipped. False at the end of input.
bool readEventLine(std::string& line);

// Tells the user that a drawing just opened was damaged and read in
// recover mode, with what was repaired, one line each; prints nothing for
// a drawing read as it was. The drawing stays open and unsaved: the user
// decides whether to save it.
void reportRecovery(const AcDbDatabase& db);

// Runs the command loop until QUIT, the end of input or, with stopAtError,
// the first error: the rest of the line and the lines after it are not
// run. Returns the number of errors reported (bad LISP, unknown commands,
// failed saves, opens and loads, a command ending in error); an Esc is
// none.
int runCommandLoop(bool stopAtError = false);
// Runs one line as typed at the command prompt (tests use it).
void executeLine(const std::string& line);
// True after QUIT.
bool quitRequested();
void resetQuit();

} // namespace host
