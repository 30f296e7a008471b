// What zavctl and the page in the browser say around a programming that the
// windowed program does not do: the device's own copy read first and kept,
// and no write to a device that holds the record already. Windows-1252, like
// every text of the program.
#pragma once

namespace zav {

// The device's copy is the record to be written: nothing is written.
constexpr const char kUnchangedMessage[] = "Unverändert: Das Gerät hält diese Konfiguration schon.";

// Said whenever a programming ended part-way, whatever the cause, a lost
// line included: the blocks sent stay in the device, and its record no
// longer fits its check bytes.
constexpr const char kNoValidConfiguration[] =
    "Das Gerät hat keine gültige Konfiguration mehr: neu programmieren.";

// The device's copy could not be read before the write: without it, the
// way back, the device is not written.
constexpr const char kNotProgrammedUnread[] =
    "Nicht programmiert: Die Konfiguration des Geräts ließ sich vorher nicht lesen.";

// Stopped before the first block went out.
constexpr const char kNotProgrammedUnchanged[] = "Nicht programmiert: Das Gerät ist unverändert.";

// Before a file or download name, and before the reason no copy was kept.
constexpr const char kBackupKeptPrefix[] = "Gesichert: ";
constexpr const char kNoBackupPrefix[] = "Keine Sicherung: ";

}  // namespace zav
