// Window and crossing selections through the spatial index: after any
// series of edits (additions, moves, erasures, undo, block definitions
// changing, whole drawings read in) acedSSGet "W" and "C" give exactly what
// a walk over every model-space entity with the geometric tests gives, in
// the same order.
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using Handles = std::vector<std::uint64_t>;

AcGePoint3d pt(double x, double y)
{
    return AcGePoint3d(x, y, 0);
}

class SpatialIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::setOutput([](const std::string&) {});
        acDocManager->newDocument();
        AcDbInternals::journal(*db()).clear();
    }
    void TearDown() override
    {
        host::setOutput(nullptr);
        acDocManager->closeAll();
    }
    static AcDbDatabase* db() { return acdbCurDwg(); }

    static AcDbObjectId add(AcDbEntity* e, AcDbBlockTableRecord* space = nullptr)
    {
        AcDbObjectId id;
        EXPECT_EQ((space ? space : AcDbInternals::modelSpace(*db()))->appendAcDbEntity(id, e), Acad::eOk);
        e->close();
        return id;
    }
    static AcDbObjectId line(double x0, double y0, double x1, double y1)
    {
        return add(new AcDbLine(pt(x0, y0), pt(x1, y1)));
    }
    static AcDbBlockTableRecord* defineBlock(const char* name, std::initializer_list<AcDbEntity*> ents)
    {
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(name);
        AcDbObjectId id;
        EXPECT_EQ(db()->addBlockTableRecord(id, rec), Acad::eOk);
        for (AcDbEntity* e : ents)
            add(e, rec);
        return rec;
    }
    static AcCmdArg name(const AcDbObjectId& id)
    {
        ads_name n;
        acdbGetAdsName(n, id);
        return AcCmdArg::ename(n);
    }

    // What acedSSGet selects, in the set's order (empty when nothing).
    static Handles selected(const ACHAR* mode, double x0, double y0, double x1, double y1)
    {
        const double a[3] = {x0, y0, 0}, b[3] = {x1, y1, 0};
        ads_name ss;
        Handles out;
        if (acedSSGet(mode, a, b, nullptr, ss) != RTNORM)
            return out;
        ads_int32 n = 0;
        acedSSLength(ss, &n);
        for (ads_int32 i = 0; i < n; ++i) {
            ads_name e;
            acedSSName(ss, i, e);
            out.push_back(static_cast<std::uint64_t>(e[0]));
        }
        acedSSFree(ss);
        return out;
    }
    // The same by walking model space with the geometric tests.
    static Handles walked(bool crossing, double x0, double y0, double x1, double y1)
    {
        AcDbExtents w;
        w.addPoint(pt(x0, y0));
        w.addPoint(pt(x1, y1));
        Handles out;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db())->entityIds()) {
            if (!id.isValid() || id.isErased())
                continue;
            const auto* e = dynamic_cast<const AcDbEntity*>(AcDbInternals::stub(id)->object.get());
            if (e && (crossing ? host::entityCrossesWindow(*e, w) : host::entityInsideWindow(*e, w)))
                out.push_back(id.handle());
        }
        return out;
    }
    // Both modes over one window agree with the walk; returns how many the
    // crossing took (so that callers can see the checks are not vacuous).
    static std::size_t expectSameAsWalk(double x0, double y0, double x1, double y1, const std::string& when)
    {
        const Handles c = walked(true, x0, y0, x1, y1);
        EXPECT_EQ(selected(L"C", x0, y0, x1, y1), c)
            << when << ": crossing " << x0 << "," << y0 << " " << x1 << "," << y1;
        EXPECT_EQ(selected(L"W", x0, y0, x1, y1), walked(false, x0, y0, x1, y1))
            << when << ": window " << x0 << "," << y0 << " " << x1 << "," << y1;
        return c.size();
    }
    static AcDbExtents extentsOf(const AcDbObjectId& id)
    {
        AcDbExtents ext;
        static_cast<const AcDbEntity*>(AcDbInternals::stub(id)->object.get())->getGeomExtents(ext);
        return ext;
    }
};

// ---------------------------------------------------------------- random edits

