// The "render" command of the ctrlsch program: a drawing to an SVG picture
// or to a PDF or PNG plot.
#pragma once

#include <string>
#include <vector>

namespace app {

// Exit statuses of the program's commands.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// ctrlsch render FILE.dxf OUT.svg|OUT.pdf|OUT.png [--paper A4|A3]
// [--landscape] [--scale 1:N | --fit] [--dark]; args are the words after
// "render". Reads the drawing and writes its model space through a
// temporary file beside OUT. A drawing that cannot be read is reported on
// stderr and nothing is written. Returns an exit status: kExitUsage when the
// arguments do not fit (a wrong option or value is named on stderr first).
int renderCommand(const std::vector<std::string>& args);

// The drawing as BASE.svg, BASE.png and BASE.pdf; the plots on a page as
// pageOptions say (render's words, e.g. {"--landscape"}), the SVG a picture
// of the whole drawing. Stops at the first failure. Returns an exit status.
int renderPictures(const std::string& dxf, const std::string& base, const std::vector<std::string>& pageOptions = {});

} // namespace app
