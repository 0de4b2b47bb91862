#include "host/dbundo.h"
#include "host/dbinternal.h"
#include "host/spatialindex.h"

#include <algorithm>
#include <cassert>
#include <utility>

void AcDbUndoJournal::seal()
{
    m_backOpen = false;
    if (!m_groups.empty() && m_groups.back().records.empty())
        m_groups.pop_back();
}

void AcDbUndoJournal::beginGroup()
{
    if (m_depth++ == 0 && !m_explicit)
        seal();
    assert(invariantsHold());
}

void AcDbUndoJournal::endGroup()
{
    // A U inside the group ended every open group already: nothing to end,
    // and the depth never goes below zero.
    if (m_depth == 0)
        return;
    if (--m_depth == 0 && !m_explicit)
        seal();
    assert(invariantsHold());
}

void AcDbUndoJournal::beginExplicit()
{
    seal();
    m_explicit = true;
    assert(invariantsHold());
}

void AcDbUndoJournal::endExplicit()
{
    if (!m_explicit)
        return;
    seal();
    m_explicit = false;
    assert(invariantsHold());
}

void AcDbUndoJournal::clear()
{
    m_groups.clear();
    if (m_depth > 0)
        ++m_resets;
    m_depth = 0;
    m_explicit = false;
    m_backOpen = false;
    assert(invariantsHold());
}

AcDbUndoJournal::Group& AcDbUndoJournal::current()
{
    if (!m_backOpen) {
        m_groups.emplace_back();
        m_backOpen = m_depth > 0 || m_explicit;
    }
    return m_groups.back();
}

AcDbUndoJournal::Mark AcDbUndoJournal::mark()
{
    if (!m_groups.empty())
        m_groups.back().snapshots.clear();
    Mark m;
    m.groups = m_groups.size();
    m.records = m_groups.empty() ? 0 : m_groups.back().records.size();
    m.state = m_state;
    return m;
}

void AcDbUndoJournal::rollback(const Mark& m)
{
    const bool was = m_recording;
    m_recording = false;
    while (m_groups.size() > m.groups) {
        Group& g = m_groups.back();
        for (auto it = g.records.rbegin(); it != g.records.rend(); ++it)
            reverse(*it);
        m_groups.pop_back();
        m_backOpen = false;
    }
    if (m.groups > 0 && m.groups == m_groups.size()) {
        Group& g = m_groups.back();
        while (g.records.size() > m.records) {
            Record& r = g.records.back();
            reverse(r);
            if (r.kind == Record::Modified)
                g.snapshots.erase(r.stub);
            g.records.pop_back();
        }
    }
    m_recording = was;
    m_state = m.state;
    assert(invariantsHold());
}

// Every change of the database passes the recorders below (recording or
// not), and undo passes reverse(): the spatial index and the database's
// reactors hear of each there.

namespace {

template <class F>
void notify(const AcDbDatabase& db, F&& f)
{
    for (AcDbDatabaseReactor* r : db.reactorsForHost())
        f(*r);
}

} // namespace

void AcDbUndoJournal::recordAdded(AcDbStub* stub)
{
    AcDbInternals::spatialIndex(m_db).noteAdded(stub);
    if (stub && stub->object)
        notify(m_db, [&](AcDbDatabaseReactor& r) { r.objectAppended(&m_db, stub->object.get()); });
    if (!m_recording)
        return;
    changed();
    Record r;
    r.kind = Record::Added;
    r.stub = stub;
    current().records.push_back(std::move(r));
}

void AcDbUndoJournal::recordErased(AcDbStub* stub, bool wasErased)
{
    AcDbInternals::spatialIndex(m_db).noteChanged(stub);
    // Called as the flag turns: the new state is the old one's opposite.
    if (stub && stub->object)
        notify(m_db, [&](AcDbDatabaseReactor& r) { r.objectErased(&m_db, stub->object.get(), !wasErased); });
    if (!m_recording)
        return;
    changed();
    Record r;
    r.kind = Record::Erased;
    r.stub = stub;
    r.wasErased = wasErased;
    current().records.push_back(std::move(r));
}

void AcDbUndoJournal::recordModified(AcDbStub* stub)
{
    AcDbInternals::spatialIndex(m_db).noteChanged(stub);
    if (stub && stub->object)
        notify(m_db, [&](AcDbDatabaseReactor& r) { r.objectModified(&m_db, stub->object.get()); });
    if (!m_recording || !stub || !stub->object)
        return;
    changed();
    // Within one group the first state is the one to restore.
    if (m_backOpen && !m_groups.back().snapshots.insert(stub).second)
        return;
    Record r;
    r.kind = Record::Modified;
    r.stub = stub;
    r.before = stub->object->cloneObject();
    Group& g = current();
    g.snapshots.insert(stub);
    g.records.push_back(std::move(r));
    assert(invariantsHold());
}

