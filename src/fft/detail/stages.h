#pragma once
// Private to the FFT engine: the radix-4 stages of the 1-D transform, over the
// lanes of detail/lanes.h. Included by complex_fft.cpp (SSE2 or scalar lanes)
// and by the AVX unit; in the latter every loop over the butterflies of a
// block takes two of them at a time, which needs a span l of at least 4 doubles.

#include "fft/detail/lanes.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {

LATTICE_BUBBLE_FFT_INLINE Opening butterfly_load(const double* a, int j, int l) {
    return open_butterfly(load(a + j), load(a + j + l), load(a + j + 2 * l), load(a + j + 3 * l));
}

// Writes the outputs to j, j + 2l, j + l and j + 3l.
LATTICE_BUBBLE_FFT_INLINE void butterfly_store(double* a, int j, int l, const Quad& y) {
    store(a + j, y.y0);
    store(a + j + 2 * l, y.y2);
    store(a + j + l, y.y1);
    store(a + j + 3 * l, y.y3);
}

// One radix-4 stage of span l doubles over the doubles [begin, end), both
// multiples of 8l: blocks of m = 4l doubles; block 0 untwiddled, block 1 by the
// eighth turn, then for t = 1, 2, … block 2t with q2 = W[t], q1 = W[2t] and
// block 2t + 1 with i·q2, q1 = W[2t + 1]; q3 = q1³ comes from q1 and q2 by the
// cube formula. A block's twiddles depend on its place in the whole array, so
// a stage may run range by range.
// Exponent is Positive for the 1-D transform (whose negative sign conjugates
// the data instead) and for a row's positive 2-D column pass, Negative for
// its negative one: the 2-D pass over a row runs this stage's blocks with the
// same twiddles.
// Over each of the `count` arrays at `arrays`, the block's twiddles formed once
// for all of them (Fixed > 0: count is Fixed, known to the compiler).
template <typename Exponent = Positive, int Fixed = 0>
void radix4_stage(int begin, int end, int l, double* const* arrays, int count, const double* twiddle) {
    if constexpr (Fixed > 0) {
        count = Fixed;
    }
    const int m = l << 2;
    const int m2 = m << 1;
    if (begin == 0) {
        const Cx s = splat(twiddle[2]);
        for (int i = 0; i < count; ++i) {
            double* a = arrays[i];
            for (int j = 0; j < l; j += lane_doubles) {
                butterfly_store(a, j, l, Exponent::plain(butterfly_load(a, j, l)));
            }
            for (int j = m; j < l + m; j += lane_doubles) {
                butterfly_store(a, j, l, Exponent::eighth(butterfly_load(a, j, l), s));
            }
        }
        begin = m2;
    }
    // k1 = 2t for the blocks 2t and 2t + 1 at k = t·m2 (kept by addition: a
    // division per block would cost more than a short block's butterflies).
    for (int k = begin, k1 = begin / m; k < end; k += m2, k1 += 2) {
        const int k2 = 2 * k1;
        const Twiddle q2 = twiddle_of(twiddle[k1], twiddle[k1 + 1]);
        const BlockTwiddles even{twiddle_of(twiddle[k2], twiddle[k2 + 1]), q2,
                                 cube_from(twiddle[k2], twiddle[k2 + 1], twiddle[k1 + 1])};
        const BlockTwiddles odd{twiddle_of(twiddle[k2 + 2], twiddle[k2 + 3]),
                                twiddle_of(-twiddle[k1 + 1], twiddle[k1]),  // i·q2
                                cube_from(twiddle[k2 + 2], twiddle[k2 + 3], twiddle[k1])};
        for (int i = 0; i < count; ++i) {
            double* a = arrays[i];
            for (int j = k; j < l + k; j += lane_doubles) {
                butterfly_store(a, j, l, Exponent::twiddled(butterfly_load(a, j, l), even));
            }
            for (int j = k + m; j < l + k + m; j += lane_doubles) {
                butterfly_store(a, j, l, Exponent::twiddled(butterfly_load(a, j, l), odd));
            }
        }
    }
}

template <typename Exponent = Positive>
void radix4_stage(int begin, int end, int l, double* a, const double* twiddle) {
    radix4_stage<Exponent, 1>(begin, end, l, &a, 1, twiddle);
}

