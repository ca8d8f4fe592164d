#pragma once
// The console report shared by both routes: the 17 bosonic values at grid index
// (4, 4), that is q = (π, π), under a heading, then an empty line.

#include <iosfwd>
#include <string_view>

#include "common/grids.h"

namespace lattice_bubble {

inline constexpr std::string_view report_heading = "k=(4,4)";
inline constexpr int report_index = 4;  // grid index of q = (π, π)

// Writes the heading, grid[4][4][0 … 16] one per line as "(re,im)" in the
// stream's default double format, and an empty line; every line ends with
// std::endl, so the report is on the console as soon as it is written.
void write_report(std::ostream& out, const BosonGrid& grid);

}  // namespace lattice_bubble
