// Selection: wildcard patterns, window and crossing window against real
// geometry, selection filters, the named selection sets, transforming a
// set, single picks and the interactive object selection prompt.
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/selection.h"

#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

std::string g_out;

using Lines = testutil::ScriptLines;

using Ids = std::set<AcDbObjectId>;

// Releases a filter chain at the end of its scope.
struct RbList {
    resbuf* rb;
    explicit RbList(resbuf* r) : rb(r) {}
    ~RbList() { acutRelRb(rb); }
};

class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_out.clear();
        host::setOutput([](const std::string& s) { g_out += s; });
        acDocManager->newDocument();
        db = acdbCurDwg();
    }
    void TearDown() override
    {
        host::setLineSource(nullptr);
        host::setOutput(nullptr);
        acDocManager->closeAll();
    }
    void feed(std::deque<std::string> lines)
    {
        m_lines = std::make_unique<Lines>(std::move(lines));
        host::setLineSource(m_lines.get());
    }

    AcDbObjectId add(AcDbEntity* e, int color = 256, const char* layer = "0")
    {
        e->setColorIndex(color);
        e->setLayerName(layer);
        AcDbObjectId id;
        EXPECT_EQ(AcDbInternals::modelSpace(*db)->appendAcDbEntity(id, e), Acad::eOk);
        return id;
    }
    AcDbObjectId line(double x0, double y0, double x1, double y1, int color = 256, const char* layer = "0")
    {
        return add(new AcDbLine(AcGePoint3d(x0, y0, 0), AcGePoint3d(x1, y1, 0)), color, layer);
    }
    static AcDbPolyline* poly(std::initializer_list<AcGePoint2d> pts, double bulge0 = 0.0)
    {
        auto* pl = new AcDbPolyline();
        unsigned i = 0;
        for (const AcGePoint2d& p : pts)
            pl->addVertexAt(i++, p);
        pl->setBulgeAt(0, bulge0);
        return pl;
    }
    AcDbObjectId block(const char* name, std::initializer_list<AcDbEntity*> ents)
    {
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(name);
        AcDbObjectId id;
        EXPECT_EQ(db->addBlockTableRecord(id, rec), Acad::eOk);
        for (AcDbEntity* e : ents)
            rec->appendAcDbEntity(e);
        return id;
    }

    // The ids of a set, and the set freed.
    static Ids members(ads_name ss)
    {
        Ids out;
        ads_int32 n = 0;
        EXPECT_EQ(acedSSLength(ss, &n), RTNORM);
        for (ads_int32 i = 0; i < n; ++i) {
            ads_name e;
            EXPECT_EQ(acedSSName(ss, i, e), RTNORM);
            AcDbObjectId id;
            EXPECT_EQ(acdbGetObjectId(id, e), Acad::eOk);
            out.insert(id);
        }
        acedSSFree(ss);
        return out;
    }
    static Ids window(const ACHAR* mode, double x0, double y0, double x1, double y1, const resbuf* filter = nullptr)
    {
        const double a[3] = {x0, y0, 0}, b[3] = {x1, y1, 0};
        ads_name ss;
        if (acedSSGet(mode, a, b, filter, ss) != RTNORM)
            return {};
        return members(ss);
    }
    static Ids all(const resbuf* filter, int* rc = nullptr)
    {
        ads_name ss;
        const int r = acedSSGet(L"X", nullptr, nullptr, filter, ss);
        if (rc)
            *rc = r;
        return r == RTNORM ? members(ss) : Ids{};
    }
    static int errnoValue()
    {
        resbuf rb{};
        acedGetVar(L"ERRNO", &rb);
        return rb.resval.rint;
    }

    AcDbDatabase* db = nullptr;
    std::unique_ptr<Lines> m_lines;
};

