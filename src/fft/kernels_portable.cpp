// The tables of the lanes every processor of the target runs: scalar lanes
// always (the only ones off x86-64), SSE2 lanes on x86-64.

#include "fft/engine/make_table.h"

namespace lattice_bubble::fft_engine {

const KernelTable scalar_tables[2] = {make_table<ScalarLanes, !general_kernels>(FftLanes::scalar),
                                      make_table<ScalarLanes, true>(FftLanes::scalar)};

#if defined(__x86_64__)
const KernelTable sse2_tables[2] = {make_table<Sse2Lanes, !general_kernels>(FftLanes::sse2),
                                    make_table<Sse2Lanes, true>(FftLanes::sse2)};
#endif

}  // namespace lattice_bubble::fft_engine
