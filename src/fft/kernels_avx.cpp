// The tables of the AVX lanes. This unit alone is compiled with -mavx (never
// with FMA); every function it defines is its own (unnamed namespace), and
// nothing of it runs unless kernel_choice.cpp found AVX.

#include "fft/engine/avx_lanes.h"
#include "fft/engine/make_table.h"

namespace lattice_bubble::fft_engine {

const KernelTable avx_tables[2] = {make_table<AvxLanes, !general_kernels>(FftLanes::avx),
                                   make_table<AvxLanes, true>(FftLanes::avx)};

}  // namespace lattice_bubble::fft_engine
