// The symbol libraries' list files: the catalogue, the index and the test
// for schematic libraries, read from GBK files (the default code page) as
// the dialogs read them.
#include "library/SymbolLibrary.h"

#include "components/NorvexCodePage.h"
#include "host/adsdefs.h"
#include "host/commandline.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

std::string gbk(const std::wstring& text)
{
    std::string out;
    EXPECT_TRUE(WideToMultiByte(text, out, "GBK"));
    return out;
}

class SymbolLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("CTRLSCH_SETTINGS", dir.file("settings.json").c_str(), 1);
        settings("");
        std::filesystem::create_directories(dir.file("inst"));
        std::filesystem::create_directories(dir.file("符号库"));
    }
    void TearDown() override { ::unsetenv("CTRLSCH_SETTINGS"); }

    // The settings: the installation folder, and extra members of VMQMain.
    void settings(const std::string& extra)
    {
        testutil::writeFile(dir.file("settings.json"),
                            "{\"VMQMain\": {\"VmqSys\": \"" + dir.path() + "/inst\"" + extra + "}}");
    }
    // The symbol drawing folder as the module names it: backslashes.
    std::wstring symbolFolder() const { return utf8ToWide(dir.path()) + L"\\符号库"; }
    // Writes a file below the symbol drawing folder; returns its path
    // (with backslashes).
    std::wstring write(const std::string& relative, const std::string& bytes)
    {
        const std::filesystem::path p = std::filesystem::path(dir.file("符号库")) / relative;
        std::filesystem::create_directories(p.parent_path());
        testutil::writeFile(p.string(), bytes);
        std::wstring w = symbolFolder() + L"\\" + utf8ToWide(relative);
        for (wchar_t& c : w)
            if (c == L'/')
                c = L'\\';
        return w;
    }
    CSymbolLibCatalog loadCatalog(const std::wstring& text)
    {
        CSymbolLibCatalog c;
        EXPECT_TRUE(c.Load(write("T-Sywj.dat", gbk(text))));
        return c;
    }
    CSymbolIndex loadIndex(const std::string& bytes)
    {
        CSymbolIndex x;
        EXPECT_TRUE(x.Load(write("F/F.IDX", bytes)));
        return x;
    }

    testutil::TempDir dir;
};

// ---------------------------------------------------------------- catalogue

TEST_F(SymbolLibraryTest, CatalogueEntriesAndTheirFiles)
{
    EXPECT_EQ(CatalogPath(L"D:\\Lib"), L"D:\\Lib\\T-Sywj.dat");
    EXPECT_EQ(CatalogPath(L"D:\\Lib\\"), L"D:\\Lib\\T-Sywj.dat");

    write("T-Sywj.dat", gbk(L"常用原理图符号 F 6 0\n二次回路 回路 8 -3\n"));
    CSymbolLibCatalog catalog;
    ASSERT_TRUE(catalog.Load(CatalogPath(symbolFolder())));
    ASSERT_EQ(catalog.GetCount(), 2);
    EXPECT_EQ(catalog.GetDisplayName(0), L"常用原理图符号");
    EXPECT_EQ(catalog.GetFolderName(0), L"F");
    EXPECT_EQ(catalog.GetGridSize(0), 6);
    EXPECT_EQ(catalog.GetReservedNumber(0), 0);
    EXPECT_EQ(catalog.GetDisplayName(1), L"二次回路");
    EXPECT_EQ(catalog.GetFolderName(1), L"回路");
    EXPECT_EQ(catalog.GetGridSize(1), 8);
    EXPECT_EQ(catalog.GetReservedNumber(1), -3);

    EXPECT_EQ(catalog.GetSlideLibraryPath(L"D", 0), L"D\\F\\F.SLB");
    EXPECT_EQ(catalog.GetIndexPath(L"D", 0), L"D\\F\\F.IDX");
    EXPECT_EQ(catalog.GetIndexPath(L"D:\\符号", 1), L"D:\\符号\\回路\\回路.IDX");
}

