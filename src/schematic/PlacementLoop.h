// The placement loop: the one prompt at which a schematic is drawn.
//
// Each pass shows a red marker around the current cell and waits at
// "\n请选择要绘制的符号<回车结束>:" for a point (it makes the picked cell
// current) or a keyword, typed or sent by the palette:
//   s        place the palette's symbol in the current cell, advance
//   t1       leave the cell empty, advance
//   t2       a wire across the cell, advance
//   t3       wires up to the last cell, which becomes current
//   t4       a link wire towards the previous string at the current cell
//   t5       end the string; the next one begins
//   e1 .. e8 replace, delete, mirror, rotate, insert into a string, place
//            across a link, add a string, delete a string (each with its
//            own prompt, ended by Enter)
//   close    end the loop (as Enter or Esc do)
// Every unit of drawing (the marker, a string's rails, each keyword that
// draws or edits) is one undo group, which also holds the marker's moves
// up to the next unit and, for the last unit, the end of the run; before a
// unit's group closes the marker is hidden and the user's layer, colour and
// linetype are put back. So one U takes back one symbol or one action and
// leaves the user's settings. The loop ends with the marker erased and the
// palette closed. An exception that leaves the loop (input that fails
// while it waits) closes the open unit the same way, then passes on; the
// palette stays open.
#pragma once

#include "host/dbmain.h"

class CPrinPicGrid;

// Modes: a new schematic, or one continued from the drawing.
enum PlacementMode : int { kNewSchematic = 0, kContinuedSchematic = 1 };

// Whether a string of the grid at position p lies at finite coordinates
// (the position and every zone of the string) and the grid's scaled sizes
// (pitches, line width, symbol scale) and reference range are finite:
// then drawing it stores
// no number that is not finite. False when the base point and the sizes
// take the schematic beyond what a double holds.
bool StringFitsInDrawing(const CPrinPicGrid& grid, double position);
// The position a string added after the last one takes.
double NextStringPosition(const CPrinPicGrid& grid);
// Whether the grid's parameters, as its entities carry them (YLTHZCS),
// fit their extended data: false for pitches, width or scale too large to
// be written there.
bool ParametersFitInEntities(const CPrinPicGrid& grid);
// What is said before a schematic that would not fit is refused: its
// coordinates, or its parameters.
inline constexpr const wchar_t* kOutOfRangeMessage = L"\n坐标超出范围!";
inline constexpr const wchar_t* kParametersOutOfRangeMessage = L"\n参数超出范围!";

// Runs the loop on the grid from startString / startCell; stringCount is the
// number of strings the grid already has drawn; startExtents (continued
// schematics only) is the start cell's symbol slot, where the marker first
// stands. Always 0: the loop ends when the user ends it, or (with
// kOutOfRangeMessage) when the next string would not fit in the drawing.
int RunPlacementLoop(CPrinPicGrid* grid, int startString, int stringCount, int startCell,
                     const AcDbExtents& startExtents, int mode);
