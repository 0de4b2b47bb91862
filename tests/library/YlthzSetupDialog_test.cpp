// The circuit-parameter dialog driven as the user drives it: the texts it
// is given show unchanged, each spin control steps its own row by the row's
// step and never below the row's lowest value, OK takes the four texts
// and refuses an empty one, Cancel ends the dialog.
#include "library/YlthzSetupDialog.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

class YlthzSetupDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        RegisterYlthzSetupTemplate();
        ui::setEventSource(&events);
        ui::setOutputSink(&out);
    }
    void TearDown() override { ui::reset(); }

    void feed(std::initializer_list<std::string> lines)
    {
        for (const auto& line : lines)
            events.add(line);
    }
    bool printed(const std::string& text) const { return out.text().find(text) != std::string::npos; }
    static size_t count(const std::string& text, const std::string& what)
    {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
            ++n;
        return n;
    }

    // The texts the palette hands over by default.
    static void setDefaults(CYlthzSetupDialog& dlg)
    {
        dlg.m_strXdis = L"30.0";
        dlg.m_strYdis = L"20.0";
        dlg.m_strMxkd = L"0.30";
        dlg.m_strMxBl = L"1.0";
    }

    ui::LineEventSource events;
    ui::StringOutputSink out;
};

TEST_F(YlthzSetupDialogTest, OpensWithTheGivenTextsUnformatted)
{
    feed({"@list circuitparams", "@click circuitparams ok"});
    CYlthzSetupDialog dlg;
    setDefaults(dlg);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(printed("dialog 21697 circuitparams \"回路参数\" modal shown active")) << out.text();
    EXPECT_TRUE(printed("21883 x-spacing edit \"30.0\"")) << out.text();
    EXPECT_TRUE(printed("21934 y-spacing edit \"20.0\"")) << out.text();
    EXPECT_TRUE(printed("21939 wire-width edit \"0.30\"")) << out.text();
    EXPECT_TRUE(printed("21945 scale edit \"1.0\"")) << out.text();
    EXPECT_TRUE(printed("1 ok default-button \"确定\"")) << out.text();
    EXPECT_TRUE(printed("2 cancel button \"取消\"")) << out.text();
    EXPECT_EQ(dlg.m_strXdis, L"30.0");
    EXPECT_EQ(dlg.m_strYdis, L"20.0");
    EXPECT_EQ(dlg.m_strMxkd, L"0.30");
    EXPECT_EQ(dlg.m_strMxBl, L"1.0");
    EXPECT_EQ(events.remaining(), 0u);
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(YlthzSetupDialogTest, UpRaisesEachRowByItsOwnStep)
{
    feed({"@spin circuitparams x-spacing-spin up", "@spin circuitparams y-spacing-spin up",
          "@spin circuitparams wire-width-spin up", "@spin circuitparams scale-spin up", "@list circuitparams",
          "@click circuitparams ok"});
    CYlthzSetupDialog dlg;
    setDefaults(dlg);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    // The boxes show the new values while the dialog is open, and OK takes
    // them.
    EXPECT_TRUE(printed("21883 x-spacing edit \"30.50\"")) << out.text();
    EXPECT_TRUE(printed("21945 scale edit \"2.0\"")) << out.text();
    EXPECT_EQ(dlg.m_strXdis, L"30.50");
    EXPECT_EQ(dlg.m_strYdis, L"20.50");
    EXPECT_EQ(dlg.m_strMxkd, L"0.40");
    EXPECT_EQ(dlg.m_strMxBl, L"2.0");
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(YlthzSetupDialogTest, DownLowersAndStopsAtTheLowestValue)
{
    // Each press counts, also once the spin's own position is at an end of
    // its range.
    feed({"@spin circuitparams x-spacing-spin down 3", "@spin circuitparams y-spacing-spin down",
          "@spin circuitparams y-spacing-spin down", "@spin circuitparams wire-width-spin down",
          "@spin circuitparams scale-spin down", "@click circuitparams ok"});
    CYlthzSetupDialog dlg;
    dlg.m_strXdis = L"30.0";
    dlg.m_strYdis = L"0.2";
    dlg.m_strMxkd = L"0.05";
    dlg.m_strMxBl = L"1.5";
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strXdis, L"28.50");
    EXPECT_EQ(dlg.m_strYdis, L"0.00");
    EXPECT_EQ(dlg.m_strMxkd, L"0.00");
    EXPECT_EQ(dlg.m_strMxBl, L"1.0");

    // Many presses up from the top of the spin's range still raise the text.
    out.clear();
    feed({"@spin circuitparams x-spacing-spin +4", "@spin circuitparams scale-spin -2", "@click circuitparams ok"});
    CYlthzSetupDialog again;
    setDefaults(again);
    again.m_strMxBl = L"5";
    EXPECT_EQ(again.DoModal(), IDOK);
    EXPECT_EQ(again.m_strXdis, L"32.00");
    EXPECT_EQ(again.m_strMxBl, L"3.0");
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(YlthzSetupDialogTest, SpinReadsTheLeadingNumberOfTheText)
{
    // What the user typed is read as far as it is a number; text that does
    // not start with one counts as 0 (and then as the lowest value).
    feed({"@spin circuitparams x-spacing-spin up", "@spin circuitparams y-spacing-spin up",
          "@spin circuitparams wire-width-spin down", "@spin circuitparams scale-spin down",
          "@click circuitparams ok"});
    CYlthzSetupDialog dlg;
    dlg.m_strXdis = L"x12";
    dlg.m_strYdis = L"7.5m";
    dlg.m_strMxkd = L"-.5";
    dlg.m_strMxBl = L"";
    // The spin has put the lowest scale into the empty box, so OK goes
    // through.
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strXdis, L"0.50");
    EXPECT_EQ(dlg.m_strYdis, L"8.00");
    EXPECT_EQ(dlg.m_strMxkd, L"0.00");
    EXPECT_EQ(dlg.m_strMxBl, L"1.0");

    // Typed text is stepped from what was typed.
    out.clear();
    feed({"@type circuitparams y-spacing \"12.3\"", "@spin circuitparams y-spacing-spin down",
          "@click circuitparams ok"});
    CYlthzSetupDialog typed;
    setDefaults(typed);
    EXPECT_EQ(typed.DoModal(), IDOK);
    EXPECT_EQ(typed.m_strYdis, L"11.80");
    EXPECT_EQ(typed.m_strXdis, L"30.0");
    EXPECT_FALSE(printed("** ")) << out.text();
}

TEST_F(YlthzSetupDialogTest, OkRefusesAnEmptyTextAndStaysOpen)
{
    // Each of the four boxes in turn is emptied, OK is refused with a
    // message box, and OK goes through once the box is filled again.
    const std::string boxes[] = {"x-spacing", "y-spacing", "wire-width", "scale"};
    for (const std::string& box : boxes) {
        SCOPED_TRACE("edit box " + box);
        out.clear();
        feed({"@type circuitparams " + box + " \"\"", "@click circuitparams ok", "@msgbox ok", "@list circuitparams",
              "@type circuitparams " + box + " \"4.5\"", "@click circuitparams ok"});
        CYlthzSetupDialog dlg;
        setDefaults(dlg);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(count(out.text(), "MessageBox \"回路参数\": 数据不能为空 [OK]"), 1u) << out.text();
        // Still open after the box was answered.
        EXPECT_TRUE(printed(" " + box + " edit \"\"")) << out.text();
        EXPECT_EQ(events.remaining(), 0u);
        EXPECT_FALSE(printed("** ")) << out.text();

        const CString expected[] = {
            box == "x-spacing" ? L"4.5" : L"30.0",
            box == "y-spacing" ? L"4.5" : L"20.0",
            box == "wire-width" ? L"4.5" : L"0.30",
            box == "scale" ? L"4.5" : L"1.0",
        };
        EXPECT_EQ(dlg.m_strXdis, expected[0]);
        EXPECT_EQ(dlg.m_strYdis, expected[1]);
        EXPECT_EQ(dlg.m_strMxkd, expected[2]);
        EXPECT_EQ(dlg.m_strMxBl, expected[3]);
    }

    // Enter is the OK button: the same refusal.
    out.clear();
    feed({"@type circuitparams scale \"\"", "@key circuitparams enter", "@msgbox ok", "@click circuitparams cancel"});
    CYlthzSetupDialog dlg;
    setDefaults(dlg);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(printed("数据不能为空")) << out.text();
}

TEST_F(YlthzSetupDialogTest, OkRefusesANumberTooLargeAndStaysOpen)
{
    // Texts handed over that no double holds: OK is refused with a message
    // box, each time, until the box holds a number again.
    const std::string boxes[] = {"x-spacing", "y-spacing", "wire-width", "scale"};
    const wchar_t* const damaged[] = {L"1e999", L"inf", L"nan", L"-1e400"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("edit box " + boxes[i]);
        out.clear();
        feed({"@click circuitparams ok", "@msgbox ok", "@click circuitparams ok", "@msgbox ok",
              "@type circuitparams " + boxes[i] + " \"7\"", "@click circuitparams ok"});
        CYlthzSetupDialog dlg;
        setDefaults(dlg);
        CString* texts[] = {&dlg.m_strXdis, &dlg.m_strYdis, &dlg.m_strMxkd, &dlg.m_strMxBl};
        *texts[i] = damaged[i];
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(count(out.text(), "MessageBox \"回路参数\": 数据超出范围 [OK]"), 2u) << out.text();
        EXPECT_EQ(*texts[i], L"7");
        EXPECT_EQ(events.remaining(), 0u);
        EXPECT_FALSE(printed("** ")) << out.text();
    }

    // 320 digits typed: the box takes the first 308, the rest is refused
    // as it is typed, and OK takes a finite number.
    out.clear();
    feed({"@type circuitparams scale \"" + std::string(320, '9') + "\"", "@click circuitparams ok"});
    CYlthzSetupDialog typed;
    setDefaults(typed);
    EXPECT_EQ(typed.DoModal(), IDOK);
    EXPECT_EQ(typed.m_strMxBl, CString(std::wstring(308, L'9').c_str()));
    EXPECT_EQ(count(out.text(), "unacceptable character '9'"), 12u) << out.text();
    EXPECT_FALSE(printed("数据超出范围")) << out.text();
}

TEST_F(YlthzSetupDialogTest, CancelEndsWithIdcancelAndKeepsTheGivenTexts)
{
    feed({"@spin circuitparams x-spacing-spin up", "@type circuitparams wire-width \"0.7\"",
          "@click circuitparams cancel"});
    CYlthzSetupDialog dlg;
    setDefaults(dlg);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_strXdis, L"30.0");
    EXPECT_EQ(dlg.m_strMxkd, L"0.30");
    EXPECT_EQ(events.remaining(), 0u);

    // Esc and the close box cancel too, and so does the end of the input.
    for (const char* line : {"@key circuitparams esc", "@close circuitparams"}) {
        SCOPED_TRACE(line);
        feed({"@spin circuitparams scale-spin up", line});
        CYlthzSetupDialog closed;
        setDefaults(closed);
        EXPECT_EQ(closed.DoModal(), IDCANCEL);
        EXPECT_EQ(closed.m_strMxBl, L"1.0");
        EXPECT_EQ(events.remaining(), 0u);
    }
    CYlthzSetupDialog unanswered;
    setDefaults(unanswered);
    EXPECT_EQ(unanswered.DoModal(), IDCANCEL);
    EXPECT_FALSE(printed("** ")) << out.text();
}

} // namespace
