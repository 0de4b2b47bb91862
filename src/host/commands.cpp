// The command interpreter: PLINE, INSERT, MOVE, MIRROR, TEXT, TRIM, ERASE,
// ZOOM, COLOR, UNDO, U and REDRAW, fed by acedCommand or by the command line.
#include "host/commands.h"

#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/hostcall.h"
#include "host/hostfile.h"
#include "host/hoststring.h"
#include "host/selection.h"
#include "host/tempgraphics.h"

#include <algorithm>
#include <charconv>
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

namespace host {

namespace {

// How a command ends early: the status runCommand gives.
struct CommandEnd {
    int status;
};

std::wstring formatReal(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return utf8ToWide(buf);
}

// The shortest text that reads back as exactly v.
std::string exactText(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
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
    return dynamic_cast<AcDbEntity*>(id.stub()->object.get());
}

// Replies of one command, read through the command's input with the
// conversions every prompt shares.
class Replies {
public:
    explicit Replies(CommandInput& in) : m_in(in) {}

    AcCmdArg next(const std::wstring& prompt)
    {
        AcCmdArg a(L"");
        if (!m_in.next(prompt, a))
            throw CommandEnd{RTCAN};
        return a;
    }
    void reject(const std::wstring& why)
    {
        if (!m_in.reject(why))
            throw CommandEnd{RTREJ};
    }
    // A note of the command: shown only where the command echoes.
    void note(const std::wstring& text) const
    {
        if (m_in.echoes())
            message(text);
    }

    // A keyword of the list the reply names ("_BEGIN" is "BEGIN"), or empty.
    static std::wstring keyword(const AcCmdArg& a, const std::wstring& keywords)
    {
        if (a.kind != AcCmdArg::Kind::String || a.text.empty())
            return {};
        std::string t = wideToUtf8(a.text);
        while (!t.empty() && (t[0] == '_' || t[0] == '.'))
            t.erase(0, 1);
        std::wstring kw;
        return matchKeyword(keywords, t, kw) ? kw : std::wstring();
    }
    static bool isEnter(const AcCmdArg& a) { return a.kind == AcCmdArg::Kind::String && a.text.empty(); }
    static bool asPoint(const AcCmdArg& a, AcGePoint3d& p, const AcGePoint3d* base = nullptr)
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
    static bool asReal(const AcCmdArg& a, double& v)
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

    // A point; with keywords a keyword may come instead (kw set). Enter
    // gives false when allowed.
    bool point(const std::wstring& prompt, AcGePoint3d& p, bool enterAllowed = false,
               const std::wstring& keywords = {}, std::wstring* kw = nullptr, const AcGePoint3d* base = nullptr)
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
    // A real; Enter gives the default when there is one.
    double real(const std::wstring& prompt, const double* defaultValue, bool nonZero = false)
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
    // One of the keywords (or Enter, giving the empty string, when allowed).
    std::wstring choice(const std::wstring& prompt, const std::wstring& keywords, bool enterAllowed)
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
    // Text to the line end.
    std::wstring text(const std::wstring& prompt)
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

    // Objects chosen at "选择对象:" until Enter: entity names, picks,
    // selection sets, points (the entity under the pick box), "W" and "C"
    // windows, "L" the last entity, "P" the previous selection, "ALL".
    AcDbObjectIdArray objects(const std::wstring& prompt = L"\n选择对象: ")
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
                for (const AcDbObjectId& s : workingDb()->modelSpace()->entityIds())
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

