#include "record/sample_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace vorn::record {

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

std::string Failure(const char* what, const std::string& path, int error) {
    return std::string(what) + " \"" + path + "\": " + std::strerror(error);
}

// Returns 0 or the errno of the failed write.
int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

class OutputFile {
public:
    explicit OutputFile(const std::string& path) : path_(path) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() {
        if (fd_ >= 0) ::close(fd_);
    }

    // Returns 0 or the errno of the failure.
    int Open() {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) return errno;
        struct stat info {};
        if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
            regular_ = true;
            device_ = info.st_dev;
            inode_ = info.st_ino;
        }
        return 0;
    }

    int Write(const char* data, std::size_t size) { return WriteAll(fd_, data, size); }

    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        // Even when close reports EINTR the descriptor is gone on Linux; the data may not be.
        return result == 0 ? 0 : errno;
    }

    // Only the regular file we wrote goes: never a device, and never whatever another process
    // may have put under the name meanwhile.
    void RemoveIfOurs() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (!regular_) return;
        struct stat info {};
        if (::lstat(path_.c_str(), &info) != 0) return;
        if (S_ISREG(info.st_mode) && info.st_dev == device_ && info.st_ino == inode_) {
            ::unlink(path_.c_str());
        }
    }

private:
    std::string path_;
    int fd_ = -1;
    bool regular_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace

WriteResult WriteSampleFile(const std::string& path, const RecordHeader& header,
                            const std::vector<std::complex<double>>& interleaved) {
    WriteResult result;
    OutputFile file(path);
    if (const int error = file.Open()) {
        result.message = Failure("Cannot create", path, error);
        return result;
    }

    auto fail = [&](int error) {
        file.RemoveIfOurs();
        result.message = Failure("Cannot write", path, error);
        result.linesWritten = 0;
        return result;
    };

    if (const auto lines = HeaderLinesFor(header)) {
        const std::string text = FormatHeaderLines(*lines);
        if (const int error = file.Write(text.data(), text.size())) return fail(error);
    }

    const auto buffer = std::make_unique<char[]>(kBufferBytes);
    char* const begin = buffer.get();
    char* const flushAt = begin + kBufferBytes - kMaxSampleLineLength;
    char* out = begin;
    for (const auto& sample : interleaved) {
        out = FormatSampleLine(out, sample);
        if (out >= flushAt) {
            if (const int error = file.Write(begin, static_cast<std::size_t>(out - begin))) {
                return fail(error);
            }
            out = begin;
        }
    }
    if (out != begin) {
        if (const int error = file.Write(begin, static_cast<std::size_t>(out - begin))) {
            return fail(error);
        }
    }
    // Delayed write errors (NFS, full quota) may only show up here.
    if (const int error = file.Close()) return fail(error);

    result.ok = true;
    result.linesWritten = interleaved.size();
    return result;
}

}  // namespace vorn::record
