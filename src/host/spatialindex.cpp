// The spatial index of model space (see spatialindex.h).
#include "host/spatialindex.h"

#include "host/dbinternal.h"

#include <algorithm>
#include <cmath>

namespace host {

namespace {

// Cell coordinates beyond this are not kept in the grids (the doubles
// would no longer tell neighbouring cells apart).
constexpr double kMaxCell = 4.0e15;

double cellSize(int level)
{
    return std::ldexp(SpatialIndex::kBaseCell, level);
}

// The finest level whose cells are at least size wide; -1 when none is.
int levelFor(double size)
{
    if (!(size > SpatialIndex::kBaseCell))
        return 0;
    int exp = 0;
    std::frexp(size / SpatialIndex::kBaseCell, &exp);
    int k = std::max(0, exp - 1);
    while (k < SpatialIndex::kLevels && cellSize(k) < size)
        ++k;
    return k < SpatialIndex::kLevels ? k : -1;
}

const AcDbBlockTableRecord* asBlockRecord(const AcDbStub* s)
{
    return s && s->object ? dynamic_cast<const AcDbBlockTableRecord*>(s->object.get()) : nullptr;
}

} // namespace

// ---------------------------------------------------------------- cells

std::size_t SpatialIndex::Cells::home(std::int64_t x, std::int64_t y) const
{
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E37'79B9'7F4A'7C15ull;
    h ^= static_cast<std::uint64_t>(y) * 0xC2B2'AE3D'27D4'EB4Full;
    h ^= h >> 31;
    h *= 0x94D0'49BB'1331'11EBull;
    h ^= h >> 29;
    return static_cast<std::size_t>(h) & (m_slots.size() - 1);
}

std::uint32_t* SpatialIndex::Cells::find(std::int64_t x, std::int64_t y)
{
    if (m_count == 0)
        return nullptr;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = home(x, y);; i = (i + 1) & mask) {
        Slot& s = m_slots[i];
        if (!s.used)
            return nullptr;
        if (s.x == x && s.y == y)
            return &s.head;
    }
}

std::uint32_t& SpatialIndex::Cells::make(std::int64_t x, std::int64_t y)
{
    if ((m_count + 1) * 2 > m_slots.size())
        grow();
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = home(x, y);; i = (i + 1) & mask) {
        Slot& s = m_slots[i];
        if (!s.used) {
            s = Slot{x, y, kNone, true};
            ++m_count;
            return s.head;
        }
        if (s.x == x && s.y == y)
            return s.head;
    }
}

void SpatialIndex::Cells::erase(std::int64_t x, std::int64_t y)
{
    if (m_count == 0)
        return;
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = home(x, y);
    while (m_slots[i].used && !(m_slots[i].x == x && m_slots[i].y == y))
        i = (i + 1) & mask;
    if (!m_slots[i].used)
        return;
    // Backward shift: later slots of the run move up when their home
    // allows, so that no search stops early at the hole.
    for (std::size_t j = (i + 1) & mask; m_slots[j].used; j = (j + 1) & mask) {
        const std::size_t h = home(m_slots[j].x, m_slots[j].y);
        const bool movable = i <= j ? (h <= i || h > j) : (h <= i && h > j);
        if (movable) {
            m_slots[i] = m_slots[j];
            i = j;
        }
    }
    m_slots[i] = Slot{};
    --m_count;
}

void SpatialIndex::Cells::grow()
{
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.assign(std::max<std::size_t>(16, old.size() * 2), Slot{});
    m_count = 0;
    for (const Slot& s : old)
        if (s.used)
            make(s.x, s.y) = s.head;
}

SpatialIndex::SpatialIndex(AcDbDatabase& db) : m_db(db) {}

SpatialIndex::~SpatialIndex() = default;

void SpatialIndex::reset()
{
    m_built = false;
    m_ms = nullptr;
    m_entries.clear();
    m_free.clear();
    m_slot.clear();
    m_dirty.clear();
    m_aside.clear();
    m_cells.clear();
    m_levelCount.clear();
    m_byBlock.clear();
    m_blockParts.clear();
}

// ---------------------------------------------------------------- changes

void SpatialIndex::noteAdded(AcDbStub* stub)
{
    if (!m_built || !stub)
        return;
    if (stub->owner == m_ms) {
        if (!m_slot.contains(stub))
            addEntry(stub);
        return;
    }
    noteBlockPart(stub);
}

void SpatialIndex::noteChanged(AcDbStub* stub)
{
    if (!m_built || !stub)
        return;
    if (stub->owner == m_ms) {
        auto it = m_slot.find(stub);
        if (it != m_slot.end())
            markDirty(it->second);
        return;
    }
    noteBlockPart(stub);
}

