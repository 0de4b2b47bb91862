// ctrlsch check over a project against only loading the same drawings, on
// one thread and on two.
//
// The project is the one bench/esbbtj_bench writes (--generate_only): N
// drawings of M items, each drawing one ladder whose symbols, wires and
// panel symbols the check recognises (its text items and panel symbols give
// it loose wires and panel symbols without a code to report).
//
// Benchmarks (argument: threads):
//   Load    reads every drawing, each in a database of its own, dropped
//           before the next
//   Check   the check of the whole project (CheckDrawingFiles), as
//           (ctrlschk 1) runs it
//
// Own flags (the rest go to Google Benchmark): --project_dir=DIR.
#include "check/SchematicCheck.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/hostmem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::wstring> g_paths;
std::uintmax_t g_projectBytes = 0;

void report(benchmark::State& state)
{
    state.counters["drawings"] = static_cast<double>(g_paths.size());
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(g_projectBytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Load(benchmark::State& state)
{
    const unsigned threads = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        std::atomic<std::size_t> next{0};
        std::atomic<bool> failed{false};
        const auto work = [&] {
            for (std::size_t i; (i = next.fetch_add(1)) < g_paths.size();) {
                AcDbDatabase db(false, true);
                if (db.readDwgFile(g_paths[i].c_str()) != Acad::eOk)
                    failed = true;
                benchmark::DoNotOptimize(AcDbInternals::modelSpace(db));
            }
        };
        std::vector<std::thread> pool;
        for (unsigned t = 1; t < threads; ++t)
            pool.emplace_back(work);
        work();
        for (std::thread& t : pool)
            t.join();
        if (failed)
            state.SkipWithError("a drawing cannot be read");
    }
    report(state);
}
BENCHMARK(BM_Load)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Check(benchmark::State& state)
{
    const CheckLayers layers = ConfiguredCheckLayers();
    std::size_t problems = 0;
    for (auto _ : state) {
        const CheckReport r = CheckDrawingFiles(g_paths, layers, static_cast<unsigned>(state.range(0)));
        if (r.read != static_cast<int>(g_paths.size()))
            state.SkipWithError("a drawing cannot be read");
        problems = r.problems.size();
    }
    state.counters["problems"] = static_cast<double>(problems);
    report(state);
}
BENCHMARK(BM_Check)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    hostTuneProcessMemory(argv, MemoryTuning::Always);
    std::string dir;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--project_dir=", 0) == 0)
            dir = a.substr(14);
        else
            argv[out++] = argv[i];
    }
    argc = out;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (dir.empty()) {
        std::fprintf(stderr, "check_bench: --project_dir=DIR is needed\n");
        return 1;
    }
    ::setenv("CTRLSCH_SETTINGS", (fs::absolute(dir) / "settings.json").c_str(), 1);
    std::vector<std::string> paths;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".dxf") {
            paths.push_back(e.path().string());
            g_projectBytes += e.file_size();
        }
    std::sort(paths.begin(), paths.end());
    for (const std::string& p : paths)
        g_paths.push_back(utf8ToWide(p));
    if (g_paths.empty()) {
        std::fprintf(stderr, "check_bench: no drawings in %s\n", dir.c_str());
        return 1;
    }
    host::setOutput([](const std::string&) {});
    acDocManager->newDocument();
    benchmark::AddCustomContext("project_bytes", std::to_string(g_projectBytes));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
