// The function box: the frame's geometry in both main directions, the
// command driven by scripted pointer and key events (picks, the rubber-band
// preview, the keywords with their buffer and messages, Esc), the sizes kept
// in the project data and the print scale.
#include "tools/FunctionBox.h"

#include "components/NorvexGloFunc.h"
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/tempgraphics.h"
#include "ModuleTest.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <sys/stat.h>

namespace {

std::string& g_out = testutil::hostOutput();

AcGePoint3d P(double x, double y)
{
    return AcGePoint3d(x, y, 0);
}

std::string describe(const std::vector<FunctionBoxLine>& lines)
{
    std::ostringstream s;
    for (const FunctionBoxLine& l : lines)
        s << "(" << l.first.x << "," << l.first.y << ")-(" << l.second.x << "," << l.second.y << ") ";
    return s.str();
}

void expectLines(const std::vector<FunctionBoxLine>& actual, const std::vector<FunctionBoxLine>& expected)
{
    ASSERT_EQ(actual.size(), expected.size()) << "actual: " << describe(actual) << "\nexpected: " << describe(expected);
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_TRUE(actual[i].first.isEqualTo(expected[i].first) && actual[i].second.isEqualTo(expected[i].second))
            << "line " << i << "\nactual: " << describe(actual) << "\nexpected: " << describe(expected);
    }
}

// A horizontal frame from the origin towards negative y, rows along +x: the
// cross lines at x = 0, h, ..., n h, then the near side, the far side and the
// division line, as the frame is laid out.
std::vector<FunctionBoxLine> horizontalFrame(int n, double h, double w, double f)
{
    std::vector<FunctionBoxLine> lines;
    for (int k = 0; k <= n; ++k)
        lines.emplace_back(P(k * h, 0), P(k * h, -w));
    lines.emplace_back(P(n * h, 0), P(0, 0));
    lines.emplace_back(P(0, -w), P(n * h, -w));
    lines.emplace_back(P(0, -(w - f)), P(n * h, -(w - f)));
    return lines;
}

// Script lines without echo, so that the output holds only what the
// command prints; records the temporary graphics as they stood whenever the
// next line was asked for.
class RecordingScript : public host::LineSource {
public:
    explicit RecordingScript(std::deque<std::string> lines) : m_lines(std::move(lines)) {}
    bool readLine(std::string& line, const std::string&) override
    {
        if (m_lines.empty())
            return false;
        shown.push_back(host::temporaryGraphics().vectors);
        line = m_lines.front();
        m_lines.pop_front();
        return true;
    }
    bool echoes() const override { return false; }

    // shown[i]: the temporary graphics when line i was read.
    std::vector<std::vector<host::TempVector>> shown;

private:
    std::deque<std::string> m_lines;
};

// The preview as lines; every vector must be in the complementing colour
// without highlight.
std::vector<FunctionBoxLine> previewLines(const std::vector<host::TempVector>& vectors)
{
    std::vector<FunctionBoxLine> lines;
    for (const host::TempVector& v : vectors) {
        EXPECT_EQ(v.color, -1);
        EXPECT_FALSE(v.highlight);
        lines.emplace_back(v.from, v.to);
    }
    return lines;
}

const ACHAR* const kKeys[] = {L"Gddata\\Gnkhz\\Hj", L"Gddata\\Gnkhz\\Zkd", L"Gddata\\Gnkhz\\Fgkd"};

const char* const kSecondPrompt = "\n行距H/总宽度Z/分格宽度V/请点取功能框第二角点<回车结束>:";

