// The entry of the FFT for every size: the size checks, the plan in the
// caller's work arrays, Bluestein's chirp, and the order of the 2-D passes.
// The passes themselves run in the chosen table of kernels.

#include "fft/general_fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <type_traits>

#include "common/failure.h"
#include "fft/complex_fft.h"
#include "fft/complex_fft_2d.h"
#include "fft/engine/kernel_table.h"
#include "fft/work_sizes.h"

namespace lattice_bubble {
namespace {

using fft_engine::largest_pass_count;
using fft_engine::largest_pass_radix;
using fft_engine::MixedPlan;

enum class Kind { power_of_two, mixed, split, chirp };

// A power-of-two part at least this long goes to the power-of-two kernels.
constexpr int least_split_block = 16;

constexpr bool is_power_of_two(long n) { return n > 0 && (n & (n - 1)) == 0; }

// Columns transformed side by side in the 2-D transform's blocks.
constexpr int block_columns = 16;

// Where a 1-D plan of `points` values keeps its parts. Its kinds:
// - power_of_two: complex_fft itself;
// - mixed: passes of every radix (the odd primes, the 4s, a 2);
// - split, N = r·P with P = 2^a ≥ 16 and r odd: the passes of r's primes, which
//   leave r blocks of P values, block s the transform that gives X[s + r·q]
//   (engine/mixed_radix.h); each block by complex_fft; then X in natural
//   order through the scratch;
// - chirp: Bluestein's, for a prime factor above 13. index_work[0] holds
// −points of the size the plan was built for (0: none; negative, so that it
// is never the table length that complex_fft_2d keeps in the same place);
// the layout itself follows it, then the power-of-two engine's own
// index_work (for a power of two, the split's blocks or the chirp's
// convolution).
struct Layout {
    Kind kind = Kind::power_of_two;
    int passes = 0;
    int radix[largest_pass_count] = {};
    long convolution = 0;  // the chirp's M
    int block = 0;         // split: P
    std::size_t engine_ints = 0;
    std::size_t ints = 0;
    // In doubles: the passes' twiddles and an odd radix's trig values, the scratch;
    // or the engine's twiddle table, the chirp, its kernel and the buffer.
    std::size_t twiddle_at = 0, trig_at = 0, scratch_at = 0;
    std::size_t chirp_at = 0, kernel_at = 0, buffer_at = 0;
    std::size_t doubles = 0;
};

// The radices of a size, in the order of the passes: the odd primes up to 13
// from the largest, so that their heavier butterflies run where the passes
// are long and contiguous, then every 4, then a 2. Nothing left means the
// passes serve.
int factor(int points, int (&radix)[largest_pass_count]) {
    int passes = 0;
    int rest = points;
    for (const int p : {13, 11, 7, 5, 3, 4, 2}) {  // after the 4s, at most one 2 is left
        for (; rest % p == 0; rest /= p) {
            radix[passes++] = p;
        }
    }
    return rest == 1 ? passes : -1;
}

// A built plan keeps its layout in index_work, so that a call of the same
// size reads it instead of factoring the size again (a third of a small
// transform's time).
static_assert(std::is_trivially_copyable_v<Layout>);
constexpr std::size_t stored_layout_ints = (sizeof(Layout) + sizeof(int) - 1) / sizeof(int);

int* engine_ints_of(int* index_work) { return index_work + 1 + stored_layout_ints; }

// With may_split false (transforms run side by side), every size but a
// chirp's takes passes of every radix, powers of two too.
Layout layout_of(int points, bool may_split = true) {
    Layout layout;
    if (is_power_of_two(points) && (may_split || points == 1)) {
        const FftWorkSizes engine = fft_work_sizes_1d(2 * points);
        layout.engine_ints = static_cast<std::size_t>(engine.index_work_ints);
        layout.ints = 1 + stored_layout_ints + layout.engine_ints;
        layout.doubles = static_cast<std::size_t>(std::max(engine.twiddle_doubles, 1));
        return layout;
    }
    layout.passes = factor(points, layout.radix);
    const int block = points & -points;  // the power-of-two part
    if (layout.passes > 0 && may_split && block >= least_split_block) {
        layout.kind = Kind::split;
        layout.block = block;
        layout.passes = factor(points / block, layout.radix);
    }
    if (layout.passes > 0) {
        layout.kind = layout.kind == Kind::split ? Kind::split : Kind::mixed;
        const FftWorkSizes engine = fft_work_sizes_1d(2 * layout.block);
        layout.engine_ints = layout.block > 0 ? static_cast<std::size_t>(engine.index_work_ints) : 0;
        layout.ints = 1 + stored_layout_ints + layout.engine_ints;
        std::size_t twiddles = 0;
        std::size_t trig = 0;
        long l1 = 1;
        for (int p = 0; p < layout.passes; ++p) {
            const int radix = layout.radix[p];
            const long ido = points / (l1 * radix);
            twiddles += 2 * static_cast<std::size_t>(radix - 1) * static_cast<std::size_t>(ido);
            trig += radix % 2 == 1 ? 2 * static_cast<std::size_t>(radix) : 0;
            l1 *= radix;
        }
        layout.trig_at = twiddles;
        layout.scratch_at = twiddles + trig;
        layout.chirp_at = layout.scratch_at + 2 * static_cast<std::size_t>(points);  // split: the table of P
        layout.doubles =
            layout.chirp_at + (layout.block > 0 ? static_cast<std::size_t>(engine.twiddle_doubles) : 0);
        return layout;
    }
    layout.kind = Kind::chirp;
    layout.convolution = 1;
    while (layout.convolution < 2L * points - 1) {
        layout.convolution *= 2;
    }
    const FftWorkSizes engine = fft_work_sizes_1d(static_cast<int>(2 * layout.convolution));
    layout.engine_ints = static_cast<std::size_t>(engine.index_work_ints);
    layout.ints = 1 + stored_layout_ints + layout.engine_ints;
    layout.chirp_at = static_cast<std::size_t>(engine.twiddle_doubles);
    layout.kernel_at = layout.chirp_at + 2 * static_cast<std::size_t>(points);
    layout.buffer_at = layout.kernel_at + 2 * static_cast<std::size_t>(layout.convolution);
    layout.doubles = layout.buffer_at + 2 * static_cast<std::size_t>(layout.convolution);
    return layout;
}

// e^{+2πi·t/n} rounded from long double.
void unit_root(long t, long n, double* out) {
    const long double angle = 2.0L * std::numbers::pi_v<long double> * static_cast<long double>(t) / n;
    out[0] = static_cast<double>(std::cos(angle));
    out[1] = static_cast<double>(std::sin(angle));
}

// visit(radix, l1, ido, twiddle, trig) for every pass, with its parts of the work array.
template <typename Visit>
void for_each_pass(int points, const Layout& layout, double* work, Visit visit) {
    double* twiddle = work;
    double* trig = work + layout.trig_at;
    long l1 = 1;
    for (int p = 0; p < layout.passes; ++p) {
        const int radix = layout.radix[p];
        const int ido = static_cast<int>(points / (l1 * radix));
        visit(radix, static_cast<int>(l1), ido, twiddle, radix % 2 == 1 ? trig : nullptr);
        twiddle += 2 * static_cast<std::size_t>(radix - 1) * static_cast<std::size_t>(ido);
        trig += radix % 2 == 1 ? 2 * radix : 0;
        l1 *= radix;
    }
}

MixedPlan mixed_plan(int points, const Layout& layout, double* work) {
    MixedPlan plan;  // the passes used are written below; the rest is never read
    plan.points = points;
    plan.passes = layout.passes;
    int p = 0;
    for_each_pass(points, layout, work, [&](int radix, int l1, int ido, double* twiddle, double* trig) {
        plan.pass[p++] = {radix, l1, ido, twiddle, trig};
    });
    return plan;
}

void build_mixed(int points, const Layout& layout, double* work) {
    for_each_pass(points, layout, work, [&](int radix, int l1, int ido, double* twiddle, double* trig) {
        for (int m = 1; m < radix; ++m) {
            for (int i = 0; i < ido; ++i) {
                unit_root(static_cast<long>(m) * i * l1 % points, points, twiddle + 2 * ((m - 1) * ido + i));
            }
        }
        for (int k = 0; trig != nullptr && k < radix; ++k) {
            unit_root(k, radix, trig + 2 * k);
        }
    });
}

// (a.re·b.re − a.im·b.im, a.re·b.im + a.im·b.re), as Complex multiplies.
void multiply(const double* a, const double* b, double* out) {
    const double re = a[0] * b[0] - a[1] * b[1];
    const double im = a[0] * b[1] + a[1] * b[0];
    out[0] = re;
    out[1] = im;
}

// The chirp c_j = e^{+iπ·(j² mod 2N)/N} and the kernel: conj(c_m) at m and at
// M − m, its transform with the negative sign, times 1/M.
void build_chirp(int points, const Layout& layout, int* engine_ints, double* work) {
    double* chirp = work + layout.chirp_at;
    double* kernel = work + layout.kernel_at;
    const long m_points = layout.convolution;
    for (long j = 0; j < points; ++j) {
        unit_root(j * j % (2L * points), 2L * points, chirp + 2 * j);
    }
    std::fill(kernel, kernel + 2 * m_points, 0.0);
    for (long m = 0; m < points; ++m) {
        kernel[2 * m] = chirp[2 * m];
        kernel[2 * m + 1] = -chirp[2 * m + 1];
        if (m > 0) {
            kernel[2 * (m_points - m)] = kernel[2 * m];
            kernel[2 * (m_points - m) + 1] = kernel[2 * m + 1];
        }
    }
    engine_ints[0] = 0;
    complex_fft(static_cast<int>(2 * m_points), -1, kernel, engine_ints, work);
    const double scale = 1.0 / static_cast<double>(m_points);
    for (long v = 0; v < 2 * m_points; ++v) {
        kernel[v] = kernel[v] * scale;
    }
}

// The positive transform by the chirp; the negative one conjugates before and after.
void chirp_transform(int points, int sign, double* a, const Layout& layout, int* engine_ints, double* work) {
    const double* chirp = work + layout.chirp_at;
    const double* kernel = work + layout.kernel_at;
    double* buffer = work + layout.buffer_at;
    const long m_points = layout.convolution;
    const double flip = sign < 0 ? -1.0 : 1.0;
    for (long j = 0; j < points; ++j) {
        const double x[2] = {a[2 * j], flip * a[2 * j + 1]};
        multiply(x, chirp + 2 * j, buffer + 2 * j);
    }
    std::fill(buffer + 2 * points, buffer + 2 * m_points, 0.0);
    complex_fft(static_cast<int>(2 * m_points), -1, buffer, engine_ints, work);
    for (long k = 0; k < m_points; ++k) {
        multiply(buffer + 2 * k, kernel + 2 * k, buffer + 2 * k);
    }
    complex_fft(static_cast<int>(2 * m_points), +1, buffer, engine_ints, work);
    for (long k = 0; k < points; ++k) {
        multiply(buffer + 2 * k, chirp + 2 * k, a + 2 * k);
        a[2 * k + 1] = flip * a[2 * k + 1];
    }
}

[[noreturn]] void refuse_size(const char* function, const std::string& what) {
    throw Failure(std::string(function) + ": " + what + " is not a size the engine takes (1 to " +
                  std::to_string(largest_general_points) + " values)");
}

void check_points(const char* function, long points) {
    if (points < 1 || points > largest_general_points) {
        refuse_size(function, std::to_string(points) + " values");
    }
}

// The plan of `layout` at (index_work, work), built there when it was built
// for another size.
void prepare(int points, const Layout& layout, int* index_work, double* work) {
    int* engine_ints = engine_ints_of(index_work);
    if (index_work[0] != -points) {
        if (layout.kind == Kind::power_of_two) {
            engine_ints[0] = 0;
        } else if (layout.kind == Kind::mixed || layout.kind == Kind::split) {
            build_mixed(points, layout, work);
            if (layout.engine_ints > 0) {  // the split's power-of-two part; mixed radix alone has none
                engine_ints[0] = 0;
            }
        } else {
            build_chirp(points, layout, engine_ints, work);
        }
        index_work[0] = -points;
        std::memcpy(index_work + 1, &layout, sizeof layout);
    }
}

// The layout of the plan at index_work when it is built for `points`, else
// the size's own.
Layout layout_at(int points, const int* index_work, bool may_split = true) {
    if (index_work[0] != -points) {
        return layout_of(points, may_split);
    }
    Layout layout;
    std::memcpy(static_cast<void*>(&layout), index_work + 1, sizeof layout);
    return layout;
}

// A 1-D transform by a prepared plan; `passes`, when given, its passes
// (mixed_plan), so that the rows of a 2-D transform gather them once.
void run_1d(int points, int sign, double* a, const Layout& layout, int* index_work, double* work,
            const MixedPlan* passes = nullptr) {
    int* engine_ints = engine_ints_of(index_work);
    if (layout.kind == Kind::power_of_two) {
        complex_fft(2 * points, sign, a, engine_ints, work);
    } else if (layout.kind == Kind::chirp) {
        chirp_transform(points, sign, a, layout, engine_ints, work);
    } else {
        const fft_engine::KernelTable& table = fft_engine::chosen_table();
        double* scratch = work + layout.scratch_at;
        const auto run = sign >= 0 ? table.positive_mixed : table.negative_mixed;
        double* result = passes != nullptr ? run(*passes, a, scratch, 1)
                                           : run(mixed_plan(points, layout, work), a, scratch, 1);
        if (layout.kind == Kind::split) {
            const int block = layout.block;
            const int blocks = points / block;
            for (int b = 0; b < blocks; ++b) {
                complex_fft(2 * block, sign, result + 2 * static_cast<std::size_t>(b) * block, engine_ints,
                            work + layout.chirp_at);
            }
            // X[b + blocks·q] = block b's value q, written in order.
            double* other = result == a ? scratch : a;
            for (int q = 0; q < block; ++q) {
                for (int b = 0; b < blocks; ++b) {
                    std::copy_n(result + 2 * (static_cast<std::size_t>(b) * block + q), 2,
                                other + 2 * (static_cast<std::size_t>(q) * blocks + b));
                }
            }
            result = other;
        }
        if (result != a) {
            std::copy_n(result, 2 * static_cast<std::size_t>(points), a);
        }
    }
}

void transform_1d(int points, int sign, double* a, int* index_work, double* work) {
    const Layout layout = layout_at(points, index_work);
    prepare(points, layout, index_work, work);
    run_1d(points, sign, a, layout, index_work, work);
}

// The 2-D work arrays: the plan of the rows' transforms (columns values each),
// then that of the columns' (rows values each), then a block of columns and
// its scratch. A row is transformed as general_fft transforms it; the
// columns run 16 side by side through the passes of every radix (never
// split), or, with a prime factor above 13, one at a time by the chirp.
struct Layout2d {
    Layout along_rows;
    Layout along_columns;
    std::size_t columns_ints_at = 0;
    std::size_t columns_doubles_at = 0;
    std::size_t blocks_at = 0;
    std::size_t ints = 0;
    std::size_t doubles = 0;
};

// With index_work, the layouts of the plans it holds when both are built for
// this size (neither is read otherwise: the columns' plan lies where the
// rows' layout puts it).
Layout2d layout_2d(int rows, int columns, const int* index_work = nullptr) {
    if (is_power_of_two(rows) && is_power_of_two(columns)) {  // complex_fft_2d's own arrays
        const FftWorkSizes engine = fft_work_sizes_2d(rows, 2 * columns);
        Layout2d layout;
        layout.ints = static_cast<std::size_t>(engine.index_work_ints);
        layout.doubles = static_cast<std::size_t>(std::max(engine.twiddle_doubles, 1));
        return layout;
    }
    Layout2d layout;
    bool stored = false;
    if (index_work != nullptr && index_work[0] == -columns) {
        layout.along_rows = layout_at(columns, index_work);
        const int* columns_ints = index_work + layout.along_rows.ints;
        stored = columns_ints[0] == -rows;
        if (stored) {
            layout.along_columns = layout_at(rows, columns_ints, false);
        }
    }
    if (!stored) {
        layout.along_rows = layout_of(columns);
        layout.along_columns = layout_of(rows, false);
    }
    layout.columns_ints_at = layout.along_rows.ints;
    layout.columns_doubles_at = layout.along_rows.doubles;
    layout.blocks_at = layout.columns_doubles_at + layout.along_columns.doubles;
    layout.ints = layout.columns_ints_at + layout.along_columns.ints;
    layout.doubles = layout.blocks_at + 2 * 2 * static_cast<std::size_t>(rows) * block_columns;
    return layout;
}

}  // namespace

GeneralFftWorkSizes general_fft_work_sizes(int points) {
    check_points("general_fft_work_sizes", points);
    const Layout layout = layout_of(points);
    return {layout.ints, layout.doubles};
}

GeneralFftWorkSizes general_fft_work_sizes_2d(int rows, int columns) {
    check_points("general_fft_work_sizes_2d", rows);
    check_points("general_fft_work_sizes_2d", columns);
    const Layout2d layout = layout_2d(rows, columns);
    return {layout.ints, layout.doubles};
}

void general_fft(int points, int sign, double* a, int* index_work, double* work) {
    check_points("general_fft", points);
    transform_1d(points, sign, a, index_work, work);
}

void general_fft_2d(int rows, int columns, int sign, double** row_pointers, int* index_work, double* work) {
    check_points("general_fft_2d", rows);
    check_points("general_fft_2d", columns);
    if (is_power_of_two(rows) && is_power_of_two(columns)) {
        complex_fft_2d(rows, 2 * columns, sign, row_pointers, index_work, work);
        return;
    }
    const Layout2d layout = layout_2d(rows, columns, index_work);
    int* columns_ints = index_work + layout.columns_ints_at;
    double* columns_work = work + layout.columns_doubles_at;
    if (index_work[0] != -columns || columns_ints[0] != -rows) {
        index_work[0] = 0;  // both plans anew: the first call of each builds it
        columns_ints[0] = 0;
    }
    prepare(columns, layout.along_rows, index_work, work);
    const bool row_passes_made =
        layout.along_rows.kind == Kind::mixed || layout.along_rows.kind == Kind::split;
    const MixedPlan row_plan = row_passes_made ? mixed_plan(columns, layout.along_rows, work) : MixedPlan{};
    const MixedPlan* const row_passes = row_passes_made ? &row_plan : nullptr;
    for (int r = 0; r < rows; ++r) {
        run_1d(columns, sign, row_pointers[r], layout.along_rows, index_work, work, row_passes);
    }
    prepare(rows, layout.along_columns, columns_ints, columns_work);
    const fft_engine::KernelTable& table = fft_engine::chosen_table();
    const MixedPlan plan = layout.along_columns.kind == Kind::mixed
                               ? mixed_plan(rows, layout.along_columns, columns_work)
                               : MixedPlan{};
    double* block = work + layout.blocks_at;
    double* scratch = block + 2 * static_cast<std::size_t>(rows) * block_columns;
    for (int first = 0; first < columns; first += block_columns) {
        const int width = std::min(block_columns, columns - first);
        for (int r = 0; r < rows; ++r) {
            std::copy_n(row_pointers[r] + 2 * first, 2 * width,
                        block + 2 * static_cast<std::size_t>(r) * width);
        }
        double* result = block;
        if (layout.along_columns.kind == Kind::mixed) {
            result = (sign >= 0 ? table.positive_mixed : table.negative_mixed)(plan, block, scratch, width);
        } else {
            for (int c = 0; c < width; ++c) {  // one column at a time, through the scratch
                for (int r = 0; r < rows; ++r) {
                    std::copy_n(block + 2 * (static_cast<std::size_t>(r) * width + c), 2, scratch + 2 * r);
                }
                run_1d(rows, sign, scratch, layout.along_columns, columns_ints, columns_work);
                for (int r = 0; r < rows; ++r) {
                    std::copy_n(scratch + 2 * r, 2, block + 2 * (static_cast<std::size_t>(r) * width + c));
                }
            }
        }
        for (int r = 0; r < rows; ++r) {
            std::copy_n(result + 2 * static_cast<std::size_t>(r) * width, 2 * width,
                        row_pointers[r] + 2 * first);
        }
    }
}

}  // namespace lattice_bubble
