#pragma once
// Grid shapes shared by every subsystem. Each grid is one contiguous block of
// Complex values indexed [x][y][third] with the third index varying fastest;
// the shape is part of the type, so a fermionic grid cannot be handed to a
// routine that expects a bosonic one.

#include <array>
#include <cstddef>

#include "common/complex.h"

namespace lattice_bubble {

inline constexpr int lattice_size = 8;    // sites per lattice direction
inline constexpr int fermion_count = 16;  // positive fermionic frequencies ω_0 … ω_15
inline constexpr int boson_count = 17;    // bosonic frequencies ν_0 … ν_16
inline constexpr int time_count = 32;     // imaginary times τ_l = l·β/32, l = 0 … 31
inline constexpr int fft_points = 64;     // points of the one-site time/frequency FFT
inline constexpr int lattice_points = lattice_size * lattice_size;

template <std::size_t Third>
using Grid = std::array<std::array<std::array<Complex, Third>, lattice_size>, lattice_size>;

using FermionGrid = Grid<fermion_count>;                   // element (x, y, n) at x·128 + y·16 + n
using BosonGrid = Grid<boson_count>;                       // element (x, y, m) at x·136 + y·17 + m
using TimeGrid = Grid<time_count>;                         // element (x, y, l) at x·256 + y·32 + l
using LatticeField = std::array<Complex, lattice_points>;  // element (x, y) at x·8 + y

using FermionSeries = std::array<Complex, fermion_count>;
using BosonSeries = std::array<Complex, boson_count>;
using TimeSeries = std::array<Complex, time_count>;

// The transforms address grids by these strides; nested arrays must add no padding.
static_assert(sizeof(Complex) == 2 * sizeof(double));
static_assert(sizeof(FermionGrid) == 1024 * sizeof(Complex));
static_assert(sizeof(BosonGrid) == 1088 * sizeof(Complex));
static_assert(sizeof(TimeGrid) == 2048 * sizeof(Complex));

}  // namespace lattice_bubble
