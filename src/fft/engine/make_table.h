#pragma once
// Private to the FFT engine: a table of kernels from the transforms over one
// lane type, for the unit that compiles them.

#include "fft/engine/kernel_table.h"
#include "fft/engine/mixed_radix.h"
#include "fft/engine/transform_2d.h"

namespace lattice_bubble::fft_engine {
namespace {

// A local build (the program's own preset) carries no general kernels: the
// fused table stands in both places, and the general one is never compiled.
#if defined(LATTICE_BUBBLE_FUSED_ONLY)
inline constexpr bool general_kernels = false;
#else
inline constexpr bool general_kernels = true;
#endif

template <class Cx, bool Fused>
constexpr KernelTable make_table(FftLanes lanes) {
    return {{lanes, Fused},
            &transform_1d<Positive, Cx, Fused>,
            &transform_1d<Negative, Cx, Fused>,
            &transform_2d<Positive, Cx, Fused>,
            &transform_2d<Negative, Cx, Fused>,
            &mixed_transform<Positive, Cx>,
            &mixed_transform<Negative, Cx>};
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