void AcDbUndoJournal::recordHeader(const std::string& name, const AcDbHeaderVar* old)
{
    if (!m_recording)
        return;
    changed();
    Record r;
    r.kind = Record::Header;
    r.name = name;
    if (old)
        r.header = *old;
    current().records.push_back(std::move(r));
}

static void removeFromContainer(AcDbStub* stub)
{
    AcDbObject* obj = stub->object.get();
    AcDbStub* owner = stub->owner;
    if (owner && owner->object) {
        if (auto* rec = dynamic_cast<AcDbBlockTableRecord*>(owner->object.get())) {
            auto& ids = rec->entityIdsForHost();
            auto it = std::find(ids.rbegin(), ids.rend(), AcDbObjectId(stub));
            if (it != ids.rend())
                ids.erase(std::next(it).base());
            return;
        }
        if (auto* table = dynamic_cast<AcDbSymbolTable*>(owner->object.get())) {
            auto* rec = static_cast<AcDbSymbolTableRecord*>(obj);
            table->removeRecordId(AcDbObjectId(stub), rec->name());
            return;
        }
    }
    auto& objs = stub->db->objectIdsForHost();
    auto it = std::find(objs.rbegin(), objs.rend(), AcDbObjectId(stub));
    if (it != objs.rend())
        objs.erase(std::next(it).base());
}

void AcDbUndoJournal::reverse(Record& r)
{
    switch (r.kind) {
    case Record::Added:
        AcDbInternals::spatialIndex(m_db).noteRemoved(r.stub);
        removeFromContainer(r.stub);
        r.stub->inDatabase = false;
        notify(m_db, [&](AcDbDatabaseReactor& x) { x.objectUnAppended(&m_db, r.stub->object.get()); });
        break;
    case Record::Erased:
        AcDbInternals::spatialIndex(m_db).noteChanged(r.stub);
        AcDbInternals::setErasedFlag(*r.stub->object, r.wasErased);
        notify(m_db, [&](AcDbDatabaseReactor& x) { x.objectErased(&m_db, r.stub->object.get(), r.wasErased); });
        break;
    case Record::Modified: {
        AcDbInternals::spatialIndex(m_db).noteChanged(r.stub);
        AcDbObject* obj = r.stub->object.get();
        auto* rec = dynamic_cast<AcDbSymbolTableRecord*>(obj);
        const std::string oldName = rec ? rec->name() : std::string();
        obj->swapData(*r.before);
        notify(m_db, [&](AcDbDatabaseReactor& x) { x.objectModified(&m_db, obj); });
        if (rec && rec->name() != oldName && r.stub->owner)
            if (auto* table = dynamic_cast<AcDbSymbolTable*>(r.stub->owner->object.get()))
                table->renameRecord(AcDbObjectId(r.stub), oldName, rec->name());
        break;
    }
    case Record::Header:
        if (r.header)
            m_db.setHeaderTags(r.name, r.header->tags);
        else
            m_db.setHeaderTags(r.name, {});
        break;
    }
}

bool AcDbUndoJournal::undoGroup()
{
    if (m_depth > 0)
        ++m_resets;
    m_depth = 0;
    m_explicit = false;
    m_backOpen = false;
    while (!m_groups.empty() && m_groups.back().records.empty())
        m_groups.pop_back();
    if (m_groups.empty())
        return false;
    Group g = std::move(m_groups.back());
    m_groups.pop_back();
    const bool was = m_recording;
    m_recording = false;
    for (auto it = g.records.rbegin(); it != g.records.rend(); ++it)
        reverse(*it);
    m_recording = was;
    changed();
    assert(invariantsHold() && !isGroupOpen());
    return true;
}

AcDbUndoGroupScope::AcDbUndoGroupScope(AcDbUndoJournal& journal) : m_journal(&journal)
{
    journal.beginGroup();
    m_depth = journal.m_depth;
    m_resets = journal.m_resets;
}

AcDbUndoGroupScope::AcDbUndoGroupScope(AcDbUndoGroupScope&& other) noexcept
    : m_journal(std::exchange(other.m_journal, nullptr)), m_depth(other.m_depth), m_resets(other.m_resets)
{
}

void AcDbUndoGroupScope::end()
{
    AcDbUndoJournal* journal = std::exchange(m_journal, nullptr);
    if (!journal || journal->m_resets != m_resets)
        return;
    // Groups opened inside this one have ended; none of this one's has.
    assert(journal->m_depth == m_depth);
    journal->endGroup();
}
