// The "install" command of the ctrlsch program: the default installation.
#pragma once

#include <string>
#include <vector>

namespace app {

// ctrlsch install DIR: writes the default installation into DIR (settings,
// layer configuration, symbol libraries, bus-bar slides, switch tables,
// statistics files) and a sheet of every symbol, DIR/symbols.png. Prints
// what it wrote and how to use it. Returns an exit status.
int installCommand(const std::vector<std::string>& args);

} // namespace app
