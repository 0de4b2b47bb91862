#include "statistics/EquipmentRows.h"

#include "components/NorvexCase.h"
#include "host/adsdefs.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <deque>
#include <map>
#include <unordered_set>

namespace {

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

} // namespace

namespace {

// SplitDesignation on a piece of a longer text, without copies.
struct PartsView {
    std::wstring_view letters, number;
    DesignationKind kind = DesignationKind::NoDigit;
};

PartsView splitView(std::wstring_view text)
{
    PartsView parts;
    const std::size_t first = std::find_if(text.begin(), text.end(), isDigit) - text.begin();
    if (first == text.size()) {
        parts.letters = text;
        return parts;
    }
    if (first != 0) {
        parts.letters = text.substr(0, first);
        parts.number = text.substr(first);
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
    return parts;
}

} // namespace

DesignationParts SplitDesignation(const std::wstring& text)
{
    const PartsView v = splitView(text);
    return DesignationParts{std::wstring(v.letters), std::wstring(v.number), v.kind};
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
    const std::wstring code = UpperStr(letters);
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
    std::string designation;
    return BuildEquipmentRows(
        records.size(),
        [&](std::size_t i) {
            const EquipmentRecord& r = records[i];
            designation = wideToUtf8(r.designation);
            return EquipmentRecordView{designation, r.name, r.model, r.quantity};
        },
        sortMode, sortList);
}

std::vector<EquipmentRow> BuildEquipmentRows(std::size_t count,
                                             const std::function<EquipmentRecordView(std::size_t)>& record,
                                             int sortMode, const std::vector<std::wstring>& sortList)
{
    // Designations are gathered in UTF-8 (a quarter of the memory for the
    // large projects) and widened one group at a time for compaction.
    struct Group {
        std::wstring name, model;
        std::string designations;
        long long quantity = 0;
        std::optional<std::size_t> rank;
    };
    // Groups live in a deque (stable addresses); the row order is a list of
    // them, and a map finds a record's group without walking the rows.
    std::deque<Group> store;
    std::vector<Group*> order;
    std::map<std::pair<std::wstring_view, std::wstring_view>, Group*> byKey;
    for (std::size_t i = 0; i < count; ++i) {
        const EquipmentRecordView r = record(i);
        if (auto same = byKey.find({r.name, r.model}); same != byKey.end()) {
            same->second->quantity += r.quantity;
            same->second->designations += ',';
            same->second->designations += r.designation;
            continue;
        }
        Group& g = store.emplace_back(
            Group{std::wstring(r.name), std::wstring(r.model), std::string(r.designation), r.quantity, std::nullopt});
        byKey.emplace(std::make_pair(std::wstring_view(g.name), std::wstring_view(g.model)), &g);
        if (sortMode != kSortAsFound) {
            const std::wstring& sortKey = sortMode == kSortByName ? g.name : g.model;
            const auto item = std::find(sortList.begin(), sortList.end(), sortKey);
            if (item != sortList.end()) {
                const std::size_t rank = static_cast<std::size_t>(item - sortList.begin());
                g.rank = rank;
                const auto before = std::find_if(order.begin(), order.end(),
                                                 [&](const Group* o) { return !o->rank || *o->rank >= rank; });
                order.insert(before, &g);
                continue;
            }
        }
        order.push_back(&g);
    }
    std::vector<EquipmentRow> rows;
    rows.reserve(order.size());
    for (Group* g : order) {
        const std::wstring designations = utf8ToWide(g->designations);
        std::string().swap(g->designations);
        rows.push_back({CompactDesignations(designations), L"", L"", g->name, g->model, std::to_wstring(g->quantity)});
    }
    return rows;
}


std::wstring CompactDesignations(const std::wstring& designations)
{
    if (designations.empty())
        return {};
    // Pieces as views into the text; later duplicates dropped.
    std::vector<std::wstring_view> items;
    std::unordered_set<std::wstring_view> seen;
    const std::wstring_view all(designations);
    for (std::size_t start = 0;;) {
        const std::size_t at = all.find(L',', start);
        const std::wstring_view item = all.substr(start, at == std::wstring_view::npos ? std::wstring_view::npos : at - start);
        if (seen.insert(item).second)
            items.push_back(item);
        if (at == std::wstring_view::npos)
            break;
        start = at + 1;
    }
    if (items.size() == 1)
        return std::wstring(items.front());
    auto joined = [](const std::vector<std::wstring_view>& list) {
        std::wstring out;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (i)
                out += L',';
            out += list[i];
        }
        return out;
    };
    std::vector<PartsView> parts;
    parts.reserve(items.size());
    for (std::wstring_view item : items)
        parts.push_back(splitView(item));
    for (const PartsView& p : parts)
        if (p.kind != parts.front().kind || p.letters != parts.front().letters)
            return joined(items);
    long long least = LLONG_MAX, greatest = LLONG_MIN;
    std::vector<std::wstring_view> numbers;
    numbers.reserve(parts.size());
    for (const PartsView& p : parts) {
        const long long n = DesignationNumber(std::wstring(p.number));
        least = std::min(least, n);
        greatest = std::max(greatest, n);
        numbers.push_back(p.number);
    }
    const std::wstring letters(parts.front().letters);
    const bool digitsFirst = parts.front().kind == DesignationKind::DigitsFirst;
    if (static_cast<long long>(items.size()) == greatest - least + 1) {
        const std::wstring run = std::to_wstring(least) + L"~" + std::to_wstring(greatest);
        return digitsFirst ? run + letters : letters + run;
    }
    const std::wstring list = joined(numbers);
    return digitsFirst ? list + letters : letters + list;
}
