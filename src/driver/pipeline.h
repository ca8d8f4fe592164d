#pragma once
// The Fourier route to the bubble: G0(k, iω_n) → G(r, τ) → χ(r, τ) = G(r, τ)·G(r, β − τ)
// → χ(q, iν_m), each step callable on its own.

#include <iosfwd>

#include "common/grids.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// green_freq[x][y][n] = G0((x·dk, y·dk), iω_n) = 1/(iω_n − e(k)).
void fill_free_green(FermionGrid& green_freq);

// chi_time[x][y][l] = G(r, τ_l)·G(r, β − τ_l): the partner of l is 32 − l, and
// for l = 0 the partner time β lies outside the grid, where the Green's
// function is continued antiperiodically, G(r, β) = −G(r, 0).
void multiply_green_functions(const TimeGrid& green_time, TimeGrid& chi_time);

// Adds equal_time_correction to the real part of chi_time[0][0][0] only.
void add_equal_time_correction(TimeGrid& chi_time);

// The whole route: fill, momentum → real space, frequency → time, product,
// correction, time → bosonic frequency, real space → momentum, then the
// console report of chi_freq at q = (π, π).
void run_transform_pipeline(FermionGrid& green_freq, TimeGrid& green_time, TimeGrid& chi_time,
                            BosonGrid& chi_freq, std::ostream& out);

}  // namespace lattice_bubble
