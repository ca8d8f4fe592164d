#pragma once
// Every build of the FFT engine that the tests link (tests/CMakeLists.txt),
// each forcing one lane width and kernel family, so that every path the
// processor can run is compared with the defined bits on every machine.

#include <ostream>
#include <string>
#include <vector>

#include "fft/fft_abi.h"

namespace lattice_bubble::testing {

struct FftBuild {
    std::string name;  // the build's namespace
    void (*complex_fft)(int n, int sign, double* a, int* index_work, double* twiddle);
    void (*complex_fft_2d)(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle);
    FftPath (*path)();
};

// Test names and failure messages show the build by its name.
inline void PrintTo(const FftBuild& build, std::ostream* out) { *out << build.name; }

// The program's own build first, then the forced ones.
const std::vector<FftBuild>& fft_builds();

// Whether this processor can run the AVX and the AVX-512 units, asked
// without the engine.
bool processor_has_avx();
bool processor_has_avx512f();

}  // namespace lattice_bubble::testing
