#include "record/sample_file_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
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
    std::size_t Position() const { return position_; }

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

bool ParseSampleValue(std::string_view line, std::complex<double>& sample) {
    SampleEntry entry;
    if (!ParseSampleLine(line, entry)) return false;
    sample = {static_cast<double>(entry.re), static_cast<double>(entry.im)};
    return true;
}

std::string LineError(long number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

std::string OddCountError(std::size_t entries) {
    return "odd number of samples (" + std::to_string(entries) +
           "): channel 2 of the last frame is missing";
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
        if (ParseSampleValue(line, sample)) {
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
        if (!ParseSampleValue(line, sample)) {
            result.message = LineError(lines.Number(), kExpectedSample);
            result.samples.clear();
            return result;
        }
        result.samples.push_back(sample);
    }

    if (result.samples.size() % 2 != 0) {
        result.message = OddCountError(result.samples.size());
        return result;
    }
    result.ok = true;
    return result;
}

EntryReadResult ParseSampleEntries(std::string_view text, unsigned threads) {
    EntryReadResult result;
    LineCursor lines(text);
    std::string_view line;
    long headerLines = 0;
    std::size_t bodyStart = 0;
    if (lines.Next(line)) {
        FileHeader header;
        SampleEntry entry;
        if (!ParseSampleLine(line, entry)) {
            if (!ParseWhole(line, header.frequencyHz)) {
                result.message = LineError(1, kExpectedSample);
                return result;
            }
            if (!ParseHeaderRest(lines, header, result.message)) return result;
            result.header = header;
            headerLines = 4;
            bodyStart = lines.Position();
        }
    }

    BodyParse body = ParseSampleBody(text.substr(bodyStart), threads);
    if (body.badLine != 0) {
        result.message = LineError(headerLines + body.badLine, kExpectedSample);
        return result;
    }
    result.entries = std::move(body.entries);
    if (result.entries.size() % 2 != 0) {
        result.message = OddCountError(result.entries.size());
        return result;
    }
    result.ok = true;
    return result;
}

namespace {

// A file's text: mapped when it is a regular file, which spares a copy of tens of megabytes,
// read otherwise (pipes, devices, file systems that cannot map).
class FileText {
public:
    FileText() = default;
    ~FileText() {
        if (mapped_ != nullptr) ::munmap(mapped_, size_);
    }
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;

    // Returns 0 or the errno of the failure.
    int Load(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            size_ = static_cast<std::size_t>(info.st_size);
            void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (map != MAP_FAILED) {
                mapped_ = map;
                ::close(fd);
                return 0;
            }
            copy_.reserve(size_);
        }
        const int error = ReadAll(fd);
        ::close(fd);
        return error;
    }

    std::string_view text() const {
        if (mapped_ != nullptr) return {static_cast<const char*>(mapped_), size_};
        return copy_;
    }

private:
    int ReadAll(int fd) {
        char chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (got == 0) return 0;
            copy_.append(chunk, static_cast<std::size_t>(got));
        }
    }

    void* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::string copy_;
};

}  // namespace

EntryReadResult ReadSampleEntries(const std::string& path, unsigned threads) {
    FileText file;
    if (const int error = file.Load(path)) {
        EntryReadResult result;
        result.message = "Cannot read \"" + path + "\": " + std::strerror(error);
        return result;
    }
    EntryReadResult result = ParseSampleEntries(file.text(), threads);
    if (!result.ok) result.message = "\"" + path + "\": " + result.message;
    return result;
}

ReadResult ReadSampleFile(const std::string& path) {
    EntryReadResult read = ReadSampleEntries(path, 1);
    ReadResult result;
    result.ok = read.ok;
    result.message = std::move(read.message);
    result.header = read.header;
    result.samples.reserve(read.entries.size());
    for (const SampleEntry& e : read.entries)
        result.samples.emplace_back(static_cast<double>(e.re), static_cast<double>(e.im));
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
