#pragma once
// NumPy .npy files (format version 1.0) of little-endian float64 in C order, written as a
// stream so that arrays larger than memory can be produced row by row.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace vorn::tools {

// Magic, version, header length and the header dictionary, padded with spaces and ended by
// '\n' so that the data starts on a 64-byte boundary, as NumPy writes it.
std::string NpyHeader(const std::vector<std::size_t>& shape);

// A file written through a buffer; every write and the close are checked.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path);
    void Write(const void* data, std::size_t bytes);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    // False when any write or the close failed; `error` then tells why.
    bool Close();
    const std::string& error() const { return error_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string error_;
    std::vector<char> buffer_;
    bool failed_ = false;
};

// Writes doubles as little-endian float64, whatever the host's byte order.
void WriteFloat64(OutputFile& out, const double* values, std::size_t count);

// Appends doubles to `out` as little-endian float64.
void AppendFloat64(std::string& out, const double* values, std::size_t count);

// A whole array in one go: the header for `shape`, then the values.
bool WriteNpy(const std::string& path, const std::vector<std::size_t>& shape,
              const std::vector<double>& values, std::string& error);

}  // namespace vorn::tools
