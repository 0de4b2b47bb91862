// Letter case of the host's names: ASCII letters only, whatever the locale.
#include "host/adsdefs.h"
#include "host/hoststring.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HostStringTest, OnlyAsciiLettersChangeCaseWhateverTheLocale)
{
    const testutil::Utf8CharLocale utf8;
    EXPECT_EQ(upperAscii(std::wstring(L"_.line 图层a1 éａω")), L"_.LINE 图层A1 éａω");
    EXPECT_EQ(lowerAscii(std::wstring(L"ARXLOAD 图层Z ÉＡΩ")), L"arxload 图层z ÉＡΩ");
    // UTF-8 bytes of Chinese text are never touched.
    EXPECT_EQ(upperAscii(std::string("dwg\xE5\x9B\xBE")), "DWG\xE5\x9B\xBE");
    EXPECT_EQ(lowerAscii(std::string("SEQEND\xC3\x89")), "seqend\xC3\x89");
    EXPECT_EQ(upperAscii(L'z'), L'Z');
    EXPECT_EQ(lowerAscii('@'), '@');
}

TEST(HostStringTest, NamesCompareIgnoringAsciiCaseOnly)
{
    const testutil::Utf8CharLocale utf8;
    EXPECT_TRUE(sameNameIgnoringCase("Model_Space", "MODEL_SPACE"));
    EXPECT_TRUE(sameNameIgnoringCase("图层a", "图层A"));
    EXPECT_FALSE(sameNameIgnoringCase("\xC3\xA9", "\xC3\x89")); // é and É
    EXPECT_FALSE(sameNameIgnoringCase("ab", "abc"));
}

} // namespace
