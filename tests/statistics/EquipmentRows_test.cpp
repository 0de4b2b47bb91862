// Equipment table rows: splitting designations, name lookup, grouping and
// ordering, and the compact designation lists.
#include "statistics/EquipmentRows.h"

#include <gtest/gtest.h>

TEST(SplitDesignation, LettersFirstDigitsFirstAndNoDigit)
{
    DesignationParts p = SplitDesignation(L"KM12");
    EXPECT_EQ(p.letters, L"KM");
    EXPECT_EQ(p.number, L"12");
    EXPECT_EQ(p.kind, DesignationKind::LettersFirst);

    p = SplitDesignation(L"12KM");
    EXPECT_EQ(p.number, L"12");
    EXPECT_EQ(p.letters, L"KM");
    EXPECT_EQ(p.kind, DesignationKind::DigitsFirst);

    // Digits first: the number runs to the last digit anywhere.
    p = SplitDesignation(L"1A2B");
    EXPECT_EQ(p.number, L"1A2");
    EXPECT_EQ(p.letters, L"B");
    EXPECT_EQ(DesignationNumber(p.number), 1);

    p = SplitDesignation(L"KM");
    EXPECT_EQ(p.letters, L"KM");
    EXPECT_EQ(p.number, L"");
    EXPECT_EQ(p.kind, DesignationKind::NoDigit);
    EXPECT_EQ(SplitDesignation(L"").kind, DesignationKind::NoDigit);

    EXPECT_EQ(DesignationNumber(L"007"), 7);
    EXPECT_EQ(DesignationNumber(L"99999999999999"), 2147483647) << "saturates, never overflows";
}

TEST(LookupEquipmentName, FirstOccurrenceAnywhereInTheText)
{
    const std::wstring file = L"QF 断路器\nKM 接触器\nKA \"中间继电器\"\nFU  熔断器 \n";
    EXPECT_EQ(LookupEquipmentName(file, L"KM"), L"接触器");
    EXPECT_EQ(LookupEquipmentName(file, L"km"), L"接触器") << "the code is upper-cased";
    EXPECT_EQ(LookupEquipmentName(file, L"KA"), L"中间继电器") << "quotes are taken off";
    EXPECT_EQ(LookupEquipmentName(file, L"FU"), L"熔断器 ");
    EXPECT_EQ(LookupEquipmentName(file, L"SB"), L"");
    // A code inside an earlier line matches there.
    EXPECT_EQ(LookupEquipmentName(L"XKM 端子\nKM 接触器\n", L"KM"), L"端子");
    // One quote only: what follows it.
    EXPECT_EQ(LookupEquipmentName(L"HL \"指示灯\n", L"HL"), L"指示灯");
    EXPECT_EQ(LookupEquipmentName(L"HL", L"HL"), L"") << "no blank after the code";
    EXPECT_EQ(LookupEquipmentName(L"", L"HL"), L"");
}

TEST(CompactDesignations, RunsGapsDuplicatesAndMixtures)
{
    EXPECT_EQ(CompactDesignations(L"KM1,KM2,KM3"), L"KM1~3");
    EXPECT_EQ(CompactDesignations(L"KM3,KM1,KM2"), L"KM1~3");
    EXPECT_EQ(CompactDesignations(L"1K,2K,3K"), L"1~3K");
    EXPECT_EQ(CompactDesignations(L"KM1,KM3"), L"KM1,3");
    EXPECT_EQ(CompactDesignations(L"3K,1K"), L"3,1K");
    EXPECT_EQ(CompactDesignations(L"KM2,KM2,KM5"), L"KM2,5");
    EXPECT_EQ(CompactDesignations(L"KM1,QF1"), L"KM1,QF1");
    EXPECT_EQ(CompactDesignations(L"KM1,1K"), L"KM1,1K");
    EXPECT_EQ(CompactDesignations(L"KM1,KM1"), L"KM1");
    EXPECT_EQ(CompactDesignations(L"KM01,KM2"), L"KM1~2");
    EXPECT_EQ(CompactDesignations(L"KM01,KM3"), L"KM01,3");
    EXPECT_EQ(CompactDesignations(L""), L"");
    EXPECT_EQ(CompactDesignations(L"X"), L"X");
    EXPECT_EQ(CompactDesignations(L"A,B"), L"A,B");
}

namespace {

EquipmentRecord rec(const wchar_t* d, const wchar_t* n, const wchar_t* m, int q = 1)
{
    return {d, n, m, q};
}

std::vector<std::wstring> column(const std::vector<EquipmentRow>& rows, std::size_t c)
{
    std::vector<std::wstring> out;
    for (const auto& r : rows)
        out.push_back(r[c]);
    return out;
}

} // namespace

TEST(BuildEquipmentRows, GroupsByNameAndModel)
{
    const auto rows = BuildEquipmentRows(
        {rec(L"KM1", L"接触器", L"CJX2", 2), rec(L"QF1", L"断路器", L"DZ47"), rec(L"KM2", L"接触器", L"CJX2", 3),
         rec(L"KM3", L"接触器", L"CJX1")},
        kSortAsFound, {});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (EquipmentRow{L"KM1~2", L"", L"", L"接触器", L"CJX2", L"5"}));
    EXPECT_EQ(rows[1], (EquipmentRow{L"QF1", L"", L"", L"断路器", L"DZ47", L"1"}));
    EXPECT_EQ(rows[2], (EquipmentRow{L"KM3", L"", L"", L"接触器", L"CJX1", L"1"}));
    EXPECT_TRUE(BuildEquipmentRows({}, kSortByName, {L"接触器"}).empty());
}

TEST(BuildEquipmentRows, RankedGroupsComeFirstLaterOnesOfARankAhead)
{
    const std::vector<EquipmentRecord> records = {
        rec(L"HL1", L"指示灯", L"AD16"),  rec(L"KM1", L"接触器", L"CJX2"), rec(L"QF1", L"断路器", L"DZ47"),
        rec(L"KM2", L"接触器", L"CJX1"), rec(L"SB1", L"按钮", L"LA38"),   rec(L"KM3", L"接触器", L"CJX2")};
    const auto byName = BuildEquipmentRows(records, kSortByName, {L"接触器", L"断路器"});
    EXPECT_EQ(column(byName, 3), (std::vector<std::wstring>{L"接触器", L"接触器", L"断路器", L"指示灯", L"按钮"}));
    EXPECT_EQ(column(byName, 4), (std::vector<std::wstring>{L"CJX1", L"CJX2", L"DZ47", L"AD16", L"LA38"}))
        << "two contactor rows in the reverse of the order found";
    EXPECT_EQ(byName[1][0], L"KM1,3");

    // Mode 1 matches the list against models; unlisted ones keep their order.
    const auto byModel = BuildEquipmentRows(records, kSortByModel, {L"LA38", L"CJX2"});
    EXPECT_EQ(column(byModel, 4), (std::vector<std::wstring>{L"LA38", L"CJX2", L"AD16", L"DZ47", L"CJX1"}));
    // Mode 2 ignores the list.
    const auto asFound = BuildEquipmentRows(records, kSortAsFound, {L"按钮"});
    EXPECT_EQ(column(asFound, 3).front(), L"指示灯");
}
