// Memory settings of a host process for large drawings.
#pragma once

// Large drawings are millions of small objects: the process runs best with
// glibc's allocator on transparent huge pages and with a generous heap top
// pad (fewer page faults, fewer heap extensions). These are glibc tunables,
// read only at process start, so when they are not set yet this sets them
// and re-executes the program with the same arguments; it returns (doing
// nothing) when they are set, when CTRLSCH_NO_TUNING is set, or when the
// re-execution fails. Call it first thing in main.
void hostTuneProcessMemory(char** argv);