TEST_F(SpatialIndexTest, RandomEditsKeepWindowsAndCrossingsEqualToAFullWalk)
{
    std::mt19937 rng(20240611);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };

    AcDbBlockTableRecord* sym = defineBlock("SYM", {new AcDbCircle(pt(0, 0), AcGeVector3d::kZAxis, 2),
                                                    new AcDbLine(pt(-3, 0), pt(3, 0))});
    AcDbBlockTableRecord* outer = defineBlock("OUTER", {new AcDbLine(pt(0, 0), pt(0, 6))});
    add(new AcDbBlockReference(pt(0, 6), sym->objectId()), outer);

    std::vector<AcDbObjectId> ids;
    auto addRandom = [&] {
        const double x = uniform(0, 300), y = uniform(0, 300);
        AcDbEntity* e = nullptr;
        switch (pick(9)) {
        case 0:
            e = new AcDbLine(pt(x, y), pt(x + uniform(-40, 40), y + uniform(-40, 40)));
            break;
        case 1: {
            auto* pl = new AcDbPolyline();
            for (unsigned i = 0; i < 4; ++i)
                pl->addVertexAt(i, AcGePoint2d(x + uniform(-20, 20), y + uniform(-20, 20)), i == 1 ? 0.7 : 0.0);
            e = pl;
            break;
        }
        case 2:
            e = new AcDbCircle(pt(x, y), AcGeVector3d::kZAxis, uniform(0.5, 30));
            break;
        case 3:
            e = new AcDbArc(pt(x, y), uniform(1, 20), uniform(0, 6), uniform(0, 6));
            break;
        case 4:
        case 5: {
            auto* ref = new AcDbBlockReference(pt(x, y), (pick(2) ? sym : outer)->objectId());
            ref->setRotation(uniform(0, 6));
            e = ref;
            break;
        }
        case 6:
            e = new AcDbPoint(pt(x, y));
            break;
        case 7:
            e = new AcDbLine(pt(x, y), pt(x, y));
            break;
        default:
            // Now and then something far larger than the windows.
            e = new AcDbLine(pt(x - 1e6, y), pt(x + 1e6, y + uniform(-5, 5)));
            break;
        }
        ids.push_back(add(e));
    };
    auto someLive = [&]() -> AcDbObjectId {
        for (int tries = 0; tries < 20 && !ids.empty(); ++tries) {
            const AcDbObjectId id = ids[pick(ids.size())];
            if (id.isValid() && !id.isErased())
                return id;
        }
        return AcDbObjectId();
    };

    for (int i = 0; i < 60; ++i)
        addRandom();

    std::size_t taken = 0;
    for (int step = 0; step < 400; ++step) {
        const std::string when = "step " + std::to_string(step);
        const AcDbObjectId id = someLive();
        switch (pick(12)) {
        case 0:
        case 1:
            addRandom();
            break;
        case 2:
            if (!id.isNull()) {
                ASSERT_EQ(acedCommand({L"_.MOVE", name(id), L"", pt(0, 0), pt(uniform(-30, 30), uniform(-30, 30))}),
                          RTNORM);
            }
            break;
        case 3:
            if (!id.isNull()) {
                AcDbEntity* e = nullptr;
                ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
                e->transformBy(AcGeMatrix3d::rotation(uniform(0, 6), AcGeVector3d::kZAxis, pt(150, 150)));
                e->close();
            }
            break;
        case 4:
            if (!id.isNull()) {
                ads_name n, ss;
                acdbGetAdsName(n, id);
                ASSERT_EQ(acedSSAdd(n, nullptr, ss), RTNORM);
                ads_matrix m = {{1, 0, 0, uniform(-50, 50)}, {0, 1, 0, uniform(-50, 50)}, {0, 0, 1, 0}, {0, 0, 0, 1}};
                acedXformSS(ss, m);
                acedSSFree(ss);
            }
            break;
        case 5:
            if (!id.isNull()) {
                ASSERT_EQ(acedCommand({L"_.ERASE", name(id), L""}), RTNORM);
            }
            break;
        case 6:
            // Erased ones come back through acdbEntDel.
            if (!ids.empty()) {
                const AcDbObjectId any = ids[pick(ids.size())];
                ads_name n;
                if (any.isValid() && acdbGetAdsName(n, any) == Acad::eOk)
                    acdbEntDel(n);
            }
            break;
        case 7:
            acedCommand({L"_.U"});
            break;
        case 8: {
            // A half-done edit rolled back.
            const AcDbUndoJournal::Mark mark = AcDbInternals::journal(*db()).mark();
            addRandom();
            if (!id.isNull()) {
                ASSERT_EQ(acedCommand({L"_.MOVE", name(id), L"", pt(0, 0), pt(7, -4)}), RTNORM);
            }
            AcDbInternals::journal(*db()).rollback(mark);
            break;
        }
        case 9: {
            // The block definitions change under their references.
            AcDbBlockTableRecord* rec = pick(2) ? sym : outer;
            if (pick(2)) {
                add(new AcDbLine(pt(uniform(-10, 10), uniform(-10, 10)), pt(uniform(-10, 10), uniform(-10, 10))), rec);
            } else if (!rec->entityIds().empty()) {
                AcDbEntity* e = nullptr;
                const AcDbObjectId part = rec->entityIds()[pick(rec->entityIds().size())];
                if (acdbOpenAcDbEntity(e, part, AcDb::kForWrite) == Acad::eOk) {
                    e->transformBy(AcGeMatrix3d::translation(AcGeVector3d(uniform(-4, 4), uniform(-4, 4), 0)));
                    e->close();
                }
            }
            break;
        }
        case 10:
            // Undo of several steps at once.
            AcDbInternals::journal(*db()).beginExplicit();
            addRandom();
            addRandom();
            if (!id.isNull()) {
                ASSERT_EQ(acedCommand({L"_.ERASE", name(id), L""}), RTNORM);
            }
            AcDbInternals::journal(*db()).endExplicit();
            if (pick(2))
                acedCommand({L"_.U"});
            break;
        default:
            // A polyline grows a vertex.
            if (!id.isNull()) {
                AcDbPolyline* pl = nullptr;
                if (acdbOpenObject(pl, id, AcDb::kForWrite) == Acad::eOk) {
                    pl->addVertexAt(pl->numVerts(), AcGePoint2d(uniform(0, 300), uniform(0, 300)));
                    pl->close();
                }
            }
            break;
        }

        for (int k = 0; k < 4; ++k) {
            const double x = uniform(-20, 320), y = uniform(-20, 320);
            taken += expectSameAsWalk(x, y, x + uniform(0, 60), y + uniform(0, 40), when);
        }
        // A window on the exact box of an entity.
        if (const AcDbObjectId target = someLive(); !target.isNull()) {
            const AcDbExtents box = extentsOf(target);
            expectSameAsWalk(box.minPoint().x, box.minPoint().y, box.maxPoint().x, box.maxPoint().y, when);
        }
        if (HasFailure())
            return;
    }
    // The whole drawing at the end.
    expectSameAsWalk(-1e7, -1e7, 1e7, 1e7, "at the end");
    EXPECT_GT(taken, 400u) << "the windows met the drawing";
}

