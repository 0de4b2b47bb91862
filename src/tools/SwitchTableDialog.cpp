#include "tools/SwitchTableDialog.h"

#include "components/NorvexCase.h"
#include "components/NorvexGloFunc.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/hostfile.h"
#include "library/PaletteResources.h"
#include "tools/PreviewPicture.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

bool endsWithNoCase(std::wstring_view text, std::wstring_view end)
{
    return text.size() >= end.size() && EqualNoCase(text.substr(text.size() - end.size()), end);
}

bool lessNoCase(const std::wstring& a, const std::wstring& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return UpperChar(x) < UpperChar(y); });
}

// * matches any run of characters, ? any one; letter case is ignored.
bool wildcardMatch(std::wstring_view name, std::wstring_view pattern)
{
    size_t n = 0, p = 0, star = std::wstring_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || UpperChar(pattern[p]) == UpperChar(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

// The drawing name the host reads a DXF file for: "X.DXF" is "X.DWG"
// ("x.dxf" is "x.dwg").
std::wstring drawingName(const std::wstring& name)
{
    const std::wstring stem = name.substr(0, name.size() - 4);
    const bool lower = name.compare(name.size() - 3, 3, L"dxf") == 0;
    return stem + (lower ? L".dwg" : L".DWG");
}

ui::DialogTemplate makeTemplate()
{
    using ui::ControlKind;
    ui::DialogTemplate t = ModuleDialogTemplate(IDD_ZHKGB, "switchtable", L"转换开关表调用", 275, 151, false);
    t.controls = {
        {.kind = ControlKind::Static, .text = L"文件列表:", .rect = {7, 5, 60, 8}, .name = "files-label"},
        {.id = IDC_ZHKGB_LIST, .kind = ControlKind::ListBox, .rect = {7, 16, 95, 110}, .style = LBS_SORT, .name = "files"},
        {.kind = ControlKind::Static, .text = L"预览:", .rect = {110, 5, 40, 8}, .name = "preview-label"},
        {.id = IDC_ZHKGB_PREVIEW, .kind = ControlKind::Static, .rect = {110, 16, 158, 110}, .style = SS_SUNKEN,
         .name = "preview"},
        {.id = IDC_ZHKGB_OPEN, .kind = ControlKind::PushButton, .text = L"打开", .rect = {7, 132, 50, 14}, .name = "open"},
        {.id = IDC_ZHKGB_INSERT, .kind = ControlKind::PushButton, .text = L"插入", .rect = {62, 132, 50, 14},
         .name = "insert"},
        {.id = IDCANCEL, .kind = ControlKind::PushButton, .text = L"退出", .rect = {163, 132, 50, 14}, .name = "cancel"},
        {.id = IDC_ZHKGB_HELP, .kind = ControlKind::PushButton, .text = L"帮助", .rect = {218, 132, 50, 14},
         .name = "help"},
    };
    return t;
}

} // namespace

void RegisterSwitchTableTemplate()
{
    if (!ui::findDialogTemplate(IDD_ZHKGB))
        ui::registerDialogTemplate(makeTemplate());
}

std::vector<std::wstring> FindSwitchTables(const std::wstring& pattern)
{
    std::wstring slashed = pattern;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    const size_t cut = slashed.find_last_of(L'/');
    const std::wstring folder = cut == std::wstring::npos ? L"." : slashed.substr(0, cut + 1);
    const std::wstring filePattern = cut == std::wstring::npos ? slashed : slashed.substr(cut + 1);
    const bool drawings = endsWithNoCase(filePattern, L".dwg");

    std::vector<std::wstring> names;
    std::error_code ec;
    const fs::path dir = hostResolvePathIgnoringCase(wideToUtf8(folder));
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::wstring name = utf8ToWide(it->path().filename().string());
        if (drawings && endsWithNoCase(name, L".dxf"))
            name = drawingName(name);
        if (!wildcardMatch(name, filePattern))
            continue;
        const bool seen = std::any_of(names.begin(), names.end(),
                                      [&name](const std::wstring& n) { return EqualNoCase(n, name); });
        if (!seen)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), lessNoCase);
    return names;
}

void CZhkgbShow::OnPaint()
{
    CPaintDC dc(this);
    CRect rect;
    GetClientRect(&rect);
    // No file chosen, or a drawing without a preview, leaves it black.
    const auto* dlg = dynamic_cast<const CZhkgbdlg*>(GetParent());
    const std::wstring path = dlg ? dlg->SelectedPath() : std::wstring();
    const CRect picture = PictureRect(rect);
    const std::unique_ptr<CBitmap> bitmap(path.empty() || picture.IsRectEmpty()
                                              ? nullptr
                                              : GetBitmapFromDwgFile(path.c_str(), picture.Width(), picture.Height()));
    PaintPreviewPicture(dc, rect, bitmap.get(), picture.TopLeft());
}

