#include "library/SymbolLibrary.h"

#include "host/hostfile.h"

#include "components/NorvexCase.h"
#include "components/NorvexCodePage.h"
#include "components/TalvoDataBase.h"
#include "host/aced.h"
#include "host/adsdefs.h"

#include <algorithm>
#include <limits>

namespace {

// Longest text field, in UTF-16 units.
constexpr std::size_t kMaxFieldUnits = 55;
// Entries reserved before reading; lists may hold more.
constexpr std::size_t kReservedEntries = 200;

// A path of the module (backslashes) as the system opens it.
std::string openPath(const std::wstring& path)
{
    std::string s = wideToUtf8(path);
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return hostResolvePathIgnoringCase(s);
}

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

std::size_t utf16Units(wchar_t c)
{
    return static_cast<std::uint32_t>(c) > 0xFFFF ? 2 : 1;
}

// Reads the fields of one line in order, as sscanf does.
class FieldReader {
public:
    explicit FieldReader(std::wstring_view line) : m_rest(line) {}

    bool text(std::wstring& out)
    {
        skipBlanks();
        std::size_t n = 0, units = 0;
        while (n < m_rest.size() && !isBlank(m_rest[n])) {
            units += utf16Units(m_rest[n]);
            if (units > kMaxFieldUnits)
                return false;
            ++n;
        }
        if (n == 0)
            return false;
        out.assign(m_rest.substr(0, n));
        m_rest.remove_prefix(n);
        return true;
    }

    bool integer(std::int32_t& out)
    {
        skipBlanks();
        std::size_t n = 0;
        bool negative = false;
        if (n < m_rest.size() && (m_rest[n] == L'+' || m_rest[n] == L'-')) {
            negative = m_rest[n] == L'-';
            ++n;
        }
        const std::size_t firstDigit = n;
        // The magnitude, held until it passes what 32 bits can take.
        constexpr std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
        std::int64_t value = 0;
        bool tooLarge = false;
        while (n < m_rest.size() && m_rest[n] >= L'0' && m_rest[n] <= L'9') {
            if (!tooLarge) {
                value = value * 10 + (m_rest[n] - L'0');
                tooLarge = value > limit;
            }
            ++n;
        }
        if (n == firstDigit)
            return false;
        m_rest.remove_prefix(n);
        if (negative)
            value = -value;
        if (tooLarge || value < std::numeric_limits<std::int32_t>::min()
            || value > std::numeric_limits<std::int32_t>::max())
            return false;
        out = static_cast<std::int32_t>(value);
        return true;
    }

private:
    void skipBlanks()
    {
        std::size_t n = 0;
        while (n < m_rest.size() && isBlank(m_rest[n]))
            ++n;
        m_rest.remove_prefix(n);
    }

    std::wstring_view m_rest;
};

// Calls onLine with each line of a list file, decoded; the line end is not
// part of the line, and a NUL ends it.
template <class OnLine>
void forEachLine(std::string_view bytes, const std::string& codePage, OnLine onLine)
{
    std::wstring wide;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t newline = bytes.find('\n', pos);
        const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline;
        std::string_view line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        MultiByteToWide(line, wide, codePage);
        const std::size_t nul = wide.find(L'\0');
        onLine(std::wstring_view(wide).substr(0, nul));
        pos = newline == std::string_view::npos ? bytes.size() : newline + 1;
    }
}

// The whole of a list file; false when it cannot be read. A file that is
// there but cannot be read (a folder, a named pipe, a device, a read error)
// is reported on the command line; a missing one is not.
bool readListFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    const std::string p = openPath(path);
    if (p.empty())
        return false;
    const HostFileRead read = hostReadFile(p, bytes);
    if (!read && !read.missing)
        acutPrintf(L"\n符号库文件无法读取: %ls", utf8ToWide(read.error).c_str());
    return read.ok;
}

std::string codePageOrProcess(const std::string& codePage)
{
    return codePage.empty() ? ProcessCodePage() : codePage;
}

std::wstring trimmed(std::wstring_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return std::wstring(s);
}

template <class T>
T at(const std::vector<T>& v, int i, T outside)
{
    return i >= 0 && static_cast<std::size_t>(i) < v.size() ? v[static_cast<std::size_t>(i)] : outside;
}

} // namespace

std::wstring CatalogPath(const std::wstring& symbolDrawingFolder)
{
    if (!symbolDrawingFolder.empty() && symbolDrawingFolder.back() == L'\\')
        return symbolDrawingFolder + L"T-Sywj.dat";
    return symbolDrawingFolder + L"\\T-Sywj.dat";
}

// ---------------------------------------------------------------- catalogue

void CSymbolLibCatalog::Clear()
{
    m_displayNames.clear();
    m_folderNames.clear();
    m_gridSizes.clear();
    m_reservedNumbers.clear();
}

bool CSymbolLibCatalog::Load(const std::wstring& path)
{
    Clear();
    std::string bytes;
    if (!readListFile(path, bytes))
        return false;
    return LoadText(bytes);
}

