// The editor interface of the host: prompts and input, system variables,
// the command line's output, and LISP function definition and results.
//
// All input comes from the current document's input queue (see
// host/commandline.h): typed lines of a user or a script, text typed by
// applications (acDocManagerSendString), and "@" events for dialogs, which
// are dispatched while a prompt waits.
#pragma once

#include "host/adsdefs.h"

// Input options for the next input call only: bits (1 no null, 2 no zero,
// 4 no negative, 8 no limits, 32 dashed, 64 2D, 128 arbitrary input) and
// a blank-separated keyword list ("LType Width,W"), or null.
int acedInitGet(int val, const ACHAR* kwl);
int acedGetPoint(const ads_point base, const ACHAR* prompt, ads_point result);
int acedGetCorner(const ads_point base, const ACHAR* prompt, ads_point result);
// cronly non-zero: the reply may hold blanks and ends at the line end.
int acedGetString(int cronly, const ACHAR* prompt, ACHAR* result, std::size_t bufLen = 256);
int acedGetReal(const ACHAR* prompt, ads_real* result);
int acedGetInt(const ACHAR* prompt, int* result);
int acedGetDist(const ads_point base, const ACHAR* prompt, ads_real* result);
// The keyword (as written in the list) or the arbitrary text of the last
// RTKWORD reply.
int acedGetInput(ACHAR* str, std::size_t bufLen = 256);
// Picks an entity with a point under the pick box; RTERROR with ERRNO 7
// for a miss and 52 for Enter.
int acedEntSel(const ACHAR* prompt, ads_name entity, ads_point point);

// System variables of the current document. Values are result buffers of
// the variable's type (RTSHORT, RTREAL, RTSTR, RT3DPOINT, RTPOINT).
int acedGetVar(const ACHAR* name, resbuf* result);
int acedSetVar(const ACHAR* name, const resbuf* value);

// Prints to the command line (printf-style, wide format).
int acutPrintf(const ACHAR* format, ...);

// LISP functions of applications, defined per document.
int acedDefun(const ACHAR* name, int funcCode);
int acedUndef(const ACHAR* name, int funcCode);
int acedRegFunc(int (*fhdl)(), int funcCode);
// During an invocation: the function's code and its arguments (owned by
// the host; valid until the call returns).
int acedGetFunCode();
resbuf* acedGetArgs();
int acedRetVoid();
int acedRetNil();
int acedRetT();
int acedRetInt(int value);
int acedRetReal(ads_real value);
int acedRetStr(const ACHAR* s);
int acedRetPoint(const ads_point p);
int acedRetName(const ads_name n, int type);
int acedRetList(const resbuf* rb);

// The host's main window, the parent of applications' modeless dialogs.
struct HWND__;
using HWND = HWND__*;
HWND adsw_acadMainWnd();
// Set by the program that provides the windows.
void acedSetMainWindow(HWND wnd);

// The host's linetype dialog: offers the drawing's linetypes (with
// ByBlock and ByLayer when includeByBlockByLayer), starting at current.
// True with the chosen name when the user confirms. The dialog itself is
// provided by the program that runs the host (acedSetLinetypeDialog).
class AcDbObjectId;
bool acedLinetypeDialog(AcDbObjectId current, bool includeByBlockByLayer, ACHAR*& newName, AcDbObjectId& newId);
using LinetypeDialogFn = bool (*)(AcDbObjectId current, bool includeByBlockByLayer, ACHAR*& newName,
                                  AcDbObjectId& newId);
void acedSetLinetypeDialog(LinetypeDialogFn fn);
