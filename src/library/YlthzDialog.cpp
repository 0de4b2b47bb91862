#include "library/YlthzDialog.h"

#include "host/acapdoc.h"
#include "library/PaletteResources.h"
#include "library/SlidePreview.h"
#include "library/YlthzSetupDialog.h"

#include <algorithm>
#include <cwchar>

CYlthzDialog* g_pYlthzDlg = nullptr;

namespace {

constexpr UINT kPaletteDoubleClickTime = 200;

// The action buttons in keyword order e1 .. e8.
constexpr UINT kActionIds[8] = {IDC_YLTHZ_REPLACE,       IDC_YLTHZ_DELETE,       IDC_YLTHZ_MIRROR,
                                IDC_YLTHZ_ROTATE,        IDC_YLTHZ_INSERT_STRING, IDC_YLTHZ_INSERT_LINK,
                                IDC_YLTHZ_ADD_STRING,    IDC_YLTHZ_DELETE_STRING};

// The controls that fix the shape of a new schematic.
constexpr UINT kShapeControls[] = {IDC_YLTHZ_ROWS,       IDC_YLTHZ_COLUMNS,     IDC_YLTHZ_COUNT,
                                   IDC_YLTHZ_COUNT_SPIN, IDC_YLTHZ_COUNT_LABEL, IDC_YLTHZ_SETTINGS_GROUP,
                                   IDC_YLTHZ_PARAMS};

int actionIndex(UINT id)
{
    for (int i = 0; i < 8; ++i)
        if (kActionIds[i] == id)
            return i;
    return -1;
}

// The standard conversions: leading blanks, then as much of a number as
// there is; 0 when there is none.
int textToInt(const CString& text)
{
    const long v = std::wcstol(text.GetString(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

double textToReal(const CString& text) { return std::wcstod(text.GetString(), nullptr); }

// The symbol count a typed number gives: 0 (nothing or no number) is 3,
// and a string holds at least one cell.
int symbolCountOf(const CString& text)
{
    const int n = textToInt(text);
    return n == 0 ? 3 : std::max(1, n);
}

CString withBackslash(const CString& folder)
{
    if (folder.IsEmpty() || folder.Right(1) != L"\\")
        return folder + L"\\";
    return folder;
}

CString decimal(int value)
{
    CString s;
    s.Format(L"%d", value);
    return s;
}

} // namespace

CYlthzDialog::CYlthzDialog()
{
    RegisterPaletteResources();
    m_nIDTemplate = IDD_YLTHZ;
    ACHAR buffer[1024];
    GetInformation(L"Dwglib", L"DwgDir", L"C:\\Vmq40\\DwgLib2D", buffer, 1024);
    m_strDwgDir = buffer;
    m_strCatalogPath = withBackslash(m_strDwgDir) + L"T-Sywj.dat";
    m_bCommandReady = false;
    m_bActionActive = false;
    m_nRowcol = -1;
    m_nSavedDoubleClickTime = GetDoubleClickTime();
    SetDoubleClickTime(kPaletteDoubleClickTime);

    MapCommand(IDC_YLTHZ_REFRESH, &CYlthzDialog::OnRefreshButton);
    MapCommand(IDC_YLTHZ_PREVPAGE, &CYlthzDialog::OnPrevPage);
    MapCommand(IDC_YLTHZ_NEXTPAGE, &CYlthzDialog::OnNextPage);
    MapCommand(IDC_YLTHZ_ROWS, &CYlthzDialog::OnRowArrangement);
    MapCommand(IDC_YLTHZ_COLUMNS, &CYlthzDialog::OnColumnArrangement);
    MapCommand(IDC_YLTHZ_PARAMS, &CYlthzDialog::OnCircuitParameters);
    MapControl(CBN_SELCHANGE, IDC_YLTHZ_LIBRARY, &CYlthzDialog::OnLibraryChange);
    MapNotify(UDN_DELTAPOS, IDC_YLTHZ_COUNT_SPIN, &CYlthzDialog::OnCountSpin);
    MapCommandRange(ID_YLTHZ_TOOL_FIRST, ID_YLTHZ_TOOL_LAST, &CYlthzDialog::OnToolButton);
    for (UINT id : kActionIds)
        MapCommand(id, std::function<void()>([this, id] { OnActionButton(id); }));
    MapNotifyRange(TTN_NEEDTEXTW, ID_YLTHZ_TOOL_FIRST, ID_YLTHZ_TOOL_LAST, [](NMHDR* hdr, LRESULT*) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
        info->lpszText = const_cast<LPWSTR>(PaletteToolTip(static_cast<UINT>(hdr->idFrom)));
    });
}

CYlthzDialog::~CYlthzDialog()
{
    if (m_hWnd)
        DestroyWindow();
    SetDoubleClickTime(m_nSavedDoubleClickTime);
}

BOOL CYlthzDialog::Create()
{
    return CDialog::Create(IDD_YLTHZ, AfxGetMainWnd());
}

void CYlthzDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_YLTHZ_LIBRARY, m_cbLibrary);
    DDX_Control(pDX, IDC_YLTHZ_PREVIEW, m_stPreview);
    DDX_Control(pDX, IDC_YLTHZ_REFRESH, m_btRefresh);
    DDX_Control(pDX, IDC_YLTHZ_PREVPAGE, m_btPrevPage);
    DDX_Control(pDX, IDC_YLTHZ_NEXTPAGE, m_btNextPage);
    DDX_Control(pDX, IDC_YLTHZ_PARAMS, m_btParams);
    DDX_Control(pDX, IDC_YLTHZ_COUNT_LABEL, m_stCountLabel);
    DDX_Control(pDX, IDC_YLTHZ_COUNT, m_edCount);
    DDX_Control(pDX, IDC_YLTHZ_COUNT_SPIN, m_spCount);
    for (int i = 0; i < 8; ++i)
        DDX_Control(pDX, static_cast<int>(kActionIds[i]), m_btActions[i]);
    DDX_Radio(pDX, IDC_YLTHZ_ROWS, m_nRowcol);
    // The count box holds the text of a number; what is typed there counts
    // from the next schematic on.
    if (pDX->m_bSaveAndValidate) {
        CString text;
        m_edCount.GetWindowText(text);
        m_nSymbolCount = symbolCountOf(text);
    } else {
        m_edCount.SetWindowText(decimal(m_nSymbolCount));
    }
}

