// Slides painted into device contexts: libraries opened by name, preview
// grids, slides fitted into cells, the reversible selection mark, bitmaps
// of library slides and of drawings; and the numeric edit boxes.
#include "components/NorvexGloClass.h"
#include "components/NorvexGloFunc.h"
#include "components/NorvexSldManger.h"
#include "components/slide/SlideLibrary.h"
#include "components/slide/SlideWriter.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sys/stat.h>

using namespace ctrlsch::slide;

namespace {

// A slide whose screen is filled by a red diagonal from lower left to
// upper right and a green triangle in the lower right corner.
std::vector<std::uint8_t> diagonalSlide()
{
    SlideWriter w(200, 200);
    w.addSegment({0, 0}, {100, 100}, 1);
    w.addFill({{60, 0}, {100, 0}, {100, 40}}, 3);
    auto b = w.bytes();
    EXPECT_TRUE(b.ok());
    return b.value();
}

std::string writeLibrary(const testutil::TempDir& dir, int slides)
{
    SlideLibraryWriter w;
    for (int i = 0; i < slides; ++i)
        EXPECT_TRUE(w.add("S" + std::to_string(i), diagonalSlide()).ok());
    const std::string path = dir.file("LIB.SLB");
    EXPECT_TRUE(w.writeFile(path).ok());
    return path;
}

// A memory context on a fresh bitmap.
struct Canvas {
    Canvas(int w, int h)
    {
        bitmap.CreateBitmap(w, h);
        dc.CreateCompatibleDC(nullptr);
        dc.SelectObject(&bitmap);
        dc.FillSolidRect(0, 0, w, h, RGB(1, 2, 3));
    }
    std::vector<COLORREF> pixels() const
    {
        std::vector<COLORREF> out;
        const CSize s = bitmap.GetSize();
        for (int y = 0; y < s.cy; ++y)
            for (int x = 0; x < s.cx; ++x)
                out.push_back(bitmap.GetPixel(x, y));
        return out;
    }
    int count(COLORREF c, CRect r) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += bitmap.GetPixel(x, y) == c;
        return n;
    }
    CBitmap bitmap;
    CDC dc;
};

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);

} // namespace

TEST(SlbMan, OpensALibraryAndHandsOutSlidesByName)
{
    testutil::TempDir dir;
    const std::string path = writeLibrary(dir, 2);
    CSlbMan man;
    EXPECT_FALSE(man.OnOpenDocument(utf8ToWide(dir.file("none.slb")).c_str()));
    EXPECT_EQ(man.GetSlideSize(L"S0"), 0) << "nothing is open";

    // Backslashes name folders as well.
    std::wstring winPath = utf8ToWide(path);
    std::replace(winPath.begin(), winPath.end(), L'/', L'\\');
    ASSERT_TRUE(man.OnOpenDocument(winPath.c_str()));
    const auto expected = diagonalSlide();
    EXPECT_EQ(man.GetSlideSize(L"s1"), static_cast<long>(expected.size())) << "names in any case";
    EXPECT_EQ(man.GetSlideSize(L"S9"), 0);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(man.GetSlideSize(L"S1")));
    ASSERT_TRUE(man.GetSlideData(L"S1", buffer.data()));
    EXPECT_EQ(buffer, expected);
    EXPECT_FALSE(man.GetSlideData(L"S9", buffer.data()));

    // A file that is not a library does not open.
    testutil::writeFile(dir.file("bad.slb"), "AutoCAD Slide Library 1.0\r\n\x1a");
    EXPECT_FALSE(man.OnOpenDocument(utf8ToWide(dir.file("bad.slb")).c_str()));
}

// A library that is there but cannot be read says why; a missing one does
// not (the dialogs stay silent about it).
TEST(SlbMan, ALibraryThatIsAFolderDoesNotOpenAndSaysWhy)
{
    testutil::TempDir dir;
    ::mkdir(dir.file("G-mx.slb").c_str(), 0755);
    CSlbMan man;
    EXPECT_FALSE(man.OnOpenDocument(utf8ToWide(dir.file("G-mx.slb")).c_str()));
    EXPECT_EQ(wideToUtf8(man.ReadError()), dir.file("G-mx.slb") + ": a folder, not a file");
    CSlideLibraryData data;
    EXPECT_LT(data.ReadDataFromFileW(utf8ToWide(dir.file("G-mx.slb")).c_str()), 0);
    EXPECT_EQ(data.ReadError(), man.ReadError());
    EXPECT_EQ(data.GetSlideCount(), 0);
    EXPECT_FALSE(man.OnOpenDocument(utf8ToWide(dir.file("none.slb")).c_str()));
    EXPECT_TRUE(man.ReadError().empty());
    ASSERT_TRUE(man.OnOpenDocument(utf8ToWide(writeLibrary(dir, 1)).c_str()));
    EXPECT_TRUE(man.ReadError().empty());
}

