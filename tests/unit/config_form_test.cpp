#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/config/config_form.h"

namespace zav {
namespace {

void set_text(char* field, const char* text) { std::strcpy(field, text); }

// A window as it stands after creation with the given setup bytes, and a
// record that every field accepts.
struct ConfigFormTest : ::testing::Test {
    ConfigWindowState state;
    ConfigForm form;
    SharedState shared;
    ConfigImage image;

    void open_window(uint8_t setup_byte1, uint8_t setup_byte2) {
        set_up_config_window_state(state, setup_byte1, setup_byte2);
        form_at_creation(state, form);
        image.bytes[kSetupByte1] = setup_byte1;
        image.bytes[kSetupByte2] = setup_byte2;
    }

    void SetUp() override {
        clear_config_window_state(state);
        clear_shared_state(shared);
        set_image_start_values(image);
        uint8_t* record = image.bytes;
        record[kFiveToneCount] = 3;
        std::memcpy(record + five_tone_entry(0), "12345", 5);
        std::memcpy(record + five_tone_entry(1), "2468A", 5);
        std::memcpy(record + five_tone_entry(2), "99999", 5);
        const uint8_t alarm0[] = {0x45, 0x8C, 0x20, 0x05, 0xFF};
        const uint8_t alarm2[] = {0xFC, 0xFF};
        const uint8_t alarm4[] = {0x01, 0xFF};
        std::memcpy(record + alarm_list(0), alarm0, sizeof alarm0);
        std::memcpy(record + alarm_list(2), alarm2, sizeof alarm2);
        std::memcpy(record + alarm_list(4), alarm4, sizeof alarm4);
        record[kDeadTime] = 30;
        record[kAlarmPause] = 180;
        record[kAlarmMemory] = 3;
        record[kManualAlarm] = 2;
        const uint8_t relays[] = {0x12, 10, 0xF0, 0, 0xAF, 180, 0xFF, 5};
        std::memcpy(record + kRelays, relays, sizeof relays);
        open_window(0x95, 0x01);  // alarms 0, 2, 4; five addresses; four relays; set A
    }

