#include "schematic/SchematicXdata.h"

#include "components/NorvexGloFunc.h"
#include "host/aced.h"
#include "host/dbmain.h"
#include "library/YlthzDialog.h"

#include <cstdio>
#include <cwchar>
#include <string>

int GetIdPoint(const AcDbObjectId& id, AcGePoint3d& point)
{
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForRead) != Acad::eOk)
        return 0;
    resbuf* data = obj->xData(L"IDPOINT");
    obj->close();
    int found = 0;
    // The first item after the application name must be the world point.
    if (data && data->rbnext && data->rbnext->restype == 1011) {
        const resbuf* p = data->rbnext;
        point = AcGePoint3d(p->resval.rpoint[0], p->resval.rpoint[1], 0.0);
        found = 1;
    }
    acutRelRb(data);
    return found;
}

int SetIdPoint(const AcDbObjectId& id, const AcGePoint3d& point)
{
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForWrite) != Acad::eOk)
        return 0;
    acdbRegApp(L"IDPOINT");
    const ads_point p = {point.x, point.y, 0.0};
    resbuf* data = acutBuildList(1001, L"IDPOINT", 1011, p, 0);
    obj->setXData(data);
    acutRelRb(data);
    obj->close();
    return 1;
}

int GetXdataString(const ads_name entity, const ACHAR* app, std::wstring& text)
{
    AcDbObjectId id;
    if (acdbGetObjectId(id, entity) != Acad::eOk) {
        acutPrintf(L"\nacdbGetObjectId failed");
        acedRetNil();
        return 1;
    }
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForRead) != Acad::eOk) {
        acutPrintf(L"Getxdata acdbOpenEntity failed");
        acedRetNil();
        return 1;
    }
    resbuf* data = obj->xData(app);
    if (!data) {
        acedRetNil();
        obj->close();
        return 1;
    }
    bool inside = false;
    for (const resbuf* rb = data->rbnext; rb; rb = rb->rbnext) {
        if (rb->restype == 1002) {
            inside = !inside;
        } else if (rb->restype == 1000 && !inside) {
            text = rb->resval.rstring ? rb->resval.rstring : L"";
            break;
        }
    }
    acutRelRb(data);
    obj->close();
    return 1;
}

std::wstring FormatSchematicParameters(double stringPitch, double cellPitch, double lineWidth, double symbolScale,
                                       int cellsPerString, int orientation)
{
    // Whole however long: a pitch of 1e300 has 301 digits.
    const char* const format = "%.2f&%.2f&%.2f&%.2f&%d&%d";
    std::string text(static_cast<std::size_t>(std::snprintf(nullptr, 0, format, stringPitch, cellPitch, lineWidth,
                                                            symbolScale, cellsPerString, orientation)),
                     '\0');
    std::snprintf(text.data(), text.size() + 1, format, stringPitch, cellPitch, lineWidth, symbolScale,
                  cellsPerString, orientation);
    return std::wstring(text.begin(), text.end());
}

namespace {

int attachString(const ads_name entity, const ACHAR* app, const std::wstring& text)
{
    resbuf* item = acutBuildList(RTSTR, text.c_str(), 0);
    const int ok = AddXdata(entity, app, item);
    acutRelRb(item);
    return ok;
}

int writeXdata(const AcDbObjectId& id, bool symbol, double stringPitch, double cellPitch, double lineWidth,
               double symbolScale, int cellsPerString, int orientation, const AcGePoint3d& idPoint)
{
    ads_name entity;
    if (acdbGetAdsName(entity, id) != Acad::eOk) {
        acutPrintf(L"\n获取实体名失败!");
        return 0;
    }
    if (symbol) {
        CString description, code;
        if (g_pYlthzDlg) {
            g_pYlthzDlg->GetSymbolDescription(description);
            g_pYlthzDlg->GetSymbolCode(code);
        }
        attachString(entity, L"TKSY", std::wstring(description.GetString()) + L"&" + code.GetString());
    }
    attachString(entity, L"YLTHZCS",
                 FormatSchematicParameters(stringPitch, cellPitch, lineWidth, symbolScale, cellsPerString, orientation));
    return SetIdPoint(id, idPoint);
}

} // namespace

int WriteSchematicXdata(const AcDbObjectId& id, double stringPitch, double cellPitch, double lineWidth,
                        double symbolScale, int cellsPerString, int orientation, const AcGePoint3d& idPoint)
{
    return writeXdata(id, false, stringPitch, cellPitch, lineWidth, symbolScale, cellsPerString, orientation, idPoint);
}

int WriteSymbolXdata(const AcDbObjectId& id, double stringPitch, double cellPitch, double lineWidth,
                     double symbolScale, int cellsPerString, int orientation, const AcGePoint3d& idPoint)
{
    return writeXdata(id, true, stringPitch, cellPitch, lineWidth, symbolScale, cellsPerString, orientation, idPoint);
}
