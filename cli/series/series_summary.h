// What a series counts of its devices and says at its end: "Serie beendet:
// 3 programmiert, 1 fehlgeschlagen (Gerät 2).", the rows of the plan still
// open, and the exit code that sums it up.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/output/audit_log.h"
#include "cli/output/reporter.h"
#include "cli/series/series_work.h"
#include "cli/series/series_rows.h"

namespace zav::cli {

// How a series ended, besides what its devices did.
struct SeriesEnding {
    int stop_code = kExitOk;          // the code of a failure that ended it, else 0
    bool interrupted_device = false;  // Ctrl+C stopped a device in the middle
    int port_failure_code = kExitOk;  // of the first of several ports that failed for good, else 0
};

// One of several ports of a series, for the summary's line about it.
struct SeriesPort {
    std::string name;  // as given
    std::string tag;   // "ttyUSB1", "COM4"
    bool failed = false;  // failed for good: ended before the series
    Outcome failure;      // why
};

// What the devices of a series came to, for its exit code.
struct SeriesVerdicts {
    bool differences = false;  // a verify found one
    bool failures = false;     // a device failed
    bool attention = false;    // a device was left for the user to place
};

// The exit code of a series (cli/app/exit_codes.h): a failure that ended it;
// 130 for a device stopped in the middle, and for rows of the plan left
// open (only Ctrl+C leaves them open without a failure); 6 for a device
// left for the user to place, once the plan is done; 5 for differences;
// without a plan 4 when a device failed. A device that failed and whose
// row another device did later leaves nothing undone. A port of several
// that failed for good counts with its failure's code, unless the other
// ports did every row of the plan.
int series_exit_code(const SeriesEnding& ending, const SeriesRows& rows, const SeriesVerdicts& verdicts);

class SeriesSummary {
public:
    // A device told, under its number, on the port of that index.
    void count(DeviceOutcome tally, int number, size_t port = 0);
    // A device that held a done row's record: that row's device come again.
    void count_done_already(int number);
    // A device left for the user to place, holding the record of the row
    // held, on that port since that time (ISO 8601): named at the end.
    void name_left_device(const PlanRow& held, const std::string& port, const std::string& time);

    // Tells the summary (a line and the JSON "end") and returns the exit
    // code. With several ports, a line for each port follows, and the JSON
    // "end" has them under "ports".
    int tell(const Reporter& reporter, const SeriesWork& work, const SeriesRows& rows, const AuditLog* log,
             const SeriesEnding& ending, const std::vector<SeriesPort>& ports) const;

private:
    void tell_ports(const Reporter& reporter, const SeriesWork& work, const std::vector<SeriesPort>& ports,
                    nlohmann::json& document) const;
    int count_of(DeviceOutcome tally) const;
    // Each number once, in the order they came.
    std::vector<int> numbers(DeviceOutcome tally) const;

    // A device left for the user, as the end names it.
    struct LeftDevice {
        const PlanRow* held;
        std::string port;
        std::string time;
    };

    std::map<DeviceOutcome, int> tallies_;
    std::vector<int> done_already_;  // each time one came
    std::vector<LeftDevice> left_;
    std::map<DeviceOutcome, std::vector<int>> numbers_;
    // By port: each tally's devices, in the order they came.
    std::map<size_t, std::map<DeviceOutcome, std::vector<int>>> by_port_;
};

}  // namespace zav::cli
