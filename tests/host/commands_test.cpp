// The command interpreter (acedCommand and commands typed at the command
// line), tracking input (acedGrRead, acedDragGen), temporary graphics and
// acedFindFile. A command that does not end normally leaves the drawing as
// it was, which is seen as the same DXF text (only the handle seed may have
// grown).
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/commands.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/render/overlay.h"
#include "host/render/svg.h"
#include "host/tempgraphics.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <regex>
#include <stdexcept>

namespace {

std::string g_out;

std::string withoutSeed(const std::string& dxf)
{
    return std::regex_replace(dxf, std::regex("\\$HANDSEED\n  5\n[0-9A-F]+\n"), "$HANDSEED\n");
}

using Lines = testutil::ScriptLines;

AcGePoint3d pt(double x, double y)
{
    return AcGePoint3d(x, y, 0);
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_out.clear();
        host::setOutput([](const std::string& s) { g_out += s; });
        acDocManager->newDocument();
        AcDbInternals::journal(*db()).clear();
    }
    void TearDown() override
    {
        host::setLineSource(nullptr);
        host::setEventHandler(nullptr);
        host::setOutput(nullptr);
        acDocManager->closeAll();
    }
    static AcDbDatabase* db() { return acdbCurDwg(); }
    static std::string text() { return withoutSeed(db()->dxfOut()); }
    void feed(std::deque<std::string> lines)
    {
        m_lines = std::make_unique<Lines>(std::move(lines));
        host::setLineSource(m_lines.get());
    }
    // The entities of model space that are not erased.
    static std::vector<AcDbEntity*> live()
    {
        std::vector<AcDbEntity*> out;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db())->entityIds())
            if (!id.isErased())
                out.push_back(static_cast<AcDbEntity*>(AcDbInternals::stub(id)->object.get()));
        return out;
    }
    static AcDbEntity* entity(const AcDbObjectId& id) { return static_cast<AcDbEntity*>(AcDbInternals::stub(id)->object.get()); }
    static AcDbObjectId add(AcDbEntity* e)
    {
        e->setDatabaseDefaults(db());
        AcDbObjectId id;
        EXPECT_EQ(AcDbInternals::modelSpace(*db())->appendAcDbEntity(id, e), Acad::eOk);
        return id;
    }
    static AcCmdArg name(const AcDbObjectId& id)
    {
        ads_name n;
        acdbGetAdsName(n, id);
        return AcCmdArg::ename(n);
    }
    static AcCmdArg pickAt(const AcDbObjectId& id, double x, double y)
    {
        ads_name n;
        acdbGetAdsName(n, id);
        ads_point p = {x, y, 0};
        return AcCmdArg::pick(n, p);
    }
    static AcDbObjectId addLayer(const char* layerName)
    {
        auto* layer = new AcDbLayerTableRecord();
        layer->setName(layerName);
        AcDbObjectId id;
        EXPECT_EQ(db()->addSymbolTableRecord(id, layer), Acad::eOk);
        return id;
    }
    static void setXData(const AcDbObjectId& id, const ACHAR* value)
    {
        db()->registerApp("IDPOINT");
        resbuf* xd = acutBuildList(1001, L"IDPOINT", 1000, value, 0);
        AcDbObject* o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
        o->setXData(xd);
        o->close();
        acutRelRb(xd);
    }
    static std::wstring xdataText(const AcDbEntity* e)
    {
        resbuf* xd = e->xData(L"IDPOINT");
        std::wstring s;
        for (resbuf* p = xd; p; p = p->rbnext)
            if (p->restype == 1000)
                s = p->resval.rstring;
        acutRelRb(xd);
        return s;
    }
    static std::vector<AcGePoint2d> vertices(const AcDbEntity* e)
    {
        std::vector<AcGePoint2d> out;
        auto* pl = dynamic_cast<const AcDbPolyline*>(e);
        for (unsigned i = 0; pl && i < pl->numVerts(); ++i) {
            AcGePoint2d p;
            pl->getPointAt(i, p);
            out.push_back(p);
        }
        return out;
    }
    std::unique_ptr<Lines> m_lines;
};

// ---------------------------------------------------------------- PLINE