TEST(WildcardTest, EveryElementOfThePatternSyntax)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* pattern;
        bool match;
    };
    const Case cases[] = {
        {L"LINE", L"LINE", true},       {L"LINE", L"LIN", false},        {L"", L"", true},
        {L"", L"*", true},              {L"abc", L"a*c", true},          {L"ac", L"a*c", true},
        {L"abcbd", L"a*b?", true},      {L"abcbd", L"a*b", false},       {L"A12", L"A##", true},
        {L"A1B", L"A##", false},        {L"x9", L"@#", true},            {L"99", L"@#", false},
        {L"a-b", L"a.b", true},         {L"a_b", L"a.b", true},          {L"axb", L"a.b", false},
        {L"LINE", L"~LINE", false},     {L"ARC", L"~LINE", true},        {L"ARC", L"LINE,ARC", true},
        {L"CIRCLE", L"LINE,ARC", false},{L"b", L"[abc]", true},          {L"d", L"[abc]", false},
        {L"m", L"[a-z]", true},         {L"M", L"[a-z]", false},         {L"d", L"[~abc]", true},
        {L"a", L"[~abc]", false},       {L"*", L"`*", true},             {L"x", L"`*", false},
        {L"a,b", L"a`,b", true},        {L"a", L"a`,b", false},          {L"#1", L"`##", true},
        {L"DOOR-12", L"DOOR-##,WIN*", true}, {L"WINDOW", L"DOOR-##,WIN*", true},
        {L"]", L"[]x]", true},          {L"a", L"[,a]", true},           {L"LINE", L"~*", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(host::wcMatch(c.text, c.pattern, false), c.match) << "\"" << wideToUtf8(c.text) << "\" vs \""
                                                                    << wideToUtf8(c.pattern) << "\"";
    // Case: only when asked, also inside sets and ranges.
    EXPECT_FALSE(host::wcMatch(L"Line", L"LINE", false));
    EXPECT_TRUE(host::wcMatch(L"Line", L"LINE", true));
    EXPECT_TRUE(host::wcMatch(L"M", L"[a-z]", true));
    EXPECT_TRUE(host::wcMatch(L"walls", L"W[A]LL?", true));
    EXPECT_TRUE(host::wcMatch(L"墙体", L"墙*", true));
}

TEST_F(SelectionTest, WindowTakesWhatIsInsideCrossingWhatTheGeometryTouches)
{
    const AcDbObjectId diag = line(0, 0, 10, 10);
    // An L of two segments and a half circle below the chord (0,-20)-(10,-20).
    const AcDbObjectId ell = add(poly({{20, 0}, {30, 0}, {30, 10}}));
    const AcDbObjectId half = add(poly({{0, -20}, {10, -20}}, 1.0));
    const AcDbObjectId circle = add(new AcDbCircle(AcGePoint3d(50, 50, 0), AcGeVector3d::kZAxis, 10));

    // Lines: edges count as inside; the corners may come in any order.
    EXPECT_EQ(window(L"W", 0, 0, 10, 10), Ids{diag});
    EXPECT_EQ(window(L"W", 11, 11, -1, -1), Ids{diag});
    EXPECT_EQ(window(L"W", 1, 1, 11, 11), Ids{});
    EXPECT_EQ(window(L"C", 1, 1, 11, 11), Ids{diag});
    EXPECT_EQ(window(L"C", 4, 0, 6, 3), Ids{}) << "in the line's box but off the line";

    // Polylines through their segments, bulges as arcs.
    EXPECT_EQ(window(L"C", 22, 5, 24, 7), Ids{});
    EXPECT_EQ(window(L"C", 29, 5, 31, 6), Ids{ell});
    EXPECT_EQ(window(L"C", 4, -22, 6, -21), Ids{}) << "inside the half disc, off its arc";
    EXPECT_EQ(window(L"C", 4, -26, 6, -24), Ids{half});
    EXPECT_EQ(window(L"W", -1, -25.5, 11, -19), Ids{half});
    EXPECT_EQ(window(L"W", -1, -24, 11, -19), Ids{}) << "the arc reaches y = -25";

    // Circles through their curve.
    EXPECT_EQ(window(L"C", 48, 48, 52, 52), Ids{}) << "a window within the circle";
    EXPECT_EQ(window(L"C", 58, 58, 62, 62), Ids{}) << "the box's corner, off the curve";
    EXPECT_EQ(window(L"C", 58, 48, 62, 52), Ids{circle});
    EXPECT_EQ(window(L"W", 40, 40, 60, 60), Ids{circle});
    EXPECT_EQ(window(L"W", 40.5, 40, 60, 60), Ids{});

    // The crossing of everything, by a window over all of it.
    EXPECT_EQ(window(L"_c", -100, -100, 100, 100), (Ids{diag, ell, half, circle}));
}

TEST_F(SelectionTest, BlockReferencesAreSelectedThroughTheirBlocksEntities)
{
    // A circle of radius 5 and a radius along the X axis, inserted at
    // (100,100) turned 45 degrees and scaled 2: in the drawing a circle of
    // radius 10 and a diagonal from the centre to (107.07,107.07). The
    // reference's box reaches about 14.1 from the centre.
    const AcDbObjectId def = block("SYM", {new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 5),
                                           new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(5, 0, 0))});
    auto* ref = new AcDbBlockReference(AcGePoint3d(100, 100, 0), def);
    ref->setRotation(kPi / 4);
    ref->setScaleFactors(AcGeScale3d(2.0));
    const AcDbObjectId insert = add(ref);
    AcDbExtents box;
    ASSERT_EQ(ref->getGeomExtents(box), Acad::eOk);
    ASSERT_GT(box.maxPoint().x, 113.5);

    EXPECT_EQ(window(L"C", 112, 112, 113.5, 113.5), Ids{}) << "in the box, away from the geometry";
    EXPECT_EQ(window(L"C", 103, 96, 104, 97), Ids{}) << "within the circle, off the radius line";
    EXPECT_EQ(window(L"C", 103, 103, 104, 104), Ids{insert}) << "on the radius line";
    EXPECT_EQ(window(L"C", 109, 99, 111, 101), Ids{insert}) << "on the circle";
    EXPECT_EQ(window(L"W", 89.9, 89.9, 110.1, 110.1), Ids{insert}) << "the geometry inside, the box not";
    EXPECT_EQ(window(L"W", 91, 89.9, 110.1, 110.1), Ids{});
}

