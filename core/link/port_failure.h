// Why a serial port could not be opened, as a kind that each front end
// words in its own way: the window says only that the port could not be
// opened, zavctl says what to do about it, and a series tells a port that
// may yet appear from one that never will be usable.
#pragma once

namespace zav {

enum class PortFailure {
    kNone,
    kBadName,       // not a port name this system knows (Windows: COM1 to COM256)
    kMissing,       // no such device: an adapter not plugged in
    kBusy,          // another program has it open
    kNoPermission,  // no right to open it (Linux: not in the port's group)
    kNotSerial,     // it exists but is no serial line
    kOther,
};

}  // namespace zav