void SpatialIndex::noteRemoved(AcDbStub* stub)
{
    if (!m_built || !stub)
        return;
    if (stub->owner == m_ms) {
        auto it = m_slot.find(stub);
        if (it != m_slot.end())
            removeEntry(it->second);
        return;
    }
    noteBlockPart(stub);
}

void SpatialIndex::noteBlockPart(AcDbStub* stub)
{
    if (stub == m_ms)
        return;
    // A block record itself (its base point), or an entity of one.
    if (asBlockRecord(stub) || asBlockRecord(stub->owner))
        m_blockParts.insert(stub);
}

// ---------------------------------------------------------------- entries

std::uint32_t SpatialIndex::addEntry(AcDbStub* stub)
{
    std::uint32_t idx;
    if (!m_free.empty()) {
        idx = m_free.back();
        m_free.pop_back();
    } else {
        idx = static_cast<std::uint32_t>(m_entries.size());
        m_entries.emplace_back();
    }
    Entry& e = m_entries[idx];
    e = Entry{};
    e.stub = stub;
    e.seq = m_nextSeq++;
    m_slot[stub] = idx;
    markDirty(idx);
    return idx;
}

void SpatialIndex::removeEntry(std::uint32_t idx)
{
    unplace(idx);
    Entry& e = m_entries[idx];
    m_slot.erase(e.stub);
    e = Entry{};
    m_free.push_back(idx);
}

void SpatialIndex::markDirty(std::uint32_t idx)
{
    Entry& e = m_entries[idx];
    if (!e.dirty) {
        e.dirty = true;
        m_dirty.push_back(idx);
    }
}

void SpatialIndex::unplace(std::uint32_t idx)
{
    Entry& e = m_entries[idx];
    if (e.place == Place::Grid) {
        Cells& cells = m_cells[static_cast<std::size_t>(e.level)];
        if (e.prev != kNone) {
            m_entries[e.prev].next = e.next;
        } else if (e.next != kNone) {
            *cells.find(e.cx, e.cy) = e.next;
        } else {
            cells.erase(e.cx, e.cy);
        }
        if (e.next != kNone)
            m_entries[e.next].prev = e.prev;
        --m_levelCount[static_cast<std::size_t>(e.level)];
    } else if (e.place == Place::Aside) {
        const std::uint32_t last = m_aside.back();
        m_aside[e.asidePos] = last;
        m_entries[last].asidePos = e.asidePos;
        m_aside.pop_back();
    }
    e.place = Place::None;
    e.prev = e.next = e.asidePos = kNone;
    e.level = -1;
}

void SpatialIndex::place(std::uint32_t idx)
{
    unplace(idx);
    Entry& e = m_entries[idx];
    const auto* ent = e.stub->object ? dynamic_cast<const AcDbEntity*>(e.stub->object.get()) : nullptr;

    // Block references are found again when their block changes; those
    // showing a layout follow every change of it and stay aside.
    bool aside = ent == nullptr;
    AcDbStub* block = nullptr;
    if (const auto* ref = dynamic_cast<const AcDbBlockReference*>(ent)) {
        block = AcDbInternals::stub(ref->blockTableRecord());
        const AcDbBlockTableRecord* rec = asBlockRecord(block);
        aside = rec && rec->isLayout();
    }
    if (block != e.block) {
        e.block = block;
        if (block)
            m_byBlock[block].emplace_back(idx, e.stub);
    }

    AcDbExtents ext;
    if (!aside && ent->getGeomExtents(ext) == Acad::eOk && ext.isValid()) {
        e.x0 = ext.minPoint().x;
        e.y0 = ext.minPoint().y;
        e.x1 = ext.maxPoint().x;
        e.y1 = ext.maxPoint().y;
        const bool ordered = e.x0 <= e.x1 && e.y0 <= e.y1; // false for NaN too
        // Cells twice the box's size: fewer cells for a query to look at.
        const int level = ordered ? levelFor(2 * std::max(e.x1 - e.x0, e.y1 - e.y0)) : -1;
        if (level >= 0) {
            const double cs = cellSize(level);
            const double fx = std::floor((e.x0 + e.x1) / 2 / cs);
            const double fy = std::floor((e.y0 + e.y1) / 2 / cs);
            if (std::fabs(fx) < kMaxCell && std::fabs(fy) < kMaxCell) {
                e.level = static_cast<std::int8_t>(level);
                e.cx = static_cast<std::int64_t>(fx);
                e.cy = static_cast<std::int64_t>(fy);
                std::uint32_t& head = m_cells[static_cast<std::size_t>(level)].make(e.cx, e.cy);
                if (head != kNone) {
                    e.next = head;
                    m_entries[head].prev = idx;
                }
                head = idx;
                ++m_levelCount[static_cast<std::size_t>(level)];
                e.place = Place::Grid;
                return;
            }
        }
    }
    // No box, or one the grids cannot hold: offered to every query.
    e.asidePos = static_cast<std::uint32_t>(m_aside.size());
    m_aside.push_back(idx);
    e.place = Place::Aside;
}

