// Drawings exchanged with another program (ezdxf): what it writes we read
// with the right geometry, text and extended data; what we write it reads
// without audit errors; what we open and save keeps everything it reads.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

using testutil::TempDir;

namespace {

constexpr double kDeg = kPi / 180.0;

class InteropTest : public testutil::EzdxfDrawingsTest {
protected:
    static void SetUpTestSuite() { makeDrawings("make_interop_drawings"); }
    static std::string drawing(const std::string& version) { return s_dir->file(version + ".dxf"); }
};

std::vector<std::string> rawKinds(const AcDbBlockTableRecord* rec)
{
    std::vector<std::string> out;
    for (auto* e : testutil::entitiesOf<AcDbRawEntity>(rec))
        out.push_back(e->dxfName());
    return out;
}

std::string xdataText(const AcDbObject* obj, const char* app)
{
    std::ostringstream out;
    resbuf* rb = obj->xData(utf8ToWide(app).c_str());
    for (resbuf* p = rb; p; p = p->rbnext) {
        out << p->restype << ":";
        switch (acutRbKind(p->restype)) {
        case RbKind::String: out << wideToUtf8(p->resval.rstring); break;
        case RbKind::Real: out << p->resval.rreal; break;
        case RbKind::Short: out << p->resval.rint; break;
        case RbKind::Long: out << p->resval.rlong; break;
        case RbKind::Point:
            out << p->resval.rpoint[0] << "," << p->resval.rpoint[1] << "," << p->resval.rpoint[2];
            break;
        default: break;
        }
        out << ";";
    }
    acutRelRb(rb);
    return out.str();
}

TEST_P(InteropTest, ReadsGeometryTextAndExtendedData)
{
    const std::string version = GetParam();
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDwgFile(utf8ToWide(drawing(version)).c_str()), Acad::eOk) << wideToUtf8(db.lastError());
    const AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    ASSERT_NE(ms, nullptr);

