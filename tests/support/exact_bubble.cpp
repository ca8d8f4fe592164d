#include "support/exact_bubble.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/naive_dft.h"

namespace lattice_bubble::testing {
namespace {

constexpr long double pi = std::numbers::pi_v<long double>;

// The band at every k of the oracle's grid, at x·Ly + y.
std::vector<long double> oracle_grid(const StudyModel& model) {
    std::vector<long double> e;
    for (int x = 0; x < model.lattice_x; ++x) {
        for (int y = 0; y < model.lattice_y; ++y) {
            e.push_back(oracle_band(model, x, y));
        }
    }
    return e;
}

// f(e) = 1/(e^{βe} + 1), with no exponent above zero.
long double fermi_long(long double beta, long double e) {
    if (e > 0.0L) {
        const long double boltzmann = std::exp(-beta * e);
        return boltzmann / (1.0L + boltzmann);
    }
    return 1.0L / (1.0L + std::exp(beta * e));
}

}  // namespace

long double oracle_band(const StudyModel& model, int ix, int iy) {
    const long double kx = 2.0L * pi * (ix + static_cast<long double>(model.k_shift[0])) / model.lattice_x;
    const long double ky = 2.0L * pi * (iy + static_cast<long double>(model.k_shift[1])) / model.lattice_y;
    const auto& band = model.band;
    return 2.0L * band.hopping_x * std::cos(kx) + 2.0L * band.hopping_y * std::cos(ky) +
           4.0L * band.hopping2 * std::cos(kx) * std::cos(ky) +
           2.0L * band.hopping3 * (std::cos(2.0L * kx) + std::cos(2.0L * ky)) + band.offset - band.mu;
}

namespace {

// (1/(Lx·Ly))·Σ_k [f(e(k+q)) − f(e(k))]/[z − (e(k+q) − e(k))]; at z = 0 the
// pairs with β·|e(k+q) − e(k)| < 1e-9 count with their limit β·f·(1 − f).
// e and f: the band and its occupations on the grid.
LongComplex lindhard_sum(const StudyModel& model, const std::vector<long double>& e,
                         const std::vector<long double>& f, int qx, int qy, LongComplex z) {
    const int lx = model.lattice_x;
    const int ly = model.lattice_y;
    const long double beta = model.beta;
    LongComplex sum = 0.0L;
    for (int x = 0; x < lx; ++x) {
        for (int y = 0; y < ly; ++y) {
            const auto k = static_cast<std::size_t>(x * ly + y);
            const auto kq = static_cast<std::size_t>(((x + qx) % lx) * ly + (y + qy) % ly);
            const long double e_k = e[k];
            const long double e_kq = e[kq];
            const long double d = e_kq - e_k;
            if (z == 0.0L && beta * std::fabs(d) < 1e-9L) {
                const long double mean = fermi_long(beta, (e_k + e_kq) / 2.0L);
                sum += beta * mean * (1.0L - mean);
            } else {
                sum += (f[kq] - f[k]) / (z - d);
            }
        }
    }
    return sum / static_cast<long double>(lx * ly);
}

std::vector<long double> occupations(const StudyModel& model, const std::vector<long double>& e) {
    std::vector<long double> f(e.size());
    std::transform(e.begin(), e.end(), f.begin(),
                   [&](long double energy) { return fermi_long(model.beta, energy); });
    return f;
}

}  // namespace

std::vector<LongComplex> exact_bubble(const StudyModel& model, int qx, int qy) {
    const std::vector<long double> e = oracle_grid(model);
    const std::vector<long double> f = occupations(model, e);
    std::vector<LongComplex> chi;
    for (int j = 0; j < (model.real_axis ? model.real_axis->count : model.bosons()); ++j) {
        if (const auto& axis = model.real_axis) {
            const long double step =
                axis->count > 1
                    ? (static_cast<long double>(axis->omega_max) - axis->omega_min) / (axis->count - 1)
                    : 0.0L;
            chi.push_back(
                lindhard_sum(model, e, f, qx, qy, LongComplex(axis->omega_min + step * j, axis->broadening)));
        } else {
            chi.push_back(lindhard_sum(model, e, f, qx, qy, LongComplex(0.0L, 2.0L * pi * j / model.beta)));
        }
    }
    return chi;
}

std::vector<long double> exact_bubble_in_time(const StudyModel& model, int qx, int qy) {
    const std::vector<long double> e = oracle_grid(model);
    const std::vector<long double> f = occupations(model, e);
    const int last = *model.time_count - 1;
    std::vector<long double> chi(static_cast<std::size_t>(last + 1), 0.0L);
    for (int j = 0; j <= last; ++j) {
        const long double tau = last == 0 ? model.beta : static_cast<long double>(model.beta) * j / last;
        for (int x = 0; x < model.lattice_x; ++x) {
            for (int y = 0; y < model.lattice_y; ++y) {
                const auto k = static_cast<std::size_t>(x * model.lattice_y + y);
                const auto kq = static_cast<std::size_t>(((x + qx) % model.lattice_x) * model.lattice_y +
                                                         (y + qy) % model.lattice_y);
                chi[static_cast<std::size_t>(j)] +=
                    f[k] * (1.0L - f[kq]) * std::exp(-tau * (e[kq] - e[k])) / e.size();
            }
        }
    }
    return chi;
}

long double exact_static(const StudyModel& model, int qx, int qy) {
    const std::vector<long double> e = oracle_grid(model);
    return lindhard_sum(model, e, occupations(model, e), qx, qy, 0.0L).real();
}

LongComplex exact_green_time(const StudyModel& model, int x, int y, long double tau) {
    const int lx = model.lattice_x;
    const int ly = model.lattice_y;
    const long double beta = model.beta;
    LongComplex sum = 0.0L;
    for (int kx = 0; kx < lx; ++kx) {
        for (int ky = 0; ky < ly; ++ky) {
            const long double e = oracle_band(model, kx, ky);
            // −e^{−eτ}/(1 + e^{−βe}), for e < 0 as −e^{e(β − τ)}/(1 + e^{βe}).
            const long double value = e >= 0.0L ? -std::exp(-e * tau) / (1.0L + std::exp(-beta * e))
                                                : -std::exp(e * (beta - tau)) / (1.0L + std::exp(beta * e));
            sum += std::polar(
                value,
                2.0L * pi * (static_cast<long double>(kx) * x / lx + static_cast<long double>(ky) * y / ly));
        }
    }
    return sum / static_cast<long double>(lx * ly);
}

std::vector<LongComplex> naive_fourier_route(const StudyModel& model) {
    const int lx = model.lattice_x;
    const int ly = model.lattice_y;
    const int n_count = model.frequencies;
    const int t_count = model.times();
    const long double beta = model.beta;
    const std::vector<long double> e = oracle_grid(model);
    const auto sites = static_cast<std::size_t>(lx * ly);

    // G(r, iω_n): per frequency, the k → r sum with e^{+ik·r}, divided by L².
    std::vector<std::vector<LongComplex>> green_r(static_cast<std::size_t>(n_count));
    for (int n = 0; n < n_count; ++n) {
        const long double omega = (2 * n + 1) * pi / beta;
        std::vector<LongComplex> slice(sites);
        for (std::size_t k = 0; k < sites; ++k) {
            slice[k] = 1.0L / LongComplex(-e[k], omega);
        }
        green_r[static_cast<std::size_t>(n)] = naive_dft_2d(slice, lx, ly, +1);
        for (auto& value : green_r[static_cast<std::size_t>(n)]) {
            value /= static_cast<long double>(lx * ly);
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
                    chi_tau += 0.125L;
                }
                sum += std::polar(1.0L, 2 * m * pi * t / t_count) * chi_tau;
            }
            chi_r[static_cast<std::size_t>(m)][r] = sum * beta / static_cast<long double>(t_count);
        }
    }
    std::vector<LongComplex> chi(sites * static_cast<std::size_t>(model.bosons()));
    for (int m = 0; m < model.bosons(); ++m) {
        const std::vector<LongComplex> slice = naive_dft_2d(chi_r[static_cast<std::size_t>(m)], lx, ly, -1);
        for (std::size_t q = 0; q < sites; ++q) {
            chi[q * static_cast<std::size_t>(model.bosons()) + static_cast<std::size_t>(m)] = slice[q];
        }
    }
    return chi;
}

StudyModel mesh(int lattice_x, int lattice_y, double beta, Band band, int frequencies, double hopping2,
                double hopping3) {
    StudyModel model(lattice_x, beta, band, frequencies);
    model.lattice_y = lattice_y;
    model.band.hopping2 = hopping2;
    model.band.hopping3 = hopping3;
    return model;
}

std::vector<long double> largest_at_each_m(const std::vector<std::vector<LongComplex>>& series) {
    std::vector<long double> largest(series.empty() ? 0 : series.front().size(), 0.0L);
    for (const auto& values : series) {
        for (std::size_t m = 0; m < values.size(); ++m) {
            largest[m] = std::max(largest[m], std::abs(values[m]));
        }
    }
    return largest;
}

}  // namespace lattice_bubble::testing
