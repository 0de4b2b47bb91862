// The module's three modeless dialogs: each exists at most once, lives
// between LISP calls and is destroyed when the module unloads.
#pragma once

#include "library/YlthzDialog.h"

class CPmtsbcsDlg;
class CDzjdsjDlg;

// Null while the dialog does not exist.
extern CPmtsbcsDlg* g_pPmtsbcsDlg;
extern CDzjdsjDlg* g_pDzjdsjDlg;

// Teardown at unload: the panel equipment dialog is deleted; the terminal
// and contact dialog closed; the palette saves its position and choices,
// then is destroyed (ClosePalette, with the palette). Each does nothing
// when its dialog does not exist.
void DeletePanelDialog();
void CloseDzjdDialog();
