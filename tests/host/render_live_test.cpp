// The live picture: entity groups that make up the whole document and do
// not depend on the rest of the drawing, and the changes a page holding
// a version is sent (additions, changes, erasures and their undo, a
// rolled-back command, a drawing read anew, blocks and layers).
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/render/live.h"
#include "host/render/scene.h"
#include "host/render/svg.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string elementId(const AcDbObjectId& id)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "e-%llX", static_cast<unsigned long long>(id.handle()));
    return buf;
}

class LiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<AcDbDatabase>();
        acdbHostApplicationServices()->setWorkingDatabase(db.get());
        for (int i = 0; i < 4; ++i)
            lines.push_back(addLine(i));
        journal().clear();
    }
    void TearDown() override { acdbHostApplicationServices()->setWorkingDatabase(nullptr); }
    AcDbUndoJournal& journal() { return AcDbInternals::journal(*db); }
    AcDbObjectId append(AcDbBlockTableRecord* block, AcDbEntity* e)
    {
        AcDbObjectId id;
        EXPECT_EQ(block->appendAcDbEntity(id, e), Acad::eOk);
        return id;
    }
    AcDbObjectId addLine(double y, double x1 = 10)
    {
        return append(AcDbInternals::modelSpace(*db), new AcDbLine(AcGePoint3d(0, y, 0), AcGePoint3d(x1, y, 0)));
    }
    template <class F>
    void change(AcDbObjectId id, F&& f)
    {
        AcDbObject* o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
        f(*o);
        o->close();
    }
    std::string fragment(AcDbObjectId id)
    {
        render::Scene scene(*db, false);
        std::string out;
        renderSvgFragment(scene, id, out);
        return out;
    }
    nlohmann::json changes(render::LiveDrawing& live, std::uint64_t since)
    {
        return nlohmann::json::parse(live.changesSince(since));
    }
    std::vector<std::string> changedIds(const nlohmann::json& c)
    {
        std::vector<std::string> out;
        for (const auto& e : c.at("changed"))
            out.push_back(e.at("id").get<std::string>());
        return out;
    }

    std::unique_ptr<AcDbDatabase> db;
    std::vector<AcDbObjectId> lines;
};

TEST_F(LiveTest, WholeDocumentIsItsEntitiesGroupsInDrawingOrder)
{
    SvgOptions opt;
    opt.live = true;
    const std::string whole = renderSvg(*db, opt);
    std::string groups;
    for (const AcDbObjectId& id : lines) {
        const std::string f = fragment(id);
        EXPECT_EQ(f.rfind("<g id=\"" + elementId(id) + "\">", 0), 0u) << f;
        groups += f;
    }
    EXPECT_NE(whole.find(groups), std::string::npos);
    // Hairlines keep their screen width in the live picture only; a file
    // has no entity groups.
    EXPECT_NE(whole.find("vector-effect:non-scaling-stroke"), std::string::npos);
    const std::string file = renderSvg(*db);
    EXPECT_EQ(file.find("vector-effect"), std::string::npos);
    EXPECT_EQ(file.find("<g id="), std::string::npos);
    EXPECT_EQ(file.find("class="), std::string::npos);
}

TEST_F(LiveTest, GroupDependsOnItsEntityOnly)
{
    const std::string before = fragment(lines[1]);
    // Extents a thousand times larger: the file's numbers would change.
    addLine(50000, 90000);
    EXPECT_EQ(fragment(lines[1]), before);
    EXPECT_NE(before.find("x2=\"10\""), std::string::npos) << before;
}

TEST_F(LiveTest, ErasedHiddenAndForeignEntities)
{
    change(lines[0], [](AcDbObject& o) { o.erase(); });
    std::string out = "keep";
    render::Scene scene(*db, false);
    EXPECT_FALSE(renderSvgFragment(scene, lines[0], out));
    EXPECT_EQ(out, "keep");
    // A block's own entity is not the model space's.
    auto* block = new AcDbBlockTableRecord();
    block->setName("B");
    AcDbObjectId blockId;
    ASSERT_EQ(db->addBlockTableRecord(blockId, block), Acad::eOk);
    const AcDbObjectId inner = append(block, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)));
    EXPECT_FALSE(renderSvgFragment(scene, inner, out));
    // On a layer that is off: an empty group keeps its place.
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("OFF");
    layer->setIsOff(true);
    AcDbObjectId layerId;
    ASSERT_EQ(db->addSymbolTableRecord(layerId, layer), Acad::eOk);
    change(lines[2], [](AcDbObject& o) { static_cast<AcDbEntity&>(o).setLayerName("OFF"); });
    render::Scene fresh(*db, false);
    out.clear();
    EXPECT_TRUE(renderSvgFragment(fresh, lines[2], out));
    EXPECT_EQ(out, "<g id=\"" + elementId(lines[2]) + "\"></g>\n");
}

