#include "fleet/record/device_copy.h"

#include <algorithm>
#include <cstring>

#include "core/config/config_image.h"

namespace zav {

UncheckedCopy judge_unchecked_copy(const uint8_t* copy, const uint8_t* earlier) {
    const bool erased = std::all_of(copy, copy + kDeviceCopyBytes, [](uint8_t byte) { return byte == 0xFF; });
    if (erased || (earlier && std::memcmp(earlier, copy, kDeviceCopyBytes) == 0)) return UncheckedCopy::kDevicesOwn;
    return UncheckedCopy::kReadAgain;
}

}  // namespace zav
