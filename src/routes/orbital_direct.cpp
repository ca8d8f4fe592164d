#include "routes/orbital_direct.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/compensated_sum.h"
#include "common/failure.h"
#include "common/parallel.h"
#include "fft/kernel_choice.h"
#include "routes/orbital_kernels.h"

namespace lattice_bubble {

extern const OrbitalKernels avx_orbital_kernels;
extern const OrbitalKernels avx512_orbital_kernels;

const OrbitalKernels& orbital_kernels() {
    const FftLanes lanes = fft_kernels_in_use().lanes;
#if defined(__x86_64__) && !defined(LATTICE_BUBBLE_WITHOUT_AVX512)
    if (lanes == FftLanes::avx512) {
        return avx512_orbital_kernels;
    }
#endif
#if defined(__x86_64__) && !defined(LATTICE_BUBBLE_WITHOUT_AVX)
    if (lanes == FftLanes::avx || lanes == FftLanes::avx512) {
        return avx_orbital_kernels;
    }
#endif
    return lanes == FftLanes::scalar ? orbital_kernel_detail::OrbitalLoops<1>::table
                                     : orbital_kernel_detail::OrbitalLoops<2>::table;
}

namespace {

constexpr std::size_t at_size(long long n) { return static_cast<std::size_t>(n); }

void require_orbital(bool holds, const std::string& what) {
    if (!holds) {
        throw Failure("orbital direct sum: " + what);
    }
}

// Frequencies per tile: the tile's rows of G and P (two doubles a value)
// within about 32 KiB, a multiple of 8 from 8 to 256.
int orbital_tile(int rows, int components) {
    const int fit = 32768 / (16 * (rows + components));
    return std::clamp(fit / 8 * 8, 8, 256);
}

}  // namespace

// A thread's scratch: the sums of its item (re, im and their compensations,
// a row of frequencies per component), the tile's G and P, the band pairs
// at k, the weights A at k and B at k + q, and the density's weights of G and P.
struct OrbitalDirectSum::Scratch {
    std::vector<double> sums;
    std::vector<double> g;
    std::vector<double> p;
    std::vector<BandPair> pairs;
    std::vector<double> a;
    std::vector<double> b;
    std::vector<double> rows;  // density: the real weights of G's rows, per s′
    std::vector<double> mix;   // density: w1 and w2 of each component, per s
};

OrbitalDirectSum::OrbitalDirectSum(const OrbitalMesh& mesh, std::vector<double> frequencies, bool real_axis,
                                   double broadening, Components components)
    : orbitals_(mesh.orbitals),
      mesh_(mesh.mesh),
      beta_(mesh.beta),
      real_axis_(real_axis),
      broadening_(broadening),
      kind_(components),
      components_count_(0),
      rows_(0),
      tile_(0),
      axis_(std::move(frequencies)) {
    const int n = orbitals_;
    require_orbital(n >= 1, "orbitals = " + std::to_string(n) + " is not at least 1");
    require_orbital(mesh_[0] >= 1 && mesh_[1] >= 1 && mesh_[2] >= 1,
                    "every side of the mesh must be at least 1");
    require_orbital(beta_ > 0.0 && std::isfinite(beta_), "beta must be positive and finite");
    require_orbital(!real_axis_ || (broadening_ > 0.0 && std::isfinite(broadening_)),
                    "the broadening must be positive and finite on the real axis");
    const long long points = static_cast<long long>(mesh_[0]) * mesh_[1] * mesh_[2];
    require_orbital(
        mesh.energy.size() == at_size(points * n),
        "energy holds " + std::to_string(mesh.energy.size()) + " values, not " + std::to_string(points * n));
    require_orbital(mesh.vectors.size() == at_size(points * n * n),
                    "vectors holds " + std::to_string(mesh.vectors.size()) + " values, not " +
                        std::to_string(points * n * n));
    const bool all = components == Components::all;
    components_count_ = all ? n * n * n * n : n * n;
    rows_ = n * n;
    tile_ = orbital_tile(rows_, components_count_);
    energy_.assign(mesh.energy.begin(), mesh.energy.end());
    boltzmann_.resize(energy_.size());
    for (std::size_t i = 0; i < energy_.size(); ++i) {
        boltzmann_[i] = std::exp(-(beta_ * std::fabs(energy_[i])));
    }
    vectors_.resize(2 * mesh.vectors.size());
    for (std::size_t i = 0; i < mesh.vectors.size(); ++i) {
        vectors_[2 * i] = mesh.vectors[i].real();
        vectors_[2 * i + 1] = mesh.vectors[i].imag();
    }
    if (!all) {
        // G's row x·n + y holds Re B_xy for x ≤ y and Im B_yx for x > y, so
        // that G_ab is row (a, b) + i·row (b, a) for a < b and row (b, a) −
        // i·row (a, b) for a > b: χ_aabb at a·n + b takes A_ba times that.
        for (int a = 0; a < n; ++a) {
            for (int b = 0; b < n; ++b) {
                const int low_first = std::min(a, b) * n + std::max(a, b);
                const int high_first = std::max(a, b) * n + std::min(a, b);
                mix_first_.push_back(low_first);
                mix_second_.push_back(a == b ? -1 : high_first);
            }
        }
    }
}

double OrbitalDirectSum::bytes(const OrbitalMesh& mesh, std::size_t frequencies, Components components,
                               int threads) {
    const double n = mesh.orbitals;
    const double points = static_cast<double>(mesh.mesh[0]) * mesh.mesh[1] * mesh.mesh[2];
    const bool all = components == Components::all;
    const double count = all ? n * n * n * n : n * n;
    const double rows = n * n;
    const double tile = orbital_tile(static_cast<int>(rows), static_cast<int>(count));
    const double held =
        2.0 * points * n + (all ? 2.0 : 1.0) * points * n * n + static_cast<double>(frequencies);
    const double scratch = 4.0 * count * static_cast<double>(frequencies) + 2.0 * (rows + count) * tile +
                           3.0 * n * n + (all ? 4.0 * n * n * n : 0.0);
    return (held + threads * scratch) * sizeof(double);
}

void OrbitalDirectSum::form_weights(std::size_t k, bool conjugate_first, std::vector<double>& w) const {
    // w[s] = x·n + y → V_xs·V*_ys (B), or V_ys·V*_xs with conjugate_first (A);
    // the real parts of band s from 2·n²·s on, the imaginary parts after them.
    const auto n = static_cast<std::size_t>(orbitals_);
    const double* v = vectors_.data() + 2 * k * n * n;
    for (std::size_t s = 0; s < n; ++s) {
        double* re = w.data() + 2 * n * n * s;
        double* im = re + n * n;
        for (std::size_t x = 0; x < n; ++x) {
            for (std::size_t y = 0; y < n; ++y) {
                const double* p = v + 2 * ((conjugate_first ? y : x) * n + s);  // unconjugated
                const double* c = v + 2 * ((conjugate_first ? x : y) * n + s);  // conjugated
                re[x * n + y] = p[0] * c[0] + p[1] * c[1];
                im[x * n + y] = p[1] * c[0] - p[0] * c[1];
            }
        }
    }
}

void OrbitalDirectSum::form_density_weights(Scratch& scratch) const {
    const auto n = static_cast<std::size_t>(orbitals_);
    const std::size_t nn = n * n;
    for (std::size_t s = 0; s < n; ++s) {
        const double* b_re = scratch.b.data() + 2 * nn * s;
        const double* b_im = b_re + nn;
        const double* a_re = scratch.a.data() + 2 * nn * s;
        const double* a_im = a_re + nn;
        double* rows = scratch.rows.data() + 2 * nn * s;
        double* mix = scratch.mix.data() + 2 * nn * s;  // w1, then w2
        for (std::size_t x = 0; x < n; ++x) {
            for (std::size_t y = 0; y < n; ++y) {
                const std::size_t c = x * n + y;
                rows[c] = x <= y ? b_re[c] : b_im[y * n + x];
                // w1 = A_yx = V_ys·V*_xs (held at x·n + y); w2 = i·w1 (x < y) or −i·w1 (x > y).
                // Row (x, y) of P: x = y, |V_xs|²; x < y, U_xy with
                // A_xy = a + ib: a·row(x, y) − b·row(y, x); x > y, W_yx: b·row(y, x) + a·row(x, y).
                const std::size_t first = std::min(x, y) * n + std::max(x, y);
                mix[c] = x <= y ? a_re[first] : a_im[first];
                mix[nn + c] = x <= y ? -a_im[first] : a_re[first];
            }
        }
    }
}

void OrbitalDirectSum::sum_over_k(std::array<int, 3> q, int begin, int end,
                                  std::span<std::complex<double>> out, Scratch& scratch,
                                  const Workers& workers) const {
    const int n = orbitals_;
    const auto nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    const int count = end - begin;
    const int components = components_count_;
    const int rows = rows_;
    const bool all = kind_ == Components::all;
    const auto row = static_cast<std::size_t>(count);
    scratch.sums.assign(4 * at_size(components) * row, 0.0);
    double* const sums = scratch.sums.data();
    const OrbitalRows total{sums, sums + at_size(components) * row, static_cast<std::ptrdiff_t>(row)};
    const OrbitalRows low{sums + 2 * at_size(components) * row, sums + 3 * at_size(components) * row,
                          static_cast<std::ptrdiff_t>(row)};
    // Tiles of equal width, a multiple of 8 where there are several.
    const int tiles = (count + tile_ - 1) / tile_;
    const int tile = tiles == 1 ? tile_ : ((count + tiles - 1) / tiles + 7) / 8 * 8;
    scratch.g.resize(2 * at_size(rows) * at_size(tile));
    scratch.p.resize(2 * at_size(components) * at_size(tile));
    scratch.pairs.resize(nn);
    const OrbitalRows g{scratch.g.data(), scratch.g.data() + at_size(rows) * at_size(tile), tile};
    const OrbitalRows p{scratch.p.data(), scratch.p.data() + at_size(components) * at_size(tile), tile};
    scratch.a.resize(2 * nn * at_size(n));
    scratch.b.resize(2 * nn * at_size(n));
    if (!all) {
        scratch.rows.resize(2 * nn * at_size(n));
        scratch.mix.resize(2 * nn * at_size(n));
    }
    const OrbitalKernels& kernels = orbital_kernels();
    const double* frequency = axis_.data() + begin;
    const auto [l1, l2, l3] = mesh_;
    std::size_t k = 0;
    for (int i1 = 0; i1 < l1; ++i1) {
        const int j1 = (i1 + q[0]) % l1;
        for (int i2 = 0; i2 < l2; ++i2) {
            const int j2 = (i2 + q[1]) % l2;
            for (int i3 = 0; i3 < l3; ++i3, ++k) {
                workers.poll();
                const int j3 = (i3 + q[2]) % l3;
                const std::size_t kq = (static_cast<std::size_t>(j1) * static_cast<std::size_t>(l2) +
                                        static_cast<std::size_t>(j2)) *
                                           static_cast<std::size_t>(l3) +
                                       static_cast<std::size_t>(j3);
                // The one-band route's term for each pair (s at k, s′ at k + q).
                for (std::size_t s = 0; s < at_size(n); ++s) {
                    const double e_k = energy_[k * at_size(n) + s];
                    const double b_k = boltzmann_[k * at_size(n) + s];
                    for (std::size_t t = 0; t < at_size(n); ++t) {
                        const double e_kq = energy_[kq * at_size(n) + t];
                        const double b_kq = boltzmann_[kq * at_size(n) + t];
                        const double denominator = (1.0 + b_k) * (1.0 + b_kq);
                        const double d = e_kq - e_k;
                        const double x_d = beta_ * std::fabs(d);
                        const double one_minus = -std::expm1(-x_d);
                        const bool one_side = (e_k >= 0.0) == (e_kq >= 0.0);
                        const double outer = one_side ? std::max(b_k, b_kq) : 1.0;
                        const double weight = outer / denominator;
                        const double ratio = x_d > 0.0 ? beta_ * (one_minus / x_d) : beta_;
                        scratch.pairs[s * at_size(n) + t] =
                            BandPair{d, d > 0.0 ? -(weight * one_minus) : weight * one_minus, weight * ratio};
                    }
                }
                form_weights(k, true, scratch.a);
                form_weights(kq, false, scratch.b);
                if (!all) {
                    form_density_weights(scratch);
                }
                const OrbitalWeights w_b = all ? OrbitalWeights{scratch.b.data(), scratch.b.data() + nn, rows,
                                                                static_cast<std::ptrdiff_t>(2 * nn)}
                                               : OrbitalWeights{scratch.rows.data(), nullptr, rows,
                                                                static_cast<std::ptrdiff_t>(2 * nn)};
                for (int t0 = 0; t0 < count; t0 += tile) {
                    const int width = std::min(tile, count - t0);
                    for (std::size_t s = 0; s < at_size(n); ++s) {
                        kernels.band(scratch.pairs.data() + s * at_size(n), n, frequency + t0,
                                     real_axis_ ? broadening_ : -1.0, width, w_b, g);
                        if (all) {
                            const double* a = scratch.a.data() + 2 * nn * s;
                            kernels.outer(OrbitalWeights{a, a + nn, static_cast<int>(nn)}, g, rows, width,
                                          s == 0, p);
                        } else {
                            const double* w = scratch.mix.data() + 2 * nn * s;
                            kernels.mix(
                                OrbitalMix{mix_first_.data(), mix_second_.data(), w, w + nn, components}, g,
                                width, s == 0, p);
                        }
                    }
                    const OrbitalRows at{total.re + t0, total.im + t0, total.stride};
                    const OrbitalRows at_low{low.re + t0, low.im + t0, low.stride};
                    kernels.accumulate(p, components, width, at, at_low);
                }
            }
        }
    }
    // All: internal row i·rows + r is (a·n + d, b·n + c). Density: row (a, b)
    // is χ_aabb for a = b, else U or W of the pair, χ_ab = U + iW, χ_ba = U − iW.
    const double sites = static_cast<double>(l1) * l2 * l3;
    const auto value = [&](int c, std::size_t j) {
        const std::size_t at = at_size(c) * row + j;
        return std::complex<double>{(total.re[at] + low.re[at]) / sites, (total.im[at] + low.im[at]) / sites};
    };
    for (int c = 0; c < components; ++c) {
        const int a = all ? c / (n * n * n) : c / n;
        const int b = all ? c / n % n : c % n;
        for (std::size_t j = 0; j < row; ++j) {
            std::complex<double>* to = out.data() + j * at_size(components);
            if (all) {
                to[((a * n + b) * n + c % n) * n + c / (n * n) % n] = value(c, j);
            } else if (a == b) {
                to[c] = value(c, j);
            } else if (a < b) {
                const std::complex<double> u = value(c, j);
                const std::complex<double> w = value(b * n + a, j);
                to[c] = {u.real() - w.imag(), u.imag() + w.real()};
                to[b * n + a] = {u.real() + w.imag(), u.imag() - w.real()};
            }
        }
    }
}

void OrbitalDirectSum::evaluate(std::array<int, 3> q, std::span<std::complex<double>> out,
                                const Workers& workers) const {
    evaluate(std::span<const std::array<int, 3>>(&q, 1), out, workers);
}

void OrbitalDirectSum::evaluate(std::span<const std::array<int, 3>> wave_vectors,
                                std::span<std::complex<double>> out, const Workers& workers) const {
    const auto q_count = static_cast<long long>(wave_vectors.size());
    const int values = this->values();
    const auto per_q = static_cast<long long>(values) * components_count_;
    require_orbital(
        out.size() == at_size(q_count * per_q),
        "out holds " + std::to_string(out.size()) + " values, not " + std::to_string(q_count * per_q));
    for (const auto& q : wave_vectors) {
        for (int i = 0; i < 3; ++i) {
            require_orbital(q[static_cast<std::size_t>(i)] >= 0 &&
                                q[static_cast<std::size_t>(i)] < mesh_[static_cast<std::size_t>(i)],
                            "a wave vector lies off the grid");
        }
    }
    if (q_count == 0 || values == 0) {
        return;
    }
    // As the one-band route splits: with fewer wave vectors than threads,
    // each one's frequencies are split into ranges as well.
    const long long ranges =
        std::clamp<long long>((workers.threads + q_count - 1) / std::max<long long>(q_count, 1), 1, values);
    std::vector<Scratch> scratch(static_cast<std::size_t>(std::max(workers.threads, 1)));
    parallel_ranges(q_count * ranges, scratch, [&](Scratch& own, long long first, long long last) {
        for (long long item = first; item < last; ++item) {
            const long long i = item / ranges;
            const long long part = item % ranges;
            const auto j_begin = static_cast<int>(values * part / ranges);
            const auto j_end = static_cast<int>(values * (part + 1) / ranges);
            sum_over_k(wave_vectors[at_size(i)], j_begin, j_end,
                       out.subspan(at_size(i * per_q + j_begin * static_cast<long long>(components_count_)),
                                   at_size(static_cast<long long>(j_end - j_begin) * components_count_)),
                       own, workers);
            if (part == ranges - 1) {
                workers.advance(1);
            }
        }
    });
}

std::complex<double> OrbitalDirectSum::density_total(std::span<const std::complex<double>> value,
                                                     int orbitals, Components components) {
    const auto n = static_cast<std::size_t>(orbitals);
    double re = 0.0;
    double im = 0.0;
    double re_low = 0.0;
    double im_low = 0.0;
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = 0; b < n; ++b) {
            const std::size_t at = components == Components::all ? ((a * n + a) * n + b) * n + b : a * n + b;
            add_compensated(re, re_low, value[at].real());
            add_compensated(im, im_low, value[at].imag());
        }
    }
    return {re + re_low, im + im_low};
}

}  // namespace lattice_bubble