TEST_F(SymbolLibraryTest, CatalogueLookupsOutOfRange)
{
    CSymbolLibCatalog empty;
    EXPECT_EQ(empty.GetGridSize(0), 6);
    EXPECT_EQ(empty.GetGridSize(-1), 6);
    EXPECT_EQ(empty.GetSlideLibraryPath(L"D", 0), L"");
    EXPECT_EQ(empty.GetIndexPath(L"D", -1), L"");
    EXPECT_EQ(empty.GetFolderName(0), L"");

    CSymbolLibCatalog two = loadCatalog(L"A F 9 0\nB G 12 0\n");
    ASSERT_EQ(two.GetCount(), 2);
    EXPECT_EQ(two.GetGridSize(-1), 6);
    EXPECT_EQ(two.GetGridSize(2), 6);
    EXPECT_EQ(two.GetFolderName(-1), L"");
    EXPECT_EQ(two.GetFolderName(2), L"");
    EXPECT_EQ(two.GetDisplayName(2), L"");
    EXPECT_EQ(two.GetSlideLibraryPath(L"D", 7), L"D\\F\\F.SLB");
    EXPECT_EQ(two.GetIndexPath(L"D", -1), L"D\\F\\F.IDX");
    EXPECT_EQ(two.GetSlideLibraryPath(L"D", 1), L"D\\G\\G.SLB");
}

TEST_F(SymbolLibraryTest, LoadSucceedsOnEmptyFilesAndFailsOnMissingOnes)
{
    CSymbolLibCatalog catalog = loadCatalog(L"A F 6 0\n");
    ASSERT_EQ(catalog.GetCount(), 1);
    // Reading again replaces what was there.
    ASSERT_TRUE(catalog.Load(write("T-Sywj.dat", gbk(L"B G 7 0\nC H 8 0\n"))));
    ASSERT_EQ(catalog.GetCount(), 2);
    EXPECT_EQ(catalog.GetFolderName(0), L"G");
    // Blank lines only: success, nothing.
    EXPECT_TRUE(catalog.Load(write("T-Sywj.dat", "\n\n   \n\t\n")));
    EXPECT_EQ(catalog.GetCount(), 0);
    EXPECT_TRUE(catalog.Load(write("T-Sywj.dat", "")));
    EXPECT_EQ(catalog.GetCount(), 0);
    // A file that is not there, or a folder: failure, and empty.
    catalog.Load(write("T-Sywj.dat", "A F 6 0\n"));
    EXPECT_FALSE(catalog.Load(symbolFolder() + L"\\none.dat"));
    EXPECT_EQ(catalog.GetCount(), 0);
    EXPECT_EQ(catalog.GetDisplayName(0), L"");
    catalog.Load(write("T-Sywj.dat", "A F 6 0\n"));
    EXPECT_FALSE(catalog.Load(symbolFolder()));
    EXPECT_EQ(catalog.GetCount(), 0);
    EXPECT_FALSE(catalog.Load(L""));

    catalog.Load(write("T-Sywj.dat", "A F 6 0\n"));
    catalog.Clear();
    EXPECT_EQ(catalog.GetCount(), 0);
    EXPECT_EQ(catalog.GetSlideLibraryPath(L"D", 0), L"");

    CSymbolIndex index = loadIndex("N D C T 1 2 3 4 5\n");
    ASSERT_EQ(index.GetCount(), 1);
    EXPECT_TRUE(index.Load(write("F/F.IDX", "\r\n\r\n")));
    EXPECT_EQ(index.GetCount(), 0);
    index.Load(write("F/F.IDX", "N D C T 1 2 3 4 5\n"));
    EXPECT_FALSE(index.Load(symbolFolder() + L"\\F\\none.IDX"));
    EXPECT_EQ(index.GetCount(), 0);
    EXPECT_EQ(index.GetName(0), L"");
}

