#include "panel/PmtsbcsDlg.h"
#include "library/PaletteResources.h"

#include "host/acapdoc.h"
#include "library/SlidePreview.h"
#include "ui/dlgtemplate.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <utility>
#include <cwctype>

CPmtsbcsDlg* g_pPmtsbcsDlg = nullptr;

namespace {

constexpr const wchar_t* kPanelLibrary = L"屏面图符号";
// The symbol whose width follows its height.
constexpr int kSquareSymbol = 1;

using ui::ControlKind;

ui::ControlTemplate control(const char* name, UINT id, ControlKind kind, const wchar_t* text, ui::DluRect r,
                            DWORD style = 0, int buddy = 0)
{
    return ui::ControlTemplate{static_cast<int>(id), kind, text, r, style, false, buddy, name};
}

ui::ControlTemplate spin(const char* name, UINT id, UINT buddy, ui::DluRect r)
{
    return control(name, id, ControlKind::Spin, L"", r, UDS_ARROWKEYS | UDS_ALIGNRIGHT, static_cast<int>(buddy));
}

CString textOf(const CWnd& w)
{
    CString t;
    w.GetWindowText(t);
    return t;
}

} // namespace

void RegisterPanelResources()
{
    if (ui::findDialogTemplate(IDD_PMTSBCS))
        return;
    ui::DialogTemplate t = ModuleDialogTemplate(IDD_PMTSBCS, "panel", L"屏面图设备布置", 114, 177, true);
    t.controls = {
        control("symbols-group", IDC_STATIC, ControlKind::GroupBox, L"屏面图符号:", {2, 2, 110, 92}),
        control("size-group", IDC_STATIC, ControlKind::GroupBox, L"", {2, 94, 110, 21}),
        control("code-group", IDC_STATIC, ControlKind::GroupBox, L"设备代号:", {2, 116, 54, 25}),
        control("symbol-group", IDC_STATIC, ControlKind::GroupBox, L"设备符号:", {58, 116, 54, 25}),
        control("preview", IDC_PMT_PREVIEW, ControlKind::Frame, L"", {6, 12, 102, 64}),
        control("refresh", IDC_PMT_REFRESH, ControlKind::PushButton, L"刷新", {6, 79, 32, 12}, WS_TABSTOP),
        control("prev", IDC_PMT_PREVPAGE, ControlKind::PushButton, L"上页", {41, 79, 32, 12}, WS_TABSTOP),
        control("next", IDC_PMT_NEXTPAGE, ControlKind::PushButton, L"下页", {76, 79, 32, 12}, WS_TABSTOP),
        control("width-label", IDC_STATIC, ControlKind::Static, L"宽度:", {5, 102, 21, 8}),
        control("width", IDC_PMT_WIDTH, ControlKind::Edit, L"", {26, 100, 30, 12}, WS_TABSTOP),
        spin("width-spin", IDC_PMT_WIDTH_SPIN, IDC_PMT_WIDTH, {48, 100, 8, 12}),
        control("height-label", IDC_STATIC, ControlKind::Static, L"高度:", {59, 102, 21, 8}),
        control("height", IDC_PMT_HEIGHT, ControlKind::Edit, L"", {80, 100, 30, 12}, WS_TABSTOP),
        spin("height-spin", IDC_PMT_HEIGHT_SPIN, IDC_PMT_HEIGHT, {102, 100, 8, 12}),
        control("code", IDC_PMT_CODE, ControlKind::Edit, L"", {6, 126, 46, 12}, WS_TABSTOP),
        spin("code-spin", IDC_PMT_CODE_SPIN, IDC_PMT_CODE, {44, 126, 8, 12}),
        control("symbol", IDC_PMT_SYMBOL, ControlKind::Edit, L"", {62, 126, 46, 12}, WS_TABSTOP),
        spin("symbol-spin", IDC_PMT_SYMBOL_SPIN, IDC_PMT_SYMBOL, {100, 126, 8, 12}),
        control("name-label", IDC_STATIC, ControlKind::Static, L"设备名称:", {4, 146, 38, 8}),
        control("name", IDC_PMT_NAME, ControlKind::Edit, L"", {42, 144, 68, 12}, WS_TABSTOP),
        control("model-label", IDC_STATIC, ControlKind::Static, L"型号规格:", {4, 161, 38, 8}),
        control("model", IDC_PMT_MODEL, ControlKind::Edit, L"", {42, 159, 68, 12}, WS_TABSTOP),
    };
    ui::registerDialogTemplate(std::move(t));
}

