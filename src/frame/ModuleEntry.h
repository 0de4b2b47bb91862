// The module frame: its entry point in the host, the table of LISP
// functions with their dispatch; rows 1 to 10 and 12 run with OSMODE kept
// (CAcadSysVarScope), so a handler leaves it as it found it.
#pragma once

#include "host/acrx.h"

#include <cstdint>

// The host's status codes as handlers return them.
using HandlerFn = int (*)();

// One row of the function table: the LISP name, the handler and whether the
// handler is also registered for direct invocation.
struct LispFuncTableRow {
    const ACHAR* name;
    HandlerFn handler;
    std::int32_t regFlag;
};

// Rows 0 (an empty placeholder) to 13; the row index is the function code.
constexpr int kLispFuncCount = 13;
extern const LispFuncTableRow LispFuncTable[kLispFuncCount + 1];

// Steps of the entry point (exposed for tests).
int DefineLispFunctions();
int UndefineLispFunctions();
// Runs the function of the current invocation; 1 when its handler
// returned RTNORM, 3 otherwise (nothing runs for a bad code: RTERROR).
int DispatchLispCall();
int showlinetype();


// Module-wide state.
extern void* g_hInstance;
extern void* g_hAcadMainWnd;

ACRX_APP_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId);
ACRX_APP_EXPORT long acrxGetApiVersion();
