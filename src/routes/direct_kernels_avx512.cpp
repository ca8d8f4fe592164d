// The direct route's loops over eight doubles per AVX-512F register. This unit
// alone is compiled with -mavx512f (never with FMA) and defines nothing but
// its table.

#include "routes/direct_kernels.h"

namespace lattice_bubble {

extern const DirectKernels avx512_direct_kernels;
const DirectKernels avx512_direct_kernels = {direct_kernel_detail::Loops<8>::matsubara,
                                             direct_kernel_detail::Loops<8>::real_axis};

}  // namespace lattice_bubble
