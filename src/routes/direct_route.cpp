#include "routes/direct_route.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace lattice_bubble {
namespace {

// s + v into s, the lost low part into c (Neumaier's compensated sum).
inline void add_compensated(double& s, double& c, double v) {
    const double t = s + v;
    if (std::fabs(s) >= std::fabs(v)) {
        c += (s - t) + v;
    } else {
        c += (v - t) + s;
    }
    s = t;
}

}  // namespace

DirectSum::DirectSum(const StudyModel& model)
    : lattice_(model.lattice),
      beta_(model.beta),
      energy_(static_cast<std::size_t>(model.lattice) * static_cast<std::size_t>(model.lattice)),
      boltzmann_(energy_.size()),
      nu_(static_cast<std::size_t>(model.bosons())),
      sum_(4 * static_cast<std::size_t>(model.bosons())) {
    const double step = momentum_step(lattice_);
    for (int x = 0; x < lattice_; ++x) {
        for (int y = 0; y < lattice_; ++y) {
            const std::size_t k = static_cast<std::size_t>(x) * static_cast<std::size_t>(lattice_) +
                                  static_cast<std::size_t>(y);
            energy_[k] = band_energy(model.band, x * step, y * step);
            boltzmann_[k] = std::exp(-(beta_ * std::fabs(energy_[k])));
        }
    }
    for (int m = 0; m < model.bosons(); ++m) {
        nu_[static_cast<std::size_t>(m)] = boson_frequency(m, beta_).im;
    }
}

double DirectSum::bytes(const StudyModel& model) {
    return 2.0 * model.lattice * model.lattice * sizeof(double) + 5.0 * model.bosons() * sizeof(double);
}

void DirectSum::evaluate(int qx, int qy, std::span<Complex> chi) {
    std::fill(sum_.begin(), sum_.end(), 0.0);
    const std::size_t bosons = nu_.size();
    const int mask = lattice_ - 1;  // L is a power of two: k + q wraps by a mask
    for (int x = 0; x < lattice_; ++x) {
        for (int y = 0; y < lattice_; ++y) {
            const std::size_t k = static_cast<std::size_t>(x) * static_cast<std::size_t>(lattice_) +
                                  static_cast<std::size_t>(y);
            const std::size_t kq =
                static_cast<std::size_t>((x + qx) & mask) * static_cast<std::size_t>(lattice_) +
                static_cast<std::size_t>((y + qy) & mask);
            const double e_k = energy_[k];
            const double e_kq = energy_[kq];
            const double d = e_kq - e_k;
            const double x_d = beta_ * std::fabs(d);
            const double one_minus = -std::expm1(-x_d);  // 1 − e^{−β|d|}, exact for small β|d|
            const bool one_side = (e_k >= 0.0) == (e_kq >= 0.0);
            const double outer = one_side ? std::max(boltzmann_[k], boltzmann_[kq]) : 1.0;
            const double denominator = (1.0 + boltzmann_[k]) * (1.0 + boltzmann_[kq]);
            const double weight = outer / denominator;

            // ν = 0: (f(e(k)) − f(e(k+q)))/d ≥ 0, with its limit β·f·(1 − f) at d = 0.
            const double ratio = x_d > 0.0 ? beta_ * (one_minus / x_d) : beta_;
            add_compensated(sum_[0], sum_[2], weight * ratio);

            // ν ≠ 0: Δf/(iν − d) = −Δf·(d + iν)/(d² + ν²).
            const double delta_f = d > 0.0 ? -(weight * one_minus) : weight * one_minus;
            for (std::size_t m = 1; m < bosons; ++m) {
                const double nu = nu_[m];
                const double scale = -delta_f / (d * d + nu * nu);
                add_compensated(sum_[4 * m], sum_[4 * m + 2], scale * d);
                add_compensated(sum_[4 * m + 1], sum_[4 * m + 3], scale * nu);
            }
        }
    }
    const double sites = static_cast<double>(lattice_) * lattice_;
    for (std::size_t m = 0; m < bosons; ++m) {
        chi[m] =
            Complex{(sum_[4 * m] + sum_[4 * m + 2]) / sites, (sum_[4 * m + 1] + sum_[4 * m + 3]) / sites};
    }
}

}  // namespace lattice_bubble
