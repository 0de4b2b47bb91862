// Object selection: the selection sets that acedSSGet and kin hand out by
// name, and the drawing the selection files look at. Wildcards, filters and
// the geometric tests are in selection_*.cpp.
#include "host/selection.h"

#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/hoststring.h"
#include "host/selection_internal.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace host::sel {

AcDbDatabase* currentDb()
{
    if (AcDbDatabase* db = acdbCurDwg())
        return db;
    return acdbHostApplicationServices()->workingDatabase();
}

const AcDbBlockTableRecord* currentModelSpace()
{
    AcDbDatabase* db = currentDb();
    return db ? AcDbInternals::modelSpace(*db) : nullptr;
}

const AcDbEntity* liveEntity(const AcDbObjectId& id)
{
    if (!id.isValid() || id.isErased())
        return nullptr;
    return dynamic_cast<const AcDbEntity*>(AcDbInternals::stub(id)->object.get());
}

std::vector<std::string> hiddenLayers(const AcDbDatabase* db)
{
    std::vector<std::string> out;
    const AcDbSymbolTable* t = db ? db->table("LAYER") : nullptr;
    if (!t)
        return out;
    for (const AcDbObjectId& id : t->recordIds())
        if (id.isValid())
            if (auto* l = dynamic_cast<const AcDbLayerTableRecord*>(AcDbInternals::stub(id)->object.get()))
                if (l->isOff() || l->isFrozen())
                    out.push_back(l->name());
    return out;
}

bool onHiddenLayer(const AcDbEntity& e, const std::vector<std::string>& hidden)
{
    for (const std::string& n : hidden)
        if (sameNameIgnoringCase(e.layerName(), n))
            return true;
    return false;
}

const AcDbBlockTableRecord* blockOf(const AcDbBlockReference& ref)
{
    const AcDbObjectId id = ref.blockTableRecord();
    if (!id.isValid())
        return nullptr;
    return dynamic_cast<const AcDbBlockTableRecord*>(AcDbInternals::stub(id)->object.get());
}

long long copiesToVisit(const AcDbBlockReference& ref)
{
    return std::min(ref.copyCount(), kMaxCopies);
}

} // namespace host::sel

using namespace host::sel;

namespace {

constexpr std::int64_t kSetMagic = 0x5353'4554'0000'0001; // "SSET"
std::unordered_map<std::int64_t, AcDbObjectIdArray> g_sets;
// The drawing each set was made in: a set dies with its drawing.
std::unordered_map<std::int64_t, std::int64_t> g_setDrawing;
std::int64_t g_nextSet = 1;

// What acedSSGet selected last ("P"), and the serial of its database (a
// database closed since cannot be mistaken for a new one at its address).
AcDbObjectIdArray g_previous;
std::int64_t g_previousDb = 0;

std::int64_t currentDbSerial()
{
    const AcDbDatabase* db = currentDb();
    return db ? db->serial() : -1;
}

void setErrno(int v)
{
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = static_cast<short>(v);
    acedSetVar(L"ERRNO", &rb);
}

bool isNullName(const ads_name n)
{
    return !n || (n[0] == 0 && n[1] == 0);
}

bool entityId(const ads_name n, AcDbObjectId& id)
{
    return !isNullName(n) && acdbGetObjectId(id, n) == Acad::eOk
        && dynamic_cast<const AcDbEntity*>(AcDbInternals::stub(id)->object.get()) != nullptr;
}

void copyName(ads_name to, const ads_name from)
{
    to[0] = from[0];
    to[1] = from[1];
}

// Appends the ids not seen yet (added counts them); returns how many were
// seen before.
int addUnique(AcDbObjectIdArray& to, std::unordered_set<AcDbStub*>& seen, const AcDbObjectIdArray& ids,
              int& added)
{
    int dup = 0;
    added = 0;
    for (const AcDbObjectId& id : ids) {
        if (seen.insert(AcDbInternals::stub(id)).second) {
            to.push_back(id);
            ++added;
        } else {
            ++dup;
        }
    }
    return dup;
}

AcDbObjectIdArray allMatching(const resbuf* filter)
{
    AcDbObjectIdArray out;
    const AcDbBlockTableRecord* ms = currentModelSpace();
    if (!ms)
        return out;
    for (const AcDbObjectId& id : ms->entityIds())
        if (const AcDbEntity* e = liveEntity(id))
            if (host::matchesFilter(*e, filter))
                out.push_back(id);
    return out;
}

AcDbObjectIdArray lastMatching(const resbuf* filter)
{
    AcDbObjectIdArray out;
    const AcDbBlockTableRecord* ms = currentModelSpace();
    if (!ms)
        return out;
    const auto& ids = ms->entityIds();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it)
        if (const AcDbEntity* e = liveEntity(*it)) {
            if (host::matchesFilter(*e, filter))
                out.push_back(*it);
            break;
        }
    return out;
}

