// Shared set-up of the palette tests: the default installation written
// once, a settings file per test that may point elsewhere, a fresh
// project data file, a drawing whose input queue receives the keywords,
// and helpers that click into the palette as a user would.
#pragma once

#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "install/DefaultInstallation.h"
#include "library/YlthzDialog.h"
#include "ModuleTest.h"
#include "installation.h"
#include "testutil.h"
#include "ui/afxwin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace palettetest {

namespace fs = std::filesystem;

using testutil::hostOutput;

class PaletteTest : public testutil::ModuleTest {
protected:
    static const ctrlsch::install::InstallLayout& installation() { return testutil::defaultInstallation(); }
    void SetUp() override
    {
        useSymbolFolder(installation().dwgDir);
        fs::remove(projectFile());
        ModuleTest::SetUp();
    }
    void TearDown() override
    {
        ClosePalette();
        ModuleTest::TearDown();
    }

    // A settings file like the installation's with another symbol drawing
    // folder.
    void useSymbolFolder(const fs::path& folder)
    {
        std::string text = testutil::readFile(installation().settings.string());
        const std::string from = installation().dwgDir.string();
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, from.size(), folder.string());
        const std::string path = m_dir.file("settings.json");
        testutil::writeFile(path, text);
        useSettings(path);
    }
    static fs::path projectFile() { return installation().userDir / "VmqTemporary.Qrz"; }

    // Opens the palette as the drawing entries do and shows it.
    CYlthzDialog* open()
    {
        EXPECT_EQ(g_pYlthzDlg, nullptr);
        g_pYlthzDlg = new CYlthzDialog;
        EXPECT_TRUE(g_pYlthzDlg->Create());
        g_pYlthzDlg->ShowWindow(SW_SHOW);
        ui::idle();
        return g_pYlthzDlg;
    }
    CYlthzDialog& palette() { return *g_pYlthzDlg; }

    bool event(const std::string& line) { return ui::dispatchEvent(line); }
    // What the palette has typed on the command line since the last call.
    std::string sent()
    {
        std::string& pending = acDocManager->curDocument()->pendingInput();
        return std::exchange(pending, std::string());
    }
    // A click on a slot of the shown page, by its number there; extra
    // options other than " double" press the mouse at the point the palette
    // gives for the slot.
    bool clickSlot(int local, const std::string& extra = {})
    {
        const std::string slot = "#" + std::to_string(local + 1);
        if (extra.empty() || extra == " double")
            return event("@choose palette " + slot + extra);
        CDialog::ItemClick at;
        std::wstring why;
        EXPECT_TRUE(g_pYlthzDlg->ItemPoint(utf8ToWide(slot), at, why)) << wideToUtf8(why);
        return event("@mouse palette 0 " + std::to_string(at.point.x) + " " + std::to_string(at.point.y) + extra);
    }
    std::wstring caption() const
    {
        CString text;
        g_pYlthzDlg->GetWindowText(text);
        return text.GetString();
    }
    bool enabled(int id) const { return g_pYlthzDlg->GetDlgItem(id)->IsWindowEnabled(); }
    std::wstring text(int id) const
    {
        CString t;
        g_pYlthzDlg->GetDlgItem(id)->GetWindowText(t);
        return t.GetString();
    }
    // A setting as saved in the project data file.
    std::wstring saved(const wchar_t* key) const
    {
        CInterDpData data;
        if (!data.ReadDataFromQrzFile(utf8ToWide(projectFile().string()).c_str()))
            return L"<unreadable>";
        const DpValueNode* node = data.GetSubValueFromPathW(0, key);
        return node && node->text ? node->text : L"<missing>";
    }
    void store(const wchar_t* key, const std::wstring& value) const
    {
        CInterDpData data;
        const std::wstring path = utf8ToWide(projectFile().string());
        data.ReadDataFromQrzFile(path.c_str());
        data.SetSubValueW(key, static_cast<int>(value.size()) + 1, value.c_str(), 0);
        ASSERT_TRUE(data.WriteDataToQrzFile(path.c_str()));
    }

    testutil::TempDir m_dir;
};


} // namespace palettetest
