#pragma once
// The blocks of a recording through one chain per worker thread, a chunk of blocks at a time,
// each chunk's output handed on strictly in block order: the files come out byte for byte the
// same whatever the number of threads.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "record/sample_body_parser.h"
#include "tools/offline_chain.h"

namespace vorn::tools {

struct BlockJob {
    const record::SampleEntry* channel = nullptr;  // the channel's first entry, every 2nd after
    std::size_t blocks = 0;
    std::size_t blocksPerChunk = 1;
    std::vector<double>* micros = nullptr;  // when set: per-block processing time, `blocks` long
};

// Appends one block's values and detections to its chunk's texts.
using BlockEncoder = std::function<void(std::size_t block, const std::vector<double>& values,
                                        const std::vector<Detection>& found, std::string& spectra,
                                        std::string& detections)>;
// Takes a chunk's texts; called in block order, one call at a time.
using ChunkWriter = std::function<void(const std::string& spectra, const std::string& detections)>;

// One worker per chain; give several chains only when they are all Stateless(). The chains'
// settings must be the same: each then gives every block the same result.
void RunBlocks(std::vector<std::unique_ptr<OfflineChain>>& chains, const BlockJob& job,
               const BlockEncoder& encode, const ChunkWriter& write);

}  // namespace vorn::tools
