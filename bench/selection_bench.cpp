// Window selections on large drawings: a crossing selection of a 30 x 20
// window (what drawing code does once per wire) on drawings of 2,000,
// 20,000 and 200,000 entities, and the cost of appending an entity to a
// drawing whose selections are in use. BM_CrossingByWalk is the same
// selection done by testing every entity, for comparison.
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/selection.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

constexpr double kPitch = 10.0;

// A drawing of n entities on a square grid of kPitch cells: lines,
// three-vertex polylines and references to a small block, in turn.
class Drawing {
public:
    // With selected false, no selection has been made in the drawing yet
    // (its index is not built).
    static Drawing& of(long n, bool selected = true)
    {
        static Drawing d;
        if (d.m_n != n || d.m_selected != selected)
            d.build(n, selected);
        return d;
    }
    double side() const { return m_side; }
    // After appending: the next benchmark draws afresh.
    void changed() { m_n = -1; }
    AcDbDatabase* db() const { return acdbCurDwg(); }

private:
    void build(long n, bool selected)
    {
        host::setOutput([](const std::string&) {});
        acDocManager->closeAll();
        acDocManager->newDocument();
        AcDbDatabase* db = acdbCurDwg();
        AcDbInternals::journal(*db).setRecording(false);
        auto* rec = new AcDbBlockTableRecord();
        rec->setName("SYM");
        AcDbObjectId sym;
        db->addBlockTableRecord(sym, rec);
        rec->appendAcDbEntity(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 2));
        rec->appendAcDbEntity(new AcDbLine(AcGePoint3d(-3, 0, 0), AcGePoint3d(3, 0, 0)));
        AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(*db);
        const long cols = static_cast<long>(std::ceil(std::sqrt(static_cast<double>(n))));
        for (long i = 0; i < n; ++i) {
            const double x = (i % cols) * kPitch, y = (i / cols) * kPitch;
            AcDbEntity* e = nullptr;
            switch (i % 3) {
            case 0:
                e = new AcDbLine(AcGePoint3d(x, y, 0), AcGePoint3d(x + 8, y + 3, 0));
                break;
            case 1: {
                auto* pl = new AcDbPolyline();
                pl->addVertexAt(0, AcGePoint2d(x, y));
                pl->addVertexAt(1, AcGePoint2d(x + 6, y));
                pl->addVertexAt(2, AcGePoint2d(x + 6, y + 6));
                e = pl;
                break;
            }
            default:
                e = new AcDbBlockReference(AcGePoint3d(x + 4, y + 4, 0), sym);
                break;
            }
            ms->appendAcDbEntity(e);
        }
        AcDbInternals::journal(*db).setRecording(true);
        m_n = n;
        m_selected = selected;
        m_side = cols * kPitch;
        // The first selection builds the index; the benchmarks measure
        // selections on a drawing in use.
        const double a[3] = {0, 0, 0}, b[3] = {30, 20, 0};
        ads_name ss;
        if (selected && acedSSGet(L"C", a, b, nullptr, ss) == RTNORM)
            acedSSFree(ss);
    }

    long m_n = -1;
    bool m_selected = true;
    double m_side = 0;
};

void BM_Crossing(benchmark::State& state)
{
    Drawing& d = Drawing::of(state.range(0));
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> at(0.0, d.side() - 30.0);
    long found = 0;
    for (auto _ : state) {
        const double x = at(rng), y = at(rng);
        const double a[3] = {x, y, 0}, b[3] = {x + 30, y + 20, 0};
        ads_name ss;
        if (acedSSGet(L"C", a, b, nullptr, ss) == RTNORM) {
            ads_int32 len = 0;
            acedSSLength(ss, &len);
            found += len;
            acedSSFree(ss);
        }
    }
    state.counters["found/call"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Crossing)->Arg(2000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);

void BM_CrossingByWalk(benchmark::State& state)
{
    Drawing& d = Drawing::of(state.range(0));
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> at(0.0, d.side() - 30.0);
    for (auto _ : state) {
        const double x = at(rng), y = at(rng);
        AcDbExtents w(AcGePoint3d(x, y, 0), AcGePoint3d(x + 30, y + 20, 0));
        long n = 0;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*d.db())->entityIds())
            if (const auto* e = dynamic_cast<const AcDbEntity*>(AcDbInternals::stub(id)->object.get()))
                n += !id.isErased() && host::entityCrossesWindow(*e, w);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_CrossingByWalk)->Arg(2000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);

// Appending a line, and appending one followed by a crossing selection
// where it was drawn (which takes the new line into the index).
void BM_Append(benchmark::State& state)
{
    Drawing& d = Drawing::of(state.range(0), state.range(1) != 0);
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(*d.db());
    AcDbInternals::journal(*d.db()).setRecording(false);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> at(0.0, d.side() - 30.0);
    for (auto _ : state) {
        const double x = at(rng), y = at(rng);
        ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(x, y, 0), AcGePoint3d(x + 5, y, 0)));
    }
    AcDbInternals::journal(*d.db()).setRecording(true);
    d.changed();
}
// Appending to drawings with selections in use (second argument 1) and to
// ones without (0). Iterations are fixed so that the drawing keeps about its
// size; growing containers are paid for in the appends that grow them.
BENCHMARK(BM_Append)
    ->ArgsProduct({{2000, 20000, 200000}, {0, 1}})
    ->Iterations(10000)
    ->Unit(benchmark::kMicrosecond);

void BM_AppendThenCrossing(benchmark::State& state)
{
    Drawing& d = Drawing::of(state.range(0));
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(*d.db());
    AcDbInternals::journal(*d.db()).setRecording(false);
    std::mt19937 rng(13);
    std::uniform_real_distribution<double> at(0.0, d.side() - 30.0);
    for (auto _ : state) {
        const double x = at(rng), y = at(rng);
        ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(x, y, 0), AcGePoint3d(x + 5, y, 0)));
        const double a[3] = {x, y, 0}, b[3] = {x + 30, y + 20, 0};
        ads_name ss;
        if (acedSSGet(L"C", a, b, nullptr, ss) == RTNORM)
            acedSSFree(ss);
    }
    AcDbInternals::journal(*d.db()).setRecording(true);
    d.changed();
}
BENCHMARK(BM_AppendThenCrossing)->Arg(2000)->Arg(20000)->Arg(200000)->Iterations(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
