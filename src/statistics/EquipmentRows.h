// Equipment table rows: designations split into letters and numbers, names
// looked up by letter code, records grouped by name and model into rows in
// the project's order, and designation lists written compactly (KM1~3).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class DesignationKind { LettersFirst, DigitsFirst, NoDigit };

struct DesignationParts {
    std::wstring letters;
    std::wstring number;
    DesignationKind kind = DesignationKind::NoDigit;
};

// KM12 -> ("KM", "12", letters first); 12KM -> ("KM", "12", digits first):
// a designation that starts with a digit has its number up to its last
// digit. A text without digits is all letters.
DesignationParts SplitDesignation(const std::wstring& text);

// The number part read as an integer: leading digits only (1A2 reads 1).
int DesignationNumber(const std::wstring& number);

// The name after the first occurrence of the upper-cased letter code in the
// equipment-name file's text: from the first blank after the code, leading
// white space skipped, up to the line end; a name in double quotes is taken
// from inside them. Empty when the code does not occur.
std::wstring LookupEquipmentName(const std::wstring& fileText, const std::wstring& letters);

struct EquipmentRecord {
    std::wstring designation;
    std::wstring name;
    std::wstring model;
    int quantity = 0;
};

// Sort modes: 0 by the sort list against names, 1 against models, 2 in the
// order found.
constexpr int kSortByName = 0;
constexpr int kSortByModel = 1;
constexpr int kSortAsFound = 2;

// One table row: designations, "", "", name, model, quantity.
using EquipmentRow = std::vector<std::wstring>;

std::vector<EquipmentRow> BuildEquipmentRows(const std::vector<EquipmentRecord>& records, int sortMode,
                                             const std::vector<std::wstring>& sortList);

// The same over records kept elsewhere (large projects keep them compact):
// record(i), called once for each i below count in order, gives views that
// stay valid until the next call.
struct EquipmentRecordView {
    std::string_view designation; // UTF-8
    std::wstring_view name;
    std::wstring_view model;
    int quantity = 0;
};
std::vector<EquipmentRow> BuildEquipmentRows(std::size_t count,
                                             const std::function<EquipmentRecordView(std::size_t)>& record,
                                             int sortMode, const std::vector<std::wstring>& sortList);

// "KM1,KM2,KM3" -> "KM1~3", "KM1,KM3" -> "KM1,3", "1K,2K,3K" -> "1~3K";
// later duplicates dropped; mixed letters or kinds stay as listed.
std::wstring CompactDesignations(const std::wstring& designations);
