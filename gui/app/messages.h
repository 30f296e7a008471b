// Texts and captions that several windows show. Each window keeps the texts
// only it shows next to its own code.
#pragma once

#include "core/link/link_messages.h"

namespace zav {

constexpr const char kProgramStartFailed[] = "Programmstart nicht möglich !";
constexpr const char kOutOfMemory[] = "Nicht genügend Speicher !";

constexpr const char kCaptionSetup[] = "ZAV-Setup";
constexpr const char kCaptionSetupForm[] = "ZAV Setup";
constexpr const char kCaptionConfiguration[] = "ZAV-Konfiguration";
constexpr const char kCaptionConfigurationForm[] = "ZAV Konfiguration";
constexpr const char kCaptionConnect[] = "ZAV-Verbinden";
constexpr const char kCaptionInfo[] = "ZAV-Info";
constexpr const char kCaptionStartup[] = "LUM2 Konfiguration";

}  // namespace zav
