// One port of a series: it finds a device there (port_line.h), takes a row
// for it from what the ports share (series.h), has the work done and told
// (device_report.h), and waits until the device is gone. With several ports
// each runs on a thread of its own; everything it keeps is its own.
#pragma once

#include <cstddef>

namespace zav::cli {

class Series;

// The series' port of that index, until Ctrl+C, a failure that ends the
// series or this port, or the plan done.
void run_port_series(Series& series, size_t index);

}  // namespace zav::cli
