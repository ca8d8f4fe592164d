// Times complex_fft (N = 2^2 … 2^20 points) and complex_fft_2d (8 × 8 …
// 1024 × 1024), and general_fft and general_fft_2d at smooth sizes of other
// factors and at primes, both signs, with the twiddle table or plan built
// once and reused; and,
// when FFTW 3 was found at build time, the same in-place transforms by FFTW
// with FFTW_MEASURE plans, registered right after each of ours so that one run
// lists both side by side.
//
// Each benchmark transforms the same buffer over and over, as FFTW's own
// timings do; the values grow and eventually overflow, which costs SSE2
// arithmetic nothing, and both engines get the same treatment.
//
// GFLOPS is the conventional 5·N·log2(N) per transform divided by its time.
// Every table of kernels the processor runs from AVX up (AVX, and AVX-512F
// where it has it) is timed, each case by every table and by FFTW one after
// the other, so that one run compares the narrower processors' kernels too.
// The run ends with a summary table (Markdown): each table's time and its
// ratio to FFTW per size and sign; the README's figures are pasted from it.
// --lanes=avx (or scalar, sse2, avx512) times that one table alone.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "fft/complex_fft.h"
#include "fft/complex_fft_2d.h"
#include "fft/general_fft.h"
#include "fft/kernel_choice.h"
#include "fft/work_sizes.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#if defined(LATTICE_BUBBLE_HAVE_FFTW3)
#include <fftw3.h>
#endif

namespace {

using namespace lattice_bubble;

void fill_random(double* data, std::size_t count) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (std::size_t i = 0; i < count; ++i) {
        data[i] = u(rng);
    }
}

