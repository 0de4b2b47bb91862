// The symbols of the default installation, drawn after IEC 60617 /
// GB/T 4728: schematic symbols upright between their connection points
// (0, 0) and (0, -7.5), panel symbols from (0, 0) in a square of
// kPanelSymbolSide, and the six bus-bar arrangements.
#pragma once

#include "install/Sketch.h"

#include <string>
#include <vector>

namespace ctrlsch::install {

// Panel symbols are inserted at the panel dialog's width and height (1 by
// default) and labelled with a code 20 high above and a symbol text 30
// high below; the name plate holds both, one above the other, inside.
// Their sizes suit those labels.
inline constexpr double kPanelSymbolSide = 40.0;
inline constexpr double kNamePlateWidth = 120.0;
inline constexpr double kNamePlateHeight = 90.0;

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
