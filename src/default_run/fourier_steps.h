#pragma once
// The default run's own steps of the Fourier route (routes/fourier_route.h),
// on its fixed grids: each is the route's step at the default mesh.

#include "default_run/grids.h"

namespace lattice_bubble {

// green_freq[x][y][n] = G0((x·dk, y·dk), iω_n) = 1/(iω_n − e(k)).
void fill_free_green(FermionGrid& green_freq);

// chi_time[x][y][l] = G(r, τ_l)·G(r, β − τ_l): the partner of l is 32 − l, and
// for l = 0 the partner time β lies outside the grid, where the Green's
// function is continued antiperiodically, G(r, β) = −G(r, 0).
void multiply_green_functions(const TimeGrid& green_time, TimeGrid& chi_time);

// Adds equal_time_correction to the real part of chi_time[0][0][0] only.
void add_equal_time_correction(TimeGrid& chi_time);

}  // namespace lattice_bubble
