#pragma once
// Heap work arrays of 32-bit ints and doubles in one, two and three dimensions.
//
// A matrix is a row-pointer array into one contiguous element block
// (rows[i][j] is element i·nj + j); a tensor adds a plane-pointer array into
// the row pointers (t[i][j][k] is element (i·nj + j)·nk + k). The byte sizes
// of a request are checked before its first block is obtained, and each block
// as soon as it is obtained: a size that does not fit in size_t, or a refused
// allocation, writes "Allocation Failure!\n" to standard error and ends the
// process with status 1, so no caller ever sees a null pointer. Elements are
// not initialised. Counts are at least 1.
//
// Release frees the inner block first: the element block through rows[0] (or
// t[0][0]), then the pointer arrays; those first pointers must be unchanged.

#include <string_view>

namespace lattice_bubble {

inline constexpr std::string_view allocation_failure_message = "Allocation Failure!\n";

// The one fatal path of a refused allocation: "Allocation Failure!\n" on
// standard error, then exit with status 1 (exit_out_of_memory).
[[noreturn]] void allocation_failure();

// Sends every refused operator new of the process (grids, strings, streams)
// down the same fatal path instead of throwing std::bad_alloc; the entry
// installs it before a run. The library below never exits: without this,
// its refused allocations throw.
void install_allocation_failure_handler();

int* allocate_int_vector(int n);
void free_int_vector(int* v);
double* allocate_double_vector(int n);
void free_double_vector(double* v);

int** allocate_int_matrix(int ni, int nj);
void free_int_matrix(int** m);
double** allocate_double_matrix(int ni, int nj);
void free_double_matrix(double** m);

int*** allocate_int_tensor3(int ni, int nj, int nk);
void free_int_tensor3(int*** t);
double*** allocate_double_tensor3(int ni, int nj, int nk);
void free_double_tensor3(double*** t);

}  // namespace lattice_bubble
