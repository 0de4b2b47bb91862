#include "ui/afxext.h"

#include <algorithm>
#include <vector>

namespace {

// Newest first. Never destroyed: libraries may be terminated late.
std::vector<CDynLinkLibrary*>& chain()
{
    static auto* c = new std::vector<CDynLinkLibrary*>;
    return *c;
}

} // namespace

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HINSTANCE hModule)
{
    if (state.bInitialized)
        return TRUE;
    if (!hModule)
        return FALSE;
    state.hModule = hModule;
    state.hResource = hModule;
    state.bInitialized = TRUE;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll)
{
    std::vector<CDynLinkLibrary*> doomed;
    for (CDynLinkLibrary* lib : chain())
        if (bAll || lib->m_hModule == state.hModule)
            doomed.push_back(lib);
    for (CDynLinkLibrary* lib : doomed)
        delete lib;
    state.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(bSystem)
{
    chain().insert(chain().begin(), this);
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource)
    : m_hModule(hModule), m_hResource(hResource), m_bSystem(FALSE)
{
    chain().insert(chain().begin(), this);
}

CDynLinkLibrary::~CDynLinkLibrary() { std::erase(chain(), this); }

int CDynLinkLibrary::chainLength() { return static_cast<int>(chain().size()); }

CDynLinkLibrary* CDynLinkLibrary::chainAt(int index)
{
    return index >= 0 && index < chainLength() ? chain()[static_cast<size_t>(index)] : nullptr;
}
