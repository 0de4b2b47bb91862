// The schematic's extended data: the parameter text, identifier points,
// symbol references, and reading texts around brace pairs.
#include "schematic/SchematicXdata.h"

#include "components/NorvexGloFunc.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace {

std::string g_out;

class XdataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_out.clear();
        host::setOutput([](const std::string& s) { g_out += s; });
        acDocManager->newDocument();
        db = acdbHostApplicationServices()->workingDatabase();
        AcDbInternals::modelSpace(*db)->appendAcDbEntity(line, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
    }
    void TearDown() override
    {
        acDocManager->closeAll();
        host::setOutput(nullptr);
    }
    resbuf* data(const ACHAR* app)
    {
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForRead), Acad::eOk);
        resbuf* rb = obj->xData(app);
        obj->close();
        return rb;
    }
    std::wstring firstString(const ACHAR* app)
    {
        resbuf* rb = data(app);
        std::wstring s = rb && rb->rbnext && rb->rbnext->restype == 1000 ? rb->rbnext->resval.rstring : L"<none>";
        acutRelRb(rb);
        return s;
    }
    void setRaw(resbuf* chain)
    {
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(obj->setXData(chain), Acad::eOk);
        obj->close();
        acutRelRb(chain);
    }
    const std::string& out = g_out;
    AcDbDatabase* db = nullptr;
    AcDbObjectId line;
};

} // namespace

TEST_F(XdataTest, ParametersOfHugeSizesAreWrittenWhole)
{
    // 1e300 has 301 digits before the point: more than any fixed buffer.
    const std::wstring text = FormatSchematicParameters(1e300, 30, 0.3, 1e200, 3, 0);
    EXPECT_GT(text.size(), 500u);
    std::vector<std::wstring> fields;
    ExplodeStr(text, L"&", fields);
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(std::wcstod(fields[0].c_str(), nullptr), 1e300);
    EXPECT_EQ(std::wcstod(fields[3].c_str(), nullptr), 1e200);
    EXPECT_EQ(fields[5], L"0");
}

TEST_F(XdataTest, ParametersAreSixFieldsInTheirFormats)
{
    EXPECT_EQ(FormatSchematicParameters(20, 30, 0.3, 1, 3, 0), L"20.00&30.00&0.30&1.00&3&0");
    EXPECT_EQ(FormatSchematicParameters(7.505, 12.345, 0, 2.5, 10, 1), L"7.50&12.35&0.00&2.50&10&1")
        << "rounded to two decimals";

    ASSERT_EQ(WriteSchematicXdata(line, 20, 30, 0.3, 1, 3, 0, AcGePoint3d(100, 200, 5)), 1);
    EXPECT_EQ(firstString(L"YLTHZCS"), L"20.00&30.00&0.30&1.00&3&0");
    EXPECT_EQ(firstString(L"TKSY"), L"<none>") << "wires carry no symbol reference";
    AcGePoint3d p;
    ASSERT_EQ(GetIdPoint(line, p), 1);
    EXPECT_EQ(p, AcGePoint3d(100, 200, 0)) << "the identifier point is written with z 0";
    EXPECT_TRUE(db->isAppRegistered("IDPOINT"));
    EXPECT_TRUE(db->isAppRegistered("YLTHZCS"));

    // Written again: replaced, not added.
    ASSERT_EQ(WriteSchematicXdata(line, 10, 15, 0, 1, 4, 1, AcGePoint3d(1, 2, 0)), 1);
    EXPECT_EQ(firstString(L"YLTHZCS"), L"10.00&15.00&0.00&1.00&4&1");
    resbuf* id = data(L"IDPOINT");
    int items = 0;
    for (resbuf* rb = id; rb; rb = rb->rbnext)
        ++items;
    acutRelRb(id);
    EXPECT_EQ(items, 2) << "the application name and one point";
}

TEST_F(XdataTest, SymbolsWithoutAPaletteCarryAnEmptyReference)
{
    ASSERT_EQ(WriteSymbolXdata(line, 20, 30, 0.3, 1, 3, 0, AcGePoint3d(0, 0, 0)), 1);
    EXPECT_EQ(firstString(L"TKSY"), L"&");
    EXPECT_EQ(firstString(L"YLTHZCS"), L"20.00&30.00&0.30&1.00&3&0");
}

TEST_F(XdataTest, IdentifierPointsOnlyFromAWorldPointFirst)
{
    AcGePoint3d p(9, 9, 9);
    EXPECT_EQ(GetIdPoint(line, p), 0) << "no data";
    EXPECT_EQ(GetIdPoint(AcDbObjectId(), p), 0) << "no entity";
    const ads_point q = {5, 6, 7};
    db->registerApp("IDPOINT");
    setRaw(acutBuildList(1001, L"IDPOINT", 1010, q, 0));
    EXPECT_EQ(GetIdPoint(line, p), 0) << "a 1010 point is not an identifier point";
    EXPECT_EQ(p, AcGePoint3d(9, 9, 9));
    setRaw(acutBuildList(1001, L"IDPOINT", 1011, q, 0));
    ASSERT_EQ(GetIdPoint(line, p), 1);
    EXPECT_EQ(p, AcGePoint3d(5, 6, 0)) << "z read back as 0";
}

TEST_F(XdataTest, TextsInsideBracesAreNotTaken)
{
    db->registerApp("YLTHZCS");
    setRaw(acutBuildList(1001, L"YLTHZCS", 1002, L"{", 1000, L"inside", 1002, L"}", 1000, L"20.00&30.00&0.30&1.00&3&0",
                         1000, L"later", 0));
    ads_name name;
    ASSERT_EQ(acdbGetAdsName(name, line), Acad::eOk);
    std::wstring text = L"unchanged";
    EXPECT_EQ(GetXdataString(name, L"YLTHZCS", text), 1);
    EXPECT_EQ(text, L"20.00&30.00&0.30&1.00&3&0");

    setRaw(acutBuildList(1001, L"YLTHZCS", 1002, L"{", 1000, L"inside", 1002, L"}", 0));
    text = L"unchanged";
    EXPECT_EQ(GetXdataString(name, L"YLTHZCS", text), 1);
    EXPECT_EQ(text, L"unchanged");
    EXPECT_EQ(GetXdataString(name, L"NOSUCHAPP", text), 1);
    EXPECT_EQ(text, L"unchanged");

    const ads_name bogus = {0, 0};
    EXPECT_EQ(GetXdataString(bogus, L"YLTHZCS", text), 1);
    EXPECT_NE(out.find("acdbGetObjectId failed"), std::string::npos);
}

TEST_F(XdataTest, NothingIsWrittenForAnEntityWithoutAName)
{
    EXPECT_EQ(WriteSymbolXdata(AcDbObjectId(), 20, 30, 0.3, 1, 3, 0, AcGePoint3d(0, 0, 0)), 0);
    EXPECT_NE(out.find("获取实体名失败!"), std::string::npos);
}
