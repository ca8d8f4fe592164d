#pragma once
// How a computation may run: on how many threads, whom it tells how far it
// is, and the flag that asks it to stop. The routes report and poll; the
// entry decides whether anyone is shown anything and who may raise the flag.

#include <atomic>
#include <string_view>

#include "common/failure.h"

namespace lattice_bubble {

class Progress {
public:
    virtual ~Progress() = default;
    // A new stage of `total` items; called between parallel parts, from one thread.
    virtual void start_stage(std::string_view name, long long total) = 0;
    // `done` more items of the stage finished; called from any thread.
    virtual void advance(long long done) = 0;
};

struct Workers {
    int threads = 1;
    Progress* progress = nullptr;             // none: nobody is told
    const std::atomic<bool>* stop = nullptr;  // raised from any thread: the computation ends with Stopped

    void start_stage(std::string_view name, long long total) const {
        if (progress != nullptr) {
            progress->start_stage(name, total);
        }
    }
    void advance(long long done) const {
        if (progress != nullptr) {
            progress->advance(done);
        }
    }
    // Called between pieces of work of at most about 100 ms each.
    void poll() const {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) [[unlikely]] {
            throw Stopped();
        }
    }
};

}  // namespace lattice_bubble
