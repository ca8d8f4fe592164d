#pragma once
// The pipe to the plotting program: the one place where the program touches
// the platform. Each function has the same meaning everywhere: open a pipe to
// the standard input of a command run by the platform's command interpreter,
// write text to it and flush it, close it and wait for the command to end.

#include <cstdio>
#include <string>
#include <string_view>

namespace lattice_bubble {

// Opens a pipe for writing to `command` (the platform's popen). Null when no
// pipe can be made; a command that cannot be found is reported by the command
// interpreter, not here.
std::FILE* open_plot_pipe(std::string_view command);

// Writes `text` and flushes. A reader that has already ended must not end the
// program: the write may fail, and that failure is not reported.
void write_plot_pipe(std::FILE* pipe, std::string_view text);

// Closes the pipe and waits for the command interpreter to end.
void close_plot_pipe(std::FILE* pipe);

// The plotting program is called gnuplot on POSIX systems. The command runs as
// given when a program of that name is on `search_path` (a PATH value), else
// "gnuplot" when that is; else as given, with found = false. On Windows the
// command always runs as given.
struct PlotProgram {
    std::string command;
    bool found = false;
};
PlotProgram resolve_plot_program(std::string_view command, std::string_view search_path);

inline constexpr std::string_view posix_plot_program = "gnuplot";

}  // namespace lattice_bubble
