#pragma once
// How much memory the system can still give this process: the one question
// of a study to the platform besides the plot pipe's.

#include <optional>

namespace lattice_bubble {

// Bytes available to the process: on Linux MemAvailable of /proc/meminfo,
// or what the process's control group still allows (memory.max less
// memory.current) where that is lower; on Windows the available physical
// memory. Nothing when the system does not say.
[[nodiscard]] std::optional<double> available_memory_bytes();

}  // namespace lattice_bubble
