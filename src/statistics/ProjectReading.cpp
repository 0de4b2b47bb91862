#include "statistics/ProjectReading.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

unsigned ReadingThreads(std::size_t drawings, unsigned wanted)
{
    unsigned n = wanted;
    if (n == 0) {
        if (const char* env = std::getenv("CTRLSCH_JOBS"); env && *env) {
            char* end = nullptr;
            const long v = std::strtol(env, &end, 10);
            if (end && *end == '\0' && v > 0)
                n = static_cast<unsigned>(std::min<long>(v, 256));
        }
    }
    if (n == 0)
        n = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(n, std::max<std::size_t>(drawings, 1)));
}

void ReadInOrder(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& read,
                 const std::function<bool(std::size_t)>& take)
{
    assert(threads > 0);
    const std::size_t ahead = 2 * static_cast<std::size_t>(threads);
    std::vector<char> done(count, 0);
    std::mutex mutex;
    std::condition_variable ready, taken;
    std::size_t next = 0, takenCount = 0; // the next one to read; how many were taken
    bool stop = false;

    auto work = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                taken.wait(lock, [&] { return stop || next >= count || next < takenCount + ahead; });
                if (stop || next >= count)
                    return;
                i = next++;
            }
            read(i);
            {
                const std::lock_guard<std::mutex> lock(mutex);
                done[i] = 1;
            }
            ready.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(work);
    for (std::size_t i = 0; i < count; ++i) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [&] { return done[i] != 0; });
        }
        const bool goOn = take(i);
        {
            const std::lock_guard<std::mutex> lock(mutex);
            takenCount = i + 1;
            stop = !goOn;
        }
        taken.notify_all();
        if (!goOn)
            break;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    taken.notify_all();
    for (std::thread& t : pool)
        t.join();
}
