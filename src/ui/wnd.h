// CWnd: a C++ object attached to a toolkit window, the members every window
// has, message sending and the handlers a derived class overrides; the
// message boxes (AfxMessageBox, CWnd::MessageBox) and the host's main
// window (AfxGetMainWnd).
//
// Windows and objects. A window (named by an HWND) is toolkit state: its
// class, id, style, text, rectangle, parent and children. A CWnd object is
// attached to at most one window (m_hWnd) and receives its messages. Every
// window has an object: the one that created or subclassed it, or else one
// the toolkit makes (a CButton for a button, ...), which GetDlgItem and
// FromHandle return. When a window is destroyed every object attached to it
// gets m_hWnd = nullptr. When an object that created a window, or a dialog
// object, is destroyed first, its window is destroyed with it (its handlers
// no longer run); a subclassing object destroyed first hands its window
// back to the toolkit's object.
//
// Messages. SendMessage calls WindowProc, which calls the handler of the
// message: the virtual On... functions below, the handler tables (MapCommand,
// MapControl, MapNotify, MapMessage), or else DefWindowProc, the behaviour
// of the window's class. A handler calls Default() (the base class
// version does) to get the class behaviour for the message it handles.
// Handlers may destroy their own window; code that sends messages checks
// IsWindow afterwards.
//
// Coordinates. A top-level window's rectangle is in screen pixels, a
// child's in its parent's client coordinates; GetWindowRect always gives
// screen coordinates, GetClientRect starts at (0, 0).
#pragma once

#include "ui/cstring.h"
#include "ui/geometry.h"
#include "ui/wintypes.h"

#include <functional>
#include <memory>

class CWnd;

// WinHelp commands.
inline constexpr UINT HELP_CONTEXT = 0x0001;
inline constexpr UINT HELP_QUIT = 0x0002;
inline constexpr UINT HELP_CONTENTS = 0x0003;

namespace ui::detail {
struct WndAccess;
struct HandlerTable;
} // namespace ui::detail

class CWnd {
public:
    HWND m_hWnd = nullptr;

    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    // The object that receives the window's messages; nullptr for an
    // invalid handle.
    static CWnd* FromHandle(HWND hWnd);
    // The desktop window: the whole screen.
    static CWnd* GetDesktopWindow();
    // The active top-level window (a dialog, or the main window).
    static CWnd* GetActiveWindow();
    static CWnd* GetFocus();

    // Makes this object the receiver of an existing window's messages.
    // Fails when this object already has a window.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    // Hands the window back to the toolkit's object; returns it.
    HWND UnsubclassWindow();

    // Destroys the window and its children: WM_DESTROY to the window and
    // then to each child, WM_NCDESTROY to the children and then the window
    // (which detaches the object and calls PostNcDestroy, where an object
    // may delete itself).
    virtual BOOL DestroyWindow();

