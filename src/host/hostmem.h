// Memory settings of a host process for large drawings.
#pragma once

// Large drawings are millions of small objects: the process runs best with
// glibc's allocator on transparent huge pages and with a generous heap top
// pad (fewer page faults, fewer heap extensions). These are glibc tunables,
// read only at process start, so tuning sets them and re-executes the
// program with the same arguments. When it tunes:
enum class MemoryTuning {
    OnRequest, // when CTRLSCH_TUNE is set (and not "0"): the ctrlsch program
    Always,    // unless CTRLSCH_NO_TUNING is set: the benchmarks
};

// Call it first thing in main. It returns (doing nothing) when it does not
// tune, when the tunables are already in GLIBC_TUNABLES, or when the
// re-execution fails. In the re-executed program it puts the environment
// back as it was (GLIBC_TUNABLES the user's, CTRLSCH_TUNED gone), so that
// the programs it runs do not inherit the settings.
void hostTuneProcessMemory(char** argv, MemoryTuning when);
