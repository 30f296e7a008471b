#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/config/config_file.h"

namespace zav {
namespace {

ConfigImage sample_image() {
    ConfigImage image;
    set_image_start_values(image);
    for (size_t i = 0; i < kRecordBytes; ++i) image.bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    image.bytes[kSetupByte1] = 0x25;
    image.bytes[kVersionMajor] = 4;
    return image;
}

std::vector<uint8_t> file_of(const ConfigImage& image) {
    std::vector<uint8_t> bytes(kConfigFileBytes);
    build_config_file(image, bytes.data());
    return bytes;
}

// Loads into an image that differs from the file everywhere, and reports
// whether the image changed.
struct LoadResult {
    ConfigFileOutcome outcome;
    bool image_changed;
    ConfigImage image;
};

LoadResult load(const std::vector<uint8_t>& bytes) {
    LoadResult result;
    std::memset(result.image.bytes, 0x3C, sizeof result.image.bytes);
    ConfigImage before = result.image;
    result.outcome = load_config_file(bytes.data(), bytes.size(), result.image);
    result.image_changed = std::memcmp(before.bytes, result.image.bytes, kImageBytes) != 0;
    return result;
}

TEST(ConfigFile, HoldsHeaderRecordAndSumLowByteFirst) {
    const ConfigImage image = sample_image();
    const std::vector<uint8_t> bytes = file_of(image);
    EXPECT_EQ(0, std::memcmp(bytes.data(), "ZAV-Konfigurationsdatei", 23));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 23, image.bytes, kRecordBytes));
    unsigned sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum += image.bytes[i];
    EXPECT_EQ(sum & 0xFF, bytes[131]);
    EXPECT_EQ((sum >> 8) & 0xFF, bytes[132]);
}

TEST(ConfigFile, AllFFRecordSumsTo0x6B94) {
    ConfigImage image;
    set_image_start_values(image);
    const std::vector<uint8_t> bytes = file_of(image);
    EXPECT_EQ(0x94, bytes[131]);
    EXPECT_EQ(0x6B, bytes[132]);
    EXPECT_EQ(ConfigFileOutcome::kOk, load(bytes).outcome);
}

TEST(ConfigFile, LoadTakesTheRecordAndLeavesTheSetupBlock) {
    const ConfigImage image = sample_image();
    std::vector<uint8_t> bytes = file_of(image);
    const LoadResult result = load(bytes);
    ASSERT_EQ(ConfigFileOutcome::kOk, result.outcome);
    EXPECT_EQ(0, std::memcmp(image.bytes, result.image.bytes, kRecordBytes));
    for (size_t i = kRecordBytes; i < kImageBytes; ++i) EXPECT_EQ(0x3C, result.image.bytes[i]);

    bytes.resize(200, 0xEE);  // trailing bytes are ignored
    EXPECT_EQ(ConfigFileOutcome::kOk, load(bytes).outcome);
}

TEST(ConfigFile, EveryFailureLeavesTheImageUnchanged) {
    const std::vector<uint8_t> good = file_of(sample_image());

    std::vector<uint8_t> wrong_case = good;
    wrong_case[4] = 'k';
    std::vector<uint8_t> header_only_part(good.begin(), good.begin() + 20);
    std::vector<uint8_t> short_record(good.begin(), good.begin() + 100);
    std::vector<uint8_t> no_sum(good.begin(), good.begin() + 131);
    std::vector<uint8_t> half_sum(good.begin(), good.begin() + 132);
    std::vector<uint8_t> wrong_sum = good;
    wrong_sum[132] ^= 0x01;
    std::vector<uint8_t> changed_record = good;
    changed_record[50] ^= 0x10;

    const struct {
        const std::vector<uint8_t>& bytes;
        ConfigFileOutcome outcome;
    } cases[] = {
        {wrong_case, ConfigFileOutcome::kInvalidHeader},
        {header_only_part, ConfigFileOutcome::kInvalidHeader},
        {short_record, ConfigFileOutcome::kShortRecord},
        {no_sum, ConfigFileOutcome::kBadSum},
        {half_sum, ConfigFileOutcome::kBadSum},
        {wrong_sum, ConfigFileOutcome::kBadSum},
        {changed_record, ConfigFileOutcome::kBadSum},
    };
    for (const auto& c : cases) {
        const LoadResult result = load(c.bytes);
        EXPECT_EQ(c.outcome, result.outcome) << c.bytes.size();
        EXPECT_FALSE(result.image_changed) << c.bytes.size();
    }
}

// A file cut off within its sum is refused by its length, not by what happens
// to follow it in memory: here the whole sum does.
TEST(ConfigFile, ASumCutOffIsMissingEvenWhenTheBytesBeyondTheCountHoldIt) {
    const std::vector<uint8_t> good = file_of(sample_image());
    for (size_t count : {kConfigFileBytes - 2, kConfigFileBytes - 1}) {
        ConfigImage image;
        EXPECT_EQ(ConfigFileOutcome::kBadSum, load_config_file(good.data(), count, image)) << count;
    }
}

TEST(ConfigFile, OutcomeTexts) {
    EXPECT_STREQ("Ung\xFC" "ltige Datei !", config_file_outcome_text(ConfigFileOutcome::kInvalidHeader));
    EXPECT_STREQ("Dateifehler", config_file_outcome_text(ConfigFileOutcome::kShortRecord));
    EXPECT_STREQ("Checksummen Fehler !", config_file_outcome_text(ConfigFileOutcome::kBadSum));
    EXPECT_STREQ("", config_file_outcome_text(ConfigFileOutcome::kOk));
}

}  // namespace
}  // namespace zav
