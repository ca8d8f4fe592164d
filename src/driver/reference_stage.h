#pragma once
// The reference route: χ0(q, iν_m) by direct Brillouin-zone summation on the
// whole momentum and frequency grid.

#include <iosfwd>

#include "common/grids.h"

namespace lattice_bubble {

// chi_reference[x][y][m] = bubble_reference(x·dk, y·dk, iν_m) for every x, y, m.
void fill_reference(BosonGrid& chi_reference);

// fill_reference, then the console report of chi_reference.
void run_reference_stage(BosonGrid& chi_reference, std::ostream& out);

}  // namespace lattice_bubble
