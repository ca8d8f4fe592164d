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

#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
// Whether the stages of spans l and 4l (both twiddled, inside chunks of
// `size` doubles) run as one pass: AVX-512 registers hold the sixteen inputs.
bool stage_pair_fits(int n, int size, int l, int stop) {
    return fft_detail::fused_kernels && l >= avx512_min_span && (l << 4) < n && (l << 2) < stop &&
           (l << 5) <= size && fft_detail::avx512_available();
}
#endif

// Runs the stages from span l on while 4l < n, l < stop and 8l ≤ size, over
// every chunk of `size` doubles in [begin, end); returns the first span not run.
int stages_by_chunk(int n, int begin, int end, int size, int l, int stop, double* a, const double* twiddle) {
    int next = l;
    for (int chunk = begin; chunk < end; chunk += size) {
        next = l;
        while ((next << 2) < n && next < stop && (next << 3) <= size) {
#if defined(LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
            if (stage_pair_fits(n, size, next, stop)) {
                fft_avx512::radix4_stage_pair(chunk, chunk + size, next, a, twiddle);
                next <<= 4;
                continue;
            }
#endif
            fft_stage(chunk, chunk + size, next, a, twiddle);
            next <<= 2;
        }
    }
    return next;
}

// Runs the twiddled stages from span `first` on (2, or 8 where the first stage
// ran with the bit reversal) and below span `stop`, and returns the span of the
// first stage not run: with stop = n, the last, untwiddled one.
int fft_twiddled_stages(int n, double* a, const double* twiddle, int first, int stop) {
    if (n <= 8) {
        return 2;
    }
    if (n <= near_chunk_doubles) {
        return stages_by_chunk(n, 0, n, n, first, stop, a, twiddle);  // one chunk
    }
    const int far = n < far_chunk_doubles ? n : far_chunk_doubles;
    const int near = far < near_chunk_doubles ? far : near_chunk_doubles;
    int l = first;
    for (int chunk = 0; chunk < n; chunk += far) {
        const int after_near = stages_by_chunk(n, chunk, chunk + far, near, first, stop, a, twiddle);
        l = stages_by_chunk(n, chunk, chunk + far, far, after_near, stop, a, twiddle);
    }
    return stages_by_chunk(n, 0, n, n, l, stop, a, twiddle);
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
    const int l = fft_twiddled_stages(n, a, twiddle, first, n);
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

// The scratch list that the (conjugating) bit reversal of n doubles makes.
void reversal_list(int n, int sign, int* scratch) {
    int l = n;
    fft_detail::reversal_offsets(scratch, l, sign >= 0 ? 2 : 3);
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
    reversal_list(n, sign, scratch);
    if (sign >= 0) {
        fft_avx512::reverse_and_first_stage_forward(n, a, twiddle);
    } else {
        fft_avx512::reverse_and_first_stage_backward(n, a, twiddle);
    }
    // The last twiddled stage runs with the untwiddled one, in one pass.
    int last = 8;
    while ((last << 4) < n) {
        last <<= 2;
    }
    if (last > 8) {
        fft_twiddled_stages(n, a, twiddle, 8, last);
    }
    fft_avx512::last_two_stages(n, sign, last, a, twiddle);
    return true;
#else
    static_cast<void>(n), static_cast<void>(sign), static_cast<void>(a), static_cast<void>(scratch),
        static_cast<void>(twiddle);
    return false;
#endif
}

// Fused kernels for 4, 8 and 16 points, in registers: the (conjugating) bit
// reversal done by the loads, then every stage, with the same operations as
// the general path, whose loops and calls cost several times the arithmetic
// at these sizes. The scratch entries are left as the permutations leave them.
inline constexpr int four_point_doubles = 8;
inline constexpr int eight_point_doubles = 16;
inline constexpr int sixteen_point_doubles = 32;

// The values of a in bit-reversed order, conjugated for sign < 0.
template <int Points>
struct Reversed {
    int index[Points];
    constexpr Reversed() : index{} {
        for (int p = 0; p < Points; ++p) {
            for (int bit = 1, mirror = Points / 2; bit < Points; bit <<= 1, mirror >>= 1) {
                index[p] |= (p & bit) != 0 ? mirror : 0;
            }
        }
    }
};

template <int Points>
LATTICE_BUBBLE_FFT_INLINE void load_reversed(int sign, const double* a, fft_detail::Cx (&u)[Points]) {
    static constexpr Reversed<Points> reversed;
    for (int p = 0; p < Points; ++p) {
        u[p] = fft_detail::load(a + 2 * reversed.index[p]);
        if (sign < 0) {
            u[p] = fft_detail::neg_im(u[p]);
        }
    }
}

// The last radix-4 stage, of span `span` values, on the butterflies' inputs in
// element order, written to a.
LATTICE_BUBBLE_FFT_INLINE void last_radix4(int sign, double* a, int span, fft_detail::Cx x0, fft_detail::Cx x1, fft_detail::Cx x2,
                 fft_detail::Cx x3) {
    using namespace fft_detail;
    const Quad y = sign >= 0 ? plain_positive(open_butterfly(x0, x1, x2, x3)) : last_backward(x0, x1, x2, x3);
    butterfly_store(a, 0, 2 * span, y);
}

void four_point_fft(int sign, double* a) {
    fft_detail::Cx u[4];
    load_reversed(sign, a, u);
    last_radix4(sign, a, 1, u[0], u[1], u[2], u[3]);
}

// The first stage's two blocks, then the radix-2 last stage.
void eight_point_fft(int sign, double* a, const double* twiddle) {
    using namespace fft_detail;
    const bool backward = sign < 0;
    Cx u[8];
    load_reversed(sign, a, u);
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

// The first stage's four blocks (U, E, G and G′ of t = 1), then the radix-4
// last stage of span four values.
void sixteen_point_fft(int sign, double* a, const double* twiddle) {
    using namespace fft_detail;
    Cx u[16];
    load_reversed(sign, a, u);
    const Twiddle q2 = twiddle_of(twiddle[2], twiddle[3]);
    const Twiddle g1 = twiddle_of(twiddle[4], twiddle[5]);
    const Twiddle h1 = twiddle_of(twiddle[6], twiddle[7]);
    const BlockTwiddles g{g1, q2, cube_from(twiddle[4], twiddle[5], twiddle[3])};
    const BlockTwiddles h{h1, twiddle_of(-twiddle[3], twiddle[2]), cube_from(twiddle[6], twiddle[7], twiddle[2])};
    const Quad b0 = plain_positive(open_butterfly(u[0], u[1], u[2], u[3]));
    const Quad b1 = eighth_positive(open_butterfly(u[4], u[5], u[6], u[7]), splat(twiddle[2]));
    const Quad b2 = Positive::twiddled(open_butterfly(u[8], u[9], u[10], u[11]), g);
    const Quad b3 = Positive::twiddled(open_butterfly(u[12], u[13], u[14], u[15]), h);
    last_radix4(sign, a, 4, b0.y0, b1.y0, b2.y0, b3.y0);
    last_radix4(sign, a + 2, 4, b0.y1, b1.y1, b2.y1, b3.y1);
    last_radix4(sign, a + 4, 4, b0.y2, b1.y2, b2.y2, b3.y2);
    last_radix4(sign, a + 6, 4, b0.y3, b1.y3, b2.y3, b3.y3);
}

// Runs the fused kernel for n where there is one; returns whether it ran.
bool fused_fft(int n, int sign, double* a, int* scratch, const double* twiddle) {
    if (!fft_detail::fused_kernels) {
        return false;
    }
    switch (n) {
        case four_point_doubles:
            four_point_fft(sign, a);
            break;
        case eight_point_doubles:
            eight_point_fft(sign, a, twiddle);
            break;
        case sixteen_point_doubles:
            sixteen_point_fft(sign, a, twiddle);
            break;
        default:
            return false;
    }
    reversal_list(n, sign, scratch);
    return true;
}

}  // namespace

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
    if (fused_fft(n, sign, a, index_work + 2, twiddle)) {
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
