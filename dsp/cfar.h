#pragma once
// Cell-averaging CFAR: finds every target of a range profile or a range-velocity map, not just
// the strongest. Each cell is compared with the mean linear power of the training cells around
// it (beyond its guard cells); the threshold factor follows from the false-alarm probability.
// Adjacent cells above threshold are one detection, reported at their strongest cell; on the
// map a detection must also be the strongest cell within its guard cells.
#include <cstddef>
#include <vector>

namespace vorn::dsp {

// The false-alarm probabilities offered, most frequent first.
inline constexpr double kCfarPfaChoices[] = {1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8};
inline constexpr double kCfarDefaultPfa = 1e-6;

// Cells on each side of the cell under test in one dimension. 0 means automatic: derived from
// how many transform bins one resolution cell spans (1024 / N in range, 1024 / S in Doppler).
struct CfarCells {
    int guard = 0;
    int train = 0;
};

struct CfarSettings {
    double pfa = kCfarDefaultPfa;
    CfarCells range;
    CfarCells doppler;
};

struct CfarDetection {
    std::size_t row = 0;     // range bin
    std::size_t column = 0;  // map column (0 for a profile)
    double level = 0.0;      // dB, as in the input
};

// The cells actually used for a dimension with `points` real samples zero-padded to `padded`.
CfarCells ResolveCfarCells(CfarCells given, std::size_t points, std::size_t padded);

// Threshold factor over the training mean for `training` cells of which `spread` neighbours
// are correlated (zero padding and windows), for the map (twoDimensional) or the profile.
double CfarThresholdFactor(double pfa, double training, double spread, bool twoDimensional);

// 2-D CA-CFAR over a row-major map of decibels (rows x columns). `samplesPerSweep` and
// `sweeps` set the automatic cells and the correlation of neighbouring cells. Detections come
// strongest first, with their levels from the decibels. mapPower, when not null, holds the
// linear powers the decibels come from (RangeVelocityMapSettings' keepPower), which spares
// converting them back.
std::vector<CfarDetection> DetectMap(const double* mapDb, const double* mapPower, std::size_t rows,
                                     std::size_t columns, int samplesPerSweep, int sweeps,
                                     const CfarSettings& settings);

// How much farther than it is a target of this radial velocity shows on the map's range axis
// (range-Doppler coupling of the sawtooth sweep); subtract it from a detection's range.
double RangeDopplerCoupling(double velocity, double centerFrequencyHz, double sweepTimeS,
                            double bandwidthHz);

// Calibration: per cell, its power over the mean of its training cells (0 where it has none);
// mapPower as for DetectMap.
std::vector<double> CfarMapRatios(const double* mapDb, const double* mapPower, std::size_t rows,
                                  std::size_t columns, int samplesPerSweep, int sweeps,
                                  const CfarSettings& settings);
inline constexpr std::size_t kCfarMapRows = 513;
inline constexpr std::size_t kCfarMapColumns = 1024;
// The factor DetectMap applies to a cell with all its training cells, on a 513 x 1024 map.
double CfarMapFactor(int samplesPerSweep, int sweeps, const CfarSettings& settings);

// 1-D CA-CFAR over a range profile in decibels; the settings' Doppler cells are not used.
std::vector<CfarDetection> DetectProfile(const double* profileDb, std::size_t bins,
                                         int samplesPerSweep, const CfarSettings& settings);

// The profile's CfarMapRatios and CfarMapFactor (513 bins).
std::vector<double> CfarProfileRatios(const double* profileDb, std::size_t bins,
                                      int samplesPerSweep, const CfarSettings& settings);
double CfarProfileFactor(int samplesPerSweep, const CfarSettings& settings);

}  // namespace vorn::dsp