// ---------------------------------------------------------------- sizes

TEST_F(SpatialIndexTest, HugeAndZeroSizeEntitiesAreFoundLikeAnyOther)
{
    const AcDbObjectId across = line(-1e12, 5, 1e12, 5);
    const AcDbObjectId farAway = line(1e15, 1e15, 1e15 + 10, 1e15);
    const AcDbObjectId vast = add(new AcDbCircle(pt(0, 0), AcGeVector3d::kZAxis, 1e30));
    const AcDbObjectId dot = add(new AcDbPoint(pt(3, 3)));
    const AcDbObjectId stub = line(7, 2, 7, 2);
    const AcDbObjectId small = line(1, 1, 2, 1);

    EXPECT_EQ(selected(L"C", 0, 0, 10, 10), (Handles{across.handle(), dot.handle(), stub.handle(), small.handle()}));
    EXPECT_EQ(selected(L"W", 0, 0, 10, 10), (Handles{dot.handle(), stub.handle(), small.handle()}));
    // A window of no size on a point or a zero-length line takes it.
    EXPECT_EQ(selected(L"W", 3, 3, 3, 3), Handles{dot.handle()});
    EXPECT_EQ(selected(L"C", 7, 2, 7, 2), Handles{stub.handle()});
    EXPECT_EQ(selected(L"C", 1e15 + 5, 1e15 - 1, 1e15 + 6, 1e15 + 1), Handles{farAway.handle()});
    EXPECT_EQ(selected(L"C", 1e30 - 1, -1, 1e30 + 1, 1), Handles{vast.handle()});
    EXPECT_EQ(selected(L"W", -2e30, -2e30, 2e30, 2e30).size(), 6u);

    // Moved far out and back.
    ASSERT_EQ(acedCommand({L"_.MOVE", name(dot), L"", pt(0, 0), pt(1e20, 0)}), RTNORM);
    EXPECT_EQ(selected(L"W", 0, 0, 10, 10), (Handles{stub.handle(), small.handle()}));
    EXPECT_EQ(selected(L"W", 1e20 - 1e6, -1e6, 1e20 + 1e6, 1e6), Handles{dot.handle()});
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(selected(L"W", 0, 0, 10, 10), (Handles{dot.handle(), stub.handle(), small.handle()}));
    for (double x : {-1e12, -5.0, 0.0, 2.5, 1e15})
        expectSameAsWalk(x, -3, x + 8, 8, "sizes");
}

