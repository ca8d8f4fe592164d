#pragma once
// The default run's direct sum, as it defines it: the bare bubble summed over
// the 8 × 8 Brillouin-zone grid in the Lindhard form, and its two
// interaction-enhanced variants. It differs from the direct route of a study
// (routes/direct_route.h), which is exact, in three ways that the run
// defines: k + q is not reduced into [0, 2π) (the cosines see the sum as it
// is), a term whose divisor is exactly zero (ν = 0 and equal energies, 0/0)
// is left out instead of taking its limit β·f·(1 − f), and the occupations
// are differenced directly, so nearly equal energies at ν = 0 divide
// rounding noise by rounding noise. The two share the band and the Fermi
// function of the model, nothing else.

#include "common/complex.h"
#include "default_run/grids.h"

namespace lattice_bubble {

// χ0(q, z) = (1/64)·Σ_{i,j=0..7} [f(e(k+q)) − f(e(k))] / [z − (e(k+q) − e(k))],
// k = (i·dk, j·dk). At z = iν_m, m ≥ 1, and at z = 0 the result is finite; at
// z = 0 it is real and not negative.
[[nodiscard]] Complex bubble_reference(double qx, double qy, Complex z);

// χ0/(1 − coupling·χ0), with χ0 = bubble_reference(qx, qy, z). No guard on the denominator.
[[nodiscard]] Complex bubble_rpa_minus(double qx, double qy, Complex z);

// χ0/(1 + coupling·χ0), with χ0 = bubble_reference(qx, qy, z). No guard on the denominator.
[[nodiscard]] Complex bubble_rpa_plus(double qx, double qy, Complex z);

// chi_reference[x][y][m] = bubble_reference(x·dk, y·dk, iν_m) for every x, y, m.
void fill_reference(BosonGrid& chi_reference);

}  // namespace lattice_bubble
