#pragma once
// Work split over threads without changing a bit: items 0 … count − 1 go in
// contiguous ranges, one per thread, and every item is computed by exactly
// one thread in the order its own code writes, whatever the number of
// threads. Each thread gets a scratch of its own, made by the caller before
// any thread starts (so that a refused allocation ends the process from the
// calling thread, never from a worker).

#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace lattice_bubble {

// Calls work(scratch[t], begin, end) for t = 0 … scratch.size() − 1 on the
// ranges [t·count/T, (t + 1)·count/T), range 0 on the calling thread. A thread
// that the system refuses to start has its range run on the calling thread.
// What a range throws ends that range; once every thread is done, the first
// exception thrown is thrown again on the calling thread.
template <typename Scratch, typename Work>
void parallel_ranges(long long count, std::vector<Scratch>& scratch, Work work) {
    const auto threads = static_cast<long long>(scratch.size());
    const auto begin = [&](long long t) { return count * t / threads; };
    std::mutex first_lock;
    std::exception_ptr first;
    const auto run = [&](long long t) {
        try {
            work(scratch[static_cast<std::size_t>(t)], begin(t), begin(t + 1));
        } catch (...) {
            const std::lock_guard<std::mutex> lock(first_lock);
            if (!first) {
                first = std::current_exception();
            }
        }
    };
    std::vector<std::thread> started;
    std::vector<long long> refused;
    for (long long t = 1; t < threads; ++t) {
        try {
            started.emplace_back(run, t);
        } catch (const std::system_error&) {
            refused.push_back(t);
        }
    }
    run(0);
    for (const long long t : refused) {
        run(t);
    }
    for (auto& thread : started) {
        thread.join();
    }
    if (first) {
        std::rethrow_exception(first);
    }
}

}  // namespace lattice_bubble
