// Painting into bitmaps and dialog pictures.
//
// Invariants checked here:
// - primitives touch exactly their pixels (line end point excluded, right
//   and bottom edges of rectangles excluded), clipped to the bitmap;
// - XOR and NOT drawing, done twice, give back the pixels exactly;
// - a dialog's PNG has the window's size, its frame, its caption bar, the
//   controls as painted (enabled frames black, disabled ones grey) and
//   what an OnPaint handler drew; the file is written whole or not at all.
#include "testutil.h"
#include "uitest.h"

#include "ui/dc.h"
#include "ui/session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace uitest;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A memory DC on a fresh bitmap filled with one colour.
struct Canvas {
    CBitmap bmp;
    CDC dc;
    Canvas(int w, int h, COLORREF fill)
    {
        bmp.CreateBitmap(w, h);
        dc.CreateCompatibleDC(nullptr);
        dc.SelectObject(&bmp);
        dc.FillSolidRect(0, 0, w, h, fill);
    }
    int count(COLORREF c) const
    {
        int n = 0;
        const CSize s = bmp.GetSize();
        for (int y = 0; y < s.cy; ++y)
            for (int x = 0; x < s.cx; ++x)
                n += bmp.GetPixel(x, y) == c;
        return n;
    }
    std::vector<COLORREF> pixels() const
    {
        std::vector<COLORREF> v;
        const CSize s = bmp.GetSize();
        for (int y = 0; y < s.cy; ++y)
            for (int x = 0; x < s.cx; ++x)
                v.push_back(bmp.GetPixel(x, y));
        return v;
    }
};

TEST(Bitmap, HasItsSizeAndPixels)
{
    CBitmap bmp;
    EXPECT_FALSE(bmp.CreateBitmap(0, 5));
    ASSERT_TRUE(bmp.CreateBitmap(7, 5));
    BITMAP info{};
    ASSERT_NE(bmp.GetBitmap(&info), 0);
    EXPECT_EQ(info.bmWidth, 7);
    EXPECT_EQ(info.bmHeight, 5);
    bmp.SetPixel(6, 4, kRed);
    EXPECT_EQ(bmp.GetPixel(6, 4), kRed);
    EXPECT_EQ(bmp.GetPixel(0, 0), kBlack);
    EXPECT_EQ(bmp.GetPixel(7, 0), CLR_INVALID);
}

TEST(Drawing, LinesFollowThePenAndLeaveOutTheEndPoint)
{
    Canvas c(20, 20, kWhite);
    CPen red(PS_SOLID, 1, kRed);
    CPen* old = c.dc.SelectObject(&red);
    EXPECT_NE(old, nullptr);
    c.dc.MoveTo(2, 3);
    c.dc.LineTo(8, 3);
    for (int x = 2; x < 8; ++x)
        EXPECT_EQ(c.bmp.GetPixel(x, 3), kRed) << x;
    EXPECT_EQ(c.bmp.GetPixel(8, 3), kWhite);
    EXPECT_EQ(c.count(kRed), 6);
    // Continues from the last point: a diagonal.
    c.dc.LineTo(12, 7);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(c.bmp.GetPixel(8 + i, 3 + i), kRed);
    EXPECT_EQ(c.count(kRed), 10);
    // A wide pen is a square brush moved along the line: a band of its
    // width around the thin line's pixels.
    CPen wide(PS_SOLID, 3, kBlue);
    EXPECT_EQ(c.dc.SelectObject(&wide), &red);
    c.dc.MoveTo(2, 15);
    c.dc.LineTo(10, 15);
    EXPECT_EQ(c.count(kBlue), (8 + 2) * 3);
    EXPECT_EQ(c.bmp.GetPixel(1, 15), kBlue);
    EXPECT_EQ(c.bmp.GetPixel(10, 15), kBlue);
    EXPECT_EQ(c.bmp.GetPixel(11, 15), kWhite);
    EXPECT_EQ(c.bmp.GetPixel(5, 14), kBlue);
    EXPECT_EQ(c.bmp.GetPixel(5, 16), kBlue);
    EXPECT_EQ(c.dc.SelectObject(old), &wide);
    // Off the bitmap: clipped, nothing else touched.
    c.dc.MoveTo(-50, 0);
    c.dc.LineTo(-10, 0);
    EXPECT_EQ(c.count(kBlack), 0);
}

