// Serial ports on Linux, from sysfs: every tty with a device behind it,
// named after the USB adapter it belongs to, and the udev link under
// /dev/serial/by-id that keeps its name when the adapter is plugged into
// another socket.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include "cli/platform/posix/port_list_sysfs.h"
#include "fleet/base/natural_order.h"

namespace zav::cli {

namespace {

const char kBuiltInPort[] = "eingebaute serielle Schnittstelle";
const char kById[] = "/dev/serial/by-id";

std::vector<std::string> entries_of(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The first line of a small sysfs file, trimmed; "" when there is none.
std::string first_line(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return trimmed(line);
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : std::string();
}

std::string link_target(const std::string& path) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string base_name(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string parent_of(const std::string& folder) { return folder.substr(0, folder.find_last_of('/')); }

// The bus a device folder belongs to (its subsystem link: usb, pci, pnp,
// platform, ...), or "".
std::string subsystem_of(const std::string& folder) { return base_name(link_target(folder + "/subsystem")); }

// Fills what the folders above a tty's device tell: its driver, and the USB
// device (the first folder with idVendor) with the interface below it, or
// else the bus the port sits on.
void describe_device(const std::string& device, const std::string& sys_root, PortInfo& port) {
    std::string interface_folder;
    for (std::string folder = device; starts_with(folder, sys_root + "/"); folder = parent_of(folder)) {
        // The driver is that of the port's own device, or, where the
        // kernel puts its serial layer (serial-base: "port", "ctrl") in
        // between, that of the controller above it.
        if (port.driver.empty() && subsystem_of(folder) != "serial-base") {
            port.driver = base_name(link_target(folder + "/driver"));
        }
        if (exists(folder + "/idVendor")) {
            port.kind = "usb";
            port.vendor_id = first_line(folder + "/idVendor");
            port.product_id = first_line(folder + "/idProduct");
            port.manufacturer = first_line(folder + "/manufacturer");
            port.product = first_line(folder + "/product");
            port.serial = first_line(folder + "/serial");
            if (!interface_folder.empty()) {
                const std::string number = first_line(interface_folder + "/bInterfaceNumber");
                char* end = nullptr;
                const long value = std::strtol(number.c_str(), &end, 16);
                if (!number.empty() && *end == '\0') port.interface_number = static_cast<int>(value);
            }
            port.several_interfaces = std::strtol(first_line(folder + "/bNumInterfaces").c_str(), nullptr, 10) > 1;
            if (!port.manufacturer.empty() && !port.product.empty()) {
                port.description = port.manufacturer + " " + port.product;
            } else if (!port.manufacturer.empty() || !port.product.empty()) {
                port.description = port.manufacturer + port.product;
            } else {
                // Its numbers at least let the adapter be looked up.
                port.description = "USB-Adapter " + port.vendor_id + ":" + port.product_id;
            }
            return;
        }
        if (exists(folder + "/bInterfaceNumber")) interface_folder = folder;
        // The first bus above the port that is no serial layer of the
        // kernel's own says where it sits: a card, or the main board.
        const std::string bus = subsystem_of(folder);
        if (port.kind.empty() && !bus.empty() && bus != "serial-base" && bus != "tty") {
            port.kind = bus == "pci" ? "pci" : "builtin";
        }
    }
    if (port.kind.empty()) port.kind = "builtin";
}

// A tty in sysfs that stands for a serial line: it has a device behind it,
// and for the 8250 driver's ttyS ports, a UART (type 0 means none: the
// driver sets up a fixed number of ports whether or not they exist).
bool is_serial_line(const std::string& tty_folder, const std::string& name) {
    if (!exists(tty_folder + "/device")) return false;
    if (starts_with(name, "ttyS") && first_line(tty_folder + "/type") == "0") return false;
    return true;
}

}  // namespace

std::vector<PortInfo> list_serial_ports_under(const std::string& root) {
    // The by-id links by the name of the tty they point at; udev makes them
    // as "../../ttyUSB0".
    std::map<std::string, std::string> stable_names;
    for (const std::string& link : entries_of(root + kById)) {
        const std::string target = link_target(root + kById + "/" + link);
        if (!target.empty()) stable_names.emplace(base_name(target), std::string(kById) + "/" + link);
    }

    std::vector<PortInfo> ports;
    const std::string sys_root = resolved(root + "/sys");
    const std::string class_folder = root + "/sys/class/tty";
    for (const std::string& name : entries_of(class_folder)) {
        const std::string tty_folder = class_folder + "/" + name;
        if (!is_serial_line(tty_folder, name)) continue;
        PortInfo port;
        port.name = "/dev/" + name;
        describe_device(resolved(tty_folder + "/device"), sys_root, port);
        if (port.kind == "builtin") port.description = kBuiltInPort;
        const auto stable = stable_names.find(name);
        if (stable != stable_names.end()) {
            port.stable_name = stable->second;
            stable_names.erase(stable);
        }
        ports.push_back(port);
    }
    // A link whose tty sysfs does not show (a container without /sys)
    // still names a port.
    for (const auto& [name, stable_name] : stable_names) {
        PortInfo port;
        port.name = "/dev/" + name;
        port.stable_name = stable_name;
        ports.push_back(port);
    }

    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return natural_less(a.name, b.name); });
    return ports;
}

std::vector<PortInfo> list_serial_ports() { return list_serial_ports_under(""); }

}  // namespace zav::cli
