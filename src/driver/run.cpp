#include "driver/run.h"

#include <iostream>
#include <memory>

#include "driver/pipeline.h"
#include "driver/reference_stage.h"
#include "driver/run_grids.h"

namespace lattice_bubble {

int run() {
    // About 115 KiB of grids: on the heap, zero-initialised, alive until return.
    const auto grids = std::make_unique<RunGrids>();

    // Stage 1: the Fourier route, and its report.
    run_transform_pipeline(grids->green_freq, grids->green_time, grids->chi_time, grids->chi_freq, std::cout);

    // Stage 2, the map file and the plot, runs here once it exists.

    // Stage 3: the reference route.
    run_reference_stage(grids->chi_reference, std::cout);

    // The stages write with std::endl and never look at the stream; a report
    // that could not be written must not end in a status that says success.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << stdout_failure_message << std::endl;
        return exit_output_lost;
    }
    return exit_complete;
}

}  // namespace lattice_bubble
