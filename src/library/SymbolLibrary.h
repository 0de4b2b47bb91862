// The symbol libraries' list files.
//
// Symbol libraries live below one symbol drawing folder. The catalogue
// "T-Sywj.dat", directly in that folder, lists the libraries. Each library
// is a folder (symbol drawing folder, backslash, folder name) holding the
// symbol drawings, a slide library (folder name + ".SLB"), an index
// (folder name + ".IDX") listing the symbols in preview order, and a layer
// key file "dwglay.dat" whose first line is a layer key of the layer
// configuration (components/TalvoDataBase.h). Paths are built with
// backslashes, as everywhere in the module, and opened with slashes.
//
// Both list files are plain text in the process code page
// (components/NorvexCodePage.h), read line by line; each line is decoded on
// its own, bytes invalid in the code page becoming U+FFFD (the line is
// still read). Lines end in "\n" or "\r\n"; the last line needs no line end;
// lines may be of any length.
//
// A line is a row of fields separated by blanks (space, tab, CR, LF, VT,
// FF); the fields are read the way sscanf reads "%s" and "%d":
//   - a text field is one run of non-blank characters, at most 55 UTF-16
//     units long (a character outside the BMP counts two); a line with a
//     longer text field does not count;
//   - an integer field is an optional sign and decimal digits; reading
//     stops at the first character that is no digit, and what follows is
//     where the next field starts ("6abc" reads 6 and leaves "abc", so it
//     passes as the last field of a line, followed by extra text, and
//     stops the line anywhere else). A value outside the 32-bit range makes
//     the line not count;
//   - text after the last field is ignored;
//   - a NUL character ends the line (what follows it is not read).
// A line counts only when all its fields read; other lines are skipped
// without a word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The catalogue of a symbol drawing folder: folder + "T-Sywj.dat", with a
// backslash between unless the folder already ends with one.
std::wstring CatalogPath(const std::wstring& symbolDrawingFolder);

// The catalogue: one entry per library. Line format
//   display-name folder-name grid-size number
// (text, text, integer, integer): the name shown for the library, its
// folder below the symbol drawing folder, the preview grid's side (the
// preview shows grid x grid symbols) and a number kept as read but not
// used. A grid size below 1 makes the line not count, so no dialog ever
// sees one; large sizes are kept as read (a dialog has to bound what it
// draws).
class CSymbolLibCatalog {
public:
    // The grid size of an entry that does not exist.
    static constexpr std::int32_t kDefaultGridSize = 6;

    // Empties the catalogue.
    void Clear();
    // Reads the catalogue file at path (backslashes allowed); false when it
    // cannot be read (the catalogue is then empty): a missing file without
    // a word, anything else that is no regular file (a folder, a named pipe,
    // a device; refused without waiting) or a read error with a message on
    // the command line. A file without one valid line loads with success
    // and no entries. The previous content is always dropped.
    bool Load(const std::wstring& path);
    // The same from the contents of a catalogue file, in codePage (an iconv
    // name; empty: the process code page). Always true.
    bool LoadText(std::string_view bytes, const std::string& codePage = {});

    int GetCount() const { return static_cast<int>(m_folderNames.size()); }
    // Lookups by entry number; out of range: empty text, the default grid
    // size, 0.
    std::wstring GetDisplayName(int entry) const;
    std::wstring GetFolderName(int entry) const;
    std::int32_t GetGridSize(int entry) const;
    std::int32_t GetReservedNumber(int entry) const;

    // The slide library and the index of an entry:
    //   folder\name\name.SLB and folder\name\name.IDX
    // Empty when the catalogue is empty; an entry number out of range gives
    // entry 0's.
    std::wstring GetSlideLibraryPath(const std::wstring& symbolDrawingFolder, int entry) const;
    std::wstring GetIndexPath(const std::wstring& symbolDrawingFolder, int entry) const;

    // Whether an entry is a library of schematic symbols: the layer its
    // "dwglay.dat" names (the key on the first line, blanks and the line
    // end trimmed) is the layer configured for SCHEMATIC ELEMENT, names
    // compared without letter case. False when the entry does not exist,
    // the file cannot be read (as Load) or is empty, or no layer is configured for
    // SCHEMATIC ELEMENT.
    bool IsSchematicLibrary(const std::wstring& symbolDrawingFolder, int entry) const;

private:
    std::wstring libraryFile(const std::wstring& symbolDrawingFolder, int entry, const wchar_t* extension) const;

    std::vector<std::wstring> m_displayNames;
    std::vector<std::wstring> m_folderNames;
    std::vector<std::int32_t> m_gridSizes;
    std::vector<std::int32_t> m_reservedNumbers;
};

// A library's index: its symbols in preview order, the position of each
// being its slot in the preview grid. Line format
//   name description code text n1 n2 n3 n4 n5
// (four texts, five integers): the symbol's name (its slide in the slide
// library, its block and its drawing in the library folder), a
// description, a code, a text kept as read but not used, and five
// integers that must be there for the line to count but are not kept.
// A symbol named kEmptySlotName fills a slot that stays empty; it is kept
// like any other here.
class CSymbolIndex {
public:
    static constexpr const wchar_t* kEmptySlotName = L"空";

    // Empties the index.
    void Clear();
    // As CSymbolLibCatalog::Load and LoadText.
    bool Load(const std::wstring& path);
    bool LoadText(std::string_view bytes, const std::string& codePage = {});

    int GetCount() const { return static_cast<int>(m_names.size()); }
    // Lookups by position; empty text out of range.
    std::wstring GetName(int position) const;
    std::wstring GetDescription(int position) const;
    std::wstring GetCode(int position) const;
    std::wstring GetReservedText(int position) const;

private:
    std::vector<std::wstring> m_names;
    std::vector<std::wstring> m_descriptions;
    std::vector<std::wstring> m_codes;
    std::vector<std::wstring> m_reservedTexts;
};
