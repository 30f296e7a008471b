// The serial ports of this computer, so that a technician finds the
// adapter without guessing: what each port is and, for a USB adapter, its
// ids, maker, product, serial number, driver and interface.
#pragma once

#include <string>
#include <vector>

namespace zav::cli {

struct PortInfo {
    std::string name;         // what --port takes: /dev/ttyUSB0, COM3
    std::string description;  // the adapter as the system names it ("FTDI FT232R USB UART"), or ""
    std::string stable_name;  // Linux: the /dev/serial/by-id link, which survives re-plugging; or ""

    // What the port is: "usb", "builtin" (on the main board), "pci" (a
    // card), "bluetooth", "virtual"; "" when the system does not say.
    std::string kind;
    // USB: the ids as four lower-case hex digits, and the adapter's maker
    // and product as the adapter names them (Linux) or its driver does
    // (Windows); its serial number. "" where unknown.
    std::string vendor_id;
    std::string product_id;
    std::string manufacturer;
    std::string product;
    std::string serial;
    // The USB interface the port belongs to; the ports of a dual adapter
    // differ in it. -1 when unknown.
    int interface_number = -1;
    // The adapter has more than one interface, so the interface tells its
    // ports apart.
    bool several_interfaces = false;
    std::string driver;       // the driver that serves the port: ftdi_sio, cp210x, FTDIBUS, usbser; or ""
    // Windows: Device Manager's problem code of the port (10: the driver
    // did not start it); 0 for none.
    unsigned problem_code = 0;
};

// Sorted by name, in natural order (COM2 before COM10, ttyUSB2 before ttyUSB10).
std::vector<PortInfo> list_serial_ports();

}  // namespace zav::cli
