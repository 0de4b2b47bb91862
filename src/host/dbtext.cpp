#include "host/dbtext.h"

#include <cmath>

double estimateTextAdvance(const std::string& utf8)
{
    double w = 0.0;
    for (wchar_t c : utf8ToWide(utf8))
        w += (c >= 0x2E80 && c < 0xFFEF) ? 1.0 : (c == L' ' ? 0.5 : 0.6);
    return w;
}

TextLayout layoutText(const AcDbText& t)
{
    TextLayout out;
    out.height = t.height();
    out.descent = 0.2 * t.height();
    out.width = estimateTextAdvance(t.text()) * t.height() * t.widthFactor();
    out.rotation = t.rotation();
    const int h = t.horizontalMode();
    const int v = t.verticalMode();
    if ((h == AcDb::kTextAlign || h == AcDb::kTextFit) && v == AcDb::kTextBase) {
        const AcGePoint3d a = t.position(), b = t.alignmentPoint();
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (len > 0.0) {
            out.rotation = std::atan2(b.y - a.y, b.x - a.x);
            if (h == AcDb::kTextAlign && out.width > 0.0) {
                out.height *= len / out.width;
                out.descent = 0.2 * out.height;
            }
            out.width = len;
        }
        out.origin = a;
        return out;
    }
    double dx = 0.0, dy = 0.0;
    if (h == AcDb::kTextMid) {
        dx = -out.width / 2;
        dy = -out.height / 2;
    } else {
        if (h == AcDb::kTextCenter)
            dx = -out.width / 2;
        else if (h == AcDb::kTextRight)
            dx = -out.width;
        if (v == AcDb::kTextBottom)
            dy = out.descent;
        else if (v == AcDb::kTextVertMid)
            dy = -out.height / 2;
        else if (v == AcDb::kTextTop)
            dy = -out.height;
    }
    const AcGePoint3d anchor = t.anchorPoint();
    const double c = std::cos(out.rotation), s = std::sin(out.rotation);
    out.origin = AcGePoint3d(anchor.x + dx * c - dy * s, anchor.y + dx * s + dy * c, anchor.z);
    return out;
}
