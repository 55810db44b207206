#pragma once
// One recording's processing, block by block, through the processors the window uses with
// the settings the window would give them. State (clutter reference and history, windows,
// plans) carries from block to block in file order, starting reset.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "dsp/chain_settings.h"
#include "record/sample_body_parser.h"
#include "record/sample_file_format.h"
#include "tools/process_options.h"

namespace vorn::tools {

// The mode a header was recorded in decides the modes its recording can be processed in.
ProcessMode DefaultMode(const record::FileHeader& header);
// Empty when the header can be processed in the mode; otherwise why not, prefixed by the
// header line at fault ("line 4: ...").
std::string CheckHeaderForMode(const record::FileHeader& header, ProcessMode mode);

struct Detection {
    std::optional<double> range;
    std::optional<double> velocity;
    double level = 0.0;
};

class OfflineChain {
public:
    // The header must have passed CheckHeaderForMode for the mode.
    OfflineChain(const record::FileHeader& header, ProcessMode mode, const ProcessOptions& options);

    ProcessMode mode() const { return mode_; }
    // Frames one block takes.
    std::size_t BlockFrames() const { return blockFrames_; }
    // Shape of one block's output: {513}, {1024} or {513, 1024}.
    std::vector<std::size_t> BlockShape() const;
    // Axis of the last dimension, and for rvmap that of the rows.
    const std::vector<double>& Axis() const { return axis_; }
    const std::vector<double>& RowAxis() const { return rowAxis_; }

    // Processes one block: BlockFrames() samples of one channel, `stride` entries apart (2 for
    // a channel of an interleaved recording). The returned values live until the next call.
    // `detections` gets the block's one detection, or with CFAR each one found, strongest first.
    const std::vector<double>& Process(const dsp::Complex* samples, std::size_t stride,
                                       std::vector<Detection>& detections);
    // The same for entries as the file holds them.
    const std::vector<double>& Process(const record::SampleEntry* entries, std::size_t stride,
                                       std::vector<Detection>& detections);
    // True when a block's result does not depend on the blocks before it (no clutter
    // cancellation), so blocks may be processed out of order by separate chains.
    bool Stateless() const { return stateless_; }

private:
    const std::vector<double>& ProcessBlock(std::vector<Detection>& detections);

    bool stateless_ = true;
    ProcessMode mode_;
    std::size_t blockFrames_ = 0;
    std::vector<double> axis_;
    std::vector<double> rowAxis_;
    dsp::SampleBlock block_;
    std::vector<double> output_;
    bool cfar_ = false;
    dsp::CfarSettings cfarSettings_;

    dsp::FmcwRangeSettings rangeSettings_;
    dsp::RangeVelocityMapSettings mapSettings_;
    dsp::CwVelocitySettings cwSettings_;
    dsp::FskSettings fskSettings_;
    dsp::FmcwRangeProcessor range_;
    dsp::RangeVelocityMapProcessor map_;
    dsp::CwVelocityProcessor cw_;
    dsp::FskProcessor fsk_;
    dsp::ClutterCanceller clutter_;
};

}  // namespace vorn::tools
