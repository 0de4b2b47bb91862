// The module's three modeless dialogs: each exists at most once, lives
// between LISP calls and is destroyed when the module unloads.
#pragma once

#include "library/YlthzDialog.h"
#include "panel/PmtsbcsDlg.h"
#include "tools/TerminalDialog.h"

// Teardown at unload: the panel equipment dialog is deleted; the terminal
// and contact dialog closed; the palette saves its position and choices,
// then is destroyed: DeletePanelDialog, CloseDzjdDialog and ClosePalette,
// which come with their dialogs. Each does nothing when its dialog does not
// exist.
