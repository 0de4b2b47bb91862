#include "library/YlthzSetupDialog.h"

#include "components/NorvexGloFunc.h"
#include "library/PaletteResources.h"

#include <cwchar>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

constexpr const wchar_t* kCaption = L"回路参数";

ui::DialogTemplate makeTemplate()
{
    using ui::ControlKind;
    ui::DialogTemplate t = ModuleDialogTemplate(IDD_YLTHZ_SETUP, "circuitparams", kCaption, 97, 85, false);
    // Label, edit box and spin control per row, 13 units apart; the spin
    // sits at the right end of its edit box (UDS_ALIGNRIGHT takes its width
    // from the box). The edit box is named by its row; its label and spin
    // add "-label" and "-spin".
    constexpr DWORD kSpin = UDS_ARROWKEYS | UDS_ALIGNRIGHT;
    t.controls = {
        {.kind = ControlKind::GroupBox, .rect = {5, 2, 87, 64}, .name = "group"},
        {.kind = ControlKind::Static, .text = L"横向间距:", .rect = {9, 13, 40, 8}, .name = "x-spacing-label"},
        {.id = IDC_YLTHZ_XDIS, .kind = ControlKind::Edit, .rect = {50, 11, 36, 12}, .name = "x-spacing"},
        {.id = IDC_YLTHZ_XDIS_SPIN, .kind = ControlKind::Spin, .rect = {76, 11, 10, 12}, .style = kSpin,
         .buddy = IDC_YLTHZ_XDIS, .name = "x-spacing-spin"},
        {.kind = ControlKind::Static, .text = L"纵向间距:", .rect = {9, 26, 40, 8}, .name = "y-spacing-label"},
        {.id = IDC_YLTHZ_YDIS, .kind = ControlKind::Edit, .rect = {50, 24, 36, 12}, .name = "y-spacing"},
        {.id = IDC_YLTHZ_YDIS_SPIN, .kind = ControlKind::Spin, .rect = {76, 24, 10, 12}, .style = kSpin,
         .buddy = IDC_YLTHZ_YDIS, .name = "y-spacing-spin"},
        {.kind = ControlKind::Static, .text = L"线    宽:", .rect = {9, 39, 40, 8}, .name = "wire-width-label"},
        {.id = IDC_YLTHZ_MXKD, .kind = ControlKind::Edit, .rect = {50, 37, 36, 12}, .name = "wire-width"},
        {.id = IDC_YLTHZ_MXKD_SPIN, .kind = ControlKind::Spin, .rect = {76, 37, 10, 12}, .style = kSpin,
         .buddy = IDC_YLTHZ_MXKD, .name = "wire-width-spin"},
        {.kind = ControlKind::Static, .text = L"设备比例:", .rect = {9, 52, 40, 8}, .name = "scale-label"},
        {.id = IDC_YLTHZ_MXBL, .kind = ControlKind::Edit, .rect = {50, 50, 36, 12}, .name = "scale"},
        {.id = IDC_YLTHZ_MXBL_SPIN, .kind = ControlKind::Spin, .rect = {76, 50, 10, 12}, .style = kSpin,
         .buddy = IDC_YLTHZ_MXBL, .name = "scale-spin"},
        {.id = IDOK, .kind = ControlKind::DefPushButton, .text = L"确定", .rect = {8, 69, 38, 13}},
        {.id = IDCANCEL, .kind = ControlKind::PushButton, .text = L"取消", .rect = {51, 69, 38, 13}},
    };
    return t;
}

} // namespace

void RegisterYlthzSetupTemplate()
{
    if (!ui::findDialogTemplate(IDD_YLTHZ_SETUP))
        ui::registerDialogTemplate(makeTemplate());
}

CYlthzSetupDialog::CYlthzSetupDialog(CWnd* parent) : CDialog(IDD_YLTHZ_SETUP, parent)
{
    RegisterYlthzSetupTemplate();
    const std::pair<UINT, Row> spins[] = {
        {IDC_YLTHZ_XDIS_SPIN, {&m_edtXdis, 0.5, 0.0, L"%.2f"}},
        {IDC_YLTHZ_YDIS_SPIN, {&m_edtYdis, 0.5, 0.0, L"%.2f"}},
        {IDC_YLTHZ_MXKD_SPIN, {&m_edtMxkd, 0.1, 0.0, L"%.2f"}},
        {IDC_YLTHZ_MXBL_SPIN, {&m_edtMxBl, 1.0, 1.0, L"%.1f"}},
    };
    for (const auto& spin : spins) {
        const Row row = spin.second;
        MapNotify(UDN_DELTAPOS, spin.first,
                  [this, row](NMHDR* pNMHDR, LRESULT* pResult) { Step(row, pNMHDR, pResult); });
    }
}

void CYlthzSetupDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_YLTHZ_YDIS, m_edtYdis);
    DDX_Control(pDX, IDC_YLTHZ_XDIS, m_edtXdis);
    DDX_Control(pDX, IDC_YLTHZ_MXKD, m_edtMxkd);
    DDX_Control(pDX, IDC_YLTHZ_MXBL, m_edtMxBl);
}

BOOL CYlthzSetupDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The texts go in as the palette keeps them, unformatted.
    m_edtXdis.SetWindowText(m_strXdis);
    m_edtYdis.SetWindowText(m_strYdis);
    m_edtMxkd.SetWindowText(m_strMxkd);
    m_edtMxBl.SetWindowText(m_strMxBl);
    return TRUE;
}

void CYlthzSetupDialog::Step(const Row& row, NMHDR* pNMHDR, LRESULT* pResult)
{
    const auto* ud = reinterpret_cast<const NMUPDOWN*>(pNMHDR);
    CString text;
    row.edit->GetWindowText(text);
    // The up arrow comes with a negative delta (default range 100..0).
    double value = std::wcstod(text.GetString(), nullptr) - ud->iDelta * row.step;
    if (value < row.lowest)
        value = row.lowest;
    text.Format(row.format, value);
    row.edit->SetWindowText(text);
    *pResult = 0;
}

void CYlthzSetupDialog::OnOK()
{
    m_edtXdis.GetWindowText(m_strXdis);
    m_edtYdis.GetWindowText(m_strYdis);
    m_edtMxkd.GetWindowText(m_strMxkd);
    m_edtMxBl.GetWindowText(m_strMxBl);
    if (m_strXdis.IsEmpty() || m_strYdis.IsEmpty() || m_strMxkd.IsEmpty() || m_strMxBl.IsEmpty()) {
        MessageBox(L"数据不能为空", kCaption, MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    // A number too large for a double would poison every later schematic.
    for (const CString* text : {&m_strXdis, &m_strYdis, &m_strMxkd, &m_strMxBl}) {
        double value = 0.0;
        if (!ProjectDataReal(text->GetString(), value)) {
            MessageBox(L"数据超出范围", kCaption, MB_ICONEXCLAMATION | MB_OK);
            return;
        }
    }
    EndDialog(IDOK);
}