// A named pipe in a list file's place made reading wait for ever. The
// catalogue, the index and the layer key file refuse one, and a folder,
// at once and say so on the command line; a missing file says nothing.
TEST_F(SymbolLibraryTest, ListFilesThatArePipesOrFoldersAreRefusedAtOnceWithAMessage)
{
    const std::string folder = dir.file("符号库");
    ASSERT_EQ(::mkfifo((folder + "/T-Sywj.dat").c_str(), 0644), 0);
    write("F/dwglay.dat", "DQ_ELEMENT\n");
    std::filesystem::remove(folder + "/F/dwglay.dat");
    ASSERT_EQ(::mkfifo((folder + "/F/dwglay.dat").c_str(), 0644), 0);
    std::filesystem::create_directories(folder + "/F/F.IDX");
    const testutil::ChildRun child = testutil::runInChild(
        [&] {
            static std::string out;
            host::setOutput([](const std::string& s) { out += s; });
            CSymbolLibCatalog catalog;
            std::printf("catalogue %d\n", catalog.Load(CatalogPath(symbolFolder())) ? 1 : 0);
            catalog.LoadText("A F 6 0\n");
            std::printf("schematic %d\n", catalog.IsSchematicLibrary(symbolFolder(), 0) ? 1 : 0);
            CSymbolIndex index;
            std::printf("index %d\n", index.Load(catalog.GetIndexPath(symbolFolder(), 0)) ? 1 : 0);
            std::printf("missing %d\n", index.Load(symbolFolder() + L"\\F\\none.IDX") ? 1 : 0);
            std::fwrite(out.data(), 1, out.size(), stdout);
            return 0;
        },
        10);
    ASSERT_TRUE(child.ended) << "blocked:\n" << child.output;
    EXPECT_EQ(child.output.rfind("catalogue 0\nschematic 0\nindex 0\nmissing 0\n", 0), 0u) << child.output;
    EXPECT_NE(child.output.find("\n符号库文件无法读取: " + folder + "/T-Sywj.dat: a named pipe, not a file\n"
                                "符号库文件无法读取: " + folder + "/F/dwglay.dat: a named pipe, not a file\n"
                                "符号库文件无法读取: " + folder + "/F/F.IDX: a folder, not a file"),
              std::string::npos)
        << child.output;
    EXPECT_EQ(child.output.find("none.IDX"), std::string::npos) << child.output;
}

TEST_F(SymbolLibraryTest, CatalogueLinesThatDoNotCount)
{
    const std::wstring ok55(55, L'名');
    const std::wstring long56(56, L'名');
    CSymbolLibCatalog c = loadCatalog(L"A F 0 0\n"            // grid 0
                                      L"B F -4 0\n"           // negative grid
                                      L"C F 1 0 and more\n"   // extra text: counts
                                      L"D F 6abc 0\n"         // "abc" is no number
                                      L"E F 6 0abc\n"         // last field: counts
                                      L"F G 6\n"              // a field short
                                      L"G F x 0\n"            // grid not a number
                                      + long56 + L" F 6 0\n"  // display name too long
                                      L"H " + long56 + L" 6 0\n" // folder name too long
                                      + ok55 + L" " + ok55 + L" 6 0\n"
                                      L"I F 4294967302 0\n"); // past 32 bits, not 6
    ASSERT_EQ(c.GetCount(), 3);
    EXPECT_EQ(c.GetDisplayName(0), L"C");
    EXPECT_EQ(c.GetGridSize(0), 1);
    EXPECT_EQ(c.GetDisplayName(1), L"E");
    EXPECT_EQ(c.GetReservedNumber(1), 0);
    EXPECT_EQ(c.GetDisplayName(2), ok55);
    EXPECT_EQ(c.GetFolderName(2), ok55);
}

TEST_F(SymbolLibraryTest, CrLfLineEndsAndAMissingFinalLineEnd)
{
    CSymbolLibCatalog c;
    ASSERT_TRUE(c.Load(write("T-Sywj.dat", gbk(L"控制 F 6 12\r\n保护 G 5 7"))));
    ASSERT_EQ(c.GetCount(), 2);
    EXPECT_EQ(c.GetReservedNumber(0), 12);
    EXPECT_EQ(c.GetFolderName(1), L"G");
    EXPECT_EQ(c.GetReservedNumber(1), 7);

    CSymbolIndex x = loadIndex(gbk(L"KM 接触器 K1 备 1 2 3 4 5\r\nKA 继电器 K2 备 1 2 3 4 5"));
    ASSERT_EQ(x.GetCount(), 2);
    EXPECT_EQ(x.GetReservedText(0), L"备");
    EXPECT_EQ(x.GetDescription(1), L"继电器");
}

