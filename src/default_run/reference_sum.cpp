#include "default_run/reference_sum.h"

#include "model/lattice_model.h"

namespace lattice_bubble {

Complex bubble_reference(double qx, double qy, Complex z) {
    Complex sum{0.0, 0.0};
    for (int i = 0; i < lattice_size; ++i) {
        const double kx = i * dk;
        for (int j = 0; j < lattice_size; ++j) {
            const double ky = j * dk;
            const double e_kq = dispersion(kx + qx, ky + qy);
            const double e_k = dispersion(kx, ky);
            const double d = e_kq - e_k;
            const Complex divisor{z.re - d, z.im};
            if (divisor == Complex{0.0, 0.0}) {
                continue;  // the 0/0 point of the Lindhard quotient adds nothing
            }
            const double numerator = fermi(e_kq) - fermi(e_k);
            sum += Complex{numerator, 0.0} / divisor;
        }
    }
    return sum / site_count;
}

Complex bubble_rpa_minus(double qx, double qy, Complex z) {
    return rpa_spin(bubble_reference(qx, qy, z), coupling);
}

Complex bubble_rpa_plus(double qx, double qy, Complex z) {
    return rpa_charge(bubble_reference(qx, qy, z), coupling);
}

void fill_reference(BosonGrid& chi_reference) {
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (int m = 0; m < boson_count; ++m) {
                chi_reference[x][y][m] = bubble_reference(x * dk, y * dk, boson_frequency(m));
            }
        }
    }
}

}  // namespace lattice_bubble
