#include "app/render_command.h"

#include "host/hostfile.h"
#include "host/hoststring.h"

#include "host/dbmain.h"
#include "host/render/plot.h"
#include "host/render/svg.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>

namespace app {

namespace {

enum class OutputKind { Svg, Pdf, Png };

struct RenderArgs {
    std::string input, output;
    OutputKind kind = OutputKind::Svg;
    render::PageSetup page;
    // Whether any option asked for a page (a picture otherwise, for SVG).
    bool onPage = false;
    bool scaleGiven = false, fitGiven = false;
    bool dark = false;
};

bool endsWith(const std::string& s, const std::string& tail)
{
    const std::string low = lowerAscii(s);
    return low.size() >= tail.size() && low.compare(low.size() - tail.size(), tail.size(), tail) == 0;
}

// "1:N" with N a positive number.
std::optional<double> parseScale(const std::string& s)
{
    if (s.size() < 3 || s.compare(0, 2, "1:") != 0)
        return std::nullopt;
    const char* begin = s.c_str() + 2;
    char* end = nullptr;
    const double n = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(n) || !(n > 0.0) || n > 1e9)
        return std::nullopt;
    return n;
}

// Reads the words after "render"; on a mistake says what is wrong.
bool parseRenderArgs(const std::vector<std::string>& args, RenderArgs& out, std::string& problem)
{
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--paper") {
            if (!hasValue || (args[i + 1] != "A4" && args[i + 1] != "A3")) {
                problem = "--paper wants A4 or A3";
                return false;
            }
            out.page.paper = args[++i] == "A3" ? render::Paper::A3 : render::Paper::A4;
            out.onPage = true;
        } else if (a == "--landscape") {
            out.page.landscape = out.onPage = true;
        } else if (a == "--scale") {
            const std::optional<double> n = hasValue ? parseScale(args[i + 1]) : std::nullopt;
            if (!n) {
                problem = "--scale wants 1:N with N a positive number";
                return false;
            }
            ++i;
            out.page.scaleDenominator = *n;
            out.scaleGiven = out.onPage = true;
        } else if (a == "--fit") {
            out.fitGiven = out.onPage = true;
        } else if (a == "--dark") {
            out.dark = true;
        } else if (a.size() > 1 && a[0] == '-') {
            problem = "unknown option " + a;
            return false;
        } else {
            files.push_back(a);
        }
    }
    if (out.scaleGiven && out.fitGiven) {
        problem = "--scale and --fit exclude each other";
        return false;
    }
    if (files.size() != 2 || files[0].empty() || files[1].empty())
        return false;
    out.input = files[0];
    out.output = files[1];
    if (endsWith(out.output, ".svg")) {
        out.kind = OutputKind::Svg;
    } else if (endsWith(out.output, ".pdf")) {
        out.kind = OutputKind::Pdf;
    } else if (endsWith(out.output, ".png")) {
        out.kind = OutputKind::Png;
    } else {
        problem = "the output must end in .svg, .pdf or .png: " + out.output;
        return false;
    }
    return true;
}

// The output file's bytes, or false with error filled.
bool renderBytes(const AcDbDatabase& db, const RenderArgs& a, std::string& bytes, std::string& error)
{
    if (a.kind == OutputKind::Svg) {
        SvgOptions opt;
        opt.darkBackground = a.dark;
        if (a.onPage)
            opt.page = a.page;
        bytes = renderSvg(db, opt);
        return true;
    }
    render::PlotOptions opt;
    opt.page = a.page;
    opt.darkBackground = a.dark;
    return render::renderPlot(db, a.kind == OutputKind::Pdf ? render::PlotFormat::Pdf : render::PlotFormat::Png, opt,
                              bytes, error);
}

} // namespace

int renderCommand(const std::vector<std::string>& args)
{
    RenderArgs a;
    std::string problem;
    if (!parseRenderArgs(args, a, problem)) {
        if (!problem.empty())
            std::cerr << "ctrlsch render: " << problem << "\n";
        return kExitUsage;
    }
    AcDbDatabase db(false);
    if (db.readDwgFile(utf8ToWide(a.input).c_str()) != Acad::eOk) {
        std::cerr << "ctrlsch render: " << wideToUtf8(db.lastError()) << "\n";
        return kExitFailed;
    }
    std::string bytes, error;
    if (!renderBytes(db, a, bytes, error)) {
        std::cerr << "ctrlsch render: cannot draw " << a.output << ": " << error << "\n";
        return kExitFailed;
    }
    if (!hostWriteFileAtomically(a.output, bytes, error)) {
        std::cerr << "ctrlsch render: " << error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int renderPictures(const std::string& dxf, const std::string& base, const std::vector<std::string>& pageOptions)
{
    int status = kExitOk;
    for (const char* kind : {".svg", ".png", ".pdf"}) {
        if (status != kExitOk)
            break;
        std::vector<std::string> args{dxf, base + kind};
        if (std::string(kind) != ".svg")
            args.insert(args.end(), pageOptions.begin(), pageOptions.end());
        status = renderCommand(args);
    }
    return status;
}

} // namespace app
