// Prompts and input, system variables, printing, LISP function definition
// and results.
#include "host/aced.h"

#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/hostcall.h"
#include "host/hoststring.h"
#include "host/selection.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>

using host::matchKeyword;
using host::parseNumber;
using host::parsePoint;

namespace {

// ---------------------------------------------------------------- state

struct InitGet {
    int bits = 0;
    std::wstring keywords;
};
InitGet g_initGet;
std::wstring g_lastInput;

struct Call {
    int code = 0;
    resbuf* args = nullptr;
    lisp::Value result = lisp::Value::none();
    // Why the result could not be taken, or empty.
    std::string error;
};
std::vector<Call> g_calls;

LinetypeDialogFn g_linetypeDialog = nullptr;

AcApDocument* doc()
{
    return acDocManager->curDocument();
}

void setLastPoint(const ads_point p)
{
    resbuf rb{};
    rb.restype = RT3DPOINT;
    std::memcpy(rb.resval.rpoint, p, sizeof(ads_point));
    acedSetVar(L"LASTPOINT", &rb);
}

// Prints the prompt and reads replies until one is accepted by accept
// (which returns a status, or 0 to ask again after its message).
template <class Accept>
int prompted(const ACHAR* prompt, bool wholeLine, Accept accept)
{
    const InitGet opts = g_initGet;
    g_initGet = InitGet{};
    while (true) {
        host::printWide(prompt ? prompt : L"");
        std::string reply;
        if (!host::readReply(reply, wholeLine)) {
            host::print("*取消*\n");
            return RTCAN;
        }
        if (reply == "^C") {
            host::print("*取消*\n");
            return RTCAN;
        }
        std::wstring kw;
        if (!wholeLine && !opts.keywords.empty() && matchKeyword(opts.keywords, reply, kw)) {
            g_lastInput = kw;
            return RTKWORD;
        }
        const int rc = accept(reply, opts);
        if (rc != 0)
            return rc;
    }
}

int arbitrary(const std::string& reply, const InitGet& opts)
{
    if ((opts.bits & 128) && !reply.empty()) {
        g_lastInput = utf8ToWide(reply);
        return RTKWORD;
    }
    return 0;
}

int pointInput(const ads_point baseIn, const ACHAR* prompt, ads_point result)
{
    // The base may be the result array itself.
    double baseCopy[3] = {0, 0, 0};
    const double* base = nullptr;
    if (baseIn) {
        std::memcpy(baseCopy, baseIn, sizeof baseCopy);
        base = baseCopy;
    }
    return prompted(prompt, false, [&](const std::string& reply, const InitGet& opts) -> int {
        if (reply.empty()) {
            if (opts.bits & 1) {
                host::print("\n需要点或选项关键字。\n");
                return 0;
            }
            return RTNONE;
        }
        bool outOfRange = false;
        if (parsePoint(reply, base, result, &outOfRange)) {
            setLastPoint(result);
            return RTNORM;
        }
        if (outOfRange) {
            host::print("\n点无效。\n");
            return 0;
        }
        if (const int rc = arbitrary(reply, opts))
            return rc;
        host::print("\n需要点或选项关键字。\n");
        return 0;
    });
}

int numberChecks(double v, const InitGet& opts)
{
    if ((opts.bits & 2) && v == 0.0) {
        host::print("\n值必须非零。\n");
        return 0;
    }
    if ((opts.bits & 4) && v < 0.0) {
        host::print("\n值必须为正。\n");
        return 0;
    }
    return RTNORM;
}

} // namespace

namespace host {

// ---------------------------------------------------------------- keywords

// The keyword a reply names: the whole keyword or its abbreviation (its
// capital letters, or the part after a comma), ignoring case.
bool matchKeyword(const std::wstring& list, const std::string& reply, std::wstring& keyword)
{
    const std::wstring r = utf8ToWide(upperAscii(reply));
    if (r.empty())
        return false;
    std::wistringstream in(list);
    std::wstring kw;
    while (in >> kw) {
        std::wstring full = kw, abbrev;
        const std::size_t comma = kw.find(L',');
        if (comma != std::wstring::npos) {
            full = kw.substr(0, comma);
            abbrev = kw.substr(comma + 1);
        } else {
            for (wchar_t c : kw)
                if (std::iswupper(c) || std::iswdigit(c))
                    abbrev.push_back(c);
        }
        const std::wstring fullUp = upperAscii(full), abbrevUp = upperAscii(abbrev);
        if (r == fullUp || (!abbrevUp.empty() && r == abbrevUp)) {
            keyword = full;
            return true;
        }
    }
    return false;
}

bool parseNumber(const std::string& s, double& v)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(v);
}

