#include "app/render_command.h"

#include "host/hostfile.h"

#include "host/dbmain.h"
#include "host/render/svg.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace app {


int renderCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2 || args[0].empty() || args[1].empty())
        return kExitUsage;
    const std::string& input = args[0];
    const std::string& output = args[1];

    AcDbDatabase db(false);
    if (db.readDwgFile(utf8ToWide(input).c_str()) != Acad::eOk) {
        std::cerr << "ctrlsch render: " << wideToUtf8(db.lastError()) << "\n";
        return kExitFailed;
    }
    std::string error;
    if (!hostWriteFileAtomically(output, renderSvg(db), error)) {
        std::cerr << "ctrlsch render: " << error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace app
