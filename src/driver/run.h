#pragma once
// The program's run: the working grids, the stages in their fixed order, the
// exit status.

#include <string_view>

namespace lattice_bubble {

inline constexpr int exit_complete = 0;
inline constexpr int exit_output_lost = 2;  // a report or the map could not be written
inline constexpr int exit_no_pipe = -1;     // no pipe to the plotting program (255 to a shell)

inline constexpr std::string_view stdout_failure_message =
    "lattice_bubble: error: standard output could not be written; the reports are lost";

// The start of the no-pipe line; the reason and the loss follow.
inline constexpr std::string_view no_pipe_message =
    "lattice_bubble: error: cannot start the plotting program";

// `status`, unless standard output could not be written (or, with
// `output_was_closed`, had nowhere to go): then one line on standard error
// and, for a status that says success, exit_output_lost.
int status_after_output(int status, bool output_was_closed = false);

// Runs the whole program on the process's standard streams and returns its exit status.
int run();

}  // namespace lattice_bubble
