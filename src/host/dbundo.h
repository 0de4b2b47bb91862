// The undo journal of a database: every change records what reverses it;
// groups (UNDO BEGIN/END, one command) are reversed as a whole.
//
// Reversal swaps earlier states back into the same objects, so ids stay
// valid. A change made while no group is open forms a group of its own.
// The cost of recording and reversing is proportional to what changed.
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
    // groups count as one: only the outermost pair delimits.
    void beginGroup();
    void endGroup();
    // UNDO BEGIN and END: a group of its own, also inside a command or LISP
    // call (what that call changed before BEGIN and after END forms groups
    // of its own). A second BEGIN ends the group and starts a new one; END
    // without BEGIN does nothing.
    void beginExplicit();
    void endExplicit();
    bool isGroupOpen() const { return m_depth > 0 || m_explicit; }
    // Reverses the last group (ending an open one first); false when there
    // is nothing to undo.
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

    AcDbDatabase& m_db;
    std::vector<Group> m_groups;
    int m_depth = 0;
    bool m_explicit = false;
    // True while the last group takes further records.
    bool m_backOpen = false;
    bool m_recording = true;
    std::uint64_t m_state = 0;
    std::uint64_t m_lastState = 0;
};
