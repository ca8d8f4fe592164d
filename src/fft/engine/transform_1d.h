#pragma once
// Private to the FFT engine: the 1-D transform over a lane type Cx, radix-4
// decimation in time. The values go into bit-reversed order, radix-4 stages of
// growing span run with twiddles from the bit-reversed table, and a last
// radix-4 or radix-2 stage without twiddles ends it. The stages are those of
// the positive exponent; the negative one conjugates the data while permuting
// it and again in its last stage (ConjugatingLast). Spans l and lengths n
// count doubles.

#include <type_traits>

#include "fft/engine/reversal.h"

namespace lattice_bubble::fft_engine {
namespace {

template <class Cx>
inline constexpr int doubles_of = 2 * Cx::values;

// The AVX-512F lanes: four values per register and 32 registers, enough for
// the kernels of avx512_lanes.h (tiles, stage pairs) that other lanes lack.
template <class Cx>
inline constexpr bool four_wide = Cx::values == 4;

// Kernels of one lane width only, declared here and defined in the header of
// those lanes, which only their unit includes.
template <class Pair>
void first_stage_twiddled_pairs(int begin, int end, double* a, const double* twiddle);
template <class Dir, bool Conjugate, class Cx, int Fixed>
void reverse_and_first_stage(int n, double* const* arrays, int count, const double* twiddle);

// The AVX lanes' transform of 32 to gathering_doubles/2 values whose first
// stage reads the bit-reversed order itself (avx_lanes.h).
inline constexpr int gathering_doubles = 4096;

template <class Cx, bool Fused>
constexpr bool by_gathering(int n) {
    return Fused && Cx::values == 2 && n >= 64 && n <= gathering_doubles;
}

template <class Dir, class Last, bool Conjugate, class Cx>
void transform_gathering(int n, double* const* arrays, int count, const double* twiddle);

// The twiddles of blocks 2t and 2t + 1 (t ≥ 1), as block_twiddles gives
// them; the AVX lanes derive the two at once (avx_lanes.h).
template <class Cx>
struct PairTwiddles {
    BlockTwiddles<Cx> even;
    BlockTwiddles<Cx> odd;
};

template <class Cx>
LATTICE_BUBBLE_FFT_INLINE PairTwiddles<Cx> pair_twiddles(int t, const double* twiddle) {
    return {block_twiddles<Cx>(2 * t, twiddle), block_twiddles<Cx>(2 * t + 1, twiddle)};
}

template <class Cx>
LATTICE_BUBBLE_FFT_INLINE Opening<Cx> butterfly_load(const double* a, int j, int l) {
    return open_butterfly(Cx::load(a + j), Cx::load(a + j + l), Cx::load(a + j + 2 * l),
                          Cx::load(a + j + 3 * l));
}

template <class Cx>
LATTICE_BUBBLE_FFT_INLINE void butterfly_store(double* a, int j, int l, const Quad<Cx>& y) {
    put_quad(y, [=](int k, Cx v) LATTICE_BUBBLE_FFT_LAMBDA { store(a + j + k * l, v); });
}

// One radix-4 stage of span l over the doubles [begin, end), both multiples of
// 8l, in each of the `count` arrays at `arrays` (Fixed > 0: count is Fixed,
// known to the compiler), every block's twiddles formed once for all of them.
// A block's twiddles depend only on its place in the whole array, so a stage
// may run range by range. Dir is Positive for the 1-D transform and the
// exponent's sign for the 2-D pass along a row, which runs these blocks.
template <class Dir, class Cx, int Fixed = 0>
void radix4_stage(int begin, int end, int l, double* const* arrays, int count, const double* twiddle) {
    if constexpr (Fixed > 0) {
        count = Fixed;
    }
    const int m = l << 2;
    const int m2 = m << 1;
    if (begin == 0) {
        const Cx h = Cx::splat(twiddle[2]);
        for (int i = 0; i < count; ++i) {
            double* a = arrays[i];
            for (int j = 0; j < l; j += doubles_of<Cx>) {
                butterfly_store(a, j, l, Dir::plain(butterfly_load<Cx>(a, j, l)));
            }
            for (int j = m; j < l + m; j += doubles_of<Cx>) {
                butterfly_store(a, j, l, Dir::eighth(butterfly_load<Cx>(a, j, l), h));
            }
        }
        begin = m2;
    }
    // Blocks 2t and 2t + 1 at k = t·m2 (t kept by addition: a division per
    // block would cost more than a short block's butterflies).
    for (int k = begin, t = begin / m2; k < end; k += m2, ++t) {
        const PairTwiddles<Cx> pair = pair_twiddles<Cx>(t, twiddle);
        const BlockTwiddles<Cx>& even = pair.even;
        const BlockTwiddles<Cx>& odd = pair.odd;
        for (int i = 0; i < count; ++i) {
            double* a = arrays[i];
            for (int j = k; j < l + k; j += doubles_of<Cx>) {
                butterfly_store(a, j, l, Dir::twiddled(butterfly_load<Cx>(a, j, l), even));
            }
            for (int j = k + m; j < l + k + m; j += doubles_of<Cx>) {
                butterfly_store(a, j, l, Dir::twiddled(butterfly_load<Cx>(a, j, l), odd));
            }
        }
    }
}

// The stages of spans l and 4l together over [begin, end), multiples of 32l,
// in each of the `count` arrays at `arrays`: each group of 16l doubles is one
// block of the wider stage and four of the narrower, so its sixteen inputs at
// j, j + l, …, j + 15l go through a butterfly of each narrow block and then
// four of the wide block in registers, loaded and stored once. The first two
// groups hold the untwiddled and eighth-turn blocks and run stage by stage.
template <class Dir, class Cx>
void radix4_stage_pair(int begin, int end, int l, double* const* arrays, int count, const double* twiddle) {
    const int group = 16 * l;
    if (begin == 0) {
        radix4_stage<Dir, Cx>(0, 2 * group, l, arrays, count, twiddle);
        radix4_stage<Dir, Cx>(0, 2 * group, 4 * l, arrays, count, twiddle);
        begin = 2 * group;
    }
    for (int start = begin, wide = begin / group; start < end; start += group, ++wide) {
        const BlockTwiddles<Cx> outer = block_twiddles<Cx>(wide, twiddle);
        const BlockTwiddles<Cx> inner[4] = {
            block_twiddles<Cx>(4 * wide, twiddle), block_twiddles<Cx>(4 * wide + 1, twiddle),
            block_twiddles<Cx>(4 * wide + 2, twiddle), block_twiddles<Cx>(4 * wide + 3, twiddle)};
        for (int i = 0; i < count; ++i) {
            double* a = arrays[i];
            for (int j = start; j < start + l; j += doubles_of<Cx>) {
                Quad<Cx> y[4];
                for (int q = 0; q < 4; ++q) {
                    y[q] = Dir::twiddled(butterfly_load<Cx>(a, j + 4 * q * l, l), inner[q]);
                }
                const auto outer_butterfly = [&](int r, Cx x0, Cx x1, Cx x2,
                                                 Cx x3) LATTICE_BUBBLE_FFT_LAMBDA {
                    butterfly_store(a, j + r * l, 4 * l,
                                    Dir::twiddled(open_butterfly(x0, x1, x2, x3), outer));
                };
                outer_butterfly(0, y[0].y0, y[1].y0, y[2].y0, y[3].y0);
                outer_butterfly(1, y[0].y1, y[1].y1, y[2].y1, y[3].y1);
                outer_butterfly(2, y[0].y2, y[1].y2, y[2].y2, y[3].y2);
                outer_butterfly(3, y[0].y3, y[1].y3, y[2].y3, y[3].y3);
            }
        }
    }
}

// One twiddled stage of span l over the doubles [begin, end). The first stage
// (l = 2) has one butterfly per block; wide lanes run its blocks 0 and 1 one
// value at a time and pair the twiddled blocks.
template <class Cx>
void stage(int begin, int end, int l, double* a, const double* twiddle) {
    if constexpr (Cx::values > 1) {
        if (l == 2) {
            using S = typename Cx::Single;
            if (begin == 0) {
                butterfly_store(a, 0, l, Positive::plain(butterfly_load<S>(a, 0, l)));
                butterfly_store(a, 8, l, Positive::eighth(butterfly_load<S>(a, 8, l), S::splat(twiddle[2])));
            }
            first_stage_twiddled_pairs<std::conditional_t<Cx::values == 2, Cx, typename Cx::Narrower>>(
                begin, end, a, twiddle);
            return;
        }
    }
    radix4_stage<Positive, Cx, 1>(begin, end, l, &a, 1, twiddle);
}

// The twiddled stages run depth first: a stage's butterflies in one range of
// 8l doubles need only the earlier stages' results in that range, so every
// chunk that fits the first-level cache goes through all the stages that stay
// inside it before the next chunk is touched, and the same again for chunks
// that fit the second level. Only the widest spans pass over the whole array.
inline constexpr int near_chunk_doubles = 4096;  // 32 KiB
inline constexpr int far_chunk_doubles = 65536;  // 512 KiB

// Runs the stages from span l on while 4l < n, l < stop and 8l ≤ size, over
// every chunk of `size` doubles in [begin, end); returns the first span not run.
template <class Cx, bool Fused>
int stages_by_chunk(int n, int begin, int end, int size, int l, int stop, double* a, const double* twiddle) {
    int next = l;
    for (int chunk = begin; chunk < end; chunk += size) {
        next = l;
        while ((next << 2) < n && next < stop && (next << 3) <= size) {
            if constexpr (Fused && four_wide<Cx>) {
                if (next >= 8 && (next << 4) < n && (next << 2) < stop && (next << 5) <= size) {
                    radix4_stage_pair<Positive, Cx>(chunk, chunk + size, next, &a, 1, twiddle);
                    next <<= 4;
                    continue;
                }
            }
            stage<Cx>(chunk, chunk + size, next, a, twiddle);
            next <<= 2;
        }
    }
    return next;
}

// The twiddled stages from span `first` on and below span `stop`; returns the
// span of the first stage not run: with stop = n, the untwiddled last one.
template <class Cx, bool Fused>
int twiddled_stages(int n, double* a, const double* twiddle, int first, int stop) {
    if (n <= 8) {
        return 2;
    }
    if (n <= near_chunk_doubles) {
        return stages_by_chunk<Cx, Fused>(n, 0, n, n, first, stop, a, twiddle);
    }
    const int far = n < far_chunk_doubles ? n : far_chunk_doubles;
    const int near = far < near_chunk_doubles ? far : near_chunk_doubles;
    int l = first;
    for (int chunk = 0; chunk < n; chunk += far) {
        const int after_near =
            stages_by_chunk<Cx, Fused>(n, chunk, chunk + far, near, first, stop, a, twiddle);
        l = stages_by_chunk<Cx, Fused>(n, chunk, chunk + far, far, after_near, stop, a, twiddle);
    }
    return stages_by_chunk<Cx, Fused>(n, 0, n, n, l, stop, a, twiddle);
}

// The untwiddled last stage, radix 4 (4l = n) or radix 2 (2l = n), in the
// widest lanes the span allows.
template <class Last, class Cx>
void last_stage(int n, int l, double* a) {
    in_widest_lanes<Cx>(l / 2, [&]<class Lanes>() LATTICE_BUBBLE_FFT_LAMBDA {
        for (int j = 0; j < l; j += doubles_of<Lanes>) {
            if ((l << 2) == n) {
                butterfly_store(a, j, l,
                                Last::radix4(Lanes::load(a + j), Lanes::load(a + j + l),
                                             Lanes::load(a + j + 2 * l), Lanes::load(a + j + 3 * l)));
            } else {
                const Opening<Lanes> d = Last::radix2(Lanes::load(a + j), Lanes::load(a + j + l));
                store(a + j, d.e0);
                store(a + j + l, d.e1);
            }
        }
    });
}

// The last twiddled stage, of span l with n = 16l or 8l, and the last stage
// in one pass (the tail), over each of the `count` arrays at `arrays`; the
// results go to `targets` (the same arrays when null).
template <class Dir, class Last, class Cx, int Fixed = 0>
void last_two_stages(int n, int l, double* const* arrays, int count, const double* twiddle,
                     double* const* targets = nullptr) {
    if constexpr (Fixed > 0) {
        count = Fixed;
    }
    if (targets == nullptr) {
        targets = arrays;
    }
    const auto run = [&]<int Points>() LATTICE_BUBBLE_FFT_LAMBDA {
        const TailTwiddles<Cx> t = tail_twiddles<Cx, Points>(twiddle);
        for (int i = 0; i < count; ++i) {
            const double* a = arrays[i];
            double* b = targets[i];
            for (int j = 0; j < l; j += doubles_of<Cx>) {
                tail<Dir, Last, Points>(
                    [=](int k) LATTICE_BUBBLE_FFT_LAMBDA { return Cx::load(a + (j + k * l)); }, t,
                    [=](int k, Cx v) LATTICE_BUBBLE_FFT_LAMBDA { store(b + (j + k * l), v); });
            }
        }
    };
    if (16 * l == n) {
        run.template operator()<16>();
    } else {
        run.template operator()<8>();
    }
}

template <class Dir>
using LastOf1d = std::conditional_t<Dir::negative, ConjugatingLast, PlainLast<Positive>>;

// 4, 8 and 16 points in registers: the (conjugating) bit reversal done by the
// loads, then every stage, with the same operations as the general path,
// whose loops cost several times the arithmetic at these sizes.
template <class Dir, class Cx, int Points>
void small_transform(double* a, const double* twiddle) {
    static constexpr ReversedOrder<Points> reversed;
    const auto get = [=](int p) LATTICE_BUBBLE_FFT_LAMBDA {
        const Cx x = Cx::load(a + 2 * reversed.index[p]);
        return Dir::negative ? neg_im(x) : x;
    };
    const auto put = [=](int p, Cx v) LATTICE_BUBBLE_FFT_LAMBDA { store(a + 2 * p, v); };
    if constexpr (Points == 4) {
        put_quad(LastOf1d<Dir>::radix4(get(0), get(1), get(2), get(3)), put);
    } else {
        tail<Positive, LastOf1d<Dir>, Points>(get, tail_twiddles<Cx, Points>(twiddle), put);
    }
}

// The transform from 32 values on, and of every size without the fused
// kernels. Not inlined into transform_1d: its frame (aligned for spilled wide
// registers) would cost the small transforms a good part of their time.
template <class Dir, class Cx, bool Fused>
LATTICE_BUBBLE_FFT_NOINLINE void general_transform_1d(int n, double* a, int* scratch, const double* twiddle) {
    if constexpr (Fused && four_wide<Cx>) {
        if (n >= 64) {
            // The bit reversal and the first stage in one pass over 4 × 4
            // tiles, and the last twiddled stage with the last stage.
            reversal_list<Dir>(n, scratch);
            reverse_and_first_stage<Positive, Dir::negative, Cx, 1>(n, &a, 1, twiddle);
            int last = 8;
            while ((last << 4) < n) {
                last <<= 2;
            }
            if (last > 8) {
                twiddled_stages<Cx, Fused>(n, a, twiddle, 8, last);
            }
            last_two_stages<Positive, LastOf1d<Dir>, Cx, 1>(n, last, &a, 1, twiddle);
            return;
        }
    }
    if constexpr (Fused && Cx::values == 2) {
        if (by_gathering<Cx, Fused>(n)) {
            reversal_list<Dir>(n, scratch);
            transform_gathering<Positive, LastOf1d<Dir>, Dir::negative, Cx>(n, &a, 1, twiddle);
            return;
        }
    }
    if (n > 4) {
        bit_reverse<Dir, typename Cx::Single>(n, scratch, a);
        last_stage<LastOf1d<Dir>, Cx>(n, twiddled_stages<Cx, Fused>(n, a, twiddle, 2, n), a);
    } else if (n == 4) {
        last_stage<PlainLast<Positive>, Cx>(n, 2, a);  // one radix-2 butterfly, alike for either sign
    }
}

// The whole transform of n doubles (n a power of two ≥ 2) for the exponent's
// sign Dir; scratch is index_work + 2 and keeps the permutation's index list.
template <class Dir, class Cx, bool Fused>
void transform_1d(int n, double* a, int* scratch, const double* twiddle) {
    using S = typename Cx::Single;
    if constexpr (Fused) {
        if (n == 8 || n == 16 || n == 32) {
            if (n == 8) {
                small_transform<Dir, S, 4>(a, twiddle);
            } else if (n == 16) {
                small_transform<Dir, S, 8>(a, twiddle);
            } else {
                small_transform<Dir, S, 16>(a, twiddle);
            }
            reversal_list<Dir>(n, scratch);
            return;
        }
    }
    general_transform_1d<Dir, Cx, Fused>(n, a, scratch, twiddle);
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
