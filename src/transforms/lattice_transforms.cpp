#include "transforms/lattice_transforms.h"

#include <cmath>
#include <limits>

#include "default_run/work_arrays.h"
#include "fft/complex_fft_2d.h"
#include "fft/general_fft.h"
#include "fft/work_sizes.h"
#include "transforms/time_transforms.h"

namespace lattice_bubble {
namespace lattice_detail {

constexpr double least_budget_bytes = 32.0 * 1024 * 1024;
constexpr int largest_block = 8;

double slice_bytes(int sites) { return static_cast<double>(sites) * 2.0 * sizeof(double); }

// The slices of every thread together: an eighth of the grid, or 32 MiB
// where that is more.
double budget(double grid_bytes) { return std::max(least_budget_bytes, grid_bytes / 8.0); }

int lattice_threads(int sites, int threads, double grid_bytes) {
    return std::clamp(static_cast<int>(budget(grid_bytes) / slice_bytes(sites)), 1, threads);
}

int block_slots(int sites, int threads, double grid_bytes) {
    const double per_thread = budget(grid_bytes) / lattice_threads(sites, threads, grid_bytes);
    return std::clamp(static_cast<int>(per_thread / slice_bytes(sites)), 1, largest_block);
}

}  // namespace lattice_detail

LatticeSlices::LatticeSlices(int lattice_x, int lattice_y, int block_slots)
    : lattice_x_(lattice_x),
      lattice_y_(lattice_y),
      inverse_site_count_(1.0 / (static_cast<double>(lattice_x) * lattice_y)),
      own_values_(static_cast<std::size_t>(block_slots) * static_cast<std::size_t>(lattice_x) *
                  static_cast<std::size_t>(2 * lattice_y)),
      own_rows_(static_cast<std::size_t>(block_slots) * static_cast<std::size_t>(lattice_x)),
      own_work_(general_fft_work_sizes_2d(lattice_x, lattice_y)),
      rows_(own_rows_.data()),
      index_work_(own_work_.index_work.data()),
      twiddle_(own_work_.twiddle.data()) {
    for (std::size_t r = 0; r < own_rows_.size(); ++r) {
        own_rows_[r] = own_values_.data() + r * static_cast<std::size_t>(2 * lattice_y);
    }
}

LatticeSlices::LatticeSlices(int lattice_x, int lattice_y, double** rows, int* index_work, double* twiddle)
    : lattice_x_(lattice_x),
      lattice_y_(lattice_y),
      inverse_site_count_(1.0 / (static_cast<double>(lattice_x) * lattice_y)),
      own_work_(GeneralFftWorkSizes{}),
      rows_(rows),
      index_work_(index_work),
      twiddle_(twiddle) {}

void LatticeSlices::transform(int count, int sign) {
    for (int b = 0; b < count; ++b) {
        general_fft_2d(lattice_x_, lattice_y_, sign, rows_ + static_cast<std::size_t>(b * lattice_x_), index_work_,
                       twiddle_);
    }
}

void to_real_space(SeriesGrid& grid, int slot_count, const Workers& workers) {
    lattice_detail::every_block(
        grid, slot_count, +1, true, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.gather(grid, first, count); });
}

void to_momentum(SeriesGrid& grid, int slot_count, const Workers& workers) {
    lattice_detail::every_block(
        grid, slot_count, -1, false, workers,
        [&](LatticeSlices& slices, int first, int count) { slices.gather(grid, first, count); });
}

double lattice_slices_bytes(int lattice_x, int lattice_y, int threads, double grid_bytes) {
    using namespace lattice_detail;
    const int sites = lattice_x * lattice_y;
    const GeneralFftWorkSizes work = general_fft_work_sizes_2d(lattice_x, lattice_y);
    return lattice_threads(sites, threads, grid_bytes) *
           (block_slots(sites, threads, grid_bytes) * slice_bytes(sites) +
            static_cast<double>(work.doubles) * sizeof(double) + static_cast<double>(work.ints) * sizeof(int));
}

// ------------------------------------------------- the default run's fixed sizes

namespace {

inline constexpr int lattice_row_doubles = 2 * lattice_size;  // one row of the field, interleaved
// The engine needs a quarter of a row; a row and a quarter (20 doubles for
// 8 × 8) leaves room.
inline constexpr int lattice_twiddle_doubles = lattice_row_doubles + lattice_row_doubles / 4;
// 2 + ⌊√(64 + 0.5)⌋ index ints below hold 2 + lattice_size.
static_assert(fft_work_sizes_2d(lattice_size, lattice_row_doubles).twiddle_doubles <=
                      lattice_twiddle_doubles &&
                  fft_work_sizes_2d(lattice_size, lattice_row_doubles).index_work_ints <= 2 + lattice_size,
              "the lattice transform's work arrays are as long as the engine asks");

// The 8 × 8 field as a grid of one slot.
struct FieldView {
    LatticeField* field;
    [[nodiscard]] std::span<Complex> series(int x, int y) const {
        return std::span<Complex>(*field).subspan(static_cast<std::size_t>(x * lattice_size + y), 1);
    }
};

// lattice_fft of one slot of a fixed grid: the sign checked, the work arrays
// obtained for this call alone and a fresh table, then the slot transform.
template <typename Grid>
void lattice_fft_of_slot(Grid grid, int slot, int sign, bool divide) {
    check_fft_sign(sign);
    double** rows = allocate_double_matrix(lattice_size, lattice_row_doubles);
    // Room for the row reversal's index list: 2 + ⌊√(64 + 0.5)⌋ = 10 ints for 8 × 8.
    int* index_work = allocate_int_vector(static_cast<int>(std::sqrt(lattice_points + 0.5)) + 2);
    double* twiddle = allocate_double_vector(lattice_twiddle_doubles);
    index_work[0] = 0;
    LatticeSlices slices(lattice_size, lattice_size, rows, index_work, twiddle);
    slices.gather(grid, slot, 1);
    slices.transform_and_scatter(grid, slot, 1, sign, divide);
    free_double_vector(twiddle);
    free_int_vector(index_work);
    free_double_matrix(rows);
}

// The flag of a space transform, negated for the lattice FFT. −INT_MIN does not
// exist; INT_MAX has the same (positive) sign, which is all the FFT looks at.
int negated(int flag) {
    return flag == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max() : -flag;
}

template <std::size_t Third>
void transform_space(Grid<Third>& grid, int flag) {
    for (std::size_t slice = 0; slice < Third; ++slice) {
        lattice_fft_of_slot(view_of(grid), static_cast<int>(slice), negated(flag),
                            flag == towards_real_space_and_time);
    }
}

}  // namespace

void lattice_fft(LatticeField& field, int sign) { lattice_fft_of_slot(FieldView{&field}, 0, sign, false); }

void transform_space_fermion(FermionGrid& grid, int flag) { transform_space(grid, flag); }
void transform_space_boson(BosonGrid& grid, int flag) { transform_space(grid, flag); }
void transform_space_time(TimeGrid& grid, int flag) { transform_space(grid, flag); }

}  // namespace lattice_bubble
