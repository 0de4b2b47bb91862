// The editor interface of the host: prompts and input, system variables,
// the command line's output, and LISP function definition and results.
//
// All input comes from the current document's input queue (see
// host/commandline.h): typed lines of a user or a script, text typed by
// applications (acDocManagerSendString), and "@" events for dialogs, which
// are dispatched while a prompt waits.
#pragma once

#include "host/acge.h"
#include "host/adsdefs.h"

#include <initializer_list>
#include <string>
#include <vector>

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

// Selection sets. Modes of acedSSGet: null (the user selects at the prompt
// "选择对象: " until Enter, or a single pick at pt1 when pt1 is given), "W"
// and "C" (window and crossing window between pt1 and pt2), "X" (the whole
// drawing), "L" (the last entity), "P" (the previous selection). filter is
// a chain of DXF groups (see host/selection.h). RTERROR when nothing is
// selected (ERRNO 7 for a missed pick), RTCAN on Esc. Names stay valid
// until acedSSFree.
int acedSSGet(const ACHAR* mode, const void* pt1, const void* pt2, const resbuf* filter, ads_name ss);
// Adds ename to sname (result then names sname); with a null sname a new
// set holding ename; with both null a new empty set.
int acedSSAdd(const ads_name ename, const ads_name sname, ads_name result);
int acedSSDel(const ads_name ename, const ads_name ss);
int acedSSName(const ads_name ss, ads_int32 i, ads_name entres);
int acedSSLength(const ads_name ss, ads_int32* len);
int acedSSFree(const ads_name sname);
// RTNORM when ename is in the set, RTERROR otherwise.
int acedSSMemb(const ads_name ename, const ads_name ss);
// Applies the matrix (translation in column 3) to every entity of the set;
// RTERROR when an entity cannot take it (a non-uniform scale of a block
// reference) and nothing is changed then.
int acedXformSS(const ads_name ssname, const ads_matrix genmat);

// ---------------------------------------------------------------- commands

// One argument of acedCommand: a string (a command name, an option, a
// number or point as typed, "" for Enter), a real, an integer, a point, an
// entity name, an entity picked at a point, or a selection set.
struct AcCmdArg {
    enum class Kind { String, Real, Int, Point, Ename, Pick, SelectionSet };
    Kind kind = Kind::String;
    std::wstring text;
    double real = 0.0;
    int integer = 0;
    double point[3] = {0, 0, 0};
    std::int64_t name[2] = {0, 0};

    AcCmdArg(const ACHAR* s) : text(s ? s : L"") {}
    AcCmdArg(std::wstring s) : text(std::move(s)) {}
    AcCmdArg(double v) : kind(Kind::Real), real(v) {}
    AcCmdArg(int v) : kind(Kind::Int), integer(v) {}
    // An ads_point.
    AcCmdArg(const double* p) : kind(Kind::Point) { point[0] = p[0], point[1] = p[1], point[2] = p[2]; }
    AcCmdArg(const AcGePoint3d& p);
    static AcCmdArg ename(const ads_name n);
    // What a list (entity name, point) gives: the entity picked at the point.
    static AcCmdArg pick(const ads_name n, const ads_point p);
    static AcCmdArg selectionSet(const ads_name ss);
};

// Runs host commands with their replies, as if typed: "_.PLINE", "INSERT",
// "_.MOVE", "_.MIRROR", "_.TEXT", "_.TRIM", "_.ERASE", "_.ZOOM", "_.COLOR",
// "_.UNDO", "U", "REDRAW" (prefixes "_" and "." and letter case do not
// matter; options are the English ones). Prompts are not echoed, and while
// CMDECHO is 0 neither are the commands' notes (the current width, a trim
// that cut nothing, what U took back); a failing command says why. RTNORM
// when every command ran to its end; RTREJ for an unknown command, an
// unknown option or an unacceptable value, RTERROR for a command that
// failed (a block or drawing that cannot be found), RTCAN when the
// arguments end while a command still asks. A command that does not end
// normally is undone: it leaves nothing in the drawing.
int acedCommand(std::initializer_list<AcCmdArg> args);
int acedCommandArgs(const std::vector<AcCmdArg>& args);
// The same from a result-buffer chain (RTSTR, RTREAL, RTSHORT, RTLONG,
// RTPOINT, RT3DPOINT, RTENAME, RTPICKS, and RTLB RTENAME point RTLE for a
// pick); RTREJ for other types.
int acedCmd(const resbuf* rb);

// Looks for a file: as given, then in the drawing's folder, then in the
// folders of the support path (ACADPREFIX, separated by ";"). Both "/" and
// "\\" separate folders; a name ending in ".dwg" also finds the ".dxf"
// beside it. RTNORM with the path found, RTERROR otherwise.
int acedFindFile(const ACHAR* fname, ACHAR* result, std::size_t len = 260);

// ---------------------------------------------------------------- temporary graphics and tracking

// Draws a vector as temporary graphics (not part of the drawing); colour
// -1 complements what is there, so drawing the same vector again with -1
// removes it. Cleared by REDRAW and acedRedraw(nullptr, 0).
int acedGrDraw(const ads_point from, const ads_point to, int color, int hl);
// ent null: mode 0 redraws the whole view (clearing temporary graphics).
// An entity: 1 redraw, 2 undraw (hide until redrawn), 3 highlight, 4
// unhighlight.
int acedRedraw(const ads_name ent, int mode);
// Reads one input event: type 2 a key (result RTSHORT, 13 for Enter), 3 a
// picked point, 4 a menu item, 5 a pointer position (only with track bit
// 1), 11 an aux menu item, 25 the right button (value 0). Script lines
// "@move X,Y", "@pick X,Y", "@right", "@aux N", "@menu N" and "@char N"
// give the pointer, button and key events; typed text gives its
// characters one key at a time and the line end as 13. RTCAN on Esc.
int acedGrRead(int track, int* type, resbuf* result);
// The drag callback: fills the matrix for the image at the cursor point;
// RTNORM, or RTNONE when the image does not change.
using AcDragFunc = int (*)(ads_point pt, ads_matrix mt);
// Drags the selection set's image with the cursor ("@move" lines call
// scnf). RTNORM with the point picked or typed, RTNONE for Enter, RTCAN
// for Esc, RTKWORD for a keyword of acedInitGet, RTSTR for other text (read
// both with acedGetInput).
int acedDragGen(const ads_name ss, const ACHAR* prompt, int cursor, AcDragFunc scnf, ads_point p);

// System variables of the current document. Values are result buffers of
// the variable's type (RTSHORT, RTREAL, RTSTR, RT3DPOINT, RTPOINT).
int acedGetVar(const ACHAR* name, resbuf* result);
int acedSetVar(const ACHAR* name, const resbuf* value);

// Prints to the command line (printf-style, wide format).
int acutPrintf(const ACHAR* format, ...);
// Prints an application's error message as given.
int acdbFail(const ACHAR* str);

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