// "x,y" or "x,y,z"; "@dx,dy" is relative to base.
bool parsePoint(const std::string& s, const double* base, ads_point out, bool* outOfRange)
{
    if (outOfRange)
        *outOfRange = false;
    std::string t = s;
    bool relative = false;
    if (!t.empty() && t[0] == '@') {
        relative = true;
        t = t.substr(1);
    }
    std::vector<double> v;
    bool overflow = false;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = t.find(',', start);
        const std::string part = t.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        double x;
        if (!parseNumber(part, x)) {
            // A number all the same, only not a finite one.
            char* end = nullptr;
            x = std::strtod(part.c_str(), &end);
            if (part.empty() || *end != '\0' || std::isnan(x))
                return false;
            overflow = true;
        }
        v.push_back(x);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (v.size() < 2 || v.size() > 3)
        return false;
    double p[3] = {v[0], v[1], v.size() == 3 ? v[2] : 0.0};
    if (relative) {
        double last[3] = {0, 0, 0};
        if (base) {
            last[0] = base[0];
            last[1] = base[1];
            last[2] = base[2];
        } else {
            resbuf rb{};
            if (acedGetVar(L"LASTPOINT", &rb) == RTNORM)
                std::memcpy(last, rb.resval.rpoint, sizeof last);
        }
        for (int k = 0; k < 3; ++k)
            p[k] += last[k];
    }
    for (double c : p)
        overflow = overflow || !std::isfinite(c);
    if (overflow) {
        if (outOfRange)
            *outOfRange = true;
        return false;
    }
    std::memcpy(out, p, sizeof p);
    return true;
}

} // namespace host

// ---------------------------------------------------------------- input

void host::takeInitGet(int& bits, std::wstring& keywords)
{
    bits = g_initGet.bits;
    keywords = g_initGet.keywords;
    g_initGet = InitGet{};
}

void host::setLastInput(const std::wstring& text)
{
    g_lastInput = text;
}

int acedInitGet(int val, const ACHAR* kwl)
{
    g_initGet.bits = val;
    g_initGet.keywords = kwl ? kwl : L"";
    return RTNORM;
}

int acedGetPoint(const ads_point base, const ACHAR* prompt, ads_point result)
{
    return pointInput(base, prompt, result);
}

int acedGetCorner(const ads_point base, const ACHAR* prompt, ads_point result)
{
    return pointInput(base, prompt, result);
}

int acedGetString(int cronly, const ACHAR* prompt, ACHAR* result, std::size_t bufLen)
{
    if (!result || bufLen == 0)
        return RTERROR;
    g_initGet = InitGet{};
    host::printWide(prompt ? prompt : L"");
    std::string reply;
    if (!host::readReply(reply, cronly != 0) || reply == "^C") {
        host::print("*取消*\n");
        return RTCAN;
    }
    std::wstring w = utf8ToWide(reply);
    if (w.size() + 1 > bufLen) {
        w.resize(bufLen - 1);
        std::wmemcpy(result, w.c_str(), w.size() + 1);
        return RTINPUTTRUNCATED;
    }
    std::wmemcpy(result, w.c_str(), w.size() + 1);
    return RTNORM;
}

int acedGetReal(const ACHAR* prompt, ads_real* result)
{
    return prompted(prompt, false, [&](const std::string& reply, const InitGet& opts) -> int {
        if (reply.empty()) {
            if (opts.bits & 1) {
                host::print("\n需要数值或选项关键字。\n");
                return 0;
            }
            return RTNONE;
        }
        double v;
        if (parseNumber(reply, v)) {
            if (numberChecks(v, opts) == 0)
                return 0;
            *result = v;
            return RTNORM;
        }
        if (const int rc = arbitrary(reply, opts))
            return rc;
        host::print("\n需要数值或选项关键字。\n");
        return 0;
    });
}

int acedGetDist(const ads_point, const ACHAR* prompt, ads_real* result)
{
    return acedGetReal(prompt, result);
}

