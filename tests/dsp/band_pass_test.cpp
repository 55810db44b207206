#include "dsp/band_pass.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorn::dsp {
namespace {

TEST(BesselI0, MatchesTabulatedValuesInBothApproximations) {
    EXPECT_DOUBLE_EQ(BesselI0(0.0), 1.0);
    EXPECT_NEAR(BesselI0(1.0), 1.2660658777520084, 2e-7);
    EXPECT_NEAR(BesselI0(2.0), 2.2795853023360673, 5e-7);
    EXPECT_NEAR(BesselI0(-2.0), BesselI0(2.0), 0.0);
    EXPECT_NEAR(BesselI0(5.0) / 27.239871823604442, 1.0, 2e-7);
    EXPECT_NEAR(BesselI0(10.0) / 2815.716628466254, 1.0, 2e-7);
    // The window's own argument range ends at 0.9 pi.
    EXPECT_NEAR(BesselI0(2.827433388230814), 4.248986795204005, 1e-5);
}

double Magnitude(const std::vector<Complex>& response, std::size_t bin) {
    return std::abs(response[bin]);
}

TEST(BandPassResponse, FullBandPassesEverything) {
    std::vector<Complex> response;
    BuildBandPassResponse(response, 1024, 0.0, 0.5);
    ASSERT_EQ(response.size(), 1024u);
    for (std::size_t k = 0; k <= 512; k += 8) EXPECT_NEAR(Magnitude(response, k), 1.0, 0.02) << k;
}

TEST(BandPassResponse, PassesTheBandAndStopsTheRest) {
    std::vector<Complex> response;
    BuildBandPassResponse(response, 1024, 0.1, 0.2);
    for (double f : {0.12, 0.15, 0.18}) {
        EXPECT_NEAR(Magnitude(response, static_cast<std::size_t>(f * 1024)), 1.0, 0.02) << f;
    }
    for (double f : {0.0, 0.05, 0.25, 0.35, 0.5}) {
        EXPECT_LT(Magnitude(response, static_cast<std::size_t>(f * 1024)), 0.01) << f;
    }
    // Real taps: negative frequencies mirror the positive ones.
    EXPECT_NEAR(Magnitude(response, 1024 - 154), Magnitude(response, 154), 1e-9);
}

TEST(BandPassResponse, SignedCutoffsDoubleTheOverlap) {
    std::vector<Complex> response;
    BuildBandPassResponse(response, 1024, -0.1, 0.25);
    EXPECT_NEAR(Magnitude(response, 20), 2.0, 0.04);
    EXPECT_NEAR(Magnitude(response, 180), 1.0, 0.02);
    EXPECT_LT(Magnitude(response, 400), 0.01);
}

TEST(BandPassResponse, DegenerateLengthsAndCutoffsAreSafe) {
    std::vector<Complex> response;
    BuildBandPassResponse(response, 0, 0.0, 0.5);
    EXPECT_TRUE(response.empty());
    BuildBandPassResponse(response, 1, 0.0, 0.25);
    EXPECT_EQ(response[0], Complex(0.5, 0.0));
    BuildBandPassResponse(response, 64, std::nan(""), 7.0);
    for (const Complex& z : response) ASSERT_TRUE(std::isfinite(std::abs(z)));
}

TEST(BandPassWindow, RebuildsOnlyWhenTheBoundsChange) {
    BandPassWindow window;
    EXPECT_FALSE(window.Built());
    const std::vector<Complex> first = window.Response(10.0, 40.0, 95.9);
    std::vector<Complex> expected;
    BuildBandPassResponse(expected, 1024, 10.0 * 0.5 / 95.9, 40.0 * 0.5 / 95.9);
    EXPECT_EQ(first, expected);
    const Complex* address = window.Response(10.0, 40.0, 95.9).data();
    EXPECT_EQ(window.Response(10.0, 40.0, 95.9).data(), address);

    const std::vector<Complex> second = window.Response(10.0, 41.0, 95.9);
    EXPECT_NE(second, first);
    const std::vector<Complex> unusable = window.Response(1.0, 2.0, 0.0);
    EXPECT_EQ(unusable, std::vector<Complex>(1024, Complex(1.0, 0.0)));
}

}  // namespace
}  // namespace vorn::dsp
