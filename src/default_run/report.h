#pragma once
// The console report shared by both routes: the 17 bosonic values at grid index
// (4, 4), that is q = (π, π), under a heading, then an empty line.

#include <iosfwd>
#include <string>

#include "default_run/grids.h"

namespace lattice_bubble {

inline constexpr int report_index = lattice_size / 2;  // grid index of q = (π, π)

// The heading names the grid index of q = (π, π): "k=(4,4)" on the 8 × 8 lattice.
inline const std::string report_heading =
    "k=(" + std::to_string(report_index) + "," + std::to_string(report_index) + ")";

// Writes the heading, grid[4][4][0 … 16] one per line as "(re,im)" in the
// stream's default double format, and an empty line; every line ends with
// std::endl, so the report is on the console as soon as it is written.
void write_report(std::ostream& out, const BosonGrid& grid);

}  // namespace lattice_bubble