TEST(Graph, GridLinesOnBlackAndNoDivisionByZero)
{
    Canvas c(130, 100);
    CGraph g;
    g.m_pDC = &c.dc;
    const CRect rect(10, 10, 130, 100); // 120 x 90: 3 x 3 cells of 40 x 30
    g.DrawGrid(rect, 3, 3, rect.left, rect.top);
    EXPECT_EQ(c.bitmap.GetPixel(5, 5), RGB(1, 2, 3)) << "outside the rectangle";
    const COLORREF line = c.bitmap.GetPixel(50, 20);
    EXPECT_NE(line, RGB(0, 0, 0)) << "column line at x = 10 + 40";
    EXPECT_EQ(c.bitmap.GetPixel(30, 25), RGB(0, 0, 0)) << "inside a cell";
    EXPECT_EQ(c.bitmap.GetPixel(30, 40), line) << "row line at y = 10 + 30";
    EXPECT_EQ(c.bitmap.GetPixel(90, 70), line);

    // Degenerate grids draw without dividing by zero.
    g.DrawGrid(rect, 0, -1, rect.left, rect.top);
    g.HighLightBlock(rect, 0, 0, 0, 0);
    g.DrawGrid(CRect(0, 0, 2, 2), 6, 6, 0, 0);
    g.HighLightBlock(CRect(0, 0, 2, 2), 6, 6, 0, 3);
}

TEST(Graph, SlidesAreFittedIntoTheirCellInTheirColours)
{
    Canvas c(100, 60);
    CGraph g;
    g.m_pDC = &c.dc;
    g.DrawGrid(CRect(0, 0, 100, 60), 2, 1, 0, 0);
    const auto bytes = diagonalSlide();
    ASSERT_TRUE(g.Draw(bytes.data(), static_cast<long>(bytes.size()), 50, 60, 50, 0, 0, 0));
    // The square screen fits 46 x 46 pixels centred in the 50 x 60 cell:
    // from (52, 7) to (98, 53); the diagonal runs up to the right.
    EXPECT_EQ(c.bitmap.GetPixel(52, 53), kRed);
    EXPECT_EQ(c.bitmap.GetPixel(98, 7), kRed);
    EXPECT_EQ(c.bitmap.GetPixel(75, 30), kRed);
    EXPECT_GT(c.count(kGreen, CRect(80, 35, 99, 54)), 50) << "the filled triangle";
    EXPECT_EQ(c.count(kRed, CRect(0, 0, 50, 60)) + c.count(kGreen, CRect(0, 0, 50, 60)), 0)
        << "nothing outside the cell";

    // Damaged bytes draw nothing.
    const auto before = c.pixels();
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 20);
    EXPECT_FALSE(g.Draw(cut.data(), static_cast<long>(cut.size()), 50, 60, 0, 0));
    EXPECT_FALSE(g.Draw(nullptr, 10, 50, 60, 0, 0));
    EXPECT_EQ(c.pixels(), before);
}

TEST(Graph, TheSelectionMarkIsUndoneByMarkingTheSameCellAgain)
{
    Canvas c(120, 120);
    CGraph g;
    g.m_pDC = &c.dc;
    const CRect rect(0, 0, 120, 120);
    g.DrawGrid(rect, 3, 3, 0, 0);
    const auto bytes = diagonalSlide();
    g.Draw(bytes.data(), static_cast<long>(bytes.size()), 40, 40, 40, 40);
    const auto clean = c.pixels();

    g.HighLightBlock(rect, 3, 3, 1, 13); // page 1 holds 9..17: slot 4, the centre cell
    const auto marked = c.pixels();
    EXPECT_NE(marked, clean);
    EXPECT_NE(c.bitmap.GetPixel(42, 60), RGB(0, 0, 0)) << "frame inside the centre cell";
    EXPECT_EQ(c.bitmap.GetPixel(10, 60), RGB(0, 0, 0)) << "other cells untouched";
    EXPECT_EQ(c.bitmap.GetPixel(40, 60), clean[60 * 120 + 40]) << "cell lines untouched";
    g.HighLightBlock(rect, 3, 3, 1, 13);
    EXPECT_EQ(c.pixels(), clean);

    // An index on another page, or negative, marks nothing.
    g.HighLightBlock(rect, 3, 3, 0, 13);
    g.HighLightBlock(rect, 3, 3, 1, -1);
    EXPECT_EQ(c.pixels(), clean);
}

