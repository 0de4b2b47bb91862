// The check over drawing files: ladders made with the host's API in both
// arrangements, read back from disk. A clean ladder reports nothing; the
// problems of a project come in the order of its files whatever the number
// of threads, with a missing file in its place; a designation's second
// model is reported in the later drawing.
#include "check/SchematicCheck.h"

#include "host/dbinternal.h"
#include "host/dbmain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const CheckLayers kLayers{L"电气导线", L"电气元件", L"屏面设备"};

struct Ladder {
    bool column = false;
    int strings = 3, cells = 4;
    // Damage: the first wire of this string (from 0) ends short of its symbol.
    int shortWire = -1;
    // A designation with its model on the first symbol.
    const ACHAR* designation = nullptr;
    const ACHAR* model = nullptr;
};

void attach(AcDbEntity* e, const ACHAR* app, const std::wstring& text)
{
    resbuf* rb = acutBuildList(1001, app, 1000, text.c_str(), 0);
    e->setXData(rb);
    acutRelRb(rb);
}

void schematicData(AcDbEntity* e, const Ladder& l)
{
    const ads_point id = {0.0, 0.0, 0.0};
    resbuf* rb = acutBuildList(1001, L"IDPOINT", 1011, id, 0);
    e->setXData(rb);
    acutRelRb(rb);
    attach(e, L"YLTHZCS", L"20.00&30.00&0.30&1.00&" + std::to_wstring(l.cells) + (l.column ? L"&1" : L"&0"));
}

// A ladder from the identifier point (0, 0): strings 20 apart, cells 30
// long, a symbol 7.5 long in the middle of each cell with a wire from each
// cell edge to it. Rows start at x = 0, columns at y = -10.
void writeLadder(const fs::path& path, const Ladder& l)
{
    AcDbDatabase db;
    for (const char* name : {"电气元件", "电气导线"}) {
        auto* layer = new AcDbLayerTableRecord;
        layer->setName(name);
        AcDbObjectId id;
        db.addSymbolTableRecord(id, layer);
    }
    for (const char* app : {"IDPOINT", "YLTHZCS", "XMDH", "XHGG"})
        db.registerApp(app);
    auto* block = new AcDbBlockTableRecord;
    block->setName("EQ");
    AcDbObjectId blockId;
    db.addBlockTableRecord(blockId, block);
    // The symbol's body runs from its insertion point 7.5 along the string.
    block->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), l.column ? AcGePoint3d(0, -7.5, 0)
                                                                         : AcGePoint3d(7.5, 0, 0)));
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
    // Along the string: u from the string's start; across: the string's position.
    const auto at = [&](int s, double u) {
        return l.column ? AcGePoint3d(20.0 * (s + 1), -10.0 - u, 0) : AcGePoint3d(u, -20.0 * (s + 1), 0);
    };
    for (int s = 0; s < l.strings; ++s)
        for (int c = 0; c < l.cells; ++c) {
            const double start = 30.0 * c;
            const std::pair<double, double> wires[] = {{start, start + (s == l.shortWire && c == 0 ? 9 : 11.25)},
                                                       {start + 18.75, start + 30}};
            for (auto [u0, u1] : wires) {
                auto* w = new AcDbPolyline;
                const AcGePoint3d a = at(s, u0), b = at(s, u1);
                w->addVertexAt(0, AcGePoint2d(a.x, a.y));
                w->addVertexAt(1, AcGePoint2d(b.x, b.y));
                w->setLayerName("电气导线");
                schematicData(w, l);
                ms->appendAcDbEntity(w);
            }
            auto* symbol = new AcDbBlockReference(at(s, start + 11.25), blockId);
            symbol->setLayerName("电气元件");
            schematicData(symbol, l);
            if (s == 0 && c == 0 && l.designation) {
                attach(symbol, L"XMDH", l.designation);
                attach(symbol, L"XHGG", l.model);
            }
            ms->appendAcDbEntity(symbol);
        }
    ASSERT_EQ(db.saveAs(path.wstring().c_str()), Acad::eOk);
}

class SchematicCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("ctrlsch_check_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::wstring file(const std::string& name) const { return (m_dir / name).wstring(); }

    fs::path m_dir;
};

std::vector<std::string> kinds(const CheckReport& r)
{
    std::vector<std::string> out;
    for (const CheckProblem& p : r.problems)
        out.push_back(p.kind);
    return out;
}

TEST_F(SchematicCheckTest, CleanLaddersInBothArrangementsReportNothing)
{
    for (bool column : {false, true}) {
        Ladder l;
        l.column = column;
        writeLadder(file("clean.dxf"), l);
        const CheckReport r = CheckDrawingFiles({file("clean.dxf")}, kLayers, 1);
        EXPECT_EQ(r.read, 1);
        EXPECT_TRUE(r.problems.empty()) << (column ? "column: " : "row: ")
                                        << (r.problems.empty() ? "" : wideToUtf8(r.problems[0].message));
    }
}

TEST_F(SchematicCheckTest, ShortWireIsLooseInItsStringAndCellInBothArrangements)
{
    for (bool column : {false, true}) {
        Ladder l;
        l.column = column;
        l.shortWire = 1;
        writeLadder(file("short.dxf"), l);
        const CheckReport r = CheckDrawingFiles({file("short.dxf")}, kLayers, 1);
        ASSERT_EQ(kinds(r), std::vector<std::string>{"loose-wire"}) << (column ? "column" : "row");
        EXPECT_EQ(r.problems[0].string, 2);
        EXPECT_EQ(r.problems[0].cell, 1);
        EXPECT_EQ(r.problems[0].drawing, file("short.dxf"));
    }
}

TEST_F(SchematicCheckTest, ProjectOrderIsTheFilesOrderWhateverTheThreads)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < 7; ++i) {
        if (i == 3) {
            paths.push_back(file("missing.dxf"));
            continue;
        }
        Ladder l;
        l.shortWire = i % 3;
        l.strings = 3 + i;
        l.designation = L"KM1";
        l.model = i == 5 ? L"JZ7-44" : L"CJX2-12";
        const std::string name = "P" + std::to_string(i) + ".dxf";
        writeLadder(m_dir / name, l);
        paths.push_back(file(name));
    }
    const CheckReport one = CheckDrawingFiles(paths, kLayers, 1);
    EXPECT_EQ(one.drawings, 7);
    EXPECT_EQ(one.read, 6);
    // A loose wire per drawing read, the missing one in its place, the
    // designation's second model last (designations are compared after).
    std::vector<std::pair<std::string, std::wstring>> expected;
    for (int i = 0; i < 7; ++i)
        expected.push_back({i == 3 ? "unreadable-drawing" : "loose-wire", paths[static_cast<std::size_t>(i)]});
    expected.push_back({"designation-models", paths[5]});
    std::vector<std::pair<std::string, std::wstring>> found;
    for (const CheckProblem& p : one.problems)
        found.push_back({p.kind, p.drawing});
    EXPECT_EQ(found, expected);
    EXPECT_NE(one.problems.back().message.find(paths[0]), std::wstring::npos);
    for (unsigned threads : {2u, 4u, 0u}) {
        const CheckReport many = CheckDrawingFiles(paths, kLayers, threads);
        ASSERT_EQ(many.problems.size(), one.problems.size()) << threads;
        for (std::size_t i = 0; i < one.problems.size(); ++i) {
            EXPECT_EQ(many.problems[i].kind, one.problems[i].kind);
            EXPECT_EQ(many.problems[i].drawing, one.problems[i].drawing);
            EXPECT_EQ(many.problems[i].handle, one.problems[i].handle);
            EXPECT_EQ(many.problems[i].message, one.problems[i].message);
        }
    }
}

} // namespace
