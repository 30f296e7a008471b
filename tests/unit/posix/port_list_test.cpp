#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/platform/adapter_warning.h"
#include "cli/platform/posix/port_list_sysfs.h"

namespace zav::cli {
namespace {

namespace fs = std::filesystem;

// One line per port, so a failure shows the whole list readably: name,
// description, stable name, then kind, USB ids, maker, product, serial,
// interface ("+" when the adapter has several), driver.
std::vector<std::string> lines_of(const std::vector<PortInfo>& ports) {
    std::vector<std::string> lines;
    for (const PortInfo& port : ports) {
        std::string line = port.name + " | " + port.description + " | " + port.stable_name + " | " + port.kind;
        if (!port.vendor_id.empty()) line += " " + port.vendor_id + ":" + port.product_id;
        line += " | " + port.manufacturer + " | " + port.product + " | " + port.serial + " | ";
        if (port.interface_number >= 0) line += std::to_string(port.interface_number) + (port.several_interfaces ? "+" : "");
        lines.push_back(line + " | " + port.driver);
    }
    return lines;
}

// A made-up /sys and /dev as udev and the kernel lay them out.
class FakeSystem {
public:
    FakeSystem() {
        char pattern[] = "/tmp/zav_ports_XXXXXX";
        root_ = mkdtemp(pattern);
    }
    ~FakeSystem() { fs::remove_all(root_); }

    const std::string& root() const { return root_; }

    void write(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(root_ + path).parent_path());
        std::ofstream(root_ + path) << text;
    }

    // /sys/class/tty/<name> with its device link to a folder under /sys/devices.
    void tty(const std::string& name, const std::string& device_folder) {
        fs::create_directories(root_ + "/sys/devices/" + device_folder);
        fs::create_directories(root_ + "/sys/class/tty/" + name);
        fs::create_directory_symlink("../../../devices/" + device_folder, root_ + "/sys/class/tty/" + name + "/device");
    }

    // A device folder's bus and driver, as sysfs links them.
    void bus(const std::string& device_folder, const std::string& subsystem, const std::string& driver = "") {
        const std::string folder = root_ + "/sys/devices/" + device_folder;
        fs::create_directories(folder);
        fs::create_directory_symlink("/sys/bus/" + subsystem, folder + "/subsystem");
        if (!driver.empty()) fs::create_directory_symlink("/sys/bus/" + subsystem + "/drivers/" + driver, folder + "/driver");
    }

    // A USB adapter at usb1/<port> with its texts; "" leaves a file out.
    std::string usb(const std::string& port, const std::string& ids, const std::string& maker, const std::string& product,
                    const std::string& serial, int interfaces) {
        const std::string folder = "pci0000:00/0000:00:14.0/usb1/" + port;
        write("/sys/devices/" + folder + "/idVendor", ids.substr(0, 4) + "\n");
        write("/sys/devices/" + folder + "/idProduct", ids.substr(5) + "\n");
        if (!maker.empty()) write("/sys/devices/" + folder + "/manufacturer", maker + "\n");
        if (!product.empty()) write("/sys/devices/" + folder + "/product", product + "  \n");
        if (!serial.empty()) write("/sys/devices/" + folder + "/serial", serial + "\n");
        write("/sys/devices/" + folder + "/bNumInterfaces", " " + std::to_string(interfaces) + "\n");
        return folder;
    }

    // A serial port on interface number of a USB adapter, served by driver.
    void usb_port(const std::string& adapter, int number, const std::string& tty_name, const std::string& driver) {
        const std::string port = adapter.substr(adapter.find_last_of('/') + 1);
        const std::string interface = adapter + "/" + port + ":1." + std::to_string(number);
        write("/sys/devices/" + interface + "/bInterfaceNumber", "0" + std::to_string(number) + "\n");
        tty(tty_name, interface + "/" + tty_name);
        bus(interface + "/" + tty_name, "usb-serial", driver);
    }

