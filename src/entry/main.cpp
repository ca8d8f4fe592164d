#include "entry/command_line.h"
#include "fft/kernel_choice.h"

int main(int argc, char** argv) {
    // Once, before any thread exists: every transform of the run reads it.
    lattice_bubble::choose_fft_kernels();
    return lattice_bubble::run_command_line(argc, argv);
}
