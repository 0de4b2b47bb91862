// The database through its ObjectARX-style and C interfaces: ids and entity
// names, opening, extended data, entity data, table search, units,
// extents and transformations of entities.
#include "host/dbinternal.h"
#include "host/dbmain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<AcDbDatabase>();
        acdbHostApplicationServices()->setWorkingDatabase(db.get());
        ms = AcDbInternals::modelSpace(*db);
    }
    void TearDown() override { acdbHostApplicationServices()->setWorkingDatabase(nullptr); }

    AcDbObjectId add(AcDbEntity* e)
    {
        AcDbObjectId id;
        EXPECT_EQ(ms->appendAcDbEntity(id, e), Acad::eOk);
        return id;
    }

    std::unique_ptr<AcDbDatabase> db;
    AcDbBlockTableRecord* ms = nullptr;
};

struct RbList {
    explicit RbList(resbuf* r) : rb(r) {}
    ~RbList() { acutRelRb(rb); }
    const resbuf* find(int code) const
    {
        for (const resbuf* p = rb; p; p = p->rbnext)
            if (p->restype == code)
                return p;
        return nullptr;
    }
    resbuf* rb;
};

TEST_F(DatabaseTest, EntityNamesMapOneToOneToIds)
{
    const AcDbObjectId a = add(new AcDbPoint(AcGePoint3d(1, 1, 0)));
    const AcDbObjectId b = add(new AcDbPoint(AcGePoint3d(2, 2, 0)));
    ads_name na, nb;
    ASSERT_EQ(acdbGetAdsName(na, a), Acad::eOk);
    ASSERT_EQ(acdbGetAdsName(nb, b), Acad::eOk);
    EXPECT_FALSE(na[0] == nb[0] && na[1] == nb[1]);
    AcDbObjectId back;
    ASSERT_EQ(acdbGetObjectId(back, na), Acad::eOk);
    EXPECT_EQ(back, a);
    // Names of another drawing and garbage are refused.
    AcDbDatabase other;
    AcDbObjectId o;
    AcDbInternals::modelSpace(other)->appendAcDbEntity(o, new AcDbPoint(AcGePoint3d()));
    ads_name no;
    acdbGetAdsName(no, o);
    ASSERT_EQ(acdbGetObjectId(back, no), Acad::eOk);
    EXPECT_EQ(back.database(), &other);
    const ads_name garbage = {12345678, 987654};
    EXPECT_NE(acdbGetObjectId(back, garbage), Acad::eOk);
    EXPECT_TRUE(back.isNull());
}

TEST_F(DatabaseTest, EntLastSkipsErasedAndEntDelToggles)
{
    const AcDbObjectId a = add(new AcDbPoint(AcGePoint3d(1, 1, 0)));
    const AcDbObjectId b = add(new AcDbPoint(AcGePoint3d(2, 2, 0)));
    ads_name last, nb;
    ASSERT_EQ(acdbEntLast(last), RTNORM);
    acdbGetAdsName(nb, b);
    EXPECT_EQ(last[0], nb[0]);
    ASSERT_EQ(acdbEntDel(nb), RTNORM);
    EXPECT_TRUE(b.isErased());
    ASSERT_EQ(acdbEntLast(last), RTNORM);
    AcDbObjectId lastId;
    acdbGetObjectId(lastId, last);
    EXPECT_EQ(lastId, a);
    // Erased entities open only when asked to.
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(e, b, AcDb::kForRead), Acad::eWasErased);
    EXPECT_EQ(acdbOpenAcDbEntity(e, b, AcDb::kForRead, true), Acad::eOk);
    e->close();
    ASSERT_EQ(acdbEntDel(nb), RTNORM);
    EXPECT_FALSE(b.isErased());
    EXPECT_EQ(acdbOpenAcDbEntity(e, AcDbObjectId(), AcDb::kForRead), Acad::eNullObjectId);
    AcDbObject* table = db->table("LAYER");
    EXPECT_EQ(acdbOpenAcDbEntity(e, table->objectId(), AcDb::kForRead), Acad::eWrongObjectType);
}