bool CSymbolLibCatalog::LoadText(std::string_view bytes, const std::string& codePage)
{
    Clear();
    m_displayNames.reserve(kReservedEntries);
    m_folderNames.reserve(kReservedEntries);
    m_gridSizes.reserve(kReservedEntries);
    m_reservedNumbers.reserve(kReservedEntries);
    forEachLine(bytes, codePageOrProcess(codePage), [this](std::wstring_view line) {
        FieldReader fields(line);
        std::wstring displayName, folderName;
        std::int32_t grid = 0, number = 0;
        if (!fields.text(displayName) || !fields.text(folderName) || !fields.integer(grid) || !fields.integer(number))
            return;
        if (grid < 1)
            return;
        m_displayNames.push_back(std::move(displayName));
        m_folderNames.push_back(std::move(folderName));
        m_gridSizes.push_back(grid);
        m_reservedNumbers.push_back(number);
    });
    return true;
}

std::wstring CSymbolLibCatalog::GetDisplayName(int entry) const
{
    return at(m_displayNames, entry, std::wstring());
}

std::wstring CSymbolLibCatalog::GetFolderName(int entry) const
{
    return at(m_folderNames, entry, std::wstring());
}

std::int32_t CSymbolLibCatalog::GetGridSize(int entry) const
{
    return at(m_gridSizes, entry, kDefaultGridSize);
}

std::int32_t CSymbolLibCatalog::GetReservedNumber(int entry) const
{
    return at(m_reservedNumbers, entry, std::int32_t(0));
}

std::wstring CSymbolLibCatalog::libraryFile(const std::wstring& symbolDrawingFolder, int entry,
                                            const wchar_t* extension) const
{
    if (m_folderNames.empty())
        return {};
    if (entry < 0 || entry >= GetCount())
        entry = 0;
    const std::wstring& name = m_folderNames[static_cast<std::size_t>(entry)];
    return symbolDrawingFolder + L"\\" + name + L"\\" + name + extension;
}

std::wstring CSymbolLibCatalog::GetSlideLibraryPath(const std::wstring& symbolDrawingFolder, int entry) const
{
    return libraryFile(symbolDrawingFolder, entry, L".SLB");
}

std::wstring CSymbolLibCatalog::GetIndexPath(const std::wstring& symbolDrawingFolder, int entry) const
{
    return libraryFile(symbolDrawingFolder, entry, L".IDX");
}

bool CSymbolLibCatalog::IsSchematicLibrary(const std::wstring& symbolDrawingFolder, int entry) const
{
    if (entry < 0 || entry >= GetCount())
        return false;
    std::string first;
    if (!readListFile(symbolDrawingFolder + L"\\" + GetFolderName(entry) + L"\\dwglay.dat", first) || first.empty())
        return false;
    first.resize(std::min(first.size(), first.find('\n')));

    LayerInfo info;
    GetDQLayerName(L"SCHEMATIC", L"ELEMENT", info);
    if (info.name.empty())
        return false;

    std::wstring key;
    MultiByteToWide(first, key);
    KxDtLayerDef def;
    def.key = trimmed(std::wstring_view(key).substr(0, key.find(L'\0')));
    KxDtLayerCfg().GetLayerDef(def);
    return EqualNoCase(def.name, info.name);
}

// ---------------------------------------------------------------- index

void CSymbolIndex::Clear()
{
    m_names.clear();
    m_descriptions.clear();
    m_codes.clear();
    m_reservedTexts.clear();
}

bool CSymbolIndex::Load(const std::wstring& path)
{
    Clear();
    std::string bytes;
    if (!readListFile(path, bytes))
        return false;
    return LoadText(bytes);
}

bool CSymbolIndex::LoadText(std::string_view bytes, const std::string& codePage)
{
    Clear();
    m_names.reserve(kReservedEntries);
    m_descriptions.reserve(kReservedEntries);
    m_codes.reserve(kReservedEntries);
    m_reservedTexts.reserve(kReservedEntries);
    forEachLine(bytes, codePageOrProcess(codePage), [this](std::wstring_view line) {
        FieldReader fields(line);
        std::wstring name, description, code, text;
        if (!fields.text(name) || !fields.text(description) || !fields.text(code) || !fields.text(text))
            return;
        for (int i = 0; i < 5; ++i) {
            std::int32_t unused = 0;
            if (!fields.integer(unused))
                return;
        }
        m_names.push_back(std::move(name));
        m_descriptions.push_back(std::move(description));
        m_codes.push_back(std::move(code));
        m_reservedTexts.push_back(std::move(text));
    });
    return true;
}

std::wstring CSymbolIndex::GetName(int position) const
{
    return at(m_names, position, std::wstring());
}

std::wstring CSymbolIndex::GetDescription(int position) const
{
    return at(m_descriptions, position, std::wstring());
}

std::wstring CSymbolIndex::GetCode(int position) const
{
    return at(m_codes, position, std::wstring());
}

std::wstring CSymbolIndex::GetReservedText(int position) const
{
    return at(m_reservedTexts, position, std::wstring());
}
