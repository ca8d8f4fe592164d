// Times the orbital direct sum against the one-band direct route, in terms a
// second: a term is one (k, q, frequency, band pair), so a sum over N_k
// momenta at n_q wave vectors of n_z frequencies with n orbitals is
// N_k·n²·n_z·n_q terms. On the Matsubara axis (64 × 64, 257 frequencies,
// 2 q), one thread, on every table of lanes from AVX up that the processor
// runs: the one-band route, then the density components for n = 1 … 5 and
// every component for n = 1 … 3. The bands and
// vectors are made up (their values do not change the work).

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/complex.h"
#include "common/workers.h"
#include "fft/kernel_choice.h"
#include "model/lattice_model.h"
#include "routes/direct_route.h"
#include "routes/orbital_direct.h"

namespace lattice_bubble {
namespace {

constexpr int bench_lattice = 64;
constexpr int bench_frequencies = 256;  // N: 257 bosonic frequencies
constexpr double bench_beta = 20.0;

StudyModel bench_model() {
    Band band{-1.0, 0.0, -0.8};
    band.hopping2 = 0.3;
    return StudyModel(bench_lattice, bench_beta, band, bench_frequencies);
}

// Chooses the table of lanes, or skips a run the processor cannot make.
bool chosen(benchmark::State& state, FftLanes lanes) {
    if (choose_fft_kernels_for_testing(lanes, true).lanes != lanes) {
        state.SkipWithError("the processor does not run these lanes");
        return false;
    }
    return true;
}

void one_band(benchmark::State& state, FftLanes lanes) {
    if (!chosen(state, lanes)) {
        return;
    }
    const StudyModel model = bench_model();
    const DirectSum direct(model);
    const std::vector<std::pair<int, int>> qs{{32, 32}, {7, 19}};
    std::vector<Complex> chi(qs.size() * static_cast<std::size_t>(model.values()));
    for (auto _ : state) {
        direct.evaluate(qs, chi, Workers{1});
        benchmark::DoNotOptimize(chi.data());
    }
    const double terms = static_cast<double>(model.sites()) * model.values() * static_cast<double>(qs.size());
    state.counters["terms_per_second"] =
        benchmark::Counter(terms * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void orbitals(benchmark::State& state, FftLanes lanes, int n, Components components) {
    if (!chosen(state, lanes)) {
        return;
    }
    const StudyModel model = bench_model();
    const std::vector<double> band = band_on_grid(model);
    std::vector<double> energy;
    std::vector<std::complex<double>> vectors;
    for (std::size_t k = 0; k < band.size(); ++k) {
        for (int s = 0; s < n; ++s) {
            energy.push_back(band[k] + 0.7 * s);
        }
        for (int a = 0; a < n * n; ++a) {
            vectors.push_back(std::polar(1.0 / std::sqrt(n), 0.3 * a + 0.01 * static_cast<double>(k)));
        }
    }
    std::vector<double> axis;
    for (int m = 0; m < model.values(); ++m) {
        axis.push_back(boson_frequency(m, bench_beta).im);
    }
    const OrbitalDirectSum sum({n, {bench_lattice, bench_lattice, 1}, energy, vectors, bench_beta}, axis,
                               false, 0.0, components);
    const std::vector<std::array<int, 3>> qs{{32, 32, 0}, {7, 19, 0}};
    std::vector<std::complex<double>> chi(qs.size() * axis.size() *
                                          static_cast<std::size_t>(sum.components()));
    for (auto _ : state) {
        sum.evaluate(qs, chi, Workers{1});
        benchmark::DoNotOptimize(chi.data());
    }
    const double terms =
        static_cast<double>(model.sites()) * n * n * model.values() * static_cast<double>(qs.size());
    state.counters["terms_per_second"] =
        benchmark::Counter(terms * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void register_all() {
    for (const FftLanes lanes : {FftLanes::avx, FftLanes::avx512}) {
        const std::string on = std::string("/lanes:") + lanes_name(lanes);
        benchmark::RegisterBenchmark(("one_band" + on).c_str(), one_band, lanes)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        for (int n = 1; n <= 5; ++n) {
            benchmark::RegisterBenchmark(("density/orbitals:" + std::to_string(n) + on).c_str(), orbitals,
                                         lanes, n, Components::density)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        for (int n = 1; n <= 3; ++n) {
            benchmark::RegisterBenchmark(("all/orbitals:" + std::to_string(n) + on).c_str(), orbitals, lanes,
                                         n, Components::all)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
}

}  // namespace
}  // namespace lattice_bubble

int main(int argc, char** argv) {
    std::printf("The orbital direct sum against the one-band direct route, one thread.\n");
    lattice_bubble::register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
