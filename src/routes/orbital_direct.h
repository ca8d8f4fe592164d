#pragma once
// The orbital-resolved bare bubble of a model with n orbitals, per spin, by
// the direct sum in the band basis. With H(k) = V(k)·diag(ε(k))·V(k)† on a
// mesh of N_k momenta,
//
//   χ0_abcd(q, z) = (1/N_k)·Σ_k Σ_{s,s′} V_ds(k)·V*_as(k)·V_bs′(k+q)·V*_cs′(k+q)
//                   · [f(ε_s′(k+q)) − f(ε_s(k))] / [z − (ε_s′(k+q) − ε_s(k))],
//
// which is −(T/N_k)·Σ_{k,n} G_da(k, iω_n)·G_bc(k + q, iω_n + iν_m) at z = iν_m;
// z = ω_j + iη on the real axis. The density-density total is Σ_ab χ0_aabb;
// one orbital gives the one-band direct route's χ0 (routes/direct_route.h).
//
// Each pair of bands is the one-band route's term: the same difference of
// occupations (every exponent ≤ 0, 1 − e^{−β|d|} from expm1) and, at ν = 0,
// Δf/(−d) with its exact limit β·f·(1 − f) at d = 0. The weights factor,
// A_da(k, s) = V_ds·V*_as and B_bc(k+q, s′) = V_bs′·V*_cs′, so that at each k
//   G_bc(s) = Σ_{s′} B_bc(s′)·F_ss′(z)        (s′ in order, plain sums),
//   P_abcd  = Σ_s A_da(s)·G_bc(s)              (s in order, plain sums),
// and P is added to each component's sum over k compensated (Neumaier), k in
// the order of its flat index (i1·L2 + i2)·L3 + i3. The density components
// χ_aabb need G_ab alone, and B_ba = B_ab*: G's n² rows take the real weights
// Re B_ab (a ≤ b) and Im B_ba (a > b), so that G_ab = row(a, b) + i·row(b, a)
// and G_ba = row(a, b) − i·row(b, a) for a < b; with A_ba = α + iβ, P's
// rows are U = α·row(a, b) − β·row(b, a) at (a, b) and W = β·row(a, b) +
// α·row(b, a) at (b, a), and χ_aabb = U + iW, χ_bbaa = U − iW are formed from
// their sums at the end: n² real products a pair of bands and frequency
// where the general components take n² complex ones. Every value is one
// sum in this order, by one thread: the bits depend neither on the threads
// nor on the lanes.

#include <array>
#include <complex>
#include <cstddef>
#include <span>
#include <vector>

#include "common/workers.h"

namespace lattice_bubble {

// A model's bands on a mesh of L1 × L2 × L3 momenta (1 for an unused
// direction), k the flat index (i1·L2 + i2)·L3 + i3.
struct OrbitalMesh {
    int orbitals = 1;                               // n
    std::array<int, 3> mesh{1, 1, 1};               // L1, L2, L3
    std::span<const double> energy;                 // ε_s(k) at k·n + s, from the chemical potential
    std::span<const std::complex<double>> vectors;  // V_as(k) at (k·n + a)·n + s, columns orthonormal
    double beta = 1.0;
};

// all: the n⁴ components χ_abcd at ((a·n + b)·n + c)·n + d;
// density: the n² components χ_aabb at a·n + b.
enum class Components { all, density };

class OrbitalDirectSum {
public:
    // `frequencies` are ν_m (z = iν_m, a value 0 taking the static limit)
    // or, with `real_axis`, ω_j (z = ω_j + iη, η = broadening > 0).
    // The mesh's arrays are copied. Throws Failure for arrays of the wrong size.
    OrbitalDirectSum(const OrbitalMesh& mesh, std::vector<double> frequencies, bool real_axis,
                     double broadening, Components components);

    [[nodiscard]] int components() const { return components_count_; }
    [[nodiscard]] int values() const { return static_cast<int>(axis_.size()); }

    // Bytes held by such a sum and its scratch on `threads` threads.
    [[nodiscard]] static double bytes(const OrbitalMesh& mesh, std::size_t frequencies, Components components,
                                      int threads);

    // out[j·components() + c] = component c at q and frequency j; q on the
    // grid, 0 ≤ q_i < L_i, k + q wrapped per direction.
    void evaluate(std::array<int, 3> q, std::span<std::complex<double>> out,
                  const Workers& workers = Workers{}) const;
    // The same at several q, wave vector i's values from out[i·values()·components()] on.
    // The items (q, range of frequencies) are split over the workers.
    void evaluate(std::span<const std::array<int, 3>> wave_vectors, std::span<std::complex<double>> out,
                  const Workers& workers) const;

    // Σ_ab χ_aabb of one value's components, a major, b minor.
    [[nodiscard]] static std::complex<double> density_total(std::span<const std::complex<double>> value,
                                                            int orbitals, Components components);

private:
    struct Scratch;

    void sum_over_k(std::array<int, 3> q, int begin, int end, std::span<std::complex<double>> out,
                    Scratch& scratch, const Workers& workers) const;
    // The weights A (at k, for every s) or B (at k, for every s′) into w.
    void form_weights(std::size_t k, bool conjugate_first, std::vector<double>& w) const;
    // The density's real weights of G's rows from B, and of P from A.
    void form_density_weights(Scratch& scratch) const;

    int orbitals_;
    std::array<int, 3> mesh_;
    double beta_;
    bool real_axis_;
    double broadening_;
    Components kind_;
    int components_count_;
    int rows_;                       // the rows of G: n²
    int tile_;                       // frequencies per tile
    std::vector<double> energy_;     // ε_s(k) at k·n + s
    std::vector<double> boltzmann_;  // e^{−β|ε_s(k)|}
    std::vector<double> vectors_;    // V_as(k) as re, im at 2·((k·n + a)·n + s)
    std::vector<int> mix_first_;     // density: the rows of G that make χ_aabb
    std::vector<int> mix_second_;
    std::vector<double> axis_;  // ν_m or ω_j
};

}  // namespace lattice_bubble