CString CYlthzDialog::Setting(const wchar_t* key, const wchar_t* defaultValue)
{
    return m_settings.get(key, defaultValue);
}

void CYlthzDialog::StoreSetting(const wchar_t* key, const CString& value)
{
    m_settings.set(key, value);
}

void CYlthzDialog::ReadSettings()
{
    m_nCurSel = textToInt(Setting(L"ylthz\\CurSel", L"0"));
    m_nRowcol = textToInt(Setting(L"ylthz\\RowcolMark", L"0"));
    const CString count = Setting(L"ylthz\\Num", L"6");
    m_nSymbolCount = textToInt(count);
    m_edCount.SetWindowText(count);
    m_strIdxName = Setting(L"ylthz\\IdxName", L"常用原理图符号");
    m_strMxkd = m_settings.getReal(L"Gddata\\Yltsz\\Mxkd", L"0.30");
    m_strXdis = m_settings.getReal(L"Gddata\\Yltsz\\Xdis", L"30.0");
    m_strYdis = m_settings.getReal(L"Gddata\\Yltsz\\Ydis", L"20.0");
    m_strMxBl = m_settings.getReal(L"Gddata\\Yltsz\\MxBl", L"1.0");
    m_dMxkd = textToReal(m_strMxkd);
    m_dXdis = textToReal(m_strXdis);
    m_dYdis = textToReal(m_strYdis);
    m_dMxBl = textToReal(m_strMxBl);
}

