#pragma once
// What a long computation tells about itself while it runs: which stage it
// is in and how much of it is done. The routes report; the driver decides
// whether anyone is shown anything.

#include <string_view>

namespace lattice_bubble {

class Progress {
public:
    virtual ~Progress() = default;
    // A new stage of `total` items; called between parallel parts, from one thread.
    virtual void start_stage(std::string_view name, long long total) = 0;
    // `done` more items of the stage finished; called from any thread.
    virtual void advance(long long done) = 0;
};

// How a route may run: on how many threads, and whom it tells how far it is.
struct Workers {
    int threads = 1;
    Progress* progress = nullptr;  // none: nobody is told

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
};

}  // namespace lattice_bubble
