// The SVG writer. Everything is written in world coordinates (Y up) inside
// one group that flips Y for the picture; widths that belong to the output
// (hairlines, dots) are converted into drawing units with the picture's
// scale, and texts carry the horizontal scale that gives them their width
// in the font the picture names.
#include "host/render/svg.h"

#include "host/hoststring.h"
#include "host/render/font.h"
#include "host/render/scene.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

using render::Affine;
using render::Vec2;

// Hairline width and dot radius of a picture, in pixels.
constexpr double kHairlinePixels = 1.0;
constexpr double kDotPixels = 1.5;
// The same on paper, in points.
constexpr double kHairlinePoints = 0.25;
constexpr double kDotPoints = 1.0;

// The image of the unit circle under t's linear part: an ellipse with
// semi-axes s1 >= s2 >= 0, the first at angle phi (radians).
struct EllipseAxes {
    double s1, s2, phi;
};

bool isRound(const EllipseAxes& ax) { return ax.s1 - ax.s2 <= 1e-9 * ax.s1; }

EllipseAxes unitCircleImage(const Affine& t)
{
    const double e = (t.a + t.d) / 2, f = (t.a - t.d) / 2;
    const double g = (t.b + t.c) / 2, h = (t.b - t.c) / 2;
    const double q = std::hypot(e, h), r = std::hypot(f, g);
    EllipseAxes out;
    out.s1 = q + r;
    out.s2 = std::fabs(q - r);
    // A circle stays a circle: no axis to follow.
    out.phi = isRound(out) ? 0.0 : (std::atan2(h, e) + std::atan2(g, f)) / 2;
    return out;
}

double degrees(double radians)
{
    double d = radians * 180.0 / kPi;
    d = std::fmod(d, 360.0);
    if (d <= -180.0)
        d += 360.0;
    else if (d > 180.0)
        d -= 360.0;
    return d;
}

// Fixed-point numbers without trailing zeros; the same value always gives
// the same text, whatever the locale.
class NumberFormat {
public:
    explicit NumberFormat(int decimals = 4) : m_decimals(decimals) {}
    std::string operator()(double v) const
    {
        if (!std::isfinite(v))
            v = 0.0;
        char buf[400];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, m_decimals);
        if (r.ec != std::errc())
            return "0";
        std::string s(buf, r.ptr);
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0')
                s.pop_back();
            if (s.back() == '.')
                s.pop_back();
        }
        if (s == "-0")
            s = "0";
        return s;
    }

private:
    int m_decimals;
};


// Text content for an XML element, markup characters escaped (the scene
// leaves out what XML cannot hold).
std::string xmlText(const std::wstring& s)
{
    std::string out;
    for (char ch : wideToUtf8(s)) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += ch;
        }
    }
    return out;
}

// Decimals of the live picture's numbers: fixed, so that an entity's
// group never depends on the rest of the drawing.
constexpr int kLiveDecimals = 6;
// A dot's diameter on the screen in the live picture, in pixels.
constexpr double kLiveDotPixels = 3.0;

class SvgWriter final : public render::SceneSink {
public:
    SvgWriter(const SvgOptions& opt, const render::View& view);
    // A group for showing over a picture instead of a document.
    SvgWriter(const render::View& view, const std::string& attributes);
    // Entity groups of the live picture only: no header.
    explicit SvgWriter(std::string& out);
    ~SvgWriter() override;
    SvgWriter(const SvgWriter&) = delete;
    SvgWriter& operator=(const SvgWriter&) = delete;
    void stroke(const render::Stroke& s) override;
    void fill(const render::Fill& f) override;
    void dot(const render::Dot& d) override;
    void text(const render::Text& t) override;
    void entityBegins(std::uint64_t handle) override;
    void entityEnds() override;
    std::string finish();

private:
    std::string pt(const Vec2& p) const { return m_num(p.x) + "," + m_num(p.y); }
    // Appends " A ..." pieces of an arc step to a path already at its start.
    void appendArc(std::string& d, const render::PathStep& s) const;
    std::string pathData(const render::Stroke& s) const;
    void writeHeader(const SvgOptions& opt, const render::View& view);

    NumberFormat m_num;
    // Radius of a point's dot, in drawing units.
    double m_dotRadius = 1.0;
    bool m_live = false;
    std::string m_own;
    // Where the writer writes: its own text, or a caller's.
    std::string& m_out = m_own;
    // What closes the document (or the group shown over a picture).
    std::string m_end = "</g>\n</svg>\n";
};

SvgWriter::SvgWriter(std::string& out) : m_num(kLiveDecimals), m_live(true), m_out(out) {}

SvgWriter::~SvgWriter() = default;

void SvgWriter::entityBegins(std::uint64_t handle)
{
    if (!m_live)
        return;
    char buf[40];
    std::snprintf(buf, sizeof buf, "<g id=\"e-%llX\">", static_cast<unsigned long long>(handle));
    m_out += buf;
}

