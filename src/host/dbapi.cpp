// Extended data as result buffers, opening objects, and the C interface of
// the database (entity names, acdbEntGet, table search, unit conversion).
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/dxf/dxfio.h"
#include "host/dxf/tags.h"
#include "host/hoststring.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

resbuf* appendRb(resbuf*& head, resbuf*& tail, int type)
{
    resbuf* rb = acutNewRb(type);
    if (tail)
        tail->rbnext = rb;
    else
        head = rb;
    tail = rb;
    return rb;
}

void groupToRb(const AcDbXGroup& g, resbuf*& head, resbuf*& tail)
{
    appendRb(head, tail, 1001)->resval.rstring = acutNewString(utf8ToWide(g.app).c_str());
    for (const AcDbXData::Item it : g.items) {
        const short code = it.code();
        resbuf* rb = appendRb(head, tail, code);
        switch (AcDbXData::fixedValueBytes(code)) {
        case 24: {
            const AcGePoint3d p = it.point();
            rb->resval.rpoint[0] = p.x;
            rb->resval.rpoint[1] = p.y;
            rb->resval.rpoint[2] = p.z;
            break;
        }
        case 8: rb->resval.rreal = it.real(); break;
        case 4:
            if (code == 1070)
                rb->resval.rint = static_cast<short>(it.integer());
            else
                rb->resval.rlong = it.integer();
            break;
        default: {
            const std::string_view s = it.text();
            if (code == 1004) {
                rb->resval.rbinary.clen = static_cast<short>(s.size());
                rb->resval.rbinary.buf = static_cast<char*>(std::malloc(s.size() + 1));
                std::memcpy(rb->resval.rbinary.buf, s.data(), s.size());
            } else {
                rb->resval.rstring = acutNewString(utf8ToWide(s).c_str());
            }
            break;
        }
        }
    }
}

constexpr std::size_t kMaxXDataBytes = 16 * 1024;

// One item of extended data from its resbuf; depth counts the open "{".
Acad::ErrorStatus readXItem(const resbuf* rb, int& depth, AcDbXItem& item)
{
    const int code = rb->restype;
    item.code = static_cast<short>(code);
    switch (code) {
    case 1000: case 1003: case 1005: {
        std::string s = wideToUtf8(rb->resval.rstring ? rb->resval.rstring : L"");
        if (s.size() > 255)
            return Acad::eInvalidInput;
        if (code == 1005) {
            std::uint64_t h;
            if (!dxf::tryParseHandle(s, h))
                return Acad::eInvalidInput;
        }
        item.value = std::move(s);
        break;
    }
    case 1002: {
        std::string s = wideToUtf8(rb->resval.rstring ? rb->resval.rstring : L"");
        if (s == "{")
            ++depth;
        else if (s == "}" && depth > 0)
            --depth;
        else
            return Acad::eInvalidXdata;
        item.value = std::move(s);
        break;
    }
    case 1004:
        if (rb->resval.rbinary.clen < 0 || rb->resval.rbinary.clen > 127)
            return Acad::eInvalidInput;
        item.value = std::string(rb->resval.rbinary.buf ? rb->resval.rbinary.buf : "",
                                 static_cast<std::size_t>(rb->resval.rbinary.clen));
        break;
    case 1010: case 1011: case 1012: case 1013:
        item.value = AcGePoint3d(rb->resval.rpoint[0], rb->resval.rpoint[1], rb->resval.rpoint[2]);
        if (!acdbIsFinite(std::get<AcGePoint3d>(item.value)))
            return Acad::eInvalidInput;
        break;
    case 1040: case 1041: case 1042:
        if (!std::isfinite(rb->resval.rreal))
            return Acad::eInvalidInput;
        item.value = rb->resval.rreal;
        break;
    case 1070:
        item.value = static_cast<std::int32_t>(rb->resval.rint);
        break;
    case 1071:
        item.value = static_cast<std::int32_t>(rb->resval.rlong);
        break;
    default:
        return Acad::eInvalidXdata;
    }
    return Acad::eOk;
}

