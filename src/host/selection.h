// Host internals of object selection: the geometric tests behind picks,
// windows and crossing windows, selection filters, wildcard matching, and
// the table of selection sets that acedSSGet and kin hand out by name.
//
// Used by the selection-set functions (aced.h) and by the command
// interpreter (object-selection prompts of MOVE, ERASE, TRIM, ...).
#pragma once

#include "host/dbmain.h"

#include <string_view>

namespace host {

// The AutoCAD wildcard match (wcmatch): "*", "?", "#" a digit, "@" a
// letter, "." a character that is neither letter nor digit, "~" at the
// start negates, "[...]" a set ("[~...]" its complement, "a-z" ranges),
// "," separates alternatives, "`" takes the next character literally.
bool wcMatch(std::wstring_view text, std::wstring_view pattern, bool ignoreCase);

// True when every part of the entity lies inside the window (its
// geometric extents within the window's, edges included).
bool entityInsideWindow(const AcDbEntity& e, const AcDbExtents& window);
// True when some part of the entity's geometry lies inside the window or
// crosses its edges (the entity itself, not only its box: a block
// reference through its block's entities, a polyline through its segments,
// a circle through its curve).
bool entityCrossesWindow(const AcDbEntity& e, const AcDbExtents& window);
// The last-drawn visible model-space entity whose geometry passes within
// the pick box (PICKBOX pixels, turned into drawing units with VIEWSIZE and
// SCREENSIZE) of p; the null id when none does.
AcDbObjectId pickEntity(const AcGePoint3d& p);

// True when the entity passes a selection filter: a result-buffer chain
// whose types are DXF group codes (0 entity type, 2 block name, 8 layer,
// 6 linetype, 62 colour, -3 followed by 1001 application names, -4
// logical and relational operators). String values are wildcard patterns,
// matched without case for names. A null filter passes everything.
bool matchesFilter(const AcDbEntity& e, const resbuf* filter);
// False (with nothing matched) when the filter holds a group the host
// cannot evaluate; acedSSGet then fails with RTERROR.
bool isSupportedFilter(const resbuf* filter);

// Selection sets by name. A new set holds the ids in order (duplicates
// dropped); its name is valid until acedSSFree.
void newSelectionSet(const AcDbObjectIdArray& ids, ads_name ss);
// The ids of a named set, or null when the name is no live set.
AcDbObjectIdArray* selectionSetIds(const ads_name ss);
// The ids of every live visible model-space entity in a window ("W") or a
// crossing window ("C") that pass the filter, in drawing order.
AcDbObjectIdArray selectInWindow(const AcDbExtents& window, bool crossing, const resbuf* filter);

} // namespace host
