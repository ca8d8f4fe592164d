// Preloaded into the built program by the tests (LD_PRELOAD): refuses the
// k-th heap allocation of at least a given size, as a process short of memory
// would, so that every allocation of a run can be made to fail in turn.
//
//   LATTICE_BUBBLE_REFUSE_NTH        k (1 for the first); unset or 0: refuse none
//   LATTICE_BUBBLE_REFUSE_MIN_BYTES  the smallest request that counts (default 1)
//   LATTICE_BUBBLE_REFUSE_REPORT     a file that receives, at exit, the number of
//                                    counted requests and whether one was refused
//
// The variables are removed from the environment at load, so that the
// programs the run starts (its command interpreter, the plotting program)
// allocate normally.

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

unsigned long refuse_nth = 0;
std::size_t min_bytes = 1;
unsigned long counted = 0;
bool refused = false;
char report_path[4096] = {};

// True when this request is the one to refuse.
bool refuse(std::size_t size) {
    if (refuse_nth == 0 || size < min_bytes) {
        return false;
    }
    if (++counted == refuse_nth) {
        refused = true;
        errno = ENOMEM;
        return true;
    }
    return false;
}

unsigned long read_number(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtoul(text, nullptr, 10) : fallback;
}

__attribute__((constructor)) void start() {
    refuse_nth = read_number("LATTICE_BUBBLE_REFUSE_NTH", 0);
    min_bytes = read_number("LATTICE_BUBBLE_REFUSE_MIN_BYTES", 1);
    if (const char* report = std::getenv("LATTICE_BUBBLE_REFUSE_REPORT")) {
        std::snprintf(report_path, sizeof report_path, "%s", report);
    }
    unsetenv("LD_PRELOAD");
    unsetenv("LATTICE_BUBBLE_REFUSE_NTH");
    unsetenv("LATTICE_BUBBLE_REFUSE_MIN_BYTES");
    unsetenv("LATTICE_BUBBLE_REFUSE_REPORT");
}

__attribute__((destructor)) void finish() {
    refuse_nth = 0;  // the report's own allocations are not the program's
    if (report_path[0] != '\0') {
        if (std::FILE* out = std::fopen(report_path, "w")) {
            std::fprintf(out, "%lu %d\n", counted, refused ? 1 : 0);
            std::fclose(out);
        }
    }
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) { return refuse(size) ? nullptr : __libc_malloc(size); }

void* calloc(std::size_t count, std::size_t size) {
    return refuse(count * size) ? nullptr : __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) { return refuse(size) ? nullptr : __libc_realloc(block, size); }

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    return refuse(size) ? nullptr : __libc_memalign(alignment, size);
}

int posix_memalign(void** block, std::size_t alignment, std::size_t size) {
    if (refuse(size)) {
        return ENOMEM;
    }
    *block = __libc_memalign(alignment, size);
    return *block != nullptr ? 0 : ENOMEM;
}

}  // extern "C"
