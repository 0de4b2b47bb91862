// The equipment table over a project's drawings (esbbtj 1): each drawing
// counts its multiplier (its number in the project's list) for every item
// found first in it, items of one name and model merge into one row, and a
// designation found again in a later drawing is not counted again (a
// different model there is reported and taken).
#include "statistics/EquipmentStatistics.h"

#include "ModuleTest.h"
#include "components/TalvoDataBase.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "installation.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Item {
    const ACHAR* designation;
    const ACHAR* model;
};

class ProjectStatisticsTest : public testutil::ModuleTest {
protected:
    void SetUp() override
    {
        useSettings(testutil::defaultInstallation().settings.string());
        ModuleTest::SetUp();
    }

    // A drawing of the project whose element layer holds block references
    // with the items' equipment data, made as a document of its own and
    // saved; its path without extension. A fresh drawing is current again
    // afterwards.
    std::string drawing(const std::string& name, const std::vector<Item>& items)
    {
        acDocManager->newDocument();
        AcDbDatabase& d = *acdbHostApplicationServices()->workingDatabase();
        EXPECT_TRUE(SetToCurrentLayer(L"SCHEMATIC", L"ELEMENT"));
        LayerInfo element;
        GetDQLayerName(L"SCHEMATIC", L"ELEMENT", element);
        auto* rec = new AcDbBlockTableRecord;
        rec->setName("EQ");
        AcDbObjectId recId;
        d.addBlockTableRecord(recId, rec);
        for (const Item& item : items) {
            auto* ref = new AcDbBlockReference(AcGePoint3d(0, 0, 0), recId);
            ref->setLayer(element.name.c_str());
            for (const auto& [app, value] : {std::pair{L"XMDH", item.designation}, std::pair{L"XHGG", item.model}}) {
                acdbRegApp(app);
                resbuf* data = acutBuildList(1001, app, 1000, value, 0);
                ref->setXData(data);
                acutRelRb(data);
            }
            AcDbInternals::modelSpace(d)->appendAcDbEntity(ref);
        }
        const std::string path = m_dir.file(name);
        EXPECT_EQ(d.saveAs(utf8ToWide(path + ".dxf").c_str()), Acad::eOk);
        acDocManager->newDocument();
        return path;
    }
    // The project's drawing list: paths with their multipliers.
    void project(const std::vector<std::pair<std::string, int>>& drawings) const
    {
        std::string names, numbers;
        for (const auto& d : drawings) {
            names += (names.empty() ? "" : "&") + d.first;
            numbers += (numbers.empty() ? "" : "&") + std::to_string(d.second);
        }
        testutil::writeFile((testutil::defaultInstallation().userDir / "Sbxl.Qrz").string(),
                            "{\"Project\": {\"Filenm\": \"" + names + "\", \"Filenum\": \"" + numbers + "\"}}");
    }
    // Designations, model and quantity of each row, by designations.
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> table()
    {
        std::vector<EquipmentRow> rows;
        EXPECT_TRUE(CollectEquipmentTable(1, rows)) << testutil::hostOutput();
        std::map<std::wstring, std::pair<std::wstring, std::wstring>> out;
        for (const EquipmentRow& r : rows)
            out[r[0]] = {r[4], r[5]};
        return out;
    }

    testutil::TempDir m_dir;
};

using Table = std::map<std::wstring, std::pair<std::wstring, std::wstring>>;

TEST_F(ProjectStatisticsTest, MultipliersOfTheDrawingsAddUpInOneRow)
{
    const std::string a = drawing("A", {{L"KM1", L"CJX2"}, {L"QF1", L"DZ47"}});
    const std::string b = drawing("B", {{L"KM2", L"CJX2"}, {L"KM3", L"CJX2"}});
    project({{a, 2}, {b, 3}});
    EXPECT_EQ(table(), (Table{{L"KM1~3", {L"CJX2", L"8"}}, {L"QF1", {L"DZ47", L"2"}}}));
}