TEST_F(LiveTest, AdditionThenItsUndo)
{
    render::LiveDrawing live;
    live.follow(db.get());
    const std::uint64_t v0 = live.version();
    // Nothing changed: nothing to send.
    nlohmann::json c = changes(live, v0);
    EXPECT_FALSE(c.at("whole").get<bool>());
    EXPECT_TRUE(c.at("changed").empty() && c.at("erased").empty());

    AcDbObjectId added;
    {
        AcDbUndoGroupScope command(journal());
        added = addLine(7, 30);
    }
    c = changes(live, v0);
    const std::uint64_t v1 = c.at("version").get<std::uint64_t>();
    EXPECT_GT(v1, v0);
    ASSERT_EQ(changedIds(c), std::vector<std::string>{elementId(added)});
    EXPECT_EQ(c["changed"][0].at("svg").get<std::string>(), fragment(added));
    EXPECT_TRUE(c["changed"][0].at("before").is_null());
    // The new extents reach the new line's end.
    const auto box = c.at("viewBox").get<std::vector<double>>();
    ASSERT_EQ(box.size(), 4u);
    EXPECT_GE(box[0] + box[2], 30.0);

    ASSERT_TRUE(journal().undoGroup());
    c = changes(live, v1);
    EXPECT_TRUE(c.at("changed").empty());
    EXPECT_EQ(c.at("erased"), nlohmann::json::array({elementId(added)}));
}

TEST_F(LiveTest, ChangeAndErasureInTheMiddleKeepTheirPlace)
{
    render::LiveDrawing live;
    live.follow(db.get());
    const std::uint64_t v0 = live.version();
    {
        AcDbUndoGroupScope command(journal());
        change(lines[1], [](AcDbObject& o) { static_cast<AcDbLine&>(o).setEndPoint(AcGePoint3d(5, 1, 0)); });
    }
    nlohmann::json c = changes(live, v0);
    ASSERT_EQ(changedIds(c), std::vector<std::string>{elementId(lines[1])});
    EXPECT_EQ(c["changed"][0].at("before"), elementId(lines[2]));
    EXPECT_NE(c["changed"][0].at("svg").get<std::string>().find("x2=\"5\""), std::string::npos);

    const std::uint64_t v1 = live.version();
    {
        AcDbUndoGroupScope command(journal());
        change(lines[2], [](AcDbObject& o) { o.erase(); });
    }
    c = changes(live, v1);
    EXPECT_TRUE(c.at("changed").empty());
    EXPECT_EQ(c.at("erased"), nlohmann::json::array({elementId(lines[2])}));

    // Undone, the line comes back before the next live one.
    const std::uint64_t v2 = live.version();
    ASSERT_TRUE(journal().undoGroup());
    c = changes(live, v2);
    ASSERT_EQ(changedIds(c), std::vector<std::string>{elementId(lines[2])});
    EXPECT_EQ(c["changed"][0].at("before"), elementId(lines[3]));
    // Both at once from the first version: the erasure and its undo cancel.
    c = changes(live, v0);
    EXPECT_EQ(changedIds(c), (std::vector<std::string>{elementId(lines[1]), elementId(lines[2])}));
    EXPECT_TRUE(c.at("erased").empty());
}

TEST_F(LiveTest, RolledBackCommandSendsTheOldState)
{
    render::LiveDrawing live;
    live.follow(db.get());
    const std::uint64_t v0 = live.version();
    const std::string old = fragment(lines[3]);
    AcDbObjectId added;
    {
        AcDbUndoGroupScope command(journal());
        const AcDbUndoJournal::Mark mark = journal().mark();
        added = addLine(9);
        change(lines[3], [](AcDbObject& o) { o.erase(); });
        journal().rollback(mark);
    }
    const nlohmann::json c = changes(live, v0);
    ASSERT_EQ(changedIds(c), std::vector<std::string>{elementId(lines[3])});
    EXPECT_EQ(c["changed"][0].at("svg").get<std::string>(), old);
    EXPECT_EQ(c.at("erased"), nlohmann::json::array({elementId(added)}));
}

