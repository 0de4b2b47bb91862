// How objects keep their data small: extended data packed into one buffer
// (read, written, copied and changed through the public interfaces), extra
// tags kept only when there are some, and names shared by every entity that
// uses them; and that none of it loses data on a round trip through DXF.
#include "host/dbinternal.h"
#include "host/dbmain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<AcDbXAppData> sampleGroups()
{
    return {
        {"CTRLSCH_TAG", {{1000, std::string("闸阀 V-00017")}, {1011, AcGePoint3d(1.5, -2.25, 0.125)}, {1040, 0.1}, {1070, std::int32_t{-3}}}},
        {"EMPTY", {}},
        {"RAW", {{1004, std::string("\x00\xff\x10", 3)}, {1002, std::string("{")}, {1071, std::int32_t{2024}}, {1002, std::string("}")},
                 {1005, std::string("1F")}, {1000, std::string(300, 'x')}}},
    };
}

std::vector<AcDbXAppData> viewed(const AcDbXData& data)
{
    // Through the views, as module code reads them.
    std::vector<AcDbXAppData> out;
    for (const AcDbXGroup& g : data) {
        AcDbXAppData& d = out.emplace_back();
        d.app = std::string(g.app);
        for (const AcDbXItem& item : g.items)
            d.items.push_back(item);
    }
    return out;
}

TEST(CompactStorageTest, PackedExtendedDataReadsBackItemByItem)
{
    AcDbXData data;
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(data.begin(), data.end());
    data.assign(sampleGroups());
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.size(), 3u);
    EXPECT_EQ(data.unpack(), sampleGroups());
    EXPECT_EQ(viewed(data), sampleGroups());

    // The item views give each kind without a copy.
    auto group = data.begin();
    const AcDbXGroup tag = *group;
    EXPECT_EQ(tag.app, "CTRLSCH_TAG");
    ASSERT_EQ(tag.items.size(), 4u);
    auto item = tag.items.begin();
    EXPECT_EQ((*item).text(), "闸阀 V-00017");
    ++item;
    EXPECT_EQ((*item).code(), 1011);
    EXPECT_EQ((*item).point(), AcGePoint3d(1.5, -2.25, 0.125));
    ++item;
    EXPECT_EQ((*item).real(), 0.1);
    ++item;
    EXPECT_EQ((*item).integer(), -3);
    EXPECT_TRUE((*++group).items.empty());
    const AcDbXGroup raw = *++group;
    EXPECT_EQ((*raw.items.begin()).text(), std::string("\x00\xff\x10", 3));
    EXPECT_EQ(++group, data.end());

    // Copies own their buffer; moves take it.
    AcDbXData copy = data;
    data.clear();
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(copy.unpack(), sampleGroups());
    AcDbXData moved = std::move(copy);
    EXPECT_EQ(moved.unpack(), sampleGroups());
    data = moved;
    EXPECT_EQ(data, moved);
}

TEST(CompactStorageTest, AnApplicationNamedAgainContinuesItsGroup)
{
    AcDbXDataBuilder b;
    EXPECT_FALSE(b.hasApp());
    b.app("A");
    b.integer(1070, 1);
    b.app("B");
    b.real(1040, 2.5);
    b.app("A");
    b.text(1000, "three");
    AcDbXData data;
    b.finish(data);
    const std::vector<AcDbXAppData> want{{"A", {{1070, std::int32_t{1}}, {1000, std::string("three")}}},
                                         {"B", {{1040, 2.5}}}};
    EXPECT_EQ(data.unpack(), want);
    // The builder is empty again and can be reused.
    EXPECT_FALSE(b.hasApp());
    b.app("C");
    b.finish(data);
    EXPECT_EQ(data.unpack(), (std::vector<AcDbXAppData>{{"C", {}}}));
}

TEST(CompactStorageTest, ExtendedDataSurvivesSetXDataAndTheFile)
{
    AcDbDatabase db;
    acdbHostApplicationServices()->setWorkingDatabase(&db);
    for (const char* app : {"CTRLSCH_TAG", "EMPTY", "RAW"})
        db.registerApp(app);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    line->xdataGroups().assign(sampleGroups());
    AcDbObjectId id;
    ASSERT_EQ(AcDbInternals::modelSpace(db)->appendAcDbEntity(id, line), Acad::eOk);

    // The C interface replaces one application and keeps the others.
    const double p[3] = {7, 8, 9};
    resbuf* rb = acutBuildList(1001, L"CTRLSCH_TAG", 1000, L"新", 1010, p, 0);
    ASSERT_EQ(line->setXData(rb), Acad::eOk);
    acutRelRb(rb);
    std::vector<AcDbXAppData> want = sampleGroups();
    want[0].items = {{1000, std::string("新")}, {1010, AcGePoint3d(7, 8, 9)}};
    EXPECT_EQ(line->xdataGroups().unpack(), want);
    resbuf* got = line->xData(L"RAW");
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->rbnext->restype, 1004);
    EXPECT_EQ(got->rbnext->resval.rbinary.clen, 3);
    acutRelRb(got);

    // Saved and read back: the same data, also a text longer than 255 bytes
    // and the binary chunk.
    line->xdataGroups().assign(sampleGroups());
    AcDbDatabase back(false);
    ASSERT_EQ(back.readDxfText(db.dxfOut(), "round.dxf"), Acad::eOk);
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    const AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(back);
    ASSERT_EQ(ms->entityIds().size(), 1u);
    const AcDbObject* read = AcDbInternals::stub(ms->entityIds()[0])->object.get();
    EXPECT_EQ(read->xdataGroups().unpack(), sampleGroups());
}