TEST(Drawing, RectanglesFillsAndFrames)
{
    Canvas c(20, 20, kWhite);
    CBrush blue(kBlue);
    CPen black(PS_SOLID, 1, kBlack);
    c.dc.SelectObject(&black);
    CBrush* oldBrush = c.dc.SelectObject(&blue);
    c.dc.Rectangle(2, 2, 7, 6);
    EXPECT_EQ(c.count(kBlack), 2 * 5 + 2 * 2); // outline of 5 x 4
    EXPECT_EQ(c.count(kBlue), 3 * 2);
    EXPECT_EQ(c.bmp.GetPixel(7, 2), kWhite);
    EXPECT_EQ(c.dc.SelectObject(oldBrush), &blue);

    c.dc.FillSolidRect(10, 10, 3, 2, kRed);
    EXPECT_EQ(c.count(kRed), 6);
    CRect r(0, 15, 4, 20);
    CBrush green(RGB(0, 255, 0));
    c.dc.FillRect(&r, &green);
    EXPECT_EQ(c.count(RGB(0, 255, 0)), 20);
    CRect f(10, 14, 15, 18);
    c.dc.FrameRect(&f, &blue);
    EXPECT_EQ(c.count(kBlue), 6 + 14);
    EXPECT_EQ(c.bmp.GetPixel(12, 16), kWhite);

    Canvas d(10, 10, kWhite);
    d.dc.Draw3dRect(1, 1, 5, 4, kRed, kBlue);
    EXPECT_EQ(d.bmp.GetPixel(1, 1), kRed);
    EXPECT_EQ(d.bmp.GetPixel(1, 3), kRed);
    EXPECT_EQ(d.bmp.GetPixel(5, 4), kBlue);
    EXPECT_EQ(d.bmp.GetPixel(5, 1), kBlue);
    EXPECT_EQ(d.count(kRed) + d.count(kBlue), 2 * 5 + 2 * 2);
}

TEST(Drawing, PatBltAndBitBlt)
{
    Canvas src(8, 8, kWhite);
    src.dc.SetPixel(1, 1, kRed);
    src.dc.SetPixel(2, 1, kBlue);
    EXPECT_EQ(src.dc.GetPixel(2, 1), kBlue);
    Canvas dst(8, 8, kBlack);
    ASSERT_TRUE(dst.dc.BitBlt(4, 4, 3, 2, &src.dc, 1, 1, SRCCOPY));
    EXPECT_EQ(dst.bmp.GetPixel(4, 4), kRed);
    EXPECT_EQ(dst.bmp.GetPixel(5, 4), kBlue);
    EXPECT_EQ(dst.bmp.GetPixel(6, 5), kWhite);
    EXPECT_EQ(dst.count(kWhite), 4);
    EXPECT_EQ(dst.bmp.GetPixel(3, 4), kBlack);

    ASSERT_TRUE(dst.dc.PatBlt(4, 4, 1, 1, DSTINVERT));
    EXPECT_EQ(dst.bmp.GetPixel(4, 4), RGB(0, 255, 255));
    CBrush red(kRed);
    dst.dc.SelectObject(&red);
    dst.dc.PatBlt(0, 0, 2, 2, PATCOPY);
    EXPECT_EQ(dst.bmp.GetPixel(1, 1), kRed);
    // A memory DC without a bitmap draws nothing and does not crash.
    CDC empty;
    empty.CreateCompatibleDC(nullptr);
    EXPECT_FALSE(empty.PatBlt(0, 0, 4, 4, DSTINVERT));
    EXPECT_EQ(empty.GetPixel(0, 0), CLR_INVALID);
}

TEST(Drawing, XorAndNotMarksDrawnTwiceRestoreThePixels)
{
    Canvas c(30, 30, kWhite);
    for (int i = 0; i < 30; ++i)
        c.dc.SetPixel(i, (i * 7) % 30, RGB(i * 8, 255 - i * 8, 77));
    const auto before = c.pixels();
    for (int mode : {R2_XORPEN, R2_NOT}) {
        EXPECT_EQ(c.dc.SetROP2(mode), R2_COPYPEN);
        CPen pen(PS_SOLID, 3, RGB(0, 200, 90));
        CBrush brush(RGB(10, 20, 30));
        c.dc.SelectObject(&pen);
        c.dc.SelectObject(&brush);
        auto mark = [&] {
            c.dc.MoveTo(1, 1);
            c.dc.LineTo(25, 18);
            c.dc.LineTo(4, 27);
            c.dc.Rectangle(5, 5, 20, 15);
            c.dc.PatBlt(10, 0, 5, 30, DSTINVERT);
        };
        mark();
        EXPECT_NE(c.pixels(), before) << mode;
        mark();
        EXPECT_EQ(c.pixels(), before) << mode;
        c.dc.SetROP2(R2_COPYPEN);
    }
}

