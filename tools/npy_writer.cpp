#include "tools/npy_writer.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace vorn::tools {

namespace {
constexpr std::size_t kAlignment = 64;
constexpr std::size_t kPreamble = 10;  // magic (6), version (2), header length (2)
constexpr std::size_t kBufferBytes = 1 << 20;
}  // namespace

std::string NpyHeader(const std::vector<std::size_t>& shape) {
    std::string dict = "{'descr': '<f8', 'fortran_order': False, 'shape': (";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (i > 0) dict += ", ";
        dict += std::to_string(shape[i]);
    }
    if (shape.size() == 1) dict += ",";
    dict += "), }";
    const std::size_t unpadded = kPreamble + dict.size() + 1;
    dict.append((kAlignment - unpadded % kAlignment) % kAlignment, ' ');
    dict += '\n';

    std::string out("\x93NUMPY\x01\x00", 8);
    out += static_cast<char>(dict.size() & 0xFF);
    out += static_cast<char>(dict.size() >> 8);
    return out + dict;
}

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
}

bool OutputFile::Open(const std::string& path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error_ = "cannot create \"" + path + "\": " + std::strerror(errno);
        failed_ = true;
        return false;
    }
    buffer_.resize(kBufferBytes);
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    return true;
}

void OutputFile::Write(const void* data, std::size_t bytes) {
    if (failed_ || !file_ || bytes == 0) return;
    if (std::fwrite(data, 1, bytes, file_) != bytes) {
        error_ = "cannot write \"" + path_ + "\": " + std::strerror(errno);
        failed_ = true;
    }
}

bool OutputFile::Close() {
    if (file_) {
        if (std::fclose(file_) != 0 && !failed_) {
            error_ = "cannot write \"" + path_ + "\": " + std::strerror(errno);
            failed_ = true;
        }
        file_ = nullptr;
    }
    return !failed_;
}

void WriteFloat64(OutputFile& out, const double* values, std::size_t count) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    out.Write(values, count * sizeof(double));
#else
    std::vector<unsigned char> bytes(count * 8);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, &values[i], 8);
        for (int b = 0; b < 8; ++b) bytes[8 * i + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
    out.Write(bytes.data(), bytes.size());
#endif
}

void AppendFloat64(std::string& out, const double* values, std::size_t count) {
    const std::size_t at = out.size();
    out.resize(at + 8 * count);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(&out[at], values, 8 * count);
#else
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, &values[i], 8);
        for (int b = 0; b < 8; ++b) out[at + 8 * i + b] = static_cast<char>(bits >> (8 * b));
    }
#endif
}

bool WriteNpy(const std::string& path, const std::vector<std::size_t>& shape,
              const std::vector<double>& values, std::string& error) {
    OutputFile out;
    if (out.Open(path)) {
        out.Write(NpyHeader(shape));
        WriteFloat64(out, values.data(), values.size());
    }
    const bool ok = out.Close();
    if (!ok) error = out.error();
    return ok;
}

}  // namespace vorn::tools
