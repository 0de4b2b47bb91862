// The whole dialog toolkit in one include, for code written against the
// Windows class library: types, CString, geometry, windows, controls,
// dialogs, device contexts, templates and the host connection.
#pragma once

#include "ui/afxext.h"
#include "ui/controls.h"
#include "ui/cstring.h"
#include "ui/dc.h"
#include "ui/dialog.h"
#include "ui/dlgtemplate.h"
#include "ui/geometry.h"
#include "ui/session.h"
#include "ui/wintypes.h"
#include "ui/wnd.h"