CPmtsbcsDlg::CPmtsbcsDlg()
{
    RegisterPanelResources();
    m_nIDTemplate = IDD_PMTSBCS;
    m_nCurSel = 0;
    MapCommand(IDC_PMT_REFRESH, std::function<void()>([this] {
                   Reload();
                   InvalidatePreview();
               }));
    MapCommand(IDC_PMT_PREVPAGE, std::function<void()>([this] {
                   if (!m_bLibraryAvailable)
                       return;
                   --m_nPage;
                   UpdateButtons();
                   InvalidatePreview();
               }));
    MapCommand(IDC_PMT_NEXTPAGE, std::function<void()>([this] {
                   if (!m_bLibraryAvailable)
                       return;
                   ++m_nPage;
                   UpdateButtons();
                   InvalidatePreview();
               }));
    MapControl(EN_CHANGE, IDC_PMT_HEIGHT, std::function<void()>([this] {
                   if (m_nCurSel == kSquareSymbol && m_edWidth.m_hWnd)
                       m_edWidth.SetWindowText(textOf(m_edHeight));
               }));
    const auto spinOf = [this](UINT id, std::function<void(int)> step) {
        MapNotify(UDN_DELTAPOS, id, std::function<void(NMHDR*, LRESULT*)>([step](NMHDR* hdr, LRESULT* result) {
                      step(reinterpret_cast<NMUPDOWN*>(hdr)->iDelta);
                      *result = 0;
                  }));
    };
    spinOf(IDC_PMT_WIDTH_SPIN, [this](int d) { StepSize(m_edWidth, d); });
    spinOf(IDC_PMT_HEIGHT_SPIN, [this](int d) { StepSize(m_edHeight, d); });
    spinOf(IDC_PMT_CODE_SPIN, [this](int d) { StepNumber(m_edCode, d, L"I1"); });
    spinOf(IDC_PMT_SYMBOL_SPIN, [this](int d) { StepNumber(m_edSymbol, d, L"1LP"); });
}

CPmtsbcsDlg::~CPmtsbcsDlg()
{
    if (m_hWnd)
        DestroyWindow();
}

BOOL CPmtsbcsDlg::Create(CWnd* parent)
{
    return CDialog::Create(IDD_PMTSBCS, parent);
}

void CPmtsbcsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PMT_WIDTH_SPIN, m_spWidth);
    DDX_Control(pDX, IDC_PMT_HEIGHT_SPIN, m_spHeight);
    DDX_Control(pDX, IDC_PMT_CODE_SPIN, m_spCode);
    DDX_Control(pDX, IDC_PMT_SYMBOL_SPIN, m_spSymbol);
    DDX_Control(pDX, IDC_PMT_NAME, m_edName);
    DDX_Control(pDX, IDC_PMT_MODEL, m_edModel);
    DDX_Control(pDX, IDC_PMT_PREVPAGE, m_btPrevPage);
    DDX_Control(pDX, IDC_PMT_NEXTPAGE, m_btNextPage);
    DDX_Control(pDX, IDC_PMT_PREVIEW, m_stPreview);
    DDX_Control(pDX, IDC_PMT_CODE, m_edCode);
    DDX_Control(pDX, IDC_PMT_SYMBOL, m_edSymbol);
    DDX_Control(pDX, IDC_PMT_WIDTH, m_edWidth);
    DDX_Control(pDX, IDC_PMT_HEIGHT, m_edHeight);
}

BOOL CPmtsbcsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Back where it was left, unless that is wholly off the desktop.
    MoveToSavedPosition(*this, m_settings.getInt(L"Gddata\\Pmtsj\\Wz\\X", 200),
                        m_settings.getInt(L"Gddata\\Pmtsj\\Wz\\Y", 300));

    m_edWidth.SetWindowText(m_settings.getReal(L"Gddata\\Pmtsj\\Sb\\XScale", L"1.0"));
    m_edHeight.SetWindowText(m_settings.getReal(L"Gddata\\Pmtsj\\Sb\\YScale", L"1.0"));
    m_edCode.SetWindowText(m_settings.get(L"Gddata\\Pmtsj\\Sb\\Sbh", L""));
    m_edSymbol.SetWindowText(m_settings.get(L"Gddata\\Pmtsj\\Sb\\Sbfh", L""));
    m_edName.SetWindowText(m_settings.get(L"Gddata\\Pmtsj\\Sb\\Sbmc", L""));
    m_edModel.SetWindowText(m_settings.get(L"Gddata\\Pmtsj\\Sb\\Xhgg", L""));
    m_nCurSel = m_settings.getInt(L"Gddata\\Pmtsj\\Sb\\CurSel", 0);
    m_strSymbolName = L"NULL";
    ACHAR buffer[1024];
    GetInformation(L"Dwglib", L"DwgDir", L"C:\\Vmq40\\DwgLib2D", buffer, 1024);
    m_strDwgDir = buffer;
    m_strCatalogPath = m_strDwgDir + L"\\t-sywj.dat";
    m_stPreview.GetWindowRect(&m_rcPreview);
    ScreenToClient(&m_rcPreview);
    Reload();
    const std::wstring folder = m_nCurEntry >= 0 ? m_catalog.GetFolderName(m_nCurEntry) : std::wstring();
    m_strLibraryFolder = m_strDwgDir + L"\\" + folder.c_str();
    UpdateButtons();
    if (m_nCurSel >= 0 && m_nCurSel < m_index.GetCount())
        m_strSymbolName = m_index.GetName(m_nCurSel).c_str();
    return TRUE;
}

