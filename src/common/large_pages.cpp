#include "common/large_pages.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lattice_bubble {
namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;

// Only what spans several huge pages is worth their alignment.
bool worth_huge_pages(std::size_t bytes) { return bytes >= 4 * huge_page; }

}  // namespace

void* allocate_large(std::size_t bytes) {
    if (!worth_huge_pages(bytes)) {
        return ::operator new(bytes);
    }
    void* storage = ::operator new (bytes, std::align_val_t{huge_page});
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(storage, bytes, MADV_HUGEPAGE);  // advice only: without it the pages are small
#endif
    return storage;
}

void release_large(void* storage, std::size_t bytes) {
    if (!worth_huge_pages(bytes)) {
        ::operator delete(storage);
        return;
    }
    ::operator delete (storage, std::align_val_t{huge_page});
}

}  // namespace lattice_bubble