// The groups of a resbuf list starting with its 1001 application name;
// each application must be registered in db (when there is one).
Acad::ErrorStatus readXGroups(const resbuf* xdata, const AcDbDatabase* db, std::vector<AcDbXAppData>& groups)
{
    int depth = 0;
    for (const resbuf* rb = xdata; rb; rb = rb->rbnext) {
        if (rb->restype == 1001) {
            if (depth != 0)
                return Acad::eInvalidXdata;
            const std::string app = wideToUtf8(rb->resval.rstring ? rb->resval.rstring : L"");
            if (app.empty())
                return Acad::eInvalidInput;
            if (db && !db->isAppRegistered(app))
                return Acad::eRegappIdNotFound;
            groups.push_back(AcDbXAppData{app, {}});
            continue;
        }
        AcDbXItem item;
        const Acad::ErrorStatus es = readXItem(rb, depth, item);
        if (es != Acad::eOk)
            return es;
        groups.back().items.push_back(std::move(item));
    }
    return depth != 0 ? Acad::eInvalidXdata : Acad::eOk;
}

// The extended data with the groups set: an empty group removes its
// application's, another replaces it or comes last.
std::vector<AcDbXAppData> withXGroups(std::vector<AcDbXAppData> result, std::vector<AcDbXAppData>& groups)
{
    for (AcDbXAppData& g : groups) {
        auto it = std::find_if(result.begin(), result.end(),
                               [&](const AcDbXAppData& o) { return sameNameIgnoringCase(o.app, g.app); });
        if (g.items.empty()) {
            if (it != result.end())
                result.erase(it);
        } else if (it != result.end()) {
            it->items = std::move(g.items);
        } else {
            result.push_back(std::move(g));
        }
    }
    return result;
}

// The size extended data takes in a drawing.
std::size_t xdataBytes(const std::vector<AcDbXAppData>& xdata)
{
    std::size_t bytes = 0;
    for (const AcDbXAppData& g : xdata) {
        bytes += 2 + g.app.size();
        for (const AcDbXItem& it : g.items)
            bytes += 2 + (std::holds_alternative<std::string>(it.value) ? std::get<std::string>(it.value).size() + 1
                          : std::holds_alternative<AcGePoint3d>(it.value)  ? 24
                                                                           : 8);
    }
    return bytes;
}

} // namespace

resbuf* AcDbObject::xData(const ACHAR* app) const
{
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    const std::string wanted = app ? wideToUtf8(app) : std::string();
    for (const AcDbXGroup& g : m_xdata)
        if (!app || sameNameIgnoringCase(g.app, wanted))
            groupToRb(g, head, tail);
    return head;
}

Acad::ErrorStatus AcDbObject::setXData(const resbuf* xdata)
{
    if (!xdata || xdata->restype != 1001)
        return Acad::eInvalidInput;
    AcDbDatabase* db = database() ? database() : acdbHostApplicationServices()->workingDatabase();
    // Build the new groups first: nothing changes unless all is valid.
    std::vector<AcDbXAppData> groups;
    const Acad::ErrorStatus es = readXGroups(xdata, db, groups);
    if (es != Acad::eOk)
        return es;
    std::vector<AcDbXAppData> result = withXGroups(m_xdata.unpack(), groups);
    if (xdataBytes(result) > kMaxXDataBytes)
        return Acad::eXdataSizeExceeded;
    if (m_stub && m_stub->db && m_openMode != AcDb::kForWrite)
        AcDbInternals::journal(*m_stub->db).recordModified(m_stub);
    m_xdata.assign(result);
    return Acad::eOk;
}

// ---------------------------------------------------------------- opening

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased)
{
    obj = nullptr;
    if (id.isNull())
        return Acad::eNullObjectId;
    AcDbStub* s = AcDbInternals::stub(id);
    if (!s->inDatabase || !s->object)
        return Acad::eKeyNotFound;
    if (s->object->isErased() && !openErased)
        return Acad::eWasErased;
    if (mode == AcDb::kForWrite)
        AcDbInternals::journal(*s->db).recordModified(s);
    AcDbInternals::setOpenMode(*s->object, mode);
    obj = s->object.get();
    return Acad::eOk;
}

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode, bool openErased)
{
    ent = nullptr;
    AcDbObject* obj = nullptr;
    if (!id.isNull() && AcDbInternals::stub(id)->object && !dynamic_cast<AcDbEntity*>(AcDbInternals::stub(id)->object.get()))
        return Acad::eWrongObjectType;
    Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, mode, openErased);
    if (es != Acad::eOk)
        return es;
    ent = static_cast<AcDbEntity*>(obj);
    return Acad::eOk;
}

