// The orbital-resolved direct sum against a long-double band-basis sum of its
// own (Δf = −sinh(βd/2)/(2·cosh(βε₁/2)·cosh(βε₂/2)), the weights multiplied
// out term by term), on tight-binding models diagonalised by Eigen; and
// against the one-band direct route, uncoupled copies and the static total.

#include "routes/orbital_direct.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "fft/kernel_choice.h"
#include "model/lattice_model.h"
#include "routes/direct_route.h"

namespace lattice_bubble {
namespace {

using Long = std::complex<long double>;

struct Bands {
    int n;
    std::array<int, 3> mesh;
    std::vector<double> energy;
    std::vector<std::complex<double>> vectors;
    OrbitalMesh view(double beta) const { return {n, mesh, energy, vectors, beta}; }
};

// The indices (i1, i2, i3) of flat k, and the flat index of k + q.
std::array<int, 3> indices(std::array<int, 3> m, int k) {
    return {k / (m[1] * m[2]), k / m[2] % m[1], k % m[2]};
}
int plus(std::array<int, 3> m, int k, std::array<int, 3> q) {
    const auto i = indices(m, k);
    return ((i[0] + q[0]) % m[0] * m[1] + (i[1] + q[1]) % m[1]) * m[2] + (i[2] + q[2]) % m[2];
}

// H(k) = H0 + Σ_dir (T_dir·e^{ik_dir} + h.c.) over the directions with L > 1,
// hoppings from a fixed formula (complex, all orbitals coupled).
Bands tight_binding(int n, std::array<int, 3> mesh, double mu) {
    Bands b{n, mesh, {}, {}};
    for (int k = 0; k < mesh[0] * mesh[1] * mesh[2]; ++k) {
        Eigen::MatrixXcd h = Eigen::MatrixXcd::Zero(n, n), t(n, n);
        for (int a = 0; a < n; ++a) {
            h(a, a) = 0.4 * a - mu;
        }
        for (int dir = 0; dir < 3; ++dir) {
            for (int a = 0; a < n * n; ++a) {
                t(a / n, a % n) = {0.6 * std::cos(1.3 * (a / n) + 0.7 * (a % n) + dir),
                                   0.4 * std::sin(0.9 * (a / n) - 1.1 * (a % n) + 2 * dir)};
            }
            t *= std::polar(1.0, 2 * pi * indices(mesh, k)[dir] / mesh[dir]);
            if (mesh[dir] > 1) {
                h += t + t.adjoint();
            }
        }
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd> solver(h);
        for (int i = 0; i < n * n + n; ++i) {
            i < n ? b.energy.push_back(solver.eigenvalues()(i))
                  : b.vectors.push_back(solver.eigenvectors()((i - n) / n, (i - n) % n));
        }
    }
    return b;
}

// χ_abcd at ((a·n + b)·n + c)·n + d for each z, value major.
std::vector<Long> oracle(const Bands& b, long double beta, std::array<int, 3> q,
                         const std::vector<double>& z_axis, bool real, long double eta) {
    const int n = b.n, n4 = n * n * n * n, points = b.mesh[0] * b.mesh[1] * b.mesh[2];
    std::vector<Long> chi(z_axis.size() * n4);
    const auto v = [&](int k, int a, int s) { return Long(b.vectors[(k * n + a) * n + s]); };
    for (int k = 0; k < points; ++k) {
        const int kq = plus(b.mesh, k, q);
        for (int st = 0; st < n * n; ++st) {
            const int s = st / n, t = st % n;
            const long double e1 = b.energy[k * n + s], e2 = b.energy[kq * n + t], d = e2 - e1;
            const long double ch = 2 * std::cosh(beta * e1 / 2) * std::cosh(beta * e2 / 2);
            for (std::size_t j = 0; j < z_axis.size(); ++j) {
                const Long z = real ? Long(z_axis[j], eta) : Long(0, z_axis[j]);
                const Long factor = z != Long(0) ? -std::sinh(beta * d / 2) / ch / (z - d)
                                    : d == 0     ? Long(beta / (2 * ch))
                                                 : Long(std::sinh(beta * d / 2) / (d * ch));
                for (int c = 0; c < n4; ++c) {
                    const int a = c / (n * n * n), bb = c / (n * n) % n, cc = c / n % n, dd = c % n;
                    chi[j * n4 + c] += v(k, dd, s) * std::conj(v(k, a, s)) * v(kq, bb, t) *
                                       std::conj(v(kq, cc, t)) * factor / static_cast<long double>(points);
                }
            }
        }
    }
    return chi;
}

std::vector<double> matsubara(int count, double beta) {
    std::vector<double> nu;
    for (int m = 0; m < count; ++m) {
        nu.push_back(boson_frequency(m, beta).im);
    }
    return nu;
}

TEST(OrbitalDirect, MatchesTheLongDoubleSumInEveryComponentOnBothAxes) {
    struct Case {
        int n;
        std::array<int, 3> mesh, q;
        double beta, mu;
    };
    for (const Case& c : {Case{1, {5, 4, 1}, {2, 1, 0}, 3.0, 0.2}, Case{2, {6, 5, 1}, {3, 2, 0}, 8.0, 0.1},
                          Case{3, {4, 4, 1}, {0, 0, 0}, 20.0, 0.5}, Case{4, {3, 2, 2}, {1, 1, 1}, 2.0, 0.3},
                          Case{5, {3, 2, 2}, {2, 0, 1}, 5.0, 0.7}}) {
        const Bands b = tight_binding(c.n, c.mesh, c.mu);
        for (const bool real : {false, true}) {
            const std::vector<double> axis =
                real ? std::vector<double>{-3.0, -0.5, 0.0, 1.25, 4.0} : matsubara(4, c.beta);
            const auto exact = oracle(b, c.beta, c.q, axis, real, 0.1);
            const int n4 = c.n * c.n * c.n * c.n;
            const OrbitalDirectSum all(b.view(c.beta), axis, real, 0.1, Components::all);
            const OrbitalDirectSum density(b.view(c.beta), axis, real, 0.1, Components::density);
            std::vector<std::complex<double>> chi(axis.size() * n4), chi_density(axis.size() * c.n * c.n);
            all.evaluate(c.q, chi);
            density.evaluate(c.q, chi_density);
            for (std::size_t j = 0; j < axis.size(); ++j) {
                long double largest = 0;
                for (int i = 0; i < n4; ++i) {
                    largest = std::max(largest, std::abs(exact[j * n4 + i]));
                }
                for (int i = 0; i < n4; ++i) {
                    ASSERT_LE(std::abs(Long(chi[j * n4 + i]) - exact[j * n4 + i]), 1e-13L * largest)
                        << c.n << " orbitals, real " << real << ", j " << j << ", component " << i;
                }
                for (int ab = 0; ab < c.n * c.n; ++ab) {
                    const Long want =
                        exact[j * n4 + ab / c.n * (c.n * c.n * c.n + c.n * c.n) + ab % c.n * (c.n + 1)];
                    ASSERT_LE(std::abs(Long(chi_density[j * c.n * c.n + ab]) - want), 1e-13L * largest);
                }
            }
        }
    }
}

// One orbital is the one-band route (its bits on the Matsubara axis); two
// uncoupled copies of it are that bubble in χ_aaaa and nothing in χ_aabb, a ≠ b.
TEST(OrbitalDirect, OneOrbitalAndUncoupledCopiesAreTheOneBandRoute) {
    for (const bool real : {false, true}) {
        StudyModel model(8, 3.0, default_band, 5);
        model.lattice_y = 6;
        if (real) {
            model.real_axis = RealAxis{-9.0, 9.0, 7, 0.1};
        }
        std::vector<double> axis = matsubara(model.values(), model.beta);
        for (int j = 0; real && j < model.values(); ++j) {
            axis[j] = model.real_axis->omega(j);
        }
        std::vector<Complex> scalar(axis.size());
        DirectSum(model).evaluate(5, 2, scalar);
        const std::vector<double> e = band_on_grid(model);
        std::vector<double> twice;
        std::vector<std::complex<double>> one(e.size(), 1.0), copies;
        for (const double x : e) {
            twice.insert(twice.end(), {x, x});
            copies.insert(copies.end(), {1.0, 0.0, 0.0, 1.0});
        }
        std::vector<std::complex<double>> chi(axis.size()), pair(axis.size() * 16);
        OrbitalDirectSum({1, {8, 6, 1}, e, one, 3.0}, axis, real, 0.1, Components::density)
            .evaluate({5, 2, 0}, chi);
        OrbitalDirectSum({2, {8, 6, 1}, twice, copies, 3.0}, axis, real, 0.1, Components::all)
            .evaluate({5, 2, 0}, pair);
        for (std::size_t j = 0; j < axis.size(); ++j) {
            const double tolerance = real ? 1e-15 * std::abs(std::complex(scalar[j].re, scalar[j].im)) : 0.0;
            EXPECT_NEAR(chi[j].real(), scalar[j].re, tolerance) << j;
            EXPECT_NEAR(chi[j].imag(), scalar[j].im, tolerance) << j;
            EXPECT_EQ(pair[16 * j], chi[j]);
            EXPECT_EQ(pair[16 * j + 15], chi[j]);
            EXPECT_EQ(pair[16 * j + 3], 0.0);   // χ_0011
            EXPECT_EQ(pair[16 * j + 12], 0.0);  // χ_1100
        }
    }
}

// A two-orbital honeycomb model: Σ_ab χ_aabb(0, 0) = (1/N_k)·Σ_{k,s} β·f·(1 − f).
TEST(OrbitalDirect, StaticUniformTotalIsTheDensityOfStatesAtTheFermiLevel) {
    const int l = 9;
    const double beta = 6.0;
    Bands b{2, {l, l, 1}, {}, {}};
    long double expected = 0;
    for (int k = 0; k < l * l; ++k) {
        const std::complex<double> f =
            1.0 + std::polar(1.0, 2 * pi * (k / l) / l) + std::polar(1.0, 2 * pi * (k % l) / l);
        Eigen::Matrix2cd h;
        h << 0.3 - 0.4, -f, -std::conj(f), -0.3 - 0.4;
        Eigen::SelfAdjointEigenSolver<Eigen::Matrix2cd> solver(h);
        for (int i = 0; i < 4; ++i) {
            b.vectors.push_back(solver.eigenvectors()(i / 2, i % 2));
            const long double occupied = 1 / (1 + std::exp(beta * (long double)solver.eigenvalues()(i % 2)));
            expected += i < 2 ? beta * occupied * (1 - occupied) / (l * l) : 0;
            i < 2 ? b.energy.push_back(solver.eigenvalues()(i)) : void();
        }
    }
    std::vector<std::complex<double>> chi(4);
    OrbitalDirectSum(b.view(beta), {0.0}, false, 0.0, Components::density).evaluate({0, 0, 0}, chi);
    const std::complex<double> total = OrbitalDirectSum::density_total(chi, 2, Components::density);
    EXPECT_NEAR(total.real(), static_cast<double>(expected), 1e-14 * static_cast<double>(expected));
    EXPECT_EQ(total.imag(), 0.0);
}

// Every value is one sum in one order: the same bits on 1 and 2 threads,
// whole wave vectors or ranges of frequencies, and on every width of lanes.
TEST(OrbitalDirect, SameBitsOnEveryNumberOfThreadsAndLanes) {
    const Bands b = tight_binding(3, {4, 3, 2}, 0.2);
    const std::vector<double> axis = matsubara(19, 4.0);
    const std::vector<std::array<int, 3>> qs{{1, 2, 1}, {0, 0, 0}, {3, 1, 0}};
    for (const Components kind : {Components::all, Components::density}) {
        const OrbitalDirectSum sum(b.view(4.0), axis, false, 0.0, kind);
        std::vector<std::complex<double>> one(qs.size() * axis.size() * sum.components());
        sum.evaluate(qs, one, Workers{1});
        for (const auto lanes : {FftLanes::scalar, FftLanes::sse2, FftLanes::avx, FftLanes::avx512}) {
            choose_fft_kernels_for_testing(lanes, true);
            for (const std::size_t count : {std::size_t{1}, qs.size()}) {
                std::vector<std::complex<double>> two(count * axis.size() * sum.components());
                sum.evaluate(std::span(qs).first(count), two, Workers{2});
                EXPECT_EQ(std::memcmp(two.data(), one.data(), two.size() * sizeof two[0]), 0)
                    << static_cast<int>(lanes);
            }
        }
        choose_fft_kernels();
    }
}

}  // namespace
}  // namespace lattice_bubble
