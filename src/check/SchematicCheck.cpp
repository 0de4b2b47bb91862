#include "check/SchematicCheck.h"

#include "components/NorvexGloFunc.h"
#include "components/TalvoDataBase.h"
#include "grid/PrinPicGrid.h"
#include "host/aced.h"
#include "host/dbmain.h"
#include "schematic/SchematicEntries.h"
#include "statistics/EquipmentStatistics.h"
#include "statistics/ProjectReading.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <utility>

namespace {

// How far a wire end may lie from what it ends on.
constexpr double kTol = 0.1;

std::string lowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::wstring trimmed(const std::wstring& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && std::iswspace(s[a]))
        ++a;
    while (b > a && std::iswspace(s[b - 1]))
        --b;
    return s.substr(a, b - a);
}

std::wstring handleText(const AcDbObjectId& id)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%llX", static_cast<unsigned long long>(id.handle()));
    return text;
}

// One application's extended data of an open entity.
struct Xdata {
    bool present = false;
    const resbuf* first = nullptr; // the item after the application name
    resbuf* chain = nullptr;
    Xdata(const AcDbObject& o, const ACHAR* app) : chain(o.xData(app))
    {
        present = chain != nullptr;
        first = chain ? chain->rbnext : nullptr;
    }
    ~Xdata() { acutRelRb(chain); }
    Xdata(const Xdata&) = delete;
    Xdata& operator=(const Xdata&) = delete;
    // The first text outside "{" "}" pairs; false when there is none.
    bool text(std::wstring& out) const
    {
        bool inside = false;
        for (const resbuf* rb = first; rb; rb = rb->rbnext) {
            if (rb->restype == 1002) {
                inside = !inside;
            } else if (rb->restype == 1000 && !inside) {
                out = rb->resval.rstring ? rb->resval.rstring : L"";
                return true;
            }
        }
        return false;
    }
};

// An entity of a schematic.
struct Member {
    AcDbObjectId id;
    bool symbol = false;   // a block reference (else a wire)
    bool terminal = false; // a multi-cell device (terminal block, switch)
    std::wstring parameters;
    bool parametersRead = false;
    SchematicParameters values;
    double blockScale = 1.0;
};

struct Schematic {
    AcGePoint3d idPoint;
    std::vector<Member> members;
};

// Boxes filed by the squares of a uniform grid they touch: what lies near
// a point is found without walking a whole schematic.
class BoxIndex {
public:
    explicit BoxIndex(double square) : m_square(square > 0 && std::isfinite(square) ? square : 10.0) {}
    void add(const AcDbExtents& box, int item)
    {
        m_boxes.push_back(box);
        const auto [x0, y0] = key(box.minPoint());
        const auto [x1, y1] = key(box.maxPoint());
        if ((x1 - x0 + 1) * (y1 - y0 + 1) > 256) {
            m_large.push_back(item);
            return;
        }
        for (long long x = x0; x <= x1; ++x)
            for (long long y = y0; y <= y1; ++y)
                m_cells[pack(x, y)].push_back(item);
    }
    // Calls f(item) for every item whose box may hold the point.
    template <class F> void near(const AcGePoint3d& p, F&& f) const
    {
        const auto [x, y] = key(p);
        if (auto it = m_cells.find(pack(x, y)); it != m_cells.end())
            for (int item : it->second)
                f(item);
        for (int item : m_large)
            f(item);
    }

private:
    std::pair<long long, long long> key(const AcGePoint3d& p) const
    {
        const auto k = [&](double v) {
            const double q = std::floor(v / m_square);
            return static_cast<long long>(std::clamp(q, -1e15, 1e15));
        };
        return {k(p.x), k(p.y)};
    }
    static unsigned long long pack(long long x, long long y)
    {
        return (static_cast<unsigned long long>(x) * 0x9E3779B97F4A7C15ull) ^ static_cast<unsigned long long>(y);
    }
    double m_square;
    std::vector<AcDbExtents> m_boxes;
    std::unordered_map<unsigned long long, std::vector<int>> m_cells;
    std::vector<int> m_large;
};