// ---------------------------------------------------------------- names

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name)
{
    id = AcDbObjectId();
    if (!name)
        return Acad::eInvalidInput;
    AcDbDatabase* db = AcDbDatabase::fromSerial(name[1]);
    if (!db)
        return Acad::eInvalidInput;
    AcDbStub* s = AcDbInternals::stubForHandle(*db, static_cast<std::uint64_t>(name[0]));
    if (!s || !s->inDatabase)
        return Acad::eInvalidInput;
    id = AcDbObjectId(s);
    return Acad::eOk;
}

Acad::ErrorStatus acdbGetAdsName(ads_name name, AcDbObjectId id)
{
    name[0] = name[1] = 0;
    if (id.isNull() || !AcDbInternals::stub(id)->db)
        return Acad::eNullObjectId;
    name[0] = static_cast<std::int64_t>(id.handle());
    name[1] = id.database()->serial();
    return Acad::eOk;
}

namespace {

AcDbEntity* entityOf(const ads_name name, AcDbObjectId* idOut = nullptr)
{
    AcDbObjectId id;
    if (acdbGetObjectId(id, name) != Acad::eOk)
        return nullptr;
    if (idOut)
        *idOut = id;
    return dynamic_cast<AcDbEntity*>(AcDbInternals::stub(id)->object.get());
}

AcDbDatabase* working()
{
    return acdbHostApplicationServices()->workingDatabase();
}

// The entities of the working drawing's model space; null without one.
const AcDbObjectIdArray* modelSpaceIds()
{
    AcDbDatabase* db = working();
    AcDbBlockTableRecord* ms = db ? AcDbInternals::modelSpace(*db) : nullptr;
    return ms ? &ms->entityIds() : nullptr;
}

} // namespace

int acdbEntLast(ads_name result)
{
    result[0] = result[1] = 0;
    const AcDbObjectIdArray* modelSpace = modelSpaceIds();
    if (!modelSpace)
        return RTERROR;
    const AcDbObjectIdArray& ids = *modelSpace;
    for (auto it = ids.rbegin(); it != ids.rend(); ++it)
        if (it->isValid() && !it->isErased())
            return acdbGetAdsName(result, *it) == Acad::eOk ? RTNORM : RTERROR;
    return RTERROR;
}

int acdbEntNext(const ads_name ent, ads_name result)
{
    result[0] = result[1] = 0;
    const AcDbObjectIdArray* modelSpace = modelSpaceIds();
    if (!modelSpace)
        return RTERROR;
    const AcDbObjectIdArray& ids = *modelSpace;
    std::size_t start = 0;
    if (ent && (ent[0] != 0 || ent[1] != 0)) {
        AcDbObjectId cur;
        if (acdbGetObjectId(cur, ent) != Acad::eOk)
            return RTERROR;
        int idx;
        if (!ids.find(cur, idx))
            return RTERROR;
        start = static_cast<std::size_t>(idx) + 1;
    }
    for (std::size_t i = start; i < ids.size(); ++i)
        if (ids[i].isValid() && !ids[i].isErased())
            return acdbGetAdsName(result, ids[i]) == Acad::eOk ? RTNORM : RTERROR;
    return RTERROR;
}

int acdbEntDel(const ads_name ent)
{
    AcDbEntity* e = entityOf(ent);
    if (!e)
        return RTERROR;
    e->erase(!e->isErased());
    return RTNORM;
}