CRect CZhkgbShow::PictureRect(const CRect& client)
{
    CRect r(client.left + kMargin, client.top + kTopOffset, client.right - kMargin, client.bottom - kMargin);
    if (r.Width() < 1 || r.Height() < 1)
        r.SetRectEmpty();
    return r;
}

CZhkgbdlg::CZhkgbdlg(CWnd* pParent) : CDialog(IDD_ZHKGB, pParent)
{
    RegisterSwitchTableTemplate();
    MapControl(LBN_SELCHANGE, IDC_ZHKGB_LIST, &CZhkgbdlg::OnSelChange);
    MapCommand(IDC_ZHKGB_OPEN, &CZhkgbdlg::OnOpen);
    MapCommand(IDC_ZHKGB_INSERT, &CZhkgbdlg::OnInsert);
    MapCommand(IDC_ZHKGB_HELP, &CZhkgbdlg::OnHelpButton);
}

void CZhkgbdlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ZHKGB_PREVIEW, m_preview);
    DDX_Control(pDX, IDC_ZHKGB_INSERT, m_btnInsert);
    DDX_Control(pDX, IDC_ZHKGB_OPEN, m_btnOpen);
    DDX_Control(pDX, IDC_ZHKGB_LIST, m_list);
}

BOOL CZhkgbdlg::OnInitDialog()
{
    CWaitCursor wait;
    CDialog::OnInitDialog();
    GetInformation(L"VMQMain", L"VmqSys", L"C:\\Zelk7.0", m_szInstall, 260);
    // The folder is appended to as the settings give it.
    const std::wstring pattern = std::wstring(m_szInstall) + L"\\Ctklib\\ZHKGB*.DWG";
    for (const std::wstring& name : FindSwitchTables(pattern))
        m_list.AddString(name.c_str());
    UpdateButtons();
    return TRUE;
}

std::wstring CZhkgbdlg::SelectedPath() const
{
    if (!m_list.GetSafeHwnd())
        return {};
    const int sel = m_list.GetCurSel();
    if (sel < 0)
        return {};
    CString name;
    m_list.GetText(sel, name);
    return std::wstring(m_szInstall) + L"\\Ctklib\\" + name.GetString();
}

void CZhkgbdlg::UpdateButtons()
{
    const BOOL selected = m_list.GetCurSel() >= 0;
    m_btnOpen.EnableWindow(selected);
    m_btnInsert.EnableWindow(selected);
}

void CZhkgbdlg::OnSelChange()
{
    UpdateButtons();
    m_preview.Invalidate(TRUE);
}

void CZhkgbdlg::Choose(int mode)
{
    const int sel = m_list.GetCurSel();
    if (sel < 0)
        return;
    m_nMode = mode;
    m_list.GetText(sel, m_strFile);
    EndDialog(IDOK);
}

void CZhkgbdlg::OnOK() { EndDialog(IDCANCEL); }

void CZhkgbdlg::OnOpen() { Choose(kZhkgbOpen); }

void CZhkgbdlg::OnInsert() { Choose(kZhkgbInsert); }

void CZhkgbdlg::OnHelpButton()
{
    const std::wstring file = std::wstring(m_szInstall) + L"\\Hlp\\Vmq70.Hlp";
    WinHelp(file.c_str(), HELP_CONTEXT, 538);
}

std::optional<SwitchTableChoice> RunSwitchTableDialog()
{
    CWaitCursor wait;
    const AcApResourceHandleScope resources(PaletteResourceHandle());
    std::optional<SwitchTableChoice> choice;
    {
        CZhkgbdlg dlg(AfxGetMainWnd());
        if (dlg.DoModal() == IDOK)
            choice = SwitchTableChoice{dlg.GetMode(), dlg.GetFileName().GetString()};
    }
    return choice;
}

resbuf* BuildSwitchTableResult(const SwitchTableChoice& choice)
{
    return acutBuildList(RTSHORT, choice.mode, RTSTR, choice.file.c_str(), 0);
}

int zhkgbdlg()
{
    const std::optional<SwitchTableChoice> choice = RunSwitchTableDialog();
    resbuf* list = choice ? BuildSwitchTableResult(*choice) : nullptr;
    if (list) {
        acedRetList(list);
        acutRelRb(list);
    } else {
        acedRetNil();
    }
    return RTNORM;
}