TEST_F(SpatialIndexTest, WindowsExactlyOnAnEntitysEdgesTakeIt)
{
    const AcDbObjectId box = add(new AcDbCircle(pt(50, 50), AcGeVector3d::kZAxis, 10));
    const AcDbObjectId bar = line(100, 20, 140, 20);
    // The circle's box is 40..60 each way; a window on it holds the circle.
    EXPECT_EQ(selected(L"W", 40, 40, 60, 60), Handles{box.handle()});
    EXPECT_EQ(selected(L"W", 40.001, 40, 60, 60), Handles{});
    // A crossing window touching the circle at its rightmost point only.
    EXPECT_EQ(selected(L"C", 60, 45, 70, 55), Handles{box.handle()});
    EXPECT_EQ(selected(L"C", 60.001, 45, 70, 55), Handles{});
    // Windows within the selection tests' tolerance of an edge or a point.
    EXPECT_EQ(selected(L"C", 60 + 1e-8, 45, 70, 55), Handles{box.handle()});
    const AcDbObjectId dot = add(new AcDbPoint(pt(80, 80)));
    EXPECT_EQ(selected(L"W", 80 + 1e-8, 80 + 1e-8, 81, 81), Handles{dot.handle()});
    expectSameAsWalk(60 + 1e-8, 45, 70, 55, "tolerance");
    // A window of no height along the line, and one ending at its end.
    EXPECT_EQ(selected(L"W", 100, 20, 140, 20), Handles{bar.handle()});
    EXPECT_EQ(selected(L"C", 140, 10, 150, 30), Handles{bar.handle()});
    EXPECT_EQ(selected(L"C", 140.001, 10, 150, 30), Handles{});
    expectSameAsWalk(40, 40, 60, 60, "edges");
    expectSameAsWalk(100, 20, 140, 20, "edges");
}

// ---------------------------------------------------------------- changes

TEST_F(SpatialIndexTest, AnEntityOpenForWriteIsSeenWhereItIsAtEachSelection)
{
    const AcDbObjectId id = line(0, 0, 10, 0);
    EXPECT_EQ(selected(L"C", 4, -1, 6, 1), Handles{id.handle()});
    AcDbLine* l = nullptr;
    ASSERT_EQ(acdbOpenObject(l, id, AcDb::kForWrite), Acad::eOk);
    l->setStartPoint(pt(100, 100));
    l->setEndPoint(pt(110, 100));
    EXPECT_EQ(selected(L"C", 4, -1, 6, 1), Handles{});
    EXPECT_EQ(selected(L"C", 104, 99, 106, 101), Handles{id.handle()});
    // Changed again before it is closed.
    l->setStartPoint(pt(200, 0));
    l->setEndPoint(pt(210, 0));
    l->close();
    EXPECT_EQ(selected(L"C", 104, 99, 106, 101), Handles{});
    EXPECT_EQ(selected(L"C", 204, -1, 206, 1), Handles{id.handle()});
}

