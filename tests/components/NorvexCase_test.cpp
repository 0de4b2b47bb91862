// Letter case of the module's names and codes: ASCII letters only,
// whatever the locale; Chinese text stays as it is.
#include "components/NorvexCase.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NorvexCaseTest, UpperChangesAsciiLettersOnly)
{
    const testutil::Utf8CharLocale utf8;
    EXPECT_EQ(UpperStr(std::wstring(L"km常开触点.dwg éａ")), L"KM常开触点.DWG éａ");
    EXPECT_EQ(UpperStr(std::string("slide\xE5\x9B\xBE")), "SLIDE\xE5\x9B\xBE");
    EXPECT_EQ(UpperChar(L'q'), L'Q');
    EXPECT_EQ(UpperChar(L'中'), L'中');
}

TEST(NorvexCaseTest, EqualNoCaseIgnoresAsciiCaseOnly)
{
    const testutil::Utf8CharLocale utf8;
    EXPECT_TRUE(EqualNoCase(L"PmtFh1", L"pmtfh1"));
    EXPECT_TRUE(EqualNoCase(L"元件层a", L"元件层A"));
    EXPECT_FALSE(EqualNoCase(L"é", L"É"));
    EXPECT_FALSE(EqualNoCase(L"元件", L"元件层"));
    EXPECT_TRUE(EqualNoCase(std::string("Ylthzcs"), std::string("YLTHZCS")));
    EXPECT_FALSE(EqualNoCase(std::string("YLTHZCS"), std::string("YLTHZC")));
}

} // namespace
