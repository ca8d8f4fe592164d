#pragma once
// What the system can give a study: memory and processors. The questions of
// a study to the platform besides the plot pipe's.

#include <optional>

namespace lattice_bubble {

// Bytes available to the process: on Linux MemAvailable of /proc/meminfo,
// or what the process's control group still allows (memory.max less
// memory.current) where that is lower; on Windows the available physical
// memory. Nothing when the system does not say.
[[nodiscard]] std::optional<double> available_memory_bytes();

// The processors this process may run on: its affinity mask on Linux, the
// processors the system reports elsewhere; at least 1.
[[nodiscard]] int usable_processors();

}  // namespace lattice_bubble
