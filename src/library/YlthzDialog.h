// The schematic palette: a modeless dialog beside the drawing that shows
// one symbol library as a paged grid of slides, holds the grid arrangement,
// the symbol count and the circuit parameters of a new schematic, and turns
// every button and symbol click into a keyword typed on the command line.
// It never draws into the drawing: the placement loop reads the keywords at
// its prompt and asks the palette for the chosen symbol.
//
// Keywords by state:
//   state            toolbar i      action button             symbol click
//   waiting          "ti "          "eN "                     "s "
//   action running   "\n" "ti "     "\n" "eN " when pressed,  "r "
//                                   "\n" when released
//   not drawing      nothing        nothing                   nothing
// Cancel (Esc, the close box) always sends "close ".
//
// The settings live in the user's project data ("ylthz\..." and the
// circuit parameters "Gddata\Yltsz\...").
#pragma once

#include "components/NorvexGloClass.h"
#include "components/NorvexGloFunc.h"
#include "components/NorvexSldManger.h"
#include "library/ProjectSettings.h"
#include "library/SymbolLibrary.h"
#include "ui/afxwin.h"

#include <memory>

// Resource ids of the palette.
enum : UINT {
    IDD_YLTHZ = 23514,
    IDB_YLTHZ_TOOLS = 21696,
    IDC_YLTHZ_LIBRARY = 21882,
    IDC_YLTHZ_PREVIEW = 21891,
    IDC_YLTHZ_REFRESH = 21807,
    IDC_YLTHZ_PREVPAGE = 21818,
    IDC_YLTHZ_NEXTPAGE = 21827,
    IDC_YLTHZ_ROWS = 21836,
    IDC_YLTHZ_COLUMNS = 21845,
    IDC_YLTHZ_COUNT_LABEL = 21999,
    IDC_YLTHZ_COUNT = 21853,
    IDC_YLTHZ_COUNT_SPIN = 21963,
    IDC_YLTHZ_PARAMS = 21923,
    IDC_YLTHZ_REPLACE = 21861,
    IDC_YLTHZ_DELETE = 21876,
    IDC_YLTHZ_MIRROR = 21869,
    IDC_YLTHZ_ROTATE = 21919,
    IDC_YLTHZ_INSERT_STRING = 21904,
    IDC_YLTHZ_INSERT_LINK = 21928,
    IDC_YLTHZ_ADD_STRING = 21887,
    IDC_YLTHZ_DELETE_STRING = 21897,
    IDC_YLTHZ_TOOLBAR_PLACE = 21911,
    // The group boxes round the preview, the settings and the actions.
    IDC_YLTHZ_SYMBOLS_GROUP = 21990,
    IDC_YLTHZ_SETTINGS_GROUP = 21993,
    IDC_YLTHZ_EDIT_GROUP = 21991,
    ID_YLTHZ_TOOL_FIRST = 23543, // t1 .. t5: 23543 .. 23547
    ID_YLTHZ_TOOL_LAST = 23547,
};

// The eight editing actions, in keyword order e1 .. e8.
enum class PaletteAction { Replace, Delete, Mirror, Rotate, InsertInString, InsertInLink, AddString, DeleteString };

class CYlthzDialog : public CDialog {
public:
    // Reads the settings folders, loads the project data and sets the
    // system double-click time to 200 ms; the window comes with Create.
    CYlthzDialog();
    ~CYlthzDialog() override;

    // The modeless window from its template, owned by the main window.
    using CDialog::Create;
    BOOL Create();
    // Shows the window and paints it at once.
    void Show();

    // A new schematic starts: the controls' values are taken, the palette
    // waits for symbols, and the grid-shape controls are disabled.
    void BeginDrawing();
    // Disables the grid-shape controls only (an existing schematic).
    void LockShapeControls();
    // Waits for symbols; the insert buttons show the arrangement's captions.
    void SetReady();
    // Enables or disables the eight action buttons (no action before a
    // schematic has its base point).
    void EnableActions(bool enable);
    // The arrangement of the schematic being continued: the radio buttons
    // and the insert buttons' captions follow.
    void SetArrangement(int arrangement);
    // Takes the count box's number as the symbol count of a new schematic
    // (0 counts as 3, a negative number as 1) and shows it there.
    int TakeSymbolCount();
    void ActionStarted(PaletteAction action);
    void ActionEnded(PaletteAction action);

    // False when no symbol is chosen (nothing, or a blank slot).
    bool GetSelectedSymbol(CString& name) const;
    // Symbol drawing folder, backslash, the current library's folder name.
    bool GetLibraryFolder(CString& folder) const;
    bool GetSymbolDescription(CString& description) const;
    bool GetSymbolCode(CString& code) const;