double distanceToSegment(const AcGePoint3d& p, const AcGePoint3d& a, const AcGePoint3d& b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

AcDbExtents widened(const AcDbExtents& e, double by)
{
    return AcDbExtents(AcGePoint3d(e.minPoint().x - by, e.minPoint().y - by, 0),
                       AcGePoint3d(e.maxPoint().x + by, e.maxPoint().y + by, 0));
}

bool holds(const AcDbExtents& e, const AcGePoint3d& p)
{
    return p.x >= e.minPoint().x && p.x <= e.maxPoint().x && p.y >= e.minPoint().y && p.y <= e.maxPoint().y;
}

// The cell zone (link false) or link zone (link true) of the grid holding
// the point, from the zone arithmetic alone: a schematic has thousands of
// cells, and a scan of them per loose entity would cost more than the
// whole recognition. False when no zone holds it.
bool locate(const CPrinPicGrid& grid, const AcGePoint3d& p, bool link, int& s, int& c)
{
    const bool column = grid.IsColumnArrangement();
    const double stringPitch = grid.GetStringPitch(), cellPitch = grid.GetCellPitch();
    if (!(stringPitch > 0) || !(cellPitch > 0))
        return false;
    const AcGePoint3d base = grid.GetBasePoint();
    // Strings from the base point, cells along the string.
    const double across = column ? (p.x - base.x) / stringPitch : (base.y - p.y) / stringPitch;
    const double along = column ? (grid.GetMaxY() - p.y) / cellPitch : (p.x - grid.GetMinX()) / cellPitch;
    if (!std::isfinite(across) || !std::isfinite(along) || std::fabs(across) > 1e9 || std::fabs(along) > 1e9)
        return false;
    // Cell zones are centred on their string, link zones lie between a
    // string and the one before it and are centred on the cell edges.
    const double si = link ? std::floor(across) : std::floor(across - 0.5);
    const double ci = link ? std::floor(along + 0.5) : std::floor(along);
    const int cells = grid.GetCellsPerString() + (link ? 1 : 0);
    if (si < 0 || si >= grid.GetStringCount() || ci < 0 || ci >= cells)
        return false;
    s = static_cast<int>(si);
    c = static_cast<int>(ci);
    return true;
}

class DrawingChecker {
public:
    DrawingChecker(AcDbDatabase& db, const CheckLayers& layers) : m_db(db)
    {
        m_wires = lowerAscii(wideToUtf8(layers.wires));
        m_elements = lowerAscii(wideToUtf8(layers.elements));
        m_panels = lowerAscii(wideToUtf8(layers.panels));
    }

    DrawingCheck run()
    {
        AcDbBlockTableRecord* space = nullptr;
        if (acdbOpenObject(space, m_db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) {
            problem("unreadable-drawing", AcDbObjectId(), L"图中没有模型空间");
            return std::move(m_out);
        }
        const AcDbObjectIdArray ids = space->entityIds();
        space->close();
        for (const AcDbObjectId& id : ids) {
            if (id.isErased())
                continue;
            AcDbEntity* e = nullptr;
            if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk)
                continue;
            look(id, *e);
            e->close();
        }
        for (Schematic& s : m_schematics)
            checkSchematic(s);
        return std::move(m_out);
    }

private:
    void problem(const char* kind, const AcDbObjectId& id, const std::wstring& message, int s = 0, int c = 0)
    {
        m_out.problems.push_back({kind, L"", id.isNull() ? std::wstring() : handleText(id), s, c, message});
    }

    void look(const AcDbObjectId& id, const AcDbEntity& e)
    {
        if (e.layerName() != m_lastLayer) {
            m_lastLayer = e.layerName();
            const std::string layer = lowerAscii(m_lastLayer);
            m_onWires = layer == m_wires;
            m_onElements = layer == m_elements;
            m_onPanels = layer == m_panels;
        }
        const auto* ref = dynamic_cast<const AcDbBlockReference*>(&e);
        if (m_onElements || m_onPanels)
            collectEquipment(id, e, ref != nullptr);
        if (m_onPanels && ref)
            checkPanelCode(id, e);
        const bool wire = dynamic_cast<const AcDbPolyline*>(&e) != nullptr;
        if ((m_onWires || m_onElements) && (ref || wire))
            collectMember(id, e, ref);
    }

    void collectEquipment(const AcDbObjectId& id, const AcDbEntity& e, bool block)
    {
        if (!block && !(m_onElements && dynamic_cast<const AcDbText*>(&e)))
            return;
        const Xdata designation(e, L"XMDH"), model(e, L"XHGG");
        std::wstring d, m;
        if (!designation.text(d) || !model.text(m))
            return;
        d = trimmed(d);
        if (!d.empty())
            m_out.equipment.push_back({d, trimmed(m), handleText(id)});
    }

    void checkPanelCode(const AcDbObjectId& id, const AcDbEntity& e)
    {
        const Xdata label(e, L"PMTBZ");
        std::wstring text;
        label.text(text);
        if (trimmed(text.substr(0, text.find(L'&'))).empty())
            problem("panel-no-code", id, L"屏面设备没有代号");
    }

    void collectMember(const AcDbObjectId& id, const AcDbEntity& e, const AcDbBlockReference* ref)
    {
        const Xdata idPoint(e, L"IDPOINT"), parameters(e, L"YLTHZCS");
        if (!idPoint.present && !parameters.present) {
            if (ref && m_onElements)
                problem("damaged-xdata", id, L"元件层上的块没有原理图扩展数据");
            return;
        }
        if (!idPoint.first || idPoint.first->restype != 1011) {
            problem("damaged-xdata", id, idPoint.present ? L"原理图标识点(IDPOINT)数据损坏" : L"缺少原理图标识点(IDPOINT)");
            return;
        }
        Member m;
        m.id = id;
        std::wstring text;
        if (!parameters.text(text)) {
            problem("damaged-xdata", id, L"缺少原理图参数(YLTHZCS)");
        } else if (!ParseSchematicParameters(text, m.values)) {
            problem("damaged-xdata", id, L"原理图参数(YLTHZCS)无法解析: " + text);
        } else {
            m.parameters = text;
            m.parametersRead = true;
        }
        if (ref) {
            // As (yltbj): symbols whose parameters cannot be read are left out.
            if (!m.parametersRead)
                return;
            m.symbol = true;
            m.blockScale = std::fabs(ref->scaleFactors().sx);
            AcDbSymbolTableRecord* rec = nullptr;
            if (!ref->blockTableRecord().isNull()
                && acdbOpenObject(rec, ref->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
                const std::wstring head = rec->getName().substr(0, 4);
                rec->close();
                m.terminal = head == L"DZQJ" || head == L"ZHKG";
            }
        }
        const resbuf* p = idPoint.first;
        const AcGePoint3d at(p->resval.rpoint[0], p->resval.rpoint[1], 0.0);
        const auto key = std::make_pair(at.x, at.y);
        auto [it, added] = m_schematicOf.try_emplace(key, m_schematics.size());
        if (added)
            m_schematics.push_back(Schematic{at, {}});
        m_schematics[it->second].members.push_back(std::move(m));
    }

    void checkParameters(const Schematic& s)
    {
        std::map<std::wstring, int> counts;
        for (const Member& m : s.members)
            if (m.parametersRead)
                ++counts[m.parameters];
        if (counts.size() < 2)
            return;
        // The text most entities carry stands for the schematic (the first
        // one met among equals).
        std::wstring usual;
        int most = 0;
        for (const Member& m : s.members)
            if (m.parametersRead && counts[m.parameters] > most) {
                most = counts[m.parameters];
                usual = m.parameters;
            }
        for (const Member& m : s.members)
            if (m.parametersRead && m.parameters != usual)
                problem("parameters-differ", m.id, L"原理图参数 " + m.parameters + L" 与本图其他实体的 " + usual + L" 不同");
    }

    void checkSchematic(const Schematic& s)
    {
        checkParameters(s);
        const Member* first = nullptr;
        AcDbObjectIdArray wires, symbols, terminals;
        for (const Member& m : s.members) {
            if (!m.symbol)
                wires.append(m.id);
            else if (m.terminal)
                terminals.append(m.id);
            else
                symbols.append(m.id);
            if (m.symbol && !first)
                first = &m;
        }
        // Without a symbol (yltbj) does not take a schematic up.
        if (!first)
            return;
        CPrinPicGrid grid;
        AcDbObjectIdArray wireList = wires, symbolList = symbols;
        RecognizeSchematic(grid, first->values, first->blockScale, s.idPoint, wireList, symbolList, terminals);
        checkSymbols(grid, symbols);
        checkWires(grid, wires, symbols, terminals);
    }

    void checkSymbols(const CPrinPicGrid& grid, const AcDbObjectIdArray& symbols)
    {
        std::set<AcDbObjectId> placed;
        for (int s = 0; s < grid.GetStringCount(); ++s) {
            AcDbObjectIdArray w;
            AcDbObjectId end;
            grid.GetStringData(s, w, end);
            placed.insert(end);
            for (int c = 0; c < grid.GetCellsPerString(); ++c) {
                AcDbObjectIdArray lw, d, b;
                AcDbObjectId sym, link;
                grid.GetCellData(s, c, w, sym, lw, link, d, b);
                placed.insert(sym);
                placed.insert(link);
            }
        }
        for (const AcDbObjectId& id : symbols) {
            if (placed.count(id))
                continue;
            AcGePoint3d at;
            if (!CPrinPicGrid::GetSymbolPosition(id, at))
                continue;
            // Another symbol won the cell (or the link place) this one is in.
            bool twice = false;
            for (bool link : {false, true}) {
                int s = 0, c = 0;
                if (twice || !locate(grid, at, link, s, c) || c >= grid.GetCellsPerString())
                    continue;
                AcDbObjectIdArray w, lw, d, b;
                AcDbObjectId sym, linkSym;
                grid.GetCellData(s, c, w, sym, lw, linkSym, d, b);
                const AcDbObjectId other = link ? linkSym : sym;
                if (!other.isNull()) {
                    problem("two-symbols", id, L"格中已有符号 " + handleText(other), s + 1, c + 1);
                    twice = true;
                }
            }
            if (!twice)
                problem("symbol-outside", id, L"符号不在原理图的任何格中");
        }
    }

    void checkWires(const CPrinPicGrid& grid, const AcDbObjectIdArray& wires, const AcDbObjectIdArray& symbols,
                    const AcDbObjectIdArray& terminals)
    {
        struct Segment {
            AcDbObjectId id;
            AcGePoint3d a, b;
        };
        std::vector<Segment> segments;
        BoxIndex index(std::max(grid.GetScaledPitchX(), grid.GetScaledPitchY()));
        for (const AcDbObjectId& id : wires) {
            AcGePoint3d a, b, mid;
            if (!CPrinPicGrid::GetWireEnds(id, a, b, mid))
                continue;
            AcDbExtents box(AcGePoint3d(std::min(a.x, b.x), std::min(a.y, b.y), 0),
                            AcGePoint3d(std::max(a.x, b.x), std::max(a.y, b.y), 0));
            index.add(widened(box, kTol), static_cast<int>(segments.size()));
            segments.push_back({id, a, b});
        }
        // Symbols are items after the wires.
        std::vector<AcDbExtents> symbolBoxes;
        for (const AcDbObjectIdArray* list : {&symbols, &terminals})
            for (const AcDbObjectId& id : *list) {
                AcDbEntity* e = nullptr;
                if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk)
                    continue;
                AcDbExtents box;
                const bool ok = e->getGeomExtents(box) == Acad::eOk;
                e->close();
                if (!ok)
                    continue;
                index.add(widened(box, kTol), static_cast<int>(segments.size() + symbolBoxes.size()));
                symbolBoxes.push_back(widened(box, kTol));
            }
        // The rails: the lines the strings start and end on.
        const bool column = grid.IsColumnArrangement();
        const double start = column ? grid.GetMaxY() : grid.GetMinX();
        const double end = column ? start - grid.GetCellsPerString() * grid.GetCellPitch()
                                  : start + grid.GetCellsPerString() * grid.GetCellPitch();
        const auto onRail = [&](const AcGePoint3d& p) {
            const double v = column ? p.y : p.x;
            return std::fabs(v - start) <= kTol || std::fabs(v - end) <= kTol;
        };
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const Segment& w = segments[i];
            for (const AcGePoint3d* p : {&w.a, &w.b}) {
                bool found = onRail(*p);
                if (!found)
                    index.near(*p, [&](int item) {
                        if (found || static_cast<std::size_t>(item) == i)
                            return;
                        const std::size_t k = static_cast<std::size_t>(item);
                        found = k < segments.size() ? distanceToSegment(*p, segments[k].a, segments[k].b) <= kTol
                                                    : holds(symbolBoxes[k - segments.size()], *p);
                    });
                if (found)
                    continue;
                int s = -1, c = -1;
                const AcGePoint3d mid((w.a.x + w.b.x) / 2, (w.a.y + w.b.y) / 2, 0);
                if (!locate(grid, mid, false, s, c))
                    s = c = -1;
                wchar_t at[96];
                std::swprintf(at, 96, L"导线端点 (%.2f, %.2f) 未连接到符号、导线或母线", p->x, p->y);
                problem("loose-wire", w.id, at, s + 1, c + 1);
                break;
            }
        }
    }

    AcDbDatabase& m_db;
    std::string m_wires, m_elements, m_panels;
    std::string m_lastLayer = std::string(1, '\0');
    bool m_onWires = false, m_onElements = false, m_onPanels = false;
    std::vector<Schematic> m_schematics;
    std::map<std::pair<double, double>, std::size_t> m_schematicOf;
    DrawingCheck m_out;
};

