#include "host/acrx.h"

#include "host/acapdoc.h"
#include "host/hoststring.h"

#include <algorithm>
#include <dlfcn.h>
#include <memory>

namespace {

// A loaded application. Its address is the application id it is given.
struct App {
    std::string name; // file name without folder and extension
    std::string path;
    void* handle = nullptr;
    AcRxEntryPointFn entry = nullptr;
    bool mdiAware = false;
    bool locked = true;
};

std::vector<std::unique_ptr<App>>& apps()
{
    static std::vector<std::unique_ptr<App>> list;
    return list;
}

App* g_current = nullptr;

App* find(void* id)
{
    for (auto& a : apps())
        if (a.get() == id)
            return a.get();
    return nullptr;
}

std::wstring lower(const ACHAR* s)
{
    return lowerAscii(std::wstring(s ? s : L""));
}

AcRx::AppRetCode send(App& app, AcRx::AppMsgCode msg)
{
    App* saved = g_current;
    g_current = &app;
    const AcRx::AppRetCode rc = app.entry(msg, &app);
    g_current = saved;
    return rc;
}

std::string baseName(const std::string& path)
{
    std::string n = path.substr(path.find_last_of("/\\") + 1);
    const std::size_t dot = n.find('.');
    if (dot != std::string::npos)
        n = n.substr(0, dot);
    if (n.rfind("lib", 0) == 0)
        n = n.substr(3);
    return n;
}

} // namespace

AcRxObject* AcRxDictionary::at(const ACHAR* key) const
{
    static AcRxDynamicLinker linker;
    const std::wstring k = key ? key : L"";
    if (k == L"DynamicLinker")
        return &linker;
    if (k == L"ACAD_REGISTERED_COMMANDS")
        return acedRegCmds();
    return nullptr;
}

AcRxDictionary* acrxSysRegistry()
{
    static AcRxDictionary registry;
    return &registry;
}

bool AcRxDynamicLinker::registerAppMDIAware(void* appId)
{
    App* a = find(appId);
    if (!a)
        return false;
    a->mdiAware = true;
    return true;
}

bool AcRxDynamicLinker::isAppMDIAware(void* appId) const
{
    App* a = find(appId);
    return a && a->mdiAware;
}

bool acrxUnlockApplication(void* appId)
{
    App* a = find(appId);
    if (!a)
        return false;
    a->locked = false;
    return true;
}

bool acrxApplicationIsLocked(void* appId)
{
    App* a = find(appId);
    return a && a->locked;
}

bool AcEdCommandStack::addCommand(const ACHAR* group, const ACHAR* globalName, const ACHAR* localName, int flags,
                                  AcRxFunctionPtr fn)
{
    if (!group || !globalName || !*globalName)
        return false;
    if (lookupCmd(globalName))
        return false;
    m_commands.push_back(Command{group, globalName, localName ? localName : globalName, flags, fn});
    return true;
}

bool AcEdCommandStack::removeGroup(const ACHAR* group)
{
    const std::wstring g = lower(group);
    const std::size_t before = m_commands.size();
    m_commands.erase(std::remove_if(m_commands.begin(), m_commands.end(),
                                    [&](const Command& c) { return lower(c.group.c_str()) == g; }),
                     m_commands.end());
    return m_commands.size() != before;
}

AcRxFunctionPtr AcEdCommandStack::lookupCmd(const ACHAR* name) const
{
    const std::wstring n = lower(name);
    for (const Command& c : m_commands)
        if (lower(c.global.c_str()) == n || lower(c.local.c_str()) == n)
            return c.fn ? c.fn : [] {};
    return nullptr;
}

bool AcEdCommandStack::hasGroup(const ACHAR* group) const
{
    const std::wstring g = lower(group);
    return std::any_of(m_commands.begin(), m_commands.end(), [&](const Command& c) { return lower(c.group.c_str()) == g; });
}

std::vector<std::string> AcEdCommandStack::listing() const
{
    std::vector<std::string> out;
    for (const Command& c : m_commands)
        out.push_back(wideToUtf8(c.group) + " " + wideToUtf8(c.global));
    std::sort(out.begin(), out.end());
    return out;
}

AcEdCommandStack* acedRegCmds()
{
    static AcEdCommandStack stack;
    return &stack;
}

bool acrxLoadApp(const std::string& path, std::string& error)
{
    const std::string name = baseName(path);
    for (auto& a : apps())
        if (a->name == name) {
            error = name + " is already loaded";
            return false;
        }
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* e = ::dlerror();
        error = e ? e : "cannot load " + path;
        return false;
    }
    auto entry = reinterpret_cast<AcRxEntryPointFn>(::dlsym(h, "acrxEntryPoint"));
    auto version = reinterpret_cast<AcRxApiVersionFn>(::dlsym(h, "acrxGetApiVersion"));
    if (!entry || !version) {
        ::dlclose(h);
        error = path + " is not an application of this host (acrxEntryPoint or acrxGetApiVersion missing)";
        return false;
    }
    if ((version() >> 16) != (kAcadApiVersion >> 16)) {
        ::dlclose(h);
        error = path + " was built for another version of the host";
        return false;
    }
    auto app = std::make_unique<App>();
    app->name = name;
    app->path = path;
    app->handle = h;
    app->entry = entry;
    App& a = *app;
    apps().push_back(std::move(app));
    send(a, AcRx::kInitAppMsg);
    AcApDocManager* dm = acDocManager;
    AcApDocument* current = dm->curDocument();
    for (int i = 0; i < dm->documentCount(); ++i) {
        dm->setCurDocument(dm->document(i));
        send(a, AcRx::kLoadDwgMsg);
    }
    dm->setCurDocument(current);
    return true;
}

static bool unloadApp(const std::string& nameOrPath, std::string& error, bool force);

bool acrxUnloadApp(const std::string& nameOrPath, std::string& error)
{
    return unloadApp(nameOrPath, error, false);
}

void acrxUnloadAll()
{
    std::string error;
    while (!apps().empty())
        unloadApp(apps().back()->name, error, true);
}

static bool unloadApp(const std::string& nameOrPath, std::string& error, bool force)
{
    const std::string name = baseName(nameOrPath);
    auto& list = apps();
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& a) { return a->name == name; });
    if (it == list.end()) {
        error = name + " is not loaded";
        return false;
    }
    App& a = **it;
    if (a.locked && !force) {
        error = name + " cannot be unloaded";
        return false;
    }
    AcApDocManager* dm = acDocManager;
    AcApDocument* current = dm->curDocument();
    for (int i = 0; i < dm->documentCount(); ++i) {
        dm->setCurDocument(dm->document(i));
        send(a, AcRx::kUnloadDwgMsg);
        // Functions it did not undefine itself go with it.
        auto& fns = dm->document(i)->lispFunctions();
        for (auto f = fns.begin(); f != fns.end();)
            f = f->second.app == &a ? fns.erase(f) : std::next(f);
    }
    dm->setCurDocument(current);
    send(a, AcRx::kUnloadAppMsg);
    ::dlclose(a.handle);
    list.erase(it);
    return true;
}

std::vector<std::string> acrxLoadedApps()
{
    std::vector<std::string> out;
    for (auto& a : apps())
        out.push_back(a->name);
    return out;
}

void acrxSendToApps(AcRx::AppMsgCode msg)
{
    for (auto& a : apps())
        send(*a, msg);
}

AcRx::AppRetCode acrxInvoke(void* appId)
{
    App* a = find(appId);
    if (!a)
        return AcRx::kRetError;
    return send(*a, AcRx::kInvkSubrMsg);
}

void* acrxCurrentApp()
{
    return g_current;
}