    static AcDbObjectIdArray& previous()
    {
        static AcDbObjectIdArray ids;
        return ids;
    }

private:
    CommandInput& m_in;
};

AcDbBlockTableRecord* currentSpace()
{
    AcDbBlockTableRecord* ms = workingDb()->modelSpace();
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

// ---------------------------------------------------------------- PLINE

// The drawing's current polyline width ($PLINEWID): what PLINE starts with
// and what its width option set last.
double currentPlineWidth()
{
    const std::string text = workingDb()->headerString("$PLINEWID");
    double w = 0.0;
    return parseNumber(text, w) && w >= 0 ? w : 0.0;
}

void setCurrentPlineWidth(double w)
{
    if (w != currentPlineWidth())
        workingDb()->setHeaderVar("$PLINEWID", 40, exactText(w));
}

int cmdPline(Replies& r)
{
    const double width = currentPlineWidth();
    AcGePoint3d start;
    if (!r.point(L"\n指定起点: ", start, true))
        return RTNORM;
    r.note(L"\n当前线宽为 " + formatReal(width));
    struct Vertex {
        AcGePoint3d p;
        double w0, w1;
    };
    std::vector<Vertex> verts{{start, width, width}};
    double startWidth = width, endWidth = width;
    bool closed = false;
    const std::wstring kws = L"Width Halfwidth Close Undo";
    while (true) {
        std::wstring kw;
        AcGePoint3d p;
        const AcGePoint3d last = verts.back().p;
        const std::wstring prompt = verts.size() < 2 ? L"\n指定下一个点或 [半宽(H)/宽度(W)]: "
                                                     : L"\n指定下一点或 [闭合(C)/半宽(H)/放弃(U)/宽度(W)]: ";
        if (!r.point(prompt, p, true, kws, &kw, &last))
            break;
        if (kw == L"Width" || kw == L"Halfwidth") {
            const double f = kw == L"Width" ? 1.0 : 2.0;
            const std::wstring what = kw == L"Width" ? L"宽度" : L"半宽";
            double d0 = startWidth / f;
            const double s = r.real(L"\n指定起点" + what + L" <" + formatReal(d0) + L">: ", &d0);
            if (s < 0) {
                r.reject(L"\n值必须为正。\n");
                continue;
            }
            double d1 = s;
            const double e = r.real(L"\n指定端点" + what + L" <" + formatReal(d1) + L">: ", &d1);
            if (e < 0) {
                r.reject(L"\n值必须为正。\n");
                continue;
            }
            startWidth = s * f;
            endWidth = e * f;
            setCurrentPlineWidth(endWidth);
            continue;
        }
        if (kw == L"Close") {
            if (verts.size() < 2) {
                r.reject(L"\n无法闭合：顶点不足。\n");
                continue;
            }
            verts.back().w0 = startWidth;
            verts.back().w1 = endWidth;
            closed = true;
            break;
        }
        if (kw == L"Undo") {
            if (verts.size() > 1)
                verts.pop_back();
            continue;
        }
        // The segment to this point takes the current widths.
        verts.back().w0 = startWidth;
        verts.back().w1 = endWidth;
        verts.push_back({p, endWidth, endWidth});
        startWidth = endWidth;
        setLastPoint(p);
    }
    if (verts.size() < 2)
        return RTNORM;
    auto* pl = new AcDbPolyline(static_cast<unsigned>(verts.size()));
    bool constant = true;
    const std::size_t segments = closed ? verts.size() : verts.size() - 1;
    for (std::size_t i = 0; i < segments; ++i)
        if (verts[i].w0 != verts[0].w0 || verts[i].w1 != verts[0].w0)
            constant = false;
    for (std::size_t i = 0; i < verts.size(); ++i) {
        if (constant)
            pl->addVertexAt(static_cast<unsigned>(i), AcGePoint2d(verts[i].p.x, verts[i].p.y));
        else
            pl->addVertexAt(static_cast<unsigned>(i), AcGePoint2d(verts[i].p.x, verts[i].p.y), 0.0, verts[i].w0,
                            i < segments ? verts[i].w1 : verts[i].w0);
    }
    if (constant)
        pl->setConstantWidth(verts[0].w0);
    pl->setClosed(closed);
    pl->setElevation(start.z);
    addToCurrentSpace(pl);
    return RTNORM;
}

// ---------------------------------------------------------------- INSERT

std::string fileStem(const std::string& path)
{
    std::string p = path;
    const std::size_t slash = p.find_last_of("/\\");
    if (slash != std::string::npos)
        p = p.substr(slash + 1);
    const std::size_t dot = p.rfind('.');
    return dot == std::string::npos ? p : p.substr(0, dot);
}

AcDbSymbolTableRecord* recordOf(const AcDbObjectId& id)
{
    return id.isValid() ? dynamic_cast<AcDbSymbolTableRecord*>(id.stub()->object.get()) : nullptr;
}

// Copies the definitions a drawing's entities need into another drawing:
// layers, linetypes, application names and nested blocks (by name; what the
// target has already is kept).
class DefinitionCopier {
public:
    DefinitionCopier(const AcDbDatabase& src, AcDbDatabase& dst) : m_src(src), m_dst(dst) {}

    void copyTableRecord(const char* table, const std::string& name)
    {
        AcDbSymbolTable* dt = m_dst.table(table);
        AcDbSymbolTable* st = m_src.table(table);
        if (!dt || !st || name.empty() || dt->has(name))
            return;
        AcDbSymbolTableRecord* rec = recordOf(st->getAt(name));
        if (!rec)
            return;
        auto copy = rec->cloneObject();
        AcDbObjectId id;
        if (m_dst.addSymbolTableRecord(id, static_cast<AcDbSymbolTableRecord*>(copy.get())) == Acad::eOk)
            copy.release();
    }

    // The target's block of that name, defined from the source's block or
    // entity list when missing.
    AcDbObjectId block(const std::string& name, const AcDbObjectIdArray& entities, const AcGePoint3d& base,
                       int depth = 0)
    {
        if (AcDbBlockTableRecord* have = m_dst.blockRecord(name))
            return have->objectId();
        if (depth > 32)
            return {};
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(name);
        rec->setOrigin(base);
        AcDbObjectId recId;
        if (m_dst.addBlockTableRecord(recId, rec) != Acad::eOk) {
            delete rec;
            return {};
        }
        for (const AcDbObjectId& id : entities) {
            const AcDbEntity* e = liveEntity(id);
            if (!e)
                continue;
            std::unique_ptr<AcDbObject> copy = e->cloneObject();
            auto* ce = static_cast<AcDbEntity*>(copy.get());
            copyTableRecord("LAYER", ce->layerName());
            if (const AcDbLayerTableRecord* layer
                = dynamic_cast<const AcDbLayerTableRecord*>(recordOf(m_src.table("LAYER")->getAt(ce->layerName()))))
                copyTableRecord("LTYPE", layer->linetypeName());
            copyTableRecord("LTYPE", ce->linetypeName());
            for (const AcDbXGroup& g : ce->xdataGroups())
                m_dst.registerApp(g.app);
            if (auto* ref = dynamic_cast<AcDbBlockReference*>(ce)) {
                const AcDbBlockTableRecord* nested = m_src.blockRecord(ref->blockName());
                const AcDbObjectId target
                    = nested ? block(nested->name(), nested->entityIds(), nested->origin(), depth + 1) : AcDbObjectId();
                if (target.isNull())
                    continue;
                ref->setBlockTableRecord(target);
            }
            AcDbObjectId added;
            if (static_cast<AcDbBlockTableRecord*>(recId.stub()->object.get())->appendAcDbEntity(added, ce)
                == Acad::eOk)
                copy.release();
        }
        return recId;
    }

private:
    const AcDbDatabase& m_src;
    AcDbDatabase& m_dst;
};

AcGePoint3d insertionBase(const AcDbDatabase& db)
{
    AcGePoint3d p;
    if (const AcDbHeaderVar* v = db.headerVar("$INSBASE"))
        for (const AcDbDxfTag& t : v->tags) {
            const double d = std::atof(t.value.c_str());
            if (t.code == 10)
                p.x = d;
            else if (t.code == 20)
                p.y = d;
            else if (t.code == 30)
                p.z = d;
        }
    return p;
}

// The block a name or a drawing file gives; a drawing defines its block
// (named after the file) on first use.
AcDbObjectId blockForInsert(const std::wstring& text)
{
    AcDbDatabase* db = workingDb();
    const std::string name = wideToUtf8(text);
    if (AcDbBlockTableRecord* rec = db->blockRecord(name); rec && !rec->isLayout())
        return rec->objectId();
    std::wstring file = text;
    if (file.size() < 4 || upperAscii(wideToUtf8(file.substr(file.size() - 4))) != ".DWG")
        if (upperAscii(wideToUtf8(file.substr(file.size() >= 4 ? file.size() - 4 : 0))) != ".DXF")
            file += L".dwg";
    ACHAR found[1024];
    if (acedFindFile(file.c_str(), found, 1024) != RTNORM) {
        message(L"\n找不到块或图形文件“" + text + L"”。\n");
        throw CommandEnd{RTERROR};
    }
    const std::string blockName = fileStem(wideToUtf8(text));
    if (AcDbBlockTableRecord* rec = db->blockRecord(blockName))
        return rec->objectId();
    AcDbDatabase src(false, true);
    if (src.readDwgFile(found) != Acad::eOk) {
        message(L"\n无法读取图形文件: " + src.lastError() + L"\n");
        throw CommandEnd{RTERROR};
    }
    DefinitionCopier copier(src, *db);
    const AcDbObjectId id = copier.block(blockName, src.modelSpace()->entityIds(), insertionBase(src));
    if (id.isNull()) {
        message(L"\n无法定义块“" + utf8ToWide(blockName) + L"”。\n");
        throw CommandEnd{RTERROR};
    }
    return id;
}

int cmdInsert(Replies& r)
{
    std::wstring name = r.text(L"\n输入块名: ");
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    if (name.empty())
        return RTNORM;
    const AcDbObjectId block = blockForInsert(name);
    AcGePoint3d at;
    r.point(L"\n指定插入点: ", at);
    const double one = 1.0;
    const double sx = r.real(L"\n输入 X 比例因子 <1>: ", &one, true);
    const double sy = r.real(L"\n输入 Y 比例因子或 <使用 X 比例因子>: ", &sx, true);
    const double zero = 0.0;
    const double angle = r.real(L"\n指定旋转角度 <0>: ", &zero);
    auto* ref = new AcDbBlockReference(at, block);
    ref->setScaleFactors(AcGeScale3d(sx, sy, sx));
    ref->setRotation(angle * kPi / 180.0);
    addToCurrentSpace(ref);
    return RTNORM;
}

// ---------------------------------------------------------------- MOVE, MIRROR, ERASE

AcDbObjectIdArray chosenObjects(Replies& r)
{
    AcDbObjectIdArray ids = r.objects();
    if (ids.empty()) {
        message(L"\n未选择对象。\n");
        throw CommandEnd{RTERROR};
    }
    return ids;
}

int cmdMove(Replies& r)
{
    const AcDbObjectIdArray ids = chosenObjects(r);
    AcGePoint3d base, to;
    r.point(L"\n指定基点或 [位移(D)] <位移>: ", base);
    AcGeVector3d d;
    if (r.point(L"\n指定第二个点或 <使用第一个点作为位移>: ", to, true, {}, nullptr, &base))
        d = to - base;
    else
        d = base - AcGePoint3d::kOrigin;
    transformAll(ids, AcGeMatrix3d::translation(d));
    return RTNORM;
}

int cmdMirror(Replies& r)
{
    const AcDbObjectIdArray ids = chosenObjects(r);
    AcGePoint3d p1, p2;
    r.point(L"\n指定镜像线的第一点: ", p1);
    r.point(L"\n指定镜像线的第二点: ", p2, false, {}, nullptr, &p1);
    if (p1.distanceTo(p2) <= 0.0) {
        message(L"\n镜像线的两点不能重合。\n");
        throw CommandEnd{RTERROR};
    }
    const std::wstring erase = r.choice(L"\n要删除源对象吗？[是(Y)/否(N)] <否>: ", L"Yes No", true);
    const AcGeMatrix3d m = AcGeMatrix3d::mirroring(p1, p2);
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* e = liveEntity(id);
        if (!e)
            continue;
        std::unique_ptr<AcDbObject> copy = e->cloneObject();
        auto* ce = static_cast<AcDbEntity*>(copy.get());
        if (ce->transformBy(m) != Acad::eOk) {
            message(L"\n无法镜像对象。\n");
            throw CommandEnd{RTERROR};
        }
        AcDbObjectId added;
        auto* owner = static_cast<AcDbBlockTableRecord*>(id.stub()->owner->object.get());
        if (owner->appendAcDbEntity(added, ce) == Acad::eOk)
            copy.release();
    }
    if (erase == L"Yes")
        for (const AcDbObjectId& id : ids)
            if (AcDbEntity* e = liveEntity(id))
                e->erase();
    return RTNORM;
}

int cmdErase(Replies& r)
{
    for (const AcDbObjectId& id : r.objects())
        if (AcDbEntity* e = liveEntity(id))
            e->erase();
    return RTNORM;
}

// ---------------------------------------------------------------- TEXT

struct Justification {
    const wchar_t* keyword;
    AcDb::TextHorzMode h;
    AcDb::TextVertMode v;
    const wchar_t* prompt;
};

const Justification kJustifications[] = {
    {L"Left", AcDb::kTextLeft, AcDb::kTextBase, L"\n指定文字基线的左端点: "},
    {L"Center", AcDb::kTextCenter, AcDb::kTextBase, L"\n指定文字的中心点: "},
    {L"Right", AcDb::kTextRight, AcDb::kTextBase, L"\n指定文字基线的右端点: "},
    {L"Middle", AcDb::kTextMid, AcDb::kTextBase, L"\n指定文字的中间点: "},
    {L"TL", AcDb::kTextLeft, AcDb::kTextTop, L"\n指定文字的左上点: "},
    {L"TC", AcDb::kTextCenter, AcDb::kTextTop, L"\n指定文字的中上点: "},
    {L"TR", AcDb::kTextRight, AcDb::kTextTop, L"\n指定文字的右上点: "},
    {L"ML", AcDb::kTextLeft, AcDb::kTextVertMid, L"\n指定文字的左中点: "},
    {L"MC", AcDb::kTextCenter, AcDb::kTextVertMid, L"\n指定文字的中间点: "},
    {L"MR", AcDb::kTextRight, AcDb::kTextVertMid, L"\n指定文字的右中点: "},
    {L"BL", AcDb::kTextLeft, AcDb::kTextBottom, L"\n指定文字的左下点: "},
    {L"BC", AcDb::kTextCenter, AcDb::kTextBottom, L"\n指定文字的中下点: "},
    {L"BR", AcDb::kTextRight, AcDb::kTextBottom, L"\n指定文字的右下点: "},
};

int cmdText(Replies& r)
{
    const Justification* just = &kJustifications[0];
    AcGePoint3d at;
    std::wstring kw;
    r.point(L"\n指定文字的起点或 [对正(J)]: ", at, false, L"Justify", &kw);
    if (kw == L"Justify") {
        std::wstring list;
        for (const Justification& j : kJustifications)
            list += std::wstring(j.keyword) + L" ";
        const std::wstring choice = r.choice(
            L"\n输入选项 [左(L)/居中(C)/右(R)/中间(M)/左上(TL)/中上(TC)/右上(TR)/左中(ML)/正中(MC)/右中(MR)/左下(BL)/中下(BC)/右下(BR)]: ",
            list, false);
        for (const Justification& j : kJustifications)
            if (choice == j.keyword)
                just = &j;
        r.point(just->prompt, at);
    }
    double size = 2.5;
    const std::string h = workingDb()->headerString("$TEXTSIZE");
    if (!h.empty())
        size = std::atof(h.c_str());
    double height = 0;
    while ((height = r.real(L"\n指定高度 <" + formatReal(size) + L">: ", &size)) <= 0)
        r.reject(L"\n值必须为正且非零。\n");
    const double zero = 0.0;
    const double angle = r.real(L"\n指定文字的旋转角度 <0>: ", &zero);
    const std::wstring text = r.text(L"\n输入文字: ");
    if (text.empty())
        return RTNORM;
    auto* t = new AcDbText(at, text.c_str(), height, angle * kPi / 180.0);
    if (just->h != AcDb::kTextLeft || just->v != AcDb::kTextBase) {
        t->setHorizontalMode(just->h);
        t->setVerticalMode(just->v);
        t->setAlignmentPoint(at);
    }
    addToCurrentSpace(t);
    return RTNORM;
}

// ---------------------------------------------------------------- TRIM

struct Segment {
    AcGePoint2d a, b;
};

// The straight segments of a cutting edge in world coordinates.
void edgeSegments(const AcDbEntity& e, std::vector<Segment>& out)
{
    if (auto* l = dynamic_cast<const AcDbLine*>(&e)) {
        out.push_back({{l->startPoint().x, l->startPoint().y}, {l->endPoint().x, l->endPoint().y}});
    } else if (auto* pl = dynamic_cast<const AcDbPolyline*>(&e)) {
        const unsigned n = pl->numVerts();
        const unsigned segs = pl->isClosed() ? n : (n > 0 ? n - 1 : 0);
        for (unsigned i = 0; i < segs; ++i) {
            AcGePoint2d a, b;
            pl->getPointAt(i, a);
            pl->getPointAt((i + 1) % n, b);
            out.push_back({a, b});
        }
    }
}

// Parameter t along segment p->q where it meets segment e (0..1 both), or
// false.
bool crossing(const AcGePoint2d& p, const AcGePoint2d& q, const Segment& e, double& t)
{
    const double rx = q.x - p.x, ry = q.y - p.y;
    const double sx = e.b.x - e.a.x, sy = e.b.y - e.a.y;
    const double den = rx * sy - ry * sx;
    const double scale = std::max({std::fabs(rx), std::fabs(ry), std::fabs(sx), std::fabs(sy), 1e-12});
    if (std::fabs(den) <= 1e-12 * scale * scale)
        return false;
    const double qx = e.a.x - p.x, qy = e.a.y - p.y;
    t = (qx * sy - qy * sx) / den;
    const double u = (qx * ry - qy * rx) / den;
    const double eps = 1e-9;
    return t >= -eps && t <= 1 + eps && u >= -eps && u <= 1 + eps;
}

// A polyline's path as vertices with per-segment widths; parameters run
// from 0 at the first vertex, one unit per segment.
struct Path {
    std::vector<AcGePoint2d> pts;
    std::vector<std::pair<double, double>> widths;
    bool closed = false;
    unsigned segments() const { return static_cast<unsigned>(closed ? pts.size() : pts.size() - 1); }
    AcGePoint2d at(double t) const
    {
        const unsigned i = std::min(static_cast<unsigned>(t), segments() - 1);
        const double f = t - i;
        const AcGePoint2d& a = pts[i];
        const AcGePoint2d& b = pts[(i + 1) % pts.size()];
        return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
    }
    // end: t ends a piece, so at a vertex the segment before it counts.
    double widthAt(double t, bool end) const
    {
        unsigned i = std::min(static_cast<unsigned>(t), segments() - 1);
        if (end && i > 0 && t == i)
            --i;
        const double f = t - i;
        const auto [w0, w1] = widths[i];
        return w0 + (w1 - w0) * f;
    }
};

bool readPath(const AcDbEntity& e, Path& path)
{
    if (auto* l = dynamic_cast<const AcDbLine*>(&e)) {
        path.pts = {{l->startPoint().x, l->startPoint().y}, {l->endPoint().x, l->endPoint().y}};
        path.widths = {{0, 0}};
        return true;
    }
    auto* pl = dynamic_cast<const AcDbPolyline*>(&e);
    if (!pl || pl->hasBulges() || pl->numVerts() < 2)
        return false;
    for (unsigned i = 0; i < pl->numVerts(); ++i) {
        AcGePoint2d p;
        pl->getPointAt(i, p);
        double w0 = 0, w1 = 0;
        pl->getWidthsAt(i, w0, w1);
        path.pts.push_back(p);
        path.widths.emplace_back(w0, w1);
    }
    path.closed = pl->isClosed();
    return true;
}

// The part of the path from parameter t0 to t1 (t1 < t0 wraps round a
// closed path) as polyline vertices.
void subPath(const Path& path, double t0, double t1, std::vector<AcGePoint2d>& pts,
             std::vector<std::pair<double, double>>& widths)
{
    const double total = path.segments();
    if (t1 < t0)
        t1 += total;
    // Only a closed path wraps round to its first vertex.
    auto param = [&](double t) { return path.closed && t >= total ? t - total : t; };
    pts.push_back(path.at(param(t0)));
    double t = t0;
    while (true) {
        const double next = std::floor(t + 1e-12) + 1.0;
        const double stop = std::min(next, t1);
        // The piece's end at the path's end stays there (widthAt takes the
        // segment before it).
        const double a = param(t), b = stop > total ? param(stop) : stop;
        widths.emplace_back(path.widthAt(a, false), path.widthAt(b >= a ? b : total - 1e-12, true));
        pts.push_back(stop == next && param(stop) < total ? path.pts[static_cast<std::size_t>(param(stop)) % path.pts.size()]
                                                           : path.at(param(stop)));
        if (stop >= t1)
            break;
        t = stop;
    }
    widths.emplace_back(widths.back().second, widths.back().second);
}

void setPathVertices(AcDbPolyline& pl, const std::vector<AcGePoint2d>& pts,
                     const std::vector<std::pair<double, double>>& widths, bool constant, double constWidth)
{
    while (pl.numVerts() > 0)
        pl.removeVertexAt(pl.numVerts() - 1);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (constant)
            pl.addVertexAt(static_cast<unsigned>(i), pts[i]);
        else
            pl.addVertexAt(static_cast<unsigned>(i), pts[i], 0.0, widths[i].first, widths[i].second);
    }
    pl.setClosed(false);
    if (constant)
        pl.setConstantWidth(constWidth);
}

// Cuts the piece of an entity that holds the pick point between the
// nearest crossings with the edges. False when nothing could be cut.
bool trimAt(const Replies& r, const AcDbObjectId& id, const AcGePoint3d& pick, const std::vector<Segment>& edges,
            const AcDbObjectIdArray& edgeIds)
{
    AcDbEntity* e = liveEntity(id);
    Path path;
    if (!e || !readPath(*e, path)) {
        r.note(L"\n无法修剪该对象。\n");
        return false;
    }
    // Parameter of the pick point: the nearest point of the path.
    double tp = 0, best = 1e300;
    for (unsigned i = 0; i < path.segments(); ++i) {
        const AcGePoint2d& a = path.pts[i];
        const AcGePoint2d& b = path.pts[(i + 1) % path.pts.size()];
        const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        double f = len2 > 0 ? ((pick.x - a.x) * dx + (pick.y - a.y) * dy) / len2 : 0.0;
        f = std::clamp(f, 0.0, 1.0);
        const double d = std::hypot(pick.x - (a.x + f * dx), pick.y - (a.y + f * dy));
        if (d < best) {
            best = d;
            tp = i + f;
        }
    }
    // Crossings with the cutting edges (an edge does not cut itself).
    std::vector<double> ts;
    const bool selfIsEdge = edgeIds.contains(id);
    for (unsigned i = 0; i < path.segments(); ++i)
        for (const Segment& s : edges) {
            double t;
            if (crossing(path.pts[i], path.pts[(i + 1) % path.pts.size()], s, t))
                ts.push_back(i + std::clamp(t, 0.0, 1.0));
        }
    (void)selfIsEdge;
    const double eps = 1e-9;
    double lo = -1, hi = -1;
    for (double t : ts) {
        if (t < tp - eps && t > eps && (lo < 0 || t > lo))
            lo = t;
        if (t > tp + eps && t < path.segments() - eps && (hi < 0 || t < hi))
            hi = t;
    }
    const double total = path.segments();
    if (path.closed) {
        // Round the path: the nearest crossings on either side, wrapping.
        if (ts.size() < 2) {
            r.note(L"\n对象未与剪切边相交。\n");
            return false;
        }
        std::sort(ts.begin(), ts.end());
        lo = -1;
        hi = -1;
        for (double t : ts) {
            if (t <= tp)
                lo = t;
            if (t > tp && hi < 0)
                hi = t;
        }
        if (lo < 0)
            lo = ts.back();
        if (hi < 0)
            hi = ts.front();
    } else if (lo < 0 && hi < 0) {
        r.note(L"\n对象未与剪切边相交。\n");
        return false;
    }
    auto* pl = dynamic_cast<AcDbPolyline*>(e);
    double constWidth = 0;
    const bool constant = !pl || (!pl->hasVertexWidths() && pl->getConstantWidth(constWidth) == Acad::eOk);
    if (!pl) {
        // A line keeps its id for the first piece; the second is a copy.
        auto* line = static_cast<AcDbLine*>(e);
        AcDbEntity* w = nullptr;
        if (acdbOpenAcDbEntity(w, id, AcDb::kForWrite) != Acad::eOk)
            return false;
        const AcGePoint2d a = path.at(lo < 0 ? hi : 0), b = path.at(lo < 0 ? total : lo);
        if (lo >= 0 && hi >= 0) {
            std::unique_ptr<AcDbObject> copy = line->cloneObject();
            auto* second = static_cast<AcDbLine*>(copy.get());
            const AcGePoint2d c = path.at(hi);
            second->setStartPoint(AcGePoint3d(c.x, c.y, line->startPoint().z));
            AcDbObjectId added;
            if (static_cast<AcDbBlockTableRecord*>(id.stub()->owner->object.get())->appendAcDbEntity(added, second)
                == Acad::eOk)
                copy.release();
        }
        line->setStartPoint(AcGePoint3d(a.x, a.y, line->startPoint().z));
        line->setEndPoint(AcGePoint3d(b.x, b.y, line->endPoint().z));
        w->close();
        return true;
    }
    std::vector<AcGePoint2d> pts1, pts2;
    std::vector<std::pair<double, double>> w1, w2;
    AcDbEntity* w = nullptr;
    if (acdbOpenAcDbEntity(w, id, AcDb::kForWrite) != Acad::eOk)
        return false;
    if (path.closed) {
        subPath(path, hi, lo, pts1, w1);
        setPathVertices(*pl, pts1, w1, constant, constWidth);
    } else if (lo >= 0 && hi >= 0) {
        subPath(path, 0, lo, pts1, w1);
        subPath(path, hi, total, pts2, w2);
        std::unique_ptr<AcDbObject> copy = pl->cloneObject();
        auto* second = static_cast<AcDbPolyline*>(copy.get());
        setPathVertices(*second, pts2, w2, constant, constWidth);
        setPathVertices(*pl, pts1, w1, constant, constWidth);
        AcDbObjectId added;
        if (static_cast<AcDbBlockTableRecord*>(id.stub()->owner->object.get())->appendAcDbEntity(added, second)
            == Acad::eOk)
            copy.release();
    } else if (lo >= 0) {
        subPath(path, 0, lo, pts1, w1);
        setPathVertices(*pl, pts1, w1, constant, constWidth);
    } else {
        subPath(path, hi, total, pts1, w1);
        setPathVertices(*pl, pts1, w1, constant, constWidth);
    }
    w->close();
    return true;
}

int cmdTrim(Replies& r)
{
    r.note(L"\n选择剪切边...");
    AcDbObjectIdArray edgeIds = r.objects(L"\n选择对象或 <全部选择>: ");
    if (edgeIds.empty())
        for (const AcDbObjectId& id : currentSpace()->entityIds())
            if (liveEntity(id))
                edgeIds.append(id);
    std::vector<Segment> edges;
    for (const AcDbObjectId& id : edgeIds)
        if (const AcDbEntity* e = liveEntity(id))
            edgeSegments(*e, edges);
    while (true) {
        const AcCmdArg a = r.next(L"\n选择要修剪的对象或 [放弃(U)]: ");
        if (Replies::isEnter(a))
            break;
        AcDbObjectId id;
        AcGePoint3d p;
        if (a.kind == AcCmdArg::Kind::Pick) {
            if (acdbGetObjectId(id, a.name) != Acad::eOk || !liveEntity(id)) {
                r.reject(L"\n对象无效。\n");
                continue;
            }
            p = AcGePoint3d(a.point[0], a.point[1], a.point[2]);
        } else if (Replies::asPoint(a, p)) {
            id = pickEntity(p);
            if (id.isNull()) {
                r.reject(L"\n未找到对象。\n");
                continue;
            }
        } else {
            r.reject(L"\n需要选择要修剪的对象。\n");
            continue;
        }
        trimAt(r, id, p, edges, edgeIds);
    }
    return RTNORM;
}

// ---------------------------------------------------------------- ZOOM, COLOR, UNDO, REDRAW

void zoomWindow(const AcGePoint3d& a, const AcGePoint3d& b)
{
    resbuf screen{};
    double aspect = 4.0 / 3.0;
    if (acedGetVar(L"SCREENSIZE", &screen) == RTNORM && screen.resval.rpoint[1] > 0)
        aspect = screen.resval.rpoint[0] / screen.resval.rpoint[1];
    const double w = std::fabs(a.x - b.x), h = std::fabs(a.y - b.y);
    double size = std::max(h, w / aspect);
    if (!(size > 0))
        size = 1.0;
    resbuf ctr{};
    ctr.restype = RT3DPOINT;
    ctr.resval.rpoint[0] = (a.x + b.x) / 2;
    ctr.resval.rpoint[1] = (a.y + b.y) / 2;
    AcApDocument* doc = acDocManager->curDocument();
    if (!doc)
        throw CommandEnd{RTERROR};
    // The view is the editor's state: VIEWCTR and VIEWSIZE report it.
    doc->sysvars()["VIEWCTR"] = ctr;
    doc->sysvars()["VIEWSIZE"].resval.rreal = size;
}

int cmdZoom(Replies& r)
{
    AcGePoint3d p1, p2;
    std::wstring kw;
    r.point(L"\n指定窗口的角点，输入比例因子 (nX 或 nXP)，或者 [范围(E)/窗口(W)]: ", p1, false, L"Extents Window",
            &kw);
    if (kw == L"Extents") {
        AcDbExtents all;
        for (const AcDbObjectId& id : currentSpace()->entityIds())
            if (const AcDbEntity* e = liveEntity(id)) {
                AcDbExtents ext;
                if (e->getGeomExtents(ext) == Acad::eOk)
                    all.addExt(ext);
            }
        if (all.isValid())
            zoomWindow(all.minPoint(), all.maxPoint());
        return RTNORM;
    }
    if (kw == L"Window")
        r.point(L"\n指定第一个角点: ", p1);
    r.point(L"\n指定对角点: ", p2);
    zoomWindow(p1, p2);
    return RTNORM;
}

int colorNumber(const std::wstring& text)
{
    static const std::pair<const char*, int> names[] = {{"BYLAYER", 256}, {"BYBLOCK", 0}, {"RED", 1},
                                                        {"YELLOW", 2},    {"GREEN", 3},   {"CYAN", 4},
                                                        {"BLUE", 5},      {"MAGENTA", 6}, {"WHITE", 7}};
    const std::string t = upperAscii(wideToUtf8(text));
    for (const auto& [n, c] : names)
        if (t == n)
            return c;
    double v;
    if (parseNumber(t, v) && v == std::floor(v) && v >= 1 && v <= 255)
        return static_cast<int>(v);
    return -1;
}

int cmdColor(Replies& r)
{
    while (true) {
        const AcCmdArg a = r.next(L"\n输入默认对象颜色 [随层(BYLAYER)/随块(BYBLOCK)] <BYLAYER>: ");
        int c = -1;
        if (Replies::isEnter(a))
            return RTNORM;
        if (a.kind == AcCmdArg::Kind::Int)
            c = a.integer >= 1 && a.integer <= 255 ? a.integer : -1;
        else if (a.kind == AcCmdArg::Kind::String)
            c = colorNumber(a.text);
        if (c < 0) {
            r.reject(L"\n颜色无效。\n");
            continue;
        }
        workingDb()->setHeaderVar("$CECOLOR", 62, std::to_string(c));
        return RTNORM;
    }
}

void undoGroups(const Replies& r, int count)
{
    AcDbUndoJournal& j = workingDb()->undoJournal();
    int done = 0;
    for (int i = 0; i < count && j.undoGroup(); ++i)
        ++done;
    if (done == 0)
        r.note(L"\n没有可放弃的操作。\n");
    else
        r.note(L"\n已放弃 " + std::to_wstring(done) + L" 组操作。\n");
}

int cmdUndo(Replies& r)
{
    while (true) {
        const AcCmdArg a = r.next(L"\n输入要放弃的操作数目或 [开始(BE)/结束(E)] <1>: ");
        if (Replies::isEnter(a)) {
            undoGroups(r, 1);
            return RTNORM;
        }
        const std::wstring kw = Replies::keyword(a, L"BEgin End");
        if (kw == L"BEgin") {
            workingDb()->undoJournal().beginExplicit();
            return RTNORM;
        }
        if (kw == L"End") {
            workingDb()->undoJournal().endExplicit();
            return RTNORM;
        }
        double n = 0;
        if (Replies::asReal(a, n) && n == std::floor(n) && n >= 1 && n <= 1e6) {
            undoGroups(r, static_cast<int>(n));
            return RTNORM;
        }
        r.reject(L"\n需要正整数或选项关键字。\n");
    }
}

int cmdU(Replies& r)
{
    undoGroups(r, 1);
    return RTNORM;
}

int cmdRedraw(Replies&)
{
    clearTemporaryGraphics();
    return RTNORM;
}

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
    {"U", cmdU, false},        {"REDRAW", cmdRedraw, false},
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
    AcDbUndoJournal& journal = db->undoJournal();
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

std::string acdbHostPathOf(const ACHAR* fileName);

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
