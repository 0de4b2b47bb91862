#include "host/hostmem.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

void hostTuneProcessMemory(char** argv)
{
    if (std::getenv("CTRLSCH_NO_TUNING") || std::getenv("CTRLSCH_TUNED"))
        return;
    const char* old = std::getenv("GLIBC_TUNABLES");
    std::string tunables = old ? old : "";
    if (tunables.find("glibc.malloc.hugetlb") != std::string::npos)
        return;
    if (!tunables.empty())
        tunables += ":";
    tunables += "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864";
    ::setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
    ::setenv("CTRLSCH_TUNED", "1", 1);
    ::execv("/proc/self/exe", argv);
    // Not re-executed: go on with the settings as they are.
}
