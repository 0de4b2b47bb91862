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
    // Pixels of the preview from 20 pixels down that differ from the
    // drawing's own preview at the same place of the picture, and how many
    // were compared.
    static std::pair<int, int> differencesFromThePicture(const std::wstring& drawing)
    {
        std::unique_ptr<CBitmap> picture(GetBitmapFromDwgFile(drawing.c_str()));
        if (!picture)
            return {-1, 0};
        CWnd* preview = dialog()->GetDlgItem(IDC_ZHKGB_PREVIEW);
        CRect r;
        preview->GetClientRect(&r);
        CClientDC dc(preview);
        const CSize size = picture->GetSize();
        int differ = 0, compared = 0;
        for (int y = CZhkgbShow::kTopOffset; y < r.bottom && y - CZhkgbShow::kTopOffset < size.cy; ++y)
            for (int x = 0; x < r.right && x < size.cx; ++x) {
                ++compared;
                differ += dc.GetPixel(x, y) != picture->GetPixel(x, y - CZhkgbShow::kTopOffset);
            }
        return {differ, compared};
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
    EXPECT_TRUE(printed("22773 open button \"打开\"")) << out.text();
    EXPECT_TRUE(printed("22774 insert button \"插入\"")) << out.text();
    EXPECT_TRUE(printed("2 cancel button \"退出\"")) << out.text();
    EXPECT_TRUE(printed("21675 help button \"帮助\"")) << out.text();
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