TEST_F(CommandsTest, PlineWithConstantWidthTakesCurrentLayerAndColour)
{
    addLayer("WIRE");
    resbuf rb{};
    rb.restype = RTSTR;
    rb.resval.rstring = const_cast<ACHAR*>(L"WIRE");
    ASSERT_EQ(acedSetVar(L"CLAYER", &rb), RTNORM);
    ASSERT_EQ(acedCommand({L"_.COLOR", L"3"}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.PLINE", pt(0, 0), L"W", 0.5, 0.5, pt(10, 0), L"10,5", L""}), RTNORM);
    auto ents = live();
    ASSERT_EQ(ents.size(), 1u);
    auto* pl = dynamic_cast<AcDbPolyline*>(ents[0]);
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(pl->dxfName(), "LWPOLYLINE");
    EXPECT_EQ(vertices(pl), (std::vector<AcGePoint2d>{{0, 0}, {10, 0}, {10, 5}}));
    EXPECT_FALSE(pl->hasVertexWidths());
    double w = 0;
    ASSERT_EQ(pl->getConstantWidth(w), Acad::eOk);
    EXPECT_EQ(w, 0.5);
    EXPECT_FALSE(pl->isClosed());
    EXPECT_EQ(pl->layerName(), "WIRE");
    EXPECT_EQ(pl->colorIndex(), 3);

    // "C" closes (relative points typed as text too).
    ASSERT_EQ(acedCommand({L"PLINE", pt(20, 0), L"@5,0", L"@0,5", L"C"}), RTNORM);
    ents = live();
    ASSERT_EQ(ents.size(), 2u);
    EXPECT_TRUE(static_cast<AcDbPolyline*>(ents[1])->isClosed());
    EXPECT_EQ(vertices(ents[1]), (std::vector<AcGePoint2d>{{20, 0}, {25, 0}, {25, 5}}));
}

TEST_F(CommandsTest, PlineWidthsVaryPerSegment)
{
    ASSERT_EQ(acedCommand({L"_.PLINE", pt(0, 0), L"W", 0, 2, pt(10, 0), L"_W", 1.0, L"", pt(10, 10), L""}), RTNORM);
    auto ents = live();
    ASSERT_EQ(ents.size(), 1u);
    auto* pl = static_cast<AcDbPolyline*>(ents[0]);
    ASSERT_EQ(pl->numVerts(), 3u);
    double s = -1, e = -1;
    pl->getWidthsAt(0, s, e);
    EXPECT_EQ(s, 0.0);
    EXPECT_EQ(e, 2.0);
    pl->getWidthsAt(1, s, e);
    EXPECT_EQ(s, 1.0);
    EXPECT_EQ(e, 1.0);
}

TEST_F(CommandsTest, PlineThatIsNotFinishedLeavesNothing)
{
    add(new AcDbLine(pt(0, 0), pt(1, 1)));
    AcDbInternals::journal(*db()).clear();
    const std::string before = text();
    // A single point draws nothing.
    EXPECT_EQ(acedCommand({L"_.PLINE", pt(0, 0), L""}), RTNORM);
    EXPECT_EQ(text(), before);
    // An unknown option.
    EXPECT_EQ(acedCommand({L"_.PLINE", pt(0, 0), pt(5, 0), L"Q"}), RTREJ);
    EXPECT_EQ(text(), before);
    EXPECT_NE(g_out.find("需要点或选项关键字。"), std::string::npos) << g_out;
    // The arguments end while PLINE still asks.
    EXPECT_EQ(acedCommand({L"_.PLINE", pt(0, 0), pt(5, 0), pt(5, 5)}), RTCAN);
    EXPECT_EQ(text(), before);
    EXPECT_EQ(live().size(), 1u);
    // Unknown commands and non-string command names.
    EXPECT_EQ(acedCommand({L"_.FROB"}), RTREJ);
    EXPECT_EQ(acedCommand({1.0}), RTREJ);
    EXPECT_EQ(text(), before);
}

// ---------------------------------------------------------------- LINE

TEST_F(CommandsTest, LineDrawsFromPointToPointAndTakesLinesBack)
{
    ASSERT_EQ(acedCommand({L"_.LINE", pt(0, 0), pt(10, 0), L"@0,5", L"U", pt(20, 0), L""}), RTNORM);
    auto ents = live();
    ASSERT_EQ(ents.size(), 2u);
    auto* a = dynamic_cast<AcDbLine*>(ents[0]);
    auto* b = dynamic_cast<AcDbLine*>(ents[1]);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->startPoint(), pt(0, 0));
    EXPECT_EQ(a->endPoint(), pt(10, 0));
    // The line to 10,5 was taken back: the next one starts where it did.
    EXPECT_EQ(b->startPoint(), pt(10, 0));
    EXPECT_EQ(b->endPoint(), pt(20, 0));
    // Nothing to take back: the reply is refused.
    EXPECT_EQ(acedCommand({L"LINE", pt(0, 0), L"U", L""}), RTREJ);
    EXPECT_NE(g_out.find("没有可放弃的直线。"), std::string::npos) << g_out;
    EXPECT_EQ(live().size(), 2u);
    // One command, one U.
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_TRUE(live().empty());
}

// ---------------------------------------------------------------- INSERT

TEST_F(CommandsTest, InsertOfADefinedBlock)
{
    auto* block = new AcDbBlockTableRecord();
    block->setName("SYM");
    AcDbObjectId blockId;
    ASSERT_EQ(db()->addBlockTableRecord(blockId, block), Acad::eOk);
    block->appendAcDbEntity(new AcDbCircle(AcGePoint3d(), AcGeVector3d::kZAxis, 1));
    ASSERT_EQ(acedCommand({L"_.INSERT", L"SYM", pt(5, 6), 2.0, 3, 90.0}), RTNORM);
    ASSERT_EQ(acedCommand({L"INSERT", L"sym", L"1,1", L"", L"", L""}), RTNORM);
    auto ents = live();
    ASSERT_EQ(ents.size(), 2u);
    auto* ref = dynamic_cast<AcDbBlockReference*>(ents[0]);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->blockTableRecord(), blockId);
    EXPECT_EQ(ref->position(), pt(5, 6));
    EXPECT_EQ(ref->scaleFactors().sx, 2.0);
    EXPECT_EQ(ref->scaleFactors().sy, 3.0);
    EXPECT_NEAR(ref->rotation(), kPi / 2, 1e-12);
    // Defaults: scale 1, Y as X, no rotation.
    auto* ref2 = static_cast<AcDbBlockReference*>(ents[1]);
    EXPECT_EQ(ref2->blockTableRecord(), blockId);
    EXPECT_EQ(ref2->scaleFactors().sx, 1.0);
    EXPECT_EQ(ref2->scaleFactors().sy, 1.0);
    EXPECT_EQ(ref2->rotation(), 0.0);
}

TEST_F(CommandsTest, InsertOfADrawingFileDefinesItsBlockOnce)
{
    testutil::TempDir dir;
    {
        AcDbDatabase src(true, true);
        auto* layer = new AcDbLayerTableRecord();
        layer->setName("PARTS");
        AcDbObjectId layerId;
        ASSERT_EQ(src.addSymbolTableRecord(layerId, layer), Acad::eOk);
        auto* inner = new AcDbBlockTableRecord();
        inner->setName("INNER");
        AcDbObjectId innerId;
        ASSERT_EQ(src.addBlockTableRecord(innerId, inner), Acad::eOk);
        auto* innerLine = new AcDbLine(pt(0, 0), pt(1, 0));
        inner->appendAcDbEntity(innerLine);
        ASSERT_EQ(innerLine->setLayer(L"PARTS"), Acad::eOk);
        auto* circle = new AcDbCircle(pt(2, 2), AcGeVector3d::kZAxis, 1);
        AcDbInternals::modelSpace(src)->appendAcDbEntity(circle);
        ASSERT_EQ(circle->setLayer(L"PARTS"), Acad::eOk);
        AcDbInternals::modelSpace(src)->appendAcDbEntity(new AcDbBlockReference(pt(4, 4), innerId));
        ASSERT_EQ(src.saveAs(utf8ToWide(dir.file("part.dxf")).c_str()), Acad::eOk);
    }
    std::string path = dir.file("part");
    for (char& c : path)
        if (c == '/')
            c = '\\';
    acdbHostApplicationServices()->setWorkingDatabase(db());
    ASSERT_EQ(acedCommand({L"_.INSERT", utf8ToWide(path), pt(10, 10), 1.0, 1.0, 0.0}), RTNORM) << g_out;
    AcDbBlockTableRecord* part = db()->blockRecord("part");
    ASSERT_NE(part, nullptr);
    const AcDbObjectId partId = part->objectId();
    ASSERT_EQ(part->entityIds().size(), 2u);
    EXPECT_TRUE(db()->table("LAYER")->has("PARTS"));
    AcDbBlockTableRecord* inner = db()->blockRecord("INNER");
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(inner->entityIds().size(), 1u);
    EXPECT_EQ(entity(inner->entityIds()[0])->layerName(), "PARTS");
    auto* circle = dynamic_cast<AcDbCircle*>(entity(part->entityIds()[0]));
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(circle->center(), pt(2, 2));
    EXPECT_EQ(circle->layerName(), "PARTS");
    auto* nested = dynamic_cast<AcDbBlockReference*>(entity(part->entityIds()[1]));
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->blockTableRecord(), inner->objectId());
    EXPECT_EQ(nested->blockName(), "INNER");
    // The second insert uses the block defined by the first.
    ASSERT_EQ(acedCommand({L"_.INSERT", utf8ToWide(path), pt(20, 10), L"", L"", L""}), RTNORM) << g_out;
    EXPECT_EQ(db()->blockRecord("part")->objectId(), partId);
    EXPECT_EQ(db()->blockRecord("part")->entityIds().size(), 2u);
    auto ents = live();
    ASSERT_EQ(ents.size(), 2u);
    for (AcDbEntity* e : ents)
        EXPECT_EQ(static_cast<AcDbBlockReference*>(e)->blockTableRecord(), partId);
    // The drawing saves and reads back with the new block.
    AcDbDatabase back(false, true);
    ASSERT_EQ(back.readDxfText(db()->dxfOut(), "mem"), Acad::eOk);
    ASSERT_NE(back.blockRecord("part"), nullptr);
    EXPECT_EQ(back.blockRecord("part")->entityIds().size(), 2u);
}