AcDbObjectIdArray pickMatching(const AcGePoint3d& p, const resbuf* filter)
{
    AcDbObjectIdArray out;
    const AcDbObjectId id = host::pickEntity(p);
    if (const AcDbEntity* e = liveEntity(id))
        if (host::matchesFilter(*e, filter))
            out.push_back(id);
    return out;
}

AcDbExtents windowOf(const double* a, const double* b)
{
    AcDbExtents w;
    w.addPoint(AcGePoint3d(a[0], a[1], 0));
    w.addPoint(AcGePoint3d(b[0], b[1], 0));
    return w;
}

void reportFound(int found, int dup, std::size_t total)
{
    std::string s = "找到 " + std::to_string(found + dup) + " 个";
    if (dup > 0)
        s += " (" + std::to_string(dup) + " 个重复)";
    if (total != static_cast<std::size_t>(found))
        s += "，总计 " + std::to_string(total) + " 个";
    host::print(s + "\n");
}

// The prompt loop of a selection without points: picks, windows, "Last",
// "ALL", until Enter. RTCAN on Esc.
int interactiveSelection(const resbuf* filter, AcDbObjectIdArray& result)
{
    std::unordered_set<AcDbStub*> seen;
    while (true) {
        acedInitGet(0, L"Window Crossing Last ALL");
        ads_point pt;
        const int rc = acedGetPoint(nullptr, L"\n选择对象: ", pt);
        if (rc == RTCAN)
            return RTCAN;
        if (rc == RTNONE)
            return RTNORM;
        AcDbObjectIdArray got;
        if (rc == RTNORM) {
            got = pickMatching(AcGePoint3d(pt[0], pt[1], 0), filter);
            if (got.empty()) {
                host::print("未找到对象。\n");
                continue;
            }
        } else if (rc == RTKWORD) {
            ACHAR kw[64] = {};
            acedGetInput(kw, std::size(kw));
            const std::wstring_view k(kw);
            if (k == L"Window" || k == L"Crossing") {
                ads_point a, b;
                int r = acedGetPoint(nullptr, L"\n指定第一个角点: ", a);
                if (r == RTNORM)
                    r = acedGetCorner(a, L"\n指定对角点: ", b);
                if (r == RTCAN)
                    return RTCAN;
                if (r != RTNORM)
                    continue;
                got = host::selectInWindow(windowOf(a, b), k == L"Crossing", filter);
            } else if (k == L"Last") {
                got = lastMatching(filter);
            } else {
                got = allMatching(filter);
            }
        } else {
            continue;
        }
        int added = 0;
        const int dup = addUnique(result, seen, got, added);
        reportFound(added, dup, result.size());
    }
}

} // namespace

namespace host {

void newSelectionSet(const AcDbObjectIdArray& ids, ads_name ss)
{
    AcDbObjectIdArray unique;
    unique.reserve(ids.size());
    std::unordered_set<AcDbStub*> seen;
    int added = 0;
    addUnique(unique, seen, ids, added);
    const std::int64_t serial = g_nextSet++;
    g_sets[serial] = std::move(unique);
    const AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    g_setDrawing[serial] = db ? db->serial() : -1;
    ss[0] = serial;
    ss[1] = kSetMagic;
}

AcDbObjectIdArray* selectionSetIds(const ads_name ss)
{
    if (!ss || ss[1] != kSetMagic)
        return nullptr;
    auto it = g_sets.find(ss[0]);
    if (it == g_sets.end())
        return nullptr;
    auto drawing = g_setDrawing.find(ss[0]);
    if (drawing != g_setDrawing.end() && drawing->second >= 0 && !AcDbDatabase::fromSerial(drawing->second)) {
        g_sets.erase(it);
        g_setDrawing.erase(drawing);
        return nullptr;
    }
    return &it->second;
}

} // namespace host

// ---------------------------------------------------------------- ads

int acedSSGet(const ACHAR* mode, const void* pt1, const void* pt2, const resbuf* filter, ads_name ss)
{
    if (!ss)
        return RTERROR;
    ss[0] = ss[1] = 0;
    if (!host::isSupportedFilter(filter))
        return RTERROR;
    std::wstring m;
    if (mode)
        for (const ACHAR* c = mode; *c; ++c)
            if (*c != L'_')
                m.push_back(upperAscii(*c));
    const auto* p1 = static_cast<const double*>(pt1);
    const auto* p2 = static_cast<const double*>(pt2);
    AcDbObjectIdArray ids;
    if (m.empty()) {
        if (p1) {
            ids = pickMatching(AcGePoint3d(p1[0], p1[1], 0), filter);
            if (ids.empty()) {
                setErrno(7);
                return RTERROR;
            }
        } else {
            const int rc = interactiveSelection(filter, ids);
            if (rc != RTNORM)
                return rc;
        }
    } else if (m == L"W" || m == L"C") {
        if (!p1 || !p2)
            return RTERROR;
        ids = host::selectInWindow(windowOf(p1, p2), m == L"C", filter);
    } else if (m == L"X") {
        ids = allMatching(filter);
    } else if (m == L"L") {
        ids = lastMatching(filter);
    } else if (m == L"P") {
        if (g_previousDb == currentDbSerial())
            for (const AcDbObjectId& id : g_previous)
                if (const AcDbEntity* e = liveEntity(id))
                    if (host::matchesFilter(*e, filter))
                        ids.push_back(id);
    } else {
        return RTERROR;
    }
    if (ids.empty())
        return RTERROR;
    g_previous = ids;
    g_previousDb = currentDbSerial();
    host::newSelectionSet(ids, ss);
    return RTNORM;
}

