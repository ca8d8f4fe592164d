#pragma once
// The process's own streams and signals: what the entry sets up before a run
// and asks of the platform while it runs. Each function has the same meaning
// on every platform.

#include <string_view>

namespace lattice_bubble {

// Which of the standard descriptors 0, 1 and 2 were closed when the run
// started. Each of them is opened on the null device, so that no file or pipe
// of the run can take its number (a map file on descriptor 2 would receive
// every message). Standard input and output get buffers of the program's
// own, so that no later allocation of the C library's can fail unseen; call
// this before any input or output.
struct StandardStreams {
    bool input_was_closed = false;
    bool output_was_closed = false;
    bool error_was_closed = false;
};
StandardStreams prepare_standard_streams();

// Whether standard input is a terminal, where a user is asked for the key.
bool standard_input_is_terminal();

// Whether standard error is a terminal, where a long study shows its progress.
bool standard_error_is_terminal();

// From here on a write to a pipe whose reader has gone (standard output read
// by a program that has ended) fails with an error instead of ending the
// process. A program started by open_plot_pipe still gets the default action.
void ignore_broken_pipes();

// One line of the program on standard error, "lattice_bubble: <text>",
// flushed at once: every message of the program goes through here.
void write_message(std::string_view text);

// Writes the whole text to standard output and flushes it; throws
// OutputLost, with the system's reason, when any of it is lost.
void write_standard_output(std::string_view text);

}  // namespace lattice_bubble
