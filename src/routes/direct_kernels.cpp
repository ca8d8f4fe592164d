// The portable loops of the direct route (one double at a time, and two per
// SSE2 register on x86-64), and the choice of the widest loops the processor
// runs.

#include "routes/direct_kernels.h"

namespace lattice_bubble {

extern const DirectKernels avx_direct_kernels;
extern const DirectKernels avx512_direct_kernels;

namespace {

const DirectKernels scalar = {direct_kernel_detail::Loops<1>::matsubara,
                              direct_kernel_detail::Loops<1>::real_axis};
const DirectKernels portable = {direct_kernel_detail::Loops<2>::matsubara,
                                direct_kernel_detail::Loops<2>::real_axis};

}  // namespace

// The lanes the FFT engine chose are those the processor runs (fft/kernel_choice.cpp).
const DirectKernels& direct_kernels() {
    const FftLanes lanes = fft_kernels_in_use().lanes;
#if defined(__x86_64__) && !defined(LATTICE_BUBBLE_WITHOUT_AVX512)
    if (lanes == FftLanes::avx512) {
        return avx512_direct_kernels;
    }
#endif
#if defined(__x86_64__) && !defined(LATTICE_BUBBLE_WITHOUT_AVX)
    if (lanes == FftLanes::avx || lanes == FftLanes::avx512) {
        return avx_direct_kernels;
    }
#endif
    return lanes == FftLanes::scalar ? scalar : portable;
}

}  // namespace lattice_bubble
