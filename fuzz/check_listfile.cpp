// The symbol libraries' list files, from bytes and from a path: whatever
// the bytes, they read into entries that keep the rules of the format, and
// lookups stay in bounds.
#include "fuzz_checks.h"
#include "scratch.h"

#include "host/adsdefs.h"
#include "library/SymbolLibrary.h"

#include <filesystem>

namespace fuzzcheck {

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

std::string checkCatalog(std::string_view bytes, const std::string& codePage)
{
    CSymbolLibCatalog catalog;
    if (!catalog.LoadText(bytes, codePage))
        return "a catalogue refused from memory";
    const int count = catalog.GetCount();
    for (int i = 0; i < count; ++i) {
        if (!validField(catalog.GetDisplayName(i)) || !validField(catalog.GetFolderName(i)))
            return "a catalogue entry with a text field the format does not allow";
        if (catalog.GetGridSize(i) < 1)
            return "a catalogue entry with a grid size below 1";
        const std::wstring slb = catalog.GetSlideLibraryPath(L"D:", i);
        if (slb != L"D:\\" + catalog.GetFolderName(i) + L"\\" + catalog.GetFolderName(i) + L".SLB")
            return "a slide library path not built from the entry's folder";
    }
    if (!catalog.GetFolderName(-1).empty() || !catalog.GetFolderName(count).empty())
        return "a catalogue lookup out of range gives text";
    if (catalog.GetGridSize(-1) != CSymbolLibCatalog::kDefaultGridSize
        || catalog.GetGridSize(count) != CSymbolLibCatalog::kDefaultGridSize)
        return "a catalogue lookup out of range gives another grid size than the default";
    if (catalog.GetIndexPath(L"D:", count) != catalog.GetIndexPath(L"D:", 0))
        return "an index path out of range is not entry 0's";
    if ((count == 0) != catalog.GetIndexPath(L"D:", -1).empty())
        return "an index path of an empty catalogue, or none of a full one";
    // Reading is repeatable.
    CSymbolLibCatalog again;
    again.LoadText(bytes, codePage);
    if (again.GetCount() != count)
        return "a catalogue read twice gives other counts";
    return {};
}

std::string checkIndex(std::string_view bytes, const std::string& codePage)
{
    CSymbolIndex index;
    if (!index.LoadText(bytes, codePage))
        return "an index refused from memory";
    const int count = index.GetCount();
    for (int i = 0; i < count; ++i)
        if (!validField(index.GetName(i)) || !validField(index.GetDescription(i)) || !validField(index.GetCode(i))
            || !validField(index.GetReservedText(i)))
            return "an index entry with a text field the format does not allow";
    if (!index.GetName(-1).empty() || !index.GetName(count).empty() || !index.GetCode(count).empty()
        || !index.GetDescription(count).empty() || !index.GetReservedText(-1).empty())
        return "an index lookup out of range gives text";
    return {};
}

// What IsSchematicLibrary answers with the built-in layer configuration:
// the first line, up to a NUL and without blanks around it, is the key of
// the schematic element layer (letter case aside).
bool namesSchematicLayer(std::string_view bytes)
{
    std::string_view line = bytes.substr(0, bytes.find('\n'));
    line = line.substr(0, line.find('\0'));
    const std::string_view blanks = " \t\n\v\f\r";
    const std::size_t first = line.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return false;
    line = line.substr(first, line.find_last_not_of(blanks) - first + 1);
    std::string key(line);
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key == "DQ_ELEMENT";
}

} // namespace

std::string listFile(std::string_view bytes)
{
    for (const char* codePage : {"GBK", "UTF-8"}) {
        std::string broken = checkCatalog(bytes, codePage);
        if (broken.empty())
            broken = checkIndex(bytes, codePage);
        if (!broken.empty())
            return broken + " (" + codePage + ")";
    }
    return {};
}

std::string listFileFromPath(std::string_view bytes)
{
    // The process code page is GBK; no layer configuration is installed.
    std::filesystem::create_directories(scratchDir() + "/symbols/LIB");
    std::filesystem::create_directories(scratchDir() + "/nolayers");
    useSettings("listfile-settings.json", {{"VmqSys", scratchDir() + "/nolayers"}, {"CodePage", "GBK"}});

    const std::string path = writeScratch("symbols/T-Sywj.dat", bytes);
    if (path.empty())
        return {};
    CSymbolLibCatalog catalog, fromMemory;
    if (!catalog.Load(utf8ToWide(path)))
        return "a catalogue file that exists does not load";
    fromMemory.LoadText(bytes, "GBK");
    if (catalog.GetCount() != fromMemory.GetCount())
        return "a catalogue file reads other entries than its bytes";
    for (int i = 0; i < catalog.GetCount(); ++i)
        if (catalog.GetDisplayName(i) != fromMemory.GetDisplayName(i)
            || catalog.GetFolderName(i) != fromMemory.GetFolderName(i)
            || catalog.GetGridSize(i) != fromMemory.GetGridSize(i)
            || catalog.GetReservedNumber(i) != fromMemory.GetReservedNumber(i))
            return "a catalogue file reads another entry than its bytes";
    CSymbolIndex index, indexFromMemory;
    // Backslashes, as the module builds its paths.
    std::wstring hostPath = utf8ToWide(path);
    for (wchar_t& c : hostPath)
        if (c == L'/')
            c = L'\\';
    if (!index.Load(hostPath))
        return "an index file that exists does not load";
    indexFromMemory.LoadText(bytes, "GBK");
    if (index.GetCount() != indexFromMemory.GetCount())
        return "an index file reads other entries than its bytes";
    for (int i = 0; i < index.GetCount(); ++i)
        if (index.GetName(i) != indexFromMemory.GetName(i) || index.GetReservedText(i) != indexFromMemory.GetReservedText(i))
            return "an index file reads another entry than its bytes";

    // The same bytes as a library's layer key file.
    writeScratch("symbols/LIB/dwglay.dat", bytes);
    CSymbolLibCatalog one;
    one.LoadText("Lib LIB 6 0\n", "GBK");
    const std::wstring symbols = utf8ToWide(scratchDir() + "/symbols");
    if (one.IsSchematicLibrary(symbols, 0) != namesSchematicLayer(bytes))
        return "a layer key file taken for the schematic layer's, or not taken though it names it";
    if (one.IsSchematicLibrary(symbols, 1) || one.IsSchematicLibrary(symbols, -1))
        return "a library out of range taken for a schematic one";
    return {};
}

} // namespace fuzzcheck
