#include "record/sample_file_format.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace vorn::record {

std::optional<FileHeader> HeaderLinesFor(const RecordHeader& header) {
    FileHeader lines;
    lines.sweepTimeMs = header.sweepTimeMs;
    lines.samplesPerSweep = header.samplesPerSweep;
    switch (header.operatingMode) {
        case kModeFmcwSawtooth:
            lines.frequencyHz = header.centerFrequencyHz;
            lines.bandwidthHz = header.bandwidthHz;
            return lines;
        case kModeFsk:
            lines.frequencyHz = kFixedCarrierHz;
            lines.bandwidthHz = kFskToneSpacingHz;
            return lines;
        case kModeCw:
            lines.frequencyHz = kFixedCarrierHz;
            lines.bandwidthHz = 0.0;
            return lines;
        default:
            return std::nullopt;
    }
}

double CarrierHz(int operatingMode, double sweepCentreHz) {
    return operatingMode == kModeCw || operatingMode == kModeFsk ? kBaseCarrierHz : sweepCentreHz;
}

int InferOperatingMode(const FileHeader& header) {
    if (header.bandwidthHz == 0.0) return kModeCw;
    if (header.bandwidthHz == kFskToneSpacingHz && header.frequencyHz == kFixedCarrierHz) {
        return kModeFsk;
    }
    return kModeFmcwSawtooth;
}

namespace {

void AppendFixed(std::string& out, double value) {
    // Enough for the widest finite double with six decimals.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out.append(buffer, result.ptr);
    out.push_back('\n');
}

char* AppendInt(char* out, int value) {
    // Work on the magnitude as unsigned so INT_MIN does not overflow.
    unsigned magnitude = static_cast<unsigned>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0u);
    while (count > 0) *out++ = digits[--count];
    return out;
}

}  // namespace

std::string FormatHeaderLines(const FileHeader& header) {
    std::string out;
    AppendFixed(out, header.frequencyHz);
    AppendFixed(out, header.sweepTimeMs);
    char buffer[16];
    char* end = AppendInt(buffer, header.samplesPerSweep);
    out.append(buffer, end);
    out.push_back('\n');
    AppendFixed(out, header.bandwidthHz);
    return out;
}

int SampleToInt(double value) {
    if (std::isnan(value)) return 0;
    // Both bounds are exact doubles; anything strictly between truncates into int range.
    if (value >= 2147483648.0) return INT_MAX;
    if (value <= -2147483649.0) return INT_MIN;
    return static_cast<int>(value);
}

char* FormatSampleLine(char* out, std::complex<double> sample) {
    out = AppendInt(out, SampleToInt(sample.real()));
    *out++ = '+';
    out = AppendInt(out, SampleToInt(sample.imag()));
    *out++ = 'i';
    *out++ = '\n';
    return out;
}

}  // namespace vorn::record
