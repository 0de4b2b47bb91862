#include "components/NorvexScopes.h"

#include "host/aced.h"

#include <cassert>
#include <cstdlib>
#include <utility>

int SetAcadSysVar(const ACHAR* name, short value)
{
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = value;
    return acedSetVar(name, &rb);
}

namespace {

// A variable's value as a scope keeps it; false when it cannot be read.
bool readVar(const std::wstring& name, resbuf& value, std::wstring& text)
{
    resbuf rb{};
    if (acedGetVar(name.c_str(), &rb) != RTNORM)
        return false;
    rb.rbnext = nullptr;
    if (rb.restype == RTSTR) {
        text = rb.resval.rstring ? rb.resval.rstring : L"";
        std::free(rb.resval.rstring);
        rb.resval.rstring = nullptr;
    }
    value = rb;
    return true;
}

bool same(const resbuf& a, const std::wstring& aText, const resbuf& b, const std::wstring& bText)
{
    if (a.restype != b.restype)
        return false;
    switch (a.restype) {
    case RTSTR:
        return aText == bText;
    case RTSHORT:
        return a.resval.rint == b.resval.rint;
    case RTLONG:
        return a.resval.rlong == b.resval.rlong;
    case RTREAL:
        return a.resval.rreal == b.resval.rreal;
    case RTPOINT:
    case RT3DPOINT:
        return a.resval.rpoint[0] == b.resval.rpoint[0] && a.resval.rpoint[1] == b.resval.rpoint[1]
            && a.resval.rpoint[2] == b.resval.rpoint[2];
    default:
        return false;
    }
}

} // namespace

CAcadSysVarScope::CAcadSysVarScope()
    : CAcadSysVarScope({L"CMDECHO", L"PLINETYPE", L"BLIPMODE", L"OSMODE", L"CLAYER", L"CECOLOR", L"CELTYPE"})
{
}

CAcadSysVarScope::CAcadSysVarScope(std::initializer_list<const ACHAR*> names)
{
    m_kept.reserve(names.size());
    for (const ACHAR* name : names) {
        assert(name && *name);
        Kept k;
        k.name = name;
        if (readVar(k.name, k.value, k.text))
            m_kept.push_back(std::move(k));
    }
}

CAcadSysVarScope::CAcadSysVarScope(CAcadSysVarScope&& other) noexcept : m_kept(std::move(other.m_kept))
{
    other.m_kept.clear();
}

void CAcadSysVarScope::restore()
{
    const std::vector<Kept> kept = std::move(m_kept);
    m_kept.clear();
    for (const Kept& k : kept) {
        resbuf now{};
        std::wstring nowText;
        if (readVar(k.name, now, nowText) && same(now, nowText, k.value, k.text))
            continue;
        resbuf value = k.value;
        if (value.restype == RTSTR)
            value.resval.rstring = const_cast<ACHAR*>(k.text.c_str());
        acedSetVar(k.name.c_str(), &value);
    }
}

namespace {
// Module undo scopes open now: 0 or 1.
int g_openUndoScopes = 0;
} // namespace

CAcadUndoScope::CAcadUndoScope()
{
    assert(g_openUndoScopes == 0);
    ++g_openUndoScopes;
    acedCommand({L"_.Undo", L"_BEGIN"});
}

CAcadUndoScope::CAcadUndoScope(CAcadUndoScope&& other) noexcept : m_open(std::exchange(other.m_open, false)) {}

void CAcadUndoScope::end()
{
    if (!std::exchange(m_open, false))
        return;
    assert(g_openUndoScopes == 1);
    --g_openUndoScopes;
    acedCommand({L"_.Undo", L"_End"});
}
