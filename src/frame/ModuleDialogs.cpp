#include "frame/ModuleDialogs.h"

// The panel and terminal dialogs come with the panel and tool parts of the
// module; until those are built neither can exist, so teardown has nothing
// to do for them.
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
