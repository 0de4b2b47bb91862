// Host internals shared by the LISP evaluator, the editor functions and
// the command line: invoking applications' LISP functions and printing.
#pragma once

#include "host/acapdoc.h"
#include "host/lisp.h"

#include <string>

namespace host {

struct CallResult {
    int status = RTNORM;
    lisp::Value value;
    std::string error;
};

// Calls an application's function with the arguments (acedGetArgs gives
// them during the call); the value is what it returned with acedRet*.
CallResult invokeFunction(const AcApLispFunction& f, resbuf* args);
// Output of the command line (see commandline.h).
void printOutput(const std::string& utf8);
// System variables of a fresh document.
void initSysvars(AcApDocument& doc);

} // namespace host
