// CString: formatting with the Windows meaning of the conversions, and the
// text members dialog code uses.
#include "ui/cstring.h"

#include <gtest/gtest.h>

namespace {

TEST(CStringFormatTest, WideAndNarrowConversionsFollowWindows)
{
    CString s;
    const wchar_t* wide = L"宽";
    s.Format(L"%s|%S|%c|%C|%5s|%-3s|", wide, "窄", L'字', 'n', L"ab", L"x");
    EXPECT_EQ(s, L"宽|窄|字|n|   ab|x  |");
    s.Format(L"%ls|%hs|%ws", L"l", "h", L"w");
    EXPECT_EQ(s, L"l|h|w");
}

TEST(CStringFormatTest, NumbersWidthsAndPrecision)
{
    CString s;
    s.Format(L"%d %5.2f %.1f %03d %x %I64d %%", -7, 3.14159, 20.0, 5, 255, 1LL << 40);
    EXPECT_EQ(s, L"-7  3.14 20.0 005 ff 1099511627776 %");
    s.Format(L"%*d|%.*f", 4, 42, 3, 0.5);
    EXPECT_EQ(s, L"  42|0.500");
    s.AppendFormat(L"+%u", 7u);
    EXPECT_EQ(s, L"  42|0.500+7");
    EXPECT_EQ(ui::formatText(L"%s=%d", L"n", 6), L"n=6");
}

TEST(CStringFormatTest, UnfinishedAndUnknownDirectivesStayAsWritten)
{
    CString s;
    s.Format(L"100%");
    EXPECT_EQ(s, L"100%");
    s.Format(L"%d of %-5", 3);
    EXPECT_EQ(s, L"3 of %-5");
    s.Format(L"%k|%d", 4);
    EXPECT_EQ(s, L"%k|4");
}

TEST(CStringFormatTest, LongResultsAreNotCut)
{
    const std::wstring big(3000, L'x');
    CString s;
    s.Format(L"[%s]", big.c_str());
    EXPECT_EQ(s.GetLength(), 3002);
}

TEST(CStringTest, SearchingAndSlicing)
{
    const CString s = L"Gddata\\Yltsz\\Xdis";
    EXPECT_EQ(s.Find(L'\\'), 6);
    EXPECT_EQ(s.Find(L'\\', 7), 12);
    EXPECT_EQ(s.ReverseFind(L'\\'), 12);
    EXPECT_EQ(s.Find(L"Yltsz"), 7);
    EXPECT_EQ(s.Find(L"none"), -1);
    EXPECT_EQ(s.Left(6), L"Gddata");
    EXPECT_EQ(s.Mid(13), L"Xdis");
    EXPECT_EQ(s.Mid(7, 5), L"Yltsz");
    EXPECT_EQ(s.Right(4), L"Xdis");
    EXPECT_EQ(s.Right(100), s);
    EXPECT_EQ(s.Mid(100), L"");
    EXPECT_EQ(s.GetAt(100), L'\0');
    EXPECT_EQ(s.FindOneOf(L"XY"), 7);
}

TEST(CStringTest, EditingMembers)
{
    CString s = L"  I12 ";
    s.Trim();
    EXPECT_EQ(s, L"I12");
    EXPECT_EQ(s.Replace(L"1", L"one"), 1);
    EXPECT_EQ(s, L"Ione2");
    s.Insert(0, L'<');
    s += L'>';
    EXPECT_EQ(s, L"<Ione2>");
    s.Delete(1, 4);
    EXPECT_EQ(s, L"<2>");
    EXPECT_EQ(s.Remove(L'<'), 1);
    s.MakeUpper();
    EXPECT_EQ(CString(L"abc").MakeUpper(), L"ABC");
    EXPECT_EQ(CString(L"xxabcxx").Trim(L"x"), L"abc");
    EXPECT_EQ(CString(L"Alpha").CompareNoCase(L"ALPHA"), 0);
    EXPECT_LT(CString(L"alpha").CompareNoCase(L"Beta"), 0);
    EXPECT_GT(CString(L"b").Compare(L"a"), 0);
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_EQ(CString(L'-', 3), L"---");
    EXPECT_EQ(CString("中文").GetLength(), 2) << "narrow text is UTF-8";
    EXPECT_EQ(CString(L"中文").utf8(), "中文");
}

TEST(CStringTest, BufferAccessAndPointerConversion)
{
    CString s;
    wchar_t* buf = s.GetBuffer(10);
    buf[0] = L'a';
    buf[1] = L'b';
    buf[2] = L'\0';
    s.ReleaseBuffer();
    EXPECT_EQ(s, L"ab");
    const wchar_t* p = s;
    EXPECT_EQ(std::wstring(p), L"ab");
    EXPECT_TRUE(s == L"ab");
    EXPECT_TRUE(L"ab" == s);
    EXPECT_EQ(s + L"c" + CString(L"d"), L"abcd");
}

} // namespace
