// The undo journal. Invariant checked throughout: reversing a group gives
// back the drawing exactly as it was before the group (the same entities,
// extended data, tables and order), which is seen as the same DXF text;
// only the handle seed may have grown. Ids stay valid across undo. A group
// scope ends its group exactly once, on every way out, and never a group
// that is not its own.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <regex>
#include <stdexcept>
#include <utility>

namespace {

std::string withoutSeed(const std::string& dxf)
{
    return std::regex_replace(dxf, std::regex("\\$HANDSEED\n  5\n[0-9A-F]+\n"), "$HANDSEED\n");
}

class UndoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<AcDbDatabase>();
        acdbHostApplicationServices()->setWorkingDatabase(db.get());
        // Some existing drawing to change.
        db->registerApp("IDPOINT");
        for (int i = 0; i < 5; ++i) {
            auto* pl = new AcDbPolyline();
            pl->addVertexAt(0, AcGePoint2d(i, 0));
            pl->addVertexAt(1, AcGePoint2d(i, 10));
            AcDbObjectId id;
            AcDbInternals::modelSpace(*db)->appendAcDbEntity(id, pl);
            ids.push_back(id);
        }
        ads_point p = {1, 2, 0};
        resbuf* xd = acutBuildList(1001, L"IDPOINT", 1011, p, 0);
        AcDbObject* o = nullptr;
        acdbOpenAcDbObject(o, ids[2], AcDb::kForWrite);
        o->setXData(xd);
        o->close();
        acutRelRb(xd);
        journal().clear();
    }
    void TearDown() override { acdbHostApplicationServices()->setWorkingDatabase(nullptr); }
    AcDbUndoJournal& journal() { return AcDbInternals::journal(*db); }

    std::unique_ptr<AcDbDatabase> db;
    AcDbObjectIdArray ids;
};

TEST_F(UndoTest, OneGroupOfAdditionsErasuresAndChangesIsReversedExactly)
{
    const std::string before = withoutSeed(db->dxfOut());
    journal().beginGroup();
    // Additions: entities, a layer, an application, a block with entities.
    AcDbObjectId added;
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(added, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(5, 5, 0)));
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("NEW");
    AcDbObjectId layerId;
    ASSERT_EQ(db->addSymbolTableRecord(layerId, layer), Acad::eOk);
    ASSERT_EQ(acdbRegApp(L"TKSY"), RTNORM);
    auto* block = new AcDbBlockTableRecord();
    block->setName("SYM");
    AcDbObjectId blockId;
    ASSERT_EQ(db->addBlockTableRecord(blockId, block), Acad::eOk);
    block->appendAcDbEntity(new AcDbCircle(AcGePoint3d(), AcGeVector3d::kZAxis, 1));
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbBlockReference(AcGePoint3d(3, 3, 0), blockId));
    // Erasures, also through entity names.
    AcDbObject* o = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(o, ids[0], AcDb::kForWrite), Acad::eOk);
    o->erase();
    o->close();
    ads_name n;
    acdbGetAdsName(n, ids[4]);
    acdbEntDel(n);
    // Changes: geometry, layer, extended data, of old and new entities.
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, ids[1], AcDb::kForWrite), Acad::eOk);
    e->transformBy(AcGeMatrix3d::translation(AcGeVector3d(100, 0, 0)));
    e->setLayer(L"NEW");
    e->close();
    ASSERT_EQ(acdbOpenAcDbEntity(e, ids[2], AcDb::kForWrite), Acad::eOk);
    ads_point q = {9, 9, 0};
    resbuf* xd = acutBuildList(1001, L"IDPOINT", 1011, q, 1001, L"TKSY", 1000, L"KM&1", 0);
    ASSERT_EQ(e->setXData(xd), Acad::eOk);
    acutRelRb(xd);
    e->close();
    ASSERT_EQ(acdbOpenAcDbEntity(e, added, AcDb::kForWrite), Acad::eOk);
    e->setColorIndex(3);
    e->close();
    db->setHeaderVar("$CELTYPE", 6, "DASHED");
    journal().endGroup();
    ASSERT_NE(withoutSeed(db->dxfOut()), before);

    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(withoutSeed(db->dxfOut()), before);
    // Ids of the old entities still name them; the added ones are gone.
    EXPECT_EQ(AcDbInternals::modelSpace(*db)->entityIds(), ids);
    EXPECT_FALSE(added.isValid());
    EXPECT_FALSE(db->table("LAYER")->has("NEW"));
    EXPECT_FALSE(db->isAppRegistered("TKSY"));
    EXPECT_EQ(db->blockRecord("SYM"), nullptr);
    ASSERT_EQ(acdbOpenAcDbEntity(e, ids[1], AcDb::kForRead), Acad::eOk);
    AcGePoint3d p;
    static_cast<AcDbPolyline*>(e)->getPointAt(0, p);
    EXPECT_EQ(p, AcGePoint3d(1, 0, 0));
    e->close();
    EXPECT_FALSE(journal().undoGroup());
}

