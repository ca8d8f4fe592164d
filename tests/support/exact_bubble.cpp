#include "support/exact_bubble.h"

#include <cmath>
#include <numbers>

#include "support/naive_dft.h"

namespace lattice_bubble::testing {
namespace {

// The model's own band energies, in long double.
std::vector<long double> band_long(const StudyModel& model) {
    const std::vector<double> energy = band_on_grid(model);
    return {energy.begin(), energy.end()};
}

long double fermi_long(long double beta, long double e) { return 1.0L / (std::exp(beta * e) + 1.0L); }

}  // namespace

std::vector<LongComplex> exact_bubble(const StudyModel& model, int qx, int qy) {
    const int l = model.lattice;
    const long double beta = model.beta;
    const std::vector<long double> e = band_long(model);
    std::vector<LongComplex> chi(static_cast<std::size_t>(model.bosons()));
    for (int m = 0; m < model.bosons(); ++m) {
        const long double nu = 2.0L * std::numbers::pi_v<long double> * m / beta;
        LongComplex sum = 0.0L;
        for (int x = 0; x < l; ++x) {
            for (int y = 0; y < l; ++y) {
                const long double e_k = e[static_cast<std::size_t>(x * l + y)];
                const long double e_kq = e[static_cast<std::size_t>(((x + qx) % l) * l + (y + qy) % l)];
                const long double d = e_kq - e_k;
                if (m == 0 && beta * std::fabs(d) < 1e-9L) {
                    const long double f = fermi_long(beta, (e_k + e_kq) / 2.0L);
                    sum += beta * f * (1.0L - f);
                } else {
                    sum += (fermi_long(beta, e_kq) - fermi_long(beta, e_k)) / LongComplex(-d, nu);
                }
            }
        }
        chi[static_cast<std::size_t>(m)] = sum / static_cast<long double>(l * l);
    }
    return chi;
}

std::vector<LongComplex> naive_fourier_route(const StudyModel& model) {
    const int l = model.lattice;
    const int n_count = model.frequencies;
    const int t_count = model.times();
    const long double beta = model.beta;
    const long double pi = std::numbers::pi_v<long double>;
    const std::vector<long double> e = band_long(model);
    const auto sites = static_cast<std::size_t>(l * l);

    // G(r, iω_n): per frequency, the k → r sum with e^{+ik·r}, divided by L².
    std::vector<std::vector<LongComplex>> green_r(static_cast<std::size_t>(n_count));
    for (int n = 0; n < n_count; ++n) {
        const long double omega = (2 * n + 1) * pi / beta;
        std::vector<LongComplex> slice(sites);
        for (std::size_t k = 0; k < sites; ++k) {
            slice[k] = 1.0L / LongComplex(-e[k], omega);
        }
        green_r[static_cast<std::size_t>(n)] = naive_dft_2d(slice, l, l, +1);
        for (auto& value : green_r[static_cast<std::size_t>(n)]) {
            value /= static_cast<long double>(l * l);
        }
    }
    // Per site: G(τ_l) over ±ω_n, χ(τ) = G(τ)·G(β − τ) with G(β) = −G(0), 0.125 at r = 0, τ = 0, then
    // χ(iν_m).
    std::vector<std::vector<LongComplex>> chi_r(static_cast<std::size_t>(model.bosons()),
                                                std::vector<LongComplex>(sites));
    for (std::size_t r = 0; r < sites; ++r) {
        std::vector<LongComplex> g(static_cast<std::size_t>(t_count));
        for (int t = 0; t < t_count; ++t) {
            const long double tau = t * beta / t_count;
            for (int n = 0; n < n_count; ++n) {
                const LongComplex value = green_r[static_cast<std::size_t>(n)][r];
                const LongComplex phase = std::polar(1.0L, -(2 * n + 1) * pi / beta * tau);
                g[static_cast<std::size_t>(t)] +=
                    (phase * value + std::conj(phase) * std::conj(value)) / beta;
            }
        }
        for (int m = 0; m < model.bosons(); ++m) {
            LongComplex sum = 0.0L;
            for (int t = 0; t < t_count; ++t) {
                const LongComplex partner = t == 0 ? -g[0] : g[static_cast<std::size_t>(t_count - t)];
                LongComplex chi_tau = g[static_cast<std::size_t>(t)] * partner;
                if (r == 0 && t == 0) {
                    chi_tau += static_cast<long double>(equal_time_correction);
                }
                sum += std::polar(1.0L, 2 * m * pi * t / t_count) * chi_tau;
            }
            chi_r[static_cast<std::size_t>(m)][r] = sum * beta / static_cast<long double>(t_count);
        }
    }
    std::vector<LongComplex> chi(sites * static_cast<std::size_t>(model.bosons()));
    for (int m = 0; m < model.bosons(); ++m) {
        const std::vector<LongComplex> slice = naive_dft_2d(chi_r[static_cast<std::size_t>(m)], l, l, -1);
        for (std::size_t q = 0; q < sites; ++q) {
            chi[q * static_cast<std::size_t>(model.bosons()) + static_cast<std::size_t>(m)] = slice[q];
        }
    }
    return chi;
}

}  // namespace lattice_bubble::testing
