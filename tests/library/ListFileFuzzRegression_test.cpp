// Inputs kept for the list file readers, written by hand: what each reads
// as, entry by entry. (tests/fuzz replays them through the fuzz checks.)
#include "host/adsdefs.h"
#include "library/SymbolLibrary.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class ListFileRegressionTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("CTRLSCH_SETTINGS", dir.file("settings.json").c_str(), 1); }
    void TearDown() override { ::unsetenv("CTRLSCH_SETTINGS"); }
    testutil::TempDir dir;
};

// What the hand-written inputs must read as, entry by entry.
TEST_F(ListFileRegressionTest, HandWrittenInputsKeepOnlyTheWellFormedLines)
{
    const std::string folder = testutil::sourceDir() + "/tests/data/listfile-fuzz-regressions/";
    auto catalogOf = [&](const char* name, const std::string& codePage = "GBK") {
        CSymbolLibCatalog c;
        c.LoadText(testutil::readFile(folder + name), codePage);
        return c;
    };
    auto indexOf = [&](const char* name) {
        CSymbolIndex x;
        x.LoadText(testutil::readFile(folder + name), "GBK");
        return x;
    };

    CSymbolLibCatalog numbers = catalogOf("huge-numbers.dat");
    ASSERT_EQ(numbers.GetCount(), 4);
    EXPECT_EQ(numbers.GetGridSize(0), 2147483647);
    EXPECT_EQ(numbers.GetReservedNumber(0), -2147483647 - 1);
    EXPECT_EQ(numbers.GetGridSize(1), 6); // "+6 +0"
    EXPECT_EQ(numbers.GetGridSize(2), 6); // "6-1": 6, then -1
    EXPECT_EQ(numbers.GetReservedNumber(2), -1);
    EXPECT_EQ(numbers.GetReservedNumber(3), 0); // "6 0abc"
    EXPECT_EQ(indexOf("huge-numbers.dat").GetCount(), 2); // "5x" and "1-2-3-4-5"

    CSymbolLibCatalog nul = catalogOf("nul-bytes.dat");
    EXPECT_EQ(nul.GetCount(), 0) << "a NUL ends the line";
    CSymbolIndex nulIndex = indexOf("nul-bytes.dat");
    ASSERT_EQ(nulIndex.GetCount(), 1);
    EXPECT_EQ(nulIndex.GetName(0), L"N");

    CSymbolLibCatalog ends = catalogOf("line-ends.dat");
    ASSERT_EQ(ends.GetCount(), 2) << "a lone CR is a blank, not a line end";
    EXPECT_EQ(ends.GetFolderName(0), L"F");
    EXPECT_EQ(ends.GetFolderName(1), L"G");
    EXPECT_EQ(ends.GetReservedNumber(1), 0);

    CSymbolLibCatalog invalid = catalogOf("invalid-gbk.dat");
    ASSERT_EQ(invalid.GetCount(), 2);
    EXPECT_EQ(invalid.GetDisplayName(0), std::wstring(L"\uFFFD\uFFFD"));
    EXPECT_EQ(invalid.GetDisplayName(1), std::wstring(L"\uFFFD"));
    EXPECT_EQ(invalid.GetFolderName(1), std::wstring(L"\uFFFD"));
    ASSERT_EQ(indexOf("invalid-gbk.dat").GetCount(), 1);
    EXPECT_EQ(indexOf("invalid-gbk.dat").GetName(0), std::wstring(L"N\uFFFD"));

    CSymbolLibCatalog astral = catalogOf("astral-utf8.dat", "UTF-8");
    ASSERT_EQ(astral.GetCount(), 1) << "55 UTF-16 units read, 56 do not";
    EXPECT_EQ(astral.GetDisplayName(0).size(), 28u);

    CSymbolLibCatalog lastLine = catalogOf("no-final-newline.dat");
    ASSERT_EQ(lastLine.GetCount(), 1);
    EXPECT_EQ(lastLine.GetDisplayName(0), L"常用");
    ASSERT_EQ(indexOf("no-final-newline.dat").GetCount(), 1);
    EXPECT_EQ(indexOf("no-final-newline.dat").GetName(0), L"N");
}

} // namespace