TEST_F(UndoTest, NestedGroupsAreOneAndChangesOutsideGroupsStandAlone)
{
    const std::string start = withoutSeed(db->dxfOut());
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(1, 1, 0)));
    const std::string afterFirst = withoutSeed(db->dxfOut());
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(2, 2, 0)));
    EXPECT_EQ(journal().groupCount(), 2);

    journal().beginGroup();
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(3, 3, 0)));
    journal().beginGroup();
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(4, 4, 0)));
    journal().endGroup();
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(5, 5, 0)));
    journal().endGroup();
    EXPECT_EQ(journal().groupCount(), 3);
    const std::size_t count = AcDbInternals::modelSpace(*db)->entityIds().size();
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(AcDbInternals::modelSpace(*db)->entityIds().size(), count - 3);
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(withoutSeed(db->dxfOut()), afterFirst);
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(withoutSeed(db->dxfOut()), start);
    // An empty group leaves nothing to undo.
    journal().beginGroup();
    journal().endGroup();
    EXPECT_FALSE(journal().undoGroup());
}

TEST_F(UndoTest, ErasingTwiceInAGroupAndAnOpenGroupAreReversed)
{
    const std::string start = withoutSeed(db->dxfOut());
    journal().beginGroup();
    ads_name n;
    acdbGetAdsName(n, ids[3]);
    acdbEntDel(n);
    acdbEntDel(n);
    acdbEntDel(n);
    EXPECT_TRUE(ids[3].isErased());
    // Undo while the group is still open closes and reverses it.
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_FALSE(ids[3].isErased());
    EXPECT_FALSE(journal().isGroupOpen());
    EXPECT_EQ(withoutSeed(db->dxfOut()), start);
}

TEST_F(UndoTest, NothingIsRecordedWhileAFileLoads)
{
    AcDbDatabase other(false);
    ASSERT_EQ(other.readDxfText(db->dxfOut(), "copy.dxf"), Acad::eOk);
    EXPECT_EQ(AcDbInternals::journal(other).groupCount(), 0);
    EXPECT_TRUE(AcDbInternals::journal(other).isRecording());
    EXPECT_FALSE(AcDbInternals::journal(other).undoGroup());
}

TEST_F(UndoTest, GroupScopesNestAsGroupsAndEndAlsoWhenAnExceptionLeaves)
{
    const std::string start = withoutSeed(db->dxfOut());
    {
        const AcDbUndoGroupScope outer(journal());
        EXPECT_EQ(journal().depth(), 1);
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(1, 1, 0)));
        {
            const AcDbUndoGroupScope inner(journal());
            EXPECT_EQ(journal().depth(), 2);
            AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(2, 2, 0)));
        }
        EXPECT_EQ(journal().depth(), 1);
        EXPECT_TRUE(journal().isGroupOpen());
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(3, 3, 0)));
    }
    EXPECT_EQ(journal().depth(), 0);
    EXPECT_FALSE(journal().isGroupOpen());
    EXPECT_EQ(journal().groupCount(), 1) << "nested scopes make one group";
    const std::string afterFirst = withoutSeed(db->dxfOut());

    try {
        const AcDbUndoGroupScope outer(journal());
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(4, 4, 0)));
        const AcDbUndoGroupScope inner(journal());
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(5, 5, 0)));
        throw std::runtime_error("handler failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(journal().depth(), 0);
    EXPECT_FALSE(journal().isGroupOpen());
    // What came after stands alone: the thrown group is one group.
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(6, 6, 0)));
    EXPECT_EQ(journal().groupCount(), 3);
    ASSERT_TRUE(journal().undoGroup());
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(withoutSeed(db->dxfOut()), afterFirst);
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(withoutSeed(db->dxfOut()), start);
}

