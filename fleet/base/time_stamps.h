// The time of day for reports: when a programming started, in ISO 8601 local
// time with its offset from UTC ("2024-03-05T14:07:09+01:00"), so that a log
// read elsewhere, or after the clocks changed, still names the moment; and
// the same moment as a file's name shows it; and how long a piece of work
// took.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace zav {

// Now, on this computer's clock and in its time zone.
std::string local_time_now_iso8601();

// The formatting alone: a broken-down local time and its offset east of
// UTC in seconds.
std::string iso8601_with_offset(const std::tm& local, long offset_seconds);

// "2026-12-08" of an ISO 8601 time.
std::string date_of(const std::string& iso_time);
// "09:15:02" of an ISO 8601 time.
std::string clock_time_of(const std::string& iso_time);

// The date and the time of day of an ISO 8601 time for a file's name,
// between them the character given: "2026-12-08_091502" for
// "2026-12-08T09:15:02+01:00" and '_'.
std::string file_name_time(const std::string& iso_time, char between);

// A duration measured in milliseconds as the seconds every document and
// log line gives ("duration_s": 4.312): exact to the millisecond, so that
// the JSON line and the log say the same of one device.
double duration_seconds(uint32_t milliseconds);

}  // namespace zav