TEST(Drawing, TextIsDrawnInTheTextColour)
{
    Canvas c(80, 20, kWhite);
    c.dc.SetTextColor(kBlack);
    c.dc.SetBkMode(TRANSPARENT);
    const CSize ext = c.dc.GetTextExtent(L"控制");
    EXPECT_GT(ext.cx, 10);
    c.dc.TextOut(2, 2, CString(L"控制"));
    int dark = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x) {
            const COLORREF p = c.bmp.GetPixel(x, y);
            if (GetRValue(p) < 128) {
                ++dark;
                EXPECT_LT(x, 2 + ext.cx + 1);
            }
        }
    EXPECT_GT(dark, 10);
    // Opaque mode fills the text's box with the background colour.
    c.dc.SetBkMode(OPAQUE);
    c.dc.SetBkColor(kBlue);
    CRect r(0, 0, 80, 20);
    c.dc.DrawText(CString(L"A"), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EXPECT_GT(c.count(kBlue), 0);
    EXPECT_EQ(c.bmp.GetPixel(2, 2), kWhite);
}

double signedArea(const std::vector<ui::OutlinePoint>& c)
{
    double a = 0.0;
    for (size_t i = 0; i < c.size(); ++i) {
        const ui::OutlinePoint p = c[i], q = c[(i + 1) % c.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

// Text as vectors: glyph contours at font size 1 on the baseline, one
// character after the other, holes wound against their outer contour.
TEST(Drawing, TextOutlinesAreTheFontsGlyphs)
{
    const ui::TextOutline h = ui::textOutline(L"H");
    if (h.contours.empty())
        GTEST_SKIP() << "no font installed";
    EXPECT_TRUE(ui::textOutline(L"").contours.empty());
    const double cap = ui::textCapitalHeight();
    EXPECT_GT(cap, 0.5);
    EXPECT_LT(cap, 0.9);
    double top = 0.0, bottom = 1.0;
    for (const auto& c : h.contours)
        for (const ui::OutlinePoint& p : c) {
            top = std::max(top, p.y);
            bottom = std::min(bottom, p.y);
            EXPECT_GE(p.x, 0.0);
            EXPECT_LE(p.x, h.advance);
        }
    EXPECT_NEAR(top, cap, 1e-9) << "capitals stand on the baseline, cap height tall";
    EXPECT_NEAR(bottom, 0.0, 1e-9);
    // A square character: about one em wide; its hole runs the other way.
    const ui::TextOutline box = ui::textOutline(L"口");
    EXPECT_NEAR(box.advance, 1.0, 0.1);
    ASSERT_GE(box.contours.size(), 2u);
    bool positive = false, negative = false;
    for (const auto& c : box.contours) {
        positive |= signedArea(c) > 1e-3;
        negative |= signedArea(c) < -1e-3;
    }
    EXPECT_TRUE(positive && negative);
    // Two characters: the second starts where the first ends.
    const ui::TextOutline pair = ui::textOutline(L"口H");
    EXPECT_NEAR(pair.advance, box.advance + h.advance, 1e-9);
    ASSERT_EQ(pair.contours.size(), box.contours.size() + h.contours.size());
    const auto& shifted = pair.contours[box.contours.size()];
    for (size_t i = 0; i < shifted.size(); ++i) {
        EXPECT_NEAR(shifted[i].x, h.contours[0][i].x + box.advance, 1e-9);
        EXPECT_NEAR(shifted[i].y, h.contours[0][i].y, 1e-9);
    }
}

// --- windows and PNG -------------------------------------------------------

// The toolkit's colours of a PNG's pixels.
struct Png : testutil::Image {
    COLORREF at(int x, int y) const
    {
        const std::uint32_t c = Image::at(x, y);
        return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
    }
};

bool readPng(const std::string& path, Png& out)
{
    return testutil::readPng(path, out);
}

class PaintedDialog : public TestDialog {
public:
    void OnPaint() override
    {
        CPaintDC dc(this);
        dc.FillSolidRect(4, 4, 10, 6, kRed);
    }
};

class PictureTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        dir = std::filesystem::temp_directory_path() / ("ui_paint_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(dir);
        UiTest::TearDown();
    }
    // The control's rectangle in the dialog's window (PNG) coordinates.
    static CRect inPicture(CWnd& dlg, int id)
    {
        CRect d, c;
        dlg.GetWindowRect(&d);
        dlg.GetDlgItem(id)->GetWindowRect(&c);
        c.OffsetRect(-d.left, -d.top);
        return c;
    }
    std::filesystem::path dir;
};

TEST_F(PictureTest, DialogPngShowsFrameCaptionAndControls)
{
    PaintedDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    dlg.SetDlgItemText(IDC_NAME, L"名称");
    const std::string path = (dir / "dlg.png").string();
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    if (const char* keep = std::getenv("UI_PAINT_KEEP_PNG"))
        std::filesystem::copy_file(path, keep, std::filesystem::copy_options::overwrite_existing);
    Png png;
    ASSERT_TRUE(readPng(path, png));
    CRect wr;
    dlg.GetWindowRect(&wr);
    EXPECT_EQ(png.width, wr.Width());
    EXPECT_EQ(png.height, wr.Height());
    // Frame, then the caption bar, with the caption's text in white.
    EXPECT_EQ(png.at(0, 0), ui::kFrameColor);
    EXPECT_EQ(png.at(png.width - 10, 10), ui::kCaptionColor);
    int white = 0;
    for (int y = 4; y < 24; ++y)
        for (int x = 4; x < 60; ++x)
            white += GetRValue(png.at(x, y)) > 200 && GetBValue(png.at(x, y)) > 200;
    EXPECT_GT(white, 5);
    // Enabled push button: black frame; disabled one: grey frame and
    // no dark pixel in its caption.
    const CRect ok = inPicture(dlg, IDOK);
    EXPECT_EQ(png.at(ok.left, ok.top), kBlack);
    EXPECT_EQ(png.at(ok.right - 1, ok.bottom - 1), kBlack);
    const CRect apply = inPicture(dlg, IDC_APPLY);
    EXPECT_EQ(png.at(apply.left, apply.top), ui::kGrayText);
    int darkInApply = 0, darkInCancel = 0;
    const CRect cancel = inPicture(dlg, IDCANCEL);
    for (int y = 2; y < apply.Height() - 2; ++y)
        for (int x = 2; x < apply.Width() - 2; ++x) {
            darkInApply += GetRValue(png.at(apply.left + x, apply.top + y)) < 100;
            darkInCancel += GetRValue(png.at(cancel.left + x, cancel.top + y)) < 100;
        }
    EXPECT_EQ(darkInApply, 0);
    EXPECT_GT(darkInCancel, 0);
    // The hidden button is not in the picture.
    const CRect secret = inPicture(dlg, IDC_SECRET);
    EXPECT_EQ(png.at(secret.left, secret.top), ui::kFaceColor);
    // The handler's red block sits in the client area.
    CPoint origin(0, 0);
    dlg.ClientToScreen(&origin);
    EXPECT_EQ(png.at(origin.x - wr.left + 4, origin.y - wr.top + 4), kRed);
    EXPECT_EQ(png.at(origin.x - wr.left + 13, origin.y - wr.top + 9), kRed);
    EXPECT_NE(png.at(origin.x - wr.left + 14, origin.y - wr.top + 4), kRed);
    // The edit box's text is drawn.
    const CRect name = inPicture(dlg, IDC_NAME);
    int textPixels = 0;
    for (int y = name.top + 1; y < name.bottom - 1; ++y)
        for (int x = name.left + 1; x < name.right - 1; ++x)
            textPixels += GetRValue(png.at(x, y)) < 128;
    EXPECT_GT(textPixels, 5);
    dlg.DestroyWindow();
}

TEST_F(PictureTest, ControlStatesChangeTheirLook)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    const CRect toggle = inPicture(dlg, IDC_TOGGLE);
    const CRect ok = inPicture(dlg, IDOK);
    const std::string path = (dir / "states.png").string();
    Png before, after;
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    ASSERT_TRUE(readPng(path, before));
    // Checking the push-like box and disabling OK both show.
    ASSERT_TRUE(ui::dispatchEvent("@click 30001 104"));
    dlg.GetDlgItem(IDOK)->EnableWindow(FALSE);
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    ASSERT_TRUE(readPng(path, after));
    const CPoint mid(toggle.left + 3, toggle.CenterPoint().y);
    EXPECT_EQ(before.at(mid.x, mid.y), ui::kFaceColor);
    EXPECT_NE(after.at(mid.x, mid.y), ui::kFaceColor);
    EXPECT_EQ(before.at(ok.left, ok.top), kBlack);
    EXPECT_EQ(after.at(ok.left, ok.top), ui::kGrayText);
    // Selecting a list item highlights its row.
    dlg.files().AddString(L"一");
    dlg.files().AddString(L"二");
    dlg.files().SetCurSel(1);
    dlg.GetDlgItem(IDC_FILES)->Invalidate();
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    ASSERT_TRUE(readPng(path, after));
    const CRect files = inPicture(dlg, IDC_FILES);
    int highlighted = 0;
    for (int y = files.top; y < files.bottom; ++y)
        highlighted += after.at(files.right - 3, y) == ui::kHighlight;
    EXPECT_GT(highlighted, 5);
    dlg.DestroyWindow();
}

TEST_F(PictureTest, ClientDrawingStaysUntilTheWindowIsInvalidated)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    const std::string path = (dir / "client.png").string();
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    CWnd* preview = dlg.GetDlgItem(IDC_PREVIEW);
    {
        CClientDC dc(preview);
        CPen blue(PS_SOLID, 1, kBlue);
        dc.SelectObject(&blue);
        dc.MoveTo(2, 5);
        dc.LineTo(20, 5);
    }
    CRect d, p;
    dlg.GetWindowRect(&d);
    preview->GetWindowRect(&p);
    Png png;
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    ASSERT_TRUE(readPng(path, png));
    EXPECT_EQ(png.at(p.left - d.left + 10, p.top - d.top + 5), kBlue);
    // Repainting gives the control its own look back.
    preview->Invalidate();
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    ASSERT_TRUE(readPng(path, png));
    EXPECT_EQ(png.at(p.left - d.left + 10, p.top - d.top + 5), ui::kFaceColor);
    dlg.DestroyWindow();
}

