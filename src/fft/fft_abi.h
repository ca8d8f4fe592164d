#pragma once
// The FFT engine is compiled from one set of sources into builds that differ
// only in the lanes and kernels they run; all of them do the same IEEE
// operations in the same order, so they give the same bits. Each build's
// symbols live in a namespace of its own (inline, so callers name nothing), and
// a test can link several builds together and compare each with the defined
// bits. The choices, each a compile definition of the build:
//
//   LATTICE_BUBBLE_FFT_BUILD                the build's namespace (fast_build
//                                           when not set: the program's own)
//   LATTICE_BUBBLE_FFT_SCALAR_LANES         two doubles per complex value, even
//                                           where SSE2 exists
//   LATTICE_BUBBLE_FFT_GENERAL_KERNELS_ONLY no fused 8- and 16-point kernels:
//                                           every size through the general
//                                           permutations and stages
//   LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX    the build also holds the stages of
//                                           avx_stages.cpp and runs them where
//                                           the processor has AVX
//   LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512 the build also holds those of
//                                           avx512_stages.cpp and runs them
//                                           where the processor has AVX-512F
//
// LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT and _AVX512_UNIT are no build choices:
// avx_stages.cpp and avx512_stages.cpp define them for themselves, the only
// translation units compiled with -mavx and -mavx512f. Their inline functions
// get namespaces of their own, so that they are never merged with their SSE2
// twins, which must run on every x86-64 processor.
//
// Which kernel runs for which size and processor: docs/fft_engine.md.

#if !defined(LATTICE_BUBBLE_FFT_BUILD)
#define LATTICE_BUBBLE_FFT_BUILD fast_build
#endif

#define LATTICE_BUBBLE_FFT_PASTE_(a, b) a##b
#define LATTICE_BUBBLE_FFT_PASTE(a, b) LATTICE_BUBBLE_FFT_PASTE_(a, b)

#if defined(LATTICE_BUBBLE_FFT_COMPILING_AVX_UNIT)
#define LATTICE_BUBBLE_FFT_ABI LATTICE_BUBBLE_FFT_PASTE(LATTICE_BUBBLE_FFT_BUILD, _avx_unit)
#elif defined(LATTICE_BUBBLE_FFT_COMPILING_AVX512_UNIT)
#define LATTICE_BUBBLE_FFT_ABI LATTICE_BUBBLE_FFT_PASTE(LATTICE_BUBBLE_FFT_BUILD, _avx512_unit)
#else
#define LATTICE_BUBBLE_FFT_ABI LATTICE_BUBBLE_FFT_BUILD
#endif

// The entry points of the AVX unit, called from the build's other units after
// they have checked the processor.
#define LATTICE_BUBBLE_FFT_AVX_ENTRIES LATTICE_BUBBLE_FFT_PASTE(LATTICE_BUBBLE_FFT_BUILD, _avx_entries)
#define LATTICE_BUBBLE_FFT_AVX512_ENTRIES LATTICE_BUBBLE_FFT_PASTE(LATTICE_BUBBLE_FFT_BUILD, _avx512_entries)

namespace lattice_bubble {

// The widest lanes a build runs its butterflies in, on the processor at hand.
enum class FftLanes { scalar, sse2, avx, avx512 };

struct FftPath {
    FftLanes lanes = FftLanes::scalar;
    bool fused_kernels = false;
};

[[nodiscard]] constexpr const char* lanes_name(FftLanes lanes) {
    switch (lanes) {
        case FftLanes::sse2:
            return "sse2";
        case FftLanes::avx:
            return "avx";
        case FftLanes::avx512:
            return "avx512";
        case FftLanes::scalar:
            break;
    }
    return "scalar";
}

inline namespace LATTICE_BUBBLE_FFT_ABI {
namespace fft_detail {
#if defined(LATTICE_BUBBLE_FFT_GENERAL_KERNELS_ONLY)
inline constexpr bool fused_kernels = false;
#else
inline constexpr bool fused_kernels = true;
#endif
}  // namespace fft_detail

// What this build runs on this processor: its widest lanes and whether its
// fused small kernels are in.
[[nodiscard]] FftPath fft_path();
}  // namespace LATTICE_BUBBLE_FFT_ABI

}  // namespace lattice_bubble
