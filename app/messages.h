// Texts and captions that several windows show. Each window keeps the texts
// only it shows next to its own code.
#pragma once

namespace zav {

constexpr const char kPortOpenFailed[] = "Port %s konnte nicht geöffnet werden !";
constexpr const char kProgramStartFailed[] = "Programmstart nicht möglich !";
constexpr const char kConnectionLost[] = "Verbindung unterbrochen !";
constexpr const char kProgrammingDone[] = "Programmierung erfolgreich !";
constexpr const char kOutOfMemory[] = "Nicht genügend Speicher !";

constexpr const char kCaptionSetup[] = "ZAV-Setup";
constexpr const char kCaptionSetupForm[] = "ZAV Setup";
constexpr const char kCaptionConfiguration[] = "ZAV-Konfiguration";
constexpr const char kCaptionConfigurationForm[] = "ZAV Konfiguration";
constexpr const char kCaptionConnect[] = "ZAV-Verbinden";
constexpr const char kCaptionInfo[] = "ZAV-Info";
constexpr const char kCaptionStartup[] = "LUM2 Konfiguration";

}  // namespace zav
