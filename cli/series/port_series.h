// One port of a series: it finds a device there, takes a row for it from
// what the ports share (shared_series.h), has the work done and tells it,
// and waits until the device is gone.
#pragma once

#include <string>

namespace zav::cli {

class Series;

// Until Ctrl+C, a failure that ends the series, or the plan done.
void run_port_series(Series& series, const std::string& port);

}  // namespace zav::cli
