#pragma once
// The program's run: the working grids, the stages in their fixed order, the
// exit status.

#include <string_view>

namespace lattice_bubble {

inline constexpr int exit_complete = 0;
inline constexpr int exit_output_lost = 2;  // a report or the map could not be written
inline constexpr int exit_no_pipe = -1;     // no pipe to the plotting program (255 to a shell)

// The line that says standard output was lost: "<start> (<reason>); <what> are lost",
// or, when it was closed at the start, "<closed start>; <what> are lost".
inline constexpr std::string_view stdout_failure_start =
    "lattice_bubble: error: standard output could not be written";
inline constexpr std::string_view stdout_closed_start = "lattice_bubble: error: standard output is closed";

// The start of the no-pipe line; the reason and the loss follow.
inline constexpr std::string_view no_pipe_message =
    "lattice_bubble: error: cannot start the plotting program";

// What became of standard output: closed when the run started, or the
// reason of its first failed write. note() is called right after each stage
// that writes to it, while errno still holds the reason.
class OutputWatch {
public:
    explicit OutputWatch(bool was_closed) : closed_(was_closed) {}
    void note();
    // `status`, unless standard output was closed or could not be written:
    // then one line on standard error saying that `lost` (such as "the
    // reports") are lost, and for a status that says success exit_output_lost.
    [[nodiscard]] int status(int status, std::string_view lost);

private:
    bool closed_;
    bool failed_ = false;
    int error_ = 0;
};

// Runs the whole program on the process's standard streams and returns its exit status.
int run();

}  // namespace lattice_bubble
