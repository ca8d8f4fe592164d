#pragma once
// Independent evaluations of a study's routes, in long double and by the
// defining sums, for the tests of the routes. They share no code with the
// routes: the band is formed here from its formula on momenta of their own,
// the occupations from a Fermi function of their own; only the parameters
// are read from the model.

#include <complex>
#include <vector>

#include "model/lattice_model.h"

namespace lattice_bubble::testing {

using LongComplex = std::complex<long double>;

// e(k) = 2·TX·cos kx + 2·TY·cos ky + 4·T2·cos kx·cos ky + 2·T3·(cos 2kx + cos 2ky)
// + offset − mu at k = 2π·((ix + sx)/Lx, (iy + sy)/Ly) of the model's mesh, in long double.
long double oracle_band(const StudyModel& model, int ix, int iy);

// χ0(q, z_j) at q = 2π·(qx/Lx, qy/Ly) and the model's frequencies, z = iν_m,
// m < bosons(), or on the real axis z = ω_j + iη with ω_j = OMIN + j·(OMAX − OMIN)/(COUNT − 1):
// the Lindhard sum (1/(Lx·Ly))·Σ_k [f(e(k+q)) − f(e(k))]/[z − (e(k+q) − e(k))] in
// long double, k + q wrapped. Where β·|e(k+q) − e(k)| < 1e-9 at z = 0 the term is
// its limit β·f·(1 − f) at the mean energy.
std::vector<LongComplex> exact_bubble(const StudyModel& model, int qx, int qy);

// χ(q, τ_j) at the model's T times τ_j = β·j/(T − 1) (T = 1: β):
// (1/(Lx·Ly))·Σ_k f(e(k))·(1 − f(e(k+q)))·e^{−τ·(e(k+q) − e(k))} in long double,
// whose exponent stays in range while β·(max e − min e) < 11000.
std::vector<long double> exact_bubble_in_time(const StudyModel& model, int qx, int qy);

// χ0(q, 0), the same sum at z = 0, on either axis.
long double exact_static(const StudyModel& model, int qx, int qy);

// G(r, τ) = (1/L²)·Σ_k e^{ik·r}·(−e^{−e(k)τ}/(1 + e^{−βe(k)})) at r = (x, y),
// 0 ≤ τ ≤ β: at τ = 0 the limit 0⁺, at τ = β the limit β⁻.
LongComplex exact_green_time(const StudyModel& model, int x, int y, long double tau);

// The Fourier route of a study by its defining sums, each a naive DFT in long
// double: χ(q, iν_m) for every q, at (x·L + y)·(N + 1) + m.
std::vector<LongComplex> naive_fourier_route(const StudyModel& model);

// A model of an Lx × Ly lattice with the band's further coefficients, for the tests.
StudyModel mesh(int lattice_x, int lattice_y, double beta, Band band, int frequencies, double hopping2 = 0.0,
                double hopping3 = 0.0);

// The largest |value| at each m of several series of one length.
std::vector<long double> largest_at_each_m(const std::vector<std::vector<LongComplex>>& series);

}  // namespace lattice_bubble::testing