    // The window's screen position into the project data (not yet saved).
    void SavePosition();
    // The palette's choices into the project data, which is then written.
    void SaveSettings();

    // What a new schematic is drawn with.
    int GetArrangement() const { return m_nRowcol; }
    int GetSymbolCount() const { return m_nSymbolCount; }
    double GetWireWidth() const { return m_dMxkd; }
    double GetHorizontalSpacing() const { return m_dXdis; }
    double GetVerticalSpacing() const { return m_dYdis; }
    double GetEquipmentScale() const { return m_dMxBl; }

    // State seen from outside (tests, the drawing entries).
    bool IsCommandReady() const { return m_bCommandReady; }
    bool IsActionActive() const { return m_bActionActive; }
    int GetSelection() const { return m_nCurSel; }
    int GetPage() const { return m_nPage; }
    int GetGridSize() const { return m_nColumns; }
    const CString& GetCurrentLibrary() const { return m_strIdxName; }
    const CSymbolIndex& GetIndex() const { return m_index; }
    // The preview's rectangle in client coordinates.
    CRect GetPreviewRect() const { return m_rcPreview; }

    // "@choose palette SYMBOL": the symbol's slot in the preview, or the
    // page button towards its page.
    bool ItemPoint(const std::wstring& item, ItemClick& click, std::wstring& why) override;

    // Largest preview grid side shown; catalogue entries asking for more
    // are shown with this many.
    static constexpr int kMaxGridSize = 64;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;
    void OnOK() override {}
    void OnPaint() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    LRESULT OnAcadKeepFocus(WPARAM wParam, LPARAM lParam) override;

private:
    void OnLibraryChange();
    void OnRefreshButton();
    void OnPrevPage();
    void OnNextPage();
    void OnRowArrangement();
    void OnColumnArrangement();
    void OnCountSpin(NMHDR* pNMHDR, LRESULT* pResult);
    void OnCircuitParameters();
    void OnToolButton(UINT id);
    void OnActionButton(UINT id);

    void Refresh();
    void InvalidatePreview();
    // Whether the selection lies on the page shown.
    bool SelectionIsShown() const;
    // What the page shown decides besides its picture: which page buttons
    // work and, when the selection lies on it, the chosen symbol. Painting
    // takes it, and so does the dialog's start.
    void TakeShownPage();
    void ReadSettings();
    void ApplyInsertCaptions();
    void EnableShapeControls(bool enable);
    void SendKeyword(const wchar_t* text);
    // A setting's text, or the default when it is missing or empty.
    CString Setting(const wchar_t* key, const wchar_t* defaultValue);
    void StoreSetting(const wchar_t* key, const CString& value);
    int PageCount() const;

    CToolBarCtrl m_toolbar;
    ProjectSettings m_settings;
    int m_nCurSel = -1;
    double m_dMxkd = 0.3;
    CString m_strMxkd;
    double m_dXdis = 30.0;
    CString m_strXdis;
    double m_dYdis = 20.0;
    CString m_strYdis;
    double m_dMxBl = 1.0;
    CString m_strMxBl;
    CString m_strIdxName;
    int m_nSymbolCount = 6;
    bool m_bLibraryAvailable = false;
    bool m_bSlidesAvailable = false;
    CString m_strCatalogPath;
    int m_nCurEntry = -1;
    int m_nColumns = 6;
    int m_nRows = 6;
    int m_nPage = 0;
    CString m_strDwgDir;
    CSymbolLibCatalog m_catalog;
    CSymbolIndex m_index;
    CString m_strIndexPath, m_strSlidePath, m_strLibraryFolder;
    CRect m_rcPreview;
    CString m_strSelName = L"NULL";
    CString m_strSelDescription, m_strSelCode;
    bool m_bCommandReady = false;
    bool m_bActionActive = false;
    CGraph m_graph;
    UINT m_nSavedDoubleClickTime = 0;

    CComboBox m_cbLibrary;
    CStatic m_stPreview;
    CButton m_btRefresh, m_btPrevPage, m_btNextPage, m_btParams;
    CStatic m_stCountLabel;
    CDoubleEdit m_edCount;
    CSpinButtonCtrl m_spCount;
    CButton m_btActions[8];
    int m_nRowcol = -1;
};

// The one palette, or null.
extern CYlthzDialog* g_pYlthzDlg;
// Saves the palette's position and settings, destroys it and clears the
// pointer; nothing when there is no palette.
void ClosePalette();
