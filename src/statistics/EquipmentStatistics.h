// esbbtj: the equipment of the current drawing (mode 0) or of every drawing
// of the project (mode 1), handed to LISP as equipment table rows.
#pragma once

#include "statistics/EquipmentRows.h"

#include <vector>

// The table of mode 0 (the current drawing) or 1 (the project's drawings):
// false after a failure (its message printed); true with the rows, none
// when no equipment was found.
bool CollectEquipmentTable(int mode, std::vector<EquipmentRow>& rows);

// The LISP handler: reads its argument, prints every failure on the
// command line and returns the rows (a list of lists of six strings), nil
// when there are none, or no value after a failure. Returns 1.
int esbbtj();
