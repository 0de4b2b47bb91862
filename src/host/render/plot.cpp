// The cairo writer. User space is the world (drawing units, Y up) through
// one matrix onto the page; arcs are drawn in their entity's plane through
// its matrix, texts in text space (X along the baseline, Y down).
#include "host/render/plot.h"

#include "host/hoststring.h"
#include "host/render/font.h"
#include "host/render/scene.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cassert>
#include <cmath>

namespace render {

namespace {

// Radius of a point's dot on paper.
constexpr double kDotPoints = 1.0;

// The plot font for cairo: a face of its own over the font file, kept for
// the life of the process; cairo's default sans-serif when there is none.
cairo_font_face_t* plotFontFace()
{
    static cairo_font_face_t* face = [] {
        const FontFile& file = cjkFontFile();
        FT_Library lib = nullptr;
        FT_Face ft = nullptr;
        if (!file.path.empty() && FT_Init_FreeType(&lib) == 0
            && FT_New_Face(lib, file.path.c_str(), file.index, &ft) == 0)
            return cairo_ft_font_face_create_for_ft_face(ft, 0);
        return cairo_toy_font_face_create("sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }();
    return face;
}

void setColor(cairo_t* cr, std::uint32_t rgb)
{
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

bool invertible(double a, double b, double c, double d)
{
    const double det = a * d - b * c;
    return std::isfinite(det) && std::fabs(det) > 1e-18 * std::max({a * a, b * b, c * c, d * d, 1e-300});
}

class CairoWriter final : public SceneSink {
public:
    // hairline and dot radius in output units (points).
    CairoWriter(cairo_t* cr, const View& view, double hairline) : m_cr(cr)
    {
        m_hairline = hairline / view.scale;
        m_dotRadius = kDotPoints / view.scale;
        cairo_matrix_t world;
        cairo_matrix_init(&world, view.scale, 0, 0, -view.scale, -view.left * view.scale, view.top * view.scale);
        cairo_transform(cr, &world);
        cairo_set_font_face(cr, plotFontFace());
        cairo_font_options_t* fo = cairo_font_options_create();
        // Advances at their true widths, so texts span what was measured.
        cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
        cairo_set_font_options(cr, fo);
        cairo_font_options_destroy(fo);
    }
    void stroke(const Stroke& s) override;
    void fill(const Fill& f) override;
    void dot(const Dot& d) override;
    void text(const Text& t) override;
    // Strokes what is still gathered; called after the last primitive.
    void flush();

private:
    void arc(const PathStep& s);

    cairo_t* m_cr;
    double m_hairline = 1.0;
    double m_dotRadius = 1.0;
    // Strokes of one colour and width follow each other in drawings (a
    // layer's lines): they are gathered into one path and stroked at once,
    // which a PDF writes as one operation.
    bool m_gathering = false;
    std::uint32_t m_gatheredRgb = 0;
    double m_gatheredWidth = 0.0;
};

void CairoWriter::arc(const PathStep& s)
{
    const Affine& t = s.plane;
    if (!invertible(t.a, t.b, t.c, t.d) || !(s.r > 0.0)) {
        // Seen edge-on: the arc is a line.
        cairo_line_to(m_cr, s.to.x, s.to.y);
        return;
    }
    cairo_save(m_cr);
    cairo_matrix_t plane;
    cairo_matrix_init(&plane, t.a, t.b, t.c, t.d, t.e, t.f);
    cairo_transform(m_cr, &plane);
    if (s.sweep >= 0)
        cairo_arc(m_cr, s.cx, s.cy, s.r, s.start, s.start + s.sweep);
    else
        cairo_arc_negative(m_cr, s.cx, s.cy, s.r, s.start, s.start + s.sweep);
    cairo_restore(m_cr);
}

void CairoWriter::flush()
{
    if (!m_gathering)
        return;
    m_gathering = false;
    const bool wide = m_gatheredWidth > 0.0;
    cairo_set_line_width(m_cr, wide ? m_gatheredWidth : m_hairline);
    cairo_set_line_cap(m_cr, wide ? CAIRO_LINE_CAP_BUTT : CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(m_cr, wide ? CAIRO_LINE_JOIN_MITER : CAIRO_LINE_JOIN_ROUND);
    setColor(m_cr, m_gatheredRgb);
    cairo_stroke(m_cr);
}

void CairoWriter::stroke(const Stroke& s)
{
    if (m_gathering && (s.rgb != m_gatheredRgb || s.width != m_gatheredWidth))
        flush();
    if (!m_gathering) {
        cairo_new_path(m_cr);
        m_gathering = true;
        m_gatheredRgb = s.rgb;
        m_gatheredWidth = s.width;
    }
    for (const PathStep& step : s.steps) {
        switch (step.kind) {
        case PathStep::Move: cairo_move_to(m_cr, step.to.x, step.to.y); break;
        case PathStep::Line: cairo_line_to(m_cr, step.to.x, step.to.y); break;
        case PathStep::Arc: arc(step); break;
        }
    }
    if (s.closed)
        cairo_close_path(m_cr);
}

void CairoWriter::fill(const Fill& f)
{
    flush();
    cairo_new_path(m_cr);
    for (const Vec2& c : f.corners)
        cairo_line_to(m_cr, c.x, c.y);
    cairo_close_path(m_cr);
    setColor(m_cr, f.rgb);
    cairo_fill_preserve(m_cr);
    // The hairline edge closes the seams between adjacent pieces.
    cairo_set_line_width(m_cr, m_hairline);
    cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(m_cr);
}

void CairoWriter::dot(const Dot& d)
{
    flush();
    cairo_new_path(m_cr);
    cairo_arc(m_cr, d.at.x, d.at.y, m_dotRadius, 0, 2 * kPi);
    setColor(m_cr, d.rgb);
    cairo_fill(m_cr);
}

void CairoWriter::text(const Text& t)
{
    flush();
    if (!invertible(t.along.x, t.along.y, -t.up.x, -t.up.y))
        return;
    cairo_save(m_cr);
    cairo_matrix_t space;
    cairo_matrix_init(&space, t.along.x, t.along.y, -t.up.x, -t.up.y, t.origin.x, t.origin.y);
    cairo_transform(m_cr, &space);
    setColor(m_cr, t.rgb);
    for (const TextRun& run : t.runs) {
        if (!(run.size > 0.0))
            continue;
        cairo_set_font_size(m_cr, run.size);
        cairo_new_path(m_cr);
        cairo_move_to(m_cr, run.offset, 0.0);
        cairo_show_text(m_cr, wideToUtf8(run.text).c_str());
    }
    cairo_restore(m_cr);
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// Draws the page onto a surface whose units are points scaled by
// pointScale (1 for PDF, dpi / 72 for PNG).
bool drawPage(cairo_surface_t* surface, Scene& scene, const View& view, const PlotOptions& opt, double pointScale,
              std::string& error)
{
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, pointScale, pointScale);
    setColor(cr, backgroundRgb(opt.darkBackground));
    cairo_paint(cr);
    // A PNG's hairline is one pixel; paper's is thin but visible.
    const double hairline = pointScale > 1.0 ? std::max(kHairlinePoints, 1.0 / pointScale) : kHairlinePoints;
    CairoWriter writer(cr, view, hairline);
    scene.draw(writer);
    writer.flush();
    const cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status != CAIRO_STATUS_SUCCESS)
        error = cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}

} // namespace

bool renderPlot(const AcDbDatabase& db, PlotFormat format, const PlotOptions& opt, std::string& out,
                std::string& error)
{
    Scene scene(db, opt.darkBackground);
    const View view = pageView(scene.extents(), opt.page);
    out.clear();
    bool ok = false;
    if (format == PlotFormat::Pdf) {
        cairo_surface_t* pdf = cairo_pdf_surface_create_for_stream(appendBytes, &out, view.width, view.height);
        cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "ctrlsch");
        ok = drawPage(pdf, scene, view, opt, 1.0, error);
        cairo_surface_finish(pdf);
        if (ok && cairo_surface_status(pdf) != CAIRO_STATUS_SUCCESS) {
            error = cairo_status_to_string(cairo_surface_status(pdf));
            ok = false;
        }
        cairo_surface_destroy(pdf);
    } else {
        assert(format == PlotFormat::Png);
        const double pointScale = std::clamp(opt.dotsPerInch, 10, 1200) / 72.0;
        cairo_surface_t* png = cairo_image_surface_create(
            CAIRO_FORMAT_RGB24, static_cast<int>(std::lround(view.width * pointScale)),
            static_cast<int>(std::lround(view.height * pointScale)));
        ok = drawPage(png, scene, view, opt, pointScale, error);
        if (ok) {
            const cairo_status_t st = cairo_surface_write_to_png_stream(png, appendBytes, &out);
            ok = st == CAIRO_STATUS_SUCCESS;
            if (!ok)
                error = cairo_status_to_string(st);
        }
        cairo_surface_destroy(png);
    }
    if (!ok)
        out.clear();
    return ok;
}

} // namespace render
