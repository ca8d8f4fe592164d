#pragma once
// The FFT engine's symbols live in an inline namespace named after the lane
// code it was built with, so that a build with paired (SSE2) lanes and a build
// with scalar lanes can be linked into one test and compared bit for bit.

#if defined(LATTICE_BUBBLE_FFT_SCALAR_LANES)
#define LATTICE_BUBBLE_FFT_ABI scalar_lanes
#else
#define LATTICE_BUBBLE_FFT_ABI paired_lanes
#endif