TEST_F(PictureTest, SnapshotEventWritesThePictureOrRefuses)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    const std::string path = (dir / "snap.png").string();
    ASSERT_TRUE(ui::dispatchEvent("@snapshot test \"" + path + "\""));
    Png png;
    ASSERT_TRUE(readPng(path, png));
    CRect wr;
    dlg.GetWindowRect(&wr);
    EXPECT_EQ(png.width, wr.Width());
    EXPECT_TRUE(printed("saved as"));
    // An existing picture is kept when the new one cannot be written.
    EXPECT_FALSE(ui::dispatchEvent("@snapshot test \"" + (dir / "missing" / "x.png").string() + "\""));
    EXPECT_TRUE(printed("** @snapshot"));
    EXPECT_FALSE(ui::dispatchEvent("@snapshot test"));
    EXPECT_FALSE(ui::dispatchEvent("@snapshot 99999 \"" + path + "\""));
    EXPECT_TRUE(std::filesystem::exists(path));
    dlg.DestroyWindow();
}

// --- the controls' marks ----------------------------------------------------

bool dark(COLORREF c)
{
    return GetRValue(c) < 110 && GetGValue(c) < 110 && GetBValue(c) < 110;
}

class MarksTest : public PictureTest {
protected:
    void SetUp() override
    {
        PictureTest::SetUp();
        ASSERT_TRUE(dlg.Create(kTestDlg));
        dlg.ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        dlg.DestroyWindow();
        PictureTest::TearDown();
    }
    Png picture()
    {
        const std::string path = (dir / "marks.png").string();
        Png png;
        EXPECT_TRUE(ui::saveWindowPng(&dlg, path));
        EXPECT_TRUE(readPng(path, png));
        return png;
    }
    // Dark pixels of each row of r, top to bottom.
    static std::vector<int> darkRows(const Png& png, const CRect& r)
    {
        std::vector<int> rows;
        for (int y = r.top; y < r.bottom; ++y) {
            int n = 0;
            for (int x = r.left; x < r.right; ++x)
                n += dark(png.at(x, y));
            rows.push_back(n);
        }
        return rows;
    }
    // The 13-pixel square of a check box's or radio button's mark.
    CRect markBox(int id)
    {
        const CRect r = inPicture(dlg, id);
        const int top = r.top + (r.Height() - 13) / 2;
        return CRect(r.left, top, r.left + 13, top + 13);
    }
    TestDialog dlg;
};

