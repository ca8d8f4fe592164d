#include "request/study.h"

#include <algorithm>

namespace lattice_bubble {

std::vector<WaveVector> Study::wave_vectors() const {
    if (!all_q) {
        return q.empty() ? std::vector<WaveVector>{{model.lattice_x / 2, model.lattice_y / 2}} : q;
    }
    std::vector<WaveVector> every;
    for (int x = 0; x < model.lattice_x; ++x) {
        for (int y = 0; y < model.lattice_y; ++y) {
            every.emplace_back(x, y);
        }
    }
    return every;
}

std::size_t block_size(const Study& study) {
    const std::size_t per_threads = 4 * static_cast<std::size_t>(study.threads);
    return study.arrays_returned ? std::max<std::size_t>(64, per_threads) : per_threads;
}

double study_memory_bytes(const Study& study) {
    const StudyModel& model = study.model;
    const double wave_vectors = study.all_q ? static_cast<double>(model.sites())
                                            : static_cast<double>(study.q.size() + study.q_points.size() + 1);
    // Table text goes out once it passes 1 MiB; a row is below 200 characters,
    // and 120 more for each route's interacting columns.
    const double block_text = 1024.0 * 1024.0 + 320.0 * model.values();
    double bytes = wave_vectors * 8.0 + block_text + 4.0 * model.values() * sizeof(Complex);
    if (study.plot && study.path && model.real_axis) {
        bytes += wave_vectors * model.values() * sizeof(double);  // the map
    }
    if (!study.q_points.empty()) {  // every value at once
        bytes += wave_vectors * model.values() * sizeof(Complex);
    }
    if (study.arrays_returned) {  // χ0, and with a coupling both channels
        bytes += (model.coupling ? 3.0 : 1.0) * wave_vectors * model.values() * sizeof(Complex);
    }
    for (const Route* route : study.routes) {
        bytes += route->bytes(model, study.threads, block_size(study), !study.q_points.empty());
    }
    return bytes;
}

}  // namespace lattice_bubble