    // Shows the record, as after "Laden" or "Lesen".
    void show_record() {
        image_to_form(image, state, form, shared);
        reset_remembered_positions(state);
        shared.updating = 0;
    }
};

TEST_F(ConfigFormTest, WindowStateFromSetupBytes) {
    open_window(0x25, 0x01);
    EXPECT_EQ(2, state.fitted_count);
    EXPECT_EQ(0, state.fitted_alarms[0]);
    EXPECT_EQ(2, state.fitted_alarms[1]);
    EXPECT_EQ(kListEnd, state.fitted_alarms[2]);
    EXPECT_EQ(10, state.max_five_tone_count);
    EXPECT_EQ(0, state.relays_offered);
    EXPECT_STREQ("675Hz/1240Hz", fitted_alarm_text(state, 0));
    EXPECT_STREQ("675Hz/2280Hz", fitted_alarm_text(state, 1));
    EXPECT_FALSE(form.relay_controls_enabled);
    EXPECT_FALSE(form.relay_double_tone_enabled);
    EXPECT_EQ(kNoSelection, form.relay_selector);
    EXPECT_EQ(kRelayChoiceNone, form.relay_five_tone);
    EXPECT_EQ(2, form.relay_double_tone);  // "-keiner-"
    EXPECT_STREQ("0", form.on_time);
    EXPECT_EQ(0, form.number_items);
    EXPECT_EQ(kNoSelection, form.number);

    open_window(0x40, 0x00);
    EXPECT_EQ(2, state.relays_offered);
    EXPECT_EQ(5, state.max_five_tone_count);
    EXPECT_TRUE(form.relay_controls_enabled);
    open_window(0x80, 0x00);
    EXPECT_EQ(4, state.relays_offered);
    open_window(0xC0, 0x00);
    EXPECT_EQ(0, state.relays_offered);
    EXPECT_EQ(0, state.fitted_count);
    EXPECT_EQ(kNoSelection, form.alarm_selector);
    EXPECT_EQ(kNoSelection, form.manual);
}

TEST_F(ConfigFormTest, TonePairTextsOfBothSets) {
    const char* a[] = {"675Hz/1240Hz", "675Hz/1860Hz", "675Hz/2280Hz", "675Hz/825Hz", "675Hz/1010Hz"};
    const char* b[] = {"675Hz/1240Hz", "675Hz/1860hz", "1240Hz/2280Hz", "1240Hz/1860Hz", "1240Hz/1010Hz"};
    for (int alarm = 0; alarm < 5; ++alarm) {
        EXPECT_STREQ(a[alarm], alarm_tone_pair_text(alarm, true));
        EXPECT_STREQ(b[alarm], alarm_tone_pair_text(alarm, false));
    }
}

TEST_F(ConfigFormTest, RecordShowsInTheFields) {
    image_to_form(image, state, form, shared);
    EXPECT_EQ(1u, shared.updating);
    EXPECT_STREQ("ON05,H1220,OFF05", form.coding);
    EXPECT_STREQ("ON05,H1220,OFF05", state.alarm_texts[0]);
    EXPECT_STREQ("R60", state.alarm_texts[2]);
    EXPECT_STREQ("OFF01", state.alarm_texts[4]);
    EXPECT_EQ(0, form.alarm_selector);
    EXPECT_STREQ("30", form.dead_time);
    EXPECT_STREQ("180", form.alarm_pause);
    EXPECT_EQ(3, form.alarm_memory);
    EXPECT_STREQ("3", form.five_tone_count);
    EXPECT_EQ(3, form.number_items);
    EXPECT_EQ(0, form.number);
    EXPECT_STREQ("12345", form.five_tone);
    EXPECT_STREQ("2468A", state.five_tone_slots[1]);
    EXPECT_EQ(1, form.manual);  // alarm 2 is the second fitted alarm
    EXPECT_EQ(0, form.relay_selector);
    EXPECT_EQ(1, form.relay_five_tone);
    EXPECT_EQ(1, form.relay_double_tone);  // low nibble 2
    EXPECT_TRUE(form.relay_double_tone_enabled);
    EXPECT_STREQ("10", form.on_time);
}

TEST_F(ConfigFormTest, UnchangedFieldsWriteTheSameRecordBack) {
    show_record();
    ConfigImage written = image;
    std::memset(written.bytes, 0, kRecordBytes);
    ASSERT_EQ(0, form_to_image(form, state, written));
    // Bytes that no field covers: entries beyond the count, list bytes after
    // the end mark and the lists of unfitted alarms.
    ConfigImage expected = image;
    std::memset(expected.bytes + five_tone_entry(3), 0, 5 * 7);
    std::memset(expected.bytes + alarm_list(0) + 5, 0, 4);
    std::memset(expected.bytes + alarm_list(1), 0, 9);
    std::memset(expected.bytes + alarm_list(2) + 2, 0, 7);
    std::memset(expected.bytes + alarm_list(3), 0, 9);
    std::memset(expected.bytes + alarm_list(4) + 2, 0, 7);
    EXPECT_EQ(0, std::memcmp(expected.bytes, written.bytes, kRecordBytes));
}

TEST_F(ConfigFormTest, EditedFieldsReachTheRecord) {
    show_record();
    set_text(form.coding, "R01 R02");
    set_text(form.dead_time, "0");
    set_text(form.alarm_pause, "1000");  // only three characters count
    form.alarm_memory = 1;
    set_text(form.five_tone, "54321");
    form.manual = 2;
    form.relay_five_tone = 10;
    form.relay_double_tone = 3;  // "-keiner-"
    set_text(form.on_time, "");
    ASSERT_EQ(0, form_to_image(form, state, image));
    const uint8_t* record = image.bytes;
    EXPECT_EQ(0xC1, record[alarm_list(0)]);
    EXPECT_EQ(0xC2, record[alarm_list(0) + 1]);
    EXPECT_EQ(0xFF, record[alarm_list(0) + 2]);
    EXPECT_EQ(0, record[kDeadTime]);
    EXPECT_EQ(100, record[kAlarmPause]);
    EXPECT_EQ(1, record[kAlarmMemory]);
    EXPECT_EQ(0, std::memcmp(record + five_tone_entry(0), "54321", 5));
    EXPECT_EQ(4, record[kManualAlarm]);
    EXPECT_EQ(0xAF, record[relay_trigger(0)]);
    EXPECT_EQ(0, record[relay_on_time(0)]);  // empty "Ein-Zeit"
}

TEST_F(ConfigFormTest, ErrorsStopTheTransferAndKeepWhatWasWritten) {
    show_record();
    ConfigForm good = form;
    ConfigWindowState good_state = state;

    auto attempt = [&](void (*edit)(ConfigForm&, ConfigWindowState&)) {
        form = good;
        state = good_state;
        image.bytes[kDeadTime] = 77;
        edit(form, state);
        return form_to_image(form, state, image);
    };

    // The first alarm's list is written before the second alarm fails.
    EXPECT_EQ(1, attempt([](ConfigForm& f, ConfigWindowState& s) {
        set_text(f.coding, "ON07");
        set_text(s.alarm_texts[2], "ON7");
    }));
    EXPECT_EQ(0x47, image.bytes[alarm_list(0)]);
    EXPECT_EQ(77, image.bytes[kDeadTime]);
    EXPECT_EQ(1, attempt([](ConfigForm&, ConfigWindowState& s) { set_text(s.alarm_texts[4], " , "); }));
    EXPECT_EQ(1, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.coding, ""); }));

    EXPECT_EQ(2, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.dead_time, "300"); }));
    EXPECT_EQ(300 % 256, image.bytes[kDeadTime]);  // stored before its check
    EXPECT_EQ(2, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.dead_time, "181"); }));
    EXPECT_EQ(2, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.dead_time, ""); }));
    EXPECT_EQ(0, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.dead_time, "180"); }));
    EXPECT_EQ(3, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.alarm_pause, "999"); }));
    EXPECT_EQ(3, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.alarm_pause, ""); }));

    EXPECT_EQ(4, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.five_tone_count, "0"); }));
    EXPECT_EQ(4, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.five_tone_count, ""); }));
    EXPECT_EQ(4, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.five_tone_count, "11"); }));
    // Above the maximum of 5 but within the record's 10: accepted as it stands.
    EXPECT_EQ(5, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.five_tone_count, "7"); }));
    EXPECT_EQ(7, image.bytes[kFiveToneCount]);

    EXPECT_EQ(5, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.five_tone, "1234"); }));
    EXPECT_EQ(5, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.five_tone, "123456"); }));
    EXPECT_EQ(5, attempt([](ConfigForm&, ConfigWindowState& s) { set_text(s.five_tone_slots[2], "1234"); }));

    EXPECT_EQ(6, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.on_time, "181"); }));
    EXPECT_EQ(181, image.bytes[relay_on_time(0)]);
    EXPECT_EQ(0, attempt([](ConfigForm& f, ConfigWindowState&) { set_text(f.on_time, "180"); }));

    EXPECT_STREQ("Fehler: Codierung !", config_error_text(1));
    EXPECT_STREQ("Fehler: Totzeit !", config_error_text(2));
    EXPECT_STREQ("Fehler: Alarmpause !", config_error_text(3));
    EXPECT_STREQ("Fehler: Anzahl-5Ton !", config_error_text(4));
    EXPECT_STREQ("Fehler: 5-Ton !", config_error_text(5));
    EXPECT_STREQ("Fehler: Zusatzrelais !", config_error_text(6));
}

