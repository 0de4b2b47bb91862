// The schematic check: finds what would trouble (yltbj) or the equipment
// table in a drawing, without changing it.
//
// Each schematic of a drawing (its entities grouped by their identifier
// point) is recognised as (yltbj) recognises it; then
//   two-symbols         a cell (or link place) holding a second symbol;
//   loose-wire          a wire end on no symbol, no other wire, no rail;
//   symbol-outside      a symbol in no cell of its schematic;
//   damaged-xdata       schematic extended data missing or unreadable
//                       (an insert on the element layer without it, an
//                       identifier point that is no point, parameters that
//                       do not parse);
//   parameters-differ   an entity whose parameter text is not the one most
//                       of its schematic carries;
//   panel-no-code       a panel symbol without a code;
//   designation-models  a designation already seen with another model (in
//                       the same drawing or an earlier one of the project);
//   unreadable-drawing  a drawing of the project that cannot be read.
#pragma once

#include <string>
#include <vector>

class AcDbDatabase;

struct CheckProblem {
    std::string kind;      // one of the keys above
    std::wstring drawing;  // the drawing's path; empty for the current one
    std::wstring handle;   // the entity's handle (hex), empty when none
    int string = 0;        // the string, from 1; 0 when none
    int cell = 0;          // the cell, from 1; 0 when none
    std::wstring message;
};

// The layers the check looks at, from the layer configuration.
struct CheckLayers {
    std::wstring wires, elements, panels;
};
CheckLayers ConfiguredCheckLayers();

// A designation with its model, as the equipment table reads it.
struct CheckEquipment {
    std::wstring designation, model, handle;
};

struct DrawingCheck {
    std::vector<CheckProblem> problems;
    std::vector<CheckEquipment> equipment;
};

// Checks one drawing (read only). Designations are only collected: their
// models are compared by AddDesignationProblems.
DrawingCheck CheckDatabase(AcDbDatabase& db, const CheckLayers& layers);

// Problems for designations met again with another model, in the order of
// the drawings; drawings[i] names equipment[i]'s drawing.
void AddDesignationProblems(const std::vector<std::wstring>& drawings,
                            const std::vector<std::vector<CheckEquipment>>& equipment,
                            std::vector<CheckProblem>& problems);

struct CheckReport {
    int drawings = 0; // drawings to check
    int read = 0;     // drawings that could be read
    std::vector<CheckProblem> problems;
};

// Reads and checks the drawing files, `threads` at a time (0: one per
// core), each in a database of its own. The problems come in the order of
// the files whatever the threads' timing.
CheckReport CheckDrawingFiles(const std::vector<std::wstring>& paths, const CheckLayers& layers, unsigned threads);

// The LISP handler (ctrlschk MODE): mode 0 checks the current drawing, 1
// the project's drawings. Returns (DRAWINGS READ PROBLEM ...), a problem
// being (KIND DRAWING HANDLE STRING CELL MESSAGE); no value when the
// project's drawing list cannot be read (said on the command line).
int ctrlschk();
