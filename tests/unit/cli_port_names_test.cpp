#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/platform/com_port_name.h"
#include "fleet/base/natural_order.h"

namespace zav::cli {
namespace {

TEST(ComPortName, TakesComOneToTwoHundredFiftySixInAnyCase) {
    EXPECT_EQ("COM1", canonical_com_port_name("COM1"));
    EXPECT_EQ("COM7", canonical_com_port_name("com7"));
    EXPECT_EQ("COM256", canonical_com_port_name("Com256"));
    for (const char* wrong : {"COM0", "COM07", "COM257", "COM1000", "COM", "COM3:", "COM 3", "LPT1", "",
                              "\\\\.\\COM3", "COMx"}) {
        EXPECT_EQ("", canonical_com_port_name(wrong)) << wrong;
    }
}

TEST(NaturalOrder, CountsNumbersAsNumbers) {
    std::vector<std::string> names = {"/dev/ttyUSB10", "COM10", "/dev/ttyUSB2", "COM2",
                                      "/dev/ttyACM0",  "COM1",  "/dev/ttyS1"};
    std::sort(names.begin(), names.end(), natural_less);
    const std::vector<std::string> expected = {"/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyUSB2", "/dev/ttyUSB10",
                                               "COM1",         "COM2",       "COM10"};
    EXPECT_EQ(expected, names);
    // Equal numbers written differently stay apart, so the order is strict.
    EXPECT_TRUE(natural_less("COM01", "COM1") != natural_less("COM1", "COM01"));
}

}  // namespace
}  // namespace zav::cli