TEST_F(SelectionTest, MultipleInsertsAreFoundThroughEveryCopy)
{
    // Copies of a short line at x 0, 10 and 20 in rows at y 0 and 20.
    const AcDbObjectId def = block("DASH", {new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0))});
    auto* grid = new AcDbMInsertBlock(AcGePoint3d(0, 0, 0), def);
    grid->setColumns(3);
    grid->setRows(2);
    grid->setColumnSpacing(10);
    grid->setRowSpacing(20);
    const AcDbObjectId id = add(grid);

    EXPECT_EQ(window(L"C", 20.5, 19, 21.5, 21), Ids{id}) << "on the last copy";
    EXPECT_EQ(window(L"C", 4, 9, 6, 11), Ids{}) << "in the box, between the copies";
    EXPECT_EQ(window(L"W", -1, -1, 23, 21), Ids{id});
    EXPECT_EQ(window(L"W", -1, -1, 3, 1), Ids{}) << "only the first copy inside";
    ads_name ss;
    const double onCopy[3] = {11, 20, 0}, between[3] = {6, 10, 0};
    ASSERT_EQ(acedSSGet(nullptr, onCopy, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{id});
    EXPECT_EQ(acedSSGet(nullptr, between, nullptr, nullptr, ss), RTERROR);
    // It is an INSERT to type filters.
    RbList inserts(acutBuildList(RTDXF0, L"INSERT", 0));
    EXPECT_EQ(all(inserts.rb), Ids{id});
}

