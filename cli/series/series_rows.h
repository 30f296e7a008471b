// The rows of a series with a plan, shared by all that works on the series:
// which row the next device gets, which rows are done, and which done row a
// device holds already. A row is done only when a device finished it (for
// program: verified holding the row's record); a device that failed leaves
// its row open, and the next device gets it. A port takes a row when a
// device answers and gives it back, done or open, so that the rows are
// handed out in one place however many ports take them: each call is one
// step under the rows' own lock, so that two ports never take the same row.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/platform/lock.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/text/config_text.h"

namespace zav::cli {

class SeriesRows {
public:
    // plan: nullptr for a series without one (then there are no rows); it
    // must outlive this object. done_before: by index, the rows a log shows
    // done already, their devices holding the rows' records.
    SeriesRows(const Plan* plan, const std::vector<bool>& done_before);

    bool with_plan() const { return plan_ != nullptr; }

    // The row the next device gets: the first that is neither done nor
    // taken; nullptr when none is left, and always without a plan.
    const PlanRow* next() const;
    // Takes that row for the device at hand.
    const PlanRow* take();
    // The device at hand is finished with its row: done, or open again for
    // the next device. held_own_record: the device was found holding the
    // row's record, so that it can be recognised when it comes again.
    void give_back(const PlanRow* row, bool done, bool held_own_record);

    bool all_done() const;
    bool done(const PlanRow& row) const;
    // The devices' numbers ("Gerät N") of the rows done, and of those open.
    std::vector<int> done_devices() const;
    std::vector<int> open_devices() const;

    // Each row's record, by the plan's order, once the series knows its
    // type. Without them (a series that only reads) no device is
    // recognised by its record.
    void take_records(std::vector<ConfigRecord> records);
    // Rows whose records are the very same bytes, each group of two or more
    // in the plan's order: a device holding that record belongs to any of
    // them.
    std::vector<std::vector<const PlanRow*>> identical_rows() const;
    // The done row whose device was found holding the record held, unless
    // that record is also for_row's own (then the device may well be
    // for_row's): the device at hand is that row's device again. nullptr
    // when there is none.
    const PlanRow* done_row_holding(const uint8_t* held, const PlanRow* for_row) const;

private:
    enum class RowState { kOpen, kTaken, kDone };
    const PlanRow* first_open() const;
    size_t index(const PlanRow& row) const { return row.device - 1; }
    bool same_record(size_t a, size_t b) const;

    const Plan* plan_;
    std::vector<RowState> state_;
    std::vector<bool> held_own_record_;
    std::vector<ConfigRecord> records_;
    mutable Lock lock_;
};

}  // namespace zav::cli
