#include "cli/series/series_rows.h"

#include <cstring>

namespace zav::cli {

SeriesRows::SeriesRows(const Plan* plan, const std::vector<bool>& done_before,
                       const std::vector<int>& unverified_before)
    : plan_(plan) {
    const size_t count = plan_ == nullptr ? 0 : plan_->rows.size();
    state_.assign(count, RowState::kOpen);
    held_own_record_.assign(count, false);
    unverified_.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (i < unverified_before.size()) unverified_[i] = unverified_before[i];
        if (i >= done_before.size() || !done_before[i]) continue;
        state_[i] = RowState::kDone;
        held_own_record_[i] = true;
    }
}

const PlanRow* SeriesRows::next() const {
    const Held held(lock_);
    return first_open();
}

const PlanRow* SeriesRows::first_open() const {
    for (size_t i = 0; i < state_.size(); ++i) {
        if (state_[i] == RowState::kOpen) return &plan_->rows[i];
    }
    return nullptr;
}

const PlanRow* SeriesRows::take() {
    const Held held(lock_);
    const PlanRow* row = first_open();
    if (row != nullptr) state_[index(*row)] = RowState::kTaken;
    return row;
}

void SeriesRows::give_back(const PlanRow* row, const RowReturn& end) {
    if (row == nullptr) return;
    const Held held(lock_);
    const size_t i = index(*row);
    state_[i] = end.done ? RowState::kDone : RowState::kOpen;
    held_own_record_[i] = end.done && end.held_record;
    if (end.record_left_unverified) ++unverified_[i];
    if (end.done && end.held_before && unverified_[i] > 0) --unverified_[i];
}

bool SeriesRows::done(const PlanRow& row) const {
    const Held held(lock_);
    return state_[index(row)] == RowState::kDone;
}

bool SeriesRows::all_done() const {
    const Held held(lock_);
    for (const RowState state : state_) {
        if (state != RowState::kDone) return false;
    }
    return true;
}

std::vector<int> SeriesRows::done_devices() const {
    const Held held(lock_);
    std::vector<int> numbers;
    for (size_t i = 0; i < state_.size(); ++i) {
        if (state_[i] == RowState::kDone) numbers.push_back(static_cast<int>(plan_->rows[i].device));
    }
    return numbers;
}

std::vector<int> SeriesRows::open_devices() const {
    const Held held(lock_);
    std::vector<int> numbers;
    for (size_t i = 0; i < state_.size(); ++i) {
        if (state_[i] != RowState::kDone) numbers.push_back(static_cast<int>(plan_->rows[i].device));
    }
    return numbers;
}

void SeriesRows::take_records(std::vector<ConfigRecord> records) {
    const Held held(lock_);
    records_ = std::move(records);
    if (records_.size() != state_.size()) records_.clear();
}

bool SeriesRows::same_record(size_t a, size_t b) const {
    return std::memcmp(records_[a].data(), records_[b].data(), kRecordBytes) == 0;
}

bool SeriesRows::holds(size_t row, const uint8_t* record) const {
    return std::memcmp(records_[row].data(), record, kRecordBytes) == 0;
}

std::vector<std::vector<const PlanRow*>> SeriesRows::identical_rows() const {
    const Held held(lock_);
    std::vector<std::vector<const PlanRow*>> groups;
    std::vector<bool> grouped(records_.size(), false);
    for (size_t i = 0; i < records_.size(); ++i) {
        if (grouped[i]) continue;
        std::vector<const PlanRow*> group{&plan_->rows[i]};
        for (size_t j = i + 1; j < records_.size(); ++j) {
            if (grouped[j] || !same_record(i, j)) continue;
            grouped[j] = true;
            group.push_back(&plan_->rows[j]);
        }
        if (group.size() > 1) groups.push_back(group);
    }
    return groups;
}

Recognition SeriesRows::recognise(const uint8_t* held, const PlanRow* taken, bool may_take_open) {
    const Held locked(lock_);
    if (records_.empty() || held == nullptr) return {};
    if (taken != nullptr && holds(index(*taken), held)) return {};
    size_t holding = 0;
    const size_t none = records_.size();
    size_t open = none;
    for (size_t i = 0; i < records_.size(); ++i) {
        if (!holds(i, held)) continue;
        ++holding;
        if (state_[i] == RowState::kDone && held_own_record_[i]) {
            return {unverified_[i] > 0 ? Recognition::kUnclear : Recognition::kDoneRow, &plan_->rows[i]};
        }
        if (state_[i] == RowState::kOpen) open = i;
    }
    // A record that several rows give cannot say which of them the device
    // is: it takes the row it has.
    if (!may_take_open || holding != 1 || open == none) return {};
    state_[open] = RowState::kTaken;
    if (taken != nullptr) state_[index(*taken)] = RowState::kOpen;
    return {Recognition::kOpenRow, &plan_->rows[open]};
}

}  // namespace zav::cli