TEST(CompactStorageTest, RepeatedApplicationsInAFileAreMergedInOrder)
{
    AcDbDatabase src;
    src.registerApp("A");
    src.registerApp("B");
    auto* pt = new AcDbPoint(AcGePoint3d(1, 2, 0));
    AcDbInternals::modelSpace(src)->appendAcDbEntity(pt);
    pt->xdataGroups().assign({{"A", {{1070, std::int32_t{1}}}}, {"B", {{1000, std::string("b")}}}});
    std::string text = src.dxfOut();
    // The file names A a second time after B.
    const std::string tail = "1000\nb\n";
    const std::size_t at = text.find(tail);
    ASSERT_NE(at, std::string::npos);
    text.insert(at + tail.size(), "1001\nA\n1040\n2.5\n");
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "twice.dxf"), Acad::eOk);
    const AcDbObject* read = AcDbInternals::stub(AcDbInternals::modelSpace(db)->entityIds()[0])->object.get();
    const std::vector<AcDbXAppData> want{{"A", {{1070, std::int32_t{1}}, {1040, 2.5}}}, {"B", {{1000, std::string("b")}}}};
    EXPECT_EQ(read->xdataGroups().unpack(), want);
}

TEST(CompactStorageTest, ExtraTagsAreStoredOnlyWhenPresent)
{
    AcDbLine plain(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    EXPECT_FALSE(plain.hasExtraTags());
    EXPECT_TRUE(std::as_const(plain).extraTags().empty());
    EXPECT_FALSE(plain.hasExtraTags());

    // A file's unknown tags are kept, and go with copies.
    const std::string text = "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\nWIRE\n999\nskip\n 10\n1\n 20\n2\n 30\n0\n"
                             " 11\n3\n 21\n4\n 31\n0\n 77\n5\n  0\nLINE\n  8\nWIRE\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n"
                             "  0\nENDSEC\n  0\nEOF\n";
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "extra.dxf"), Acad::eOk);
    const AcDbObjectIdArray& ids = AcDbInternals::modelSpace(db)->entityIds();
    ASSERT_EQ(ids.size(), 2u);
    const AcDbObject* withExtra = AcDbInternals::stub(ids[0])->object.get();
    const AcDbObject* without = AcDbInternals::stub(ids[1])->object.get();
    ASSERT_TRUE(withExtra->hasExtraTags());
    EXPECT_EQ(withExtra->extraTags().back().code, 77);
    EXPECT_FALSE(without->hasExtraTags());
    const auto copy = withExtra->cloneObject();
    EXPECT_EQ(copy->extraTags(), withExtra->extraTags());
    EXPECT_FALSE(without->cloneObject()->hasExtraTags());
    const std::string saved = db.dxfOut();
    EXPECT_NE(saved.find(" 77\n5\n"), std::string::npos);
}

TEST(CompactStorageTest, EntitiesShareTheirLayerAndLinetypeNames)
{
    AcDbSharedName a("电气导线"), b(std::string("电气") + "导线"), c("WIRE");
    EXPECT_EQ(a, b);
    EXPECT_EQ(&a.str(), &b.str());
    EXPECT_FALSE(a == c);
    EXPECT_EQ(AcDbSharedName().str(), "");

    AcDbLine l1, l2;
    EXPECT_EQ(l1.layerName(), "0");
    EXPECT_EQ(l1.linetypeName(), "ByLayer");
    l1.setLayerName("电气导线");
    l2.setLayerName("电气导线");
    EXPECT_EQ(&l1.layerName(), &l2.layerName());
    l2.setLinetypeName("DASHED");
    EXPECT_EQ(l2.linetypeName(), "DASHED");
    EXPECT_EQ(l1.linetypeName(), "ByLayer");

    // Read from a file, entities of one layer hold the same name.
    AcDbDatabase src;
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("电气导线");
    AcDbObjectId lid;
    ASSERT_EQ(src.addSymbolTableRecord(lid, layer), Acad::eOk);
    for (int i = 0; i < 3; ++i) {
        auto* e = new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i, 1, 0));
        e->setLayerName(i == 1 ? "0" : "电气导线");
        AcDbInternals::modelSpace(src)->appendAcDbEntity(e);
    }
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(src.dxfOut(), "names.dxf"), Acad::eOk);
    const AcDbObjectIdArray& ids = AcDbInternals::modelSpace(db)->entityIds();
    ASSERT_EQ(ids.size(), 3u);
    const auto* e0 = static_cast<const AcDbEntity*>(AcDbInternals::stub(ids[0])->object.get());
    const auto* e1 = static_cast<const AcDbEntity*>(AcDbInternals::stub(ids[1])->object.get());
    const auto* e2 = static_cast<const AcDbEntity*>(AcDbInternals::stub(ids[2])->object.get());
    EXPECT_EQ(e0->layerName(), "电气导线");
    EXPECT_EQ(e1->layerName(), "0");
    EXPECT_EQ(&e0->layerName(), &e2->layerName());
    EXPECT_EQ(&e0->layerName(), &l1.layerName());
}

} // namespace