TEST_F(ConfigFormTest, NumericFieldsTakeDigitsOnly) {
    show_record();
    const ConfigForm good = form;
    set_text(form.dead_time, "1a");
    EXPECT_EQ(2, form_to_image(form, state, image));
    EXPECT_EQ(30, image.bytes[kDeadTime]);
    form = good;
    set_text(form.dead_time, "12a");
    EXPECT_EQ(2, form_to_image(form, state, image));
    form = good;
    set_text(form.dead_time, "100a");  // the fourth character is not taken
    EXPECT_EQ(0, form_to_image(form, state, image));
    form = good;
    set_text(form.alarm_pause, " 5");
    EXPECT_EQ(3, form_to_image(form, state, image));
    form = good;
    set_text(form.five_tone_count, "3x");
    EXPECT_EQ(4, form_to_image(form, state, image));
    form = good;
    set_text(form.on_time, "1O");
    EXPECT_EQ(6, form_to_image(form, state, image));
    EXPECT_EQ(255, image.bytes[relay_on_time(0)]);
}

TEST_F(ConfigFormTest, OnTimeAbove255IsCapturedAs255) {
    show_record();
    set_text(form.on_time, "256");  // would wrap to 0 and pass
    EXPECT_EQ(6, form_to_image(form, state, image));
    EXPECT_EQ(255, image.bytes[relay_on_time(0)]);
    set_text(form.on_time, "99999");
    EXPECT_EQ(6, form_to_image(form, state, image));
    EXPECT_EQ(255, state.relay_copy[0][1]);
}

