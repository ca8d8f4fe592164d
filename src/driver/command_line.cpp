#include "driver/command_line.h"

#include <iostream>
#include <string>

#include "common/grids.h"
#include "driver/map_stage.h"
#include "driver/report.h"
#include "driver/run.h"

#if !defined(LATTICE_BUBBLE_VERSION)
#error "LATTICE_BUBBLE_VERSION (the project's version from CMake) must be defined"
#endif

namespace lattice_bubble {
namespace {

void write_usage(std::ostream& out) {
    const std::string lattice = std::to_string(lattice_size) + " x " + std::to_string(lattice_size);
    out << "Usage: " << program_name << " [--help | --version]\n"
        << "\n"
        << "Computes the bare particle-hole susceptibility chi(q, i nu_m) of free electrons on an\n"
        << lattice << " periodic square lattice at beta = 1 by two routes and prints both at\n"
        << "q = (pi, pi), each as a report headed " << report_heading << " with the values for m = 0 ... "
        << boson_count - 1 << ":\n"
        << "first the Fourier route (FFTs through real space and imaginary time), then the\n"
        << "direct Brillouin-zone sum.\n"
        << "\n"
        << "Between the two it writes the map of Re chi(q, i nu_" << map_frequency << ") to " << map_file_name
        << " in the\n"
        << "current directory (replacing it), draws it with the plotting program (" << plot_program << ",\n"
        << "else gnuplot, on the search path), and waits for Enter, which closes the plot; at\n"
        << "the end of standard input it goes on at once.\n"
        << "\n"
        << "Exit status: 0 complete; 1 out of memory; 2 an output lost (standard output or\n"
        << map_file_name << "), or a wrong argument; 255 no pipe to the plotting program.\n"
        << "\n"
        << "Documentation: README.md and docs/ in the source tree.\n";
}

}  // namespace

int run_command_line(int argc, const char* const* argv) {
    if (argc <= 1) {
        return run();
    }
    const std::string_view argument = argv[1];
    if (argc == 2 && (argument == "-h" || argument == "--help")) {
        write_usage(std::cout);
        return status_after_output(exit_complete);
    }
    if (argc == 2 && argument == "--version") {
        std::cout << program_name << " " << LATTICE_BUBBLE_VERSION << "\n";
        return status_after_output(exit_complete);
    }
    // The first argument that is not a lone request for help or the version.
    const std::string_view unexpected = (argument == "-h" || argument == "--help" || argument == "--version")
                                            ? std::string_view(argv[2])
                                            : argument;
    std::cerr << program_name << ": unexpected argument '" << unexpected << "'; nothing was computed (see "
              << program_name << " --help)" << std::endl;
    return exit_usage_error;
}

}  // namespace lattice_bubble
