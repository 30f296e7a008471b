// The rows of a series are handed out in one place, whatever number of
// ports ask: each row to one device at a time, in the plan's order, a failed
// row first again, and a device that holds a done row's record told apart.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cli/platform/thread.h"
#include "cli/series/series_rows.h"

namespace zav::cli {
namespace {

Plan plan_of(size_t rows) {
    Plan plan;
    for (size_t n = 1; n <= rows; ++n) plan.rows.push_back(PlanRow{n, n + 1, {}, {}, {}, {}, {}});
    return plan;
}

ConfigRecord record_of(uint8_t value) {
    ConfigRecord record;
    record.fill(value);
    return record;
}

TEST(SeriesRows, RowsGoOutInPlanOrderOnceEachAndAFailedRowComesBackFirst) {
    const Plan plan = plan_of(4);
    SeriesRows rows(&plan, {false, true});  // the log shows row 2 done already

    const PlanRow* first = rows.take();
    const PlanRow* second = rows.take();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->device, 1u);
    EXPECT_EQ(second->device, 3u);  // the first is taken, the second done

    rows.give_back(first, false, false);  // that device failed
    const PlanRow* again = rows.take();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->device, 1u);
    rows.give_back(second, true, true);
    rows.give_back(again, true, true);
    const PlanRow* last = rows.take();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->device, 4u);
    EXPECT_EQ(rows.take(), nullptr);  // nothing is open while the last row is taken
    EXPECT_FALSE(rows.all_done());
    EXPECT_EQ(rows.open_devices(), std::vector<int>{4});

    rows.give_back(last, true, true);
    EXPECT_TRUE(rows.all_done());
    EXPECT_EQ(rows.done_devices(), (std::vector<int>{1, 2, 3, 4}));
}

TEST(SeriesRows, PortsTakingAtTheSameTimeGetEachRowOnce) {
    constexpr size_t kRows = 400;
    constexpr size_t kPorts = 4;
    const Plan plan = plan_of(kRows);
    SeriesRows rows(&plan, {});
    std::vector<std::vector<size_t>> taken(kPorts);
    {
        std::vector<std::unique_ptr<Thread>> ports;
        for (size_t port = 0; port < kPorts; ++port) {
            ports.push_back(std::make_unique<Thread>([&rows, &taken, port] {
                while (const PlanRow* row = rows.take()) {
                    taken[port].push_back(row->device);
                    rows.give_back(row, true, true);
                }
            }));
        }
        for (auto& port : ports) port->join();
    }
    std::vector<int> times(kRows + 1, 0);
    for (const auto& devices : taken) {
        for (size_t device : devices) ++times[device];
    }
    for (size_t device = 1; device <= kRows; ++device) EXPECT_EQ(times[device], 1) << "Gerät " << device;
    EXPECT_TRUE(rows.all_done());
}

TEST(SeriesRows, ADoneRowIsKnownByItsRecordUnlessTheRowAtHandHasTheSameOne) {
    const Plan plan = plan_of(4);
    SeriesRows rows(&plan, {});
    rows.take_records({record_of(1), record_of(2), record_of(1), record_of(3)});
    const ConfigRecord first_record = record_of(1);
    const ConfigRecord unknown = record_of(9);

    const PlanRow* first = rows.take();
    EXPECT_EQ(rows.done_row_holding(first_record.data(), nullptr), nullptr);  // not done yet
    rows.give_back(first, true, true);
    const PlanRow* second = rows.take();
    EXPECT_EQ(rows.done_row_holding(first_record.data(), second), first);
    EXPECT_EQ(rows.done_row_holding(unknown.data(), second), nullptr);
    rows.give_back(second, true, false);  // done, but its device was not seen holding the record
    const ConfigRecord second_record = record_of(2);
    const PlanRow* third = rows.take();
    EXPECT_EQ(rows.done_row_holding(second_record.data(), third), nullptr);
    // The third row's record is the first's: a device holding it may be the
    // third's, so it is not turned away.
    EXPECT_EQ(rows.done_row_holding(first_record.data(), third), nullptr);
}

}  // namespace
}  // namespace zav::cli
