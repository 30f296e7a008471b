#include "fleet/record/device_copy.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/config/config_image.h"

namespace zav {
namespace {

// Taking a copy the line spoiled for the device's own state would write the
// device without its backup; taking an erased device's copy for a spoiled
// one would refuse every erased device.
TEST(UncheckedCopy, OnlyAnErasedCopyOrTheSameBytesTwiceAreTheDevicesOwn) {
    const std::vector<uint8_t> erased(kDeviceCopyBytes, 0xFF);
    std::vector<uint8_t> spoiled(kDeviceCopyBytes, 0x11);
    EXPECT_EQ(UncheckedCopy::kDevicesOwn, judge_unchecked_copy(erased.data(), nullptr));
    EXPECT_EQ(UncheckedCopy::kReadAgain, judge_unchecked_copy(spoiled.data(), nullptr));
    const std::vector<uint8_t> same = spoiled;
    EXPECT_EQ(UncheckedCopy::kDevicesOwn, judge_unchecked_copy(spoiled.data(), same.data()));
    // The last byte, the complement, counts too.
    spoiled.back() = 0x12;
    EXPECT_EQ(UncheckedCopy::kReadAgain, judge_unchecked_copy(spoiled.data(), same.data()));
    std::vector<uint8_t> erased_but_last = erased;
    erased_but_last.back() = 0xFE;
    EXPECT_EQ(UncheckedCopy::kReadAgain, judge_unchecked_copy(erased_but_last.data(), nullptr));
}

}  // namespace
}  // namespace zav