TEST_F(CommandsTest, InsertOfAMissingOrUnreadableDrawingChangesNothing)
{
    testutil::TempDir dir;
    testutil::writeFile(dir.file("bad.dxf"), "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\nnot a number\n");
    add(new AcDbLine(pt(0, 0), pt(1, 1)));
    AcDbInternals::journal(*db()).clear();
    const std::string before = text();
    EXPECT_EQ(acedCommand({L"_.INSERT", L"NOSUCH", pt(0, 0), 1.0, 1.0, 0.0}), RTERROR);
    EXPECT_NE(g_out.find("找不到块或图形文件“NOSUCH”"), std::string::npos) << g_out;
    EXPECT_EQ(text(), before);
    EXPECT_EQ(acedCommand({L"_.INSERT", utf8ToWide(dir.file("bad")), pt(0, 0), 1.0, 1.0, 0.0}), RTERROR);
    EXPECT_EQ(db()->blockRecord("bad"), nullptr);
    EXPECT_EQ(text(), before);
}

// ---------------------------------------------------------------- MOVE, MIRROR, ERASE, TEXT, COLOR, ZOOM

TEST_F(CommandsTest, MoveTakesEntityNamesAndSelectionSets)
{
    const AcDbObjectId a = add(new AcDbLine(pt(0, 0), pt(1, 0)));
    const AcDbObjectId b = add(new AcDbCircle(pt(5, 5), AcGeVector3d::kZAxis, 1));
    ASSERT_EQ(acedCommand({L"_.MOVE", name(a), L"", pt(0, 0), pt(2, 3)}), RTNORM);
    EXPECT_EQ(static_cast<AcDbLine*>(entity(a))->startPoint(), pt(2, 3));
    EXPECT_EQ(static_cast<AcDbCircle*>(entity(b))->center(), pt(5, 5));
    ads_name na, nb, ss;
    acdbGetAdsName(na, a);
    acdbGetAdsName(nb, b);
    ASSERT_EQ(acedSSAdd(na, nullptr, ss), RTNORM);
    ASSERT_EQ(acedSSAdd(nb, ss, ss), RTNORM);
    // A single point with Enter is the displacement.
    ASSERT_EQ(acedCommand({L"_.MOVE", AcCmdArg::selectionSet(ss), L"", L"1,1", L""}), RTNORM);
    acedSSFree(ss);
    EXPECT_EQ(static_cast<AcDbLine*>(entity(a))->startPoint(), pt(3, 4));
    EXPECT_EQ(static_cast<AcDbCircle*>(entity(b))->center(), pt(6, 6));
    // The same from a result-buffer chain, the entity given as a pick.
    ads_point at = {3, 4, 0}, by = {1, 0, 0};
    resbuf* args = acutBuildList(RTSTR, L"_.MOVE", RTLB, RTENAME, na, RTPOINT, at, RTLE, RTSTR, L"", RT3DPOINT, by,
                                 RTSTR, L"", 0);
    EXPECT_EQ(acedCmd(args), RTNORM);
    acutRelRb(args);
    EXPECT_EQ(static_cast<AcDbLine*>(entity(a))->startPoint(), pt(4, 4));
}

TEST_F(CommandsTest, MoveThatWouldOverflowMovesNothing)
{
    // The displacement is finite for the first line but takes the second
    // past the largest double: neither moves.
    const AcDbObjectId a = add(new AcDbLine(pt(0, 0), pt(1, 0)));
    const AcDbObjectId b = add(new AcDbLine(pt(1e308, 0), pt(1.5e308, 0)));
    const std::string before = text();
    ads_name na, nb, ss;
    acdbGetAdsName(na, a);
    acdbGetAdsName(nb, b);
    ASSERT_EQ(acedSSAdd(na, nullptr, ss), RTNORM);
    ASSERT_EQ(acedSSAdd(nb, ss, ss), RTNORM);
    EXPECT_EQ(acedCommand({L"_.MOVE", AcCmdArg::selectionSet(ss), L"", pt(0, 0), pt(1e308, 0)}), RTERROR);
    EXPECT_NE(g_out.find("无法变换对象。"), std::string::npos) << g_out;
    EXPECT_EQ(text(), before);
    // A displacement that is no number at all: the same.
    g_out.clear();
    EXPECT_EQ(acedCommand({L"_.MOVE", AcCmdArg::selectionSet(ss), L"", pt(-1e308, 0), pt(1e308, 0)}), RTERROR);
    EXPECT_NE(g_out.find("无法变换对象。"), std::string::npos) << g_out;
    acedSSFree(ss);
    EXPECT_EQ(text(), before);
}

TEST_F(CommandsTest, MirrorCopiesWithExtendedDataAndMayEraseTheSource)
{
    const AcDbObjectId a = add(new AcDbLine(pt(1, 0), pt(3, 2)));
    setXData(a, L"K1");
    ASSERT_EQ(acedCommand({L"_.MIRROR", name(a), L"", pt(0, 0), pt(0, 10), L"N"}), RTNORM);
    auto ents = live();
    ASSERT_EQ(ents.size(), 2u);
    EXPECT_EQ(ents[0], entity(a));
    auto* copy = dynamic_cast<AcDbLine*>(ents[1]);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->startPoint(), pt(-1, 0));
    EXPECT_EQ(copy->endPoint(), pt(-3, 2));
    EXPECT_EQ(xdataText(copy), L"K1");

    ASSERT_EQ(acedCommand({L"_.MIRROR", name(a), L"", pt(0, 0), pt(10, 0), L"Y"}), RTNORM);
    EXPECT_TRUE(a.isErased());
    ents = live();
    ASSERT_EQ(ents.size(), 2u);
    auto* flipped = static_cast<AcDbLine*>(ents[1]);
    EXPECT_EQ(flipped->endPoint(), pt(3, -2));
    EXPECT_EQ(xdataText(flipped), L"K1");

    // "L" is the last entity: the flipped copy.
    ASSERT_EQ(acedCommand({L"_.ERASE", L"L", L""}), RTNORM);
    ASSERT_EQ(live().size(), 1u);
    EXPECT_EQ(live()[0], ents[0]);
    ASSERT_EQ(acedCommand({L"_.ERASE", name(live()[0]->objectId()), L""}), RTNORM);
    EXPECT_TRUE(live().empty());
}