TEST_F(UndoTest, MovedGroupScopeEndsItsGroupOnceWhereItEnds)
{
    std::optional<AcDbUndoGroupScope> kept;
    {
        AcDbUndoGroupScope opened(journal());
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(1, 1, 0)));
        kept.emplace(std::move(opened));
        EXPECT_FALSE(opened.isOpen());
        EXPECT_TRUE(kept->isOpen());
    }
    // The moved-from scope ended nothing.
    EXPECT_EQ(journal().depth(), 1);
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(2, 2, 0)));
    kept->end();
    EXPECT_EQ(journal().depth(), 0);
    kept->end();
    kept.reset();
    EXPECT_EQ(journal().depth(), 0);
    EXPECT_EQ(journal().groupCount(), 1);

    // A scope handed out of the function that opened it.
    const auto open = [this] {
        AcDbUndoGroupScope scope(journal());
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(3, 3, 0)));
        return scope;
    };
    {
        const AcDbUndoGroupScope handed = open();
        EXPECT_TRUE(handed.isOpen());
        EXPECT_EQ(journal().depth(), 1);
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(4, 4, 0)));
    }
    EXPECT_EQ(journal().depth(), 0);
    EXPECT_EQ(journal().groupCount(), 2);
}

// A scope whose journal went away with its drawing (closed while the
// scope was open) is abandoned: it ends nothing, and its journal is not
// touched again.
TEST_F(UndoTest, AbandonedGroupScopeEndsNothing)
{
    auto closing = std::make_unique<AcDbDatabase>();
    std::optional<AcDbUndoGroupScope> scope;
    scope.emplace(AcDbInternals::journal(*closing));
    EXPECT_EQ(AcDbInternals::journal(*closing).depth(), 1);
    closing.reset();
    scope->abandon();
    EXPECT_FALSE(scope->isOpen());
    scope.reset();

    // Abandoned while its journal lives, the group stays open for whoever
    // ends it.
    {
        AcDbUndoGroupScope kept(journal());
        kept.abandon();
    }
    EXPECT_EQ(journal().depth(), 1);
    journal().endGroup();
    EXPECT_EQ(journal().depth(), 0);
}

TEST_F(UndoTest, UndoInsideAGroupScopeLeavesItNoGroupToEnd)
{
    const std::string start = withoutSeed(db->dxfOut());
    AcDbUndoGroupScope command(journal());
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(1, 1, 0)));
    // U while the command runs ends its group (and every other) and
    // reverses it.
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(journal().depth(), 0);
    EXPECT_EQ(withoutSeed(db->dxfOut()), start);
    // A group someone else opens afterwards is not the scope's to end.
    journal().beginGroup();
    command.end();
    EXPECT_EQ(journal().depth(), 1);
    journal().endGroup();
    // The same after clear.
    {
        const AcDbUndoGroupScope other(journal());
        journal().clear();
        const AcDbUndoGroupScope again(journal());
        EXPECT_EQ(journal().depth(), 1);
    }
    EXPECT_EQ(journal().depth(), 0);
}

// The drawing is modified from its first change until it is saved or read
// again; undoing a change is one more; a rollback to a mark goes back to
// the state of the mark. A drawing read in recover mode differs from its
// file.
TEST_F(UndoTest, ChangesSinceReadingOrSavingMakeTheDrawingModified)
{
    AcDbDatabase fresh;
    EXPECT_FALSE(fresh.isModified()) << "a new drawing";
    EXPECT_TRUE(db->isModified()) << "the polylines of the fixture";
    const std::string path = ::testing::TempDir() + "/undo_modified.dxf";
    ASSERT_EQ(db->saveAs(utf8ToWide(path).c_str()), Acad::eOk);
    EXPECT_FALSE(db->isModified());

    // Opening for write counts as a change: the object may have changed.
    AcDbObject* o = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(o, ids[0], AcDb::kForWrite), Acad::eOk);
    o->close();
    EXPECT_TRUE(db->isModified());
    ASSERT_EQ(db->saveAs(utf8ToWide(path).c_str()), Acad::eOk);
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_TRUE(db->isModified()) << "undone after the save";

    ASSERT_EQ(db->saveAs(utf8ToWide(path).c_str()), Acad::eOk);
    const AcDbUndoJournal::Mark mark = journal().mark();
    db->setHeaderVar("$CELTYPE", 6, "Continuous");
    AcDbInternals::modelSpace(*db)->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    EXPECT_TRUE(db->isModified());
    journal().rollback(mark);
    EXPECT_FALSE(db->isModified()) << "rolled back to the saved state";

    AcDbDatabase read(false);
    ASSERT_EQ(read.readDwgFile(utf8ToWide(path).c_str()), Acad::eOk);
    EXPECT_FALSE(read.isModified());
    ASSERT_EQ(read.readDxfText(db->dxfOut().substr(0, db->dxfOut().rfind("  0\nEOF")), "cut.dxf"), Acad::eOk);
    EXPECT_TRUE(read.isRecovered());
    EXPECT_TRUE(read.isModified());
    std::remove(path.c_str());
}

} // namespace
