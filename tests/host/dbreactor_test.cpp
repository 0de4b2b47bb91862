// Database reactors: every change of an object is heard, whether a command,
// undo or a rollback made it, and a drawing read anew says so.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Writes what it hears as "kind handle" lines.
class Recorder : public AcDbDatabaseReactor {
public:
    std::vector<std::string> heard;
    void objectAppended(const AcDbDatabase*, const AcDbObject* o) override { note("append", o); }
    void objectUnAppended(const AcDbDatabase*, const AcDbObject* o) override { note("unappend", o); }
    void objectModified(const AcDbDatabase*, const AcDbObject* o) override { note("modify", o); }
    void objectErased(const AcDbDatabase*, const AcDbObject* o, bool erased) override
    {
        note(erased ? "erase" : "unerase", o);
    }
    void contentsReplaced(const AcDbDatabase*) override { heard.push_back("replaced"); }
    void databaseToBeDestroyed(const AcDbDatabase*) override { heard.push_back("destroyed"); }

private:
    void note(const char* kind, const AcDbObject* o) { heard.push_back(std::string(kind) + " " + std::to_string(o->handle())); }
};

class ReactorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<AcDbDatabase>();
        acdbHostApplicationServices()->setWorkingDatabase(db.get());
        existing = addLine(0);
        journal().clear();
        db->addReactor(&rec);
        // Added twice, heard once.
        db->addReactor(&rec);
    }
    void TearDown() override
    {
        if (db)
            db->removeReactor(&rec);
        acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    }
    AcDbUndoJournal& journal() { return AcDbInternals::journal(*db); }
    AcDbObjectId addLine(double y)
    {
        AcDbObjectId id;
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(id, new AcDbLine(AcGePoint3d(0, y, 0), AcGePoint3d(10, y, 0)));
        return id;
    }
    void moveUp(AcDbObjectId id)
    {
        AcDbEntity* e = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
        static_cast<AcDbLine*>(e)->setEndPoint(AcGePoint3d(10, 5, 0));
        e->close();
    }
    void erase(AcDbObjectId id)
    {
        AcDbEntity* e = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
        e->erase();
        e->close();
    }
    std::string h(AcDbObjectId id) { return std::to_string(id.handle()); }

    std::unique_ptr<AcDbDatabase> db;
    Recorder rec;
    AcDbObjectId existing;
};

TEST_F(ReactorTest, AdditionAndItsUndo)
{
    AcDbObjectId id;
    {
        AcDbUndoGroupScope command(journal());
        id = addLine(1);
    }
    ASSERT_EQ(rec.heard, (std::vector<std::string>{"append " + h(id)}));
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(rec.heard.back(), "unappend " + h(id));
    EXPECT_EQ(rec.heard.size(), 2u);
    EXPECT_FALSE(id.isValid());
}

TEST_F(ReactorTest, ChangeAndErasureAndTheirUndo)
{
    {
        AcDbUndoGroupScope command(journal());
        moveUp(existing);
    }
    {
        AcDbUndoGroupScope command(journal());
        erase(existing);
    }
    // Opening for write is heard as a change, the erasure as its own.
    EXPECT_EQ(rec.heard, (std::vector<std::string>{"modify " + h(existing), "modify " + h(existing), "erase " + h(existing)}));
    rec.heard.clear();
    ASSERT_TRUE(journal().undoGroup());
    // Last change first: the erasure, then the opening that preceded it.
    EXPECT_EQ(rec.heard, (std::vector<std::string>{"unerase " + h(existing), "modify " + h(existing)}));
    EXPECT_FALSE(existing.isErased());
    rec.heard.clear();
    ASSERT_TRUE(journal().undoGroup());
    EXPECT_EQ(rec.heard, (std::vector<std::string>{"modify " + h(existing)}));
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, existing, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(static_cast<AcDbLine*>(e)->endPoint(), AcGePoint3d(10, 0, 0));
    e->close();
}

TEST_F(ReactorTest, RolledBackCommandIsHeardInReverse)
{
    AcDbUndoGroupScope command(journal());
    const AcDbUndoJournal::Mark mark = journal().mark();
    const AcDbObjectId id = addLine(2);
    erase(existing);
    rec.heard.clear();
    journal().rollback(mark);
    // Last change first: the erasure, then the addition.
    ASSERT_EQ(rec.heard.size(), 3u);
    EXPECT_EQ(rec.heard[0], "unerase " + h(existing));
    EXPECT_EQ(rec.heard[1], "modify " + h(existing));
    EXPECT_EQ(rec.heard[2], "unappend " + h(id));
    EXPECT_FALSE(id.isValid());
    EXPECT_FALSE(existing.isErased());
}

TEST_F(ReactorTest, DrawingReadAnewAndDestroyed)
{
    const std::string dxf = db->dxfOut();
    // Reading a file builds its objects aside: only the replacement is heard.
    ASSERT_EQ(db->readDxfText(dxf, "again.dxf"), Acad::eOk);
    EXPECT_EQ(rec.heard, (std::vector<std::string>{"replaced"}));
    db.reset();
    EXPECT_EQ(rec.heard.back(), "destroyed");
}

TEST_F(ReactorTest, RemovedReactorHearsNothing)
{
    db->removeReactor(&rec);
    addLine(3);
    erase(existing);
    EXPECT_TRUE(rec.heard.empty());
}

} // namespace
