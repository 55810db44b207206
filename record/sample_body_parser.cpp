#include "record/sample_body_parser.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <thread>

namespace vorn::record {

namespace {

// Bodies smaller than this are not worth a thread.
constexpr std::size_t kMinBytesPerThread = 1 << 18;
// The fast path reads at most this far ahead of a line's start, so it runs only where that
// much text is left; the careful path takes the last lines.
constexpr std::ptrdiff_t kLookahead = 32;

// An int as std::from_chars reads it, limited to ten digits; false sends the line to the
// careful path (which also takes leading zeros beyond ten digits).
inline bool ScalarInt(const char*& p, std::int32_t& value) {
    const bool negative = *p == '-';
    const char* q = p + (negative ? 1 : 0);
    const char* const first = q;
    std::uint64_t v = 0;
    unsigned digit = static_cast<unsigned char>(*q) - '0';
    if (digit > 9) return false;
    do {
        v = v * 10 + digit;
        if (++q - first > 10) return false;
        digit = static_cast<unsigned char>(*q) - '0';
    } while (digit <= 9);
    if (v > 2147483647u + (negative ? 1u : 0u)) return false;
    value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(v)
                                               : static_cast<std::int64_t>(v));
    p = q;
    return true;
}

// ScalarInt for up to seven digits, eight characters at a time: the converter's counts have
// four or five, and a loop over them mispredicts its exit on every number.
inline bool FastInt(const char*& p, std::int32_t& value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    const bool negative = *p == '-';
    const char* const q = p + (negative ? 1 : 0);
    std::uint64_t word;
    std::memcpy(&word, q, sizeof word);
    // High bit of each byte that is not an ASCII digit; the lowest one ends the number.
    const std::uint64_t notDigit =
        ((word + 0x4646464646464646u) | (word - 0x3030303030303030u)) & 0x8080808080808080u;
    if (notDigit == 0) return ScalarInt(p, value);
    const int length = __builtin_ctzll(notDigit) / 8;
    if (length == 0) return false;
    // The digits moved to the top bytes, so the bytes below read as leading zeros.
    std::uint64_t v = (word - 0x3030303030303030u) << (8 * (8 - length));
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFu;
    v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFu;
    value = negative ? -static_cast<std::int32_t>(v) : static_cast<std::int32_t>(v);
    p = q + length;
    return true;
#else
    return ScalarInt(p, value);
#endif
}

// A whole line "<int>+<int>i" ended by LF or CR LF; advances p past the line end.
inline bool FastLine(const char*& p, SampleEntry& entry) {
    const char* q = p;
    if (!FastInt(q, entry.re) || *q++ != '+' || !FastInt(q, entry.im) || *q++ != 'i') return false;
    if (*q == '\r') ++q;
    if (*q != '\n') return false;
    p = q + 1;
    return true;
}

std::size_t CountLineEnds(const char* p, const char* end) {
    std::size_t count = 0;
    for (; p < end; ++p) count += *p == '\n';
    return count;
}

// Lines of a part as the reader counts them: a last line without its line end counts.
std::size_t CountLines(std::string_view part) {
    if (part.empty()) return 0;
    return CountLineEnds(part.data(), part.data() + part.size()) + (part.back() != '\n' ? 1 : 0);
}

// Parses the lines of `part` into `out`; returns the 1-based line that failed, or 0. Reads
// ahead up to textEnd, the end of the whole body.
long ParsePart(std::string_view part, const char* textEnd, SampleEntry* out) {
    const char* p = part.data();
    const char* const end = p + part.size();
    long line = 0;
    while (p < end) {
        ++line;
        if (textEnd - p >= kLookahead && FastLine(p, *out)) {
            ++out;
            continue;
        }
        const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        const char* const stop = found ? static_cast<const char*>(found) : end;
        std::string_view text(p, static_cast<std::size_t>(stop - p));
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        if (!ParseSampleLine(text, *out)) return line;
        ++out;
        p = found ? stop + 1 : end;
    }
    return 0;
}

// Runs work(k) for k = 0 ... count - 1, one part per thread, this thread taking part 0.
template <typename Work>
void RunParts(std::size_t count, const Work& work) {
    std::vector<std::thread> helpers;
    helpers.reserve(count > 0 ? count - 1 : 0);
    for (std::size_t k = 1; k < count; ++k) helpers.emplace_back([&work, k] { work(k); });
    if (count > 0) work(0);
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace

bool ParseSampleLine(std::string_view line, SampleEntry& entry) {
    const char* const end = line.data() + line.size();
    std::int32_t re = 0;
    std::int32_t im = 0;
    auto r = std::from_chars(line.data(), end, re);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != '+') return false;
    r = std::from_chars(r.ptr + 1, end, im);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != 'i' || r.ptr + 1 != end) return false;
    entry = SampleEntry(re, im);
    return true;
}

BodyParse ParseSampleBody(std::string_view body, unsigned threads) {
    const std::size_t partCount =
        std::min(std::max<std::size_t>(1, threads),
                 std::max<std::size_t>(1, body.size() / kMinBytesPerThread));
    return detail::ParseSampleBodyInParts(body, partCount);
}

BodyParse detail::ParseSampleBodyInParts(std::string_view body, std::size_t partCount) {
    partCount = std::max<std::size_t>(1, partCount);

    // Parts end just after a line end, so no line is split between two of them.
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    for (std::size_t k = 1; k <= partCount; ++k) {
        std::size_t cut = body.size();
        if (k < partCount) {
            cut = std::max(begin, body.size() / partCount * k);
            const std::size_t lineEnd = body.find('\n', cut);
            cut = lineEnd == std::string_view::npos ? body.size() : lineEnd + 1;
        }
        parts.push_back(body.substr(begin, cut - begin));
        begin = cut;
    }

    std::vector<std::size_t> lines(parts.size());
    RunParts(parts.size(), [&](std::size_t k) { lines[k] = CountLines(parts[k]); });
    std::vector<std::size_t> firstLine(parts.size(), 0);
    for (std::size_t k = 1; k < parts.size(); ++k) firstLine[k] = firstLine[k - 1] + lines[k - 1];

    BodyParse result;
    result.entries.resize(firstLine.back() + lines.back());
    std::vector<long> bad(parts.size(), 0);
    const char* const textEnd = body.data() + body.size();
    RunParts(parts.size(), [&](std::size_t k) {
        bad[k] = ParsePart(parts[k], textEnd, result.entries.data() + firstLine[k]);
    });
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (bad[k] != 0) {
            result.badLine = static_cast<long>(firstLine[k]) + bad[k];
            result.entries.clear();
            break;
        }
    }
    return result;
}

}  // namespace vorn::record
