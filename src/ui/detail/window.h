// Inside the toolkit: window state, the window table, message sending, the
// window classes' own behaviour and the desktop. Not for the module.
#pragma once

#include "ui/dlgtemplate.h"
#include "ui/wnd.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {
class EventSource;
class OutputSink;
} // namespace ui

namespace ui::detail {

enum class WndClass { Desktop, Frame, Dialog, Button, Static, Edit, ComboBox, ListBox, Spin, Toolbar };

struct ListItem {
    std::wstring text;
    DWORD_PTR data = 0;
};

struct Pixels;

struct Window {
    HWND hwnd = nullptr;
    WndClass cls = WndClass::Frame;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring text;
    // Screen coordinates for top-level windows, parent client coordinates
    // for children.
    CRect rect;
    // The parent of a child, the owner of a top-level window.
    HWND parent = nullptr;
    std::vector<HWND> children;
    // The object that receives the messages, and the toolkit's own object
    // (made when the window is created without one, or when a subclassing
    // object goes away).
    CWnd* object = nullptr;
    std::unique_ptr<CWnd> stock;
    // The object that created the window owns it: its destruction destroys
    // the window.
    bool ownedByObject = false;
    bool destroying = false;

    // Painting.
    CRect invalid;
    bool erase = false;
    std::shared_ptr<Pixels> surface;

    // Font base units (dialogs and their controls).
    int baseX = 6;
    int baseY = 13;
    int pointSize = 8;
    std::wstring fontName;

    // Buttons.
    int check = BST_UNCHECKED;
    bool pressed = false;

    // Edit boxes.
    int selStart = 0;
    int selEnd = 0;
    UINT limit = 0;

    // Combo and list boxes.
    std::vector<ListItem> items;
    int curSel = -1;
    int topIndex = 0;

    // Spin controls.
    int lower = 100;
    int upper = 0;
    int pos = 0;
    HWND buddy = nullptr;

    // Toolbars.
    std::vector<TBBUTTON> buttons;
    std::vector<std::wstring> strings;
    CSize buttonSize{24, 22};
    CSize bitmapSize{16, 15};
    int images = 0;
    // Bitmap resources added with AddBitmap: (id, images), in order.
    std::vector<std::pair<UINT, int>> bitmaps;
    int pressedButton = -1;

    // The short name of a dialog or of a control from its template (may be
    // empty).
    std::string name;

    // Dialogs.
    UINT templateId = 0;
    bool modal = false;
    bool ended = false;
    int result = 0;
    int defId = IDOK;
};

// Gives the toolkit access to CWnd's private parts.
struct WndAccess {
    static HandlerTable* handlers(CWnd& w);
    static HandlerTable& ensureHandlers(CWnd& w);
    static void postNcDestroy(CWnd& w);
};

// One entry per handler kind; CWnd::WindowProc consults these.
struct HandlerTable {
    struct Command {
        UINT code;
        UINT first;
        UINT last;
        std::function<void(UINT)> fn;
    };
    struct Notify {
        UINT code;
        UINT first;
        UINT last;
        std::function<void(NMHDR*, LRESULT*)> fn;
    };
    struct Message {
        UINT message;
        std::function<LRESULT(WPARAM, LPARAM)> fn;
    };
    std::vector<Command> commands;
    std::vector<Notify> notifies;
    std::vector<Message> messages;
};

// The window of a handle, nullptr when there is none (never was, or
// destroyed).
Window* lookup(HWND h);
// Creates a window (not yet sending anything). A child is appended to its
// parent's children. The object, when given, is attached and receives the
// messages; otherwise a toolkit object of the class is made.
Window& createWindow(WndClass cls, HWND parent, int id, DWORD style, const CRect& rect, std::wstring text,
                     CWnd* object);
void destroyWindow(HWND h);
// Called by ~CWnd for a still-attached object.
void objectGone(CWnd* object);
bool attachObject(HWND h, CWnd* object);
HWND detachObject(HWND h);

LRESULT send(HWND h, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
void post(HWND h, UINT message, WPARAM wParam, LPARAM lParam);
// Sends WM_COMMAND (id, code) from a control to its parent.
void notifyParent(Window& ctl, UINT code);
// The class behaviour (DefWindowProc) of a window.
LRESULT classProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam);
// The message being handled by the innermost WindowProc on a window.
struct CurrentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
const CurrentMessage* currentMessage();

bool isTopLevel(const Window& w);
bool isVisible(const Window& w);
// Enabled: this window and every parent enabled.
bool isEnabled(const Window& w);
// Frame and caption widths around the client area.
RECT insets(const Window& w);
// The client area's origin in screen coordinates.
CPoint clientOrigin(const Window& w);
CRect screenRect(const Window& w);
CRect clientRect(const Window& w);
void setRect(Window& w, const CRect& r, bool repaint);
void invalidate(Window& w, const CRect* r, bool erase);
void invalidateTree(Window& w);
// The top-level window a window belongs to.
Window* topLevel(Window& w);

// Shows or hides; returns whether it was visible.
bool showWindow(Window& w, int cmd);
void activate(HWND h, UINT how);
HWND activeWindow();
HWND focusWindow();
void setFocus(HWND h);
void setText(Window& w, std::wstring text, bool notify);

// Control behaviour used by both members and events.
void setCheck(Window& w, int state);
// Checks a radio button and clears the others of its group.
void checkRadioInGroup(Window& w);
// The radio buttons of the group that w belongs to, in order.
std::vector<Window*> radioGroup(Window& w);
int addItem(Window& w, const std::wstring& text, bool sorted);
int findItem(const Window& w, int startAfter, const std::wstring& text, bool exact);
bool isSorted(const Window& w);
// Sends UDN_DELTAPOS and moves as accepted; returns whether the position
// changed.
bool spinPress(Window& w, bool up);
int spinPos(Window& w);
void spinSetPos(Window& w, int pos);
int toolbarHit(Window& w, CPoint p);
CRect toolbarItemRect(const Window& w, int index);
std::wstring toolTipText(Window& toolbar, int index);
// A user's click on a toolbar button (enabled): toggles a check button and
// sends the command to the parent.
void toolbarClick(Window& w, int index);
// A character typed into an edit box; false when refused (printed and
// counted in refusedChars).
bool editChar(Window& w, wchar_t ch);
int& refusedChars();
// The user's selection in a list or combo box: sets it and notifies
// (CBN_SELCHANGE, or LBN_SELCHANGE with LBS_NOTIFY).
void userSelect(Window& w, int index);
// Prints a message box and takes its answer from the event source.
int messageBox(std::wstring_view text, std::wstring_view caption, UINT type);

// A static without SS_NOTIFY and a group box let clicks through to their
// parent.
bool isTransparent(const Window& w);
const wchar_t* className(const Window& w);

// The desktop, the main frame and system state.
struct Desktop {
    CSize screen{1920, 1080};
    CRect workArea{0, 0, 1920, 1040};
    UINT doubleClickTime = 500;
    // The toolkit's clock in milliseconds.
    DWORD clock = 0;
};
Desktop& desktop();
HWND desktopWindow();
HWND mainWindow();
// All windows in creation order.
std::vector<HWND> allWindows();
void destroyAll();
void runPosted();
// Queues a message stamped `delay` ms after the clock.
void postAt(HWND h, UINT message, WPARAM wParam, LPARAM lParam, DWORD delay);
void runPaints();
void clearPosted();

// Prints "** text\n" to the output sink.
void report(std::wstring_view text);
ui::EventSource* source();

// Dialog-unit rule.
CSize baseUnits(int pointSize);

} // namespace ui::detail
