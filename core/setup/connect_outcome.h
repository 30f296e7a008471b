// What the main window tells the user when its identification has ended.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/config/config_image.h"

namespace zav {

constexpr const char kNoDeviceFound[] = "Kein ZAV 160 gefunden !";
constexpr const char kDeviceRecognised[] = "ZAV 160 erkannt";

enum class ConnectOutcome {
    kNothing,          // a result code the connect never produces: no message
    kNotFound,         // "Kein ZAV 160 gefunden !"
    kSetupInvalid,     // "Setup-Daten ungültig !"
    kVersionRejected,  // "Ungültige ZAV160-Version (V%d.%d)->..."
    kRecognised,       // "ZAV 160 erkannt": the device data become valid
};

// Judges the end message's result code and, after result 5, the setup block
// the worker stored in the image.
ConnectOutcome judge_connect(uint32_t result, const ConfigImage& image);

// Room for the version message with the largest numbers (V255.255) and its NUL.
constexpr size_t kVersionMessageBytes = 80;

// Fills out with the version message for the block in the image; false, with
// an empty text, when out is too small.
bool format_version_rejected(const ConfigImage& image, char* out, size_t out_size);

}  // namespace zav
