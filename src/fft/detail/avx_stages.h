#pragma once
// Private to the FFT engine: the 1-D stages compiled for AVX (fft/avx_stages.cpp),
// two butterflies per instruction. Call them only where the processor has AVX
// and only with spans l ≥ 4 doubles.

namespace lattice_bubble::fft_avx {

void radix4_stage(int n, int l, double* a, const double* twiddle);
void first_stage_twiddled_blocks(int n, double* a, const double* twiddle);
void final_stage_forward(int n, int l, double* a);
void final_stage_backward(int n, int l, double* a);

}  // namespace lattice_bubble::fft_avx
