// The global function library: settings, the layer configuration, project data files (round trips,
// damage, a crash in the middle of a write), typing on the command line,
// extended data and the small helpers.
#include "components/NorvexGloFunc.h"
#include "components/TalvoDataBase.h"
#include "components/TalvoDbObject.h"
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testutil::TempDir;

namespace {

std::string g_out;

class GloFuncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_out.clear();
        host::setOutput([](const std::string& s) { g_out += s; });
        ::setenv("CTRLSCH_SETTINGS", dir.file("settings.json").c_str(), 1);
        testutil::writeFile(dir.file("settings.json"),
                            "{\"VMQMain\": {\"VmqUse\": \"" + dir.path() + "\\\\user\", \"VmqSys\": \"安装\"}}");
        ::mkdir(dir.file("user").c_str(), 0755);
        acDocManager->newDocument();
    }
    void TearDown() override
    {
        acDocManager->closeAll();
        host::setOutput(nullptr);
        ::unsetenv("CTRLSCH_SETTINGS");
    }
    TempDir dir;
};

TEST_F(GloFuncTest, SettingsAreReadWithDefaults)
{
    ACHAR value[256];
    EXPECT_GT(GetInformation(L"VMQMain", L"VmqSys", L"C:\\Zelk7.0", value, 256), 0);
    EXPECT_STREQ(value, L"安装");
    EXPECT_EQ(GetInformation(L"Dwglib", L"DwgDir", L"C:\\Vmq40\\DwgLib2D", value, 256), 0);
    EXPECT_STREQ(value, L"C:\\Vmq40\\DwgLib2D");
    // A value longer than the buffer is cut, never overrun.
    ACHAR small[3];
    GetInformation(L"VMQMain", L"VmqSys", L"", small, 3);
    EXPECT_EQ(std::wstring(small).size(), 2u);
    // A damaged settings file: defaults, and one message naming the file,
    // ended by a line break.
    testutil::writeFile(dir.file("settings.json"), "{\"VMQMain\": ");
    EXPECT_EQ(GetInformation(L"VMQMain", L"VmqSys", L"dflt", value, 256), 0);
    EXPECT_STREQ(value, L"dflt");
    GetInformation(L"VMQMain", L"VmqSys", L"dflt", value, 256);
    EXPECT_EQ(g_out.find("设置文件损坏"), g_out.rfind("设置文件损坏"));
    const std::size_t at = g_out.find("设置文件损坏, 使用默认设置: " + dir.file("settings.json") + ": damaged (");
    ASSERT_NE(at, std::string::npos) << g_out;
    EXPECT_EQ(g_out.back(), '\n') << g_out;
}

