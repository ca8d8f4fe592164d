#include "transforms/time_transforms.h"

#include <algorithm>
#include <iostream>

#include "alloc/work_arrays.h"
#include "fft/complex_fft.h"
#include "fft/work_sizes.h"
#include "model/lattice_model.h"

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
    FftBuffer b{};
    for (int n = 0; n < fermion_count; ++n) {
        b[2 * n + 1] = freq[n];
    }
    for (int i = fermion_count; i < time_count; ++i) {
        b[2 * i + 1] = conj(freq[time_count - 1 - i]);  // slot 63 − 2n holds −ω_n
    }
    time_fft(b, -1, 0);
    for (int l = 0; l < time_count; ++l) {
        time[l] = b[l] / beta;  // slots 32 … 63 hold −b[0 … 31] and are not needed
    }
}

void fermion_time_to_freq(const TimeSeries& time, FermionSeries& freq) {
    FftBuffer b{};
    for (int l = 0; l < time_count; ++l) {
        b[l] = time[l];
        b[l + time_count] = -time[l];
    }
    time_fft(b, 1, 1);
    for (int n = 0; n < fermion_count; ++n) {
        freq[n] = b[2 * n + 1] * beta;
    }
}

void boson_time_to_freq(const TimeSeries& time, BosonSeries& freq) {
    FftBuffer b{};
    for (int l = 0; l < time_count; ++l) {
        b[l] = time[l];
        b[l + time_count] = time[l];
    }
    time_fft(b, 1, 1);
    for (int m = 0; m < boson_count; ++m) {
        freq[m] = b[2 * m] * beta;
    }
}

void boson_freq_to_time(const BosonSeries& freq, TimeSeries& time) {
    FftBuffer b{};  // the odd (fermionic) slots stay zero
    for (int m = 0; m < boson_count - 1; ++m) {
        b[2 * m] = freq[m];
    }
    for (int i = boson_count - 1; i < time_count; ++i) {
        b[2 * i] = conj(freq[time_count - i]);  // slot 32 gets conj(ν_16), slot 64 − 2m gets −ν_m
    }
    // ν_0 and ν_16 are their own partners: only their real parts belong to a real χ(τ).
    b[time_count] = Complex{b[time_count].re, 0.0};
    b[0] = Complex{b[0].re, 0.0};
    time_fft(b, -1, 0);
    for (int l = 0; l < time_count; ++l) {
        time[l] = b[l] / beta;
    }
}

}  // namespace lattice_bubble
