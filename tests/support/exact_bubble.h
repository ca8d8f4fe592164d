#pragma once
// Independent evaluations of a study's routes, in long double and by the
// defining sums, for the tests of the routes.

#include <complex>
#include <vector>

#include "model/lattice_model.h"

namespace lattice_bubble::testing {

using LongComplex = std::complex<long double>;

// χ0(q, iν_m), m = 0 … N, at q = (qx, qy)·2π/L: the Lindhard sum
// (1/L²)·Σ_k [f(e(k+q)) − f(e(k))]/[iν_m − (e(k+q) − e(k))] in long double,
// straight from f(e) = 1/(e^{βe} + 1), with the band energies of the model
// (band_energy on the grid, k + q wrapped). Where β·|e(k+q) − e(k)| < 1e-9
// at ν = 0 the term is its limit β·f·(1 − f) at the mean energy.
std::vector<LongComplex> exact_bubble(const StudyModel& model, int qx, int qy);

// The Fourier route of a study by its defining sums, each a naive DFT in long
// double: χ(q, iν_m) for every q, at (x·L + y)·(N + 1) + m.
std::vector<LongComplex> naive_fourier_route(const StudyModel& model);

}  // namespace lattice_bubble::testing
