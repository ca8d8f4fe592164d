#include "default_run/map_stage.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

#include "common/program.h"
#include "default_run/work_arrays.h"
#include "model/lattice_model.h"
#include "platform/plot_pipe.h"
#include "platform/process.h"

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
    if (!map_file.is_open() && open_error == ENOMEM) {
        allocation_failure();  // no memory for the file's stream
    }
    errno = 0;
    write_map(map_file, chi_freq);
    const int write_error = errno;
    outcome.map_saved = map_file.is_open() && map_file.good();
    const auto reason = [](int error) { return error != 0 ? std::strerror(error) : "unknown reason"; };
    if (!map_file.is_open()) {
        err << message_prefix << "error: cannot create " << map_file_name << ": " << reason(open_error)
            << "; the map is lost" << std::endl;
    } else if (!outcome.map_saved) {
        err << message_prefix << "error: cannot write " << map_file_name << ": " << reason(write_error)
            << "; the map is incomplete" << std::endl;
    }

    const PlotProgram program = find_plot_program(plot_program);
    if (!program.found) {
        err << message_prefix << "no plotting program found (neither " << plot_program << " nor "
            << posix_plot_program << " is on the search path); "
            << (outcome.map_saved ? "the map is in " : "the map was not saved in ") << map_file_name
            << std::endl;
    }
    std::FILE* pipe = open_plot_pipe(program.command);
    if (pipe == nullptr) {
        outcome.pipe_error = errno;
        if (outcome.pipe_error == ENOMEM) {
            allocation_failure();  // no memory for the stream or the process
        }
        map_file.close();
        return outcome;
    }
    outcome.pipe_opened = true;
    // The map file stays open: every line is already flushed, so the
    // plotting program reads the whole map.
    draw_and_wait(pipe, program, plot_command, program.found ? key_prompt : key_prompt_without_plot, in, err);
    return outcome;
}

void draw_and_wait(std::FILE* pipe, const PlotProgram& program, std::string_view commands,
                   std::string_view prompt, std::istream& in, std::ostream& err) {
    write_plot_pipe(pipe, commands);
    if (standard_input_is_terminal()) {
        err << prompt << std::endl;
    }
    in.get();  // the key press; at end of input this returns at once
    const PlotExit plot_exit = close_plot_pipe(pipe);
    // A missing program has been reported already; its interpreter's "not found" status adds nothing.
    if (plot_exit.failed && program.found) {
        err << message_prefix << "warning: the plotting program " << program.command << " "
            << plot_exit.description << std::endl;
    }
}

}  // namespace lattice_bubble