TEST_F(ProjectStatisticsTest, ADesignationInTwoDrawingsCountsOnceWithItsFirstMultiplier)
{
    const std::string a = drawing("A", {{L"KM1", L"CJX2"}});
    const std::string b = drawing("B", {{L"KM1", L"CJX2"}, {L"KM2", L"CJX2"}});
    project({{a, 1}, {b, 4}});
    EXPECT_EQ(table(), (Table{{L"KM1~2", {L"CJX2", L"5"}}}));
    EXPECT_EQ(testutil::hostOutput(), "");
}

TEST_F(ProjectStatisticsTest, ADesignationWithAnotherModelLaterIsReportedAndTakesIt)
{
    const std::string a = drawing("A", {{L"KM1", L"CJX2"}});
    const std::string b = drawing("B", {{L"KM1", L"CJX1"}});
    project({{a, 1}, {b, 2}});
    EXPECT_EQ(table(), (Table{{L"KM1", {L"CJX1", L"1"}}}));
    EXPECT_NE(testutil::hostOutput().find("同一KM1设备的型号标注超过一个!"), std::string::npos)
        << testutil::hostOutput();
}

TEST_F(ProjectStatisticsTest, ADrawingThatCannotBeReadIsReportedAndTheOthersCounted)
{
    const std::string a = drawing("A", {{L"KM1", L"CJX2"}});
    project({{m_dir.file("missing"), 5}, {a, 1}});
    EXPECT_EQ(table(), (Table{{L"KM1", {L"CJX2", L"1"}}}));
    EXPECT_NE(testutil::hostOutput().find("无法打开文件:"), std::string::npos) << testutil::hostOutput();
}

// Reading on several threads: the rows and the messages are those of one
// thread, in the project's order, however many threads read; each drawing's
// own table counts its items once.
TEST_F(ProjectStatisticsTest, ManyReadingThreadsGiveTheOrderOfOne)
{
    std::vector<std::pair<std::string, int>> list;
    for (int i = 0; i < 7; ++i) {
        const std::wstring n = std::to_wstring(i + 1);
        list.push_back({drawing("D" + std::to_string(i),
                                {{(L"KM" + n).c_str(), L"CJX2"}, {L"KM1", i % 2 ? L"CJX1" : L"CJX2"},
                                 {(L"QF" + n).c_str(), L"DZ47"}}),
                        i + 1});
        if (i == 3)
            list.push_back({m_dir.file("missing"), 2});
    }
    project(list);
    auto collect = [](const char* jobs, std::vector<DrawingTable>& drawings) {
        ::setenv("CTRLSCH_JOBS", jobs, 1);
        host::print("\n"); // each run starts at the start of a line
        testutil::hostOutput().clear();
        std::vector<EquipmentRow> rows;
        EXPECT_TRUE(CollectEquipmentTables(1, rows, &drawings));
        ::unsetenv("CTRLSCH_JOBS");
        return std::pair{rows, testutil::hostOutput()};
    };
    std::vector<DrawingTable> one, four;
    const auto sequential = collect("1", one);
    const auto parallel = collect("4", four);
    EXPECT_EQ(parallel.first, sequential.first);
    EXPECT_EQ(parallel.second, sequential.second);
    std::vector<EquipmentRow> plain;
    EXPECT_TRUE(CollectEquipmentTable(1, plain));
    EXPECT_EQ(plain, sequential.first);
    // The unreadable drawing is named once, in its turn.
    EXPECT_NE(sequential.second.find("无法打开文件:"), std::string::npos) << sequential.second;
    ASSERT_EQ(one.size(), 7u);
    ASSERT_EQ(four.size(), 7u);
    for (std::size_t i = 0; i < one.size(); ++i) {
        EXPECT_EQ(four[i].path, one[i].path);
        EXPECT_EQ(four[i].rows, one[i].rows);
    }
    // D1's own table: KM1 and KM2 under its model, QF2; each once.
    Table d1;
    for (const EquipmentRow& r : one[1].rows)
        d1[r[0]] = {r[4], r[5]};
    EXPECT_EQ(d1, (Table{{L"KM2", {L"CJX2", L"1"}}, {L"KM1", {L"CJX1", L"1"}}, {L"QF2", {L"DZ47", L"1"}}}));
    EXPECT_EQ(one[1].path, utf8ToWide(list[1].first) + L".dwg");
}

} // namespace