void SvgWriter::entityEnds()
{
    if (m_live)
        m_out += "</g>\n";
}

SvgWriter::SvgWriter(const SvgOptions& opt, const render::View& view)
{
    const double longer = std::max(view.width, view.height) / view.scale;
    // Enough decimals for a hundred-thousandth of the picture's size.
    m_live = opt.live && !opt.page;
    m_num = m_live ? NumberFormat(kLiveDecimals)
                   : NumberFormat(std::clamp(5 - static_cast<int>(std::floor(std::log10(longer))), 0, 12));
    m_dotRadius = (opt.page ? kDotPoints : kDotPixels) / view.scale;
    writeHeader(opt, view);
}

SvgWriter::SvgWriter(const render::View& view, const std::string& attributes) : SvgWriter(SvgOptions{}, view)
{
    m_out = "<g " + attributes + " transform=\"scale(1,-1)\" fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\" font-family=\""
          + render::fontFamilyList() + "\">\n";
    m_end = "</g>\n";
}

void SvgWriter::writeHeader(const SvgOptions& opt, const render::View& view)
{
    std::string width, height;
    if (opt.page) {
        double wMm = 0.0, hMm = 0.0;
        render::paperSizeMm(*opt.page, wMm, hMm);
        width = NumberFormat(3)(wMm) + "mm";
        height = NumberFormat(3)(hMm) + "mm";
    } else {
        width = std::to_string(std::max(1L, std::lround(view.width)));
        height = std::to_string(std::max(1L, std::lround(view.height)));
    }
    // SVG's y runs down: the picture shows world y as -y.
    const std::string vx = m_num(view.left), vy = m_num(-view.top), vw = m_num(view.width / view.scale),
                      vh = m_num(view.height / view.scale);
    const double hairline = (opt.page ? kHairlinePoints : kHairlinePixels) / view.scale;
    m_out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    m_out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + width + "\" height=\"" + height
           + "\" viewBox=\"" + vx + " " + vy + " " + vw + " " + vh + "\">\n";
    m_out += "<rect x=\"" + vx + "\" y=\"" + vy + "\" width=\"" + vw + "\" height=\"" + vh + "\" fill=\""
           + svgColor(render::backgroundRgb(opt.darkBackground)) + "\"/>\n";
    if (m_live)
        m_out += "<style>line,circle,ellipse,polygon,path{vector-effect:non-scaling-stroke}"
                 "path[stroke-width]{vector-effect:none}path.dot{stroke-width:"
               + NumberFormat(1)(kLiveDotPixels) + "}</style>\n";
    // The live picture's hairlines are one pixel wide whatever the zoom.
    const std::string strokeWidth = m_live ? std::string("1") : NumberFormat(9)(hairline);
    m_out += std::string(m_live ? "<g class=\"model\"" : "<g") + " transform=\"scale(1,-1)\" fill=\"none\" stroke-width=\""
           + strokeWidth + "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" font-family=\""
           + render::fontFamilyList() + "\">\n";
}

void SvgWriter::appendArc(std::string& d, const render::PathStep& s) const
{
    const EllipseAxes ax = unitCircleImage(s.plane);
    // Pieces of at most half a turn, so the large-arc flag is never needed
    // and a full circle still has distinct end points.
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(s.sweep) / kPi - 1e-9)));
    const char* sweepFlag = (s.sweep > 0) == (s.plane.det() > 0) ? "1" : "0";
    for (int k = 1; k <= pieces; ++k) {
        const double a = s.start + s.sweep * k / pieces;
        const Vec2 end = s.plane.apply(s.cx + s.r * std::cos(a), s.cy + s.r * std::sin(a));
        if (ax.s2 <= 1e-12 * ax.s1) {
            // Seen edge-on: the arc is a line.
            d += " L" + pt(end);
            continue;
        }
        d += " A" + m_num(s.r * ax.s1) + "," + m_num(s.r * ax.s2) + " " + m_num(degrees(ax.phi)) + " 0," + sweepFlag
           + " " + pt(end);
    }
}

std::string SvgWriter::pathData(const render::Stroke& s) const
{
    std::string d;
    for (const render::PathStep& step : s.steps) {
        switch (step.kind) {
        case render::PathStep::Move: d += (d.empty() ? "M" : " M") + pt(step.to); break;
        case render::PathStep::Line: d += " L" + pt(step.to); break;
        case render::PathStep::Arc: appendArc(d, step); break;
        }
    }
    if (s.closed)
        d += " Z";
    return d;
}

