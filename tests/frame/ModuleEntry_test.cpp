// The module frame in the host: its functions defined per drawing, the
// command group and teardown.
#include "frame/ModuleEntry.h"
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/commandline.h"
#include "ui/afxext.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class ModuleFrameTest : public ::testing::Test {
protected:
    void SetUp() override { host::setOutput([](const std::string&) {}); }
    void TearDown() override
    {
        acrxUnloadAll();
        acDocManager->closeAll();
        host::setOutput(nullptr);
    }
};

TEST_F(ModuleFrameTest, ThirteenFunctionsInEveryDrawingUndefinedPerDrawing)
{
    AcApDocument* a = acDocManager->newDocument();
    std::string error;
    ASSERT_TRUE(acrxLoadApp(CTRLSCH_MODULE_PATH, error)) << error;
    AcApDocument* b = acDocManager->newDocument();
    for (AcApDocument* d : {a, b}) {
        ASSERT_EQ(d->lispFunctions().size(), 13u);
        int code = 1;
        for (const char* name : {"ylthz", "yltbj", "mxdlg", "zhkgbdlg", "showdzjddlg", "hidedzjddlg", "getdzjddlg",
                                 "gnkhz", "inspmtsb", "esbbtj", "showlinetype", "esbbtjgt", "ctrlschk"})
            EXPECT_EQ(d->lispFunctions().at(name).code, code++) << name;
    }
    // The unload message of one drawing undefines them there only.
    acDocManager->setCurDocument(b);
    acrxSendToApps(AcRx::kUnloadDwgMsg);
    EXPECT_TRUE(b->lispFunctions().empty());
    EXPECT_EQ(a->lispFunctions().size(), 13u);
    // The command group with "sample" lives from load to unload.
    EXPECT_TRUE(acedRegCmds()->hasGroup(L"NorvexCtrlSchDiagram10"));
    EXPECT_NE(acedRegCmds()->lookupCmd(L"SAMPLE"), nullptr);
    EXPECT_FALSE(acrxApplicationIsLocked(nullptr));
    ASSERT_TRUE(acrxUnloadApp("NorvexCtrlSchDiagram10", error)) << error;
    EXPECT_FALSE(acedRegCmds()->hasGroup(L"NorvexCtrlSchDiagram10"));
    EXPECT_TRUE(a->lispFunctions().empty());
    EXPECT_EQ(CDynLinkLibrary::chainLength(), 0);
}

// Loading the module names the settings file it reads, once, on the
// command line.
TEST_F(ModuleFrameTest, LoadingNamesTheSettingsFile)
{
    static std::string printed;
    printed.clear();
    host::setOutput([](const std::string& s) { printed += s; });
    ::setenv("CTRLSCH_SETTINGS", "/nonexistent/settings.json", 1);
    acDocManager->newDocument();
    std::string error;
    ASSERT_TRUE(acrxLoadApp(CTRLSCH_MODULE_PATH, error)) << error;
    ::unsetenv("CTRLSCH_SETTINGS");
    // A new line first unless the command line stands at the start of one.
    if (printed.rfind("\n", 0) == 0)
        printed.erase(0, 1);
    EXPECT_EQ(printed, "设置文件不存在, 使用默认设置: /nonexistent/settings.json\n");
}

// Outside an invocation the function code is no row: nothing runs.
TEST_F(ModuleFrameTest, NoFunctionRunsOutsideAnInvocation)
{
    EXPECT_EQ(DispatchLispCall(), RTERROR);
}

} // namespace
