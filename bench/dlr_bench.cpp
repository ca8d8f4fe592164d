// Times the dlr route's two steps apart:
//   DlrBasis/Λ/ε      building the representation (no cache), at a few Λ and ε;
//   DlrProduct/L/T    the route at β = 1000, m ≤ 64, one q, on an L × L lattice
//                     and T threads, with its basis already in the process's
//                     cache: G at the nodes, the lattice transforms, the
//                     products, the fit and the sum over frequencies;
//   SharedBasis/Λ     the process's first and second request of one basis
//                     (counters first_s, second_s and their ratio), the
//                     first after four others have pushed it out of the cache.
// The module's call at those sizes is about the basis (first call) or the
// cached lookup (later calls) plus DlrProduct.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "fft/kernel_choice.h"
#include "routes/dlr_route.h"
#include "transforms/dlr_basis.h"

namespace {

using namespace lattice_bubble;

constexpr double cold_beta = 1000.0;
constexpr int bench_frequencies = 64;

void dlr_basis(benchmark::State& state) {
    const auto lambda = static_cast<double>(state.range(0));
    const double epsilon = std::pow(10.0, -static_cast<double>(state.range(1)));
    int rank = 0;
    for (auto _ : state) {
        const DlrBasis basis(lambda, epsilon);
        rank = basis.rank();
        benchmark::DoNotOptimize(rank);
    }
    state.counters["rank"] = rank;
}
BENCHMARK(dlr_basis)
    ->Name("DlrBasis")
    ->ArgsProduct({{100, 8000, 100000, 100000000}, {6, 10, 14}})
    ->Unit(benchmark::kMillisecond);

void dlr_product(benchmark::State& state) {
    StudyModel model(static_cast<int>(state.range(0)), cold_beta, default_band, bench_frequencies);
    const Workers workers{static_cast<int>(state.range(1))};
    const auto kept = shared_dlr_basis(DlrRoute::lambda(model), model.tolerance);
    const WaveVector q{model.lattice_x / 2, model.lattice_y / 3};
    std::vector<Complex> chi(static_cast<std::size_t>(model.bosons()));
    std::vector<double> scratch(2 * static_cast<std::size_t>(kept->rank()));
    for (auto _ : state) {
        const DlrRoute route(model, workers);
        route.evaluate(q, chi, scratch);
        benchmark::DoNotOptimize(chi.data());
    }
    state.counters["rank"] = kept->rank();
}
BENCHMARK(dlr_product)
    ->Name("DlrProduct")
    ->ArgsProduct({{8, 64, 256}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void shared_basis(benchmark::State& state) {
    const auto lambda = static_cast<double>(state.range(0));
    constexpr double epsilon = 1e-10;
    double first = 0.0;
    double second = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const double other : {2.0, 3.0, 4.0, 5.0}) {
            benchmark::DoNotOptimize(shared_dlr_basis(other, epsilon));
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(shared_dlr_basis(lambda, epsilon));
        const auto middle = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(shared_dlr_basis(lambda, epsilon));
        const auto end = std::chrono::steady_clock::now();
        first += std::chrono::duration<double>(middle - start).count();
        second += std::chrono::duration<double>(end - middle).count();
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["first_s"] = first / runs;
    state.counters["second_s"] = second / runs;
    state.counters["second/first"] = second / first;
}
BENCHMARK(shared_basis)->Name("SharedBasis")->Arg(8000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    choose_fft_kernels();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
