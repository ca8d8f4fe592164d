#include "support/plain_fft.h"

#include <cmath>
#include <utility>

namespace lattice_bubble::testing::plain {
namespace {

// ---------------------------------------------------------------- permutations

void exchange(double* a, int p, int q) {
    std::swap(a[p], a[q]);
    std::swap(a[p + 1], a[q + 1]);
}

void cross(double* a, int p, int q) {
    const double pr = a[p];
    const double pi = a[p + 1];
    a[p] = a[q];
    a[p + 1] = -a[q + 1];
    a[q] = pr;
    a[q + 1] = -pi;
}

void negate(double* a, int p) { a[p + 1] = -a[p + 1]; }

// The index list of every bit reversal: s[j] is the position of the reverse
// of j; l is halved until factor·m ≥ l, and m is returned.
int index_list(int* s, int& l, int factor) {
    s[0] = 0;
    int m = 1;
    while (factor * m < l) {
        l = l / 2;
        for (int j = 0; j < m; ++j) {
            s[m + j] = s[j] + l;
        }
        m = 2 * m;
    }
    return m;
}

void bit_reverse_permute(int n, int* s, double* a) {
    int l = n;
    const int m = index_list(s, l, 4);
    if (4 * m > l) {
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                exchange(a, 2 * j + s[k], 2 * k + s[j]);
            }
        }
    } else {
        const int m2 = 2 * m;
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                const int p = 2 * j + s[k];
                const int q = 2 * k + s[j];
                exchange(a, p, q);
                exchange(a, p + m2, q + m2);
            }
        }
    }
}

void bit_reverse_permute_conj(int n, int* s, double* a) {
    int l = n;
    const int m = index_list(s, l, 8);
    const int m2 = 2 * m;
    if (8 * m == l) {
        for (int k = 0; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                int p = 2 * j + s[k];
                int q = 2 * k + s[j];
                cross(a, p, q);
                p = p + m2;
                q = q + 2 * m2;
                cross(a, p, q);
                p = p + m2;
                q = q - m2;
                cross(a, p, q);
                p = p + m2;
                q = q + 2 * m2;
                cross(a, p, q);
            }
            int q = 2 * k + s[k];
            negate(a, q);
            const int p = q + m2;
            q = p + m2;
            cross(a, p, q);
            q = q + m2;
            negate(a, q);
        }
    } else {
        negate(a, 0);
        negate(a, m2);
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                const int p = 2 * j + s[k];
                const int q = 2 * k + s[j];
                cross(a, p, q);
                cross(a, p + m2, q + m2);
            }
            const int q = 2 * k + s[k];
            negate(a, q);
            negate(a, q + m2);
        }
    }
}

// ---------------------------------------------------------- 1-D radix-4 stages

enum class Variant { untwiddled, eighth, general, rotated };

struct Pair {
    double re;
    double im;
};

