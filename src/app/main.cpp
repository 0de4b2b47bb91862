// ctrlsch: the command line of the control-schematic tools. The first word
// names the command; each command gets the words after it.
#include "host/hostmem.h"
#include "app/demo_command.h"
#include "app/install_command.h"
#include "app/render_command.h"
#include "app/session.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {"demo", "[DIR]", "draw a motor starter with (ylthz), continue it with (yltbj), render both (DIR: demo)",
     app::demoCommand},
    {"install", "DIR", "write the default installation (symbol libraries, settings) into DIR", app::installCommand},
    {"render", "FILE.dxf OUT.svg", "draw the model space of a drawing as SVG", app::renderCommand},
    {"run", "[-k|--keep-going] SCRIPT [FILE.dxf] [-o OUT.dxf]",
     "run a script on the command line and print what it shows; the first failed command\n"
     "      stops it with status 1 (OUT not written); -k runs on to the end, the status still 1",
     app::runCommand},
};

int usage(std::ostream& out, int status)
{
    out << "usage:\n";
    for (const Command& c : kCommands)
        out << "  ctrlsch " << c.name << " " << c.arguments << "\n      " << c.summary << "\n";
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    hostTuneProcessMemory(argv);
    // Without a command, or with a drawing: the interactive command line.
    if (argc < 2)
        return app::interactiveCommand({});
    const std::string name = argv[1];
    if (argc == 2 && name.size() > 4 && name[0] != '-'
        && (name.substr(name.size() - 4) == ".dxf" || name.substr(name.size() - 4) == ".dwg"))
        return app::interactiveCommand({name});
    if (name == "-h" || name == "--help" || name == "help")
        return usage(std::cout, app::kExitOk);
    for (const Command& c : kCommands) {
        if (name != c.name)
            continue;
        const int status = c.run(std::vector<std::string>(argv + 2, argv + argc));
        if (status == app::kExitUsage)
            std::cerr << "usage: ctrlsch " << c.name << " " << c.arguments << "\n";
        return status;
    }
    std::cerr << "ctrlsch: unknown command '" << name << "'\n";
    return usage(std::cerr, app::kExitUsage);
}
