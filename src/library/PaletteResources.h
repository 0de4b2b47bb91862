// The palette's resources: its dialog template, the toolbar's five
// pictures and their tooltips, and the handle that names them.
#pragma once

#include "ui/afxwin.h"

// Registers the palette's and the circuit-parameter dialog's templates and
// the toolbar bitmap (again is harmless).
void RegisterPaletteResources();
// The module that holds the resources (pushed on the document manager
// around template lookups).
void* PaletteResourceHandle();
// The tooltip of a toolbar button by command id; empty for other ids.
const wchar_t* PaletteToolTip(UINT commandId);

// A dialog template of the module: font 宋体 9 point, the client size in
// dialog units; modeless palettes and bars have no modal frame. Controls
// are the caller's.
ui::DialogTemplate ModuleDialogTemplate(UINT id, const char* name, const wchar_t* caption, int cx, int cy,
                                        bool modeless);
// Destroys a module dialog's window and deletes the object (the caller
// has already cleared its pointer to it); nothing for null.
void DestroyModuleDialog(CWnd* dialog);