// The radix-4 butterfly of span l at position j; q1, q2, q3 are read only by
// the general and rotated variants, s only by the eighth-turn one.
void butterfly(double* a, int j, int l, Variant variant, Pair q1, Pair q2, Pair q3, double s) {
    const int j1 = j + l;
    const int j2 = j + 2 * l;
    const int j3 = j + 3 * l;
    const double e0re = a[j] + a[j1];
    const double e0im = a[j + 1] + a[j1 + 1];
    const double e1re = a[j] - a[j1];
    const double e1im = a[j + 1] - a[j1 + 1];
    const double e2re = a[j2] + a[j3];
    const double e2im = a[j2 + 1] + a[j3 + 1];
    const double e3re = a[j2] - a[j3];
    const double e3im = a[j2 + 1] - a[j3 + 1];
    a[j] = e0re + e2re;
    a[j + 1] = e0im + e2im;
    if (variant == Variant::untwiddled) {
        a[j2] = e0re - e2re;
        a[j2 + 1] = e0im - e2im;
        a[j1] = e1re - e3im;
        a[j1 + 1] = e1im + e3re;
        a[j3] = e1re + e3im;
        a[j3 + 1] = e1im - e3re;
        return;
    }
    if (variant == Variant::eighth) {
        a[j2] = e2im - e0im;
        a[j2 + 1] = e0re - e2re;
        const double yre = e1re - e3im;
        const double yim = e1im + e3re;
        a[j1] = (yre - yim) * s;
        a[j1 + 1] = (yre + yim) * s;
        const double vre = e3im + e1re;
        const double vim = e3re - e1im;
        a[j3] = (vim - vre) * s;
        a[j3 + 1] = (vim + vre) * s;
        return;
    }
    {
        const double yre = e0re - e2re;
        const double yim = e0im - e2im;
        if (variant == Variant::general) {
            a[j2] = q2.re * yre - q2.im * yim;
            a[j2 + 1] = q2.re * yim + q2.im * yre;
        } else {
            a[j2] = (-q2.im) * yre - q2.re * yim;
            a[j2 + 1] = (-q2.im) * yim + q2.re * yre;
        }
    }
    {
        const double yre = e1re - e3im;
        const double yim = e1im + e3re;
        a[j1] = q1.re * yre - q1.im * yim;
        a[j1 + 1] = q1.re * yim + q1.im * yre;
    }
    {
        const double yre = e1re + e3im;
        const double yim = e1im - e3re;
        a[j3] = q3.re * yre - q3.im * yim;
        a[j3 + 1] = q3.re * yim + q3.im * yre;
    }
}

// A radix-4 stage of span l doubles (the first stage is l = 2).
void middle_stage(int n, int l, double* a, const double* w) {
    const int m = 4 * l;
    const int m2 = 8 * l;
    const Pair none{0.0, 0.0};
    for (int j = 0; j < l; j += 2) {
        butterfly(a, j, l, Variant::untwiddled, none, none, none, 0.0);
    }
    for (int j = m; j < m + l; j += 2) {
        butterfly(a, j, l, Variant::eighth, none, none, none, w[2]);
    }
    for (int t = 1; t * m2 < n; ++t) {
        const int k = t * m2;
        const Pair q2{w[2 * t], w[2 * t + 1]};
        {
            const Pair q1{w[4 * t], w[4 * t + 1]};
            const Pair q3{q1.re - (2.0 * q2.im) * q1.im, (2.0 * q2.im) * q1.re - q1.im};
            for (int j = k; j < k + l; j += 2) {
                butterfly(a, j, l, Variant::general, q1, q2, q3, 0.0);
            }
        }
        {
            const Pair q1{w[4 * t + 2], w[4 * t + 3]};
            const Pair q3{q1.re - (2.0 * q2.re) * q1.im, (2.0 * q2.re) * q1.re - q1.im};
            for (int j = k + m; j < k + m + l; j += 2) {
                butterfly(a, j, l, Variant::rotated, q1, q2, q3, 0.0);
            }
        }
    }
}

void final_forward(int n, int l, double* a) {
    for (int j = 0; j < l; j += 2) {
        const int j1 = j + l;
        if (4 * l == n) {
            const Pair none{0.0, 0.0};
            butterfly(a, j, l, Variant::untwiddled, none, none, none, 0.0);
        } else {
            const double fre = a[j] - a[j1];
            const double fim = a[j + 1] - a[j1 + 1];
            a[j] = a[j] + a[j1];
            a[j + 1] = a[j + 1] + a[j1 + 1];
            a[j1] = fre;
            a[j1 + 1] = fim;
        }
    }
}

