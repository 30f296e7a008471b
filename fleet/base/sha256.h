// SHA-256 (FIPS 180-4), the name of a configuration record: in JSON
// reports, the audit log and on the handover sheet, the same digest tells
// that they speak of the same 108 bytes without keeping them. No library on
// every platform the tool is built for (a static Windows exe) offers it,
// and it is short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zav {

// The digest of n bytes as 64 lower-case hex digits.
std::string sha256_hex(const uint8_t* bytes, size_t n);

}  // namespace zav