TEST_F(LiveTest, WholePictureForOtherHistories)
{
    render::LiveDrawing live;
    live.follow(db.get());
    const std::uint64_t v0 = live.version();
    // No version, one from the future, one before this history.
    EXPECT_TRUE(changes(live, 0).at("whole").get<bool>());
    EXPECT_TRUE(changes(live, v0 + 1).at("whole").get<bool>());
    EXPECT_TRUE(changes(live, v0 - 1).at("whole").get<bool>());
    // The whole picture names its version.
    EXPECT_NE(live.whole().find("data-version=\"" + std::to_string(v0) + "\""), std::string::npos);

    // The drawing read anew: every earlier version wants it whole.
    ASSERT_EQ(db->readDxfText(db->dxfOut(), "again.dxf"), Acad::eOk);
    EXPECT_TRUE(changes(live, v0).at("whole").get<bool>());
    const std::uint64_t v1 = live.version();
    EXPECT_FALSE(changes(live, v1).at("whole").get<bool>());

    // Another drawing followed, and the followed one gone.
    AcDbDatabase other;
    live.follow(&other);
    EXPECT_TRUE(changes(live, v1).at("whole").get<bool>());
    {
        auto gone = std::make_unique<AcDbDatabase>();
        live.follow(gone.get());
    }
    EXPECT_EQ(live.followed(), nullptr);
    EXPECT_TRUE(changes(live, live.version()).at("whole").get<bool>());
    EXPECT_TRUE(live.whole().empty());
}

TEST_F(LiveTest, BlockChangeReachesItsReferencesAndLayerChangeEverything)
{
    auto* block = new AcDbBlockTableRecord();
    block->setName("B");
    AcDbObjectId blockId;
    ASSERT_EQ(db->addBlockTableRecord(blockId, block), Acad::eOk);
    const AcDbObjectId inner = append(block, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)));
    auto* ref = new AcDbBlockReference(AcGePoint3d(20, 0, 0), blockId);
    const AcDbObjectId refId = append(AcDbInternals::modelSpace(*db), ref);
    addLine(12);
    render::LiveDrawing live;
    live.follow(db.get());
    const std::uint64_t v0 = live.version();
    change(inner, [](AcDbObject& o) { static_cast<AcDbLine&>(o).setEndPoint(AcGePoint3d(3, 1, 0)); });
    nlohmann::json c = changes(live, v0);
    EXPECT_EQ(changedIds(c), std::vector<std::string>{elementId(refId)});

    const std::uint64_t v1 = live.version();
    AcDbObjectId layer0 = db->table("LAYER")->getAt("0");
    change(layer0, [](AcDbObject& o) { static_cast<AcDbLayerTableRecord&>(o).setColor(1); });
    EXPECT_TRUE(changes(live, v1).at("whole").get<bool>());
}

} // namespace

namespace {

// The viewBox a whole picture carries.
std::vector<double> wholeViewBox(render::LiveDrawing& live)
{
    const std::string svg = live.whole();
    const std::string key = "viewBox=\"";
    const std::size_t at = svg.find(key);
    std::vector<double> out;
    if (at == std::string::npos)
        return out;
    std::size_t pos = at + key.size();
    for (int i = 0; i < 4; ++i) {
        std::size_t used = 0;
        out.push_back(std::stod(svg.substr(pos), &used));
        pos += used;
    }
    return out;
}

} // namespace

// The extents an update carries are kept from each entity's part, changed
// by what changed: they must always be those of the whole picture, also
// when the entity that bounded them moves in, goes, comes back, or is
// hidden for a while.
TEST_F(LiveTest, ExtentsOfUpdatesFollowEveryChangeAsTheWholePictureHasThem)
{
    render::LiveDrawing live;
    live.follow(db.get());
    std::uint64_t v = live.version();
    auto expectSame = [&](const char* after) {
        const nlohmann::json c = changes(live, v);
        ASSERT_FALSE(c.at("whole").get<bool>()) << after;
        EXPECT_EQ(c.at("viewBox").get<std::vector<double>>(), wholeViewBox(live)) << after;
        v = c.at("version").get<std::uint64_t>();
    };
    expectSame("nothing");
    AcDbObjectId far;
    {
        AcDbUndoGroupScope command(journal());
        far = addLine(50, 200);
    }
    expectSame("a line reaching further");
    change(far, [](AcDbObject& o) { static_cast<AcDbLine&>(o).setEndPoint(AcGePoint3d(20, 50, 0)); });
    expectSame("that line shortened");
    change(far, [](AcDbObject& o) { o.erase(); });
    expectSame("that line erased");
    change(lines[3], [](AcDbObject& o) { o.erase(); });
    expectSame("the top line erased");
    ASSERT_TRUE(journal().undoGroup());
    expectSame("undone");
    AcDbObjectIdArray hidden;
    hidden.append(lines[0]);
    live.syncHidden(hidden);
    expectSame("the bottom line hidden");
    live.syncHidden(AcDbObjectIdArray());
    expectSame("shown again");
}
