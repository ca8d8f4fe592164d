#pragma once
// A grid of a study: an Lx × Ly lattice (or momentum grid) whose every point
// holds a series of `slots` Complex values along a frequency or time axis,
// one contiguous block with the slots of a point next to each other
// (element (x, y, s) at (x·Ly + y)·slots + s). The size is chosen at run
// time; the meaning of the two lattice indices and of the slots changes as a
// route goes, and the route's names say which it is at each step.

#include <cstddef>
#include <memory>
#include <span>

#include "common/complex.h"
#include "common/large_pages.h"

namespace lattice_bubble {

class SeriesGrid {
public:
    // Every value (0, 0).
    SeriesGrid(int lattice_x, int lattice_y, int slots) : SeriesGrid(lattice_x, lattice_y, slots, unwritten) {
        std::uninitialized_fill_n(values_.get(), count(), Complex{});
    }

    // Values not yet written: the caller writes every one before it reads it,
    // and the thread that writes a part first is the one the system gives its
    // pages to. (Complex is an implicit-lifetime type: the storage holds its
    // objects as soon as it is obtained.) Large grids get large pages.
    struct Unwritten {};
    static constexpr Unwritten unwritten{};
    SeriesGrid(int lattice_x, int lattice_y, int slots, Unwritten)
        : lattice_x_(lattice_x),
          lattice_y_(lattice_y),
          slots_(slots),
          values_(static_cast<Complex*>(allocate_large(count() * sizeof(Complex))),
                  Release{count() * sizeof(Complex)}) {}

    [[nodiscard]] int lattice_x() const { return lattice_x_; }
    [[nodiscard]] int lattice_y() const { return lattice_y_; }
    [[nodiscard]] int slots() const { return slots_; }

    [[nodiscard]] std::span<Complex> series(int x, int y) {
        return {values_.get() + offset(x, y), slot_count()};
    }
    [[nodiscard]] std::span<const Complex> series(int x, int y) const {
        return {values_.get() + offset(x, y), slot_count()};
    }

    // Bytes of a grid of this shape, for the memory check before it is made.
    [[nodiscard]] static double bytes(int lattice_x, int lattice_y, int slots) {
        return static_cast<double>(lattice_x) * lattice_y * slots * static_cast<double>(sizeof(Complex));
    }

private:
    struct Release {
        std::size_t bytes = 0;
        void operator()(Complex* values) const { release_large(values, bytes); }
    };

    [[nodiscard]] std::size_t count() const {
        return static_cast<std::size_t>(lattice_x_) * static_cast<std::size_t>(lattice_y_) * slot_count();
    }
    [[nodiscard]] std::size_t slot_count() const { return static_cast<std::size_t>(slots_); }
    [[nodiscard]] std::size_t offset(int x, int y) const {
        return (static_cast<std::size_t>(x) * static_cast<std::size_t>(lattice_y_) +
                static_cast<std::size_t>(y)) *
               slot_count();
    }

    int lattice_x_;
    int lattice_y_;
    int slots_;
    std::unique_ptr<Complex[], Release> values_;
};

}  // namespace lattice_bubble
