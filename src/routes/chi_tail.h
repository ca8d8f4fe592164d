#pragma once
// The high-frequency tail of the bubble, for the tail route. With
// d = e(k+q) − e(k) and Δf = f(e(k+q)) − f(e(k)), the Lindhard sum expands at
// large ν as
//   χ(q, iν) = c2(q)/(iν)² + c4(q)/(iν)⁴ + …,  c_j(q) = (1/(Lx·Ly))·Σ_k Δf·d^{j−1},
// the odd terms vanishing since e(−k) = e(k). The 2N-point sum over τ misses
// that tail: it comes from the kinks of χ(τ) at 0 and β. A model with the
// same two moments and a closed form on both axes,
//   M(q, iν) = A/((iν)² − b1²) + B/((iν)² − b2²),  A + B = c2,  A·b1² + B·b2² = c4,
//   M(q, τ) = Σ (P/(2b))·(h(b, τ) − h(−b, τ)),  h(b, τ) = e^{−bτ}/(e^{−bβ} − 1),
// carries the kinks; the route gets M(q, iν_m) − (β/(2N))·Σ_l e^{iν_m τ_l}·M(q, τ_l)
// added, the model's exact value less what the route's sum makes of it.

#include "common/series_grid.h"
#include "common/workers.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// c2(q) and c4(q) at every q, in slots 0 and 1 (real parts), by lattice
// transforms of functions of k: O(Lx·Ly·log(Lx·Ly)) for all q.
[[nodiscard]] SeriesGrid chi_tail_moments(const StudyModel& model, const Workers& workers);

// chi(q, iν_m) += M(q, iν_m) − (β/(2N))·Σ_{l<2N} e^{iν_m τ_l}·M(q, τ_l) at every q and m.
void add_chi_tail_correction(const StudyModel& model, SeriesGrid& chi, const Workers& workers);

}  // namespace lattice_bubble
