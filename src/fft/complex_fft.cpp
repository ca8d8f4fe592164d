// Radix-4 decimation in time: bit-reversed input, radix-4 stages of growing
// span with twiddles from the bit-reversed table, and a last radix-4 or radix-2
// stage without twiddles. The negative exponent conjugates the data while
// permuting it, runs the same stages, and conjugates again in its last stage,
// since conj(Σ conj(x_j)·w^jk) = Σ x_j·w^−jk.

#include "fft/complex_fft.h"

#include "fft/detail/avx_stages.h"
#include "fft/detail/permute.h"
#include "fft/detail/stages.h"
#include "fft/twiddle.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace {

// Puts a into bit-reversed order and conjugates every value, each exactly once.
// Called with n ≥ 8.
void bit_reverse_permute_conj(int n, int* scratch, double* a) {
    using fft_detail::cross_conj;
    using fft_detail::negate_imag;
    int l = n;
    const int m = fft_detail::reversal_offsets(scratch, l, 3);
    const int m2 = 2 * m;
    if (n >= fft_detail::tiled_reversal_doubles) {
        fft_detail::tiled_bit_reverse<true>(n, a);
    } else if ((m << 3) == l) {
        for (int k = 0; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                int p = 2 * j + scratch[k];
                int q = 2 * k + scratch[j];
                cross_conj(a, p, q);
                p += m2;
                q += 2 * m2;
                cross_conj(a, p, q);
                p += m2;
                q -= m2;
                cross_conj(a, p, q);
                p += m2;
                q += 2 * m2;
                cross_conj(a, p, q);
            }
            int q = 2 * k + scratch[k];
            negate_imag(a, q);
            const int p = q + m2;
            q = p + m2;
            cross_conj(a, p, q);
            q += m2;
            negate_imag(a, q);
        }
    } else {
        negate_imag(a, 0);
        negate_imag(a, m2);
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                const int p = 2 * j + scratch[k];
                const int q = 2 * k + scratch[j];
                cross_conj(a, p, q);
                cross_conj(a, p + m2, q + m2);
            }
            const int q = 2 * k + scratch[k];
            negate_imag(a, q);
            negate_imag(a, q + m2);
        }
    }
}

// AVX runs two butterflies per instruction, so its stages need spans of at
// least two complex values (4 doubles); AVX-512 runs four (8 doubles).
inline constexpr int avx_min_span = 4;
inline constexpr int avx512_min_span = 8;

// One twiddled stage of span l over the doubles [begin, end), multiples of 8l.
// The first stage (l = 2) has one butterfly per block.
void fft_stage(int begin, int end, int l, double* a, const double* twiddle) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX)
    if (fft_detail::avx_available()) {
        if (l == 2) {
            if (begin == 0) {
                fft_detail::first_stage_leading_blocks(a, twiddle);
            }
            fft_avx::first_stage_twiddled_blocks(begin, end, a, twiddle);
        } else {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
            if (fft_detail::avx512_available()) {
                fft_avx512::radix4_stage(begin, end, l, a, twiddle);
                return;
            }
#endif
            fft_avx::radix4_stage(begin, end, l, a, twiddle);
        }
        return;
    }
#endif
    fft_detail::radix4_stage(begin, end, l, a, twiddle);
}

// The twiddled stages run depth first: a stage's butterflies in one range of
// 8l doubles need only the earlier stages' results in that range, so every
// chunk of the array that fits the first-level cache goes through all the
// stages that stay inside it before the next chunk is touched, and the same
// again for chunks that fit the second level. Only the stages of the widest
// spans pass over the whole array.
inline constexpr int near_chunk_doubles = 4096;  // 32 KiB
inline constexpr int far_chunk_doubles = 65536;  // 512 KiB

