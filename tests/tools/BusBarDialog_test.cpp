// The bus-bar type dialog driven as the user drives it: the current choice
// is framed in yellow, a click moves the frame, OK gives the type number,
// any other end nothing, and the choice outlives the dialog. The pictures
// are checked in the controls' own pixels while the dialog is open.
#include "tools/BusBarDialog.h"

#include "components/NorvexGloFunc.h"
#include "components/slide/SlideLibrary.h"
#include "host/acapdoc.h"
#include "install/DefaultInstallation.h"
#include "library/PaletteResources.h"
#include "DialogScript.h"
#include "installation.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

using toolstest::Script;

class BusBarDialogTest : public ::testing::Test {
protected:
    static const ctrlsch::install::InstallLayout& installation() { return testutil::defaultInstallation(); }
    void SetUp() override
    {
        ui::reset();
        ui::setEventSource(&script);
        ui::setOutputSink(&out);
        ::setenv("CTRLSCH_SETTINGS", installation().settings.c_str(), 1);
        // As the module starts.
        SetBusBarCurrentChoice(0);
    }
    void TearDown() override
    {
        ui::reset();
        ::unsetenv("CTRLSCH_SETTINGS");
    }

    bool printed(const std::string& text) const { return out.text().find(text) != std::string::npos; }

    // The picture of a type (1 to 6) in the open dialog.
    static CWnd* picture(int type)
    {
        CWnd* dlg = CWnd::GetActiveWindow();
        return dlg ? dlg->GetDlgItem(IDC_MX_TYPE1 + type - 1) : nullptr;
    }
    // The two-pixel ring just inside the picture's edge: whether all of it
    // (the corners and the middle of each side) is yellow, and whether any
    // of it is.
    static std::vector<COLORREF> ring(int type)
    {
        CWnd* w = picture(type);
        if (!w)
            return {};
        CRect r;
        w->GetClientRect(&r);
        CClientDC dc(w);
        std::vector<COLORREF> pixels;
        for (int d = 1; d <= 2; ++d) {
            const int right = r.right - 1 - d, bottom = r.bottom - 1 - d;
            for (const CPoint p : {CPoint(d, d), CPoint(right, d), CPoint(d, bottom), CPoint(right, bottom),
                                   CPoint(r.Width() / 2, d), CPoint(r.Width() / 2, bottom), CPoint(d, r.Height() / 2),
                                   CPoint(right, r.Height() / 2)})
                pixels.push_back(dc.GetPixel(p.x, p.y));
        }
        return pixels;
    }
    static bool framed(int type)
    {
        const auto pixels = ring(type);
        return !pixels.empty() && std::all_of(pixels.begin(), pixels.end(), [](COLORREF c) { return c == kYellow; });
    }
    static bool unframed(int type)
    {
        const auto pixels = ring(type);
        return !pixels.empty() && std::none_of(pixels.begin(), pixels.end(), [](COLORREF c) { return c == kYellow; });
    }
    // Exactly this type is framed.
    static void expectOnlyFramed(int type)
    {
        for (int t = 1; t <= 6; ++t) {
            if (t == type)
                EXPECT_TRUE(framed(t)) << "type " << t << " should be framed";
            else
                EXPECT_TRUE(unframed(t)) << "type " << t << " should not be framed";
        }
    }
    // Pixels of the picture's inside (within the frame) that are not black.
    static int ink(int type)
    {
        CWnd* w = picture(type);
        if (!w)
            return -1;
        CRect r;
        w->GetClientRect(&r);
        CClientDC dc(w);
        int n = 0;
        for (int y = 3; y < r.bottom - 3; ++y)
            for (int x = 3; x < r.right - 3; ++x)
                n += dc.GetPixel(x, y) != kBlack;
        return n;
    }
    static std::string click(int type) { return "@click busbar type" + std::to_string(type); }

    testutil::TempDir m_dir;
    Script script;
    ui::StringOutputSink out;
};


