// Serial ports on Linux, from sysfs: every tty with a device behind it,
// named after the USB adapter it belongs to, and the udev link under
// /dev/serial/by-id that keeps its name when the adapter is plugged into
// another socket.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "cli/natural_order.h"
#include "cli/posix/port_list_sysfs.h"

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

// The USB device above a tty's device in sysfs, as its maker and product
// name it ("FTDI FT232R USB UART"), or by its vendor and product numbers;
// is_usb false when there is no USB device above it.
std::string usb_description(const std::string& device, const std::string& sys_root, bool& is_usb) {
    is_usb = false;
    std::string folder = device;
    while (starts_with(folder, sys_root + "/")) {
        if (exists(folder + "/idVendor")) {
            is_usb = true;
            const std::string maker = first_line(folder + "/manufacturer");
            const std::string product = first_line(folder + "/product");
            if (!maker.empty() && !product.empty()) return maker + " " + product;
            if (!maker.empty() || !product.empty()) return maker + product;
            // Its numbers at least let the adapter be looked up.
            return "USB-Adapter " + first_line(folder + "/idVendor") + ":" + first_line(folder + "/idProduct");
        }
        folder = folder.substr(0, folder.find_last_of('/'));
    }
    return "";
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
        bool is_usb = false;
        port.description = usb_description(resolved(tty_folder + "/device"), sys_root, is_usb);
        if (!is_usb) port.description = kBuiltInPort;
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
        ports.push_back(PortInfo{"/dev/" + name, "", stable_name});
    }

    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return natural_less(a.name, b.name); });
    return ports;
}

std::vector<PortInfo> list_serial_ports() { return list_serial_ports_under(""); }

}  // namespace zav::cli
