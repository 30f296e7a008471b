// What the setup window makes of a finished transaction: "Lesen" reads the
// device's block through an identification, "Programmieren" writes one.
#pragma once

#include <cstdint>

#include "core/config/config_image.h"

namespace zav {

constexpr const char kSetupRead[] = "Setup gelesen !";
constexpr const char kSetupRefused[] = "CRC-Fehler !";

enum class SetupEnd {
    kNothing,         // a result code neither transaction produces: nothing to tell
    kConnectionLost,  // "Verbindung unterbrochen !"
    kRefused,         // "CRC-Fehler !"
    kWritten,         // "Programmierung erfolgreich !": the device holds the block
    kBlockInvalid,    // "Setup-Daten ungültig !": the block read fails its check byte
    kBlockRead,       // "Setup gelesen !": the block in the image may be shown
};

// Judges the end message's result code and, after an identification, the
// block the worker stored in the image.
SetupEnd judge_setup_end(uint32_t result, const ConfigImage& image);

}  // namespace zav
