#include "support/fft_builds.h"

#include <type_traits>

#include "fft/complex_fft.h"
#include "fft/complex_fft_2d.h"
#include "fft/fft_builds.h"

// The forced builds; their namespaces are those of tests/CMakeLists.txt.
LATTICE_BUBBLE_FFT_DECLARE_BUILD(runtime_general)
LATTICE_BUBBLE_FFT_DECLARE_BUILD(avx_fused)
LATTICE_BUBBLE_FFT_DECLARE_BUILD(avx_general)
LATTICE_BUBBLE_FFT_DECLARE_BUILD(sse2_fused)
LATTICE_BUBBLE_FFT_DECLARE_BUILD(sse2_general)
LATTICE_BUBBLE_FFT_DECLARE_BUILD(scalar_fused)
LATTICE_BUBBLE_FFT_DECLARE_BUILD(scalar_general)

namespace lattice_bubble::testing {

static_assert(std::is_same_v<decltype(&lattice_bubble::complex_fft), decltype(&scalar_general::complex_fft)>,
              "the declarations of fft/fft_builds.h must follow complex_fft.h");
static_assert(
    std::is_same_v<decltype(&lattice_bubble::complex_fft_2d), decltype(&scalar_general::complex_fft_2d)>,
    "the declarations of fft/fft_builds.h must follow complex_fft_2d.h");

#define LATTICE_BUBBLE_TEST_BUILD(build) \
    FftBuild { #build, &build::complex_fft, &build::complex_fft_2d, &build::fft_path }

const std::vector<FftBuild>& fft_builds() {
    static const std::vector<FftBuild> builds = {
        {"fast_build", &lattice_bubble::complex_fft, &lattice_bubble::complex_fft_2d,
         &lattice_bubble::fft_path},
        LATTICE_BUBBLE_TEST_BUILD(runtime_general),
        LATTICE_BUBBLE_TEST_BUILD(avx_fused),
        LATTICE_BUBBLE_TEST_BUILD(avx_general),
        LATTICE_BUBBLE_TEST_BUILD(sse2_fused),
        LATTICE_BUBBLE_TEST_BUILD(sse2_general),
        LATTICE_BUBBLE_TEST_BUILD(scalar_fused),
        LATTICE_BUBBLE_TEST_BUILD(scalar_general),
    };
    return builds;
}

bool processor_has_avx() {
#if defined(__x86_64__) && defined(__GNUC__)
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

bool processor_has_avx512f() {
#if defined(__x86_64__) && defined(__GNUC__)
    return __builtin_cpu_supports("avx512f");
#else
    return false;
#endif
}

}  // namespace lattice_bubble::testing
