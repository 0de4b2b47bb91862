// The "render" command of the ctrlsch program: a drawing to an SVG picture.
#pragma once

#include <string>
#include <vector>

namespace app {

// Exit statuses of the program's commands.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// ctrlsch render FILE.dxf OUT.svg; args are the words after "render".
// Reads the drawing and writes its model space as SVG through a temporary
// file beside OUT.svg. A drawing that cannot be read is reported on stderr
// and nothing is written. Returns an exit status (kExitUsage without
// printing anything when the arguments do not fit).
int renderCommand(const std::vector<std::string>& args);

} // namespace app
