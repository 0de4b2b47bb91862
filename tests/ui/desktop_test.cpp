// Screen, work area, window placement, coordinates and dialog units.
//
// Invariants checked here:
// - a dialog is centred on its owner (the main window, which covers the
//   work area, when it has none) and kept inside the work area;
// - GetWindowRect is in screen coordinates, GetClientRect starts at 0, and
//   ClientToScreen / ScreenToClient are inverse;
// - dialog units follow the font rule in dlgtemplate.h.
#include "uitest.h"

using namespace uitest;

namespace {

class DesktopTest : public UiTest {
protected:
    // The window size of the test dialog, from the unit rule and the frame.
    CSize testDialogSize()
    {
        const ui::DialogTemplate* t = ui::findDialogTemplate(kTestDlg);
        const CSize base = ui::dialogBaseUnits(t->fontSize);
        const int frame = GetSystemMetrics(SM_CXDLGFRAME);
        return CSize(MulDiv(t->cx, base.cx, 4) + 2 * frame,
                     MulDiv(t->cy, base.cy, 8) + 2 * frame + GetSystemMetrics(SM_CYCAPTION));
    }
};

TEST_F(DesktopTest, ScreenAndWorkAreaAreConfigurable)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    CRect work;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work, ui::workArea());
    EXPECT_LE(work.bottom, GetSystemMetrics(SM_CYSCREEN));
    CRect main;
    AfxGetMainWnd()->GetWindowRect(&main);
    EXPECT_EQ(main, work);

    ui::setScreenSize(1280, 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    CRect desk;
    CWnd::GetDesktopWindow()->GetWindowRect(&desk);
    EXPECT_EQ(desk, CRect(0, 0, 1280, 1024));
    CRect custom(100, 0, 1280, 1000);
    ASSERT_TRUE(SystemParametersInfo(SPI_SETWORKAREA, 0, &custom, 0));
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work, custom);
    AfxGetMainWnd()->GetWindowRect(&main);
    EXPECT_EQ(main, custom);
    EXPECT_FALSE(SystemParametersInfo(0x1234, 0, &work, 0));
}

TEST_F(DesktopTest, DialogIsCentredInTheWorkAreaWithoutAParent)
{
    ui::setWorkArea(CRect(0, 0, 1600, 900));
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    const CSize size = testDialogSize();
    CRect r;
    dlg.GetWindowRect(&r);
    EXPECT_EQ(r.Size(), size);
    EXPECT_EQ(r.TopLeft(), CPoint((1600 - size.cx) / 2, (900 - size.cy) / 2));
}

