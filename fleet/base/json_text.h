// The program's texts in JSON: they are Windows-1252 like every text of the
// core, and a JSON string is UTF-8.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "fleet/base/text_encoding.h"

namespace zav {

// A text of the program (Windows-1252) as a JSON string.
inline nlohmann::json json_text(const std::string& text) { return utf8_from_cp1252(text); }

}  // namespace zav
