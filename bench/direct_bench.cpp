// Times the direct route's sums alone (no process start, no table written),
// in terms a second: a term is one (k, frequency) pair of
// χ0(q, z) = (1/N)·Σ_k Δf/(z − d), so a sum at n_q wave vectors of n_z
// frequencies on Lx × Ly sites is Lx·Ly·n_z·n_q terms. Each table of
// kernels the processor runs is timed in the same run, one after another, on
// the real axis (256 × 256, 401 frequencies, 4 q) and on the Matsubara axis
// (256 × 256, 1025 frequencies, 4 q), on one thread and on every processor;
// and the sums at imaginary times (256 × 256, 129 times, 4 q), a term one
// (k, τ) pair, which use no lanes.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/complex.h"
#include "common/workers.h"
#include "fft/kernel_choice.h"
#include "model/lattice_model.h"
#include "routes/direct_route.h"

namespace lattice_bubble {
namespace {

constexpr int bench_lattice = 256;
constexpr int real_frequencies = 401;
constexpr int matsubara_frequencies = 1024;
constexpr int bench_times = 129;
const std::vector<std::pair<int, int>> bench_wave_vectors{{0, 0}, {128, 128}, {64, 0}, {17, 93}};

StudyModel bench_model(bool real) {
    // The cuprate band of the README's examples, β = 20.
    Band band{-1.0, 0.0, -0.8};
    band.hopping2 = 0.3;
    StudyModel model(bench_lattice, 20.0, band, matsubara_frequencies);
    if (real) {
        model.real_axis = RealAxis{-1.0, 9.0, real_frequencies, 0.05};
    }
    return model;
}

void direct_sum(benchmark::State& state, FftLanes lanes, bool real, int threads) {
    const FftKernels chosen = choose_fft_kernels_for_testing(lanes, true);
    if (chosen.lanes != lanes) {
        state.SkipWithError("the processor does not run these lanes");
        return;
    }
    const StudyModel model = bench_model(real);
    const DirectSum direct(model);
    std::vector<Complex> chi(bench_wave_vectors.size() * static_cast<std::size_t>(model.values()));
    const Workers workers{threads};
    for (auto _ : state) {
        direct.evaluate(bench_wave_vectors, chi, workers);
        benchmark::DoNotOptimize(chi.data());
        benchmark::ClobberMemory();
    }
    const double terms =
        static_cast<double>(model.sites()) * model.values() * static_cast<double>(bench_wave_vectors.size());
    state.counters["terms_per_second"] =
        benchmark::Counter(terms * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    choose_fft_kernels();
}

void time_sums(benchmark::State& state, int threads) {
    StudyModel model = bench_model(false);
    model.time_count = bench_times;
    const DirectSum direct(model);
    std::vector<Complex> chi(bench_wave_vectors.size() * static_cast<std::size_t>(model.values()));
    const Workers workers{threads};
    for (auto _ : state) {
        direct.evaluate(bench_wave_vectors, chi, workers);
        benchmark::DoNotOptimize(chi.data());
        benchmark::ClobberMemory();
    }
    const double terms =
        static_cast<double>(model.sites()) * model.values() * static_cast<double>(bench_wave_vectors.size());
    state.counters["terms_per_second"] =
        benchmark::Counter(terms * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void register_all() {
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (const bool real : {true, false}) {
        for (const int threads : processors > 1 ? std::vector<int>{1, processors} : std::vector<int>{1}) {
            for (const FftLanes lanes : {FftLanes::sse2, FftLanes::avx, FftLanes::avx512}) {
                const std::string name = std::string(real ? "real_axis" : "matsubara") +
                                         "/lanes:" + lanes_name(lanes) +
                                         "/threads:" + std::to_string(threads);
                benchmark::RegisterBenchmark(name.c_str(), direct_sum, lanes, real, threads)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
    for (const int threads : processors > 1 ? std::vector<int>{1, processors} : std::vector<int>{1}) {
        const std::string name = "times/threads:" + std::to_string(threads);
        benchmark::RegisterBenchmark(name.c_str(), time_sums, threads)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

}  // namespace
}  // namespace lattice_bubble

int main(int argc, char** argv) {
    std::printf("The direct route's sums, every table of kernels this processor runs.\n");
    lattice_bubble::register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
