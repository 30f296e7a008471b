// The configuration image: the program's one in-memory copy of the device's
// parameters, shared by every window and worker.
//
//   bytes   0..107  configuration record (file, read '-', program '.')
//   bytes 108..111  always zero
//   bytes 112..116  setup block (identify '+', setup write '*')
#pragma once

#include <cstddef>
#include <cstdint>

namespace zav {

constexpr size_t kImageBytes = 117;
constexpr size_t kRecordBytes = 108;
constexpr size_t kDeviceCopyBytes = 110;  // record, sum byte, complement byte

// Offsets of the record's fields.
constexpr size_t kFiveToneCount = 0;
constexpr size_t kFiveToneEntries = 1;      // entry n at 1 + 5n
constexpr size_t kFiveToneEntryBytes = 5;
constexpr size_t kFiveToneEntrySlots = 10;
constexpr size_t kAlarmLists = 51;          // list of alarm a at 51 + 9a
constexpr size_t kAlarmListBytes = 9;
constexpr size_t kAlarmCount = 5;
constexpr size_t kDeadTime = 96;
constexpr size_t kAlarmPause = 97;
constexpr size_t kAlarmMemory = 98;
constexpr size_t kManualAlarm = 99;
constexpr size_t kRelays = 100;             // relay r: trigger at 100 + 2r, on-time at 101 + 2r
constexpr size_t kRelayCount = 4;
constexpr size_t kDeviceSum = 108;          // in a device copy only
constexpr size_t kDeviceComplement = 109;

// Offsets of the setup block inside the image.
constexpr size_t kSetupBlock = 112;
constexpr size_t kSetupBlockBytes = 5;
constexpr size_t kSetupByte1 = 112;
constexpr size_t kSetupByte2 = 113;
constexpr size_t kSetupCheck = 114;
constexpr size_t kVersionMajor = 115;
constexpr size_t kVersionMinor = 116;

constexpr uint8_t kListEnd = 0xFF;

struct ConfigImage {
    uint8_t bytes[kImageBytes];
};

inline size_t five_tone_entry(size_t n) { return kFiveToneEntries + kFiveToneEntryBytes * n; }
inline size_t alarm_list(size_t alarm) { return kAlarmLists + kAlarmListBytes * alarm; }
inline size_t relay_trigger(size_t r) { return kRelays + 2 * r; }
inline size_t relay_on_time(size_t r) { return kRelays + 2 * r + 1; }

// Start values: an unread record (all 0xFF) and a zero setup block.
void set_image_start_values(ConfigImage& image);

// A device copy (110 bytes) is valid when its sum byte is the 8-bit sum of
// the record and sum + complement is exactly 255.
bool device_copy_valid(const uint8_t* copy);

}  // namespace zav
