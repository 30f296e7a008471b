#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/posix/port_list_sysfs.h"

namespace zav::cli {
namespace {

namespace fs = std::filesystem;

// One line per port, so a failure shows the whole list readably.
std::vector<std::string> lines_of(const std::vector<PortInfo>& ports) {
    std::vector<std::string> lines;
    for (const PortInfo& port : ports) lines.push_back(port.name + " | " + port.description + " | " + port.stable_name);
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

    void by_id(const std::string& link, const std::string& tty) {
        fs::create_directories(root_ + "/dev/serial/by-id");
        fs::create_symlink("../../" + tty, root_ + "/dev/serial/by-id/" + link);
    }

private:
    std::string root_;
};

TEST(PortListPosix, FindsTheSerialLinesWithTheirAdaptersInNaturalOrder) {
    FakeSystem sys;
    const std::string ftdi = "pci0000:00/0000:00:14.0/usb1/1-1";
    sys.write("/sys/devices/" + ftdi + "/idVendor", "0403\n");
    sys.write("/sys/devices/" + ftdi + "/manufacturer", "FTDI\n");
    sys.write("/sys/devices/" + ftdi + "/product", "FT232R USB UART  \n");
    sys.tty("ttyUSB0", ftdi + "/1-1:1.0/ttyUSB0");
    sys.by_id("usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0", "ttyUSB0");

    const std::string bare = "pci0000:00/0000:00:14.0/usb1/1-2";
    sys.write("/sys/devices/" + bare + "/idVendor", "1a86\n");
    sys.write("/sys/devices/" + bare + "/idProduct", "7523\n");
    sys.tty("ttyUSB10", bare + "/1-2:1.0/ttyUSB10");
    const std::string named = "pci0000:00/0000:00:14.0/usb1/1-3";
    sys.write("/sys/devices/" + named + "/idVendor", "067b\n");
    sys.write("/sys/devices/" + named + "/product", "USB-Serial Controller\n");
    sys.tty("ttyUSB2", named + "/1-3:1.0/ttyUSB2");

    // The 8250 driver's ports without a UART behind them have type 0.
    sys.tty("ttyS0", "platform/serial8250/tty/ttyS0");
    sys.write("/sys/class/tty/ttyS0/type", "0\n");
    sys.tty("ttyS1", "pnp0/00:01");
    sys.write("/sys/class/tty/ttyS1/type", "4\n");
    // A virtual console has no device behind it.
    fs::create_directories(sys.root() + "/sys/class/tty/tty0");
    // A link whose tty sysfs does not show.
    sys.by_id("usb-Prolific_USB-Serial-if00", "ttyACM3");

    const std::vector<std::string> expected = {
        "/dev/ttyACM3 |  | /dev/serial/by-id/usb-Prolific_USB-Serial-if00",
        "/dev/ttyS1 | eingebaute serielle Schnittstelle | ",
        "/dev/ttyUSB0 | FTDI FT232R USB UART | /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0",
        "/dev/ttyUSB2 | USB-Serial Controller | ",
        "/dev/ttyUSB10 | USB-Adapter 1a86:7523 | ",
    };
    EXPECT_EQ(expected, lines_of(list_serial_ports_under(sys.root())));
}

}  // namespace
}  // namespace zav::cli
