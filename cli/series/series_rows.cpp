#include "cli/series/series_rows.h"

#include <cstring>

namespace zav::cli {

SeriesRows::SeriesRows(const Plan* plan, const std::vector<bool>& done_before) : plan_(plan) {
    const size_t count = plan_ == nullptr ? 0 : plan_->rows.size();
    state_.assign(count, RowState::kOpen);
    held_own_record_.assign(count, false);
    for (size_t i = 0; i < count && i < done_before.size(); ++i) {
        if (!done_before[i]) continue;
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

void SeriesRows::give_back(const PlanRow* row, bool done, bool held_own_record) {
    if (row == nullptr) return;
    const Held held(lock_);
    state_[index(*row)] = done ? RowState::kDone : RowState::kOpen;
    held_own_record_[index(*row)] = done && held_own_record;
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

const PlanRow* SeriesRows::done_row_holding(const uint8_t* held, const PlanRow* for_row) const {
    const Held locked(lock_);
    if (records_.empty() || held == nullptr) return nullptr;
    for (size_t i = 0; i < records_.size(); ++i) {
        if (state_[i] != RowState::kDone || !held_own_record_[i]) continue;
        if (std::memcmp(records_[i].data(), held, kRecordBytes) != 0) continue;
        if (for_row != nullptr && same_record(i, index(*for_row))) continue;
        return &plan_->rows[i];
    }
    return nullptr;
}

}  // namespace zav::cli
