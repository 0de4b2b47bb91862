// Applications of the host: the messages a loaded application receives,
// the system registry with the dynamic linker and the command stack, and
// loading applications from shared libraries.
#pragma once

#include "host/adsdefs.h"

#include <string>
#include <vector>

namespace AcRx {
enum AppMsgCode {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
};
enum AppRetCode { kRetOK = 0, kRetError = 3 };
}

// The version of the host interfaces: major 18, minor 0.
constexpr long kAcadApiVersion = 0x120000;

// An application's entry point, exported by name "acrxEntryPoint", and its
// version handshake "acrxGetApiVersion".
// An application is built with its symbols hidden; ACRX_APP_EXPORT marks
// the two it exports.
#define ACRX_APP_EXPORT extern "C" __attribute__((visibility("default")))
using AcRxEntryPointFn = AcRx::AppRetCode (*)(AcRx::AppMsgCode msg, void* appId);
using AcRxApiVersionFn = long (*)();

class AcRxObject {
public:
    virtual ~AcRxObject() = default;
};

// Named services of the host ("DynamicLinker", "ACAD_REGISTERED_COMMANDS").
class AcRxDictionary {
public:
    AcRxObject* at(const ACHAR* key) const;
};
AcRxDictionary* acrxSysRegistry();

class AcRxDynamicLinker : public AcRxObject {
public:
    bool registerAppMDIAware(void* appId);
    bool isAppMDIAware(void* appId) const;
};
bool acrxUnlockApplication(void* appId);
bool acrxApplicationIsLocked(void* appId);

using AcRxFunctionPtr = void (*)();
namespace ACRX_CMD {
constexpr int kModal = 0;
constexpr int kTransparent = 1;
constexpr int kUsePickSet = 2;
}

// Commands of applications, in named groups.
class AcEdCommandStack : public AcRxObject {
public:
    bool addCommand(const ACHAR* group, const ACHAR* globalName, const ACHAR* localName, int flags,
                    AcRxFunctionPtr fn);
    bool removeGroup(const ACHAR* group);
    // The command of that global or local name (any case), or null.
    AcRxFunctionPtr lookupCmd(const ACHAR* name) const;
    bool hasGroup(const ACHAR* group) const;
    // "group command" lines, sorted, for listings.
    std::vector<std::string> listing() const;

private:
    struct Command {
        std::wstring group, global, local;
        int flags;
        AcRxFunctionPtr fn;
    };
    std::vector<Command> m_commands;
};
AcEdCommandStack* acedRegCmds();

// Loading and unloading applications (shared libraries). Loading checks the
// version, sends kInitAppMsg and then kLoadDwgMsg for every open document;
// unloading sends kUnloadDwgMsg for every document, then kUnloadAppMsg.
// On failure error says why.
bool acrxLoadApp(const std::string& path, std::string& error);
bool acrxUnloadApp(const std::string& nameOrPath, std::string& error);
std::vector<std::string> acrxLoadedApps();
// At exit: every application is unloaded, locked or not.
void acrxUnloadAll();
// Sends one message to every loaded application (used by the documents).
void acrxSendToApps(AcRx::AppMsgCode msg);
// The application that defined a LISP function gets the invocation.
AcRx::AppRetCode acrxInvoke(void* appId);
void* acrxCurrentApp();
