// End to end: ctrlsch run on the scripts in tests/e2e, the printed command
// line compared with the expected transcript (FILE.scr -> FILE.out). In
// both, @TESTAPP@ stands for the test application's path and @DIR@ for a
// temporary folder. The scripts run to their end (-k); one whose commands
// fail on purpose has its exit status in FILE.status (else 0). Then the
// program's own handling of scripts: stopping at a failed command, usage
// errors, a byte-order mark, Esc in a modal dialog.
#include "testutil.h"
#include "ui/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

namespace {

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

class ScriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptTest, TranscriptIsAsExpected)
{
    const std::string base = testutil::sourceDir() + "/tests/e2e/" + GetParam();
    testutil::TempDir dir;
    const std::string script =
        replaceAll(replaceAll(testutil::readFile(base + ".scr"), "@TESTAPP@", CTRLSCH_TESTAPP_PATH), "@DIR@", dir.path());
    testutil::writeFile(dir.file("test.scr"), script);
    // NAME.prepare beside the script: a tool of tests/tools and its
    // arguments, run first (skipped without ezdxf).
    const std::string prepare = base + ".prepare";
    if (std::filesystem::exists(prepare)) {
        if (!testutil::haveEzdxf())
            GTEST_SKIP() << "ezdxf is not installed";
        std::string line = replaceAll(testutil::readFile(prepare), "@DIR@", dir.path());
        line.erase(line.find_last_not_of(" \n") + 1);
        const std::size_t blank = line.find(' ');
        testutil::runPythonTool(line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1));
    }
    // Installation settings: NAME.settings.json beside the script, or none.
    const std::string settings = base + ".settings.json";
    if (std::filesystem::exists(settings))
        testutil::writeFile(dir.file("settings.json"), replaceAll(testutil::readFile(settings), "@DIR@", dir.path()));
    // The error stream apart: it names the settings file, and nothing else.
    const bool haveSettings = std::filesystem::exists(dir.file("settings.json"));
    std::string out;
    const int rc = testutil::run("{ CTRLSCH_SETTINGS=" + testutil::shellQuote(dir.file("settings.json"))
                                     + " CTRLSCH_MODULE=" + CTRLSCH_MODULE_PATH + " " + CTRLSCH_PROGRAM_PATH
                                     + " run -k " + testutil::shellQuote(dir.file("test.scr")) + " -o "
                                     + testutil::shellQuote(dir.file("out.dxf")) + " 2>"
                                     + testutil::shellQuote(dir.file("stderr")) + "; }",
                                 out);
    EXPECT_EQ(testutil::readFile(dir.file("stderr")),
              (haveSettings ? "设置文件: " : "设置文件不存在, 使用默认设置: ")
                  + dir.file("settings.json") + "\n");
    const std::string status = base + ".status";
    EXPECT_EQ(rc, std::filesystem::exists(status) ? std::stoi(testutil::readFile(status)) : 0) << out;
    std::string upperDir = dir.path();
    for (char& c : upperDir)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    out = replaceAll(replaceAll(replaceAll(out, CTRLSCH_TESTAPP_PATH, "@TESTAPP@"), dir.path(), "@DIR@"), upperDir,
                     "@DIR@");
    const std::string expected = testutil::readFile(base + ".out");
    EXPECT_EQ(out, expected);
    if (out != expected)
        testutil::writeFile(testutil::binaryDir() + "/" + GetParam() + ".actual", out);
    // The drawing saved at the end carries what the script set.
    const std::string dxf = testutil::readFile(dir.file("out.dxf"));
    EXPECT_NE(dxf.find("$ACADVER"), std::string::npos);
    const std::string checks = testutil::readFile(base + ".dxfcheck");
    std::size_t start = 0;
    while (start < checks.size()) {
        std::size_t end = checks.find('\n', start);
        if (end == std::string::npos)
            end = checks.size();
        const std::string needle = replaceAll(checks.substr(start, end - start), "\\n", "\n");
        if (!needle.empty()) {
            EXPECT_NE(dxf.find(needle), std::string::npos) << "missing in the saved drawing: " << needle;
        }
        start = end + 1;
    }
    // Every dialog picture the script asked for is a PNG.
    const std::string marker = "@snapshot ";
    for (std::size_t at = script.find(marker); at != std::string::npos; at = script.find(marker, at + 1)) {
        const std::size_t open = script.find('"', at), close = script.find('"', open + 1);
        const std::size_t eol = script.find('\n', at);
        if (open == std::string::npos || close == std::string::npos || close > eol)
            continue;
        const std::string png = testutil::readFile(script.substr(open + 1, close - open - 1));
        ASSERT_GT(png.size(), 24u) << "no picture: " << script.substr(at, eol - at);
        EXPECT_EQ(png.substr(1, 3), "PNG");
    }
}

