#pragma once
// Storage for the large grids of a study. On Linux it is aligned to 2 MiB
// and marked for transparent huge pages, so that the first touch of a
// gigabyte costs a few hundred page faults instead of a quarter of a million;
// elsewhere it is plain storage from operator new.

#include <cstddef>

namespace lattice_bubble {

// `bytes` of storage, or the fatal path of a refused allocation (operator new's).
[[nodiscard]] void* allocate_large(std::size_t bytes);
void release_large(void* storage, std::size_t bytes);

}  // namespace lattice_bubble
