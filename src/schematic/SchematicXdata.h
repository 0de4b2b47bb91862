// The extended data that ties an entity to its schematic:
//   "IDPOINT"  1011: the schematic's identifier point (its grid's base
//              point, z 0), on every schematic entity;
//   "YLTHZCS"  1000: the parameters, six fields joined by "&":
//              string pitch, cell pitch, line width, symbol scale ("%.2f"),
//              cells per string, orientation ("%d");
//   "TKSY"     1000: on symbol blocks, the symbol's description, "&", its
//              code.
#pragma once

#include "host/acge.h"
#include "host/adsdefs.h"

#include <string>

class AcDbObjectId;

// 1 and the point (z 0) when the entity's IDPOINT data starts with a 1011
// item; 0 otherwise.
int GetIdPoint(const AcDbObjectId& id, AcGePoint3d& point);
// Replaces the entity's IDPOINT data with one 1011 item (x, y, 0); 0 when
// the entity cannot be opened for write.
int SetIdPoint(const AcDbObjectId& id, const AcGePoint3d& point);
// The first 1000 text of an application's data outside "{" "}" pairs into
// text (left as it was when there is none); nil to LISP when the entity or
// the data is missing. Always 1.
int GetXdataString(const ads_name entity, const ACHAR* app, std::wstring& text);
// The longest text (in bytes) one 1000 item of extended data holds: a
// YLTHZCS text beyond cannot be attached.
inline constexpr std::size_t kMaxXdataText = 255;
// The YLTHZCS text of the six fields.
std::wstring FormatSchematicParameters(double stringPitch, double cellPitch, double lineWidth, double symbolScale,
                                       int cellsPerString, int orientation);
// YLTHZCS and IDPOINT; 0 (with a message when the entity has no name)
// when nothing could be written.
int WriteSchematicXdata(const AcDbObjectId& id, double stringPitch, double cellPitch, double lineWidth,
                        double symbolScale, int cellsPerString, int orientation, const AcGePoint3d& idPoint);
// TKSY (from the current symbol choice), then as WriteSchematicXdata.
int WriteSymbolXdata(const AcDbObjectId& id, double stringPitch, double cellPitch, double lineWidth,
                     double symbolScale, int cellsPerString, int orientation, const AcGePoint3d& idPoint);
