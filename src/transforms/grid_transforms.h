#pragma once
// Whole-grid transforms. The direction flag is −1 towards real space and
// imaginary time and +1 towards momentum and frequency.
//
// Space transforms, per frequency or time slice, with k·r = 2π(k1·x + k2·y)/8:
//   flag −1: f(x, y) = (1/64)·Σ_k e^{+ik·r}·F(k1, k2)   (momentum → real space)
//   flag +1: F(k1, k2) = Σ_r e^{−ik·r}·f(x, y)          (real space → momentum)
// A flag other than ±1 writes "flag error" once per slice, transforms in the
// direction −flag selects and does not divide.
//
// Time transforms, per site, with the one-site transforms: the time grid is
// always the first argument; flag +1 reads it, −1 writes it; any other flag
// does nothing at all.

#include "common/grids.h"

namespace lattice_bubble {

// The direction flags of the grid transforms.
inline constexpr int towards_real_space_and_time = -1;
inline constexpr int towards_momentum_and_frequency = 1;

// F(k1, k2) = Σ_{x,y} e^{s·2πi(k1·x + k2·y)/8}·f(x, y), s = +1 for sign ≥ 0 and
// −1 below, unscaled, in place. A sign other than ±1 writes "flag error".
// Its work arrays come from the heap; a refused allocation ends the process.
void lattice_fft(LatticeField& field, int sign);

void transform_space_fermion(FermionGrid& grid, int flag);
void transform_space_boson(BosonGrid& grid, int flag);
void transform_space_time(TimeGrid& grid, int flag);

// +1: G(iω_n) = (β/32)·Σ_l e^{+iω_n τ_l}·G(τ_l) at every site; −1: G(τ_l) = (1/β)·Σ over ±ω_n.
void transform_time_fermion(TimeGrid& time_grid, FermionGrid& freq_grid, int flag);

// +1: χ(iν_m) = (β/32)·Σ_l e^{+iν_m τ_l}·χ(τ_l), m = 0 … 16; −1: back to χ(τ_l).
void transform_time_boson(TimeGrid& time_grid, BosonGrid& freq_grid, int flag);

}  // namespace lattice_bubble
