// Changes are logged as ids by version; what they mean for the picture is
// decided when a page asks, from the objects as they are then.
#include "host/render/live.h"

#include "host/dbinternal.h"
#include "host/render/scene.h"
#include "host/render/view.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

namespace render {

namespace {

// A log longer than this is dropped: pages behind it take the whole
// picture, which is cheaper than replaying that much.
constexpr std::size_t kMaxLog = 1u << 20;

std::string elementId(std::uint64_t handle)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "\"e-%llX\"", static_cast<unsigned long long>(handle));
    return buf;
}

// A JSON string of UTF-8 text (bytes that are no UTF-8 replaced).
void appendJsonString(std::string& out, const std::string& s)
{
    out += nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string number(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", std::isfinite(v) ? v : 0.0);
    return buf;
}

bool liveEntity(const AcDbStub* s)
{
    return s && s->inDatabase && s->object && !s->object->isErased() && dynamic_cast<const AcDbEntity*>(s->object.get());
}

} // namespace

LiveDrawing::LiveDrawing(SvgOptions options) : m_options(std::move(options))
{
    m_options.live = true;
    m_options.page.reset();
    m_version = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count());
    m_base = m_version;
}

LiveDrawing::~LiveDrawing()
{
    follow(nullptr);
}

void LiveDrawing::follow(AcDbDatabase* db)
{
    if (db == m_db)
        return;
    if (m_db)
        m_db->removeReactor(this);
    m_db = db;
    if (m_db)
        m_db->addReactor(this);
    restart();
}

void LiveDrawing::restart()
{
    m_log.clear();
    m_hidden.clear();
    m_base = ++m_version;
}

void LiveDrawing::databaseToBeDestroyed(const AcDbDatabase*)
{
    // The database removes its reactors itself.
    m_db = nullptr;
    restart();
}

void LiveDrawing::note(const AcDbObject* o)
{
    if (m_log.size() >= kMaxLog) {
        restart();
        return;
    }
    m_log.emplace_back(++m_version, AcDbObjectId(AcDbInternals::stub(*o)));
}

void LiveDrawing::syncHidden(const AcDbObjectIdArray& hidden)
{
    std::unordered_set<const AcDbStub*> now;
    for (const AcDbObjectId& id : hidden)
        if (id.isValid())
            now.insert(AcDbInternals::stub(id));
    auto changed = [this](const AcDbStub* s) { m_log.emplace_back(++m_version, AcDbObjectId(const_cast<AcDbStub*>(s))); };
    for (const AcDbStub* s : now)
        if (!m_hidden.count(s))
            changed(s);
    for (const AcDbStub* s : m_hidden)
        if (!now.count(s))
            changed(s);
    m_hidden = std::move(now);
}

Scene::Filter LiveDrawing::shown() const
{
    if (m_hidden.empty())
        return {};
    return [hidden = m_hidden](const AcDbObjectId& id) { return !hidden.count(AcDbInternals::stub(id)); };
}

std::string LiveDrawing::whole()
{
    if (!m_db)
        return {};
    SvgOptions options = m_options;
    options.topLevel = shown();
    std::string svg = renderSvg(*m_db, options);
    // The page that takes this asks for changes next: their extents start
    // from here.
    if (const AcDbBlockTableRecord* model = AcDbInternals::modelSpace(*m_db)) {
        Scene scene(*m_db, m_options.darkBackground, options.topLevel);
        currentExtents(scene, AcDbInternals::stub(*model));
    }
    const std::string::size_type at = svg.find("<svg ");
    if (at != std::string::npos)
        svg.insert(at + 5, "data-version=\"" + std::to_string(m_version) + "\" ");
    return svg;
}

bool LiveDrawing::changedEntities(std::uint64_t since, const AcDbStub* modelStub,
                                  std::unordered_set<AcDbStub*>& entities) const
{
    auto first = std::upper_bound(m_log.begin(), m_log.end(), since,
                                  [](std::uint64_t v, const auto& entry) { return v < entry.first; });
    std::unordered_set<AcDbStub*> blocks;
    for (auto it = first; it != m_log.end(); ++it) {
        AcDbStub* s = AcDbInternals::stub(it->second);
        if (!s->object)
            continue;
        if (s->owner == modelStub) {
            entities.insert(s);
            continue;
        }
        const std::string kind = s->object->dxfName();
        // Layers (colour, off, frozen) and text styles change how anything
        // may look.
        if (kind == "LAYER" || kind == "STYLE")
            return false;
        if (kind == "BLOCK_RECORD")
            blocks.insert(s);
        else if (s->owner && s->owner != modelStub && s->owner->object
                 && dynamic_cast<AcDbBlockTableRecord*>(s->owner->object.get()))
            blocks.insert(s->owner);
    }
    if (!blocks.empty())
        addReferencesTo(blocks, modelStub, entities);
    return true;
}

