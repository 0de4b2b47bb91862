// The spatial index of a database's model space: where window and crossing
// selections look for candidates instead of walking every entity.
//
// Each model-space entity is kept under the box of its geometric extents in
// a hierarchy of uniform grids (level k has cells of kBaseCell * 2^k; an
// entity sits in one cell, that of its box's centre, on the finest level
// whose cells are at least twice as wide as the box's larger side). Entities without extents, with boxes too
// large or too far out for the grids, and block references to layouts are
// kept aside and offered to every query.
//
// The index is built on the first query and kept current from then on by
// the database's change notifications (the undo journal sees every change
// before it happens, and undo itself): a changed entity is marked and its
// box taken again at the next query, so the work per query is proportional
// to what changed since the last one. An entity still open for write at a
// query stays marked (it may change further before it is closed). A change
// to a block definition marks the model-space references that show it,
// directly or through nested blocks. When the model-space list no longer
// matches what the index knows (contents read or swapped in), the index is
// built again.
//
// Candidates are a superset: callers run their exact tests on them. Erased
// entities are offered too (their erasure is not a geometric change).
#pragma once

#include "host/dbmain.h"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace host {

class SpatialIndex {
public:
    explicit SpatialIndex(AcDbDatabase& db);
    ~SpatialIndex();
    SpatialIndex(const SpatialIndex&) = delete;
    SpatialIndex& operator=(const SpatialIndex&) = delete;

    // Notifications, called before or as the change happens.
    // The object was appended to its owner.
    void noteAdded(AcDbStub* stub);
    // The object may change: opened for write, erased or unerased, or an
    // earlier state swapped back in by undo.
    void noteChanged(AcDbStub* stub);
    // The object's addition was undone (it left its owner's list).
    void noteRemoved(AcDbStub* stub);
    // The database's contents were replaced: everything is forgotten.
    void reset();

    // The model-space entities whose boxes may meet the window (corners in
    // any order, with the selection tests' tolerance), each once, in
    // drawing order. Empty when the drawing has no model space.
    void candidates(const AcDbExtents& window, std::vector<AcDbStub*>& out);

    // Cell size of the finest grid, in drawing units.
    static constexpr double kBaseCell = 0.25;
    static constexpr int kLevels = 64;

private:
    static constexpr std::uint32_t kNone = 0xFFFF'FFFFu;

    enum class Place : std::uint8_t { None, Grid, Aside };

    struct Entry {
        AcDbStub* stub = nullptr;
        // Drawing order: grows along the model-space list.
        std::uint64_t seq = 0;
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        std::int64_t cx = 0, cy = 0;
        // The block a block reference was kept under (see m_byBlock).
        AcDbStub* block = nullptr;
        std::uint32_t prev = kNone, next = kNone;
        // Position in m_aside when set aside.
        std::uint32_t asidePos = kNone;
        std::int8_t level = -1;
        Place place = Place::None;
        bool dirty = false;
    };

    // The cells of one level: cell -> first entry of the cell's list, in
    // one flat table (open addressing, linear probing), so that a query's
    // look-ups touch one cache line each even on the largest drawings.
    class Cells {
    public:
        // The head of the cell's list, or null when the cell is empty.
        std::uint32_t* find(std::int64_t x, std::int64_t y);
        // The head of the cell's list, made (as kNone) when missing.
        std::uint32_t& make(std::int64_t x, std::int64_t y);
        void erase(std::int64_t x, std::int64_t y);
        // Starts loading where the cell would be (a look-up follows).
        void prefetch(std::int64_t x, std::int64_t y) const
        {
            if (m_count != 0)
                __builtin_prefetch(&m_slots[home(x, y)]);
        }
        std::size_t size() const { return m_count; }
        template <class F>
        void forEach(F f) const
        {
            for (const Slot& s : m_slots)
                if (s.used)
                    f(s.x, s.y, s.head);
        }

    private:
        struct Slot {
            std::int64_t x = 0, y = 0;
            std::uint32_t head = kNone;
            bool used = false;
        };
        std::size_t home(std::int64_t x, std::int64_t y) const;
        void grow();
        std::vector<Slot> m_slots;
        std::size_t m_count = 0;
    };

    bool isCurrent(const AcDbBlockTableRecord* ms) const;
    void build(AcDbBlockTableRecord* ms);
    std::uint32_t addEntry(AcDbStub* stub);
    void removeEntry(std::uint32_t idx);
    void markDirty(std::uint32_t idx);
    void noteBlockPart(AcDbStub* stub);
    // Takes the boxes of changed entities again.
    void refresh();
    void propagateBlockChanges();
    void place(std::uint32_t idx);
    void unplace(std::uint32_t idx);
    void collectLevel(int level, double wx0, double wy0, double wx1, double wy1, std::vector<std::uint32_t>& found);

    AcDbDatabase& m_db;
    bool m_built = false;
    AcDbStub* m_ms = nullptr;
    std::uint64_t m_nextSeq = 0;

    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_free;
    std::unordered_map<AcDbStub*, std::uint32_t> m_slot;
    std::vector<std::uint32_t> m_dirty;
    std::vector<std::uint32_t> m_aside;
    // Per level: cell -> first entry of the cell's list.
    std::vector<Cells> m_cells;
    std::vector<std::size_t> m_levelCount;
    // Model-space block references by the block they show (checked when
    // used: an entry may have moved on to another block or gone).
    std::unordered_map<AcDbStub*, std::vector<std::pair<std::uint32_t, AcDbStub*>>> m_byBlock;
    // Parts of block definitions (their entities, or block records) changed
    // since the last query or still open for write at it.
    std::unordered_set<AcDbStub*> m_blockParts;
};

} // namespace host
