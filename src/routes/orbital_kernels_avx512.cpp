// The orbital direct sum's loops over 8 doubles per AVX-512F register. This
// unit alone is compiled with -mavx512f (never with FMA) and defines nothing but its table.

#include "routes/orbital_kernels.h"

namespace lattice_bubble {

extern const OrbitalKernels avx512_orbital_kernels;
const OrbitalKernels avx512_orbital_kernels = orbital_kernel_detail::OrbitalLoops<8>::table;

}  // namespace lattice_bubble
