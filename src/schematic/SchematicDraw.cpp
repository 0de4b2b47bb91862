#include "schematic/SchematicDraw.h"

#include "components/NorvexCase.h"
#include "components/NorvexGloFunc.h"
#include "components/NorvexScopes.h"
#include "components/TalvoDataBase.h"
#include "grid/PrinPicGrid.h"
#include "host/aced.h"
#include "library/YlthzDialog.h"

namespace {

constexpr const wchar_t* kCategory = L"SCHEMATIC";

void toAds(const AcGePoint3d& p, ads_point out)
{
    out[0] = p.x;
    out[1] = p.y;
    out[2] = p.z;
}

AcDbObjectId lastEntity()
{
    ads_name last;
    AcDbObjectId id;
    if (acdbEntLast(last) == RTNORM)
        acdbGetObjectId(id, last);
    return id;
}

bool readExtents(const AcDbObjectId& id, AcDbExtents& ext)
{
    AcDbEntity* e = nullptr;
    if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk)
        return false;
    const bool ok = e->getGeomExtents(ext) == Acad::eOk && ext.isValid();
    e->close();
    return ok;
}

AcGePoint3d centreOf(const AcDbExtents& ext)
{
    return AcGePoint3d((ext.minPoint().x + ext.maxPoint().x) / 2, (ext.minPoint().y + ext.maxPoint().y) / 2, 0.0);
}

// A closed zero-width polyline round the extents, as a cutting edge; its
// entity name.
bool drawBoundary(const AcDbExtents& ext, ads_name boundary)
{
    const AcGePoint3d& lo = ext.minPoint();
    const AcGePoint3d& hi = ext.maxPoint();
    if (acedCommand({L"_.PLINE", AcGePoint3d(lo.x, lo.y, 0), L"W", 0.0, 0.0, AcGePoint3d(hi.x, lo.y, 0),
                     AcGePoint3d(hi.x, hi.y, 0), AcGePoint3d(lo.x, hi.y, 0), L"c"})
        != RTNORM)
        return false;
    return acdbEntLast(boundary) == RTNORM;
}

// Cuts each wire back to the edge of the extents (picked at their centre).
// A wire that passes through keeps its id for one piece; the pieces beyond
// the extents are new entities, appended to `pieces` when given.
void trimAtExtents(const AcDbExtents& ext, const std::vector<AcDbObjectId>& wires, AcDbObjectIdArray* pieces = nullptr)
{
    ads_name boundary;
    if (!drawBoundary(ext, boundary))
        return;
    ads_point centre;
    toAds(centreOf(ext), centre);
    for (const AcDbObjectId& wire : wires) {
        ads_name w;
        if (acdbGetAdsName(w, wire) != Acad::eOk)
            continue;
        const AcDbObjectId before = lastEntity();
        acedCommand({L"_.trim", AcCmdArg::ename(boundary), L"", AcCmdArg::pick(w, centre), L""});
        const AcDbObjectId after = lastEntity();
        if (pieces && after != before)
            pieces->append(after);
    }
    acdbEntDel(boundary);
}

std::wstring layerName(const wchar_t* kind)
{
    LayerInfo info;
    return GetDQLayerName(kCategory, kind, info) ? info.name : std::wstring();
}

