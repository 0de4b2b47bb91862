// The process code page: GBK unless the settings name another; text that
// is not valid in it is replaced, never cut short.
#include "components/NorvexCodePage.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class CodePageTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("CTRLSCH_SETTINGS", dir.file("settings.json").c_str(), 1); }
    void TearDown() override { ::unsetenv("CTRLSCH_SETTINGS"); }
    void settings(const std::string& json) { testutil::writeFile(dir.file("settings.json"), json); }
    testutil::TempDir dir;
};

} // namespace

TEST_F(CodePageTest, GbkByDefaultAndAsTheSettingsSay)
{
    EXPECT_EQ(ProcessCodePage(), "GBK") << "no settings file";
    const std::string gbk = "\xb3\xa3\xd3\xc3 KM"; // 常用 KM
    std::wstring w;
    ASSERT_TRUE(MultiByteToWide(gbk, w));
    EXPECT_EQ(w, L"常用 KM");
    std::string back;
    ASSERT_TRUE(WideToMultiByte(w, back));
    EXPECT_EQ(back, gbk);

    settings(R"({"VMQMain": {"CodePage": "UTF-8"}})");
    EXPECT_EQ(ProcessCodePage(), "UTF-8");
    ASSERT_TRUE(MultiByteToWide("常用", w));
    EXPECT_EQ(w, L"常用");

    settings(R"({"VMQMain": {"CodePage": "NO-SUCH-ENCODING"}})");
    EXPECT_EQ(ProcessCodePage(), "GBK") << "an encoding iconv does not know";
}

TEST_F(CodePageTest, InvalidBytesAndUnmappableCharactersAreReplaced)
{
    std::wstring w;
    // A lead byte cut off at the end, and a byte GBK never uses.
    EXPECT_FALSE(MultiByteToWide(std::string("A\xff" "B\xb3", 4), w, "GBK"));
    EXPECT_EQ(w, std::wstring(L"A\uFFFDB\uFFFD"));
    std::string out;
    EXPECT_FALSE(WideToMultiByte(L"K\u00e9\u4e2d", out, "CP1252") && out.find('?') == std::string::npos);
    EXPECT_EQ(out.substr(0, 2), "K\xe9");
    EXPECT_EQ(out.back(), '?');
    EXPECT_TRUE(MultiByteToWide("", w, "GBK"));
    EXPECT_TRUE(w.empty());
}