TEST_F(ConfigFormTest, CodingTakesAtMost54Characters) {
    show_record();
    // 54 characters of separators and then an action: the action is cut off.
    std::string text(50, ' ');
    text += "ON01ON02";
    set_text(form.coding, text.substr(0, kAlarmTextBytes - 1).c_str());
    EXPECT_EQ(0, form_to_image(form, state, image));
    EXPECT_EQ(54u, std::strlen(state.alarm_texts[0]));
    EXPECT_EQ(0x41, image.bytes[alarm_list(0)]);
    EXPECT_EQ(0xFF, image.bytes[alarm_list(0) + 1]);
}

TEST_F(ConfigFormTest, CountAboveTenFromAFileStaysInsideTheBuffers) {
    image.bytes[kFiveToneCount] = 200;
    for (int n = 0; n < 10; ++n) std::memcpy(image.bytes + five_tone_entry(n), "00000", 5);
    show_record();
    EXPECT_STREQ("200", form.five_tone_count);
    EXPECT_EQ(10, form.number_items);
    EXPECT_EQ(4, form_to_image(form, state, image));
    EXPECT_EQ(200, image.bytes[kFiveToneCount]);
}

TEST_F(ConfigFormTest, ManualAlarmWithoutSelectionKeepsItsByte) {
    image.bytes[kManualAlarm] = 3;  // not fitted
    show_record();
    EXPECT_EQ(kNoSelection, form.manual);
    ASSERT_EQ(0, form_to_image(form, state, image));
    EXPECT_EQ(3, image.bytes[kManualAlarm]);
}

TEST_F(ConfigFormTest, UndefinedRelayCodeOffersNoRelaysAndPassesTheirBytesThrough) {
    open_window(0xD5, 0x01);
    show_record();
    EXPECT_FALSE(form.relay_controls_enabled);
    EXPECT_FALSE(form.relay_double_tone_enabled);
    EXPECT_EQ(kNoSelection, form.relay_selector);
    const ConfigImage before = image;
    form.relay_five_tone = 3;  // a disabled control's value is never captured
    set_text(form.on_time, "17");
    ASSERT_EQ(0, form_to_image(form, state, image));
    EXPECT_EQ(0, std::memcmp(before.bytes + kRelays, image.bytes + kRelays, 8));
}

