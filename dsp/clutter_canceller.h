#pragma once
// Direct clutter cancellation: subtracts either a captured reference block or the moving
// average of the recent blocks. The stored blocks belong to one set of operating parameters;
// RequestReset() marks them stale and the next Apply() starts afresh.
#include <cstddef>
#include <deque>

#include "dsp/sample_block.h"

namespace vorn::dsp {

enum class ClutterMode { Disabled, Reference, MovingAverage };

class ClutterCanceller {
public:
    void RequestReset() { resetPending_ = true; }
    bool ResetPending() const { return resetPending_; }

    // averageCount is the moving-average depth (the control allows 2 to 64; below 1 counts as 1).
    void Apply(SampleBlock& block, ClutterMode mode, int averageCount);

    const SampleBlock& Reference() const { return reference_; }
    std::size_t HistoryDepth() const { return history_.size(); }

private:
    void SubtractReference(SampleBlock& block);
    void SubtractMovingAverage(SampleBlock& block, int averageCount);

    bool resetPending_ = true;
    SampleBlock reference_;
    std::deque<SampleBlock> history_;  // newest at the front
};

}  // namespace vorn::dsp