TEST_F(SymbolLibraryTest, VeryLongLinesAreReadOrSkippedWhole)
{
    const std::string mb(1 << 20, 'x');
    const std::string blanks(1 << 20, ' ');
    CSymbolLibCatalog c;
    ASSERT_TRUE(c.Load(write("T-Sywj.dat", mb + "\n" + blanks + "A F 6 0\nB G 6 0 " + mb + "\nC H 6 0")));
    ASSERT_EQ(c.GetCount(), 3);
    EXPECT_EQ(c.GetDisplayName(0), L"A");
    EXPECT_EQ(c.GetDisplayName(1), L"B");
    EXPECT_EQ(c.GetDisplayName(2), L"C");
}

TEST_F(SymbolLibraryTest, ListsFollowTheCodePageSetting)
{
    const std::string utf8 = "常用原理图符号 F 6 0\n";
    settings(", \"CodePage\": \"UTF-8\"");
    CSymbolLibCatalog c;
    ASSERT_TRUE(c.Load(write("T-Sywj.dat", utf8)));
    ASSERT_EQ(c.GetCount(), 1);
    EXPECT_EQ(c.GetDisplayName(0), L"常用原理图符号");
    CSymbolIndex x;
    ASSERT_TRUE(x.Load(write("F/F.IDX", "接触器 主触点 KM 备 0 0 0 0 0\n")));
    ASSERT_EQ(x.GetCount(), 1);
    EXPECT_EQ(x.GetDescription(0), L"主触点");
    // The same bytes read as GBK are something else.
    settings("");
    ASSERT_TRUE(c.Load(write("T-Sywj.dat", utf8)));
    ASSERT_EQ(c.GetCount(), 1);
    EXPECT_NE(c.GetDisplayName(0), L"常用原理图符号");
}

// ---------------------------------------------------------------- index

TEST_F(SymbolLibraryTest, IndexLinesNeedAllNineFields)
{
    CSymbolIndex x = loadIndex(gbk(L"KM 接触器 K1 备 1 2 3 4 5\n"
                                   L"KA 继电器 K2 备 1 2 3 4\n"       // eight fields
                                   L"空 空 空 空 0 0 0 0 0\n"         // an empty slot
                                   L"QF 断路器 Q1 备 1 2 3 4 5 extra\n"
                                   L"QS 隔离 Q2 备 1 2 3 4 x\n"
                                   L"HL 指示灯 H1 备 -1 +2 3 4 5x\n"
                                   L"FU 熔断器 F1 备 1 2 3 4 2147483648\n"));
    ASSERT_EQ(x.GetCount(), 4);
    EXPECT_EQ(x.GetName(0), L"KM");
    EXPECT_EQ(x.GetDescription(0), L"接触器");
    EXPECT_EQ(x.GetCode(0), L"K1");
    EXPECT_EQ(x.GetReservedText(0), L"备");
    EXPECT_EQ(x.GetName(1), CSymbolIndex::kEmptySlotName) << "the eight-field line takes no slot";
    EXPECT_EQ(x.GetName(2), L"QF");
    EXPECT_EQ(x.GetName(3), L"HL");
    EXPECT_EQ(x.GetName(4), L"");
    EXPECT_EQ(x.GetCode(-1), L"");
    EXPECT_EQ(x.GetDescription(4), L"");
}

TEST_F(SymbolLibraryTest, IndexFieldsLongerThan55UnitsDropTheLine)
{
    const std::wstring ok(55, L'符'), tooLong(56, L'符');
    CSymbolIndex x = loadIndex(gbk(L"A " + tooLong + L" C T 1 2 3 4 5\n"
                                   L"A D C " + tooLong + L" 1 2 3 4 5\n"
                                   L"B " + ok + L" C " + ok + L" 1 2 3 4 5\n"));
    ASSERT_EQ(x.GetCount(), 1);
    EXPECT_EQ(x.GetName(0), L"B");
    EXPECT_EQ(x.GetDescription(0), ok);
    EXPECT_EQ(x.GetReservedText(0), ok);
}