TEST_F(SelectionTest, FiltersByTypeNameLayerLinetypeColourAndApplicationData)
{
    ASSERT_EQ(db->registerApp("IDPOINT"), Acad::eOk);
    ASSERT_EQ(db->registerApp("OTHER"), Acad::eOk);
    const AcDbObjectId wall = line(0, 0, 10, 0, 1, "WALLS");
    auto* c = new AcDbCircle(AcGePoint3d(5, 5, 0), AcGeVector3d::kZAxis, 1);
    c->setLinetypeName("DASHED");
    const AcDbObjectId circle = add(c, 3, "Doors");
    const AcDbObjectId def = block("DOOR-1", {new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0))});
    const AcDbObjectId door = add(new AcDbBlockReference(AcGePoint3d(20, 0, 0), def), 5, "Doors");
    const AcDbObjectId tagged = add(poly({{0, 30}, {5, 30}}), 7);
    const AcDbObjectId twice = add(poly({{0, 40}, {5, 40}}), 7);
    auto setX = [](AcDbObjectId id, resbuf* xd) {
        AcDbObject* o = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(o->setXData(xd), Acad::eOk);
        o->close();
        acutRelRb(xd);
    };
    setX(tagged, acutBuildList(1001, L"IDPOINT", 1000, L"a", 0));
    setX(twice, acutBuildList(1001, L"IDPOINT", 1000, L"b", 1001, L"OTHER", 1070, 1, 0));

    auto sel = [&](resbuf* f) {
        RbList keep(f);
        return all(f);
    };
    EXPECT_EQ(sel(acutBuildList(RTDXF0, L"LINE", 0)), Ids{wall});
    EXPECT_EQ(sel(acutBuildList(RTDXF0, L"line,Circle", 0)), (Ids{wall, circle}));
    EXPECT_EQ(sel(acutBuildList(RTDXF0, L"~LWPOLYLINE", 0)), (Ids{wall, circle, door}));
    EXPECT_EQ(sel(acutBuildList(8, L"doors", 0)), (Ids{circle, door}));
    EXPECT_EQ(sel(acutBuildList(8, L"doors", RTDXF0, L"INSERT", 0)), Ids{door});
    EXPECT_EQ(sel(acutBuildList(2, L"door-#", 0)), Ids{door});
    EXPECT_EQ(sel(acutBuildList(2, L"*", 0)), Ids{door}) << "only block references have a block name";
    EXPECT_EQ(sel(acutBuildList(6, L"dashed", 0)), Ids{circle});
    EXPECT_EQ(sel(acutBuildList(62, 3, 0)), Ids{circle});
    EXPECT_EQ(sel(acutBuildList(-3, 1001, L"IDPOINT", 0)), (Ids{tagged, twice}));
    EXPECT_EQ(sel(acutBuildList(-3, 1001, L"idpoint", 1001, L"OTHER", 0)), Ids{twice});
    EXPECT_EQ(sel(acutBuildList(-3, 1001, L"NOBODY", 0)), Ids{});

    // Logical grouping, nested, and relational tests of the colour.
    EXPECT_EQ(sel(acutBuildList(-4, L"<OR", 62, 1, 62, 3, -4, L"OR>", 0)), (Ids{wall, circle}));
    EXPECT_EQ(sel(acutBuildList(-4, L"<NOT", 8, L"doors", -4, L"NOT>", 0)), (Ids{wall, tagged, twice}));
    EXPECT_EQ(sel(acutBuildList(-4, L"<AND", 8, L"DOORS", -4, L"<OR", RTDXF0, L"LINE", 62, 5, -4, L"OR>", -4, L"AND>", 0)),
              Ids{door});
    EXPECT_EQ(sel(acutBuildList(-4, L"<XOR", 8, L"DOORS", 62, 3, -4, L"XOR>", 0)), Ids{door});
    EXPECT_EQ(sel(acutBuildList(-4, L">=", 62, 5, 0)), (Ids{door, tagged, twice}));
    EXPECT_EQ(sel(acutBuildList(-4, L"<", 62, 5, 0)), (Ids{wall, circle}));
    EXPECT_EQ(sel(acutBuildList(-4, L"!=", 62, 7, RTDXF0, L"~INSERT", 0)), (Ids{wall, circle}));
    EXPECT_EQ(sel(acutBuildList(-4, L"*", 62, 0, RTDXF0, L"LWPOLYLINE", 0)), (Ids{tagged, twice}));

    // What cannot be evaluated fails the whole selection.
    const double p[3] = {0, 0, 0};
    for (resbuf* bad : {acutBuildList(10, p, 0), acutBuildList(-4, L"<AND", 62, 1, 0),
                        acutBuildList(-4, L"<NOT", 62, 1, 62, 3, -4, L"NOT>", 0), acutBuildList(-4, L"~~", 62, 1, 0),
                        acutBuildList(-4, L"<", 8, L"0", 0), acutBuildList(-3, 0)}) {
        RbList keep(bad);
        int rc = 0;
        EXPECT_EQ(all(bad, &rc), Ids{});
        EXPECT_EQ(rc, RTERROR);
        EXPECT_FALSE(host::isSupportedFilter(bad));
    }
}

