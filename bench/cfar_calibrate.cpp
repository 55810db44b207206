// CFAR threshold calibration on noise-only recordings of the stand-in radar (FMCW, 100 MHz,
// 1 ms, 128 samples, 64 sweeps, noise of 10 counts, the window's default conditioning).
//
// For each cell it takes the ratio of its power to its training mean, as the detector does,
// and finds the factor each false-alarm probability needs. Where too few cells exceed it for a
// direct count (the rarest probabilities), the factor comes from the exact CA-CFAR law for an
// effective number of independent training cells, fitted at the rarest probability measured
// directly. It prints the multipliers of the textbook factor for dsp/cfar.cpp, and then the
// false-alarm rate the detector gives with the factors in use.
//
//   vorn_cfar_calibrate [MAPS [SWEEPS]]    (defaults 600 maps, 60000 sweeps)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dsp/cfar.h"
#include "dsp/fmcw_range.h"
#include "dsp/range_velocity_map.h"
#include "sim/scene.h"

namespace {

using namespace vorn;

constexpr int kSamples = 128;
constexpr int kSweeps = 64;
constexpr double kStepDb = 0.002;
constexpr std::size_t kBins = 20000;  // 0 ... 40 dB of ratio

// FMCW, 1 ms sweeps of 100 MHz.
const sim::RadarParameters kParameters{sim::RadarMode::FmcwSawtooth, 0.001, 100e6, kSamples};

sim::Scene NoiseOnly() {
    sim::Scene scene;
    scene.noiseRms = 10.0;
    scene.dcOffset = {30.0, -20.0};
    return scene;
}

dsp::SampleBlock Block(std::uint64_t seed, std::size_t frames) {
    const auto raw = sim::SynthesiseFrames(NoiseOnly(), kParameters, 0, frames, seed);
    dsp::SampleBlock block(frames);
    for (std::size_t k = 0; k < frames; ++k)
        block[k] = {double(raw[k].ch1.i), double(raw[k].ch1.q)};
    return block;
}

struct Tail {
    std::vector<double> counts = std::vector<double>(kBins + 1, 0.0);
    double cells = 0.0;
    void Add(const std::vector<double>& ratios) {
        for (double r : ratios) {
            if (!(r > 0.0)) continue;
            cells += 1.0;
            const double db = 10.0 * std::log10(r);
            const auto bin =
                db <= 0.0 ? 0 : std::min<std::size_t>(kBins, std::size_t(db / kStepDb));
            counts[bin] += 1.0;
        }
    }
    // The smallest ratio exceeded by a fraction `pfa` of the cells; 0 when too few exceed it.
    double Factor(double pfa) const {
        const double wanted = pfa * cells;
        if (wanted < 20.0) return 0.0;
        double above = 0.0;
        for (std::size_t b = kBins + 1; b-- > 0;) {
            above += counts[b];
            if (above >= wanted) return std::pow(10.0, (b + 1) * kStepDb / 10.0);
        }
        return 0.0;
    }
};

// n with n ((pfa)^(-1/n) - 1) = factor, by bisection (the left side falls with n).
double EffectiveCells(double pfa, double factor) {
    double lo = 1.0, hi = 1e6;
    for (int i = 0; i < 200; ++i) {
        const double n = std::sqrt(lo * hi);
        (n * (std::pow(pfa, -1.0 / n) - 1.0) > factor ? lo : hi) = n;
    }
    return std::sqrt(lo * hi);
}

void Report(const char* what, const Tail& tail, double (*textbook)(double)) {
    std::printf("%s: %.3g cells\n  pfa      factor   source     multiplier\n", what, tail.cells);
    double fittedCells = 0.0, fittedPfa = 0.0;
    for (double pfa : dsp::kCfarPfaChoices) {
        double factor = tail.Factor(pfa);
        const char* source = "measured";
        if (factor > 0.0) {
            fittedCells = EffectiveCells(pfa, factor);
            fittedPfa = pfa;
        } else {
            factor = fittedCells * (std::pow(pfa, -1.0 / fittedCells) - 1.0);
            source = "law";
        }
        std::printf("  %-8.0e %-8.4g %-10s %.4f\n", pfa, factor, source, factor / textbook(pfa));
    }
    std::printf("  (law: effective training cells %.1f, fitted at %.0e)\n", fittedCells, fittedPfa);
}

double Textbook(double pfa, double training, double spread) {
    const double n = training / spread;
    return n * (std::pow(pfa, -1.0 / n) - 1.0);
}

// The automatic cells: on the map 2 x 1024/N and 2 x 1024/S guard and training cells either
// side; on the profile a guard of 2 x 1024/N and 8 x 1024/N training cells either side.
double MapTextbook(double pfa) {
    const double r = 2 * 1024 / kSamples, d = 2 * 1024 / kSweeps;
    const double training = (4 * r + 1) * (4 * d + 1) - (2 * r + 1) * (2 * d + 1);
    return Textbook(pfa, training, (1024.0 / kSamples) * (1024.0 / kSweeps));
}

double ProfileTextbook(double pfa) {
    return Textbook(pfa, 2 * 8 * 1024 / kSamples, 1024.0 / kSamples);
}

}  // namespace

