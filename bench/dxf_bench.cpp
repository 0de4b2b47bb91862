// Speed and memory of the DXF reader and writer on a large drawing.
//
// The drawing is made with the host's own API: lightweight polylines in
// site coordinates (some with constant width, a few with arcs) and block
// references of a handful of block definitions, each reference carrying
// extended data of two or three registered applications. It is saved once;
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
#include "host/dbmain.h"
#include "host/dxf/tags.h"
#include "host/hostfile.h"

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

constexpr double kMB = 1.0e6;
constexpr int kPolylines = 100000;
constexpr int kReferences = 25000;

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

// A small deterministic generator: the same drawing on every machine.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform(double lo, double hi) { return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53; }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(double p) { return uniform(0.0, 1.0) < p; }

private:
    std::uint64_t m_state;
};

// Survey coordinates are kept to the millimetre.
double mm(double v)
{
    return std::round(v * 1000.0) / 1000.0;
}

std::wstring padded(int value, int width)
{
    std::wstring s = std::to_wstring(value);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width - static_cast<int>(s.size())), L'0');
    return s;
}

std::wstring widen(const std::string& s)
{
    return utf8ToWide(s);
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "dxf_bench: %s\n", what.c_str());
    std::exit(2);
}

void check(Acad::ErrorStatus es, const char* what)
{
    if (es != Acad::eOk)
        fail(std::string(what) + ": " + acadErrorStatusText(es));
}

// Heap in use by the program: small blocks plus mapped large ones.
std::size_t heapInUse()
{
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

struct BlockKind {
    const wchar_t* name;
    const wchar_t* label; // the asset kind written into extended data
};

const BlockKind kBlocks[] = {
    {L"VALVE_GATE", L"闸阀"},  {L"VALVE_CHECK", L"止回阀"}, {L"PUMP", L"水泵"},
    {L"METER", L"流量计"},     {L"MANHOLE", L"检查井"},     {L"控制柜", L"控制柜"},
};

const wchar_t* const kLineLayers[] = {L"给水管线", L"排水管线", L"电缆沟", L"PIPE-EXIST", L"道路边线"};
const wchar_t* const kMaterials[] = {L"DN200 球墨铸铁管", L"DN300 钢管", L"DN150 PE管", L"DN100 镀锌钢管"};
const wchar_t* const kDistricts[] = {L"一期工程 第1标段", L"一期工程 第2标段", L"二期工程 泵站区", L"厂区管网"};

void addLayer(AcDbDatabase& db, const wchar_t* name, int color)
{
    auto* rec = new AcDbLayerTableRecord();
    rec->setName(wideToUtf8(name));
    rec->setColor(color);
    AcDbObjectId id;
    check(db.addSymbolTableRecord(id, rec), "adding a layer");
}

// One block definition: a frame, a symbol and a connection point.
AcDbObjectId addBlock(AcDbDatabase& db, const BlockKind& kind, int index)
{
    auto* rec = new AcDbBlockTableRecord();
    rec->setName(wideToUtf8(kind.name));
    rec->setOrigin(AcGePoint3d(0.0, 0.0, 0.0));
    AcDbObjectId id;
    check(db.addBlockTableRecord(id, rec), "adding a block");
    const double r = 0.5 + 0.25 * index;
    check(rec->appendAcDbEntity(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, r)), "block circle");
    check(rec->appendAcDbEntity(new AcDbLine(AcGePoint3d(-r, 0, 0), AcGePoint3d(r, 0, 0))), "block line");
    check(rec->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, -r, 0), AcGePoint3d(0, r, 0))), "block line");
    auto* frame = new AcDbPolyline(4);
    frame->addVertexAt(0, AcGePoint2d(-r * 1.2, -r * 1.2));
    frame->addVertexAt(1, AcGePoint2d(r * 1.2, -r * 1.2));
    frame->addVertexAt(2, AcGePoint2d(r * 1.2, r * 1.2));
    frame->addVertexAt(3, AcGePoint2d(-r * 1.2, r * 1.2));
    frame->setClosed(true);
    check(rec->appendAcDbEntity(frame), "block frame");
    check(rec->appendAcDbEntity(new AcDbPoint(AcGePoint3d(r * 1.2, 0, 0))), "block point");
    return id;
}

AcDbPolyline* makePolyline(Rng& rng)
{
    // Two to six vertices, most often three or four.
    static const int kCounts[] = {2, 2, 3, 3, 3, 3, 4, 4, 5, 6};
    const int n = kCounts[rng.below(10)];
    auto* pl = new AcDbPolyline(static_cast<unsigned int>(n));
    double x = mm(rng.uniform(500000.0, 504000.0));
    double y = mm(rng.uniform(3380000.0, 3383000.0));
    double heading = rng.uniform(0.0, 2.0 * kPi);
    const bool arcs = rng.chance(0.08);
    for (int i = 0; i < n; ++i) {
        const double bulge = arcs && i == 0 ? mm(rng.uniform(-0.6, 0.6)) : 0.0;
        pl->addVertexAt(static_cast<unsigned int>(i), AcGePoint2d(x, y), bulge);
        const double len = rng.uniform(0.5, 60.0);
        heading += rng.uniform(-1.2, 1.2);
        x = mm(x + len * std::cos(heading));
        y = mm(y + len * std::sin(heading));
    }
    if (n > 2 && rng.chance(0.2))
        pl->setClosed(true);
    if (rng.chance(0.15)) {
        static const double kWidths[] = {0.3, 0.5, 0.8, 1.2};
        pl->setConstantWidth(kWidths[rng.below(4)]);
    }
    return pl;
}

