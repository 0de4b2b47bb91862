// The command line: LISP reading and printing, prompts and their replies
// (points, numbers, keywords, Enter, Esc, invalid input asked again),
// events while a prompt waits, system variables, and host commands.
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dbundo.h"
#include "host/dxf/tags.h"
#include "host/lisp.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>

namespace {

std::string g_out;

using Lines = testutil::ScriptLines;

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_out.clear();
        host::setOutput([](const std::string& s) { g_out += s; });
        acDocManager->newDocument();
    }
    void TearDown() override
    {
        host::setLineSource(nullptr);
        host::setEventHandler(nullptr);
        host::setEventHelp(nullptr);
        host::setOutput(nullptr);
        acDocManager->closeAll();
        host::resetQuit();
    }
    void feed(std::deque<std::string> lines)
    {
        m_lines = std::make_unique<Lines>(std::move(lines));
        host::setLineSource(m_lines.get());
    }
    std::unique_ptr<Lines> m_lines;
};

TEST(LispTest, ReadsAndPrintsAsAutoLispDoes)
{
    const auto v = lisp::read("(foo 12 2.5 5. \"a\\\"b\" nil T '(1 \"x\" (2.0)) (1 . 2))");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(lisp::print(v[0]), "(FOO 12 2.5 5.0 \"a\\\"b\" nil T '(1 \"x\" (2.0)) (1 . 2))");
    EXPECT_EQ(lisp::print(lisp::Value::real(1.0 / 3.0)), "0.333333");
    EXPECT_EQ(lisp::print(lisp::Value::real(100.0)), "100.0");
    EXPECT_EQ(lisp::openDepth("(a (b \"(\" c"), 2);
    EXPECT_THROW(lisp::read("(a b"), lisp::SyntaxError);
    EXPECT_THROW(lisp::read(")"), lisp::SyntaxError);
    EXPECT_THROW(lisp::read("(\"open"), lisp::SyntaxError);
    // Arguments as result buffers: short integers, longs, lists.
    resbuf* rb = lisp::toResbuf(lisp::read("1 70000 \"s\" (1 2)"));
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(rb->restype, RTSHORT);
    EXPECT_EQ(rb->rbnext->restype, RTLONG);
    EXPECT_EQ(rb->rbnext->rbnext->restype, RTSTR);
    EXPECT_EQ(rb->rbnext->rbnext->rbnext->restype, RTLB);
    EXPECT_EQ(lisp::print(lisp::listFromResbuf(rb)), "(1 70000 \"s\" (1 2))");
    acutRelRb(rb);
}

// Literals are read as the number they write or refused: nothing is
// clamped, wrapped or rounded into another number.
TEST(LispTest, IntegerLiteralsBeyond32BitsAreExactRealsOrErrors)
{
    const auto v = lisp::read("2147483647 -2147483648 2147483648 -9007199254740992 18446744073709551616 0007");
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].kind, lisp::Value::Kind::Int);
    EXPECT_EQ(v[0].i, 2147483647);
    EXPECT_EQ(v[1].kind, lisp::Value::Kind::Int);
    EXPECT_EQ(v[1].i, -2147483648LL);
    // Beyond 32 bits: the real of the same value, which a double holds
    // exactly here (2^31, -2^53, 2^64).
    EXPECT_EQ(v[2].kind, lisp::Value::Kind::Real);
    EXPECT_EQ(v[2].r, 2147483648.0);
    EXPECT_EQ(v[3].kind, lisp::Value::Kind::Real);
    EXPECT_EQ(v[3].r, -9007199254740992.0);
    EXPECT_EQ(v[4].kind, lisp::Value::Kind::Real);
    EXPECT_EQ(v[4].r, 18446744073709551616.0);
    EXPECT_EQ(v[5].i, 7);
}

// What the LISP reader says of text: its syntax error, or "read".
std::string readMessage(const std::string& text)
{
    try {
        lisp::read(text);
    } catch (const lisp::SyntaxError& e) {
        return e.what();
    }
    return "read";
}

TEST(LispTest, LiteralsThatAreNoExactNumberAreErrors)
{
    EXPECT_EQ(readMessage("99999999999999999999"), "整数超出范围: 99999999999999999999");
    EXPECT_EQ(readMessage("-9007199254740993"), "整数超出范围: -9007199254740993"); // -2^53 - 1
    EXPECT_EQ(readMessage("(list 1e400)"), "数值超出范围: 1e400");
    EXPECT_EQ(readMessage("-1e400"), "数值超出范围: -1e400");
    EXPECT_EQ(readMessage("1e-400"), "数值超出范围: 1e-400");
    EXPECT_EQ(readMessage("0x10"), "无效的数字: 0x10");
    EXPECT_EQ(readMessage("0x1p4"), "无效的数字: 0x1p4");
    // Zero written long is zero; small numbers that a double holds are
    // read; tokens that are no number stay symbols.
    const auto v = lisp::read("0.000e-999 1e-300 5. .5 -2.5e3 inf nan 1+ x10");
    ASSERT_EQ(v.size(), 9u);
    EXPECT_EQ(lisp::print(v[0]), "0.0");
    EXPECT_EQ(v[1].r, 1e-300);
    EXPECT_EQ(lisp::print(lisp::Value::list({v[2], v[3], v[4]})), "(5.0 0.5 -2500.0)");
    EXPECT_EQ(lisp::print(lisp::Value::list({v[5], v[6], v[7], v[8]})), "(INF NAN 1+ X10)");
    // Integers that do not fit 32 bits never reach a result buffer.
    EXPECT_THROW(lisp::toResbuf({lisp::Value::integer(4294967296LL)}), lisp::EvalError);
}