TEST_F(CommandsTest, TextPlainAndJustified)
{
    ASSERT_EQ(acedCommand({L"_.TEXT", pt(1, 2), 3.0, 0.0, L"hello world"}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.TEXT", L"J", L"M", pt(10, 10), L"", 90.0, L"mid"}), RTNORM);
    auto ents = live();
    ASSERT_EQ(ents.size(), 2u);
    auto* t = dynamic_cast<AcDbText*>(ents[0]);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->textString(), L"hello world");
    EXPECT_EQ(t->position(), pt(1, 2));
    EXPECT_EQ(t->height(), 3.0);
    EXPECT_TRUE(t->isDefaultAlignment());
    auto* m = static_cast<AcDbText*>(ents[1]);
    EXPECT_EQ(m->textString(), L"mid");
    EXPECT_EQ(m->horizontalMode(), AcDb::kTextMid);
    EXPECT_EQ(m->alignmentPoint(), pt(10, 10));
    EXPECT_NEAR(m->rotation(), kPi / 2, 1e-12);
    EXPECT_GT(m->height(), 0.0);
}

TEST_F(CommandsTest, ColorByNumberOrNameAppliesToTheNextEntity)
{
    ASSERT_EQ(acedCommand({L"_.COLOR", L"blue", L"_.PLINE", pt(0, 0), pt(1, 0), L""}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.COLOR", 1, L"_.PLINE", pt(0, 1), pt(1, 1), L""}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.COLOR", L"BYLAYER", L"_.PLINE", pt(0, 2), pt(1, 2), L""}), RTNORM);
    EXPECT_EQ(acedCommand({L"_.COLOR", L"300"}), RTREJ);
    auto ents = live();
    ASSERT_EQ(ents.size(), 3u);
    EXPECT_EQ(ents[0]->colorIndex(), 5);
    EXPECT_EQ(ents[1]->colorIndex(), 1);
    EXPECT_EQ(ents[2]->colorIndex(), 256);
}

TEST_F(CommandsTest, ZoomWindowSetsTheView)
{
    ASSERT_EQ(acedCommand({L"_.ZOOM", L"W", pt(0, 0), pt(100, 30)}), RTNORM);
    resbuf ctr{}, size{};
    ASSERT_EQ(acedGetVar(L"VIEWCTR", &ctr), RTNORM);
    ASSERT_EQ(acedGetVar(L"VIEWSIZE", &size), RTNORM);
    EXPECT_EQ(ctr.resval.rpoint[0], 50.0);
    EXPECT_EQ(ctr.resval.rpoint[1], 15.0);
    EXPECT_EQ(size.restype, RTREAL);
    // 100 wide in a 4:3 screen is 75 high.
    EXPECT_DOUBLE_EQ(size.resval.rreal, 75.0);
    ASSERT_EQ(acedCommand({L"_.ZOOM", pt(10, 10), pt(20, 50)}), RTNORM);
    acedGetVar(L"VIEWSIZE", &size);
    EXPECT_DOUBLE_EQ(size.resval.rreal, 40.0);
}

// ---------------------------------------------------------------- TRIM

class TrimTest : public CommandsTest {
protected:
    static void expectNear(const std::vector<AcGePoint2d>& got, const std::vector<AcGePoint2d>& want)
    {
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].x, want[i].x, 1e-9) << i;
            EXPECT_NEAR(got[i].y, want[i].y, 1e-9) << i;
        }
    }
    void SetUp() override
    {
        CommandsTest::SetUp();
        auto* box = new AcDbPolyline();
        box->addVertexAt(0, AcGePoint2d(0, 0));
        box->addVertexAt(1, AcGePoint2d(10, 0));
        box->addVertexAt(2, AcGePoint2d(10, 10));
        box->addVertexAt(3, AcGePoint2d(0, 10));
        box->setClosed(true);
        boxId = add(box);
        addLayer("WIRE");
    }
    AcDbObjectId wire(std::vector<AcGePoint2d> pts, double width)
    {
        auto* pl = new AcDbPolyline();
        for (unsigned i = 0; i < pts.size(); ++i)
            pl->addVertexAt(i, pts[i]);
        pl->setConstantWidth(width);
        const AcDbObjectId id = add(pl);
        EXPECT_EQ(pl->setLayer(L"WIRE"), Acad::eOk);
        pl->setColorIndex(4);
        setXData(id, L"W1");
        return id;
    }
    int trim(const AcDbObjectId& id) { return acedCommand({L"_.TRIM", name(boxId), L"", pickAt(id, 5, 5), L""}); }
    AcDbObjectId boxId;
};

TEST_F(TrimTest, WireCrossingTheBoxIsSplitInTwo)
{
    const AcDbObjectId w = wire({{-5, 5}, {15, 5}, {15, 20}}, 0.4);
    ASSERT_EQ(trim(w), RTNORM) << g_out;
    auto ents = live();
    ASSERT_EQ(ents.size(), 3u);
    EXPECT_EQ(vertices(entity(w)), (std::vector<AcGePoint2d>{{-5, 5}, {0, 5}}));
    auto* second = dynamic_cast<AcDbPolyline*>(ents[2]);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->objectId(), w);
    EXPECT_EQ(vertices(second), (std::vector<AcGePoint2d>{{10, 5}, {15, 5}, {15, 20}}));
    for (AcDbEntity* e : {entity(w), static_cast<AcDbEntity*>(second)}) {
        double width = 0;
        ASSERT_EQ(static_cast<AcDbPolyline*>(e)->getConstantWidth(width), Acad::eOk);
        EXPECT_EQ(width, 0.4);
        EXPECT_EQ(e->layerName(), "WIRE");
        EXPECT_EQ(e->colorIndex(), 4);
        EXPECT_EQ(xdataText(e), L"W1");
    }
    // The box itself is untouched.
    EXPECT_EQ(vertices(entity(boxId)).size(), 4u);
    EXPECT_TRUE(static_cast<AcDbPolyline*>(entity(boxId))->isClosed());
}

TEST_F(TrimTest, PiecesKeepTheWidthsOfTheirSegments)
{
    auto* pl = new AcDbPolyline();
    pl->addVertexAt(0, AcGePoint2d(-5, 5), 0.0, 1.0, 2.0);
    pl->addVertexAt(1, AcGePoint2d(-2, 5), 0.0, 3.0, 3.0);
    pl->addVertexAt(2, AcGePoint2d(15, 5), 0.0, 0.0, 4.0);
    pl->addVertexAt(3, AcGePoint2d(15, 9), 0.0, 5.0, 5.0);
    const AcDbObjectId w = add(pl);
    ASSERT_EQ(trim(w), RTNORM) << g_out;
    auto ents = live();
    ASSERT_EQ(ents.size(), 3u);
    expectNear(vertices(entity(w)), {{-5, 5}, {-2, 5}, {0, 5}});
    auto widths = [](const AcDbEntity* e) {
        std::vector<std::pair<double, double>> out;
        auto* p = static_cast<const AcDbPolyline*>(e);
        for (unsigned i = 0; i + 1 < p->numVerts(); ++i) {
            double s = 0, t = 0;
            p->getWidthsAt(i, s, t);
            out.emplace_back(s, t);
        }
        return out;
    };
    EXPECT_EQ(widths(entity(w)), (std::vector<std::pair<double, double>>{{1, 2}, {3, 3}}));
    expectNear(vertices(ents[2]), {{10, 5}, {15, 5}, {15, 9}});
    EXPECT_EQ(widths(ents[2]), (std::vector<std::pair<double, double>>{{3, 3}, {0, 4}}));
}

TEST_F(TrimTest, WireLeavingTheBoxIsCutBackToTheEdge)
{
    const AcDbObjectId w = wire({{5, 5}, {5, 20}, {12, 20}}, 0);
    ASSERT_EQ(trim(w), RTNORM) << g_out;
    EXPECT_EQ(live().size(), 2u);
    EXPECT_EQ(vertices(entity(w)), (std::vector<AcGePoint2d>{{5, 10}, {5, 20}, {12, 20}}));
    EXPECT_EQ(xdataText(entity(w)), L"W1");
}

