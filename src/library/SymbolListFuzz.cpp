// The fuzzer's entry: whatever the bytes, the list files read into entries
// that keep the rules of the format, and lookups stay in bounds.
#include "library/SymbolLibrary.h"

namespace {

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// A text field as read: not empty, no blank, no NUL, at most 55 UTF-16 units.
bool validField(const std::wstring& s)
{
    std::size_t units = 0;
    for (wchar_t c : s) {
        if (c == L'\0' || isBlank(c))
            return false;
        units += static_cast<std::uint32_t>(c) > 0xFFFF ? 2 : 1;
    }
    return !s.empty() && units <= 55;
}

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkCatalog(std::string_view bytes, const std::string& codePage)
{
    CSymbolLibCatalog catalog;
    check(catalog.LoadText(bytes, codePage));
    const int count = catalog.GetCount();
    for (int i = 0; i < count; ++i) {
        check(validField(catalog.GetDisplayName(i)));
        check(validField(catalog.GetFolderName(i)));
        check(catalog.GetGridSize(i) >= 1);
        const std::wstring slb = catalog.GetSlideLibraryPath(L"D:", i);
        check(slb == L"D:\\" + catalog.GetFolderName(i) + L"\\" + catalog.GetFolderName(i) + L".SLB");
    }
    check(catalog.GetFolderName(-1).empty() && catalog.GetFolderName(count).empty());
    check(catalog.GetGridSize(-1) == CSymbolLibCatalog::kDefaultGridSize);
    check(catalog.GetGridSize(count) == CSymbolLibCatalog::kDefaultGridSize);
    check(catalog.GetIndexPath(L"D:", count) == catalog.GetIndexPath(L"D:", 0));
    check((count == 0) == catalog.GetIndexPath(L"D:", -1).empty());
    // Reading is repeatable.
    CSymbolLibCatalog again;
    again.LoadText(bytes, codePage);
    check(again.GetCount() == count);
}

void checkIndex(std::string_view bytes, const std::string& codePage)
{
    CSymbolIndex index;
    check(index.LoadText(bytes, codePage));
    const int count = index.GetCount();
    for (int i = 0; i < count; ++i) {
        check(validField(index.GetName(i)));
        check(validField(index.GetDescription(i)));
        check(validField(index.GetCode(i)));
        check(validField(index.GetReservedText(i)));
    }
    check(index.GetName(-1).empty() && index.GetName(count).empty());
    check(index.GetCode(count).empty() && index.GetDescription(count).empty());
    check(index.GetReservedText(-1).empty());
}

} // namespace

int symbolListFuzzOne(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const char* codePage : {"GBK", "UTF-8"}) {
        checkCatalog(bytes, codePage);
        checkIndex(bytes, codePage);
    }
    return 0;
}
