#pragma once
// The Fourier route, on any mesh, and its variant with the tails handled
// analytically. The route as defined is the default run's with its sizes 8,
// 16, 32 and 64 generalised to L, N, 2N and 4N, every operation in the same
// order: the default run's own steps (default_run/fourier_steps.h) are
// these steps on its grids.
//
//   G0(k, iω_n) = 1/(iω_n − e(k)), n = 0 … N − 1
//   G(r, iω_n)  = (1/(Lx·Ly))·Σ_k e^{+ik·r}·G0(k, iω_n)
//   G(r, τ_l)   = (1/β)·Σ_{n<N} [e^{−iω_n τ_l}·G(r, iω_n) + e^{+iω_n τ_l}·conj G(r, iω_n)],  τ_l = l·β/(2N)
//   χ(r, τ_l)   = G(r, τ_l)·G(r, β − τ_l), with G(r, β) = −G(r, 0) at l = 0,
//                 and 0.125 added to χ(0, 0)
//   χ(r, iν_m)  = (β/(2N))·Σ_{l<2N} e^{+iν_m τ_l}·χ(r, τ_l),  m = 0 … N
//   χ(q, iν_m)  = Σ_r e^{−iq·r}·χ(r, iν_m)
//
// A study's route holds one grid of Lx·Ly·(N + 1) values: the path from
// G(r, iω_n) to χ(r, iν_m) never leaves its site, so each site's series is
// carried through time in a window of its own and written back in place.
// The lattice transforms (per slot) and the time transforms (per site) are
// split over the workers; each value is computed by one thread in the order
// written here, so the bits do not depend on the number of threads.

#include <span>
#include <vector>

#include "common/series_grid.h"
#include "common/workers.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// G0(k, iω_n) on a study's mesh, k = (x, y)·2π/L: the band formed once per k,
// the frequencies once per mesh. For the tail route, G̃ = G0 − [1/z + e/z² +
// e²/z³] = G0·(e/z)³ (z = iω_n), which leaves nothing to cancel.
class GreenWk {
public:
    GreenWk(const StudyModel& model, bool tails_taken_off);
    [[nodiscard]] Complex operator()(int x, int y, int n) const;

private:
    int lattice_y_;
    bool tails_taken_off_;
    std::vector<double> energy_;
    std::vector<Complex> frequencies_;
};

// χ(τ_l) = G(τ_l)·G(β − τ_l) at one site: the partner of l is 2N − l, and
// for l = 0 it is G(β⁻) = green_beta, off the grid (−G(0) in the route as
// defined, G's antiperiodic continuation).
void chi_t_from_green_t(std::span<const Complex> green_t, Complex green_beta, std::span<Complex> chi_t);

// The route as defined adds equal_time_correction to χ(r = 0, τ = 0) only.
void add_equal_time_correction(Complex& chi_t_at_origin);

// Bytes either route holds at once: the grid, the scratch of its transforms,
// and for the tail route the grids of the band's functions.
[[nodiscard]] double fourier_route_bytes(const StudyModel& model, bool tail, int threads);

// χ(q, iν_m) for every q and m = 0 … N: on return, series(x, y)[m] of the
// grid (Lx × Ly, N + 1 slots) is χ at q = 2π·(x/Lx, y/Ly) and ν_m = 2πm/β.
[[nodiscard]] SeriesGrid fourier_route(const StudyModel& model, const Workers& workers = {});

// The tail route: the same mesh and transforms, with the high-frequency tails
// of G and of χ handled analytically (docs/routes.md has the derivation):
// 1. G̃(k, iω) is carried to real space and imaginary time;
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
