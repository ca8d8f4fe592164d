// The tables of the AVX-512F lanes, with the AVX lanes where a span or a shape
// is too narrow for four values and the tiles of avx512_lanes.h. This unit
// alone is compiled with -mavx512f (never with FMA); every function it defines
// is its own (unnamed namespace), and nothing of it runs unless
// kernel_choice.cpp found AVX-512F.

#include "fft/engine/avx512_lanes.h"
#include "fft/engine/make_table.h"

namespace lattice_bubble::fft_engine {

const KernelTable avx512_tables[2] = {make_table<Avx512Lanes, !general_kernels>(FftLanes::avx512),
                                      make_table<Avx512Lanes, true>(FftLanes::avx512)};

}  // namespace lattice_bubble::fft_engine