// The E22 clearance of a wire just drawn: false when the wire lies wholly
// inside an E22 block and was removed. The pieces cut off beyond a block
// are appended to `pieces`.
bool clearE22(const AcGePoint3d& from, const AcGePoint3d& to, const AcDbObjectId& wire, AcDbObjectIdArray& pieces)
{
    const std::wstring elementLayer = layerName(L"ELEMENT");
    resbuf* filter = acutBuildList(RTDXF0, L"INSERT", 2, kClearanceBlock, 8, elementLayer.c_str(), 0);
    ads_point a, b, p1, p2;
    toAds(from, a);
    toAds(to, b);
    const double angle = acutAngle(a, b);
    acutPolar(a, angle, 1.0, p1);
    acutPolar(b, angle + kPi, 1.0, p2);
    CSelectionSet ss;
    const int rc = ss.get(L"C", p1, p2, filter);
    acutRelRb(filter);
    if (rc != RTNORM)
        return true;
    std::vector<AcDbObjectId> ids;
    ss.ids(ids);
    ss.free();
    std::vector<AcDbExtents> blocks;
    for (const AcDbObjectId& id : ids) {
        AcDbExtents ext;
        if (readExtents(id, ext))
            blocks.push_back(ext);
    }
    for (const AcDbExtents& ext : blocks) {
        if (IsPointInExtents(from, ext) && IsPointInExtents(to, ext)) {
            ads_name w;
            acdbGetAdsName(w, wire);
            acdbEntDel(w);
            return false;
        }
        // Every piece so far meets this block too.
        std::vector<AcDbObjectId> all{wire};
        all.insert(all.end(), pieces.begin(), pieces.end());
        trimAtExtents(ext, all, &pieces);
    }
    return true;
}

struct StubGeometry {
    AcGePoint3d stub1From, stub1To, stub2From, stub2To, insertion;
    // The stub that does not end at the insertion point (left out for R10).
    int farStub;
};

// Horizontal geometry: stubs from the left and right edges along the middle
// line, the symbol at the inner end of stub 1. Vertical geometry: from the
// bottom and top edges, the symbol at the inner end of stub 2.
StubGeometry stubGeometry(const AcDbExtents& e, bool horizontal, double f)
{
    StubGeometry g;
    const AcGePoint3d& lo = e.minPoint();
    const AcGePoint3d& hi = e.maxPoint();
    if (horizontal) {
        const double s = (hi.x - lo.x - 7.5 * f) / 2;
        const double y = (lo.y + hi.y) / 2;
        g.stub1From = AcGePoint3d(lo.x, y, 0);
        g.stub1To = AcGePoint3d(lo.x + s, y, 0);
        g.stub2From = AcGePoint3d(hi.x, y, 0);
        g.stub2To = AcGePoint3d(hi.x - s, y, 0);
        g.insertion = g.stub1To;
        g.farStub = 2;
    } else {
        const double s = (hi.y - lo.y - 7.5 * f) / 2;
        const double x = (lo.x + hi.x) / 2;
        g.stub1From = AcGePoint3d(x, lo.y, 0);
        g.stub1To = AcGePoint3d(x, lo.y + s, 0);
        g.stub2From = AcGePoint3d(x, hi.y, 0);
        g.stub2To = AcGePoint3d(x, hi.y - s, 0);
        g.insertion = g.stub2To;
        g.farStub = 1;
    }
    return g;
}

// Placing E22 clears its area of green wires: those inside are erased,
// those crossing it cut back to its edge.
void clearAreaForE22(const AcDbObjectId& symbol)
{
    AcDbExtents ext;
    if (!readExtents(symbol, ext))
        return;
    const std::wstring wireLayer = layerName(L"WIREFRAME") + L"*";
    resbuf* filter = acutBuildList(RTDXF0, L"LWPOLYLINE", 8, wireLayer.c_str(), 62, 3, 0);
    ads_point lo, hi;
    toAds(ext.minPoint(), lo);
    toAds(ext.maxPoint(), hi);
    ads_name inside;
    if (acedSSGet(L"W", lo, hi, filter, inside) == RTNORM) {
        acedCommand({L"_.ERASE", AcCmdArg::selectionSet(inside), L""});
        acedSSFree(inside);
    }
    CSelectionSet crossing;
    if (crossing.get(L"C", lo, hi, filter) == RTNORM) {
        std::vector<AcDbObjectId> wires;
        crossing.ids(wires);
        crossing.free();
        trimAtExtents(ext, wires);
    }
    acutRelRb(filter);
}

