// A working session of the host in the ctrlsch program: the command line
// wired to the dialog toolkit, the module loaded, a first drawing open.
#pragma once

#include "host/commandline.h"

#include <string>
#include <vector>

namespace app {

// Opens the session: a new drawing, or the drawing file given; loads the
// module (CTRLSCH_MODULE, or the module built beside the program) unless
// noModule. False with a message on stderr when the drawing cannot be read.
bool openSession(const std::string& drawing, bool noModule);
// Unloads the applications and closes the drawings.
void closeSession();

// Lines of a script file; each line is echoed after its prompt.
class ScriptSource : public host::LineSource {
public:
    explicit ScriptSource(std::vector<std::string> lines) : m_lines(std::move(lines)) {}
    bool readLine(std::string& line, const std::string& prompt) override;
    bool echoes() const override { return true; }

private:
    std::vector<std::string> m_lines;
    std::size_t m_next = 0;
};

// ctrlsch run SCRIPT [FILE.dxf] [-o OUT.dxf]
int runCommand(const std::vector<std::string>& args);
// ctrlsch [FILE.dxf]: the interactive command line.
int interactiveCommand(const std::vector<std::string>& args);

} // namespace app