TEST_F(DatabaseTest, ExtendedDataReplacesPerApplicationAndChecksWholeListFirst)
{
    const AcDbObjectId id = add(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    resbuf* unregistered = acutBuildList(1001, L"NOAPP", 1000, L"x", 0);
    EXPECT_EQ(e->setXData(unregistered), Acad::eRegappIdNotFound);
    acutRelRb(unregistered);
    ASSERT_EQ(acdbRegApp(L"IDPOINT"), RTNORM);
    EXPECT_EQ(acdbRegApp(L"IDPOINT"), RTERROR); // already there
    ASSERT_EQ(acdbRegApp(L"YLTHZCS"), RTNORM);
    ads_point p = {10, 20, 5};
    resbuf* both = acutBuildList(1001, L"IDPOINT", 1011, p, 1001, L"YLTHZCS", 1000, L"20.00&30.00", 0);
    ASSERT_EQ(e->setXData(both), Acad::eOk);
    acutRelRb(both);
    // Replacing one application leaves the other; names ignore case.
    resbuf* one = acutBuildList(1001, L"idpoint", 1010, p, 0);
    ASSERT_EQ(e->setXData(one), Acad::eOk);
    acutRelRb(one);
    {
        RbList got(e->xData(L"IDPOINT"));
        ASSERT_NE(got.rb, nullptr);
        EXPECT_EQ(got.rb->restype, 1001);
        ASSERT_NE(got.rb->rbnext, nullptr);
        EXPECT_EQ(got.rb->rbnext->restype, 1010);
        EXPECT_EQ(got.rb->rbnext->rbnext, nullptr);
        RbList all(e->xData());
        EXPECT_NE(all.find(1000), nullptr);
    }
    // An application followed by nothing loses its data.
    resbuf* drop = acutBuildList(1001, L"YLTHZCS", 0);
    ASSERT_EQ(e->setXData(drop), Acad::eOk);
    acutRelRb(drop);
    EXPECT_EQ(e->xData(L"YLTHZCS"), nullptr);
    // Unbalanced braces and over-long strings are refused; nothing changes.
    resbuf* braces = acutBuildList(1001, L"IDPOINT", 1002, L"{", 1000, L"a", 0);
    EXPECT_EQ(e->setXData(braces), Acad::eInvalidXdata);
    acutRelRb(braces);
    const std::wstring longText(300, L'x');
    resbuf* tooLong = acutBuildList(1001, L"IDPOINT", 1000, longText.c_str(), 0);
    EXPECT_EQ(e->setXData(tooLong), Acad::eInvalidInput);
    acutRelRb(tooLong);
    RbList kept(e->xData(L"IDPOINT"));
    ASSERT_NE(kept.rb, nullptr);
    EXPECT_EQ(kept.rb->rbnext->restype, 1010);
    // The 16 KB limit per entity.
    const std::wstring chunk(250, L'y');
    resbuf* head = acutBuildList(1001, L"YLTHZCS", 0);
    resbuf* tail = head;
    for (int i = 0; i < 80; ++i) {
        tail->rbnext = acutBuildList(1000, chunk.c_str(), 0);
        tail = tail->rbnext;
    }
    EXPECT_EQ(e->setXData(head), Acad::eXdataSizeExceeded);
    acutRelRb(head);
    e->close();
}

TEST_F(DatabaseTest, EntGetGivesTheEntityDataAsGroups)
{
    auto* t = new AcDbText(AcGePoint3d(1, 2, 0), L"标签", 3.0, kPi / 2);
    const AcDbObjectId id = add(t);
    ads_name n;
    acdbGetAdsName(n, id);
    RbList data(acdbEntGet(n));
    ASSERT_NE(data.rb, nullptr);
    EXPECT_EQ(data.rb->restype, -1);
    EXPECT_EQ(data.rb->resval.rlname[0], n[0]);
    ASSERT_NE(data.find(0), nullptr);
    EXPECT_STREQ(data.find(0)->resval.rstring, L"TEXT");
    EXPECT_STREQ(data.find(8)->resval.rstring, L"0");
    EXPECT_STREQ(data.find(1)->resval.rstring, L"标签");
    const resbuf* pos = data.find(10);
    ASSERT_NE(pos, nullptr);
    EXPECT_DOUBLE_EQ(pos->resval.rpoint[0], 1);
    EXPECT_DOUBLE_EQ(pos->resval.rpoint[1], 2);
    EXPECT_DOUBLE_EQ(data.find(40)->resval.rreal, 3.0);
    EXPECT_DOUBLE_EQ(data.find(50)->resval.rreal, 90.0);
    // Extended data only for the applications asked for.
    acdbRegApp(L"TKSY");
    resbuf* xd = acutBuildList(1001, L"TKSY", 1000, L"常开&K1", 0);
    ASSERT_EQ(t->setXData(xd), Acad::eOk);
    acutRelRb(xd);
    EXPECT_EQ(RbList(acdbEntGet(n)).find(1001), nullptr);
    RbList apps(acutBuildList(RTSTR, L"TKSY", 0));
    RbList withX(acdbEntGetX(n, apps.rb));
    ASSERT_NE(withX.find(1000), nullptr);
    EXPECT_STREQ(withX.find(1000)->resval.rstring, L"常开&K1");
}

TEST_F(DatabaseTest, TableSearchFindsLayersAndBlocksWithoutCase)
{
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("Element");
    layer->setColor(3);
    AcDbObjectId lid;
    ASSERT_EQ(db->addSymbolTableRecord(lid, layer), Acad::eOk);
    auto* dup = new AcDbLayerTableRecord();
    dup->setName("ELEMENT");
    AcDbObjectId did;
    EXPECT_EQ(db->addSymbolTableRecord(did, dup), Acad::eDuplicateKey);
    delete dup;
    RbList l(acdbTblSearch(L"layer", L"element", 0));
    ASSERT_NE(l.rb, nullptr);
    EXPECT_STREQ(l.find(0)->resval.rstring, L"LAYER");
    EXPECT_STREQ(l.find(2)->resval.rstring, L"Element");
    EXPECT_EQ(l.find(62)->resval.rint, 3);
    EXPECT_STREQ(l.find(6)->resval.rstring, L"Continuous");

    auto* block = new AcDbBlockTableRecord();
    block->setName("KM");
    block->setOrigin(AcGePoint3d(1, 1, 0));
    AcDbObjectId bid;
    ASSERT_EQ(db->addBlockTableRecord(bid, block), Acad::eOk);
    AcDbObjectId first;
    block->appendAcDbEntity(first, new AcDbLine(AcGePoint3d(), AcGePoint3d(0, -7.5, 0)));
    RbList b(acdbTblSearch(L"BLOCK", L"km", 0));
    ASSERT_NE(b.rb, nullptr);
    EXPECT_STREQ(b.find(2)->resval.rstring, L"KM");
    EXPECT_DOUBLE_EQ(b.find(10)->resval.rpoint[0], 1);
    ASSERT_NE(b.find(-2), nullptr);
    AcDbObjectId fromName;
    acdbGetObjectId(fromName, b.find(-2)->resval.rlname);
    EXPECT_EQ(fromName, first);
    EXPECT_EQ(acdbTblSearch(L"BLOCK", L"NOPE", 0), nullptr);
    EXPECT_EQ(acdbTblSearch(L"NOTABLE", L"x", 0), nullptr);
    // Entities on a layer that does not exist are refused.
    auto* p = new AcDbPoint();
    EXPECT_EQ(p->setLayer(L"nowhere"), Acad::eKeyNotFound);
    EXPECT_EQ(p->setLayer(L"ELEMENT"), Acad::eOk);
    EXPECT_EQ(p->layerName(), "Element");
    delete p;
}

TEST_F(DatabaseTest, DistanceTextAndRealsConvertInEveryUnit)
{
    // Text in each unit (scientific, decimal, engineering, architectural,
    // fractional) to the same distance.
    const std::pair<const ACHAR*, int> texts[] = {
        {L"12.5", 2}, {L"1.25E+01", 1}, {L"1'-2.5\"", 3}, {L"1'-2 1/2\"", 4}, {L"14 1/2", 5}};
    for (const auto& [text, unit] : texts) {
        double v = 0;
        EXPECT_EQ(acdbDisToF(text, unit, &v), RTNORM) << wideToUtf8(text);
        EXPECT_DOUBLE_EQ(v, unit <= 2 ? 12.5 : 14.5) << wideToUtf8(text);
    }
    double v = 7;
    for (const ACHAR* bad : {L"abc", L"", L"3x"})
        EXPECT_EQ(acdbDisToF(bad, 2, &v), RTERROR) << wideToUtf8(bad);
    EXPECT_EQ(v, 7);

    struct Case {
        double value;
        int unit, precision;
        const ACHAR* text;
    };
    const Case cases[] = {{30.0, 2, -1, L"30.0000"}, {0.3, 2, 2, L"0.30"},          {-0.00001, 2, 2, L"0.00"},
                          {1234.56, 1, 3, L"1.235E+03"}, {14.5, 4, 2, L"1'-2 1/2\""}, {14.5, 5, 2, L"14 1/2"}};
    ACHAR buf[64];
    for (const Case& c : cases) {
        ASSERT_EQ(acdbRToS(c.value, c.unit, c.precision, buf, 64), RTNORM) << c.value;
        EXPECT_STREQ(buf, c.text);
    }
    db->setHeaderVar("$DIMZIN", 70, "8");
    ASSERT_EQ(acdbRToS(30.0, 2, 4, buf, 64), RTNORM);
    EXPECT_STREQ(buf, L"30");
    EXPECT_EQ(acdbRToS(1.0, 9, 2, buf, 64), RTERROR);
    EXPECT_EQ(acdbRToS(123456.0, 2, 4, buf, 4), RTERROR);
}

// Large reals are written whole or refused, never cut short into another
// number.
TEST_F(DatabaseTest, LargeRealsToTextAreWholeOrRefused)
{
    std::vector<ACHAR> buf(1024);
    ASSERT_EQ(acdbRToS(1e300, 2, 4, buf.data(), buf.size()), RTNORM);
    std::wstring text = buf.data();
    EXPECT_EQ(text.size(), 301u + 5u);
    double back = 0;
    ASSERT_EQ(acdbDisToF(text.c_str(), 2, &back), RTNORM);
    EXPECT_EQ(back, 1e300);
    ASSERT_EQ(acdbRToS(-1e300, 3, 2, buf.data(), buf.size()), RTNORM);
    EXPECT_EQ(buf[0], L'-');
    EXPECT_GT(std::wcslen(buf.data()), 290u);
    // Too long for the caller's buffer, or too large for whole fractions.
    EXPECT_EQ(acdbRToS(1e300, 2, 4, buf.data(), 256), RTERROR);
    EXPECT_EQ(acdbRToS(1e300, 4, 2, buf.data(), buf.size()), RTERROR);
    EXPECT_EQ(acdbRToS(-1e19, 5, 0, buf.data(), buf.size()), RTERROR);
    ASSERT_EQ(acdbRToS(1e15, 5, 0, buf.data(), buf.size()), RTNORM);
    EXPECT_STREQ(buf.data(), L"1000000000000000");
}

void expectBox(const AcDbEntity& e, double x0, double y0, double x1, double y1)
{
    AcDbExtents ext;
    ASSERT_EQ(e.getGeomExtents(ext), Acad::eOk) << e.dxfName();
    EXPECT_NEAR(ext.minPoint().x, x0, 1e-9) << e.dxfName();
    EXPECT_NEAR(ext.minPoint().y, y0, 1e-9) << e.dxfName();
    EXPECT_NEAR(ext.maxPoint().x, x1, 1e-9) << e.dxfName();
    EXPECT_NEAR(ext.maxPoint().y, y1, 1e-9) << e.dxfName();
}

TEST_F(DatabaseTest, ExtentsOfEveryEntityKind)
{
    expectBox(AcDbLine(AcGePoint3d(3, 1, 0), AcGePoint3d(-1, 4, 0)), -1, 1, 3, 4);
    expectBox(AcDbCircle(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, 2), -1, -1, 3, 3);
    // A quarter arc from 0 to 90 degrees, and one across the 0 direction.
    expectBox(AcDbArc(AcGePoint3d(0, 0, 0), 2, 0, kPi / 2), 0, 0, 2, 2);
    expectBox(AcDbArc(AcGePoint3d(0, 0, 0), 2, 7 * kPi / 4, kPi / 4), std::sqrt(2.0), -std::sqrt(2.0), 2,
              std::sqrt(2.0));
    expectBox(AcDbPoint(AcGePoint3d(5, 6, 0)), 5, 6, 5, 6);
    expectBox(AcDbSolid(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0), AcGePoint3d(0, 1, 0), AcGePoint3d(2, 1, 0)), 0,
              0, 2, 1);
    // A polyline with a half-circle bulge bows out below its chord.
    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(0, 0), 1.0);
    pl.addVertexAt(1, AcGePoint2d(4, 0));
    expectBox(pl, 0, -2, 4, 0);
    pl.setBulgeAt(0, -1.0);
    expectBox(pl, 0, 0, 4, 2);
    // Left-aligned text grows right and up from its position.
    AcDbText t(AcGePoint3d(10, 10, 0), L"AB", 2.0);
    AcDbExtents te;
    ASSERT_EQ(t.getGeomExtents(te), Acad::eOk);
    EXPECT_NEAR(te.minPoint().x, 10, 1e-9);
    EXPECT_GT(te.maxPoint().x, 11);
    EXPECT_NEAR(te.maxPoint().y, 12, 1e-9);
    // Centred text is centred on its alignment point.
    t.setHorizontalMode(AcDb::kTextCenter);
    t.setAlignmentPoint(AcGePoint3d(0, 0, 0));
    ASSERT_EQ(t.getGeomExtents(te), Acad::eOk);
    EXPECT_NEAR(te.minPoint().x + te.maxPoint().x, 0, 1e-9);
}

