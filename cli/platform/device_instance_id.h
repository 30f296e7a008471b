// What a Windows device instance id says of a device, for the port list:
// "USB\VID_0403&PID_6010&MI_01\6&2A3B4C5D&0&0001" (a dual adapter's second
// port), "USB\VID_0403&PID_6001\A6008ISP" (a USB device with its serial
// number), "FTDIBUS\VID_0403+PID_6001+A6008ISPA\0000" (FTDI's own bus
// driver), "ACPI\PNP0501\1" (a port on the main board). Portable, so that
// it is tested natively.
#pragma once

#include <string>

namespace zav::cli {

struct DeviceIdParts {
    std::string bus;            // the enumerator, upper case: USB, FTDIBUS, ACPI, PCI, BTHENUM, ROOT
    std::string vendor_id;      // four lower-case hex digits, or ""
    std::string product_id;
    int interface_number = -1;  // MI_xx: the interface of a composite USB device
    // USB: the last part when Windows took it from the device's serial
    // number (a made-up one has '&' in it); else "".
    std::string serial;
};

DeviceIdParts parse_device_instance_id(const std::string& id);

// The port's kind (port_list.h) for the bus that enumerates it.
std::string port_kind_of_bus(const std::string& bus, bool has_usb_ids);

}  // namespace zav::cli
