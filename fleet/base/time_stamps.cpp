#include "fleet/base/time_stamps.h"

#include <cstdio>
#include <cstdlib>

namespace zav {

namespace {

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long days_from_civil(long long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<long long>(day_of_era) - 719468;
}

long long seconds_of(const std::tm& time) {
    return days_from_civil(time.tm_year + 1900LL, static_cast<unsigned>(time.tm_mon + 1),
                           static_cast<unsigned>(time.tm_mday)) *
               86400 +
           time.tm_hour * 3600LL + time.tm_min * 60LL + time.tm_sec;
}

}  // namespace

std::string iso8601_with_offset(const std::tm& local, long offset_seconds) {
    const long minutes = std::labs(offset_seconds) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offset_seconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

std::string date_of(const std::string& iso_time) { return iso_time.substr(0, 10); }

std::string clock_time_of(const std::string& iso_time) { return iso_time.size() < 19 ? iso_time : iso_time.substr(11, 8); }

std::string file_name_time(const std::string& iso_time, char between) {
    std::string when = date_of(iso_time) + between;
    for (size_t i = 11; i < iso_time.size() && i < 19; ++i) {
        if (iso_time[i] != ':') when += iso_time[i];
    }
    return when;
}

double duration_seconds(uint32_t milliseconds) { return static_cast<double>(milliseconds) / 1000.0; }

std::string local_time_now_iso8601() {
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    std::tm utc = {};
#ifdef _WIN32
    localtime_s(&local, &now);
    gmtime_s(&utc, &now);
#else
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
#endif
    // The offset is what the two broken-down times differ by: no time-zone
    // field that only one platform has.
    return iso8601_with_offset(local, static_cast<long>(seconds_of(local) - seconds_of(utc)));
}

}  // namespace zav