// ---------------------------------------------------------------- upkeep

bool SpatialIndex::isCurrent(const AcDbBlockTableRecord* ms) const
{
    if (!m_built || AcDbInternals::stub(*ms) != m_ms)
        return false;
    const AcDbObjectIdArray& ids = ms->entityIds();
    return m_slot.size() == ids.size() && (ids.empty() || m_slot.contains(AcDbInternals::stub(ids.back())));
}

void SpatialIndex::build(AcDbBlockTableRecord* ms)
{
    reset();
    m_built = true;
    m_ms = AcDbInternals::stub(*ms);
    m_cells.assign(kLevels, Cells{});
    m_levelCount.assign(kLevels, 0);
    const AcDbObjectIdArray& ids = ms->entityIds();
    // Room to grow: a drawing being drawn gets many more entities.
    m_entries.reserve(ids.size() + ids.size() / 4);
    m_slot.reserve(2 * ids.size());
    m_dirty.reserve(ids.size());
    for (const AcDbObjectId& id : ids)
        if (!m_slot.contains(AcDbInternals::stub(id)))
            addEntry(AcDbInternals::stub(id));
}

void SpatialIndex::propagateBlockChanges()
{
    // The blocks changed, then those whose definitions hold references to
    // changed blocks, and so on up.
    std::unordered_set<AcDbStub*> affected;
    for (auto it = m_blockParts.begin(); it != m_blockParts.end();) {
        AcDbStub* part = *it;
        affected.insert(asBlockRecord(part) ? part : part->owner);
        const bool open = part->object && part->object->isWriteEnabled();
        it = open ? std::next(it) : m_blockParts.erase(it);
    }
    if (const AcDbSymbolTable* table = m_db.table("BLOCK_RECORD")) {
        for (bool grew = true; grew;) {
            grew = false;
            for (const AcDbObjectId& rid : table->recordIds()) {
                const AcDbBlockTableRecord* rec = asBlockRecord(AcDbInternals::stub(rid));
                if (!rec || !AcDbInternals::stub(rid)->inDatabase || rec->isLayout() || affected.contains(AcDbInternals::stub(rid)))
                    continue;
                for (const AcDbObjectId& id : rec->entityIds()) {
                    const auto* ref = dynamic_cast<const AcDbBlockReference*>(AcDbInternals::stub(id)->object.get());
                    if (ref && affected.contains(AcDbInternals::stub(ref->blockTableRecord()))) {
                        affected.insert(AcDbInternals::stub(rid));
                        grew = true;
                        break;
                    }
                }
            }
        }
    }
    for (AcDbStub* block : affected) {
        auto it = m_byBlock.find(block);
        if (it == m_byBlock.end())
            continue;
        auto& refs = it->second;
        // Entries that moved on to another block or went are dropped here.
        std::erase_if(refs, [&](const std::pair<std::uint32_t, AcDbStub*>& r) {
            const Entry& e = m_entries[r.first];
            return e.stub != r.second || e.block != block;
        });
        for (const auto& r : refs)
            markDirty(r.first);
        if (refs.empty())
            m_byBlock.erase(it);
    }
}

void SpatialIndex::refresh()
{
    if (!m_blockParts.empty())
        propagateBlockChanges();
    std::vector<std::uint32_t> dirty;
    dirty.swap(m_dirty);
    for (std::uint32_t idx : dirty) {
        Entry& e = m_entries[idx];
        if (!e.stub || !e.dirty)
            continue;
        e.dirty = false;
        place(idx);
        // Open for write: it may change again before it is closed.
        if (e.stub->object && e.stub->object->isWriteEnabled())
            markDirty(idx);
    }
    if (m_dirty.capacity() > 4096 && m_dirty.size() < m_dirty.capacity() / 8)
        m_dirty.shrink_to_fit();
}

// ---------------------------------------------------------------- queries

