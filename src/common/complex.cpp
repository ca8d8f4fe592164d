#include "common/complex.h"

#include <cmath>
#include <ostream>

namespace lattice_bubble {

std::ostream& operator<<(std::ostream& out, const Complex& z) {
    return out << '(' << z.re << ',' << z.im << ')';
}

}  // namespace lattice_bubble
