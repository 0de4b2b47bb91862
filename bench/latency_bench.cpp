// Latency of the workbench: from a pick arriving to the updated drawing
// being sent. A LINE command waits for its next point on the session
// thread; "@pick X,Y" arrives through the command line's source, the
// command draws a line, and when the command line asks for the next line
// the update the page is sent (the changes since the version it holds) is
// built and serialised, as the server's changes request does. The
// reference, timed in turns, is the whole live picture: what a page that
// reloads is sent.
//
// Drawings: one the size of the demo's motor starter (about 100 entities)
// and one of 100,000 (bench_drawing.h's mix of polylines and block
// references). Each benchmark's time is the latency (manual time); its
// counters: the best latency and the reference's best time in
// milliseconds, their ratio, and the bytes of the update and of the whole
// picture.
//
// Own flags (the rest go to Google Benchmark):
//   --scale=F   multiply the large drawing's entity count (0.05 for a
//               quick run).
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/hoststring.h"
#include "host/dbmain.h"
#include "host/render/live.h"

#include "bench_drawing.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace benchdrawing;

namespace {

constexpr double kDemoEntities = 100.0;
constexpr double kLargeEntities = 100000.0;

std::string g_tempDir;
double g_scale = 1.0;

// The command line's source on the session thread: lines handed over by
// the benchmark. Whenever the command line asks for a line after a pick,
// the update since the version before the pick is built there first.
class PickSource : public host::LineSource {
public:
    explicit PickSource(render::LiveDrawing& live) : m_live(live) {}

    // The benchmark's thread.
    void send(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line);
        m_wake.notify_all();
    }
    // Sends a pick and waits for the update it brings.
    std::string pick(double x, double y)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_lines.push_back("@pick " + std::to_string(x) + "," + std::to_string(y));
        m_wantUpdate = true;
        m_updated = false;
        m_wake.notify_all();
        m_done.wait(lock, [this] { return m_updated; });
        return std::move(m_update);
    }
    // Waits until the session reads its next line (the command waits).
    void settle()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return m_waiting && m_lines.empty(); });
    }

    // The session thread.
    bool readLine(std::string& line, const std::string&) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_wantUpdate) {
            m_wantUpdate = false;
            m_update = m_live.changesSince(m_since);
            m_updated = true;
        }
        m_since = m_live.version();
        m_waiting = true;
        m_done.notify_all();
        m_wake.wait(lock, [this] { return !m_lines.empty(); });
        m_waiting = false;
        line = m_lines.front();
        m_lines.pop_front();
        return line != "\x04";
    }
    bool echoes() const override { return false; }

private:
    render::LiveDrawing& m_live;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    std::deque<std::string> m_lines;
    std::uint64_t m_since = 0;
    bool m_wantUpdate = false, m_updated = false, m_waiting = false;
    std::string m_update;
};

void latency(benchmark::State& state, double entities)
{
    const std::string path = (fs::path(g_tempDir) / ("drawing-" + std::to_string(state.range(0)) + ".dxf")).string();
    const DrawingCounts counts = makeDrawing(path, entities / (kPolylines + kReferences));
    host::setOutput([](const std::string&) {});
    std::wstring error;
    AcApDocument* doc = acDocManager->openDocument(widen(path), error);
    if (!doc) {
        state.SkipWithError(("open failed: " + wideToUtf8(error)).c_str());
        return;
    }
    render::LiveDrawing live;
    live.follow(doc->database());
    PickSource source(live);
    host::setLineSource(&source);
    std::thread session([] { host::runCommandLoop(); });
    // The drawing's site: lines are drawn across it.
    const double x0 = 500000.0, y0 = 3380000.0;
    source.send("LINE");
    source.send(std::to_string(x0) + "," + std::to_string(y0));
    source.settle();

    // The page holds the whole picture before it asks for changes.
    benchmark::DoNotOptimize(live.whole().size());

    Best pick, whole;
    std::size_t updateBytes = 0, wholeBytes = 0;
    int n = 0;
    for (auto _ : state) {
        ++n;
        Clock start = Clock::now();
        const std::string update = source.pick(x0 + 10.0 * n, y0 + 5.0 * (n % 7));
        pick.since(start);
        state.SetIterationTime(Clock::now().wall - start.wall);
        updateBytes = update.size();
        if (update.find("\"whole\":false") == std::string::npos || update.find("\"changed\":[{") == std::string::npos) {
            state.SkipWithError(("the update holds no new line: " + update.substr(0, 200)).c_str());
            break;
        }
        // The reference, while the command waits for its next point.
        start = Clock::now();
        const std::string all = live.whole();
        whole.since(start);
        wholeBytes = all.size();
        benchmark::DoNotOptimize(all.data());
    }
    source.send("");
    source.send("\x04");
    session.join();
    host::setLineSource(nullptr);
    live.follow(nullptr);
    acDocManager->closeAll();
    host::setOutput(nullptr);
    state.counters["entities"] = counts.polylines + counts.references;
    state.counters["pick_to_update_ms"] = pick.wall * 1e3;
    state.counters["whole_ms"] = whole.wall * 1e3;
    state.counters["update_over_whole"] = pick.wall / whole.wall;
    state.counters["update_bytes"] = static_cast<double>(updateBytes);
    state.counters["whole_bytes"] = static_cast<double>(wholeBytes);
}

void BM_DemoSized(benchmark::State& state)
{
    latency(state, kDemoEntities);
}

void BM_Large(benchmark::State& state)
{
    latency(state, kLargeEntities * g_scale);
}

} // namespace

int main(int argc, char** argv)
{
    g_scale = takeScaleFlag(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const std::string dir = temporaryFolder("latency_bench");
    g_tempDir = dir;

    benchmark::RegisterBenchmark("latency/pick_to_update/demo_sized", BM_DemoSized)
        ->Arg(0)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("latency/pick_to_update/100k", BM_Large)
        ->Arg(1)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
