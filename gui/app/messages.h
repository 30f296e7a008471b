// Texts and captions that several windows show (those the page in the
// browser shows too come from the core). Each window keeps the texts only it
// shows next to its own code.
#pragma once

#include "core/app/window_texts.h"
#include "core/link/link_messages.h"

namespace zav {

constexpr const char kProgramStartFailed[] = "Programmstart nicht möglich !";
constexpr const char kOutOfMemory[] = "Nicht genügend Speicher !";

constexpr const char kCaptionStartup[] = "LUM2 Konfiguration";

}  // namespace zav
