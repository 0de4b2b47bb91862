#include "install/Sketch.h"

#include "host/dbmain.h"

#include <cassert>
#include <cmath>
#include <map>

namespace ctrlsch::install {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Strokes of a letter in a 0..1 (wide) x 0..1 (high) box: pairs of points.
const std::map<char, std::vector<double>>& strokes()
{
    static const std::map<char, std::vector<double>> s = {
        {'A', {0, 0, 0.5, 1, 0.5, 1, 1, 0, 0.2, 0.4, 0.8, 0.4}},
        {'B', {0, 0, 0, 1, 0, 1, 0.8, 1, 0.8, 1, 0.8, 0.5, 0, 0.5, 1, 0.5, 1, 0.5, 1, 0, 1, 0, 0, 0}},
        {'C', {1, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0}},
        {'D', {0, 0, 0, 1, 0, 1, 0.6, 1, 0.6, 1, 1, 0.6, 1, 0.6, 1, 0.4, 1, 0.4, 0.6, 0, 0.6, 0, 0, 0}},
        {'E', {1, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0.5, 0.7, 0.5}},
        {'F', {1, 1, 0, 1, 0, 1, 0, 0, 0, 0.5, 0.7, 0.5}},
        {'G', {1, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 1, 0.5, 1, 0.5, 0.5, 0.5}},
        {'H', {0, 0, 0, 1, 1, 0, 1, 1, 0, 0.5, 1, 0.5}},
        {'I', {0.5, 0, 0.5, 1, 0.2, 1, 0.8, 1, 0.2, 0, 0.8, 0}},
        {'J', {1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0.3}},
        {'K', {0, 0, 0, 1, 1, 1, 0, 0.5, 0, 0.5, 1, 0}},
        {'L', {0, 1, 0, 0, 0, 0, 1, 0}},
        {'M', {0, 0, 0, 1, 0, 1, 0.5, 0.5, 0.5, 0.5, 1, 1, 1, 1, 1, 0}},
        {'N', {0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1}},
        {'O', {0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1, 0, 0}},
        {'P', {0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0.5, 1, 0.5, 0, 0.5}},
        {'Q', {0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1, 0, 0, 0.6, 0.3, 1, 0}},
        {'R', {0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0.5, 1, 0.5, 0, 0.5, 0.3, 0.5, 1, 0}},
        {'S', {1, 1, 0, 1, 0, 1, 0, 0.5, 0, 0.5, 1, 0.5, 1, 0.5, 1, 0, 1, 0, 0, 0}},
        {'T', {0, 1, 1, 1, 0.5, 1, 0.5, 0}},
        {'U', {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 1, 1}},
        {'V', {0, 1, 0.5, 0, 0.5, 0, 1, 1}},
        {'W', {0, 1, 0.25, 0, 0.25, 0, 0.5, 0.6, 0.5, 0.6, 0.75, 0, 0.75, 0, 1, 1}},
        {'X', {0, 0, 1, 1, 0, 1, 1, 0}},
        {'Y', {0, 1, 0.5, 0.5, 1, 1, 0.5, 0.5, 0.5, 0.5, 0.5, 0}},
        {'Z', {0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0}},
        {'0', {0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1, 0, 0}},
        {'1', {0.5, 0, 0.5, 1, 0.5, 1, 0.25, 0.8}},
        {'2', {0, 1, 1, 1, 1, 1, 1, 0.5, 1, 0.5, 0, 0.5, 0, 0.5, 0, 0, 0, 0, 1, 0}},
        {'3', {0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0.3, 0.5, 1, 0.5}},
        {'4', {0, 1, 0, 0.5, 0, 0.5, 1, 0.5, 0.8, 1, 0.8, 0}},
        {'5', {1, 1, 0, 1, 0, 1, 0, 0.5, 0, 0.5, 1, 0.5, 1, 0.5, 1, 0, 1, 0, 0, 0}},
        {'6', {1, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 1, 0.5, 1, 0.5, 0, 0.5}},
        {'7', {0, 1, 1, 1, 1, 1, 0.4, 0}},
        {'8', {0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1, 0, 0, 0, 0.5, 1, 0.5}},
        {'9', {0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1, 0, 0.5, 0, 0.5, 1, 0.5}},
        {'-', {0.1, 0.5, 0.9, 0.5}},
        {'.', {0.45, 0, 0.55, 0, 0.55, 0, 0.55, 0.1}},
        {'~', {0, 0.4, 0.3, 0.6, 0.3, 0.6, 0.7, 0.4, 0.7, 0.4, 1, 0.6}},
    };
    return s;
}

} // namespace

Sketch& Sketch::line(double x1, double y1, double x2, double y2)
{
    m_items.push_back({Item::Line, {x1, y1, x2, y2}});
    return *this;
}

Sketch& Sketch::polyline(std::vector<std::pair<double, double>> points, bool closed)
{
    Item it{Item::Poly, {}, closed};
    for (auto [x, y] : points) {
        it.v.push_back(x);
        it.v.push_back(y);
    }
    m_items.push_back(std::move(it));
    return *this;
}

Sketch& Sketch::circle(double cx, double cy, double r)
{
    m_items.push_back({Item::Circle, {cx, cy, r}});
    return *this;
}

Sketch& Sketch::arc(double cx, double cy, double r, double startDeg, double endDeg)
{
    m_items.push_back({Item::Arc, {cx, cy, r, startDeg * kPi / 180, endDeg * kPi / 180}});
    return *this;
}

