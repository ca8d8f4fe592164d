#include "default_run/lattice_transforms.h"

#include <cmath>
#include <limits>
#include <span>

#include "default_run/time_transforms.h"
#include "default_run/work_arrays.h"
#include "fft/work_sizes.h"
#include "transforms/lattice_transforms.h"

namespace lattice_bubble {
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
