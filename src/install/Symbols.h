// The symbols of the default installation, drawn after IEC 60617 /
// GB/T 4728: schematic symbols upright between their connection points
// (0, 0) and (0, -7.5), panel symbols in the unit square, and the six
// bus-bar arrangements.
#pragma once

#include "install/Sketch.h"

#include <string>
#include <vector>

namespace ctrlsch::install {

struct SymbolDef {
    std::string name;        // block, drawing and slide name; "空" for a blank slot
    std::wstring description;
    std::wstring code;       // designation letters
    Sketch sketch;
};

// In preview order, blanks included.
std::vector<SymbolDef> schematicSymbols();
std::vector<SymbolDef> panelSymbols();
// MX1 .. MX6, drawn in a 60 x 40 frame.
std::vector<SymbolDef> busBarTypes();

} // namespace ctrlsch::install
