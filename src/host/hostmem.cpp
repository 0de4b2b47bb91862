#include "host/hostmem.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// Marks the re-executed program; holds the GLIBC_TUNABLES it had before
// (empty: none).
constexpr const char* kTunedMark = "CTRLSCH_TUNED";

void restoreTunables(const char* before)
{
    if (*before)
        ::setenv("GLIBC_TUNABLES", before, 1);
    else
        ::unsetenv("GLIBC_TUNABLES");
}

bool wanted(MemoryTuning when)
{
    if (when == MemoryTuning::Always)
        return !std::getenv("CTRLSCH_NO_TUNING");
    const char* tune = std::getenv("CTRLSCH_TUNE");
    return tune && *tune && std::strcmp(tune, "0") != 0;
}

} // namespace

void hostTuneProcessMemory(char** argv, MemoryTuning when)
{
    if (const char* mark = std::getenv(kTunedMark)) {
        // Tuned: the tunables did their work at start; what this program
        // runs gets the environment it had before.
        restoreTunables(std::string(mark).c_str());
        ::unsetenv(kTunedMark);
        return;
    }
    if (!wanted(when))
        return;
    const char* old = std::getenv("GLIBC_TUNABLES");
    const std::string before = old ? old : "";
    if (before.find("glibc.malloc.hugetlb") != std::string::npos)
        return;
    const std::string tunables =
        (before.empty() ? "" : before + ":") + "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864";
    ::setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
    ::setenv(kTunedMark, before.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    // Not re-executed: go on with the settings and the environment as they are.
    restoreTunables(before.c_str());
    ::unsetenv(kTunedMark);
}
