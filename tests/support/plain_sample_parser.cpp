#include "plain_sample_parser.h"

#include <algorithm>

namespace vorn::record {

ReadResult ParseSampleText(std::string_view text) {
    ReadResult result;
    HeaderRead head = ReadSampleHeader(text);
    if (!head.message.empty()) {
        result.message = std::move(head.message);
        return result;
    }
    result.header = head.header;
    result.samples.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) +
                           1);
    std::string_view rest = text.substr(head.bodyStart);
    long number = head.lines;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++number;
        SampleEntry entry;
        if (!ParseSampleLine(line, entry)) {
            result.message = SampleLineError(number);
            result.samples.clear();
            return result;
        }
        result.samples.emplace_back(static_cast<double>(entry.re), static_cast<double>(entry.im));
    }
    if (result.samples.size() % 2 != 0) {
        result.message = OddCountError(result.samples.size());
        return result;
    }
    result.ok = true;
    return result;
}

ChannelPair SplitChannels(const std::vector<std::complex<double>>& interleaved) {
    ChannelPair pair;
    const std::size_t frames = interleaved.size() / 2;
    pair.channel1.reserve(frames);
    pair.channel2.reserve(frames);
    for (std::size_t k = 0; k < frames; ++k) {
        pair.channel1.push_back(interleaved[2 * k]);
        pair.channel2.push_back(interleaved[2 * k + 1]);
    }
    return pair;
}

}  // namespace vorn::record
