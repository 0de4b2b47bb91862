// The module's environment for a test, the one base of the test fixtures
// that drive commands and dialogs: the dialog toolkit reset with its output
// kept, the host's command-line output kept in hostOutput(), dialog events
// from the command line, a fresh drawing, and lines fed to the command line
// as a script's. Torn down in the reverse order; a derived fixture closes
// its own dialogs first and names its settings (CTRLSCH_SETTINGS, unset at
// the end) before it calls SetUp.
#pragma once

#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "host/dbmain.h"
#include "testutil.h"
#include "ui/afxwin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <string>

namespace testutil {

// What the host printed on the command line during the current test.
inline std::string& hostOutput()
{
    static std::string out;
    return out;
}

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::setOutputSink(&uiOut);
        hostOutput().clear();
        host::setOutput([](const std::string& s) { hostOutput() += s; });
        host::setEventHandler(ui::dispatchEvent);
        acDocManager->newDocument();
        db = acdbHostApplicationServices()->workingDatabase();
    }
    void TearDown() override
    {
        host::setLineSource(nullptr);
        host::setEventHandler(nullptr);
        acDocManager->closeAll();
        host::setOutput(nullptr);
        ui::reset();
        ::unsetenv("CTRLSCH_SETTINGS");
    }
    static void useSettings(const std::string& path) { ::setenv("CTRLSCH_SETTINGS", path.c_str(), 1); }
    // The command line reads these lines next.
    void feed(std::deque<std::string> lines)
    {
        m_lines = std::make_unique<ScriptLines>(std::move(lines));
        host::setLineSource(m_lines.get());
    }

    AcDbDatabase* db = nullptr;
    ui::StringOutputSink uiOut;
    std::unique_ptr<ScriptLines> m_lines;
};

} // namespace testutil
