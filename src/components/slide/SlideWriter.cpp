#include "components/slide/SlideWriter.h"

#include "components/slide/SlideLibrary.h"
#include "host/dbmain.h"
#include "ui/dc.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

namespace ctrlsch::slide {

SlideWriter::SlideWriter(int widthDots, int heightDots)
    : m_width(std::clamp(widthDots, 2, 0x8000)), m_height(std::clamp(heightDots, 2, 0x8000))
{
}

void SlideWriter::addSegment(const AcGePoint2d& a, const AcGePoint2d& b, int colour)
{
    m_items.push_back({{a, b}, false, colour, {}});
}

void SlideWriter::addFill(std::vector<AcGePoint2d> vertices, int colour)
{
    if (vertices.size() < 3)
        return;
    if (vertices.size() <= kMaxFillVertices) {
        m_items.push_back({std::move(vertices), true, colour, {}});
        return;
    }
    // Fans from the first vertex, each sharing an edge with the one before.
    for (std::size_t i = 1; i + 1 < vertices.size(); i += kMaxFillVertices - 2) {
        std::vector<AcGePoint2d> part{vertices[0]};
        for (std::size_t j = i; j < vertices.size() && part.size() < kMaxFillVertices; ++j)
            part.push_back(vertices[j]);
        if (part.size() >= 3)
            m_items.push_back({std::move(part), true, colour, {}});
    }
}

void SlideWriter::addRegion(std::vector<std::vector<AcGePoint2d>> contours, int colour)
{
    std::erase_if(contours, [](const std::vector<AcGePoint2d>& c) { return c.size() < 3; });
    if (!contours.empty())
        m_items.push_back({{}, false, colour, std::move(contours)});
}

namespace {

struct DotPoint {
    double x, y;
};

// The runs of dots inside the contours (non-zero winding) along each dot
// row, or along each dot column when `columns`: run(line, from, to). A run
// between two dots, a stroke thinner than a dot, keeps the dot nearest
// its middle, so no stroke is lost and none is made bolder.
void scanRegion(const std::vector<std::vector<DotPoint>>& contours, bool columns, int highAcross, int highAlong,
                const std::function<void(int line, int from, int to)>& run)
{
    auto across = [columns](const DotPoint& p) { return columns ? p.x : p.y; };
    auto along = [columns](const DotPoint& p) { return columns ? p.y : p.x; };
    double first = std::numeric_limits<double>::max(), last = std::numeric_limits<double>::lowest();
    for (const auto& c : contours)
        for (const DotPoint& p : c) {
            first = std::min(first, across(p));
            last = std::max(last, across(p));
        }
    std::vector<std::pair<double, int>> crossings;
    const int from = std::max(0, static_cast<int>(std::ceil(first))), to = std::min(highAcross, static_cast<int>(std::floor(last)));
    for (int line = from; line <= to; ++line) {
        crossings.clear();
        for (const auto& c : contours)
            for (std::size_t i = 0; i < c.size(); ++i) {
                const DotPoint a = c[i], b = c[(i + 1) % c.size()];
                const double a0 = across(a), b0 = across(b);
                if ((a0 <= line) != (b0 <= line))
                    crossings.emplace_back(along(a) + (line - a0) * (along(b) - along(a)) / (b0 - a0), b0 > a0 ? 1 : -1);
            }
        std::sort(crossings.begin(), crossings.end());
        int winding = 0;
        for (std::size_t k = 0; k + 1 < crossings.size(); ++k) {
            winding += crossings[k].second;
            if (winding == 0)
                continue;
            const double lo = crossings[k].first, hi = crossings[k + 1].first;
            int start = static_cast<int>(std::ceil(lo)), end = static_cast<int>(std::floor(hi));
            if (start > end)
                start = end = static_cast<int>(std::lround((lo + hi) / 2));
            start = std::clamp(start, 0, highAlong);
            end = std::clamp(end, 0, highAlong);
            run(line, start, end);
        }
    }
}

} // namespace

Slide SlideWriter::slide() const
{
    Slide s;
    s.highX = m_width - 1;
    s.highY = m_height - 1;
    s.aspectRatio = static_cast<double>(s.highX) / s.highY;
    double minX = std::numeric_limits<double>::max(), minY = minX;
    double maxX = std::numeric_limits<double>::lowest(), maxY = maxX;
    auto extend = [&](const AcGePoint2d& p) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    };
    for (const Item& it : m_items) {
        for (const AcGePoint2d& p : it.points)
            extend(p);
        for (const auto& c : it.contours)
            for (const AcGePoint2d& p : c)
                extend(p);
    }
    if (m_items.empty())
        return s;
    const double w = maxX - minX, h = maxY - minY;
    double scale = 1.0;
    if (w > 0 && h > 0)
        scale = std::min(s.highX / w, s.highY / h);
    else if (w > 0)
        scale = s.highX / w;
    else if (h > 0)
        scale = s.highY / h;
    const double offX = (s.highX - w * scale) / 2.0;
    const double offY = (s.highY - h * scale) / 2.0;
    auto exact = [&](const AcGePoint2d& p) { return DotPoint{(p.x - minX) * scale + offX, (p.y - minY) * scale + offY}; };
    auto dot = [&](const AcGePoint2d& p) {
        const DotPoint e = exact(p);
        SlidePoint d;
        d.x = std::clamp(static_cast<int>(std::lround(e.x)), 0, s.highX);
        d.y = std::clamp(static_cast<int>(std::lround(e.y)), 0, s.highY);
        return d;
    };