TEST_F(DesktopTest, DialogIsCentredOnItsParentAndKeptOnTheWorkArea)
{
    TestDialog owner;
    ASSERT_TRUE(owner.Create(kTestDlg));
    owner.SetWindowPos(nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ui::DialogTemplate small = *ui::findDialogTemplate(kTestDlg);
    small.id = 30030;
    small.cx = 100;
    small.cy = 50;
    ui::registerDialogTemplate(small);
    TestDialog child(&owner);
    ASSERT_TRUE(child.Create(30030));
    CRect o, c;
    owner.GetWindowRect(&o);
    child.GetWindowRect(&c);
    EXPECT_EQ(child.GetParent(), &owner);
    EXPECT_EQ(c.CenterPoint().x, o.CenterPoint().x);
    EXPECT_LE(std::abs(c.CenterPoint().y - o.CenterPoint().y), 1);

    // An owner hanging over the bottom right corner: the child stays inside.
    const CRect work = ui::workArea();
    owner.MoveWindow(work.right - 50, work.bottom - 20, o.Width(), o.Height());
    child.CenterWindow();
    child.GetWindowRect(&c);
    EXPECT_EQ(c.right, work.right);
    EXPECT_EQ(c.bottom, work.bottom);
}

TEST_F(DesktopTest, WindowAndClientCoordinates)
{
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    dlg.MoveWindow(100, 50, 400, 300);
    CRect window, client;
    dlg.GetWindowRect(&window);
    dlg.GetClientRect(&client);
    EXPECT_EQ(window, CRect(100, 50, 500, 350));
    const int frame = GetSystemMetrics(SM_CXDLGFRAME);
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(client, CRect(0, 0, 400 - 2 * frame, 300 - 2 * frame - caption));
    CPoint origin(0, 0);
    dlg.ClientToScreen(&origin);
    EXPECT_EQ(origin, CPoint(100 + frame, 50 + frame + caption));

    // A control's window rectangle, back in the dialog's client area, is
    // its template rectangle in pixels.
    const ui::ControlTemplate& okTemplate = ui::findDialogTemplate(kTestDlg)->controls[0];
    CRect ok;
    dlg.GetDlgItem(IDOK)->GetWindowRect(&ok);
    dlg.ScreenToClient(&ok);
    CRect expected(okTemplate.rect.x, okTemplate.rect.y, okTemplate.rect.cx, okTemplate.rect.cy);
    dlg.MapDialogRect(&expected);
    EXPECT_EQ(ok, CRect(expected.left, expected.top, expected.left + expected.right, expected.top + expected.bottom));

    CPoint p(7, 9);
    dlg.GetDlgItem(IDOK)->ClientToScreen(&p);
    dlg.ScreenToClient(&p);
    EXPECT_EQ(p, CPoint(ok.left + 7, ok.top + 9));

    // Moving a control is in its parent's client coordinates.
    dlg.GetDlgItem(IDOK)->MoveWindow(10, 20, 30, 40);
    dlg.GetDlgItem(IDOK)->GetWindowRect(&ok);
    EXPECT_EQ(ok.TopLeft(), CPoint(origin.x + 10, origin.y + 20));
    dlg.GetDlgItem(IDOK)->SetWindowPos(nullptr, 0, 0, 50, 60, SWP_NOMOVE);
    dlg.GetDlgItem(IDOK)->GetWindowRect(&ok);
    EXPECT_EQ(ok, CRect(origin.x + 10, origin.y + 20, origin.x + 60, origin.y + 80));
}

TEST_F(DesktopTest, DialogUnitsFollowTheFontSize)
{
    EXPECT_EQ(ui::dialogBaseUnits(8), CSize(6, 13));
    EXPECT_EQ(ui::dialogBaseUnits(9), CSize(6, 14));
    EXPECT_EQ(ui::dialogBaseUnits(10), CSize(7, 16));
    // 宋体 9 pt, as the palette: 146 x 170 units.
    EXPECT_EQ(ui::dluToPixels(CSize(146, 170), 9), CSize(MulDiv(146, 6, 4), MulDiv(170, 14, 8)));
    EXPECT_EQ(ui::dluToPixels(CRect(4, 8, 12, 16), 8), CRect(6, 13, 18, 26));
    EXPECT_EQ(MulDiv(5, 3, 2), 8) << "halves round away from zero";
    EXPECT_EQ(MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);

    ui::DialogTemplate t;
    t.id = 30031;
    t.fontName = L"宋体";
    t.fontSize = 9;
    t.cx = 146;
    t.cy = 170;
    t.style = WS_POPUP | WS_SYSMENU;
    t.controls = {{401, ui::ControlKind::ComboBox, L"", {7, 7, 130, 100}, CBS_SORT}};
    ui::registerDialogTemplate(t);
    CDialog dlg(30031);
    ASSERT_TRUE(dlg.Create(30031));
    CRect client;
    dlg.GetClientRect(&client);
    EXPECT_EQ(client.Size(), ui::dluToPixels(CSize(146, 170), 9)) << "no caption, no frame";
    CRect combo;
    dlg.GetDlgItem(401)->GetWindowRect(&combo);
    EXPECT_EQ(combo.Height(), ui::dialogBaseUnits(9).cy + 8) << "a drop-down list is one line high";
    CRect units(0, 0, 146, 170);
    dlg.MapDialogRect(&units);
    EXPECT_EQ(units.Size(), client.Size());
}

TEST(GeometryTest, RectanglesHaveExclusiveEdges)
{
    CRect r(10, 20, 30, 60);
    EXPECT_EQ(r.Width(), 20);
    EXPECT_EQ(r.Height(), 40);
    EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(r.PtInRect(CPoint(30, 20)));
    EXPECT_FALSE(r.PtInRect(CPoint(10, 60)));
    EXPECT_EQ(r.CenterPoint(), CPoint(20, 40));
    CRect moved = r;
    moved.OffsetRect(5, -5);
    EXPECT_EQ(moved, CRect(15, 15, 35, 55));
    moved.MoveToXY(0, 0);
    EXPECT_EQ(moved.Size(), r.Size());
    CRect both;
    EXPECT_TRUE(both.IntersectRect(&r, &moved));
    EXPECT_EQ(both, CRect(10, 20, 20, 40));
    CRect apart(100, 100, 110, 110);
    EXPECT_FALSE(both.IntersectRect(&r, &apart));
    EXPECT_TRUE(both.IsRectNull());
    EXPECT_TRUE(both.UnionRect(&r, &apart));
    EXPECT_EQ(both, CRect(10, 20, 110, 110));
    CRect empty;
    both.UnionRect(&empty, &r);
    EXPECT_EQ(both, r);
    CRect flipped(30, 60, 10, 20);
    EXPECT_TRUE(flipped.IsRectEmpty());
    flipped.NormalizeRect();
    EXPECT_EQ(flipped, r);
    r.InflateRect(1, 2);
    EXPECT_EQ(r, CRect(9, 18, 31, 62));
    r.DeflateRect(1, 2, 3, 4);
    EXPECT_EQ(r, CRect(10, 20, 28, 58));
}

} // namespace
