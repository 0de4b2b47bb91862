// Speed and memory of the DXF reader and writer on a large drawing.
//
// The drawing (bench_drawing.h) is made with the host's own API:
// lightweight polylines in site coordinates (some with constant width, a
// few with arcs) and block references of a handful of block definitions,
// each reference carrying extended data of two or three registered
// applications. It is saved once;
// the benchmarks then load it, save it, format it without touching the
// disk, and write its bytes with the save's sync and rename but without
// formatting (the floor of any save on this disk). The load reports how
// much heap the loaded drawing keeps. dxf/load_vs_scan times, in turns,
// the bare scan (the file read in blocks, split into tags, every number
// parsed, nothing built: the floor of any load) and the load, and reports
// the ratio of their best times.
//
// Own flags (the rest go to Google Benchmark):
//   --dxf_file=PATH   where the drawing is written (or read with --reuse);
//                     DXF_BENCH_FILE in the environment does the same.
//                     Without it the drawing lives in a temporary folder.
//   --generate_only   write the drawing and exit.
//   --reuse           benchmark the drawing already at --dxf_file.
//   --scale=F         multiply the entity counts (0.05 gives a small file
//                     for profiling under valgrind).
#include "host/hostmem.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dxf/tags.h"
#include "host/hostfile.h"

#include "bench_drawing.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace benchdrawing;

constexpr double kMB = 1.0e6;

struct Options {
    std::string file;
    bool generateOnly = false;
    bool reuse = false;
    double scale = 1.0;
};

Options g_options;
std::string g_path;        // the drawing
std::string g_savePath;    // where the save benchmark writes
std::uintmax_t g_fileBytes = 0;
std::string g_tempDir;     // removed at exit when we made it

// Heap in use by the program: small blocks plus mapped large ones.
std::size_t heapInUse()
{
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}


std::size_t modelSpaceCount(const AcDbDatabase& db)
{
    const AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    return ms ? ms->entityIds().size() : 0;
}

void setRates(benchmark::State& state, std::uintmax_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
    state.counters["MB_per_s"] = benchmark::Counter(static_cast<double>(bytes) / kMB,
                                                    benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file_MB"] = static_cast<double>(bytes) / kMB;
}

// (a) and (c): loading, and the heap the loaded drawing keeps once the
// file text is released.
void BM_Load(benchmark::State& state)
{
    const std::wstring path = widen(g_path);
    std::size_t heap = 0;
    std::size_t entities = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto db = std::make_unique<AcDbDatabase>(false);
        const std::size_t before = heapInUse();
        state.ResumeTiming();

        const Acad::ErrorStatus es = db->readDwgFile(path.c_str());

        state.PauseTiming();
        const std::size_t after = heapInUse();
        if (es != Acad::eOk) {
            state.SkipWithError(("load failed: " + wideToUtf8(db->lastError())).c_str());
            state.ResumeTiming();
            break;
        }
        heap = after > before ? after - before : 0;
        entities = modelSpaceCount(*db);
        db.reset();
        state.ResumeTiming();
    }
    setRates(state, g_fileBytes);
    state.counters["entities"] = static_cast<double>(entities);
    state.counters["heap_MB"] = static_cast<double>(heap) / kMB;
    state.counters["heap_per_file"] = static_cast<double>(heap) / static_cast<double>(g_fileBytes);
}

std::unique_ptr<AcDbDatabase> loadOnce(benchmark::State& state)
{
    auto db = std::make_unique<AcDbDatabase>(false);
    if (db->readDwgFile(widen(g_path).c_str()) != Acad::eOk) {
        state.SkipWithError(("load failed: " + wideToUtf8(db->lastError())).c_str());
        return nullptr;
    }
    return db;
}

