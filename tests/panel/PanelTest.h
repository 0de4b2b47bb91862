// Shared set-up of the panel tests: the default installation written once,
// a fresh project file, a drawing, the command line's output and input
// with the dialog events.
#pragma once

#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "host/dbmain.h"
#include "install/DefaultInstallation.h"
#include "panel/PmtsbcsDlg.h"
#include "installation.h"
#include "testutil.h"
#include "ui/afxwin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace paneltest {

inline std::string& output()
{
    static std::string out;
    return out;
}

class PanelTest : public ::testing::Test {
protected:
    static const ctrlsch::install::InstallLayout& installation() { return testutil::defaultInstallation(); }
    void SetUp() override
    {
        ::setenv("CTRLSCH_SETTINGS", installation().settings.c_str(), 1);
        std::filesystem::remove(installation().userDir / "VmqTemporary.Qrz");
        ui::reset();
        ui::setOutputSink(&uiOut);
        output().clear();
        host::setOutput([](const std::string& s) { output() += s; });
        host::setEventHandler(ui::dispatchEvent);
        acDocManager->newDocument();
        db = acdbHostApplicationServices()->workingDatabase();
    }
    void TearDown() override
    {
        DeletePanelDialog();
        host::setLineSource(nullptr);
        host::setEventHandler(nullptr);
        acDocManager->closeAll();
        host::setOutput(nullptr);
        ui::reset();
        ::unsetenv("CTRLSCH_SETTINGS");
    }
    void feed(std::deque<std::string> lines)
    {
        m_lines = std::make_unique<testutil::ScriptLines>(std::move(lines));
        host::setLineSource(m_lines.get());
    }
    CPmtsbcsDlg& open()
    {
        g_pPmtsbcsDlg = new CPmtsbcsDlg;
        EXPECT_TRUE(g_pPmtsbcsDlg->Create(AfxGetMainWnd()));
        g_pPmtsbcsDlg->ShowWindow(SW_SHOW);
        ui::idle();
        return *g_pPmtsbcsDlg;
    }
    // The event of a click on a slot of the dialog's shown page.
    static std::string clickSlot(int local) { return "@choose panel #" + std::to_string(local + 1); }
    static std::wstring text(const CPmtsbcsDlg& dlg, int id)
    {
        CString t;
        dlg.GetDlgItem(id)->GetWindowText(t);
        return t.GetString();
    }

    AcDbDatabase* db = nullptr;
    ui::StringOutputSink uiOut;
    std::unique_ptr<testutil::ScriptLines> m_lines;
};


} // namespace paneltest
