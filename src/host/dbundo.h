// The undo journal of a database: every change records what reverses it;
// groups (UNDO BEGIN/END, one command) are reversed as a whole.
//
// Reversal swaps earlier states back into the same objects, so ids stay
// valid. A change made while no group is open forms a group of its own.
// The cost of recording and reversing is proportional to what changed.
// Code that opens a group for a while holds an AcDbUndoGroupScope (below),
// so that every way out of it, an exception included, ends the group.
#pragma once

#include "host/dbmain.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class AcDbUndoJournal {
public:
    explicit AcDbUndoJournal(AcDbDatabase& db) : m_db(db) {}

    // Groups the host opens around each command and LISP call. Nested
    // groups count as one: only the outermost pair delimits. Prefer
    // AcDbUndoGroupScope to calling these in pairs.
    void beginGroup();
    void endGroup();
    // How many beginGroup calls are not ended yet (0 when no command or
    // LISP call holds a group; UNDO BEGIN is not counted).
    int depth() const { return m_depth; }
    // UNDO BEGIN and END: a group of its own, also inside a command or LISP
    // call (what that call changed before BEGIN and after END forms groups
    // of its own). A second BEGIN ends the group and starts a new one; END
    // without BEGIN does nothing.
    void beginExplicit();
    void endExplicit();
    bool isGroupOpen() const { return m_depth > 0 || m_explicit; }
    // Reverses the last group (ending every open one first, nested ones
    // included); false when there is nothing to undo.
    bool undoGroup();

    // A position in the journal; rollback reverses and forgets everything
    // recorded after it (a command that failed half-way).
    struct Mark {
        std::size_t groups = 0;
        std::size_t records = 0;
        std::uint64_t state = 0;
    };
    // Taking a mark makes later changes record their state anew.
    Mark mark();
    void rollback(const Mark& m);
    int groupCount() const { return static_cast<int>(m_groups.size()); }
    void clear();
    // Which state of its contents the drawing is in: every recorded change
    // and every undo moves to a new state, never taken before; a rollback
    // goes back to the state of its mark. Equal states are equal contents
    // (the drawing counts as saved while the state is the saved one).
    std::uint64_t state() const { return m_state; }

    // Off while a file loads: nothing is recorded.
    void setRecording(bool on) { m_recording = on; }
    bool isRecording() const { return m_recording; }

    // Recorders, called by the database and its objects.
    void recordAdded(AcDbStub* stub);
    void recordErased(AcDbStub* stub, bool wasErased);
    // Before the object changes (opened for write).
    void recordModified(AcDbStub* stub);
    void recordHeader(const std::string& name, const AcDbHeaderVar* old);

private:
    friend class AcDbUndoGroupScope;

    struct Record {
        enum Kind { Added, Erased, Modified, Header } kind = Added;
        AcDbStub* stub = nullptr;
        bool wasErased = false;
        std::unique_ptr<AcDbObject> before;
        std::string name;
        std::optional<AcDbHeaderVar> header;
    };
    struct Group {
        std::vector<Record> records;
        std::unordered_set<AcDbStub*> snapshots;
    };
    Group& current();
    // Later records go to a new group.
    void seal();
    void reverse(Record& r);
    void changed() { m_state = ++m_lastState; }
    // The journal's own invariants, asserted after every operation: the
    // depth never below zero, the last group taking records only while a
    // group is open and only when there is one, the state one already
    // handed out.
    bool invariantsHold() const
    {
        return m_depth >= 0 && (!m_backOpen || (!m_groups.empty() && isGroupOpen())) && m_state <= m_lastState;
    }

    AcDbDatabase& m_db;
    std::vector<Group> m_groups;
    int m_depth = 0;
    // Raised whenever undo or clear ends every open group at once: a scope
    // that began its group before then has nothing left to end.
    unsigned m_resets = 0;
    bool m_explicit = false;
    // True while the last group takes further records.
    bool m_backOpen = false;
    bool m_recording = true;
    std::uint64_t m_state = 0;
    std::uint64_t m_lastState = 0;
};

// A group of the journal open for the scope's life (a command, a LISP
// call): begun when created, ended exactly once, when destroyed or by
// end(), whichever way the scope is left. Scopes nest as groups do and
// must end in reverse order (asserted: each ends at the depth it began
// at). A U inside the scope already ends every open group; the scope then
// ends nothing. Movable, so an open group can be handed on; the journal
// must outlive the scope.
class AcDbUndoGroupScope {
public:
    explicit AcDbUndoGroupScope(AcDbUndoJournal& journal);
    ~AcDbUndoGroupScope() { end(); }
    AcDbUndoGroupScope(AcDbUndoGroupScope&& other) noexcept;
    // No assignment: a scope assigned a new one would end its group after
    // the new one began, out of order (use std::optional and emplace).
    AcDbUndoGroupScope& operator=(AcDbUndoGroupScope&&) = delete;
    AcDbUndoGroupScope(const AcDbUndoGroupScope&) = delete;
    AcDbUndoGroupScope& operator=(const AcDbUndoGroupScope&) = delete;

    // Ends the group now; later calls and the destructor do nothing.
    void end();
    // Forgets the group without ending it, for a journal that went away
    // while the scope was open (its drawing closed); then as end().
    void abandon() { m_journal = nullptr; }
    bool isOpen() const { return m_journal != nullptr; }

private:
    AcDbUndoJournal* m_journal;
    // The journal's depth with this group open, and its reset count then.
    int m_depth;
    unsigned m_resets;
};