TEST_F(TrimTest, WireInsideTheBoxIsLeftAlone)
{
    const AcDbObjectId w = wire({{3, 5}, {7, 5}}, 0.4);
    AcDbInternals::journal(*db()).clear();
    const std::string before = text();
    EXPECT_EQ(trim(w), RTNORM);
    EXPECT_EQ(text(), before);
    EXPECT_NE(g_out.find("对象未与剪切边相交。"), std::string::npos) << g_out;
}

TEST_F(TrimTest, LineIsSplitOrCutBack)
{
    auto* l = new AcDbLine(AcGePoint3d(-5, 5, 0), AcGePoint3d(15, 5, 0));
    const AcDbObjectId a = add(l);
    const AcDbObjectId b = add(new AcDbLine(AcGePoint3d(5, 5, 0), AcGePoint3d(5, -5, 0)));
    ASSERT_EQ(acedCommand({L"_.TRIM", name(boxId), L"", pickAt(a, 5, 5), pickAt(b, 5, 4), L""}), RTNORM);
    auto ents = live();
    ASSERT_EQ(ents.size(), 4u);
    auto* first = static_cast<AcDbLine*>(entity(a));
    EXPECT_EQ(first->startPoint(), pt(-5, 5));
    EXPECT_EQ(first->endPoint(), pt(0, 5));
    auto* cut = static_cast<AcDbLine*>(entity(b));
    EXPECT_EQ(cut->startPoint(), pt(5, 0));
    EXPECT_EQ(cut->endPoint(), pt(5, -5));
    auto* second = dynamic_cast<AcDbLine*>(ents[3]);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->startPoint(), pt(10, 5));
    EXPECT_EQ(second->endPoint(), pt(15, 5));
}

// ---------------------------------------------------------------- CMDECHO

// Commands an application runs while CMDECHO is 0 say nothing: no prompts,
// no notes such as the current width or a trim that found nothing to cut;
// only a command that fails says why.
TEST_F(TrimTest, CommandsRunWithCmdechoZeroPrintNothing)
{
    resbuf off{};
    off.restype = RTSHORT;
    off.resval.rint = 0;
    ASSERT_EQ(acedSetVar(L"CMDECHO", &off), RTNORM);
    const AcDbObjectId inside = wire({{3, 5}, {7, 5}}, 0.4);
    const AcDbObjectId across = wire({{-5, 5}, {15, 5}}, 0.4);
    ASSERT_EQ(acedCommand({L"_.Undo", L"_BEGIN", L"_.COLOR", L"3", L"_.PLINE", pt(0, 20), L"W", 0.3, 0.3, pt(5, 20),
                           L""}),
              RTNORM);
    EXPECT_EQ(trim(inside), RTNORM);
    EXPECT_EQ(trim(across), RTNORM);
    ASSERT_EQ(acedCommand({L"_.Undo", L"_End", L"_.ZOOM", pt(0, 0), pt(50, 50), L"REDRAW"}), RTNORM);
    EXPECT_EQ(live().size(), 5u);
    EXPECT_EQ(g_out, "");
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(g_out, "");
    EXPECT_EQ(live().size(), 3u);
    // A command that cannot go on still says why.
    EXPECT_EQ(acedCommand({L"_.PLINE", pt(0, 0), pt(5, 0), L"Q"}), RTREJ);
    EXPECT_NE(g_out.find("需要点或选项关键字。\n"), std::string::npos) << g_out;
    EXPECT_EQ(g_out.find("当前线宽"), std::string::npos) << g_out;
}

// Typed by the user, commands show their prompts and notes whatever
// CMDECHO says; the width PLINE shows is the one the last polyline was
// drawn with.
TEST_F(TrimTest, TypedCommandsShowPromptsAndTheCurrentWidth)
{
    for (const short echo : {1, 0}) {
        SCOPED_TRACE(echo);
        resbuf rb{};
        rb.restype = RTSHORT;
        rb.resval.rint = echo;
        ASSERT_EQ(acedSetVar(L"CMDECHO", &rb), RTNORM);
        ASSERT_EQ(acedCommand({L"_.PLINE", pt(0, 20), L"W", 0.3, 0.3, pt(5, 20), L""}), RTNORM);
        g_out.clear();
        feed({"0,30", "10,30", ""});
        host::executeLine("PLINE");
        EXPECT_NE(g_out.find("指定起点: 0,30\n当前线宽为 0.3000\n指定下一个点或 [半宽(H)/宽度(W)]: 10,30\n"
                             "指定下一点或 [闭合(C)/半宽(H)/放弃(U)/宽度(W)]: \n"),
                  std::string::npos)
            << g_out;
        double width = 0;
        ASSERT_EQ(static_cast<AcDbPolyline*>(live().back())->getConstantWidth(width), Acad::eOk);
        EXPECT_EQ(width, 0.3);
        // The width chosen last is the next one's.
        feed({"0,40", "W", "0.5", "", "10,40", ""});
        host::executeLine("PLINE");
        g_out.clear();
        feed({"0,50", "10,50", ""});
        host::executeLine("PLINE");
        EXPECT_NE(g_out.find("\n当前线宽为 0.5000\n"), std::string::npos) << g_out;

        const AcDbObjectId inside = wire({{3, 5}, {7, 5}}, 0.4);
        g_out.clear();
        feed({"", "5,5", ""});
        host::executeLine("TRIM");
        EXPECT_NE(g_out.find("选择剪切边...\n选择对象或 <全部选择>: \n选择要修剪的对象或 [放弃(U)]: 5,5\n"),
                  std::string::npos)
            << g_out;
        EXPECT_NE(g_out.find("对象未与剪切边相交。"), std::string::npos) << g_out;
        EXPECT_FALSE(inside.isErased());
    }
}

// ---------------------------------------------------------------- UNDO

TEST_F(CommandsTest, UndoBeginEndIsReversedByOneU)
{
    const AcDbObjectId a = add(new AcDbLine(pt(0, 0), pt(1, 0)));
    AcDbInternals::journal(*db()).clear();
    const std::string before = text();
    ASSERT_EQ(acedCommand({L"_.UNDO", L"_BEGIN", L"_.PLINE", pt(0, 0), pt(5, 0), L"", L"_.COLOR", L"RED", L"_.PLINE",
                           pt(0, 5), pt(5, 5), L"", L"_.MOVE", name(a), L"", pt(0, 0), pt(3, 3), L"_.ERASE", name(a),
                           L"", L"_.UNDO", L"_END"}),
              RTNORM);
    EXPECT_EQ(live().size(), 2u);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(text(), before);
    EXPECT_EQ(static_cast<AcDbLine*>(entity(a))->startPoint(), pt(0, 0));
}

