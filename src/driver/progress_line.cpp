#include "driver/progress_line.h"

#include <cstdio>
#include <iomanip>
#include <sstream>

#include "driver/command_line.h"

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
        std::ostringstream text;
        text << program_name << ": " << task_ << (task_.empty() ? "" : ": ") << stage_ << " "
             << std::min<long long>(100, now_done * 100 / total_) << "% (" << std::fixed
             << std::setprecision(1) << std::chrono::duration<double>(now - start_).count() << " s)";
        const std::string body = text.str();
        std::string line(1, '\r');
        line += body;
        const std::size_t length = body.size();
        if (length < drawn_length_) {
            line.append(drawn_length_ - length, ' ');  // over the rest of a longer line
        }
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        drawn_length_ = length;
    }
    drawing_.unlock();
}

void ProgressLine::clear() {
    const std::lock_guard<std::mutex> lock(drawing_);
    if (drawn_length_ > 0) {
        std::string blank(drawn_length_ + 2, ' ');
        blank.front() = '\r';
        blank.back() = '\r';
        std::fwrite(blank.data(), 1, blank.size(), stderr);
        std::fflush(stderr);
        drawn_length_ = 0;
    }
}

}  // namespace lattice_bubble
