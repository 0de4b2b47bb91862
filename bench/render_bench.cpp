// Speed of the renderer on the benchmarks' large drawing (bench_drawing.h:
// 100,000 polylines and 25,000 block references): drawing it as SVG and as
// a PDF page, each timed in turns with loading the same drawing from its
// DXF file, so that the noise of a shared machine falls on both alike.
// Each benchmark reports the ratio of the best times (by the clock and by
// processor time) and the size of what was drawn.
//
// Own flags (the rest go to Google Benchmark):
//   --scale=F   multiply the entity counts (0.05 for a quick run).
#include "host/dbmain.h"
#include "host/render/plot.h"
#include "host/render/svg.h"

#include "bench_drawing.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace fs = std::filesystem;
using namespace benchdrawing;

namespace {

constexpr double kMB = 1.0e6;

std::string g_path;

std::unique_ptr<AcDbDatabase> load(benchmark::State& state)
{
    auto db = std::make_unique<AcDbDatabase>(false);
    if (db->readDwgFile(widen(g_path).c_str()) != Acad::eOk) {
        state.SkipWithError(("load failed: " + wideToUtf8(db->lastError())).c_str());
        return nullptr;
    }
    return db;
}

// Loading (the reference) and drawing, in turns.
template <class Draw>
void drawAgainstLoad(benchmark::State& state, Draw draw, const char* ratio)
{
    auto db = load(state);
    if (!db)
        return;
    Best loading, drawing;
    std::size_t bytes = 0;
    for (auto _ : state) {
        Clock start = Clock::now();
        auto again = load(state);
        loading.since(start);
        if (!again)
            break;
        state.PauseTiming();
        again.reset();
        state.ResumeTiming();
        start = Clock::now();
        std::string out;
        if (!draw(*db, out)) {
            state.SkipWithError("drawing failed");
            break;
        }
        drawing.since(start);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["load_s"] = loading.wall;
    state.counters["draw_s"] = drawing.wall;
    state.counters["out_MB"] = static_cast<double>(bytes) / kMB;
    state.counters[ratio] = drawing.wall / loading.wall;
    state.counters[std::string(ratio) + "_cpu"] = drawing.cpu / loading.cpu;
}

void BM_SvgVsLoad(benchmark::State& state)
{
    drawAgainstLoad(
        state,
        [](const AcDbDatabase& db, std::string& out) {
            out = renderSvg(db);
            return !out.empty();
        },
        "svg_over_load");
}

void BM_PdfVsLoad(benchmark::State& state)
{
    drawAgainstLoad(
        state,
        [](const AcDbDatabase& db, std::string& out) {
            std::string error;
            return render::renderPlot(db, render::PlotFormat::Pdf, render::PlotOptions(), out, error);
        },
        "pdf_over_load");
}

} // namespace

int main(int argc, char** argv)
{
    const double scale = takeScaleFlag(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const std::string dir = temporaryFolder("render_bench");
    g_path = (fs::path(dir) / "drawing.dxf").string();
    const DrawingCounts c = makeDrawing(g_path, scale);
    std::fprintf(stderr, "render_bench: %d polylines and %d block references\n", c.polylines, c.references);

    benchmark::RegisterBenchmark("render/svg_vs_load", BM_SvgVsLoad)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("render/pdf_vs_load", BM_PdfVsLoad)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
