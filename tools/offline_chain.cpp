#include "tools/offline_chain.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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

// The operator's choices the options give.
dsp::OperatorChoices ChoicesFromOptions(const ProcessOptions& options) {
    dsp::OperatorChoices c;
    c.sweepCount = options.sweeps;
    c.clutterMode = options.clutter;
    c.clutterAverageCount = options.clutterAverageCount;
    c.iqBalancing = {options.dcSubtract, options.amplitudeCorrection};
    c.hammingWindow = options.hamming;
    c.rangeWeighting = options.rangeWeighting;
    c.threshold = options.threshold;
    if (const auto& w = options.rangeWindow) c.rangeWindow = dsp::WindowBounds{w->lower, w->upper};
    if (const auto& w = options.velocityWindow)
        c.velocityWindow = dsp::WindowBounds{w->lower, w->upper};
    return c;
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
    if (std::count(std::begin(dsp::kSamplesPerSweepChoices), std::end(dsp::kSamplesPerSweepChoices),
                   n) == 0)
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
    const dsp::RadarParameters radar{header.sweepTimeMs, header.samplesPerSweep, header.bandwidthHz,
                                     record::TransmitCarrierHz(header)};
    const dsp::OperatorChoices choices = ChoicesFromOptions(options);
    const double t = radar.sweepTimeMs;
    const int n = radar.samplesPerSweep;
    const int s = choices.sweepCount;

    switch (mode) {
        case ProcessMode::Range: {
            const dsp::FmcwRangeGeometry g = dsp::MakeFmcwRangeGeometry(t, n, radar.bandwidthHz);
            rangeSettings_ = dsp::MakeFmcwRangeSettings(radar, choices);
            blockFrames_ = static_cast<std::size_t>(n);
            axis_ = dsp::RangeAxis(g.maxRange);
            break;
        }
        case ProcessMode::RangeVelocityMap:
        case ProcessMode::Velocity: {
            const dsp::RangeVelocityGeometry g =
                dsp::MakeRangeVelocityGeometry(t, n, s, radar.bandwidthHz, radar.carrierHz);
            mapSettings_ =
                dsp::MakeRangeVelocityMapSettings(radar, choices, mode == ProcessMode::Velocity);
            mapSettings_.keepPower = mode == ProcessMode::RangeVelocityMap && options.cfar;
            blockFrames_ = static_cast<std::size_t>(g.totalSamples);
            axis_ = dsp::CwVelocityAxis(g.maxVelocity);
            if (mode == ProcessMode::RangeVelocityMap) rowAxis_ = dsp::RangeAxis(g.maxRange);
            break;
        }
        case ProcessMode::Cw: {
            const dsp::CwGeometry g = dsp::MakeCwGeometry(t, n, s, radar.carrierHz);
            cwSettings_ = dsp::MakeCwVelocitySettings(radar, choices);
            blockFrames_ = static_cast<std::size_t>(g.totalSamples);
            axis_ = dsp::CwVelocityAxis(g.maxVelocity);
            break;
        }
        case ProcessMode::Fsk: {
            const dsp::FskGeometry g = dsp::MakeFskGeometry(t, n, s, radar.carrierHz);
            fskSettings_ = dsp::MakeFskSettings(radar, choices);
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
                         r.map.data(), r.power.data(), dsp::kMapRows, dsp::kMapColumns,
                         mapSettings_.samplesPerSweep, mapSettings_.sweepCount, cfarSettings_)) {
                    const double v = axis_[d.column];
                    const double range = rowAxis_[d.row] - dsp::RangeDopplerCoupling(
                                                               v, mapSettings_.centerFrequencyHz,
                                                               mapSettings_.sweepTimeMs * 1e-3,
                                                               mapSettings_.bandwidthHz);
                    detections.push_back({range, v, d.level});
                }
            } else {
                const std::size_t at = dsp::FirstMaximumIndex(r.map, 0, r.map.size());
                detection.range = rowAxis_[at / dsp::kMapColumns];
                detection.velocity = axis_[at % dsp::kMapColumns];
                detection.level = r.map[at];
            }
            // The previous block's map, written out by now, is the next one's storage.
            output_.swap(r.map);
            map_.Recycle(std::move(r));
            break;
        }
        case ProcessMode::Velocity: {
            dsp::RangeVelocityMapResult r = map_.Process(block_, mapSettings_, clutter_);
            output_ = std::move(r.velocityProfile);
            map_.Recycle(std::move(r));
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