TEST_F(DatabaseTest, MultipleInsertsCoverEveryCopyAndKeepTheirGridWhenTransformed)
{
    auto* block = new AcDbBlockTableRecord();
    block->setName("CELL");
    AcDbObjectId blockId;
    ASSERT_EQ(db->addBlockTableRecord(blockId, block), Acad::eOk);
    block->appendAcDbEntity(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1));
    AcDbMInsertBlock grid(AcGePoint3d(5, 5, 0), blockId);
    EXPECT_EQ(grid.setColumns(0), Acad::eInvalidInput);
    EXPECT_EQ(grid.setRowSpacing(std::nan("")), Acad::eInvalidInput);
    ASSERT_EQ(grid.setColumns(4), Acad::eOk);
    ASSERT_EQ(grid.setRows(3), Acad::eOk);
    grid.setColumnSpacing(10);
    grid.setRowSpacing(-5);
    EXPECT_EQ(grid.copyCount(), 12);
    // Columns reach x = 35, rows down to y = -5; each circle adds 1 around.
    expectBox(grid, 4, -6, 36, 6);

    // Turned by 90 degrees about the origin and doubled: columns run up by
    // 20, rows run right by 10.
    ASSERT_EQ(grid.transformBy(AcGeMatrix3d::scaling(2, 2, 1) * AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis)),
              Acad::eOk);
    EXPECT_NEAR(grid.columnSpacing(), 20, 1e-9);
    EXPECT_NEAR(grid.rowSpacing(), -10, 1e-9);
    const AcGeMatrix3d last = grid.copyTransform(11);
    EXPECT_NEAR(last(0, 3), -10 + 20, 1e-9);
    EXPECT_NEAR(last(1, 3), 10 + 60, 1e-9);
    // Mirrored in Y: the copies land where the mirror puts them.
    AcGePoint3d before(grid.copyTransform(11)(0, 3), grid.copyTransform(11)(1, 3), 0);
    ASSERT_EQ(grid.transformBy(AcGeMatrix3d::scaling(-1, 1, 1)), Acad::eOk);
    EXPECT_NEAR(grid.copyTransform(11)(0, 3), -before.x, 1e-9);
    EXPECT_NEAR(grid.copyTransform(11)(1, 3), before.y, 1e-9);
}

