// How a finished transaction is judged, once for both front ends: each
// result code and read-back leads to one verdict and one text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/config/config_commands.h"
#include "core/link/worker.h"
#include "core/setup/setup_block.h"
#include "core/setup/setup_commands.h"

namespace zav {
namespace {

struct Case {
    uint32_t result;
    bool verify;
    int changed_byte;  // -1: the copy equals the image's record; -2: the copy's sum is wrong
    ConfigEnd end;
    const char* text;
};

TEST(TransactionEnd, EachConfigurationResultHasItsVerdictAndText) {
    const Case cases[] = {
        {kResultFailed, false, -1, ConfigEnd::kConnectionLost, "Verbindung unterbrochen !"},
        {kResultRefused, false, -1, ConfigEnd::kUpdateRefused, "Fehler beim Konfig-Update !"},
        {kResultWritten, false, -1, ConfigEnd::kProgrammed, "Programmierung erfolgreich !"},
        {kResultIdentified, false, -1, ConfigEnd::kIdentified, ""},
        {kResultRead, false, 7, ConfigEnd::kRead, "Konfiguration gelesen !"},
        {kResultRead, false, -2, ConfigEnd::kNoConfiguration, "ZAV enth\xE4lt keine Konfigurationsdaten !"},
        {kResultRead, true, -2, ConfigEnd::kNoConfiguration, "ZAV enth\xE4lt keine Konfigurationsdaten !"},
        {kResultRead, true, -1, ConfigEnd::kVerifyOk, "Verifikation OK !"},
        // Address 0 and the last byte count like every other.
        {kResultRead, true, 0, ConfigEnd::kVerifyDiffers, "Fehler ab Adresse: 0"},
        {kResultRead, true, 107, ConfigEnd::kVerifyDiffers, "Fehler ab Adresse: 107"},
        {1, false, -1, ConfigEnd::kNothing, ""},
    };
    for (const Case& c : cases) {
        ConfigImage image;
        set_image_start_values(image);
        for (size_t i = 0; i < kRecordBytes; ++i) image.bytes[i] = static_cast<uint8_t>(i * 7);
        uint8_t copy[kReadBackBytes] = {};
        std::memcpy(copy, image.bytes, kRecordBytes);
        if (c.changed_byte >= 0) copy[c.changed_byte] ^= 0x01;
        uint8_t sum = 0;
        for (size_t i = 0; i < kRecordBytes; ++i) sum = static_cast<uint8_t>(sum + copy[i]);
        copy[kDeviceSum] = sum;
        copy[kDeviceComplement] = static_cast<uint8_t>(255 - sum + (c.changed_byte == -2 ? 1 : 0));

        const ConfigVerdict verdict = judge_config_end(c.result, c.verify, image, copy);
        char text[kConfigEndTextBytes];
        format_config_end(verdict, text, sizeof text);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.end, verdict.end);
        EXPECT_EQ(std::string(c.text), text);
        EXPECT_EQ(c.end == ConfigEnd::kVerifyDiffers ? c.changed_byte : -1, verdict.first_difference);
    }
}

TEST(TransactionEnd, ASetupBlockReadCountsOnlyWithItsCheckByte) {
    ConfigImage image;
    set_image_start_values(image);
    const uint8_t block[kSetupBlockBytes] = {0xBF, 0x07, setup_check_byte(0x07BF), 2, 30};
    std::memcpy(&image.bytes[kSetupBlock], block, sizeof block);
    EXPECT_EQ(SetupEnd::kBlockRead, judge_setup_end(kResultIdentified, image));
    image.bytes[kSetupCheck] ^= 0x01;
    EXPECT_EQ(SetupEnd::kBlockInvalid, judge_setup_end(kResultIdentified, image));
    EXPECT_EQ(SetupEnd::kConnectionLost, judge_setup_end(kResultFailed, image));
    EXPECT_EQ(SetupEnd::kRefused, judge_setup_end(kResultRefused, image));
    EXPECT_EQ(SetupEnd::kWritten, judge_setup_end(kResultWritten, image));
    EXPECT_EQ(SetupEnd::kNothing, judge_setup_end(kResultRead, image));
}

}  // namespace
}  // namespace zav
