// The two drawing entries: `ylthz` draws a new schematic from a picked base
// point, `yltbj` continues one chosen by a window. Both set the system
// variables a drawing run needs, open the palette, build the grid and run
// the placement loop; the variables come back when the entry returns.
#pragma once

#include "host/dbmain.h"

class CPrinPicGrid;
class CYlthzDialog;

// The six values a schematic's entities carry (their YLTHZCS text).
struct SchematicParameters {
    double stringPitch = 0; // between strings
    double cellPitch = 0;   // along a string
    double lineWidth = 0;
    double symbolScale = 0;
    int cellsPerString = 0;
    int orientation = 0;
};
// Reads "stringPitch&cellPitch&lineWidth&symbolScale&cells&orientation";
// false for another number of fields or values no schematic has
// (pitches and scale not positive, no cells, an unknown arrangement).
bool ParseSchematicParameters(const std::wstring& text, SchematicParameters& parameters);

// LISP entries: nil to LISP, RTNORM to the dispatcher.
int ylthz();
int yltbj();

// A new schematic: 1 when drawing went ahead or the user ended it at the
// base point prompt (Enter, "close"), 0 when the prompt was cancelled. A
// base point at which the schematic would not fit in the drawing
// (StringFitsInDrawing) is refused with kOutOfRangeMessage and asked again;
// so is every point while the palette's sizes are too large for the
// entities' data (ParametersFitInEntities, kParametersOutOfRangeMessage).
int BeginSchematic();
// Continues the schematic the user's window picks: its polylines, symbol
// blocks and terminal blocks are gathered into the three arrays. 1 when
// the placement loop ran, 0 when nothing was drawn.
int ContinueSchematic(AcDbObjectIdArray& polylines, AcDbObjectIdArray& symbols, AcDbObjectIdArray& terminals);

// The steps of the two, for whoever needs one of them alone.
//
// A new schematic's grid from the palette's settings, the base point and
// the drawing's print scale, with its reference range.
void SetUpNewGrid(CPrinPicGrid& grid, const CYlthzDialog& palette, int symbolCount, const AcGePoint3d& base,
                  double printScale);
// Gathers the entities of the schematic whose identifier point is idPoint
// from the whole drawing: 1, or 0 after the message of what went wrong.
// parameters and blockScale come from the first symbol block with valid
// parameters.
int GatherSchematic(const AcGePoint3d& idPoint, AcDbObjectIdArray& polylines, AcDbObjectIdArray& symbols,
                    AcDbObjectIdArray& terminals, SchematicParameters& parameters, double& blockScale);
// Sets the grid up from a schematic's parameters and recognises it from
// its entities (the wire and symbol arrays are consumed).
void RecognizeSchematic(CPrinPicGrid& grid, const SchematicParameters& parameters, double blockScale,
                        const AcGePoint3d& idPoint, AcDbObjectIdArray& polylines, AcDbObjectIdArray& symbols,
                        const AcDbObjectIdArray& terminals);
// Where drawing resumes: the first cell without a symbol and without
// wires, string by string; the last cell of the last string when all are
// taken.
void FindResumeCell(const CPrinPicGrid& grid, int& stringIndex, int& cellIndex);
