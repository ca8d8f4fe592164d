#include "entry/command_line.h"
#include "fft/kernel_choice.h"
#include "default_run/work_arrays.h"

namespace {

// A refused allocation takes the program's one fatal path from the start:
// the command line's parser has static objects of its own, constructed before
// main, and this one is constructed before them all.
struct AllocationFailureHandler {
    AllocationFailureHandler() { lattice_bubble::install_allocation_failure_handler(); }
};
[[gnu::init_priority(101)]] const AllocationFailureHandler allocation_failure_handler;

}  // namespace

int main(int argc, char** argv) {
    // Once, before any thread exists: every transform of the run reads it.
    lattice_bubble::choose_fft_kernels();
    return lattice_bubble::run_command_line(argc, argv);
}