// The twiddles of block b ≥ 2 of a stage: G with t = b/2 for even b, G′ for odd.
LATTICE_BUBBLE_FFT_INLINE BlockTwiddles stage_twiddles(int b, const double* twiddle) {
    const int k1 = 2 * (b >> 1);  // doubles to W[t]
    if ((b & 1) == 0) {
        return {twiddle_of(twiddle[2 * k1], twiddle[2 * k1 + 1]), twiddle_of(twiddle[k1], twiddle[k1 + 1]),
                cube_from(twiddle[2 * k1], twiddle[2 * k1 + 1], twiddle[k1 + 1])};
    }
    return {twiddle_of(twiddle[2 * k1 + 2], twiddle[2 * k1 + 3]), twiddle_of(-twiddle[k1 + 1], twiddle[k1]),
            cube_from(twiddle[2 * k1 + 2], twiddle[2 * k1 + 3], twiddle[k1])};
}

// The stages of spans l and 4l together over [begin, end), multiples of 32l:
// each group of 16l doubles is one block of the wider stage and four of the
// narrower, so its sixteen inputs at j, j + l, …, j + 15l go through a
// butterfly of each of the four narrow blocks and then four of the wide block
// in registers, loaded and stored once. The butterflies and twiddles are the
// two stages' own. The first two groups hold the untwiddled and eighth-turn
// blocks and run stage by stage.
template <typename Exponent = Positive>
void radix4_stage_pair(int begin, int end, int l, double* a, const double* twiddle) {
    const int group = 16 * l;
    if (begin == 0) {
        radix4_stage<Exponent>(0, 2 * group, l, a, twiddle);
        radix4_stage<Exponent>(0, 2 * group, 4 * l, a, twiddle);
        begin = 2 * group;
    }
    for (int start = begin, wide = begin / group; start < end; start += group, ++wide) {
        const BlockTwiddles outer = stage_twiddles(wide, twiddle);
        const BlockTwiddles inner[4] = {
            stage_twiddles(4 * wide, twiddle), stage_twiddles(4 * wide + 1, twiddle),
            stage_twiddles(4 * wide + 2, twiddle), stage_twiddles(4 * wide + 3, twiddle)};
        for (int j = start; j < start + l; j += lane_doubles) {
            Quad y[4];
            for (int q = 0; q < 4; ++q) {
                const double* x = a + j + 4 * q * l;
                y[q] = Exponent::twiddled(
                    open_butterfly(load(x), load(x + l), load(x + 2 * l), load(x + 3 * l)), inner[q]);
            }
            const auto wide_butterfly = [&](int r, Cx x0, Cx x1, Cx x2, Cx x3) {
                const Quad z = Exponent::twiddled(open_butterfly(x0, x1, x2, x3), outer);
                double* out = a + j + r * l;
                store(out, z.y0);
                store(out + 4 * l, z.y1);
                store(out + 8 * l, z.y2);
                store(out + 12 * l, z.y3);
            };
            wide_butterfly(0, y[0].y0, y[1].y0, y[2].y0, y[3].y0);
            wide_butterfly(1, y[0].y1, y[1].y1, y[2].y1, y[3].y1);
            wide_butterfly(2, y[0].y2, y[1].y2, y[2].y2, y[3].y2);
            wide_butterfly(3, y[0].y3, y[1].y3, y[2].y3, y[3].y3);
        }
    }
}

// The first stage (span 2 doubles, one butterfly per block) is split in two so
// that its twiddled blocks can run on their own in AVX: blocks 0 and 1 first.
inline void first_stage_leading_blocks(double* a, const double* twiddle) {
    constexpr int l = 2;
    butterfly_store(a, 0, l, plain_positive(butterfly_load(a, 0, l)));
    butterfly_store(a, 8, l, eighth_positive(butterfly_load(a, 8, l), splat(twiddle[2])));
}

