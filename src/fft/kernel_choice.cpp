// The one place where the engine looks at the processor: the choice of the
// table of kernels.

#include "fft/kernel_choice.h"

#include "fft/engine/kernel_table.h"

namespace lattice_bubble {
namespace {

using fft_engine::KernelTable;

// The tables this build carries, by lanes (null where it has none): the AVX
// and AVX-512F units are built for every x86-64 target but a local build,
// which carries the widest its processor runs; SSE2 is part of x86-64.
#if defined(__x86_64__)
#if !defined(LATTICE_BUBBLE_WITHOUT_AVX)
const KernelTable* const avx = fft_engine::avx_tables;
#else
const KernelTable* const avx = nullptr;
#endif
#if !defined(LATTICE_BUBBLE_WITHOUT_AVX512)
const KernelTable* const avx512 = fft_engine::avx512_tables;
#else
const KernelTable* const avx512 = nullptr;
#endif
const KernelTable* const carried[] = {fft_engine::scalar_tables, fft_engine::sse2_tables, avx, avx512};
#else
const KernelTable* const carried[] = {fft_engine::scalar_tables};
#endif
constexpr int carried_lanes = sizeof carried / sizeof carried[0];

// Whether the build carries the lanes and the processor, with its operating
// system (which must save the wider registers), runs them.
bool runs(FftLanes lanes) {
    if (static_cast<int>(lanes) >= carried_lanes || carried[static_cast<int>(lanes)] == nullptr) {
        return false;
    }
#if defined(__x86_64__) && defined(__GNUC__)
    if (lanes == FftLanes::avx512) {
        return __builtin_cpu_supports("avx512f");
    }
    if (lanes == FftLanes::avx) {
        return __builtin_cpu_supports("avx");
    }
#endif
    return true;
}

FftKernels choose(FftLanes widest, bool fused) {
    auto lanes = static_cast<int>(widest);
    while (lanes > 0 && !runs(static_cast<FftLanes>(lanes))) {
        --lanes;
    }
    const KernelTable& table = carried[lanes][fused ? 1 : 0];
    fft_engine::chosen_kernels.store(&table, std::memory_order_release);
    return table.kernels;
}

}  // namespace

const char* lanes_name(FftLanes lanes) {
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

FftKernels choose_fft_kernels() { return choose(FftLanes::avx512, true); }

FftKernels fft_kernels_in_use() { return fft_engine::chosen_table().kernels; }

FftKernels choose_fft_kernels_for_testing(FftLanes widest, bool fused) { return choose(widest, fused); }

std::atomic<const KernelTable*> fft_engine::chosen_kernels{nullptr};

}  // namespace lattice_bubble
