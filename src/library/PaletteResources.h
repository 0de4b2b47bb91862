// The palette's resources: its dialog template, the toolbar's five
// pictures and their tooltips, and the handle that names them.
#pragma once

#include "ui/wintypes.h"

// Registers the palette's and the circuit-parameter dialog's templates and
// the toolbar bitmap (again is harmless).
void RegisterPaletteResources();
// The module that holds the resources (pushed on the document manager
// around template lookups).
void* PaletteResourceHandle();
// The tooltip of a toolbar button by command id; empty for other ids.
const wchar_t* PaletteToolTip(UINT commandId);