TEST_F(DatabaseTest, TransformsMoveRotateScaleAndMirrorEntities)
{
    const AcGeMatrix3d mirrorY = AcGeMatrix3d::mirroring(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 1, 0));
    AcDbLine line(AcGePoint3d(1, 0, 0), AcGePoint3d(2, 0, 0));
    line.transformBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis));
    EXPECT_NEAR(line.endPoint().y, 2, 1e-12);
    // Arcs keep their sweep direction under a mirror.
    AcDbArc arc(AcGePoint3d(0, 0, 0), 1, 0, kPi / 2);
    ASSERT_EQ(arc.transformBy(mirrorY), Acad::eOk);
    EXPECT_NEAR(arc.startAngle(), kPi / 2, 1e-12);
    EXPECT_NEAR(arc.endAngle(), kPi, 1e-12);
    AcDbCircle circle(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, 1);
    EXPECT_EQ(circle.transformBy(AcGeMatrix3d::scaling(2, 1, 1)), Acad::eCannotScaleNonUniformly);
    ASSERT_EQ(circle.transformBy(AcGeMatrix3d::scaling(3)), Acad::eOk);
    EXPECT_DOUBLE_EQ(circle.radius(), 3);
    // Polylines: widths scale, bulges flip under a mirror.
    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(0, 0), 0.5);
    pl.addVertexAt(1, AcGePoint2d(1, 0));
    pl.setConstantWidth(0.3);
    pl.transformBy(AcGeMatrix3d::scaling(2) * mirrorY);
    double b = 0, w = 0;
    pl.getBulgeAt(0, b);
    pl.getConstantWidth(w);
    EXPECT_DOUBLE_EQ(b, -0.5);
    EXPECT_DOUBLE_EQ(w, 0.6);
    AcGePoint2d p;
    pl.getPointAt(1, p);
    EXPECT_EQ(p, AcGePoint2d(-2, 0));
    // A block reference mirrored in Y gets a negative X scale and keeps
    // its rotation; its geometry lands where the mirrored geometry is.
    auto* block = new AcDbBlockTableRecord();
    block->setName("ARM");
    AcDbObjectId bid;
    ASSERT_EQ(db->addBlockTableRecord(bid, block), Acad::eOk);
    block->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(5, 1, 0)));
    auto* ref = new AcDbBlockReference(AcGePoint3d(10, 0, 0), bid);
    add(ref);
    ASSERT_EQ(ref->transformBy(mirrorY), Acad::eOk);
    EXPECT_EQ(ref->position(), AcGePoint3d(-10, 0, 0));
    EXPECT_DOUBLE_EQ(ref->scaleFactors().sx, -1);
    EXPECT_DOUBLE_EQ(ref->scaleFactors().sy, 1);
    EXPECT_NEAR(ref->rotation(), 0, 1e-12);
    expectBox(*ref, -15, 0, -10, 1);
    ASSERT_EQ(ref->transformBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis)), Acad::eOk);
    expectBox(*ref, -1, -15, 0, -10);
    // Shear cannot be carried by a block reference.
    auto* turned = new AcDbBlockReference(AcGePoint3d(0, 0, 0), bid);
    turned->setRotation(kPi / 4);
    add(turned);
    EXPECT_EQ(turned->transformBy(AcGeMatrix3d::scaling(2, 1, 1)), Acad::eCannotScaleNonUniformly);
    // Text turns with the transform and keeps its height under rotation.
    AcDbText text(AcGePoint3d(1, 0, 0), L"X", 2.0);
    text.transformBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis));
    EXPECT_NEAR(text.rotation(), kPi / 2, 1e-12);
    EXPECT_NEAR(text.position().y, 1, 1e-12);
    EXPECT_DOUBLE_EQ(text.height(), 2.0);
}