// Runs the stages from span l on while 4l < n and 8l ≤ size, over every chunk
// of `size` doubles in [begin, end); returns the first span not run.
int stages_by_chunk(int n, int begin, int end, int size, int l, double* a, const double* twiddle) {
    int next = l;
    for (int chunk = begin; chunk < end; chunk += size) {
        next = l;
        while ((next << 2) < n && (next << 3) <= size) {
            fft_stage(chunk, chunk + size, next, a, twiddle);
            next <<= 2;
        }
    }
    return next;
}

// Runs the twiddled stages from span `first` on (2, or 8 where the first stage
// ran with the bit reversal) and returns the span l of the last, untwiddled one.
int fft_twiddled_stages(int n, double* a, const double* twiddle, int first) {
    if (n <= 8) {
        return 2;
    }
    const int far = n < far_chunk_doubles ? n : far_chunk_doubles;
    const int near = far < near_chunk_doubles ? far : near_chunk_doubles;
    int l = first;
    for (int chunk = 0; chunk < n; chunk += far) {
        const int after_near = stages_by_chunk(n, chunk, chunk + far, near, first, a, twiddle);
        l = stages_by_chunk(n, chunk, chunk + far, far, after_near, a, twiddle);
    }
    return stages_by_chunk(n, 0, n, n, l, a, twiddle);
}

using FinalStage = void (*)(int, int, double*);

// The last stage in the widest lanes that the processor has and the span
// allows; `avx512` and `avx` are null where the build carries no such code.
struct FinalStages {
    FinalStage avx512;
    FinalStage avx;
    FinalStage portable;
};

// The twiddled stages, then the last stage.
void run_pass(int n, double* a, const double* twiddle, const FinalStages& final, int first) {
    const int l = fft_twiddled_stages(n, a, twiddle, first);
    if (final.avx512 != nullptr && l >= avx512_min_span && fft_detail::avx512_available()) {
        final.avx512(n, l, a);
    } else if (final.avx != nullptr && l >= avx_min_span && fft_detail::avx_available()) {
        final.avx(n, l, a);
    } else {
        final.portable(n, l, a);
    }
}

#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX)
#define LATTICE_BUBBLE_FFT_AVX_STAGE(name) (&fft_avx::name)
#else
#define LATTICE_BUBBLE_FFT_AVX_STAGE(name) nullptr
#endif
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
#define LATTICE_BUBBLE_FFT_AVX512_STAGE(name) (&fft_avx512::name)
#else
#define LATTICE_BUBBLE_FFT_AVX512_STAGE(name) nullptr
#endif

// The stages from span `first` on.
void fft_forward_pass(int n, double* a, const double* twiddle, int first = 2) {
    run_pass(n, a, twiddle,
             {LATTICE_BUBBLE_FFT_AVX512_STAGE(final_stage_forward), LATTICE_BUBBLE_FFT_AVX_STAGE(final_stage_forward),
              fft_detail::final_stage_forward},
             first);
}

// The same stages; the last one conjugates its inputs and its results.
void fft_backward_pass(int n, double* a, const double* twiddle, int first = 2) {
    run_pass(n, a, twiddle,
             {LATTICE_BUBBLE_FFT_AVX512_STAGE(final_stage_backward),
              LATTICE_BUBBLE_FFT_AVX_STAGE(final_stage_backward), fft_detail::final_stage_backward},
             first);
}

// Where the processor has AVX-512F, from 32 points on, the bit reversal and
// the first stage run as one pass over the data (detail/tiles_avx512.h). The
// scratch entries are still made as the permutations make them. Returns
// whether it ran.
bool reversed_with_first_stage(int n, int sign, double* a, int* scratch, const double* twiddle) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    if (!fft_detail::fused_kernels || n < 64 || !fft_detail::avx512_available()) {
        return false;
    }
    int l = n;
    if (sign >= 0) {
        fft_detail::reversal_offsets(scratch, l, 2);
        fft_avx512::reverse_and_first_stage_forward(n, a, twiddle);
        fft_forward_pass(n, a, twiddle, 8);
    } else {
        fft_detail::reversal_offsets(scratch, l, 3);
        fft_avx512::reverse_and_first_stage_backward(n, a, twiddle);
        fft_backward_pass(n, a, twiddle, 8);
    }
    return true;
