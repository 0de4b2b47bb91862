// Equipment statistics over a whole project, against only loading the same
// drawings.
//
// The project is made with the host's own API: N drawings (default 200),
// each with M equipment items (default 2,000). An item is drawn as in a
// schematic: a symbol (a block reference on the element or panel layer,
// some items texts instead) carrying "XMDH", "SBMC" and "XHGG" with the
// schematic's own "IDPOINT", "YLTHZCS" and "TKSY", two wire stubs (light
// polylines with "IDPOINT" and "YLTHZCS") and a label text. The items of a
// drawing make one ladder (identifier point (0, 20), rows 20 apart, 50
// cells of 30 a row; the stubs join the symbols to the cell edges), so
// that ctrlsch check has a real schematic to recognise (bench/check_bench). The installation settings, statistics
// settings, equipment-name file and drawing list go beside them.
//
// Benchmarks:
//   LoadOnly      reads every drawing of the project, one at a time
//   Esbbtj/N      the table of mode 1 (every drawing read once, then
//                 dropped) with N reading threads
//   Tables/N      the same with each drawing's table made in the same pass
//                 (what (esbbtjgt) hands over)
//   TableCommand/N  the program: ctrlsch table --project SETTINGS -o X.xlsx
//                 --jobs N, start to end (needs --ctrlsch=PATH)
// Each reports the process's peak resident memory; run them in separate
// processes (as bench/run_esbbtj_bench.sh does) to compare peaks.
//
// Own flags (the rest go to Google Benchmark):
//   --project_dir=DIR  where the project is (or is written)
//   --generate_only    write the project and exit
//   --reuse            use the project already in DIR
//   --drawings=N --items=M
//   --ctrlsch=PATH     the ctrlsch program TableCommand runs
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/hostmem.h"
#include "statistics/EquipmentStatistics.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string dir;
    bool generateOnly = false;
    bool reuse = false;
    int drawings = 200;
    int items = 2000;
    std::string ctrlsch;
} g_options;

std::vector<std::string> g_paths;
std::uintmax_t g_projectBytes = 0;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "esbbtj_bench: %s\n", message.c_str());
    std::exit(1);
}

void parseOptions(int& argc, char** argv)
{
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name, std::string& v) {
            const std::string prefix = std::string(name) + "=";
            if (a.rfind(prefix, 0) != 0)
                return false;
            v = a.substr(prefix.size());
            return true;
        };
        std::string v;
        if (value("--project_dir", v))
            g_options.dir = v;
        else if (value("--drawings", v))
            g_options.drawings = std::max(1, std::atoi(v.c_str()));
        else if (value("--items", v))
            g_options.items = std::max(1, std::atoi(v.c_str()));
        else if (value("--ctrlsch", v))
            g_options.ctrlsch = v;
        else if (a == "--generate_only")
            g_options.generateOnly = true;
        else if (a == "--reuse")
            g_options.reuse = true;
        else
            argv[out++] = argv[i];
    }
    argc = out;
}

void writeText(const fs::path& p, const std::string& text)
{
    std::ofstream f(p, std::ios::binary);
    f << text;
    if (!f)
        fail("cannot write " + p.string());
}

const char* const kCodes[] = {"KM", "KA", "QF", "FU", "SB", "HL", "KT", "FR"};
const char* const kModels[] = {"CJX2-12", "JZ7-44", "DZ47-63", "RT18-32", "LA38-11", "AD16-22", "JS14P", "JR36-20"};

