#include <gtest/gtest.h>

#include <cstring>

#include "core/link/worker.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"

namespace zav {
namespace {

ConfigImage image_with_block(uint8_t byte1, uint8_t byte2, uint8_t major, uint8_t minor) {
    ConfigImage image;
    set_image_start_values(image);
    image.bytes[kSetupByte1] = byte1;
    image.bytes[kSetupByte2] = byte2;
    image.bytes[kSetupCheck] = setup_check_byte(static_cast<uint16_t>(byte1 + 256 * byte2));
    image.bytes[kVersionMajor] = major;
    image.bytes[kVersionMinor] = minor;
    return image;
}

TEST(ConnectOutcome, OnlyAValidBlockOfVersionTwoOrFourIsRecognised) {
    EXPECT_EQ(ConnectOutcome::kRecognised, judge_connect(kResultIdentified, image_with_block(0x25, 0x01, 2, 30)));
    EXPECT_EQ(ConnectOutcome::kRecognised, judge_connect(kResultIdentified, image_with_block(0x7F, 0x07, 4, 0)));
    EXPECT_EQ(ConnectOutcome::kVersionRejected,
              judge_connect(kResultIdentified, image_with_block(0x25, 0x01, 3, 1)));
    EXPECT_EQ(ConnectOutcome::kVersionRejected,
              judge_connect(kResultIdentified, image_with_block(0x25, 0x01, 255, 255)));
    EXPECT_EQ(ConnectOutcome::kVersionRejected,
              judge_connect(kResultIdentified, image_with_block(0x25, 0x01, 0, 0)));
}

TEST(ConnectOutcome, AWrongCheckByteIsReportedBeforeTheVersion) {
    ConfigImage image = image_with_block(0x25, 0x01, 3, 1);
    image.bytes[kSetupCheck] ^= 0x01;
    EXPECT_EQ(ConnectOutcome::kSetupInvalid, judge_connect(kResultIdentified, image));
    image = image_with_block(0x25, 0x01, 2, 30);
    image.bytes[kSetupCheck] |= 0x80;
    EXPECT_EQ(ConnectOutcome::kSetupInvalid, judge_connect(kResultIdentified, image));
}

TEST(ConnectOutcome, FailureIsNotFoundAndOtherCodesSayNothing) {
    const ConfigImage image = image_with_block(0x25, 0x01, 2, 30);
    EXPECT_EQ(ConnectOutcome::kNotFound, judge_connect(kResultFailed, image));
    EXPECT_EQ(ConnectOutcome::kNothing, judge_connect(kResultRefused, image));
    EXPECT_EQ(ConnectOutcome::kNothing, judge_connect(kResultWritten, image));
    EXPECT_EQ(ConnectOutcome::kNothing, judge_connect(kResultRead, image));
    EXPECT_EQ(ConnectOutcome::kNothing, judge_connect(1, image));
}

TEST(VersionMessage, ShowsBothNumbersUnsignedAndWhole) {
    char text[kVersionMessageBytes];
    ASSERT_TRUE(format_version_rejected(image_with_block(0x25, 0x01, 3, 1), text, sizeof text));
    EXPECT_STREQ("Ung\xFCltige ZAV160-Version (V3.1)->V2.x bzw. V4.x erforderlich !", text);

    ASSERT_TRUE(format_version_rejected(image_with_block(0x25, 0x01, 255, 255), text, sizeof text));
    EXPECT_STREQ("Ung\xFCltige ZAV160-Version (V255.255)->V2.x bzw. V4.x erforderlich !", text);
    EXPECT_EQ(66u, std::strlen(text));
}

TEST(VersionMessage, ABufferTooSmallGivesAnEmptyText) {
    char text[20];
    std::memset(text, 'x', sizeof text);
    EXPECT_FALSE(format_version_rejected(image_with_block(0x25, 0x01, 3, 1), text, sizeof text));
    EXPECT_EQ('\0', text[0]);
}

}  // namespace
}  // namespace zav