class FunctionBoxTest : public testutil::ModuleTest {
protected:
    void SetUp() override
    {
        useSettings(dir.file("settings.json"));
        testutil::writeFile(dir.file("settings.json"), "{\"VMQMain\": {\"VmqUse\": \"" + dir.path() + "\\\\user\"}}");
        ::mkdir(dir.file("user").c_str(), 0755);
        ModuleTest::SetUp();
    }
    // Runs gnkhz on the script; the handler always reports 1.
    RecordingScript& run(std::deque<std::string> lines)
    {
        m_script = std::make_unique<RecordingScript>(std::move(lines));
        host::setLineSource(m_script.get());
        EXPECT_EQ(gnkhz(), 1);
        host::setLineSource(nullptr);
        return *m_script;
    }
    // The lines of model space, in drawing order.
    std::vector<FunctionBoxLine> drawn() const
    {
        std::vector<FunctionBoxLine> lines;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds()) {
            auto* line = dynamic_cast<AcDbLine*>(AcDbInternals::stub(id)->object.get());
            EXPECT_NE(line, nullptr);
            if (line && !id.isErased())
                lines.emplace_back(line->startPoint(), line->endPoint());
        }
        return lines;
    }
    static std::wstring stored(const ACHAR* key)
    {
        ACHAR value[256];
        GetQrzfile(key, L"<absent>", value, 256);
        return value;
    }
    static std::string sizesLine(int h, int w, int f)
    {
        return "\n行距:" + std::to_string(h) + "\t总宽度:" + std::to_string(w) + "\t分格宽度:" + std::to_string(f);
    }
    static double threshold()
    {
        resbuf size{}, screen{};
        EXPECT_EQ(acedGetVar(L"VIEWSIZE", &size), RTNORM);
        EXPECT_EQ(acedGetVar(L"SCREENSIZE", &screen), RTNORM);
        return 5.0 * size.resval.rreal / screen.resval.rpoint[1];
    }
    // Whether the output holds the text. Line breaks are left out of the
    // comparison: the command line drops the break at the start of a
    // message when a typed reply has just ended the line.
    static bool has(const std::string& text) { return flat(g_out).find(flat(text)) != std::string::npos; }
    static std::string flat(std::string s)
    {
        std::erase(s, '\n');
        return s;
    }

    testutil::TempDir dir;
    std::unique_ptr<RecordingScript> m_script;
};

// ---------------------------------------------------------------- geometry

TEST(FunctionBoxLinesTest, HorizontalFrameTowardsTheSecondPoint)
{
    // (0,0) to (100,-30): horizontal, six whole rows of 15, frame below.
    const std::vector<FunctionBoxLine> expected = horizontalFrame(6, 15, 45, 10);
    expectLines(FunctionBoxLines(P(0, 0), P(100, -30), 15, 45, 10), expected);

    // Mirrored: towards -x and above; the lines keep their roles.
    std::vector<FunctionBoxLine> mirrored;
    for (const FunctionBoxLine& l : expected)
        mirrored.emplace_back(P(-l.first.x, -l.first.y), P(-l.second.x, -l.second.y));
    expectLines(FunctionBoxLines(P(0, 0), P(-100, 30), 15, 45, 10), mirrored);

    // Level with the corner across: the frame goes to the negative side.
    expectLines(FunctionBoxLines(P(0, 0), P(100, 0), 15, 45, 10), expected);
}

TEST(FunctionBoxLinesTest, VerticalFrameWhenTheHeightDifferenceIsNotSmaller)
{
    // (10,20) to (-20,-50): rows downwards, frame to the left.
    const std::vector<FunctionBoxLine> lines = FunctionBoxLines(P(10, 20), P(-20, -50), 15, 45, 10);
    std::vector<FunctionBoxLine> expected;
    for (double y : {20.0, 5.0, -10.0, -25.0, -40.0})
        expected.emplace_back(P(10, y), P(-35, y));
    expected.emplace_back(P(10, -40), P(10, 20));
    expected.emplace_back(P(-35, 20), P(-35, -40));
    expected.emplace_back(P(-25, 20), P(-25, -40));
    expectLines(lines, expected);

    // Equal differences count as vertical: rows upwards, frame to the right.
    const std::vector<FunctionBoxLine> tie = FunctionBoxLines(P(0, 0), P(31, 31), 10, 20, 5);
    ASSERT_EQ(tie.size(), 3u + 1 + 3);
    for (int k = 0; k <= 3; ++k)
        expectLines({tie[k]}, {{P(0, 10.0 * k), P(20, 10.0 * k)}});
    expectLines({tie[4], tie[5], tie[6]},
                {{P(0, 30), P(0, 0)}, {P(20, 0), P(20, 30)}, {P(15, 0), P(15, 30)}});
    // Level across (dx = 0): the negative side.
    expectLines({FunctionBoxLines(P(0, 0), P(0, 31), 10, 20, 5)[0]}, {{P(0, 0), P(-20, 0)}});
}