    CWnd* GetParent() const;
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT nFlags = 0);

    // Returns whether the window was disabled before.
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    // Returns whether the window was visible before. Showing a hidden
    // top-level window activates it unless nCmdShow is SW_SHOWNA or
    // SW_SHOWNOACTIVATE; hiding the active one activates its owner.
    BOOL ShowWindow(int nCmdShow);
    // Visible: this window and all its parents have WS_VISIBLE.
    BOOL IsWindowVisible() const;

    // A single-line edit sends EN_CHANGE to its parent when its text is set.
    void SetWindowText(LPCTSTR text);
    int GetWindowText(LPTSTR buffer, int maxCount) const;
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const;

    void GetWindowRect(LPRECT rect) const;
    void GetClientRect(LPRECT rect) const;
    // x, y in the parent's client coordinates (screen for top-level).
    void MoveWindow(int x, int y, int width, int height, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL bRepaint = TRUE);
    // The insert-after window is accepted and ignored (no z-order).
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    // Centres on the owner (or the given window), kept inside the work area.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    void ClientToScreen(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const;
    void ScreenToClient(LPRECT rect) const;

    // Returns the window that had the focus.
    CWnd* SetFocus();
    // Activates this top-level window (WM_ACTIVATE to the old and the new).
    CWnd* SetActiveWindow();

    // Painting: the invalid area is painted (WM_PAINT) when the toolkit is
    // next idle (ui::idle, after each event) or at UpdateWindow.
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT rect, BOOL bErase = TRUE);
    void ValidateRect(LPCRECT rect);
    void UpdateWindow();
    // The invalid area in client coordinates (empty when none).
    BOOL GetUpdateRect(LPRECT rect, BOOL bErase = FALSE);

    // Dialog item helpers.
    void SetDlgItemText(int nID, LPCTSTR text);
    int GetDlgItemText(int nID, CString& text) const;
    void SetDlgItemInt(int nID, UINT value, BOOL bSigned = TRUE);
    // Text read as a decimal integer; *ok (when given) says whether it was
    // one.
    UINT GetDlgItemInt(int nID, BOOL* ok = nullptr, BOOL bSigned = TRUE) const;
    void CheckDlgButton(int nID, UINT nCheck);
    UINT IsDlgButtonChecked(int nID) const;
    // Checks nIDCheck and clears the other buttons from nIDFirst to
    // nIDLast (by id value, as Windows does).
    void CheckRadioButton(int nIDFirst, int nIDLast, int nIDCheck);
    // The first checked button with an id from nIDFirst to nIDLast, 0 when
    // none.
    int GetCheckedRadioButton(int nIDFirst, int nIDLast);
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Prints the box and takes the answer from the events (see
    // AfxMessageBox). A null caption is the application name.
    int MessageBox(LPCTSTR text, LPCTSTR caption = nullptr, UINT nType = MB_OK);

    // Help. There is no help viewer: prints what would be opened, one line
    // `help "FILE" context N` for HELP_CONTEXT (`help "FILE" command C data
    // D` for other commands), and returns TRUE.
    BOOL WinHelp(LPCTSTR file, UINT command = HELP_CONTEXT, DWORD_PTR data = 0);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queued; delivered when the toolkit is next idle (before painting).
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window class's own behaviour for a message.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Handler tables, filled by a derived class's constructor; the first
    // matching entry of a table wins. A MapMessage entry takes its message
    // before anything else; WM_COMMAND and WM_NOTIFY reach the command and
    // notify tables through OnCommand and OnNotify.
    // WM_COMMAND with code 0 (BN_CLICKED, STN_CLICKED, menu commands).
    void MapCommand(UINT id, std::function<void()> fn);
    // WM_COMMAND with ids from first to last and code 0; fn gets the id.
    void MapCommandRange(UINT first, UINT last, std::function<void(UINT)> fn);
    // WM_COMMAND with a notification code (CBN_SELCHANGE, EN_CHANGE, ...).
    void MapControl(UINT code, UINT id, std::function<void()> fn);
    // WM_NOTIFY from control id with the code (UDN_DELTAPOS, ...). *pResult
    // is the notification's result, 0 unless the handler sets it.
    void MapNotify(UINT code, UINT id, std::function<void(NMHDR*, LRESULT*)> fn);
    // WM_NOTIFY with the code from any id from first to last (tooltip text
    // requests come with the button's command id).
    void MapNotifyRange(UINT code, UINT first, UINT last, std::function<void(NMHDR*, LRESULT*)> fn);
    // Any other message (WM_USER + n, ...).
    void MapMessage(UINT message, std::function<LRESULT(WPARAM, LPARAM)> fn);
    // Member-function forms: MapCommand(IDC_X, &CMyDlg::OnX).
    template <class T>
    void MapCommand(UINT id, void (T::*fn)())
    {
        T* self = static_cast<T*>(this);
        MapCommand(id, std::function<void()>([self, fn] { (self->*fn)(); }));
    }
    template <class T>
    void MapControl(UINT code, UINT id, void (T::*fn)())
    {
        T* self = static_cast<T*>(this);
        MapControl(code, id, std::function<void()>([self, fn] { (self->*fn)(); }));
    }
    template <class T>
    void MapCommandRange(UINT first, UINT last, void (T::*fn)(UINT))
    {
        T* self = static_cast<T*>(this);
        MapCommandRange(first, last, std::function<void(UINT)>([self, fn](UINT id) { (self->*fn)(id); }));
    }
    template <class T>
    void MapNotify(UINT code, UINT id, void (T::*fn)(NMHDR*, LRESULT*))
    {
        T* self = static_cast<T*>(this);
        MapNotify(code, id, std::function<void(NMHDR*, LRESULT*)>([self, fn](NMHDR* n, LRESULT* r) { (self->*fn)(n, r); }));
    }

protected:
    // Runs the window class's behaviour for the message being handled.
    LRESULT Default();

    // WM_COMMAND: the command table, then (for dialogs) IDOK and IDCANCEL.
    // Returns whether it was handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY: the notify table.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Mouse handlers get client coordinates and the MK_ key state.
    virtual void OnLButtonDown(UINT nFlags, CPoint point);
    virtual void OnLButtonUp(UINT nFlags, CPoint point);
    virtual void OnLButtonDblClk(UINT nFlags, CPoint point);
    virtual void OnRButtonDown(UINT nFlags, CPoint point);
    virtual void OnRButtonUp(UINT nFlags, CPoint point);
    // A typed character (edit boxes filter and insert it by default).
    virtual void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    // Paint with a CPaintDC; the default validates the window.
    virtual void OnPaint();
    // nState is WA_INACTIVE, WA_ACTIVE or WA_CLICKACTIVE; pWndOther is the
    // window losing or gaining activation (may be nullptr).
    virtual void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    // The close box. The default for a dialog sends IDCANCEL.
    virtual void OnClose();
    virtual void OnDestroy();
    // After the window is gone and the object detached; the last call an
    // object gets from its window.
    virtual void PostNcDestroy();
    // WM_ACAD_KEEPFOCUS: non-zero keeps the focus. The default is 0.
    virtual LRESULT OnAcadKeepFocus(WPARAM wParam, LPARAM lParam);

private:
    friend struct ui::detail::WndAccess;
    std::unique_ptr<ui::detail::HandlerTable> m_handlers;
};

// Message box: prints the caption, text and buttons to the output sink,
// then takes the answer from the event source ("@msgbox ok|cancel|yes|no|
// retry|abort|ignore"). Other events read meanwhile are reported and
// skipped. At end of input the answer is the cancel-like one: IDOK for
// MB_OK, IDNO for MB_YESNO, IDABORT for MB_ABORTRETRYIGNORE, else IDCANCEL.
// The caption of AfxMessageBox is the application name (ui::setAppName).
int AfxMessageBox(LPCTSTR text, UINT nType = MB_OK, UINT nIDHelp = 0);
// The host's main window: a frame covering the work area. Dialogs without
// a parent belong to it.
CWnd* AfxGetMainWnd();

// The wait cursor, as state only (there is no pointer to change): shown
// while at least one CWaitCursor lives or a BeginWaitCursor has no
// EndWaitCursor yet.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    // Shows it again after something changed the cursor; state is kept.
    void Restore() {}
};
void BeginWaitCursor();
// Ends one BeginWaitCursor; more ends than begins are ignored.
void EndWaitCursor();
namespace ui {
// How many wait cursors are in force (0: the normal cursor).
int waitCursorCount();
} // namespace ui
