// The order in which people count ports: COM2 before COM10, ttyUSB2 before
// ttyUSB10.
#pragma once

#include <string>

namespace zav {

// Compares runs of digits by their value and everything else byte by byte.
// Names that differ only in leading zeros ("a01", "a1") fall back to the
// plain byte order, so the order stays strict.
bool natural_less(const std::string& a, const std::string& b);

}  // namespace zav