TEST_F(CommandsTest, UndoBeginEndInsideAnOuterGroupKeepsTheGroupsAround)
{
    AcDbUndoJournal& j = AcDbInternals::journal(*db());
    const std::string s0 = text();
    j.beginGroup();
    ASSERT_EQ(acedCommand({L"_.PLINE", pt(0, 0), pt(5, 0), L""}), RTNORM);
    const std::string s1 = text();
    ASSERT_EQ(acedCommand({L"_.UNDO", L"_BEGIN", L"_.PLINE", pt(0, 1), pt(5, 1), L"", L"_.PLINE", pt(0, 2), pt(5, 2),
                           L"", L"_.UNDO", L"_END"}),
              RTNORM);
    const std::string s2 = text();
    ASSERT_EQ(acedCommand({L"_.PLINE", pt(0, 3), pt(5, 3), L""}), RTNORM);
    j.endGroup();
    EXPECT_EQ(live().size(), 4u);
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(text(), s2);
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(text(), s1);
    ASSERT_EQ(acedCommand({L"U"}), RTNORM);
    EXPECT_EQ(text(), s0);
}

TEST_F(CommandsTest, FailedCommandInsideAnExplicitGroupLeavesTheEarlierOnes)
{
    auto* box = new AcDbPolyline();
    box->addVertexAt(0, AcGePoint2d(0, 0));
    box->addVertexAt(1, AcGePoint2d(10, 0));
    box->addVertexAt(2, AcGePoint2d(10, 10));
    box->addVertexAt(3, AcGePoint2d(0, 10));
    box->setClosed(true);
    const AcDbObjectId boxId = add(box);
    auto* wire = new AcDbPolyline();
    wire->addVertexAt(0, AcGePoint2d(-5, 5));
    wire->addVertexAt(1, AcGePoint2d(15, 5));
    const AcDbObjectId w = add(wire);
    AcDbInternals::journal(*db()).clear();
    const std::string before = text();
    ASSERT_EQ(acedCommand({L"_.UNDO", L"_BEGIN", L"_.MOVE", name(w), L"", L"0,0", L"0,1", L"_.PLINE", pt(0, 20),
                           pt(5, 20), L""}),
              RTNORM);
    const std::string s1 = text();
    // TRIM changes the moved wire, then meets a reply it cannot take.
    EXPECT_EQ(acedCommand({L"_.TRIM", name(boxId), L"", pickAt(w, 5, 6), L"Q"}), RTREJ);
    EXPECT_EQ(text(), s1);
    EXPECT_EQ(vertices(entity(w)), (std::vector<AcGePoint2d>{{-5, 6}, {15, 6}}));
    ASSERT_EQ(acedCommand({L"_.UNDO", L"_END"}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(text(), before);
}

TEST_F(CommandsTest, CommandLeftByAnExceptionLeavesNoGroupOpen)
{
    // Replies for PLINE until the input itself fails half-way.
    class FailingInput : public host::CommandInput {
    public:
        bool next(const std::wstring&, AcCmdArg& reply) override
        {
            if (m_n == 2)
                throw std::runtime_error("input failed");
            reply = AcCmdArg(pt(5.0 * m_n++, 0));
            return true;
        }
        bool reject(const std::wstring&) override { return false; }

    private:
        int m_n = 0;
    };
    AcDbUndoJournal& j = AcDbInternals::journal(*db());
    {
        const AcDbUndoGroupScope call(j);
        FailingInput in;
        EXPECT_THROW(host::runCommand("PLINE", in), std::runtime_error);
        EXPECT_EQ(j.depth(), 1) << "the command's group ended, the call's is open";
    }
    EXPECT_EQ(j.depth(), 0);
    EXPECT_FALSE(j.isGroupOpen());
    // What follows is a group of its own.
    const std::string before = text();
    ASSERT_EQ(acedCommand({L"_.PLINE", pt(0, 5), pt(5, 5), L""}), RTNORM);
    ASSERT_EQ(acedCommand({L"_.U"}), RTNORM);
    EXPECT_EQ(text(), before);
}

// ---------------------------------------------------------------- typed commands

TEST_F(CommandsTest, TypedPlineAsksAgainAfterInvalidReplies)
{
    feed({"0,0", "W", "0.5", "", "xyz", "10,0", "@0,5", ""});
    host::executeLine("PLINE");
    auto ents = live();
    ASSERT_EQ(ents.size(), 1u) << g_out;
    EXPECT_EQ(vertices(ents[0]), (std::vector<AcGePoint2d>{{0, 0}, {10, 0}, {10, 5}}));
    double w = 0;
    ASSERT_EQ(static_cast<AcDbPolyline*>(ents[0])->getConstantWidth(w), Acad::eOk);
    EXPECT_EQ(w, 0.5);
    EXPECT_NE(g_out.find("xyz\n需要点或选项关键字。\n"), std::string::npos) << g_out;

    // Replies on the command's own line, then Esc.
    const std::string before = text();
    feed({"5,5", "^C"});
    host::executeLine("_pline 0,20 10,20");
    EXPECT_EQ(text(), before);
    EXPECT_EQ(live().size(), 1u);
    EXPECT_NE(g_out.find("*取消*"), std::string::npos) << g_out;
}

// ---------------------------------------------------------------- tracking input and temporary graphics

std::vector<std::string> g_events;

TEST_F(CommandsTest, GrReadGivesKeysPointerEventsAndEsc)
{
    g_events.clear();
    host::setEventHandler([](const std::string& line) {
        g_events.push_back(line);
        return true;
    });
    feed({"ab", "@move 1,2", "@click ok", "@pick 3,4", "@right", "@aux 3", "@char 8", "@menu 2", "@move 5,6", "^C"});
    int type = 0;
    resbuf rb{};
    std::vector<std::pair<int, int>> keys;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(acedGrRead(0, &type, &rb), RTNORM);
        keys.emplace_back(type, rb.resval.rint);
    }
    EXPECT_EQ(keys, (std::vector<std::pair<int, int>>{{2, 'a'}, {2, 'b'}, {2, 13}}));
    // Without track bit 1 the pointer move is skipped; the dialog line goes
    // to its handler.
    ASSERT_EQ(acedGrRead(0, &type, &rb), RTNORM);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(rb.resval.rpoint[0], 3.0);
    EXPECT_EQ(rb.resval.rpoint[1], 4.0);
    EXPECT_EQ(g_events, std::vector<std::string>{"@click ok"});
    ASSERT_EQ(acedGrRead(0, &type, &rb), RTNORM);
    EXPECT_EQ(type, 25);
    EXPECT_EQ(rb.resval.rint, 0);
    ASSERT_EQ(acedGrRead(0, &type, &rb), RTNORM);
    EXPECT_EQ(type, 11);
    EXPECT_EQ(rb.resval.rint, 3);
    ASSERT_EQ(acedGrRead(0, &type, &rb), RTNORM);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(rb.resval.rint, 8);
    ASSERT_EQ(acedGrRead(1, &type, &rb), RTNORM);
    EXPECT_EQ(type, 4);
    EXPECT_EQ(rb.resval.rint, 2);
    ASSERT_EQ(acedGrRead(1, &type, &rb), RTNORM);
    EXPECT_EQ(type, 5);
    EXPECT_EQ(rb.restype, RT3DPOINT);
    EXPECT_EQ(rb.resval.rpoint[0], 5.0);
    EXPECT_EQ(rb.resval.rpoint[1], 6.0);
    EXPECT_EQ(acedGrRead(1, &type, &rb), RTCAN);
    EXPECT_EQ(acedGrRead(1, &type, &rb), RTCAN); // the end of input
}

TEST_F(CommandsTest, GrDrawComplementsAndRedrawClears)
{
    ads_point a = {0, 0, 0}, b = {10, 5, 0}, c = {3, 3, 0};
    auto vectors = []() -> std::vector<host::TempVector>& { return host::temporaryGraphics().vectors; };
    ASSERT_EQ(acedGrDraw(a, b, -1, 0), RTNORM);
    ASSERT_EQ(acedGrDraw(a, c, 1, 0), RTNORM);
    EXPECT_EQ(vectors().size(), 2u);
    ASSERT_EQ(acedGrDraw(b, a, -1, 0), RTNORM);
    ASSERT_EQ(vectors().size(), 1u);
    EXPECT_EQ(vectors()[0].color, 1);
    ASSERT_EQ(acedRedraw(nullptr, 0), RTNORM);
    EXPECT_TRUE(vectors().empty());
    acedGrDraw(a, b, 2, 1);
    const AcDbObjectId id = add(new AcDbLine(pt(0, 0), pt(1, 1)));
    ads_name n;
    acdbGetAdsName(n, id);
    ASSERT_EQ(acedRedraw(n, 3), RTNORM);
    EXPECT_EQ(host::temporaryGraphics().highlighted.size(), 1);
    ASSERT_EQ(acedCommand({L"REDRAW"}), RTNORM);
    EXPECT_TRUE(vectors().empty());
    EXPECT_TRUE(host::temporaryGraphics().highlighted.empty());
}

ads_point g_dragged;
int g_dragCalls = 0;

int dragTo(ads_point p, ads_matrix m)
{
    ++g_dragCalls;
    g_dragged[0] = p[0];
    g_dragged[1] = p[1];
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            m[i][k] = i == k ? 1.0 : 0.0;
    return RTNORM;
}

TEST_F(CommandsTest, DragGenFollowsThePointerAndTakesPointsKeywordsAndText)
{
    const AcDbObjectId id = add(new AcDbLine(pt(0, 0), pt(1, 1)));
    ads_name n, ss;
    acdbGetAdsName(n, id);
    ASSERT_EQ(acedSSAdd(n, nullptr, ss), RTNORM);
    g_dragCalls = 0;
    feed({"@move 3,4", "@pick 5,6", "7,8", "", "b", "hello", "^C"});
    ads_point p = {0, 0, 0};
    ASSERT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTNORM);
    EXPECT_EQ(g_dragCalls, 1);
    EXPECT_EQ(g_dragged[0], 3.0);
    EXPECT_EQ(g_dragged[1], 4.0);
    EXPECT_EQ(p[0], 5.0);
    EXPECT_EQ(p[1], 6.0);
    ASSERT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTNORM);
    EXPECT_EQ(p[0], 7.0);
    EXPECT_EQ(p[1], 8.0);
    EXPECT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTNONE);
    acedInitGet(0, L"Base");
    ASSERT_EQ(acedDragGen(ss, L"\n拖动 [基点(B)]: ", 0, dragTo, p), RTKWORD);
    ACHAR kw[32];
    ASSERT_EQ(acedGetInput(kw, 32), RTNORM);
    EXPECT_STREQ(kw, L"Base");
    ASSERT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTSTR);
    ASSERT_EQ(acedGetInput(kw, 32), RTNORM);
    EXPECT_STREQ(kw, L"hello");
    EXPECT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTCAN);
    acedSSFree(ss);
}

