#pragma once
// A study: the routes on the user's mesh, their values in one table on
// standard output, and on request a plot of them at the first wave vector.

#include <string_view>

#include "request/study.h"

namespace lattice_bubble {

inline constexpr std::string_view study_plot_prompt = "Press Enter to close the plot.";

// Runs a study the command line has accepted and returns its exit status: 0,
// or 2 when its table could not be written whole (one line on standard error
// says what was lost).
int run_study(const Study& study);

}  // namespace lattice_bubble
