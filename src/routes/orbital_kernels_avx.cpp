// The orbital direct sum's loops over 4 doubles per AVX register. This
// unit alone is compiled with -mavx (never with FMA) and defines nothing but its table.

#include "routes/orbital_kernels.h"

namespace lattice_bubble {

extern const OrbitalKernels avx_orbital_kernels;
const OrbitalKernels avx_orbital_kernels = orbital_kernel_detail::OrbitalLoops<4>::table;

}  // namespace lattice_bubble
