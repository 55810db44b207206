// The firmware record parser on arbitrary text.
#include <cstdlib>
#include <string_view>

#include "device/firmware.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto records = vorn::ParseFirmwareRecords(text);
    std::size_t bytes = 0;
    for (const auto& record : records) {
        if (record.empty()) std::abort();
        bytes += record.size();
    }
    // Two hex digits per byte: a record can never hold more bytes than the text had characters.
    if (bytes > size / 2) std::abort();
    return 0;
}
