#include "schematic/DragInsert.h"

#include "components/NorvexCase.h"
#include "components/NorvexGloFunc.h"
#include "host/aced.h"
#include "host/dbmain.h"

#include <cmath>
#include <cstring>

namespace {

// Kept between DragInsertBlock and its drag callback.
struct DragState {
    int status = kDragFailed;
    AcGePoint3d picked;
    ads_name temporary = {0, 0};
    AcGePoint3d parking;
    AcGePoint3d reference;
};
DragState g_drag;

// The temporary insert's insertion point (group 10) as the reference point.
int readReferencePoint()
{
    resbuf* data = acdbEntGet(g_drag.temporary);
    if (!data) {
        acdbFail(L"\nFailed to get entity.");
        return RTERROR;
    }
    for (const resbuf* rb = data; rb; rb = rb->rbnext)
        if (rb->restype == 10) {
            g_drag.reference = AcGePoint3d(rb->resval.rpoint[0], rb->resval.rpoint[1], 0.0);
            break;
        }
    acutRelRb(data);
    return RTNORM;
}

void identity(ads_matrix m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = r == c ? 1.0 : 0.0;
}

// The image follows the cursor with its insertion point under it.
int dragCallback(ads_point pt, ads_matrix mt)
{
    identity(mt);
    mt[0][3] = pt[0] - g_drag.parking.x;
    mt[1][3] = pt[1] - g_drag.parking.y;
    mt[2][3] = pt[2] - g_drag.parking.z;
    return mt[0][3] == 0.0 && mt[1][3] == 0.0 ? RTNONE : RTNORM;
}

void deleteTemporary()
{
    if (acdbEntDel(g_drag.temporary) != RTNORM)
        acutPrintf(L"\n函数ads_entdel()未能删除实体");
}

int finish(ads_name ss, int status)
{
    deleteTemporary();
    acedSSFree(ss);
    g_drag.status = status;
    return 1;
}

double realVar(const wchar_t* name, double fallback)
{
    resbuf rb{};
    if (acedGetVar(name, &rb) != RTNORM)
        return fallback;
    return rb.restype == RTREAL ? rb.resval.rreal : fallback;
}

double screenHeight()
{
    resbuf rb{};
    if (acedGetVar(L"SCREENSIZE", &rb) != RTNORM || rb.resval.rpoint[1] <= 0)
        return 768.0;
    return rb.resval.rpoint[1];
}

// Asks again for a scale the insert cannot take. False when cancelled.
bool askValidScale(double& scale)
{
    while (scale < 0.0 || scale > 1e8) {
        acedInitGet(128, nullptr);
        const int rc = acedGetReal(L"\n比例参数无效,请输入比例<1.0>:", &scale);
        if (rc == RTNONE)
            scale = 1.0;
        else if (rc == RTCAN)
            return false;
    }
    return true;
}

// The parking point: 150000 pixels below and left of the view.
AcGePoint3d parkingPoint(double xOffset, double yOffset)
{
    const double unitsPerPixel = realVar(L"VIEWSIZE", 1.0) / screenHeight();
    double lowerLeft[2], upperRight[2];
    XScjx(lowerLeft, upperRight);
    return AcGePoint3d(lowerLeft[0] - 150000.0 * unitsPerPixel + xOffset,
                       lowerLeft[1] - 150000.0 * unitsPerPixel + yOffset, 0.0);
}

// Inserts the block (of the drawing, or from its file) at the parking
// point as the temporary insert. False, having said why, when it cannot.
bool insertTemporary(const std::wstring& block)
{
    if (resbuf* found = acdbTblSearch(L"BLOCK", block.c_str(), 0)) {
        acutRelRb(found);
    } else {
        std::wstring file = block;
        if (file.size() < 4 || UpperStr(file.substr(file.size() - 4)) != L".DWG")
            file += L".dwg";
        ACHAR path[1024];
        if (acedFindFile(file.c_str(), path, 1024) != RTNORM) {
            acutPrintf(L"\n插入块参数无效!");
            return false;
        }
    }
    if (acedCommand({L"INSERT", block, g_drag.parking, L"1.0", L"1.0", L"0.0"}) != RTNORM) {
        acutPrintf(L"\n块插入操作错误!");
        return false;
    }
    return true;
}

// Rotates and scales the temporary insert about its insertion point; with
// the rotation reset, moves it and the parking point to the origin. False
// when its insertion point cannot be read.
bool shapeTemporary(ads_name ss, double scale, double rotation, bool rotationReset)
{
    if (rotation > -360.0 && rotation < 360.0 && rotation != 0.0) {
        if (readReferencePoint() != RTNORM) {
            acutPrintf(L"\nCan't find insert point!");
            return false;
        }
        const double a = rotation * kPi / 180.0;
        const double c = std::cos(a), s = std::sin(a);
        const AcGePoint3d& r = g_drag.reference;
        ads_matrix m;
        identity(m);
        m[0][0] = c;
        m[0][1] = -s;
        m[1][0] = s;
        m[1][1] = c;
        m[0][3] = r.x - c * r.x + s * r.y;
        m[1][3] = r.y - s * r.x - c * r.y;
        if (acedXformSS(ss, m) != RTNORM)
            acutPrintf(L"\n函数ads_xformss 错误!");
    }
    if (scale > 0.0 && scale < 1e8) {
        if (readReferencePoint() != RTNORM) {
            acutPrintf(L"\nCan't find insert point!");
            return false;
        }
        const AcGePoint3d& r = g_drag.reference;
        ads_matrix m;
        identity(m);
        m[0][0] = m[1][1] = m[2][2] = scale;
        m[0][3] = (1.0 - scale) * r.x;
        m[1][3] = (1.0 - scale) * r.y;
        m[2][3] = (1.0 - scale) * r.z;
        acedXformSS(ss, m);
    }
    if (rotationReset) {
        ads_matrix m;
        identity(m);
        m[0][3] = -g_drag.parking.x;
        m[1][3] = -g_drag.parking.y;
        m[2][3] = -g_drag.parking.z;
        acedXformSS(ss, m);
        g_drag.parking = AcGePoint3d::kOrigin;
    }
    return true;
}

// Drags the temporary insert with the prompt until a point is picked, the
// user ends or cancels, or asks to repeat; finishes with that status.
int dragTemporary(ads_name ss, const std::wstring& prompt)
{
    bool showPrompt = true;
    int last = RTNORM;
    while (true) {
        if (last == RTERROR)
            return finish(ss, kDragEnded);
        if (showPrompt) {
            acutPrintf(L"\n%ls", prompt.c_str());
            showPrompt = false;
        }
        acedRedraw(g_drag.temporary, 2);
        acedInitGet(0, L"Repeat");
        ads_point pt = {0, 0, 0};
        last = acedDragGen(ss, L"", 0, dragCallback, pt);
        switch (last) {
        case RTNORM:
            g_drag.picked = AcGePoint3d(pt[0], pt[1], pt[2]);
            return finish(ss, kDragPicked);
        case RTNONE:
            return finish(ss, kDragEnded);
        case RTCAN:
            return finish(ss, kDragFailed);
        case RTKWORD: {
            ACHAR input[256];
            acedGetInput(input, 256);
            if (UpperStr(std::wstring(input)) == L"REPEAT")
                return finish(ss, kDragRepeat);
            break;
        }
        default:
            break;
        }
        // Anything else: show the image and the prompt again.
        acedRedraw(g_drag.temporary, 1);
        showPrompt = true;
    }
}

} // namespace

int GetDragStatus()
{
    return g_drag.status;
}

AcGePoint3d GetDragPickedPoint()
{
    return g_drag.picked;
}

int DragInsertBlock(double xOffset, double yOffset, const std::wstring& block, const std::wstring& prompt,
                    double& scale, double& rotation)
{
    g_drag.status = kDragFailed;
    if (!askValidScale(scale))
        return 1;
    bool rotationReset = false;
    if (rotation < -360.0 || rotation > 360.0) {
        rotation = 0.0;
        rotationReset = true;
    }
    g_drag.parking = parkingPoint(xOffset, yOffset);
    if (!insertTemporary(block))
        return 1;
    acdbEntLast(g_drag.temporary);
    ads_name ss;
    acedSSAdd(g_drag.temporary, nullptr, ss);
    if (!shapeTemporary(ss, scale, rotation, rotationReset))
        return finish(ss, kDragFailed);
    return dragTemporary(ss, prompt);
}