TEST(FunctionBoxLinesTest, NothingWhenTheRowSpacingDoesNotFit)
{
    EXPECT_TRUE(FunctionBoxLines(P(0, 0), P(14.9, -3), 15, 45, 10).empty());
    EXPECT_TRUE(FunctionBoxLines(P(5, 5), P(5, 5), 15, 45, 10).empty());
    // Exactly one row fits: two cross lines and the three long lines.
    const std::vector<FunctionBoxLine> one = FunctionBoxLines(P(0, 0), P(15, -3), 15, 45, 10);
    expectLines(one, horizontalFrame(1, 15, 45, 10));
    // A spacing that is no positive number never makes a frame.
    EXPECT_TRUE(FunctionBoxLines(P(0, 0), P(100, -30), 0, 45, 10).empty());
    EXPECT_TRUE(FunctionBoxLines(P(0, 0), P(100, -30), -15, 45, 10).empty());
}

// ---------------------------------------------------------------- the command

TEST_F(FunctionBoxTest, TwoPicksDrawTheFrameInOrderAndClearThePreview)
{
    RecordingScript& s = run({"@pick 0,0", "@move 100,-30", "@pick 100,-30"});
    const std::vector<FunctionBoxLine> expected = horizontalFrame(6, 15, 45, 10);
    expectLines(drawn(), expected);
    // While the second corner was asked for, the preview was that frame.
    ASSERT_EQ(s.shown.size(), 3u);
    EXPECT_TRUE(s.shown[1].empty());
    expectLines(previewLines(s.shown[2]), expected);
    EXPECT_TRUE(host::temporaryGraphics().vectors.empty());
    EXPECT_EQ(g_out.substr(g_out.find("请点取")),
              "请点取功能框第一角点<回车结束>:" + sizesLine(15, 45, 10) + kSecondPrompt);
    // Reading the defaults stores nothing.
    for (const ACHAR* key : kKeys)
        EXPECT_EQ(stored(key), L"<absent>");
}

TEST_F(FunctionBoxTest, AVerticalFrameAndASecondPickTooClose)
{
    run({"10,20", "@pick -20,-50"});
    expectLines(drawn(), FunctionBoxLines(P(10, 20), P(-20, -50), 15, 45, 10));
    EXPECT_EQ(drawn().size(), 4u + 4);
    EXPECT_FALSE(has("两点间距离不足行距"));

    // A second time, 10 along the main direction: less than one row.
    const std::size_t before = drawn().size();
    g_out.clear();
    RecordingScript& s = run({"0,0", "@move 12,-5", "@pick 10,-5", "@pick 100,-30"});
    EXPECT_EQ(drawn().size(), before);
    EXPECT_TRUE(has(std::string(kSecondPrompt) + "\n两点间距离不足行距!")) << g_out;
    EXPECT_TRUE(s.shown[2].empty()); // no frame fits, none is previewed
    EXPECT_EQ(s.shown.size(), 3u);   // the command ended at that pick
    EXPECT_TRUE(host::temporaryGraphics().vectors.empty());
}

TEST_F(FunctionBoxTest, FirstCornerNotGivenEndsAtOnce)
{
    for (const char* reply : {"", "^C"}) {
        g_out.clear();
        RecordingScript& s = run({reply, "@pick 100,-30"});
        EXPECT_EQ(s.shown.size(), 1u) << reply;
        EXPECT_TRUE(drawn().empty());
        EXPECT_FALSE(has("行距H/")) << g_out;
    }
}