// Extended data of one block reference: two or three applications with a
// label, a point, a real and an integer each.
resbuf* referenceXData(Rng& rng, const BlockKind& kind, int serial, const AcGePoint3d& at)
{
    const std::wstring tag = std::wstring(kind.label) + L" V-" + padded(serial, 5);
    const std::wstring asset = L"资产编号 ZC-2024-" + padded(serial * 7 + 13, 6);
    const double anchor[3] = {mm(at.x + rng.uniform(-2.0, 2.0)), mm(at.y + rng.uniform(-2.0, 2.0)), 0.0};
    const double valve[3] = {mm(at.x), mm(at.y), mm(rng.uniform(-3.0, 0.0))};
    resbuf* head = acutBuildList(1001, L"CTRLSCH_TAG", 1000, tag.c_str(), 1011, anchor, 1040,
                                 mm(rng.uniform(0.1, 1.6)), 1070, rng.below(4), 0);
    resbuf* tail = head;
    while (tail->rbnext)
        tail = tail->rbnext;
    tail->rbnext = acutBuildList(1001, L"CTRLSCH_ASSET", 1000, asset.c_str(), 1000, kDistricts[rng.below(4)], 1040,
                                 std::round(rng.uniform(800.0, 250000.0)) / 100.0, 1071, 2015 + rng.below(10), 0);
    if (rng.chance(0.4)) {
        while (tail->rbnext)
            tail = tail->rbnext;
        tail->rbnext = acutBuildList(1001, L"PIPENET", 1000, kMaterials[rng.below(4)], 1011, valve, 1040,
                                     mm(rng.uniform(0.2, 1.6)), 1070, 1 + rng.below(12), 0);
    }
    return head;
}

struct DrawingCounts {
    int polylines = 0;
    int references = 0;
};

DrawingCounts makeDrawing(const std::string& path, double scale)
{
    DrawingCounts counts;
    AcDbDatabase db;
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    AcDbDatabase* previous = services->workingDatabase();
    services->setWorkingDatabase(&db);

    int color = 1;
    for (const wchar_t* layer : kLineLayers)
        addLayer(db, layer, color++);
    addLayer(db, L"阀门", 6);
    addLayer(db, L"设备", 4);
    for (const wchar_t* app : {L"CTRLSCH_TAG", L"CTRLSCH_ASSET", L"PIPENET"})
        if (acdbRegApp(app) != RTNORM)
            fail("registering an application failed");

    std::vector<AcDbObjectId> blocks;
    for (int i = 0; i < static_cast<int>(std::size(kBlocks)); ++i)
        blocks.push_back(addBlock(db, kBlocks[i], i));

    AcDbBlockTableRecord* ms = db.modelSpace();
    Rng rng(20240611);
    const int polylines = std::max(1, static_cast<int>(kPolylines * scale));
    const int references = std::max(1, static_cast<int>(kReferences * scale));
    // Interleaved as a drawing grows: a few lines, then a symbol.
    const int perReference = polylines / references;
    while (counts.polylines < polylines || counts.references < references) {
        for (int k = 0; k < perReference && counts.polylines < polylines; ++k) {
            AcDbPolyline* pl = makePolyline(rng);
            check(pl->setLayer(kLineLayers[rng.below(5)]), "polyline layer");
            check(ms->appendAcDbEntity(pl), "appending a polyline");
            ++counts.polylines;
        }
        if (counts.references < references) {
            const int b = rng.below(static_cast<int>(blocks.size()));
            const AcGePoint3d at(mm(rng.uniform(500000.0, 504000.0)), mm(rng.uniform(3380000.0, 3383000.0)), 0.0);
            auto* ref = new AcDbBlockReference(at, blocks[static_cast<std::size_t>(b)]);
            ref->setRotation(rng.chance(0.6) ? kPi / 2 * rng.below(4) : mm(rng.uniform(0.0, 2 * kPi)));
            if (rng.chance(0.2))
                check(ref->setScaleFactors(AcGeScale3d(rng.chance(0.5) ? 0.5 : 2.0)), "reference scale");
            check(ref->setLayer(b == 5 ? L"设备" : L"阀门"), "reference layer");
            resbuf* xd = referenceXData(rng, kBlocks[b], counts.references + 1, at);
            check(ref->setXData(xd), "extended data");
            acutRelRb(xd);
            check(ms->appendAcDbEntity(ref), "appending a reference");
            ++counts.references;
        }
    }
    check(db.saveAs(widen(path).c_str()), "saving the drawing");
    services->setWorkingDatabase(previous);
    return counts;
}

std::size_t modelSpaceCount(const AcDbDatabase& db)
{
    const AcDbBlockTableRecord* ms = db.modelSpace();
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

// Wall and processor time, in seconds.
struct Clock {
    double wall = 0.0, cpu = 0.0;
    static Clock now()
    {
        timespec ts{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        const auto wall = std::chrono::steady_clock::now().time_since_epoch();
        return Clock{std::chrono::duration<double>(wall).count(),
                     static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9};
    }
};

struct Best {
    double wall = 1e300, cpu = 1e300;
    void since(const Clock& start)
    {
        const Clock end = Clock::now();
        wall = std::min(wall, end.wall - start.wall);
        cpu = std::min(cpu, end.cpu - start.cpu);
    }
};

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
