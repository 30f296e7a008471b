#include "cli/record_view.h"

#include <algorithm>
#include <cstring>

#include "core/config/config_form.h"
#include "core/link/shared_state.h"

namespace zav {

namespace {

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

}  // namespace

RecordView view_record(const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2) {
    RecordView view;
    std::memcpy(view.record.data(), record, kRecordBytes);

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
