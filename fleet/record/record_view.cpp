#include "fleet/record/record_view.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/config/config_form.h"
#include "core/link/shared_state.h"

namespace zav {

namespace {

// The field errors that name one of several fields (config_error_text).
constexpr int kCodeCoding = 1;
constexpr int kCodeFiveTone = 5;
constexpr int kCodeRelay = 6;

// Values every check takes: "ON01", an address of five characters.
constexpr uint8_t kMendedAction = 0x41;
constexpr char kMendedEntry[] = "00000";

using ChangeHandler = uint32_t (*)(ConfigForm&, ConfigWindowState&, const SharedState&);

// The configuration window of one fitting, freshly created (no texts kept
// from an earlier opening), with a record shown in it as after "Laden".
class LoadedWindow {
public:
    LoadedWindow(const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2) {
        clear_config_window_state(state_);
        clear_shared_state(shared_);
        set_up_config_window_state(state_, setup_byte1, setup_byte2);
        form_at_creation(state_, form_);
        set_image_start_values(image_);
        std::memcpy(image_.bytes, record, kRecordBytes);
        image_.bytes[kSetupByte1] = setup_byte1;
        image_.bytes[kSetupByte2] = setup_byte2;
        image_to_form(image_, state_, form_, shared_);
        reset_remembered_positions(state_);
        shared_.updating = 0;
    }

    // A user's click on a list item: the selection moves, then the
    // window's change handler runs.
    void choose(int ConfigForm::*selection, int position, ChangeHandler handler) {
        form_.*selection = position;
        handler(form_, state_, shared_);
    }

    // The fields set to the texts of a view: what a user does who chooses
    // every alarm, entry and relay in turn and types its values in.
    void enter(const RecordView& fields);

    int items(int id) const { return list_item_count(state_, form_, id); }
    std::string item(int id, int position) const { return list_item_text(state_, form_, id, position); }
    const ConfigForm& form() const { return form_; }
    const ConfigWindowState& state() const { return state_; }

