// What the configuration window's device commands make of a finished
// transaction, and what they tell the user: decided here once, for the
// window and for zavctl alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/config/config_image.h"
#include "core/link/link_messages.h"

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

// How a transaction of "Lesen", "Verifizieren" or "Programmieren" ended.
enum class ConfigEnd {
    kNothing,          // a result code no transaction produces: nothing to tell
    kConnectionLost,   // "Verbindung unterbrochen !"
    kUpdateRefused,    // "Fehler beim Konfig-Update !"
    kProgrammed,       // "Programmierung erfolgreich !"
    kNoConfiguration,  // "ZAV enthält keine Konfigurationsdaten !": the copy's sum is wrong
    kRead,             // "Konfiguration gelesen !": the copy may replace the record
    kVerifyOk,         // "Verifikation OK !"
    kVerifyDiffers,    // "Fehler ab Adresse: N"
    kIdentified,       // the identification before a programming; the type check comes next
};

struct ConfigVerdict {
    ConfigEnd end;
    int first_difference;  // for kVerifyDiffers, else -1
};

// Judges the end message's result code. After a read (result 4) the copy in
// read_back is checked, and with verify compared with the image's record
// instead of being offered as the new record.
ConfigVerdict judge_config_end(uint32_t result, bool verify, const ConfigImage& image, const uint8_t* read_back);

// True for the verdicts the window reports with the information icon.
bool config_end_is_success(ConfigEnd end);

// Room for the longest verdict text and its NUL.
constexpr size_t kConfigEndTextBytes = 48;

// The window's text for a verdict; "" for kNothing and kIdentified.
void format_config_end(const ConfigVerdict& verdict, char* out, size_t out_size);

}  // namespace zav
