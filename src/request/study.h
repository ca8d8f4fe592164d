#pragma once
// A study as the core runs it: a checked request (request/study_request.h),
// with its routes found, its wave vectors on the grid and its thread count.

#include <vector>

#include "model/lattice_model.h"
#include "routes/route_table.h"

namespace lattice_bubble {

struct Study {
    StudyModel model;
    std::vector<const Route*> routes;      // in the table's order
    bool all_q = false;                    // every wave vector, x major, y minor
    std::vector<WaveVector> q;             // else these, in the order given, each once
    bool path = false;                     // q holds the path Γ → X → M → Γ
    std::vector<FreeWaveVector> q_points;  // wave vectors off the grid, instead of q (the direct route)
    bool plot = false;                     // draw χ at the first q, or along the path, after the table
    bool arrays_returned = false;          // every value is kept for the caller (the module)
    int threads = 1;

    // The wave vectors of the table, in its order: all of them, those given,
    // or (LX/2, LY/2) = (π, π) when none was given.
    [[nodiscard]] std::vector<WaveVector> wave_vectors() const;
};

// Wave vectors a route prepares at once: the direct sums of a block go over
// every thread, and each block is written before the next is summed.
[[nodiscard]] std::size_t block_size(const Study& study);

// The bytes a study holds at its peak: every route's, the list of wave
// vectors and one block of the table's text, or every value when the caller
// keeps them.
[[nodiscard]] double study_memory_bytes(const Study& study);

}  // namespace lattice_bubble
