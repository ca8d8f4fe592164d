#pragma once
// The tail route's mesh chosen for a tolerance. Measured against the direct
// route (docs/routes.md, "Choosing N"), every value of the tail route with N
// fermionic frequencies, at every q and every m = 0 … N, lies within
//
//   |χ_tail(q, iν_m) − χ0(q, iν_m)| ≤ A·β⁴·E³/N⁴ + rounding,   A = 1.3·10^−3,
//
// of the exact sum, E = max_k |e(k)| over the grid (e measured from μ, in
// units of energy; β its inverse). A is twice the largest coefficient
// measured, 6.5·10^−4, which a flat band away from μ reaches; bands that
// cross μ measure 0.5 … 1.4·10^−4. The width max e − min e does not set the
// error: a narrow band far from μ errs as a flat one at the same E.
//
// The scale is β/4, the largest |χ0| of any band (|Δf/(iν − d)| ≤ |Δf/d|
// ≤ β/4). Rounding adds a floor that grows like (βE)² (measured 1.6·10^−15,
// 5.8·10^−15, 3.3·10^−14 and 1.4·10^−11 of β/4 at βE = 4, 40, 160 and 4000),
// taken here with a factor ≥ 1.6 over those. The bound relative to β/4 is
//
//   b(N) = 4A·(βE)³/N⁴ + r,   r = 3·10^−15 + 4·10^−18·(βE)²,
//
// and for a tolerance ε > r the rule takes the smallest N = 2^a·3^b·5^c (the
// time transforms of 2N points then have smooth sizes) with b(N) ≤ ε:
//
//   N ≥ (4A/(ε − r))^{1/4}·(βE)^{3/4},  0.2685·(βE)^{3/4}·ε^{−1/4} where r ≪ ε.
//
// For ε ≤ r no N meets ε; the rule then aims at 4A·(βE)³/N⁴ ≤ r, and its
// bound, 2r, says so.

#include "model/lattice_model.h"

namespace lattice_bubble {

struct TailGrid {
    int frequencies;  // N
    double bound;     // b(N): every value within bound·scale of χ0
    double scale;     // β/4
};

// The smallest N the rule gives for tolerance ε at inverse temperature β and
// energy E ≥ 0, and the bound it guarantees. N is at most 2^30; its bound
// exceeds ε at that cap or for ε ≤ r; the caller refuses any N above what it
// accepts.
[[nodiscard]] TailGrid tail_grid_for(double inverse_temperature, double energy, double tolerance);

// b(N), the bound the rule states for N frequencies (relative to β/4).
[[nodiscard]] double tail_bound(int frequencies, double inverse_temperature, double energy);

// E of a study: the largest |e(k)| over its grid.
[[nodiscard]] double tail_energy(const StudyModel& model);

}  // namespace lattice_bubble
