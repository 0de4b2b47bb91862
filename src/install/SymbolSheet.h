// A sheet of symbols: the slides of one or more slide libraries painted in
// rows of cells, each with its name and caption below, written as a PNG for
// people to look at.
#pragma once

#include <string>
#include <vector>

namespace ctrlsch::install {

struct SheetItem {
    std::wstring slide;   // slide name in the library
    std::wstring caption; // shown under the slide (name and description)
};

struct SheetSection {
    std::wstring title;
    std::string slideLibrary; // path of the .SLB
    std::vector<SheetItem> items;
};

struct SheetResult {
    int drawn = 0;   // slides painted
    int missing = 0; // items whose slide could not be read
};

// Paints the sections (cells of cellWidth x cellHeight pixels, `columns` to
// a row) and writes the PNG atomically. False with a message when the PNG
// cannot be written; a library that does not open leaves its cells empty
// and counts its items as missing.
bool writeSymbolSheet(const std::vector<SheetSection>& sections, const std::string& pngPath, SheetResult& result,
                      std::string& error, int columns = 8, int cellWidth = 120, int cellHeight = 96);

// The sections of an installation's sheet: every library of the catalogue
// in the symbol drawing folder (its index's symbols, blanks left out,
// captioned with name and description), then the bus-bar slides of
// Image/G-mx.slb. Paths may use backslashes.
std::vector<SheetSection> installationSheetSections(const std::wstring& installFolder,
                                                    const std::wstring& symbolDrawingFolder);

} // namespace ctrlsch::install
