#include "schematic/SchematicEntries.h"

#include "components/NorvexGloFunc.h"
#include "components/NorvexScopes.h"
#include "components/TalvoDataBase.h"
#include "components/TalvoDbObject.h"
#include "grid/PrinPicGrid.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "library/PaletteResources.h"
#include "library/YlthzDialog.h"
#include "schematic/PlacementLoop.h"
#include "schematic/SchematicDraw.h"
#include "schematic/SchematicXdata.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// The variables of a drawing run, set for it; the scope puts the user's
// back when the run ends, however it ends.
[[nodiscard]] CAcadSysVarScope prepareVariables()
{
    CAcadSysVarScope kept;
    SetAcadSysVar(L"cmdecho", 0);
    SetAcadSysVar(L"plinetype", 2);
    SetAcadSysVar(L"blipmode", 0);
    SetAcadSysVar(L"osmode", 0);
    return kept;
}

// Opens the palette when none is open.
void openPalette()
{
    if (g_pYlthzDlg)
        return;
    const AcApResourceHandleScope resources(PaletteResourceHandle());
    auto* palette = new CYlthzDialog;
    if (palette->Create())
        g_pYlthzDlg = palette;
    else
        delete palette;
}

// The schematic's filter: inserts and polylines on the schematic's layers
// carrying its extended data.
class SchematicFilter {
public:
    SchematicFilter()
    {
        LayerInfo wires, elements;
        GetDQLayerName(L"SCHEMATIC", L"WIREFRAME", wires);
        GetDQLayerName(L"SCHEMATIC", L"ELEMENT", elements);
        m_layers = wires.name + L"," + elements.name;
        m_rb = acutBuildList(RTDXF0, L"INSERT,LWPOLYLINE", 8, m_layers.c_str(), -3, 1001, L"YLTHZCS,IDPOINT", 0);
    }
    ~SchematicFilter() { acutRelRb(m_rb); }
    SchematicFilter(const SchematicFilter&) = delete;
    SchematicFilter& operator=(const SchematicFilter&) = delete;
    const resbuf* get() const { return m_rb; }

private:
    std::wstring m_layers;
    resbuf* m_rb = nullptr;
};

// After RTKWORD: whether the reply was "close".
bool repliedClose()
{
    ACHAR input[64] = L"";
    acedGetInput(input, 64);
    return std::wcscmp(input, L"close") == 0;
}

// Asks for the window of the schematic to continue; false when the user
// ends it.
bool askWindow(ads_point first, ads_point second)
{
    for (;;) {
        acedInitGet(128, L"close");
        int rc = acedGetPoint(nullptr, L"\n请输入窗口第一点<回车结束>:", first);
        if (rc == RTNONE || rc == RTCAN)
            return false;
        if (rc == RTKWORD) {
            if (repliedClose())
                return false;
            acutPrintf(L"\n请输入一点!");
            continue;
        }
        if (rc != RTNORM)
            continue;
        for (;;) {
            acedInitGet(129, L"close");
            rc = acedGetCorner(first, L"\n请输入窗口第二点：", second);
            if (rc == RTCAN)
                return false;
            if (rc == RTNORM)
                return true;
            if (rc == RTKWORD && repliedClose())
                return false;
            acutPrintf(L"\n请输入一点!");
        }
    }
}

} // namespace

bool ParseSchematicParameters(const std::wstring& text, SchematicParameters& v)
{
    std::vector<std::wstring> fields;
    ExplodeStr(text, L"&", fields);
    if (fields.size() != 6)
        return false;
    v.stringPitch = std::wcstod(fields[0].c_str(), nullptr);
    v.cellPitch = std::wcstod(fields[1].c_str(), nullptr);
    v.lineWidth = std::wcstod(fields[2].c_str(), nullptr);
    v.symbolScale = std::wcstod(fields[3].c_str(), nullptr);
    v.cellsPerString = static_cast<int>(std::wcstol(fields[4].c_str(), nullptr, 10));
    v.orientation = static_cast<int>(std::wcstod(fields[5].c_str(), nullptr));
    // Values no schematic can have count as damaged data.
    const auto positive = [](double d) { return std::isfinite(d) && d > 0; };
    return positive(v.stringPitch) && positive(v.cellPitch) && positive(v.symbolScale) && v.lineWidth >= 0 &&
           v.cellsPerString >= 1 && v.cellsPerString <= 10000 && (v.orientation == 0 || v.orientation == 1);
}