int main(int argc, char** argv) {
    const int maps = argc > 1 ? std::atoi(argv[1]) : 600;
    const int sweeps = argc > 2 ? std::atoi(argv[2]) : 60000;

    dsp::RangeVelocityMapSettings mapSettings;
    mapSettings.iqBalancing.dcSubtract = true;
    mapSettings.hammingWindow = true;
    mapSettings.sweepCount = kSweeps;
    mapSettings.rangeWindow = {0.0, 95.0};
    mapSettings.velocityWindow = {0.0, 12.0};
    mapSettings.keepPower = true;  // the detector's input, as the window and vorn-process run it
    dsp::FmcwRangeSettings rangeSettings;
    rangeSettings.iqBalancing.dcSubtract = true;
    rangeSettings.hammingWindow = true;
    rangeSettings.window = {0.0, 95.0};
    dsp::ClutterCanceller clutter;

    Tail mapTail, profileTail;
    std::vector<double> falseMap(6, 0.0), falseProfile(6, 0.0);
    dsp::RangeVelocityMapProcessor mapProcessor;
    for (int m = 0; m < maps; ++m) {
        dsp::SampleBlock block = Block(1000 + m, kSamples * kSweeps);
        dsp::RangeVelocityMapResult r = mapProcessor.Process(block, mapSettings, clutter);
        mapTail.Add(dsp::CfarMapRatios(r.map.data(), r.power.data(), dsp::kMapRows,
                                       dsp::kMapColumns, kSamples, kSweeps, {}));
        for (std::size_t k = 0; k < 6; ++k) {
            dsp::CfarSettings s;
            s.pfa = dsp::kCfarPfaChoices[k];
            falseMap[k] += dsp::DetectMap(r.map.data(), r.power.data(), dsp::kMapRows,
                                          dsp::kMapColumns, kSamples, kSweeps, s)
                               .size();
        }
        mapProcessor.Recycle(std::move(r));
    }
    dsp::FmcwRangeProcessor rangeProcessor;
    for (int w = 0; w < sweeps; ++w) {
        dsp::SampleBlock block = Block(900000 + w, kSamples);
        const dsp::FmcwRangeResult r = rangeProcessor.Process(block, rangeSettings, clutter);
        profileTail.Add(dsp::CfarProfileRatios(r.profile.data(), r.profile.size(), kSamples, {}));
        for (std::size_t k = 0; k < 6; ++k) {
            dsp::CfarSettings s;
            s.pfa = dsp::kCfarPfaChoices[k];
            falseProfile[k] +=
                dsp::DetectProfile(r.profile.data(), r.profile.size(), kSamples, s).size();
        }
    }
    Report("map", mapTail, MapTextbook);
    Report("profile", profileTail, ProfileTextbook);
    std::printf("with the factors in use: false detections per map / per profile\n");
    for (std::size_t k = 0; k < 6; ++k)
        std::printf("  %-8.0e %.3f per map (%.2e per cell)   %.4f per profile (%.2e per cell)\n",
                    dsp::kCfarPfaChoices[k], falseMap[k] / maps, falseMap[k] / mapTail.cells,
                    falseProfile[k] / sweeps, falseProfile[k] / profileTail.cells);
    return 0;
}
