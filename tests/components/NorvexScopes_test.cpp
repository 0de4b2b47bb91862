// The command scopes. Invariants checked throughout: when a system variable
// scope ends, every variable it kept holds the value it had when the scope
// began, and only those that changed were written (each write of a drawing
// variable is an undo record of its own outside a group, so the journal
// counts them); when an undo scope ends, no group is open and one U takes
// back what was drawn inside it.
#include "components/NorvexScopes.h"
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

short number(const ACHAR* name)
{
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM || rb.restype != RTSHORT)
        return -1;
    return rb.resval.rint;
}

int setText(const ACHAR* name, const ACHAR* value)
{
    resbuf rb{};
    rb.restype = RTSTR;
    rb.resval.rstring = const_cast<ACHAR*>(value);
    return acedSetVar(name, &rb);
}

class ScopesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::setOutput([](const std::string&) {});
        acDocManager->newDocument();
        for (const char* name : {"USER", "WIRES"}) {
            auto* layer = new AcDbLayerTableRecord();
            layer->setName(name);
            AcDbObjectId id;
            ASSERT_EQ(db()->addSymbolTableRecord(id, layer), Acad::eOk);
        }
        // The user's settings.
        ASSERT_EQ(setText(L"CLAYER", L"USER"), RTNORM);
        ASSERT_EQ(setText(L"CECOLOR", L"5"), RTNORM);
        ASSERT_EQ(setText(L"CELTYPE", L"Continuous"), RTNORM);
        ASSERT_EQ(SetAcadSysVar(L"OSMODE", 35), RTNORM);
        journal().clear();
    }
    void TearDown() override
    {
        acDocManager->closeAll();
        host::setOutput(nullptr);
    }
    static AcDbDatabase* db() { return acdbCurDwg(); }
    static AcDbUndoJournal& journal() { return AcDbInternals::journal(*db()); }
    // What a drawing command changes.
    static void changeEverything()
    {
        SetAcadSysVar(L"CMDECHO", 0);
        SetAcadSysVar(L"PLINETYPE", 0);
        SetAcadSysVar(L"BLIPMODE", 1);
        SetAcadSysVar(L"OSMODE", 64);
        setText(L"CLAYER", L"WIRES");
        setText(L"CECOLOR", L"3");
        setText(L"CELTYPE", L"ByLayer");
    }
    static void expectTheUsers()
    {
        EXPECT_EQ(number(L"CMDECHO"), 1);
        EXPECT_EQ(number(L"PLINETYPE"), 2);
        EXPECT_EQ(number(L"BLIPMODE"), 0);
        EXPECT_EQ(number(L"OSMODE"), 35);
        EXPECT_EQ(testutil::stringVar(L"CLAYER"), L"USER");
        EXPECT_EQ(testutil::stringVar(L"CECOLOR"), L"5");
        EXPECT_EQ(testutil::stringVar(L"CELTYPE"), L"Continuous");
    }
    static int lines() { return static_cast<int>(AcDbInternals::modelSpace(*db())->entityIds().size()); }
    static void line(double y)
    {
        ASSERT_EQ(acedCommand({L"_.PLINE", AcGePoint3d(0, y, 0), AcGePoint3d(5, y, 0), L""}), RTNORM);
    }
};

TEST_F(ScopesTest, SysVarScopePutsBackWhatChangedOnEveryWayOut)
{
    {
        const CAcadSysVarScope kept;
        changeEverything();
    }
    expectTheUsers();
    try {
        const CAcadSysVarScope kept;
        changeEverything();
        throw std::runtime_error("handler failed");
    } catch (const std::runtime_error&) {
    }
    expectTheUsers();
    // Only the variables named are kept.
    {
        const CAcadSysVarScope osmode{L"OSMODE"};
        changeEverything();
    }
    EXPECT_EQ(number(L"OSMODE"), 35);
    EXPECT_EQ(testutil::stringVar(L"CLAYER"), L"WIRES");
    EXPECT_EQ(number(L"CMDECHO"), 0);
}

