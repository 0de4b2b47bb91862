// The switch-table dialog driven as the user drives it: the installation's
// table drawings listed sorted by their drawing names, the choice buttons
// acting only with a selection, the preview of the selected drawing 20
// pixels below the top of a black box, and the result list (MODE "FILE").
#include "tools/SwitchTableDialog.h"

#include "components/NorvexGloFunc.h"
#include "host/acapdoc.h"
#include "host/lisp.h"
#include "install/DefaultInstallation.h"
#include "library/PaletteResources.h"
#include "DialogScript.h"
#include "installation.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr COLORREF kBlack = RGB(0, 0, 0);

using toolstest::Script;

class SwitchTableTest : public ::testing::Test {
protected:
    static const ctrlsch::install::InstallLayout& installation() { return testutil::defaultInstallation(); }
    void SetUp() override
    {
        ui::reset();
        ui::setEventSource(&script);
        ui::setOutputSink(&out);
        // An installation of our own whose table folder each test fills.
        const std::string settings = m_dir.file("settings.json");
        testutil::writeFile(settings, "{\"VMQMain\": {\"VmqSys\": \"" + m_dir.path() + "\"}}");
        ::setenv("CTRLSCH_SETTINGS", settings.c_str(), 1);
    }
    void TearDown() override
    {
        ui::reset();
        ::unsetenv("CTRLSCH_SETTINGS");
    }

    fs::path tables() const { return fs::path(m_dir.path()) / "Ctklib"; }
    // Copies a table drawing of the default installation into the folder
    // under a name.
    void addTable(const std::string& from, const std::string& as) const
    {
        fs::create_directories(tables());
        fs::copy_file(installation().switchTables.front().parent_path() / from, tables() / as);
    }
    bool printed(const std::string& text) const { return out.text().find(text) != std::string::npos; }

    static CWnd* dialog() { return CWnd::GetActiveWindow(); }
    static CListBox* list() { return static_cast<CListBox*>(dialog()->GetDlgItem(IDC_ZHKGB_LIST)); }
    static std::vector<std::wstring> items()
    {
        std::vector<std::wstring> names;
        for (int i = 0; i < list()->GetCount(); ++i) {
            CString text;
            list()->GetText(i, text);
            names.push_back(text.GetString());
        }
        return names;
    }
    static bool enabled(int id) { return dialog()->GetDlgItem(id)->IsWindowEnabled(); }
    // The first row of the preview with a pixel that is not black; -1 when
    // it is all black.
    static int firstInkRow()
    {
        CWnd* preview = dialog()->GetDlgItem(IDC_ZHKGB_PREVIEW);
        CRect r;
        preview->GetClientRect(&r);
        CClientDC dc(preview);
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x)
                if (dc.GetPixel(x, y) != kBlack)
                    return y;
        return -1;
    }
    // Pixels of the preview's picture area that differ from the drawing's
    // own preview made to that area's size, and how many were compared.
    static std::pair<int, int> differencesFromThePicture(const std::wstring& drawing)
    {
        CWnd* preview = dialog()->GetDlgItem(IDC_ZHKGB_PREVIEW);
        CRect r;
        preview->GetClientRect(&r);
        const CRect at = CZhkgbShow::PictureRect(r);
        std::unique_ptr<CBitmap> picture(GetBitmapFromDwgFile(drawing.c_str(), at.Width(), at.Height()));
        if (!picture)
            return {-1, 0};
        CClientDC dc(preview);
        const CSize size = picture->GetSize();
        EXPECT_EQ(size, at.Size());
        int differ = 0, compared = 0;
        for (int y = 0; y < size.cy; ++y)
            for (int x = 0; x < size.cx; ++x) {
                ++compared;
                differ += dc.GetPixel(at.left + x, at.top + y) != picture->GetPixel(x, y);
            }
        return {differ, compared};
    }
    // The preview's pixels: true where not black.
    struct Ink {
        CRect client;
        std::vector<std::vector<bool>> dots;
        bool at(int x, int y) const { return client.PtInRect(CPoint(x, y)) && dots[y][x]; }
        int count(const CRect& r) const
        {
            int n = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    n += at(x, y);
            return n;
        }
        // The bounds of all ink.
        CRect bounds() const
        {
            CRect b(client.right, client.bottom, -1, -1);
            for (int y = 0; y < client.bottom; ++y)
                for (int x = 0; x < client.right; ++x)
                    if (at(x, y))
                        b.SetRect(std::min<int>(b.left, x), std::min<int>(b.top, y), std::max<int>(b.right, x + 1),
                                  std::max<int>(b.bottom, y + 1));
            return b;
        }
    };
    static Ink previewInk()
    {
        CWnd* preview = dialog()->GetDlgItem(IDC_ZHKGB_PREVIEW);
        Ink ink;
        preview->GetClientRect(&ink.client);
        CClientDC dc(preview);
        for (int y = 0; y < ink.client.bottom; ++y) {
            ink.dots.emplace_back();
            for (int x = 0; x < ink.client.right; ++x)
                ink.dots.back().push_back(dc.GetPixel(x, y) != kBlack);
        }
        return ink;
    }
    std::wstring installed(const std::wstring& name) const
    {
        return utf8ToWide(m_dir.path()) + L"\\Ctklib\\" + name;
    }

    testutil::TempDir m_dir;
    Script script;
    ui::StringOutputSink out;
};


