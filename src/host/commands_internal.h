// What the commands of the interpreter share: how a command ends early,
// the replies to its prompts, and the drawing it works on. Private to the
// command files of the host.
#pragma once

#include "host/commands.h"
#include "host/dbmain.h"

#include <string>

namespace host::cmd {

// How a command ends early: the status runCommand gives.
struct CommandEnd {
    int status;
};

std::wstring formatReal(double v);
void message(const std::wstring& text);
AcDbDatabase* workingDb();
AcDbEntity* liveEntity(const AcDbObjectId& id);

// Replies of one command, read through the command's input with the
// conversions every prompt shares.
class Replies {
public:
    explicit Replies(CommandInput& in) : m_in(in) {}


    AcCmdArg next(const std::wstring& prompt);
    void reject(const std::wstring& why);
    // A note of the command: shown only where the command echoes.
    void note(const std::wstring& text) const;

    // A keyword of the list the reply names ("_BEGIN" is "BEGIN"), or empty.
    static std::wstring keyword(const AcCmdArg& a, const std::wstring& keywords);
    static bool isEnter(const AcCmdArg& a) { return a.kind == AcCmdArg::Kind::String && a.text.empty(); }
    static bool asPoint(const AcCmdArg& a, AcGePoint3d& p, const AcGePoint3d* base = nullptr);
    static bool asReal(const AcCmdArg& a, double& v);

    // A point; with keywords a keyword may come instead (kw set). Enter
    // gives false when allowed.
    bool point(const std::wstring& prompt, AcGePoint3d& p, bool enterAllowed = false,
               const std::wstring& keywords = {}, std::wstring* kw = nullptr, const AcGePoint3d* base = nullptr);
    // A real; Enter gives the default when there is one.
    double real(const std::wstring& prompt, const double* defaultValue, bool nonZero = false);
    // One of the keywords (or Enter, giving the empty string, when allowed).
    std::wstring choice(const std::wstring& prompt, const std::wstring& keywords, bool enterAllowed);
    // Text to the line end.
    std::wstring text(const std::wstring& prompt);

    // Objects chosen at "选择对象:" until Enter: entity names, picks,
    // selection sets, points (the entity under the pick box), "W" and "C"
    // windows, "L" the last entity, "P" the previous selection, "ALL".
    AcDbObjectIdArray objects(const std::wstring& prompt = L"\n选择对象: ");

    static AcDbObjectIdArray& previous();
private:
    CommandInput& m_in;
};

AcDbBlockTableRecord* currentSpace();
AcDbObjectId addToCurrentSpace(AcDbEntity* e);
// Every entity takes the matrix, or none is changed.
void transformAll(const AcDbObjectIdArray& ids, const AcGeMatrix3d& m);
void setLastPoint(const AcGePoint3d& p);

// The commands, one function each.
int cmdPline(Replies& r);
int cmdInsert(Replies& r);
int cmdMove(Replies& r);
int cmdMirror(Replies& r);
int cmdErase(Replies& r);
int cmdLine(Replies& r);
int cmdText(Replies& r);
int cmdTrim(Replies& r);
int cmdZoom(Replies& r);
int cmdColor(Replies& r);
int cmdUndo(Replies& r);
int cmdU(Replies& r);
int cmdRedraw(Replies& r);

} // namespace host::cmd