void set_rate(benchmark::State& state, double points) {
    const double flops = 5.0 * points * std::log2(points);
    state.counters["GFLOPS"] =
        benchmark::Counter(flops * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
}

// The data start on a 64-byte boundary, as FFTW's own allocator places its
// buffers: with the 16 bytes that malloc promises, most 64-byte loads of the
// AVX-512 kernels straddle two cache lines, and this engine takes up to 1.5
// times as long (docs/performance.md).
class AlignedDoubles {
public:
    static constexpr std::align_val_t alignment{64};

    explicit AlignedDoubles(std::size_t count)
        : data_(static_cast<double*>(::operator new(count * sizeof(double), alignment))) {}
    ~AlignedDoubles() { ::operator delete(data_, alignment); }
    AlignedDoubles(const AlignedDoubles&) = delete;
    AlignedDoubles& operator=(const AlignedDoubles&) = delete;

    [[nodiscard]] double* data() const { return data_; }

private:
    double* data_;
};

void engine_1d(benchmark::State& state, FftLanes lanes, int points, int sign) {
    choose_fft_kernels_for_testing(lanes, true);
    const int n = 2 * points;
    const AlignedDoubles data(static_cast<std::size_t>(n));
    const FftWorkSizes sizes = fft_work_sizes_1d(n);
    std::vector<int> index_work(static_cast<std::size_t>(sizes.index_work_ints), 0);
    std::vector<double> twiddle(static_cast<std::size_t>(sizes.twiddle_doubles));
    fill_random(data.data(), static_cast<std::size_t>(n));
    complex_fft(n, sign, data.data(), index_work.data(), twiddle.data());  // builds the table
    for (auto _ : state) {
        complex_fft(n, sign, data.data(), index_work.data(), twiddle.data());
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
    set_rate(state, points);
}

// The rows lie one after the other in one aligned block, as the program's
// matrices do.
void engine_2d(benchmark::State& state, FftLanes lanes, int n1, int columns, int sign) {
    choose_fft_kernels_for_testing(lanes, true);
    const int n2 = 2 * columns;
    const auto count = static_cast<std::size_t>(n1) * static_cast<std::size_t>(n2);
    const AlignedDoubles block(count);
    std::vector<double*> rows(static_cast<std::size_t>(n1));
    for (int i = 0; i < n1; ++i) {
        rows[static_cast<std::size_t>(i)] =
            block.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(n2);
    }
    const FftWorkSizes sizes = fft_work_sizes_2d(n1, n2);
    std::vector<int> index_work(static_cast<std::size_t>(sizes.index_work_ints), 0);
    std::vector<double> twiddle(static_cast<std::size_t>(sizes.twiddle_doubles));
    fill_random(block.data(), count);
    complex_fft_2d(n1, n2, sign, rows.data(), index_work.data(), twiddle.data());
    for (auto _ : state) {
        complex_fft_2d(n1, n2, sign, rows.data(), index_work.data(), twiddle.data());
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    set_rate(state, static_cast<double>(n1) * columns);
}

// Sizes that are not powers of two, through general_fft and general_fft_2d.
void general_1d(benchmark::State& state, FftLanes lanes, int points, int sign) {
    choose_fft_kernels_for_testing(lanes, true);
    const AlignedDoubles data(2 * static_cast<std::size_t>(points));
    const GeneralFftWorkSizes sizes = general_fft_work_sizes(points);
    std::vector<int> index_work(sizes.ints, 0);
    std::vector<double> work(sizes.doubles);
    fill_random(data.data(), 2 * static_cast<std::size_t>(points));
    general_fft(points, sign, data.data(), index_work.data(), work.data());  // builds the plan
    for (auto _ : state) {
        general_fft(points, sign, data.data(), index_work.data(), work.data());
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
    set_rate(state, points);
}

void general_2d(benchmark::State& state, FftLanes lanes, int rows, int columns, int sign) {
    choose_fft_kernels_for_testing(lanes, true);
    const auto count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    const AlignedDoubles block(2 * count);
    std::vector<double*> row_pointers(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        row_pointers[static_cast<std::size_t>(i)] = block.data() + 2 * static_cast<std::size_t>(i) * columns;
    }
    const GeneralFftWorkSizes sizes = general_fft_work_sizes_2d(rows, columns);
    std::vector<int> index_work(sizes.ints, 0);
    std::vector<double> work(sizes.doubles);
    fill_random(block.data(), 2 * count);
    general_fft_2d(rows, columns, sign, row_pointers.data(), index_work.data(), work.data());
    for (auto _ : state) {
        general_fft_2d(rows, columns, sign, row_pointers.data(), index_work.data(), work.data());
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    set_rate(state, static_cast<double>(count));
}

#if defined(LATTICE_BUBBLE_HAVE_FFTW3)
// FFTW's sign is that of the exponent: FFTW_BACKWARD is +1, FFTW_FORWARD −1.
int fftw_direction(int sign) { return sign >= 0 ? FFTW_BACKWARD : FFTW_FORWARD; }

void run_fftw(benchmark::State& state, fftw_complex* data, fftw_plan plan, std::size_t count, double points) {
    fill_random(&data[0][0], 2 * count);  // planning with FFTW_MEASURE overwrote it
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    set_rate(state, points);
}

void fftw_1d(benchmark::State& state, int points, int sign) {
    auto* data = fftw_alloc_complex(static_cast<std::size_t>(points));
    fftw_plan plan = fftw_plan_dft_1d(points, data, data, fftw_direction(sign), FFTW_MEASURE);
    run_fftw(state, data, plan, static_cast<std::size_t>(points), points);
    fftw_destroy_plan(plan);
    fftw_free(data);
}

void fftw_2d(benchmark::State& state, int rows, int columns, int sign) {
    const auto count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    auto* data = fftw_alloc_complex(count);
    fftw_plan plan = fftw_plan_dft_2d(rows, columns, data, data, fftw_direction(sign), FFTW_MEASURE);
    run_fftw(state, data, plan, count, static_cast<double>(count));
    fftw_destroy_plan(plan);
    fftw_free(data);
}
#endif

std::string sign_name(int sign) { return sign > 0 ? "+1" : "-1"; }

// The console's usual lines, and at the end one table of both engines' times
// per size and sign with their ratio, in Markdown: with --benchmark_repetitions
// the medians, else the single runs.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that a saved run is plain text.
    SummaryReporter() : ConsoleReporter(on_terminal() ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (!single && !median)) {
                continue;
            }
            // "avx512_1d/1024/sign:-1": the engine (a table's lanes, or fftw), then the case.
            const std::string name = run.run_name.str();
            const std::size_t slash = name.find('/');
            const std::string engine = name.substr(0, slash);
            const std::size_t underscore = engine.rfind('_');
            const std::string key = engine.substr(underscore + 1) + "/" + name.substr(slash + 1);
            const double ns =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
            const std::size_t column = column_for(engine.substr(0, underscore));
            row_for(key)[column] = ns;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        // The tables from the narrowest up, then FFTW, whatever order the runs came in.
        std::vector<std::size_t> order(columns_.size());
        for (std::size_t c = 0; c < order.size(); ++c) {
            order[c] = c;
        }
        std::stable_sort(order.begin(), order.end(), [this](std::size_t x, std::size_t y) {
            return rank(columns_[x]) < rank(columns_[y]);
        });
        std::vector<std::string> columns;
        for (const std::size_t c : order) {
            columns.push_back(columns_[c]);
        }
        for (auto& [key, times] : rows_) {
            times.resize(columns_.size(), 0.0);
            std::vector<double> sorted;
            for (const std::size_t c : order) {
                sorted.push_back(times[c]);
            }
            times = sorted;
        }
        columns_ = columns;
        // 1-D before 2-D, by size, sign +1 before −1, whatever order the runs
        // came in (--benchmark_enable_random_interleaving shuffles them).
        std::stable_sort(rows_.begin(), rows_.end(),
                         [](const auto& x, const auto& y) { return order_of(x.first) < order_of(y.first); });
        const auto fftw = std::find(columns_.begin(), columns_.end(), "fftw");
        const std::size_t fftw_column = static_cast<std::size_t>(fftw - columns_.begin());
        std::FILE* out = stdout;
        std::fprintf(out, "\nSummary (real time per transform; ratio = this engine's table / FFTW):\n\n");
        std::fprintf(out, "| transform | size | sign |");
        for (const std::string& column : columns_) {
            std::fprintf(out, " %s (ns) |", column == "fftw" ? "FFTW" : column.c_str());
        }
        for (const std::string& column : columns_) {
            if (column != "fftw" && fftw != columns_.end()) {
                std::fprintf(out, " ratio %s |", column.c_str());
            }
        }
        std::fprintf(out, "\n|---|---|---|");
        for (std::size_t c = 0; c < columns_.size() + (fftw != columns_.end() ? columns_.size() - 1 : 0);
             ++c) {
            std::fprintf(out, "---|");
        }
        std::fprintf(out, "\n");
        for (auto& [key, times] : rows_) {
            times.resize(columns_.size(), 0.0);
            // key: "1d/1024/sign:-1"
            const std::size_t first = key.find('/');
            const std::size_t second = key.find('/', first + 1);
            std::fprintf(out, "| %s | %s | %s |", key.substr(0, first).c_str(),
                         key.substr(first + 1, second - first - 1).c_str(),
                         key.substr(key.find(':') + 1).c_str());
            for (const double ns : times) {
                std::fprintf(out, " %s |", ns > 0.0 ? nanoseconds(ns).c_str() : "–");
            }
            for (std::size_t c = 0; c < columns_.size() && fftw != columns_.end(); ++c) {
                if (c == fftw_column) {
                    continue;
                }
                if (times[c] > 0.0 && times[fftw_column] > 0.0) {
                    std::fprintf(out, " %.2f |", times[c] / times[fftw_column]);
                } else {
                    std::fprintf(out, " – |");
                }
            }
            std::fprintf(out, "\n");
        }
        std::fflush(out);
    }

private:
    // "1d/1024/sign:-1" → (1, 1024, 1); "2d/64x64/sign:+1" → (2, 64, 0).
    static std::tuple<int, long, int> order_of(const std::string& key) {
        const int dimension = key[0] - '0';
        const long size = std::stol(key.substr(key.find('/') + 1));
        return {dimension, size, key.ends_with("-1") ? 1 : 0};
    }

    static bool on_terminal() {
#if defined(_WIN32)
        return _isatty(_fileno(stdout)) != 0;
#else
        return isatty(fileno(stdout)) != 0;
#endif
    }

    // Three significant digits at least, without an exponent.
    static std::string nanoseconds(double ns) {
        char text[32];
        std::snprintf(text, sizeof text, ns < 100.0 ? "%.1f" : "%.0f", ns);
        return text;
    }

    // A case's times, one per column in the order the columns first came.
    std::vector<double>& row_for(const std::string& key) {
        for (auto& [k, times] : rows_) {
            if (k == key) {
                times.resize(columns_.size() + 1, 0.0);
                return times;
            }
        }
        return rows_.emplace_back(key, std::vector<double>(columns_.size() + 1, 0.0)).second;
    }

    static int rank(const std::string& engine) {
        for (const FftLanes lanes : {FftLanes::scalar, FftLanes::sse2, FftLanes::avx, FftLanes::avx512}) {
            if (engine == lanes_name(lanes)) {
                return static_cast<int>(lanes);
            }
        }
        return 100;  // fftw
    }

    std::size_t column_for(const std::string& engine) {
        const auto found = std::find(columns_.begin(), columns_.end(), engine);
        if (found != columns_.end()) {
            return static_cast<std::size_t>(found - columns_.begin());
        }
        columns_.push_back(engine);
        for (auto& [k, times] : rows_) {
            times.resize(columns_.size(), 0.0);
        }
        return columns_.size() - 1;
    }

    std::vector<std::string> columns_;
    std::vector<std::pair<std::string, std::vector<double>>> rows_;
};

// Each case by every table, then by FFTW.
void register_all(const std::vector<FftLanes>& tables) {
    const auto each = [&](const std::string& dimension, const std::string& size, auto engine, auto fftw,
                          auto... arguments) {
        for (const FftLanes lanes : tables) {
            benchmark::RegisterBenchmark(
                (std::string(lanes_name(lanes)) + "_" + dimension + "/" + size).c_str(), engine, lanes,
                arguments...);
        }
#if defined(LATTICE_BUBBLE_HAVE_FFTW3)
        benchmark::RegisterBenchmark(("fftw_" + dimension + "/" + size).c_str(), fftw, arguments...);
#else
        static_cast<void>(fftw);
#endif
    };
#if defined(LATTICE_BUBBLE_HAVE_FFTW3)
    const auto fftw_one = fftw_1d;
    const auto fftw_two = fftw_2d;
#else
    const auto fftw_one = nullptr;
    const auto fftw_two = nullptr;
#endif
    for (int log2n = 2; log2n <= 20; ++log2n) {
        const int points = 1 << log2n;
        for (const int sign : {1, -1}) {
            each("1d", std::to_string(points) + "/sign:" + sign_name(sign), engine_1d, fftw_one, points,
                 sign);
        }
    }
    for (int side = 8; side <= 1024; side *= 2) {
        for (const int sign : {1, -1}) {
            const std::string size =
                std::to_string(side) + "x" + std::to_string(side) + "/sign:" + sign_name(sign);
            each("2d", size, engine_2d, fftw_two, side, side, sign);
        }
    }
    // Smooth sizes of other factors, and primes.
    for (const int points : {12, 24, 48, 96, 100, 384, 1000, 1536, 3000, 6144, 3 << 15, 97, 1009, 4093}) {
        for (const int sign : {1, -1}) {
            each("1d", std::to_string(points) + "/sign:" + sign_name(sign), general_1d, fftw_one, points,
                 sign);
        }
    }
    for (const auto& [rows, columns] : {std::pair{12, 12},
                                        {24, 24},
                                        {48, 48},
                                        {96, 96},
                                        {100, 100},
                                        {240, 240},
                                        {384, 384},
                                        {768, 768},
                                        {64, 48},
                                        {256, 96},
                                        {97, 97}}) {
        for (const int sign : {1, -1}) {
            const std::string size =
                std::to_string(rows) + "x" + std::to_string(columns) + "/sign:" + sign_name(sign);
            each("2d", size, general_2d, fftw_two, rows, columns, sign);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
#if defined(LATTICE_BUBBLE_HAVE_FFTW3)
    std::printf("FFTW %s is timed beside this engine.\n", fftw_version);
#else
    std::printf("FFTW 3 was not found at build time: only this engine is timed.\n");
#endif
    // The tables from AVX up that this processor runs, or the one --lanes=
    // names (scalar, sse2, avx or avx512).
    std::vector<FftLanes> tables;
    for (const FftLanes lanes : {FftLanes::avx, FftLanes::avx512}) {
        if (choose_fft_kernels_for_testing(lanes, true).lanes == lanes) {
            tables.push_back(lanes);
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        for (const FftLanes lanes : {FftLanes::scalar, FftLanes::sse2, FftLanes::avx, FftLanes::avx512}) {
            if (argument == std::string("--lanes=") + lanes_name(lanes)) {
                tables = {choose_fft_kernels_for_testing(lanes, true).lanes};
                std::copy(argv + i + 1, argv + argc, argv + i);
                --argc;
            }
        }
    }
    if (tables.empty()) {
        tables = {choose_fft_kernels().lanes};
    }
    std::printf("This engine runs the tables of");
    for (const FftLanes lanes : tables) {
        std::printf(" %s", lanes_name(lanes));
    }
    std::printf(" lanes, fused kernels on (docs/fft_engine.md).\n");
    register_all(tables);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
