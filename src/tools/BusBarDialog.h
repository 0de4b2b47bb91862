// The bus-bar type dialog ("母线类型选择") behind the LISP function mxdlg:
// six pictures, the first six slides of the installation's "Image\G-mx.slb",
// of which the user picks one; the calling LISP program gets the type number
// (1 to 6) and does the drawing.
//
// The choice is kept for the whole module (type 1 when it loads), so the
// next call frames the type chosen last. The framed picture carries a
// two-pixel yellow border just inside its edge. A click on a picture makes
// it the choice at once, so the choice stays even when the dialog is then
// cancelled.
#pragma once

#include "components/NorvexSldManger.h"
#include "ui/afxwin.h"

#include <array>

// Template and control ids of the dialog (template short name "busbar").
enum : UINT {
    IDD_MX_TYPE = 22763,
    IDC_MX_TYPE1 = 22764, // top row, left to right: types 1, 2, 3
    IDC_MX_TYPE2 = 22765,
    IDC_MX_TYPE3 = 22766,
    IDC_MX_TYPE4 = 22767, // bottom row, left to right: types 4, 5, 6
    IDC_MX_TYPE5 = 22768,
    IDC_MX_TYPE6 = 22769,
    IDC_MX_HELP = 22059,
};

// Sent by a picture to its dialog when it becomes the choice; wParam is the
// slide index of the previous choice, whose picture loses its border.
inline constexpr UINT WM_MX_OLD_CHOICE = WM_USER + 1;

// One bus-bar picture: paints its slide from the dialog's library and, when
// it is the current choice, the yellow border; a left click chooses it.
class CMxshow : public CStatic {
public:
    // The slide (and type) index shown, 0 to 5; set by the dialog at start.
    int m_nIndex = 0;

protected:
    void OnPaint() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
};

class CMxsjdlg : public CDialog {
public:
    explicit CMxsjdlg(CWnd* pParent = nullptr);

    // The loaded slide library (empty until the dialog starts).
    CSlideLibraryData& Slides() { return m_slides; }
    // The picture of slide index i (0 to 5), nullptr before the dialog
    // started.
    CMxshow* Preview(int i) const { return i >= 0 && i < 6 ? m_previews[static_cast<size_t>(i)] : nullptr; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnHelpButton();

private:
    // Element i shows slide i.
    std::array<CMxshow*, 6> m_previews{};
    CSlideLibraryData m_slides;
    CMxshow m_show6;
    CMxshow m_show5;
    CMxshow m_show4;
    CMxshow m_show3;
    CMxshow m_show2;
    CMxshow m_show1;
};

// Registers the dialog's template unless it is already there.
void RegisterBusBarTemplate();

// The current choice: the slide index (0 to 5) of the chosen type.
int BusBarCurrentChoice();
// Sets it, as loading the module does (0); values outside 0 to 5 are
// ignored.
void SetBusBarCurrentChoice(int index);

// Runs the dialog as mxdlg does (wait cursor, the module's resource handle,
// the host's main window as parent): the chosen type number 1 to 6 after
// OK, 0 after any other end.
int RunBusBarDialog();

// LISP function (mxdlg): the type number with acedRetInt, or nil. Returns
// RTNORM.
int mxdlg();
