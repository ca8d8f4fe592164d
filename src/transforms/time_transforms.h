#pragma once
// Transforms of one site's series between the Matsubara axis and imaginary
// time, on any mesh: N positive fermionic frequencies ω_n = (2n + 1)π/β,
// 2N times τ_l = l·β/(2N) (τ = β is not on the grid) and N + 1 bosonic
// frequencies ν_m = 2πm/β. Only non-negative frequencies are stored; the
// value at −ω is the conjugate of the value at ω (real functions of τ).
//
// Every transform goes through one FFT of 4N points, the window: its time
// slots cover the doubled interval 0 ≤ τ < 2β, and its odd (even) frequency
// slots are the fermionic (bosonic) frequencies, slot j standing for jπ/β
// when j < 2N and for (j − 4N)π/β above. A window is any type with
//   put(slot, value), get(slot), transform(sign, divide)
// where transform is the engine's FFT with the sign of complex_fft.h and,
// with divide, every value read afterwards carries the factor 1/(4N).
// A study's window is TimeWindow; the default run's goes through its time_fft
// (default_run/time_transforms.h).

#include <span>
#include <vector>

#include "common/complex.h"

namespace lattice_bubble {

// G(τ_l) = (1/β)·Σ_{n<N} [e^{−iω_n τ_l}·G(iω_n) + e^{+iω_n τ_l}·conj G(iω_n)],
// l = 0 … 2N − 1: the Matsubara sum over ±ω_0 … ±ω_{N−1}, nothing beyond.
template <typename Window>
void green_t_from_green_w(std::span<const Complex> green_w, std::span<Complex> green_t,
                          double inverse_temperature, Window& window) {
    const int frequencies = static_cast<int>(green_w.size());
    const int times = 2 * frequencies;
    for (int n = 0; n < frequencies; ++n) {
        window.put(2 * n, Complex{});
        window.put(2 * n + 1, green_w[static_cast<std::size_t>(n)]);
    }
    for (int i = frequencies; i < times; ++i) {
        window.put(2 * i, Complex{});
        window.put(2 * i + 1,
                   conj(green_w[static_cast<std::size_t>(times - 1 - i)]));  // slot 4N − 1 − 2n: −ω_n
    }
    window.transform(-1, false);
    for (int l = 0; l < times; ++l) {
        green_t[static_cast<std::size_t>(l)] =
            window.get(l) / inverse_temperature;  // slots 2N … 4N − 1 hold −G(τ_l)
    }
}

// G(iω_n) = (β/(2N))·Σ_{l<2N} e^{+iω_n τ_l}·G(τ_l): the left-point rule over
// [0, β), through the antiperiodic continuation G(τ + β) = −G(τ).
template <typename Window>
void green_w_from_green_t(std::span<const Complex> green_t, std::span<Complex> green_w,
                          double inverse_temperature, Window& window) {
    const int times = static_cast<int>(green_t.size());
    for (int l = 0; l < times; ++l) {
        window.put(l, green_t[static_cast<std::size_t>(l)]);
        window.put(l + times, -green_t[static_cast<std::size_t>(l)]);
    }
    window.transform(+1, true);
    for (int n = 0; n < times / 2; ++n) {
        green_w[static_cast<std::size_t>(n)] = window.get(2 * n + 1) * inverse_temperature;
    }
}

// χ(iν_m) = (β/(2N))·Σ_{l<2N} e^{+iν_m τ_l}·χ(τ_l), m = 0 … N, through the
// periodic continuation; e^{iν_N τ_l} = (−1)^l.
template <typename Window>
void chi_w_from_chi_t(std::span<const Complex> chi_t, std::span<Complex> chi_w, double inverse_temperature,
                      Window& window) {
    const int times = static_cast<int>(chi_t.size());
    for (int l = 0; l < times; ++l) {
        window.put(l, chi_t[static_cast<std::size_t>(l)]);
        window.put(l + times, chi_t[static_cast<std::size_t>(l)]);
    }
    window.transform(+1, true);
    for (int m = 0; m <= times / 2; ++m) {
        chi_w[static_cast<std::size_t>(m)] = window.get(2 * m) * inverse_temperature;
    }
}

// χ(τ_l) = (1/β)·[Re χ(iν_0) + Σ_{0<m<N} (e^{−iν_m τ_l}·χ(iν_m) + e^{+iν_m τ_l}·conj χ(iν_m))
//                 + (−1)^l·Re χ(iν_N)]: the imaginary parts at ν_0 and ν_N are dropped.
template <typename Window>
void chi_t_from_chi_w(std::span<const Complex> chi_w, std::span<Complex> chi_t, double inverse_temperature,
                      Window& window) {
    const int times = static_cast<int>(chi_t.size());
    // ν_0 and ν_N (slots 0 and 2N) are their own partners: only their real
    // parts belong to a real χ(τ).
    window.put(0, Complex{chi_w[0].re, 0.0});
    window.put(1, Complex{});
    for (int m = 1; m < times / 2; ++m) {
        window.put(2 * m, chi_w[static_cast<std::size_t>(m)]);
        window.put(2 * m + 1, Complex{});
    }
    window.put(times, Complex{chi_w[static_cast<std::size_t>(times / 2)].re, 0.0});
    window.put(times + 1, Complex{});
    for (int i = times / 2 + 1; i < times; ++i) {
        window.put(2 * i, conj(chi_w[static_cast<std::size_t>(times - i)]));  // slot 4N − 2m: −ν_m
        window.put(2 * i + 1, Complex{});
    }
    window.transform(-1, false);
    for (int l = 0; l < times; ++l) {
        chi_t[static_cast<std::size_t>(l)] = window.get(l) / inverse_temperature;
    }
}

// A study's window of 4N points, reused from site to site: an interleaved
// buffer and the engine's work arrays of its own.
class TimeWindow {
public:
    explicit TimeWindow(int frequencies);

    void put(int slot, Complex value) {
        buffer_[2 * static_cast<std::size_t>(slot)] = value.re;
        buffer_[2 * static_cast<std::size_t>(slot) + 1] = value.im;
    }
    [[nodiscard]] Complex get(int slot) const {
        const double re = buffer_[2 * static_cast<std::size_t>(slot)];
        const double im = buffer_[2 * static_cast<std::size_t>(slot) + 1];
        return divided_ ? Complex{re * one_over_points_, im * one_over_points_} : Complex{re, im};
    }
    void transform(int sign, bool divide);

    // Bytes of a window of N frequencies.
    [[nodiscard]] static double bytes(int frequencies);

private:
    std::vector<double> buffer_;
    double one_over_points_;
    bool divided_ = false;
    std::vector<int> index_work_;  // the engine's plan for 4N points
    std::vector<double> work_;
};

}  // namespace lattice_bubble
