// Radix-4 decimation in time: bit-reversed input, radix-4 stages of growing
// span with twiddles from the bit-reversed table, and a last radix-4 or radix-2
// stage without twiddles. The negative exponent conjugates the data while
// permuting it, runs the same stages, and conjugates again in its last stage,
// since conj(Σ conj(x_j)·w^jk) = Σ x_j·w^−jk.

#include "fft/complex_fft.h"

#include "fft/detail/lanes.h"
#include "fft/detail/permute.h"
#include "fft/twiddle.h"

namespace lattice_bubble {
inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace {

using fft_detail::Cx;
using fft_detail::load;
using fft_detail::Opening;
using fft_detail::Quad;
using fft_detail::store;
using fft_detail::Twiddle;

inline void butterfly_store(double* a, int j, int l, const Quad& y) {
    store(a + j, y.y0);
    store(a + j + 2 * l, y.y2);
    store(a + j + l, y.y1);
    store(a + j + 3 * l, y.y3);
}

inline Opening butterfly_load(const double* a, int j, int l) {
    return fft_detail::open_butterfly(load(a + j), load(a + j + l), load(a + j + 2 * l), load(a + j + 3 * l));
}

// Puts a into bit-reversed order and conjugates every value, each exactly once.
// Called with n ≥ 8.
void bit_reverse_permute_conj(int n, int* scratch, double* a) {
    using fft_detail::cross_conj;
    using fft_detail::negate_imag;
    scratch[0] = 0;
    int l = n;
    int m = 1;
    while ((m << 3) < l) {
        l >>= 1;
        for (int j = 0; j < m; ++j) {
            scratch[m + j] = scratch[j] + l;
        }
        m <<= 1;
    }
    const int m2 = 2 * m;
    if ((m << 3) == l) {
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

// One radix-4 stage of span l doubles (l = 2 for the first stage): blocks of
// m = 4l doubles; block 0 untwiddled, block 1 by the eighth turn, then for
// t = 1, 2, … block 2t with q2 = W[t], q1 = W[2t] and block 2t + 1 with i·q2,
// q1 = W[2t + 1]; q3 = q1³ comes from q1 and q2 by the cube formula.
inline void radix4_stage(int n, int l, double* a, const double* twiddle) {
    using namespace fft_detail;
    const int m = l << 2;
    const int m2 = m << 1;
    for (int j = 0; j < l; j += 2) {
        butterfly_store(a, j, l, plain_positive(butterfly_load(a, j, l)));
    }
    const Cx s = splat(twiddle[2]);
    for (int j = m; j < l + m; j += 2) {
        butterfly_store(a, j, l, eighth_positive(butterfly_load(a, j, l), s));
    }
    int k1 = 0;
    for (int k = m2; k < n; k += m2) {
        k1 += 2;
        const int k2 = 2 * k1;
        const double q2_re = twiddle[k1];
        const double q2_im = twiddle[k1 + 1];
        {
            const double q1_re = twiddle[k2];
            const double q1_im = twiddle[k2 + 1];
            const ScalarPair q3 = cube_from(q1_re, q1_im, q2_im);
            const Twiddle t1 = twiddle_of(q1_re, q1_im);
            const Twiddle t2 = twiddle_of(q2_re, q2_im);
            const Twiddle t3 = twiddle_of(q3.re, q3.im);
            for (int j = k; j < l + k; j += 2) {
                butterfly_store(a, j, l, twiddled_positive(butterfly_load(a, j, l), t1, t2, t3));
            }
        }
        {
            const double q1_re = twiddle[k2 + 2];
            const double q1_im = twiddle[k2 + 3];
            const ScalarPair q3 = cube_from(q1_re, q1_im, q2_re);
            const Twiddle t1 = twiddle_of(q1_re, q1_im);
            const Twiddle t2 = twiddle_of(-q2_im, q2_re);  // i·q2
            const Twiddle t3 = twiddle_of(q3.re, q3.im);
            for (int j = k + m; j < l + k + m; j += 2) {
                butterfly_store(a, j, l, twiddled_positive(butterfly_load(a, j, l), t1, t2, t3));
            }
        }
    }
}

// The stage of span 2 doubles: one butterfly per block. Touches doubles 0 … 15.
void fft_first_stage(int n, double* a, const double* twiddle) { radix4_stage(n, 2, a, twiddle); }

void fft_middle_stage(int n, int l, double* a, const double* twiddle) { radix4_stage(n, l, a, twiddle); }

// Runs the twiddled stages and returns the span l of the last, untwiddled one.
int fft_twiddled_stages(int n, double* a, const double* twiddle) {
    int l = 2;
    if (n > 8) {
        fft_first_stage(n, a, twiddle);
        l = 8;
        while ((l << 2) < n) {
            fft_middle_stage(n, l, a, twiddle);
            l <<= 2;
        }
    }
    return l;
}

void fft_forward_pass(int n, double* a, const double* twiddle) {
    using namespace fft_detail;
    const int l = fft_twiddled_stages(n, a, twiddle);
    if ((l << 2) == n) {
        for (int j = 0; j < l; j += 2) {
            butterfly_store(a, j, l, plain_positive(butterfly_load(a, j, l)));
        }
    } else {
        for (int j = 0; j < l; j += 2) {
            const Cx x0 = load(a + j);
            const Cx x1 = load(a + j + l);
            store(a + j, x0 + x1);
            store(a + j + l, x0 - x1);
        }
    }
}

// As the forward pass; its last stage takes conjugated inputs (−im) and
// delivers the conjugates of the untwiddled butterfly's results.
void fft_backward_pass(int n, double* a, const double* twiddle) {
    using namespace fft_detail;
    const int l = fft_twiddled_stages(n, a, twiddle);
    if ((l << 2) == n) {
        for (int j = 0; j < l; j += 2) {
            const Cx x0 = neg_im(load(a + j));
            const Cx x1 = neg_im(load(a + j + l));
            const Cx x2 = load(a + j + 2 * l);
            const Cx x3 = load(a + j + 3 * l);
            const Cx e0 = x0 + x1;  // (a0.re + a1.re, −a0.im − a1.im)
            const Cx e1 = x0 - x1;  // (a0.re − a1.re, −a0.im + a1.im)
            const Cx e2 = x2 + x3;
            const Cx e3 = x2 - x3;
            const Cx c2 = neg_im(e2);
            const Cx s3 = swap(e3);
            store(a + j, e0 + c2);
            store(a + j + 2 * l, e0 - c2);
            store(a + j + l, e1 - s3);
            store(a + j + 3 * l, e1 + s3);
        }
    } else {
        for (int j = 0; j < l; j += 2) {
            const Cx x0 = neg_im(load(a + j));
            const Cx x1 = neg_im(load(a + j + l));
            store(a + j, x0 + x1);
            store(a + j + l, x0 - x1);
        }
    }
}

}  // namespace

void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle) {
    if (n > (index_work[0] << 2)) {
        build_twiddle_table(n >> 2, index_work, twiddle);
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
