#include "dsp/clutter_canceller.h"

#include <algorithm>

namespace vorn::dsp {

void ClutterCanceller::Apply(SampleBlock& block, ClutterMode mode, int averageCount) {
    switch (mode) {
        case ClutterMode::Reference:
            SubtractReference(block);
            break;
        case ClutterMode::MovingAverage:
            SubtractMovingAverage(block, averageCount);
            break;
        case ClutterMode::Disabled:
            break;
    }
}

void ClutterCanceller::SubtractReference(SampleBlock& block) {
    // A reference of another length can only come from a missed reset; capturing again is the
    // one answer that neither reads past a block nor subtracts a stale scene.
    if (resetPending_ || reference_.size() != block.size()) {
        reference_ = block;
        resetPending_ = false;
    }
    for (std::size_t i = 0; i < block.size(); ++i) block[i] -= reference_[i];
}

void ClutterCanceller::SubtractMovingAverage(SampleBlock& block, int averageCount) {
    if (resetPending_) {
        reference_.clear();
        history_.clear();
        resetPending_ = false;
    }
    // Blocks of another length cannot be averaged sample by sample with this one.
    history_.erase(std::remove_if(history_.begin(), history_.end(),
                                  [&](const SampleBlock& b) { return b.size() != block.size(); }),
                   history_.end());
    history_.push_front(block);
    const std::size_t depth = static_cast<std::size_t>(std::max(1, averageCount));
    while (history_.size() > depth) history_.pop_back();

    // Summed block by block, newest first, so the history is read in order.
    SampleBlock sum(block.size());
    for (const SampleBlock& stored : history_) {
        for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += stored[i];
    }
    const double count = static_cast<double>(history_.size());
    for (std::size_t i = 0; i < block.size(); ++i) block[i] -= sum[i] / count;
}

}  // namespace vorn::dsp