BOOL CYlthzDialog::OnInitDialog()
{
    const AcApResourceHandleScope resources(PaletteResourceHandle());
    CDialog::OnInitDialog();

    CRect place;
    if (CWnd* holder = GetDlgItem(IDC_YLTHZ_TOOLBAR_PLACE)) {
        holder->GetWindowRect(&place);
        ScreenToClient(&place);
    }
    m_toolbar.Create(WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_TOP |
                         CCS_NOMOVEY,
                     place, this, IDC_YLTHZ_TOOLBAR_PLACE + 1);
    m_toolbar.AddBitmap(5, IDB_YLTHZ_TOOLS);
    TBBUTTON buttons[5];
    for (int i = 0; i < 5; ++i)
        buttons[i] = TBBUTTON{i, static_cast<int>(ID_YLTHZ_TOOL_FIRST) + i, TBSTATE_ENABLED, TBSTYLE_BUTTON, 0, -1};
    m_toolbar.AddButtons(5, buttons);
    m_toolbar.SetButtonSize(CSize(22, 17));
    m_toolbar.SetBitmapSize(CSize(20, 15));
    m_toolbar.AutoSize();

    m_stPreview.GetWindowRect(&m_rcPreview);
    ScreenToClient(&m_rcPreview);

    ReadSettings();
    Refresh();

    // Back where it was left, unless that is wholly off the desktop.
    MoveToSavedPosition(*this, textToInt(Setting(L"ylthz\\pos\\x", L"200")),
                        textToInt(Setting(L"ylthz\\pos\\y", L"300")));

    m_strSelName = L"NULL";
    ApplyInsertCaptions();
    UpdateData(FALSE);
    // What the first painting decides holds before it comes.
    TakeShownPage();
    return TRUE;
}

void CYlthzDialog::Refresh()
{
    m_bLibraryAvailable = true;
    m_bSlidesAvailable = true;
    const auto giveUp = [this] {
        m_bLibraryAvailable = m_bSlidesAvailable = false;
        m_nCurSel = -1;
        m_nColumns = m_nRows = 6;
        m_nPage = 0;
    };
    if (!m_catalog.Load(m_strCatalogPath.GetString())) {
        m_nCurEntry = -1;
        giveUp();
        return;
    }
    m_nCurEntry = -1;
    m_cbLibrary.ResetContent();
    const std::wstring dwgDir = m_strDwgDir.GetString();
    for (int i = 0; i < m_catalog.GetCount(); ++i) {
        if (!m_catalog.IsSchematicLibrary(dwgDir, i))
            continue;
        const std::wstring name = m_catalog.GetDisplayName(i);
        m_cbLibrary.AddString(name.c_str());
        if (name == m_strIdxName.GetString())
            m_nCurEntry = i;
    }
    if (m_nCurEntry < 0) {
        giveUp();
        return;
    }
    m_cbLibrary.SetCurSel(m_cbLibrary.FindString(-1, m_strIdxName));
    m_nColumns = m_nRows = std::min<int>(m_catalog.GetGridSize(m_nCurEntry), kMaxGridSize);
    m_nPage = 0;
    m_strIndexPath = m_catalog.GetIndexPath(dwgDir, m_nCurEntry).c_str();
    m_strSlidePath = m_catalog.GetSlideLibraryPath(dwgDir, m_nCurEntry).c_str();
    CheckSlideLibrary(m_strSlidePath);
    if (!m_index.Load(m_strIndexPath.GetString())) {
        m_nColumns = m_nRows = 6;
        m_bSlidesAvailable = false;
        m_nPage = 0;
        m_nCurSel = -1;
    }
    m_strLibraryFolder = m_strDwgDir + L"\\" + m_catalog.GetFolderName(m_nCurEntry).c_str();
    CString caption = L"空";
    if (m_nCurSel >= 0 && m_nCurSel < m_index.GetCount()) {
        const std::wstring description = m_index.GetDescription(m_nCurSel);
        if (!description.empty())
            caption = description.c_str();
    }
    SetWindowText(caption);
}

int CYlthzDialog::PageCount() const
{
    const int perPage = m_nColumns * m_nRows;
    return (m_index.GetCount() - 1) / perPage + 1;
}

