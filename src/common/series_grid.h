#pragma once
// A grid of a study: an L × L lattice (or momentum grid) whose every point
// holds a series of `slots` Complex values along a frequency or time axis,
// one contiguous block with the slots of a point next to each other
// (element (x, y, s) at (x·L + y)·slots + s). The size is chosen at run time;
// the meaning of the two lattice indices and of the slots changes as a route
// goes, and the route's names say which it is at each step.

#include <cstddef>
#include <span>
#include <vector>

#include "common/complex.h"

namespace lattice_bubble {

class SeriesGrid {
public:
    SeriesGrid(int lattice, int slots)
        : lattice_(lattice),
          slots_(slots),
          values_(static_cast<std::size_t>(lattice) * static_cast<std::size_t>(lattice) *
                  static_cast<std::size_t>(slots)) {}

    [[nodiscard]] int lattice() const { return lattice_; }
    [[nodiscard]] int slots() const { return slots_; }

    [[nodiscard]] std::span<Complex> series(int x, int y) {
        return {values_.data() + offset(x, y), slot_count()};
    }
    [[nodiscard]] std::span<const Complex> series(int x, int y) const {
        return {values_.data() + offset(x, y), slot_count()};
    }

    // Bytes of a grid of this shape, for the memory check before it is made.
    [[nodiscard]] static double bytes(int lattice, int slots) {
        return static_cast<double>(lattice) * lattice * slots * static_cast<double>(sizeof(Complex));
    }

private:
    [[nodiscard]] std::size_t slot_count() const { return static_cast<std::size_t>(slots_); }
    [[nodiscard]] std::size_t offset(int x, int y) const {
        return (static_cast<std::size_t>(x) * static_cast<std::size_t>(lattice_) +
                static_cast<std::size_t>(y)) *
               slot_count();
    }

    int lattice_;
    int slots_;
    std::vector<Complex> values_;
};

}  // namespace lattice_bubble
