// The "demo" command of the ctrlsch program: a motor starter drawn on the
// default installation, then continued in a second session.
#pragma once

#include <string>
#include <vector>

namespace app {

// ctrlsch demo [DIR] (default "demo"): writes the default installation
// into DIR/install, draws a motor starter with (ylthz) (DIR/motor-starter.scr
// to DIR/motor-starter.dxf), continues the saved drawing with (yltbj)
// (DIR/motor-starter-continued.scr to DIR/motor-starter-continued.dxf),
// lays out its panel front with (inspmtsb 1.0) and prints the panel's
// equipment table with (esbbtj 0) (DIR/motor-starter-panel.scr to
// DIR/motor-starter-panel.dxf), renders the three as SVG, and runs the
// selection dialogs (DIR/selection-dialogs.scr). The continued drawing
// gets a function box beside the schematic with (gnkhz). The scripts are written first, so they can be read
// and run again with "ctrlsch run".
int demoCommand(const std::vector<std::string>& args);

} // namespace app
