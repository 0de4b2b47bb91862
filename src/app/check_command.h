// ctrlsch check (FILE.dxf | --project SETTINGS.json) [--json]: the problems
// of the schematics of a drawing or of a project's drawings, found by the
// module's (ctrlschk MODE), one line each (or JSON with --json). The
// drawings are opened read only. Exit status 0 when nothing was found, 1
// when problems were found (a project drawing that cannot be read is one),
// 2 when the input could not be read at all (the drawing, the project's
// list, or none of the project's drawings) or on wrong usage.
#pragma once

#include <string>
#include <vector>

namespace app {

// What checkCommand returns when the input could not be read: the program
// ends with status 2 as after wrong usage, but without the usage line.
constexpr int kExitNoInput = -2;

int checkCommand(const std::vector<std::string>& args);

} // namespace app
