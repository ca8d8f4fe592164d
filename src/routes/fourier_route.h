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
// time in a scratch of its own and written back in place.

#include "common/series_grid.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// Bytes the route holds at once: the grid, and the scratch of its transforms.
[[nodiscard]] double fourier_route_bytes(const StudyModel& model);

// χ(q, iν_m) for every q and m = 0 … N: on return, series(x, y)[m] of the
// grid (L × L, N + 1 slots) is χ at q = (x, y)·2π/L and ν_m = 2πm/β.
[[nodiscard]] SeriesGrid fourier_route(const StudyModel& model);

}  // namespace lattice_bubble