// Entities take finite numbers only: each setter refuses the others and
// keeps what it had, a database refuses an entity built with one, and a
// transformation that would overflow leaves the entity as it was.
TEST_F(DatabaseTest, NonFiniteNumbersNeverReachAnEntity)
{
    const double inf = HUGE_VAL, nan = std::nan("");
    const AcGePoint3d far(inf, 0, 0), none(0, nan, 0);

    AcDbPolyline pl;
    EXPECT_EQ(pl.addVertexAt(0, AcGePoint2d(inf, 0)), Acad::eInvalidInput);
    EXPECT_EQ(pl.addVertexAt(0, AcGePoint2d(0, 0), nan), Acad::eInvalidInput);
    EXPECT_EQ(pl.addVertexAt(0, AcGePoint2d(0, 0), 0.0, inf, 1.0), Acad::eInvalidInput);
    EXPECT_EQ(pl.numVerts(), 0u);
    ASSERT_EQ(pl.addVertexAt(0, AcGePoint2d(1, 2)), Acad::eOk);
    EXPECT_EQ(pl.setPointAt(0, AcGePoint2d(nan, 0)), Acad::eInvalidInput);
    EXPECT_EQ(pl.setBulgeAt(0, inf), Acad::eInvalidInput);
    EXPECT_EQ(pl.setWidthsAt(0, 1.0, inf), Acad::eInvalidInput);
    EXPECT_EQ(pl.setWidthsAt(0, nan, 1.0), Acad::eInvalidInput);
    EXPECT_EQ(pl.setConstantWidth(nan), Acad::eInvalidInput);
    EXPECT_EQ(pl.setConstantWidth(inf), Acad::eInvalidInput);
    pl.setElevation(inf);
    EXPECT_EQ(pl.elevation(), 0.0);
    AcGePoint2d v;
    double bulge = 1, sw = 1, ew = 1;
    pl.getPointAt(0, v);
    pl.getBulgeAt(0, bulge);
    pl.getWidthsAt(0, sw, ew);
    EXPECT_EQ(v, AcGePoint2d(1, 2));
    EXPECT_EQ(bulge, 0.0);
    EXPECT_EQ(sw, 0.0);
    EXPECT_EQ(ew, 0.0);

    AcDbText text(AcGePoint3d(1, 1, 0), L"A", 2.5);
    EXPECT_EQ(text.setPosition(far), Acad::eInvalidInput);
    EXPECT_EQ(text.setAlignmentPoint(none), Acad::eInvalidInput);
    EXPECT_EQ(text.setHeight(inf), Acad::eInvalidInput);
    EXPECT_EQ(text.setWidthFactor(nan), Acad::eInvalidInput);
    EXPECT_EQ(text.setRotation(inf), Acad::eInvalidInput);
    EXPECT_EQ(text.position(), AcGePoint3d(1, 1, 0));
    EXPECT_EQ(text.alignmentPoint(), AcGePoint3d(1, 1, 0));
    EXPECT_EQ(text.height(), 2.5);
    EXPECT_EQ(text.rotation(), 0.0);

    AcDbBlockReference ref;
    EXPECT_EQ(ref.setPosition(far), Acad::eInvalidInput);
    EXPECT_EQ(ref.setScaleFactors(AcGeScale3d(1, inf, 1)), Acad::eInvalidInput);
    EXPECT_EQ(ref.setScaleFactors(AcGeScale3d(nan)), Acad::eInvalidInput);
    EXPECT_EQ(ref.setRotation(nan), Acad::eInvalidInput);
    EXPECT_EQ(ref.scaleFactors(), AcGeScale3d(1));
    EXPECT_EQ(ref.position(), AcGePoint3d(0, 0, 0));

    AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    EXPECT_EQ(line.setStartPoint(none), Acad::eInvalidInput);
    EXPECT_EQ(line.setEndPoint(far), Acad::eInvalidInput);
    AcDbCircle circle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1);
    EXPECT_EQ(circle.setCenter(far), Acad::eInvalidInput);
    EXPECT_EQ(circle.setRadius(inf), Acad::eInvalidInput);
    AcDbArc arc(AcGePoint3d(0, 0, 0), 1, 0, 1);
    EXPECT_EQ(arc.setStartAngle(nan), Acad::eInvalidInput);
    AcDbSolid solid;
    EXPECT_EQ(solid.setPointAt(2, far), Acad::eInvalidInput);
    AcDbPoint point;
    EXPECT_EQ(point.setPosition(none), Acad::eInvalidInput);

    // Built with a non-finite number: refused, the caller keeps it.
    const std::size_t before = ms->entityIds().size();
    AcDbObjectId id;
    std::unique_ptr<AcDbLine> bad(new AcDbLine(AcGePoint3d(0, 0, 0), far));
    EXPECT_EQ(ms->appendAcDbEntity(id, bad.get()), Acad::eInvalidInput);
    std::unique_ptr<AcDbText> badText(new AcDbText(AcGePoint3d(0, 0, 0), L"A", inf));
    EXPECT_EQ(ms->appendAcDbEntity(badText.get()), Acad::eInvalidInput);
    EXPECT_EQ(ms->entityIds().size(), before);
    EXPECT_TRUE(id.isNull());

    // Moves past the largest double, or by a matrix of no numbers, change
    // nothing.
    AcDbLine edge(AcGePoint3d(1e308, 0, 0), AcGePoint3d(1.5e308, 0, 0));
    EXPECT_EQ(edge.transformBy(AcGeMatrix3d::translation(AcGeVector3d(1e308, 0, 0))), Acad::eInvalidInput);
    EXPECT_EQ(edge.startPoint(), AcGePoint3d(1e308, 0, 0));
    EXPECT_EQ(edge.endPoint(), AcGePoint3d(1.5e308, 0, 0));
    EXPECT_EQ(line.transformBy(AcGeMatrix3d::translation(AcGeVector3d(nan, 0, 0))), Acad::eInvalidInput);
    EXPECT_EQ(line.endPoint(), AcGePoint3d(1, 0, 0));
    AcDbPolyline wide;
    wide.addVertexAt(0, AcGePoint2d(0, 0));
    wide.addVertexAt(1, AcGePoint2d(1, 0));
    wide.setConstantWidth(1e200);
    EXPECT_EQ(wide.transformBy(AcGeMatrix3d::scaling(1e200)), Acad::eInvalidInput);
    double w = 0;
    wide.getConstantWidth(w);
    EXPECT_EQ(w, 1e200);
    AcDbBlockReference big(AcGePoint3d(0, 0, 0), AcDbObjectId());
    ASSERT_EQ(big.setScaleFactors(AcGeScale3d(1e200)), Acad::eOk);
    EXPECT_EQ(big.transformBy(AcGeMatrix3d::scaling(1e200)), Acad::eInvalidInput);
    EXPECT_EQ(big.scaleFactors(), AcGeScale3d(1e200));
    EXPECT_EQ(circle.transformBy(AcGeMatrix3d::scaling(inf)), Acad::eInvalidInput);
    EXPECT_EQ(circle.radius(), 1.0);

    // Extended data: points as reals.
    db->registerApp("IDPOINT");
    ads_point nowhere = {0, nan, 0};
    resbuf* xd = acutBuildList(1001, L"IDPOINT", 1011, nowhere, 0);
    EXPECT_EQ(line.setXData(xd), Acad::eInvalidInput);
    acutRelRb(xd);
    resbuf* kept = line.xData(L"IDPOINT");
    EXPECT_EQ(kept, nullptr);
    acutRelRb(kept);
}

