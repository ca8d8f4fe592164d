// The direct route's loops over four doubles per AVX register. This unit alone
// is compiled with -mavx (never with FMA) and defines nothing but its table.

#include "routes/direct_kernels.h"

namespace lattice_bubble {

extern const DirectKernels avx_direct_kernels;
const DirectKernels avx_direct_kernels = {direct_kernel_detail::Loops<4>::matsubara,
                                          direct_kernel_detail::Loops<4>::real_axis};

}  // namespace lattice_bubble
