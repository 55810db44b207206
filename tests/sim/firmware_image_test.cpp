#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

TEST(FirmwareImage, RecordsComeInLoadOrderWithValidChecksumsAndNoGaps) {
    const std::string text = ReadFirmwareText();
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");
    const Records all = FirmwareRecords();
    std::vector<std::uint16_t> expected = {0x0000, 0x00B8};
    for (std::uint16_t a = 0x0003; a < 0x00B8; a += 16) expected.push_back(a);
    ASSERT_EQ(all.size(), expected.size());
    std::vector<bool> covered(0xC4, false);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::size_t address = all[i][1] << 8 | all[i][2];
        EXPECT_EQ(address, expected[i]) << "record " << i;
        EXPECT_EQ(std::accumulate(all[i].begin(), all[i].end(), 0) & 0xFF, 0) << "record " << i;
        for (std::size_t b = 0; b < all[i][0]; ++b) {
            const std::size_t at = address + b;
            ASSERT_LT(at, covered.size());
            EXPECT_FALSE(covered[at]) << "overlap at " << at;
            covered[at] = true;
        }
    }
    for (std::size_t a = 0; a < covered.size(); ++a) EXPECT_TRUE(covered[a]) << "gap at " << a;
    EXPECT_EQ(all[0], (std::vector<std::uint8_t>{3, 0, 0, 0, 0x02, 0x00, 0xB8, 0x43}));
    EXPECT_EQ(all[13][all[13].size() - 2], 0x22) << "main routine ends in RET";
}

TEST(FirmwareImage, AnnotatedSourceListsTheSameBytes) {
    std::map<int, int> image;
    for (const auto& r : FirmwareRecords())
        for (int i = 0; i < r[0]; ++i) image[(r[1] << 8 | r[2]) + i] = r[4 + i];

    std::ifstream source(VORN_FIRMWARE_SOURCE);
    ASSERT_TRUE(source);
    // Listing lines end in "; AAAA  BB BB BB" (address, then the code bytes).
    const std::regex listing(R"(;\s([0-9A-F]{4})  ((?:[0-9A-F]{2} ?)+))");
    std::map<int, int> listed;
    std::string line;
    while (std::getline(source, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, listing)) continue;
        int address = std::stoi(m[1].str(), nullptr, 16);
        std::istringstream bytes(m[2].str());
        std::string byte;
        while (bytes >> byte) listed[address++] = std::stoi(byte, nullptr, 16);
    }
    EXPECT_EQ(listed, image);
}

}  // namespace
}  // namespace vorn::sim::test
