// The host's linetype dialog, as the ctrlsch program provides it.
#pragma once

namespace app {

// Template id of the dialog ("@select 1500 ..." in scripts).
constexpr unsigned kLinetypeDialogId = 1500;
constexpr int kLinetypeListId = 1501;

// Registers the dialog's template and makes it the host's linetype dialog.
void installLinetypeDialog();

} // namespace app