void CYlthzDialog::InvalidatePreview()
{
    InvalidateRect(&m_rcPreview, TRUE);
    UpdateWindow();
}

bool CYlthzDialog::SelectionIsShown() const
{
    const int perPage = m_nColumns * m_nRows;
    return m_nCurSel >= m_nPage * perPage && m_nCurSel < (m_nPage + 1) * perPage;
}

void CYlthzDialog::TakeShownPage()
{
    UpdatePageButtons(&m_btPrevPage, &m_btNextPage, m_bSlidesAvailable, m_nPage, m_index.GetCount(), m_nColumns);
    if (SelectionIsShown() && m_nCurSel < m_index.GetCount()) {
        m_strSelName = m_index.GetName(m_nCurSel).c_str();
        m_strSelDescription = m_index.GetDescription(m_nCurSel).c_str();
        m_strSelCode = m_index.GetCode(m_nCurSel).c_str();
    }
}

void CYlthzDialog::OnPaint()
{
    CPaintDC dc(this);
    PaintSlidePage(dc, m_rcPreview, m_nColumns, m_nPage, m_index, m_strSlidePath, m_bSlidesAvailable);
    TakeShownPage();
    if (SelectionIsShown())
        MarkSlot(m_graph, dc, m_rcPreview, m_nColumns, m_nPage, m_nCurSel);
}

void CYlthzDialog::Show()
{
    ShowWindow(SW_SHOW);
    UpdateWindow();
}

void CYlthzDialog::OnLButtonDown(UINT nFlags, CPoint point)
{
    if (nFlags != MK_LBUTTON || !IsInsidePreview(m_rcPreview, point)) {
        CDialog::OnLButtonDown(nFlags, point);
        return;
    }
    // A double click on the preview does nothing: wait whether the second
    // press comes within the double-click time.
    const HWND self = m_hWnd;
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start <= GetDoubleClickTime()) {
        if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            continue;
        TranslateMessage(&msg);
        DispatchMessage(&msg);
        if (msg.message == WM_LBUTTONDBLCLK)
            return;
        if (!IsWindow(self))
            return;
    }

    const int slot = SlotAtPoint(m_rcPreview, m_nColumns, m_nPage, point);
    if (slot >= 0) {
        CClientDC dc(this);
        if (m_nCurSel >= 0)
            MarkSlot(m_graph, dc, m_rcPreview, m_nColumns, m_nPage, m_nCurSel);
        m_nCurSel = slot;
        MarkSlot(m_graph, dc, m_rcPreview, m_nColumns, m_nPage, m_nCurSel);
    }
    CString caption = L"空";
    if (m_nCurSel >= 0 && m_nCurSel < m_index.GetCount()) {
        m_strSelName = m_index.GetName(m_nCurSel).c_str();
        if (m_strSelName == CSymbolIndex::kEmptySlotName) {
            m_strSelName = L"NULL";
            m_strSelDescription = L"空";
        } else {
            m_strSelDescription = m_index.GetDescription(m_nCurSel).c_str();
            m_strSelCode = m_index.GetCode(m_nCurSel).c_str();
            caption = m_strSelDescription;
            if (m_bCommandReady)
                SendKeyword(L"s ");
            else if (m_bActionActive)
                SendKeyword(L"r ");
        }
    } else {
        m_strSelName = L"NULL";
    }
    SetWindowText(caption);
    CDialog::OnLButtonDown(nFlags, point);
}

bool CYlthzDialog::ItemPoint(const std::wstring& item, ItemClick& click, std::wstring& why)
{
    return SlotItemPoint(m_index, m_rcPreview, m_nColumns, m_nPage, item, m_btPrevPage, m_btNextPage, click, why);
}

LRESULT CYlthzDialog::OnAcadKeepFocus(WPARAM, LPARAM)
{
    return TRUE;
}

void CYlthzDialog::OnLibraryChange()
{
    if (m_cbLibrary.GetCount() > 0) {
        const int sel = m_cbLibrary.GetCurSel();
        if (sel >= 0)
            m_cbLibrary.GetLBText(sel, m_strIdxName);
    }
    Refresh();
    InvalidatePreview();
}

