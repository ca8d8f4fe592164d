#include "common/complex.h"

#include <cmath>
#include <ostream>

namespace lattice_bubble {

Complex operator/(const Complex& a, const Complex& b) {
    if (std::fabs(b.re) >= std::fabs(b.im)) {
        const double r = b.im / b.re;
        const double d = b.re + b.im * r;
        return {(a.re + a.im * r) / d, (a.im - a.re * r) / d};
    }
    const double r = b.re / b.im;
    const double d = b.re * r + b.im;
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
}

std::ostream& operator<<(std::ostream& out, const Complex& z) {
    return out << '(' << z.re << ',' << z.im << ')';
}

}  // namespace lattice_bubble
