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
#include "ModuleTest.h"
#include "installation.h"
#include "testutil.h"
#include "ui/afxwin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace paneltest {

inline std::string& output() { return testutil::hostOutput(); }

class PanelTest : public testutil::ModuleTest {
protected:
    static const ctrlsch::install::InstallLayout& installation() { return testutil::defaultInstallation(); }
    void SetUp() override
    {
        useSettings(installation().settings.string());
        std::filesystem::remove(installation().userDir / "VmqTemporary.Qrz");
        ModuleTest::SetUp();
    }
    void TearDown() override
    {
        DeletePanelDialog();
        ModuleTest::TearDown();
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
};


} // namespace paneltest