TEST(SlideLibraryData, BitmapsOfSlidesByPosition)
{
    testutil::TempDir dir;
    CSlideLibraryData data;
    EXPECT_LT(data.ReadDataFromFileW(utf8ToWide(dir.file("G-mx.slb")).c_str()), 0);
    EXPECT_EQ(data.MakeBitMapFromIndex(0, 40, 40), nullptr);

    ASSERT_EQ(data.ReadDataFromFileW(utf8ToWide(writeLibrary(dir, 3)).c_str()), 3);
    EXPECT_EQ(data.GetSlideCount(), 3);
    EXPECT_EQ(data.MakeBitMapFromIndex(3, 40, 40), nullptr);
    EXPECT_EQ(data.MakeBitMapFromIndex(-1, 40, 40), nullptr);
    EXPECT_EQ(data.MakeBitMapFromIndex(0, 0, 40), nullptr);
    std::unique_ptr<CBitmap> bmp(data.MakeBitMapFromIndex(2, 60, 40));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->GetSize(), CSize(60, 40));
    EXPECT_EQ(bmp->GetPixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(bmp->GetPixel(30, 20), kRed) << "the diagonal crosses the centre";
}

TEST(DrawingPreview, ADrawingIsDrawnIntoABitmap)
{
    testutil::TempDir dir;
    {
        AcDbDatabase db;
        auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(100, 0, 0));
        line->setColorIndex(1);
        AcDbInternals::modelSpace(db)->appendAcDbEntity(line);
        ASSERT_EQ(db.saveAs(utf8ToWide(dir.file("ZHKGB1.DXF")).c_str()), Acad::eOk);
    }
    // The host's ".dwg" names find the drawing whatever the case of ".DXF".
    std::unique_ptr<CBitmap> bmp(GetBitmapFromDwgFile(utf8ToWide(dir.path() + "\\ZHKGB1.DWG").c_str(), 100, 50));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->GetSize(), CSize(100, 50));
    int red = 0;
    for (int x = 0; x < 100; ++x)
        red += bmp->GetPixel(x, 25) == kRed;
    EXPECT_GT(red, 90) << "a horizontal line across the middle";

    EXPECT_EQ(GetBitmapFromDwgFile(utf8ToWide(dir.file("none.dwg")).c_str()), nullptr);
    testutil::writeFile(dir.file("bad.dxf"), "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nx\n");
    EXPECT_EQ(GetBitmapFromDwgFile(utf8ToWide(dir.file("bad.dwg")).c_str()), nullptr);
    {
        AcDbDatabase empty;
        ASSERT_EQ(empty.saveAs(utf8ToWide(dir.file("empty.dxf")).c_str()), Acad::eOk);
    }
    EXPECT_EQ(GetBitmapFromDwgFile(utf8ToWide(dir.file("empty.dxf")).c_str()), nullptr) << "no preview";
}

namespace {

class NumericEditTest : public ::testing::Test {
protected:
    enum { kDlg = 30501, kSigned = 11, kUnsigned = 12 };
    void SetUp() override
    {
        ui::reset();
        ui::setEventSource(&events);
        ui::setOutputSink(&out);
        ui::DialogTemplate t;
        t.id = kDlg;
        t.name = "numbers";
        t.cx = 100;
        t.cy = 60;
        t.controls = {{kSigned, ui::ControlKind::Edit, L"", {5, 5, 60, 12}},
                      {kUnsigned, ui::ControlKind::Edit, L"", {5, 25, 60, 12}}};
        ui::registerDialogTemplate(std::move(t));
        ASSERT_TRUE(dlg.Create(kDlg));
        ASSERT_TRUE(signedEdit.SubclassDlgItem(kSigned, &dlg));
        ASSERT_TRUE(unsignedEdit.SubclassDlgItem(kUnsigned, &dlg));
        dlg.ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        dlg.DestroyWindow();
        ui::reset();
    }
    std::wstring text(int id)
    {
        CString t;
        dlg.GetDlgItemText(id, t);
        return t.GetString();
    }
    ui::LineEventSource events;
    ui::StringOutputSink out;
    CDialog dlg;
    CDoubleEdit signedEdit;
    CUnsignedDoubleEdit unsignedEdit;
};

} // namespace

