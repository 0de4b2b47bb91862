// Recognising the grid of generated schematics: strings x 10 cells, each
// cell with an in-line wire and a symbol, a link wire before each cell and
// in the end zone, link symbols in every other cell and a terminal block
// across every tenth pair of rows. Only RecognizeGrid is timed; the drawing
// is built once per size.
#include "grid/PrinPicGrid.h"

#include "host/acapdoc.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>

namespace {

constexpr int kCells = 10;
constexpr double kPitchX = 20, kPitchY = 25;
const AcGePoint3d kBase(0, 0, 0);

struct Drawing {
    AcDbObjectIdArray wires, symbols, devices;
};

AcDbObjectId append(AcDbEntity* e)
{
    AcDbObjectId id;
    AcDbInternals::modelSpace(*acdbHostApplicationServices()->workingDatabase())->appendAcDbEntity(id, e);
    return id;
}

AcDbObjectId wire(double x0, double y0, double x1, double y1)
{
    auto* pl = new AcDbPolyline;
    pl->addVertexAt(0, AcGePoint2d(x0, y0));
    pl->addVertexAt(1, AcGePoint2d(x1, y1));
    return append(pl);
}

AcDbObjectId symbol(double x, double y)
{
    return append(new AcDbBlockReference(AcGePoint3d(x, y, 0), AcDbObjectId()));
}

void setPoint(const AcDbObjectId& id, const ACHAR* app, double x, double y)
{
    ads_point p = {x, y, 0};
    resbuf* rb = acutBuildList(1001, app, 1010, p, 0);
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, id, AcDb::kForWrite) == Acad::eOk) {
        obj->setXData(rb);
        obj->close();
    }
    acutRelRb(rb);
}

void setUp(CPrinPicGrid& g)
{
    g.SetBasePoint(kBase);
    g.SetScale(1);
    g.SetBlockScale(1);
    g.SetSymbolScale(1);
    g.SetOrientation(0);
    g.SetCellPitchY(kPitchY);
    g.SetCellPitchX(kPitchX);
    g.SetLineWidth(0);
    g.SetCellsPerString(kCells);
}

const Drawing& drawing(int strings)
{
    static std::map<int, Drawing> made;
    auto found = made.find(strings);
    if (found != made.end())
        return found->second;
    if (made.empty()) {
        acDocManager->newDocument();
        AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
        db->registerApp("MINPT");
        db->registerApp("MAXPT");
    }
    Drawing& d = made[strings];
    for (int i = 0; i < strings; ++i) {
        const double p = kBase.y - (i + 1) * kPitchY;
        for (int j = 0; j <= kCells; ++j) {
            const double x = kBase.x + j * kPitchX;
            d.wires.append(wire(x, p, x, p + kPitchY)); // link wire before cell j / end zone
            if (j == kCells)
                break;
            d.wires.append(wire(x + 1, p, x + kPitchX - 1, p));
            d.symbols.append(symbol(x + kPitchX / 2, p));
            if ((i + j) % 2 == 0)
                d.symbols.append(symbol(x, p + kPitchY / 4));
        }
        if (i % 10 == 3 && i + 1 < strings) {
            const AcDbObjectId id = symbol(kBase.x + 3 * kPitchX + 2, p - kPitchY - 2);
            setPoint(id, L"MINPT", kBase.x + 3 * kPitchX + 2, p - kPitchY - 2);
            setPoint(id, L"MAXPT", kBase.x + 5 * kPitchX - 2, p + 2);
            d.devices.append(id);
        }
    }
    return d;
}

void BM_RecognizeGrid(benchmark::State& state)
{
    const int strings = static_cast<int>(state.range(0));
    const Drawing& d = drawing(strings);
    int recognised = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto g = std::make_unique<CPrinPicGrid>();
        setUp(*g);
        AcDbObjectIdArray wires = d.wires, symbols = d.symbols;
        state.ResumeTiming();
        g->RecognizeGrid(wires, symbols, d.devices);
        state.PauseTiming();
        recognised = g->GetStringCount();
        benchmark::DoNotOptimize(recognised);
        g.reset();
        state.ResumeTiming();
    }
    if (recognised != strings)
        state.SkipWithError("recognised a different number of strings");
    const auto entities = static_cast<std::int64_t>(d.wires.size() + d.symbols.size() + d.devices.size());
    state.SetComplexityN(entities);
    state.counters["entities"] = static_cast<double>(entities);
}

} // namespace

BENCHMARK(BM_RecognizeGrid)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity();

BENCHMARK_MAIN();
