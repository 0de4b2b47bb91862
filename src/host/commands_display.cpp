// ZOOM, COLOR, UNDO, U and REDRAW.
#include "host/acapdoc.h"
#include "host/commands_internal.h"
#include "host/dbinternal.h"
#include "host/dbundo.h"
#include "host/hostcall.h"
#include "host/tempgraphics.h"

#include <algorithm>
#include <cmath>

namespace host::cmd {

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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

namespace {

void undoGroups(const Replies& r, int count)
{
    AcDbUndoJournal& j = AcDbInternals::journal(*workingDb());
    int done = 0;
    for (int i = 0; i < count && j.undoGroup(); ++i)
        ++done;
    if (done == 0)
        r.note(L"\n没有可放弃的操作。\n");
    else
        r.note(L"\n已放弃 " + std::to_wstring(done) + L" 组操作。\n");
}

} // namespace

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
            AcDbInternals::journal(*workingDb()).beginExplicit();
            return RTNORM;
        }
        if (kw == L"End") {
            AcDbInternals::journal(*workingDb()).endExplicit();
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

} // namespace host::cmd
