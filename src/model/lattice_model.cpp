#include "model/lattice_model.h"

#include <cmath>

namespace lattice_bubble {

double dispersion(double kx, double ky) {
    const double s = std::cos(lattice_spacing * kx) + std::cos(lattice_spacing * ky);
    const double shifted = (2.0 * hopping) * s + band_offset;
    return shifted - chemical_potential;
}

double fermi(double e) { return 1.0 / (std::exp(beta * e) + 1.0); }

Complex free_green(double kx, double ky, Complex z) {
    const double e = dispersion(kx, ky);
    const Complex divisor{z.re - e, z.im};
    return Complex{1.0, 0.0} / divisor;
}

}  // namespace lattice_bubble
