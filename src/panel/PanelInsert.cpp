#include "panel/PanelInsert.h"

#include "components/NorvexCase.h"
#include "components/NorvexGloFunc.h"
#include "components/NorvexScopes.h"
#include "components/TalvoDataBase.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/dbmain.h"
#include "library/PaletteResources.h"
#include "panel/PmtsbcsDlg.h"

#include <cmath>

namespace {

// Where every new symbol waits before it is dragged, and the drag's
// translation from there to the cursor.
AcGePoint3d g_park;

int dragToCursor(ads_point pt, ads_matrix mt)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            mt[i][j] = i == j ? 1.0 : 0.0;
    const double dx = pt[0] - g_park.x, dy = pt[1] - g_park.y;
    mt[0][3] = dx;
    mt[1][3] = dy;
    return dx == 0 && dy == 0 ? RTNONE : RTNORM;
}

// Drags the parked symbol to the cursor until a point, the keyword, Enter
// or Esc: text that is neither point nor keyword shows the prompt again.
int dragSymbol(const ads_name ent, const ads_name ss, ads_point picked)
{
    for (;;) {
        acutPrintf(L"\n请点取符号的插入位置<回车结束>:");
        acedRedraw(ent, 2);
        SetAcadSysVar(L"OSMODE", 32);
        acedInitGet(128, L"S");
        const int rc = acedDragGen(ss, L"", 0, dragToCursor, picked);
        if (rc != RTSTR)
            return rc;
    }
}

double readReal(const wchar_t* name, int index)
{
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM)
        return 0;
    if (rb.restype == RTREAL)
        return rb.resval.rreal;
    if (rb.restype == RTPOINT || rb.restype == RT3DPOINT)
        return rb.resval.rpoint[index];
    return 0;
}

void attach(const ads_name entity, const wchar_t* app, const CString& text)
{
    resbuf* item = acutBuildList(RTSTR, text.GetString(), 0);
    AddXdata(entity, app, item);
    acutRelRb(item);
}

} // namespace

PanelLabelPlaces PanelLabelPositions(const AcDbExtents& extents, const std::wstring& blockName, double scale)
{
    const AcGePoint3d lo = extents.minPoint(), hi = extents.maxPoint();
    const double cx = (lo.x + hi.x) / 2;
    if (EqualNoCase(blockName, L"pmtfh1")) {
        const double cy = (lo.y + hi.y) / 2;
        return {AcGePoint3d(cx, (cy + hi.y) / 2, 0), AcGePoint3d(cx, (cy + lo.y) / 2, 0)};
    }
    return {AcGePoint3d(cx, hi.y + 0.65 * kPanelCodeHeight * scale, 0),
            AcGePoint3d(cx, lo.y - 0.65 * kPanelSymbolHeight * scale, 0)};
}

