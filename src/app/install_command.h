// The "install" command of the ctrlsch program: the default installation,
// written by its own program, ctrlsch-install (src/install/main.cpp), so
// that the module's file formats stay out of this program.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace app {

// ctrlsch install DIR: runs the installer on DIR (settings, layer
// configuration, symbol libraries, bus-bar slides, switch tables,
// statistics files, and a sheet of every symbol, DIR/symbols.png). What it
// prints and its exit status are the command's.
int installCommand(const std::vector<std::string>& args);

// Runs the installer, ctrlsch-install: CTRLSCH_INSTALLER, or the program of
// that name of this program's build tree or installed with it, on dir, with this program's standard
// streams and environment. Returns its exit status; an installer that
// cannot be run, or one ended by a signal, is said on stderr (status 1).
int runInstaller(const std::filesystem::path& dir);

// The paths the installer guarantees in the folder it wrote.
struct InstalledPaths {
    std::filesystem::path dir;
    std::filesystem::path settings; // dir/settings.json, for CTRLSCH_SETTINGS
    std::filesystem::path userDir;  // dir/User
};
InstalledPaths installedPaths(const std::filesystem::path& dir);

} // namespace app
