#pragma once
// The pipe to the plotting program and the search for it (the process's own
// streams and signals are in process.h, the memory a study may use in
// system_resources.h, the processor's instructions in fft/kernel_choice.cpp).
// Each function has the same meaning on every platform.

#include <cstdio>
#include <string>
#include <string_view>

namespace lattice_bubble {

// Opens a pipe for writing to `command`, run by the platform's command
// interpreter, with only the pipe (as its standard input) and the three
// standard descriptors open in it. Null when no pipe can be made, with errno
// telling why; a command that cannot be found is reported by the interpreter.
std::FILE* open_plot_pipe(std::string_view command);

// Writes `text` and flushes. A reader that has already ended must not end the
// program: the write may fail, and that failure is not reported.
void write_plot_pipe(std::FILE* pipe, std::string_view text);

// How the command of a pipe ended.
struct PlotExit {
    bool failed = false;      // a non-zero exit status, or ended by a signal
    std::string description;  // "exited with status 3", "was ended by signal 9 (Killed)"
};

// Closes the pipe and waits for the command interpreter to end.
PlotExit close_plot_pipe(std::FILE* pipe);

// The plotting program is called gnuplot on POSIX systems. The command runs as
// given when a program of that name is on `search_path` (a PATH value, with
// the platform's rules), else "gnuplot" when that is; else as given, with
// found = false. On Windows the command always runs as given.
struct PlotProgram {
    std::string command;
    bool found = false;
};
PlotProgram resolve_plot_program(std::string_view command, std::string_view search_path);

// resolve_plot_program on the process's own search path. Where PATH is unset,
// the platform's default path is used and set as PATH, so that the command
// interpreter searches exactly where this lookup did.
PlotProgram find_plot_program(std::string_view command);

inline constexpr std::string_view posix_plot_program = "gnuplot";

#if !defined(_WIN32)
// The ways to mark every descriptor from 3 up close-on-exec before the
// plotting program starts, in the order open_plot_pipe tries them:
// close_range's one call (Linux 5.11 and later), the open descriptors listed
// in /proc/self/fd, and a call for every number below the descriptor limit.
enum class CloseOnExecWay { close_range_call, descriptor_listing, every_number };

// Marks by `way`; false when the system does not offer it (nothing changed).
bool mark_descriptors_close_on_exec(CloseOnExecWay way);
#endif

}  // namespace lattice_bubble
