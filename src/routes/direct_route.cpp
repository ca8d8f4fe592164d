#include "routes/direct_route.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "common/compensated_sum.h"
#include "common/parallel.h"
#include "routes/direct_kernels.h"

namespace lattice_bubble {

DirectSum::DirectSum(const StudyModel& model)
    : lattice_x_(model.lattice_x),
      lattice_y_(model.lattice_y),
      beta_(model.beta),
      real_axis_(model.real_axis.has_value()),
      times_(!real_axis_ && model.time_count.has_value()),
      broadening_(model.real_axis ? model.real_axis->broadening : 0.0),
      band_(model.band),
      k_shift_(model.k_shift),
      energy_(band_on_grid(model)),
      boltzmann_(energy_.size()),
      axis_(static_cast<std::size_t>(model.values())),
      remaining_(times_ ? axis_.size() : 0) {
    for (std::size_t k = 0; k < energy_.size(); ++k) {
        boltzmann_[k] = boltzmann_factor(energy_[k], beta_);
    }
    for (int j = 0; j < model.values(); ++j) {
        const auto at = static_cast<std::size_t>(j);
        axis_[at] = real_axis_ ? model.real_axis->omega(j)
                    : times_   ? model.time(j)
                               : boson_frequency(j, beta_).im;
        if (times_) {
            remaining_[at] = beta_ - axis_[at];
        }
    }
}

double DirectSum::bytes(const StudyModel& model, int threads, bool points) {
    const double values = model.values();
    const double times = !model.real_axis && model.time_count ? values : 0.0;
    const double partners = points ? 2.0 * model.sites() * threads : 0.0;
    return 2.0 * model.sites() * sizeof(double) +
           ((1.0 + 4.0 * threads) * values + times + 2.0 * real_axis_block * threads + partners) *
               sizeof(double);
}

void DirectSum::form_partner(FreeWaveVector point, Scratch& scratch) const {
    const double step_x = momentum_step(lattice_x_);
    const double step_y = momentum_step(lattice_y_);
    const double px = pi * point[0];
    const double py = pi * point[1];
    const auto [sx, sy] = k_shift_;
    std::size_t k = 0;
    for (int x = 0; x < lattice_x_; ++x) {
        const double kx = (x + sx) * step_x;
        for (int y = 0; y < lattice_y_; ++y, ++k) {
            const double ky = (y + sy) * step_y;
            scratch.energy[k] = band_energy(band_, kx + px, ky + py);
            scratch.boltzmann[k] = boltzmann_factor(scratch.energy[k], beta_);
        }
    }
}

void DirectSum::sum_over_k(const Partner& partner, int begin, int end, bool static_only,
                           std::span<Complex> chi, std::vector<double>& sums, const Workers& workers) const {
    // Per value j: re, im and their compensations, each a row of `count`;
    // after them the real axis's block of terms, d then Δf.
    const auto count = static_cast<std::size_t>(end - begin);
    constexpr auto block = static_cast<std::size_t>(real_axis_block);
    sums.assign(4 * count + 2 * block, 0.0);
    const FrequencySums all{sums.data(), sums.data() + count, sums.data() + 2 * count,
                            sums.data() + 3 * count};
    double* const block_d = sums.data() + 4 * count;
    double* const block_delta_f = block_d + block;
    // ν_0 has a term of its own; the other values go through the kernels.
    const bool has_static = static_only || (!real_axis_ && !times_ && begin == 0);
    const std::size_t first = has_static ? 1 : 0;
    const int dynamic = static_only ? 0 : static_cast<int>(count - first);
    const FrequencySums rest{all.re + first, all.im + first, all.re_low + first, all.im_low + first};
    const double* frequency = axis_.data() + begin;
    const double* remaining = times_ ? remaining_.data() + begin : nullptr;
    const bool timed = times_ && !static_only;
    const int qx = partner.qx;
    const int qy = partner.qy;
    const DirectKernels& kernels = direct_kernels();
    // On the real axis the terms are gathered in blocks of consecutive k,
    // counted over the whole lattice (not per row), so that the blocks and
    // the bits do not depend on the shape of the lattice's rows.
    int in_block = 0;
    const auto add_block = [&] {
        kernels.real_axis(TermBlock{block_d, block_delta_f, in_block}, frequency + first, broadening_,
                          dynamic, rest);
        in_block = 0;
    };
    for (int x = 0; x < lattice_x_; ++x) {
        workers.poll();
        const int xq = (x + qx) % lattice_x_;  // k + q wraps into the zone
        for (int y = 0, yq = qy; y < lattice_y_; ++y, yq = yq + 1 == lattice_y_ ? 0 : yq + 1) {
            const std::size_t k = static_cast<std::size_t>(x) * static_cast<std::size_t>(lattice_y_) +
                                  static_cast<std::size_t>(y);
            const std::size_t kq = static_cast<std::size_t>(xq) * static_cast<std::size_t>(lattice_y_) +
                                   static_cast<std::size_t>(yq);
            const double e_k = energy_[k];
            const double e_kq = partner.energy[kq];
            const double b_kq = partner.boltzmann[kq];
            const double denominator = (1.0 + boltzmann_[k]) * (1.0 + b_kq);
            if (timed) {
                // f(a)·(1 − f(b))·e^{−τ(b − a)} = e^{τ·low + (β − τ)·high}/denominator, low, high ≤ 0.
                workers.poll();
                const double low = std::min(e_k, 0.0) - std::max(e_kq, 0.0);
                const double high = std::min(e_kq, 0.0) - std::max(e_k, 0.0);
                for (int j = 0; j < dynamic; ++j) {
                    const double exponent = frequency[j] * low + remaining[j] * high;
                    add_compensated(rest.re[j], rest.re_low[j], std::exp(exponent) / denominator);
                }
                continue;
            }
            const double d = e_kq - e_k;
            const double x_d = beta_ * std::fabs(d);
            const double one_minus = -std::expm1(-x_d);  // 1 − e^{−β|d|}, exact for small β|d|
            const bool one_side = (e_k >= 0.0) == (e_kq >= 0.0);
            const double outer = one_side ? std::max(boltzmann_[k], b_kq) : 1.0;
            const double weight = outer / denominator;

            // ν = 0: (f(e(k)) − f(e(k+q)))/d ≥ 0, with its limit β·f·(1 − f) at d = 0.
            if (has_static) {
                const double ratio = x_d > 0.0 ? beta_ * (one_minus / x_d) : beta_;
                add_compensated(all.re[0], all.re_low[0], weight * ratio);
            }
            if (dynamic == 0) {
                continue;
            }
            // Δf/(iν − d) = −Δf·(d + iν)/(d² + ν²), or Δf/(ω + iη − d).
            const double delta_f = d > 0.0 ? -(weight * one_minus) : weight * one_minus;
            if (real_axis_) {
                block_d[in_block] = d;
                block_delta_f[in_block] = delta_f;
                if (++in_block == real_axis_block) {
                    add_block();
                }
            } else {
                kernels.matsubara(d, delta_f, frequency + first, dynamic, rest);
            }
        }
    }
    if (in_block > 0) {
        add_block();
    }
    const double sites = static_cast<double>(lattice_x_) * lattice_y_;
    for (std::size_t j = 0; j < count; ++j) {
        chi[j] = Complex{(all.re[j] + all.re_low[j]) / sites, (all.im[j] + all.im_low[j]) / sites};
    }
}

void DirectSum::evaluate(int qx, int qy, std::span<Complex> chi) const {
    std::vector<double> sums;
    sum_over_k(Partner{energy_.data(), boltzmann_.data(), qx, qy}, 0, static_cast<int>(axis_.size()), false,
               chi, sums, Workers{});
}

void DirectSum::evaluate(std::span<const std::pair<int, int>> wave_vectors, std::span<Complex> chi,
                         const Workers& workers) const {
    split(static_cast<long long>(wave_vectors.size()), static_cast<int>(axis_.size()), false, false, chi,
          workers, [&](long long i, Scratch&) { return grid_partner(wave_vectors, i); });
}

void DirectSum::evaluate_static(std::span<const std::pair<int, int>> wave_vectors, std::span<double> chi,
                                const Workers& workers) const {
    std::vector<Complex> values(wave_vectors.size());
    split(static_cast<long long>(wave_vectors.size()), 1, true, false, values, workers,
          [&](long long i, Scratch&) { return grid_partner(wave_vectors, i); });
    std::transform(values.begin(), values.end(), chi.begin(), [](Complex value) { return value.re; });
}

void DirectSum::evaluate_points(std::span<const FreeWaveVector> points, std::span<Complex> chi,
                                const Workers& workers) const {
    split(static_cast<long long>(points.size()), static_cast<int>(axis_.size()), false, true, chi, workers,
          [&](long long i, Scratch& scratch) { return point_partner(points, i, scratch); });
}

void DirectSum::evaluate_static_points(std::span<const FreeWaveVector> points, std::span<double> chi,
                                       const Workers& workers) const {
    std::vector<Complex> values(points.size());
    split(static_cast<long long>(points.size()), 1, true, true, values, workers,
          [&](long long i, Scratch& scratch) { return point_partner(points, i, scratch); });
    std::transform(values.begin(), values.end(), chi.begin(), [](Complex value) { return value.re; });
}

DirectSum::Partner DirectSum::grid_partner(std::span<const std::pair<int, int>> wave_vectors,
                                           long long i) const {
    const auto [qx, qy] = wave_vectors[static_cast<std::size_t>(i)];
    return Partner{energy_.data(), boltzmann_.data(), qx, qy};
}

DirectSum::Partner DirectSum::point_partner(std::span<const FreeWaveVector> points, long long i,
                                            Scratch& scratch) const {
    if (scratch.point != i) {
        form_partner(points[static_cast<std::size_t>(i)], scratch);
        scratch.point = i;
    }
    return Partner{scratch.energy.data(), scratch.boltzmann.data(), 0, 0};
}

template <typename PartnerOf>
void DirectSum::split(long long q_count, int values, bool static_only, bool points, std::span<Complex> chi,
                      const Workers& workers, const PartnerOf& partner_of) const {
    // With fewer wave vectors than threads, each one's values are split
    // into ranges as well, so that a single q keeps every thread busy.
    const long long ranges =
        std::clamp<long long>((workers.threads + q_count - 1) / std::max<long long>(q_count, 1), 1, values);
    // Each thread's scratch is sized here, so that no worker allocates.
    std::vector<Scratch> scratch(static_cast<std::size_t>(workers.threads));
    for (auto& own : scratch) {
        own.sums.reserve(4 * static_cast<std::size_t>(values) +
                         2 * static_cast<std::size_t>(real_axis_block));
        if (points) {
            own.energy.resize(energy_.size());
            own.boltzmann.resize(energy_.size());
        }
    }
    parallel_ranges(q_count * ranges, scratch, [&](Scratch& own, long long begin, long long end) {
        for (long long item = begin; item < end; ++item) {
            const long long i = item / ranges;
            const long long part = item % ranges;
            const auto j_begin = static_cast<int>(values * part / ranges);
            const auto j_end = static_cast<int>(values * (part + 1) / ranges);
            sum_over_k(partner_of(i, own), j_begin, j_end, static_only,
                       chi.subspan(static_cast<std::size_t>(i * values + j_begin),
                                   static_cast<std::size_t>(j_end - j_begin)),
                       own.sums, workers);
            if (part == ranges - 1) {
                workers.advance(1);
            }
        }
    });
}

}  // namespace lattice_bubble