TEST_F(CommandsTest, DragGenRefusesPointsOutOfRangeAndAsksAgain)
{
    const AcDbObjectId id = add(new AcDbLine(pt(0, 0), pt(1, 1)));
    ads_name n, ss;
    acdbGetAdsName(n, id);
    ASSERT_EQ(acedSSAdd(n, nullptr, ss), RTNORM);
    feed({"1e308,0", "@1e308,0", "1e400,1", "@-1e308,5"});
    ads_point p = {0, 0, 0};
    ASSERT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTNORM);
    EXPECT_EQ(p[0], 1e308);
    g_out.clear();
    ASSERT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTNORM);
    EXPECT_EQ(p[0], 0.0);
    EXPECT_EQ(p[1], 5.0);
    EXPECT_EQ(g_out, "拖动: @1e308,0\n点无效。\n拖动: 1e400,1\n点无效。\n拖动: @-1e308,5\n");
    acedSSFree(ss);
}

// A source like a page's: pointer moves are not echoed, and every read
// tells what the host showed while it waited.
class WatchedLines : public host::LineSource {
public:
    WatchedLines(std::deque<std::string> lines, std::function<void(const std::string&)> watch)
        : m_lines(std::move(lines)), m_watch(std::move(watch))
    {
    }
    bool readLine(std::string& line, const std::string&) override
    {
        if (m_lines.empty())
            return false;
        line = m_lines.front();
        m_lines.pop_front();
        m_watch(line);
        return true;
    }
    bool echoes() const override { return true; }
    bool echoesMoves() const override { return false; }

private:
    std::deque<std::string> m_lines;
    std::function<void(const std::string&)> m_watch;
};

TEST_F(CommandsTest, TrackingReadsSayTheyWaitAndMovesAreNotEchoedWhereTheSourceSaysSo)
{
    const AcDbObjectId id = add(new AcDbLine(pt(0, 0), pt(1, 1)));
    ads_name n, ss;
    acdbGetAdsName(n, id);
    ASSERT_EQ(acedSSAdd(n, nullptr, ss), RTNORM);
    std::vector<std::pair<std::string, bool>> reads;
    WatchedLines lines({"@move 2,3", "@move 4,4", "@pick 1,1", "@move 3,4", "@pick 5,6", "'3", "@move 9,9", "@right"},
                       [&](const std::string& line) { reads.emplace_back(line, host::trackingInputWaits()); });
    host::setLineSource(&lines);
    int type = 0;
    resbuf rb{};
    ASSERT_EQ(acedGrRead(1, &type, &rb), RTNORM);
    EXPECT_EQ(type, 5);
    // Without the track bit the move is passed over.
    ASSERT_EQ(acedGrRead(0, &type, &rb), RTNORM);
    EXPECT_EQ(type, 3);
    ads_point p = {0, 0, 0};
    ASSERT_EQ(acedDragGen(ss, L"\n拖动: ", 0, dragTo, p), RTNORM);
    EXPECT_EQ(p[0], 5.0);
    EXPECT_FALSE(host::trackingInputWaits());
    // At the command prompt a move does nothing and shows nothing; the
    // right button picks nothing there either.
    EXPECT_EQ(host::runCommandLoop(), 0);
    EXPECT_EQ(reads, (std::vector<std::pair<std::string, bool>>{{"@move 2,3", true},
                                                               {"@move 4,4", false},
                                                               {"@pick 1,1", false},
                                                               {"@move 3,4", true},
                                                               {"@pick 5,6", true},
                                                               {"'3", false},
                                                               {"@move 9,9", false},
                                                               {"@right", false}}));
    EXPECT_EQ(g_out, "@pick 1,1\n拖动: @pick 5,6\n命令: '3\n3\n命令: @right\n命令: \n");
    acedSSFree(ss);
}

TEST_F(CommandsTest, ScriptsEchoTheirMovesAndTheCommandPromptIgnoresThem)
{
    feed({"@move 9,9", "'3"});
    EXPECT_EQ(host::runCommandLoop(), 0);
    EXPECT_EQ(g_out, "命令: @move 9,9\n命令: '3\n3\n命令: \n");
}