    auto lines = testutil::entitiesOf<AcDbLine>(ms);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->layerName(), "WIRE");
    EXPECT_EQ(lines[0]->colorIndex(), 1);
    EXPECT_EQ(lines[0]->endPoint(), AcGePoint3d(10, 5, 0));

    // The layer name is Chinese: GBK bytes in R2000, escapes in R12.
    auto circles = testutil::entitiesOf<AcDbCircle>(ms);
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0]->layerName(), "元件");
    EXPECT_DOUBLE_EQ(circles[0]->radius(), 2.5);
    auto* layer = dynamic_cast<AcDbLayerTableRecord*>(AcDbInternals::stub(db.table("LAYER")->getAt("元件"))->object.get());
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->color(), 3);

    auto arcs = testutil::entitiesOf<AcDbArc>(ms);
    ASSERT_EQ(arcs.size(), 1u);
    EXPECT_NEAR(arcs[0]->startAngle(), 10 * kDeg, 1e-12);
    EXPECT_NEAR(arcs[0]->endAngle(), 100 * kDeg, 1e-12);
    EXPECT_EQ(arcs[0]->colorIndex(), 5);

    // R12 has no lightweight polylines: its 2D polyline is read as one.
    auto plines = testutil::entitiesOf<AcDbPolyline>(ms);
    ASSERT_EQ(plines.size(), 1u);
    EXPECT_EQ(plines[0]->numVerts(), 3u);
    EXPECT_TRUE(plines[0]->isClosed());
    AcGePoint2d p;
    plines[0]->getPointAt(2, p);
    EXPECT_EQ(p, AcGePoint2d(10, 10));
    if (version != "R12") {
        double bulge = 0, sw = 0, ew = 0;
        plines[0]->getBulgeAt(0, bulge);
        plines[0]->getWidthsAt(1, sw, ew);
        EXPECT_DOUBLE_EQ(bulge, 0.25);
        EXPECT_DOUBLE_EQ(sw, 0.5);
        EXPECT_DOUBLE_EQ(ew, 0.5);
    }

    auto texts = testutil::entitiesOf<AcDbText>(ms);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->text(), "电气 KM1");
    EXPECT_EQ(texts[0]->horizontalMode(), AcDb::kTextCenter);
    EXPECT_EQ(texts[0]->verticalMode(), AcDb::kTextVertMid);
    EXPECT_EQ(texts[0]->alignmentPoint(), AcGePoint3d(1, 1, 0));
    EXPECT_NEAR(texts[0]->rotation(), 30 * kDeg, 1e-12);
    EXPECT_DOUBLE_EQ(texts[0]->height(), 3.5);
    EXPECT_EQ(texts[1]->text(), "plain");
    EXPECT_TRUE(texts[1]->isDefaultAlignment());

    ASSERT_EQ(testutil::entitiesOf<AcDbPoint>(ms).size(), 1u);
    ASSERT_EQ(testutil::entitiesOf<AcDbSolid>(ms).size(), 1u);

    auto refs = testutil::entitiesOf<AcDbBlockReference>(ms);
    ASSERT_EQ(refs.size(), 2u);
    const AcDbBlockReference* ref = refs[0];
    EXPECT_EQ(ref->blockName(), "SYM");
    EXPECT_EQ(ref->position(), AcGePoint3d(20, 20, 0));
    EXPECT_EQ(ref->scaleFactors(), AcGeScale3d(2, 2, 1));
    EXPECT_NEAR(ref->rotation(), 90 * kDeg, 1e-12);
    EXPECT_EQ(xdataText(ref, "XMDH"), "1001:XMDH;1000:KM1;1040:2.5;1070:3;1010:1,2,3;");
    EXPECT_EQ(xdataText(ref, "SBMC"), "1001:SBMC;1000:交流接触器;");
    EXPECT_EQ(xdataText(ref, "IDPOINT"), "1001:IDPOINT;1011:100,200,0;");
    EXPECT_EQ(refs[1]->scaleFactors().sx, -1.0);

    // The block's line runs from (0,0) to (0,-7.5), its circle of radius 2
    // sits at (0,-3.75): scaled by 2, turned by 90 degrees, placed at (20,20).
    AcDbExtents ext;
    ASSERT_EQ(ref->getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.minPoint().x, 20, 1e-9);
    EXPECT_NEAR(ext.maxPoint().x, 35, 1e-9);
    EXPECT_NEAR(ext.minPoint().y, 16, 1e-9);
    EXPECT_NEAR(ext.maxPoint().y, 24, 1e-9);
    AcDbBlockTableRecord* sym = db.blockRecord("sym");
    ASSERT_NE(sym, nullptr);
    EXPECT_EQ(sym->entityIds().size(), 2u);

    // Entities the host does not model are kept.
    const std::vector<std::string> raw = rawKinds(ms);
    if (version == "R12")
        EXPECT_EQ(raw, (std::vector<std::string>{"DIMENSION"}));
    else
        EXPECT_EQ(raw, (std::vector<std::string>{"HATCH", "MTEXT", "DIMENSION"}));
}

// R12 drawings are upgraded on saving (2D polylines become lightweight),
// so the exact comparison holds from R2000 on.
class InteropRoundTripTest : public InteropTest {};

TEST_P(InteropRoundTripTest, OpenAndSaveKeepsWhatEzdxfReads)
{
    const std::string version = GetParam();
    TempDir out;
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDwgFile(utf8ToWide(drawing(version)).c_str()), Acad::eOk);
    ASSERT_EQ(db.saveAs(utf8ToWide(out.file("saved.dxf")).c_str()), Acad::eOk);
    const std::string before = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(drawing(version)));
    const std::string after = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(out.file("saved.dxf")));
    EXPECT_EQ(before, after);
    EXPECT_NE(after.find("audit errors=0 fixes=0"), std::string::npos) << after;
}

