#pragma once
// The program's name, as its messages begin, and its exit statuses, each
// declared here once.

#include <string_view>

namespace lattice_bubble {

// Every line the program says on standard error begins with its name:
// "lattice_bubble: <what it says>".
inline constexpr char message_prefix_text[] = "lattice_bubble: ";
inline constexpr std::string_view message_prefix = message_prefix_text;
inline constexpr std::string_view program_name = message_prefix.substr(0, message_prefix.size() - 2);

inline constexpr int exit_complete = 0;
inline constexpr int exit_out_of_memory = 1;  // "Allocation Failure!": a refused allocation, at once
inline constexpr int exit_usage_error = 2;    // a refused command line, or a study that does not fit
inline constexpr int exit_output_lost = 2;    // something the run wrote was lost
inline constexpr int exit_no_pipe = -1;       // the default run could not start its plotting program (255)

}  // namespace lattice_bubble