TEST_F(SwitchTableTest, InsertGivesTheSelectedTableSortedFirst)
{
    addTable("ZHKGB2.DXF", "ZHKGB2.DXF");
    addTable("ZHKGB1.DXF", "ZHKGB1.DXF");
    script.then("@list switchtable")
        .check([] {
            EXPECT_EQ(items(), (std::vector<std::wstring>{L"ZHKGB1.DWG", L"ZHKGB2.DWG"}));
            EXPECT_EQ(list()->GetCurSel(), -1);
            EXPECT_FALSE(enabled(IDC_ZHKGB_OPEN));
            EXPECT_FALSE(enabled(IDC_ZHKGB_INSERT));
            EXPECT_EQ(firstInkRow(), -1) << "the preview is black before a selection";
        })
        .then("@select switchtable files \"zhkgb1.dwg\"")
        .check([this] {
            EXPECT_TRUE(enabled(IDC_ZHKGB_OPEN));
            EXPECT_TRUE(enabled(IDC_ZHKGB_INSERT));
            // The drawing's picture starts 20 pixels down and is cut at the
            // bottom.
            const int row = firstInkRow();
            EXPECT_GE(row, CZhkgbShow::kTopOffset);
            const auto [differ, compared] = differencesFromThePicture(installed(L"ZHKGB1.DWG"));
            EXPECT_GT(compared, 0);
            EXPECT_EQ(differ, 0);
        })
        .then("@click switchtable insert");
    const auto choice = RunSwitchTableDialog();
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->mode, kZhkgbInsert);
    EXPECT_EQ(choice->file, L"ZHKGB1.DWG");
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(printed("dialog 22770 switchtable \"转换开关表调用\" modal shown active")) << out.text();
    EXPECT_FALSE(printed("** ")) << out.text();

    // The wait cursor and the module's resources are in force for the whole
    // call, and only then.
    EXPECT_GT(script.asked, 0);
    EXPECT_EQ(script.waiting, script.asked);
    EXPECT_EQ(script.withResources, script.asked);
    EXPECT_EQ(ui::waitCursorCount(), 0);
    EXPECT_NE(acDocManager->currentResourceHandle(), PaletteResourceHandle());

    // What the LISP caller gets: a short and a string.
    resbuf* result = BuildSwitchTableResult(*choice);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->restype, RTSHORT);
    ASSERT_NE(result->rbnext, nullptr);
    EXPECT_EQ(result->rbnext->restype, RTSTR);
    EXPECT_EQ(result->rbnext->rbnext, nullptr);
    EXPECT_EQ(lisp::print(lisp::listFromResbuf(result)), "(2 \"ZHKGB1.DWG\")");
    acutRelRb(result);
}

TEST_F(SwitchTableTest, OpenGivesModeOneAndOtherSelectionsRepaintThePreview)
{
    addTable("ZHKGB1.DXF", "ZHKGB1.DXF");
    addTable("ZHKGB3.DXF", "ZHKGB3.DXF");
    script.then("@select switchtable files 0")
        .then("@select switchtable files 1")
        .check([this] {
            EXPECT_EQ(differencesFromThePicture(installed(L"ZHKGB3.DWG")).first, 0);
            EXPECT_GT(differencesFromThePicture(installed(L"ZHKGB1.DWG")).first, 0);
        })
        .then("@click switchtable open");
    const auto choice = RunSwitchTableDialog();
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->mode, kZhkgbOpen);
    EXPECT_EQ(choice->file, L"ZHKGB3.DWG");
    resbuf* result = BuildSwitchTableResult(*choice);
    EXPECT_EQ(lisp::print(lisp::listFromResbuf(result)), "(1 \"ZHKGB3.DWG\")");
    acutRelRb(result);

    // The LISP handler ends normally with a choice.
    script.then("@select switchtable files 0").then("@click switchtable insert");
    EXPECT_EQ(zhkgbdlg(), RTNORM);
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(SwitchTableTest, WithoutASelectionOnlyExitAndHelpAct)
{
    addTable("ZHKGB1.DXF", "ZHKGB1.DXF");
    script.then("@click switchtable open")
        .then("@click switchtable insert")
        .then("@click switchtable help")
        .then("@click switchtable cancel");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());
    EXPECT_TRUE(printed("** @click switchtable open: button open is disabled")) << out.text();
    EXPECT_TRUE(printed("** @click switchtable insert: button insert is disabled")) << out.text();
    const std::string help = "help \"" + m_dir.path() + "\\Hlp\\Vmq70.Hlp\" context 538\n";
    EXPECT_TRUE(printed(help)) << out.text();

    // Esc, the close box and the end of input give nothing either, also
    // with a selection.
    for (const char* end : {"@key switchtable esc", "@close switchtable", ""}) {
        script.then("@select switchtable files 0");
        if (*end)
            script.then(end);
        EXPECT_FALSE(RunSwitchTableDialog().has_value()) << end;
    }
    script.then("@click switchtable cancel");
    EXPECT_EQ(zhkgbdlg(), RTNORM);
    EXPECT_TRUE(script.finished());
}

