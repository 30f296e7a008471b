// SHA-256 (FIPS 180-4), for naming a configuration record in a JSON report:
// a script can tell by it which record a device received without keeping
// the record. No library on every platform the tool is built for (a static
// Windows exe) offers it, and it is short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zav::cli {

// The digest of n bytes as 64 lower-case hex digits.
std::string sha256_hex(const uint8_t* bytes, size_t n);

}  // namespace zav::cli