TEST_F(SpatialIndexTest, ReferencesFollowTheirBlocksThroughNesting)
{
    AcDbBlockTableRecord* inner = defineBlock("INNER", {new AcDbLine(pt(0, 0), pt(1, 0))});
    AcDbBlockTableRecord* outer = defineBlock("OUTER", {});
    add(new AcDbBlockReference(pt(0, 0), inner->objectId()), outer);
    const AcDbObjectId ref = add(new AcDbBlockReference(pt(1000, 0), outer->objectId()));
    const AcDbObjectId direct = add(new AcDbBlockReference(pt(0, 1000), inner->objectId()));
    EXPECT_EQ(selected(L"C", 999, -1, 1001, 1), Handles{ref.handle()});
    EXPECT_EQ(selected(L"C", 1049, 49, 1051, 51), Handles{});

    // The inner block grows a line out to (50,50): both references reach it.
    add(new AcDbLine(pt(0, 0), pt(50, 50)), inner);
    EXPECT_EQ(selected(L"C", 1049, 49, 1051, 51), Handles{ref.handle()});
    EXPECT_EQ(selected(L"C", 49, 1049, 51, 1051), Handles{direct.handle()});
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(selected(L"C", 1049, 49, 1051, 51), Handles{});
    EXPECT_EQ(selected(L"C", 49, 1049, 51, 1051), Handles{});

    // A block defined after its reference was made.
    AcDbBlockTableRecord* late = defineBlock("LATE", {});
    const AcDbObjectId early = add(new AcDbBlockReference(pt(500, 500), late->objectId()));
    EXPECT_EQ(selected(L"C", 400, 400, 600, 600), Handles{});
    add(new AcDbCircle(pt(0, 0), AcGeVector3d::kZAxis, 5), late);
    EXPECT_EQ(selected(L"C", 504, 499, 506, 501), Handles{early.handle()});

    // Erasing the definition's only entity takes the reference out of windows.
    const AcDbObjectId circle = late->entityIds().front();
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, circle, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
    EXPECT_EQ(selected(L"C", 504, 499, 506, 501), Handles{});
    for (double x : {-5.0, 995.0, 495.0})
        expectSameAsWalk(x, -5, x + 60, 1060, "blocks");
}

TEST_F(SpatialIndexTest, SelectionsComeInDrawingOrderAfterUndoAndReading)
{
    // Sizes spread over many grid levels, drawn in a mixed order.
    std::vector<AcDbObjectId> ids;
    for (int i = 0; i < 40; ++i) {
        const double len = std::ldexp(0.01, (i * 7) % 23);
        ids.push_back(line(5 - len / 2, 5 + i * 0.01, 5 + len / 2, 5 + i * 0.01));
    }
    Handles all;
    for (const AcDbObjectId& id : ids)
        all.push_back(id.handle());
    EXPECT_EQ(selected(L"C", 4, 4, 6, 6), all);

    // Undo the last additions: the rest keep their order.
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    all.resize(all.size() - 2);
    EXPECT_EQ(selected(L"C", 4, 4, 6, 6), all);
    const AcDbObjectId later = line(4.5, 5, 5.5, 5);
    all.push_back(later.handle());
    EXPECT_EQ(selected(L"C", 4, 4, 6, 6), all);

    // A drawing read over the current one replaces what the index knew.
    AcDbDatabase other;
    AcDbObjectId a, b;
    AcDbInternals::modelSpace(other)->appendAcDbEntity(a, new AcDbLine(pt(300, 300), pt(310, 300)));
    AcDbInternals::modelSpace(other)->appendAcDbEntity(b, new AcDbCircle(pt(305, 300), AcGeVector3d::kZAxis, 1));
    ASSERT_EQ(db()->readDxfText(other.dxfOut(), "other.dxf"), Acad::eOk);
    EXPECT_EQ(selected(L"C", 4, 4, 6, 6), Handles{});
    EXPECT_EQ(selected(L"C", 300, 299, 310, 301).size(), 2u);
    EXPECT_EQ(expectSameAsWalk(300, 299, 310, 301, "read"), 2u);
}

} // namespace