// The reader agrees with itself on where atoms end: a NUL byte is no
// character of any atom (it hung the reader), and a dot is a dotted pair's
// exactly when an atom could end there, so what is printed reads back.
TEST(LispTest, NulBytesAndStrayDotsAreErrorsAndDottedPairsReadBack)
{
    EXPECT_EQ(readMessage(std::string("(list 1\0 2)", 12)), "无效的字符");
    EXPECT_EQ(readMessage(std::string("(a \0)", 6)), "无效的字符");
    EXPECT_EQ(readMessage("(a .)"), "格式错误的点对");
    EXPECT_EQ(readMessage("( .;"), "格式错误的点对");
    for (const char* text : {"(1 .(2))", "(\"a\" .\"b\")", "(1 .\r2)", "(1 . 2)"}) {
        SCOPED_TRACE(text);
        const auto v = lisp::read(text);
        ASSERT_EQ(v.size(), 1u);
        const std::string printed = lisp::print(v[0]);
        const auto again = lisp::read(printed);
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(lisp::print(again[0]), printed);
    }
    EXPECT_EQ(lisp::print(lisp::read("(1 .\r2)")[0]), "(1 . 2)");
}

TEST(LispTest, NestingUpToTheLimitReadsEvaluatesAndPrints)
{
    const int n = lisp::kMaxNesting - 1;
    std::string quoted, printed;
    for (int i = 0; i < n; ++i)
        quoted += "(";
    quoted += "1";
    for (int i = 0; i < n; ++i)
        quoted += ")";
    const auto v = lisp::read("'" + quoted);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(lisp::print(lisp::eval(v[0])), quoted);
    resbuf* rb = lisp::toResbuf({lisp::eval(v[0])});
    EXPECT_EQ(lisp::print(lisp::listFromResbuf(rb)), "(" + quoted + ")");
    acutRelRb(rb);
    // One level more is refused by each: the reader, the printer, the
    // conversions to and from result buffers.
    EXPECT_THROW(lisp::read("'(" + quoted + ")"), lisp::SyntaxError);
    lisp::Value deep = lisp::Value::integer(1);
    for (int i = 0; i <= lisp::kMaxNesting; ++i)
        deep = lisp::Value::list({deep});
    EXPECT_THROW(lisp::print(deep), lisp::EvalError);
    EXPECT_THROW(lisp::toResbuf({deep}), lisp::EvalError);
    resbuf* head = acutNewRb(RTSHORT);
    resbuf* tail = head;
    for (int i = 0; i <= lisp::kMaxNesting; ++i)
        tail = tail->rbnext = acutNewRb(RTLB);
    EXPECT_THROW(lisp::listFromResbuf(head), lisp::EvalError);
    acutRelRb(head);
}

TEST_F(CommandLineTest, DeepNestingIsAnErrorAndTheCommandLineGoesOn)
{
    std::string calls, quotes, open;
    for (int i = 0; i < 20000; ++i) {
        calls += "(list ";
        quotes += "'";
        open += "(";
    }
    calls += "1" + std::string(20000, ')');
    feed({calls, "'" + open + std::string(20000, ')'), quotes + "x", "(list 1 '(2 (3)))"});
    EXPECT_EQ(host::runCommandLoop(), 3);
    const std::string tooDeep = "; 错误: 嵌套太深";
    std::size_t errors = 0;
    for (std::size_t at = g_out.find(tooDeep); at != std::string::npos; at = g_out.find(tooDeep, at + 1))
        ++errors;
    EXPECT_EQ(errors, 3u) << g_out.substr(g_out.size() - 300);
    EXPECT_NE(g_out.find("\n(1 (2 (3)))\n"), std::string::npos) << g_out.substr(g_out.size() - 300);
}

// The reader's refusals (each checked in LispTest) reach the command line
// as errors; an integer beyond 32 bits is a real there.
TEST_F(CommandLineTest, NumberLiteralsOutOfRangeAreReportedAsErrors)
{
    feed({"(list 99999999999999999999)", "(list 1e400)", "(list 4294967296 2.5)"});
    EXPECT_EQ(host::runCommandLoop(), 2);
    EXPECT_NE(g_out.find("; 错误: 整数超出范围: 99999999999999999999"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("; 错误: 数值超出范围: 1e400"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("\n(4.29497e+09 2.5)\n"), std::string::npos) << g_out;
}

TEST_F(CommandLineTest, PointsOutOfRangeAreInvalidAndAskedAgain)
{
    feed({"1e308,-1e308", "@1e308,0", "1e400,0", "2,-1e309", "nan,0", "@-1e308,1e308"});
    ads_point p;
    ASSERT_EQ(acedGetPoint(nullptr, L"\n基点: ", p), RTNORM);
    EXPECT_EQ(p[0], 1e308);
    ASSERT_EQ(acedGetPoint(p, L"\n下一点: ", p), RTNORM);
    EXPECT_EQ(p[0], 0.0);
    EXPECT_EQ(p[1], 0.0);
    EXPECT_EQ(g_out, "基点: 1e308,-1e308\n下一点: @1e308,0\n点无效。\n下一点: 1e400,0\n点无效。\n"
                     "下一点: 2,-1e309\n点无效。\n下一点: nan,0\n需要点或选项关键字。\n下一点: @-1e308,1e308\n");
    // The last point taken is the last point; no refused one became it.
    resbuf last{};
    ASSERT_EQ(acedGetVar(L"LASTPOINT", &last), RTNORM);
    EXPECT_EQ(last.resval.rpoint[0], 0.0);
}

TEST_F(CommandLineTest, PointsNumbersAndInvalidRepliesAskedAgain)
{
    feed({"abc", "1,2", "@3,4", "", "2.5", "x", "40000", "-3"});
    ads_point p;
    ASSERT_EQ(acedGetPoint(nullptr, L"\n第一点: ", p), RTNORM);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], 2);
    ASSERT_EQ(acedGetPoint(p, L"\n下一点: ", p), RTNORM);
    EXPECT_EQ(p[0], 4);
    EXPECT_EQ(p[1], 6);
    EXPECT_EQ(acedGetPoint(nullptr, L"\n点: ", p), RTNONE);
    double r = 0;
    ASSERT_EQ(acedGetReal(L"\n值: ", &r), RTNORM);
    EXPECT_EQ(r, 2.5);
    int i = 0;
    acedInitGet(4, nullptr);
    ASSERT_EQ(acedGetInt(L"\n整数: ", &i), RTCAN); // "x", 40000, -3 refused; then the input ends
    EXPECT_EQ(g_out,
              "第一点: abc\n需要点或选项关键字。\n第一点: 1,2\n下一点: @3,4\n点: \n值: 2.5\n"
              "整数: x\n需要整数值或选项关键字。\n整数: 40000\n需要 -32768 和 32767 之间的整数。\n"
              "整数: -3\n值必须为正。\n整数: *取消*\n");
}