resbuf* stringItem(const std::wstring& s)
{
    resbuf* rb = acutNewRb(RTSTR);
    rb->resval.rstring = acutNewString(s.c_str());
    return rb;
}

resbuf* longItem(int v)
{
    resbuf* rb = acutNewRb(RTLONG);
    rb->resval.rlong = v;
    return rb;
}

} // namespace

CheckLayers ConfiguredCheckLayers()
{
    LayerInfo wires, elements, panels;
    GetDQLayerName(L"SCHEMATIC", L"WIREFRAME", wires);
    GetDQLayerName(L"SCHEMATIC", L"ELEMENT", elements);
    GetDQLayerName(L"SCHEMATIC", L"SCREEN", panels);
    return {wires.name, elements.name, panels.name};
}

DrawingCheck CheckDatabase(AcDbDatabase& db, const CheckLayers& layers)
{
    return DrawingChecker(db, layers).run();
}

void AddDesignationProblems(const std::vector<std::wstring>& drawings,
                            const std::vector<std::vector<CheckEquipment>>& equipment,
                            std::vector<CheckProblem>& problems)
{
    struct First {
        std::wstring model, drawing, handle;
    };
    std::unordered_map<std::wstring, First> seen;
    for (std::size_t i = 0; i < equipment.size(); ++i)
        for (const CheckEquipment& e : equipment[i]) {
            if (e.model.empty())
                continue;
            auto [it, added] = seen.try_emplace(e.designation, First{e.model, drawings[i], e.handle});
            if (added || it->second.model == e.model)
                continue;
            const First& f = it->second;
            std::wstring where = L"图元 " + f.handle;
            if (f.drawing != drawings[i])
                where = (f.drawing.empty() ? std::wstring(L"当前图") : f.drawing) + L" 的" + where;
            problems.push_back({"designation-models", drawings[i], e.handle, 0, 0,
                                L"设备 " + e.designation + L" 的型号 " + e.model + L" 与" + where + L" 的型号 "
                                    + f.model + L" 不同"});
        }
}

