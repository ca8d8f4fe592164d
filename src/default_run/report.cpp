#include "default_run/report.h"

#include <ostream>

namespace lattice_bubble {

void write_report(std::ostream& out, const BosonGrid& grid) {
    out << report_heading << std::endl;
    for (const Complex& value : grid[report_index][report_index]) {
        out << value << std::endl;
    }
    out << std::endl;
}

}  // namespace lattice_bubble