#if defined(LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT)
// The twiddled blocks of the first stage in the doubles [begin, end), multiples
// of 16: the butterfly of block 2t (q1 = W[2t], q2 = W[t]) and that of block
// 2t + 1 (q1 = W[2t + 1], i·q2) side by side.
inline void first_stage_twiddled_blocks(int begin, int end, double* a, const double* twiddle) {
    const auto pair = [](const double* lo, const double* hi) { return Cx{_mm256_loadu2_m128d(hi, lo)}; };
    const Cx two = splat(2.0);
    for (int j = begin < 16 ? 16 : begin; j < end; j += 16) {
        const int k1 = j / 8;
        const int k2 = 2 * k1;
        // W[2t] and W[2t + 1] are neighbours in the table: (g.re, g.im, h.re, h.im).
        const Cx q1 = load(twiddle + k2);
        const Cx q2 = Cx{_mm256_broadcast_pd(reinterpret_cast<const __m128d*>(twiddle + k1))};
        const Twiddle t1{dup_re(q1), dup_im(q1)};
        // q2 for block 2t, i·q2 = (−q2.im, q2.re) for block 2t + 1.
        const Twiddle t2{neg_upper(Cx{_mm256_permute_pd(q2.v, 0b1100)}), Cx{_mm256_permute_pd(q2.v, 0b0011)}};
        // The cube formula lane by lane: 2·q2.im for block 2t, 2·q2.re for 2t + 1.
        const Cx twice = two * t2.im;
        const Twiddle t3{t1.re - twice * t1.im, twice * t1.re - t1.im};
        double* lo = a + j;
        double* hi = a + j + 8;
        const Quad y = twiddled_positive(
            open_butterfly(pair(lo, hi), pair(lo + 2, hi + 2), pair(lo + 4, hi + 4), pair(lo + 6, hi + 6)),
            t1, t2, t3);
        _mm256_storeu2_m128d(hi, lo, y.y0.v);
        _mm256_storeu2_m128d(hi + 4, lo + 4, y.y2.v);
        _mm256_storeu2_m128d(hi + 2, lo + 2, y.y1.v);
        _mm256_storeu2_m128d(hi + 6, lo + 6, y.y3.v);
    }
}
#endif

// The last stage without twiddles, radix 4 (4l = n) or radix 2 (2l = n).
inline void final_stage_forward(int n, int l, double* a) {
    if ((l << 2) == n) {
        for (int j = 0; j < l; j += lane_doubles) {
            butterfly_store(a, j, l, plain_positive(butterfly_load(a, j, l)));
        }
    } else {
        for (int j = 0; j < l; j += lane_doubles) {
            const Cx x0 = load(a + j);
            const Cx x1 = load(a + j + l);
            store(a + j, x0 + x1);
            store(a + j + l, x0 - x1);
        }
    }
}

// The backward transform's last radix-4 butterfly on the values a0 … a3 at
// j, j + l, j + 2l, j + 3l: the U butterfly on conjugated inputs (−im),
// delivering the conjugates of its results, written out as
//   e0 = (a0.re + a1.re, −a0.im − a1.im), e1 = (a0.re − a1.re, −a0.im + a1.im),
// e2 and e3 as in U; j: (e0.re + e2.re, e0.im − e2.im), j2: (e0.re − e2.re,
// e0.im + e2.im), j1: (e1.re − e3.im, e1.im − e3.re), j3: (e1.re + e3.im,
// e1.im + e3.re). Outputs in element order.
LATTICE_BUBBLE_FFT_INLINE Quad last_backward(Cx a0, Cx a1, Cx a2, Cx a3) {
    const Cx x0 = neg_im(a0);
    const Cx x1 = neg_im(a1);
    const Cx e0 = x0 + x1;
    const Cx e1 = x0 - x1;
    const Cx e2 = a2 + a3;
    const Cx e3 = a2 - a3;
    const Cx c2 = neg_im(e2);
    const Cx s3 = swap(e3);
    return {e0 + c2, e1 - s3, e0 - c2, e1 + s3};
}

// As final_stage_forward on conjugated inputs (−im), delivering the conjugates
// of its results: the backward transform's data was conjugated on the way in.
inline void final_stage_backward(int n, int l, double* a) {
    if ((l << 2) == n) {
        for (int j = 0; j < l; j += lane_doubles) {
            const Quad y =
                last_backward(load(a + j), load(a + j + l), load(a + j + 2 * l), load(a + j + 3 * l));
            butterfly_store(a, j, l, y);
        }
    } else {
        for (int j = 0; j < l; j += lane_doubles) {
            const Cx x0 = neg_im(load(a + j));
            const Cx x1 = neg_im(load(a + j + l));
            store(a + j, x0 + x1);
            store(a + j + l, x0 - x1);
        }
    }
}