void SvgWriter::stroke(const render::Stroke& s)
{
    const std::string color = " stroke=\"" + svgColor(s.rgb) + "\"";
    if (s.shape == render::Stroke::Shape::Line && s.steps.size() == 2) {
        const Vec2 p = s.steps[0].to, q = s.steps[1].to;
        m_out += "<line x1=\"" + m_num(p.x) + "\" y1=\"" + m_num(p.y) + "\" x2=\"" + m_num(q.x) + "\" y2=\""
               + m_num(q.y) + "\"" + color + "/>\n";
        return;
    }
    if (s.shape == render::Stroke::Shape::Circle && s.steps.size() == 2) {
        const render::PathStep& arc = s.steps[1];
        const Vec2 o = arc.plane.apply(arc.cx, arc.cy);
        const EllipseAxes ax = unitCircleImage(arc.plane);
        if (isRound(ax)) {
            m_out += "<circle cx=\"" + m_num(o.x) + "\" cy=\"" + m_num(o.y) + "\" r=\"" + m_num(arc.r * ax.s1) + "\""
                   + color + "/>\n";
        } else {
            m_out += "<ellipse cx=\"" + m_num(o.x) + "\" cy=\"" + m_num(o.y) + "\" rx=\"" + m_num(arc.r * ax.s1)
                   + "\" ry=\"" + m_num(arc.r * ax.s2) + "\" transform=\"rotate(" + m_num(degrees(ax.phi)) + " "
                   + m_num(o.x) + " " + m_num(o.y) + ")\"" + color + "/>\n";
        }
        return;
    }
    m_out += "<path d=\"" + pathData(s) + "\"" + color;
    if (s.width > 0.0)
        m_out += " stroke-width=\"" + m_num(s.width) + "\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\"";
    m_out += "/>\n";
}

void SvgWriter::fill(const render::Fill& f)
{
    std::string pts;
    for (const Vec2& c : f.corners)
        pts += (pts.empty() ? "" : " ") + pt(c);
    const std::string color = svgColor(f.rgb);
    // The hairline edge closes the seams between adjacent pieces.
    m_out += "<polygon points=\"" + pts + "\" fill=\"" + color + "\" stroke=\"" + color + "\"/>\n";
}

void SvgWriter::dot(const render::Dot& d)
{
    if (m_live) {
        // A round cap on a path of no length: a dot of the stroke's width.
        m_out += "<path class=\"dot\" d=\"M" + pt(d.at) + " h0\" stroke=\"" + svgColor(d.rgb) + "\"/>\n";
        return;
    }
    m_out += "<circle cx=\"" + m_num(d.at.x) + "\" cy=\"" + m_num(d.at.y) + "\" r=\"" + m_num(m_dotRadius)
           + "\" fill=\"" + svgColor(d.rgb) + "\"/>\n";
}

void SvgWriter::text(const render::Text& t)
{
    const render::TextRun& base = t.runs.front();
    std::string content;
    for (const render::TextRun& run : t.runs) {
        // Each later run placed where the font's advance puts it: viewers
        // disagree on where a run of another size starts in a scaled text.
        if (&run == &base)
            content += xmlText(run.text);
        else
            content += "<tspan x=\"" + m_num(run.offset) + "\" font-size=\"" + m_num(run.size) + "\">"
                     + xmlText(run.text) + "</tspan>";
    }
    // Text space runs right and down; the world's "up" is its minus y.
    // Six decimals for the matrix: its parts are scales, not positions.
    const NumberFormat scale(6);
    m_out += "<text transform=\"matrix(" + scale(t.along.x) + " " + scale(t.along.y) + " " + scale(-t.up.x) + " "
           + scale(-t.up.y) + " " + m_num(t.origin.x) + " " + m_num(t.origin.y) + ")\" font-size=\""
           + m_num(base.size) + "\" fill=\"" + svgColor(t.rgb) + "\" xml:space=\"preserve\">" + content
           + "</text>\n";
}

std::string SvgWriter::finish()
{
    m_out += m_end;
    return std::move(m_out);
}

} // namespace

bool renderSvgFragment(render::Scene& scene, const AcDbObjectId& id, std::string& out)
{
    SvgWriter writer(out);
    return scene.drawEntity(id, writer);
}

std::string renderSvg(const AcDbDatabase& db, const SvgOptions& opt)
{
    render::Scene scene(db, opt.darkBackground, opt.topLevel);
    const render::Extents ext = scene.extents();
    const render::View view = opt.page ? render::pageView(ext, *opt.page) : render::pictureView(ext, opt.margin, opt.maxPixels);
    SvgWriter writer(opt, view);
    scene.draw(writer);
    return writer.finish();
}

std::string svgEntityGroup(const AcDbDatabase& db, const std::function<bool(const AcDbObjectId&)>& only,
                           const AcGeMatrix3d& moved, const std::string& attributes)
{
    render::Scene scene(db, false, only);
    const render::Extents ext = scene.extents();
    if (!ext.valid)
        return {};
    // Numbers as exact as the entities' own picture would have them.
    SvgWriter writer(render::pictureView(ext, 0.0, SvgOptions{}.maxPixels), attributes);
    scene.draw(writer, moved);
    return writer.finish();
}

std::string svgColor(std::uint32_t rgb)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
    return buf;
}
