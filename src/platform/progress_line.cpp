#include "platform/progress_line.h"

#include <algorithm>
#include <cstdio>

#include "common/program.h"

namespace lattice_bubble {
namespace {

constexpr auto quiet_start = std::chrono::seconds(1);
constexpr auto redraw_interval = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(bool shown) : shown_(shown), start_(Clock::now()), last_drawn_(start_) {}

void ProgressLine::set_task(std::string task) {
    const std::lock_guard<std::mutex> lock(drawing_);
    task_ = std::move(task);
}

void ProgressLine::start_stage(std::string_view name, long long total) {
    const std::lock_guard<std::mutex> lock(drawing_);
    stage_ = std::string(name);
    total_ = total > 0 ? total : 1;
    done_.store(0);
}

// The line is formed in a buffer of its own: a worker thread never allocates.
void ProgressLine::advance(long long done) {
    const long long now_done = done_.fetch_add(done) + done;
    if (!shown_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now - start_ < quiet_start || !drawing_.try_lock()) {
        return;
    }
    if (now - last_drawn_ >= redraw_interval) {
        last_drawn_ = now;
        char line[512];
        const int length = std::snprintf(line, sizeof line, "\r%s%s%s%s %lld%% (%.1f s)", message_prefix_text,
                                         task_.c_str(), task_.empty() ? "" : ": ", stage_.c_str(),
                                         std::min<long long>(100, now_done * 100 / total_),
                                         std::chrono::duration<double>(now - start_).count());
        if (length > 0) {
            const auto written = std::min(static_cast<std::size_t>(length), sizeof line - 1);
            // Blanks over the rest of a longer line drawn before.
            const std::size_t width = written - 1;
            std::fwrite(line, 1, written, stderr);
            for (std::size_t i = width; i < drawn_length_; ++i) {
                std::fputc(' ', stderr);
            }
            std::fflush(stderr);
            drawn_length_ = width;
        }
    }
    drawing_.unlock();
}

void ProgressLine::clear() {
    const std::lock_guard<std::mutex> lock(drawing_);
    if (drawn_length_ > 0) {
        std::fputc('\r', stderr);
        for (std::size_t i = 0; i < drawn_length_; ++i) {
            std::fputc(' ', stderr);
        }
        std::fputc('\r', stderr);
        std::fflush(stderr);
        drawn_length_ = 0;
    }
}

}  // namespace lattice_bubble