// R12 drawings are upgraded on saving; the later versions are compared
// whole above, audit included.
class InteropUpgradeTest : public InteropTest {};

TEST_P(InteropUpgradeTest, SavedUpgradeHasNoAuditErrors)
{
    TempDir out;
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDwgFile(utf8ToWide(drawing(GetParam())).c_str()), Acad::eOk);
    ASSERT_EQ(db.saveAs(utf8ToWide(out.file("saved.dxf")).c_str()), Acad::eOk);
    const std::string report = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(out.file("saved.dxf")));
    EXPECT_NE(report.find("audit errors=0"), std::string::npos) << report;
    EXPECT_NE(report.find("xdata[SBMC]=1001:SBMC;1000:交流接触器"), std::string::npos) << report;
    EXPECT_NE(report.find("layer 元件 color=3"), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(Versions, InteropTest, ::testing::Values("R12", "R2000", "R2018"));
INSTANTIATE_TEST_SUITE_P(Versions, InteropRoundTripTest, ::testing::Values("R2000", "R2018"));
INSTANTIATE_TEST_SUITE_P(Versions, InteropUpgradeTest, ::testing::Values("R12"));

// ---------------------------------------------------------------- corpus

// The round-trip corpus: drawings as other programs write them, made by
// tests/tools/make_interop_drawings.py --corpus (ezdxf in every version it
// writes, with many kinds of entities, objects and data; Chinese text in
// GBK; R13 and R14; binary files). For each, what ezdxf reads in it
// (ezdxf_report.py --full) is what it reads after the host opens and saves
// it. The corpus is made once per build folder and made again when its
// script changes.
const std::string kCorpus[] = {"R12-full", "R2000-full", "R2004-full", "R2007-full", "R2010-full", "R2013-full",
                               "R2018-full", "R12-gbk", "R2000-gbk", "R13-patched", "R14-patched",
                               "R12-binary", "R2000-binary", "R2018-binary"};

// Files the host refuses on purpose, with what its message says. Binary
// DXF has no reader yet: once it has, its names leave this list and the
// files are checked like all others.
const std::map<std::string, std::string> kRefused = {};

std::string corpusDir()
{
    return testutil::binaryDir() + "/tests/host/interop-corpus";
}

// Makes dir with `make` unless it is there for the current `stamp` (the
// scripts it comes from); test programs running at the same time wait for
// the one that makes it.
void ensureMade(const std::string& dir, const std::string& stamp, const std::function<void()>& make)
{
    namespace fs = std::filesystem;
    const std::string stampFile = dir + "/SCRIPT";
    fs::create_directories(fs::path(dir).parent_path());
    const int lock = ::open((dir + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(lock, 0);
    ::flock(lock, LOCK_EX);
    if (!fs::exists(stampFile) || testutil::readFile(stampFile) != stamp) {
        std::error_code ec;
        fs::remove_all(dir, ec);
        fs::create_directories(dir);
        make();
        if (!::testing::Test::HasFailure())
            testutil::writeFile(stampFile, stamp);
    }
    ::flock(lock, LOCK_UN);
    ::close(lock);
}

std::string toolScript(const std::string& name)
{
    return testutil::readFile(testutil::sourceDir() + "/tests/tools/" + name + ".py");
}

// What ezdxf reads in each of the files (ezdxf_report.py --full), kept in
// dir as NAME.report, all made in one run of the script.
void writeReports(const std::string& dir, const std::vector<std::string>& files)
{
    std::string args = "--full-each " + testutil::shellQuote(dir);
    for (const std::string& f : files)
        args += " " + testutil::shellQuote(f);
    testutil::runPythonTool("ezdxf_report", args);
}

std::string keptReport(const std::string& dir, const std::string& file)
{
    return testutil::readFile(dir + "/" + std::filesystem::path(file).filename().string() + ".report");
}

// Makes the corpus, with ezdxf's reports of its files, unless it is there
// for the current scripts.
void ensureCorpus()
{
    const std::string dir = corpusDir();
    ensureMade(dir, toolScript("make_interop_drawings") + toolScript("ezdxf_report"), [&] {
        testutil::runPythonTool("make_interop_drawings", "--corpus " + testutil::shellQuote(dir));
        std::vector<std::string> files;
        for (const std::string& name : kCorpus)
            files.push_back(dir + "/" + name + ".dxf");
        writeReports(dir, files);
    });
}

class CorpusTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite()
    {
        if (testutil::haveEzdxf())
            ensureCorpus();
    }
    void SetUp() override
    {
        if (!testutil::haveEzdxf())
            GTEST_SKIP() << "python3-ezdxf is not installed";
    }
    static std::string file(const std::string& name) { return corpusDir() + "/" + name + ".dxf"; }
};

TEST_P(CorpusTest, EzdxfReadsTheSameAfterOpenAndSave)
{
    const std::string name = GetParam();
    AcDbDatabase db(false);
    const Acad::ErrorStatus es = db.readDwgFile(utf8ToWide(file(name)).c_str());
    const std::string error = wideToUtf8(db.lastError());
    if (const auto refused = kRefused.find(name); refused != kRefused.end()) {
        EXPECT_NE(es, Acad::eOk);
        EXPECT_NE(error.find(file(name) + ", line "), std::string::npos) << error;
        EXPECT_NE(error.find(refused->second), std::string::npos) << error;
        return;
    }
    ASSERT_EQ(es, Acad::eOk) << error;
    const std::string notes = testutil::loadNotesText(db);
    EXPECT_FALSE(db.isRecovered()) << notes;
    TempDir out;
    ASSERT_EQ(db.saveAs(utf8ToWide(out.file("saved.dxf")).c_str()), Acad::eOk);
    const std::string before = keptReport(corpusDir(), file(name));
    const std::string after = testutil::runPythonTool("ezdxf_report", "--full " + testutil::shellQuote(out.file("saved.dxf")));
    EXPECT_NE(before.find("audit errors=0\n"), std::string::npos) << before.substr(0, 2000);
    EXPECT_GT(std::count(before.begin(), before.end(), '\n'), 100) << "the report is too short to mean much";
    EXPECT_EQ(before, after);
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, ::testing::ValuesIn(kCorpus),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-')
                                     c = '_';
                             return n;
                         });

// Drawings of another program shipped in Debian (librecad-data, GPL-2):
// parts libraries and hatch patterns written by dxflib and libdxfrw, R12 to
// R2007. One file of each folder; misc/a3.dxf ends its header early and
// opens in recover mode.
const std::string kSamples[] = {"library/algoritm/alg1.dxf", "library/block/block10.dxf",
                                "library/elektro/antenna/ant1.dxf", "library/kinetics/kin10.dxf",
                                "library/misc/a3.dxf", "library/plan/air_water/aw10.dxf",
                                "library/power_station/ed100.dxf", "library/sheets/A0H.dxf",
                                "patterns/ansi31.dxf", "patterns/ar-conc.dxf"};
const std::string kSampleRoot = "/usr/share/librecad/";

std::string sampleReportDir()
{
    return testutil::binaryDir() + "/tests/host/sample-reports";
}

class SampleTest : public ::testing::TestWithParam<std::string> {
protected:
    // ezdxf's reports of the samples, made once per build folder (again
    // when the report script changes).
    static void SetUpTestSuite()
    {
        if (!testutil::haveEzdxf() || !std::filesystem::exists(kSampleRoot))
            return;
        const std::string dir = sampleReportDir();
        ensureMade(dir, toolScript("ezdxf_report"), [&] {
            std::vector<std::string> files;
            for (const std::string& sample : kSamples)
                files.push_back(kSampleRoot + sample);
            writeReports(dir, files);
        });
    }
    void SetUp() override
    {
        if (!testutil::haveEzdxf() || !std::filesystem::exists(kSampleRoot + GetParam()))
            GTEST_SKIP() << "python3-ezdxf or librecad-data is not installed";
    }
};

TEST_P(SampleTest, EzdxfReadsTheSameAfterOpenAndSave)
{
    const std::string path = kSampleRoot + GetParam();
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDwgFile(utf8ToWide(path).c_str()), Acad::eOk) << wideToUtf8(db.lastError());
    const std::string notes = testutil::loadNotesText(db);
    if (GetParam() == "library/misc/a3.dxf")
        EXPECT_NE(notes.find("a stray ENDSEC at line 15 inside the HEADER section was ignored"), std::string::npos)
            << notes;
    else
        EXPECT_FALSE(db.isRecovered()) << notes;
    TempDir out;
    ASSERT_EQ(db.saveAs(utf8ToWide(out.file("saved.dxf")).c_str()), Acad::eOk);
    const std::string before = keptReport(sampleReportDir(), path);
    const std::string after = testutil::runPythonTool("ezdxf_report", "--full " + testutil::shellQuote(out.file("saved.dxf")));
    EXPECT_EQ(before, after);
}

