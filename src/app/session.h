// A working session of the host in the ctrlsch program: the command line
// wired to the dialog toolkit, the module loaded, a first drawing open.
#pragma once

#include "host/commandline.h"

#include <string>
#include <vector>

namespace app {

// Opens the session: a new drawing, or the drawing file given; loads the
// module (CTRLSCH_MODULE, or the module of the program's build or installed
// tree: see moduleOfProgram) unless
// noModule. What the module prints while it loads (it names the settings
// file it uses), and a module that cannot be loaded, go to the command line,
// or with loadingOnStderr to the error stream. False with a message on
// stderr when the drawing cannot be read.
bool openSession(const std::string& drawing, bool noModule, bool loadingOnStderr);
// A file in the program's folder: relative to it (relative as given when
// the program's own path cannot be read).
std::string besideProgram(const std::string& relative);
// A file that comes with the program, given by its paths relative to the
// program's folder in the build tree and in the installed tree: the build
// tree's when that file exists, else the installed tree's.
std::string programFile(const std::string& inBuildTree, const std::string& installed);
// The module the program loads when CTRLSCH_MODULE names none: in the build
// tree in src/frame, installed in the module folder (lib/ctrlsch/).
std::string moduleOfProgram();

// Unloads the applications and closes the drawings.
void closeSession();

// Lines of a script file; each line is echoed after its prompt. A line
// whose first character other than blanks is ";" is a comment: it is
// skipped wherever it stands (an empty line is not: it is Enter).
class ScriptSource : public host::LineSource {
public:
    explicit ScriptSource(std::vector<std::string> lines) : m_lines(std::move(lines)) {}
    bool readLine(std::string& line, const std::string& prompt) override;
    bool echoes() const override { return true; }
    // How many lines were read: the number of the last one.
    std::size_t linesRead() const { return m_next; }

private:
    std::vector<std::string> m_lines;
    std::size_t m_next = 0;
};

// ctrlsch run [-k] SCRIPT [FILE.dxf] [-o OUT.dxf]: runs the script on the
// command line (a UTF-8 byte-order mark at its start is skipped). The first
// command that fails (an error the command line reports: bad LISP, an
// unknown command, a refused save...) stops the run with status 1, and OUT
// is not written; with -k (--keep-going) the script runs to its end and the
// status is still 1. A user's Esc is no failure. What loading the module
// prints (the settings file in use) goes to stderr before the script runs.
int runCommand(const std::vector<std::string>& args);
// ctrlsch [FILE.dxf]: the interactive command line; the module names the
// settings file in use as it loads. GNU readline edits each line after the
// prompt (history with Up and Down); Ctrl-C is Esc and never ends the
// program; Ctrl-D at the command prompt is QUIT, which asks about unsaved
// changes.
int interactiveCommand(const std::vector<std::string>& args);

} // namespace app
