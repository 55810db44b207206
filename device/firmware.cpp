#include "device/firmware.h"

#include <QFile>

namespace vorn {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint8_t HexByte(char high, char low) {
    const int h = HexDigit(high);
    const int l = HexDigit(low);
    if (h < 0 || l < 0) return 0;
    return static_cast<std::uint8_t>(h * 16 + l);
}

}  // namespace

std::vector<std::vector<std::uint8_t>> ParseFirmwareRecords(std::string_view hexText) {
    std::vector<std::vector<std::uint8_t>> records;
    std::size_t start = 0;
    while (start <= hexText.size()) {
        std::size_t colon = hexText.find(':', start);
        if (colon == std::string_view::npos) colon = hexText.size();
        std::string_view piece = hexText.substr(start, colon - start);
        start = colon + 1;
        // Pieces of three characters or fewer hold no record (the text before the first ':').
        if (piece.size() <= 3) continue;
        // Byte count 0: the end-of-file record, nothing to load.
        if (piece.substr(0, 2) == "00") continue;
        piece.remove_suffix(2);  // the CR LF line end
        std::vector<std::uint8_t> record;
        record.reserve(piece.size() / 2);
        for (std::size_t i = 0; i + 1 < piece.size(); i += 2) {
            record.push_back(HexByte(piece[i], piece[i + 1]));
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::string EmbeddedFirmwareText() {
    QFile file(QString::fromLatin1(kFirmwareResourcePath));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace vorn
