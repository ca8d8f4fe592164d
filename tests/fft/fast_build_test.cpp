// The fast build of the engine (paired SSE2 lanes, fused eight-point kernels)
// against the reference build of the same sources (scalar lanes, general
// passes): running butterflies side by side or fusing stages must not change
// a single bit of the written order of operations.

#include <gtest/gtest.h>

#include <vector>

#include "fft/complex_fft.h"
#include "fft/complex_fft_2d.h"
#include "support/naive_dft.h"

namespace lattice_bubble::reference_build {
void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle);
void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle);
}  // namespace lattice_bubble::reference_build

namespace lattice_bubble {
namespace {

using testing::interleave;
using testing::random_values;
using testing::same_bits;

TEST(FftBuilds, OneDimensionalTransformsAgreeBitForBit) {
    for (int points = 1; points <= (1 << 14); points <<= 1) {
        for (const int sign : {1, -1}) {
            auto paired = interleave(random_values(points, 500 + points));
            auto scalar = paired;
            std::vector<int> index_work(2 + 128, 0);
            std::vector<int> index_work_scalar = index_work;
            std::vector<double> twiddle(1 << 13, 0.0);
            std::vector<double> twiddle_scalar = twiddle;
            const int n = 2 * points;
            complex_fft(n, sign, paired.data(), index_work.data(), twiddle.data());
            reference_build::complex_fft(n, sign, scalar.data(), index_work_scalar.data(),
                                         twiddle_scalar.data());
            EXPECT_TRUE(same_bits(paired.data(), scalar.data(), n)) << "N = " << points << " sign " << sign;
            EXPECT_EQ(index_work, index_work_scalar) << "N = " << points << " sign " << sign;
            EXPECT_TRUE(same_bits(twiddle.data(), twiddle_scalar.data(), 1 << 13));
        }
    }
}

TEST(FftBuilds, TwoDimensionalTransformsAgreeBitForBit) {
    for (const int n1 : {1, 2, 4, 8, 16, 32, 64, 128}) {
        for (const int columns : {1, 2, 4, 8, 16, 32, 64, 128}) {
            for (const int sign : {1, -1}) {
                const int n2 = 2 * columns;
                auto paired = interleave(random_values(n1 * columns, 900 + n1 * columns));
                auto scalar = paired;
                std::vector<double*> rows_paired;
                std::vector<double*> rows_scalar;
                for (int i = 0; i < n1; ++i) {
                    rows_paired.push_back(paired.data() + i * n2);
                    rows_scalar.push_back(scalar.data() + i * n2);
                }
                std::vector<int> index_work(2 + 16, 0);
                std::vector<int> index_work_scalar = index_work;
                std::vector<double> twiddle(256, 0.0);
                std::vector<double> twiddle_scalar = twiddle;
                complex_fft_2d(n1, n2, sign, rows_paired.data(), index_work.data(), twiddle.data());
                reference_build::complex_fft_2d(n1, n2, sign, rows_scalar.data(), index_work_scalar.data(),
                                                twiddle_scalar.data());
                EXPECT_TRUE(same_bits(paired.data(), scalar.data(), n1 * n2))
                    << n1 << " x " << columns << " sign " << sign;
                EXPECT_EQ(index_work, index_work_scalar) << n1 << " x " << columns << " sign " << sign;
            }
        }
    }
}

}  // namespace
}  // namespace lattice_bubble