int dragBy(ads_point p, ads_matrix m)
{
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            m[i][k] = i == k ? 1.0 : 0.0;
    m[0][3] = p[0];
    m[1][3] = p[1];
    return p[0] == 0.0 && p[1] == 0.0 ? RTNONE : RTNORM;
}

TEST_F(CommandsTest, DragGenShowsTheSelectionWhereTheCallbacksMatrixCarriesIt)
{
    const AcDbObjectId id = add(new AcDbLine(pt(0, 0), pt(1, 2)));
    add(new AcDbLine(pt(50, 50), pt(60, 60)));
    ads_name n, ss;
    acdbGetAdsName(n, id);
    ASSERT_EQ(acedSSAdd(n, nullptr, ss), RTNORM);
    std::vector<std::string> overlays;
    std::vector<bool> carried;
    WatchedLines lines({"@move 3,4", "@move 0,0", "@move 30,40", "@pick 5,6"}, [&](const std::string&) {
        overlays.push_back(render::overlaySvg());
        carried.push_back(host::temporaryGraphics().drag.moved);
    });
    host::setLineSource(&lines);
    ads_point p = {0, 0, 0};
    ASSERT_EQ(acedDragGen(ss, L"", 0, dragBy, p), RTNORM);
    ASSERT_EQ(overlays.size(), 4u);
    EXPECT_EQ(carried, (std::vector<bool>{false, true, true, true}));
    // Nothing is shown before the first move; then only the selection, in
    // drawing units under the picture's turned y; a callback that says
    // "no change" leaves it where it was.
    EXPECT_EQ(overlays[0].find("dragged"), std::string::npos);
    EXPECT_NE(overlays[1].find("class=\"dragged\""), std::string::npos);
    EXPECT_NE(overlays[1].find("x1=\"3\" y1=\"4\" x2=\"4\" y2=\"6\""), std::string::npos) << overlays[1];
    EXPECT_EQ(overlays[1].find("x1=\"53"), std::string::npos) << overlays[1];
    EXPECT_EQ(overlays[2], overlays[1]);
    EXPECT_NE(overlays[3].find("x1=\"30\" y1=\"40\" x2=\"31\" y2=\"42\""), std::string::npos) << overlays[3];
    // The drag over, nothing is shown and the entity has not moved.
    EXPECT_EQ(render::overlaySvg().find("dragged"), std::string::npos);
    EXPECT_TRUE(host::temporaryGraphics().drag.ids.isEmpty());
    EXPECT_EQ(static_cast<AcDbLine*>(entity(id))->startPoint(), pt(0, 0));
    acedSSFree(ss);
}

TEST_F(CommandsTest, OverlayShowsVectorsAndHighlightsAndThePictureLeavesOutHiddenEntities)
{
    const AcDbObjectId near = add(new AcDbLine(pt(0, 0), pt(10, 10)));
    const AcDbObjectId far = add(new AcDbLine(pt(-58000, -58000), pt(-57990, -57990)));
    ads_point a = {1, 2, 0}, b = {3, 4, 0};
    ASSERT_EQ(acedGrDraw(a, b, -1, 0), RTNORM);
    ASSERT_EQ(acedGrDraw(b, a, 1, 1), RTNORM);
    ads_name n;
    acdbGetAdsName(n, near);
    ASSERT_EQ(acedRedraw(n, 3), RTNORM);
    const std::string overlay = render::overlaySvg();
    EXPECT_NE(overlay.find("<line x1=\"1\" y1=\"-2\" x2=\"3\" y2=\"-4\" stroke=\"#000000\"/>"), std::string::npos) << overlay;
    EXPECT_NE(overlay.find("<line x1=\"3\" y1=\"-4\" x2=\"1\" y2=\"-2\" stroke=\"#ff0000\" stroke-dasharray"), std::string::npos)
        << overlay;
    EXPECT_NE(overlay.find("class=\"highlighted\""), std::string::npos);
    EXPECT_NE(overlay.find("x2=\"10\" y2=\"10\""), std::string::npos) << overlay;

    auto viewBox = [](const std::string& svg) {
        const auto at = svg.find("viewBox=\"") + 9;
        return svg.substr(at, svg.find('"', at) - at);
    };
    SvgOptions shown;
    shown.topLevel = render::shownNow();
    EXPECT_FALSE(shown.topLevel); // nothing hidden: everything is drawn
    EXPECT_NE(viewBox(renderSvg(*db())).find("-58"), std::string::npos);
    acdbGetAdsName(n, far);
    ASSERT_EQ(acedRedraw(n, 2), RTNORM);
    shown.topLevel = render::shownNow();
    const std::string picture = renderSvg(*db(), shown);
    SvgOptions nearOnly;
    nearOnly.topLevel = [&](const AcDbObjectId& id) { return id == near; };
    EXPECT_EQ(viewBox(picture), viewBox(renderSvg(*db(), nearOnly)));
    EXPECT_EQ(picture.find("57990"), std::string::npos) << picture;
    ASSERT_EQ(acedRedraw(n, 1), RTNORM);
    EXPECT_FALSE(render::shownNow());
}

// ---------------------------------------------------------------- acedFindFile

TEST_F(CommandsTest, FindFileLooksBesideTheDrawingAndFindsDxfForDwg)
{
    testutil::TempDir dir;
    testutil::writeFile(dir.file("a.dxf"), "x");
    testutil::writeFile(dir.file("B.DXF"), "x");
    ACHAR found[1024];
    ASSERT_EQ(acedFindFile(utf8ToWide(dir.file("a.dxf")).c_str(), found, 1024), RTNORM);
    EXPECT_EQ(wideToUtf8(found), dir.file("a.dxf"));
    ASSERT_EQ(acedFindFile(utf8ToWide(dir.file("a.dwg")).c_str(), found, 1024), RTNORM);
    EXPECT_EQ(wideToUtf8(found), dir.file("a.dxf"));
    ASSERT_EQ(acedFindFile(utf8ToWide(dir.file("B.dwg")).c_str(), found, 1024), RTNORM);
    EXPECT_EQ(wideToUtf8(found), dir.file("B.DXF"));
    // Relative to the drawing's folder.
    EXPECT_EQ(acedFindFile(L"a.dxf", found, 1024), RTERROR);
    acDocManager->curDocument()->setFileName(utf8ToWide(dir.file("drawing.dxf")));
    resbuf prefix{};
    ASSERT_EQ(acedGetVar(L"DWGPREFIX", &prefix), RTNORM);
    EXPECT_EQ(wideToUtf8(prefix.resval.rstring), dir.path() + "/");
    std::free(prefix.resval.rstring);
    ASSERT_EQ(acedFindFile(L"a.dwg", found, 1024), RTNORM);
    EXPECT_EQ(wideToUtf8(found), dir.file("a.dxf"));
    EXPECT_EQ(acedFindFile(L"missing.dwg", found, 1024), RTERROR);
    EXPECT_EQ(acedFindFile(utf8ToWide(dir.file("missing.dxf")).c_str(), found, 1024), RTERROR);
    // Too small a buffer.
    EXPECT_EQ(acedFindFile(L"a.dxf", found, 4), RTERROR);
}

} // namespace
