// The captions of the windows' message boxes and the main window's own
// texts: every front end that shows these windows says them alike, the
// windowed program and the page in the browser.
#pragma once

namespace zav {

constexpr const char kCaptionSetup[] = "ZAV-Setup";
constexpr const char kCaptionSetupForm[] = "ZAV Setup";
constexpr const char kCaptionConfiguration[] = "ZAV-Konfiguration";
constexpr const char kCaptionConfigurationForm[] = "ZAV Konfiguration";
constexpr const char kCaptionConnect[] = "ZAV-Verbinden";
constexpr const char kCaptionInfo[] = "ZAV-Info";

// "Info" before a device was recognised.
constexpr const char kNoInfo[] = "Keine Infos vorhanden !";
// The version box; tests tie its number to the file VERSION.
constexpr const char kVersionText[] = "V2.30 zavkonfig-Projekt";

}  // namespace zav