void makeDrawing(const fs::path& path, int index, int items)
{
    AcDbDatabase db;
    for (const char* name : {"电气元件", "屏面设备", "电气导线", "标注"}) {
        auto* layer = new AcDbLayerTableRecord;
        layer->setName(name);
        AcDbObjectId id;
        db.addSymbolTableRecord(id, layer);
    }
    for (const char* app : {"XMDH", "SBMC", "XHGG", "IDPOINT", "TKSY", "YLTHZCS"})
        db.registerApp(app);
    auto* block = new AcDbBlockTableRecord;
    block->setName("EQ");
    AcDbObjectId blockId;
    db.addBlockTableRecord(blockId, block);
    block->appendAcDbEntity(new AcDbLine(AcGePoint3d(-3.75, 0, 0), AcGePoint3d(3.75, 0, 0)));
    block->appendAcDbEntity(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 2));
    const ads_point idPoint = {0.0, 20.0, 0.0};
    const auto schematicData = [&idPoint](AcDbEntity* e) {
        for (resbuf* rb : {acutBuildList(1001, L"IDPOINT", 1011, idPoint, 0),
                           acutBuildList(1001, L"YLTHZCS", 1000, L"20.00&30.00&0.30&1.00&50&0", 0)}) {
            e->setXData(rb);
            acutRelRb(rb);
        }
    };
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    for (int j = 0; j < items; ++j) {
        const double x = (j % 50) * 30.0, y = -(j / 50) * 20.0;
        // Two wire stubs and a label per item, as in a schematic.
        for (double dx : {-15.0, 3.75}) {
            auto* stub = new AcDbPolyline;
            stub->addVertexAt(0, AcGePoint2d(x + dx, y));
            stub->addVertexAt(1, AcGePoint2d(x + dx + 11.25, y));
            stub->setLayerName("电气导线");
            schematicData(stub);
            ms->appendAcDbEntity(stub);
        }
        const int kind = j % 8;
        const std::string designation = kCodes[kind] + std::to_string(index * items + j + 1);
        auto* label = new AcDbText(AcGePoint3d(x - 3, y + 5, 0), utf8ToWide(designation).c_str(), 2.5);
        label->setLayerName("标注");
        ms->appendAcDbEntity(label);
        AcDbEntity* e = nullptr;
        std::string layer = "电气元件";
        if (j % 25 == 24) {
            e = new AcDbText(AcGePoint3d(x, y, 0), utf8ToWide(designation).c_str(), 2.5);
        } else {
            e = new AcDbBlockReference(AcGePoint3d(x, y, 0), blockId);
            if (j % 10 == 3)
                layer = "屏面设备";
        }
        e->setLayerName(layer);
        const std::wstring d = utf8ToWide(designation), m = utf8ToWide(kModels[kind]);
        for (auto [app, value] : {std::pair<const ACHAR*, std::wstring>{L"XMDH", d}, {L"SBMC", L"设备"}, {L"XHGG", m},
                                  {L"TKSY", L"常开触点&" + utf8ToWide(kCodes[kind])}}) {
            resbuf* rb = acutBuildList(1001, app, 1000, value.c_str(), 0);
            e->setXData(rb);
            acutRelRb(rb);
        }
        schematicData(e);
        ms->appendAcDbEntity(e);
    }
    if (db.saveAs(utf8ToWide(path.string()).c_str()) != Acad::eOk)
        fail("cannot save " + path.string());
}

void makeProject(const fs::path& dir)
{
    fs::create_directories(dir / "DATCOM");
    fs::create_directories(dir / "User");
    writeText(dir / "settings.json", "{\"VMQMain\": {\"VmqSys\": \"" + dir.string() + "\", \"VmqUse\": \""
                                         + (dir / "User").string() + "\"}, \"GdData\": {\"Xmname\": \"Sbmc.txt\"}}\n");
    writeText(dir / "DATCOM" / "ESBB.Qrz", "{\"生成顺序\": {\"排序项\": \"0\", \"排序内容\": \"接触器,断路器\"}}\n");
    // GBK: KM 接触器, QF 断路器
    writeText(dir / "DATCOM" / "Sbmc.txt", "KM \xbd\xd3\xb4\xa5\xc6\xf7\r\nQF \xb6\xcf\xc2\xb7\xc6\xf7\r\n");
    std::string names, counts;
    for (int i = 0; i < g_options.drawings; ++i) {
        const fs::path p = dir / ("P" + std::to_string(i + 1));
        makeDrawing(p.string() + ".dxf", i, g_options.items);
        names += (i ? "&" : "") + p.string();
        counts += i ? "&1" : "1";
    }
    writeText(dir / "User" / "Sbxl.Qrz",
              "{\"Project\": {\"Filenm\": \"" + names + "\", \"Filenum\": \"" + counts + "\"}}\n");
}

double peakRssMB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