TEST_F(SelectionTest, ModesLastPreviousAndAllFollowTheDrawing)
{
    const AcDbObjectId a = line(0, 0, 1, 0);
    const AcDbObjectId b = line(0, 5, 1, 5);
    auto* hidden = new AcDbLayerTableRecord();
    hidden->setName("HIDDEN");
    hidden->setIsOff(true);
    AcDbObjectId layerId;
    ASSERT_EQ(db->addSymbolTableRecord(layerId, hidden), Acad::eOk);
    const AcDbObjectId off = line(0, 8, 1, 8, 256, "HIDDEN");
    const AcDbObjectId last = line(0, 9, 1, 9);

    ads_name ss;
    ASSERT_EQ(acedSSGet(L"l", nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{last});
    ads_name lastName;
    acdbGetAdsName(lastName, last);
    ASSERT_EQ(acdbEntDel(lastName), RTNORM);
    ASSERT_EQ(acedSSGet(L"_L", nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{off}) << "the last live entity";

    // Entities on layers that are off are not windowed but are in "X".
    EXPECT_EQ(window(L"W", -1, -1, 2, 10), (Ids{a, b}));
    EXPECT_EQ(all(nullptr), (Ids{a, b, off}));

    // "P" is the previous selection, whatever became of its set's name.
    EXPECT_EQ(window(L"c", -1, 4, 2, 6), Ids{b});
    ASSERT_EQ(acedSSGet(L"P", nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{b});

    const double p1[3] = {-1, -1, 0}, p2[3] = {2, 10, 0};
    EXPECT_EQ(acedSSGet(L"W", p1, nullptr, nullptr, ss), RTERROR);
    EXPECT_EQ(acedSSGet(L"Q", p1, p2, nullptr, ss), RTERROR);
    EXPECT_EQ(window(L"W", 50, 50, 60, 60), Ids{}) << "an empty result is an error";
}

TEST_F(SelectionTest, SetFunctionsAddDeleteAndNameMembers)
{
    const AcDbObjectId a = line(0, 0, 1, 0);
    const AcDbObjectId b = line(0, 5, 1, 5);
    ads_name na, nb;
    acdbGetAdsName(na, a);
    acdbGetAdsName(nb, b);

    ads_name empty, ss, result;
    ASSERT_EQ(acedSSAdd(nullptr, nullptr, empty), RTNORM);
    ads_int32 n = -1;
    ASSERT_EQ(acedSSLength(empty, &n), RTNORM);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(acedSSAdd(na, nullptr, ss), RTNORM);
    EXPECT_FALSE(ss[0] == empty[0] && ss[1] == empty[1]) << "every set has its own name";
    ASSERT_EQ(acedSSAdd(nb, ss, result), RTNORM);
    EXPECT_TRUE(result[0] == ss[0] && result[1] == ss[1]);
    ASSERT_EQ(acedSSAdd(na, ss, result), RTNORM) << "adding a member again changes nothing";
    ASSERT_EQ(acedSSLength(ss, &n), RTNORM);
    EXPECT_EQ(n, 2);
    ads_name first;
    ASSERT_EQ(acedSSName(ss, 0, first), RTNORM);
    EXPECT_TRUE(first[0] == na[0] && first[1] == na[1]);
    EXPECT_EQ(acedSSName(ss, 2, first), RTERROR);
    EXPECT_EQ(acedSSName(ss, -1, first), RTERROR);
    EXPECT_EQ(acedSSMemb(nb, ss), RTNORM);
    EXPECT_EQ(acedSSMemb(nb, empty), RTERROR);

    EXPECT_EQ(acedSSDel(na, ss), RTNORM);
    EXPECT_EQ(acedSSDel(na, ss), RTERROR) << "no longer a member";
    EXPECT_EQ(acedSSMemb(na, ss), RTERROR);
    ASSERT_EQ(acedSSName(ss, 0, first), RTNORM);
    EXPECT_TRUE(first[0] == nb[0] && first[1] == nb[1]);

    const ads_name bogus = {12345, 0};
    EXPECT_EQ(acedSSAdd(bogus, ss, result), RTERROR) << "not an entity";
    EXPECT_EQ(acedSSAdd(na, bogus, result), RTERROR) << "not a set";

    // Freed names are dead for every function.
    ASSERT_EQ(acedSSFree(ss), RTNORM);
    EXPECT_EQ(acedSSFree(ss), RTERROR);
    EXPECT_EQ(acedSSLength(ss, &n), RTERROR);
    EXPECT_EQ(acedSSName(ss, 0, first), RTERROR);
    EXPECT_EQ(acedSSMemb(nb, ss), RTERROR);
    EXPECT_EQ(acedSSAdd(na, ss, result), RTERROR);
    EXPECT_EQ(acedSSDel(nb, ss), RTERROR);
    EXPECT_EQ(host::selectionSetIds(ss), nullptr);
    EXPECT_NE(host::selectionSetIds(empty), nullptr);
    EXPECT_EQ(acedSSFree(empty), RTNORM);
}

TEST_F(SelectionTest, TransformingASetMovesRotatesAndScalesOrChangesNothing)
{
    const AcDbObjectId plId = add(poly({{0, 0}, {10, 0}}));
    const AcDbObjectId def = block("B", {new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0))});
    const AcDbObjectId refId = add(new AcDbBlockReference(AcGePoint3d(5, 5, 0), def));
    ads_name ss, na;
    ASSERT_EQ(acedSSAdd(nullptr, nullptr, ss), RTNORM);
    for (AcDbObjectId id : {plId, refId}) {
        acdbGetAdsName(na, id);
        ASSERT_EQ(acedSSAdd(na, ss, ss), RTNORM);
    }
    auto vertex = [&](unsigned i) {
        AcGePoint2d p;
        static_cast<AcDbPolyline*>(AcDbInternals::stub(plId)->object.get())->getPointAt(i, p);
        return p;
    };
    auto ref = [&] { return static_cast<AcDbBlockReference*>(AcDbInternals::stub(refId)->object.get()); };
    auto apply = [&](const AcGeMatrix3d& m) {
        ads_matrix am;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                am[r][c] = m(r, c);
        return acedXformSS(ss, am);
    };

    ASSERT_EQ(apply(AcGeMatrix3d::translation(AcGeVector3d(10, 20, 0))), RTNORM);
    EXPECT_EQ(vertex(1), AcGePoint2d(20, 20));
    EXPECT_EQ(ref()->position(), AcGePoint3d(15, 25, 0));

    ASSERT_EQ(apply(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis, AcGePoint3d(10, 20, 0))), RTNORM);
    EXPECT_NEAR(vertex(1).x, 10, 1e-9);
    EXPECT_NEAR(vertex(1).y, 30, 1e-9);
    EXPECT_NEAR(ref()->position().x, 5, 1e-9);
    EXPECT_NEAR(ref()->position().y, 25, 1e-9);
    EXPECT_NEAR(ref()->rotation(), kPi / 2, 1e-9);

    ASSERT_EQ(apply(AcGeMatrix3d::scaling(2, AcGePoint3d(10, 20, 0))), RTNORM);
    EXPECT_NEAR(vertex(1).y, 40, 1e-9);
    EXPECT_NEAR(ref()->scaleFactors().sx, 2, 1e-9);
    EXPECT_NEAR(ref()->position().x, 0, 1e-9);

    // A scale that differs along the diagonals skews the block's axes: the
    // block reference refuses, and the polyline before it in the set stays
    // as it was.
    const AcGePoint2d before = vertex(1);
    const AcGePoint3d refBefore = ref()->position();
    const AcGeMatrix3d skew = AcGeMatrix3d::rotation(kPi / 4, AcGeVector3d::kZAxis)
                            * AcGeMatrix3d::scaling(2, 1, 1) * AcGeMatrix3d::rotation(-kPi / 4, AcGeVector3d::kZAxis);
    EXPECT_EQ(apply(skew), RTERROR);
    EXPECT_EQ(vertex(1), before);
    EXPECT_EQ(ref()->position(), refBefore);
    EXPECT_NEAR(ref()->scaleFactors().sx, 2, 1e-9);

    ads_matrix id = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    const ads_name dead = {ss[0] + 1000, ss[1]};
    EXPECT_EQ(acedXformSS(dead, id), RTERROR);
    acedSSFree(ss);
}