    SlidePoint last;
    for (const Item& it : m_items) {
        const int colour = std::clamp(it.colour, 0, 255);
        if (!it.contours.empty()) {
            // The inside, row by row and column by column.
            std::vector<std::vector<DotPoint>> dots;
            for (const auto& c : it.contours) {
                dots.emplace_back();
                for (const AcGePoint2d& p : c)
                    dots.back().push_back(exact(p));
            }
            scanRegion(dots, false, s.highY, s.highX, [&](int y, int from, int to) {
                s.primitives.emplace_back(SlideSegment{{from, y}, {to, y}, colour});
            });
            scanRegion(dots, true, s.highX, s.highY, [&](int x, int from, int to) {
                s.primitives.emplace_back(SlideSegment{{x, from}, {x, to}, colour});
            });
            last = SlidePoint{};
            if (!s.primitives.empty())
                if (const auto* seg = std::get_if<SlideSegment>(&s.primitives.back()))
                    last = seg->from;
            continue;
        }
        if (it.fill) {
            SlideFill f{{}, colour};
            for (const AcGePoint2d& p : it.points)
                f.vertices.push_back(dot(p));
            s.primitives.emplace_back(std::move(f));
            continue;
        }
        // The direction of a drawn line does not matter: a segment that ends
        // on the last point is a short common-endpoint record, and starting
        // from the far end of a line lets the next line of a chain do so.
        SlidePoint from = dot(it.points[1]), to = dot(it.points[0]);
        if (from == last)
            std::swap(from, to);
        s.primitives.emplace_back(SlideSegment{from, to, colour});
        last = from;
    }
    return s;
}

SlideResult<std::vector<std::uint8_t>> SlideWriter::bytes() const
{
    return encodeSlide(slide());
}

SlideResult<bool> SlideWriter::writeFile(const std::filesystem::path& path) const
{
    auto b = bytes();
    if (!b.ok())
        return SlideResult<bool>::failure(b.error());
    return writeFileAtomically(path, b.value());
}

