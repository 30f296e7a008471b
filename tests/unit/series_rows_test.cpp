// The rows of a series are handed out in one place, whatever number of
// ports ask: each row to one device at a time, in the plan's order, a failed
// row first again, and a device that holds a done row's record told apart.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
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

    rows.give_back(first, RowReturn());  // that device failed
    const PlanRow* again = rows.take();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->device, 1u);
    rows.give_back(second, {true, true});
    rows.give_back(again, {true, true});
    const PlanRow* last = rows.take();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->device, 4u);
    EXPECT_EQ(rows.take(), nullptr);  // nothing is open while the last row is taken
    EXPECT_FALSE(rows.all_done());
    EXPECT_EQ(rows.open_devices(), std::vector<int>{4});

    rows.give_back(last, {true, true});
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
                    rows.give_back(row, {true, true});
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

// What a device holds, besides the row it took: kind and row, as one value.
std::pair<Recognition::Kind, const PlanRow*> seen(SeriesRows& rows, const ConfigRecord& held, const PlanRow* taken,
                                                   bool may_take_open = false) {
    const Recognition recognised = rows.recognise(held.data(), taken, may_take_open);
    return {recognised.kind, recognised.row};
}

TEST(SeriesRows, ADoneRowIsKnownByItsRecordUnlessTheRowAtHandHasTheSameOne) {
    const Plan plan = plan_of(4);
    SeriesRows rows(&plan, {});
    rows.take_records({record_of(1), record_of(2), record_of(1), record_of(3)});
    const ConfigRecord first_record = record_of(1);
    const ConfigRecord unknown = record_of(9);
    using Seen = std::pair<Recognition::Kind, const PlanRow*>;

    const PlanRow* first = rows.take();
    EXPECT_EQ(seen(rows, first_record, nullptr), Seen(Recognition::kNone, nullptr));  // not done yet
    rows.give_back(first, {true, true});
    const PlanRow* second = rows.take();
    EXPECT_EQ(seen(rows, first_record, second), Seen(Recognition::kDoneRow, first));
    EXPECT_EQ(seen(rows, unknown, second), Seen(Recognition::kNone, nullptr));
    rows.give_back(second, {true, false});  // done, but its device was not seen holding the record
    const ConfigRecord second_record = record_of(2);
    const PlanRow* third = rows.take();
    EXPECT_EQ(seen(rows, second_record, third), Seen(Recognition::kNone, nullptr));
    // The third row's record is the first's: a device holding it may be the
    // third's, so it is not turned away.
    EXPECT_EQ(seen(rows, first_record, third), Seen(Recognition::kNone, nullptr));
}

TEST(SeriesRows, ADeviceHoldingAnOpenRowsRecordTakesThatRowUnlessAnotherRowGivesItToo) {
    const Plan plan = plan_of(4);
    SeriesRows rows(&plan, {});
    rows.take_records({record_of(1), record_of(2), record_of(3), record_of(3)});
    using Seen = std::pair<Recognition::Kind, const PlanRow*>;

    const PlanRow* first = rows.take();
    EXPECT_EQ(seen(rows, record_of(2), first, false), Seen(Recognition::kNone, nullptr));  // --always: as taken
    EXPECT_EQ(seen(rows, record_of(2), first, true), Seen(Recognition::kOpenRow, &plan.rows[1]));
    // The device has row 2 now; row 1 waits for the next.
    EXPECT_EQ(rows.next(), first);
    const PlanRow* next = rows.take();
    EXPECT_EQ(seen(rows, record_of(2), next, true), Seen(Recognition::kNone, nullptr));  // row 2 is taken
    // Rows 3 and 4 give the same record: which of them the device is, is unknown.
    EXPECT_EQ(seen(rows, record_of(3), next, true), Seen(Recognition::kNone, nullptr));
    EXPECT_EQ(rows.next(), &plan.rows[2]);
}

TEST(SeriesRows, ADoneRowsRecordIsUnclearWhileADeviceMayHoldItUnverified) {
    const Plan plan = plan_of(3);
    SeriesRows rows(&plan, {}, {0, 0, 1});  // the log: row 3 written to a device, not verified
    rows.take_records({record_of(1), record_of(2), record_of(3)});
    using Seen = std::pair<Recognition::Kind, const PlanRow*>;

    // Row 1 written to a device whose verify failed, then done by another.
    const PlanRow* first = rows.take();
    rows.give_back(first, {false, false, false, true});
    rows.give_back(rows.take(), {true, true});
    const PlanRow* second = rows.take();
    EXPECT_EQ(seen(rows, record_of(1), second, true), Seen(Recognition::kUnclear, first));

    // Row 3 done by a device that held its record when it came: most
    // likely the one the log knew of, and so no longer unclear.
    EXPECT_EQ(seen(rows, record_of(3), second, true), Seen(Recognition::kOpenRow, &plan.rows[2]));
    rows.give_back(&plan.rows[2], {true, true, true});
    EXPECT_EQ(seen(rows, record_of(3), rows.take(), true), Seen(Recognition::kDoneRow, &plan.rows[2]));
}

}  // namespace
}  // namespace zav::cli