Sketch& Sketch::fill(double x1, double y1, double x2, double y2, double x3, double y3)
{
    m_items.push_back({Item::Fill, {x1, y1, x2, y2, x3, y3, x3, y3}});
    return *this;
}

Sketch& Sketch::fillRect(double x1, double y1, double x2, double y2)
{
    // A solid's third and fourth corners go crosswise.
    m_items.push_back({Item::Fill, {x1, y1, x2, y1, x1, y2, x2, y2}});
    return *this;
}

Sketch& Sketch::shade(double x1, double y1, double x2, double y2)
{
    m_items.push_back({Item::Shade, {x1, y1, x2, y1, x1, y2, x2, y2}});
    return *this;
}

Sketch& Sketch::letters(const std::string& text, double cx, double cy, double h)
{
    const double w = 0.6 * h, gap = 0.25 * h;
    const double total = text.size() * w + (text.empty() ? 0 : (text.size() - 1) * gap);
    double x0 = cx - total / 2;
    const double y0 = cy - h / 2;
    for (char c : text) {
        auto it = strokes().find(c);
        if (it != strokes().end())
            for (std::size_t i = 0; i + 3 < it->second.size(); i += 4) {
                const auto& s = it->second;
                line(x0 + s[i] * w, y0 + s[i + 1] * h, x0 + s[i + 2] * w, y0 + s[i + 3] * h);
            }
        x0 += w + gap;
    }
    return *this;
}

Sketch& Sketch::pen(double width)
{
    assert(width >= 0.0);
    m_pen = width;
    return *this;
}

Sketch& Sketch::scale(double factor)
{
    m_pen *= factor;
    for (Item& it : m_items) {
        // An arc's last two values are its angles.
        const std::size_t lengths = it.kind == Item::Arc ? 3 : it.v.size();
        for (std::size_t i = 0; i < lengths; ++i)
            it.v[i] *= factor;
    }
    return *this;
}

void Sketch::addTo(AcDbBlockTableRecord* space) const
{
    auto own = [](AcDbEntity* e) {
        e->setLayerName("0");
        e->setColorIndex(0);
        return e;
    };
    // A stroke drawn with the pen: a polyline of its width through the
    // points, each segment with its bulge (0 straight).
    auto stroke = [&](const std::vector<AcGePoint2d>& points, const std::vector<double>& bulges, bool closed) {
        auto* pl = new AcDbPolyline;
        for (std::size_t i = 0; i < points.size(); ++i)
            pl->addVertexAt(pl->numVerts(), points[i], i < bulges.size() ? bulges[i] : 0.0);
        pl->setClosed(closed);
        pl->setConstantWidth(m_pen);
        space->appendAcDbEntity(own(pl));
    };
    const bool wide = m_pen > 0.0;
    for (const Item& it : m_items) {
        const auto& v = it.v;
        switch (it.kind) {
        case Item::Line:
            if (wide)
                stroke({AcGePoint2d(v[0], v[1]), AcGePoint2d(v[2], v[3])}, {}, false);
            else
                space->appendAcDbEntity(own(new AcDbLine(AcGePoint3d(v[0], v[1], 0), AcGePoint3d(v[2], v[3], 0))));
            break;
        case Item::Poly: {
            auto* pl = new AcDbPolyline;
            for (std::size_t i = 0; i + 1 < v.size(); i += 2)
                pl->addVertexAt(pl->numVerts(), AcGePoint2d(v[i], v[i + 1]));
            pl->setClosed(it.closed);
            if (wide)
                pl->setConstantWidth(m_pen);
            space->appendAcDbEntity(own(pl));
            break;
        }
        case Item::Circle:
            // Two half circles.
            if (wide)
                stroke({AcGePoint2d(v[0] - v[2], v[1]), AcGePoint2d(v[0] + v[2], v[1])}, {1.0, 1.0}, true);
            else
                space->appendAcDbEntity(
                    own(new AcDbCircle(AcGePoint3d(v[0], v[1], 0), AcGeVector3d(0, 0, 1), v[2])));
            break;
        case Item::Arc:
            if (wide) {
                // Counter-clockwise from start to end, in two halves so that
                // no bulge grows without bound.
                double sweep = std::fmod(v[4] - v[3], 2 * kPi);
                if (sweep <= 0)
                    sweep += 2 * kPi;
                std::vector<AcGePoint2d> points;
                for (int k = 0; k <= 2; ++k) {
                    const double a = v[3] + sweep * k / 2;
                    points.emplace_back(v[0] + v[2] * std::cos(a), v[1] + v[2] * std::sin(a));
                }
                const double bulge = std::tan(sweep / 8);
                stroke(points, {bulge, bulge}, false);
            } else {
                space->appendAcDbEntity(own(new AcDbArc(AcGePoint3d(v[0], v[1], 0), v[2], v[3], v[4])));
            }
            break;
        case Item::Fill:
        case Item::Shade: {
            AcDbEntity* solid = own(new AcDbSolid(AcGePoint3d(v[0], v[1], 0), AcGePoint3d(v[2], v[3], 0),
                                                  AcGePoint3d(v[4], v[5], 0), AcGePoint3d(v[6], v[7], 0)));
            if (it.kind == Item::Shade)
                solid->setColorIndex(9);
            space->appendAcDbEntity(solid);
            break;
        }
        }
    }
}

} // namespace ctrlsch::install