void placeSymbol(const AcDbExtents& slot, bool horizontal, double scale, double symbolScale, double lineWidth,
                 double rotation, AcDbObjectId& symbolId, AcDbObjectIdArray& wires)
{
    const CAcadSysVarScope osmode{L"OSMODE"};
    SetAcadSysVar(L"OSMODE", 0);

    CString chosen;
    if (!g_pYlthzDlg || !g_pYlthzDlg->GetSelectedSymbol(chosen))
        return;
    const std::wstring name = chosen.GetString();
    const double f = scale * symbolScale;
    const StubGeometry g = stubGeometry(slot, horizontal, f);
    const bool oneStub = UpperStr(name) == kOneStubBlock;
    AcDbObjectIdArray stubs, pieces;
    stubs.append(oneStub && g.farStub == 1 ? AcDbObjectId()
                                           : DrawWire(g.stub1From, g.stub1To, lineWidth, scale, &pieces));
    stubs.append(oneStub && g.farStub == 2 ? AcDbObjectId()
                                           : DrawWire(g.stub2From, g.stub2To, lineWidth, scale, &pieces));
    for (const AcDbObjectId& id : pieces)
        stubs.append(id);

    SetToCurrentLayer(kCategory, L"ELEMENT");
    resbuf* found = acdbTblSearch(L"BLOCK", name.c_str(), 0);
    CString folder;
    g_pYlthzDlg->GetLibraryFolder(folder);
    const std::wstring block = found ? name : std::wstring(folder.GetString()) + L"\\" + name;
    acutRelRb(found);
    if (acedCommand({L"_.INSERT", block, g.insertion, f, f, rotation}) != RTNORM) {
        // Nothing half-placed: the stubs go again.
        for (const AcDbObjectId& id : stubs)
            EraseObject(id);
        return;
    }
    symbolId = lastEntity();
    for (const AcDbObjectId& id : stubs)
        wires.append(id);
    if (UpperStr(name) == kClearanceBlock)
        clearAreaForE22(symbolId);
}

} // namespace

AcDbObjectId DrawWire(const AcGePoint3d& from, const AcGePoint3d& to, double lineWidth, double scale,
                      AcDbObjectIdArray* pieces)
{
    SetToCurrentLayer(kCategory, L"WIREFRAME");
    acedCommand({L"_.COLOR", L"3"});
    const double w = lineWidth * scale;
    if (acedCommand({L"_.PLINE", from, L"W", w, w, to, L""}) != RTNORM)
        return AcDbObjectId();
    const AcDbObjectId wire = lastEntity();
    AcDbObjectIdArray cut;
    if (!clearE22(from, to, wire, cut))
        return AcDbObjectId();
    if (pieces)
        for (const AcDbObjectId& id : cut)
            pieces->append(id);
    return wire;
}

AcDbObjectId DrawCellWire(const AcDbExtents& slot, double scale, double lineWidth, int orientation,
                          AcDbObjectIdArray* pieces)
{
    const AcGePoint3d& lo = slot.minPoint();
    const AcGePoint3d& hi = slot.maxPoint();
    if (orientation == 0) {
        const double y = (lo.y + hi.y) / 2;
        return DrawWire(AcGePoint3d(lo.x, y, 0), AcGePoint3d(hi.x, y, 0), lineWidth, scale, pieces);
    }
    const double x = (lo.x + hi.x) / 2;
    return DrawWire(AcGePoint3d(x, lo.y, 0), AcGePoint3d(x, hi.y, 0), lineWidth, scale, pieces);
}

AcDbObjectId DrawLinkWire(const AcDbExtents& slot, double scale, double lineWidth, int orientation,
                          AcDbObjectIdArray* pieces)
{
    return DrawCellWire(slot, scale, lineWidth, orientation == 0 ? 1 : 0, pieces);
}

