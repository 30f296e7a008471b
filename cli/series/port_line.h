// The line of one port of a series and the device on it: the port opened
// (again, after an adapter was pulled), a look for a device until one
// answers, and the device at hand watched until it is gone. Whoever owns
// it says when to stop waiting; the port's own failures come back to it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cli/device/device_session.h"
#include "cli/output/progress.h"
#include "cli/output/reporter.h"
#include "cli/platform/serial_line.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

class PortLine {
public:
    // reporter: the port's, for the notes on the way (a port that cannot
    // be opened, told once).
    PortLine(const std::string& port, const Reporter& reporter);

    enum class Wait {
        kDevice,      // a device answered: identification() and found() say what it is
        kStopped,     // Ctrl+C, or stop() said so
        kPortFailed,  // the port will never open (failure()): no right to it, no port of that name
    };
    // Until something answers, or the wait ends. Between looks, and while
    // may_look() is false (no device here could be given work now), it
    // pauses; Ctrl+C cuts a pause short.
    Wait wait_for_device(const std::function<bool()>& stop, const std::function<bool()>& may_look);

    // Until the device at hand is gone (true), or Ctrl+C or stop() (false):
    // two whole looks in a row without an answer, or a line that is lost.
    // silent_already: the work's last look at it found nobody, the first of
    // the two.
    bool wait_until_gone(const std::function<bool()>& stop, bool silent_already);

    DeviceLink& device() { return *device_; }
    const Identification& identification() const { return identification_; }
    // How the device's identification ended.
    const Outcome& found() const { return found_; }
    // The device sent a setup block, whether or not the program accepts it.
    bool setup_received() const { return found_.ok() || found_.exit_code == kExitRefused; }
    // Why the port will never open.
    const Outcome& failure() const { return failure_; }

private:
    bool open();
    void close();

    std::string port_;
    const Reporter& reporter_;
    ProgressBar progress_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<DeviceLink> device_;
    Identification identification_ = {};
    Outcome found_;
    Outcome failure_;
    std::string last_port_failure_;  // told already: not again until it changes
};

}  // namespace zav::cli
