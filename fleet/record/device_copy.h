// A copy of the device's record, read before a write, that fails its check
// bytes: is that the device's own state, or did the line spoil it? zavctl
// and the page decide it alike, before they say "Keine Sicherung" and
// write, or read once more.
#pragma once

#include <cstdint>

namespace zav {

enum class UncheckedCopy {
    kDevicesOwn,  // all erased, or the same bytes as the read before: nothing to keep
    kReadAgain,   // a first read, or one that differs from the last: the line may have spoiled it
};

// copy and earlier hold kDeviceCopyBytes each; earlier is the copy of the
// read before this one, nullptr after the first read.
UncheckedCopy judge_unchecked_copy(const uint8_t* copy, const uint8_t* earlier);

}  // namespace zav
