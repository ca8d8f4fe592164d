#pragma once
// The bare particle-hole susceptibility by direct summation over the 8 × 8
// Brillouin-zone grid (Lindhard form), and two interaction-enhanced variants.

#include "common/complex.h"

namespace lattice_bubble {

// χ0(q, z) = (1/64)·Σ_{i,j=0..7} [f(e(k+q)) − f(e(k))] / [z − (e(k+q) − e(k))],
// k = (i·dk, j·dk), k + q not reduced into [0, 2π). A term whose divisor is
// exactly (0, 0) (z = 0 and e(k+q) == e(k): the 0/0 points) is skipped.
// At z = iν_m, m ≥ 1, and at z = 0 the result is finite; at z = 0 it is real
// and not negative.
[[nodiscard]] Complex bubble_reference(double qx, double qy, Complex z);

// χ0/(1 − coupling·χ0), with χ0 = bubble_reference(qx, qy, z). No guard on the denominator.
[[nodiscard]] Complex bubble_rpa_minus(double qx, double qy, Complex z);

// χ0/(1 + coupling·χ0), with χ0 = bubble_reference(qx, qy, z). No guard on the denominator.
[[nodiscard]] Complex bubble_rpa_plus(double qx, double qy, Complex z);

}  // namespace lattice_bubble