TEST_F(FunctionBoxTest, EscAndEnterClearThePreviewAndDrawNothing)
{
    // Esc while the preview shows.
    RecordingScript& esc = run({"0,0", "@move 100,-30", "^C", "@pick 100,-30"});
    EXPECT_EQ(esc.shown.size(), 3u);
    EXPECT_EQ(esc.shown[2].size(), 10u);
    EXPECT_TRUE(host::temporaryGraphics().vectors.empty());
    EXPECT_TRUE(drawn().empty());
    // The end of input is Esc too.
    run({"0,0", "@move 100,-30"});
    EXPECT_TRUE(host::temporaryGraphics().vectors.empty());
    EXPECT_TRUE(drawn().empty());
    // Enter, the aux menu and the right button end the command with an
    // empty keyword buffer; menu picks are ignored.
    for (const char* end : {"@char 13", "@aux 1", "@right", ""}) {
        RecordingScript& s = run({"0,0", "@move 100,-30", "@menu 2", end, "@pick 100,-30"});
        EXPECT_EQ(s.shown.size(), 4u) << end;
        EXPECT_EQ(s.shown[3].size(), 10u) << end;
        EXPECT_TRUE(host::temporaryGraphics().vectors.empty()) << end;
        EXPECT_TRUE(drawn().empty()) << end;
    }
}

TEST_F(FunctionBoxTest, ShortPointerMovesLeaveThePreviewUnchanged)
{
    // At 104.5 six rows fit, beyond 105 seven; the steps after the first
    // stay within the threshold of the last shown point.
    const double t = threshold();
    ASSERT_GT(0.6 * t, 0.5);
    const std::string y = ",-30";
    auto at = [&](double x) { return "@move " + std::to_string(x) + y; };
    RecordingScript& s =
        run({"0,0", at(104.5), at(104.5 + 0.6 * t), at(104.5 + 0.95 * t), at(104.5 + 1.05 * t), "^C"});
    const auto six = horizontalFrame(6, 15, 45, 10), seven = horizontalFrame(7, 15, 45, 10);
    expectLines(previewLines(s.shown[2]), six);
    expectLines(previewLines(s.shown[3]), six);
    expectLines(previewLines(s.shown[4]), six);
    expectLines(previewLines(s.shown[5]), seven);

    // The threshold is five pixels of the current view: zoomed out ten
    // times, a move of 10 is too short.
    const double before = threshold();
    ASSERT_EQ(acedCommand({L"_.ZOOM", L"W", P(0, 0), P(0, before / 5 * 768 * 10)}), RTNORM);
    ASSERT_NEAR(threshold(), before * 10, 1e-9);
    RecordingScript& zoomed = run({"0,0", "@move 100,-30", "@move 110,-30", "@move 130,-30", "^C"});
    expectLines(previewLines(zoomed.shown[3]), six);
    expectLines(previewLines(zoomed.shown[4]), horizontalFrame(8, 15, 45, 10));
}

TEST_F(FunctionBoxTest, KeywordHChangesTheRowSpacingStoresTheSizesAndRedrawsThePreview)
{
    RecordingScript& s = run({"0,0", "@move 100,-30", "h", "20", "@pick 100,-30"});
    expectLines(previewLines(s.shown[3]), horizontalFrame(6, 15, 45, 10));
    expectLines(previewLines(s.shown[4]), horizontalFrame(5, 20, 45, 10));
    expectLines(drawn(), horizontalFrame(5, 20, 45, 10));
    EXPECT_TRUE(has(std::string(kSecondPrompt) + "h\n请输入行距<15>:" + sizesLine(20, 45, 10) + kSecondPrompt)) << g_out;
    // All three sizes are stored, as distances.
    const double values[] = {20, 45, 10};
    for (int i = 0; i < 3; ++i) {
        ads_real v = 0;
        ASSERT_EQ(acdbDisToF(stored(kKeys[i]).c_str(), 2, &v), RTNORM) << wideToUtf8(stored(kKeys[i]));
        EXPECT_EQ(v, values[i]);
    }
    // The next call starts with the stored spacing.
    g_out.clear();
    run({"0,0", "@pick 0,-70"});
    EXPECT_TRUE(has(sizesLine(20, 45, 10))) << g_out;
    EXPECT_EQ(drawn().size(), 9u + 3 + 4);
}

