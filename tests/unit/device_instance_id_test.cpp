// What the Windows port list reads from device instance ids: the USB ids,
// the interface that tells a dual adapter's ports apart, a serial number
// only where Windows took it from the device.
#include <gtest/gtest.h>

#include <string>

#include "cli/platform/device_instance_id.h"

namespace zav::cli {
namespace {

std::string shown(const std::string& id) {
    const DeviceIdParts parts = parse_device_instance_id(id);
    return parts.bus + " " + parts.vendor_id + ":" + parts.product_id + " if " +
           std::to_string(parts.interface_number) + " serial " + parts.serial + " kind " +
           port_kind_of_bus(parts.bus, !parts.vendor_id.empty());
}

TEST(DeviceInstanceId, ReadsIdsInterfaceAndSerialNumberAsWindowsWritesThem) {
    EXPECT_EQ("USB 0403:6001 if -1 serial A6008ISP kind usb", shown("USB\\VID_0403&PID_6001\\A6008ISP"));
    // A dual adapter's second port; its instance part is made up.
    EXPECT_EQ("USB 0403:6010 if 1 serial  kind usb", shown("USB\\VID_0403&PID_6010&MI_01\\6&2A3B4C5D&0&0001"));
    // A device without a serial number of its own.
    EXPECT_EQ("USB 067b:2303 if -1 serial  kind usb", shown("USB\\VID_067B&PID_2303\\5&1A2B3C4D&0&2"));
    // FTDI's bus driver writes the ids its own way; the serial number comes
    // from the USB device above it.
    EXPECT_EQ("FTDIBUS 0403:6001 if -1 serial  kind usb", shown("FTDIBUS\\VID_0403+PID_6001+A6008ISPA\\0000"));
    EXPECT_EQ("ACPI : if -1 serial  kind builtin", shown("ACPI\\PNP0501\\1"));
    EXPECT_EQ("BTHENUM : if -1 serial  kind bluetooth",
              shown("BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1234&0&000000000000_00000000"));
    EXPECT_EQ("ROOT : if -1 serial  kind virtual", shown("ROOT\\PORTS\\0000"));
    EXPECT_EQ("WEIRD : if -1 serial  kind ", shown("weird"));
}

}  // namespace
}  // namespace zav::cli
