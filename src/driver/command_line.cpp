#include "driver/command_line.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "common/grids.h"
#include "driver/map_stage.h"
#include "driver/report.h"
#include "driver/run.h"
#include "driver/study.h"
#include "driver/study_options.h"
#include "driver/system_resources.h"

#if !defined(LATTICE_BUBBLE_VERSION)
#error "LATTICE_BUBBLE_VERSION (the project's version from CMake) must be defined"
#endif

namespace lattice_bubble {
namespace {

void write_usage(std::ostream& out) {
    const std::string lattice = std::to_string(lattice_size) + " x " + std::to_string(lattice_size);
    out << "Usage: " << program_name << " [--help | --version]\n"
        << "       " << program_name << " [STUDY OPTIONS]\n"
        << "\n"
        << "Computes the bare particle-hole susceptibility chi(q, i nu_m) of free electrons on a\n"
        << "periodic square lattice on the Matsubara axis, by the Fourier route (FFTs through real\n"
        << "space and imaginary time) and by the direct Brillouin-zone sum.\n"
        << "\n"
        << "Without arguments: the default run. On an " << lattice << " lattice at beta = 1 it prints both\n"
        << "routes at q = (pi, pi), each as a report headed " << report_heading << " with the values for\n"
        << "m = 0 ... " << boson_count - 1
        << ", first the Fourier route, then the direct sum. Between the two\n"
        << "it writes the map of Re chi(q, i nu_" << map_frequency << ") to " << map_file_name
        << " in the current directory\n"
        << "(replacing it), draws it with the plotting program (" << plot_program << ", else gnuplot, on\n"
        << "the search path), and waits for Enter, which closes the plot; at the end of standard\n"
        << "input it goes on at once.\n"
        << "\n"
        << "With options: a study of your own lattice, temperature, band and frequencies. It prints\n"
        << "one table on standard output: the column names on the first line (# ix iy m nu, then\n"
        << "re_R im_R for each route R), comment lines (#) with every parameter, then one row per\n"
        << "wave vector q and bosonic frequency nu_m, every number in the shortest form that reads\n"
        << "back to the same double, and two empty lines between the blocks of two wave vectors.\n"
        << "It writes no file. Every option not given keeps the default run's value.\n"
        << "\n"
        << "  --lattice L        the L x L lattice, q = 2 pi (ix, iy)/L; a power of two from "
        << smallest_lattice << " to " << largest_lattice << "\n"
        << "                     (the FFT engine takes powers of two); default " << lattice_size << "\n"
        << "  --beta B           inverse temperature, 1e-6 ... 1e6; default 1\n"
        << "  --mu M             chemical potential    } the band e(k) = 2 T (cos kx + cos ky) + O - M;\n"
        << "  --hopping T        hopping               } each |value| <= 1e6;\n"
        << "  --offset O         band offset           } defaults M = 1, T = 2, O = 5\n"
        << "  --frequencies N    positive fermionic Matsubara frequencies, a power of two from "
        << smallest_frequencies << "\n"
        << "                     to " << largest_frequencies
        << "; the run has 2N imaginary times and N + 1 bosonic\n"
        << "                     frequencies nu_m = 2 pi m/beta, m = 0 ... N; default " << fermion_count
        << "\n"
        << "  --q IX,IY          a wave vector of the table by its grid indices, 0 ... L - 1;\n"
        << "                     repeat it for more (each counts once, in the order given);\n"
        << "  --q all            every wave vector, ix major, iy minor; default L/2,L/2 = (pi, pi)\n"
        << "  --routes LIST      comma-separated, of fourier, tail (the Fourier route with the\n"
        << "                     tails of G and chi handled analytically) and direct; default all\n"
        << "  --plot             after the table, draw Re chi(q, i nu_m) against m for every route\n"
        << "                     at the first q with the plotting program, and wait for Enter\n"
        << "  --threads K        threads, 1 ... 1024; default OMP_NUM_THREADS when set, else every\n"
        << "                     processor the process may use; the table is the same for every K\n"
        << "  -h, --help         this text;  --version  the version (either anywhere on the line)\n"
        << "\n"
        << "Options take --name value or --name=value; a value may begin with '-' (--mu -0.5);\n"
        << "names are not abbreviated; a scalar option given twice keeps the last; -- ends the\n"
        << "options, and any other word is refused. Numbers are decimal: integers where one is\n"
        << "needed, no hexadecimal, inf or nan. The direct sum takes the exact limit -f'(e) for\n"
        << "pairs of equal energy at nu = 0; the default run's leaves them out.\n"
        << "\n"
        << "Exit status: 0 complete; 1 out of memory; 2 a wrong argument, a study that does not fit\n"
        << "in the memory available, or an output lost (standard output or " << map_file_name << ");\n"
        << "255 no pipe to the plotting program in the default run.\n"
        << "\n"
        << "Documentation: README.md and docs/ in the source tree.\n";
}

}  // namespace

std::string_view program_version() { return LATTICE_BUBBLE_VERSION; }

int run_command_line(int argc, const char* const* argv) {
    const Command command =
        parse_command_line(argc, argv, std::getenv("OMP_NUM_THREADS"), usable_processors());
    switch (command.kind) {
        case CommandKind::default_run:
            return run();
        case CommandKind::help:
            write_usage(std::cout);
            return OutputWatch(false).status(exit_complete, "the usage and its options");
        case CommandKind::version:
            std::cout << program_name << " " << program_version() << "\n";
            return OutputWatch(false).status(exit_complete, "the name and version");
        case CommandKind::study:
            if (!command.warning.empty()) {
                std::cerr << command.warning << std::endl;
            }
            return run_study(command.study);
        case CommandKind::refused:
            break;
    }
    std::cerr << command.refusal << std::endl;
    return exit_usage_error;
}

}  // namespace lattice_bubble
