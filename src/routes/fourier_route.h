#pragma once
// The Fourier route of a study, on any mesh: the default run's route with its
// sizes 8, 16, 32 and 64 generalised to L, N, 2N and 4N, every operation in
// the same order, so that the default values give the default run's bits.
//
//   G0(k, iω_n) = 1/(iω_n − e(k)), n = 0 … N − 1
//   G(r, iω_n)  = (1/L²)·Σ_k e^{+ik·r}·G0(k, iω_n)
//   G(r, τ_l)   = (1/β)·Σ_{n<N} [e^{−iω_n τ_l}·G(r, iω_n) + e^{+iω_n τ_l}·conj G(r, iω_n)],  τ_l = l·β/(2N)
//   χ(r, τ_l)   = G(r, τ_l)·G(r, β − τ_l), with G(r, β) = −G(r, 0) at l = 0,
//                 and 0.125 added to χ(0, 0)
//   χ(r, iν_m)  = (β/(2N))·Σ_{l<2N} e^{+iν_m τ_l}·χ(r, τ_l),  m = 0 … N
//   χ(q, iν_m)  = Σ_r e^{−iq·r}·χ(r, iν_m)
//
// The route holds one grid of L²·(N + 1) values: the path from G(r, iω_n) to
// χ(r, iν_m) never leaves its site, so each site's series is carried through
// time in a scratch of its own and written back in place. The lattice
// transforms (per slot) and the time transforms (per site) are split over
// the workers; each value is computed by one thread in the order written
// here, so the bits do not depend on the number of threads.

#include "common/progress.h"
#include "common/series_grid.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// Bytes either route holds at once: the grid, the scratch of its transforms,
// and for the tail route the grids of the band's functions.
[[nodiscard]] double fourier_route_bytes(const StudyModel& model, bool tail, int threads);

// χ(q, iν_m) for every q and m = 0 … N: on return, series(x, y)[m] of the
// grid (L × L, N + 1 slots) is χ at q = (x, y)·2π/L and ν_m = 2πm/β.
[[nodiscard]] SeriesGrid fourier_route(const StudyModel& model, const Workers& workers = {});

// The tail route: the same mesh and transforms, with the high-frequency tails
// of G and of χ handled analytically (docs/routes.md has the derivation):
// 1. G̃(k, iω) = G0 − [1/(iω) + e/(iω)² + e²/(iω)³], which falls like 1/ω⁴
//    and has no jump at τ = 0, is carried to real space and imaginary time;
// 2. the three terms come back in closed form, −1/2, e·(2τ − β)/4 and
//    e²·τ(β − τ)/4 (in real space −½·δ(r, 0) and the lattice images of e and
//    e²), with the limits τ → 0⁺ at l = 0 and τ → β⁻ for the partner of l = 0;
// 3. χ(r, τ_l) = G(r, τ_l)·G(r, β − τ_l), no equal-time correction;
// 4. χ to bosonic frequency and momentum as in the route as defined, then
//    the tail of χ that the sum over τ misses added in closed form
//    (routes/chi_tail.h).
[[nodiscard]] SeriesGrid tail_route(const StudyModel& model, const Workers& workers = {});

// Steps 1 and 2 of the tail route alone: G(r, τ_l) in slots l = 0 … 2N − 1
// (slot 0 the limit τ → 0⁺) and the limit τ → β⁻ in slot 2N.
[[nodiscard]] SeriesGrid tail_green_time(const StudyModel& model);

}  // namespace lattice_bubble
