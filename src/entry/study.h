#pragma once
// A study: the routes on the user's mesh, their values in one table on
// standard output, and on request a plot of them at the first wave vector.

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "entry/options.h"

namespace lattice_bubble {

inline constexpr std::string_view study_plot_prompt = "Press Enter to close the plot.";

// The bytes a study holds at its peak: every route's, the list of wave
// vectors and one block of the table's text. The study is refused when this
// exceeds what the system has.
[[nodiscard]] double study_memory_bytes(const StudyRequest& study);

// Why the study does not fit, with both figures, when it needs more than the
// system has (`extra_bytes` beside what study_memory_bytes counts); else nothing.
[[nodiscard]] std::optional<std::string> memory_refusal(const StudyRequest& study, double extra_bytes = 0.0);

// Runs a study the command line has accepted and returns its exit status: 0,
// or 2 when it was refused for want of memory or its table could not be
// written whole (one line on standard error says which, and what was lost).
int run_study(const StudyRequest& study);

}  // namespace lattice_bubble