TEST_F(SymbolLibraryTest, AHundredThousandLinesAreAllRead)
{
    // Every tenth line does not count (a grid size of 0, a missing field).
    constexpr int kLines = 100000;
    std::string cat, idx;
    for (int i = 0; i < kLines; ++i) {
        const std::string n = std::to_string(i);
        const bool skipped = i % 10 == 9;
        cat += "库" + n + " F" + n + (skipped ? " 0 " : " 6 ") + n + "\r\n";
        idx += "S" + n + " 符号" + n + " K" + n + " 备" + (skipped ? "" : " 1") + " 2 3 4 5\n";
    }
    settings(", \"CodePage\": \"UTF-8\"");
    CSymbolLibCatalog c;
    ASSERT_TRUE(c.Load(write("T-Sywj.dat", cat)));
    ASSERT_EQ(c.GetCount(), kLines / 10 * 9);
    EXPECT_EQ(c.GetDisplayName(0), L"库0");
    EXPECT_EQ(c.GetFolderName(9), L"F10");
    EXPECT_EQ(c.GetReservedNumber(c.GetCount() - 1), kLines - 2);
    CSymbolIndex x = loadIndex(idx);
    ASSERT_EQ(x.GetCount(), kLines / 10 * 9);
    EXPECT_EQ(x.GetDescription(c.GetCount() - 1), L"符号" + std::to_wstring(kLines - 2));
    EXPECT_EQ(x.GetCode(9), L"K10");
}

// ---------------------------------------------------------------- schematic libraries

class SchematicLibraryTest : public SymbolLibraryTest {
protected:
    void SetUp() override
    {
        SymbolLibraryTest::SetUp();
        write("T-Sywj.dat", gbk(L"原理 F 6 0\n平面 G 6 0\n"));
        ASSERT_TRUE(catalog.Load(CatalogPath(symbolFolder())));
    }
    void layers(const std::string& json) { testutil::writeFile(dir.file("inst/layers.json"), json); }
    void layerKey(const std::string& firstLine) { write("F/dwglay.dat", firstLine); }
    bool schematic() { return catalog.IsSchematicLibrary(symbolFolder(), 0); }

    CSymbolLibCatalog catalog;
};

TEST_F(SchematicLibraryTest, WithTheBuiltInLayers)
{
    EXPECT_FALSE(schematic()) << "no dwglay.dat";
    layerKey("");
    EXPECT_FALSE(schematic()) << "no first line";
    layerKey("DQ_WIRE\n");
    EXPECT_FALSE(schematic()) << "another layer";
    layerKey("NO_SUCH_KEY\n");
    EXPECT_FALSE(schematic());
    layerKey("DQ_ELEMENT");
    EXPECT_TRUE(schematic());
    layerKey("  dq_element \r\nDQ_WIRE\r\n");
    EXPECT_TRUE(schematic()) << "only the first line, trimmed";
    // Entries that do not exist are no library, whatever the folder holds.
    write("dwglay.dat", "DQ_ELEMENT\n");
    EXPECT_FALSE(catalog.IsSchematicLibrary(symbolFolder(), 2));
    EXPECT_FALSE(catalog.IsSchematicLibrary(symbolFolder(), -1));
    EXPECT_FALSE(catalog.IsSchematicLibrary(symbolFolder(), 1)) << "G has no dwglay.dat";
}

TEST_F(SchematicLibraryTest, WithTheInstallationsLayers)
{
    layers(R"({"layers": {
        "DQ_ELEMENT": {"name": "Elements"},
        "DQ_CASE": {"name": "ELEMENTS"},
        "DQ_OTHER": {"name": "Wires"},
        "原理元件": {"name": "elements"}},
      "kinds": {"SCHEMATIC": {"ELEMENT": "DQ_ELEMENT"}}})");
    layerKey("DQ_OTHER\n");
    EXPECT_FALSE(schematic());
    layerKey("DQ_CASE\n");
    EXPECT_TRUE(schematic()) << "the same layer in other letter case";
    layerKey(gbk(L"原理元件") + "\n");
    EXPECT_TRUE(schematic()) << "a key in the code page";
    layerKey("\n");
    EXPECT_FALSE(schematic()) << "an empty key";

    // Nothing configured for SCHEMATIC ELEMENT: no library qualifies, not
    // even one whose key is unknown as well.
    layers(R"({"layers": {"DQ_OTHER": {"name": "Wires"}}, "kinds": {}})");
    layerKey("UNKNOWN\n");
    EXPECT_FALSE(schematic());
    layerKey("DQ_OTHER\n");
    EXPECT_FALSE(schematic());
}

} // namespace
