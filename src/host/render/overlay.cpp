#include "host/render/overlay.h"

#include "host/accolor.h"
#include "host/acapdoc.h"
#include "host/render/svg.h"
#include "host/tempgraphics.h"

#include <cstdio>

namespace render {

namespace {

std::string number(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}


std::function<bool(const AcDbObjectId&)> among(const AcDbObjectIdArray& ids)
{
    return [ids](const AcDbObjectId& id) { return ids.contains(id); };
}

} // namespace

std::string overlaySvg()
{
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\">\n";
    AcApDocument* doc = acDocManager->curDocument();
    if (!doc || !doc->database()) {
        out += "</svg>\n";
        return out;
    }
    const host::TempGraphics& t = host::temporaryGraphics();
    out += "<g class=\"vectors\" fill=\"none\">\n";
    for (const host::TempVector& v : t.vectors) {
        // The complementing colour shows dark on the white picture.
        const std::uint32_t rgb = v.color < 0 ? 0x000000u : aciToRgb(v.color, false);
        out += "<line x1=\"" + number(v.from.x) + "\" y1=\"" + number(-v.from.y) + "\" x2=\"" + number(v.to.x)
             + "\" y2=\"" + number(-v.to.y) + "\" stroke=\"" + svgColor(rgb) + "\""
             + (v.highlight ? " stroke-dasharray=\"4 3\"" : "") + "/>\n";
    }
    out += "</g>\n";
    const AcDbDatabase& db = *doc->database();
    if (!t.highlighted.isEmpty())
        out += svgEntityGroup(db, among(t.highlighted), AcGeMatrix3d(), "class=\"highlighted\" stroke-dasharray=\"4 3\"");
    if (t.drag.moved)
        out += svgEntityGroup(db, among(t.drag.ids), t.drag.matrix, "class=\"dragged\"");
    out += "</svg>\n";
    return out;
}

AcDbObjectIdArray hiddenNow()
{
    return acDocManager->curDocument() ? host::temporaryGraphics().hidden : AcDbObjectIdArray();
}

std::function<bool(const AcDbObjectId&)> shownNow()
{
    if (!acDocManager->curDocument())
        return {};
    const AcDbObjectIdArray hidden = host::temporaryGraphics().hidden;
    if (hidden.isEmpty())
        return {};
    return [hidden](const AcDbObjectId& id) { return !hidden.contains(id); };
}

} // namespace render