int acedGetInt(const ACHAR* prompt, int* result)
{
    return prompted(prompt, false, [&](const std::string& reply, const InitGet& opts) -> int {
        if (reply.empty()) {
            if (opts.bits & 1) {
                host::print("\n需要整数值或选项关键字。\n");
                return 0;
            }
            return RTNONE;
        }
        char* end = nullptr;
        const long v = std::strtol(reply.c_str(), &end, 10);
        if (end && *end == '\0') {
            if (v < -32768 || v > 32767) {
                host::print("\n需要 -32768 和 32767 之间的整数。\n");
                return 0;
            }
            if (numberChecks(static_cast<double>(v), opts) == 0)
                return 0;
            *result = static_cast<int>(v);
            return RTNORM;
        }
        if (const int rc = arbitrary(reply, opts))
            return rc;
        host::print("\n需要整数值或选项关键字。\n");
        return 0;
    });
}

int acedGetInput(ACHAR* str, std::size_t bufLen)
{
    if (!str || bufLen == 0)
        return RTERROR;
    const std::wstring w = g_lastInput.substr(0, bufLen - 1);
    std::wmemcpy(str, w.c_str(), w.size() + 1);
    return RTNORM;
}

// ---------------------------------------------------------------- picking

namespace {

void setErrno(int v)
{
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = static_cast<short>(v);
    acedSetVar(L"ERRNO", &rb);
}

} // namespace

int acedEntSel(const ACHAR* prompt, ads_name entity, ads_point point)
{
    entity[0] = entity[1] = 0;
    const InitGet opts = g_initGet;
    g_initGet = InitGet{};
    host::printWide(prompt ? prompt : L"\n选择对象: ");
    std::string reply;
    if (!host::readReply(reply, false) || reply == "^C") {
        host::print("*取消*\n");
        return RTCAN;
    }
    if (reply.empty()) {
        setErrno(52);
        return RTERROR;
    }
    std::wstring kw;
    if (!opts.keywords.empty() && matchKeyword(opts.keywords, reply, kw)) {
        g_lastInput = kw;
        return RTKWORD;
    }
    if (!parsePoint(reply, nullptr, point)) {
        host::print("\n点无效。\n");
        setErrno(7);
        return RTERROR;
    }
    const AcDbObjectId picked = host::pickEntity(AcGePoint3d(point[0], point[1], 0));
    if (!picked.isNull()) {
        acdbGetAdsName(entity, picked);
        return RTNORM;
    }
    setErrno(7);
    return RTERROR;
}

// ---------------------------------------------------------------- sysvars

namespace {

enum class VarKind { Short, Real, Str, Point };
struct VarDef {
    const char* name;
    VarKind kind;
    // Kept in the drawing's header under this name, or null.
    const char* header;
    bool readOnly;
};

const VarDef kVars[] = {
    {"OSMODE", VarKind::Short, nullptr, false},   {"CMDECHO", VarKind::Short, nullptr, false},
    {"PLINETYPE", VarKind::Short, nullptr, false}, {"BLIPMODE", VarKind::Short, nullptr, false},
    {"CELTYPE", VarKind::Str, "$CELTYPE", false},  {"CECOLOR", VarKind::Str, "$CECOLOR", false},
    {"CLAYER", VarKind::Str, "$CLAYER", false},    {"VIEWSIZE", VarKind::Real, nullptr, true},
    {"VIEWCTR", VarKind::Point, nullptr, true},    {"SCREENSIZE", VarKind::Point, nullptr, true},
    {"DWGPREFIX", VarKind::Str, nullptr, true},    {"DWGNAME", VarKind::Str, nullptr, true},
    {"ERRNO", VarKind::Short, nullptr, false},     {"PICKBOX", VarKind::Short, nullptr, false},
    {"LUNITS", VarKind::Short, "$LUNITS", false},  {"LUPREC", VarKind::Short, "$LUPREC", false},
    {"DIMZIN", VarKind::Short, "$DIMZIN", false},  {"LASTPOINT", VarKind::Point, nullptr, false},
    {"TEXTSIZE", VarKind::Real, "$TEXTSIZE", false}, {"ORTHOMODE", VarKind::Short, nullptr, false},
    // The scale the drawing is plotted at (the module's print scale).
    {"DIMSCALE", VarKind::Real, "$DIMSCALE", false},
};

const VarDef* findVar(const std::string& name)
{
    for (const VarDef& v : kVars)
        if (name == v.name)
            return &v;
    return nullptr;
}

void setStr(resbuf& rb, const std::string& s)
{
    if (rb.restype == RTSTR)
        std::free(rb.resval.rstring);
    rb.restype = RTSTR;
    rb.resval.rstring = acutNewString(utf8ToWide(s).c_str());
}

std::string colorText(const std::string& header)
{
    const int c = header.empty() ? 256 : std::atoi(header.c_str());
    if (c == 256)
        return "BYLAYER";
    if (c == 0)
        return "BYBLOCK";
    return std::to_string(c);
}

} // namespace

