#pragma once
// The working grids of one run. The entry owns them for the whole run; every
// stage receives them by reference and keeps nothing.

#include "common/grids.h"

namespace lattice_bubble {

struct RunGrids {
    FermionGrid green_freq{};   // G0(k, iω_n); after the space transform G(r, iω_n)
    TimeGrid green_time{};      // G(r, τ_l)
    TimeGrid chi_time{};        // χ(r, τ_l)
    BosonGrid chi_freq{};       // χ(r, iν_m); after the space transform χ(q, iν_m)
    BosonGrid chi_reference{};  // χ0(q, iν_m) by direct summation
};

}  // namespace lattice_bubble
