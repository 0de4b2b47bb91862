// The command interpreter: the command table, the replies every command
// reads, acedCommand and acedFindFile. The commands are in commands_*.cpp.
#include "host/commands.h"

#include "host/commandline.h"
#include "host/commands_internal.h"
#include "host/dbinternal.h"
#include "host/dbundo.h"
#include "host/hostcall.h"
#include "host/hostfile.h"
#include "host/hoststring.h"
#include "host/selection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

AcCmdArg::AcCmdArg(const AcGePoint3d& p) : kind(Kind::Point)
{
    point[0] = p.x;
    point[1] = p.y;
    point[2] = p.z;
}

AcCmdArg AcCmdArg::ename(const ads_name n)
{
    AcCmdArg a(0);
    a.kind = Kind::Ename;
    a.name[0] = n[0];
    a.name[1] = n[1];
    return a;
}

AcCmdArg AcCmdArg::pick(const ads_name n, const ads_point p)
{
    AcCmdArg a(p);
    a.kind = Kind::Pick;
    a.name[0] = n[0];
    a.name[1] = n[1];
    return a;
}

AcCmdArg AcCmdArg::selectionSet(const ads_name ss)
{
    AcCmdArg a = ename(ss);
    a.kind = Kind::SelectionSet;
    return a;
}

