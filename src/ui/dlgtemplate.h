// Dialog templates (caption, font, size and controls in dialog units), the
// registry that holds them by id, and the dialog-unit to pixel rule.
//
// Dialog units to pixels. The template's font gives two base units:
//   h     = font height in pixels = ceil(points * 96 / 72)
//   baseX = (h + 1) / 2      (average character width)
//   baseY = h + 2            (character cell height)
// and a length converts as x px = MulDiv(du, baseX, 4), y px =
// MulDiv(du, baseY, 8), each of a rectangle's four numbers on its own.
// MS Shell Dlg 8 pt gives baseX 6 and baseY 13 (du * 6 / 4, du * 13 / 8);
// 宋体 9 pt gives 6 and 14. The face name is kept for painting; only the
// point size enters the units.
//
// A template's size is the client area; a dialog with a caption adds the
// frame (3 px each side) and the caption bar (23 px) to its window size.
// A drop-down list's template height is that of its open list; its window
// is baseY + 8 px high. Control coordinates are relative to the client area.
#pragma once

#include "ui/geometry.h"
#include "ui/wintypes.h"

#include <string>
#include <vector>

namespace ui {

// The kind of a control; its window class and the style bits it starts
// with (always with WS_CHILD, and WS_VISIBLE unless the template hides it):
//   PushButton     BS_PUSHBUTTON | WS_TABSTOP
//   DefPushButton  BS_DEFPUSHBUTTON | WS_TABSTOP (and the dialog's default id)
//   CheckBox       BS_AUTOCHECKBOX | WS_TABSTOP (add BS_PUSHLIKE for a push-like one)
//   RadioButton    BS_AUTORADIOBUTTON (add WS_GROUP | WS_TABSTOP to the first of a group)
//   GroupBox       BS_GROUPBOX
//   Static         SS_LEFT (add SS_NOTIFY to receive clicks)
//   Frame          SS_BLACKFRAME
//   Picture        SS_BITMAP
//   Edit           ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP (ES_NUMBER: digits only)
//   ComboBox       CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP (CBS_SORT: sorted)
//   ListBox        LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP (LBS_SORT: sorted)
//   Spin           UDS_ARROWKEYS (UDS_SETBUDDYINT, UDS_AUTOBUDDY, UDS_ALIGNRIGHT, ...)
//   Toolbar        CCS_TOP | CCS_NODIVIDER | TBSTYLE_TOOLTIPS
enum class ControlKind {
    PushButton,
    DefPushButton,
    CheckBox,
    RadioButton,
    GroupBox,
    Static,
    Frame,
    Picture,
    Edit,
    ComboBox,
    ListBox,
    Spin,
    Toolbar,
};

// A rectangle in dialog units as resource scripts write it.
struct DluRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct ControlTemplate {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    // Every member has an initializer, so that a template lists only what
    // differs: {.id = IDC_X, .kind = ControlKind::Edit, .rect = {...}}.
    std::wstring text{};
    DluRect rect{};
    // Style bits added to the kind's own (WS_DISABLED, WS_GROUP,
    // BS_PUSHLIKE, CBS_SORT, ES_NUMBER, UDS_SETBUDDYINT, ...).
    DWORD style = 0;
    // Created without WS_VISIBLE.
    bool hidden = false;
    // Spin controls: the id of the buddy control (0: none, or the control
    // before it with UDS_AUTOBUDDY).
    int buddy = 0;
    // The short name that events use instead of the id ("rows", "next"):
    // lowercase ASCII letters and digits in words joined by hyphens,
    // starting with a letter; unique within the template. Optional; IDOK
    // and IDCANCEL without one are named "ok" and "cancel".
    std::string name{};
};

struct DialogTemplate {
    UINT id = 0;
    // A short name that events may use instead of the id (optional).
    std::string name{};
    std::wstring caption{};
    std::wstring fontName = L"MS Shell Dlg";
    int fontSize = 8;
    // Client size in dialog units.
    int cx = 0;
    int cy = 0;
    // A modeless dialog whose style has WS_VISIBLE shows itself after
    // OnInitDialog; modal dialogs always show.
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    std::vector<ControlTemplate> controls{};
    // Names of command ids that are no control of the template (the
    // buttons of a toolbar the dialog makes): `@tool` and `@tip` take them
    // beside the ids. Named like controls, and unique among them.
    std::vector<std::pair<int, std::string>> commands{};
};

// A bitmap resource (toolbar images are a strip of equal pictures side by
// side): pixels row by row from the top. Pixels of the button face colour
// (RGB 192, 192, 192) are transparent on a toolbar.
struct BitmapResource {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
};
// Adds a bitmap, replacing one with the same id; false (nothing added)
// when the size is below 1 or the pixels do not fill it.
bool registerBitmapResource(UINT id, BitmapResource bitmap);
const BitmapResource* findBitmapResource(UINT id);

// What is wrong with the control names of a template (a name that is not
// of the form above, or one given twice), or "" when nothing is.
std::string controlNameProblem(const DialogTemplate& tmpl);
// Adds a template, replacing one with the same id; IDOK and IDCANCEL get
// their default names. The control names must be right (asserted).
void registerDialogTemplate(DialogTemplate tmpl);
// The template with this id, or nullptr. The pointer stays valid until the
// template is replaced or removed.
const DialogTemplate* findDialogTemplate(UINT id);
bool unregisterDialogTemplate(UINT id);

// Base units of a font size (see the rule above).
CSize dialogBaseUnits(int pointSize);
// Dialog units to pixels with a font size's base units.
CRect dluToPixels(const CRect& dlu, int pointSize);
CSize dluToPixels(CSize dlu, int pointSize);

} // namespace ui
