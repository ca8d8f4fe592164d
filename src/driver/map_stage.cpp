#include "driver/map_stage.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

#include "driver/plot_pipe.h"
#include "model/lattice_model.h"

namespace lattice_bubble {

void write_map(std::ostream& out, const BosonGrid& chi_freq) {
    for (int x = 0; x < lattice_size; ++x) {
        for (int y = 0; y < lattice_size; ++y) {
            out << x * dk << " " << y * dk << " " << chi_freq[x][y][map_frequency].re << std::endl;
        }
        out << std::endl;
    }
}

MapStageOutcome run_map_stage(const BosonGrid& chi_freq, std::ofstream& map_file, std::istream& in,
                              std::ostream& err) {
    MapStageOutcome outcome;
    errno = 0;
    map_file.open(std::string(map_file_name), std::ios::out | std::ios::trunc);
    const int open_error = errno;
    write_map(map_file, chi_freq);
    outcome.map_saved = map_file.is_open() && map_file.good();
    if (!map_file.is_open()) {
        err << "lattice_bubble: error: cannot create " << map_file_name << ": "
            << (open_error != 0 ? std::strerror(open_error) : "unknown reason") << "; the map is lost"
            << std::endl;
    } else if (!outcome.map_saved) {
        err << "lattice_bubble: error: cannot write " << map_file_name << "; the map is incomplete"
            << std::endl;
    }

    const char* search_path = std::getenv("PATH");
    const PlotProgram program = resolve_plot_program(plot_program, search_path == nullptr ? "" : search_path);
    if (!program.found) {
        err << "lattice_bubble: no plotting program found (neither " << plot_program << " nor "
            << posix_plot_program << " is on the search path); the map is in " << map_file_name << std::endl;
    }
    std::FILE* pipe = open_plot_pipe(program.command);
    if (pipe == nullptr) {
        map_file.close();
        return outcome;
    }
    outcome.pipe_opened = true;
    // The map file stays open: every line is already flushed, so the
    // plotting program reads the whole map.
    write_plot_pipe(pipe, plot_command);
    in.get();  // the key press; at end of input this returns at once
    close_plot_pipe(pipe);
    return outcome;
}

}  // namespace lattice_bubble