TEST_F(ScopesTest, SysVarScopeWritesOnlyWhatChanged)
{
    {
        const CAcadSysVarScope kept;
    }
    EXPECT_EQ(journal().groupCount(), 0) << "nothing changed, nothing written";
    {
        const CAcadSysVarScope kept;
        setText(L"CECOLOR", L"3");
        setText(L"CLAYER", L"WIRES");
        setText(L"CLAYER", L"USER");
    }
    // Three changes, and CECOLOR put back; CLAYER held its value already.
    EXPECT_EQ(journal().groupCount(), 4);
    expectTheUsers();
    // A name the host does not know is left alone.
    {
        const CAcadSysVarScope unknown{L"NOSUCHVAR", L"OSMODE"};
        SetAcadSysVar(L"OSMODE", 0);
    }
    EXPECT_EQ(number(L"OSMODE"), 35);
}

TEST_F(ScopesTest, SysVarScopesNestMoveAndRestoreOnce)
{
    {
        const CAcadSysVarScope outer{L"OSMODE"};
        SetAcadSysVar(L"OSMODE", 1);
        {
            const CAcadSysVarScope inner{L"OSMODE"};
            SetAcadSysVar(L"OSMODE", 2);
        }
        EXPECT_EQ(number(L"OSMODE"), 1);
    }
    EXPECT_EQ(number(L"OSMODE"), 35);

    // Set up in one function, kept by its caller.
    const auto prepare = [] {
        CAcadSysVarScope kept{L"OSMODE", L"CLAYER"};
        SetAcadSysVar(L"OSMODE", 0);
        setText(L"CLAYER", L"WIRES");
        return kept;
    };
    {
        std::optional<CAcadSysVarScope> held;
        {
            CAcadSysVarScope scope = prepare();
            held.emplace(std::move(scope));
        }
        EXPECT_EQ(number(L"OSMODE"), 0) << "the moved-from scope put nothing back";
        EXPECT_EQ(testutil::stringVar(L"CLAYER"), L"WIRES");
        held->restore();
        EXPECT_EQ(number(L"OSMODE"), 35);
        EXPECT_EQ(testutil::stringVar(L"CLAYER"), L"USER");
        SetAcadSysVar(L"OSMODE", 9);
    }
    EXPECT_EQ(number(L"OSMODE"), 9) << "restored once, not again at the end";
}

TEST_F(ScopesTest, UndoScopeIsOneGroupClosedOnEveryWayOut)
{
    line(0);
    {
        const CAcadUndoScope group;
        EXPECT_TRUE(journal().isGroupOpen());
        line(1);
        line(2);
    }
    EXPECT_FALSE(journal().isGroupOpen());
    line(3);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(lines(), 3);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(lines(), 1) << "one U takes back the group";

    // Inside the host's group of a LISP call, left by an exception.
    {
        const AcDbUndoGroupScope call(journal());
        try {
            const CAcadUndoScope group;
            line(1);
            line(2);
            throw std::runtime_error("handler failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(journal().depth(), 1);
        line(3);
    }
    EXPECT_EQ(journal().depth(), 0);
    EXPECT_FALSE(journal().isGroupOpen());
    EXPECT_EQ(lines(), 4);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(lines(), 3);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(lines(), 1);
}

TEST_F(ScopesTest, MovedUndoScopeEndsItsGroupOnce)
{
    std::optional<CAcadUndoScope> unit;
    {
        CAcadUndoScope opened;
        line(1);
        unit.emplace(std::move(opened));
        EXPECT_FALSE(opened.isOpen());
    }
    EXPECT_TRUE(journal().isGroupOpen()) << "the moved-from scope ended nothing";
    line(2);
    unit->end();
    EXPECT_FALSE(journal().isGroupOpen());
    line(3);
    unit.reset(); // ends nothing more: line 3 stays a group of its own
    // The next unit may open once the last has ended.
    unit.emplace();
    line(4);
    unit.reset();
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(lines(), 3);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(lines(), 2);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(lines(), 0);
}

} // namespace
