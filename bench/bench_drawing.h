// The benchmarks' large drawing, made with the host's own API: lightweight
// polylines in site coordinates (some with constant width, a few with arcs)
// and block references of a handful of block definitions, each reference
// carrying extended data of two or three registered applications; and the
// clocks that compare two jobs timed in turns.
#pragma once

#include "host/dbmain.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>

namespace benchdrawing {

constexpr int kPolylines = 100000;
constexpr int kReferences = 25000;

struct DrawingCounts {
    int polylines = 0;
    int references = 0;
};

// Makes the drawing (entity counts multiplied by scale) and saves it at
// path; exits the program when that fails.
DrawingCounts makeDrawing(const std::string& path, double scale);

std::wstring widen(const std::string& s);
// Prints what failed, with the program's name, and exits with status 2.
[[noreturn]] void fail(const std::string& what);
void check(Acad::ErrorStatus es, const char* what);

// Takes "--scale=F" (a number in (0, 10]) out of the arguments, leaving the
// rest for Google Benchmark; 1 without it.
double takeScaleFlag(int& argc, char** argv);
// A new folder under the system's temporary folder, named after the
// program, removed with what it holds when the program exits.
std::string temporaryFolder(const char* program);

// Wall and processor time, in seconds.
struct Clock {
    double wall = 0.0, cpu = 0.0;
    static Clock now()
    {
        timespec ts{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        const auto wall = std::chrono::steady_clock::now().time_since_epoch();
        return Clock{std::chrono::duration<double>(wall).count(),
                     static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9};
    }
};

struct Best {
    double wall = 1e300, cpu = 1e300;
    void since(const Clock& start)
    {
        const Clock end = Clock::now();
        wall = std::min(wall, end.wall - start.wall);
        cpu = std::min(cpu, end.cpu - start.cpu);
    }
};

} // namespace benchdrawing
