// The virtual ZAV 160: the device's side of the serial protocol, without any
// I/O. A front end feeds it the bytes it reads from the line and writes out
// what the device has queued in `output`.
//
// The device is purely reactive: every answer it gives is triggered by a
// frame from the program, so it needs no clock. Faults are set between
// transactions to make it misbehave in the ways a real device or a bad line
// can.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/link/shared_state.h"
#include "core/link/frame_codec.h"

namespace zav::sim {

constexpr size_t kSetupBytes = 5;
constexpr size_t kRecordBytes = 108;
constexpr size_t kStoredBytes = 110;  // record, sum byte, complement byte
constexpr size_t kReadBlockBytes = 8;
constexpr size_t kProgramBlockBytes = 16;
constexpr uint32_t kLastBlock = 0xFFFF;
constexpr int32_t kNoBlock = -1;
constexpr size_t kOutputBytes = 4096;

// Every fault stays in force until cleared, unless it says otherwise.
struct Faults {
    bool silent;                     // answers nothing at all
    bool reject_commands;            // answers every command with F1
    uint32_t wrong_length_idents;    // the next so many identification frames are 4 bytes long
    bool bad_check;                  // reports its setup block with a wrong check byte
    bool read_out_of_order;          // each read starts with block 1 instead of block 0
    int32_t read_silent_after;       // read: sends nothing after this block
    int32_t program_request_block;   // programming: answers this block once with a block request...
    int32_t program_requested;       // ...for this block
    int32_t program_refuse_block;    // programming: F1 instead of 60 after acknowledging this block
    int32_t program_silent_block;    // programming: no answer at all to this block
    bool refuse_setup;               // setup write: F1 instead of 60 after the acknowledgement
    bool ignore_setup;               // setup write: acknowledges and completes, keeps the old block
    int32_t vanish_after_frames;     // the line goes dead when this many more program frames have come
    int32_t program_stall_block;     // programming: acknowledges this block but never confirms it
    bool stall_setup;                // setup write: acknowledges the block but never confirms it
};

// What a bad line does to one frame.
enum class NoiseKind : uint8_t { none, garbage, corrupt, drop, duplicate };

// Line noise between the device and the program, from a seeded generator so
// that a failing run can be repeated. A one-shot fault hits one chosen frame;
// the random mode hits any frame with a given chance. Frames from the program
// are only dropped or duplicated: a data byte changed on its way to the
// device would be stored, and no answer of the device could show it.
struct LineNoise {
    NoiseKind kind;          // one-shot: what happens to the chosen frame (none: no one-shot)
    bool to_device;          // one-shot: it hits a frame from the program, else one from the device
    uint32_t countdown;      // one-shot: frames of that direction to let pass first
    uint32_t random_percent; // random mode: chance of a fault per frame, either direction (0: off)
    bool random_to_program;  // random mode: only frames to the program are hit
    uint32_t state;          // xorshift32 state, never 0
    uint32_t hits;           // faults applied so far
};

enum class Mode : uint8_t { idle, identifying, reading, programming, setup_writing };

// Called for every frame in either direction, with its payload.
using FrameLogHook = void (*)(void* context, bool from_device, const uint8_t* payload, size_t length);

struct Device {
    uint8_t setup[kSetupBytes];
    uint8_t stored[kStoredBytes];   // what a read returns; a programming replaces it
    Faults faults;
    Mode mode;
    uint32_t block_sent;            // read: the block last sent
    bool request_used;              // programming: the one block request has been made
    uint32_t reads, programmings, setup_writes;  // completed transactions, for tests
    LineNoise noise;
    bool vanish_now;                // the front end must hang the line up (vanish_after_frames ran out)

    uint8_t output[kOutputBytes];   // bytes for the line, appended until the front end takes them
    size_t output_length;

    FrameLogHook log;
    void* log_context;

    SharedState codec_state;        // the device decodes with its own instances
    FrameBuffers frames;
};

// A plausible device: all five double-tone alarms, 10 addresses, relays up to
// 2, set A, version 2.30, and a sensible configuration.
void device_init(Device& device);
void clear_faults(Faults& faults);

// Starts line noise from this seed (0 is taken as 1). A one-shot fault:
// kind, direction and the number of frames of that direction to let pass.
void set_noise_seed(LineNoise& noise, uint32_t seed);
void set_one_shot_noise(LineNoise& noise, NoiseKind kind, bool to_device, uint32_t frames_first);
void clear_noise(LineNoise& noise);
// The same device after a power cycle: mid-transaction state and half
// received frames are gone, memory and faults stay.
void device_restart(Device& device);

// Consumes bytes from the line; answers are appended to device.output.
void device_receive(Device& device, const uint8_t* bytes, size_t n);

// The 7-bit check byte of a setup word (x^7 + x^5 + 1), as the device's
// firmware computes it.
uint8_t setup_check(uint8_t setup_byte1, uint8_t setup_byte2);
// Gives a setup block the check byte that fits its first two bytes.
void seal_setup(uint8_t* setup);

// Writes a record into the device's memory with fitting sum and complement.
void store_record(Device& device, const uint8_t* record);
// Leaves the device with an erased configuration memory (all 0xFF).
void erase_record(Device& device);
bool stored_record_valid(const Device& device);

// The default configuration the device starts with.
void default_record(uint8_t* record);

}  // namespace zav::sim
