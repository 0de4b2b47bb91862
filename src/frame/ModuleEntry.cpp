#include "frame/ModuleEntry.h"

#include "check/SchematicCheck.h"
#include "components/NorvexGloFunc.h"
#include "components/NorvexScopes.h"
#include "components/TalvoDbObject.h"
#include "frame/ModuleDialogs.h"
#include "panel/PanelInsert.h"
#include "schematic/SchematicEntries.h"
#include "tools/BusBarDialog.h"
#include "tools/FunctionBox.h"
#include "tools/SwitchTableDialog.h"
#include "tools/TerminalDialog.h"
#include "statistics/EquipmentStatistics.h"
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/dbmain.h"
#include "ui/afxext.h"

#include <dlfcn.h>

void* g_hInstance = nullptr;
void* g_hAcadMainWnd = nullptr;

namespace {

AFX_EXTENSION_MODULE g_extensionModule;

constexpr const ACHAR* kGroupName = L"NorvexCtrlSchDiagram10";

void sample() {}

const KxCmdTable kCommands[] = {{L"sample", sample, 2}};

// The attach hook: records the module's instance handle.
__attribute__((constructor)) void attach()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&attach), &info))
        g_hInstance = info.dli_fbase;
}

// Rows 1 to 10 run with OSMODE kept.
template <HandlerFn F>
int guarded()
{
    const CAcadSysVarScope osmode{L"OSMODE"};
    return F();
}

void initApp(void* appId)
{
    if (AfxInitExtensionModule(g_extensionModule, g_hInstance))
        new CDynLinkLibrary(g_extensionModule, false); // owned by the toolkit's chain
    acrxUnlockApplication(appId);
    if (auto* linker = dynamic_cast<AcRxDynamicLinker*>(acrxSysRegistry()->at(L"DynamicLinker")))
        linker->registerAppMDIAware(appId);
    KxDefineCommand(kGroupName, kCommands, 1, 0);
    g_hAcadMainWnd = adsw_acadMainWnd();
    // The settings file the module reads, named once as it loads; a missing,
    // unreadable or damaged one with what is wrong.
    acutPrintf(L"\n%ls", utf8ToWide(DescribeSettingsFile()).c_str());
}

void unloadApp()
{
    if (auto* stack = dynamic_cast<AcEdCommandStack*>(acrxSysRegistry()->at(L"ACAD_REGISTERED_COMMANDS")))
        stack->removeGroup(kGroupName);
    DeletePanelDialog();
    CloseDzjdDialog();
    ClosePalette();
    AfxTermExtensionModule(g_extensionModule, false);
}

} // namespace

const LispFuncTableRow LispFuncTable[kLispFuncCount + 1] = {
    {L"", nullptr, 0},
    {L"ylthz", guarded<ylthz>, 0},
    {L"yltbj", guarded<yltbj>, 0},
    {L"mxdlg", guarded<mxdlg>, 0},
    {L"zhkgbdlg", guarded<zhkgbdlg>, 0},
    {L"showdzjddlg", guarded<showdzjddlg>, 0},
    {L"hidedzjddlg", guarded<hidedzjddlg>, 0},
    {L"getdzjddlg", guarded<getdzjddlg>, 0},
    {L"gnkhz", guarded<gnkhz>, 0},
    {L"inspmtsb", guarded<inspmtsb>, 0},
    {L"esbbtj", guarded<esbbtj>, 0},
    {L"showlinetype", showlinetype, 0},
    {L"esbbtjgt", guarded<esbbtjgt>, 0},
    {L"ctrlschk", ctrlschk, 0},
};

int DefineLispFunctions()
{
    for (int code = 1; code <= kLispFuncCount; ++code) {
        if (acedDefun(LispFuncTable[code].name, code) != RTNORM)
            return RTERROR;
        if (LispFuncTable[code].regFlag != 0)
            acedRegFunc(LispFuncTable[code].handler, code);
    }
    return RTNORM;
}

int UndefineLispFunctions()
{
    for (int code = 1; code <= kLispFuncCount; ++code)
        acedUndef(LispFuncTable[code].name, code);
    return RTNORM;
}

int DispatchLispCall()
{
    acedRetVoid();
    const int code = acedGetFunCode();
    if (code < 1 || code > kLispFuncCount)
        return RTERROR;
    return LispFuncTable[code].handler() == RTNORM ? 1 : 3;
}

int showlinetype()
{
    acedGetArgs();
    AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    if (!db)
        return RTNORM;
    AcDbSymbolTable* linetypes = db->table("LTYPE");
    std::string current = db->headerString("$CELTYPE");
    if (current.empty())
        current = "ByLayer";
    const AcDbObjectId currentId = linetypes ? linetypes->getAt(current) : AcDbObjectId();
    ACHAR* name = nullptr;
    AcDbObjectId chosen;
    if (acedLinetypeDialog(currentId, true, name, chosen) && chosen.isValid()) {
        // The current linetype of the drawing: what CELTYPE reads.
        resbuf rb{};
        rb.restype = RTSTR;
        rb.resval.rstring = name;
        acedSetVar(L"CELTYPE", &rb);
    }
    std::free(name);
    return RTNORM;
}

extern "C" AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId)
{
    switch (msg) {
    case AcRx::kInitAppMsg:
        initApp(appId);
        break;
    case AcRx::kUnloadAppMsg:
        unloadApp();
        break;
    case AcRx::kLoadDwgMsg:
        DefineLispFunctions();
        break;
    case AcRx::kUnloadDwgMsg:
        UndefineLispFunctions();
        break;
    case AcRx::kInvkSubrMsg:
        DispatchLispCall();
        break;
    default:
        break;
    }
    return AcRx::kRetOK;
}

extern "C" long acrxGetApiVersion()
{
    return kAcadApiVersion;
}
