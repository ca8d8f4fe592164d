#include "default_run/work_arrays.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <new>

#include "common/program.h"

namespace lattice_bubble {

void allocation_failure() {
    std::fwrite(allocation_failure_message.data(), 1, allocation_failure_message.size(), stderr);
    std::exit(exit_out_of_memory);
}

void install_allocation_failure_handler() { std::set_new_handler(allocation_failure); }

namespace {

// The size in bytes of count1·count2·count3 elements of T, computed in size_t
// with every product checked: a size that does not fit, or a negative count,
// takes the same fatal path as a refused allocation instead of wrapping round
// to a small block that later writes would overrun. Every size of a request is
// checked before its first block is obtained.
template <typename T>
std::size_t checked_bytes(long long count1, long long count2 = 1, long long count3 = 1) {
    std::size_t bytes = sizeof(T);
    for (const long long count : {count1, count2, count3}) {
        const auto factor = static_cast<std::size_t>(count);
        if (count < 0 || (factor != 0 && bytes > std::numeric_limits<std::size_t>::max() / factor)) {
            allocation_failure();
        }
        bytes *= factor;
    }
    return bytes;
}

template <typename T>
T* obtain(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
        allocation_failure();
    }
    return static_cast<T*>(block);
}

template <typename T>
T* vector(int n) {
    return obtain<T>(checked_bytes<T>(n));
}

template <typename T>
T** matrix(int ni, int nj) {
    const std::size_t row_bytes = checked_bytes<T*>(ni);
    const std::size_t element_bytes = checked_bytes<T>(ni, nj);
    T** rows = obtain<T*>(row_bytes);
    T* elements = obtain<T>(element_bytes);
    rows[0] = elements;
    for (int i = 1; i < ni; ++i) {
        rows[i] = rows[i - 1] + nj;
    }
    return rows;
}

template <typename T>
T*** tensor3(int ni, int nj, int nk) {
    const std::size_t plane_bytes = checked_bytes<T**>(ni);
    const std::size_t row_bytes = checked_bytes<T*>(ni, nj);
    const std::size_t element_bytes = checked_bytes<T>(ni, nj, nk);
    T*** planes = obtain<T**>(plane_bytes);
    T** row_pointers = obtain<T*>(row_bytes);
    planes[0] = row_pointers;
    for (int i = 1; i < ni; ++i) {
        planes[i] = planes[i - 1] + nj;
    }
    T* elements = obtain<T>(element_bytes);
    row_pointers[0] = elements;
    const long long row_count = static_cast<long long>(ni) * nj;
    for (long long r = 1; r < row_count; ++r) {
        row_pointers[r] = row_pointers[r - 1] + nk;
    }
    return planes;
}

template <typename T>
void release_matrix(T** rows) {
    std::free(rows[0]);
    std::free(rows);
}

template <typename T>
void release_tensor3(T*** planes) {
    std::free(planes[0][0]);
    std::free(planes[0]);
    std::free(planes);
}

}  // namespace

int* allocate_int_vector(int n) { return vector<int>(n); }
void free_int_vector(int* v) { std::free(v); }
double* allocate_double_vector(int n) { return vector<double>(n); }
void free_double_vector(double* v) { std::free(v); }

int** allocate_int_matrix(int ni, int nj) { return matrix<int>(ni, nj); }
void free_int_matrix(int** m) { release_matrix(m); }
double** allocate_double_matrix(int ni, int nj) { return matrix<double>(ni, nj); }
void free_double_matrix(double** m) { release_matrix(m); }

int*** allocate_int_tensor3(int ni, int nj, int nk) { return tensor3<int>(ni, nj, nk); }
void free_int_tensor3(int*** t) { release_tensor3(t); }
double*** allocate_double_tensor3(int ni, int nj, int nk) { return tensor3<double>(ni, nj, nk); }
void free_double_tensor3(double*** t) { release_tensor3(t); }

}  // namespace lattice_bubble
