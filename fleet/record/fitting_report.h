// What a setup block says about a device's fitting, as zavctl tells it: the
// version, the block itself, the info window's fields and the tone set
// ("DT-Satz", as the setup window names it), in text and as JSON.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "core/config/config_image.h"
#include "core/info/info_text.h"

namespace zav {

// "%d.%d" as the info window writes the version: 2.30, 4.10, 2.3.
std::string version_text(const uint8_t* setup);
// The five bytes as upper-case hex without blanks: "7F0702040A".
std::string setup_hex(const uint8_t* setup);

// The info window's fields for a device of this setup block.
InfoFields setup_info_fields(const uint8_t* setup);

// An info window label as a field's name: without the colon it ends in
// (all but "Rufton-Dauer" do).
std::string label_without_colon(const char* label);

// "675+x" or "1240/675+x": the setup window's option for the tone set.
std::string tone_set_text(const uint8_t* setup);

// One line for a fitting: "5 Doppelton-Alarme, 5-Ton Adressen max.10,
// Zusatzrelais bis zu 4, DT-Satz 675+x".
std::string fitting_text(const uint8_t* setup);

// The info window's fields as an object of named values, numbers as
// numbers (docs/JSON.md, "info").
nlohmann::json setup_info_json(const uint8_t* setup);

// identify's lines: the version, the setup block and whether its check
// byte fits (valid), then the fitting, label and value on one line.
std::string identification_report(const uint8_t* setup, bool valid);

// {"version", "setup", "valid", "accepted", "info"}.
nlohmann::json identification_json(const uint8_t* setup, bool valid, bool accepted);

}  // namespace zav
