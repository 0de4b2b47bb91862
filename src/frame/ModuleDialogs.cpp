#include "frame/ModuleDialogs.h"

// The dialogs come with the palette, panel and tool parts of the module;
// until those are built no dialog can exist, so teardown has nothing to do.
CYlthzDialog* g_pYlthzDlg = nullptr;
CPmtsbcsDlg* g_pPmtsbcsDlg = nullptr;
CDzjdsjDlg* g_pDzjdsjDlg = nullptr;

void DeletePanelDialog()
{
    g_pPmtsbcsDlg = nullptr;
}

void CloseDzjdDialog()
{
    g_pDzjdsjDlg = nullptr;
}

void ClosePalette()
{
    g_pYlthzDlg = nullptr;
}