void final_backward(int n, int l, double* a) {
    for (int j = 0; j < l; j += 2) {
        const int j1 = j + l;
        const int j2 = j + 2 * l;
        const int j3 = j + 3 * l;
        if (4 * l == n) {
            const double e0re = a[j] + a[j1];
            const double e0im = -a[j + 1] - a[j1 + 1];
            const double e1re = a[j] - a[j1];
            const double e1im = -a[j + 1] + a[j1 + 1];
            const double e2re = a[j2] + a[j3];
            const double e2im = a[j2 + 1] + a[j3 + 1];
            const double e3re = a[j2] - a[j3];
            const double e3im = a[j2 + 1] - a[j3 + 1];
            a[j] = e0re + e2re;
            a[j + 1] = e0im - e2im;
            a[j2] = e0re - e2re;
            a[j2 + 1] = e0im + e2im;
            a[j1] = e1re - e3im;
            a[j1 + 1] = e1im - e3re;
            a[j3] = e1re + e3im;
            a[j3 + 1] = e1im + e3re;
        } else {
            const double fre = a[j] - a[j1];
            const double fim = -a[j + 1] + a[j1 + 1];
            a[j] = a[j] + a[j1];
            a[j + 1] = -a[j + 1] - a[j1 + 1];
            a[j1] = fre;
            a[j1 + 1] = fim;
        }
    }
}

void pass(int n, double* a, const double* w, bool backward) {
    int l = 2;
    if (n > 8) {
        middle_stage(n, 2, a, w);
        l = 8;
        while (4 * l < n) {
            middle_stage(n, l, a, w);
            l = 4 * l;
        }
    }
    if (backward) {
        final_backward(n, l, a);
    } else {
        final_forward(n, l, a);
    }
}

// -------------------------------------------------------------- 2-D transform

// One row or one column seen as a line of complex elements.
struct Line {
    double** rows;
    int fixed;        // the row (column pass) or the column (row pass)
    bool along_rows;  // true: element p is row p of column `fixed`
    double& re(int p) const { return along_rows ? rows[p][2 * fixed] : rows[fixed][2 * p]; }
    double& im(int p) const { return along_rows ? rows[p][2 * fixed + 1] : rows[fixed][2 * p + 1]; }
};

struct Twiddles {
    double t1r, t1i, t2r, t2i, t3r, t3i;
};

Twiddles block_twiddles(int g, const double* w) {
    const int s = (g % 2 == 0) ? 1 : -1;
    Twiddles t{};
    t.t1r = w[2 * g];
    t.t1i = w[2 * g + 1];
    t.t2r = s * w[g];
    t.t2i = w[g + s];
    t.t3r = t.t1r - (2.0 * t.t2i) * t.t1i;
    t.t3i = (2.0 * t.t2i) * t.t1r - t.t1i;
    return t;
}

enum class Kind { plain, eighth, twiddled };

