#include "tools/offline_chain.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "dsp/scales.h"
#include "record/sigmf.h"

namespace vorn::tools {

namespace {

bool IsFmcw(ProcessMode mode) {
    return mode == ProcessMode::Range || mode == ProcessMode::RangeVelocityMap ||
           mode == ProcessMode::Velocity;
}

std::string Number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

dsp::WindowBounds Bounds(const std::optional<Interval>& given, double fullLower, double fullUpper) {
    if (!given) return {fullLower, fullUpper};
    return {given->lower, given->upper};
}

}  // namespace

ProcessMode DefaultMode(const record::FileHeader& header) {
    switch (record::InferOperatingMode(header)) {
        case record::kModeCw:
            return ProcessMode::Cw;
        case record::kModeFsk:
            return ProcessMode::Fsk;
        default:
            return ProcessMode::Range;
    }
}

std::string CheckHeaderForMode(const record::FileHeader& header, ProcessMode mode) {
    if (!(header.sweepTimeMs > 0.0 && std::isfinite(header.sweepTimeMs)))
        return "line 2: sweep time " + Number(header.sweepTimeMs) + " ms is not positive";
    const int n = header.samplesPerSweep;
    if (n != 128 && n != 256 && n != 512 && n != 1024)
        return "line 3: " + std::to_string(n) + " samples per sweep: the radar takes 128, 256, " +
               "512 or 1024";
    const ProcessMode recorded = DefaultMode(header);
    const bool fits = IsFmcw(mode) ? IsFmcw(recorded) : mode == recorded;
    if (!fits) {
        const char* kind = recorded == ProcessMode::Cw    ? "a CW"
                           : recorded == ProcessMode::Fsk ? "an FSK"
                                                          : "an FMCW";
        return "line 4: --mode " + std::string(ModeName(mode)) + " does not fit " + kind +
               " recording (bandwidth " + Number(header.bandwidthHz) + " Hz)";
    }
    if (IsFmcw(mode) && !(header.bandwidthHz > 0.0 && std::isfinite(header.bandwidthHz)))
        return "line 4: bandwidth " + Number(header.bandwidthHz) + " Hz is not positive";
    if (IsFmcw(mode) && !(header.frequencyHz > 0.0 && std::isfinite(header.frequencyHz)))
        return "line 1: frequency " + Number(header.frequencyHz) + " Hz is not positive";
    return {};
}

OfflineChain::OfflineChain(const record::FileHeader& header, ProcessMode mode,
                           const ProcessOptions& options)
    : mode_(mode) {
    const double t = header.sweepTimeMs;
    const int n = header.samplesPerSweep;
    const int s = options.sweeps;
    const double carrier = record::TransmitCarrierHz(header);
    dsp::IqBalancing balancing;
    balancing.dcSubtract = options.dcSubtract;
    balancing.amplitudeCorrection = options.amplitudeCorrection;

    switch (mode) {
        case ProcessMode::Range: {
            const dsp::FmcwRangeGeometry g = dsp::MakeFmcwRangeGeometry(t, n, header.bandwidthHz);
            rangeSettings_.sweepTimeMs = t;
            rangeSettings_.samplesPerSweep = n;
            rangeSettings_.bandwidthHz = header.bandwidthHz;
            rangeSettings_.clutterMode = options.clutter;
            rangeSettings_.clutterAverageCount = options.clutterAverageCount;
            rangeSettings_.iqBalancing = balancing;
            rangeSettings_.hammingWindow = options.hamming;
            rangeSettings_.rangeWeighting = options.rangeWeighting;
            rangeSettings_.window = Bounds(options.rangeWindow, 0.0, g.sliderMaximum);
            blockFrames_ = static_cast<std::size_t>(n);
            axis_ = dsp::RangeAxis(g.maxRange);
            break;
        }
        case ProcessMode::RangeVelocityMap:
        case ProcessMode::Velocity: {
            const dsp::RangeVelocityGeometry g =
                dsp::MakeRangeVelocityGeometry(t, n, s, header.bandwidthHz, carrier);
            mapSettings_.sweepTimeMs = t;
            mapSettings_.samplesPerSweep = n;
            mapSettings_.sweepCount = s;
            mapSettings_.bandwidthHz = header.bandwidthHz;
            mapSettings_.centerFrequencyHz = carrier;
            mapSettings_.clutterMode = options.clutter;
            mapSettings_.clutterAverageCount = options.clutterAverageCount;
            mapSettings_.iqBalancing = balancing;
            mapSettings_.hammingWindow = options.hamming;
            mapSettings_.rangeWeighting = options.rangeWeighting;
            mapSettings_.rangeWindow = Bounds(options.rangeWindow, 0.0, g.rangeSliderMaximum);
            mapSettings_.velocityWindow =
                Bounds(options.velocityWindow, 0.0, g.velocitySliderMaximum);
            mapSettings_.velocityProfile = mode == ProcessMode::Velocity;
            blockFrames_ = static_cast<std::size_t>(g.totalSamples);
            axis_ = dsp::CwVelocityAxis(g.maxVelocity);
            if (mode == ProcessMode::RangeVelocityMap) rowAxis_ = dsp::RangeAxis(g.maxRange);
            break;
        }
        case ProcessMode::Cw: {
            const dsp::CwGeometry g = dsp::MakeCwGeometry(t, n, s, carrier);
            cwSettings_.sweepTimeMs = t;
            cwSettings_.samplesPerSweep = n;
            cwSettings_.sweepCount = s;
            cwSettings_.centerFrequencyHz = carrier;
            cwSettings_.amplitudeCorrection = options.amplitudeCorrection;
            cwSettings_.hammingWindow = options.hamming;
            blockFrames_ = static_cast<std::size_t>(g.totalSamples);
            axis_ = dsp::CwVelocityAxis(g.maxVelocity);
            break;
        }
        case ProcessMode::Fsk: {
            const dsp::FskGeometry g = dsp::MakeFskGeometry(t, n, s, carrier);
            fskSettings_.sweepTimeMs = t;
            fskSettings_.samplesPerSweep = n;
            fskSettings_.sweepCount = s;
            fskSettings_.centerFrequencyHz = carrier;
            fskSettings_.hammingWindow = options.hamming;
            fskSettings_.threshold = options.threshold;
            fskSettings_.velocityWindow =
                Bounds(options.velocityWindow, -g.velocitySliderMaximum, g.velocitySliderMaximum);
            blockFrames_ = static_cast<std::size_t>(g.totalSamples);
            axis_ = dsp::FskVelocityAxis(g.maxVelocity);
            break;
        }
    }
    cfar_ = options.cfar;
    cfarSettings_ = options.cfarSettings;
    block_.reserve(std::max<std::size_t>(blockFrames_, dsp::kTransformSize));
    // CW and FSK take no clutter cancellation, whatever the option says.
    stateless_ = !IsFmcw(mode) || options.clutter == dsp::ClutterMode::Disabled;
}

std::vector<std::size_t> OfflineChain::BlockShape() const {
    if (mode_ == ProcessMode::RangeVelocityMap) return {dsp::kMapRows, dsp::kMapColumns};
    return {axis_.size()};
}

const std::vector<double>& OfflineChain::Process(const dsp::Complex* samples, std::size_t stride,
                                                 std::vector<Detection>& detections) {
    block_.resize(blockFrames_);
    for (std::size_t k = 0; k < blockFrames_; ++k) block_[k] = samples[k * stride];
    return ProcessBlock(detections);
}

const std::vector<double>& OfflineChain::Process(const record::SampleEntry* entries,
                                                 std::size_t stride,
                                                 std::vector<Detection>& detections) {
    block_.resize(blockFrames_);
    for (std::size_t k = 0; k < blockFrames_; ++k) {
        const record::SampleEntry& e = entries[k * stride];
        block_[k] = dsp::Complex(static_cast<double>(e.re), static_cast<double>(e.im));
    }
    return ProcessBlock(detections);
}

const std::vector<double>& OfflineChain::ProcessBlock(std::vector<Detection>& detections) {
    detections.clear();
    Detection detection;  // the strongest cell, reported when CFAR is off
    switch (mode_) {
        case ProcessMode::Range: {
            dsp::FmcwRangeResult r = range_.Process(block_, rangeSettings_, clutter_);
            if (cfar_) {
                for (const dsp::CfarDetection& d :
                     dsp::DetectProfile(r.profile.data(), r.profile.size(),
                                        rangeSettings_.samplesPerSweep, cfarSettings_))
                    detections.push_back({axis_[d.row], std::nullopt, d.level});
            }
            detection.range = r.detectedRange;
            detection.level = r.profile[r.peakBin];
            output_ = std::move(r.profile);
            break;
        }
        case ProcessMode::RangeVelocityMap: {
            dsp::RangeVelocityMapResult r = map_.Process(block_, mapSettings_, clutter_);
            if (cfar_) {
                for (const dsp::CfarDetection& d : dsp::DetectMap(
                         r.map.data(), dsp::kMapRows, dsp::kMapColumns,
                         mapSettings_.samplesPerSweep, mapSettings_.sweepCount, cfarSettings_)) {
                    const double v = axis_[d.column];
                    const double range = rowAxis_[d.row] - dsp::RangeDopplerCoupling(
                                                               v, mapSettings_.centerFrequencyHz,
                                                               mapSettings_.sweepTimeMs * 1e-3,
                                                               mapSettings_.bandwidthHz);
                    detections.push_back({range, v, d.level});
                }
                output_ = std::move(r.map);
                break;
            }
            const std::size_t at = dsp::FirstMaximumIndex(r.map, 0, r.map.size());
            detection.range = rowAxis_[at / dsp::kMapColumns];
            detection.velocity = axis_[at % dsp::kMapColumns];
            detection.level = r.map[at];
            output_ = std::move(r.map);
            break;
        }
        case ProcessMode::Velocity: {
            dsp::RangeVelocityMapResult r = map_.Process(block_, mapSettings_, clutter_);
            output_ = std::move(r.velocityProfile);
            const std::size_t at = dsp::FirstMaximumIndex(output_, 0, output_.size());
            detection.velocity = axis_[at];
            detection.level = output_[at];
            break;
        }
        case ProcessMode::Cw: {
            dsp::CwVelocityResult r = cw_.Process(block_, cwSettings_);
            detection.velocity = r.peakVelocity;
            detection.level = r.spectrum[r.peakIndex];
            output_ = std::move(r.spectrum);
            break;
        }
        case ProcessMode::Fsk: {
            dsp::FskResult r = fsk_.Process(block_, fskSettings_);
            detection.range = r.range;
            detection.velocity = r.velocity;
            detection.level = r.peakLevel;
            output_ = std::move(r.spectrum);
            break;
        }
    }
    if (!cfar_) detections.push_back(detection);
    return output_;
}

}  // namespace vorn::tools
