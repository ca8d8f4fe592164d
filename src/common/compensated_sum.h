#pragma once
// Neumaier's compensated sum: a term v added to a running sum s, the part
// that rounding loses kept in c, so that s + c has an error that does not
// grow with the number of terms:
//   t = s + v;  c += (|s| ≥ |v| ? (s − t) + v : (v − t) + s);  s = t.
// T is double or a vector of doubles of GCC's vector extension, which does
// the same operations lane by lane. In an unnamed namespace, so that each
// unit keeps its own copy: a unit compiled for wider instructions (the direct
// route's kernels) must not lend its copy to the others.

namespace lattice_bubble {
namespace {

template <typename T>
inline void add_compensated(T& s, T& c, T v) {
    const T t = s + v;
    const auto s_larger = (s < 0.0 ? -s : s) >= (v < 0.0 ? -v : v);
    const T big = s_larger ? s : v;
    const T small = s_larger ? v : s;
    c = c + ((big - t) + small);
    s = t;
}

}  // namespace
}  // namespace lattice_bubble
