#pragma once
// A second, independent transcription of the FFT engine's written order of
// operations: scalar doubles, straight loops, one operation per line, sharing
// no code with src/fft. It gives the engine's defined bits for any size, so it
// checks the golden files before they are written and checks every build of
// the engine at sizes beyond those files. The signatures and the work arrays
// are the engine's own.

namespace lattice_bubble::testing::plain {

void build_twiddle_table(int nt, int* index_work, double* twiddle);
void complex_fft(int n, int sign, double* a, int* index_work, double* twiddle);
void complex_fft_2d(int n1, int n2, int sign, double** rows, int* index_work, double* twiddle);

}  // namespace lattice_bubble::testing::plain