CheckReport CheckDrawingFiles(const std::vector<std::wstring>& paths, const CheckLayers& layers, unsigned threads)
{
    struct Result {
        bool read = false;
        DrawingCheck check;
        std::wstring error;
    };
    std::vector<Result> results(paths.size());
    // Each drawing in its own database, dropped before the next.
    const auto read = [&](std::size_t i) {
        try {
            auto db = std::make_unique<AcDbDatabase>(false, true);
            if (db->readDwgFile(paths[i].c_str()) != Acad::eOk) {
                results[i].error = db->lastError();
                return;
            }
            results[i].read = true;
            results[i].check = CheckDatabase(*db, layers);
        } catch (const std::exception&) {
            // Out of memory while reading: that drawing is not read.
            results[i] = Result{};
            results[i].error = L"内存不足";
        }
    };
    ReadInOrder(paths.size(), ReadingThreads(paths.size(), threads), read, [](std::size_t) { return true; });

    CheckReport report;
    report.drawings = static_cast<int>(paths.size());
    std::vector<std::vector<CheckEquipment>> equipment(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Result& r = results[i];
        if (!r.read) {
            report.problems.push_back({"unreadable-drawing", paths[i], L"", 0, 0, L"无法打开文件: " + r.error});
            continue;
        }
        ++report.read;
        for (CheckProblem& p : r.check.problems) {
            p.drawing = paths[i];
            report.problems.push_back(std::move(p));
        }
        equipment[i] = std::move(r.check.equipment);
    }
    AddDesignationProblems(paths, equipment, report.problems);
    return report;
}

