// Serial ports on Windows: the system's list of serial ports (the registry's
// SERIALCOMM map, which every serial driver fills), with the names Device
// Manager shows for them, taken from SetupAPI. Under Wine SetupAPI may know
// none of them; the registry list stands on its own.
#include <windows.h>
// The GUIDs of devguid.h are defined in this file (and only here).
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>

#include "cli/com_port_name.h"
#include "cli/natural_order.h"
#include "cli/port_list.h"

namespace zav::cli {

namespace {

// A registry text value; "" when it is missing or no text.
std::string text_value(HKEY key, const char* value_name) {
    char data[256];
    DWORD type = 0;
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return "";
    }
    data[size] = '\0';  // the stored text need not end in one
    return data;
}

// Adds the port names of the SERIALCOMM map (value data "COM3").
void add_registered_ports(std::map<std::string, std::string>& ports) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        char value_name[256];
        DWORD name_size = sizeof value_name;
        char data[64];
        DWORD data_size = sizeof data - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, index, value_name, &name_size, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &data_size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        data[data_size] = '\0';
        const std::string name = canonical_com_port_name(data);
        if (!name.empty()) ports.emplace(name, "");
    }
    RegCloseKey(key);
}

// Device Manager's name of a port ends in its number, " (COM3)": drop it,
// the name stands beside it anyway.
std::string without_port_suffix(std::string description, const std::string& name) {
    const std::string suffix = " (" + name + ")";
    if (description.size() > suffix.size() &&
        description.compare(description.size() - suffix.size(), suffix.size(), suffix) == 0) {
        description.resize(description.size() - suffix.size());
    }
    return description;
}

std::string device_property(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    char text[256];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                           sizeof text - 1, nullptr) ||
        type != REG_SZ) {
        return "";
    }
    text[sizeof text - 1] = '\0';
    return text;
}

// Adds the present devices of the Ports class with their names.
void add_described_ports(std::map<std::string, std::string>& ports) {
    const HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        // The Ports class also holds printer ports (LPT1): only COM ports count.
        const std::string name = canonical_com_port_name(text_value(key, "PortName"));
        RegCloseKey(key);
        if (name.empty()) continue;
        std::string description = device_property(devices, device, SPDRP_FRIENDLYNAME);
        if (description.empty()) description = device_property(devices, device, SPDRP_DEVICEDESC);
        ports[name] = without_port_suffix(description, name);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::vector<PortInfo> list_serial_ports() {
    std::map<std::string, std::string> described;
    add_registered_ports(described);
    add_described_ports(described);
    std::vector<PortInfo> ports;
    for (const auto& [name, description] : described) ports.push_back(PortInfo{name, description, ""});
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return natural_less(a.name, b.name); });
    return ports;
}

}  // namespace zav::cli