namespace {

// Tags of an object as result buffers: points joined, handles kept as text.
resbuf* tagsToRb(const AcDbDxfTags& tags, std::size_t from, resbuf*& head, resbuf*& tail, bool withXData,
                 const resbuf* apps)
{
    bool inXData = false, keepGroup = false;
    for (std::size_t i = from; i < tags.size(); ++i) {
        const AcDbDxfTag& t = tags[i];
        const int code = t.code;
        if (code == 1001) {
            inXData = true;
            keepGroup = false;
            if (withXData)
                for (const resbuf* a = apps; a; a = a->rbnext)
                    if (a->resval.rstring && (std::wcscmp(a->resval.rstring, L"*") == 0
                                              || sameNameIgnoringCase(wideToUtf8(a->resval.rstring), t.value)))
                        keepGroup = true;
            if (!keepGroup)
                continue;
        }
        if (inXData && !keepGroup)
            continue;
        if (code == 102 || code == 5 || code == 105 || code == 330 || code == 360)
            continue;
        const RbKind kind = acutRbKind(code);
        if (kind == RbKind::None || kind == RbKind::Ename || kind == RbKind::Binary)
            continue;
        resbuf* rb = appendRb(head, tail, code);
        switch (kind) {
        case RbKind::Point:
            rb->resval.rpoint[0] = std::atof(t.value.c_str());
            if (i + 1 < tags.size() && tags[i + 1].code == code + 10)
                rb->resval.rpoint[1] = std::atof(tags[++i].value.c_str());
            if (i + 1 < tags.size() && tags[i + 1].code == code + 20)
                rb->resval.rpoint[2] = std::atof(tags[++i].value.c_str());
            break;
        case RbKind::Real:
            rb->resval.rreal = std::atof(t.value.c_str());
            break;
        case RbKind::Short:
            rb->resval.rint = static_cast<short>(std::atoi(t.value.c_str()));
            break;
        case RbKind::Long:
            rb->resval.rlong = static_cast<std::int32_t>(std::atol(t.value.c_str()));
            break;
        default:
            rb->resval.rstring = acutNewString(utf8ToWide(t.value).c_str());
            break;
        }
    }
    return head;
}

} // namespace

resbuf* acdbEntGetX(const ads_name ent, const resbuf* apps)
{
    AcDbObjectId id;
    AcDbEntity* e = entityOf(ent, &id);
    if (!e)
        return nullptr;
    AcDbDxfTags tags;
    dxf::objectTags(*e, tags);
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    resbuf* rb = appendRb(head, tail, -1);
    rb->resval.rlname[0] = ent[0];
    rb->resval.rlname[1] = ent[1];
    rb = appendRb(head, tail, 0);
    rb->resval.rstring = acutNewString(utf8ToWide(e->dxfName()).c_str());
    if (AcDbStub* owner = AcDbInternals::stub(id)->owner) {
        rb = appendRb(head, tail, 330);
        rb->resval.rlname[0] = static_cast<std::int64_t>(owner->handle);
        rb->resval.rlname[1] = ent[1];
    }
    rb = appendRb(head, tail, 5);
    rb->resval.rstring = acutNewString(utf8ToWide(dxf::formatHandle(id.handle())).c_str());
    // Tags after the type; followers (attributes) are not part of it.
    AcDbDxfTags own;
    for (std::size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].code == 0)
            break;
        own.push_back(tags[i]);
    }
    tagsToRb(own, 0, head, tail, apps != nullptr, apps);
    return head;
}

resbuf* acdbEntGet(const ads_name ent)
{
    return acdbEntGetX(ent, nullptr);
}

int acdbRegApp(const ACHAR* appname)
{
    AcDbDatabase* db = working();
    if (!db || !appname || !*appname)
        return RTERROR;
    const std::string name = wideToUtf8(appname);
    if (db->isAppRegistered(name))
        return RTERROR; // already registered, as the host reports it
    return db->registerApp(name) == Acad::eOk ? RTNORM : RTERROR;
}

resbuf* acdbTblSearch(const ACHAR* tableName, const ACHAR* symbol, int)
{
    AcDbDatabase* db = working();
    if (!db || !tableName || !symbol)
        return nullptr;
    const std::string tname = upperAscii(wideToUtf8(tableName));
    const std::string name = wideToUtf8(symbol);
    const bool block = tname == "BLOCK";
    AcDbSymbolTable* table = db->table(block ? "BLOCK_RECORD" : tname);
    if (!table)
        return nullptr;
    AcDbObjectId id = table->getAt(name);
    if (!id.isValid() || id.isErased())
        return nullptr;
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    if (block) {
        auto* rec = static_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(id)->object.get());
        appendRb(head, tail, 0)->resval.rstring = acutNewString(L"BLOCK");
        appendRb(head, tail, 2)->resval.rstring = acutNewString(utf8ToWide(rec->name()).c_str());
        appendRb(head, tail, 70)->resval.rint = static_cast<short>(rec->blockFlags());
        resbuf* p = appendRb(head, tail, 10);
        p->resval.rpoint[0] = rec->origin().x;
        p->resval.rpoint[1] = rec->origin().y;
        p->resval.rpoint[2] = rec->origin().z;
        for (const AcDbObjectId& eid : rec->entityIds())
            if (eid.isValid() && !eid.isErased()) {
                resbuf* e = appendRb(head, tail, -2);
                acdbGetAdsName(e->resval.rlname, eid);
                break;
            }
        return head;
    }
    AcDbDxfTags tags;
    dxf::objectTags(*AcDbInternals::stub(id)->object, tags);
    appendRb(head, tail, 0)->resval.rstring = acutNewString(utf8ToWide(tname).c_str());
    for (std::size_t i = 1; i < tags.size(); ++i)
        if (tags[i].code == 100)
            tags[i].code = 102; // dropped below with the other structure tags
    tagsToRb(tags, 1, head, tail, false, nullptr);
    return head;
}