TEST_F(NumericEditTest, TypedTextStaysANumber)
{
    EXPECT_TRUE(ui::dispatchEvent("@type numbers 11 \"-12.5\""));
    EXPECT_EQ(text(kSigned), L"-12.5");
    double v = 0;
    ASSERT_TRUE(signedEdit.GetValue(v));
    EXPECT_DOUBLE_EQ(v, -12.5);

    // A second point, a letter, a sign after digits: refused, reported, the
    // rest typed.
    EXPECT_FALSE(ui::dispatchEvent("@type numbers 11 \"1.2.3x-\""));
    EXPECT_EQ(text(kSigned), L"1.23");
    EXPECT_NE(out.text().find("unacceptable character '.'"), std::string::npos);
    EXPECT_NE(out.text().find("unacceptable character 'x'"), std::string::npos);

    // No sign in the unsigned box.
    EXPECT_FALSE(ui::dispatchEvent("@type numbers 12 \"-7\""));
    EXPECT_EQ(text(kUnsigned), L"7");
    EXPECT_TRUE(ui::dispatchEvent("@type numbers 12 \".5\""));
    ASSERT_TRUE(unsignedEdit.GetValue(v));
    EXPECT_DOUBLE_EQ(v, 0.5);

    // A lone point is being typed, not a number yet.
    EXPECT_TRUE(ui::dispatchEvent("@type numbers 12 \".\""));
    v = 42;
    EXPECT_FALSE(unsignedEdit.GetValue(v));
    EXPECT_EQ(v, 42);
}

TEST_F(NumericEditTest, TypingThatWouldOverflowIsRefused)
{
    // 320 nines: the 309th would take the number past the largest double.
    EXPECT_FALSE(ui::dispatchEvent("@type numbers 11 \"-" + std::string(320, '9') + "\""));
    EXPECT_EQ(text(kSigned), L"-" + std::wstring(308, L'9'));
    EXPECT_NE(out.text().find("unacceptable character '9': edit box 11 takes no larger number"), std::string::npos);
    double v = 0;
    ASSERT_TRUE(signedEdit.GetValue(v));
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_LT(v, -9.9e307);
    // Decimals after the point never overflow.
    EXPECT_TRUE(ui::dispatchEvent("@type numbers 12 \"0." + std::string(400, '9') + "\""));
    ASSERT_TRUE(unsignedEdit.GetValue(v));
    EXPECT_DOUBLE_EQ(v, 1.0);
}

TEST_F(NumericEditTest, ValuesAreShownWithoutTrailingZeros)
{
    signedEdit.SetValue(7.5);
    EXPECT_EQ(text(kSigned), L"7.5");
    signedEdit.SetValue(30.0);
    EXPECT_EQ(text(kSigned), L"30");
    signedEdit.SetValue(-0.00001);
    EXPECT_EQ(text(kSigned), L"0");
    unsignedEdit.SetValue(-3);
    EXPECT_EQ(text(kUnsigned), L"0");
    signedEdit.SetValue(1.23456789, 2);
    EXPECT_EQ(text(kSigned), L"1.23");
    // Large values are shown whole.
    signedEdit.SetValue(-1e300);
    EXPECT_EQ(text(kSigned).size(), 302u);
    double v = 0;
    ASSERT_TRUE(signedEdit.GetValue(v));
    EXPECT_EQ(v, -1e300);
    EXPECT_TRUE(IsDecimalNumber(L"+1.", true));
    EXPECT_FALSE(IsDecimalNumber(L"+1.", false));
    EXPECT_FALSE(IsDecimalNumber(L"", true));
    EXPECT_FALSE(IsDecimalNumber(L"1e5", true));
}