// (b) saving: formatting, a temporary file, fsync and rename.
void BM_Save(benchmark::State& state)
{
    auto db = loadOnce(state);
    if (!db)
        return;
    const std::wstring target = widen(g_savePath);
    for (auto _ : state) {
        const Acad::ErrorStatus es = db->saveAs(target.c_str());
        if (es != Acad::eOk) {
            state.SkipWithError(("save failed: " + wideToUtf8(db->lastError())).c_str());
            break;
        }
    }
    std::error_code ec;
    const std::uintmax_t written = fs::file_size(g_savePath, ec);
    if (ec)
        return;
    setRates(state, written);
    state.counters["saved_per_read"] = static_cast<double>(written) / static_cast<double>(g_fileBytes);
    fs::remove(g_savePath, ec);
}

// Saving without the disk: how much of the save is formatting.
void BM_Format(benchmark::State& state)
{
    auto db = loadOnce(state);
    if (!db)
        return;
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = db->dxfOut();
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    setRates(state, bytes);
}

// What any save that syncs pays on this disk: the same bytes written to a
// temporary file, synced and renamed over the target, as saveAs does.
void BM_DiskFloor(benchmark::State& state)
{
    std::string data(static_cast<std::size_t>(g_fileBytes), '\0');
    std::FILE* in = std::fopen(g_path.c_str(), "rb");
    const bool read = in && std::fread(data.data(), 1, data.size(), in) == data.size();
    if (in)
        std::fclose(in);
    if (!read) {
        state.SkipWithError("cannot read the drawing");
        return;
    }
    for (auto _ : state) {
        std::string name = g_savePath + ".tmpXXXXXX";
        const int fd = mkstemp(name.data());
        bool ok = fd >= 0;
        for (std::size_t done = 0; ok && done < data.size();) {
            const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            ok = n > 0;
            done += ok ? static_cast<std::size_t>(n) : 0;
        }
        ok = ok && ::fsync(fd) == 0;
        if (fd >= 0)
            ok = ::close(fd) == 0 && ok;
        ok = ok && std::rename(name.c_str(), g_savePath.c_str()) == 0;
        if (!ok) {
            ::unlink(name.c_str());
            state.SkipWithError(("writing failed: " + std::string(std::strerror(errno))).c_str());
            break;
        }
    }
    setRates(state, g_fileBytes);
    std::error_code ec;
    fs::remove(g_savePath, ec);
}

// The file in blocks, as the reader gets it.
class FileBlocks final : public dxf::ByteSource {
public:
    explicit FileBlocks(HostFileReader& file) : m_file(file) {}
    std::size_t read(char* buf, std::size_t n) override { return m_file.read(buf, n); }
    std::size_t sizeHint() const override { return m_file.size(); }

private:
    HostFileReader& m_file;
};

// The bare scan: the file read in blocks and split into tags (every value
// checked, reals parsed by the tagger), integers and handles parsed;
// nothing is kept. Returns a sum of what was read, or fails.
double bareScan(const std::string& path, std::size_t& tags)
{
    HostFileReader file(path);
    if (!file.status())
        fail(file.status().error);
    FileBlocks source(file);
    dxf::Tagger tagger(source);
    dxf::Tag t;
    double sum = 0.0;
    tags = 0;
    while (tagger.next(t)) {
        ++tags;
        switch (dxf::valueKindOf(t.code)) {
        case dxf::ValueKind::Real: sum += dxf::parseReal(t); break;
        case dxf::ValueKind::Int16:
        case dxf::ValueKind::Int32:
        case dxf::ValueKind::Int64:
        case dxf::ValueKind::Bool: sum += static_cast<double>(dxf::parseInt(t)); break;
        case dxf::ValueKind::Handle: sum += static_cast<double>(dxf::parseHandle(t)); break;
        default: sum += static_cast<double>(t.value.size()); break;
        }
        tagger.release();
    }
    if (!file.status())
        fail(file.status().error);
    return sum;
}

