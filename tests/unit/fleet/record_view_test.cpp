#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "fleet/record/record_fields.h"
#include "fleet/record/record_view.h"

namespace zav {
namespace {

using Record = std::array<uint8_t, kRecordBytes>;
using Lines = std::vector<std::string>;

// Alarms 0, 2 and 4 with the set-B tone pairs, five addresses at most, four
// relays.
constexpr uint8_t kSetup1 = 0x95;
constexpr uint8_t kSetup2 = 0x00;

// A record the window takes back unchanged: two addresses, one H action.
Record accepted_record() {
    Record record;
    record.fill(0xFF);
    record[kFiveToneCount] = 2;
    std::memcpy(&record[five_tone_entry(0)], "21401", 5);
    std::memcpy(&record[five_tone_entry(1)], "21402", 5);
    const uint8_t alarm0[] = {0x45, 0x8C, 0x20, 0x05, 0xFF};
    std::memcpy(&record[alarm_list(0)], alarm0, sizeof alarm0);
    record[alarm_list(2)] = 0xC1;
    record[alarm_list(2) + 1] = 0xFF;
    record[alarm_list(4)] = 0x3C;
    record[alarm_list(4) + 1] = 0xFF;
    record[kDeadTime] = 30;
    record[kAlarmPause] = 180;
    record[kAlarmMemory] = 1;
    record[kManualAlarm] = 2;
    const uint8_t relays[] = {0xA2, 10, 0xFF, 0, 0x24, 180, 0x01, 5};
    std::memcpy(&record[kRelays], relays, sizeof relays);
    return record;
}

Lines lines_of(const std::vector<Field>& fields) {
    Lines lines;
    for (const Field& field : fields) lines.push_back(field.name + " | " + field.value);
    return lines;
}

RecordView view_of(const Record& record, uint8_t setup1 = kSetup1, uint8_t setup2 = kSetup2) {
    return view_record(record.data(), setup1, setup2);
}

TEST(RecordView, EveryFieldAsTheWindowShowsIt) {
    Record record = accepted_record();
    // A count above this fitting's five, seven entries; an "Alarmspeicher"
    // byte that names no item.
    record[kFiveToneCount] = 7;
    const char* more[] = {"21403", "21404", "21405", "21406", "21407"};
    for (int n = 2; n < 7; ++n) std::memcpy(&record[five_tone_entry(n)], more[n - 2], 5);
    record[kAlarmMemory] = 5;

    const RecordView view = view_of(record);
    EXPECT_EQ((Lines{"Codierung 675Hz/1240Hz | ON05,H1220,OFF05",
                     "Codierung 1240Hz/2280Hz | R01",
                     "Codierung 1240Hz/1010Hz | OFF60",
                     "Totzeit | 30 s",
                     "Alarmpause | 180 s",
                     "Alarmspeicher | (keine Auswahl, Adresse 98: 0x05)",
                     "Anzahl-5Ton | 7",
                     "5-Ton Nummer 1 | 21401", "5-Ton Nummer 2 | 21402", "5-Ton Nummer 3 | 21403",
                     "5-Ton Nummer 4 | 21404", "5-Ton Nummer 5 | 21405", "5-Ton Nummer 6 | 21406",
                     "5-Ton Nummer 7 | 21407",
                     "Hand | 1240Hz/2280Hz",
                     "Zusatzrelais 1 5-Ton | alle", "Zusatzrelais 1 Doppel-Ton | 1240Hz/2280Hz",
                     "Zusatzrelais 1 Ein-Zeit | 10 s",
                     "Zusatzrelais 2 5-Ton | --", "Zusatzrelais 2 Doppel-Ton | -keiner-",
                     "Zusatzrelais 2 Ein-Zeit | 0 s",
                     "Zusatzrelais 3 5-Ton | 3", "Zusatzrelais 3 Doppel-Ton | 1240Hz/1010Hz",
                     "Zusatzrelais 3 Ein-Zeit | 180 s",
                     // Alarm 1 is not fitted: no double-tone trigger, and the
                     // byte's alarm is named.
                     "Zusatzrelais 4 5-Ton | 1",
                     "Zusatzrelais 4 Doppel-Ton | -keiner- (675Hz/1860hz nicht bestückt)",
                     "Zusatzrelais 4 Ein-Zeit | 5 s"}),
              lines_of(fields_of(view)));
    EXPECT_EQ(0, view.check_code);
    EXPECT_EQ(4, view.alarms[2].alarm);
}

TEST(RecordView, CheckCodeOnlyForOfferedRelays) {
    Record record = accepted_record();
    record[relay_on_time(3)] = 0xFF;  // the fourth relay, offered by 0x95 only
    EXPECT_EQ(6, view_of(record).check_code);
    EXPECT_EQ(0, view_of(record, 0x55, kSetup2).check_code);  // two relays
    record[relay_on_time(1)] = 181;
    EXPECT_EQ(6, view_of(record, 0x55, kSetup2).check_code);
}

// The shown relay is captured from its controls: a trigger naming an
// unfitted alarm goes back as "-keiner-".
TEST(RecordView, TakenBackAsTheWindowWritesIt) {
    Record record = accepted_record();
    record[relay_trigger(0)] = 0x01;
    Record taken;
    ASSERT_EQ(0, record_as_window_takes_it(record.data(), kSetup1, kSetup2, taken.data()));
    Record expected = record;
    expected[relay_trigger(0)] = 0x0F;
    EXPECT_EQ(expected, taken);
}

TEST(RecordView, DifferingFieldsLineUpByName) {
    const Record first = accepted_record();
    Record second = first;
    second[kDeadTime] = 45;
    second[kFiveToneCount] = 3;
    std::memcpy(&second[five_tone_entry(2)], "21403", 5);

    const std::vector<FieldDifference> differences = differing_fields(view_of(first), view_of(second));
    ASSERT_EQ(3u, differences.size());
    EXPECT_EQ("Totzeit", differences[0].name);
    EXPECT_EQ("30 s", differences[0].first->value);
    EXPECT_EQ(45, differences[0].second->number);
    EXPECT_EQ("Anzahl-5Ton", differences[1].name);
    EXPECT_EQ("5-Ton Nummer 3", differences[2].name);
    EXPECT_FALSE(differences[2].first.has_value());
    EXPECT_EQ("21403", differences[2].second->value);
}

TEST(RecordView, HiddenDifferencesAreThoseNoFieldShows) {
    const Record first = accepted_record();
    Record second = first;
    second[five_tone_entry(8)] = '9';   // beyond the count
    second[alarm_list(1)] = 0x41;       // alarm 1 is not fitted
    second[kDeadTime] = 31;
    // After the first record's end mark, but inside the second's longer list.
    Record longer = first;
    longer[alarm_list(0) + 5] = 0xAA;
    second[alarm_list(0) + 4] = 0x06;
    second[alarm_list(0) + 5] = 0xFF;
    EXPECT_EQ((std::vector<size_t>{five_tone_entry(8), alarm_list(1)}),
              hidden_differences(longer.data(), second.data(), kSetup1, kSetup2));
}

}  // namespace
}  // namespace zav
