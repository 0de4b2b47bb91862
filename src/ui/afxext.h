// Extension-module registration: AFX_EXTENSION_MODULE, the chain of
// CDynLinkLibrary objects, AfxInitExtensionModule and
// AfxTermExtensionModule.
//
// A plug-in registers itself once at load (init, then one CDynLinkLibrary
// made with new, which the chain owns) and unregisters at unload (term
// deletes the chain's libraries of that module). The chain is what
// resource lookups search; here it is state only.
#pragma once

#include "ui/wintypes.h"

struct AFX_EXTENSION_MODULE {
    BOOL bInitialized = FALSE;
    HINSTANCE hModule = nullptr;
    HINSTANCE hResource = nullptr;
};

// TRUE when the module is (now, or already) initialised; FALSE for a null
// instance.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HINSTANCE hModule);
// Deletes the chain's libraries of this module (all libraries when bAll)
// and marks the module uninitialised.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

class CDynLinkLibrary {
public:
    // Joins the chain, which owns the object from then on. bSystem marks a
    // library of the framework itself.
    CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource);
    virtual ~CDynLinkLibrary();
    CDynLinkLibrary(const CDynLinkLibrary&) = delete;
    CDynLinkLibrary& operator=(const CDynLinkLibrary&) = delete;

    HINSTANCE m_hModule;
    HINSTANCE m_hResource;
    BOOL m_bSystem;

    // The libraries in the chain, newest first.
    static int chainLength();
    static CDynLinkLibrary* chainAt(int index);
};
