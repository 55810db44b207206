#include "tools/block_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vorn::tools {

void RunBlocks(std::vector<std::unique_ptr<OfflineChain>>& chains, const BlockJob& job,
               const BlockEncoder& encode, const ChunkWriter& write) {
    const std::size_t perChunk = std::max<std::size_t>(1, job.blocksPerChunk);
    const std::size_t chunks = (job.blocks + perChunk - 1) / perChunk;
    const std::size_t workers = std::min(chains.size(), chunks);
    if (workers == 0) return;

    std::atomic<std::size_t> nextChunk{0};
    std::mutex mutex;
    std::condition_variable turn;
    std::size_t written = 0;
    const auto work = [&](std::size_t w) {
        OfflineChain& chain = *chains[w];
        const std::size_t stride = 2 * chain.BlockFrames();
        std::string spectra;
        std::string detections;
        std::vector<Detection> found;
        for (;;) {
            const std::size_t chunk = nextChunk.fetch_add(1);
            if (chunk >= chunks) return;
            spectra.clear();
            detections.clear();
            const std::size_t last = std::min(job.blocks, (chunk + 1) * perChunk);
            for (std::size_t b = chunk * perChunk; b < last; ++b) {
                const auto start = std::chrono::steady_clock::now();
                const std::vector<double>& values =
                    chain.Process(job.channel + b * stride, 2, found);
                if (job.micros != nullptr)
                    (*job.micros)[b] = std::chrono::duration<double, std::micro>(
                                           std::chrono::steady_clock::now() - start)
                                           .count();
                encode(b, values, found, spectra, detections);
            }
            std::unique_lock<std::mutex> lock(mutex);
            turn.wait(lock, [&] { return written == chunk; });
            write(spectra, detections);
            ++written;
            turn.notify_all();
        }
    };

    std::vector<std::thread> helpers;
    for (std::size_t w = 1; w < workers; ++w) helpers.emplace_back(work, w);
    work(0);
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace vorn::tools
