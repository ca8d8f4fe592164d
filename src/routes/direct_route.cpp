#include "routes/direct_route.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "common/parallel.h"

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
    : lattice_x_(model.lattice_x),
      lattice_y_(model.lattice_y),
      beta_(model.beta),
      energy_(band_on_grid(model)),
      boltzmann_(energy_.size()),
      nu_(static_cast<std::size_t>(model.bosons())) {
    for (std::size_t k = 0; k < energy_.size(); ++k) {
        boltzmann_[k] = std::exp(-(beta_ * std::fabs(energy_[k])));
    }
    for (int m = 0; m < model.bosons(); ++m) {
        nu_[static_cast<std::size_t>(m)] = boson_frequency(m, beta_).im;
    }
}

double DirectSum::bytes(const StudyModel& model, int threads) {
    return 2.0 * model.sites() * sizeof(double) + (1.0 + 4.0 * threads) * model.bosons() * sizeof(double);
}

void DirectSum::sum_over_k(int qx, int qy, int m_begin, int m_end, std::span<Complex> chi,
                           std::vector<double>& sums, const Workers& workers) const {
    // sums[4j … 4j + 3]: re, im and their compensations of m = m_begin + j.
    const auto count = static_cast<std::size_t>(m_end - m_begin);
    sums.assign(4 * count, 0.0);
    const bool has_static = m_begin == 0;
    const std::size_t first_dynamic = has_static ? 1 : 0;
    for (int x = 0; x < lattice_x_; ++x) {
        workers.poll();
        const int xq = (x + qx) % lattice_x_;  // k + q wraps into the zone
        for (int y = 0, yq = qy; y < lattice_y_; ++y, yq = yq + 1 == lattice_y_ ? 0 : yq + 1) {
            const std::size_t k = static_cast<std::size_t>(x) * static_cast<std::size_t>(lattice_y_) +
                                  static_cast<std::size_t>(y);
            const std::size_t kq = static_cast<std::size_t>(xq) * static_cast<std::size_t>(lattice_y_) +
                                   static_cast<std::size_t>(yq);
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
            if (has_static) {
                const double ratio = x_d > 0.0 ? beta_ * (one_minus / x_d) : beta_;
                add_compensated(sums[0], sums[2], weight * ratio);
            }

            // ν ≠ 0: Δf/(iν − d) = −Δf·(d + iν)/(d² + ν²).
            const double delta_f = d > 0.0 ? -(weight * one_minus) : weight * one_minus;
            for (std::size_t j = first_dynamic; j < count; ++j) {
                const double nu = nu_[static_cast<std::size_t>(m_begin) + j];
                const double scale = -delta_f / (d * d + nu * nu);
                add_compensated(sums[4 * j], sums[4 * j + 2], scale * d);
                add_compensated(sums[4 * j + 1], sums[4 * j + 3], scale * nu);
            }
        }
    }
    const double sites = static_cast<double>(lattice_x_) * lattice_y_;
    for (std::size_t j = 0; j < count; ++j) {
        chi[j] =
            Complex{(sums[4 * j] + sums[4 * j + 2]) / sites, (sums[4 * j + 1] + sums[4 * j + 3]) / sites};
    }
}

void DirectSum::evaluate(int qx, int qy, std::span<Complex> chi) const {
    std::vector<double> sums;
    sum_over_k(qx, qy, 0, static_cast<int>(nu_.size()), chi, sums, Workers{});
}

void DirectSum::evaluate(std::span<const std::pair<int, int>> wave_vectors, std::span<Complex> chi,
                         const Workers& workers) const {
    // With fewer wave vectors than threads, each one's frequencies are split
    // into ranges as well, so that a single q keeps every thread busy.
    const auto q_count = static_cast<long long>(wave_vectors.size());
    const long long bosons = static_cast<long long>(nu_.size());
    const long long ranges =
        std::clamp<long long>((workers.threads + q_count - 1) / std::max<long long>(q_count, 1), 1, bosons);
    // Each thread's sums are sized here, so that no worker allocates.
    std::vector<std::vector<double>> sums(static_cast<std::size_t>(workers.threads));
    for (auto& own : sums) {
        own.reserve(4 * nu_.size());
    }
    parallel_ranges(q_count * ranges, sums, [&](std::vector<double>& own, long long begin, long long end) {
        for (long long item = begin; item < end; ++item) {
            const long long i = item / ranges;
            const long long part = item % ranges;
            const auto m_begin = static_cast<int>(bosons * part / ranges);
            const auto m_end = static_cast<int>(bosons * (part + 1) / ranges);
            const auto [qx, qy] = wave_vectors[static_cast<std::size_t>(i)];
            sum_over_k(qx, qy, m_begin, m_end,
                       chi.subspan(static_cast<std::size_t>(i * bosons + m_begin),
                                   static_cast<std::size_t>(m_end - m_begin)),
                       own, workers);
            if (part == ranges - 1) {
                workers.advance(1);
            }
        }
    });
}

}  // namespace lattice_bubble