// What a session says at its start about the settings file in use; a
// damaged file reported there is not reported again when read.
TEST_F(GloFuncTest, TheSettingsFileInUseIsDescribedInOneLine)
{
    const std::string path = dir.file("settings.json");
    EXPECT_EQ(DescribeSettingsFile(), "设置文件: " + path + "\n");
    ::setenv("CTRLSCH_SETTINGS", dir.file("none.json").c_str(), 1);
    EXPECT_EQ(DescribeSettingsFile(), "设置文件不存在, 使用默认设置: " + dir.file("none.json") + "\n");
    ::unsetenv("CTRLSCH_SETTINGS");
    const char* home = std::getenv("HOME");
    const std::string oldHome = home ? home : "";
    ::setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(DescribeSettingsFile(), "未设置 CTRLSCH_SETTINGS, 使用默认设置 (" + dir.path()
                                          + "/.config/ctrlsch/settings.json 不存在)\n");
    ::setenv("HOME", oldHome.c_str(), 1);
    ::setenv("CTRLSCH_SETTINGS", path.c_str(), 1);
    testutil::writeFile(path, "[1, 2");
    const std::string said = DescribeSettingsFile();
    EXPECT_EQ(said.rfind("设置文件损坏, 使用默认设置: " + path + ": damaged (", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(said.back(), '\n');
    ACHAR value[16];
    EXPECT_EQ(GetInformation(L"VMQMain", L"VmqSys", L"dflt", value, 16), 0);
    EXPECT_EQ(g_out.find("设置文件损坏"), std::string::npos) << g_out;
}

TEST_F(GloFuncTest, ProjectDataRoundTripsEveryKeyPathAndValue)
{
    std::mt19937 rng(7);
    const std::vector<std::wstring> words = {L"Gddata", L"Yltsz", L"Xdis", L"原理图", L"Pmtsj", L"Wz", L"X", L"名称"};
    std::map<std::wstring, std::wstring> written;
    for (int i = 0; i < 60; ++i) {
        // Keys of one depth: none is a branch of another (a node holds a
        // value or further keys, not both).
        std::wstring key;
        const int depth = 3;
        for (int d = 0; d < depth; ++d)
            key += (d ? L"\\" : L"") + words[rng() % words.size()] + std::to_wstring(d);
        std::wstring value = L"值" + std::to_wstring(rng() % 1000) + L" \"q\" \\ end";
        WriteQrzfile(key.c_str(), value.c_str());
        written[key] = value;
    }
    for (const auto& [key, value] : written) {
        ACHAR got[256];
        GetQrzfile(key.c_str(), L"<none>", got, 256);
        EXPECT_EQ(std::wstring(got), value) << wideToUtf8(key);
    }
    ACHAR got[64];
    const std::wstring file = utf8ToWide(dir.file("user/VmqTemporary.Qrz"));
    EXPECT_GT(FindFromQrzfile(file.c_str(), L"No\\Such\\Key", L"dflt", got, 64), 0) << "read, key absent";
    EXPECT_STREQ(got, L"dflt");
    EXPECT_EQ(FindFromQrzfile(utf8ToWide(dir.file("none.Qrz")).c_str(), L"A", L"d2", got, 64), 0);
    EXPECT_STREQ(got, L"d2");
    // The file is readable text.
    EXPECT_NE(testutil::readFile(dir.file("user/VmqTemporary.Qrz")).find("\"Gddata"), std::string::npos);
    // Value nodes count the terminator; a stored text is cut at length - 1.
    CInterDpData data;
    ASSERT_TRUE(data.ReadDataFromQrzFile(file.c_str()));
    ASSERT_TRUE(data.SetSubValueW(L"A\\B", 3, L"xyz", 0));
    const DpValueNode* node = data.GetSubValueFromPathW(0, L"A\\B");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->length, 3);
    EXPECT_STREQ(node->text, L"xy");
    EXPECT_EQ(data.GetSubValueFromPathW(0, L"A"), nullptr); // a branch, not a value
}

TEST_F(GloFuncTest, DamagedProjectDataIsReadAsEmptyAndNeverOverwritten)
{
    const std::string path = dir.file("user/VmqTemporary.Qrz");
    testutil::writeFile(path, "{\"Gddata\": {\"Hj\": \"1\"");
    ACHAR got[32];
    GetQrzfile(L"Gddata\\Hj", L"0", got, 32);
    EXPECT_STREQ(got, L"0");
    WriteQrzfile(L"Gddata\\Hj", L"2");
    EXPECT_EQ(testutil::readFile(path), "{\"Gddata\": {\"Hj\": \"1\"");
    EXPECT_NE(g_out.find("项目数据文件损坏"), std::string::npos);
    // Each change that cannot be stored is said to be lost.
    g_out.clear();
    WriteQrzfile(L"Gddata\\Hj", L"3");
    EXPECT_NE(g_out.find("项目数据文件损坏或无法读取, 设置未保存: " + path + "\n"), std::string::npos) << g_out;
    EXPECT_EQ(testutil::readFile(path), "{\"Gddata\": {\"Hj\": \"1\"");
}

TEST_F(GloFuncTest, ACrashInTheMiddleOfAWriteLeavesTheOldFileWhole)
{
    const std::wstring key = L"Gddata\\Big";
    WriteQrzfile(L"Gddata\\Mark", L"old");
    for (int round = 0; round < 5; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes large values for ever, until killed.
            for (int i = 0;; ++i) {
                const std::wstring big(200000 + i, L'写');
                WriteQrzfile(key.c_str(), big.c_str());
            }
        }
        ::usleep(30000 + round * 20000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        CInterDpData data;
        ASSERT_TRUE(data.ReadDataFromQrzFile(utf8ToWide(dir.file("user/VmqTemporary.Qrz")).c_str()))
            << data.error();
        const DpValueNode* mark = data.GetSubValueFromPathW(0, L"Gddata\\Mark");
        ASSERT_NE(mark, nullptr);
        EXPECT_STREQ(mark->text, L"old");
    }
}

// Reading a named pipe would wait for a writer that never comes: the
// settings, the project data and the layer configuration refuse one (and
// a folder) at once, with a message, and never write over it.
TEST_F(GloFuncTest, ASettingsProjectOrLayerFileThatIsAPipeOrFolderIsRefusedAtOnce)
{
    const std::string project = dir.file("user/VmqTemporary.Qrz");
    ASSERT_EQ(::mkfifo(project.c_str(), 0644), 0);
    const std::string pipe = dir.file("settings-pipe.json");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    ::mkdir(dir.file("inst").c_str(), 0755);
    ::mkdir(dir.file("inst/layers.json").c_str(), 0755);
    const testutil::ChildRun child = testutil::runInChild(
        [&] {
            ACHAR got[64];
            GetQrzfile(L"Gddata\\Hj", L"15", got, 64);
            std::printf("project value %ls\n", got);
            WriteQrzfile(L"Gddata\\Hj", L"20");
            std::printf("found %d\n", FindFromQrzfile(utf8ToWide(project).c_str(), L"A", L"d", got, 64));
            testutil::writeFile(dir.file("settings.json"), "{\"VMQMain\": {\"VmqSys\": \"" + dir.file("inst") + "\"}}");
            LayerInfo info;
            GetDQLayerName(L"SCHEMATIC", L"ELEMENT", info);
            std::printf("layer %s\n", wideToUtf8(info.name).c_str());
            ::setenv("CTRLSCH_SETTINGS", pipe.c_str(), 1);
            std::printf("setting %d\n", GetInformation(L"VMQMain", L"VmqSys", L"dflt", got, 64));
            ::setenv("CTRLSCH_SETTINGS", dir.file("user").c_str(), 1);
            std::printf("setting %d\n", GetInformation(L"VMQMain", L"VmqSys", L"dflt", got, 64));
            std::fwrite(g_out.data(), 1, g_out.size(), stdout);
            return 0;
        },
        10);
    ASSERT_TRUE(child.ended) << "blocked:\n" << child.output;
    const auto said = [&](const std::string& text) { return child.output.find(text) != std::string::npos; };
    EXPECT_TRUE(said("project value 15\n")) << child.output;
    EXPECT_TRUE(said("found 0\n")) << child.output;
    EXPECT_TRUE(said("项目数据文件无法读取, 按空文件读取且不会改写: " + project + ": a named pipe, not a file"))
        << child.output;
    EXPECT_TRUE(said("layer 电气元件\n")) << child.output;
    EXPECT_TRUE(said("图层配置文件无法读取, 使用内置配置: " + dir.file("inst/layers.json") + ": a folder, not a file"))
        << child.output;
    EXPECT_TRUE(said("setting 0\nsetting 0\n")) << child.output;
    EXPECT_TRUE(said("设置文件无法读取, 使用默认设置: " + pipe + ": a named pipe, not a file\n")) << child.output;
    EXPECT_TRUE(said("设置文件无法读取, 使用默认设置: " + dir.file("user") + ": a folder, not a file\n"))
        << child.output;
    EXPECT_TRUE(said("项目数据文件损坏或无法读取, 设置未保存: " + project + "\n")) << child.output;
    struct stat st {};
    ASSERT_EQ(::lstat(project.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the project file was written over";
}

TEST_F(GloFuncTest, HostHelpers)
{
    SendMsgToAcad(L"close ", 7);
    EXPECT_EQ(acDocManager->curDocument()->pendingInput(), "close ");
    AcDbObjectId id;
    AcDbInternals::modelSpace(*acdbCurDwg())->appendAcDbEntity(id, new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 0, 0)));
    ads_name n;
    acdbGetAdsName(n, id);
    resbuf* items = acutBuildList(RTSTR, L"常开&K1", 0);
    ASSERT_EQ(AddXdata(n, L"TKSY", items), 1);
    acutRelRb(items);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
    ACHAR text[64];
    ASSERT_EQ(findXdata(obj, L"TKSY", text, 64), 1);
    EXPECT_STREQ(text, L"常开&K1");
    EXPECT_EQ(findXdata(obj, L"NONE", text, 64), 0);
    obj->close();
    acdbCurDwg()->registerApp("MINPT");
    ads_point p = {3, 4, 5};
    resbuf* pt = acutBuildList(1001, L"MINPT", 1010, p, 0);
    acdbOpenAcDbObject(obj, id, AcDb::kForWrite);
    obj->setXData(pt);
    obj->close();
    acutRelRb(pt);
    AcGePoint3d got;
    ASSERT_EQ(GetEntXdataPoint(id, L"MINPT", got), 1);
    EXPECT_EQ(got, AcGePoint3d(3, 4, 5));
    EXPECT_EQ(GetEntXdataPoint(id, L"MAXPT", got), 0);
    EXPECT_TRUE(EraseObject(id));
    EXPECT_TRUE(id.isErased());

    ads_point a = {0, 0, 0}, b = {0, -2, 0}, c;
    EXPECT_NEAR(arx_angle(a, b), 1.5 * kPi, 1e-12);
    arx_polar(a, kPi / 2, 7.5, c);
    EXPECT_NEAR(c[0], 0, 1e-12);
    EXPECT_NEAR(c[1], 7.5, 1e-12);
    std::vector<std::wstring> parts;
    ExplodeStr(L"20.00&30.00&&1", L"&", parts);
    EXPECT_EQ(parts, (std::vector<std::wstring>{L"20.00", L"30.00", L"", L"1"}));
    EXPECT_EQ(findNumInString(L"KM12"), 2);
    EXPECT_EQ(findNumInString(L"12"), 0);
    EXPECT_EQ(findNumInString(L"KM"), -1);
}

TEST_F(GloFuncTest, SelectionSetsGiveTheirMembersIdsInOrder)
{
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(*acdbCurDwg());
    AcDbObjectId line1, circle, line2;
    ms->appendAcDbEntity(line1, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    ms->appendAcDbEntity(circle, new AcDbCircle(AcGePoint3d(5, 5, 0), AcGeVector3d::kZAxis, 1));
    ms->appendAcDbEntity(line2, new AcDbLine(AcGePoint3d(0, 2, 0), AcGePoint3d(1, 2, 0)));
    resbuf* lines = acutBuildList(RTDXF0, L"LINE", 0);
    std::vector<AcDbObjectId> ids;
    {
        CSelectionSet ss;
        ASSERT_EQ(ss.get(L"X", nullptr, nullptr, lines), RTNORM);
        EXPECT_EQ(ss.length(), 2);
        ASSERT_TRUE(ss.ids(ids));
        EXPECT_EQ(ids, (std::vector<AcDbObjectId>{line1, line2}));
        // A selection that finds nothing holds no set.
        resbuf* texts = acutBuildList(RTDXF0, L"TEXT", 0);
        EXPECT_NE(ss.get(L"X", nullptr, nullptr, texts), RTNORM);
        acutRelRb(texts);
        EXPECT_EQ(ss.length(), 0);
        EXPECT_FALSE(ss.ids(ids));
        EXPECT_TRUE(ids.empty());
    }
    ads_name all;
    ASSERT_EQ(acedSSGet(L"X", nullptr, nullptr, nullptr, all), RTNORM);
    ASSERT_TRUE(SelectionSetIds(all, ids));
    EXPECT_EQ(ids, (std::vector<AcDbObjectId>{line1, circle, line2}));
    acedSSFree(all);
    EXPECT_FALSE(SelectionSetIds(all, ids)) << "a freed set is no set";
    EXPECT_TRUE(ids.empty());
    acutRelRb(lines);
}

} // namespace


namespace {

TEST_F(GloFuncTest, LayerConfigurationFromTheInstallationOrBuiltIn)
{
    LayerInfo info;
    ASSERT_TRUE(GetDQLayerName(L"SCHEMATIC", L"ELEMENT", info));
    EXPECT_EQ(info.name, L"电气元件");
    EXPECT_FALSE(GetDQLayerName(L"SCHEMATIC", L"NOSUCH", info));
    // The installation's file overrides; keys resolve without case.
    ::mkdir(dir.file("inst").c_str(), 0755);
    testutil::writeFile(dir.file("settings.json"), "{\"VMQMain\": {\"VmqSys\": \"" + dir.file("inst") + "\"}}");
    testutil::writeFile(dir.file("inst/layers.json"),
                        "{\"layers\": {\"EL\": {\"name\": \"元件层\", \"color\": 4}},"
                        " \"kinds\": {\"SCHEMATIC\": {\"ELEMENT\": \"EL\"}}}");
    KxDtLayerDef def;
    def.key = L" el \r";
    KxDtLayerCfg cfg;
    ASSERT_TRUE(cfg.GetLayerDef(def));
    EXPECT_EQ(def.name, L"元件层");
    EXPECT_EQ(def.color, 4);
    // The configured layer becomes current, made on first use.
    ASSERT_TRUE(SetToCurrentLayer(L"SCHEMATIC", L"ELEMENT"));
    AcDbDatabase* db = acdbCurDwg();
    EXPECT_EQ(db->headerString("$CLAYER"), "元件层");
    auto* layer = static_cast<AcDbLayerTableRecord*>(AcDbInternals::stub(db->table("LAYER")->getAt("元件层"))->object.get());
    EXPECT_EQ(layer->color(), 4);
    EXPECT_FALSE(SetToCurrentLayer(L"SCHEMATIC", L"SCREEN"));
}

// A layer configuration whose values are of the wrong kind, or whose layer
// name could not be written into a drawing, is damaged as a whole: the
// built-in configuration is used and said so, and no such layer reaches the
// drawing (a name holding a line end made the saved drawing unreadable).
TEST_F(GloFuncTest, ALayerConfigurationWithWrongValuesIsDamagedAndTheBuiltInOneUsed)
{
    ::mkdir(dir.file("inst").c_str(), 0755);
    testutil::writeFile(dir.file("settings.json"), "{\"VMQMain\": {\"VmqSys\": \"" + dir.file("inst") + "\"}}");
    const std::string kinds = " \"kinds\": {\"SCHEMATIC\": {\"ELEMENT\": \"EL\"}}}";
    for (const std::string layer : {"{\"name\": \"元件层\", \"color\": \"red\"}", "{\"name\": 5}",
                                    "{\"name\": \"a\\nb\"}", "{\"name\": \"\"}", "{\"name\": \"x\", \"color\": 9999}",
                                    "{\"name\": \"x\", \"linetype\": []}", "[1]"}) {
        SCOPED_TRACE(layer);
        testutil::writeFile(dir.file("inst/layers.json"), "{\"layers\": {\"EL\": " + layer + "}," + kinds);
        LayerInfo info;
        ASSERT_TRUE(GetDQLayerName(L"SCHEMATIC", L"ELEMENT", info));
        EXPECT_EQ(info.name, L"电气元件");
        ASSERT_TRUE(SetToCurrentLayer(L"SCHEMATIC", L"ELEMENT"));
        EXPECT_EQ(acdbCurDwg()->headerString("$CLAYER"), "电气元件");
        EXPECT_NE(g_out.find("图层配置文件损坏"), std::string::npos);
        g_out.clear();
    }
    // The host itself refuses a table name that is not one DXF value.
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("a\nb");
    AcDbObjectId id;
    EXPECT_EQ(acdbCurDwg()->addSymbolTableRecord(id, layer), Acad::eInvalidInput);
    delete layer;
}

TEST_F(GloFuncTest, ViewCornersPrintScaleAndAddingToTheCurrentSpace)
{
    double ll[2], ur[2];
    XScjx(ll, ur);
    EXPECT_NEAR(ur[1] - ll[1], 297.0, 1e-9);
    EXPECT_NEAR((ur[0] - ll[0]) / (ur[1] - ll[1]), 1024.0 / 768.0, 1e-9);
    EXPECT_EQ(KxDbGetPrintScale(acdbCurDwg()), 1.0);
    acdbCurDwg()->setHeaderVar("$DIMSCALE", 40, "100.0");
    EXPECT_EQ(KxDbGetPrintScale(acdbCurDwg()), 100.0);
    AcDbObjectId id;
    ASSERT_TRUE(AddToCurrentSpace(new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 1, 0)), &id));
    EXPECT_EQ(AcDbInternals::modelSpace(*acdbCurDwg())->entityIds().back(), id);
}

} // namespace