void CYlthzDialog::OnRefreshButton()
{
    Refresh();
    InvalidatePreview();
}

void CYlthzDialog::OnPrevPage()
{
    if (!m_bLibraryAvailable || m_nPage <= 0)
        return;
    --m_nPage;
    InvalidatePreview();
}

void CYlthzDialog::OnNextPage()
{
    if (!m_bLibraryAvailable || m_nPage >= PageCount() - 1)
        return;
    ++m_nPage;
    InvalidatePreview();
}

void CYlthzDialog::ApplyInsertCaptions()
{
    const bool columns = m_nRowcol == 1;
    if (CWnd* b = GetDlgItem(IDC_YLTHZ_INSERT_STRING))
        b->SetWindowText(columns ? L"竖插" : L"横插");
    if (CWnd* b = GetDlgItem(IDC_YLTHZ_INSERT_LINK))
        b->SetWindowText(columns ? L"横插" : L"竖插");
}

void CYlthzDialog::OnRowArrangement()
{
    m_nRowcol = 0;
    ApplyInsertCaptions();
}

void CYlthzDialog::OnColumnArrangement()
{
    m_nRowcol = 1;
    ApplyInsertCaptions();
}

void CYlthzDialog::OnCountSpin(NMHDR* pNMHDR, LRESULT* pResult)
{
    const auto* updown = reinterpret_cast<NMUPDOWN*>(pNMHDR);
    CString text;
    m_edCount.GetWindowText(text);
    const long long next = static_cast<long long>(textToInt(text)) - updown->iDelta;
    m_nSymbolCount = static_cast<int>(std::clamp<long long>(next, 1, INT32_MAX));
    m_edCount.SetWindowText(decimal(m_nSymbolCount));
    *pResult = 0;
}

void CYlthzDialog::OnCircuitParameters()
{
    const AcApResourceHandleScope resources(PaletteResourceHandle());
    CYlthzSetupDialog dlg;
    dlg.m_strXdis = m_strXdis;
    dlg.m_strYdis = m_strYdis;
    dlg.m_strMxkd = m_strMxkd;
    dlg.m_strMxBl = m_strMxBl;
    if (dlg.DoModal() == IDOK) {
        m_strXdis = dlg.m_strXdis;
        m_strYdis = dlg.m_strYdis;
        m_strMxkd = dlg.m_strMxkd;
        m_strMxBl = dlg.m_strMxBl;
        m_dXdis = textToReal(m_strXdis);
        m_dYdis = textToReal(m_strYdis);
        m_dMxkd = textToReal(m_strMxkd);
        m_dMxBl = textToReal(m_strMxBl);
        StoreSetting(L"Gddata\\Yltsz\\Xdis", m_strXdis);
        StoreSetting(L"Gddata\\Yltsz\\Ydis", m_strYdis);
        StoreSetting(L"Gddata\\Yltsz\\Mxkd", m_strMxkd);
        StoreSetting(L"Gddata\\Yltsz\\MxBl", m_strMxBl);
        m_settings.save();
    }
}

void CYlthzDialog::SendKeyword(const wchar_t* text)
{
    SendMsgToAcad(text, static_cast<int>(std::wcslen(text)) + 1);
}

void CYlthzDialog::OnToolButton(UINT id)
{
    CString keyword;
    keyword.Format(L"t%u ", id - ID_YLTHZ_TOOL_FIRST + 1);
    if (m_bCommandReady) {
        SendKeyword(keyword);
    } else if (m_bActionActive) {
        SendKeyword(L"\n");
        SendKeyword(keyword);
    }
}

void CYlthzDialog::OnActionButton(UINT id)
{
    const int index = actionIndex(id);
    CString keyword;
    keyword.Format(L"e%d ", index + 1);
    if (m_bCommandReady) {
        SendKeyword(keyword);
    } else if (m_bActionActive) {
        SendKeyword(L"\n");
        if (m_btActions[index].GetCheck() == BST_CHECKED)
            SendKeyword(keyword);
    }
}