int BeginSchematic()
{
    CPrinPicGrid grid;
    CYlthzDialog* palette = g_pYlthzDlg;
    if (palette)
        palette->EnableActions(false);
    ads_point base;
    for (;;) {
        acedInitGet(128, L"close");
        const int rc = acedGetPoint(nullptr, L"\n请选择绘制的基点<回车结束>:", base);
        if (rc == RTCAN) {
            ClosePalette();
            return 0;
        }
        if (rc == RTNONE) {
            ClosePalette();
            return 1;
        }
        if (rc == RTKWORD) {
            if (repliedClose()) {
                ClosePalette();
                return 1;
            }
            acutPrintf(L"\n请输入一点:");
            continue;
        }
        if (rc != RTNORM)
            continue;
        palette = g_pYlthzDlg;
        if (!palette)
            return 1;
        SetUpNewGrid(grid, *palette, palette->TakeSymbolCount(), AcGePoint3d(base[0], base[1], 0),
                     KxDbGetPrintScale(acdbCurDwg()));
        // Sizes the entities cannot carry, or a base point and sizes beyond
        // what a double holds: another point (or Enter).
        if (!ParametersFitInEntities(grid))
            acutPrintf(L"%ls", kParametersOutOfRangeMessage);
        else if (!StringFitsInDrawing(grid, NextStringPosition(grid)))
            acutPrintf(L"%ls", kOutOfRangeMessage);
        else
            break;
    }
    palette->EnableActions(true);
    palette->BeginDrawing();
    RunPlacementLoop(&grid, 0, 0, 0, AcDbExtents(), kNewSchematic);
    return 1;
}

int ContinueSchematic(AcDbObjectIdArray& polylines, AcDbObjectIdArray& symbols, AcDbObjectIdArray& terminals)
{
    polylines.setLogicalLength(0);
    symbols.setLogicalLength(0);
    terminals.setLogicalLength(0);
    acutPrintf(L"\n请选择要继续绘制的原理图:");
    const SchematicFilter filter;
    CSelectionSet ss;
    AcGePoint3d idPoint;
    for (;;) {
        ads_point a, b;
        if (!askWindow(a, b))
            return 0;
        ZoomToInclude(AcGePoint3d(a[0], a[1], 0), AcGePoint3d(b[0], b[1], 0));
        if (ss.get(L"W", a, b, filter.get()) != RTNORM) {
            ss.free();
            acutPrintf(L"\n没有选择实体!");
            continue;
        }
        break;
    }
    ads_name first{};
    AcDbObjectId firstId;
    if (!ss.name(0, first) || acdbGetObjectId(firstId, first) != Acad::eOk || GetIdPoint(firstId, idPoint) != 1) {
        acutPrintf(L"\n获取实体的扩展数据错误, 程序退出!");
        return 0;
    }
    ss.free();

    SchematicParameters stored;
    double blockScale = 1.0;
    if (GatherSchematic(idPoint, polylines, symbols, terminals, stored, blockScale) != 1)
        return 0;

    openPalette();
    if (CYlthzDialog* palette = g_pYlthzDlg) {
        palette->SetArrangement(stored.orientation);
        palette->LockShapeControls();
        palette->Show();
        palette->SetReady();
    }
    CPrinPicGrid grid;
    RecognizeSchematic(grid, stored, blockScale, idPoint, polylines, symbols, terminals);
    int resumeString = 0, resumeCell = 0;
    FindResumeCell(grid, resumeString, resumeCell);
    AcDbExtents start;
    grid.GetExtents(resumeString, resumeCell, 1, start);
    RunPlacementLoop(&grid, resumeString, grid.GetStringCount(), resumeCell, start, kContinuedSchematic);
    return 1;
}

void SetUpNewGrid(CPrinPicGrid& grid, const CYlthzDialog& palette, int symbolCount, const AcGePoint3d& base,
                  double s)
{
    const AcGePoint3d p(base.x, base.y, 0);
    grid.SetCellPitchX(palette.GetHorizontalSpacing());
    grid.SetCellPitchY(palette.GetVerticalSpacing());
    grid.SetCellsPerString(symbolCount);
    grid.SetOrientation(palette.GetArrangement() == 1 ? 1 : 0);
    grid.SetLineWidth(palette.GetWireWidth());
    grid.SetSymbolScale(palette.GetEquipmentScale());
    grid.SetScale(s);
    grid.SetBasePoint(p);
    if (grid.IsColumnArrangement())
        grid.SetReferenceRange(p.x, p.x + grid.GetCellPitchX() * s / 2, p.y,
                               p.y - grid.GetCellPitchY() * s * symbolCount);
    else
        grid.SetReferenceRange(p.x, p.x + grid.GetCellPitchX() * s * symbolCount, p.y,
                               p.y - grid.GetCellPitchY() * s / 2);
}