TEST_F(SwitchTableTest, EnterWithoutAChosenTableGivesNilAsExitDoes)
{
    // Enter presses the dialog's default button: with nothing selected,
    // with an empty list and with a selection but neither "打开" nor
    // "插入" pressed, no table is chosen.
    addTable("ZHKGB1.DXF", "ZHKGB1.DXF");
    script.then("@key switchtable enter");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());
    script.then("@select switchtable files 0").then("@key switchtable enter");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());
    fs::remove_all(tables());
    script.then("@key switchtable enter");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());
    // The dialog ended at each Enter.
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(SwitchTableTest, MissingOrEmptyTableFolderGivesAnEmptyList)
{
    const auto emptyAndDisabled = [] {
        EXPECT_EQ(list()->GetCount(), 0);
        EXPECT_FALSE(enabled(IDC_ZHKGB_OPEN));
        EXPECT_FALSE(enabled(IDC_ZHKGB_INSERT));
        EXPECT_EQ(firstInkRow(), -1);
    };
    script.check(emptyAndDisabled).then("@click switchtable cancel");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());

    // Other drawings and other files are no tables.
    fs::create_directories(tables());
    addTable("ZHKGB1.DXF", "OTHER.DXF");
    testutil::writeFile((tables() / "ZHKGB9.TXT").string(), "text");
    fs::create_directories(tables() / "ZHKGB8.DWG");
    script.check(emptyAndDisabled).then("@select switchtable files 0").then("@click switchtable cancel");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());
    EXPECT_TRUE(printed("** @select switchtable files 0")) << out.text();
}

TEST_F(SwitchTableTest, TablesAreFoundWithoutRegardToCaseAndListedOnce)
{
    addTable("ZHKGB2.DXF", "ZHKGB2.DXF");
    addTable("ZHKGB1.DXF", "zhkgb10.dxf");
    addTable("ZHKGB3.DXF", "ZHKGB3.DXF");
    // A drawing file of that name beside its DXF counts once.
    testutil::writeFile((tables() / "ZHKGB3.DWG").string(), "drawing");
    testutil::writeFile((tables() / "ZHKGB.dwg").string(), "drawing");
    testutil::writeFile((tables() / "XZHKGB4.DXF").string(), "drawing");
    const std::wstring pattern = utf8ToWide(m_dir.path()) + L"\\CTKLIB\\ZHKGB*.DWG";
    EXPECT_EQ(FindSwitchTables(pattern),
              (std::vector<std::wstring>{L"ZHKGB.dwg", L"zhkgb10.dwg", L"ZHKGB2.DWG", L"ZHKGB3.DWG"}));
    // Other patterns match as written.
    EXPECT_EQ(FindSwitchTables(utf8ToWide(tables().string()) + L"/zhkgb?.dxf"),
              (std::vector<std::wstring>{L"ZHKGB2.DXF", L"ZHKGB3.DXF"}));
    EXPECT_TRUE(FindSwitchTables(utf8ToWide(m_dir.path()) + L"\\Missing\\ZHKGB*.DWG").empty());

    // The dialog shows them so, and the host reads the lower-case one for
    // its drawing name.
    script.then("@select switchtable files \"zhkgb10.dwg\"")
        .check([this] {
            EXPECT_EQ(items().size(), 4u);
            EXPECT_GE(firstInkRow(), CZhkgbShow::kTopOffset);
            EXPECT_EQ(differencesFromThePicture(installed(L"zhkgb10.dwg")).first, 0);
        })
        .then("@click switchtable open");
    const auto choice = RunSwitchTableDialog();
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->file, L"zhkgb10.dwg");
}