// Loading against the bare scan, in turns, so that the noise of a shared
// machine falls on both alike: the ratio of the best times, by the clock
// and by processor time (which other programs on the machine disturb less).
void BM_LoadVsScan(benchmark::State& state)
{
    const std::wstring path = widen(g_path);
    Best scan, load;
    std::size_t tags = 0;
    for (auto _ : state) {
        Clock start = Clock::now();
        benchmark::DoNotOptimize(bareScan(g_path, tags));
        scan.since(start);
        auto db = std::make_unique<AcDbDatabase>(false);
        start = Clock::now();
        const Acad::ErrorStatus es = db->readDwgFile(path.c_str());
        load.since(start);
        if (es != Acad::eOk) {
            state.SkipWithError(("load failed: " + wideToUtf8(db->lastError())).c_str());
            break;
        }
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
    const double mb = static_cast<double>(g_fileBytes) / kMB;
    state.counters["file_MB"] = mb;
    state.counters["tags"] = static_cast<double>(tags);
    state.counters["scan_MB_per_s"] = mb / scan.wall;
    state.counters["load_MB_per_s"] = mb / load.wall;
    state.counters["load_over_scan"] = load.wall / scan.wall;
    state.counters["load_over_scan_cpu"] = load.cpu / scan.cpu;
}

bool takeFlag(const char* arg, const char* name, std::string* value)
{
    const std::size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0)
        return false;
    if (value) {
        if (arg[n] != '=')
            return false;
        *value = arg + n + 1;
        return true;
    }
    return arg[n] == '\0';
}

// Removes our flags from argv; Google Benchmark sees the rest.
void parseOptions(int& argc, char** argv)
{
    if (const char* env = std::getenv("DXF_BENCH_FILE"); env && *env)
        g_options.file = env;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (takeFlag(argv[i], "--dxf_file", &value)) {
            g_options.file = value;
        } else if (takeFlag(argv[i], "--scale", &value)) {
            char* end = nullptr;
            g_options.scale = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end || !(g_options.scale > 0.0) || g_options.scale > 10.0)
                fail("--scale wants a number in (0, 10]");
        } else if (takeFlag(argv[i], "--generate_only", nullptr)) {
            g_options.generateOnly = true;
        } else if (takeFlag(argv[i], "--reuse", nullptr)) {
            g_options.reuse = true;
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
}

void removeTempDir()
{
    if (!g_tempDir.empty()) {
        std::error_code ec;
        fs::remove_all(g_tempDir, ec);
    }
}

} // namespace

int main(int argc, char** argv)
{
    hostTuneProcessMemory(argv, MemoryTuning::Always);
    parseOptions(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    if (g_options.file.empty()) {
        if (g_options.reuse || g_options.generateOnly)
            fail("--reuse and --generate_only need --dxf_file (or DXF_BENCH_FILE)");
        const fs::path base = fs::temp_directory_path() / "dxf_bench.XXXXXX";
        std::string dir = base.string();
        if (!mkdtemp(dir.data()))
            fail("cannot make a temporary folder: " + std::string(std::strerror(errno)));
        g_tempDir = dir;
        std::atexit(removeTempDir);
        g_path = (fs::path(dir) / "drawing.dxf").string();
    } else {
        g_path = fs::absolute(g_options.file).string();
    }
    g_savePath = g_path + ".saved.dxf";

    if (g_options.reuse) {
        if (!fs::exists(g_path))
            fail("no drawing at " + g_path);
    } else {
        const DrawingCounts c = makeDrawing(g_path, g_options.scale);
        std::fprintf(stderr, "dxf_bench: %d polylines and %d block references written to %s\n", c.polylines,
                     c.references, g_path.c_str());
    }
    std::error_code ec;
    g_fileBytes = fs::file_size(g_path, ec);
    if (ec || g_fileBytes == 0)
        fail("cannot read the size of " + g_path);
    std::fprintf(stderr, "dxf_bench: %s is %.2f MB\n", g_path.c_str(), static_cast<double>(g_fileBytes) / kMB);
    if (g_options.generateOnly)
        return 0;

    benchmark::AddCustomContext("dxf_file", g_path);
    benchmark::AddCustomContext("dxf_file_bytes", std::to_string(g_fileBytes));
    benchmark::RegisterBenchmark("dxf/load", BM_Load)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("dxf/load_vs_scan", BM_LoadVsScan)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("dxf/save", BM_Save)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("dxf/format", BM_Format)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("dxf/disk_floor", BM_DiskFloor)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
