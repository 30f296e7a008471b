// A series sums up in one exit code what it left undone, each case against
// the others that may come with it.
#include <gtest/gtest.h>

#include <vector>

#include "cli/series/series_summary.h"

namespace zav::cli {
namespace {

Plan plan_of(size_t rows) {
    Plan plan;
    for (size_t n = 1; n <= rows; ++n) plan.rows.push_back(PlanRow{n, n + 1, {}, {}, {}, {}, {}});
    return plan;
}

TEST(SeriesExitCode, OneCodeForWhatTheSeriesLeftUndone) {
    const Plan plan = plan_of(2);
    const SeriesRows done(&plan, {true, true});
    const SeriesRows open(&plan, {true, false});
    const SeriesRows no_plan(nullptr, {});
    struct Case {
        const char* name;
        SeriesEnding ending;
        const SeriesRows& rows;
        SeriesVerdicts verdicts;
        int code;
    };
    const SeriesVerdicts all = {true, true, true};
    const std::vector<Case> cases = {
        {"plan done", {}, done, {}, kExitOk},
        {"a failed device whose row another did", {}, done, {false, true, false}, kExitOk},
        {"differences", {}, done, {true, true, false}, kExitDiffers},
        {"a device left for the user outweighs differences", {}, done, all, kExitAttention},
        {"rows open outweigh a device left", {}, open, all, kExitInterrupted},
        {"a device stopped in the middle", {kExitOk, true, kExitOk}, done, all, kExitInterrupted},
        {"a failure that ended the series", {kExitFile, false, kExitOk}, open, all, kExitFile},
        {"a port failed, the others left rows open", {kExitOk, false, kExitLink}, open, all, kExitLink},
        {"a port failed, the others did every row", {kExitOk, false, kExitLink}, done, {}, kExitOk},
        {"no plan: a device failed", {}, no_plan, {true, true, false}, kExitRefused},
        {"no plan: differences", {}, no_plan, {true, false, false}, kExitDiffers},
        {"no plan: nothing", {}, no_plan, {}, kExitOk},
    };
    for (const Case& c : cases) EXPECT_EQ(series_exit_code(c.ending, c.rows, c.verdicts), c.code) << c.name;
}

}  // namespace
}  // namespace zav::cli
