#include "driver/run.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

#include "alloc/work_arrays.h"
#include "driver/map_stage.h"
#include "driver/pipeline.h"
#include "driver/plot_pipe.h"
#include "driver/reference_stage.h"
#include "driver/run_grids.h"

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
        std::cerr << stdout_closed_start;
    } else {
        std::cerr << stdout_failure_start << " (" << (error_ != 0 ? std::strerror(error_) : "unknown reason")
                  << ")";
    }
    std::cerr << "; " << lost << " are lost" << std::endl;
    return status == exit_complete ? exit_output_lost : status;
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
        std::cerr << no_pipe_message << " ("
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
