#include "fleet/sheet/inventory_rows.h"

#include <optional>
#include <string>

#include "fleet/log/device_outcome.h"

namespace zav {

namespace {

// A state the device was found in: written and verified, or read.
bool found_in_a_state(const SheetDevice& device) {
    const std::optional<DeviceOutcome> outcome = outcome_named(device.outcome);
    if (!outcome) return device.outcome.empty() && device.record.has_value();  // a configuration file
    return *outcome != DeviceOutcome::kFailed && *outcome != DeviceOutcome::kNeedsAttention;
}

// What the vehicle's device does not hold when it never got a state.
SheetDevice without_a_state(SheetDevice device) {
    device.record.reset();
    device.sha256.clear();
    return device;
}

}  // namespace

std::vector<SheetDevice> inventory_devices(const std::vector<SheetDevice>& devices) {
    struct Vehicle {
        std::string label;               // "" for a device without a plan: never joined with another
        std::optional<SheetDevice> state;  // the last found in a state
        std::optional<SheetDevice> last;   // the last of any outcome but left for the user
    };
    std::vector<Vehicle> vehicles;
    for (const SheetDevice& device : devices) {
        const bool in_plan = device.plan_row.has_value() && !device.label.empty();
        if (!in_plan && !found_in_a_state(device)) continue;  // an attempt, no vehicle's
        if (outcome_named(device.outcome) == DeviceOutcome::kNeedsAttention) continue;
        Vehicle* vehicle = nullptr;
        if (in_plan) {
            for (Vehicle& known : vehicles) {
                if (known.label == device.label) vehicle = &known;
            }
        }
        if (vehicle == nullptr) {
            vehicles.push_back({in_plan ? device.label : std::string(), std::nullopt, std::nullopt});
            vehicle = &vehicles.back();
        }
        vehicle->last = device;
        if (found_in_a_state(device)) vehicle->state = device;
    }
    std::vector<SheetDevice> rows;
    for (const Vehicle& vehicle : vehicles) {
        if (vehicle.state) {
            rows.push_back(*vehicle.state);
        } else if (vehicle.last) {
            rows.push_back(without_a_state(*vehicle.last));
        }
    }
    return rows;
}

}  // namespace zav
