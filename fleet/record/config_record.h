// A configuration record as a value: the 108 bytes a device holds, kept,
// compared and logged whole.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/config/config_image.h"

namespace zav {

using ConfigRecord = std::array<uint8_t, kRecordBytes>;

// The record at record (108 bytes, as an image holds them) as a value.
inline ConfigRecord record_array(const uint8_t* record) {
    ConfigRecord bytes;
    std::copy(record, record + kRecordBytes, bytes.begin());
    return bytes;
}

}  // namespace zav
