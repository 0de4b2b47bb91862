// ctrlsch demo end to end: a motor starter drawn with (ylthz) in one
// session and continued with (yltbj) in a second one on the saved file,
// then its panel front laid out with (inspmtsb) and counted with (esbbtj).
// The drawings are read back with ezdxf.
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

int count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(Demo, TheSecondSessionContinuesTheFirstOnesDrawing)
{
    testutil::TempDir dir;
    std::string out;
    const int rc = testutil::run("CTRLSCH_MODULE=" + std::string(CTRLSCH_MODULE_PATH) + " " + CTRLSCH_PROGRAM_PATH +
                                     " demo " + testutil::shellQuote(dir.path()),
                                 out);
    ASSERT_EQ(rc, 0) << out;
    // The scripts name dialogs, controls and symbols: no control ids, no
    // pixels.
    for (const char* script : {"motor-starter.scr", "motor-starter-continued.scr", "motor-starter-panel.scr",
                               "selection-dialogs.scr"}) {
        const std::string text = testutil::readFile(dir.file(script));
        EXPECT_NE(text.find("\n@"), std::string::npos) << script;
        EXPECT_EQ(text.find("@mouse"), std::string::npos) << text;
        EXPECT_FALSE(std::regex_search(text, std::regex("(^|\n)@[a-z]+ [a-z]+ [0-9]"))) << text;
    }
    // Nothing refused or failed on the way.
    EXPECT_EQ(out.find("** "), std::string::npos) << out;
    EXPECT_EQ(out.find("错误"), std::string::npos) << out;
    EXPECT_EQ(out.find("请在边界内点取一点"), std::string::npos) << out;
    // The panel front's equipment table, as (esbbtj 0) gives it.
    EXPECT_NE(out.find("(\"HL1\" \"\" \"\" \"运行指示灯\" \"AD16-22/红\" \"1\")"), std::string::npos) << out;
    EXPECT_NE(out.find("(\"SB2\" \"\" \"\" \"启动按钮\" \"LA39-11/绿\" \"1\")"), std::string::npos) << out;
    for (const char* base : {"motor-starter", "motor-starter-continued", "motor-starter-panel"}) {
        EXPECT_TRUE(std::filesystem::exists(dir.file(base + std::string(".dxf")))) << base;
        // Its pictures: SVG, a PNG and a PDF page.
        EXPECT_NE(testutil::readFile(dir.file(base + std::string(".svg"))).find("<svg "), std::string::npos) << base;
        EXPECT_EQ(testutil::readFile(dir.file(base + std::string(".png"))).find("PNG"), 1u) << base;
        EXPECT_EQ(testutil::readFile(dir.file(base + std::string(".pdf"))).find("%PDF-"), 0u) << base;
    }
    if (!testutil::haveEzdxf())
        GTEST_SKIP() << "ezdxf is not installed";
    const std::string first = testutil::runPythonTool("ezdxf_report", testutil::shellQuote(dir.file("motor-starter.dxf")));
    const std::string second =
        testutil::runPythonTool("ezdxf_report", testutil::shellQuote(dir.file("motor-starter-continued.dxf")));
    // Nine symbols first (four, the holding contact, two lamp rows of two),
    // then the auxiliary relay's contact and coil.
    EXPECT_EQ(count(first, "\nINSERT "), 9) << first;
    EXPECT_EQ(count(second, "\nINSERT "), 11) << second;
    EXPECT_NE(second.find("KA-COIL"), std::string::npos) << second;
    EXPECT_EQ(first.find("KA-COIL"), std::string::npos) << first;
    // Five pieces of panel equipment, each with its data and labels.
    const std::string panel =
        testutil::runPythonTool("ezdxf_report", testutil::shellQuote(dir.file("motor-starter-panel.dxf")));
    EXPECT_EQ(count(panel, "\nINSERT "), 5) << panel;
    EXPECT_EQ(count(panel, "xdata[PMTBZ]"), 5) << panel;
    EXPECT_EQ(count(panel, "\nTEXT "), 9) << "a code and a symbol text each, the name plate without code";
    // The function box beside it: six rows, so seven cross lines, the two
    // sides and the division line.
    EXPECT_EQ(count(second, "\nLINE "), 10) << second;
    EXPECT_EQ(count(first, "\nLINE "), 0);
    // The selection dialogs answer their LISP callers.
    EXPECT_NE(out.find("@click busbar ok\n5\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(2 \"ZHKGB1.DWG\")"), std::string::npos) << out;
    EXPECT_NE(out.find("(getdzjddlg)\n(0 0)"), std::string::npos) << out;
    // Every symbol of both carries the same parameters of the schematic.
    EXPECT_EQ(count(second, "20.00&30.00&0.30&1.00&5&0"), count(second, "xdata[YLTHZCS]")) << second;
}

} // namespace
