// The switch-table dialog ("转换开关表调用") behind the LISP function
// zhkgbdlg: the changeover-switch table drawings of the installation's
// "Ctklib" folder in a sorted list with a preview of the selected one, and
// two ways out, "打开" (open, mode 1) and "插入" (insert, mode 2). The
// calling LISP program gets (MODE "FILE") and does the opening or
// inserting.
//
// The tables are the files "ZHKGB*.DWG" of the folder. The host keeps its
// drawings as DXF beside the name asked for, so a "ZHKGB*.DXF" file is a
// table too; either is listed by its drawing name, "ZHKGB1.DWG", which the
// host opens through its usual rule. Letter case is ignored throughout.
#pragma once

#include "host/adsdefs.h"
#include "ui/afxwin.h"

#include <optional>
#include <string>
#include <vector>

// Template and control ids of the dialog (template short name
// "switchtable").
enum : UINT {
    IDD_ZHKGB = 22770,
    IDC_ZHKGB_LIST = 22771,
    IDC_ZHKGB_PREVIEW = 22772,
    IDC_ZHKGB_OPEN = 22773,
    IDC_ZHKGB_INSERT = 22774,
    IDC_ZHKGB_HELP = 21675,
};

// How the chosen table is to be used.
enum : int {
    kZhkgbOpen = 1,
    kZhkgbInsert = 2,
};

// The preview of the selected table: black, with the drawing's picture
// from 20 pixels below the top edge, made to the size of the room left, so
// that the whole table shows with a margin on every side.
class CZhkgbShow : public CStatic {
public:
    // Where the picture starts below the control's top edge.
    static constexpr int kTopOffset = 20;
    // The black margin left, right and below the picture.
    static constexpr int kMargin = 4;
    // Where the picture goes in a preview of this client rectangle (empty
    // when there is no room).
    static CRect PictureRect(const CRect& client);

protected:
    void OnPaint() override;
};

class CZhkgbdlg : public CDialog {
public:
    explicit CZhkgbdlg(CWnd* pParent = nullptr);

    // After OK: the chosen file name (with extension, without folder) and
    // the mode (kZhkgbOpen or kZhkgbInsert).
    const CString& GetFileName() const { return m_strFile; }
    int GetMode() const { return m_nMode; }
    // The full name of the selected table, empty without a selection.
    std::wstring SelectedPath() const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Enter chooses no table: the dialog ends as with "退出".
    void OnOK() override;
    void OnSelChange();
    void OnOpen();
    void OnInsert();
    void OnHelpButton();
    // "打开" and "插入" act only while a table is selected.
    void UpdateButtons();

private:
    void Choose(int mode);

    wchar_t m_szInstall[260] = {};
    CString m_strFile;
    int m_nMode = 0;
    CZhkgbShow m_preview;
    CButton m_btnInsert;
    CButton m_btnOpen;
    CListBox m_list;
};

// Registers the dialog's template unless it is already there.
void RegisterSwitchTableTemplate();

// The drawing names ("ZHKGB1.DWG") of the tables that match pattern, a
// folder and a file pattern with * and ? ("DIR\Ctklib\ZHKGB*.DWG";
// backslashes or slashes). A ".DWG" pattern also matches the ".DXF" files
// the host reads for those names. Case is ignored; each name once, sorted
// without regard to case. Empty when the folder is missing.
std::vector<std::wstring> FindSwitchTables(const std::wstring& pattern);

struct SwitchTableChoice {
    int mode = 0;
    std::wstring file;
};

// Runs the dialog as zhkgbdlg does (wait cursor, the module's resource
// handle, the host's main window as parent): the choice after OK, nothing
// after any other end.
std::optional<SwitchTableChoice> RunSwitchTableDialog();
// The result list (MODE "FILE") as zhkgbdlg hands it to acedRetList; the
// caller releases it with acutRelRb. nullptr when it cannot be built.
resbuf* BuildSwitchTableResult(const SwitchTableChoice& choice);

// LISP function (zhkgbdlg): (MODE "FILE") with acedRetList, or nil.
// Returns RTNORM.
int zhkgbdlg();
