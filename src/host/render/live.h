// The live picture of a drawing kept current by its changes: a page shows
// the whole picture once, at a version, and from then on asks for what
// changed since the version it holds.
#pragma once

#include "host/dbmain.h"
#include "host/render/svg.h"

#include "host/render/scene.h"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <utility>
#include <vector>

namespace render {

// Hears the changes of one database at a time (the one it follows) and
// answers, for a version, what a page holding the picture at that version
// must replace, insert and remove. Versions grow with every change heard
// and never repeat in the process's life (they start at the clock's
// milliseconds), so a version from another drawing, an earlier one or an
// earlier server is never mistaken for one of this history.
class LiveDrawing : public AcDbDatabaseReactor {
public:
    explicit LiveDrawing(SvgOptions options = {});
    ~LiveDrawing() override;
    LiveDrawing(const LiveDrawing&) = delete;
    LiveDrawing& operator=(const LiveDrawing&) = delete;

    // The database to follow (null: none). Another database than before
    // starts a new history: every earlier version asks for the whole
    // picture.
    void follow(AcDbDatabase* db);
    const AcDbDatabase* followed() const { return m_db; }
    std::uint64_t version() const { return m_version; }

    // Entities hidden for the time being (acedRedraw: a symbol parked
    // while it is dragged) show nothing and are not measured; each that
    // was hidden or shown again since the last call counts as changed.
    void syncHidden(const AcDbObjectIdArray& hidden);

    // The whole live picture at the current version (its root holds
    // data-version); empty without a database.
    std::string whole();
    // What changed since `since`, as JSON:
    //   {"version":V,"whole":true}  the page must take the whole picture
    //   {"version":V,"whole":false,"viewBox":[x,y,w,h],
    //    "changed":[{"id":"e-1F","svg":"<g id=\"e-1F\">...</g>","before":"e-20"|null},...],
    //    "erased":["e-1A",...]}
    // Changed entities come in drawing order; each goes in place of the
    // element of its id, or, when the page has none, before the element
    // named by "before" (null: at the end). Applied last first, every
    // "before" is already in place. The work is proportional to what
    // changed (and to how far from the end of the drawing it lies), plus
    // one walk of the model space for the extents.
    std::string changesSince(std::uint64_t since);

    // The reactor's side.
    void objectAppended(const AcDbDatabase*, const AcDbObject* o) override { note(o); }
    void objectUnAppended(const AcDbDatabase*, const AcDbObject* o) override { note(o); }
    void objectModified(const AcDbDatabase*, const AcDbObject* o) override { note(o); }
    void objectErased(const AcDbDatabase*, const AcDbObject* o, bool) override { note(o); }
    void contentsReplaced(const AcDbDatabase*) override { restart(); }
    void databaseToBeDestroyed(const AcDbDatabase*) override;

private:
    void note(const AcDbObject* o);
    // Forgets the history: versions up to now ask for the whole picture.
    void restart();

    SvgOptions m_options;
    AcDbDatabase* m_db = nullptr;
    std::uint64_t m_version = 0;
    // Versions up to this one are not in the log.
    std::uint64_t m_base = 0;
    // What changed, by version (growing).
    std::vector<std::pair<std::uint64_t, AcDbObjectId>> m_log;
    // The model-space entities changed after `since` (references to
    // changed blocks included); false when the whole picture is needed.
    bool changedEntities(std::uint64_t since, const AcDbStub* modelStub, std::unordered_set<AcDbStub*>& entities) const;
    void addReferencesTo(std::unordered_set<AcDbStub*>& blocks, const AcDbStub* modelStub,
                         std::unordered_set<AcDbStub*>& entities) const;
    // The extents of what the picture shows, kept from each entity's
    // part: brought up to the current version from what changed since the
    // last time (the whole model space measured again only when the
    // history restarted, a layer or style changed, or an entity that
    // bounded the extents shrank or went).
    Extents currentExtents(Scene& scene, const AcDbStub* modelStub);
    std::unordered_map<const AcDbStub*, Extents> m_boxes;
    Extents m_extents;
    // The version m_boxes holds (below m_base: none).
    std::uint64_t m_boxesVersion = 0;
    // What syncHidden was told last.
    std::unordered_set<const AcDbStub*> m_hidden;
    Scene::Filter shown() const;
};

} // namespace render
