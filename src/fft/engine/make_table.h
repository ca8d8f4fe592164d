#pragma once
// Private to the FFT engine: a table of kernels from the transforms over one
// lane type, for the unit that compiles them.

#include "fft/engine/kernel_table.h"
#include "fft/engine/transform_2d.h"

namespace lattice_bubble::fft_engine {
namespace {

template <class Cx, bool Fused>
constexpr KernelTable make_table(FftLanes lanes) {
    return {{lanes, Fused},
            &transform_1d<Positive, Cx, Fused>,
            &transform_1d<Negative, Cx, Fused>,
            &transform_2d<Positive, Cx, Fused>,
            &transform_2d<Negative, Cx, Fused>};
}

}  // namespace
}  // namespace lattice_bubble::fft_engine
