#include "record/sample_file_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "record/sigmf.h"

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

std::string LineError(long number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

// What a header line held, quoted and cut short, for the message that refuses it.
std::string Got(bool present, std::string_view line) {
    if (!present) return ", got the end of the file";
    constexpr std::size_t kShown = 40;
    std::string shown;
    for (const char c : line.substr(0, kShown)) {
        shown.push_back(c >= ' ' && c <= '~' ? c : '?');
    }
    return ", got \"" + shown + (line.size() > kShown ? "\"..." : "\"");
}

// Line 1 is either the header's first field or, in a file without a header, a sample.
std::string FirstLineError(std::string_view line) {
    return LineError(1,
                     "expected the frequency in Hz (a decimal number) or a sample "
                     "(<int>+<int>i)" +
                         Got(true, line));
}

// Reads the header lines after the first one, which the caller has already parsed.
bool ParseHeaderRest(LineCursor& lines, FileHeader& header, std::string& error) {
    std::string_view line;
    bool present = lines.Next(line);
    if (!present || !ParseWhole(line, header.sweepTimeMs)) {
        error =
            LineError(2, "expected the sweep time in ms (a decimal number)" + Got(present, line));
        return false;
    }
    present = lines.Next(line);
    if (!present || !ParseWhole(line, header.samplesPerSweep)) {
        error = LineError(3, "expected the samples per sweep (an integer)" + Got(present, line));
        return false;
    }
    present = lines.Next(line);
    if (!present || !ParseWhole(line, header.bandwidthHz)) {
        error =
            LineError(4, "expected the bandwidth in Hz (a decimal number)" + Got(present, line));
        return false;
    }
    return true;
}

}  // namespace

HeaderRead ReadSampleHeader(std::string_view text) {
    HeaderRead read;
    LineCursor lines(text);
    std::string_view line;
    SampleEntry entry;
    // Sample lines are never plain decimals, so a decimal first line starts a header.
    if (!lines.Next(line) || ParseSampleLine(line, entry)) return read;
    FileHeader header;
    if (!ParseWhole(line, header.frequencyHz)) {
        read.message = FirstLineError(line);
        return read;
    }
    if (!ParseHeaderRest(lines, header, read.message)) return read;
    read.header = header;
    read.lines = 4;
    read.bodyStart = lines.Position();
    return read;
}

std::string SampleLineError(long line) {
    return LineError(line, kExpectedSample);
}

std::string OddCountError(std::size_t entries) {
    return "odd number of samples (" + std::to_string(entries) +
           "): channel 2 of the last frame is missing";
}

EntryReadResult ParseSampleEntries(std::string_view text, unsigned threads) {
    EntryReadResult result;
    HeaderRead head = ReadSampleHeader(text);
    if (!head.message.empty()) {
        result.message = std::move(head.message);
        return result;
    }
    result.header = head.header;
    BodyParse body = ParseSampleBody(text.substr(head.bodyStart), threads);
    if (body.badLine != 0) {
        result.message = SampleLineError(head.lines + body.badLine);
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

// A file's whole text, read rather than mapped: a mapping of the file faults with SIGBUS when
// another program truncates it while it is parsed, a read just comes up short.
class FileText {
public:
    FileText() = default;
    ~FileText() {
        if (buffer_ != nullptr) ::munmap(buffer_, size_);
    }
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;

    // Returns an empty string, or why the file could not be read.
    std::string Load(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::strerror(errno);
        std::string error;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            // Anonymous memory faulted in at once: cheaper than page by page during the read,
            // and unlike the file's pages it cannot vanish.
            const std::size_t size = static_cast<std::size_t>(info.st_size);
            void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
            if (memory == MAP_FAILED) {
                error = std::strerror(errno);
            } else {
                buffer_ = static_cast<char*>(memory);
                size_ = size;
                error = ReadRegularFile(fd, size_, buffer_);
            }
        } else {
            error = ReadToEnd(fd);
        }
        ::close(fd);
        return error;
    }

    std::string_view text() const {
        if (buffer_ != nullptr) return {buffer_, size_};
        return copy_;
    }

private:
    // Pipes, devices and the like, whose size is not known beforehand.
    std::string ReadToEnd(int fd) {
        char chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0) {
                if (errno == EINTR) continue;
                return std::strerror(errno);
            }
            if (got == 0) return {};
            copy_.append(chunk, static_cast<std::size_t>(got));
        }
    }

    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::string copy_;
};

}  // namespace

std::string ReadRegularFile(int fd, std::size_t size, char* out) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, out + done, size - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::strerror(errno);
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    // A file that shrank or grew meanwhile would be parsed cut off somewhere in a line.
    char extra = 0;
    ssize_t more = 0;
    if (done == size) {
        do {
            more = ::read(fd, &extra, 1);
        } while (more < 0 && errno == EINTR);
    }
    const std::string opened = std::to_string(size) + " bytes when opened";
    if (done != size) {
        return "the file changed size while being read (" + opened + ", " + std::to_string(done) +
               " left)";
    }
    if (more > 0) return "the file changed size while being read (" + opened + ", then more)";
    return {};
}

EntryReadResult ReadSampleEntries(const std::string& path, unsigned threads) {
    if (IsSigmfMetaPath(path)) {
        SigmfRead sigmf = ReadSigmf(path);
        EntryReadResult result;
        result.ok = sigmf.ok;
        result.message = std::move(sigmf.message);
        result.header = sigmf.header;
        result.entries = std::move(sigmf.entries);
        return result;
    }
    FileText file;
    if (const std::string error = file.Load(path); !error.empty()) {
        EntryReadResult result;
        result.message = "Cannot read \"" + path + "\": " + error;
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

}  // namespace vorn::record
