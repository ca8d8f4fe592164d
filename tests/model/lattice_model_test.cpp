#include "model/lattice_model.h"

#include <gtest/gtest.h>

namespace lattice_bubble {
namespace {

TEST(ModelConstants, MomentumSpacingIsAQuarterOfPi) {
    EXPECT_EQ(dk, pi / 4.0);
    EXPECT_EQ(dk, 0.7853981633974483);
    EXPECT_EQ(4.0 * dk, pi);
    EXPECT_EQ(4 * dk, 3.141592653589793);
    EXPECT_EQ(beta, 1.0);
    EXPECT_EQ(I, (Complex{0.0, 1.0}));
}

TEST(ModelConstants, MatsubaraFrequenciesAreOddAndEvenMultiplesOfPi) {
    EXPECT_EQ(fermion_frequency(0), (Complex{0.0, pi}));
    EXPECT_EQ(fermion_frequency(15), (Complex{0.0, 31.0 * pi}));
    EXPECT_EQ(boson_frequency(0), (Complex{0.0, 0.0}));
    EXPECT_EQ(boson_frequency(16), (Complex{0.0, 32.0 * pi}));
}

TEST(Dispersion, BandEdgesAndRoundingOfTheTwoStepShift) {
    EXPECT_EQ(dispersion(0.0, 0.0), 12.0);
    EXPECT_EQ(dispersion(pi, pi), -4.0);
    EXPECT_EQ(dispersion(pi / 2, pi / 2), 4.000000000000001);
    // A single "+ 4.0" would give 7.999999999999999 and 3.9999999999999996.
    EXPECT_EQ(dispersion(0.0, 6 * dk), 8.0);
    EXPECT_EQ(dispersion(dk, 5 * dk), 4.0);
}

TEST(Dispersion, SymmetricUnderAxisExchangeAndReflectionOnTheGrid) {
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            const double e = dispersion(x * dk, y * dk);
            EXPECT_EQ(e, dispersion(y * dk, x * dk));
            EXPECT_GE(e, -4.0);
            EXPECT_LE(e, 12.0);
        }
    }
}

TEST(Fermi, ValuesInsideTheBand) {
    EXPECT_EQ(fermi(0.0), 0.5);
    EXPECT_EQ(fermi(12.0), 6.144174602214718e-06);
    EXPECT_EQ(fermi(-4.0), 0.9820137900379085);
}

TEST(Fermi, SaturatesWithoutClampingFarOutside) {
    EXPECT_EQ(fermi(1000.0), 0.0);
    EXPECT_EQ(fermi(-1000.0), 1.0);
}

TEST(FreeGreen, LowestFrequencyAtTheBandTop) {
    const Complex g = free_green(0.0, 0.0, fermion_frequency(0));
    EXPECT_EQ(g, (Complex{-0.07798811238066096, -0.020417240076868303}));
}

// The path on the square (the diagonal back through (1, 1)), on a lattice two
// sites wide (its corners once each) and one site wide (Γ to the zone edge);
// the rectangles' diagonals are in the study's tests.
TEST(ZonePath, CornersOnceAndOneSiteWideToTheZoneEdge) {
    using Path = std::vector<WaveVector>;
    EXPECT_EQ(zone_path(4, 4), (Path{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 1}}));
    EXPECT_EQ(zone_path(2, 2), (Path{{0, 0}, {1, 0}, {1, 1}}));
    EXPECT_EQ(zone_path(5, 1), (Path{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(zone_path(1, 6), (Path{{0, 0}, {0, 1}, {0, 2}, {0, 3}}));
}

}  // namespace
}  // namespace lattice_bubble
