// PLINE: a polyline of straight and arc segments, with its width option;
// LINE: lines from point to point.
#include "host/commands_internal.h"
#include "host/hostcall.h"

#include <charconv>


namespace host::cmd {

namespace {

// The shortest text that reads back as exactly v.
std::string exactText(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

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

} // namespace

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

// Each point after the first draws a line from the one before; "U" takes
// the last line back, Enter (or Esc) ends.
int cmdLine(Replies& r)
{
    AcGePoint3d start;
    if (!r.point(L"\n指定第一个点: ", start, true))
        return RTNORM;
    std::vector<AcGePoint3d> points{start};
    std::vector<AcDbObjectId> drawn;
    while (true) {
        std::wstring kw;
        AcGePoint3d p;
        const AcGePoint3d last = points.back();
        if (!r.point(L"\n指定下一点或 [放弃(U)]: ", p, true, L"Undo", &kw, &last))
            break;
        if (kw == L"Undo") {
            if (drawn.empty()) {
                r.reject(L"\n没有可放弃的直线。\n");
                continue;
            }
            AcDbEntity* e = nullptr;
            if (acdbOpenAcDbEntity(e, drawn.back(), AcDb::kForWrite) == Acad::eOk) {
                e->erase();
                e->close();
            }
            drawn.pop_back();
            points.pop_back();
            continue;
        }
        drawn.push_back(addToCurrentSpace(new AcDbLine(last, p)));
        points.push_back(p);
        setLastPoint(p);
    }
    return RTNORM;
}

} // namespace host::cmd
