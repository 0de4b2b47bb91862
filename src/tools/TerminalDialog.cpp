#include "tools/TerminalDialog.h"

#include "components/NorvexGloFunc.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "library/PaletteResources.h"
#include "ui/dlgtemplate.h"

#include <cstdio>
#include <cwchar>
#include <utility>

CDzjdsjDlg* g_pDzjdsjDlg = nullptr;

namespace {

constexpr const wchar_t* kMethodKey = L"Gddata\\Dzjdsj\\Fs";
constexpr const wchar_t* kTypeKey = L"Gddata\\Dzjdsj\\Lx";
constexpr const wchar_t* kPlaceKey = L"Gddata\\Dzjdsj\\Ckwz";

int storedIndex(const wchar_t* key)
{
    ACHAR text[64] = L"";
    GetQrzfile(key, L"0", text, 64);
    return static_cast<int>(std::wcstol(text, nullptr, 10));
}

void storeIndex(const wchar_t* key, int value)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%d", value);
    WriteQrzfile(key, text);
}

} // namespace

void RegisterTerminalResources()
{
    if (ui::findDialogTemplate(IDD_DZJDSJ))
        return;
    ui::DialogTemplate t = ModuleDialogTemplate(IDD_DZJDSJ, "terminal", L"端子/接点设计", 177, 17, true);
    using ui::ControlKind;
    t.controls = {
        {.kind = ControlKind::Static, .text = L"端子类型:", .rect = {2, 5, 36, 8}, .name = "type-label"},
        {.id = IDC_DZJD_TYPE, .kind = ControlKind::ComboBox, .rect = {38, 2, 50, 60}, .style = WS_TABSTOP, .name = "type"},
        {.kind = ControlKind::Static, .text = L"绘制方式:", .rect = {91, 5, 36, 8}, .name = "method-label"},
        {.id = IDC_DZJD_METHOD, .kind = ControlKind::ComboBox, .rect = {127, 2, 48, 60}, .style = WS_TABSTOP,
         .name = "method"},
    };
    ui::registerDialogTemplate(std::move(t));
}

CDzjdsjDlg::CDzjdsjDlg()
{
    RegisterTerminalResources();
    m_nIDTemplate = IDD_DZJDSJ;
}

CDzjdsjDlg::~CDzjdsjDlg()
{
    if (m_hWnd)
        DestroyWindow();
}

BOOL CDzjdsjDlg::Create(CWnd* parent)
{
    return CDialog::Create(IDD_DZJDSJ, parent);
}

void CDzjdsjDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DZJD_METHOD, m_cbMethod);
    DDX_Control(pDX, IDC_DZJD_TYPE, m_cbType);
}

BOOL CDzjdsjDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The lists' items, in their order.
    for (const wchar_t* item : {L"接点", L"端子", L"可拆卸端子"})
        m_cbType.AddString(item);
    for (const wchar_t* item : {L"区域", L"截线", L"单点", L"线端"})
        m_cbMethod.AddString(item);
    m_nMethod = storedIndex(kMethodKey);
    m_nType = storedIndex(kTypeKey);
    m_cbMethod.SetCurSel(m_nMethod);
    m_cbType.SetCurSel(m_nType);

    // The saved position, each axis brought back onto the desktop on its own.
    ACHAR place[64] = L"";
    GetQrzfile(kPlaceKey, L"150 150", place, 64);
    int left = 150, top = 150;
    if (std::swscanf(place, L"%d %d", &left, &top) != 2)
        left = top = 150;
    CRect window, desktop;
    GetWindowRect(&window);
    GetDesktopWindow()->GetWindowRect(&desktop);
    const int w = window.Width(), h = window.Height();
    if (top + h < 0 || top > desktop.bottom)
        top = 0;
    if (left + w < 0 || left > desktop.right)
        left = 0;
    MoveWindow(left, top, w, h);
    return TRUE;
}

void CDzjdsjDlg::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
{
    CDialog::OnActivate(nState, pWndOther, bMinimized);
    if (nState != WA_INACTIVE || !IsWindowVisible())
        return;
    const int method = m_cbMethod.GetCurSel(), type = m_cbType.GetCurSel();
    if (method == m_nMethod && type == m_nType)
        return;
    m_nMethod = method;
    m_nType = type;
    storeIndex(kMethodKey, m_nMethod);
    storeIndex(kTypeKey, m_nType);
    SendMsgToAcad(L"s ", 3);
}

void CDzjdsjDlg::OnDestroy()
{
    CRect r;
    GetWindowRect(&r);
    wchar_t place[64];
    std::swprintf(place, 64, L"%d %d", static_cast<int>(r.left), static_cast<int>(r.top));
    WriteQrzfile(kPlaceKey, place);
    CDialog::OnDestroy();
}

LRESULT CDzjdsjDlg::OnAcadKeepFocus(WPARAM, LPARAM)
{
    return TRUE;
}

void CloseDzjdDialog()
{
    DestroyModuleDialog(std::exchange(g_pDzjdsjDlg, nullptr));
}

int showdzjddlg()
{
    if (!g_pDzjdsjDlg) {
        const AcApResourceHandleScope resources(PaletteResourceHandle());
        auto* dialog = new CDzjdsjDlg;
        if (dialog->Create(AfxGetMainWnd()))
            g_pDzjdsjDlg = dialog;
        else
            delete dialog;
    }
    if (g_pDzjdsjDlg)
        g_pDzjdsjDlg->ShowWindow(SW_SHOW);
    acedRetVoid();
    return RTNORM;
}

int hidedzjddlg()
{
    CloseDzjdDialog();
    acedRetVoid();
    return RTNORM;
}

int getdzjddlg()
{
    const int type = g_pDzjdsjDlg ? g_pDzjdsjDlg->GetType() : storedIndex(kTypeKey);
    const int method = g_pDzjdsjDlg ? g_pDzjdsjDlg->GetMethod() : storedIndex(kMethodKey);
    resbuf* list = acutBuildList(RTSHORT, type, RTSHORT, method, 0);
    if (list)
        acedRetList(list);
    else
        acedRetNil();
    acutRelRb(list);
    return RTNORM;
}
