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
    constexpr DWORD kSpin = UDS_ARROWKEYS | UDS_ALIGNRIGHT;
    t.controls = {
        {.kind = ControlKind::GroupBox, .text = L"屏面图符号:", .rect = {2, 2, 110, 92}, .name = "symbols-group"},
        {.kind = ControlKind::GroupBox, .rect = {2, 94, 110, 21}, .name = "size-group"},
        {.kind = ControlKind::GroupBox, .text = L"设备代号:", .rect = {2, 116, 54, 25}, .name = "code-group"},
        {.kind = ControlKind::GroupBox, .text = L"设备符号:", .rect = {58, 116, 54, 25}, .name = "symbol-group"},
        {.id = IDC_PMT_PREVIEW, .kind = ControlKind::Frame, .rect = {6, 12, 102, 64}, .name = "preview"},
        {.id = IDC_PMT_REFRESH, .kind = ControlKind::PushButton, .text = L"刷新", .rect = {6, 79, 32, 12},
         .style = WS_TABSTOP, .name = "refresh"},
        {.id = IDC_PMT_PREVPAGE, .kind = ControlKind::PushButton, .text = L"上页", .rect = {41, 79, 32, 12},
         .style = WS_TABSTOP, .name = "prev"},
        {.id = IDC_PMT_NEXTPAGE, .kind = ControlKind::PushButton, .text = L"下页", .rect = {76, 79, 32, 12},
         .style = WS_TABSTOP, .name = "next"},
        {.kind = ControlKind::Static, .text = L"宽度:", .rect = {5, 102, 21, 8}, .name = "width-label"},
        {.id = IDC_PMT_WIDTH, .kind = ControlKind::Edit, .rect = {26, 100, 30, 12}, .style = WS_TABSTOP,
         .name = "width"},
        {.id = IDC_PMT_WIDTH_SPIN, .kind = ControlKind::Spin, .rect = {48, 100, 8, 12}, .style = kSpin,
         .buddy = IDC_PMT_WIDTH, .name = "width-spin"},
        {.kind = ControlKind::Static, .text = L"高度:", .rect = {59, 102, 21, 8}, .name = "height-label"},
        {.id = IDC_PMT_HEIGHT, .kind = ControlKind::Edit, .rect = {80, 100, 30, 12}, .style = WS_TABSTOP,
         .name = "height"},
        {.id = IDC_PMT_HEIGHT_SPIN, .kind = ControlKind::Spin, .rect = {102, 100, 8, 12}, .style = kSpin,
         .buddy = IDC_PMT_HEIGHT, .name = "height-spin"},
        {.id = IDC_PMT_CODE, .kind = ControlKind::Edit, .rect = {6, 126, 46, 12}, .style = WS_TABSTOP, .name = "code"},
        {.id = IDC_PMT_CODE_SPIN, .kind = ControlKind::Spin, .rect = {44, 126, 8, 12}, .style = kSpin,
         .buddy = IDC_PMT_CODE, .name = "code-spin"},
        {.id = IDC_PMT_SYMBOL, .kind = ControlKind::Edit, .rect = {62, 126, 46, 12}, .style = WS_TABSTOP,
         .name = "symbol"},
        {.id = IDC_PMT_SYMBOL_SPIN, .kind = ControlKind::Spin, .rect = {100, 126, 8, 12}, .style = kSpin,
         .buddy = IDC_PMT_SYMBOL, .name = "symbol-spin"},
        {.kind = ControlKind::Static, .text = L"设备名称:", .rect = {4, 146, 38, 8}, .name = "name-label"},
        {.id = IDC_PMT_NAME, .kind = ControlKind::Edit, .rect = {42, 144, 68, 12}, .style = WS_TABSTOP, .name = "name"},
        {.kind = ControlKind::Static, .text = L"型号规格:", .rect = {4, 161, 38, 8}, .name = "model-label"},
        {.id = IDC_PMT_MODEL, .kind = ControlKind::Edit, .rect = {42, 159, 68, 12}, .style = WS_TABSTOP,
         .name = "model"},
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