TEST_F(CommandLineTest, KeywordsByCapitalsOrCommaAndArbitraryInput)
{
    feed({"lt", "W", "width", "^C", "hello", "", "two words"});
    ads_point p;
    ACHAR kw[64];
    acedInitGet(0, L"LType Width,W");
    ASSERT_EQ(acedGetPoint(nullptr, L"\n点或 [线型(LT)/宽度(W)]: ", p), RTKWORD);
    acedGetInput(kw, 64);
    EXPECT_STREQ(kw, L"LType");
    acedInitGet(0, L"LType Width,W");
    ASSERT_EQ(acedGetPoint(nullptr, L"\n点: ", p), RTKWORD);
    acedGetInput(kw, 64);
    EXPECT_STREQ(kw, L"Width");
    // Options hold for one call only.
    EXPECT_EQ(acedGetPoint(nullptr, L"\n点: ", p), RTCAN); // "width" is no point; then ^C
    acedInitGet(128, nullptr);
    double r;
    ASSERT_EQ(acedGetReal(L"\n值: ", &r), RTKWORD);
    acedGetInput(kw, 64);
    EXPECT_STREQ(kw, L"hello");
    ACHAR s[64];
    ASSERT_EQ(acedGetString(1, L"\n文字: ", s, 64), RTNORM);
    EXPECT_STREQ(s, L"");
    ASSERT_EQ(acedGetString(1, L"\n文字: ", s, 64), RTNORM);
    EXPECT_STREQ(s, L"two words");
}

TEST_F(CommandLineTest, EventsWhileAPromptWaitsCanTypeAKeyword)
{
    host::setEventHandler([](const std::string& line) {
        if (line == "@click palette ok")
            acDocManager->sendStringToExecute(acDocManager->curDocument(), L"s ");
        return line == "@click palette ok";
    });
    feed({"@click palette ok", "@unknown"});
    acedInitGet(0, L"s");
    ads_point p;
    ASSERT_EQ(acedGetPoint(nullptr, L"\n请选择要绘制的符号<回车结束>: ", p), RTKWORD);
    ACHAR kw[16];
    acedGetInput(kw, 16);
    EXPECT_STREQ(kw, L"s");
    // The prompt is shown again after the event, then what the dialog typed.
    EXPECT_EQ(g_out, "请选择要绘制的符号<回车结束>: @click palette ok\n请选择要绘制的符号<回车结束>: s\n");
    // The end of input while a prompt waits is Esc.
    EXPECT_EQ(acedGetPoint(nullptr, L"\n点: ", p), RTCAN);
}

TEST_F(CommandLineTest, SystemVariablesAreTypedAndSomeLiveInTheDrawing)
{
    resbuf rb{};
    ASSERT_EQ(acedGetVar(L"osmode", &rb), RTNORM);
    EXPECT_EQ(rb.restype, RTSHORT);
    resbuf set{};
    set.restype = RTSHORT;
    set.resval.rint = 0;
    ASSERT_EQ(acedSetVar(L"OSMODE", &set), RTNORM);
    ASSERT_EQ(acedGetVar(L"OSMODE", &rb), RTNORM);
    EXPECT_EQ(rb.resval.rint, 0);
    set.restype = RTREAL;
    EXPECT_EQ(acedSetVar(L"OSMODE", &set), RTERROR);
    EXPECT_EQ(acedSetVar(L"DWGNAME", &set), RTERROR);
    EXPECT_EQ(acedGetVar(L"NOSUCHVAR", &rb), RTERROR);
    // CELTYPE is the drawing's current linetype and must exist.
    resbuf lt{};
    lt.restype = RTSTR;
    lt.resval.rstring = const_cast<ACHAR*>(L"continuous");
    ASSERT_EQ(acedSetVar(L"CELTYPE", &lt), RTNORM);
    EXPECT_EQ(acdbCurDwg()->headerString("$CELTYPE"), "Continuous");
    lt.resval.rstring = const_cast<ACHAR*>(L"NOSUCH");
    EXPECT_EQ(acedSetVar(L"CELTYPE", &lt), RTERROR);
    ASSERT_EQ(acedGetVar(L"CECOLOR", &rb), RTNORM);
    EXPECT_STREQ(rb.resval.rstring, L"BYLAYER");
    std::free(rb.resval.rstring);
}