void CYlthzDialog::OnCancel()
{
    SendKeyword(L"close ");
}

void CYlthzDialog::EnableShapeControls(bool enable)
{
    for (UINT id : kShapeControls)
        if (CWnd* c = GetDlgItem(static_cast<int>(id)))
            c->EnableWindow(enable);
}

void CYlthzDialog::EnableActions(bool enable)
{
    for (UINT id : kActionIds)
        if (CWnd* c = GetDlgItem(static_cast<int>(id)))
            c->EnableWindow(enable);
}

void CYlthzDialog::SetArrangement(int arrangement)
{
    m_nRowcol = arrangement;
    if (m_hWnd)
        CheckRadioButton(IDC_YLTHZ_ROWS, IDC_YLTHZ_COLUMNS, arrangement == 1 ? IDC_YLTHZ_COLUMNS : IDC_YLTHZ_ROWS);
    ApplyInsertCaptions();
}

int CYlthzDialog::TakeSymbolCount()
{
    CString text;
    m_edCount.GetWindowText(text);
    m_nSymbolCount = symbolCountOf(text);
    m_edCount.SetWindowText(decimal(m_nSymbolCount));
    return m_nSymbolCount;
}

void CYlthzDialog::BeginDrawing()
{
    UpdateData(TRUE);
    m_bCommandReady = true;
    EnableShapeControls(false);
}

void CYlthzDialog::LockShapeControls()
{
    EnableShapeControls(false);
}

void CYlthzDialog::SetReady()
{
    m_bCommandReady = true;
    ApplyInsertCaptions();
}

void CYlthzDialog::ActionStarted(PaletteAction action)
{
    m_btActions[static_cast<int>(action)].SetCheck(BST_CHECKED);
    m_bCommandReady = false;
    m_bActionActive = true;
}

void CYlthzDialog::ActionEnded(PaletteAction action)
{
    m_btActions[static_cast<int>(action)].SetCheck(BST_UNCHECKED);
    m_bCommandReady = true;
    m_bActionActive = false;
}

bool CYlthzDialog::GetSelectedSymbol(CString& name) const
{
    // A blank slot is no symbol, also when painting has made it the
    // selected name.
    if (m_strSelName.IsEmpty() || m_strSelName == L"NULL" || m_strSelName == CSymbolIndex::kEmptySlotName)
        return false;
    name = m_strSelName;
    return true;
}

bool CYlthzDialog::GetLibraryFolder(CString& folder) const
{
    folder = m_strLibraryFolder;
    return true;
}

bool CYlthzDialog::GetSymbolDescription(CString& description) const
{
    description = m_strSelDescription;
    return true;
}

bool CYlthzDialog::GetSymbolCode(CString& code) const
{
    code = m_strSelCode;
    return true;
}

void CYlthzDialog::SavePosition()
{
    if (!m_hWnd)
        return;
    CRect r;
    GetWindowRect(&r);
    StoreSetting(L"ylthz\\pos\\x", decimal(r.left));
    StoreSetting(L"ylthz\\pos\\y", decimal(r.top));
}

void CYlthzDialog::SaveSettings()
{
    if (m_hWnd)
        UpdateData(TRUE);
    StoreSetting(L"ylthz\\CurSel", decimal(m_nCurSel));
    StoreSetting(L"ylthz\\RowcolMark", decimal(m_nRowcol));
    StoreSetting(L"ylthz\\Num", decimal(m_nSymbolCount));
    StoreSetting(L"ylthz\\IdxName", m_strIdxName);
    StoreSetting(L"ylthz\\BlockName", m_strSelName);
    m_settings.save();
}

void ClosePalette()
{
    if (!g_pYlthzDlg)
        return;
    CYlthzDialog* palette = g_pYlthzDlg;
    g_pYlthzDlg = nullptr;
    palette->SavePosition();
    palette->SaveSettings();
    DestroyModuleDialog(palette);
}