TEST_F(SelectionTest, SinglePickTakesTheEntityUnderThePickBox)
{
    const AcDbObjectId l = line(0, 0, 100, 0, 1);
    const AcDbObjectId arc = add(new AcDbArc(AcGePoint3d(50, 50, 0), 10, 0, kPi / 2));
    ads_name ss;
    const double near[3] = {50, 1, 0}, onArc[3] = {50 + 10 / std::sqrt(2.0), 50 + 10 / std::sqrt(2.0), 0};
    const double miss[3] = {50, 10, 0}, offArc[3] = {53, 53, 0};
    ASSERT_EQ(acedSSGet(nullptr, near, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{l});
    ASSERT_EQ(acedSSGet(nullptr, onArc, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{arc});

    resbuf zero{};
    zero.restype = RTSHORT;
    acedSetVar(L"ERRNO", &zero);
    EXPECT_EQ(acedSSGet(nullptr, miss, nullptr, nullptr, ss), RTERROR);
    EXPECT_EQ(errnoValue(), 7);
    acedSetVar(L"ERRNO", &zero);
    EXPECT_EQ(acedSSGet(nullptr, offArc, nullptr, nullptr, ss), RTERROR) << "inside the arc's box, off the arc";
    EXPECT_EQ(errnoValue(), 7);

    // A hit that the filter refuses is no selection either.
    RbList circles(acutBuildList(RTDXF0, L"CIRCLE", 0));
    EXPECT_EQ(acedSSGet(nullptr, near, nullptr, circles.rb, ss), RTERROR);
}

TEST_F(SelectionTest, InteractiveSelectionPicksWindowsAndReportsUntilEnter)
{
    const AcDbObjectId a = line(0, 0, 100, 0);
    const AcDbObjectId b = line(0, 20, 10, 20);
    const AcDbObjectId c = line(0, 30, 10, 30);
    const AcDbObjectId d = add(new AcDbCircle(AcGePoint3d(200, 200, 0), AcGeVector3d::kZAxis, 5));

    feed({"50,1", "w", "-1,15", "11,35", "50,1", "150,150", "C", "205,190", "210,210", ""});
    ads_name ss;
    ASSERT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), (Ids{a, b, c, d}));
    EXPECT_NE(g_out.find("选择对象: "), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("指定对角点: "), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("找到 1 个"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("找到 2 个，总计 3 个"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("找到 1 个 (1 个重复)，总计 3 个"), std::string::npos) << g_out;

    // "Last" and "ALL" through their keywords, with a filter applied.
    RbList circles(acutBuildList(RTDXF0, L"CIRCLE", 0));
    feed({"ALL", ""});
    ASSERT_EQ(acedSSGet(L"", nullptr, nullptr, circles.rb, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{d});
    feed({"L", ""});
    ASSERT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    EXPECT_EQ(members(ss), Ids{d});

    // Nothing chosen, and Esc in the middle of a window.
    feed({"150,150", ""});
    EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTERROR);
    feed({"50,1", "W", "0,0", "^C"});
    EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTCAN);
    feed({"50,1"});
    EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTCAN) << "the end of input is Esc";
}

} // namespace

TEST(SelectionSetLifetime, ASetDiesWithItsDrawing)
{
    AcApDocument* doc = acDocManager->newDocument();
    ads_name ss;
    ASSERT_EQ(acedSSAdd(nullptr, nullptr, ss), RTNORM);
    ads_int32 n = -1;
    EXPECT_EQ(acedSSLength(ss, &n), RTNORM);
    acDocManager->closeDocument(doc);
    EXPECT_EQ(acedSSLength(ss, &n), RTERROR);
    EXPECT_EQ(acedSSFree(ss), RTERROR);
    acDocManager->closeAll();
}
