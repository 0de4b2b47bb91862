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
// The keyword of a list (blank-separated, abbreviations by capitals or after
// a comma) that a reply names, ignoring case.
bool matchKeyword(const std::wstring& list, const std::string& reply, std::wstring& keyword);
// A finite number, the whole text.
bool parseNumber(const std::string& s, double& v);
// "x,y" or "x,y,z"; "@dx,dy" relative to base (LASTPOINT when base is null).
// False also for a point whose coordinates do not fit in a double (a
// number like 1e400, or an offset that takes the point there); outOfRange,
// when given, then tells that case from text that is no point.
bool parsePoint(const std::string& s, const double* base, ads_point out, bool* outOfRange = nullptr);
// Takes the options acedInitGet set for the next input call (they apply
// once), and sets what acedGetInput gives next.
void takeInitGet(int& bits, std::wstring& keywords);
void setLastInput(const std::wstring& text);
// System variables of a fresh document.
void initSysvars(AcApDocument& doc);

} // namespace host