void SpatialIndex::collectLevel(int level, double wx0, double wy0, double wx1, double wy1,
                                std::vector<std::uint32_t>& found)
{
    Cells& cells = m_cells[static_cast<std::size_t>(level)];
    const double cs = cellSize(level);
    // An entity of this level reaches at most a quarter cell from its box's
    // centre: the cells of centres within a quarter cell of the window, and
    // a sixteenth more for the rounding of centres (the window's tolerance
    // covers the rounding of far-out coordinates).
    const double reach = cs * (1.0 / 4 + 1.0 / 16);
    const double fx0 = std::floor((wx0 - reach) / cs), fx1 = std::floor((wx1 + reach) / cs);
    const double fy0 = std::floor((wy0 - reach) / cs), fy1 = std::floor((wy1 + reach) / cs);
    auto takeCell = [&](std::uint32_t head) {
        for (std::uint32_t i = head; i != kNone; i = m_entries[i].next) {
            const Entry& e = m_entries[i];
            if (e.x0 <= wx1 && e.x1 >= wx0 && e.y0 <= wy1 && e.y1 >= wy0)
                found.push_back(i);
        }
    };
    const double span = (fx1 - fx0 + 1) * (fy1 - fy0 + 1);
    const bool near = std::fabs(fx0) < kMaxCell && std::fabs(fx1) < kMaxCell && std::fabs(fy0) < kMaxCell
                   && std::fabs(fy1) < kMaxCell;
    if (!near || !(span <= static_cast<double>(cells.size()))) {
        // A window wider than what the level holds: every cell of it.
        cells.forEach([&](std::int64_t x, std::int64_t y, std::uint32_t head) {
            const double dx = static_cast<double>(x), dy = static_cast<double>(y);
            if (dx >= fx0 && dx <= fx1 && dy >= fy0 && dy <= fy1)
                takeCell(head);
        });
        return;
    }
    const auto ix0 = static_cast<std::int64_t>(fx0), ix1 = static_cast<std::int64_t>(fx1);
    const auto iy0 = static_cast<std::int64_t>(fy0), iy1 = static_cast<std::int64_t>(fy1);
    for (std::int64_t y = iy0; y <= iy1; ++y)
        for (std::int64_t x = ix0; x <= ix1; ++x)
            cells.prefetch(x, y);
    for (std::int64_t y = iy0; y <= iy1; ++y)
        for (std::int64_t x = ix0; x <= ix1; ++x) {
            if (const std::uint32_t* head = cells.find(x, y))
                takeCell(*head);
        }
}

void SpatialIndex::candidates(const AcDbExtents& window, std::vector<AcDbStub*>& out)
{
    out.clear();
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(m_db);
    if (!ms)
        return;
    if (!isCurrent(ms))
        build(ms);
    refresh();

    double wx0 = std::min(window.minPoint().x, window.maxPoint().x);
    double wx1 = std::max(window.minPoint().x, window.maxPoint().x);
    double wy0 = std::min(window.minPoint().y, window.maxPoint().y);
    double wy1 = std::max(window.minPoint().y, window.maxPoint().y);
    // Wider than the selection tests' tolerance, so that no box they would
    // take is missed.
    const double tol = 1e-6 * std::max({1.0, std::fabs(wx0), std::fabs(wx1), std::fabs(wy0), std::fabs(wy1)});
    wx0 -= tol;
    wy0 -= tol;
    wx1 += tol;
    wy1 += tol;

    std::vector<std::uint32_t> found(m_aside.begin(), m_aside.end());
    if (std::isfinite(wx0) && std::isfinite(wx1) && std::isfinite(wy0) && std::isfinite(wy1)) {
        for (int level = 0; level < kLevels; ++level)
            if (m_levelCount[static_cast<std::size_t>(level)] > 0)
                collectLevel(level, wx0, wy0, wx1, wy1, found);
    } else {
        // A window without bounds takes every box.
        for (int level = 0; level < kLevels; ++level)
            m_cells[static_cast<std::size_t>(level)].forEach([&](std::int64_t, std::int64_t, std::uint32_t head) {
                for (std::uint32_t i = head; i != kNone; i = m_entries[i].next)
                    found.push_back(i);
            });
    }
    std::sort(found.begin(), found.end(),
              [&](std::uint32_t a, std::uint32_t b) { return m_entries[a].seq < m_entries[b].seq; });
    out.reserve(found.size());
    for (std::uint32_t i : found) {
        out.push_back(m_entries[i].stub);
        __builtin_prefetch(m_entries[i].stub);
    }
    // The caller looks at every candidate's object next: on a large drawing
    // these are cache misses, which are better taken together than in turn.
    for (AcDbStub* stub : out)
        __builtin_prefetch(stub->object.get());
}

} // namespace host
