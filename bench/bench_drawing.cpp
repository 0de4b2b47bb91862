#include "bench_drawing.h"

#include "host/dbinternal.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <vector>

namespace benchdrawing {

namespace {

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

} // namespace

std::wstring widen(const std::string& s)
{
    return utf8ToWide(s);
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
    std::exit(2);
}

void check(Acad::ErrorStatus es, const char* what)
{
    if (es != Acad::eOk)
        fail(std::string(what) + ": " + acadErrorStatusText(es));
}

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

    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
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

double takeScaleFlag(int& argc, char** argv)
{
    double scale = 1.0;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--scale=", 8) == 0) {
            char* end = nullptr;
            scale = std::strtod(argv[i] + 8, &end);
            if (end == argv[i] + 8 || *end || !(scale > 0.0) || scale > 10.0)
                fail("--scale wants a number in (0, 10]");
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    return scale;
}

namespace {

std::string g_temporaryFolder;

void removeTemporaryFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(g_temporaryFolder, ec);
}

} // namespace

std::string temporaryFolder(const char* program)
{
    std::string dir = (std::filesystem::temp_directory_path() / (std::string(program) + ".XXXXXX")).string();
    if (!mkdtemp(dir.data()))
        fail("cannot make a temporary folder: " + std::string(std::strerror(errno)));
    if (g_temporaryFolder.empty())
        std::atexit(removeTemporaryFolder);
    g_temporaryFolder = dir;
    return dir;
}

} // namespace benchdrawing
