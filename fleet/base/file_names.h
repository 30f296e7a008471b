// The names of the files a fleet's work leaves: the backups and the copies
// of a fleet's backup, each named so that a technician finds the right one
// by vehicle and date, and the log of a series that was given none.
#pragma once

#include <cstdint>
#include <string>

namespace zav {

// A label as part of a file name on any system: letters and digits as
// they are (umlauts and ß spelled out), every other run of characters one
// '-', at most 40 characters; "Geraet" when nothing is left. label is UTF-8.
std::string file_name_part(const std::string& label);

// "2026-12-08_091502_LF-20-Fahrer_1a2b3c4d.zcf": the local date and time of
// iso_time (ISO 8601), the label, and the first 8 hex digits of the
// record's SHA-256.
std::string backup_file_name(const std::string& iso_time, const std::string& label, const uint8_t* record);

// "LF-20-Fahrer_2026-12-08.zcf": a device's copy in a fleet's backup folder,
// by its label (file_name_part) and the date of iso_time.
std::string series_copy_file_name(const std::string& label, const std::string& iso_time);

// The log a series writes when --log names none:
// "zavctl-serie-2026-12-08-091502.jsonl" in the current folder.
std::string default_series_log_name(const std::string& iso_time);

}  // namespace zav
