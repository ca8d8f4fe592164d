#pragma once
// The default run's transforms between momentum and real space on its fixed
// 8 × 8 grids, each a call of the slot transform of
// transforms/lattice_transforms.h with the default sizes, its work arrays
// from the run's allocator.

#include "default_run/grids.h"

namespace lattice_bubble {

// The direction flags of the grid transforms: towards real space and
// imaginary time, and towards momentum and frequency.
inline constexpr int towards_real_space_and_time = -1;
inline constexpr int towards_momentum_and_frequency = 1;

// F(k1, k2) = Σ_{x,y} e^{s·2πi(k1·x + k2·y)/8}·f(x, y), s = +1 for sign ≥ 0 and
// −1 below, unscaled, in place. A sign other than ±1 writes "flag error" and
// still transforms. Its work arrays come from the heap for this call (a
// refused allocation ends the process) and the table is built afresh.
void lattice_fft(LatticeField& field, int sign);

// Every slice of the grid by lattice_fft with sign −flag: flag −1 carries
// momentum to real space (× 1/64), flag +1 real space to momentum. Another
// flag writes "flag error" once per slice, transforms in the direction −flag
// selects and does not divide.
void transform_space_fermion(FermionGrid& grid, int flag);
void transform_space_boson(BosonGrid& grid, int flag);
void transform_space_time(TimeGrid& grid, int flag);

}  // namespace lattice_bubble
