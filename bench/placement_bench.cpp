// Placement passes on drawings of growing size: the placement loop places
// a symbol with its stubs, extended data and undo group at every pass; the
// drawing around the schematic holds 2,000, 20,000 or 200,000 other
// entities. A pass should cost about the same on all of them.
//
// Each iteration runs the loop for kPasses passes ("s" with the palette's
// symbol, strings of ten cells) on a new schematic below the previous one;
// items_per_second is passes per second.
#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "grid/PrinPicGrid.h"
#include "install/DefaultInstallation.h"
#include "library/YlthzDialog.h"
#include "schematic/PlacementLoop.h"
#include "schematic/SchematicEntries.h"
#include "ui/afxwin.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kPasses = 50;

class Lines : public host::LineSource {
public:
    void set(std::deque<std::string> lines) { m_lines = std::move(lines); }
    bool readLine(std::string& line, const std::string&) override
    {
        if (m_lines.empty())
            return false;
        line = std::move(m_lines.front());
        m_lines.pop_front();
        return true;
    }
    bool echoes() const override { return false; }

private:
    std::deque<std::string> m_lines;
};

// The installation, written once into a temporary folder.
void installOnce()
{
    static bool done = false;
    if (done)
        return;
    const fs::path dir = fs::temp_directory_path() / ("ctrlsch-placement-bench-" + std::to_string(::getpid()));
    std::string error;
    if (!ctrlsch::install::writeDefaultInstallation(dir, error))
        std::abort();
    ::setenv("CTRLSCH_SETTINGS", (dir / "settings.json").c_str(), 1);
    done = true;
}

// A drawing with n entities far to the right of the schematics: lines and
// two-vertex polylines on a square grid.
void buildDrawing(long n)
{
    host::setOutput([](const std::string&) {});
    acDocManager->closeAll();
    acDocManager->newDocument();
    AcDbDatabase* db = acdbCurDwg();
    AcDbInternals::journal(*db).setRecording(false);
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(*db);
    long cols = 1;
    while (cols * cols < n)
        ++cols;
    for (long i = 0; i < n; ++i) {
        const double x = 1000 + (i % cols) * 10.0, y = -(i / cols) * 10.0;
        AcDbEntity* e = nullptr;
        if (i % 2 == 0) {
            e = new AcDbLine(AcGePoint3d(x, y, 0), AcGePoint3d(x + 6, y, 0));
        } else {
            auto* pl = new AcDbPolyline();
            pl->addVertexAt(0, AcGePoint2d(x, y));
            pl->addVertexAt(1, AcGePoint2d(x, y - 6));
            e = pl;
        }
        AcDbObjectId id;
        ms->appendAcDbEntity(id, e);
    }
    AcDbInternals::journal(*db).setRecording(true);
}

// A palette with the contactor coil chosen.
void openPalette()
{
    g_pYlthzDlg = new CYlthzDialog;
    g_pYlthzDlg->Create();
    g_pYlthzDlg->ShowWindow(SW_SHOWNA);
    const CSymbolIndex& index = g_pYlthzDlg->GetIndex();
    int slot = 0;
    for (int i = 0; i < index.GetCount(); ++i)
        if (index.GetName(i) == L"KM-COIL")
            slot = i;
    const int n = g_pYlthzDlg->GetGridSize();
    const CRect r = g_pYlthzDlg->GetPreviewRect();
    const int w = r.Width() / n, h = r.Height() / n;
    ui::dispatchEvent("@mouse palette 0 " + std::to_string(r.left + w * (slot % n) + w / 2) + " " +
                      std::to_string(r.top + h * (slot / n) + h / 2));
}

void BM_PlacementPasses(benchmark::State& state)
{
    installOnce();
    ui::reset();
    buildDrawing(state.range(0));
    Lines lines;
    host::setLineSource(&lines);
    double baseY = 0;
    for (auto _ : state) {
        state.PauseTiming();
        openPalette();
        CPrinPicGrid grid;
        SetUpNewGrid(grid, *g_pYlthzDlg, 10, AcGePoint3d(0, baseY, 0), 1.0);
        g_pYlthzDlg->BeginDrawing();
        std::deque<std::string> script(kPasses, "s");
        script.push_back("");
        lines.set(std::move(script));
        baseY -= 20.0 * (kPasses / 10 + 2);
        state.ResumeTiming();
        RunPlacementLoop(&grid, 0, 0, 0, AcDbExtents(), kNewSchematic);
    }
    state.SetItemsProcessed(state.iterations() * kPasses);
    state.counters["entities"] = static_cast<double>(state.range(0));
    host::setLineSource(nullptr);
    ClosePalette();
    acDocManager->closeAll();
    ui::reset();
}
BENCHMARK(BM_PlacementPasses)->Arg(2000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