void butterfly_2d(const Line& x, int p, int L, Kind kind, bool negative, const Twiddles& t, double h) {
    const double u0r = x.re(p), u0i = x.im(p);
    const double u1r = x.re(p + L), u1i = x.im(p + L);
    const double u2r = x.re(p + 2 * L), u2i = x.im(p + 2 * L);
    const double u3r = x.re(p + 3 * L), u3i = x.im(p + 3 * L);
    const double x0r = u0r + u1r, x0i = u0i + u1i;
    const double x1r = u0r - u1r, x1i = u0i - u1i;
    const double x2r = u2r + u3r, x2i = u2i + u3i;
    const double x3r = u2r - u3r, x3i = u2i - u3i;
    x.re(p) = x0r + x2r;
    x.im(p) = x0i + x2i;
    if (kind == Kind::plain) {
        x.re(p + 2 * L) = x0r - x2r;
        x.im(p + 2 * L) = x0i - x2i;
        if (!negative) {
            x.re(p + L) = x1r - x3i;
            x.im(p + L) = x1i + x3r;
            x.re(p + 3 * L) = x1r + x3i;
            x.im(p + 3 * L) = x1i - x3r;
        } else {
            x.re(p + L) = x1r + x3i;
            x.im(p + L) = x1i - x3r;
            x.re(p + 3 * L) = x1r - x3i;
            x.im(p + 3 * L) = x1i + x3r;
        }
        return;
    }
    if (kind == Kind::eighth) {
        if (!negative) {
            x.re(p + 2 * L) = x2i - x0i;
            x.im(p + 2 * L) = x0r - x2r;
            const double yr = x1r - x3i, yi = x1i + x3r;
            x.re(p + L) = (yr - yi) * h;
            x.im(p + L) = (yr + yi) * h;
            const double zr = x3i + x1r, zi = x3r - x1i;
            x.re(p + 3 * L) = (zi - zr) * h;
            x.im(p + 3 * L) = (zi + zr) * h;
        } else {
            x.re(p + 2 * L) = x0i - x2i;
            x.im(p + 2 * L) = x2r - x0r;
            const double yr = x1r + x3i, yi = x1i - x3r;
            x.re(p + L) = (yi + yr) * h;
            x.im(p + L) = (yi - yr) * h;
            const double zr = x3i - x1r, zi = x3r + x1i;
            x.re(p + 3 * L) = (zr + zi) * h;
            x.im(p + 3 * L) = (zr - zi) * h;
        }
        return;
    }
    if (!negative) {
        double yr = x0r - x2r, yi = x0i - x2i;
        x.re(p + 2 * L) = t.t2r * yr - t.t2i * yi;
        x.im(p + 2 * L) = t.t2r * yi + t.t2i * yr;
        yr = x1r - x3i;
        yi = x1i + x3r;
        x.re(p + L) = t.t1r * yr - t.t1i * yi;
        x.im(p + L) = t.t1r * yi + t.t1i * yr;
        yr = x1r + x3i;
        yi = x1i - x3r;
        x.re(p + 3 * L) = t.t3r * yr - t.t3i * yi;
        x.im(p + 3 * L) = t.t3r * yi + t.t3i * yr;
    } else {
        double yr = x0r - x2r, yi = x0i - x2i;
        x.re(p + 2 * L) = t.t2r * yr + t.t2i * yi;
        x.im(p + 2 * L) = t.t2r * yi - t.t2i * yr;
        yr = x1r + x3i;
        yi = x1i - x3r;
        x.re(p + L) = t.t1r * yr + t.t1i * yi;
        x.im(p + L) = t.t1r * yi - t.t1i * yr;
        yr = x1r - x3i;
        yi = x1i + x3r;
        x.re(p + 3 * L) = t.t3r * yr + t.t3i * yi;
        x.im(p + 3 * L) = t.t3r * yi - t.t3i * yr;
    }
}

// One pass over the lines of a direction of N elements: the column pass runs
// every stage on row 0, then on row 1, …; the row pass runs each butterfly on
// column 0, column 1, … before the next butterfly.
void pass_2d(int n1, int n2, double** rows, const double* w, bool along_rows, bool negative) {
    const int N = along_rows ? n1 : n2 / 2;
    const int line_count = along_rows ? n2 / 2 : n1;
    const auto each_line = [&](int first, int last, const auto& body) {
        for (int line = first; line < last; ++line) {
            body(Line{rows, line, along_rows});
        }
    };
    // The column pass nests row outermost; the row pass nests column innermost.
    const int outer = along_rows ? 1 : line_count;
    for (int o = 0; o < outer; ++o) {
        const int first = along_rows ? 0 : o;
        const int last = along_rows ? line_count : o + 1;
        int L = 1;
        while (2 * L < N) {
            const int M = 4 * L;
            const Twiddles none{};
            for (int p = 0; p < L; ++p) {
                each_line(first, last,
                          [&](const Line& x) { butterfly_2d(x, p, L, Kind::plain, negative, none, 0.0); });
            }
            if (M < N) {
                const double h = w[2];
                for (int p = M; p < M + L; ++p) {
                    each_line(first, last,
                              [&](const Line& x) { butterfly_2d(x, p, L, Kind::eighth, negative, none, h); });
                }
                for (int g = 2; g * M <= N - M; ++g) {
                    const int K = g * M;
                    const Twiddles t = block_twiddles(g, w);
                    for (int p = K; p < K + L; ++p) {
                        each_line(first, last, [&](const Line& x) {
                            butterfly_2d(x, p, L, Kind::twiddled, negative, t, 0.0);
                        });
                    }
                }
            }
            L = M;
        }
        if (L < N) {
            for (int p = 0; p < L; ++p) {
                each_line(first, last, [&](const Line& x) {
                    const double ur = x.re(p), ui = x.im(p);
                    const double vr = x.re(p + L), vi = x.im(p + L);
                    const double dr = ur - vr, di = ui - vi;
                    x.re(p) = ur + vr;
                    x.im(p) = ui + vi;
                    x.re(p + L) = dr;
                    x.im(p + L) = di;
                });
            }
        }
    }
}