TEST_F(BusBarDialogTest, OkGivesTheChosenTypeAndTheNextCallFramesIt)
{
    ASSERT_EQ(BusBarCurrentChoice(), 0);
    script.then("@list busbar")
        .check([] {
            // Every picture shows its slide; type 1 is framed.
            for (int t = 1; t <= 6; ++t)
                EXPECT_GT(ink(t), 0) << "type " << t;
            expectOnlyFramed(1);
        })
        .then(click(5))
        .check([] { expectOnlyFramed(5); })
        .then("@click busbar ok");
    EXPECT_EQ(RunBusBarDialog(), 5);
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(printed("dialog 22763 busbar \"母线类型选择\" modal shown active")) << out.text();
    EXPECT_EQ(BusBarCurrentChoice(), 4);

    // The wait cursor and the module's resources are in force for the whole
    // call, and only then.
    EXPECT_GT(script.asked, 0);
    EXPECT_EQ(script.waiting, script.asked);
    EXPECT_EQ(script.withResources, script.asked);
    EXPECT_EQ(ui::waitCursorCount(), 0);
    EXPECT_NE(acDocManager->currentResourceHandle(), PaletteResourceHandle());

    // The next call starts with type 5 framed and gives it again on OK.
    script.check([] { expectOnlyFramed(5); }).then("@key busbar enter");
    EXPECT_EQ(RunBusBarDialog(), 5);
    EXPECT_TRUE(script.finished());

    // The LISP handler ends normally with a choice, too.
    script.then(click(6)).then("@click busbar ok");
    EXPECT_EQ(mxdlg(), RTNORM);
    EXPECT_EQ(BusBarCurrentChoice(), 5);
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(BusBarDialogTest, EveryOtherEndGivesNothingButKeepsTheClickedChoice)
{
    script.then(click(3)).check([] { expectOnlyFramed(3); }).then("@click busbar cancel");
    EXPECT_EQ(RunBusBarDialog(), 0);
    EXPECT_EQ(BusBarCurrentChoice(), 2);

    // The next call shows type 3; Esc, the close box and the end of input
    // give nothing either.
    script.check([] { expectOnlyFramed(3); }).then(click(4)).then("@key busbar esc");
    EXPECT_EQ(RunBusBarDialog(), 0);
    EXPECT_EQ(BusBarCurrentChoice(), 3);
    script.then(click(2)).then("@close busbar");
    EXPECT_EQ(RunBusBarDialog(), 0);
    EXPECT_EQ(BusBarCurrentChoice(), 1);
    script.check([] { expectOnlyFramed(2); });
    EXPECT_EQ(RunBusBarDialog(), 0);
    EXPECT_TRUE(script.finished());
    script.then("@click busbar cancel");
    EXPECT_EQ(mxdlg(), RTNORM);
    EXPECT_EQ(BusBarCurrentChoice(), 1);
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(BusBarDialogTest, ClickingTheFramedPictureAgainKeepsItFramed)
{
    script.then(click(1))
        .check([] { expectOnlyFramed(1); })
        .then(click(4))
        .then(click(4))
        .check([] { expectOnlyFramed(4); })
        // A double click chooses as a click does.
        .then("@dblclick busbar type6")
        .check([] { expectOnlyFramed(6); })
        .then("@click busbar ok");
    EXPECT_EQ(RunBusBarDialog(), 6);
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(BusBarDialogTest, HelpNamesTheInstallationsHelpFileAndContext)
{
    script.then("@click busbar help").then("@click busbar cancel");
    EXPECT_EQ(RunBusBarDialog(), 0);
    const std::string expected = "help \"" + installation().dir.string() + "\\Hlp\\Vmq70.Hlp\" context 510\n";
    EXPECT_TRUE(printed(expected)) << out.text();
}

TEST_F(BusBarDialogTest, UnreadableLibraryIsReportedAndGivesNothing)
{
    // An installation without its image folder, then one whose library is
    // damaged.
    const std::string settings = m_dir.file("settings.json");
    testutil::writeFile(settings, "{\"VMQMain\": {\"VmqSys\": \"" + m_dir.path() + "\"}}");
    ::setenv("CTRLSCH_SETTINGS", settings.c_str(), 1);
    SetBusBarCurrentChoice(3);
    script.then("@msgbox ok").then("@click busbar ok");
    EXPECT_EQ(RunBusBarDialog(), 0);
    EXPECT_TRUE(printed("MessageBox \"ctrlsch\": 文件G-mx.slb读失败！")) << out.text();
    EXPECT_TRUE(printed("MessageBox answer: OK")) << out.text();
    // The dialog ended unshown: the OK click was never read, and the choice
    // is as it was.
    EXPECT_FALSE(script.finished());
    EXPECT_EQ(BusBarCurrentChoice(), 3);

    out.clear();
    fs::create_directories(fs::path(m_dir.path()) / "Image");
    testutil::writeFile(m_dir.file("Image/G-mx.slb"), "not a slide library");
    EXPECT_EQ(mxdlg(), RTNORM);
    EXPECT_TRUE(printed("文件G-mx.slb读失败！")) << out.text();
    EXPECT_EQ(ui::waitCursorCount(), 0);
    EXPECT_NE(acDocManager->currentResourceHandle(), PaletteResourceHandle());
}

// A folder in the library's place made the dialog abort; it is reported
// as any library that cannot be read, and the next call, with the library
// back, works.
TEST_F(BusBarDialogTest, ALibraryThatIsAFolderIsReportedAndTheNextCallWorks)
{
    const fs::path library = fs::path(m_dir.path()) / "Image" / "G-mx.slb";
    fs::create_directories(library);
    const std::string settings = m_dir.file("settings.json");
    testutil::writeFile(settings, "{\"VMQMain\": {\"VmqSys\": \"" + m_dir.path() + "\"}}");
    ::setenv("CTRLSCH_SETTINGS", settings.c_str(), 1);
    SetBusBarCurrentChoice(2);
    script.then("@msgbox ok");
    EXPECT_EQ(RunBusBarDialog(), 0);
    EXPECT_TRUE(printed("MessageBox \"ctrlsch\": 文件G-mx.slb读失败！")) << out.text();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(BusBarCurrentChoice(), 2);

    fs::remove(library);
    fs::copy_file(installation().busBarLibrary, library);
    script.then(click(4)).then("@click busbar ok");
    EXPECT_EQ(RunBusBarDialog(), 4);
    EXPECT_TRUE(script.finished());
}

TEST_F(BusBarDialogTest, ALibraryWithFewerSlidesLeavesTheOtherPicturesBlack)
{
    // The first two slides of the installation's library.
    auto full = ctrlsch::slide::SlideLibrary::readFile(installation().busBarLibrary);
    ASSERT_TRUE(full.ok()) << full.error();
    ctrlsch::slide::SlideLibraryWriter two;
    for (std::size_t i = 0; i < 2; ++i) {
        const auto bytes = full.value().slideBytes(i);
        ASSERT_TRUE(two.add(full.value().entries()[i].name, {bytes.begin(), bytes.end()}).ok());
    }
    fs::create_directories(fs::path(m_dir.path()) / "Image");
    ASSERT_TRUE(two.writeFile(fs::path(m_dir.path()) / "Image" / "G-mx.slb").ok());
    const std::string settings = m_dir.file("settings.json");
    testutil::writeFile(settings, "{\"VMQMain\": {\"VmqSys\": \"" + m_dir.path() + "\"}}");
    ::setenv("CTRLSCH_SETTINGS", settings.c_str(), 1);

    script
        .check([] {
            for (int t = 1; t <= 6; ++t)
                EXPECT_EQ(ink(t) > 0, t <= 2) << "type " << t;
            expectOnlyFramed(1);
        })
        // An empty picture can still be chosen.
        .then(click(4))
        .check([] {
            expectOnlyFramed(4);
            EXPECT_EQ(ink(4), 0);
        })
        .then("@click busbar ok");
    EXPECT_EQ(RunBusBarDialog(), 4);
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(printed("读失败")) << out.text();
}

TEST_F(BusBarDialogTest, PicturesOfTheDialog)
{
    const char* keep = std::getenv("PICTURE_DIR");
    const std::string dir = keep ? keep : m_dir.path();
    script.then("@snapshot busbar \"" + dir + "/busbar-type1.png\"")
        .then(click(5))
        .then("@snapshot busbar \"" + dir + "/busbar-type5.png\"")
        .then("@click busbar ok");
    EXPECT_EQ(RunBusBarDialog(), 5);
    for (const char* name : {"busbar-type1.png", "busbar-type5.png"})
        EXPECT_GT(fs::file_size(fs::path(dir) / name), 1000u) << name;
    EXPECT_FALSE(printed("** ")) << out.text();
}

} // namespace