int ctrlschk()
{
    const resbuf* args = acedGetArgs();
    if (!args || (args->restype != RTSHORT && args->restype != RTLONG)) {
        acutPrintf(L"\n参数应为0或1!");
        acedRetVoid();
        return RTNORM;
    }
    const int mode = args->restype == RTSHORT ? args->resval.rint : args->resval.rlong;
    if (mode != 0 && mode != 1) {
        acutPrintf(L"\n参数应为0或1!");
        acedRetVoid();
        return RTNORM;
    }
    const CheckLayers layers = ConfiguredCheckLayers();
    CheckReport report;
    if (mode == 1) {
        std::vector<ProjectDrawing> drawings;
        if (!ReadProjectDrawings(drawings)) {
            acedRetVoid();
            return RTNORM;
        }
        std::vector<std::wstring> paths;
        for (const ProjectDrawing& d : drawings)
            paths.push_back(d.path);
        report = CheckDrawingFiles(paths, layers, 0);
    } else {
        AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
        if (!db) {
            acutPrintf(L"\n没有打开的图!");
            acedRetVoid();
            return RTNORM;
        }
        DrawingCheck check = CheckDatabase(*db, layers);
        report.drawings = report.read = 1;
        report.problems = std::move(check.problems);
        AddDesignationProblems({L""}, {std::move(check.equipment)}, report.problems);
    }
    resbuf head{};
    resbuf* tail = &head;
    const auto append = [&](resbuf* rb) {
        tail->rbnext = rb;
        tail = rb;
    };
    append(acutNewRb(RTLB));
    append(longItem(report.drawings));
    append(longItem(report.read));
    for (const CheckProblem& p : report.problems) {
        append(acutNewRb(RTLB));
        append(stringItem(utf8ToWide(p.kind)));
        append(stringItem(p.drawing));
        append(stringItem(p.handle));
        append(longItem(p.string));
        append(longItem(p.cell));
        append(stringItem(p.message));
        append(acutNewRb(RTLE));
    }
    append(acutNewRb(RTLE));
    acedRetList(head.rbnext);
    acutRelRb(head.rbnext);
    return RTNORM;
}
