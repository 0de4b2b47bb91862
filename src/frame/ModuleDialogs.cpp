#include "frame/ModuleDialogs.h"

// The terminal dialog comes with the tool part of the module; until it is
// built it cannot exist, so teardown has nothing to do for it.
CDzjdsjDlg* g_pDzjdsjDlg = nullptr;

void CloseDzjdDialog()
{
    g_pDzjdsjDlg = nullptr;
}
