#include "tools/BusBarDialog.h"

#include "components/NorvexGloFunc.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "library/PaletteResources.h"
#include "tools/PreviewPicture.h"

#include <memory>
#include <string>

namespace {

// The chosen type's slide index; the module starts with type 1.
int g_nCurrentChoice = 0;

constexpr COLORREF kChoiceFrame = RGB(255, 255, 0);

// The installation folder as the settings give it.
std::wstring installationFolder()
{
    ACHAR folder[260] = {};
    GetInformation(L"VMQMain", L"VmqSys", L"C:\\Zelk7.0", folder, 260);
    return folder;
}

ui::DialogTemplate makeTemplate()
{
    using ui::ControlKind;
    ui::DialogTemplate t = ModuleDialogTemplate(IDD_MX_TYPE, "busbar", L"母线类型选择", 264, 167, false);
    // Two rows of three pictures that report clicks, then the buttons.
    constexpr DWORD kPicture = SS_NOTIFY | SS_SUNKEN;
    t.controls = {
        {.id = IDC_MX_TYPE1, .kind = ControlKind::Static, .rect = {7, 7, 80, 64}, .style = kPicture, .name = "type1"},
        {.id = IDC_MX_TYPE2, .kind = ControlKind::Static, .rect = {92, 7, 80, 64}, .style = kPicture, .name = "type2"},
        {.id = IDC_MX_TYPE3, .kind = ControlKind::Static, .rect = {177, 7, 80, 64}, .style = kPicture, .name = "type3"},
        {.id = IDC_MX_TYPE4, .kind = ControlKind::Static, .rect = {7, 76, 80, 64}, .style = kPicture, .name = "type4"},
        {.id = IDC_MX_TYPE5, .kind = ControlKind::Static, .rect = {92, 76, 80, 64}, .style = kPicture, .name = "type5"},
        {.id = IDC_MX_TYPE6, .kind = ControlKind::Static, .rect = {177, 76, 80, 64}, .style = kPicture, .name = "type6"},
        {.id = IDOK, .kind = ControlKind::DefPushButton, .text = L"确定", .rect = {46, 148, 50, 14}, .name = "ok"},
        {.id = IDCANCEL, .kind = ControlKind::PushButton, .text = L"取消", .rect = {107, 148, 50, 14}, .name = "cancel"},
        {.id = IDC_MX_HELP, .kind = ControlKind::PushButton, .text = L"帮助", .rect = {168, 148, 50, 14}, .name = "help"},
    };
    return t;
}

} // namespace

void RegisterBusBarTemplate()
{
    if (!ui::findDialogTemplate(IDD_MX_TYPE))
        ui::registerDialogTemplate(makeTemplate());
}

int BusBarCurrentChoice() { return g_nCurrentChoice; }

void SetBusBarCurrentChoice(int index)
{
    if (index >= 0 && index < 6)
        g_nCurrentChoice = index;
}

void CMxshow::OnPaint()
{
    CPaintDC dc(this);
    CRect rect;
    GetClientRect(&rect);
    // A library with fewer slides leaves the picture black.
    auto* dlg = dynamic_cast<CMxsjdlg*>(GetParent());
    const std::unique_ptr<CBitmap> bitmap(
        dlg ? dlg->Slides().MakeBitMapFromIndex(static_cast<short>(m_nIndex), rect.Width(), rect.Height(), 0)
            : nullptr);
    PaintPreviewPicture(dc, rect, bitmap.get());

    if (m_nIndex == g_nCurrentChoice) {
        CBrush yellow(kChoiceFrame);
        CRect frame = rect;
        frame.DeflateRect(1, 1);
        dc.FrameRect(&frame, &yellow);
        frame = rect;
        frame.DeflateRect(2, 2);
        dc.FrameRect(&frame, &yellow);
    }
}

void CMxshow::OnLButtonDown(UINT nFlags, CPoint point)
{
    const int old = g_nCurrentChoice;
    g_nCurrentChoice = m_nIndex;
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_MX_OLD_CHOICE, static_cast<WPARAM>(old), 0);
    Invalidate(TRUE);
    CStatic::OnLButtonDown(nFlags, point);
}

CMxsjdlg::CMxsjdlg(CWnd* pParent) : CDialog(IDD_MX_TYPE, pParent)
{
    RegisterBusBarTemplate();
    MapCommand(IDC_MX_HELP, &CMxsjdlg::OnHelpButton);
    MapMessage(WM_MX_OLD_CHOICE, [this](WPARAM wParam, LPARAM) -> LRESULT {
        if (CMxshow* old = Preview(static_cast<int>(wParam)))
            old->Invalidate(TRUE);
        return 0;
    });
}

void CMxsjdlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MX_TYPE6, m_show6);
    DDX_Control(pDX, IDC_MX_TYPE5, m_show5);
    DDX_Control(pDX, IDC_MX_TYPE4, m_show4);
    DDX_Control(pDX, IDC_MX_TYPE3, m_show3);
    DDX_Control(pDX, IDC_MX_TYPE2, m_show2);
    DDX_Control(pDX, IDC_MX_TYPE1, m_show1);
}

BOOL CMxsjdlg::OnInitDialog()
{
    // The folder is appended to as the settings give it.
    const std::wstring path = installationFolder() + L"\\Image\\G-mx.slb";
    if (m_slides.ReadDataFromFileW(path.c_str()) < 0) {
        MessageBox(L"文件G-mx.slb读失败！");
        EndDialog(0);
        return FALSE;
    }
    CDialog::OnInitDialog();
    m_previews = {&m_show1, &m_show2, &m_show3, &m_show4, &m_show5, &m_show6};
    for (int i = 0; i < 6; ++i)
        m_previews[static_cast<size_t>(i)]->m_nIndex = i;
    return TRUE;
}

void CMxsjdlg::OnHelpButton()
{
    const std::wstring file = installationFolder() + L"\\Hlp\\Vmq70.Hlp";
    WinHelp(file.c_str(), HELP_CONTEXT, 510);
}

int RunBusBarDialog()
{
    CWaitCursor wait;
    const AcApResourceHandleScope resources(PaletteResourceHandle());
    int type = 0;
    {
        CMxsjdlg dlg(AfxGetMainWnd());
        if (dlg.DoModal() == IDOK)
            type = g_nCurrentChoice + 1;
    }
    return type;
}

int mxdlg()
{
    const int type = RunBusBarDialog();
    if (type > 0)
        acedRetInt(type);
    else
        acedRetNil();
    return RTNORM;
}