namespace {

constexpr int kDefaultColour = 7;
constexpr int kMaxBlockDepth = 16;

int resolveColour(int colour, int blockColour)
{
    if (colour == 0)
        return blockColour;
    if (colour >= 1 && colour <= 255)
        return colour;
    return kDefaultColour;
}

AcGePoint2d flat(AcGePoint3d p, const AcGeMatrix3d& m)
{
    p.transformBy(m);
    return {p.x, p.y};
}

// Segments per full turn when flattening arcs.
constexpr int kArcSteps = 48;

void addArc(SlideWriter& w, const AcGePoint3d& c, double r, double a0, double a1, const AcGeMatrix3d& m,
            int colour)
{
    while (a1 <= a0)
        a1 += 2 * std::numbers::pi;
    const int n = std::max(2, static_cast<int>(std::ceil((a1 - a0) / (2 * std::numbers::pi) * kArcSteps)));
    AcGePoint2d prev = flat({c.x + r * std::cos(a0), c.y + r * std::sin(a0), c.z}, m);
    for (int i = 1; i <= n; ++i) {
        const double a = a0 + (a1 - a0) * i / n;
        AcGePoint2d p = flat({c.x + r * std::cos(a), c.y + r * std::sin(a), c.z}, m);
        w.addSegment(prev, p, colour);
        prev = p;
    }
}

bool isCjk(wchar_t c)
{
    return c >= 0x2E80 && c < 0xFFEF;
}

// A text as its font draws it: CJK characters fill a square of the text
// height, others have capitals of the text height; the width factor
// stretches, the oblique angle slants, and the justification places the
// glyphs as TEXT entities are placed (aligned and fit texts span their two
// points). Without a font, the outline of the text's box.
void addText(SlideWriter& w, const AcDbText& text, const AcGeMatrix3d& m, int colour)
{
    const std::wstring str = text.textString();
    const double h = text.height();
    if (str.empty() || !(h > 0.0))
        return;
    const double cap = ui::textCapitalHeight();
    // Glyph contours in text space: x along the baseline from the text's
    // start, y up from the baseline.
    std::vector<std::vector<AcGePoint2d>> glyphs;
    double advance = 0.0;
    if (cap > 0.0) {
        for (wchar_t c : str) {
            const double size = isCjk(c) ? h : h / cap;
            const ui::TextOutline g = ui::textOutline(std::wstring_view(&c, 1));
            for (const auto& contour : g.contours) {
                glyphs.emplace_back();
                for (const ui::OutlinePoint& p : contour)
                    glyphs.back().emplace_back(advance + p.x * size, p.y * size);
            }
            advance += g.advance * size;
        }
    } else {
        for (wchar_t c : str)
            advance += (isCjk(c) ? 1.0 : 0.6) * h;
        glyphs.push_back({{0, 0}, {advance, 0}, {advance, h}, {0, h}});
    }
    const double width = advance * text.widthFactor();
    if (!(width > 0.0))
        return;

    const int hm = text.horizontalMode(), vm = text.verticalMode();
    double rotation = text.rotation(), sx = text.widthFactor(), sy = 1.0, dx = 0.0, dy = 0.0;
    AcGePoint3d origin = text.anchorPoint();
    const AcGePoint3d a = text.position(), b = text.alignmentPoint();
    const double span = std::hypot(b.x - a.x, b.y - a.y);
    if ((hm == AcDb::kTextAlign || hm == AcDb::kTextFit) && vm == AcDb::kTextBase && span > 0.0) {
        rotation = std::atan2(b.y - a.y, b.x - a.x);
        sx *= span / width;
        if (hm == AcDb::kTextAlign)
            sy = span / width;
        origin = a;
    } else {
        if (hm == AcDb::kTextCenter || hm == AcDb::kTextMid)
            dx = -width / 2;
        else if (hm == AcDb::kTextRight)
            dx = -width;
        if (hm == AcDb::kTextMid || vm == AcDb::kTextVertMid)
            dy = -h / 2;
        else if (vm == AcDb::kTextBottom)
            dy = 0.2 * h;
        else if (vm == AcDb::kTextTop)
            dy = -h;
    }
    const double slant = std::tan(text.oblique());
    const bool mirrored = text.isMirroredInX();
    const double c = std::cos(rotation), s = std::sin(rotation);
    std::vector<std::vector<AcGePoint2d>> placed;
    for (const auto& contour : glyphs) {
        placed.emplace_back();
        for (const AcGePoint2d& p : contour) {
            const double y = p.y * sy;
            double x = p.x * sx + y * slant;
            if (mirrored)
                x = advance * sx - x;
            const double u = dx + x, v = dy + y;
            placed.back().push_back(flat({origin.x + u * c - v * s, origin.y + u * s + v * c, origin.z}, m));
        }
    }
    if (cap > 0.0) {
        w.addRegion(std::move(placed), colour);
        return;
    }
    const auto& q = placed.front();
    for (std::size_t i = 0; i < q.size(); ++i)
        w.addSegment(q[i], q[(i + 1) % q.size()], colour);
}

void addBlock(const AcDbObjectIdArray& ids, const AcGeMatrix3d& m, int blockColour, int depth, SlideWriter& w)
{
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* ent = nullptr;
        if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk || !ent)
            continue;
        const int colour = resolveColour(ent->colorIndex(), blockColour);
        if (auto* line = dynamic_cast<AcDbLine*>(ent)) {
            w.addSegment(flat(line->startPoint(), m), flat(line->endPoint(), m), colour);
        } else if (auto* pl = dynamic_cast<AcDbPolyline*>(ent)) {
            const unsigned n = pl->numVerts();
            const unsigned count = pl->isClosed() ? n : (n == 0 ? 0 : n - 1);
            for (unsigned i = 0; i < count; ++i) {
                AcGePoint3d p0, p1;
                double bulge = 0.0;
                pl->getPointAt(i, p0);
                pl->getPointAt((i + 1) % n, p1);
                pl->getBulgeAt(i, bulge);
                if (std::abs(bulge) < 1e-9) {
                    w.addSegment(flat(p0, m), flat(p1, m), colour);
                    continue;
                }
                AcGeBulgeArc arc;
                if (acgeBulgeArc(AcGePoint2d(p0.x, p0.y), AcGePoint2d(p1.x, p1.y), bulge, arc))
                    addArc(w, {arc.center.x, arc.center.y, p0.z}, arc.radius, arc.ccwStartAngle(), arc.ccwEndAngle(),
                           m, colour);
            }
        } else if (auto* circle = dynamic_cast<AcDbCircle*>(ent)) {
            addArc(w, circle->center(), circle->radius(), 0.0, 2 * std::numbers::pi, m, colour);
        } else if (auto* arc = dynamic_cast<AcDbArc*>(ent)) {
            addArc(w, arc->center(), arc->radius(), arc->startAngle(), arc->endAngle(), m, colour);
        } else if (auto* solid = dynamic_cast<AcDbSolid*>(ent)) {
            AcGePoint3d p[4];
            for (int i = 0; i < 4; ++i)
                solid->getPointAt(i, p[i]);
            // Solids keep their corners in the order 0 1 3 2 around the edge.
            std::vector<AcGePoint2d> poly{flat(p[0], m), flat(p[1], m), flat(p[3], m), flat(p[2], m)};
            if (poly[2] == poly[3])
                poly.pop_back();
            w.addFill(std::move(poly), colour);
        } else if (auto* text = dynamic_cast<AcDbText*>(ent)) {
            addText(w, *text, m, colour);
        } else if (auto* ref = dynamic_cast<AcDbBlockReference*>(ent)) {
            if (depth < kMaxBlockDepth) {
                AcDbBlockTableRecord* block = nullptr;
                const AcGeMatrix3d inner = m * ref->blockTransform();
                if (acdbOpenObject(block, ref->blockTableRecord(), AcDb::kForRead) == Acad::eOk && block) {
                    const AcDbObjectIdArray children = block->entityIds();
                    block->close();
                    addBlock(children, inner, colour, depth + 1, w);
                }
            }
        }
        ent->close();
    }
}

} // namespace

void addDatabaseToSlide(const AcDbDatabase& db, SlideWriter& writer)
{
    AcDbBlockTableRecord* ms = nullptr;
    if (acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk)
        return;
    const AcDbObjectIdArray ids = ms->entityIds();
    ms->close();
    addBlock(ids, AcGeMatrix3d::kIdentity, kDefaultColour, 0, writer);
}

SlideResult<std::vector<std::uint8_t>> slideFromDatabase(const AcDbDatabase& db, int widthDots, int heightDots)
{
    SlideWriter writer(widthDots, heightDots);
    addDatabaseToSlide(db, writer);
    return writer.bytes();
}

} // namespace ctrlsch::slide