// DIMSCALE is the drawing's $DIMSCALE, the scale drawings are plotted at:
// 1.0 until set, a positive (or 0) real, undone with the command that set it.
TEST_F(CommandLineTest, DimscaleIsTheDrawingsPrintScaleAndCanBeSet)
{
    feed({"(getvar \"dimscale\")", "(setvar \"dimscale\" 2.0)", "(getvar \"DIMSCALE\")", "(setvar \"dimscale\" 3)",
          "(getvar \"dimscale\")", "(setvar \"dimscale\" -1.0)", "(setvar \"dimscale\" \"2\")", "(getvar \"dimscale\")",
          "U", "(getvar \"dimscale\")"});
    EXPECT_EQ(host::runCommandLoop(), 2);
    EXPECT_NE(g_out.find("命令: (getvar \"dimscale\")\n1.0\n命令: (setvar \"dimscale\" 2.0)\n2.0\n"
                         "命令: (getvar \"DIMSCALE\")\n2.0\n"),
              std::string::npos)
        << g_out;
    EXPECT_NE(g_out.find("(setvar \"dimscale\" -1.0)\n; 错误: 拒绝修改变量: dimscale"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("(setvar \"dimscale\" \"2\")\n; 错误: 拒绝修改变量: dimscale"), std::string::npos) << g_out;
    // What was refused changed nothing; U takes back the last change.
    EXPECT_NE(g_out.find("(getvar \"dimscale\")\n3.0\n命令: U\n已放弃 1 组操作。\n命令: (getvar \"dimscale\")\n2.0\n"),
              std::string::npos)
        << g_out;
    EXPECT_EQ(std::atof(acdbCurDwg()->headerString("$DIMSCALE").c_str()), 2.0);
    // The value is written exactly.
    resbuf rb{};
    rb.restype = RTREAL;
    rb.resval.rreal = 0.1 + 0.2;
    ASSERT_EQ(acedSetVar(L"DIMSCALE", &rb), RTNORM);
    resbuf back{};
    ASSERT_EQ(acedGetVar(L"dimscale", &back), RTNORM);
    EXPECT_EQ(back.restype, RTREAL);
    EXPECT_EQ(back.resval.rreal, 0.1 + 0.2);
}

TEST_F(CommandLineTest, CommandLoopRunsLispAndHostCommandsAndGoesOnAfterErrors)
{
    testutil::TempDir dir;
    feed({"(getvar \"PICKBOX\")", "(nosuch 1)", "(getvar", "\"LUPREC\")", "FROB", "(setvar \"CELTYPE\" \"Continuous\")",
          "U", "(getvar \"celtype\")", "U", "U", "SAVEAS " + dir.file("a.dxf"), "QUIT", "(getvar \"never\")"});
    const int errors = host::runCommandLoop();
    EXPECT_EQ(errors, 2);
    EXPECT_NE(g_out.find("命令: (getvar \"PICKBOX\")\n3\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("; 错误: 无函数定义: NOSUCH"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("(getvar\n\"LUPREC\")\n4\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("未知命令“FROB”。"), std::string::npos) << g_out;
    // The change of the current linetype is one group, taken back by U.
    EXPECT_NE(g_out.find("命令: U\n已放弃 1 组操作。\n命令: (getvar \"celtype\")\n\"ByLayer\"\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("没有可放弃的操作。"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("保存为: " + dir.file("a.dxf") + "\n已保存: "), std::string::npos) << g_out;
    EXPECT_EQ(g_out.find("never"), std::string::npos);
    AcDbDatabase saved(false);
    EXPECT_EQ(saved.readDwgFile(utf8ToWide(dir.file("a.dxf")).c_str()), Acad::eOk);
}

TEST_F(CommandLineTest, CommandLoopCanStopAtTheFirstError)
{
    const std::deque<std::string> lines = {"(getvar \"PICKBOX\")", "PLINE ^C", "(nosuch 1) (getvar \"LUPREC\")", "FROB"};
    feed(lines);
    EXPECT_EQ(host::runCommandLoop(true), 1);
    EXPECT_NE(g_out.find("命令: (getvar \"PICKBOX\")\n3\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("*取消*"), std::string::npos) << "Esc is no error: " << g_out;
    EXPECT_NE(g_out.find("; 错误: 无函数定义: NOSUCH\n"), std::string::npos) << g_out;
    EXPECT_EQ(g_out.find("\n4\n"), std::string::npos) << "the rest of the line is not run: " << g_out;
    EXPECT_EQ(g_out.find("FROB"), std::string::npos) << g_out;
    // Without stopping, everything runs; the loop forgets the last run's
    // choice.
    g_out.clear();
    feed(lines);
    EXPECT_EQ(host::runCommandLoop(), 2);
    EXPECT_NE(g_out.find("; 错误: 无函数定义: NOSUCH\n4\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("未知命令“FROB”"), std::string::npos) << g_out;
}

// HELP (or ?) lists what can be typed: the host's commands, the drawing
// commands, the LISP functions of the drawing and the built-in ones, the
// dialog events as the registered toolkit describes them; an unknown
// command points to it.
TEST_F(CommandLineTest, HelpListsCommandsFunctionsAndEvents)
{
    ASSERT_EQ(acedDefun(L"c:zhelptest", 7), RTNORM);
    host::setEventHelp([] {
        return std::vector<host::EventHelp>{{"@click DIALOG CONTROL", "left click at the control's centre"},
                                            {"@snapshot DIALOG FILE.png", "save a picture of the dialog"}};
    });
    feed({"HELP", "FROB", "?"});
    EXPECT_EQ(host::runCommandLoop(), 1);
    EXPECT_NE(g_out.find("未知命令“FROB”。输入 HELP 查看帮助。"), std::string::npos) << g_out;
    const std::size_t second = g_out.find("命令: ?\n");
    ASSERT_NE(second, std::string::npos) << g_out;
    const std::string first = g_out.substr(0, g_out.find("命令: FROB")), last = g_out.substr(second);
    for (const std::string& said : {first, last}) {
        const auto line = [&](const std::string& title) {
            const std::size_t at = said.find("\n" + title + ":");
            return at == std::string::npos ? std::string() : said.substr(at + 1, said.find('\n', at + 1) - at - 1);
        };
        EXPECT_NE(line("主机命令").find(" SAVEAS "), std::string::npos) << said;
        EXPECT_NE(line("主机命令").find(" HELP ?"), std::string::npos) << said;
        EXPECT_NE(line("绘图命令").find(" PLINE "), std::string::npos) << said;
        EXPECT_NE(line("本图形的 LISP 函数").find(" (c:zhelptest)"), std::string::npos) << said;
        EXPECT_NE(line("对话框事件").find(" @click "), std::string::npos) << said;
        EXPECT_NE(line("对话框事件").find(" @snapshot"), std::string::npos) << said;
        EXPECT_NE(said.find("\n  @click DIALOG CONTROL: left click at the control's centre\n"), std::string::npos)
            << said;
        const std::string builtins = line("内置 LISP 函数");
        EXPECT_NE(builtins.find(" (getvar) "), std::string::npos) << said;
    }
    // Without a toolkit there are no events to list.
    host::setEventHelp(nullptr);
    g_out.clear();
    feed({"HELP"});
    host::runCommandLoop();
    EXPECT_NE(g_out.find("\n对话框事件: (无)\n"), std::string::npos) << g_out;
    // Every built-in function listed is one: none is unknown to LISP.
    for (const std::string& name : lisp::builtinNames()) {
        EXPECT_NE(first.find(" (" + name + ")"), std::string::npos) << name;
        try {
            lisp::eval(lisp::read("(" + name + ")")[0]);
        } catch (const lisp::EvalError& e) {
            EXPECT_EQ(std::string(e.what()).find("无函数定义"), std::string::npos) << name << ": " << e.what();
        }
    }
}

TEST_F(CommandLineTest, EscWhileADialogWaitsIsHandedToIt)
{
    feed({"stray text", " ^C ", "@list"});
    std::string line;
    ASSERT_TRUE(host::readEventLine(line));
    EXPECT_EQ(line, "^C");
    ASSERT_TRUE(host::readEventLine(line));
    EXPECT_EQ(line, "@list");
    EXPECT_FALSE(host::readEventLine(line));
    EXPECT_EQ(g_out, "对话框打开时忽略输入: stray text\n^C\n@list\n");
}

TEST_F(CommandLineTest, OpenReportsWhatRecoverModeRepairedAndWritesNothing)
{
    testutil::TempDir dir;
    AcDbDatabase made;
    AcDbInternals::modelSpace(made)->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)));
    std::string text = made.dxfOut();
    // The LAYER table's end and the file's end marker are missing.
    text.erase(text.find("  0\nENDTAB\n", text.find("  2\nLAYER\n")), std::strlen("  0\nENDTAB\n"));
    text.erase(text.rfind("  0\nEOF\n"));
    testutil::writeFile(dir.file("damaged.dxf"), text);
    testutil::writeFile(dir.file("bad.dxf"), text.substr(0, text.find("AcDbLine")));
    feed({"OPEN " + dir.file("damaged.dxf"), "OPEN " + dir.file("bad.dxf"), "OPEN " + dir.file("damaged.dxf")});
    EXPECT_EQ(host::runCommandLoop(), 1);
    const std::string report = "图形已损坏, 已按恢复模式打开: " + dir.file("damaged.dxf")
                             + "\n修复了:\n  the LAYER table is not closed: its ENDTAB is missing before line ";
    EXPECT_NE(g_out.find(report), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("  the EOF marker at the end of the file is missing\n图形尚未保存"), std::string::npos) << g_out;
    // Damage beyond repair is refused with the file and line.
    EXPECT_NE(g_out.find("无法打开图形: " + dir.file("bad.dxf") + ", line "), std::string::npos) << g_out;
    // The drawing is open, marked recovered; its file is as it was.
    ASSERT_EQ(acDocManager->documentCount(), 3);
    const AcDbDatabase* db = acDocManager->curDocument()->database();
    EXPECT_TRUE(db->isRecovered());
    EXPECT_EQ(AcDbInternals::modelSpace(*db)->entityIds().size(), 1u);
    EXPECT_EQ(testutil::readFile(dir.file("damaged.dxf")), text);
    // Saved, it is an ordinary drawing.
    feed({"SAVE"});
    host::runCommandLoop();
    EXPECT_FALSE(acDocManager->curDocument()->database()->isRecovered());
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDwgFile(utf8ToWide(dir.file("damaged.dxf")).c_str()), Acad::eOk);
    EXPECT_FALSE(again.isRecovered());
}

TEST_F(CommandLineTest, SaveOfANumberNoFileMayHoldFailsWithAMessageAndKeepsTheFile)
{
    testutil::TempDir dir;
    const std::string path = dir.file("a.dxf");
    feed({"SAVEAS " + path});
    ASSERT_EQ(host::runCommandLoop(), 0) << g_out;
    const std::string old = testutil::readFile(path);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    ASSERT_EQ(AcDbInternals::modelSpace(*acdbCurDwg())->appendAcDbEntity(line), Acad::eOk);
    testutil::pokePointField(*line, 11, 1, std::numeric_limits<double>::quiet_NaN());
    g_out.clear();
    feed({"SAVE"});
    EXPECT_EQ(host::runCommandLoop(), 1);
    EXPECT_NE(g_out.find("保存失败: cannot save " + path + ": LINE (handle " + dxf::formatHandle(line->handle())
                         + "), group code 21: nan is not a finite number\n"),
              std::string::npos)
        << g_out;
    EXPECT_EQ(g_out.find("已保存"), std::string::npos) << g_out;
    EXPECT_EQ(testutil::readFile(path), old);
}

TEST_F(CommandLineTest, UnbalancedExpressionAtTheEndIsReported)
{
    feed({"(getvar \"osmode\""});
    EXPECT_EQ(host::runCommandLoop(), 1);
    EXPECT_NE(g_out.find("; 错误: 输入意外结束"), std::string::npos) << g_out;
}

} // namespace

namespace {

TEST_F(CommandLineTest, EntSelPicksUnderThePickBoxOrSaysWhy)
{
    AcDbObjectId line;
    AcDbInternals::modelSpace(*acdbCurDwg())->appendAcDbEntity(line, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(100, 0, 0)));
    // The pick box is 3 pixels of a 768-pixel view 297 units high.
    feed({"50,1", "50,5", "", "1,1"});
    ads_name picked;
    ads_point at;
    ASSERT_EQ(acedEntSel(L"\n选择对象: ", picked, at), RTNORM);
    AcDbObjectId id;
    ASSERT_EQ(acdbGetObjectId(id, picked), Acad::eOk);
    EXPECT_EQ(id, line);
    EXPECT_EQ(at[1], 1.0);
    resbuf err{};
    EXPECT_EQ(acedEntSel(L"\n选择对象: ", picked, at), RTERROR);
    acedGetVar(L"ERRNO", &err);
    EXPECT_EQ(err.resval.rint, 7);
    EXPECT_EQ(acedEntSel(L"\n选择对象: ", picked, at), RTERROR);
    acedGetVar(L"ERRNO", &err);
    EXPECT_EQ(err.resval.rint, 52);
    // An erased entity is not picked.
    ads_name lineName;
    acdbGetAdsName(lineName, line);
    ASSERT_EQ(acdbEntDel(lineName), RTNORM);
    EXPECT_EQ(acedEntSel(L"\n选择对象: ", picked, at), RTERROR);
}

TEST_F(CommandLineTest, LispArgumentsOfTheWrongTypeAreReported)
{
    feed({"(getvar 1)", "(setvar \"osmode\" \"x\")", "(atoms-family 1 2)", "'(1 2)", "(1 2)"});
    EXPECT_EQ(host::runCommandLoop(), 4);
    EXPECT_NE(g_out.find("; 错误: 参数类型错误: stringp 1 (getvar)"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("; 错误: 拒绝修改变量: osmode"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("'(1 2)\n(1 2)\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("; 错误: 函数错误: 1"), std::string::npos) << g_out;
}

} // namespace

namespace {

const std::string kSaveQuestion = "是否将改动保存到 ";

// A drawing change typed at the command line: a polyline of one segment.
const std::deque<std::string> kDrawSomething = {"PLINE 0,0 10,0", ""};

std::deque<std::string> afterDrawing(std::deque<std::string> lines)
{
    lines.insert(lines.begin(), kDrawSomething.begin(), kDrawSomething.end());
    return lines;
}

std::size_t countOf(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// Esc at the command prompt and in an expression that goes on over lines
// cancels; it is no error and no unknown command.
TEST_F(CommandLineTest, EscAtTheCommandPromptOrInAnOpenExpressionCancels)
{
    feed({"^C", "(getvar", " ^C", "(getvar \"pickbox\")"});
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_EQ(g_out.find("未知命令"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("命令: ^C\n*取消*\n命令: (getvar\n ^C\n*取消*\n命令: (getvar \"pickbox\")\n3\n"), std::string::npos)
        << g_out;
    // Esc where a file name is asked saves nothing.
    g_out.clear();
    feed({"SAVEAS", "^C"});
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_NE(g_out.find("保存为: ^C\n*取消*\n"), std::string::npos) << g_out;
    EXPECT_EQ(g_out.find("已保存"), std::string::npos) << g_out;
}

// QUIT on a drawing with changes asks whether to save them: Cancel, Esc
// and an invalid reply (asked again) keep the session; No quits without
// saving. A drawing without changes is not asked about.
TEST_F(CommandLineTest, QuitAsksAboutChangesAndCancelKeepsTheSession)
{
    feed({"QUIT", "(getvar \"never\")"});
    host::runCommandLoop();
    EXPECT_TRUE(host::quitRequested());
    EXPECT_EQ(g_out.find(kSaveQuestion), std::string::npos) << "no changes: " << g_out;
    host::resetQuit();

    g_out.clear();
    feed(afterDrawing({"QUIT", "C", "(getvar \"pickbox\")", "EXIT", "^C", "QUIT x", "N", "(getvar \"never\")"}));
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_TRUE(host::quitRequested());
    EXPECT_NE(g_out.find("命令: QUIT\n" + kSaveQuestion + "Drawing1.dwg？[是(Y)/否(N)/取消(C)] <是>: C\n命令: (getvar "
                         "\"pickbox\")\n3\n"),
              std::string::npos)
        << g_out;
    EXPECT_NE(g_out.find("<是>: ^C\n*取消*\n命令: QUIT x\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("<是>: x\n无效选项关键字。\n" + kSaveQuestion), std::string::npos) << g_out;
    EXPECT_EQ(countOf(g_out, kSaveQuestion), 4u) << g_out;
    EXPECT_EQ(g_out.find("never"), std::string::npos) << g_out;
    // Nothing was saved: the drawing still has its changes and no name.
    EXPECT_TRUE(acdbCurDwg()->isModified());
    EXPECT_TRUE(acdbCurDwg()->originalFileName().empty());
}

// Yes (Enter) saves: a drawing without a name under the name asked then,
// written whole through a temporary file; a named one under its name.
TEST_F(CommandLineTest, QuitWithYesSavesUnderTheNameAskedOrItsOwn)
{
    testutil::TempDir dir;
    const std::string path = dir.file("a.dxf");
    feed(afterDrawing({"QUIT", "", path}));
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_TRUE(host::quitRequested());
    EXPECT_NE(g_out.find("<是>: \n保存为: " + path + "\n已保存: " + path + "\n"), std::string::npos) << g_out;
    EXPECT_FALSE(acdbCurDwg()->isModified());
    host::resetQuit();

    g_out.clear();
    feed(afterDrawing({"QUIT Y"}));
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_TRUE(host::quitRequested());
    EXPECT_NE(g_out.find(kSaveQuestion + path + "？"), std::string::npos) << g_out;
    EXPECT_EQ(g_out.find("保存为"), std::string::npos) << "the drawing has a name: " << g_out;
    AcDbDatabase saved(false);
    ASSERT_EQ(saved.readDwgFile(utf8ToWide(path).c_str()), Acad::eOk);
    EXPECT_EQ(AcDbInternals::modelSpace(saved)->entityIds().size(), 2u);
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"a.dxf"}) << "no temporary file is left";
}

// A save that fails keeps the drawing open with its changes and says why;
// Esc at the name keeps it open too.
TEST_F(CommandLineTest, QuitWhoseSaveFailsOrIsCancelledKeepsTheDrawing)
{
    testutil::TempDir dir;
    feed(afterDrawing({"QUIT Y", dir.file("no/such/folder/a.dxf"), "QUIT", "Y", "^C", "(getvar \"pickbox\")"}));
    EXPECT_EQ(host::runCommandLoop(), 1) << g_out;
    EXPECT_FALSE(host::quitRequested());
    EXPECT_NE(g_out.find("保存失败: "), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("保存为: ^C\n*取消*\n命令: (getvar \"pickbox\")\n3\n"), std::string::npos) << g_out;
    EXPECT_TRUE(acdbCurDwg()->isModified());
    EXPECT_EQ(AcDbInternals::modelSpace(*acdbCurDwg())->entityIds().size(), 1u);
}

// With several drawings QUIT asks about each one with changes, the current
// one first; a Cancel at any keeps all open.
TEST_F(CommandLineTest, QuitAsksAboutEveryChangedDrawing)
{
    AcApDocument* first = acDocManager->curDocument();
    feed(kDrawSomething);
    host::runCommandLoop();
    acDocManager->newDocument();
    acDocManager->newDocument();
    feed(afterDrawing({"QUIT N", "C"}));
    host::runCommandLoop();
    EXPECT_FALSE(host::quitRequested());
    EXPECT_NE(g_out.find(kSaveQuestion + "Drawing3.dwg？[是(Y)/否(N)/取消(C)] <是>: N\n" + kSaveQuestion + "Drawing1.dwg？"),
              std::string::npos)
        << g_out;
    EXPECT_EQ(countOf(g_out, kSaveQuestion), 2u) << "Drawing2 has no changes: " << g_out;
    EXPECT_EQ(acDocManager->documentCount(), 3);
    EXPECT_TRUE(first->database()->isModified());
}

// CLOSE asks as QUIT does; the end of input at the question is Cancel.
// OPEN and NEW add a drawing and close none: they ask nothing.
TEST_F(CommandLineTest, CloseAsksAboutChangesOpenAndNewDoNot)
{
    testutil::TempDir dir;
    AcApDocument* doc = acDocManager->curDocument();
    feed(afterDrawing({"CLOSE", "C", "CLOSE"}));
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_EQ(countOf(g_out, kSaveQuestion), 2u) << g_out;
    EXPECT_EQ(acDocManager->documentCount(), 1);
    EXPECT_EQ(acDocManager->curDocument(), doc);

    g_out.clear();
    feed({"SAVEAS " + dir.file("a.dxf"), "PLINE 0,0 5,5", "", "NEW", "DOCUMENT 1", "OPEN " + dir.file("a.dxf"), "DOCUMENT 1",
          "CLOSE N"});
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_EQ(countOf(g_out, kSaveQuestion), 1u) << g_out;
    EXPECT_NE(g_out.find("命令: CLOSE N\n" + kSaveQuestion + dir.file("a.dxf") + "？"), std::string::npos) << g_out;
    EXPECT_EQ(acDocManager->documentCount(), 2);
    for (int i = 0; i < acDocManager->documentCount(); ++i)
        EXPECT_NE(acDocManager->document(i), doc);
    // The changes given up are not in the file.
    AcDbDatabase saved(false);
    ASSERT_EQ(saved.readDwgFile(utf8ToWide(dir.file("a.dxf")).c_str()), Acad::eOk);
    EXPECT_EQ(AcDbInternals::modelSpace(saved)->entityIds().size(), 1u);
}

// A script that ends with changes ends the session without a question.
TEST_F(CommandLineTest, EndOfAScriptAsksNothing)
{
    feed(kDrawSomething);
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_EQ(g_out.find(kSaveQuestion), std::string::npos) << g_out;
    EXPECT_FALSE(host::quitRequested());
}

// Lines as a terminal gives them: an empty entry is Ctrl-D (the end of
// input once), which at the command prompt is a QUIT; after the last line
// the input has ended for good.
class TerminalLines : public host::LineSource {
public:
    explicit TerminalLines(std::deque<std::optional<std::string>> lines) : m_lines(std::move(lines)) {}
    bool readLine(std::string& line, const std::string&) override
    {
        if (m_lines.empty())
            return false;
        const std::optional<std::string> next = m_lines.front();
        m_lines.pop_front();
        if (next)
            line = *next;
        return next.has_value();
    }
    bool echoes() const override { return false; }
    bool endIsQuit() const override { return !m_lines.empty(); }

private:
    std::deque<std::optional<std::string>> m_lines;
};

TEST_F(CommandLineTest, CtrlDAtATerminalQuitsAskingAboutChanges)
{
    TerminalLines unchanged({std::nullopt, "(getvar \"never\")"});
    host::setLineSource(&unchanged);
    host::runCommandLoop();
    EXPECT_TRUE(host::quitRequested());
    EXPECT_NE(g_out.find("命令: QUIT\n"), std::string::npos) << g_out;
    EXPECT_EQ(g_out.find(kSaveQuestion), std::string::npos) << g_out;
    host::resetQuit();

    g_out.clear();
    TerminalLines changed({"PLINE 0,0 10,0", "", std::nullopt, std::nullopt, "(getvar \"pickbox\")", std::nullopt, "N",
                           "(getvar \"never\")"});
    host::setLineSource(&changed);
    EXPECT_EQ(host::runCommandLoop(true), 0) << g_out;
    EXPECT_TRUE(host::quitRequested());
    // Ctrl-D at the question is Cancel.
    EXPECT_NE(g_out.find("命令: QUIT\n" + kSaveQuestion + "Drawing1.dwg？[是(Y)/否(N)/取消(C)] <是>: *取消*\n"),
              std::string::npos)
        << g_out;
    // What is typed is not echoed: the terminal shows it.
    EXPECT_NE(g_out.find("*取消*\n命令: 3\n命令: QUIT\n"), std::string::npos) << g_out;
    EXPECT_EQ(countOf(g_out, kSaveQuestion), 2u) << g_out;
    EXPECT_EQ(g_out.find("never"), std::string::npos) << g_out;
}


// ---------------------------------------------------------------- application commands

// An application command registered for one test (in a group of its
// name), removed when the object goes. Each runs in an undo group of the
// drawing current when it began.
class RegisteredCommand {
public:
    RegisteredCommand(const ACHAR* name, AcRxFunctionPtr fn) : m_name(name)
    {
        EXPECT_TRUE(acedRegCmds()->addCommand(name, name, name, 0, fn));
    }
    ~RegisteredCommand() { acedRegCmds()->removeGroup(m_name); }
    RegisteredCommand(const RegisteredCommand&) = delete;
    RegisteredCommand& operator=(const RegisteredCommand&) = delete;

private:
    const ACHAR* m_name;
};

void drawPoint()
{
    AcDbEntity* point = new AcDbPoint(AcGePoint3d(1, 2, 0));
    ASSERT_EQ(AcDbInternals::modelSpace(*acdbCurDwg())->appendAcDbEntity(point), Acad::eOk);
}

TEST_F(CommandLineTest, CommandThatThrowsLeftItsUndoGroupOpen)
{
    const RegisteredCommand command(L"DRAWANDTHROW", [] {
        drawPoint();
        throw std::runtime_error("the command failed");
    });
    AcDbDatabase* db = acdbCurDwg();
    EXPECT_THROW(host::executeLine("DRAWANDTHROW"), std::runtime_error);
    EXPECT_EQ(AcDbInternals::journal(*db).depth(), 0);
    EXPECT_FALSE(AcDbInternals::journal(*db).isGroupOpen());
    // What it drew is one group, taken back by U.
    EXPECT_EQ(AcDbInternals::journal(*db).groupCount(), 1);
}

// A command may make another drawing current or close its own: its group
// ends in the drawing it began in, or went with that drawing.
TEST_F(CommandLineTest, CommandThatSwitchedDrawingsLeftItsUndoGroupOpen)
{
    const RegisteredCommand opens(L"DRAWANDOPEN", [] {
        drawPoint();
        acDocManager->newDocument();
    });
    AcDbDatabase* first = acdbCurDwg();
    host::executeLine("DRAWANDOPEN");
    ASSERT_NE(acdbCurDwg(), first);
    EXPECT_EQ(AcDbInternals::journal(*first).depth(), 0);
    EXPECT_FALSE(AcDbInternals::journal(*first).isGroupOpen());
    EXPECT_EQ(AcDbInternals::journal(*acdbCurDwg()).depth(), 0);

    const RegisteredCommand closes(L"DRAWANDCLOSE", [] {
        drawPoint();
        acDocManager->closeDocument(acDocManager->curDocument());
    });
    host::executeLine("DRAWANDCLOSE");
    EXPECT_EQ(acDocManager->documentCount(), 1);
    ASSERT_EQ(acdbCurDwg(), first);
    EXPECT_EQ(AcDbInternals::journal(*first).depth(), 0);
}

} // namespace
