#pragma once
// Which kernels the FFT engine runs. Every table of kernels does the same IEEE
// operations in the same order, so all give the same bits; they differ in how
// many butterflies run side by side (the lanes) and in whether the fused
// kernels for small sizes, tiles and pairs of stages are in. One function
// looks at the processor and picks the table (docs/fft_engine.md).

namespace lattice_bubble {

// The widest lanes of a table: one complex value as two doubles, one per SSE2
// register, two per AVX register, four per AVX-512F register.
enum class FftLanes { scalar, sse2, avx, avx512 };

struct FftKernels {
    FftLanes lanes = FftLanes::scalar;
    bool fused = false;
};

[[nodiscard]] const char* lanes_name(FftLanes lanes);

// Picks the table of the widest lanes this build carries and the processor
// (with its operating system) runs, fused kernels on, and returns it. The
// program calls it once at start, before any thread exists; afterwards the
// choice may be read from any number of threads. A transform before any
// choice makes this one.
FftKernels choose_fft_kernels();

// The table the transforms run now.
[[nodiscard]] FftKernels fft_kernels_in_use();

// For tests: picks again, with lanes at most `widest` (narrower where the
// processor lacks them) and the fused kernels on or off; returns what was
// picked. Call it from one thread, between transforms.
FftKernels choose_fft_kernels_for_testing(FftLanes widest, bool fused);

}  // namespace lattice_bubble
