// The ".dat" reader on arbitrary file contents.
#include <cstdlib>
#include <string_view>

#include "record/sample_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = vorn::record::ParseSampleText(text);
    if (result.ok != result.message.empty()) std::abort();
    if (result.ok && result.samples.size() % 2 != 0) std::abort();
    const auto pair = vorn::record::SplitChannels(result.samples);
    if (pair.channel1.size() != result.samples.size() / 2) std::abort();
    if (pair.channel2.size() != pair.channel1.size()) std::abort();
    return 0;
}
