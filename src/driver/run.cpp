#include "driver/run.h"

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
int status_after_output(int status, bool output_was_closed) {
    std::cout.flush();
    if (!std::cout || output_was_closed) {
        std::cerr << stdout_failure_message << std::endl;
        return status == exit_complete ? exit_output_lost : status;
    }
    return status;
}

int run() {
    // Before any file or pipe is opened, so that none takes a standard number.
    const StandardStreams streams = prepare_standard_streams();
    ignore_broken_pipes();
    install_allocation_failure_handler();

    // About 115 KiB of grids: on the heap, zero-initialised, alive until return.
    const auto grids = std::make_unique<RunGrids>();
    // The map file belongs to the run: opened by the map stage, closed on return.
    std::ofstream map_file;

    // Stage 1: the Fourier route, and its report.
    run_transform_pipeline(grids->green_freq, grids->green_time, grids->chi_time, grids->chi_freq, std::cout);

    // Stage 2: the map file, the plot, the key press.
    const MapStageOutcome map = run_map_stage(grids->chi_freq, map_file, std::cin, std::cerr);
    if (!map.pipe_opened) {
        std::cerr << no_pipe_message << " ("
                  << (map.pipe_error != 0 ? std::strerror(map.pipe_error) : "unknown reason")
                  << "); the reference report was not computed" << std::endl;
        return status_after_output(exit_no_pipe, streams.output_was_closed);
    }

    // Stage 3: the reference route.
    run_reference_stage(grids->chi_reference, std::cout);

    return status_after_output(map.map_saved ? exit_complete : exit_output_lost, streams.output_was_closed);
}

}  // namespace lattice_bubble
