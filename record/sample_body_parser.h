#pragma once
// The sample lines of a ".dat" file, parsed fast: a tight loop for the well-formed lines the
// window writes, the careful parse for everything else, so that both accept the same lines with
// the same values.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vorn::record {

// An entry as the file holds it: the converter's whole numbers.
struct SampleEntry {
    // Left unset on purpose: the parser sizes its result first and fills it from several
    // threads, and zeroing millions of entries beforehand would cost as much as the filling.
    SampleEntry() noexcept {}  // NOLINT
    SampleEntry(std::int32_t real, std::int32_t imag) noexcept : re(real), im(imag) {}

    std::int32_t re;
    std::int32_t im;

    bool operator==(const SampleEntry& other) const { return re == other.re && im == other.im; }
};

// One line without its line end: "<int>+<int>i", each int as std::from_chars reads an int.
bool ParseSampleLine(std::string_view line, SampleEntry& entry);

struct BodyParse {
    std::vector<SampleEntry> entries;  // one per line; empty when a line is malformed
    long badLine = 0;                  // 1-based line of the body that failed, 0 when none did
};

// Every line of `body` must be a sample line; LF or CR LF line ends, the last one optional.
// With more than one thread the body is cut at line ends into parts parsed side by side.
BodyParse ParseSampleBody(std::string_view body, unsigned threads);

namespace detail {
// ParseSampleBody cut into exactly `parts` parts whatever the body's size, one thread each, so
// that small bodies can put the cuts anywhere.
BodyParse ParseSampleBodyInParts(std::string_view body, std::size_t parts);
}  // namespace detail

}  // namespace vorn::record