int acedSSAdd(const ads_name ename, const ads_name sname, ads_name result)
{
    if (!result)
        return RTERROR;
    AcDbObjectId id;
    const bool haveEnt = !isNullName(ename);
    if (haveEnt && !entityId(ename, id))
        return RTERROR;
    if (isNullName(sname)) {
        AcDbObjectIdArray ids;
        if (haveEnt)
            ids.push_back(id);
        host::newSelectionSet(ids, result);
        return RTNORM;
    }
    AcDbObjectIdArray* set = host::selectionSetIds(sname);
    if (!set)
        return RTERROR;
    if (haveEnt && !set->contains(id))
        set->push_back(id);
    copyName(result, sname);
    return RTNORM;
}

int acedSSDel(const ads_name ename, const ads_name ss)
{
    AcDbObjectIdArray* set = host::selectionSetIds(ss);
    AcDbObjectId id;
    if (!set || !entityId(ename, id))
        return RTERROR;
    int index = 0;
    if (!set->find(id, index))
        return RTERROR;
    set->removeAt(index);
    return RTNORM;
}

int acedSSName(const ads_name ss, ads_int32 i, ads_name entres)
{
    if (!entres)
        return RTERROR;
    entres[0] = entres[1] = 0;
    const AcDbObjectIdArray* set = host::selectionSetIds(ss);
    if (!set || i < 0 || static_cast<std::size_t>(i) >= set->size())
        return RTERROR;
    return acdbGetAdsName(entres, (*set)[static_cast<std::size_t>(i)]) == Acad::eOk ? RTNORM : RTERROR;
}

int acedSSLength(const ads_name ss, ads_int32* len)
{
    const AcDbObjectIdArray* set = host::selectionSetIds(ss);
    if (!set || !len)
        return RTERROR;
    *len = static_cast<ads_int32>(set->size());
    return RTNORM;
}

int acedSSFree(const ads_name sname)
{
    if (!host::selectionSetIds(sname))
        return RTERROR;
    g_sets.erase(sname[0]);
    g_setDrawing.erase(sname[0]);
    return RTNORM;
}

int acedSSMemb(const ads_name ename, const ads_name ss)
{
    const AcDbObjectIdArray* set = host::selectionSetIds(ss);
    AcDbObjectId id;
    if (!set || !entityId(ename, id))
        return RTERROR;
    return set->contains(id) ? RTNORM : RTERROR;
}

int acedXformSS(const ads_name ssname, const ads_matrix genmat)
{
    const AcDbObjectIdArray* set = host::selectionSetIds(ssname);
    if (!set || !genmat)
        return RTERROR;
    AcGeMatrix3d m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m(r, c) = genmat[r][c];
    // Every entity must take the matrix before any is changed.
    for (const AcDbObjectId& id : *set) {
        const AcDbEntity* e = liveEntity(id);
        if (!e)
            continue;
        std::unique_ptr<AcDbObject> copy = e->cloneObject();
        if (static_cast<AcDbEntity*>(copy.get())->transformBy(m) != Acad::eOk)
            return RTERROR;
    }
    // Should one fail after all, what was done is put back.
    std::vector<std::pair<AcDbObjectId, std::unique_ptr<AcDbObject>>> done;
    for (const AcDbObjectId& id : *set) {
        if (!liveEntity(id))
            continue;
        AcDbEntity* e = nullptr;
        if (acdbOpenAcDbEntity(e, id, AcDb::kForWrite) != Acad::eOk)
            continue;
        std::unique_ptr<AcDbObject> before = e->cloneObject();
        const bool ok = e->transformBy(m) == Acad::eOk;
        if (!ok)
            e->swapData(*before);
        e->close();
        if (!ok) {
            for (auto& [doneId, original] : done) {
                AcDbEntity* d = nullptr;
                if (acdbOpenAcDbEntity(d, doneId, AcDb::kForWrite) == Acad::eOk) {
                    d->swapData(*original);
                    d->close();
                }
            }
            return RTERROR;
        }
        done.emplace_back(id, std::move(before));
    }
    return RTNORM;
}