TEST_F(ConfigFormTest, OnTimesAreCheckedOnlyForOfferedRelays) {
    // An unused relay record of a device without relays often holds 0xFF;
    // nothing on the form could mend it, so it must not block a save.
    for (const uint8_t relay_code : {0x00, 0xC0}) {
        std::memset(image.bytes + kRelays, 0xFF, 2 * kRelayCount);
        open_window(static_cast<uint8_t>(relay_code | 0x15), 0x01);
        show_record();
        const ConfigImage before = image;
        EXPECT_EQ(0, form_to_image(form, state, image)) << "relay code " << int(relay_code);
        EXPECT_EQ(0, std::memcmp(before.bytes + kRelays, image.bytes + kRelays, 2 * kRelayCount));
    }
    // Two relays offered: relay 3 is not, relays 0 and 1 are.
    image.bytes[relay_on_time(0)] = 10;
    image.bytes[relay_on_time(1)] = 181;
    open_window(0x55, 0x01);
    show_record();
    EXPECT_EQ(6, form_to_image(form, state, image));
    image.bytes[relay_on_time(1)] = 180;
    show_record();
    EXPECT_EQ(0, form_to_image(form, state, image));
    EXPECT_EQ(0xFF, image.bytes[relay_on_time(3)]);
}

TEST_F(ConfigFormTest, RelaySelectorCapturesTheShownRelayAndShowsTheNext) {
    show_record();
    form.relay_five_tone = 5;
    form.relay_double_tone = 2;  // alarm 4
    set_text(form.on_time, "42");
    form.relay_selector = 1;
    const uint32_t changes = on_relay_selector_changed(form, state, shared);
    EXPECT_EQ(0x54, state.relay_copy[0][0]);
    EXPECT_EQ(42, state.relay_copy[0][1]);
    EXPECT_TRUE(changes & changed_bit(kIdRelayFiveTone));
    EXPECT_TRUE(changes & changed_bit(kIdOnTime));
    EXPECT_EQ(kRelayChoiceNone, form.relay_five_tone);  // 0xF0
    EXPECT_EQ(0, form.relay_double_tone);
    EXPECT_FALSE(form.relay_double_tone_enabled);
    EXPECT_STREQ("0", form.on_time);

    form.relay_selector = 2;
    on_relay_selector_changed(form, state, shared);
    EXPECT_EQ(10, form.relay_five_tone);  // 0xAF: "alle", "-keiner-"
    EXPECT_EQ(3, form.relay_double_tone);
    EXPECT_TRUE(form.relay_double_tone_enabled);
    EXPECT_STREQ("180", form.on_time);
    EXPECT_EQ(2, state.remembered_relay);
}

TEST_F(ConfigFormTest, NoTriggerChoiceSelectsKeinerAndDisables) {
    open_window(0x87, 0x01);  // three fitted alarms, four relays
    form.relay_five_tone = 2;
    on_relay_five_tone_changed(form, state, shared);
    EXPECT_TRUE(form.relay_double_tone_enabled);
    form.relay_double_tone = 1;
    form.relay_five_tone = kRelayChoiceNone;
    const uint32_t changes = on_relay_five_tone_changed(form, state, shared);
    EXPECT_EQ(3, form.relay_double_tone);
    EXPECT_FALSE(form.relay_double_tone_enabled);
    EXPECT_TRUE(changes & changed_bit(kIdRelayDoubleTone));
    EXPECT_TRUE(changes & kChangedEnables);
}

