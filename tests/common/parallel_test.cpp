// Work split over threads: what a worker throws reaches the calling thread
// once every thread is done, and never ends the process.

#include "common/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace lattice_bubble {
namespace {

TEST(ParallelRanges, TheFirstExceptionOfAnyThreadIsThrownOnTheCallerAfterEveryRangeEnds) {
    for (const int thrower : {0, 1, 3}) {
        std::vector<int> scratch(4);
        std::atomic<int> finished{0};
        const auto run = [&] {
            parallel_ranges(40, scratch, [&](int&, long long begin, long long) {
                if (begin / 10 == thrower) {
                    throw std::runtime_error("range " + std::to_string(thrower));
                }
                finished.fetch_add(1);
            });
        };
        EXPECT_THROW(
            try { run(); } catch (const std::runtime_error& error) {
                EXPECT_EQ(std::string(error.what()), "range " + std::to_string(thrower));
                throw;
            },
            std::runtime_error);
        EXPECT_EQ(finished.load(), 3) << "thread " << thrower;
    }
}

}  // namespace
}  // namespace lattice_bubble
