// The ezdxf scripts of this folder as the tests run them
// (testutil::runPythonTool, through one tool server per test program):
// each run sees its arguments as the shell's words and the test's current
// folder, and a failed run is reported with its output without stopping
// the runs after it.
#include "testutil.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class ToolServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testutil::haveEzdxf())
            GTEST_SKIP() << "ezdxf is not installed";
    }
};

TEST_F(ToolServerTest, ArgumentsAreTheShellsWordsAndPathsAreTakenFromTheTestsFolder)
{
    testutil::TempDir dir;
    const std::string name = "it's a \"drawing\" of $HOME *.dxf";
    testutil::runPythonTool("make_render_sample", testutil::shellQuote(dir.file(name)));
    ASSERT_TRUE(fs::is_regular_file(dir.file(name)));

    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    const std::string out = testutil::runPythonTool("audit_dxf", testutil::shellQuote(name));
    fs::current_path(before);
    EXPECT_EQ(out, name + ": 0 errors, 0 fixes\n");
}

TEST_F(ToolServerTest, AFailedRunIsReportedWithItsOutputAndTheNextOneRuns)
{
    // A usage message given to sys.exit, and a failure the script reports.
    EXPECT_NONFATAL_FAILURE(testutil::runPythonTool("make_render_sample", ""), "usage: make_render_sample.py");
    EXPECT_NONFATAL_FAILURE(testutil::runPythonTool("audit_dxf", "/nonexistent/a.dxf"),
                            "/nonexistent/a.dxf: cannot read");
    // An exception: the traceback, as Python prints it.
    EXPECT_NONFATAL_FAILURE(testutil::runPythonTool("ezdxf_report", "/nonexistent/b.dxf"), "Traceback");

    testutil::TempDir dir;
    testutil::runPythonTool("make_render_sample", testutil::shellQuote(dir.file("after.dxf")));
    EXPECT_TRUE(fs::is_regular_file(dir.file("after.dxf")));
}

} // namespace
