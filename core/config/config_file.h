// The configuration file as bytes: the header text, the 108-byte record and
// a 16-bit sum, low byte first. The window does the file access; these
// functions only build and judge the bytes, so a failed load can never leave
// a half-read record in the image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/config/config_image.h"

namespace zav {

constexpr const char kConfigFileHeader[] = "ZAV-Konfigurationsdatei";
constexpr size_t kConfigFileHeaderBytes = 23;
constexpr size_t kConfigFileSumOffset = kConfigFileHeaderBytes + kRecordBytes;  // 131
constexpr size_t kConfigFileBytes = kConfigFileSumOffset + 2;                    // 133

// Messages of the load and save commands.
constexpr const char kConfigFileMissing[] = "Datei nicht vorhanden !";
constexpr const char kConfigFileInvalid[] = "Ungültige Datei !";
constexpr const char kConfigFileShort[] = "Dateifehler";
constexpr const char kConfigFileBadSum[] = "Checksummen Fehler !";
constexpr const char kConfigFileLoaded[] = "Konfigurations-Datei gelesen !";
constexpr const char kConfigFileCannotCreate[] = "Datei kann nicht angelegt werden !";

enum class ConfigFileOutcome {
    kOk,             // the record was copied into the image
    kInvalidHeader,  // "Ungültige Datei !" (also a file shorter than the header)
    kShortRecord,    // "Dateifehler": fewer than 108 record bytes
    kBadSum,         // "Checksummen Fehler !": sum missing or wrong
};

// Sum of the 108 record bytes modulo 65536.
uint16_t config_file_sum(const uint8_t* record);

// Writes the whole 133-byte file for image bytes 0..107 into file_bytes.
void build_config_file(const ConfigImage& image, uint8_t* file_bytes);

// Judges the bytes read from a file (count of them; bytes after the first 133
// are ignored) and, only on kOk, copies the record into image bytes 0..107.
// On every other outcome the image is left unchanged.
ConfigFileOutcome load_config_file(const uint8_t* file_bytes, size_t count, ConfigImage& image);

// The message box text of an outcome; "" for kOk.
const char* config_file_outcome_text(ConfigFileOutcome outcome);

}  // namespace zav
