#pragma once
// Transforms of one site's values between the Matsubara axis and imaginary
// time, through one 64-point FFT whose time slots cover the doubled window
// 0 ≤ τ < 2β and whose odd (even) frequency slots are the fermionic (bosonic)
// frequencies: slot j is jπ/β for j < 32 and (j − 64)π/β above.
//
// Imaginary time: τ_l = l·β/32, l = 0 … 31 (τ = β is not on the grid).
// Fermionic values: ω_n = (2n + 1)π/β, n = 0 … 15; bosonic: ν_m = 2mπ/β,
// m = 0 … 16. Only non-negative frequencies are stored; the value at −ω is
// taken as the conjugate of the value at ω (real functions of τ).

#include <array>
#include <string_view>

#include "common/grids.h"

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
// +1 or −1 writes "flag error" on standard output and still transforms.
void time_fft(FftBuffer& data, int sign, int scale);

// The same for 16 points, never scaled.
void short_fft(ShortFftBuffer& data, int sign);

// G(τ_l) = (1/β)·Σ_{n=0}^{15} [e^{−iω_n τ_l}·G(iω_n) + e^{+iω_n τ_l}·conj G(iω_n)]:
// the Matsubara sum over ±ω_0 … ±ω_15; nothing is added beyond ω_15.
void fermion_freq_to_time(const FermionSeries& freq, TimeSeries& time);

// G(iω_n) = (β/32)·Σ_{l=0}^{31} e^{+iω_n τ_l}·G(τ_l): the left-point rule over
// [0, β), through the antiperiodic continuation G(τ + β) = −G(τ).
void fermion_time_to_freq(const TimeSeries& time, FermionSeries& freq);

// χ(iν_m) = (β/32)·Σ_{l=0}^{31} e^{+iν_m τ_l}·χ(τ_l), m = 0 … 16, through the
// periodic continuation; e^{iν_16 τ_l} = (−1)^l.
void boson_time_to_freq(const TimeSeries& time, BosonSeries& freq);

// χ(τ_l) = (1/β)·[Re χ(iν_0) + Σ_{m=1}^{15} (e^{−iν_m τ_l}·χ(iν_m) + e^{+iν_m τ_l}·conj χ(iν_m))
//                 + (−1)^l·Re χ(iν_16)]: the imaginary parts at ν_0 and ν_16 are dropped.
void boson_freq_to_time(const BosonSeries& freq, TimeSeries& time);

}  // namespace lattice_bubble