void LabelPanelSymbol(const ads_name entity, const PanelEquipmentTexts& texts, double scale)
{
    attach(entity, L"PMTBZ", texts.code + L"&" + texts.symbol);
    attach(entity, L"XMDH", texts.symbol);
    attach(entity, L"SBMC", texts.name);
    attach(entity, L"XHGG", texts.model);

    AcDbObjectId id;
    AcDbEntity* e = nullptr;
    if (acdbGetObjectId(id, entity) != Acad::eOk || acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk)
        return;
    auto* ref = dynamic_cast<AcDbBlockReference*>(e);
    AcDbExtents extents;
    std::wstring name;
    const bool ok = ref && ref->getGeomExtents(extents) == Acad::eOk;
    if (ok) {
        AcDbSymbolTableRecord* rec = nullptr;
        if (acdbOpenObject(rec, ref->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
            name = rec->getName();
            rec->close();
        }
    }
    e->close();
    if (!ok)
        return;
    const PanelLabelPlaces at = PanelLabelPositions(extents, name, scale);
    if (!texts.code.IsEmpty())
        acedCommand({L"_.TEXT", L"J", L"M", at.code, kPanelCodeHeight * scale, 0.0, texts.code.GetString()});
    if (!texts.symbol.IsEmpty())
        acedCommand({L"_.TEXT", L"J", L"M", at.symbol, kPanelSymbolHeight * scale, 0.0, texts.symbol.GetString()});
}

int inspmtsb()
{
    const resbuf* args = acedGetArgs();
    if (!args) {
        acutPrintf(L"\n无参数!");
        acedRetNil();
        return RTNORM;
    }
    if (args->restype != RTREAL) {
        acutPrintf(L"\n参数应为实数!");
        acedRetNil();
        return RTNORM;
    }
    InsertPanelEquipment(args->resval.rreal);
    return RTNORM;
}

void InsertPanelEquipment(double s)
{
    if (!(s >= kMinPanelScale && s <= kMaxPanelScale)) {
        acutPrintf(L"\n参数超出范围!");
        acedRetNil();
        return;
    }
    const AcApResourceHandleScope resources(PaletteResourceHandle());

    if (!g_pPmtsbcsDlg) {
        g_pPmtsbcsDlg = new CPmtsbcsDlg;
        g_pPmtsbcsDlg->Create(AfxGetMainWnd());
    }
    g_pPmtsbcsDlg->ShowWindow(SW_SHOW);
    // Panel equipment lives on the panel layer, where the statistics look
    // for it; the user's layer comes back however the command ends.
    const CAcadSysVarScope userVariables;
    SetToCurrentLayer(L"SCHEMATIC", L"SCREEN");
    const double screenY = readReal(L"SCREENSIZE", 1);
    const double pixel = screenY > 0 ? readReal(L"VIEWSIZE", 0) / screenY : 1.0;
    double lower[2], upper[2];
    XScjx(lower, upper);
    g_park = AcGePoint3d(lower[0] - 150000 * pixel * s, lower[1] - 150000 * pixel * s, 0);

    for (bool going = true; going;) {
        CPmtsbcsDlg* dialog = g_pPmtsbcsDlg;
        const CString path = dialog->GetSymbolPath();
        if (path == L"NULL") {
            acedInitGet(128, L"S");
            ads_point pt;
            const int rc = acedGetPoint(nullptr, L"\n请选择一个屏面图符号<回车结束>:", pt);
            going = rc != RTNONE && rc != RTCAN;
            continue;
        }
        if (acedCommand({L"INSERT", path.GetString(), g_park, L"1.0", L"1.0", L"0"}) != RTNORM) {
            acutPrintf(L"\n块插入操作错误!");
            break;
        }
        ads_name ent{}, ss{};
        acdbEntLast(ent);
        acedSSAdd(ent, nullptr, ss);
        AcDbObjectId id;
        AcDbEntity* e = nullptr;
        // Sizes typed into the dialog may be too large for the scale.
        const double sx = dialog->GetWidth() * s, sy = dialog->GetHeight() * s;
        if (!std::isfinite(sx) || !std::isfinite(sy)) {
            acutPrintf(L"\n参数超出范围!");
            acedSSFree(ss);
            acdbEntDel(ent);
            break;
        }
        if (acdbGetObjectId(id, ent) == Acad::eOk && acdbOpenAcDbEntity(e, id, AcDb::kForWrite) == Acad::eOk) {
            if (auto* ref = dynamic_cast<AcDbBlockReference*>(e))
                ref->setScaleFactors(AcGeScale3d(sx, sy, 1.0));
            e->close();
        }
        ads_point picked;
        const int rc = dragSymbol(ent, ss, picked);
        if (rc == RTNORM) {
            SetAcadSysVar(L"OSMODE", 0);
            ads_matrix m;
            dragToCursor(picked, m);
            acedXformSS(ss, m);
            acedRedraw(ent, 1);
            acedSSFree(ss);
            if (g_pPmtsbcsDlg)
                LabelPanelSymbol(ent, g_pPmtsbcsDlg->GetEquipmentTexts(), s);
            continue;
        }
        acedSSFree(ss);
        acdbEntDel(ent);
        if (rc == RTKWORD)
            continue;
        if (rc == RTERROR)
            acutPrintf(L"\n选择集使用完毕或有其他错误,程序退出!");
        going = false;
    }
    DeletePanelDialog();
    SetAcadSysVar(L"OSMODE", 0);
    acedRetVoid();
}