void LiveDrawing::addReferencesTo(std::unordered_set<AcDbStub*>& blocks, const AcDbStub* modelStub,
                                  std::unordered_set<AcDbStub*>& entities) const
{
    // A changed block shows through the references to it, and to the blocks
    // that hold those: the model-space references to any of them changed.
    if (AcDbSymbolTable* table = m_db->table("BLOCK_RECORD")) {
        for (bool grew = true; grew;) {
            grew = false;
            for (const AcDbObjectId& bid : table->recordIds()) {
                AcDbStub* b = AcDbInternals::stub(bid);
                if (b == modelStub || blocks.count(b) || !b->object)
                    continue;
                const auto* rec = dynamic_cast<const AcDbBlockTableRecord*>(b->object.get());
                if (!rec)
                    continue;
                for (const AcDbObjectId& eid : rec->entityIds()) {
                    const auto* ref = dynamic_cast<const AcDbBlockReference*>(AcDbInternals::stub(eid)->object.get());
                    if (ref && blocks.count(AcDbInternals::stub(ref->blockTableRecord()))) {
                        grew = blocks.insert(b).second || grew;
                        break;
                    }
                }
            }
        }
    }
    const auto* model = static_cast<const AcDbBlockTableRecord*>(modelStub->object.get());
    for (const AcDbObjectId& eid : model->entityIds()) {
        AcDbStub* s = AcDbInternals::stub(eid);
        const auto* ref = s->object ? dynamic_cast<const AcDbBlockReference*>(s->object.get()) : nullptr;
        if (ref && blocks.count(AcDbInternals::stub(ref->blockTableRecord())))
            entities.insert(s);
    }
}

namespace {

void widen(Extents& e, const Extents& by)
{
    if (!by.valid)
        return;
    if (!e.valid) {
        e = by;
        return;
    }
    e.x0 = std::min(e.x0, by.x0);
    e.y0 = std::min(e.y0, by.y0);
    e.x1 = std::max(e.x1, by.x1);
    e.y1 = std::max(e.y1, by.y1);
}

// Whether a part lies on the edge of the extents: without it they may shrink.
bool bounds(const Extents& e, const Extents& part)
{
    return part.valid && (part.x0 <= e.x0 || part.y0 <= e.y0 || part.x1 >= e.x1 || part.y1 >= e.y1);
}

} // namespace

Extents LiveDrawing::currentExtents(Scene& scene, const AcDbStub* modelStub)
{
    std::unordered_set<AcDbStub*> changed;
    const bool known = m_boxesVersion >= m_base && m_boxesVersion <= m_version
                       && changedEntities(m_boxesVersion, modelStub, changed);
    m_boxesVersion = m_version;
    if (!known) {
        // Measured anew: every shown entity's part.
        m_boxes.clear();
        m_extents = Extents{};
        const auto* model = static_cast<const AcDbBlockTableRecord*>(modelStub->object.get());
        for (const AcDbObjectId& id : model->entityIds()) {
            const Extents part = scene.entityExtents(id);
            if (part.valid) {
                m_boxes.emplace(AcDbInternals::stub(id), part);
                widen(m_extents, part);
            }
        }
        return m_extents;
    }
    bool shrinks = false;
    for (AcDbStub* s : changed) {
        const Extents now = scene.entityExtents(AcDbObjectId(s));
        const auto old = m_boxes.find(s);
        if (old != m_boxes.end()) {
            shrinks = shrinks || bounds(m_extents, old->second);
            if (now.valid)
                old->second = now;
            else
                m_boxes.erase(old);
        } else if (now.valid) {
            m_boxes.emplace(s, now);
        }
        widen(m_extents, now);
    }
    if (shrinks) {
        // A part that bounded them changed or went: the union of the parts
        // kept, without measuring the entities again.
        m_extents = Extents{};
        for (const auto& part : m_boxes)
            widen(m_extents, part.second);
    }
    return m_extents;
}

std::string LiveDrawing::changesSince(std::uint64_t since)
{
    std::string out = "{\"version\":" + std::to_string(m_version);
    const AcDbBlockTableRecord* model = m_db ? AcDbInternals::modelSpace(*m_db) : nullptr;
    if (!model || since < m_base || since > m_version)
        return out + ",\"whole\":true}";
    const AcDbStub* modelStub = AcDbInternals::stub(*model);

    // The objects changed since, each once.
    std::unordered_set<AcDbStub*> entities;
    if (!changedEntities(since, modelStub, entities))
        return out + ",\"whole\":true}";

    // Where the live ones stand: walked from the end of the drawing, which
    // is where new entities go, until every one is found; each goes before
    // the next live entity after it.
    std::unordered_set<AcDbStub*> wanted;
    for (AcDbStub* s : entities)
        if (liveEntity(s))
            wanted.insert(s);
    std::vector<std::pair<AcDbStub*, AcDbStub*>> placed;
    placed.reserve(wanted.size());
    const std::vector<AcDbObjectId>& ids = model->entityIds();
    AcDbStub* next = nullptr;
    for (auto it = ids.rbegin(); it != ids.rend() && placed.size() < wanted.size(); ++it) {
        AcDbStub* s = AcDbInternals::stub(*it);
        if (wanted.count(s))
            placed.emplace_back(s, next);
        if (liveEntity(s))
            next = s;
    }

    Scene scene(*m_db, m_options.darkBackground, shown());
    const View view = pictureView(currentExtents(scene, modelStub), m_options.margin, m_options.maxPixels);
    out += ",\"whole\":false,\"viewBox\":[" + number(view.left) + "," + number(-view.top) + ","
         + number(view.width / view.scale) + "," + number(view.height / view.scale) + "],\"changed\":[";
    std::string fragment;
    bool firstOne = true;
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
        fragment.clear();
        if (!renderSvgFragment(scene, AcDbObjectId(it->first), fragment))
            continue;
        out += firstOne ? "{\"id\":" : ",{\"id\":";
        firstOne = false;
        out += elementId(it->first->handle) + ",\"svg\":";
        appendJsonString(out, fragment);
        out += ",\"before\":" + (it->second ? elementId(it->second->handle) : std::string("null")) + "}";
    }
    out += "],\"erased\":[";
    firstOne = true;
    for (AcDbStub* s : entities) {
        if (wanted.count(s))
            continue;
        out += firstOne ? "" : ",";
        firstOne = false;
        out += elementId(s->handle);
    }
    return out + "]}";
}

} // namespace render
