// Reading a project's drawings on several threads while the results are
// taken in the project's order.
#pragma once

#include <cstddef>
#include <functional>

// How many threads read `drawings` drawings: `wanted` when it is positive,
// else CTRLSCH_JOBS when that is a positive number, else one per core;
// never more than there are drawings, at least one.
unsigned ReadingThreads(std::size_t drawings, unsigned wanted = 0);

// Runs read(i) for every i below count on `threads` threads, and take(i)
// on the caller's thread in order, each once read(i) has returned (what
// read(i) stored is visible to take(i)). The readers run at most twice the
// threads ahead of the last one taken, so that the results held stay few.
// take returning false stops the rest (reads begun are finished). read
// must not throw.
void ReadInOrder(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& read,
                 const std::function<bool(std::size_t)>& take);