void PlaceCellSymbol(const AcDbExtents& slot, int orientation, double scale, double symbolScale, double lineWidth,
                     double rotation, AcDbObjectId& symbolId, AcDbObjectIdArray& wires)
{
    placeSymbol(slot, orientation == 0, scale, symbolScale, lineWidth, rotation, symbolId, wires);
}

void PlaceLinkSymbol(const AcDbExtents& slot, int orientation, double scale, double symbolScale, double lineWidth,
                     double rotation, AcDbObjectId& symbolId, AcDbObjectIdArray& wires)
{
    placeSymbol(slot, orientation != 0, scale, symbolScale, lineWidth, rotation == 0 ? 90.0 : 0.0, symbolId, wires);
}

int EraseCellContents(CPrinPicGrid& grid, int stringIndex, int cellIndex, int kind)
{
    AcDbObjectIdArray wires, links, devices, bandDevices;
    AcDbObjectId symbol, linkSymbol;
    const int rc = grid.GetCellData(stringIndex, cellIndex, wires, symbol, links, linkSymbol, devices, bandDevices);
    if (rc != 1)
        return rc;
    const AcDbObjectIdArray& list = kind == 0 ? links : wires;
    for (const AcDbObjectId& id : list)
        EraseObject(id);
    EraseObject(kind == 0 ? linkSymbol : symbol);
    return grid.SetCellData(stringIndex, cellIndex, kind == 0 ? 0 : 1, AcDbObjectIdArray(), AcDbObjectId(), devices,
                            bandDevices);
}

int EraseEndZone(CPrinPicGrid& grid, int stringIndex)
{
    AcDbObjectIdArray wires;
    AcDbObjectId symbol;
    const int rc = grid.GetStringData(stringIndex, wires, symbol);
    if (rc != 1)
        return rc;
    for (const AcDbObjectId& id : wires)
        EraseObject(id);
    EraseObject(symbol);
    return grid.SetStringData(stringIndex, AcDbObjectIdArray(), AcDbObjectId());
}

int IsPointInExtents(const AcGePoint3d& point, const AcDbExtents& extents)
{
    const AcGePoint3d& lo = extents.minPoint();
    const AcGePoint3d& hi = extents.maxPoint();
    const AcGePoint3d p(point.x, point.y, 0.0);
    const AcGePoint3d corners[4] = {AcGePoint3d(lo.x, lo.y, 0), AcGePoint3d(hi.x, lo.y, 0), AcGePoint3d(hi.x, hi.y, 0),
                                    AcGePoint3d(lo.x, hi.y, 0)};
    AcGeTol tol;
    tol.setEqualPoint(0.1);
    for (int i = 0; i < 4; ++i) {
        const AcGePoint3d& a = corners[i];
        const AcGePoint3d& b = corners[(i + 1) % 4];
        if (a == b)
            continue;
        if (AcGeLine3d(a, b).isOn(p, tol))
            return p.distanceTo(a) + p.distanceTo(b) <= a.distanceTo(b) ? 1 : 0;
    }
    return p.x > lo.x && p.x < hi.x && p.y > lo.y && p.y < hi.y ? 1 : 0;
}

int ZoomToInclude(const AcGePoint3d& p, const AcGePoint3d& q)
{
    double lowerLeft[2], upperRight[2];
    XScjx(lowerLeft, upperRight);
    bool changed = false;
    auto widen = [&](double& v, double candidate, bool lower) {
        if (lower ? candidate < v : candidate > v) {
            v = candidate;
            changed = true;
        }
    };
    widen(lowerLeft[0], std::min(p.x, q.x), true);
    widen(lowerLeft[1], std::min(p.y, q.y), true);
    widen(upperRight[0], std::max(p.x, q.x), false);
    widen(upperRight[1], std::max(p.y, q.y), false);
    if (changed)
        acedCommand({L"_.Zoom", AcGePoint3d(lowerLeft[0], lowerLeft[1], 0), AcGePoint3d(upperRight[0], upperRight[1], 0)});
    return 1;
}