// Each half of a spin control is a raised button with a filled arrow head:
// up on the upper half, down on the lower; dark in the triangle, light
// around it.
TEST_F(MarksTest, SpinHalvesAreRaisedButtonsWithArrowHeads)
{
    const Png png = picture();
    const CRect spin = inPicture(dlg, IDC_COUNT_SPIN);
    const CRect up(spin.left, spin.top, spin.right, spin.top + spin.Height() / 2);
    const CRect down(spin.left, up.bottom, spin.right, spin.bottom);
    for (const CRect& half : {up, down}) {
        EXPECT_EQ(png.at(half.left, half.top), kWhite) << "light top-left edge";
        EXPECT_TRUE(dark(png.at(half.right - 1, half.bottom - 1))) << "dark bottom-right edge";
        // Inside the edges: the arrow's rows, each two pixels wider than the
        // one nearer the tip, centred; the corners stay the face colour.
        const CRect inside(half.left + 2, half.top + 2, half.right - 2, half.bottom - 2);
        EXPECT_EQ(png.at(inside.left, inside.top), ui::kFaceColor);
        EXPECT_EQ(png.at(inside.right - 1, inside.bottom - 1), ui::kFaceColor);
        std::vector<int> rows;
        for (int n : darkRows(png, inside))
            if (n > 0)
                rows.push_back(n);
        if (half == down)
            std::reverse(rows.begin(), rows.end());
        ASSERT_GE(rows.size(), 3u);
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(rows[i], static_cast<int>(2 * i + 1)) << (half == up ? "up " : "down ") << i;
    }
    const int cx = spin.left + spin.Width() / 2;
    int tipUp = up.top, tipDown = down.bottom;
    while (tipUp < up.bottom && !dark(png.at(cx, tipUp + 2)))
        ++tipUp;
    while (tipDown > down.top && !dark(png.at(cx, tipDown - 3)))
        --tipDown;
    EXPECT_LT(tipUp + 2, up.bottom - 2) << "an arrow in the upper half";
    EXPECT_GT(tipDown - 3, down.top + 1) << "an arrow in the lower half";
}

