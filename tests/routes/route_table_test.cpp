// Every route of the table honours the stop flag: raised while it works, the
// route ends with Stopped at its next poll instead of finishing.

#include "routes/route_table.h"

#include <gtest/gtest.h>

#include <string>

namespace lattice_bubble {
namespace {

// Raises the flag as soon as the named stage has done anything.
class StopDuring final : public Progress {
public:
    explicit StopDuring(std::string stage) : stage_(std::move(stage)) {}
    void start_stage(std::string_view name, long long) override { in_stage_ = name == stage_; }
    void advance(long long) override {
        if (in_stage_) {
            stop.store(true);
        }
    }
    std::atomic<bool> stop{false};

private:
    std::string stage_;
    bool in_stage_ = false;
};

// One thread, and several pieces of work in every stage: once the flag is
// up, the next poll comes before the stage ends.
TEST(RouteTable, EveryRouteStopsInEveryStageWhenAsked) {
    const StudyModel model{32, 2.0, default_band, 32};
    const std::vector<WaveVector> wave_vectors{{1, 2}, {3, 4}, {5, 6}};
    for (const Route& route : routes()) {
        int stops = 0;
        for (const std::string stage :
             {"lattice transforms to real space", "time transforms", "lattice transforms to momentum",
              "tail of chi", "sums over k", "imaginary-time nodes"}) {
            StopDuring progress(stage);
            const Workers workers{1, &progress, &progress.stop};
            bool stopped = false;
            try {
                route.compute(model, wave_vectors, workers)->prepare(wave_vectors, workers);
            } catch (const Stopped&) {
                stopped = true;
                ++stops;
            }
            EXPECT_EQ(stopped, progress.stop.load()) << route.name << ", " << stage;
        }
        EXPECT_GE(stops, 1) << route.name;
    }
}

}  // namespace
}  // namespace lattice_bubble
