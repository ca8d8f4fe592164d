#pragma once
// The FFT engine's caller-owned work arrays and the bit-reversal permutation.
//
// Data is interleaved complex: N values as n = 2N doubles, value c at doubles
// 2c (real) and 2c + 1 (imaginary). Every length below counts doubles.
//
// index_work (int): [0] the length nt in doubles of the table held in twiddle
// (0: none yet); [1] set to 1 whenever a table is built; [2 …] scratch of the
// bit-reversal permutations, with no meaning between calls.
//
// twiddle (double): nt/2 complex entries exp(i·c·π/nt), c = 0 … nt/2 − 1 (the
// first quarter turn), stored in bit-reversed order of c. That order makes
// entry 2t the square root of entry t, and entry 2t + 1 that root times
// exp(iπ/4), so one table of first powers gives every radix-4 stage its
// twiddles; and it makes a table for a longer transform start, bit for bit,
// with the table for every shorter one.

namespace lattice_bubble {

// Fills twiddle[0 … nt − 1] for a table of length nt (a power of two) and sets
// index_work[0] = nt, index_work[1] = 1. For nt ≤ 2 only the header is set.
// Angles are reduced to the first octant: entries above π/4 are the cosine and
// sine of the mirrored angle, swapped, and exp(iπ/4) is stored as (cos, cos).
void build_twiddle_table(int nt, int* index_work, double* twiddle);

// Puts the n/2 complex values of a (n a power of two, n ≥ 2) into bit-reversed
// order in place: value c moves to index rev(c), rev reversing log2(n/2) bits.
// scratch is index_work + 2 and needs 2^floor((log2 n − 1)/2) entries.
void bit_reverse_permute(int n, int* scratch, double* a);

}  // namespace lattice_bubble