void bit_reverse_columns(int n1, int n2, int* s, double** rows) {
    int l = n2;
    const int m = index_list(s, l, 4);
    for (int r = 0; r < n1; ++r) {
        for (int k = 1; k < m; ++k) {
            for (int j = 0; j < k; ++j) {
                exchange(rows[r], s[k] + 2 * j, s[j] + 2 * k);
                if (4 * m == l) {
                    exchange(rows[r], s[k] + 2 * j + 2 * m, s[j] + 2 * k + 2 * m);
                }
            }
        }
    }
}

void exchange_rows(int n2, double* r, double* q) {
    for (int c = 0; c < n2; ++c) {
        std::swap(r[c], q[c]);
    }
}

void bit_reverse_rows(int n1, int n2, int* s, double** rows) {
    int l = n1;
    const int m = index_list(s, l, 2);
    for (int k = 1; k < m; ++k) {
        for (int j = 0; j < k; ++j) {
            exchange_rows(n2, rows[j + s[k]], rows[k + s[j]]);
            if (2 * m == l) {
                exchange_rows(n2, rows[j + s[k] + m], rows[k + s[j] + m]);
            }
        }
    }
}

}  // namespace

void build_twiddle_table(int nt, int* index_work, double* twiddle) {
    index_work[0] = nt;
    index_work[1] = 1;
    if (nt <= 2) {
        return;
    }
    const int half = nt >> 1;
    const double step = std::atan(1.0) / static_cast<double>(half);
    twiddle[0] = 1.0;
    twiddle[1] = 0.0;
    twiddle[half] = std::cos(static_cast<double>(half) * step);
    twiddle[half + 1] = twiddle[half];
    for (int j = 2; j <= half - 2; j += 2) {
        const double angle = static_cast<double>(j) * step;
        const double x = std::cos(angle);
        const double y = std::sin(angle);
        twiddle[j] = x;
        twiddle[j + 1] = y;
        twiddle[nt - j] = y;
        twiddle[nt - j + 1] = x;
    }
    bit_reverse_permute(nt, index_work + 2, twiddle);
}

void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle) {
    if (n > 4 * index_work[0]) {
        build_twiddle_table(n / 4, index_work, twiddle);
    }
    if (n > 4) {
        if (sign >= 0) {
            bit_reverse_permute(n, index_work + 2, a);
            pass(n, a, twiddle, false);
        } else {
            bit_reverse_permute_conj(n, index_work + 2, a);
            pass(n, a, twiddle, true);
        }
    } else if (n == 4) {
        pass(n, a, twiddle, false);
    }
}

void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle) {
    int n = 2 * n1;
    if (n < n2) {
        n = n2;
    }
    if (n > 4 * index_work[0]) {
        build_twiddle_table(n / 4, index_work, twiddle);
    }
    if (n2 > 4) {
        bit_reverse_columns(n1, n2, index_work + 2, rows);
    }
    if (n1 > 2) {
        bit_reverse_rows(n1, n2, index_work + 2, rows);
    }
    const bool negative = sign < 0;
    pass_2d(n1, n2, rows, twiddle, false, negative);
    pass_2d(n1, n2, rows, twiddle, true, negative);
}

}  // namespace lattice_bubble::testing::plain