TEST_F(DatabaseTest, ResultBufferListsBuildAndRelease)
{
    ads_point p = {1, 2, 3};
    ads_name n = {5, 6};
    resbuf* rb = acutBuildList(RTSTR, L"a", RTREAL, 1.5, RTSHORT, 7, RTLONG, 70000, RT3DPOINT, p, RTENAME, n,
                               RTLB, RTNIL, RTT, RTLE, 0);
    ASSERT_NE(rb, nullptr);
    int count = 0;
    for (resbuf* q = rb; q; q = q->rbnext)
        ++count;
    EXPECT_EQ(count, 10);
    EXPECT_STREQ(rb->resval.rstring, L"a");
    EXPECT_DOUBLE_EQ(rb->rbnext->resval.rreal, 1.5);
    EXPECT_EQ(rb->rbnext->rbnext->resval.rint, 7);
    EXPECT_EQ(rb->rbnext->rbnext->rbnext->resval.rlong, 70000);
    EXPECT_DOUBLE_EQ(rb->rbnext->rbnext->rbnext->rbnext->resval.rpoint[2], 3);
    EXPECT_EQ(rb->rbnext->rbnext->rbnext->rbnext->rbnext->resval.rlname[1], 6);
    acutRelRb(rb);
    // An unknown type gives no list rather than a wrong one.
    EXPECT_EQ(acutBuildList(RTSTR, L"x", 4999, 1, 0), nullptr);
    EXPECT_EQ(utf8ToWide("a\xff" "b"), L"a\xFFFD" L"b");
    EXPECT_EQ(wideToUtf8(L"控制"), "控制");
}

} // namespace

namespace {

// A block that inserts itself twice: the extents query ends, and gives the
// block's own geometry.
TEST_F(DatabaseTest, ExtentsOfSelfInsertingBlocksEnd)
{
    auto* loop = new AcDbBlockTableRecord();
    loop->setName("LOOP");
    AcDbObjectId lid;
    ASSERT_EQ(db->addBlockTableRecord(lid, loop), Acad::eOk);
    loop->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)));
    loop->appendAcDbEntity(new AcDbBlockReference(AcGePoint3d(5, 0, 0), lid));
    loop->appendAcDbEntity(new AcDbBlockReference(AcGePoint3d(0, 5, 0), lid));
    auto* ref = new AcDbBlockReference(AcGePoint3d(10, 10, 0), lid);
    add(ref);
    expectBox(*ref, 10, 10, 11, 11);
}

} // namespace