namespace host {

void initSysvars(AcApDocument& d)
{
    auto& vars = d.sysvars();
    auto shortVar = [&](const char* n, short v) {
        resbuf rb{};
        rb.restype = RTSHORT;
        rb.resval.rint = v;
        vars[n] = rb;
    };
    auto pointVar = [&](const char* n, double x, double y, short type) {
        resbuf rb{};
        rb.restype = type;
        rb.resval.rpoint[0] = x;
        rb.resval.rpoint[1] = y;
        vars[n] = rb;
    };
    shortVar("OSMODE", 4133);
    shortVar("CMDECHO", 1);
    shortVar("PLINETYPE", 2);
    shortVar("BLIPMODE", 0);
    shortVar("ERRNO", 0);
    shortVar("PICKBOX", 3);
    shortVar("ORTHOMODE", 0);
    resbuf size{};
    size.restype = RTREAL;
    size.resval.rreal = 297.0;
    vars["VIEWSIZE"] = size;
    pointVar("VIEWCTR", 210.0, 148.5, RT3DPOINT);
    pointVar("SCREENSIZE", 1024.0, 768.0, RTPOINT);
    pointVar("LASTPOINT", 0.0, 0.0, RT3DPOINT);
}

} // namespace host

int acedGetVar(const ACHAR* wname, resbuf* result)
{
    AcApDocument* d = doc();
    if (!wname || !result || !d)
        return RTERROR;
    const std::string name = upperAscii(wideToUtf8(wname));
    const VarDef* def = findVar(name);
    if (!def)
        return RTERROR;
    AcDbDatabase* db = d->database();
    std::memset(result, 0, sizeof *result);
    if (def->header) {
        const std::string h = db->headerString(def->header);
        if (def->kind == VarKind::Str) {
            std::string v = h;
            if (name == "CECOLOR")
                v = colorText(h);
            else if (v.empty())
                v = name == "CLAYER" ? "0" : "ByLayer";
            result->restype = RTSTR;
            result->resval.rstring = acutNewString(utf8ToWide(v).c_str());
        } else if (def->kind == VarKind::Short) {
            result->restype = RTSHORT;
            result->resval.rint = static_cast<short>(h.empty() ? (name == "LUNITS" ? 2 : name == "LUPREC" ? 4 : 0)
                                                                 : std::atoi(h.c_str()));
        } else {
            result->restype = RTREAL;
            result->resval.rreal = h.empty() ? (name == "DIMSCALE" ? 1.0 : 2.5) : std::atof(h.c_str());
        }
        return RTNORM;
    }
    if (name == "DWGNAME" || name == "DWGPREFIX") {
        std::string file = wideToUtf8(d->fileName());
        const std::size_t slash = file.find_last_of("/\\");
        std::string v = name == "DWGNAME" ? file.substr(slash == std::string::npos ? 0 : slash + 1)
                                          : (slash == std::string::npos ? std::string() : file.substr(0, slash + 1));
        result->restype = RTSTR;
        result->resval.rstring = acutNewString(utf8ToWide(v).c_str());
        return RTNORM;
    }
    auto it = d->sysvars().find(name);
    if (it == d->sysvars().end())
        return RTERROR;
    *result = it->second;
    result->rbnext = nullptr;
    if (result->restype == RTSTR)
        result->resval.rstring = acutNewString(it->second.resval.rstring);
    return RTNORM;
}

