// The symbols of the default installation, drawn after IEC 60617 /
// GB/T 4728: schematic symbols upright between their connection points
// (0, 0) and (0, -7.5), panel symbols from (0, 0) in a square of
// kPanelSymbolSide, and the six bus-bar arrangements.
#pragma once

#include "install/Sketch.h"

#include <string>
#include <vector>

namespace ctrlsch::install {

// Schematic symbols are drawn with a pen a little lighter than the
// schematic's wires (0.3 wide at the palette's settings), and scale with
// them.
inline constexpr double kSchematicPen = 0.25;

// Panel symbols are inserted at the panel dialog's width and height (1 by
// default) times the scale of (inspmtsb SCALE), and labelled with a code
// 20 x SCALE high above and a symbol text 30 x SCALE high below; the name
// plate holds both, one above the other, inside. On a panel front drawn
// in millimetres at SCALE 0.2 (labels 4 and 6 mm high), width and height
// 1 give a 22 mm lamp or button its 30 mm bezel, with room under it for a
// designation of three characters, and a name plate of 80 x 30 mm.
inline constexpr double kPanelSymbolSide = 150.0;
inline constexpr double kNamePlateWidth = 400.0;
inline constexpr double kNamePlateHeight = 150.0;
// The inner frame's distance from the outer one.
inline constexpr double kNamePlateInset = 10.0;
// 0.5 mm at SCALE 0.2.
inline constexpr double kPanelPen = 2.5;

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
