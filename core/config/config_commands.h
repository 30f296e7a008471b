// What the configuration window's device commands tell the user, and the
// verify compare, for both front ends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/config/config_image.h"

namespace zav {

constexpr const char kUpdateRefused[] = "Fehler beim Konfig-Update !";
constexpr const char kNoConfiguration[] = "ZAV enthält keine Konfigurationsdaten !";
constexpr const char kVerifyOk[] = "Verifikation OK !";
constexpr const char kTypeConflict[] = "Typ-Konflikt,Programmierung nicht möglich !";
constexpr const char kConfigurationRead[] = "Konfiguration gelesen !";

// The record of the image against a device copy read back, byte by byte
// from 0 to 107, the bytes no field shows included: the position of the
// first difference, or -1 when they are equal.
int first_differing_byte(const ConfigImage& image, const uint8_t* device_copy);

// Room for "Fehler ab Adresse: 107" and its NUL.
constexpr size_t kVerifyMessageBytes = 32;

// "Fehler ab Adresse: %d" for position.
void format_verify_differs(int position, char* out, size_t out_size);

}  // namespace zav
