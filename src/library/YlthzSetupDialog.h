// The circuit-parameter dialog ("回路参数") that the schematic palette opens:
// it edits the horizontal and vertical spacing, the wire width and the
// equipment scale as texts. The palette owns the values; it fills the four
// text fields before DoModal and takes them back after IDOK.
//
// Each value sits in a numeric edit box with a spin control beside it. An
// arrow press reads the box's text as a number (text that does not start
// with one counts as 0), moves it by the row's step (up raises it), keeps it
// at or above the row's lowest value and writes it back in the row's
// format. OK refuses to close while any box is empty ("数据不能为空") or
// holds a number too large for a double ("数据超出范围"); the boxes refuse
// typing that would make one.
#pragma once

#include "components/NorvexGloClass.h"
#include "ui/afxwin.h"

// Template and control ids of the dialog (template short name
// "circuitparams").
enum : UINT {
    IDD_YLTHZ_SETUP = 21697,
    IDC_YLTHZ_XDIS = 21883,
    IDC_YLTHZ_YDIS = 21934,
    IDC_YLTHZ_MXKD = 21939,
    IDC_YLTHZ_MXBL = 21945,
    IDC_YLTHZ_XDIS_SPIN = 21976,
    IDC_YLTHZ_YDIS_SPIN = 21982,
    IDC_YLTHZ_MXKD_SPIN = 21988,
    IDC_YLTHZ_MXBL_SPIN = 21994,
};

class CYlthzSetupDialog : public CDialog {
public:
    explicit CYlthzSetupDialog(CWnd* parent = nullptr);

    CString m_strXdis; // horizontal spacing
    CString m_strYdis; // vertical spacing
    CString m_strMxkd; // wire width
    CString m_strMxBl; // equipment scale
    CDoubleEdit m_edtYdis;
    CDoubleEdit m_edtXdis;
    CDoubleEdit m_edtMxkd;
    CDoubleEdit m_edtMxBl;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    // One value's row: its edit box, the spin step, the lowest value and
    // the printf format the spin writes the value with.
    struct Row {
        CDoubleEdit* edit;
        double step;
        double lowest;
        const wchar_t* format;
    };
    void Step(const Row& row, NMHDR* pNMHDR, LRESULT* pResult);
};

// Registers the dialog's template unless it is already there.
void RegisterYlthzSetupTemplate();