namespace host::cmd {

std::wstring formatReal(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return utf8ToWide(buf);
}


void message(const std::wstring& text)
{
    printWide(text);
}

AcDbDatabase* workingDb()
{
    AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    if (!db)
        throw CommandEnd{RTERROR};
    return db;
}

AcDbEntity* liveEntity(const AcDbObjectId& id)
{
    if (!id.isValid() || id.isErased())
        return nullptr;
    return dynamic_cast<AcDbEntity*>(AcDbInternals::stub(id)->object.get());
}

// Replies of one command, read through the command's input with the
AcCmdArg Replies::next(const std::wstring& prompt)
{
    AcCmdArg a(L"");
    if (!m_in.next(prompt, a))
        throw CommandEnd{RTCAN};
    return a;
}

void Replies::reject(const std::wstring& why)
{
    if (!m_in.reject(why))
        throw CommandEnd{RTREJ};
}

void Replies::note(const std::wstring& text) const
{
    if (m_in.echoes())
        message(text);
}

std::wstring Replies::keyword(const AcCmdArg& a, const std::wstring& keywords)
{
    if (a.kind != AcCmdArg::Kind::String || a.text.empty())
        return {};
    std::string t = wideToUtf8(a.text);
    while (!t.empty() && (t[0] == '_' || t[0] == '.'))
        t.erase(0, 1);
    std::wstring kw;
    return matchKeyword(keywords, t, kw) ? kw : std::wstring();
}

bool Replies::asPoint(const AcCmdArg& a, AcGePoint3d& p, const AcGePoint3d* base)
{
    if (a.kind == AcCmdArg::Kind::Point || a.kind == AcCmdArg::Kind::Pick) {
        p = AcGePoint3d(a.point[0], a.point[1], a.point[2]);
        return acdbIsFinite(p);
    }
    if (a.kind != AcCmdArg::Kind::String)
        return false;
    double b[3] = {0, 0, 0};
    if (base) {
        b[0] = base->x;
        b[1] = base->y;
        b[2] = base->z;
    }
    ads_point out;
    if (!parsePoint(wideToUtf8(a.text), base ? b : nullptr, out))
        return false;
    p = AcGePoint3d(out[0], out[1], out[2]);
    return true;
}

bool Replies::asReal(const AcCmdArg& a, double& v)
{
    switch (a.kind) {
    case AcCmdArg::Kind::Real:
        v = a.real;
        return std::isfinite(v);
    case AcCmdArg::Kind::Int:
        v = a.integer;
        return true;
    case AcCmdArg::Kind::String:
        return parseNumber(wideToUtf8(a.text), v);
    default:
        return false;
    }
}

bool Replies::point(const std::wstring& prompt, AcGePoint3d& p, bool enterAllowed,
                     const std::wstring& keywords, std::wstring* kw, const AcGePoint3d* base)
{
    while (true) {
        const AcCmdArg a = next(prompt);
        if (isEnter(a) && enterAllowed)
            return false;
        if (kw && !keywords.empty()) {
            *kw = keyword(a, keywords);
            if (!kw->empty())
                return true;
        }
        if (asPoint(a, p, base)) {
            if (kw)
                kw->clear();
            return true;
        }
        reject(L"\n需要点或选项关键字。\n");
    }
}

double Replies::real(const std::wstring& prompt, const double* defaultValue, bool nonZero)
{
    while (true) {
        const AcCmdArg a = next(prompt);
        if (isEnter(a) && defaultValue)
            return *defaultValue;
        double v = 0;
        if (asReal(a, v)) {
            if (nonZero && v == 0.0) {
                reject(L"\n值必须非零。\n");
                continue;
            }
            return v;
        }
        reject(L"\n需要数值距离或两点。\n");
    }
}

std::wstring Replies::choice(const std::wstring& prompt, const std::wstring& keywords, bool enterAllowed)
{
    while (true) {
        const AcCmdArg a = next(prompt);
        if (isEnter(a) && enterAllowed)
            return {};
        const std::wstring kw = keyword(a, keywords);
        if (!kw.empty())
            return kw;
        reject(L"\n无效选项关键字。\n");
    }
}

std::wstring Replies::text(const std::wstring& prompt)
{
    AcCmdArg a(L"");
    if (!m_in.nextText(prompt, a))
        throw CommandEnd{RTCAN};
    switch (a.kind) {
    case AcCmdArg::Kind::String:
        return a.text;
    case AcCmdArg::Kind::Real:
        return formatReal(a.real);
    case AcCmdArg::Kind::Int:
        return std::to_wstring(a.integer);
    default:
        reject(L"\n需要文字。\n");
        return text(prompt);
    }
}

AcDbObjectIdArray Replies::objects(const std::wstring& prompt)
{
    AcDbObjectIdArray ids;
    auto add = [&](const AcDbObjectId& id) {
        if (liveEntity(id) && !ids.contains(id))
            ids.append(id);
    };
    while (true) {
        const AcCmdArg a = next(prompt);
        if (isEnter(a))
            break;
        AcDbObjectId id;
        AcGePoint3d p;
        switch (a.kind) {
        case AcCmdArg::Kind::Ename:
        case AcCmdArg::Kind::Pick:
            if (acdbGetObjectId(id, a.name) == Acad::eOk && liveEntity(id))
                add(id);
            else
                reject(L"\n对象无效。\n");
            continue;
        case AcCmdArg::Kind::SelectionSet:
            if (AcDbObjectIdArray* set = selectionSetIds(a.name)) {
                for (const AcDbObjectId& s : *set)
                    add(s);
            } else {
                reject(L"\n选择集无效。\n");
            }
            continue;
        default:
            break;
        }
        const std::wstring kw = keyword(a, L"Window Crossing Last Previous ALL");
        if (kw == L"Window" || kw == L"Crossing") {
            AcGePoint3d p1, p2;
            point(L"\n指定第一个角点: ", p1);
            point(L"\n指定对角点: ", p2);
            AcDbExtents box;
            box.addPoint(p1);
            box.addPoint(p2);
            for (const AcDbObjectId& s : selectInWindow(box, kw == L"Crossing", nullptr))
                add(s);
        } else if (kw == L"Last") {
            ads_name last;
            if (acdbEntLast(last) == RTNORM && acdbGetObjectId(id, last) == Acad::eOk)
                add(id);
        } else if (kw == L"Previous") {
            for (const AcDbObjectId& s : previous())
                add(s);
        } else if (kw == L"ALL") {
            for (const AcDbObjectId& s : AcDbInternals::modelSpace(*workingDb())->entityIds())
                add(s);
        } else if (asPoint(a, p)) {
            id = pickEntity(p);
            if (id.isNull())
                reject(L"\n未找到对象。\n");
            else
                add(id);
        } else {
            reject(L"\n需要点或窗口(W)/上一个(L)/窗交(C)/前一个(P)/全部(ALL)。\n");
        }
    }
    previous() = ids;
    return ids;
}

AcDbObjectIdArray& Replies::previous()
{
    static AcDbObjectIdArray ids;
    return ids;
}


AcDbBlockTableRecord* currentSpace()
{
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(*workingDb());
    if (!ms)
        throw CommandEnd{RTERROR};
    return ms;
}

AcDbObjectId addToCurrentSpace(AcDbEntity* e)
{
    e->setDatabaseDefaults(workingDb());
    AcDbObjectId id;
    if (currentSpace()->appendAcDbEntity(id, e) != Acad::eOk) {
        delete e;
        throw CommandEnd{RTERROR};
    }
    return id;
}

void transformAll(const AcDbObjectIdArray& ids, const AcGeMatrix3d& m)
{
    // Every entity must take the matrix (stay finite, among others) before
    // any is changed.
    for (const AcDbObjectId& id : ids) {
        const AcDbEntity* e = liveEntity(id);
        if (!e)
            continue;
        std::unique_ptr<AcDbObject> copy = e->cloneObject();
        if (static_cast<AcDbEntity*>(copy.get())->transformBy(m) != Acad::eOk) {
            message(L"\n无法变换对象。\n");
            throw CommandEnd{RTERROR};
        }
    }
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* e = nullptr;
        if (acdbOpenAcDbEntity(e, id, AcDb::kForWrite) != Acad::eOk)
            continue;
        const Acad::ErrorStatus es = e->transformBy(m);
        e->close();
        if (es != Acad::eOk) {
            message(L"\n无法变换对象。\n");
            throw CommandEnd{RTERROR};
        }
    }
}

