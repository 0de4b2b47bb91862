// The drawings of the project: those listed in the project's Sbxl.Qrz (in
// the user folder of the settings, VMQMain/VmqUse), each with how many
// times its equipment counts.
#pragma once

#include <string>
#include <vector>

struct ProjectDrawing {
    std::wstring path; // as listed, ".dwg" appended
    int multiplier = 1;
};

// The drawings to read: the project's drawings listed in its Sbxl.Qrz with
// their multipliers (mode 1), or the current drawing (mode 0: one entry
// with an empty path). False, having said why on the command line, when
// the list cannot be read.
bool projectDrawings(int mode, std::vector<ProjectDrawing>& drawings);
