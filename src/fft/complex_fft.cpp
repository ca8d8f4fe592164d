// The engine's entry points: the checks of the caller's sizes, the table of
// twiddle factors, and the transform of the chosen table of kernels.

#include "fft/complex_fft.h"

#include <string>

#include "common/failure.h"
#include "fft/complex_fft_2d.h"
#include "fft/engine/kernel_table.h"
#include "fft/twiddle.h"

namespace lattice_bubble {
namespace {

constexpr bool is_power_of_two(int value) { return value > 0 && (value & (value - 1)) == 0; }

// A size the engine cannot transform is the caller's error, refused before
// any memory is touched, as every size the engine refuses.
[[noreturn]] void size_error(const char* function, const char* name, int value, const char* problem) {
    throw Failure(std::string(function) + ": " + name + " = " + std::to_string(value) + " " + problem);
}

// 2·n1 must fit in an int.
inline constexpr int max_rows = 1 << 29;

}  // namespace

void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle) {
    if (n > 2 && !is_power_of_two(n)) [[unlikely]] {
        size_error("complex_fft", "n", n, "is not a power of two");
    }
    if (n <= 0) {
        return;
    }
    if (n > (index_work[0] << 2)) {
        build_twiddle_table(n >> 2, index_work, twiddle);
    }
    const fft_engine::KernelTable& table = fft_engine::chosen_table();
    (sign >= 0 ? table.positive_1d : table.negative_1d)(n, a, index_work + 2, twiddle);
}

void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle) {
    if (n1 <= 0 || n2 <= 1) {
        return;  // no element to transform
    }
    if (!is_power_of_two(n1)) [[unlikely]] {
        size_error("complex_fft_2d", "n1", n1, "is not a power of two");
    }
    if (!is_power_of_two(n2)) [[unlikely]] {
        size_error("complex_fft_2d", "n2", n2, "is not a power of two");
    }
    if (n1 > max_rows) [[unlikely]] {
        size_error("complex_fft_2d", "n1", n1, "is too large (at most 2^29 rows)");
    }
    const int n = 2 * n1 > n2 ? 2 * n1 : n2;
    if (n > (index_work[0] << 2)) {
        build_twiddle_table(n >> 2, index_work, twiddle);
    }
    const fft_engine::KernelTable& table = fft_engine::chosen_table();
    (sign >= 0 ? table.positive_2d : table.negative_2d)(n1, n2, rows, index_work + 2, twiddle);
}

}  // namespace lattice_bubble
