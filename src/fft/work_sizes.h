#pragma once
// The lengths of the caller-owned work arrays of complex_fft and
// complex_fft_2d, so that a caller sizes them by the engine's own rule and
// not by a formula of its own. Lengths in doubles count interleaved values.

namespace lattice_bubble {

struct FftWorkSizes {
    int index_work_ints = 0;
    int twiddle_doubles = 0;
};

namespace fft_work_detail {
// The largest power of two m with m·m ≤ limit (limit ≥ 1).
constexpr int root_power(int limit) {
    int m = 1;
    while (static_cast<long long>(2 * m) * (2 * m) <= limit) {
        m *= 2;
    }
    return m;
}
}  // namespace fft_work_detail

// complex_fft of n doubles (n a power of two, n ≥ 2): a table of n/4 doubles
// (none for n = 2)
// and 2 + 2^⌊(log2 n − 1)/2⌋ ints, that is 2 + the largest power of two whose
// square is at most n/2.
constexpr FftWorkSizes fft_work_sizes_1d(int n_doubles) {
    return {2 + fft_work_detail::root_power(n_doubles / 2), n_doubles / 4};
}

// complex_fft_2d of n1 rows of n2 doubles: a table of max(2·n1, n2)/4 doubles
// and 2 + m ints, m the largest power of two with m·m ≤ max(n1, n2/2).
constexpr FftWorkSizes fft_work_sizes_2d(int n1_rows, int n2_doubles) {
    const int longest = 2 * n1_rows > n2_doubles ? 2 * n1_rows : n2_doubles;
    const int side = n1_rows > n2_doubles / 2 ? n1_rows : n2_doubles / 2;
    return {2 + fft_work_detail::root_power(side), longest / 4};
}

static_assert(fft_work_sizes_1d(128).index_work_ints == 10 && fft_work_sizes_1d(128).twiddle_doubles == 32);
static_assert(fft_work_sizes_2d(8, 16).index_work_ints == 4 && fft_work_sizes_2d(8, 16).twiddle_doubles == 4);

}  // namespace lattice_bubble
