#include "default_run/time_transforms.h"

#include <algorithm>
#include <iostream>

#include "default_run/work_arrays.h"
#include "fft/complex_fft.h"
#include "fft/work_sizes.h"
#include "model/lattice_model.h"
#include "transforms/time_transforms.h"

namespace lattice_bubble {

namespace {

// Scratch of one wrapper call, with room for transforms of up to 4096 points
// (8192 doubles); only its head is used.
inline constexpr int scratch_doubles = 8193;
inline constexpr int scratch_index_work = 66;
inline constexpr int scratch_twiddle = 10240;
inline constexpr double one_over_fft_points = 1.0 / fft_points;  // 1/64 = 0.015625, exact
inline constexpr FftWorkSizes largest_scratch = fft_work_sizes_1d(8192);
static_assert(2 * fft_points <= scratch_doubles && largest_scratch.index_work_ints <= scratch_index_work &&
                  largest_scratch.twiddle_doubles <= scratch_twiddle,
              "the wrappers' scratch holds transforms of up to 4096 points");

// Interleaves `points` values, transforms them with a fresh table, and, when
// `divide` is set, scales by 1/64, then writes the values back. The scratch
// (about 144 KiB) comes from the heap, zero-filled, and lives for this call:
// on the stack it would not fit a small stack limit.
template <std::size_t Points>
void wrapped_fft(std::array<Complex, Points>& data, int sign, bool divide) {
    double* work = allocate_double_vector(scratch_doubles);
    int* index_work = allocate_int_vector(scratch_index_work);
    double* twiddle = allocate_double_vector(scratch_twiddle);
    std::fill_n(work, scratch_doubles, 0.0);
    std::fill_n(index_work, scratch_index_work, 0);
    std::fill_n(twiddle, scratch_twiddle, 0.0);
    for (std::size_t i = 0; i < Points; ++i) {
        work[2 * i] = data[i].re;
        work[2 * i + 1] = data[i].im;
    }
    index_work[0] = 0;  // no table yet: built afresh in this call
    complex_fft(static_cast<int>(2 * Points), sign, work, index_work, twiddle);
    if (divide) {
        for (std::size_t i = 0; i < 2 * Points; ++i) {
            work[i] = work[i] * one_over_fft_points;
        }
    }
    for (std::size_t i = 0; i < Points; ++i) {
        data[i] = Complex{work[2 * i], work[2 * i + 1]};
    }
    free_double_vector(twiddle);
    free_int_vector(index_work);
    free_double_vector(work);
}

// The window of the default run: a zeroed 64-slot buffer through time_fft,
// whose division by 64 is in the values it leaves.
struct DefinedWindow {
    FftBuffer buffer{};
    void put(int slot, Complex value) { buffer[static_cast<std::size_t>(slot)] = value; }
    [[nodiscard]] Complex get(int slot) const { return buffer[static_cast<std::size_t>(slot)]; }
    void transform(int sign, bool divide) { time_fft(buffer, sign, divide ? 1 : 0); }
};

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

// Two comparisons rather than sign·sign ≠ 1, which overflows for large |sign|.
void check_fft_sign(int sign) {
    if (sign != 1 && sign != -1) {
        std::cout << flag_error_message << std::endl;
    }
}

void time_fft(FftBuffer& data, int sign, int scale) {
    check_fft_sign(sign);
    wrapped_fft(data, sign, scale == 1);
}

void short_fft(ShortFftBuffer& data, int sign) {
    check_fft_sign(sign);
    wrapped_fft(data, sign, false);
}

void fermion_freq_to_time(const FermionSeries& freq, TimeSeries& time) {
    DefinedWindow window;
    green_t_from_green_w(freq, time, beta, window);
}

void fermion_time_to_freq(const TimeSeries& time, FermionSeries& freq) {
    DefinedWindow window;
    green_w_from_green_t(time, freq, beta, window);
}

void boson_time_to_freq(const TimeSeries& time, BosonSeries& freq) {
    DefinedWindow window;
    chi_w_from_chi_t(time, freq, beta, window);
}

void boson_freq_to_time(const BosonSeries& freq, TimeSeries& time) {
    DefinedWindow window;
    chi_t_from_chi_w(freq, time, beta, window);
}

void transform_time_fermion(TimeGrid& time_grid, FermionGrid& freq_grid, int flag) {
    transform_time(time_grid, freq_grid, flag, fermion_time_to_freq, fermion_freq_to_time);
}

void transform_time_boson(TimeGrid& time_grid, BosonGrid& freq_grid, int flag) {
    transform_time(time_grid, freq_grid, flag, boson_time_to_freq, boson_freq_to_time);
}

}  // namespace lattice_bubble
