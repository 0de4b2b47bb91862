// Host internals: the command interpreter behind acedCommand and the
// commands typed at the command line (PLINE, INSERT, MOVE, MIRROR, TEXT,
// TRIM, ERASE, ZOOM, COLOR, UNDO, U, REDRAW).
//
// A command takes its replies from a CommandInput: the arguments of an
// acedCommand call, or the user's replies at the command line. Each command
// runs inside an undo group and, when it does not end normally, is undone,
// so a failed command leaves nothing behind.
#pragma once

#include "host/aced.h"

#include <string>
#include <vector>

namespace host {

class CommandInput {
public:
    virtual ~CommandInput() = default;
    // The next reply for a prompt; false on Esc or when no reply is left.
    virtual bool next(const std::wstring& prompt, AcCmdArg& reply) = 0;
    // The same for a reply that may hold blanks (the text of TEXT).
    virtual bool nextText(const std::wstring& prompt, AcCmdArg& reply) { return next(prompt, reply); }
    // The reply was not acceptable: true to ask again (after printing the
    // message), false to end the command.
    virtual bool reject(const std::wstring& message) = 0;
    // Whether the command's notes (the current width, a trim that cut
    // nothing, what U took back) are shown. A command that fails says why
    // in any case.
    virtual bool echoes() const { return true; }
};

// True for the names (upper case, prefixes removed) runCommand knows.
bool isInterpretedCommand(const std::string& name);
// Those names (aliases included), in the order they are defined.
std::vector<std::string> interpretedCommandNames();
// Runs one command: RTNORM, RTREJ (a reply that was not acceptable), RTERROR
// (the command failed) or RTCAN (cancelled, or the replies ran out).
int runCommand(const std::string& name, CommandInput& in);

// The command name of a typed or passed text: upper case, without the "_"
// and "." prefixes.
std::string commandName(const std::wstring& text);

} // namespace host
