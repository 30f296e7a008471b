#include <gtest/gtest.h>

#include <cstring>

#include "core/config/config_image.h"

namespace zav {
namespace {

TEST(ConfigImage, StartValuesMarkAnUnreadRecordAndAZeroSetupBlock) {
    ConfigImage image;
    std::memset(image.bytes, 0x5A, sizeof image.bytes);
    set_image_start_values(image);
    for (size_t i = 0; i < kRecordBytes; ++i) ASSERT_EQ(0xFF, image.bytes[i]) << i;
    for (size_t i = kRecordBytes; i < kImageBytes; ++i) ASSERT_EQ(0, image.bytes[i]) << i;
    EXPECT_EQ(255, image.bytes[kFiveToneCount]);
    for (size_t a = 0; a < kAlarmCount; ++a) EXPECT_EQ(kListEnd, image.bytes[alarm_list(a)]);
}

void make_device_copy(uint8_t* copy, uint8_t fill) {
    std::memset(copy, fill, kRecordBytes);
    copy[3] = 0x12;
    copy[77] = 0xA0;
    unsigned sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum += copy[i];
    copy[kDeviceSum] = static_cast<uint8_t>(sum);
    copy[kDeviceComplement] = static_cast<uint8_t>(255 - (sum & 0xFF));
}

TEST(ConfigImage, DeviceCopyNeedsItsSumAndAComplementMakingExactly255) {
    uint8_t copy[kDeviceCopyBytes];
    make_device_copy(copy, 0x07);
    EXPECT_TRUE(device_copy_valid(copy));

    uint8_t wrong_complement[kDeviceCopyBytes];
    std::memcpy(wrong_complement, copy, sizeof copy);
    wrong_complement[kDeviceComplement] ^= 0x01;
    EXPECT_FALSE(device_copy_valid(wrong_complement));

    uint8_t wrong_sum[kDeviceCopyBytes];
    std::memcpy(wrong_sum, copy, sizeof copy);
    wrong_sum[10] ^= 0x40;
    EXPECT_FALSE(device_copy_valid(wrong_sum));

    uint8_t erased[kDeviceCopyBytes];
    std::memset(erased, 0xFF, sizeof erased);
    EXPECT_FALSE(device_copy_valid(erased));
}

}  // namespace
}  // namespace zav