// The untwiddled last stage's butterflies: the 1-D forward transform's and
// the 2-D passes' (Exponent's plain butterfly; radix 2 the same either way),
// and the 1-D backward transform's, which conjugates inputs and results.
template <typename Exponent>
struct PlainLast {
    LATTICE_BUBBLE_FFT_INLINE static Quad radix4(Cx x0, Cx x1, Cx x2, Cx x3) {
        return Exponent::plain(open_butterfly(x0, x1, x2, x3));
    }
    LATTICE_BUBBLE_FFT_INLINE static Opening radix2(Cx u, Cx v) { return {u + v, u - v, u, v}; }
};

struct BackwardLast {
    LATTICE_BUBBLE_FFT_INLINE static Quad radix4(Cx x0, Cx x1, Cx x2, Cx x3) {
        return last_backward(x0, x1, x2, x3);
    }
    LATTICE_BUBBLE_FFT_INLINE static Opening radix2(Cx u, Cx v) {
        const Cx x = neg_im(u);
        const Cx y = neg_im(v);
        return {x + y, x - y, x, y};
    }
};

// The last twiddled stage, of span l, and the untwiddled last stage in one
// pass. With n = 16l the twiddled stage has the blocks 0 … 3 (untwiddled,
// eighth turn, G and G′ of t = 1) and the last stage is radix 4 of span 4l;
// with n = 8l it has blocks 0 and 1 and the last stage is radix 2 of span 4l.
// Each group of inputs at j, j + l, … goes through its butterflies of both
// stages in registers. Last supplies the last stage's butterflies. Over each
// of the `count` arrays at `arrays` (Fixed > 0: count is Fixed).
template <typename Exponent, typename Last, int Fixed = 0>
void last_two_stages(int n, int l, double* const* arrays, int count, const double* twiddle) {
    if constexpr (Fixed > 0) {
        count = Fixed;
    }
    const Cx h = splat(twiddle[2]);
    if (16 * l == n) {
        const BlockTwiddles g = stage_twiddles(2, twiddle);
        const BlockTwiddles g_rotated = stage_twiddles(3, twiddle);
        for (int i = 0; i < count; ++i) {
            double* a = arrays[i];
            for (int j = 0; j < l; j += lane_doubles) {
                const Quad b0 = Exponent::plain(butterfly_load(a, j, l));
                const Quad b1 = Exponent::eighth(butterfly_load(a, j + 4 * l, l), h);
                const Quad b2 = Exponent::twiddled(butterfly_load(a, j + 8 * l, l), g);
                const Quad b3 = Exponent::twiddled(butterfly_load(a, j + 12 * l, l), g_rotated);
                butterfly_store(a, j, 4 * l, Last::radix4(b0.y0, b1.y0, b2.y0, b3.y0));
                butterfly_store(a, j + l, 4 * l, Last::radix4(b0.y1, b1.y1, b2.y1, b3.y1));
                butterfly_store(a, j + 2 * l, 4 * l, Last::radix4(b0.y2, b1.y2, b2.y2, b3.y2));
                butterfly_store(a, j + 3 * l, 4 * l, Last::radix4(b0.y3, b1.y3, b2.y3, b3.y3));
            }
        }
    } else {
        for (int i = 0; i < count; ++i) {
            double* a = arrays[i];
            for (int j = 0; j < l; j += lane_doubles) {
                const Quad b0 = Exponent::plain(butterfly_load(a, j, l));
                const Quad b1 = Exponent::eighth(butterfly_load(a, j + 4 * l, l), h);
                const Cx lo[4] = {b0.y0, b0.y1, b0.y2, b0.y3};
                const Cx hi[4] = {b1.y0, b1.y1, b1.y2, b1.y3};
                for (int r = 0; r < 4; ++r) {
                    const Opening d = Last::radix2(lo[r], hi[r]);
                    store(a + j + r * l, d.e0);
                    store(a + j + (r + 4) * l, d.e1);
                }
            }
        }
    }
}

template <typename Exponent, typename Last>
void last_two_stages(int n, int l, double* a, const double* twiddle) {
    last_two_stages<Exponent, Last, 1>(n, l, &a, 1, twiddle);
}

}  // namespace fft_detail
}  // namespace LATTICE_BUBBLE_FFT_ABI
}  // namespace lattice_bubble