int acedSetVar(const ACHAR* wname, const resbuf* value)
{
    AcApDocument* d = doc();
    if (!wname || !value || !d)
        return RTERROR;
    const std::string name = upperAscii(wideToUtf8(wname));
    const VarDef* def = findVar(name);
    if (!def || def->readOnly)
        return RTERROR;
    AcDbDatabase* db = d->database();
    switch (def->kind) {
    case VarKind::Short: {
        long v;
        if (value->restype == RTSHORT)
            v = value->resval.rint;
        else if (value->restype == RTLONG)
            v = value->resval.rlong;
        else
            return RTERROR;
        if (v < -32768 || v > 32767)
            return RTERROR;
        if (def->header) {
            db->setHeaderVar(def->header, 70, std::to_string(v));
        } else {
            resbuf rb{};
            rb.restype = RTSHORT;
            rb.resval.rint = static_cast<short>(v);
            d->sysvars()[name] = rb;
        }
        return RTNORM;
    }
    case VarKind::Real: {
        double v;
        if (value->restype == RTREAL)
            v = value->resval.rreal;
        else if (value->restype == RTSHORT)
            v = value->resval.rint;
        else if (value->restype == RTLONG)
            v = value->resval.rlong;
        else
            return RTERROR;
        // A scale is 0 (fitted) or positive.
        if (!std::isfinite(v) || (name == "DIMSCALE" && v < 0))
            return RTERROR;
        if (def->header) {
            char text[32];
            const auto end = std::to_chars(text, text + sizeof text, v).ptr;
            db->setHeaderVar(def->header, 40, std::string(text, end));
        } else {
            d->sysvars()[name].resval.rreal = v;
        }
        return RTNORM;
    }
    case VarKind::Str: {
        if (value->restype != RTSTR || !value->resval.rstring)
            return RTERROR;
        std::string v = wideToUtf8(value->resval.rstring);
        if (name == "CELTYPE") {
            AcDbSymbolTable* t = db->table("LTYPE");
            AcDbObjectId id = t ? t->getAt(v) : AcDbObjectId();
            if (id.isNull())
                return RTERROR;
            db->setHeaderVar("$CELTYPE", 6, static_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(id)->object.get())->name());
            return RTNORM;
        }
        if (name == "CLAYER") {
            AcDbSymbolTable* t = db->table("LAYER");
            AcDbObjectId id = t ? t->getAt(v) : AcDbObjectId();
            if (id.isNull())
                return RTERROR;
            db->setHeaderVar("$CLAYER", 8, static_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(id)->object.get())->name());
            return RTNORM;
        }
        if (name == "CECOLOR") {
            const std::string u = upperAscii(v);
            int c = u == "BYLAYER" ? 256 : u == "BYBLOCK" ? 0 : std::atoi(v.c_str());
            if (c < 0 || c > 256 || (c == 0 && u != "BYBLOCK" && v != "0"))
                return RTERROR;
            db->setHeaderVar("$CECOLOR", 62, std::to_string(c));
            return RTNORM;
        }
        setStr(d->sysvars()[name], v);
        return RTNORM;
    }
    case VarKind::Point: {
        if (value->restype != RTPOINT && value->restype != RT3DPOINT)
            return RTERROR;
        resbuf rb{};
        rb.restype = RT3DPOINT;
        std::memcpy(rb.resval.rpoint, value->resval.rpoint, sizeof(ads_point));
        d->sysvars()[name] = rb;
        return RTNORM;
    }
    }
    return RTERROR;
}

// ---------------------------------------------------------------- printing

int acutPrintf(const ACHAR* format, ...)
{
    if (!format)
        return 0;
    va_list ap;
    va_start(ap, format);
    std::wstring buf(256, L'\0');
    while (true) {
        va_list copy;
        va_copy(copy, ap);
        const int n = std::vswprintf(buf.data(), buf.size(), format, copy);
        va_end(copy);
        if (n >= 0) {
            buf.resize(static_cast<std::size_t>(n));
            break;
        }
        if (buf.size() > (1u << 20)) {
            buf.clear();
            break;
        }
        buf.resize(buf.size() * 4);
    }
    va_end(ap);
    host::printWide(buf);
    return static_cast<int>(buf.size());
}

// ---------------------------------------------------------------- LISP

int acedDefun(const ACHAR* name, int funcCode)
{
    AcApDocument* d = doc();
    void* app = acrxCurrentApp();
    if (!d || !name || !*name || funcCode < 0)
        return RTERROR;
    const std::string n = lowerAscii(wideToUtf8(name));
    d->lispFunctions()[n] = AcApLispFunction{app, funcCode};
    return RTNORM;
}

