// Scopes of the module's commands: system variables kept and put back, and
// an undo group (UNDO BEGIN/END). A command holds them as objects, so that
// every way out of it (a return, Esc, an exception) puts the user's
// settings back and leaves no undo group open. The module reaches the host
// only through its API (acedGetVar, acedSetVar, acedCommand).
#pragma once

#include "host/adsdefs.h"

#include <initializer_list>
#include <string>
#include <vector>

// Sets a system variable that holds a short (OSMODE, CMDECHO, ERRNO); the
// host's status.
int SetAcadSysVar(const ACHAR* name, short value);

// Keeps system variables as they are when created; when destroyed (or by
// restore()) puts back those that changed meanwhile, in the order named.
// Variables that hold their value already are not written, so that putting
// back changes nothing, not even the drawing's undo history; a variable
// that could not be read when the scope began is left alone. Scopes nest:
// each puts back what it found. Movable (a function may set variables up
// and hand the scope to its caller); example: `const CAcadSysVarScope
// osmode{L"OSMODE"}; SetAcadSysVar(L"OSMODE", 0);`.
class CAcadSysVarScope {
public:
    // The variables a drawing command changes: CMDECHO, PLINETYPE,
    // BLIPMODE, OSMODE, CLAYER, CECOLOR and CELTYPE.
    CAcadSysVarScope();
    CAcadSysVarScope(std::initializer_list<const ACHAR*> names);
    ~CAcadSysVarScope() { restore(); }
    CAcadSysVarScope(CAcadSysVarScope&& other) noexcept;
    CAcadSysVarScope& operator=(CAcadSysVarScope&&) = delete;
    CAcadSysVarScope(const CAcadSysVarScope&) = delete;
    CAcadSysVarScope& operator=(const CAcadSysVarScope&) = delete;

    // Puts the variables back now; the scope then keeps nothing.
    void restore();

private:
    struct Kept {
        std::wstring name;
        resbuf value{}; // a string's text is in text, not in value
        std::wstring text;
    };
    std::vector<Kept> m_kept;
};

// One undo group of the drawing (UNDO BEGIN when created, UNDO END once,
// when destroyed or by end()): one U then takes back everything drawn
// while it was open. The host's UNDO BEGIN does not nest (a second one ends
// the group), so at most one such scope is open at a time (asserted); it
// may be open inside the host's group of a command or LISP call. Movable.
class CAcadUndoScope {
public:
    CAcadUndoScope();
    ~CAcadUndoScope() { end(); }
    CAcadUndoScope(CAcadUndoScope&& other) noexcept;
    CAcadUndoScope& operator=(CAcadUndoScope&&) = delete;
    CAcadUndoScope(const CAcadUndoScope&) = delete;
    CAcadUndoScope& operator=(const CAcadUndoScope&) = delete;

    // Ends the group now; later calls and the destructor do nothing.
    void end();
    bool isOpen() const { return m_open; }

private:
    bool m_open = true;
};
