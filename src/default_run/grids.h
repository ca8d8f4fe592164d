#pragma once
// The default run's grid shapes, fixed at the model's default sizes. Each
// grid is one contiguous block of Complex values indexed [x][y][third] with
// the third index varying fastest; the shape is part of the type, so a
// fermionic grid cannot be handed to a routine that expects a bosonic one.

#include <array>
#include <cstddef>
#include <span>
#include <type_traits>

#include "common/complex.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

// The two sizes of the model; everything else follows from them.
inline constexpr int lattice_size = default_lattice_size;   // sites per lattice direction
inline constexpr int time_count = 2 * default_frequencies;  // imaginary times τ_l = l·β/32, l = 0 … 31

inline constexpr int lattice_points = lattice_size * lattice_size;
// The one-site FFT covers the doubled window 0 ≤ τ < 2β: its odd slots below
// time_count are the positive fermionic frequencies ω_0 … ω_15, its even slots
// up to time_count the bosonic ones ν_0 … ν_16.
inline constexpr int fft_points = 2 * time_count;
inline constexpr int fermion_count = time_count / 2;
inline constexpr int boson_count = time_count / 2 + 1;
inline constexpr double site_count = static_cast<double>(lattice_points);  // divisor of the direct sum

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
static_assert(sizeof(FermionGrid) == lattice_points * fermion_count * sizeof(Complex));
static_assert(sizeof(BosonGrid) == lattice_points * boson_count * sizeof(Complex));
static_assert(sizeof(TimeGrid) == lattice_points * time_count * sizeof(Complex));
// A grid of the default run seen as a study's grid (common/series_grid.h):
// lattice_size × lattice_size points, each with the series of its third
// index, so that the general transforms run on the fixed grids as they are.
template <std::size_t Third, bool Const>
class FixedGridView {
public:
    using GridType = std::conditional_t<Const, const Grid<Third>, Grid<Third>>;
    explicit FixedGridView(GridType& grid) : grid_(&grid) {}
    [[nodiscard]] int lattice_x() const { return lattice_size; }
    [[nodiscard]] int lattice_y() const { return lattice_size; }
    [[nodiscard]] int slots() const { return static_cast<int>(Third); }
    [[nodiscard]] auto series(int x, int y) const { return std::span((*grid_)[x][y]); }

private:
    GridType* grid_;
};

template <std::size_t Third>
[[nodiscard]] FixedGridView<Third, false> view_of(Grid<Third>& grid) {
    return FixedGridView<Third, false>(grid);
}
template <std::size_t Third>
[[nodiscard]] FixedGridView<Third, true> view_of(const Grid<Third>& grid) {
    return FixedGridView<Third, true>(grid);
}

// The comments, the golden bits and the report's heading are of these sizes.
static_assert(lattice_size == 8 && time_count == 32);
// The FFT engine takes powers of two only.
static_assert((lattice_size & (lattice_size - 1)) == 0 && (time_count & (time_count - 1)) == 0);

}  // namespace lattice_bubble
