#include "default_run/run.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

#include "default_run/fourier_steps.h"
#include "default_run/lattice_transforms.h"
#include "default_run/map_stage.h"
#include "default_run/reference_sum.h"
#include "default_run/report.h"
#include "default_run/time_transforms.h"
#include "default_run/work_arrays.h"
#include "platform/process.h"

namespace lattice_bubble {

// The stages write with std::endl and never look at the stream; a report that
// could not be written must not end in a status that says success.
void OutputWatch::note() {
    if (!failed_ && !std::cout) {
        failed_ = true;
        error_ = errno;
    }
}

int OutputWatch::status(int status, std::string_view lost) {
    std::cout.flush();
    note();
    if (!failed_ && !closed_) {
        return status;
    }
    if (closed_) {
        std::cerr << message_prefix << stdout_closed_start;
    } else {
        std::cerr << message_prefix << stdout_failure_start << " ("
                  << (error_ != 0 ? std::strerror(error_) : "unknown reason") << ")";
    }
    std::cerr << "; " << lost << " are lost" << std::endl;
    return status == exit_complete ? exit_output_lost : status;
}

void run_transform_pipeline(FermionGrid& green_freq, TimeGrid& green_time, TimeGrid& chi_time,
                            BosonGrid& chi_freq, std::ostream& out) {
    fill_free_green(green_freq);
    transform_space_fermion(green_freq, towards_real_space_and_time);
    transform_time_fermion(green_time, green_freq, towards_real_space_and_time);
    multiply_green_functions(green_time, chi_time);
    add_equal_time_correction(chi_time);
    transform_time_boson(chi_time, chi_freq, towards_momentum_and_frequency);
    transform_space_boson(chi_freq, towards_momentum_and_frequency);
    write_report(out, chi_freq);
}

void run_reference_stage(BosonGrid& chi_reference, std::ostream& out) {
    fill_reference(chi_reference);
    write_report(out, chi_reference);
}

int run() {
    // Before any file or pipe is opened, so that none takes a standard number.
    const StandardStreams streams = prepare_standard_streams();
    OutputWatch output(streams.output_was_closed);
    ignore_broken_pipes();
    install_allocation_failure_handler();

    // About 115 KiB of grids: on the heap, zero-initialised, alive until return.
    const auto grids = std::make_unique<RunGrids>();
    // The map file belongs to the run: opened by the map stage, closed on return.
    std::ofstream map_file;

    // Stage 1: the Fourier route, and its report.
    run_transform_pipeline(grids->green_freq, grids->green_time, grids->chi_time, grids->chi_freq, std::cout);
    output.note();

    // Stage 2: the map file, the plot, the key press.
    const MapStageOutcome map = run_map_stage(grids->chi_freq, map_file, std::cin, std::cerr);
    if (!map.pipe_opened) {
        std::cerr << message_prefix << no_pipe_message << " ("
                  << (map.pipe_error != 0 ? std::strerror(map.pipe_error) : "unknown reason")
                  << "); the reference report was not computed" << std::endl;
        return output.status(exit_no_pipe, "the reports");
    }

    // Stage 3: the reference route.
    run_reference_stage(grids->chi_reference, std::cout);
    output.note();

    return output.status(map.map_saved ? exit_complete : exit_output_lost, "the reports");
}

}  // namespace lattice_bubble
