#include "driver/reference_stage.h"

#include "driver/report.h"
#include "model/bubble.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

void fill_reference(BosonGrid& chi_reference) {
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            for (int m = 0; m < boson_count; ++m) {
                chi_reference[x][y][m] = bubble_reference(x * dk, y * dk, boson_frequency(m));
            }
        }
    }
}

void run_reference_stage(BosonGrid& chi_reference, std::ostream& out) {
    fill_reference(chi_reference);
    write_report(out, chi_reference);
}

}  // namespace lattice_bubble
