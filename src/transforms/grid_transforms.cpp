#include "transforms/grid_transforms.h"

#include <climits>
#include <cmath>

#include "alloc/work_arrays.h"
#include "fft/complex_fft_2d.h"
#include "fft/work_sizes.h"
#include "transforms/time_transforms.h"

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
inline constexpr double inverse_site_count = 1.0 / lattice_points;  // 1/64, exact

// The flag of a space transform, negated for the lattice FFT. −INT_MIN does not
// exist; INT_MAX has the same (positive) sign, which is all the FFT looks at.
int negated(int flag) { return flag == INT_MIN ? INT_MAX : -flag; }

template <std::size_t Third>
void transform_space(Grid<Third>& grid, int flag) {
    LatticeField field{};
    for (std::size_t slice = 0; slice < Third; ++slice) {
        for (int x = 0; x < lattice_size; ++x) {
            for (int y = 0; y < lattice_size; ++y) {
                field[x * lattice_size + y] = grid[x][y][slice];
            }
        }
        lattice_fft(field, negated(flag));
        for (int x = 0; x < lattice_size; ++x) {
            for (int y = 0; y < lattice_size; ++y) {
                Complex& element = grid[x][y][slice];
                element = field[x * lattice_size + y];
                if (flag == towards_real_space_and_time) {
                    element *= inverse_site_count;
                }
            }
        }
    }
}

// Carries every site between the time grid and a frequency grid with the
// one-site transforms to_freq (flag +1) and to_time (flag −1).
template <std::size_t Frequencies, typename ToFreq, typename ToTime>
void transform_time(TimeGrid& time_grid, Grid<Frequencies>& freq_grid, int flag, ToFreq to_freq,
                    ToTime to_time) {
    if (flag != towards_momentum_and_frequency && flag != towards_real_space_and_time) {
        return;
    }
    TimeSeries time{};
    std::array<Complex, Frequencies> freq{};
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            if (flag == towards_momentum_and_frequency) {
                time = time_grid[x][y];
                to_freq(time, freq);
                freq_grid[x][y] = freq;
            } else {
                freq = freq_grid[x][y];
                to_time(freq, time);
                time_grid[x][y] = time;
            }
        }
    }
}

}  // namespace

void lattice_fft(LatticeField& field, int sign) {
    check_fft_sign(sign);
    double** rows = allocate_double_matrix(lattice_size, lattice_row_doubles);
    // Room for the row reversal's index list: 2 + ⌊√(64 + 0.5)⌋ = 10 ints for 8 × 8.
    int* index_work = allocate_int_vector(static_cast<int>(std::sqrt(lattice_points + 0.5)) + 2);
    double* twiddle = allocate_double_vector(lattice_twiddle_doubles);
    index_work[0] = 0;
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            rows[x][2 * y] = field[x * lattice_size + y].re;
            rows[x][2 * y + 1] = field[x * lattice_size + y].im;
        }
    }
    complex_fft_2d(lattice_size, lattice_row_doubles, sign, rows, index_work, twiddle);
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            field[x * lattice_size + y] = Complex{rows[x][2 * y], rows[x][2 * y + 1]};
        }
    }
    free_double_vector(twiddle);
    free_int_vector(index_work);
    free_double_matrix(rows);
}

void transform_space_fermion(FermionGrid& grid, int flag) { transform_space(grid, flag); }
void transform_space_boson(BosonGrid& grid, int flag) { transform_space(grid, flag); }
void transform_space_time(TimeGrid& grid, int flag) { transform_space(grid, flag); }

void transform_time_fermion(TimeGrid& time_grid, FermionGrid& freq_grid, int flag) {
    transform_time(time_grid, freq_grid, flag, fermion_time_to_freq, fermion_freq_to_time);
}

void transform_time_boson(TimeGrid& time_grid, BosonGrid& freq_grid, int flag) {
    transform_time(time_grid, freq_grid, flag, boson_time_to_freq, boson_freq_to_time);
}

}  // namespace lattice_bubble