// ---------------------------------------------------------------- units

namespace {

bool parseFraction(const std::string& s, double& out)
{
    // "a", "a/b", "w a/b" or "w-a/b"
    const char* p = s.c_str();
    char* end = nullptr;
    double whole = std::strtod(p, &end);
    if (end == p)
        return false;
    while (*end == ' ' || *end == '-') {
        ++end;
        if (*(end - 1) == '-' && end - 1 == p)
            return false;
    }
    if (*end == '\0') {
        out = whole;
        return true;
    }
    if (*end == '/') {
        char* e2 = nullptr;
        const double den = std::strtod(end + 1, &e2);
        if (e2 == end + 1 || *e2 != '\0' || den == 0.0)
            return false;
        out = whole / den;
        return true;
    }
    const char* q = end;
    char* e2 = nullptr;
    const double num = std::strtod(q, &e2);
    if (e2 == q || *e2 != '/')
        return false;
    char* e3 = nullptr;
    const double den = std::strtod(e2 + 1, &e3);
    if (e3 == e2 + 1 || *e3 != '\0' || den == 0.0)
        return false;
    out = whole + (whole < 0 ? -num / den : num / den);
    return true;
}

bool parseFeetInches(std::string s, double& out)
{
    const std::size_t ft = s.find('\'');
    double feet = 0.0, inches = 0.0;
    if (ft != std::string::npos) {
        char* end = nullptr;
        const std::string f = s.substr(0, ft);
        feet = std::strtod(f.c_str(), &end);
        if (f.empty() || *end != '\0')
            return false;
        s = s.substr(ft + 1);
        if (!s.empty() && s[0] == '-')
            s = s.substr(1);
    }
    if (!s.empty() && s.back() == '"')
        s.pop_back();
    if (!s.empty() && !parseFraction(s, inches))
        return false;
    out = feet * 12.0 + (feet < 0 ? -inches : inches);
    return true;
}

} // namespace

int acdbDisToF(const ACHAR* str, int unit, ads_real* result)
{
    if (!str || !result)
        return RTERROR;
    std::string s = wideToUtf8(str);
    while (!s.empty() && s.front() == ' ')
        s.erase(s.begin());
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    if (s.empty())
        return RTERROR;
    double v = 0.0;
    bool ok = false;
    auto asDecimal = [&] {
        char* end = nullptr;
        v = std::strtod(s.c_str(), &end);
        return end != s.c_str() && *end == '\0' && std::isfinite(v);
    };
    switch (unit) {
    case 1:
    case 2:
        ok = asDecimal();
        break;
    case 3:
    case 4:
        ok = parseFeetInches(s, v);
        break;
    case 5:
        ok = parseFraction(s, v);
        break;
    case -1:
        ok = asDecimal() || parseFeetInches(s, v) || parseFraction(s, v);
        break;
    default:
        return RTERROR;
    }
    if (!ok)
        return RTERROR;
    *result = v;
    return RTNORM;
}