TEST_F(ConfigFormTest, CountAboveTheMaximumIsCutBackAndFillsNummer) {
    open_window(0x01, 0x00);  // maximum 5
    set_text(form.five_tone, "ABCDE");
    set_text(form.five_tone_count, "12");
    const uint32_t changes = on_five_tone_count_changed(form, state, shared);
    EXPECT_STREQ("5", form.five_tone_count);
    EXPECT_EQ(5, form.number_items);
    EXPECT_EQ(0, form.number);
    EXPECT_TRUE(changes & changed_bit(kIdFiveToneCount));
    EXPECT_TRUE(changes & kChangedNumberItems);
    // The shown text is kept at the remembered position, then entry 0 shows.
    EXPECT_STREQ("ABCDE", state.five_tone_slots[0]);
    EXPECT_STREQ("ABCDE", form.five_tone);

    set_text(form.five_tone_count, "3");
    EXPECT_FALSE(on_five_tone_count_changed(form, state, shared) & changed_bit(kIdFiveToneCount));
    EXPECT_EQ(3, form.number_items);
}

TEST_F(ConfigFormTest, CountOfZeroOrNonDigitsOrWhileUpdatingDoesNothing) {
    open_window(0x01, 0x00);
    set_text(form.five_tone_count, "4");
    on_five_tone_count_changed(form, state, shared);
    for (const char* text : {"0", "", "00", "x", "4x"}) {
        set_text(form.five_tone_count, text);
        EXPECT_EQ(0u, on_five_tone_count_changed(form, state, shared)) << text;
        EXPECT_EQ(4, form.number_items) << text;
    }
    shared.updating = 1;
    set_text(form.five_tone_count, "2");
    EXPECT_EQ(0u, on_five_tone_count_changed(form, state, shared));
    EXPECT_EQ(4, form.number_items);
}

TEST_F(ConfigFormTest, SwitchingEntriesKeepsFiveCharacters) {
    show_record();
    set_text(form.five_tone, "777777");
    form.number = 2;
    EXPECT_EQ(changed_bit(kIdFiveTone), on_number_changed(form, state, shared));
    EXPECT_STREQ("77777", state.five_tone_slots[0]);
    EXPECT_STREQ("99999", form.five_tone);
    form.number = 0;
    on_number_changed(form, state, shared);
    EXPECT_STREQ("77777", form.five_tone);
}

TEST_F(ConfigFormTest, AlarmTextsSurviveReopeningTheWindow) {
    show_record();
    set_text(form.coding, "ON33");
    form.alarm_selector = 1;
    EXPECT_EQ(changed_bit(kIdCoding), on_alarm_selector_changed(form, state, shared));
    EXPECT_STREQ("ON33", state.alarm_texts[0]);
    EXPECT_STREQ("R60", form.coding);

    open_window(0x95, 0x01);
    EXPECT_STREQ("", form.coding);
    form.alarm_selector = 2;
    on_alarm_selector_changed(form, state, shared);
    EXPECT_STREQ("OFF01", form.coding);
    EXPECT_STREQ("", state.alarm_texts[0]);  // the empty field went to position 0
    EXPECT_STREQ("R60", state.alarm_texts[2]);
}

TEST_F(ConfigFormTest, HandlersIgnoreChangesWhileUpdating) {
    show_record();
    shared.updating = 1;
    form.alarm_selector = 1;
    form.number = 1;
    form.relay_selector = 1;
    form.relay_five_tone = kRelayChoiceNone;
    EXPECT_EQ(0u, on_alarm_selector_changed(form, state, shared));
    EXPECT_EQ(0u, on_number_changed(form, state, shared));
    EXPECT_EQ(0u, on_relay_selector_changed(form, state, shared));
    EXPECT_EQ(0u, on_relay_five_tone_changed(form, state, shared));
    EXPECT_STREQ("ON05,H1220,OFF05", form.coding);
    EXPECT_EQ(0, state.remembered_relay);
}

TEST_F(ConfigFormTest, HInTheNinthPlaceIsShownBareAndRefused) {
    const uint8_t list[] = {0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x8C};
    std::memcpy(image.bytes + alarm_list(0), list, sizeof list);
    show_record();
    EXPECT_STREQ("ON01,ON02,ON03,ON04,ON05,ON06,ON07,ON08,H12", form.coding);
    EXPECT_EQ(1, form_to_image(form, state, image));
}

}  // namespace
}  // namespace zav