// Radio buttons are round: the corners of their square show the face, the
// ring is dark, the middle has a dot only when the button is checked.
TEST_F(MarksTest, RadioButtonsAreRoundWithADotWhenChecked)
{
    dlg.CheckRadioButton(IDC_ROW, IDC_GRID, IDC_COLUMN);
    const Png png = picture();
    for (int id : {IDC_ROW, IDC_COLUMN}) {
        const CRect b = markBox(id);
        for (const CPoint corner : {b.TopLeft(), CPoint(b.right - 1, b.top), CPoint(b.left, b.bottom - 1),
                                    CPoint(b.right - 1, b.bottom - 1)})
            EXPECT_EQ(png.at(corner.x, corner.y), ui::kFaceColor) << id;
        // The ring at the middle of each side.
        const CPoint mid = b.CenterPoint();
        for (const CPoint ring : {CPoint(mid.x, b.top), CPoint(mid.x, b.bottom - 1), CPoint(b.left, mid.y),
                                  CPoint(b.right - 1, mid.y)})
            EXPECT_TRUE(dark(png.at(ring.x, ring.y))) << id;
        // White between ring and middle.
        EXPECT_EQ(png.at(mid.x, b.top + 3), kWhite) << id;
        EXPECT_EQ(dark(png.at(mid.x, mid.y)), id == IDC_COLUMN) << id;
    }
}

