#include <gtest/gtest.h>

#include <cstring>

#include "core/app/port_buttons.h"
#include "core/link/port_names.h"

namespace zav {
namespace {

TEST(PortNames, TwelvePlainNamesInOrder) {
    const char* expected[kPortCount] = {"COM1", "COM2", "COM3", "COM4",  "COM5",  "COM6",
                                        "COM7", "COM8", "COM9", "COM10", "COM11", "COM12"};
    for (int index = 0; index < kPortCount; ++index) {
        EXPECT_STREQ(expected[index], port_name(index)) << "index " << index;
    }
}

TEST(PortNames, AnIndexOutsideTheTableFallsBackToTheFirstPort) {
    EXPECT_STREQ("COM1", port_name(-1));
    EXPECT_STREQ("COM1", port_name(kPortCount));
    EXPECT_STREQ("COM1", port_name(1000));
}

TEST(PortNames, DialogButtonsMapToPortIndexes) {
    EXPECT_EQ(0, port_index_of_button(103));
    EXPECT_EQ(6, port_index_of_button(109));   // "COM 7"
    EXPECT_EQ(9, port_index_of_button(112));   // "COM 10"
    EXPECT_EQ(11, port_index_of_button(114));  // "COM 12"
    EXPECT_EQ(-1, port_index_of_button(102));
    EXPECT_EQ(-1, port_index_of_button(115));  // OK
    EXPECT_EQ(-1, port_index_of_button(116));  // CANCEL
    EXPECT_EQ(-1, port_index_of_button(1));    // the Enter key's IDOK
    EXPECT_EQ(-1, port_index_of_button(2));    // the Escape key's IDCANCEL
}

TEST(DevicePath, EveryPortOpensThroughTheDeviceNamespace) {
    char path[kDevicePathBytes];
    ASSERT_TRUE(port_device_path(port_name(6), path, sizeof path));
    EXPECT_STREQ("\\\\.\\COM7", path);
    ASSERT_TRUE(port_device_path(port_name(11), path, sizeof path));
    EXPECT_STREQ("\\\\.\\COM12", path);
    EXPECT_EQ(9u, std::strlen(path));
    for (int index = 0; index < kPortCount; ++index) {
        EXPECT_TRUE(port_device_path(port_name(index), path, sizeof path)) << index;
        EXPECT_STREQ(port_name(index), path + 4);
    }
}

TEST(DevicePath, ABufferTooSmallGivesAnEmptyTextNotAnOverrun) {
    char path[10];
    std::memset(path, 'x', sizeof path);
    ASSERT_TRUE(port_device_path("COM12", path, 10));  // exactly fits with its NUL
    EXPECT_STREQ("\\\\.\\COM12", path);

    char small[9];
    std::memset(small, 'x', sizeof small);
    EXPECT_FALSE(port_device_path("COM12", small, sizeof small));
    EXPECT_EQ('\0', small[0]);
    EXPECT_FALSE(port_device_path(nullptr, small, sizeof small));
    EXPECT_EQ('\0', small[0]);
    EXPECT_FALSE(port_device_path("COM1", small, 0));
}

}  // namespace
}  // namespace zav