std::vector<std::string> scripts()
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(testutil::sourceDir() + "/tests/e2e"))
        if (e.path().extension() == ".scr")
            names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, ::testing::ValuesIn(scripts()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace

namespace {

// ctrlsch run as a user starts it, without the module; the output with
// the error stream.
class RunCommandTest : public ::testing::Test {
protected:
    int run(const std::string& args, const std::string& script)
    {
        testutil::writeFile(dir.file("test.scr"), script);
        return testutil::run("CTRLSCH_NO_MODULE=1 " + std::string(CTRLSCH_PROGRAM_PATH) + " run " + args, out);
    }
    std::string scriptPath() { return testutil::shellQuote(dir.file("test.scr")); }
    std::string outPath() { return testutil::shellQuote(dir.file("out.dxf")); }
    bool printed(const std::string& text) const { return out.find(text) != std::string::npos; }

    testutil::TempDir dir;
    std::string out;
};

TEST_F(RunCommandTest, AFailedCommandStopsTheRunWithStatusOneUnlessKeepGoing)
{
    const std::vector<std::pair<std::string, std::string>> failures = {
        {"FROB", "未知命令“FROB”"},
        {"(nosuch 1)", "; 错误: 无函数定义: NOSUCH"},
        {"(getvar))", "; 错误: "},
        {"SAVEAS " + dir.file("missing/a.dxf"), "保存失败"},
    };
    for (const auto& [line, message] : failures) {
        const std::string script = "(setvar \"osmode\" 33)\n" + line + "\n(getvar \"osmode\")\n(setvar \"osmode\" 7)\n";
        EXPECT_EQ(run(scriptPath() + " -o " + outPath(), script), 1) << line;
        EXPECT_TRUE(printed(message)) << out;
        EXPECT_TRUE(printed(dir.file("test.scr") + ":2: the script stopped at a failed command")) << out;
        EXPECT_FALSE(printed("(getvar \"osmode\")")) << "the lines after the failure are not run: " << out;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.dxf"))) << "a stopped run saves nothing";

        for (const char* option : {"-k", "--keep-going"}) {
            EXPECT_EQ(run(std::string(option) + " " + scriptPath() + " -o " + outPath(), script), 1) << line;
            EXPECT_TRUE(printed(message)) << out;
            EXPECT_TRUE(printed("命令: (getvar \"osmode\")\n33\n命令: (setvar \"osmode\" 7)\n7\n")) << out;
            EXPECT_FALSE(printed("stopped")) << out;
            EXPECT_TRUE(std::filesystem::remove(dir.file("out.dxf"))) << "the run went to its end and saved";
        }
    }
}

TEST_F(RunCommandTest, EscAndRepliesAskedAgainAreNoFailures)
{
    // PLINE's first point: a reply that is no point is asked again, Esc
    // cancels the command.
    EXPECT_EQ(run(scriptPath() + " -o " + outPath(), "PLINE\nnowhere\n^C\n(getvar \"pickbox\")\n"), 0) << out;
    EXPECT_TRUE(printed("*取消*")) << out;
    EXPECT_TRUE(printed("命令: (getvar \"pickbox\")\n3\n")) << out;
    EXPECT_TRUE(std::filesystem::exists(dir.file("out.dxf")));
}

TEST_F(RunCommandTest, UsageErrorsRunNothingAndExitWithStatusTwo)
{
    const std::string script = "SAVEAS " + dir.file("ran.dxf") + "\n";
    for (const std::string& args : {scriptPath() + " -o", scriptPath() + " -o ''", "-o " + outPath(),
                                    scriptPath() + " -o " + outPath() + " -o " + outPath(), "--frob " + scriptPath(),
                                    scriptPath() + " a.dxf b.dxf"}) {
        EXPECT_EQ(run(args, script), 2) << args << ": " << out;
        EXPECT_TRUE(printed("usage: ctrlsch run [-k|--keep-going] SCRIPT [FILE.dxf] [-o OUT.dxf]")) << args << ": "
                                                                                                   << out;
        EXPECT_FALSE(printed("命令:")) << args << ": " << out;
        EXPECT_FALSE(std::filesystem::exists(dir.file("ran.dxf"))) << args;
    }
}

TEST_F(RunCommandTest, AByteOrderMarkAtTheStartIsSkipped)
{
    EXPECT_EQ(run(scriptPath(), "\xEF\xBB\xBF(getvar \"pickbox\")\r\n(getvar \"osmode\")\r\n"), 0) << out;
    EXPECT_TRUE(printed("命令: (getvar \"pickbox\")\n3\n命令: (getvar \"osmode\")\n")) << out;
    EXPECT_FALSE(printed("\xEF\xBB\xBF")) << out;
}

// Comments explain a script without reaching the command line: at the
// command prompt, inside a multi-line expression and at a command's prompt.
TEST_F(RunCommandTest, LinesBeginningWithASemicolonAreComments)
{
    EXPECT_EQ(run(scriptPath(), "; set up\n(list 1\n  ; the second item\n  2)\n   ;; indented\n(getvar \"osmode\")\n"), 0)
        << out;
    EXPECT_TRUE(printed("命令: (list 1\n  2)\n(1 2)\n命令: (getvar \"osmode\")\n")) << out;
    EXPECT_FALSE(printed("set up")) << out;
    EXPECT_FALSE(printed("indented")) << out;
    EXPECT_FALSE(printed("second item")) << out;
}

// HELP lists the dialog events as the toolkit that reads them knows them:
// every verb with its form and what it does.
TEST_F(RunCommandTest, HelpListsTheToolkitsEvents)
{
    EXPECT_EQ(run(scriptPath(), "HELP\n"), 0) << out;
    const std::vector<ui::EventVerb> verbs = ui::eventVerbs();
    ASSERT_FALSE(verbs.empty());
    for (const ui::EventVerb& v : verbs) {
        EXPECT_TRUE(printed(" @" + v.name + " ")) << v.name << "\n" << out;
        EXPECT_TRUE(printed("\n  " + v.form + ": " + v.what + "\n")) << v.form << "\n" << out;
    }
    EXPECT_TRUE(printed("@choose DIALOG SYMBOL|#N [double]")) << out;
}

// The module names the settings file it uses as it loads; a run sends
// that to the error stream. A missing or damaged one is named with what is
// wrong, and the script runs on with the defaults. Without the module the
// program names none: settings are the module's.
TEST_F(RunCommandTest, TheSettingsFileIsNamedAndAMissingOrDamagedOneSaysWhatIsWrong)
{
    const std::string settings = dir.file("settings.json");
    const auto runWith = [&](const std::string& environment) {
        testutil::writeFile(dir.file("test.scr"), "(getvar \"osmode\")\n");
        return testutil::run("{ " + environment + " CTRLSCH_MODULE=" + CTRLSCH_MODULE_PATH + " "
                                 + CTRLSCH_PROGRAM_PATH + " run " + scriptPath() + " 2>&1 >/dev/null; }",
                             out);
    };
    testutil::writeFile(settings, "{\"VMQMain\": {}}");
    EXPECT_EQ(runWith("CTRLSCH_SETTINGS=" + testutil::shellQuote(settings)), 0) << out;
    EXPECT_EQ(out, "设置文件: " + settings + "\n");
    EXPECT_EQ(runWith("CTRLSCH_SETTINGS=" + testutil::shellQuote(dir.file("none.json"))), 0) << out;
    EXPECT_EQ(out, "设置文件不存在, 使用默认设置: " + dir.file("none.json") + "\n");
    EXPECT_EQ(runWith("HOME=" + testutil::shellQuote(dir.path()) + " CTRLSCH_SETTINGS="), 0) << out;
    EXPECT_EQ(out, "未设置 CTRLSCH_SETTINGS, 使用默认设置 (" + dir.path() + "/.config/ctrlsch/settings.json 不存在)\n");
    testutil::writeFile(settings, "{\"VMQMain\": ");
    EXPECT_EQ(runWith("CTRLSCH_SETTINGS=" + testutil::shellQuote(settings)), 0) << out;
    EXPECT_EQ(out.rfind("设置文件损坏, 使用默认设置: " + settings + ": damaged (", 0), 0u) << out;
    EXPECT_EQ(out.back(), '\n') << out;
    EXPECT_EQ(testutil::readFile(settings), "{\"VMQMain\": ") << "the damaged file is left as it was";
    EXPECT_EQ(runWith("CTRLSCH_NO_MODULE=1 CTRLSCH_SETTINGS=" + testutil::shellQuote(settings)), 0) << out;
    EXPECT_EQ(out, "");
    // The script ran on.
    EXPECT_EQ(run(scriptPath(), "(getvar \"osmode\")\n"), 0) << out;
    EXPECT_TRUE(printed("命令: (getvar \"osmode\")\n")) << out;
}

// ctrlsch --help describes every mode, option and environment variable;
// an unknown mode or option gets the usage on the error stream, status 2.
TEST(ProgramUsageTest, HelpDescribesModesOptionsAndEnvironmentAndWrongUsageExitsWithTwo)
{
    for (const char* help : {"--help", "-h"}) {
        std::string out;
        EXPECT_EQ(testutil::run("{ " + std::string(CTRLSCH_PROGRAM_PATH) + " " + help + " 2>/dev/null; }", out), 0) << help;
        for (const char* text :
             {"ctrlsch [FILE.dxf]", "HELP", "ctrlsch run ", "ctrlsch render ", "ctrlsch install ", "ctrlsch demo ",
              "-k, --keep-going", "-o OUT.dxf", "CTRLSCH_SETTINGS", "CTRLSCH_MODULE", "CTRLSCH_NO_MODULE",
              "CTRLSCH_TUNE", "--version", "exit status"})
            EXPECT_NE(out.find(text), std::string::npos) << help << " lacks " << text << ":\n" << out;
    }
    for (const char* wrong : {"--frob", "-x", "frob", "notes.txt"}) {
        std::string out;
        EXPECT_EQ(testutil::run("{ " + std::string(CTRLSCH_PROGRAM_PATH) + " " + wrong + " 2>/dev/null; }", out), 2) << wrong;
        EXPECT_EQ(out, "") << wrong << ": the usage goes to the error stream";
        EXPECT_EQ(testutil::run(std::string(CTRLSCH_PROGRAM_PATH) + " " + wrong, out), 2) << wrong;
        EXPECT_NE(out.find(std::string("unknown ") + (wrong[0] == '-' ? "option" : "mode") + " '" + wrong + "'"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("CTRLSCH_SETTINGS"), std::string::npos) << out;
    }
}

// --version: the name and the version on the output, status 0; with more
// words it is wrong usage.
TEST(ProgramUsageTest, VersionPrintsTheNameAndTheVersion)
{
    std::string out;
    EXPECT_EQ(testutil::run("{ " + std::string(CTRLSCH_PROGRAM_PATH) + " --version 2>/dev/null; }", out), 0);
    EXPECT_TRUE(std::regex_match(out, std::regex("ctrlsch [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << out;
    EXPECT_EQ(testutil::run(std::string(CTRLSCH_PROGRAM_PATH) + " --version extra", out), 2) << out;
}

} // namespace