    // "Sichern": the fields back into (this window's copy of) the record.
    int take_back(uint8_t* taken) {
        const int code = form_to_image(form_, state_, image_);
        std::memcpy(taken, image_.bytes, kRecordBytes);
        return code;
    }

private:
    ConfigImage image_;
    ConfigWindowState state_;
    ConfigForm form_;
    SharedState shared_;
};

void put(char* field, size_t bytes, const std::string& text) {
    const size_t length = std::min(text.size(), bytes - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

void LoadedWindow::enter(const RecordView& fields) {
    // The list position whose item reads text, or none.
    auto position_of = [this](int id, const std::string& text) {
        for (int p = 0; p < items(id); ++p) {
            if (item(id, p) == text) return p;
        }
        return kNoSelection;
    };

    const int alarms = std::min(items(kIdAlarmSelector), static_cast<int>(fields.alarms.size()));
    for (int p = 0; p < alarms; ++p) {
        if (p > 0) choose(&ConfigForm::alarm_selector, p, &on_alarm_selector_changed);
        put(form_.coding, sizeof form_.coding, fields.alarms[p].coding);
    }
    put(form_.dead_time, sizeof form_.dead_time, fields.dead_time);
    put(form_.alarm_pause, sizeof form_.alarm_pause, fields.alarm_pause);
    form_.alarm_memory = position_of(kIdAlarmMemory, fields.alarm_memory);

    // As "Laden" fills them: every entry in its slot, "Nummer" on the first.
    put(form_.five_tone_count, sizeof form_.five_tone_count, fields.five_tone_count);
    const int entries = std::min(kMaxFiveToneEntries, static_cast<int>(fields.five_tone.size()));
    for (int n = 0; n < entries; ++n) put(state_.five_tone_slots[n], kFiveToneSlotBytes, fields.five_tone[n]);
    form_.number_items = entries;
    form_.number = entries > 0 ? 0 : kNoSelection;
    state_.remembered_number = 0;
    if (entries > 0) put(form_.five_tone, sizeof form_.five_tone, fields.five_tone[0]);

    form_.manual = position_of(kIdManual, fields.manual);

    const int relays = std::min(items(kIdRelaySelector), static_cast<int>(fields.relays.size()));
    for (int r = 0; r < relays; ++r) {
        if (r > 0) choose(&ConfigForm::relay_selector, r, &on_relay_selector_changed);
        form_.relay_five_tone = position_of(kIdRelayFiveTone, fields.relays[r].five_tone);
        form_.relay_double_tone = position_of(kIdRelayDoubleTone, fields.relays[r].double_tone);
        put(form_.on_time, sizeof form_.on_time, fields.relays[r].on_time);
    }
}

// Position 0 of each list is on show straight after the load; the others
// are chosen in turn.
void read_alarms(LoadedWindow& window, RecordView& view) {
    for (int p = 0; p < window.items(kIdAlarmSelector); ++p) {
        if (p > 0) window.choose(&ConfigForm::alarm_selector, p, &on_alarm_selector_changed);
        view.alarms.push_back(
            {window.state().fitted_alarms[p], window.item(kIdAlarmSelector, p), window.form().coding});
    }
}

void read_five_tone_entries(LoadedWindow& window, RecordView& view) {
    for (int p = 0; p < window.items(kIdNumber); ++p) {
        if (p > 0) window.choose(&ConfigForm::number, p, &on_number_changed);
        view.five_tone.push_back(window.form().five_tone);
    }
}

void read_relays(LoadedWindow& window, RecordView& view) {
    for (int p = 0; p < window.items(kIdRelaySelector); ++p) {
        if (p > 0) window.choose(&ConfigForm::relay_selector, p, &on_relay_selector_changed);
        const ConfigForm& form = window.form();
        view.relays.push_back({p + 1, window.item(kIdRelayFiveTone, form.relay_five_tone),
                               window.item(kIdRelayDoubleTone, form.relay_double_tone), form.on_time});
    }
}

using Record = std::array<uint8_t, kRecordBytes>;

int take_back(const Record& record, uint8_t setup_byte1, uint8_t setup_byte2) {
    Record taken;
    return record_as_window_takes_it(record.data(), setup_byte1, setup_byte2, taken.data());
}

// The window checks the fields of one kind in turn and stops at the first
// that fails. Which one that was, it does not say; to find out, every field
// of the kind but one is mended in a copy, and the first whose own value
// still fails the window's check is the one. The window's logic decides
// throughout; nothing of its rules is repeated here.
int item_in_error(const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2, int code) {
    const LoadedWindow window(record, setup_byte1, setup_byte2);
    const ConfigWindowState& state = window.state();
    Record trial;
    auto fails_alone = [&](auto mend_all_but) {
        std::memcpy(trial.data(), record, kRecordBytes);
        mend_all_but(trial);
        return take_back(trial, setup_byte1, setup_byte2) == code;
    };
    switch (code) {
        case kCodeCoding:
            for (int p = 0; p < state.fitted_count; ++p) {
                const int alarm = state.fitted_alarms[p];
                const bool fails = fails_alone([&](Record& copy) {
                    for (int q = 0; q < state.fitted_count; ++q) {
                        if (q == p) continue;
                        copy[alarm_list(state.fitted_alarms[q])] = kMendedAction;
                        copy[alarm_list(state.fitted_alarms[q]) + 1] = kListEnd;
                    }
                });
                if (fails) return alarm;
            }
            break;
        case kCodeFiveTone: {
            const int entries = std::min(window.items(kIdNumber), static_cast<int>(kFiveToneEntrySlots));
            for (int n = 0; n < entries; ++n) {
                const bool fails = fails_alone([&](Record& copy) {
                    for (int m = 0; m < entries; ++m) {
                        if (m != n) std::memcpy(&copy[five_tone_entry(m)], kMendedEntry, kFiveToneEntryBytes);
                    }
                });
                if (fails) return n;
            }
            break;
        }
        case kCodeRelay: {
            const int relays = std::min(window.items(kIdRelaySelector), static_cast<int>(kRelayCount));
            for (int r = 0; r < relays; ++r) {
                const bool fails = fails_alone([&](Record& copy) {
                    for (int q = 0; q < relays; ++q) {
                        if (q != r) copy[relay_on_time(q)] = 0;
                    }
                });
                if (fails) return r;
            }
            break;
        }
        default: break;
    }
    return -1;
}

}  // namespace

RecordView view_record(const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2) {
    RecordView view;
    std::memcpy(view.record.data(), record, kRecordBytes);
    view.setup_byte1 = setup_byte1;
    view.setup_byte2 = setup_byte2;

    LoadedWindow window(record, setup_byte1, setup_byte2);
    const ConfigForm& form = window.form();
    view.dead_time = form.dead_time;
    view.alarm_pause = form.alarm_pause;
    view.alarm_memory = window.item(kIdAlarmMemory, form.alarm_memory);
    view.five_tone_count = form.five_tone_count;
    view.manual = window.item(kIdManual, form.manual);
    read_alarms(window, view);
    read_five_tone_entries(window, view);
    read_relays(window, view);

    uint8_t taken[kRecordBytes];
    view.check_code = record_as_window_takes_it(record, setup_byte1, setup_byte2, taken);
    view.check_item = view.check_code == 0 ? -1 : item_in_error(record, setup_byte1, setup_byte2, view.check_code);
    return view;
}

int record_as_window_takes_it(const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2, uint8_t* taken) {
    return LoadedWindow(record, setup_byte1, setup_byte2).take_back(taken);
}

int record_from_view(const RecordView& fields, const uint8_t* base, uint8_t setup_byte1, uint8_t setup_byte2,
                     uint8_t* taken) {
    LoadedWindow window(base, setup_byte1, setup_byte2);
    window.enter(fields);
    return window.take_back(taken);
}

}  // namespace zav