int GatherSchematic(const AcGePoint3d& idPoint, AcDbObjectIdArray& polylines, AcDbObjectIdArray& symbols,
                    AcDbObjectIdArray& terminals, SchematicParameters& stored, double& blockScale)
{
    const SchematicFilter filter;
    CSelectionSet ss;
    if (ss.get(L"X", nullptr, nullptr, filter.get()) != RTNORM) {
        acutPrintf(L"\n获取实体的扩展数据错误, 程序退出!");
        return 0;
    }
    std::vector<AcDbObjectId> members;
    if (!ss.ids(members)) {
        acutPrintf(L"\n获取实体的扩展数据错误, 程序退出!");
        return 0;
    }
    ss.free();
    bool haveStored = false;
    for (const AcDbObjectId& id : members) {
        AcGePoint3d at;
        if (GetIdPoint(id, at) != 1) {
            acutPrintf(L"\n获取实体的扩展数据错误, 程序退出!");
            return 0;
        }
        if (!at.isEqualTo(idPoint))
            continue;
        AcDbEntity* e = nullptr;
        if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk) {
            acutPrintf(L"\n实体打开失败!");
            return 0;
        }
        if (dynamic_cast<AcDbPolyline*>(e)) {
            e->close();
            polylines.append(id);
            continue;
        }
        auto* ref = dynamic_cast<AcDbBlockReference*>(e);
        if (!ref) {
            e->close();
            continue;
        }
        if (!haveStored)
            blockScale = std::fabs(ref->scaleFactors().sx);
        const AcDbObjectId btr = ref->blockTableRecord();
        e->close();
        std::wstring text;
        SchematicParameters v;
        ads_name en{};
        if (acdbGetAdsName(en, id) != Acad::eOk || GetXdataString(en, L"YLTHZCS", text) != 1
            || !ParseSchematicParameters(text, v))
            continue;
        if (!haveStored) {
            stored = v;
            haveStored = true;
        }
        AcDbSymbolTableRecord* rec = nullptr;
        if (btr.isNull() || acdbOpenObject(rec, btr, AcDb::kForRead) != Acad::eOk)
            return 0;
        const std::wstring name = rec->getName();
        rec->close();
        const std::wstring head = name.substr(0, 4);
        if (head == L"DZQJ" || head == L"ZHKG")
            terminals.append(id);
        else
            symbols.append(id);
    }
    if (symbols.isEmpty() && terminals.isEmpty()) {
        acutPrintf(L"\n所选原理图中没有块信息, 不能编辑!");
        return 0;
    }
    return 1;
}

void RecognizeSchematic(CPrinPicGrid& grid, const SchematicParameters& stored, double blockScale,
                        const AcGePoint3d& idPoint, AcDbObjectIdArray& polylines, AcDbObjectIdArray& symbols,
                        const AcDbObjectIdArray& terminals)
{
    const bool column = stored.orientation == 1;
    grid.SetCellPitchX(column ? stored.stringPitch : stored.cellPitch);
    grid.SetCellPitchY(column ? stored.cellPitch : stored.stringPitch);
    grid.SetCellsPerString(stored.cellsPerString);
    grid.SetOrientation(stored.orientation);
    grid.SetLineWidth(stored.lineWidth);
    grid.SetSymbolScale(stored.symbolScale);
    grid.SetBlockScale(blockScale);
    grid.SetScale(stored.symbolScale != 0 ? blockScale / stored.symbolScale : 1.0);
    grid.SetBasePoint(idPoint);
    grid.RecognizeGrid(polylines, symbols, terminals);
}

void FindResumeCell(const CPrinPicGrid& grid, int& stringIndex, int& cellIndex)
{
    for (int s = 0; s < grid.GetStringCount(); ++s)
        for (int c = 0; c < grid.GetCellsPerString(); ++c) {
            AcDbObjectIdArray w, lw, d, b;
            AcDbObjectId sym, linkSym;
            grid.GetCellData(s, c, w, sym, lw, linkSym, d, b);
            if (sym.isNull() && w.isEmpty()) {
                stringIndex = s;
                cellIndex = c;
                return;
            }
        }
    stringIndex = std::max(0, grid.GetStringCount() - 1);
    cellIndex = std::max(0, grid.GetCellsPerString() - 1);
}

int ylthz()
{
    const CAcadSysVarScope userVariables = prepareVariables();
    openPalette();
    if (g_pYlthzDlg)
        g_pYlthzDlg->Show();
    BeginSchematic();
    acedRetVoid();
    return RTNORM;
}

int yltbj()
{
    const CAcadSysVarScope userVariables = prepareVariables();
    AcDbObjectIdArray polylines, symbols, terminals;
    if (ContinueSchematic(polylines, symbols, terminals) < 1)
        ClosePalette();
    acedRetVoid();
    return RTNORM;
}
