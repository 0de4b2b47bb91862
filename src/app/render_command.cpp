#include "app/render_command.h"

#include "host/dbmain.h"
#include "host/render/svg.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

bool writeFileAtomically(const std::string& path, const std::string& data, std::string& error)
{
    std::string name = path + ".tmpXXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    const auto fail = [&](const std::string& what) {
        error = what + path + ": " + std::strerror(errno);
        ::unlink(name.c_str());
        return false;
    };
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return fail("cannot write ");
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file private; give it the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const bool synced = ::fsync(fd) == 0;
    const int saved = errno;
    if (::close(fd) != 0 || !synced) {
        if (!synced)
            errno = saved;
        return fail("cannot write ");
    }
    if (std::rename(name.c_str(), path.c_str()) != 0)
        return fail("cannot replace ");
    return true;
}

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
    if (!writeFileAtomically(output, renderSvg(db), error)) {
        std::cerr << "ctrlsch render: " << error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace app