// A check box shows a tick, not a block: dark on the tick's two strokes,
// white above the short one, and nothing inside the box when unchecked.
TEST_F(MarksTest, CheckBoxesShowATickOnlyWhenChecked)
{
    const CRect b = markBox(IDC_AFTER);
    const CRect inside(b.left + 1, b.top + 1, b.right - 1, b.bottom - 1);
    dlg.CheckDlgButton(IDC_AFTER, BST_UNCHECKED);
    Png png = picture();
    EXPECT_TRUE(dark(png.at(b.left, b.top))) << "the box's frame";
    for (int n : darkRows(png, inside))
        EXPECT_EQ(n, 0);
    dlg.CheckDlgButton(IDC_AFTER, BST_CHECKED);
    png = picture();
    int ink = 0;
    for (int n : darkRows(png, inside))
        ink += n;
    EXPECT_GT(ink, 10);
    EXPECT_LT(ink, 40) << "a tick, not a filled square";
    EXPECT_TRUE(dark(png.at(b.left + 5, b.top + 8))) << "the tick's bottom";
    EXPECT_TRUE(dark(png.at(b.left + 9, b.top + 3))) << "its long stroke's top";
    EXPECT_EQ(png.at(b.left + 3, b.top + 2), kWhite) << "above the short stroke";
    EXPECT_EQ(png.at(b.left + 9, b.top + 9), kWhite) << "below the long stroke";
}

// A long selected item ends before the combo box's drop-down button: the
// button holds only its face, its edges and the arrow's dark pixels.
TEST_F(MarksTest, ComboTextStopsBeforeTheDropDownButton)
{
    dlg.library().AddString(L"一个很长很长很长很长很长的名字");
    dlg.library().SelectString(-1, L"一个很长");
    const Png png = picture();
    const CRect combo = inPicture(dlg, IDC_LIBRARY);
    const CRect button(combo.right - 17, combo.top + 1, combo.right - 1, combo.bottom - 1);
    const COLORREF own[] = {ui::kFaceColor, kWhite, RGB(160, 160, 160), RGB(105, 105, 105), kBlack};
    const int cx = button.left + button.Width() / 2;
    for (int y = button.top; y < button.bottom; ++y)
        for (int x = button.left; x < button.right; ++x) {
            const COLORREF c = png.at(x, y);
            EXPECT_NE(std::find(std::begin(own), std::end(own), c), std::end(own)) << x - button.left << "," << y;
            if (c == kBlack) {
                EXPECT_LE(std::abs(x - cx), 3) << "only the arrow is black";
            }
        }
    int arrow = 0;
    for (int n : darkRows(png, CRect(cx - 3, button.top + 2, cx + 4, button.bottom - 2)))
        arrow += n;
    EXPECT_GE(arrow, 12);
    // The text runs up to the button.
    int text = 0;
    for (int y = combo.top + 1; y < combo.bottom - 1; ++y)
        for (int x = button.left - 14; x < button.left - 2; ++x)
            text += GetRValue(png.at(x, y)) < 128;
    EXPECT_GT(text, 0);
    for (int y = combo.top + 1; y < combo.bottom - 1; ++y)
        EXPECT_EQ(png.at(button.left - 1, y), kWhite) << "a gap before the button";
}

} // namespace

// Frames and group boxes are hollow: what the dialog paints under them
// shows in the picture, while other controls cover it.
TEST_F(PictureTest, FramesAndGroupBoxesLetTheDialogShowThrough)
{
    class RedDialog : public TestDialog {
    public:
        void OnPaint() override
        {
            CPaintDC dc(this);
            CRect all;
            GetClientRect(&all);
            dc.FillSolidRect(&all, kRed);
        }
    } dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.ShowWindow(SW_SHOW);
    const std::string path = (dir / "hollow.png").string();
    ASSERT_TRUE(ui::saveWindowPng(&dlg, path));
    Png png;
    ASSERT_TRUE(readPng(path, png));
    const CRect preview = inPicture(dlg, IDC_PREVIEW);
    EXPECT_EQ(png.at(preview.CenterPoint().x, preview.CenterPoint().y), kRed);
    EXPECT_NE(png.at(preview.left, preview.top), kRed) << "the frame's line";
    const CRect ok = inPicture(dlg, IDOK);
    EXPECT_NE(png.at(ok.CenterPoint().x, ok.CenterPoint().y), kRed);
    // The frame saved on its own shows the face colour inside.
    const std::string alone = (dir / "frame.png").string();
    ASSERT_TRUE(ui::saveWindowPng(dlg.GetDlgItem(IDC_PREVIEW), alone));
    ASSERT_TRUE(readPng(alone, png));
    EXPECT_EQ(png.at(png.width / 2, png.height / 2), ui::kFaceColor);
    dlg.DestroyWindow();
}