void setLastPoint(const AcGePoint3d& p)
{
    resbuf rb{};
    rb.restype = RT3DPOINT;
    rb.resval.rpoint[0] = p.x;
    rb.resval.rpoint[1] = p.y;
    rb.resval.rpoint[2] = p.z;
    acedSetVar(L"LASTPOINT", &rb);
}


} // namespace host::cmd

namespace host {

using namespace cmd;

namespace {

struct CommandDef {
    const char* name;
    int (*run)(Replies&);
    // Commands that change the drawing run as one undo group and are
    // undone when they fail; UNDO and U work on the journal itself.
    bool journaled;
};

const CommandDef kCommands[] = {
    {"PLINE", cmdPline, true}, {"PL", cmdPline, true},       {"INSERT", cmdInsert, true},
    {"MOVE", cmdMove, true},   {"MIRROR", cmdMirror, true},  {"TEXT", cmdText, true},
    {"TRIM", cmdTrim, true},   {"ERASE", cmdErase, true},    {"ZOOM", cmdZoom, false},
    {"COLOR", cmdColor, true}, {"COLOUR", cmdColor, true},   {"UNDO", cmdUndo, false},
    {"U", cmdU, false},        {"REDRAW", cmdRedraw, false}, {"LINE", cmdLine, true},
    {"L", cmdLine, true},
};

const CommandDef* findCommand(const std::string& name)
{
    for (const CommandDef& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

} // namespace

std::string commandName(const std::wstring& text)
{
    std::string n = upperAscii(wideToUtf8(text));
    while (!n.empty() && (n[0] == '_' || n[0] == '.'))
        n.erase(0, 1);
    return n;
}

bool isInterpretedCommand(const std::string& name)
{
    return findCommand(name) != nullptr;
}

std::vector<std::string> interpretedCommandNames()
{
    std::vector<std::string> names;
    for (const CommandDef& c : kCommands)
        names.emplace_back(c.name);
    return names;
}

int runCommand(const std::string& name, CommandInput& in)
{
    const CommandDef* def = findCommand(name);
    if (!def)
        return RTREJ;
    AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    if (!db)
        return RTERROR;
    Replies replies(in);
    if (!def->journaled) {
        try {
            return def->run(replies);
        } catch (const CommandEnd& end) {
            return end.status;
        }
    }
    AcDbUndoJournal& journal = AcDbInternals::journal(*db);
    const AcDbUndoGroupScope group(journal);
    const AcDbUndoJournal::Mark mark = journal.mark();
    int status;
    try {
        status = def->run(replies);
    } catch (const CommandEnd& end) {
        status = end.status;
    }
    if (status != RTNORM)
        journal.rollback(mark);
    return status;
}

} // namespace host

// ---------------------------------------------------------------- acedCommand

namespace {

// Replies from the arguments of one acedCommand call: what does not fit
// ends the command.
class ArgumentInput : public host::CommandInput {
public:
    ArgumentInput(const std::vector<AcCmdArg>& args, std::size_t& pos, bool echoes)
        : m_args(args), m_pos(pos), m_echoes(echoes)
    {
    }
    bool next(const std::wstring&, AcCmdArg& reply) override
    {
        if (m_pos >= m_args.size())
            return false;
        reply = m_args[m_pos++];
        return true;
    }
    bool reject(const std::wstring& message) override
    {
        host::printWide(message);
        return false;
    }
    bool echoes() const override { return m_echoes; }

private:
    const std::vector<AcCmdArg>& m_args;
    std::size_t& m_pos;
    const bool m_echoes;
};

// Commands an application runs say nothing while CMDECHO is 0.
bool commandEcho()
{
    resbuf rb{};
    return acedGetVar(L"CMDECHO", &rb) != RTNORM || rb.restype != RTSHORT || rb.resval.rint != 0;
}

} // namespace

int acedCommandArgs(const std::vector<AcCmdArg>& args)
{
    const bool echoes = commandEcho();
    std::size_t pos = 0;
    while (pos < args.size()) {
        const AcCmdArg& a = args[pos++];
        if (a.kind != AcCmdArg::Kind::String) {
            host::print("\n未知命令。\n");
            return RTREJ;
        }
        if (a.text.empty())
            continue;
        const std::string name = host::commandName(a.text);
        if (!host::isInterpretedCommand(name)) {
            host::printWide(L"\n未知命令“" + a.text + L"”。\n");
            return RTREJ;
        }
        ArgumentInput in(args, pos, echoes);
        const int status = host::runCommand(name, in);
        if (status != RTNORM)
            return status;
    }
    return RTNORM;
}

int acedCommand(std::initializer_list<AcCmdArg> args)
{
    return acedCommandArgs(std::vector<AcCmdArg>(args));
}

int acedCmd(const resbuf* rb)
{
    std::vector<AcCmdArg> args;
    for (const resbuf* p = rb; p; p = p->rbnext) {
        switch (p->restype) {
        case RTSTR:
            args.emplace_back(p->resval.rstring ? p->resval.rstring : L"");
            break;
        case RTREAL:
        case RTANG:
            args.emplace_back(p->resval.rreal);
            break;
        case RTSHORT:
            args.emplace_back(static_cast<int>(p->resval.rint));
            break;
        case RTLONG:
            args.emplace_back(static_cast<int>(p->resval.rlong));
            break;
        case RTPOINT:
        case RT3DPOINT: {
            double pt[3] = {p->resval.rpoint[0], p->resval.rpoint[1], p->restype == RT3DPOINT ? p->resval.rpoint[2] : 0};
            args.emplace_back(static_cast<const double*>(pt));
            break;
        }
        case RTENAME:
            args.push_back(AcCmdArg::ename(p->resval.rlname));
            break;
        case RTPICKS:
            args.push_back(AcCmdArg::selectionSet(p->resval.rlname));
            break;
        case RTLB: {
            // (entity point): an entity picked at a point.
            const resbuf* n = p->rbnext;
            const resbuf* pt = n ? n->rbnext : nullptr;
            const resbuf* e = pt ? pt->rbnext : nullptr;
            if (!n || n->restype != RTENAME || !pt || (pt->restype != RTPOINT && pt->restype != RT3DPOINT) || !e
                || e->restype != RTLE)
                return RTREJ;
            args.push_back(AcCmdArg::pick(n->resval.rlname, pt->resval.rpoint));
            p = e;
            break;
        }
        default:
            return RTREJ;
        }
    }
    return acedCommandArgs(args);
}

// ---------------------------------------------------------------- acedFindFile


int acedFindFile(const ACHAR* fname, ACHAR* result, std::size_t len)
{
    if (!fname || !*fname || !result || len == 0)
        return RTERROR;
    std::string name = wideToUtf8(fname);
    for (char& c : name)
        if (c == '\\')
            c = '/';
    std::vector<std::string> candidates{name};
    if (name[0] != '/') {
        resbuf rb{};
        if (acedGetVar(L"DWGPREFIX", &rb) == RTNORM && rb.resval.rstring) {
            std::string prefix = wideToUtf8(rb.resval.rstring);
            std::free(rb.resval.rstring);
            if (!prefix.empty())
                candidates.push_back(prefix + (prefix.back() == '/' || prefix.back() == '\\' ? "" : "/") + name);
        }
        resbuf sp{};
        if (acedGetVar(L"ACADPREFIX", &sp) == RTNORM && sp.restype == RTSTR && sp.resval.rstring) {
            const std::string path = wideToUtf8(sp.resval.rstring);
            std::free(sp.resval.rstring);
            std::size_t start = 0;
            while (start <= path.size()) {
                const std::size_t semi = std::min(path.find(';', start), path.size());
                std::string dir = path.substr(start, semi - start);
                if (!dir.empty())
                    candidates.push_back(dir + (dir.back() == '/' || dir.back() == '\\' ? "" : "/") + name);
                start = semi + 1;
            }
        }
    }
    for (const std::string& c : candidates) {
        const std::string hostPath = acdbHostPathOf(utf8ToWide(c).c_str());
        if (::access(hostPath.c_str(), R_OK) == 0) {
            const std::wstring found = utf8ToWide(hostPath);
            if (found.size() + 1 > len)
                return RTERROR;
            std::wcscpy(result, found.c_str());
            return RTNORM;
        }
    }
    return RTERROR;
}
