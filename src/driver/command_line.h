#pragma once
// The command line: the program takes no arguments but a request for help or
// for its version; anything else is refused before anything is computed.

#include <string_view>

namespace lattice_bubble {

inline constexpr std::string_view program_name = "lattice_bubble";

// The status of a refused argument, that of a lost output as well.
inline constexpr int exit_usage_error = 2;

// Runs the program as its command line asks: with no arguments the whole run
// (run()); "-h" or "--help" prints the usage on standard output; "--version"
// prints the name and version; anything else writes one line on standard
// error naming the argument. Returns the exit status.
int run_command_line(int argc, const char* const* argv);

}  // namespace lattice_bubble
