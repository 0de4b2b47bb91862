// ctrlsch: the command line of the control-schematic tools. The first word
// names the command; each command gets the words after it.
#include "host/hostmem.h"
#include "app/check_command.h"
#include "app/demo_command.h"
#include "app/install_command.h"
#include "app/render_command.h"
#include "app/serve_command.h"
#include "app/session.h"
#include "app/table_command.h"

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
    {"check", "(FILE.dxf | --project SETTINGS.json) [--json]",
     "check the schematics of a drawing, or of every drawing of the project the settings name\n"
     "      (read in parallel): two symbols in a cell, loose wires, symbols outside the cells, damaged\n"
     "      schematic data, differing parameters, panel symbols without a code, a designation with two\n"
     "      models, unreadable drawings. One line a problem (--json: JSON); drawings are not changed.\n"
     "      Status 0 clean, 1 problems found, 2 nothing could be read",
     app::checkCommand},
    {"demo", "[DIR]", "draw a motor starter with (ylthz), continue it with (yltbj), render both as SVG, PNG\n"
     "      and PDF (DIR: demo)",
     app::demoCommand},
    {"install", "DIR",
     "write the default installation (symbol libraries, settings) into DIR: runs ctrlsch-install;\n"
     "      DIR/settings.json is its settings file",
     app::installCommand},
    {"render", "FILE.dxf OUT.svg|OUT.pdf|OUT.png [--paper A4|A3] [--landscape] [--scale 1:N | --fit] [--dark]",
     "draw the model space of a drawing as an SVG picture, or plot it on a page as PDF or PNG\n"
     "      (the kind from OUT's extension; a page is A4 portrait, fitted, unless the options say\n"
     "      otherwise; SVG is sized around the drawing unless a page option is given)",
     app::renderCommand},
    {"run", "[-k|--keep-going] SCRIPT [FILE.dxf] [-o OUT.dxf]",
     "run a script on the command line and print what it shows; the first failed command\n"
     "      stops it with status 1 (OUT not written); -k runs on to the end, the status still 1",
     app::runCommand},
    {"serve", "[FILE.dxf] [--port N]",
     "serve the command line and the drawing (FILE, or a new one) as a web page on 127.0.0.1,\n"
     "      port N or a free one; prints the page's address with its access token first. QUIT,\n"
     "      Ctrl-C or SIGTERM end it (the drawing is not saved)",
     app::serveCommand},
    {"table", "(FILE.dxf | --project SETTINGS.json) [-o OUT.xlsx|OUT.csv|OUT.json] [--jobs N]",
     "the equipment table of a drawing (esbbtj 0) or of the project SETTINGS names (the project's\n"
     "      table and each drawing's) with the numbers missing from designation runs and, for a\n"
     "      project, designations with different models in different drawings; CSV on the standard\n"
     "      output without -o; --jobs: drawings read at once (default: one per core)",
     app::tableCommand},
};

int usage(std::ostream& out, int status)
{
    out << "usage:\n"
           "  ctrlsch [FILE.dxf]\n"
           "      the interactive command line on a new drawing or on FILE (type HELP at its prompt\n"
           "      for the commands, the LISP functions and the @ dialog events); Ctrl-C cancels like\n"
           "      Esc; QUIT, CLOSE and Ctrl-D ask before unsaved changes are lost\n";
    for (const Command& c : kCommands)
        out << "  ctrlsch " << c.name << " " << c.arguments << "\n      " << c.summary << "\n";
    out << "  ctrlsch -h|--help\n"
           "      this text\n"
           "  ctrlsch --version\n"
           "      the program's name and version\n"
           "options of run:\n"
           "  -k, --keep-going  run the whole script even after a failed command (the status is still 1)\n"
           "  -o OUT.dxf        save the drawing to OUT when the run ends without a failure\n"
           "environment:\n"
           "  CTRLSCH_SETTINGS   the settings file (JSON; default ~/.config/ctrlsch/settings.json, from HOME);\n"
           "                     the module names the file it uses as it loads (on stderr for run)\n"
           "  CTRLSCH_MODULE     the module to load (default: the one of the program's build tree,\n"
           "                     or installed with it)\n"
           "  CTRLSCH_INSTALLER  the installer install and demo run (default: the ctrlsch-install of\n"
           "                     the program's build tree, or installed with it)\n"
           "  CTRLSCH_NO_MODULE  set: run scripts without loading the module\n"
           "  CTRLSCH_TUNE       1: re-start with the memory settings for large drawings (glibc\n"
           "                     tunables; the programs ctrlsch runs do not inherit them)\n"
           "exit status: 0 done, 1 failed (a failed command of a script, an unreadable file),\n"
           "2 wrong usage\n";
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    hostTuneProcessMemory(argv, MemoryTuning::OnRequest);
    // Without a command, or with a drawing: the interactive command line.
    if (argc < 2)
        return app::interactiveCommand({});
    const std::string name = argv[1];
    if (argc == 2 && name.size() > 4 && name[0] != '-'
        && (name.substr(name.size() - 4) == ".dxf" || name.substr(name.size() - 4) == ".dwg"))
        return app::interactiveCommand({name});
    if (name == "-h" || name == "--help" || name == "help")
        return usage(std::cout, app::kExitOk);
    if (name == "--version" && argc == 2) {
        std::cout << "ctrlsch " CTRLSCH_VERSION "\n";
        return app::kExitOk;
    }
    for (const Command& c : kCommands) {
        if (name != c.name)
            continue;
        const int status = c.run(std::vector<std::string>(argv + 2, argv + argc));
        if (status == app::kExitUsage)
            std::cerr << "usage: ctrlsch " << c.name << " " << c.arguments << "\n";
        return status == app::kExitNoInput ? app::kExitUsage : status;
    }
    std::cerr << "ctrlsch: unknown " << (name[0] == '-' ? "option" : "mode") << " '" << name << "'\n";
    return usage(std::cerr, app::kExitUsage);
}
