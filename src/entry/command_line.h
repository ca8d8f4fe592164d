#pragma once
// The command line: no arguments for the default run, a request for help or
// for the version, or the options of a study; anything else is refused before
// anything is computed.

#include <string_view>

namespace lattice_bubble {

// The project's version, as --version and the header of a study's table say it.
[[nodiscard]] std::string_view program_version();

// Runs the program as its command line asks: with no arguments the default
// run (run()); "-h" or "--help" anywhere among the options prints the usage
// on standard output, "--version" the name and version; any other valid line
// is a study (run_study()); a line that is not writes one line on standard
// error naming what is wrong, and computes nothing. Returns the exit status.
int run_command_line(int argc, const char* const* argv);

}  // namespace lattice_bubble
