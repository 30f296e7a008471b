// The configuration form: the window's operations in any order, with any
// texts and any selections, on any record and any setup bytes.
//
// Input: setup byte 1, setup byte 2, the 108 record bytes, then operations
// until the input ends (see run_operation). Form, window state and image are
// heap objects of exactly their size.
#include <climits>

#include "core/config/config_form.h"
#include "fuzz_check.h"

using namespace zav;
using zav_fuzz::Exact;
using zav_fuzz::Input;
using zav_fuzz::terminated;

namespace {

struct Window {
    Exact<ConfigForm> form{0};
    Exact<ConfigWindowState> state{0};
    Exact<ConfigImage> image{0xFF};
    Exact<SharedState> shared{0};
};

// Mostly values a list can report (-1 for none up to a little beyond the
// longest list), now and then values no list ever reports.
int selection_value(uint8_t v) {
    if (v < 0xF0) return static_cast<int>(v % 16) - 1;
    static const int kOdd[16] = {INT_MIN, INT_MAX, -2, -100, 16, 20, 100, 255, 256, 1000, 65535, -65536, 11, 12, 5, 10};
    return kOdd[v - 0xF0];
}

void set_text(Input& in, char* field, size_t bytes) {
    const size_t length = in.byte() % bytes;  // always leaves room for the terminator
    const size_t got = in.take(reinterpret_cast<uint8_t*>(field), length);
    field[got] = '\0';
}

void set_some_text(Input& in, ConfigForm& form) {
    switch (in.byte() % 6) {
        case 0: set_text(in, form.coding, sizeof form.coding); break;
        case 1: set_text(in, form.dead_time, sizeof form.dead_time); break;
        case 2: set_text(in, form.alarm_pause, sizeof form.alarm_pause); break;
        case 3: set_text(in, form.five_tone_count, sizeof form.five_tone_count); break;
        case 4: set_text(in, form.five_tone, sizeof form.five_tone); break;
        default: set_text(in, form.on_time, sizeof form.on_time); break;
    }
}

void set_some_selection(Input& in, ConfigForm& form) {
    const uint8_t which = in.byte();
    const int value = selection_value(in.byte());
    switch (which % 10) {
        case 0: form.alarm_selector = value; break;
        case 1: form.alarm_memory = value; break;
        case 2: form.number = value; break;
        case 3: form.number_items = value; break;
        case 4: form.manual = value; break;
        case 5: form.relay_selector = value; break;
        case 6: form.relay_five_tone = value; break;
        case 7: form.relay_double_tone = value; break;
        case 8: form.relay_double_tone_enabled = value & 1; break;
        default: form.relay_controls_enabled = value & 1; break;
    }
}

void check_texts(const ConfigForm& form, const ConfigWindowState& state) {
    FUZZ_CHECK(terminated(form.coding, sizeof form.coding));
    FUZZ_CHECK(terminated(form.dead_time, sizeof form.dead_time));
    FUZZ_CHECK(terminated(form.alarm_pause, sizeof form.alarm_pause));
    FUZZ_CHECK(terminated(form.five_tone_count, sizeof form.five_tone_count));
    FUZZ_CHECK(terminated(form.five_tone, sizeof form.five_tone));
    FUZZ_CHECK(terminated(form.on_time, sizeof form.on_time));
    for (const auto& text : state.alarm_texts) FUZZ_CHECK(terminated(text, sizeof text));
    for (const auto& slot : state.five_tone_slots) FUZZ_CHECK(terminated(slot, sizeof slot));
}

void check_window_state(const ConfigWindowState& state) {
    FUZZ_CHECK(state.fitted_count >= 0 && state.fitted_count <= static_cast<int>(kAlarmCount));
    for (int p = 0; p < state.fitted_count; ++p) {
        FUZZ_CHECK(state.fitted_alarms[p] < kAlarmCount);
        if (p > 0) FUZZ_CHECK(state.fitted_alarms[p - 1] < state.fitted_alarms[p]);
    }
    FUZZ_CHECK(state.fitted_alarms[state.fitted_count] == kListEnd);
    FUZZ_CHECK(state.max_five_tone_count == 5 || state.max_five_tone_count == 10);
    FUZZ_CHECK(state.relays_offered == 0 || state.relays_offered == 2 || state.relays_offered == 4);
}

// What image_to_form shows, every selection one the lists can hold.
void check_shown_form(const ConfigForm& form, const ConfigWindowState& state) {
    const int fitted = state.fitted_count;
    FUZZ_CHECK(form.alarm_selector == kNoSelection || (form.alarm_selector >= 0 && form.alarm_selector < fitted));
    FUZZ_CHECK(form.alarm_memory >= kNoSelection && form.alarm_memory < 4);
    FUZZ_CHECK(form.number_items >= 0 && form.number_items <= kMaxFiveToneEntries);
    FUZZ_CHECK(form.number == kNoSelection || (form.number >= 0 && form.number < form.number_items));
    FUZZ_CHECK(form.manual == kNoSelection || (form.manual >= 0 && form.manual < fitted));
    FUZZ_CHECK(form.relay_five_tone >= kNoSelection && form.relay_five_tone < kRelayFiveToneItemCount);
    FUZZ_CHECK(form.relay_double_tone >= 0 && form.relay_double_tone <= fitted);
    FUZZ_CHECK(std::strlen(form.coding) <= kAlarmTextMaxChars);
}

// Reading the record back into the fields and taking the fields again gives
// the same record. Relay triggers the fields cannot show (a high nibble of
// 12 to 14, an alarm that is not fitted) come back in their shown form, so
// from the second pass on they must be stable too.
void check_round_trip(const Window& w) {
    Exact<ConfigImage> image;
    Exact<ConfigWindowState> state;
    Exact<ConfigForm> form;
    Exact<SharedState> shared{0};
    *image = *w.image;
    *state = *w.state;
    *form = *w.form;

    ConfigImage passes[2];
    for (int pass = 0; pass < 2; ++pass) {
        image_to_form(*image, *state, *form, *shared);
        FUZZ_CHECK(shared->updating == 1);
        check_shown_form(*form, *state);
        check_texts(*form, *state);
        shared->updating = 0;
        FUZZ_CHECK(form_to_image(*form, *state, *image) == 0);
        passes[pass] = *image;
    }
    FUZZ_CHECK(std::memcmp(passes[0].bytes, w.image->bytes, kRelays) == 0);
    for (size_t r = 0; r < kRelayCount; ++r) {
        FUZZ_CHECK(passes[0].bytes[relay_on_time(r)] == w.image->bytes[relay_on_time(r)]);
    }
    FUZZ_CHECK(std::memcmp(passes[0].bytes, passes[1].bytes, kImageBytes) == 0);
}

uint32_t run_handler(int which, Window& w) {
    switch (which % 5) {
        case 0: return on_alarm_selector_changed(*w.form, *w.state, *w.shared);
        case 1: return on_number_changed(*w.form, *w.state, *w.shared);
        case 2: return on_relay_selector_changed(*w.form, *w.state, *w.shared);
        case 3: return on_relay_five_tone_changed(*w.form, *w.state, *w.shared);
        default: return on_five_tone_count_changed(*w.form, *w.state, *w.shared);
    }
}

void run_operation(Input& in, Window& w) {
    uint8_t setup_tail[kImageBytes - kRecordBytes];
    std::memcpy(setup_tail, w.image->bytes + kRecordBytes, sizeof setup_tail);

    switch (in.byte() % 12) {
        case 0: set_some_text(in, *w.form); break;
        case 1: set_some_selection(in, *w.form); break;
        case 2: case 3: case 4: case 5: case 6: {
            const uint32_t changed = run_handler(in.byte(), w);
            FUZZ_CHECK((changed & ~kChangedAll) == 0);
            break;
        }
        case 7: {
            const int code = form_to_image(*w.form, *w.state, *w.image);
            FUZZ_CHECK(code >= 0 && code <= 6);
            FUZZ_CHECK((config_error_text(code)[0] == '\0') == (code == 0));
            if (code == 0) check_round_trip(w);
            break;
        }
        case 8:
            image_to_form(*w.image, *w.state, *w.form, *w.shared);
            check_shown_form(*w.form, *w.state);
            reset_remembered_positions(*w.state);
            w.shared->updating = 0;
            break;
        case 9: {
            // While the window fills its own controls the handlers stay out.
            Exact<ConfigForm> form_before;
            Exact<ConfigWindowState> state_before;
            *form_before = *w.form;
            *state_before = *w.state;
            w.shared->updating = 1;
            FUZZ_CHECK(run_handler(in.byte(), w) == 0);
            w.shared->updating = 0;
            FUZZ_CHECK(std::memcmp(form_before.p, w.form.p, sizeof(ConfigForm)) == 0);
            FUZZ_CHECK(std::memcmp(state_before.p, w.state.p, sizeof(ConfigWindowState)) == 0);
            break;
        }
        case 10: {
            // The window closed and opened again, perhaps for another device.
            const uint8_t byte1 = in.byte();
            const uint8_t byte2 = in.byte();
            set_up_config_window_state(*w.state, byte1, byte2);
            check_window_state(*w.state);
            form_at_creation(*w.state, *w.form);
            // A tone pair for every fitted position, none beyond.
            for (int p = -1; p <= static_cast<int>(kAlarmCount) + 1; ++p) {
                FUZZ_CHECK((fitted_alarm_text(*w.state, p)[0] != '\0') == (p >= 0 && p < w.state->fitted_count));
            }
            break;
        }
        default: {
            const uint8_t position = in.byte();
            w.image->bytes[position % kRecordBytes] = in.byte();
            break;
        }
    }
    check_texts(*w.form, *w.state);
    FUZZ_CHECK(std::memcmp(setup_tail, w.image->bytes + kRecordBytes, sizeof setup_tail) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    Window w;
    const uint8_t byte1 = in.byte();
    const uint8_t byte2 = in.byte();
    in.take(w.image->bytes, kRecordBytes);
    std::memset(w.image->bytes + kRecordBytes, 0, kImageBytes - kRecordBytes);

    clear_config_window_state(*w.state);
    set_up_config_window_state(*w.state, byte1, byte2);
    check_window_state(*w.state);
    form_at_creation(*w.state, *w.form);
    check_texts(*w.form, *w.state);

    // Every record arrives at the fields at least once, as after a read.
    image_to_form(*w.image, *w.state, *w.form, *w.shared);
    check_shown_form(*w.form, *w.state);
    reset_remembered_positions(*w.state);
    w.shared->updating = 0;

    int operations = 0;
    while (!in.empty() && operations++ < 256) run_operation(in, w);
    return 0;
}
