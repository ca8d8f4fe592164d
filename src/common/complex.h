#pragma once
// The complex value type of the system: two IEEE doubles and the arithmetic
// written out operation by operation, so that every result is fixed by this
// file alone and not by whichever complex routines a compiler or runtime ships.

#include <cmath>
#include <iosfwd>

namespace lattice_bubble {

struct Complex {
    double re = 0.0;
    double im = 0.0;

    constexpr Complex() = default;
    constexpr Complex(double real_part) : re(real_part) {}  // NOLINT: implicit by design
    constexpr Complex(double real_part, double imag_part) : re(real_part), im(imag_part) {}

    [[nodiscard]] constexpr double real() const { return re; }
    [[nodiscard]] constexpr double imag() const { return im; }

    constexpr Complex& operator+=(const Complex& o) {
        re = re + o.re;
        im = im + o.im;
        return *this;
    }
    constexpr Complex& operator-=(const Complex& o) {
        re = re - o.re;
        im = im - o.im;
        return *this;
    }
    constexpr Complex& operator*=(double s) {
        re = re * s;
        im = im * s;
        return *this;
    }
    constexpr Complex& operator/=(double s) {
        re = re / s;
        im = im / s;
        return *this;
    }
};

[[nodiscard]] constexpr Complex operator-(const Complex& a) { return {-a.re, -a.im}; }
[[nodiscard]] constexpr Complex conj(const Complex& a) { return {a.re, -a.im}; }

[[nodiscard]] constexpr Complex operator+(const Complex& a, const Complex& b) {
    return {a.re + b.re, a.im + b.im};
}
[[nodiscard]] constexpr Complex operator-(const Complex& a, const Complex& b) {
    return {a.re - b.re, a.im - b.im};
}

// (a.re·b.re − a.im·b.im, a.re·b.im + a.im·b.re), each product rounded on its own.
[[nodiscard]] constexpr Complex operator*(const Complex& a, const Complex& b) {
    const double re = a.re * b.re - a.im * b.im;
    const double im = a.re * b.im + a.im * b.re;
    return {re, im};
}

// A Complex and a double: the double is the complex number (s, 0), so a sum
// or difference changes the real part only, while a product or quotient scales
// both parts.
[[nodiscard]] constexpr Complex operator+(const Complex& a, double s) { return {a.re + s, a.im}; }
[[nodiscard]] constexpr Complex operator-(const Complex& a, double s) { return {a.re - s, a.im}; }
[[nodiscard]] constexpr Complex operator*(const Complex& a, double s) { return {a.re * s, a.im * s}; }
[[nodiscard]] constexpr Complex operator*(double s, const Complex& a) { return {s * a.re, s * a.im}; }
[[nodiscard]] constexpr Complex operator/(const Complex& a, double s) { return {a.re / s, a.im / s}; }

// a / b by Smith's scaled algorithm: the ratio of the smaller to the larger
// part of b is formed first, so that no intermediate squares |b|, which would
// overflow or underflow long before the quotient itself does.
//   |b.re| >= |b.im|: r = b.im/b.re, d = b.re + b.im·r,
//                     ((a.re + a.im·r)/d, (a.im − a.re·r)/d)
//   otherwise:        r = b.re/b.im, d = b.re·r + b.im,
//                     ((a.re·r + a.im)/d, (a.im·r − a.re)/d)
[[nodiscard]] inline Complex operator/(const Complex& a, const Complex& b) {
    if (std::fabs(b.re) >= std::fabs(b.im)) {
        const double r = b.im / b.re;
        const double d = b.re + b.im * r;
        return {(a.re + a.im * r) / d, (a.im - a.re * r) / d};
    }
    const double r = b.re / b.im;
    const double d = b.re * r + b.im;
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
}

[[nodiscard]] constexpr bool operator==(const Complex& a, const Complex& b) {
    return a.re == b.re && a.im == b.im;
}
[[nodiscard]] constexpr bool operator!=(const Complex& a, const Complex& b) { return !(a == b); }

// Writes "(" re "," im ")" with the stream's own double formatting.
std::ostream& operator<<(std::ostream& out, const Complex& z);

}  // namespace lattice_bubble
