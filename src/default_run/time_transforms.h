#pragma once
// The default run's transforms between the Matsubara axis and imaginary time,
// at its fixed N = 16: 32 times, 17 bosonic frequencies, a window of 64
// points. Each is a call of the transform of transforms/time_transforms.h,
// through a window whose FFT is time_fft.

#include <array>
#include <string_view>

#include "default_run/grids.h"
#include "default_run/lattice_transforms.h"

namespace lattice_bubble {

inline constexpr std::string_view flag_error_message = "flag error";

inline constexpr int short_fft_points = 16;
using FftBuffer = std::array<Complex, fft_points>;
using ShortFftBuffer = std::array<Complex, short_fft_points>;

// The wrappers' check of their sign: anything but +1 or −1 writes the line
// "flag error" on standard output (and flushes it); the caller still transforms.
void check_fft_sign(int sign);

// 64-point DFT in place, X_k = Σ_j x_j·exp(±2πi·jk/64) with + for sign ≥ 0;
// divided by 64 when scale is exactly 1, unscaled otherwise. A sign other than
// +1 or −1 writes "flag error" on standard output and still transforms. Its
// scratch comes from the heap for this call, and the table is built afresh.
void time_fft(FftBuffer& data, int sign, int scale);

// The same for 16 points, never scaled.
void short_fft(ShortFftBuffer& data, int sign);

// The four one-site transforms at N = 16, each window through time_fft.
void fermion_freq_to_time(const FermionSeries& freq, TimeSeries& time);
void fermion_time_to_freq(const TimeSeries& time, FermionSeries& freq);
void boson_time_to_freq(const TimeSeries& time, BosonSeries& freq);
void boson_freq_to_time(const BosonSeries& freq, TimeSeries& time);

// Every site of the grids by the one-site transforms: the time grid is always
// the first argument; flag +1 reads it and writes the frequency grid, −1 the
// other way; any other flag does nothing at all.
void transform_time_fermion(TimeGrid& time_grid, FermionGrid& freq_grid, int flag);
void transform_time_boson(TimeGrid& time_grid, BosonGrid& freq_grid, int flag);

}  // namespace lattice_bubble
