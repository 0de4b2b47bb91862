// The panel equipment dialog ("屏面图设备布置"): a modeless dialog beside
// the drawing while panel symbols are placed. It shows the panel library
// ("屏面图符号") as a paged grid of slides and holds what goes with the
// next symbol: width and height (the symbol's scale factors: 1.0, the
// default, inserts it at its drawn size), code, symbol text, equipment
// name and model. It never draws: the insertion command reads its values, and the
// dialog wakes the command by typing "s " when the user leaves it.
//
// Spins: width and height step by 1 below 10 and by 10 from 10 on, never
// below 1; the code and symbol text step the number in their first run of
// digits ("I1" -> "I2", "K09" -> "K10", never below 0). The symbol at
// position 1 is square: its width follows its height.
#pragma once

#include "components/NorvexGloClass.h"
#include "components/NorvexSldManger.h"
#include "library/ProjectSettings.h"
#include "library/SymbolLibrary.h"
#include "ui/afxwin.h"

enum : UINT {
    IDD_PMTSBCS = 23508,
    IDC_PMT_PREVIEW = 21847,
    IDC_PMT_REFRESH = 21855,
    IDC_PMT_PREVPAGE = 21863,
    IDC_PMT_NEXTPAGE = 21871,
    IDC_PMT_WIDTH = 21809,
    IDC_PMT_WIDTH_SPIN = 22110,
    IDC_PMT_HEIGHT = 21820,
    IDC_PMT_HEIGHT_SPIN = 22211,
    IDC_PMT_CODE = 21829,
    IDC_PMT_CODE_SPIN = 22213,
    IDC_PMT_SYMBOL = 21838,
    IDC_PMT_SYMBOL_SPIN = 22215,
    IDC_PMT_NAME = 22217,
    IDC_PMT_MODEL = 22219,
};

// The four texts that go with a placed symbol.
struct PanelEquipmentTexts {
    CString code, symbol, name, model;
};

class CPmtsbcsDlg : public CDialog {
public:
    // Loads the project data; the window comes with Create.
    CPmtsbcsDlg();
    ~CPmtsbcsDlg() override;
    BOOL Create(CWnd* parent);

    // The selected symbol's drawing (library folder, name, ".dwg"), or
    // "NULL" when none is selected.
    CString GetSymbolPath();
    // The width (the height's text for the square symbol) and the height.
    double GetWidth();
    double GetHeight();
    PanelEquipmentTexts GetEquipmentTexts() const;

    // Seen from outside (tests).
    int GetSelection() const { return m_nCurSel; }
    int GetPage() const { return m_nPage; }
    int GetGridSize() const { return m_nColumns; }
    const CSymbolIndex& GetIndex() const { return m_index; }
    CRect GetPreviewRect() const { return m_rcPreview; }

    // "@choose panel SYMBOL": the symbol's slot in the preview, or the page
    // button towards its page.
    bool ItemPoint(const std::wstring& item, ItemClick& click, std::wstring& why) override;

    // Stores the settings (position, the six texts, the selection) and
    // writes the project data.
    void SaveSettings();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override {}
    void OnPaint() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized) override;
    void OnClose() override;
    LRESULT OnAcadKeepFocus(WPARAM wParam, LPARAM lParam) override;

private:
    void Reload();
    void UpdateButtons();
    void StepSize(CWnd& box, int delta);
    void StepNumber(CWnd& box, int delta, const wchar_t* whenEmpty);
    void InvalidatePreview();

    ProjectSettings m_settings;
    int m_nColumns = 6, m_nRows = 6;
    int m_nPage = 0;
    int m_nCurSel = 0;
    int m_nCurEntry = -1;
    CString m_strDwgDir, m_strCatalogPath, m_strIndexPath, m_strSlidePath;
    CSymbolLibCatalog m_catalog;
    CSymbolIndex m_index;
    bool m_bLibraryAvailable = false;
    bool m_bSlidesAvailable = false;
    CString m_strSymbolName = L"NULL";
    CString m_strLibraryFolder;
    CRect m_rcPreview;
    CGraph m_graph;

    CSpinButtonCtrl m_spWidth, m_spHeight, m_spCode, m_spSymbol;
    CEdit m_edName, m_edModel;
    CButton m_btPrevPage, m_btNextPage;
    CStatic m_stPreview;
    CEdit m_edCode, m_edSymbol;
    CUnsignedDoubleEdit m_edWidth, m_edHeight;
};

// The one panel dialog, or null; DeletePanelDialog destroys and deletes
// it.
extern CPmtsbcsDlg* g_pPmtsbcsDlg;
void DeletePanelDialog();
// Registers the dialog's template (again is harmless).
void RegisterPanelResources();