#else
    static_cast<void>(n), static_cast<void>(sign), static_cast<void>(a), static_cast<void>(scratch),
        static_cast<void>(twiddle);
    return false;
#endif
}

// The fused eight-point kernel, in registers: the (conjugating) bit reversal done by the loads,
// the first stage's two blocks and the radix-2 last stage, with the same
// operations as the general path, whose loops and calls cost several times
// the arithmetic at this size. The scratch entries are left as the
// permutations leave them.
inline constexpr int eight_point_doubles = 16;

void eight_point_fft(int sign, double* a, int* scratch, const double* twiddle) {
    using namespace fft_detail;
    constexpr int reversed[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    scratch[0] = 0;
    scratch[1] = 8;
    const bool backward = sign < 0;
    Cx u[8];
    for (int p = 0; p < 8; ++p) {
        u[p] = load(a + 2 * reversed[p]);
        if (backward) {
            u[p] = neg_im(u[p]);
        }
    }
    const Quad lo = plain_positive(open_butterfly(u[0], u[1], u[2], u[3]));
    const Quad hi = eighth_positive(open_butterfly(u[4], u[5], u[6], u[7]), splat(twiddle[2]));
    const Cx first[4] = {lo.y0, lo.y1, lo.y2, lo.y3};
    const Cx second[4] = {hi.y0, hi.y1, hi.y2, hi.y3};
    for (int k = 0; k < 4; ++k) {
        const Cx x = backward ? neg_im(first[k]) : first[k];
        const Cx y = backward ? neg_im(second[k]) : second[k];
        store(a + 2 * k, x + y);
        store(a + 2 * k + 8, x - y);
    }
}

}  // namespace

bool fft_detail::avx_available() {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX)
#if !defined(__GNUC__)
#error "the run-time check for AVX is written for GCC and Clang"
#endif
    // The processor's AVX flag and the operating system's saving of the
    // 256-bit registers, both checked by the compiler's runtime.
    static const bool available = __builtin_cpu_supports("avx");
    return available;
#else
    return false;
#endif
}

bool fft_detail::avx512_available() {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    // As for AVX: the flag, and the operating system's saving of the 512-bit
    // registers and the mask registers.
    static const bool available = __builtin_cpu_supports("avx512f");
    return available;
#else
    return false;
#endif
}

FftPath fft_path() {
#if defined(LATTICE_BUBBLE_FFT_SSE2_LANES)
    FftLanes lanes = FftLanes::sse2;
#else
    FftLanes lanes = FftLanes::scalar;
#endif
    if (fft_detail::avx512_available()) {
        lanes = FftLanes::avx512;
    } else if (fft_detail::avx_available()) {
        lanes = FftLanes::avx;
    }
    return {lanes, fft_detail::fused_kernels};
}

void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle) {
    if (n > 2 && (n & (n - 1)) != 0) [[unlikely]] {
        fft_detail::size_error("complex_fft", "n", n, "is not a power of two");
    }
    if (n <= 0) {
        return;
    }
    if (n > (index_work[0] << 2)) {
        build_twiddle_table(n >> 2, index_work, twiddle);
    }
    if (fft_detail::fused_kernels && n == eight_point_doubles) {
        eight_point_fft(sign, a, index_work + 2, twiddle);
        return;
    }
    if (reversed_with_first_stage(n, sign, a, index_work + 2, twiddle)) {
        return;
    }
    if (n > 4) {
        if (sign >= 0) {
            bit_reverse_permute(n, index_work + 2, a);
            fft_forward_pass(n, a, twiddle);
        } else {
            bit_reverse_permute_conj(n, index_work + 2, a);
            fft_backward_pass(n, a, twiddle);
        }
    } else if (n == 4) {
        fft_forward_pass(n, a, twiddle);
    }
}

}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
