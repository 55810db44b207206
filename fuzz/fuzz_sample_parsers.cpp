// The ".dat" parsers against each other on arbitrary file contents: the plain line by line
// parse, and the fast one that replay and vorn-process run, on one and two threads. Any
// difference in outcome, message, header or entries is a bug in one of them.
#include <complex>
#include <cstdlib>
#include <string_view>

#include "plain_sample_parser.h"
#include "record/sample_body_parser.h"

namespace {

using vorn::record::BodyParse;
using vorn::record::EntryReadResult;
using vorn::record::ReadResult;

void Check(bool holds) {
    if (!holds) std::abort();
}

// A header field may read as NaN ("nan" is a decimal number to from_chars).
bool Same(double a, double b) {
    return a == b || (a != a && b != b);
}

bool SameHeader(const ReadResult& plain, const EntryReadResult& fast) {
    if (plain.header.has_value() != fast.header.has_value()) return false;
    if (!plain.header) return true;
    const auto& a = *plain.header;
    const auto& b = *fast.header;
    return Same(a.frequencyHz, b.frequencyHz) && Same(a.sweepTimeMs, b.sweepTimeMs) &&
           a.samplesPerSweep == b.samplesPerSweep && Same(a.bandwidthHz, b.bandwidthHz);
}

void CheckSame(const ReadResult& plain, const EntryReadResult& fast) {
    Check(plain.ok == fast.ok);
    Check(plain.message == fast.message);
    Check(SameHeader(plain, fast));
    // On failure the plain parse keeps an odd count's entries and drops a bad line's; the fast
    // one is documented to keep them alike.
    Check(plain.samples.size() == fast.entries.size());
    for (std::size_t k = 0; k < fast.entries.size(); ++k) {
        const std::complex<double> entry(fast.entries[k].re, fast.entries[k].im);
        Check(plain.samples[k] == entry);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The views end where the input ends, so the sanitizers catch any read ahead past it.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ReadResult plain = vorn::record::ParseSampleText(text);
    Check(plain.ok == plain.message.empty());
    Check(!plain.ok || plain.samples.size() % 2 == 0);
    CheckSame(plain, vorn::record::ParseSampleEntries(text, 1));
    CheckSame(plain, vorn::record::ParseSampleEntries(text, 2));

    // Small bodies stay in one part on any thread count, so cut the input as a body in two.
    const BodyParse whole = vorn::record::ParseSampleBody(text, 1);
    const BodyParse halves = vorn::record::detail::ParseSampleBodyInParts(text, 2);
    Check(whole.badLine == halves.badLine);
    Check(whole.entries == halves.entries);
    return 0;
}
