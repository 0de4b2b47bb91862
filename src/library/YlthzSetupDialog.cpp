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

    ui::ControlTemplate frame;
    frame.kind = ControlKind::GroupBox;
    frame.rect = {5, 2, 87, 64};
    frame.name = "group";
    t.controls.push_back(frame);

    // Label, edit box and spin control per row; the spin sits at the right
    // end of its edit box (UDS_ALIGNRIGHT takes its width from the box).
    // The edit box is named by its row; its label and spin add "-label"
    // and "-spin".
    struct RowLayout {
        const wchar_t* label;
        int edit;
        int spin;
        std::string name;
    };
    const RowLayout rows[] = {
        {L"横向间距:", IDC_YLTHZ_XDIS, IDC_YLTHZ_XDIS_SPIN, "x-spacing"},
        {L"纵向间距:", IDC_YLTHZ_YDIS, IDC_YLTHZ_YDIS_SPIN, "y-spacing"},
        {L"线    宽:", IDC_YLTHZ_MXKD, IDC_YLTHZ_MXKD_SPIN, "wire-width"},
        {L"设备比例:", IDC_YLTHZ_MXBL, IDC_YLTHZ_MXBL_SPIN, "scale"},
    };
    int y = 11;
    for (const RowLayout& r : rows) {
        ui::ControlTemplate label;
        label.kind = ControlKind::Static;
        label.text = r.label;
        label.rect = {9, y + 2, 40, 8};
        label.name = r.name + "-label";
        t.controls.push_back(label);

        ui::ControlTemplate edit;
        edit.id = r.edit;
        edit.kind = ControlKind::Edit;
        edit.rect = {50, y, 36, 12};
        edit.name = r.name;
        t.controls.push_back(edit);

        ui::ControlTemplate spin;
        spin.id = r.spin;
        spin.kind = ControlKind::Spin;
        spin.rect = {76, y, 10, 12};
        spin.style = UDS_ARROWKEYS | UDS_ALIGNRIGHT;
        spin.buddy = r.edit;
        spin.name = r.name + "-spin";
        t.controls.push_back(spin);
        y += 13;
    }

    ui::ControlTemplate ok;
    ok.id = IDOK;
    ok.kind = ControlKind::DefPushButton;
    ok.text = L"确定";
    ok.rect = {8, 69, 38, 13};
    t.controls.push_back(ok);

    ui::ControlTemplate cancel;
    cancel.id = IDCANCEL;
    cancel.kind = ControlKind::PushButton;
    cancel.text = L"取消";
    cancel.rect = {51, 69, 38, 13};
    t.controls.push_back(cancel);
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
