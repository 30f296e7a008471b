// What a series counts of its devices and says at its end: "Serie beendet:
// 3 programmiert, 1 fehlgeschlagen (Gerät 2).", the rows of the plan still
// open, and the exit code that sums it up.
#pragma once

#include <map>
#include <vector>

#include "cli/output/audit_log.h"
#include "cli/output/reporter.h"
#include "cli/series/series.h"
#include "cli/series/series_rows.h"

namespace zav::cli {

// How a series ended, besides what its devices did.
struct SeriesEnding {
    int stop_code = kExitOk;          // the code of a failure that ended it, else 0
    bool interrupted_device = false;  // Ctrl+C stopped a device in the middle
};

// The exit code of a series (cli/app/exit_codes.h): a failure that ended it;
// 130 for a device stopped in the middle, and for rows of the plan left
// open (only Ctrl+C leaves them open without a failure); 5 for
// differences; without a plan 4 when a device failed. A device that failed
// and whose row another device did later leaves nothing undone.
int series_exit_code(const SeriesEnding& ending, const SeriesRows& rows, bool differences, bool failures);

class SeriesSummary {
public:
    // A device told, under its number.
    void count(DeviceOutcome tally, int number);

    // Tells the summary (a line and the JSON "end") and returns the exit
    // code.
    int tell(const Reporter& reporter, const SeriesWork& work, const SeriesRows& rows, const AuditLog* log,
             const SeriesEnding& ending) const;

private:
    int count_of(DeviceOutcome tally) const;
    // Each number once, in the order they came.
    std::vector<int> numbers(DeviceOutcome tally) const;

    std::map<DeviceOutcome, int> tallies_;
    std::map<DeviceOutcome, std::vector<int>> numbers_;
};

}  // namespace zav::cli
