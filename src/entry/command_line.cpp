#include "entry/command_line.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "default_run/grids.h"
#include "common/program.h"
#include "default_run/run.h"
#include "entry/options.h"
#include "entry/study.h"
#include "default_run/map_stage.h"
#include "default_run/report.h"
#include "platform/process.h"
#include "platform/system_resources.h"

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
        << "space and imaginary time) and by the direct Brillouin-zone sum; by that sum also on the\n"
        << "real axis, and with an interaction U the enhanced (RPA) spin and charge susceptibilities.\n"
        << "\n"
        << "Without arguments: the default run. On an " << lattice << " lattice at beta = 1 it prints both\n"
        << "routes at q = (pi, pi), each as a report headed " << report_heading << " with the values for\n"
        << "m = 0 ... " << boson_count - 1
        << ", first the Fourier route, then the direct sum. Between the two\n"
        << "it writes the map of Re chi(q, i nu_" << map_frequency << ") by the Fourier route to "
        << map_file_name << "\n"
        << "in the current directory (replacing it), draws it with the plotting program (" << plot_program
        << ",\n"
        << "else gnuplot, on the search path), and waits for Enter, which closes the plot; at the\n"
        << "end of standard input it goes on at once.\n"
        << "\n"
        << "With options: a study of your own lattice, temperature, band and frequencies. It prints\n"
        << "one table on standard output: the column names on the first line (# ix iy m nu, or\n"
        << "# ix iy j omega on the real axis, then re_R im_R for each route R, with --coupling each\n"
        << "followed by re_R_spin im_R_spin re_R_charge im_R_charge), comment lines (#) with every\n"
        << "parameter, then one row per wave vector q and frequency, every number in the shortest\n"
        << "form that reads back to the same double, two empty lines between the blocks of two\n"
        << "wave vectors, and with --coupling comment lines at the end with each route's U_c.\n"
        << "It writes no file. Every option not given keeps the default run's value. Units: the\n"
        << "band's energy; chi is per spin.\n"
        << "\n";
    write_option_help(out);
    out << "  -h, --help         this text;  --version  the version (either anywhere on the line)\n"
        << "\n"
        << "Options take --name value or --name=value; a value may begin with '-' (--mu -0.5);\n"
        << "names are not abbreviated; a scalar option given twice keeps the last; -- ends the\n"
        << "options, and any other word is refused. A value is the whole argument: integers in\n"
        << "decimal digits, reals as decimal numbers (no hexadecimal, inf or nan). The direct sum\n"
        << "takes the exact limit -f'(e) for pairs of equal energy at nu = 0; the default run's\n"
        << "leaves them out.\n"
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
        read_command_line(argc, argv, Environment{std::getenv("OMP_NUM_THREADS"), usable_processors()});
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
            for (const std::string& warning : command.warnings) {
                write_message(warning);
            }
            return run_study(command.study);
        case CommandKind::refused:
            break;
    }
    write_message(command.refusal);
    return exit_usage_error;
}

}  // namespace lattice_bubble
