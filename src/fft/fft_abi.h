#pragma once
// The FFT engine can be built two ways from the same sources:
//  - the fast build (the default): butterflies in paired SSE2 lanes, two
//    butterflies side by side in AVX registers where the processor has AVX
//    (chosen at run time), and the eight-point directions of the 2-D
//    transform in a fused register kernel;
//  - the reference build (LATTICE_BUBBLE_FFT_REFERENCE): scalar lanes and the
//    general passes only, the order of operations exactly as written.
// Both must give the same bits. Their symbols live in inline namespaces named
// after the build, so a test can link the two together and compare them.

#if defined(LATTICE_BUBBLE_FFT_REFERENCE)
#define LATTICE_BUBBLE_FFT_ABI reference_build
#elif defined(LATTICE_BUBBLE_FFT_AVX)
// The one translation unit compiled for AVX: its inline functions must never
// be merged with their SSE2 twins, which run on every x86-64 processor.
#define LATTICE_BUBBLE_FFT_ABI fast_build_avx
#else
#define LATTICE_BUBBLE_FFT_ABI fast_build
#endif
