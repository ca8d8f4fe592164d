#pragma once
// The progress of a long study on standard error: one line, rewritten in
// place ("lattice_bubble: tail route: time transforms 42% (3.1 s)"), shown
// only where standard error is a terminal and only once the study has run
// for a second, and cleared before anything else is written to the terminal
// and at the end. In a pipe or a file nothing of it appears.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "common/workers.h"

namespace lattice_bubble {

class ProgressLine final : public Progress {
public:
    explicit ProgressLine(bool shown);
    ~ProgressLine() override { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The task the next stages belong to ("fourier route").
    void set_task(std::string task);
    void start_stage(std::string_view name, long long total) override;
    void advance(long long done) override;
    // Takes the line off the terminal, if it is there.
    void clear();

private:
    using Clock = std::chrono::steady_clock;

    bool shown_;
    Clock::time_point start_;
    std::mutex drawing_;  // held while the line is written; a thread that finds it taken skips its turn
    std::string task_;
    std::string stage_;
    long long total_ = 1;
    std::atomic<long long> done_{0};
    Clock::time_point last_drawn_;
    std::size_t drawn_length_ = 0;
};

}  // namespace lattice_bubble