int acdbRToS(ads_real value, int unit, int prec, ACHAR* str, std::size_t bufLen)
{
    if (!str || bufLen == 0 || !std::isfinite(value))
        return RTERROR;
    AcDbDatabase* db = working();
    if (unit == -1)
        unit = db && !db->headerString("$LUNITS").empty() ? std::atoi(db->headerString("$LUNITS").c_str()) : 2;
    if (prec == -1)
        prec = db && !db->headerString("$LUPREC").empty() ? std::atoi(db->headerString("$LUPREC").c_str()) : 4;
    if (unit < 1 || unit > 5 || prec < 0 || prec > 8)
        return RTERROR;
    const int dimzin = db && !db->headerString("$DIMZIN").empty() ? std::atoi(db->headerString("$DIMZIN").c_str()) : 0;
    // Formats whole, however long the number (a distance of 1e300 has 301
    // digits before the point).
    const auto format = [](const char* fmt, auto... args) {
        std::string s(static_cast<std::size_t>(std::snprintf(nullptr, 0, fmt, args...)), '\0');
        std::snprintf(s.data(), s.size() + 1, fmt, args...);
        return s;
    };
    auto trimZeros = [&](std::string s) {
        if ((dimzin & 8) && s.find('.') != std::string::npos) {
            while (!s.empty() && s.back() == '0')
                s.pop_back();
            if (!s.empty() && s.back() == '.')
                s.pop_back();
        }
        if ((dimzin & 4) && s.rfind("0.", 0) == 0)
            s = s.substr(1);
        return s;
    };
    std::string out;
    if (unit == 1) {
        out = format("%.*E", prec, value);
    } else if (unit == 2) {
        out = trimZeros(format("%.*f", prec, value));
        if (out == "-0" || out.find_first_not_of("-0.") == std::string::npos)
            if (out[0] == '-')
                out = out.substr(1);
    } else {
        const bool neg = value < 0;
        const double a = std::fabs(value);
        if (unit == 3) {
            const double feet = std::floor(a / 12.0);
            out = format("%s%.0f'-%.*f\"", neg ? "-" : "", feet, prec, a - feet * 12.0);
        } else {
            const int den = 1 << prec;
            // Whole fractions are counted exactly up to 2^53.
            if (a * den > 9007199254740992.0)
                return RTERROR;
            long long units = std::llround(a * den);
            const long long whole = units / den;
            long long num = units % den;
            int d = den;
            while (num != 0 && num % 2 == 0) {
                num /= 2;
                d /= 2;
            }
            std::string frac = num ? std::to_string(num) + "/" + std::to_string(d) : std::string();
            if (unit == 4) {
                const long long feet = whole / 12;
                const long long inches = whole % 12;
                out = (neg ? "-" : "") + std::to_string(feet) + "'-" + std::to_string(inches)
                    + (frac.empty() ? "" : " " + frac) + "\"";
            } else {
                out = (neg ? "-" : "") + (whole || frac.empty() ? std::to_string(whole) : std::string())
                    + (frac.empty() ? "" : (whole ? " " : "") + frac);
            }
        }
    }
    const std::wstring w = utf8ToWide(out);
    if (w.size() + 1 > bufLen)
        return RTERROR;
    std::wmemcpy(str, w.c_str(), w.size() + 1);
    return RTNORM;
}

const char* acadErrorStatusText(Acad::ErrorStatus es)
{
    switch (es) {
    case Acad::eOk: return "eOk";
    case Acad::eNotImplementedYet: return "eNotImplementedYet";
    case Acad::eNotApplicable: return "eNotApplicable";
    case Acad::eInvalidInput: return "eInvalidInput";
    case Acad::eNullObjectId: return "eNullObjectId";
    case Acad::eKeyNotFound: return "eKeyNotFound";
    case Acad::eDuplicateKey: return "eDuplicateKey";
    case Acad::eWasErased: return "eWasErased";
    case Acad::eNotOpenForWrite: return "eNotOpenForWrite";
    case Acad::eWrongObjectType: return "eWrongObjectType";
    case Acad::eInvalidIndex: return "eInvalidIndex";
    case Acad::eRegappIdNotFound: return "eRegappIdNotFound";
    case Acad::eCannotScaleNonUniformly: return "eCannotScaleNonUniformly";
    case Acad::eFileNotFound: return "eFileNotFound";
    case Acad::eFileAccessErr: return "eFileAccessErr";
    case Acad::eBadDxfFile: return "eBadDxfFile";
    case Acad::eNotThatKindOfFile: return "eNotThatKindOfFile";
    case Acad::eDwgNeedsRecovery: return "eDwgNeedsRecovery";
    case Acad::eNoDatabase: return "eNoDatabase";
    case Acad::eXdataSizeExceeded: return "eXdataSizeExceeded";
    case Acad::eAlreadyInDb: return "eAlreadyInDb";
    case Acad::eInvalidXdata: return "eInvalidXdata";
    case Acad::eInvalidExtents: return "eInvalidExtents";
    }
    return "eUnknown";
}