// The preview shows the whole table, its border inside the black box, and
// its texts as characters: the contact numbers and crosses of the rows, the
// position names over them.
TEST_F(SwitchTableTest, PreviewShowsTheWholeTableWithItsTexts)
{
    addTable("ZHKGB2.DXF", "ZHKGB2.DXF");
    script.then("@select switchtable files 0")
        .check([] {
            const Ink ink = previewInk();
            const CRect table = ink.bounds();
            ASSERT_FALSE(table.IsRectEmpty());
            const CRect room = CZhkgbShow::PictureRect(ink.client);
            EXPECT_TRUE(room.PtInRect(table.TopLeft()));
            EXPECT_TRUE(room.PtInRect(CPoint(table.right - 1, table.bottom - 1)));
            // Both sides of the border run the table's height: its last
            // column is there, not cut off by the box.
            int left = 0, right = 0;
            for (int y = table.top; y < table.bottom; ++y) {
                left += ink.at(table.left, y);
                right += ink.at(table.right - 1, y);
            }
            EXPECT_EQ(right, table.Height());
            EXPECT_EQ(left, table.Height());
            EXPECT_LT(table.right, ink.client.right - 1) << "black margin at the right";
            // The table is 100 wide and 45 high (5 rows of 9; the first
            // column 28 wide, three positions of 24).
            const double sx = table.Width() / 100.0, sy = table.Height() / 45.0;
            auto cell = [&](double x0, double y0, double x1, double y1) {
                return CRect(table.left + static_cast<int>(x0 * sx) + 2, table.top + static_cast<int>(y0 * sy) + 2,
                             table.left + static_cast<int>(x1 * sx) - 1, table.top + static_cast<int>(y1 * sy) - 1);
            };
            // Contact 1-2 is closed at "手动", 3-4 at "自动", 5-6 at "停":
            // a cross in those cells, nothing in the others of the row.
            const int closedAt[] = {0, 2, 1};
            for (int row = 0; row < 3; ++row)
                for (int pos = 0; pos < 3; ++pos) {
                    const CRect c = cell(28 + 24 * pos, 18 + 9 * row, 52 + 24 * pos, 27 + 9 * row);
                    const int n = ink.count(c);
                    if (pos != closedAt[row]) {
                        EXPECT_EQ(n, 0) << row << " " << pos;
                        continue;
                    }
                    // A cross, not a box: ink at its middle, none at the
                    // middles of its bounds' edges.
                    CRect mark(c.right, c.bottom, c.left, c.top);
                    for (int y = c.top; y < c.bottom; ++y)
                        for (int x = c.left; x < c.right; ++x)
                            if (ink.at(x, y))
                                mark.SetRect(std::min<int>(mark.left, x), std::min<int>(mark.top, y),
                                             std::max<int>(mark.right, x + 1), std::max<int>(mark.bottom, y + 1));
                    ASSERT_GE(mark.Width(), 4) << row;
                    ASSERT_GE(mark.Height(), 4) << row;
                    const CPoint mid = mark.CenterPoint();
                    EXPECT_GT(ink.count(CRect(mid.x - 1, mid.y - 1, mid.x + 1, mid.y + 1)), 0) << row;
                    EXPECT_FALSE(ink.at(mid.x, mark.top)) << row;
                    EXPECT_FALSE(ink.at(mid.x, mark.bottom - 1)) << row;
                    EXPECT_FALSE(ink.at(mark.left, mid.y)) << row;
                    EXPECT_FALSE(ink.at(mark.right - 1, mid.y)) << row;
                }
            // The texts of the first column and the position names are
            // solid strokes: many dots, each cell's text shaped differently.
            std::vector<int> texts;
            for (int row = 0; row < 3; ++row)
                texts.push_back(ink.count(cell(0, 18 + 9 * row, 28, 27 + 9 * row)));
            for (int pos = 0; pos < 3; ++pos)
                texts.push_back(ink.count(cell(28 + 24 * pos, 9, 52 + 24 * pos, 18)));
            for (int n : texts)
                EXPECT_GT(n, 8);
            EXPECT_GT(texts[3], texts[4]) << "手动 has more strokes than 停";
        })
        .then("@click switchtable cancel");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());
    EXPECT_TRUE(script.finished());
}

TEST_F(SwitchTableTest, PicturesOfTheDialog)
{
    for (const auto& table : installation().switchTables)
        addTable(table.filename().string(), table.filename().string());
    const char* keep = std::getenv("PICTURE_DIR");
    const std::string dir = keep ? keep : m_dir.path();
    script.then("@snapshot switchtable \"" + dir + "/switchtable-empty.png\"")
        .then("@select switchtable files \"ZHKGB2.DWG\"")
        .then("@snapshot switchtable \"" + dir + "/switchtable-preview.png\"")
        .then("@click switchtable cancel");
    EXPECT_FALSE(RunSwitchTableDialog().has_value());
    for (const char* name : {"switchtable-empty.png", "switchtable-preview.png"})
        EXPECT_GT(fs::file_size(fs::path(dir) / name), 1000u) << name;
    EXPECT_FALSE(printed("** ")) << out.text();
}

} // namespace