void report(benchmark::State& state)
{
    state.counters["drawings"] = static_cast<double>(g_paths.size());
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(g_projectBytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_rss_MB"] = peakRssMB();
}

void BM_LoadOnly(benchmark::State& state)
{
    for (auto _ : state) {
        for (const std::string& p : g_paths) {
            AcDbDatabase db(false, true);
            if (db.readDwgFile(utf8ToWide(p).c_str()) != Acad::eOk)
                state.SkipWithError("a drawing cannot be read");
            benchmark::DoNotOptimize(AcDbInternals::modelSpace(db));
        }
    }
    report(state);
}
BENCHMARK(BM_LoadOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void useThreads(benchmark::State& state)
{
    ::setenv("CTRLSCH_JOBS", std::to_string(state.range(0)).c_str(), 1);
}

void BM_Esbbtj(benchmark::State& state)
{
    useThreads(state);
    std::size_t rows = 0;
    for (auto _ : state) {
        std::vector<EquipmentRow> table;
        if (!CollectEquipmentTable(1, table))
            state.SkipWithError("the statistics failed");
        rows = table.size();
        benchmark::DoNotOptimize(table.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
    report(state);
}
BENCHMARK(BM_Esbbtj)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Tables(benchmark::State& state)
{
    useThreads(state);
    std::size_t rows = 0;
    for (auto _ : state) {
        std::vector<EquipmentRow> table;
        std::vector<DrawingTable> drawings;
        if (!CollectEquipmentTables(1, table, &drawings))
            state.SkipWithError("the statistics failed");
        rows = table.size();
        for (const DrawingTable& d : drawings)
            rows += d.rows.size();
        benchmark::DoNotOptimize(drawings.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
    report(state);
}
BENCHMARK(BM_Tables)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TableCommand(benchmark::State& state)
{
    if (g_options.ctrlsch.empty()) {
        state.SkipWithError("--ctrlsch=PATH is needed");
        return;
    }
    const fs::path dir = fs::absolute(g_options.dir);
    const std::string settings = (dir / "settings.json").string(), out = (dir / "table.xlsx").string();
    const std::string jobs = std::to_string(state.range(0));
    std::vector<std::string> words = {g_options.ctrlsch, "table", "--project", settings, "-o", out, "--jobs", jobs};
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0
            || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("ctrlsch table failed");
            break;
        }
    }
    state.counters["xlsx_MB"] = fs::exists(out) ? static_cast<double>(fs::file_size(out)) / 1e6 : 0.0;
    report(state);
}
BENCHMARK(BM_TableCommand)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The largest drawing alone: the memory the statistics should stay near.
void BM_LoadLargest(benchmark::State& state)
{
    std::string largest;
    std::uintmax_t size = 0;
    for (const std::string& p : g_paths)
        if (fs::file_size(p) >= size) {
            size = fs::file_size(p);
            largest = p;
        }
    for (auto _ : state) {
        AcDbDatabase db(false, true);
        db.readDwgFile(utf8ToWide(largest).c_str());
        benchmark::DoNotOptimize(AcDbInternals::modelSpace(db));
    }
    report(state);
}
BENCHMARK(BM_LoadLargest)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    hostTuneProcessMemory(argv, MemoryTuning::Always);
    parseOptions(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (g_options.dir.empty())
        fail("--project_dir=DIR is needed");
    const fs::path dir = fs::absolute(g_options.dir);
    if (!g_options.reuse) {
        makeProject(dir);
        std::fprintf(stderr, "esbbtj_bench: %d drawings of %d items written to %s\n", g_options.drawings,
                     g_options.items, dir.c_str());
    }
    if (g_options.generateOnly)
        return 0;
    ::setenv("CTRLSCH_SETTINGS", (dir / "settings.json").c_str(), 1);
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".dxf") {
            g_paths.push_back(e.path().string());
            g_projectBytes += e.file_size();
        }
    std::sort(g_paths.begin(), g_paths.end());
    if (g_paths.empty())
        fail("no drawings in " + dir.string());
    host::setOutput([](const std::string&) {});
    acDocManager->newDocument();
    benchmark::AddCustomContext("project_bytes", std::to_string(g_projectBytes));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
