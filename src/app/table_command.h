// The "table" command of the ctrlsch program: the equipment table of a
// drawing or of a project as XLSX, CSV or JSON.
#pragma once

#include <string>
#include <vector>

namespace app {

// ctrlsch table (FILE.dxf | --project SETTINGS.json) [-o OUT.xlsx|OUT.csv|OUT.json]
// [--jobs N]; args are the words after "table". The rows are the module's:
// (esbbtj 0) on the drawing, or with the settings file in use the project's
// table and each drawing's from (esbbtjgt). Beside the rows' own fields the
// table reports the designations missing from the runs of numbers and, for
// a project, designations with different models in different drawings.
// Without -o the table goes to the standard output as CSV; OUT is written
// through a temporary file and left as it was after a failure. Returns 0,
// kExitFailed when the table cannot be made (the module's message on
// stderr), kExitUsage for wrong words or an unreadable drawing or settings
// file.
int tableCommand(const std::vector<std::string>& args);

} // namespace app
