#include "uitest.h"

namespace uitest {

void registerTestTemplate()
{
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.id = kTestDlg;
    t.name = "test";
    t.caption = L"测试";
    t.fontName = L"MS Shell Dlg";
    t.fontSize = 8;
    t.cx = 200;
    t.cy = 160;
    t.controls = {
        {IDOK, ControlKind::DefPushButton, L"OK", {140, 140, 50, 14}, 0, false, 0, ""},
        {IDCANCEL, ControlKind::PushButton, L"Cancel", {80, 140, 50, 14}, 0, false, 0, ""},
        {IDC_NAME, ControlKind::Edit, L"", {10, 10, 80, 12}, 0, false, 0, "name"},
        {IDC_COUNT, ControlKind::Edit, L"", {10, 30, 40, 12}, ES_NUMBER, false, 0, "count"},
        {IDC_COUNT_SPIN, ControlKind::Spin, L"", {50, 30, 10, 12}, UDS_SETBUDDYINT | UDS_ARROWKEYS, false, IDC_COUNT,
         "count-spin"},
        {IDC_TOGGLE, ControlKind::CheckBox, L"Replace", {10, 50, 40, 14}, BS_PUSHLIKE, false, 0, "toggle"},
        {IDC_ROW, ControlKind::RadioButton, L"Row", {10, 70, 40, 10}, WS_GROUP | WS_TABSTOP, false, 0, "row"},
        {IDC_COLUMN, ControlKind::RadioButton, L"Column", {10, 80, 40, 10}, 0, false, 0, "column"},
        {IDC_GRID, ControlKind::RadioButton, L"Grid", {10, 90, 40, 10}, 0, false, 0, "grid"},
        {IDC_AFTER, ControlKind::CheckBox, L"After", {10, 100, 40, 10}, WS_GROUP, false, 0, "after"},
        {IDC_LIBRARY, ControlKind::ComboBox, L"", {100, 10, 90, 60}, CBS_SORT, false, 0, "library"},
        {IDC_FILES, ControlKind::ListBox, L"", {100, 30, 90, 40}, 0, false, 0, "files"},
        {IDC_PREVIEW, ControlKind::Frame, L"", {100, 80, 80, 40}, 0, false, 0, "preview"},
        {IDC_APPLY, ControlKind::PushButton, L"Apply", {10, 140, 50, 14}, WS_DISABLED, false, 0, "apply"},
        {IDC_SECRET, ControlKind::PushButton, L"Secret", {10, 120, 50, 14}, 0, true, 0, "secret"},
    };
    ui::registerDialogTemplate(std::move(t));
}

TestDialog::TestDialog(CWnd* parent) : CDialog(kTestDlg, parent)
{
    MapCommand(IDC_TOGGLE, [this] { log.push_back("toggle:" + std::to_string(IsDlgButtonChecked(IDC_TOGGLE))); });
    MapCommandRange(IDC_ROW, IDC_GRID, [this](UINT id) { log.push_back("radio:" + std::to_string(id)); });
    MapControl(CBN_SELCHANGE, IDC_LIBRARY, [this] {
        CString text;
        library().GetLBText(library().GetCurSel(), text);
        log.push_back("library:" + text.utf8());
    });
    MapControl(LBN_SELCHANGE, IDC_FILES, [this] { log.push_back("file:" + std::to_string(files().GetCurSel())); });
    MapControl(LBN_DBLCLK, IDC_FILES, [this] { log.push_back("open:" + std::to_string(files().GetCurSel())); });
    MapControl(EN_CHANGE, IDC_NAME, [this] {
        CString text;
        GetDlgItemText(IDC_NAME, text);
        log.push_back("name:" + text.utf8());
    });
    MapNotify(UDN_DELTAPOS, IDC_COUNT_SPIN, [this](NMHDR* hdr, LRESULT* result) {
        auto* ud = reinterpret_cast<NMUPDOWN*>(hdr);
        log.push_back("spin:" + std::to_string(ud->iPos) + (ud->iDelta > 0 ? "+" : "") + std::to_string(ud->iDelta));
        *result = refuseSpin ? 1 : 0;
    });
}

BOOL TestDialog::OnInitDialog()
{
    // Items first: the base class exchanges the members into the controls.
    for (const wchar_t* name : {L"gamma", L"Alpha", L"beta"})
        library().AddString(name);
    for (const wchar_t* name : {L"one.dxf", L"two.dxf", L"three.dxf"})
        files().AddString(name);
    CDialog::OnInitDialog();
    m_spin.SetRange(1, 10);
    m_spin.SetPos(m_count);
    log.push_back("init");
    return TRUE;
}

void TestDialog::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_COUNT_SPIN, m_spin);
    DDX_Text(pDX, IDC_NAME, m_name);
    DDX_Text(pDX, IDC_COUNT, m_count);
    DDX_Check(pDX, IDC_TOGGLE, m_toggle);
    DDX_Radio(pDX, IDC_ROW, m_arrangement);
    DDX_CBString(pDX, IDC_LIBRARY, m_library);
    DDX_LBIndex(pDX, IDC_FILES, m_file);
}

void TestDialog::OnOK()
{
    log.push_back("ok");
    CDialog::OnOK();
}

void TestDialog::OnCancel()
{
    log.push_back("cancel");
    CDialog::OnCancel();
}

void TestDialog::OnLButtonDown(UINT nFlags, CPoint point)
{
    lastPress = point;
    lastFlags = nFlags;
    log.push_back("press:" + std::to_string(point.x) + "," + std::to_string(point.y));
    CDialog::OnLButtonDown(nFlags, point);
}

void TestDialog::OnRButtonDown(UINT nFlags, CPoint point)
{
    lastFlags = nFlags;
    log.push_back("rpress:" + std::to_string(point.x) + "," + std::to_string(point.y));
    CDialog::OnRButtonDown(nFlags, point);
}

void TestDialog::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
{
    log.push_back(nState == WA_INACTIVE ? "inactive" : (nState == WA_CLICKACTIVE ? "clickactive" : "active"));
    CDialog::OnActivate(nState, pWndOther, bMinimized);
}

void TestDialog::OnClose()
{
    log.push_back("close");
    CDialog::OnClose();
}

void TestDialog::OnDestroy()
{
    log.push_back("destroy");
    CDialog::OnDestroy();
}

void TestDialog::OnPaint()
{
    CPaintDC dc(this);
    ++paints;
}

void UiTest::SetUp()
{
    ui::reset();
    registerTestTemplate();
    ui::setEventSource(&events);
    ui::setOutputSink(&out);
}

void UiTest::TearDown() { ui::reset(); }

void UiTest::feed(std::initializer_list<std::string> lines)
{
    for (const auto& l : lines)
        events.add(l);
}

} // namespace uitest