TEST_F(FunctionBoxTest, KeywordsZAndVInEitherCaseAndEnterAtTheirPrompts)
{
    // Upper case Z, lower case v; the right button and the aux menu act as
    // Enter. The number prompts show the values truncated.
    RecordingScript& s =
        run({"0,0", "@move 100,-30", "@char 90", "@right", "60.7", "@char 118", "@aux 3", "5", "@pick 100,-30"});
    expectLines(previewLines(s.shown.back()), horizontalFrame(6, 15, 60.7, 5));
    expectLines(drawn(), horizontalFrame(6, 15, 60.7, 5));
    EXPECT_TRUE(has("Z\n请输入总宽度<45>:" + sizesLine(15, 60, 10))) << g_out;
    EXPECT_TRUE(has("v\n请输入分格宽度<10>:" + sizesLine(15, 60, 5))) << g_out;

    // Enter at a number prompt leaves the size as it was and writes
    // nothing; the default in brackets is only shown.
    WriteQrzfile(kKeys[0], L"15");
    g_out.clear();
    RecordingScript& kept = run({"0,0", "@move 100,-30", "H", "", "@pick 100,-30"});
    EXPECT_TRUE(has("H\n请输入行距<15>:" + sizesLine(15, 60, 5))) << g_out;
    expectLines(previewLines(kept.shown.back()), horizontalFrame(6, 15, 60.7, 5));
    EXPECT_EQ(stored(kKeys[0]), L"15");
}

TEST_F(FunctionBoxTest, StoredTextsFollowTheDrawingPrecision)
{
    resbuf prec{};
    prec.restype = RTSHORT;
    prec.resval.rint = 2;
    ASSERT_EQ(acedSetVar(L"LUPREC", &prec), RTNORM);
    run({"0,0", "h", "20.5", "^C"});
    EXPECT_EQ(stored(kKeys[0]), L"20.50");
    EXPECT_EQ(stored(kKeys[1]), L"45.00");
    EXPECT_EQ(stored(kKeys[2]), L"10.00");
}

