#include "statistics/EquipmentRows.h"

#include "components/NorvexGloFunc.h"

#include <algorithm>
#include <climits>
#include <cwctype>

namespace {

std::vector<std::wstring> splitAt(const std::wstring& text, wchar_t sep)
{
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start));
        if (at == std::wstring::npos)
            return parts;
        start = at + 1;
    }
}

std::wstring join(const std::vector<std::wstring>& items, const std::wstring& sep)
{
    std::wstring out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += sep;
        out += items[i];
    }
    return out;
}

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

} // namespace

DesignationParts SplitDesignation(const std::wstring& text)
{
    DesignationParts parts;
    int p = findNumInString(text.c_str());
    if (p < 0)
        p = static_cast<int>(text.size()); // no digit: all letters
    if (p != 0) {
        parts.letters = text.substr(0, static_cast<std::size_t>(p));
        parts.number = text.substr(static_cast<std::size_t>(p));
        parts.kind = DesignationKind::LettersFirst;
    } else {
        std::size_t q = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (isDigit(text[i]))
                q = i + 1;
        parts.number = text.substr(0, q);
        parts.letters = text.substr(q);
        parts.kind = DesignationKind::DigitsFirst;
    }
    if (std::none_of(text.begin(), text.end(), isDigit))
        parts.kind = DesignationKind::NoDigit;
    return parts;
}

int DesignationNumber(const std::wstring& number)
{
    std::size_t i = 0;
    while (i < number.size() && std::iswspace(number[i]))
        ++i;
    bool negative = false;
    if (i < number.size() && (number[i] == L'-' || number[i] == L'+'))
        negative = number[i++] == L'-';
    long long v = 0;
    for (; i < number.size() && isDigit(number[i]); ++i)
        v = std::min<long long>(v * 10 + (number[i] - L'0'), INT_MAX);
    return static_cast<int>(negative ? -v : v);
}

std::wstring LookupEquipmentName(const std::wstring& fileText, const std::wstring& letters)
{
    std::wstring code = letters;
    for (wchar_t& c : code)
        c = static_cast<wchar_t>(std::towupper(c));
    const std::size_t at = fileText.find(code);
    if (at == std::wstring::npos)
        return {};
    std::size_t i = fileText.find_first_of(L" \t", at + code.size());
    if (i == std::wstring::npos)
        return {};
    while (i < fileText.size() && std::iswspace(fileText[i]))
        ++i;
    std::wstring rest = fileText.substr(i, fileText.find(L'\n', i) == std::wstring::npos
                                               ? std::wstring::npos
                                               : fileText.find(L'\n', i) - i);
    const std::size_t q1 = rest.find(L'"');
    if (q1 != std::wstring::npos) {
        rest = rest.substr(q1 + 1);
        const std::size_t q2 = rest.find(L'"');
        if (q2 != std::wstring::npos)
            rest = rest.substr(0, q2);
    }
    return rest;
}

std::vector<EquipmentRow> BuildEquipmentRows(const std::vector<EquipmentRecord>& records, int sortMode,
                                             const std::vector<std::wstring>& sortList)
{
    struct Group {
        std::wstring name, model, designations;
        long long quantity = 0;
        std::optional<std::size_t> rank;
    };
    std::vector<Group> groups;
    for (const EquipmentRecord& r : records) {
        auto same = std::find_if(groups.begin(), groups.end(),
                                 [&](const Group& g) { return g.name == r.name && g.model == r.model; });
        if (same != groups.end()) {
            same->quantity += r.quantity;
            same->designations += L"," + r.designation;
            continue;
        }
        Group g{r.name, r.model, r.designation, r.quantity, std::nullopt};
        if (sortMode != kSortAsFound) {
            const std::wstring& key = sortMode == kSortByName ? r.name : r.model;
            const auto item = std::find(sortList.begin(), sortList.end(), key);
            if (item != sortList.end()) {
                const std::size_t rank = static_cast<std::size_t>(item - sortList.begin());
                g.rank = rank;
                const auto before = std::find_if(groups.begin(), groups.end(),
                                                 [&](const Group& o) { return !o.rank || *o.rank >= rank; });
                groups.insert(before, std::move(g));
                continue;
            }
        }
        groups.push_back(std::move(g));
    }
    std::vector<EquipmentRow> rows;
    rows.reserve(groups.size());
    for (const Group& g : groups)
        rows.push_back({CompactDesignations(g.designations), L"", L"", g.name, g.model, std::to_wstring(g.quantity)});
    return rows;
}

std::wstring CompactDesignations(const std::wstring& designations)
{
    if (designations.empty())
        return {};
    std::vector<std::wstring> items;
    for (std::wstring& item : splitAt(designations, L','))
        if (std::find(items.begin(), items.end(), item) == items.end())
            items.push_back(std::move(item));
    if (items.size() == 1)
        return items.front();
    const std::wstring plain = join(items, L",");
    std::vector<DesignationParts> parts;
    for (const std::wstring& item : items)
        parts.push_back(SplitDesignation(item));
    for (const DesignationParts& p : parts)
        if (p.kind != parts.front().kind || p.letters != parts.front().letters)
            return plain;
    long long least = LLONG_MAX, greatest = LLONG_MIN;
    std::vector<std::wstring> numbers;
    for (const DesignationParts& p : parts) {
        const long long n = DesignationNumber(p.number);
        least = std::min(least, n);
        greatest = std::max(greatest, n);
        numbers.push_back(p.number);
    }
    const std::wstring& letters = parts.front().letters;
    const bool digitsFirst = parts.front().kind == DesignationKind::DigitsFirst;
    if (static_cast<long long>(items.size()) == greatest - least + 1) {
        const std::wstring run = std::to_wstring(least) + L"~" + std::to_wstring(greatest);
        return digitsFirst ? run + letters : letters + run;
    }
    const std::wstring list = join(numbers, L",");
    return digitsFirst ? list + letters : letters + list;
}
