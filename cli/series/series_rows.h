// The rows of a series with a plan, shared by all that works on the series:
// which row the next device gets, which rows are done, and what the record
// a device holds says about it. A row is done only when a device finished
// it (for program: verified holding the row's record); a device that failed
// leaves its row open, and the next device gets it. A port takes a row when
// a device answers and gives it back, done or open, so that the rows are
// handed out in one place however many ports take them: each call is one
// step under the rows' own lock, so that two ports never take the same row.
//
// A device is known by the record it holds, which is sound only while one
// device can hold a row's record. A device that was written whole and then
// not verified (its verify failed or was cut off) may hold it too: while
// such a device may be about, a device holding a done row's record cannot
// be told from the row's own device, and is left for the user to place.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/platform/lock.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/text/config_text.h"

namespace zav::cli {

// How a device ended with the row it had, as the rows keep it.
struct RowReturn {
    bool done = false;          // the row is done by it; else open again for the next device
    bool held_record = false;   // it was found holding the row's record, so that it is known again by it
    // It held the row's record when it came (nothing was written): it
    // settles one device that may hold the record unverified, which most
    // likely it is.
    bool held_before = false;
    // It was not done, but every block of the row's record went to it: it
    // may hold the record without having been verified.
    bool record_left_unverified = false;
};

// What the record a device holds says about it, beside the row it took.
struct Recognition {
    enum Kind {
        kNone,      // nothing: the work goes on with the row taken
        kOpenRow,   // an open row's record, and no other row's: the device took that row instead
        kDoneRow,   // a done row's record: that row's device come again
        kUnclear,   // a done row's record, and another device may hold it unverified: which is the row's is unknown
    };
    Kind kind = kNone;
    const PlanRow* row = nullptr;  // the row whose record it holds, for all but kNone
};

class SeriesRows {
public:
    // plan: nullptr for a series without one (then there are no rows); it
    // must outlive this object. done_before: by index, the rows a log shows
    // done already, their devices holding the rows' records; unverified_before:
    // by index, how many devices the log shows may hold a row's record
    // unverified (fleet/log/logged_rows.h).
    SeriesRows(const Plan* plan, const std::vector<bool>& done_before,
               const std::vector<int>& unverified_before = std::vector<int>());

    bool with_plan() const { return plan_ != nullptr; }

    // The row the next device gets: the first that is neither done nor
    // taken; nullptr when none is left, and always without a plan.
    const PlanRow* next() const;
    // Takes that row for the device at hand.
    const PlanRow* take();
    // The device at hand is finished with its row: done, or open again for
    // the next device.
    void give_back(const PlanRow* row, const RowReturn& end);

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

    // What the record held says about a device that took the row taken,
    // unless that record is taken's own too (then the device may well be
    // taken's). A done row's record: kDoneRow, or kUnclear while a device
    // may hold that record unverified. With may_take_open, an open row's
    // record that no other row gives: that row is taken for the device
    // instead, and taken is open again (kOpenRow).
    Recognition recognise(const uint8_t* held, const PlanRow* taken, bool may_take_open);

private:
    enum class RowState { kOpen, kTaken, kDone };
    const PlanRow* first_open() const;
    size_t index(const PlanRow& row) const { return row.device - 1; }
    bool same_record(size_t a, size_t b) const;
    bool holds(size_t row, const uint8_t* record) const;

    const Plan* plan_;
    std::vector<RowState> state_;
    std::vector<bool> held_own_record_;
    std::vector<int> unverified_;
    std::vector<ConfigRecord> records_;
    mutable Lock lock_;
};

}  // namespace zav::cli