void CPmtsbcsDlg::Reload()
{
    m_bLibraryAvailable = m_bSlidesAvailable = true;
    const auto giveUp = [this] {
        m_bLibraryAvailable = m_bSlidesAvailable = false;
        m_nCurEntry = -1;
        m_nCurSel = -1;
        m_nColumns = m_nRows = 6;
        m_nPage = 0;
    };
    if (!m_catalog.Load(m_strCatalogPath.GetString())) {
        giveUp();
        return;
    }
    m_nCurEntry = -1;
    for (int i = 0; i < m_catalog.GetCount(); ++i)
        if (m_catalog.GetDisplayName(i) == kPanelLibrary)
            m_nCurEntry = i;
    if (m_nCurEntry < 0) {
        giveUp();
        return;
    }
    // Grid sizes below 1 never come out of the catalogue; large ones are
    // bounded as in the palette.
    m_nColumns = m_nRows = std::min<int>(m_catalog.GetGridSize(m_nCurEntry), 64);
    m_nPage = 0;
    const std::wstring dwgDir = m_strDwgDir.GetString();
    m_strIndexPath = m_catalog.GetIndexPath(dwgDir, m_nCurEntry).c_str();
    m_strSlidePath = m_catalog.GetSlideLibraryPath(dwgDir, m_nCurEntry).c_str();
    if (!m_index.Load(m_strIndexPath.GetString())) {
        m_nColumns = m_nRows = 6;
        m_bSlidesAvailable = false;
        m_nPage = 0;
        m_nCurSel = -1;
    }
}

void CPmtsbcsDlg::UpdateButtons()
{
    UpdatePageButtons(&m_btPrevPage, &m_btNextPage, m_bSlidesAvailable, m_nPage, m_index.GetCount(), m_nColumns);
    const bool square = m_nCurSel == kSquareSymbol;
    if (square)
        m_edWidth.SetWindowText(textOf(m_edHeight));
    m_edWidth.EnableWindow(!square);
    m_spWidth.EnableWindow(!square);
}

void CPmtsbcsDlg::InvalidatePreview()
{
    InvalidateRect(&m_rcPreview, TRUE);
}

void CPmtsbcsDlg::OnPaint()
{
    CPaintDC dc(this);
    const int n = m_nColumns, perPage = n * n;
    PaintSlidePage(dc, m_rcPreview, n, m_nPage, m_index, m_strSlidePath, m_bSlidesAvailable);
    if (m_nCurSel >= m_nPage * perPage && m_nCurSel < (m_nPage + 1) * perPage) {
        MarkSlot(m_graph, dc, m_rcPreview, n, m_nPage, m_nCurSel);
        if (m_nCurSel < m_index.GetCount())
            m_strSymbolName = m_index.GetName(m_nCurSel).c_str();
    }
}

void CPmtsbcsDlg::OnLButtonDown(UINT nFlags, CPoint point)
{
    if ((nFlags & (MK_SHIFT | MK_CONTROL)) == 0 && (nFlags & MK_LBUTTON) && IsInsidePreview(m_rcPreview, point)) {
        const int slot = SlotAtPoint(m_rcPreview, m_nColumns, m_nPage, point);
        if (slot >= 0) {
            CClientDC dc(this);
            if (m_nCurSel >= 0)
                MarkSlot(m_graph, dc, m_rcPreview, m_nColumns, m_nPage, m_nCurSel);
            m_nCurSel = slot;
            MarkSlot(m_graph, dc, m_rcPreview, m_nColumns, m_nPage, m_nCurSel);
            m_strSymbolName = m_nCurSel < m_index.GetCount() ? CString(m_index.GetName(m_nCurSel).c_str())
                                                             : CString(L"NULL");
        }
    }
    UpdateButtons();
    CDialog::OnLButtonDown(nFlags, point);
}

