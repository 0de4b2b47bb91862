// Panel layout: `inspmtsb` places panel equipment symbols one after the
// other. The panel equipment dialog gives the symbol, its size and its
// texts; each symbol is dragged from a parking point far outside the view
// onto the picked point, scaled to width x height x the argument, carries
// the equipment data the statistics read, on the panel layer ("PMTBZ" code&symbol text,
// "XMDH", "SBMC", "XHGG") and is labelled with its code (height 20 x scale)
// and its symbol text (30 x scale): above and below it, or inside it for
// the name plate "pmtfh1". Enter or Esc ends; the dialog typing "s " when
// the user leaves it makes the command read the dialog afresh; other text
// typed while a symbol is dragged asks for its point again. The user's
// current layer (and the other variables a drawing command changes) come
// back however the command ends.
#pragma once

#include "host/dbmain.h"
#include "panel/PmtsbcsDlg.h"

#include <string>

inline constexpr double kPanelCodeHeight = 20.0;
inline constexpr double kPanelSymbolHeight = 30.0;
// The scales the command takes; others draw nothing ("参数超出范围!").
inline constexpr double kMinPanelScale = 1e-6;
inline constexpr double kMaxPanelScale = 1e6;

// LISP: (inspmtsb scale); nil for a missing or non-real argument or a
// scale out of range.
int inspmtsb();
// The command itself, with its scale: runs until Enter or Esc, then
// deletes the dialog. A scale outside [kMinPanelScale, kMaxPanelScale]
// (or none at all) is refused with a message and gives nil; so is a symbol
// whose width or height at that scale no double holds, which ends the
// command.
void InsertPanelEquipment(double scale);

// Where the two labels of a placed symbol go, from its extents.
struct PanelLabelPlaces {
    AcGePoint3d code, symbol;
};
PanelLabelPlaces PanelLabelPositions(const AcDbExtents& extents, const std::wstring& blockName, double scale);
// Attaches the four equipment data items to a placed symbol and draws its
// labels (each only when its text is not empty).
void LabelPanelSymbol(const ads_name entity, const PanelEquipmentTexts& texts, double scale);
