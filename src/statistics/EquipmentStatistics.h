// esbbtj: the equipment of the current drawing (mode 0) or of every drawing
// of the project (mode 1), handed to LISP as equipment table rows.
#pragma once

#include "statistics/EquipmentRows.h"

#include <string>
#include <vector>

// A drawing of the project's list (Sbxl.Qrz in the user folder): its path
// as listed with ".dwg" appended, and how many times it counts.
struct ProjectDrawing {
    std::wstring path;
    int multiplier = 1;
};

// The project's drawings in the order listed. False after its message when
// the list cannot be read, is empty or does not match its numbers.
bool ReadProjectDrawings(std::vector<ProjectDrawing>& drawings);

// The table of one drawing of a project, as the current drawing's is made
// (each item counted once).
struct DrawingTable {
    std::wstring path;
    std::vector<EquipmentRow> rows;
};

// The table of mode 0 (the current drawing) or 1 (the project's drawings):
// false after a failure (its message printed); true with the rows, none
// when no equipment was found.
bool CollectEquipmentTable(int mode, std::vector<EquipmentRow>& rows);
// The same, and with mode 1 and perDrawing given, the table of each readable
// drawing of the project in the project's order, made in the same pass.
// The project's drawings are read on several threads (CTRLSCH_JOBS of them
// when set, else one per core); rows and messages are those of reading them
// one after the other.
bool CollectEquipmentTables(int mode, std::vector<EquipmentRow>& rows, std::vector<DrawingTable>* perDrawing);

// The LISP handler: reads its argument, prints every failure on the
// command line and returns the rows (a list of lists of six strings), nil
// when there are none, or no value after a failure. Returns 1.
int esbbtj();

// esbbtjgt: no argument; the project's table and each drawing's at once:
// (PROJECT-ROWS (PATH ROWS) ...), a table being its list of rows or nil.
// No value after a failure. Returns 1.
int esbbtjgt();
