// Serial ports on Windows: the system's list of serial ports (the registry's
// SERIALCOMM map, which every serial driver fills), with what SetupAPI
// knows of each: the name Device Manager shows, the USB ids, interface and
// serial number from the device instance ids of the port and the devices
// above it, maker and driver, and a problem Device Manager would show.
// Under Wine SetupAPI may know none of them; the registry list stands on
// its own. Only functions that Windows XP has (tools/xp_imports.txt).
#include <windows.h>
// The GUIDs of devguid.h are defined in this file (and only here).
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <algorithm>
#include <map>

#include "cli/platform/com_port_name.h"
#include "cli/platform/device_instance_id.h"
#include "cli/platform/port_list.h"
#include "fleet/base/natural_order.h"

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
void add_registered_ports(std::map<std::string, PortInfo>& ports) {
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
        if (!name.empty()) ports[name].name = name;
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

std::string instance_id(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    char id[MAX_DEVICE_ID_LEN + 1];
    if (!SetupDiGetDeviceInstanceIdA(devices, &device, id, sizeof id, nullptr)) return "";
    return id;
}

// The instance id of the device above node, and node set to it; "" at the top.
std::string parent_id(DEVINST& node) {
    DEVINST parent = 0;
    char id[MAX_DEVICE_ID_LEN + 1];
    if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS || CM_Get_Device_IDA(parent, id, sizeof id, 0) != CR_SUCCESS) {
        return "";
    }
    node = parent;
    return id;
}

// What the port's instance id and those of the two devices above it say:
// a USB adapter's port sits below its interface (a composite device's
// MI_xx) or directly below the USB device, or below FTDI's bus driver,
// which sits below the USB device. The first that tells a thing wins.
void describe_from_ids(const std::string& own_id, DEVINST node, PortInfo& port) {
    const DeviceIdParts own = parse_device_instance_id(own_id);
    std::string id = own_id;
    for (int level = 0; level < 3 && !id.empty(); ++level) {
        const DeviceIdParts parts = parse_device_instance_id(id);
        if (port.vendor_id.empty() && !parts.vendor_id.empty()) {
            port.vendor_id = parts.vendor_id;
            port.product_id = parts.product_id;
        }
        if (port.interface_number < 0 && parts.interface_number >= 0) {
            port.interface_number = parts.interface_number;
            port.several_interfaces = true;
        }
        if (port.serial.empty()) port.serial = parts.serial;
        id = parent_id(node);
    }
    port.kind = port_kind_of_bus(own.bus, !port.vendor_id.empty());
}

// Adds what SetupAPI knows of the present devices of the Ports class.
void add_described_ports(std::map<std::string, PortInfo>& ports) {
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
        PortInfo& port = ports[name];
        port.name = name;
        std::string description = device_property(devices, device, SPDRP_FRIENDLYNAME);
        if (description.empty()) description = device_property(devices, device, SPDRP_DEVICEDESC);
        port.description = without_port_suffix(description, name);
        // On Windows the texts are the driver's, from its INF file: the
        // adapter's own strings need an API that XP lacks.
        port.manufacturer = device_property(devices, device, SPDRP_MFG);
        port.product = device_property(devices, device, SPDRP_DEVICEDESC);
        port.driver = device_property(devices, device, SPDRP_SERVICE);
        describe_from_ids(instance_id(devices, device), device.DevInst, port);
        ULONG status = 0;
        ULONG problem = 0;
        if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS && (status & DN_HAS_PROBLEM)) {
            port.problem_code = problem;
        }
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::vector<PortInfo> list_serial_ports() {
    std::map<std::string, PortInfo> found;
    add_registered_ports(found);
    add_described_ports(found);
    std::vector<PortInfo> ports;
    for (const auto& [name, port] : found) ports.push_back(port);
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return natural_less(a.name, b.name); });
    return ports;
}

}  // namespace zav::cli