bool CPmtsbcsDlg::ItemPoint(const std::wstring& item, ItemClick& click, std::wstring& why)
{
    return SlotItemPoint(m_index, m_rcPreview, m_nColumns, m_nPage, item, m_btPrevPage, m_btNextPage, click, why);
}

void CPmtsbcsDlg::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
{
    CDialog::OnActivate(nState, pWndOther, bMinimized);
    if (nState == WA_INACTIVE && IsWindowVisible()) {
        SaveSettings();
        SendMsgToAcad(L"s ", 3);
    }
}

void CPmtsbcsDlg::OnClose()
{
    SaveSettings();
    CDialog::OnClose();
}

LRESULT CPmtsbcsDlg::OnAcadKeepFocus(WPARAM, LPARAM)
{
    return TRUE;
}

void CPmtsbcsDlg::StepSize(CWnd& box, int delta)
{
    CString text = textOf(box);
    if (text.IsEmpty()) {
        text = L"1";
        box.SetWindowText(text);
    }
    const long long v = std::wcstol(text.GetString(), nullptr, 10);
    const long long next = v - static_cast<long long>(delta) * (v >= 10 ? 10 : 1);
    CString out;
    out.Format(L"%d", static_cast<int>(std::clamp<long long>(next, 1, INT_MAX)));
    box.SetWindowText(out);
}

void CPmtsbcsDlg::StepNumber(CWnd& box, int delta, const wchar_t* whenEmpty)
{
    std::wstring text = textOf(box).GetString();
    if (text.empty()) {
        text = whenEmpty;
        box.SetWindowText(text.c_str());
    }
    const auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    const auto first = std::find_if(text.begin(), text.end(), digit);
    if (first == text.end())
        return;
    const auto last = std::find_if_not(first, text.end(), digit);
    const std::wstring run(first, last);
    const long long n = std::wcstoll(run.c_str(), nullptr, 10) - delta;
    CString number;
    number.Format(L"%d", static_cast<int>(std::clamp<long long>(n, 0, INT_MAX)));
    const std::wstring result = std::wstring(text.begin(), first) + number.GetString() + std::wstring(last, text.end());
    box.SetWindowText(result.c_str());
}

CString CPmtsbcsDlg::GetSymbolPath()
{
    if (m_strSymbolName.IsEmpty())
        m_strSymbolName = L"NULL";
    if (m_strSymbolName == L"NULL")
        return L"NULL";
    return m_strLibraryFolder + L"\\" + m_strSymbolName + L".dwg";
}

double CPmtsbcsDlg::GetWidth()
{
    if (m_nCurSel == kSquareSymbol)
        m_edWidth.SetWindowText(textOf(m_edHeight));
    return std::wcstod(textOf(m_edWidth).GetString(), nullptr);
}

double CPmtsbcsDlg::GetHeight()
{
    return std::wcstod(textOf(m_edHeight).GetString(), nullptr);
}

PanelEquipmentTexts CPmtsbcsDlg::GetEquipmentTexts() const
{
    return PanelEquipmentTexts{textOf(m_edCode), textOf(m_edSymbol), textOf(m_edName), textOf(m_edModel)};
}

void CPmtsbcsDlg::SaveSettings()
{
    if (m_hWnd) {
        CRect r;
        GetWindowRect(&r);
        m_settings.setInt(L"Gddata\\Pmtsj\\Wz\\X", r.left);
        m_settings.setInt(L"Gddata\\Pmtsj\\Wz\\Y", r.top);
        m_settings.set(L"Gddata\\Pmtsj\\Sb\\XScale", textOf(m_edWidth));
        m_settings.set(L"Gddata\\Pmtsj\\Sb\\YScale", textOf(m_edHeight));
        m_settings.set(L"Gddata\\Pmtsj\\Sb\\Sbh", textOf(m_edCode));
        m_settings.set(L"Gddata\\Pmtsj\\Sb\\Sbfh", textOf(m_edSymbol));
        m_settings.set(L"Gddata\\Pmtsj\\Sb\\Sbmc", textOf(m_edName));
        m_settings.set(L"Gddata\\Pmtsj\\Sb\\Xhgg", textOf(m_edModel));
    }
    m_settings.setInt(L"Gddata\\Pmtsj\\Sb\\CurSel", m_nCurSel);
    m_settings.save();
}

void DeletePanelDialog()
{
    DestroyModuleDialog(std::exchange(g_pPmtsbcsDlg, nullptr));
}