int acedUndef(const ACHAR* name, int funcCode)
{
    AcApDocument* d = doc();
    if (!d || !name)
        return RTERROR;
    const std::string n = lowerAscii(wideToUtf8(name));
    auto it = d->lispFunctions().find(n);
    if (it == d->lispFunctions().end() || it->second.code != funcCode)
        return RTERROR;
    d->lispFunctions().erase(it);
    return RTNORM;
}

int acedRegFunc(int (*)(), int)
{
    return RTNORM;
}

int acedGetFunCode()
{
    return g_calls.empty() ? RTERROR : g_calls.back().code;
}

resbuf* acedGetArgs()
{
    return g_calls.empty() ? nullptr : g_calls.back().args;
}

static int setResult(lisp::Value v)
{
    if (g_calls.empty())
        return RTERROR;
    g_calls.back().result = std::move(v);
    return RTNORM;
}

int acedRetVoid()
{
    return setResult(lisp::Value::none());
}

int acedRetNil()
{
    return setResult(lisp::Value::nil());
}

int acedRetT()
{
    return setResult(lisp::Value::t());
}

int acedRetInt(int value)
{
    return setResult(lisp::Value::integer(value));
}

int acedRetReal(ads_real value)
{
    return setResult(lisp::Value::real(value));
}

int acedRetStr(const ACHAR* s)
{
    return setResult(lisp::Value::str(wideToUtf8(s ? s : L"")));
}

int acedRetPoint(const ads_point p)
{
    return setResult(lisp::Value::list({lisp::Value::real(p[0]), lisp::Value::real(p[1]), lisp::Value::real(p[2])}));
}

int acedRetName(const ads_name n, int)
{
    lisp::Value v;
    v.kind = lisp::Value::Kind::Ename;
    v.name[0] = n[0];
    v.name[1] = n[1];
    return setResult(v);
}

int acedRetList(const resbuf* rb)
{
    // The chain's items are the list's elements; a chain that is one list
    // (RTLB ... RTLE) is that list, as the host does it: callers that hand
    // back a list of one list wrap it once more.
    lisp::Value v;
    try {
        v = lisp::listFromResbuf(rb);
    } catch (const lisp::EvalError& e) {
        if (!g_calls.empty())
            g_calls.back().error = e.what();
        return RTERROR;
    }
    if (v.items.size() == 1 && v.items.front().kind == lisp::Value::Kind::List && !v.dotted)
        return setResult(v.items.front().isNil() ? lisp::Value::nil() : v.items.front());
    return setResult(v.items.empty() ? lisp::Value::nil() : v);
}

namespace host {

CallResult invokeFunction(const AcApLispFunction& f, resbuf* args)
{
    g_calls.push_back(Call{f.code, args, lisp::Value::none(), {}});
    CallResult r;
    try {
        const AcRx::AppRetCode rc = acrxInvoke(f.app);
        if (rc != AcRx::kRetOK) {
            r.status = RTERROR;
            r.error = "应用程序出错";
        }
    } catch (const std::exception& e) {
        r.status = RTERROR;
        r.error = std::string("应用程序异常: ") + e.what();
    } catch (...) {
        r.status = RTERROR;
        r.error = "应用程序异常";
    }
    if (r.status == RTNORM && !g_calls.back().error.empty()) {
        r.status = RTERROR;
        r.error = g_calls.back().error;
    }
    r.value = g_calls.back().result;
    g_calls.pop_back();
    return r;
}

} // namespace host

namespace {
HWND g_mainWindow = nullptr;
}

HWND adsw_acadMainWnd()
{
    return g_mainWindow;
}

void acedSetMainWindow(HWND wnd)
{
    g_mainWindow = wnd;
}

bool acedLinetypeDialog(AcDbObjectId current, bool includeByBlockByLayer, ACHAR*& newName, AcDbObjectId& newId)
{
    newName = nullptr;
    if (!g_linetypeDialog)
        return false;
    return g_linetypeDialog(current, includeByBlockByLayer, newName, newId);
}

void acedSetLinetypeDialog(LinetypeDialogFn fn)
{
    g_linetypeDialog = fn;
}
