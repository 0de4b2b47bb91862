// ctrlsch install DIR as a user runs it: the installer, a program of its
// own beside ctrlsch, writes the installation; its output, error messages
// and exit status are the command's.
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class InstallCommandTest : public ::testing::Test {
protected:
    int install(const std::string& environment, const std::string& args)
    {
        return testutil::run(environment + " " + CTRLSCH_PROGRAM_PATH + " install " + args, out);
    }
    bool printed(const std::string& text) const { return out.find(text) != std::string::npos; }
    // An installer standing in for the real one: a shell script.
    std::string fakeInstaller(const std::string& body)
    {
        const std::string path = dir.file("fake-installer");
        testutil::writeFile(path, "#!/bin/sh\n" + body + "\n");
        ::chmod(path.c_str(), 0755);
        return path;
    }

    testutil::TempDir dir;
    std::string out;
};

// The paths the installer promises: the settings file (which names the
// installation) and the user folder; and the sheet of symbols.
TEST_F(InstallCommandTest, TheInstallerBesideTheProgramWritesTheSettingsFileAndTheUserFolder)
{
    const std::string target = dir.file("inst");
    ASSERT_EQ(install("CTRLSCH_INSTALLER=", testutil::shellQuote(target)), 0) << out;
    EXPECT_TRUE(printed("installed into " + target + "\n")) << out;
    EXPECT_TRUE(printed("use it with: export CTRLSCH_SETTINGS=" + target + "/settings.json\n")) << out;
    EXPECT_TRUE(printed(" missing)")) << out;
    const std::string settings = testutil::readFile(target + "/settings.json");
    EXPECT_NE(settings.find("\"VmqSys\": \"" + target + "\""), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"VmqUse\": \"" + target + "/User\""), std::string::npos) << settings;
    EXPECT_TRUE(fs::is_directory(target + "/User"));
    EXPECT_TRUE(fs::exists(target + "/symbols.png"));
}

TEST_F(InstallCommandTest, TheInstallersStatusAndMessagesAndTheFolderPassThrough)
{
    const std::string installer =
        fakeInstaller("echo \"installing $# $1\"; echo 'no room left' >&2; exit ${FAKE_STATUS:-0}");
    EXPECT_EQ(install("CTRLSCH_INSTALLER=" + installer, "'a folder'"), 0) << out;
    EXPECT_EQ(out, "installing 1 a folder\nno room left\n");
    EXPECT_EQ(install("FAKE_STATUS=1 CTRLSCH_INSTALLER=" + installer, "somewhere"), 1) << out;
    EXPECT_TRUE(printed("no room left")) << out;
    // Its stderr is ctrlsch's stderr, its stdout ctrlsch's stdout.
    EXPECT_EQ(testutil::run("{ CTRLSCH_INSTALLER=" + installer + " " + CTRLSCH_PROGRAM_PATH
                                + " install x 2>/dev/null; }",
                            out),
              0);
    EXPECT_EQ(out, "installing 1 x\n");
    // Ended by a signal: said, status 1.
    EXPECT_EQ(install("CTRLSCH_INSTALLER=" + fakeInstaller("kill -9 $$"), "x"), 1) << out;
    EXPECT_TRUE(printed("ended by signal 9")) << out;
}

TEST_F(InstallCommandTest, AMissingInstallerIsNamedWithHowToGiveOne)
{
    const std::string target = dir.file("inst");
    EXPECT_EQ(install("CTRLSCH_INSTALLER=" + dir.file("nowhere"), testutil::shellQuote(target)), 1) << out;
    EXPECT_TRUE(printed("cannot run the installer " + dir.file("nowhere"))) << out;
    EXPECT_TRUE(printed("CTRLSCH_INSTALLER")) << out;
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(InstallCommandTest, AFolderThatCannotBeMadeIsReportedWithStatusOne)
{
    testutil::writeFile(dir.file("plain"), "a file, not a folder");
    EXPECT_EQ(install("", testutil::shellQuote(dir.file("plain/inst"))), 1) << out;
    EXPECT_TRUE(printed("ctrlsch install: ")) << out;
    EXPECT_TRUE(printed("plain")) << out;
    EXPECT_EQ(testutil::readFile(dir.file("plain")), "a file, not a folder");
}

TEST_F(InstallCommandTest, WrongUsageRunsNoInstallerAndExitsWithTwo)
{
    const std::string installer = fakeInstaller("touch " + testutil::shellQuote(dir.file("ran")));
    for (const std::string& args : {std::string(), std::string("a b"), std::string("''"), std::string("-x")}) {
        EXPECT_EQ(install("CTRLSCH_INSTALLER=" + installer, args), 2) << args << ": " << out;
        EXPECT_TRUE(printed("usage: ctrlsch install DIR")) << out;
        EXPECT_FALSE(fs::exists(dir.file("ran"))) << args;
    }
}

// The memory tuning (a re-start with glibc tunables) is asked for with
// CTRLSCH_TUNE; the installer, run from the tuned program, still gets the
// user's environment: no tunables of ours, no mark of the re-start.
TEST_F(InstallCommandTest, TheInstallerDoesNotInheritTheMemoryTuning)
{
    // What the installer sees, and whether the ctrlsch that ran it was
    // started with our tunables (the environment it was started with).
    const std::string installer = fakeInstaller(
        "echo \"tunables=${GLIBC_TUNABLES-none} mark=${CTRLSCH_TUNED-none}\"\n"
        // glibc may cut the variable at its colons as it reads it.
        "if tr '\\0' '\\n' < /proc/$PPID/environ | grep -q 'glibc.malloc.hugetlb=1'; then\n"
        "  echo tuned; else echo untuned; fi");
    const std::string clean = "env -u GLIBC_TUNABLES -u CTRLSCH_TUNE -u CTRLSCH_TUNED -u CTRLSCH_NO_TUNING ";
    EXPECT_EQ(install(clean + "CTRLSCH_INSTALLER=" + installer, "x"), 0) << out;
    EXPECT_EQ(out, "tunables=none mark=none\nuntuned\n");
    EXPECT_EQ(install(clean + "CTRLSCH_TUNE=0 CTRLSCH_INSTALLER=" + installer, "x"), 0) << out;
    EXPECT_EQ(out, "tunables=none mark=none\nuntuned\n");
    EXPECT_EQ(install(clean + "CTRLSCH_TUNE=1 CTRLSCH_INSTALLER=" + installer, "x"), 0) << out;
    EXPECT_EQ(out, "tunables=none mark=none\ntuned\n");
    // The user's own tunables pass through as they were.
    EXPECT_EQ(install(clean + "CTRLSCH_TUNE=1 GLIBC_TUNABLES=glibc.malloc.arena_max=2 CTRLSCH_INSTALLER=" + installer,
                      "x"),
              0)
        << out;
    EXPECT_EQ(out, "tunables=glibc.malloc.arena_max=2 mark=none\ntuned\n");
}

} // namespace
