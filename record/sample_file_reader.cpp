#include "record/sample_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace vorn::record {

namespace {

constexpr const char* kExpectedSample = "expected <int>+<int>i";

// Hands out the lines of a text one by one, without their line end.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line) {
        if (position_ >= text_.size()) return false;
        const std::size_t end = text_.find('\n', position_);
        const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
        line = text_.substr(position_, stop - position_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        position_ = end == std::string_view::npos ? text_.size() : end + 1;
        ++number_;
        return true;
    }

    long Number() const { return number_; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    long number_ = 0;
};

template <typename T>
bool ParseWhole(std::string_view text, T& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool ParseSampleLine(std::string_view line, std::complex<double>& sample) {
    const char* p = line.data();
    const char* const end = p + line.size();
    int re = 0;
    int im = 0;
    auto r = std::from_chars(p, end, re);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != '+') return false;
    r = std::from_chars(r.ptr + 1, end, im);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != 'i' || r.ptr + 1 != end) return false;
    sample = {static_cast<double>(re), static_cast<double>(im)};
    return true;
}

std::string LineError(long number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

// Reads the header lines after the first one, which the caller has already parsed.
bool ParseHeaderRest(LineCursor& lines, FileHeader& header, std::string& error) {
    std::string_view line;
    if (!lines.Next(line) || !ParseWhole(line, header.sweepTimeMs)) {
        error = LineError(2, "expected the sweep time in ms (a decimal number)");
        return false;
    }
    if (!lines.Next(line) || !ParseWhole(line, header.samplesPerSweep)) {
        error = LineError(3, "expected the samples per sweep (an integer)");
        return false;
    }
    if (!lines.Next(line) || !ParseWhole(line, header.bandwidthHz)) {
        error = LineError(4, "expected the bandwidth in Hz (a decimal number)");
        return false;
    }
    return true;
}

}  // namespace

ReadResult ParseSampleText(std::string_view text) {
    ReadResult result;
    LineCursor lines(text);
    std::string_view line;
    std::complex<double> sample;

    // Sample lines are never plain decimals, so a decimal first line starts a header.
    result.samples.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) +
                           1);
    if (lines.Next(line)) {
        FileHeader header;
        if (ParseSampleLine(line, sample)) {
            result.samples.push_back(sample);
        } else if (!ParseWhole(line, header.frequencyHz)) {
            result.message = LineError(1, kExpectedSample);
            return result;
        } else if (ParseHeaderRest(lines, header, result.message)) {
            result.header = header;
        } else {
            return result;
        }
    }

    while (lines.Next(line)) {
        if (!ParseSampleLine(line, sample)) {
            result.message = LineError(lines.Number(), kExpectedSample);
            result.samples.clear();
            return result;
        }
        result.samples.push_back(sample);
    }

    if (result.samples.size() % 2 != 0) {
        result.message = "odd number of samples (" + std::to_string(result.samples.size()) +
                         "): channel 2 of the last frame is missing";
        return result;
    }
    result.ok = true;
    return result;
}

namespace {

// Returns 0 or the errno of the failure.
int ReadWholeFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        text.reserve(static_cast<std::size_t>(info.st_size));
    }
    char chunk[1 << 16];
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        if (got == 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return error;
}

}  // namespace

ReadResult ReadSampleFile(const std::string& path) {
    std::string text;
    if (const int error = ReadWholeFile(path, text)) {
        ReadResult result;
        result.message = "Cannot read \"" + path + "\": " + std::strerror(error);
        return result;
    }
    ReadResult result = ParseSampleText(text);
    if (!result.ok) result.message = "\"" + path + "\": " + result.message;
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
