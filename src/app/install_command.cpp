#include "app/install_command.h"

#include "app/render_command.h"
#include "app/session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace app {

int installCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0].empty() || (args[0][0] == '-' && args[0].size() > 1))
        return kExitUsage;
    return runInstaller(args[0]);
}

int runInstaller(const std::filesystem::path& dir)
{
    const char* env = std::getenv("CTRLSCH_INSTALLER");
    const std::string installer = env && *env ? env : programFile("ctrlsch-install", CTRLSCH_INSTALLER_FROM_PROGRAM "ctrlsch-install");
    std::string arg = dir.string();
    char* argv[] = {const_cast<char*>(installer.c_str()), arg.data(), nullptr};
    // What this program printed comes before what the installer prints.
    std::fflush(stdout);
    std::cout.flush();
    pid_t pid = 0;
    if (const int e = ::posix_spawn(&pid, installer.c_str(), nullptr, nullptr, argv, environ); e != 0) {
        std::cerr << "ctrlsch install: cannot run the installer " << installer << ": " << std::strerror(e)
                  << " (build the ctrlsch-install program beside ctrlsch, or name it in CTRLSCH_INSTALLER)\n";
        return kExitFailed;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            std::cerr << "ctrlsch install: " << installer << ": " << std::strerror(errno) << "\n";
            return kExitFailed;
        }
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    std::cerr << "ctrlsch install: " << installer << " ended by signal " << WTERMSIG(status) << "\n";
    return kExitFailed;
}

InstalledPaths installedPaths(const std::filesystem::path& dir)
{
    InstalledPaths p;
    std::error_code ec;
    p.dir = std::filesystem::absolute(dir, ec).lexically_normal();
    if (p.dir.has_parent_path() && !p.dir.has_filename()) // "dir/" names dir
        p.dir = p.dir.parent_path();
    p.settings = p.dir / "settings.json";
    p.userDir = p.dir / "User";
    return p;
}

} // namespace app
