// What a series says about each device it worked on: the device's line
// ("Gerät 3 (LF 20 Fahrer): V2.30, Verifikation OK !") with the lines under
// it, its JSON line, and its line in the log; and the lines for a device
// that held a done row's record and for a row left open. The port's loop
// decides; this tells.
#pragma once

#include <cstdint>
#include <string>

#include "cli/output/reporter.h"
#include "cli/series/series_work.h"
#include "fleet/log/audit_line.h"
#include "fleet/plan/plan_reader.h"

namespace zav::cli {

// What the series knows of the device at hand, besides what the work did.
struct DeviceAtHand {
    std::string port;               // as given
    std::string adapter;            // the adapter's name where the system knows it, else ""
    const uint8_t* setup = nullptr;  // the setup block it sent, or nullptr when it sent none
    uint32_t duration_ms = 0;       // how long the work on it took
};

// The device's line in the log: the work's part (done.audit) and the
// series' (time, command, port, operator, number, setup, plan row, outcome).
AuditLine device_audit_line(const DeviceDone& done, const DeviceTurn& turn, const DeviceAtHand& device,
                            const char* command, const std::string& operator_name);

// The device's line, the lines under it, and its JSON line "device";
// row_done: whether its row of the plan is done by it.
void tell_device(const Reporter& reporter, const DeviceDone& done, const DeviceTurn& turn, const DeviceAtHand& device,
                 bool row_done);

// A device that holds the record of the done row held: that row's device
// come again, left as it is.
void tell_done_already(const Reporter& reporter, const PlanRow& held, const DeviceTurn& turn,
                       const DeviceAtHand& device);

// After a device that failed: its row waits for the next device. log: the
// log to continue a series from later, or "" when it cannot be.
void tell_row_open(const Reporter& reporter, const PlanRow& row, const std::string& log);

}  // namespace zav::cli
