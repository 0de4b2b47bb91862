// esbbtj: the equipment of the current drawing (mode 0) or of every drawing
// of the project (mode 1), handed to LISP as equipment table rows.
#pragma once

// The LISP handler: reads its argument, prints every failure on the
// command line and returns the rows (a list of lists of six strings), nil
// when there are none, or no value after a failure. Returns 1.
int esbbtj();