    void by_id(const std::string& link, const std::string& tty) {
        fs::create_directories(root_ + "/dev/serial/by-id");
        fs::create_symlink("../../" + tty, root_ + "/dev/serial/by-id/" + link);
    }

private:
    std::string root_;
};

TEST(PortListPosix, NamesEachPortsAdapterWithItsIdsInterfaceSerialAndDriver) {
    FakeSystem sys;
    const std::string ftdi = sys.usb("1-1", "0403:6001", "FTDI", "FT232R USB UART", "A6008isP", 1);
    sys.usb_port(ftdi, 0, "ttyUSB0", "ftdi_sio");
    sys.by_id("usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0", "ttyUSB0");
    // A dual adapter: one serial number, two interfaces.
    const std::string dual = sys.usb("1-4", "0403:6010", "FTDI", "Dual RS232-HS", "FT5ABC", 2);
    sys.usb_port(dual, 0, "ttyUSB3", "ftdi_sio");
    sys.usb_port(dual, 1, "ttyUSB4", "ftdi_sio");
    sys.usb_port(sys.usb("1-2", "1a86:7523", "", "", "", 1), 0, "ttyUSB10", "ch341");
    sys.usb_port(sys.usb("1-3", "067b:2303", "", "USB-Serial Controller", "", 1), 0, "ttyUSB2", "pl2303");

    // The 8250 driver's ports without a UART behind them have type 0.
    sys.tty("ttyS0", "platform/serial8250/tty/ttyS0");
    sys.write("/sys/class/tty/ttyS0/type", "0\n");
    // On the main board, behind the kernel's serial layer (serial-base).
    sys.tty("ttyS1", "pnp0/00:01/00:01:0/00:01:0.0");
    sys.write("/sys/class/tty/ttyS1/type", "4\n");
    sys.bus("pnp0/00:01/00:01:0/00:01:0.0", "serial-base", "port");
    sys.bus("pnp0/00:01/00:01:0", "serial-base", "ctrl");
    sys.bus("pnp0/00:01", "pnp", "serial");
    // On a PCI card.
    sys.tty("ttyS4", "pci0000:00/0000:00:1c.0/0000:03:00.0");
    sys.bus("pci0000:00/0000:00:1c.0/0000:03:00.0", "pci", "serial");
    // A virtual console has no device behind it.
    fs::create_directories(sys.root() + "/sys/class/tty/tty0");
    // A link whose tty sysfs does not show.
    sys.by_id("usb-Prolific_USB-Serial-if00", "ttyACM3");

    const std::vector<std::string> expected = {
        "/dev/ttyACM3 |  | /dev/serial/by-id/usb-Prolific_USB-Serial-if00 |  |  |  |  |  | ",
        "/dev/ttyS1 | eingebaute serielle Schnittstelle |  | builtin |  |  |  |  | serial",
        "/dev/ttyS4 |  |  | pci |  |  |  |  | serial",
        "/dev/ttyUSB0 | FTDI FT232R USB UART | /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0 | usb "
        "0403:6001 | FTDI | FT232R USB UART | A6008isP | 0 | ftdi_sio",
        "/dev/ttyUSB2 | USB-Serial Controller |  | usb 067b:2303 |  | USB-Serial Controller |  | 0 | pl2303",
        "/dev/ttyUSB3 | FTDI Dual RS232-HS |  | usb 0403:6010 | FTDI | Dual RS232-HS | FT5ABC | 0+ | ftdi_sio",
        "/dev/ttyUSB4 | FTDI Dual RS232-HS |  | usb 0403:6010 | FTDI | Dual RS232-HS | FT5ABC | 1+ | ftdi_sio",
        "/dev/ttyUSB10 | USB-Adapter 1a86:7523 |  | usb 1a86:7523 |  |  |  | 0 | ch341",
    };
    EXPECT_EQ(expected, lines_of(list_serial_ports_under(sys.root())));
}

TEST(PortListPosix, WarnsOnlyOfWhatTheIdsOrTheSystemSayForCertain) {
    PortInfo port;
    port.kind = "usb";
    port.vendor_id = "067b";
    port.product_id = "2303";
    EXPECT_EQ("", adapter_warning(port)) << "a PL2303 as such is no trouble";
    port.problem_code = 10;
    EXPECT_NE(std::string::npos, adapter_warning(port).find("Code 10")) << adapter_warning(port);
    port = PortInfo();
    port.vendor_id = "0403";
    port.product_id = "0000";
    EXPECT_NE(std::string::npos, adapter_warning(port).find("nachgemachte FT232R")) << adapter_warning(port);
}

}  // namespace
}  // namespace zav::cli