INSTANTIATE_TEST_SUITE_P(Debian, SampleTest, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

// MINSERT from another program used to be dropped on reading.
TEST_F(CorpusTest, MultipleInsertsAreReadWithTheirGrid)
{
    for (const char* name : {"R12-full", "R2018-full"}) {
        SCOPED_TRACE(name);
        AcDbDatabase db(false);
        ASSERT_EQ(db.readDwgFile(utf8ToWide(file(name)).c_str()), Acad::eOk) << wideToUtf8(db.lastError());
        std::vector<AcDbMInsertBlock*> grids = testutil::entitiesOf<AcDbMInsertBlock>(AcDbInternals::modelSpace(db));
        ASSERT_EQ(grids.size(), 2u);
        EXPECT_EQ(grids[0]->blockName(), "KM");
        EXPECT_EQ(grids[0]->columns(), 3);
        EXPECT_EQ(grids[0]->rows(), 2);
        EXPECT_DOUBLE_EQ(grids[0]->columnSpacing(), 10);
        EXPECT_DOUBLE_EQ(grids[0]->rowSpacing(), 15);
        EXPECT_NEAR(grids[0]->rotation(), 30 * kDeg, 1e-12);
        EXPECT_EQ(grids[0]->followers()->size(), 2u) << "its attribute and end marker";
        EXPECT_EQ(grids[1]->copyCount(), 4);
    }
}

// A drawing made through the host's interface, read back by ezdxf.
TEST(InteropWriteTest, EzdxfReadsEveryEntityBlockLayerAndExtendedData)
{
    if (!testutil::haveEzdxf())
        GTEST_SKIP() << "python3-ezdxf is not installed";
    AcDbDatabase db;
    acdbHostApplicationServices()->setWorkingDatabase(&db);
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("SCHEMATIC_ELEMENT");
    layer->setColor(4);
    AcDbObjectId layerId;
    ASSERT_EQ(db.addSymbolTableRecord(layerId, layer), Acad::eOk);
    ASSERT_EQ(db.registerApp("YLTHZCS"), Acad::eOk);
    ASSERT_EQ(db.registerApp("TKSY"), Acad::eOk);

    auto* block = new AcDbBlockTableRecord();
    block->setName("KM");
    AcDbObjectId blockId;
    ASSERT_EQ(db.addBlockTableRecord(blockId, block), Acad::eOk);
    block->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, -7.5, 0)));
    block->appendAcDbEntity(new AcDbCircle(AcGePoint3d(0, -3.75, 0), AcGeVector3d::kZAxis, 2));

    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    auto* ref = new AcDbBlockReference(AcGePoint3d(30, 40, 0), blockId);
    ref->setRotation(kPi / 2);
    ref->setScaleFactors(AcGeScale3d(1.5, 1.5, 1));
    ref->setLayer(L"SCHEMATIC_ELEMENT");
    ms->appendAcDbEntity(ref);
    ads_point idp = {100, 50, 0};
    resbuf* xd = acutBuildList(1001, L"YLTHZCS", 1000, L"20.00&30.00&0.30&1.00&3&0", 1001, L"TKSY", 1000,
                               L"常开触点&K01", 1002, L"{", 1070, 7, 1071, 70000, 1040, 0.5, 1002, L"}", 1011, idp, 0);
    ASSERT_EQ(ref->setXData(xd), Acad::eOk);
    acutRelRb(xd);

    auto* pl = new AcDbPolyline();
    pl->addVertexAt(0, AcGePoint2d(0, 0));
    pl->addVertexAt(1, AcGePoint2d(30, 0), 0.5);
    pl->addVertexAt(2, AcGePoint2d(30, 20));
    pl->setConstantWidth(0.3);
    pl->setColorIndex(1);
    ms->appendAcDbEntity(pl);
    auto* text = new AcDbText(AcGePoint3d(5, 5, 0), L"启动按钮 SB1", 2.5, 0.0);
    text->setHorizontalMode(AcDb::kTextMid);
    text->setAlignmentPoint(AcGePoint3d(5, 5, 0));
    ms->appendAcDbEntity(text);
    ms->appendAcDbEntity(new AcDbArc(AcGePoint3d(0, 0, 0), 4, 0, kPi / 2));
    ms->appendAcDbEntity(new AcDbPoint(AcGePoint3d(1, 2, 0)));
    ms->appendAcDbEntity(new AcDbSolid(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0),
                                       AcGePoint3d(1, 1, 0)));
    TempDir out;
    ASSERT_EQ(db.saveAs(utf8ToWide(out.file("made.dwg")).c_str()), Acad::eOk);
    const std::string report = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(out.file("made.dxf")));
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);

    const char* expected[] = {
        "audit errors=0 fixes=0",
        "layer SCHEMATIC_ELEMENT color=4 linetype=Continuous",
        "appid TKSY",
        "appid YLTHZCS",
        "block KM base=(0,0,0)",
        "  LINE end=(0,-7.5,0) layer=0 start=(0,0,0)",
        "  CIRCLE center=(0,-3.75,0) layer=0 radius=2.0",
        "INSERT insert=(30.0,40.0,0) layer=SCHEMATIC_ELEMENT name=KM rotation=90.0 xscale=1.5 yscale=1.5 "
        "xdata[TKSY]=1001:TKSY;1000:常开触点&K01;1002:{;1070:7;1071:70000;1040:0.5;1002:};1011:(100.0,50.0,0) "
        "xdata[YLTHZCS]=1001:YLTHZCS;1000:20.00&30.00&0.30&1.00&3&0",
        "LWPOLYLINE color=1 const_width=0.3 flags=0 layer=0 points=(0,0,0,0,0);(30.0,0,0,0,0.5);(30.0,20.0,0,0,0)",
        "TEXT align_point=(5.0,5.0,0) halign=4 height=2.5 insert=(5.0,5.0,0) layer=0 text=启动按钮 SB1",
        "ARC center=(0,0,0) end_angle=90.0 layer=0 radius=4.0 start_angle=0",
        "POINT layer=0 location=(1.0,2.0,0)",
        "SOLID layer=0 vtx0=(0,0,0) vtx1=(1.0,0,0) vtx2=(0,1.0,0) vtx3=(1.0,1.0,0)",
    };
    for (const char* line : expected)
        EXPECT_NE(report.find(std::string(line) + "\n"), std::string::npos) << "missing: " << line << "\n" << report;
}

} // namespace