// Typed sizes of zero or less are refused by the host at the prompt (see
// SizesNotFiniteTooLargeOrNotPositiveAreRefusedAndNeverStored); a stored
// text that is no positive finite distance counts as missing: that size
// takes its default, the others are kept.
TEST_F(FunctionBoxTest, StoredTextsThatHoldNoSizeReadAsMissing)
{
    struct Case {
        const ACHAR* stored[3];
        int rows;
        double h;
    };
    const Case cases[] = {
        {{L"0", L"-45", L"-0.00"}, 6, 15},
        {{L"1e999", L"1e300", L"-3"}, 6, 15},
        {{L"20.5", L"wide", L"10"}, 4, 20.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(wideToUtf8(c.stored[0]) + " " + wideToUtf8(c.stored[1]) + " " + wideToUtf8(c.stored[2]));
        for (int i = 0; i < 3; ++i)
            WriteQrzfile(kKeys[i], c.stored[i]);
        g_out.clear();
        const std::size_t before = drawn().size();
        run({"0,0", "@pick 100,-30"});
        EXPECT_TRUE(has(sizesLine(static_cast<int>(c.h), 45, 10))) << g_out;
        EXPECT_FALSE(has("两点间距离不足行距")) << g_out;
        const std::vector<FunctionBoxLine> all = drawn();
        expectLines(std::vector<FunctionBoxLine>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
                    horizontalFrame(c.rows, c.h, 45, 10));
    }
}

TEST_F(FunctionBoxTest, SizesNotFiniteTooLargeOrNotPositiveAreRefusedAndNeverStored)
{
    // Typed: no number, zero, negative (the host asks again), too large
    // (the command keeps the size). Nothing is stored, the frame keeps the
    // default sizes.
    run({"0,0", "@move 100,-30", "h", "1e999", "0", "-5", "1e300", "z", "2e9", "v", "nan", "", "@pick 100,-30"});
    EXPECT_TRUE(has("请输入行距<15>:需要数值或选项关键字。值必须非零。值必须为正。数值超出范围!" +
                    sizesLine(15, 45, 10)))
        << g_out;
    EXPECT_TRUE(has("请输入总宽度<45>:数值超出范围!" + sizesLine(15, 45, 10))) << g_out;
    EXPECT_TRUE(has("请输入分格宽度<10>:需要数值或选项关键字。" + sizesLine(15, 45, 10))) << g_out;
    expectLines(drawn(), horizontalFrame(6, 15, 45, 10));
    for (const ACHAR* key : kKeys)
        EXPECT_EQ(stored(key), L"<absent>") << wideToUtf8(key);
}

TEST_F(FunctionBoxTest, KeywordBufferMessagesAndBackspace)
{
    // Two letters before Enter: the message, and the buffer starts afresh.
    RecordingScript& s = run({"0,0", "@move 100,-30", "hz", "h", "20", "@pick 100,-30"});
    EXPECT_TRUE(has(std::string(kSecondPrompt) + "hz\n输入关键字长度超过1!" + sizesLine(15, 45, 10) + kSecondPrompt +
                    "h\n请输入行距<15>:"))
        << g_out;
    expectLines(previewLines(s.shown[4]), horizontalFrame(6, 15, 45, 10));
    expectLines(drawn(), horizontalFrame(5, 20, 45, 10));

    // A key that is no keyword: the message, the prompt again and the
    // letters typed so far; Backspace drops the last letter.
    g_out.clear();
    run({"@pick 0,0", "@char 104", "@char 120", "@char 122", "@char 8", "@char 8", "@char 8", "@char 13",
         "@pick 100,-30"});
    const std::string prompt = sizesLine(20, 45, 10) + kSecondPrompt;
    EXPECT_EQ(g_out.substr(g_out.find("请点取")), "请点取功能框第一角点<回车结束>:" + prompt +
                                                    "h\n输入不是关键字!" + prompt + "hz" + prompt + "h" + prompt +
                                                    prompt);
    // The buffer was empty at Enter: the command ended without drawing.
    EXPECT_EQ(drawn().size(), 9u);

    // Backspace keeps the other letter, which then is the keyword.
    g_out.clear();
    run({"0,0", "@move 100,-30", "@char 118", "@char 122", "@char 8", "@char 13", "30", "@pick 100,-30"});
    EXPECT_TRUE(has("vz" + prompt + "v\n请输入分格宽度<10>:" + sizesLine(20, 45, 30) + kSecondPrompt)) << g_out;
    const std::vector<FunctionBoxLine> all = drawn();
    expectLines(std::vector<FunctionBoxLine>(all.begin() + 9, all.end()), horizontalFrame(5, 20, 45, 30));
}

TEST_F(FunctionBoxTest, PrintScaleTwoDoublesEverySize)
{
    db->setHeaderVar("$DIMSCALE", 40, "2.0");
    RecordingScript& s = run({"0,0", "@move 100,-30", "h", "20", "@pick 100,-30"});
    expectLines(previewLines(s.shown[3]), horizontalFrame(3, 30, 90, 20));
    expectLines(previewLines(s.shown[4]), horizontalFrame(2, 40, 90, 20));
    expectLines(drawn(), horizontalFrame(2, 40, 90, 20));
    // The prompts show the sizes before scaling; the stored value too.
    EXPECT_TRUE(has("\n请输入行距<15>:" + sizesLine(20, 45, 10))) << g_out;
    ads_real v = 0;
    ASSERT_EQ(acdbDisToF(stored(kKeys[0]).c_str(), 2, &v), RTNORM);
    EXPECT_EQ(v, 20.0);
    // One scaled row no longer fits into 35.
    g_out.clear();
    run({"0,0", "@pick 35,-5"});
    EXPECT_TRUE(has("两点间距离不足行距!")) << g_out;
    EXPECT_EQ(drawn().size(), 6u);
}

} // namespace
