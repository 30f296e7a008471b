#include "sim/device.h"

#include <cstring>

namespace zav::sim {
namespace {

constexpr uint8_t kIdentify = '+';
constexpr uint8_t kRead = '-';
constexpr uint8_t kProgram = '.';
constexpr uint8_t kSetupWrite = '*';
constexpr uint8_t kAck = 0xF0;
constexpr uint8_t kReject = 0xF1;
constexpr uint8_t kBlockTaken = 0x60;
constexpr uint8_t kBlockRequest = 0x63;

// The read sends 13 ordinary blocks of 8 bytes (0..103), then the last block
// with the remaining record bytes, the sum and the complement.
constexpr uint32_t kReadBlocks = 13;
// Programming sends 6 ordinary blocks of 16 bytes, then the last block with
// the remaining 12 record bytes.
constexpr size_t kProgramLastPosition = 96;

uint32_t next_random(LineNoise& noise) {
    uint32_t x = noise.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noise.state = x;
    return x;
}

// What the line does to the next frame in this direction.
NoiseKind noise_for(Device& device, bool to_device) {
    LineNoise& noise = device.noise;
    if (noise.kind != NoiseKind::none && noise.to_device == to_device) {
        if (noise.countdown == 0) {
            const NoiseKind kind = noise.kind;
            noise.kind = NoiseKind::none;
            ++noise.hits;
            return kind;
        }
        --noise.countdown;
    }
    if (noise.random_percent > 0 && !(to_device && noise.random_to_program) &&
        next_random(noise) % 100 < noise.random_percent) {
        ++noise.hits;
        if (to_device) return next_random(noise) % 2 ? NoiseKind::drop : NoiseKind::duplicate;
        static const NoiseKind kKinds[] = {NoiseKind::garbage, NoiseKind::corrupt, NoiseKind::drop,
                                           NoiseKind::duplicate};
        return kKinds[next_random(noise) % 4];
    }
    return NoiseKind::none;
}

bool output_has_room(const Device& device, size_t bytes) { return device.output_length + bytes <= kOutputBytes; }

void append_frame(Device& device, const uint8_t* payload, size_t length) {
    // A frame is at most twice its payload plus two; drop what would not fit
    // rather than overrun the queue (the front end empties it after every call).
    if (!output_has_room(device, 2 * length + 2)) return;
    device.output_length += encode_frame(payload, length, device.output + device.output_length);
}

// One to eight bytes of rubbish before the frame. None is a start byte, so
// a sound receiver skips them all.
void append_garbage(Device& device) {
    const size_t count = 1 + next_random(device.noise) % 8;
    if (!output_has_room(device, count)) return;
    for (size_t i = 0; i < count; ++i) {
        uint8_t byte = static_cast<uint8_t>(next_random(device.noise));
        if (byte == kFrameStart) byte = 0x00;
        device.output[device.output_length++] = byte;
    }
}

// The frame with one byte on the wire changed, start and end bytes included.
void append_corrupted(Device& device, const uint8_t* payload, size_t length) {
    const size_t before = device.output_length;
    append_frame(device, payload, length);
    const size_t wire = device.output_length - before;
    if (wire == 0) return;
    const size_t at = before + next_random(device.noise) % wire;
    uint8_t flip = static_cast<uint8_t>(next_random(device.noise));
    if (flip == 0) flip = 0x01;
    device.output[at] = static_cast<uint8_t>(device.output[at] ^ flip);
}

// The log shows what the device meant to send; the noise comes after it.
void send(Device& device, const uint8_t* payload, size_t length) {
    if (device.log) device.log(device.log_context, true, payload, length);
    switch (noise_for(device, false)) {
        case NoiseKind::drop:
            return;
        case NoiseKind::garbage:
            append_garbage(device);
            append_frame(device, payload, length);
            return;
        case NoiseKind::corrupt:
            append_corrupted(device, payload, length);
            return;
        case NoiseKind::duplicate:
            append_frame(device, payload, length);
            append_frame(device, payload, length);
            return;
        case NoiseKind::none:
            append_frame(device, payload, length);
            return;
    }
}

void send_byte(Device& device, uint8_t byte) { send(device, &byte, 1); }

void send_setup(Device& device) {
    uint8_t block[kSetupBytes];
    std::memcpy(block, device.setup, kSetupBytes);
    if (device.faults.bad_check) block[2] = static_cast<uint8_t>(setup_check(block[0], block[1]) ^ 0x15);
    size_t length = kSetupBytes;
    if (device.faults.wrong_length_idents > 0) {
        --device.faults.wrong_length_idents;
        length = kSetupBytes - 1;
    }
    send(device, block, length);
}

void send_read_block(Device& device, uint32_t number) {
    uint8_t payload[2 + kReadBlockBytes];
    size_t position = (number == kLastBlock ? kReadBlocks : number) * kReadBlockBytes;
    for (size_t i = 0; i < kReadBlockBytes; ++i) {
        size_t at = position + i;
        payload[2 + i] = at < kStoredBytes ? device.stored[at] : 0xFF;
    }
    payload[0] = static_cast<uint8_t>(number & 0xFF);
    payload[1] = static_cast<uint8_t>(number >> 8);
    send(device, payload, sizeof payload);
    device.block_sent = number;
}

uint32_t block_after(uint32_t number) { return number + 1 >= kReadBlocks ? kLastBlock : number + 1; }

bool read_stops_after(const Device& device, uint32_t number) {
    return device.faults.read_silent_after != kNoBlock &&
           static_cast<uint32_t>(device.faults.read_silent_after) == number;
}

void start_command(Device& device, uint8_t command) {
    if (device.faults.reject_commands) {
        device.mode = Mode::idle;
        send_byte(device, kReject);
        return;
    }
    switch (command) {
        case kIdentify:
            send_byte(device, kAck);
            send_setup(device);
            device.mode = Mode::identifying;
            break;
        case kRead:
            send_byte(device, kAck);
            device.mode = Mode::reading;
            send_read_block(device, device.faults.read_out_of_order ? 1 : 0);
            break;
        case kProgram:
            send_byte(device, kAck);
            device.mode = Mode::programming;
            device.request_used = false;
            break;
        case kSetupWrite:
            send_byte(device, kAck);
            device.mode = Mode::setup_writing;
            break;
        default:
            break;
    }
}

void on_identification_answer(Device& device, uint8_t answer) {
    if (answer == kReject) {
        send_setup(device);  // the program asks for the frame again
    } else if (answer == kAck) {
        device.mode = Mode::idle;
    }
}

void on_read_answer(Device& device, const uint8_t* payload, size_t length) {
    if (payload[0] == kBlockRequest && length >= 3) {
        send_read_block(device, static_cast<uint32_t>(payload[1] | payload[2] << 8));
        return;
    }
    if (payload[0] != kBlockTaken) return;
    if (device.block_sent == kLastBlock) {
        device.mode = Mode::idle;
        ++device.reads;
        return;
    }
    if (read_stops_after(device, device.block_sent)) {
        device.mode = Mode::idle;
        return;
    }
    send_read_block(device, block_after(device.block_sent));
}

void on_program_block(Device& device, const uint8_t* payload, size_t length) {
    if (length != 2 + kProgramBlockBytes) return;
    uint32_t number = static_cast<uint32_t>(payload[0] | payload[1] << 8);
    const Faults& faults = device.faults;
    if (faults.program_silent_block != kNoBlock && static_cast<uint32_t>(faults.program_silent_block) == number)
        return;
    if (!device.request_used && faults.program_request_block != kNoBlock &&
        static_cast<uint32_t>(faults.program_request_block) == number) {
        device.request_used = true;
        uint32_t wanted = static_cast<uint32_t>(faults.program_requested);
        // The firmware puts one byte between the request byte and the number.
        const uint8_t request[4] = {kBlockRequest, 0x00, static_cast<uint8_t>(wanted & 0xFF),
                                    static_cast<uint8_t>(wanted >> 8)};
        send(device, request, sizeof request);
        return;
    }
    send_byte(device, kAck);
    if (faults.program_stall_block != kNoBlock && static_cast<uint32_t>(faults.program_stall_block) == number)
        return;
    if (faults.program_refuse_block != kNoBlock && static_cast<uint32_t>(faults.program_refuse_block) == number) {
        send_byte(device, kReject);
        device.mode = Mode::idle;
        return;
    }
    size_t position = number == kLastBlock ? kProgramLastPosition : number * kProgramBlockBytes;
    for (size_t i = 0; i < kProgramBlockBytes && position + i < kRecordBytes; ++i)
        device.stored[position + i] = payload[2 + i];
    send_byte(device, kBlockTaken);
    if (number == kLastBlock) {
        // The check bytes are written once the whole record has arrived, so a
        // programming broken off midway leaves a copy that fails its check.
        uint8_t sum = 0;
        for (size_t i = 0; i < kRecordBytes; ++i) sum = static_cast<uint8_t>(sum + device.stored[i]);
        device.stored[kRecordBytes] = sum;
        device.stored[kRecordBytes + 1] = static_cast<uint8_t>(255 - sum);
        device.mode = Mode::idle;
        ++device.programmings;
    }
}

void on_setup_block(Device& device, const uint8_t* payload, size_t length) {
    if (length != kSetupBytes) return;
    send_byte(device, kAck);
    if (device.faults.stall_setup) return;
    if (device.faults.refuse_setup) {
        send_byte(device, kReject);
    } else {
        if (!device.faults.ignore_setup) std::memcpy(device.setup, payload, kSetupBytes);
        send_byte(device, kBlockTaken);
        ++device.setup_writes;
    }
    device.mode = Mode::idle;
}

bool is_command(uint8_t byte) {
    return byte == kIdentify || byte == kRead || byte == kProgram || byte == kSetupWrite;
}

// A frame as the program sent it, after the line has had its way.
void on_sound_frame(Device& device, const uint8_t* payload, size_t length) {
    if (device.faults.silent || length == 0) return;
    // A one-byte command starts over whatever the device was doing: the
    // program sends commands only at the start of a transaction.
    if (length == 1 && is_command(payload[0])) {
        start_command(device, payload[0]);
        return;
    }
    switch (device.mode) {
        case Mode::identifying:
            if (length == 1) on_identification_answer(device, payload[0]);
            break;
        case Mode::reading:
            on_read_answer(device, payload, length);
            break;
        case Mode::programming:
            on_program_block(device, payload, length);
            break;
        case Mode::setup_writing:
            on_setup_block(device, payload, length);
            break;
        case Mode::idle:
            break;
    }
}

void on_frame(Device& device, const uint8_t* payload, size_t length) {
    if (device.vanish_now) return;  // the line is dead; nothing more arrives
    if (device.log) device.log(device.log_context, false, payload, length);
    if (device.faults.vanish_after_frames > 0 && --device.faults.vanish_after_frames == 0) {
        device.faults.vanish_after_frames = kNoBlock;
        device.vanish_now = true;
        return;
    }
    switch (noise_for(device, true)) {
        case NoiseKind::drop:
            return;
        case NoiseKind::duplicate:
            on_sound_frame(device, payload, length);
            on_sound_frame(device, payload, length);
            return;
        default:
            on_sound_frame(device, payload, length);
            return;
    }
}

void on_frame_stored(void* context) {
    Device& device = *static_cast<Device*>(context);
    const uint8_t* slot = take_frame(device.frames.ring);
    on_frame(device, slot + 1, slot[0]);
}

}  // namespace

uint8_t setup_check(uint8_t setup_byte1, uint8_t setup_byte2) {
    uint32_t reg = static_cast<uint32_t>(setup_byte1) | static_cast<uint32_t>(setup_byte2) << 8;
    for (int i = 0; i < 23; ++i) {
        reg <<= 1;
        if (reg & (1u << 23)) reg ^= 0xA1u << 16;
    }
    return static_cast<uint8_t>(reg >> 16);
}

void seal_setup(uint8_t* setup) { setup[2] = setup_check(setup[0], setup[1]); }

void clear_faults(Faults& faults) {
    std::memset(&faults, 0, sizeof faults);
    faults.read_silent_after = kNoBlock;
    faults.program_request_block = kNoBlock;
    faults.program_requested = kNoBlock;
    faults.program_refuse_block = kNoBlock;
    faults.program_silent_block = kNoBlock;
    faults.vanish_after_frames = kNoBlock;
    faults.program_stall_block = kNoBlock;
}

void set_noise_seed(LineNoise& noise, uint32_t seed) { noise.state = seed == 0 ? 1 : seed; }

void set_one_shot_noise(LineNoise& noise, NoiseKind kind, bool to_device, uint32_t frames_first) {
    noise.kind = kind;
    noise.to_device = to_device;
    noise.countdown = frames_first;
}

void clear_noise(LineNoise& noise) {
    const uint32_t hits = noise.hits;
    std::memset(&noise, 0, sizeof noise);
    noise.state = 1;
    noise.hits = hits;
}

void device_restart(Device& device) {
    device.mode = Mode::idle;
    device.output_length = 0;
    device.vanish_now = false;
    clear_shared_state(device.codec_state);
    std::memset(&device.frames, 0, sizeof device.frames);
}

void default_record(uint8_t* record) {
    std::memset(record, 0xFF, kRecordBytes);
    static const char kAddresses[] = "12345" "23456" "34567";
    record[0] = 3;
    std::memcpy(record + 1, kAddresses, 15);
    // Alarm action lists: alarm 0 switches output 1 on, alarm 1 output 2 on
    // and 3 off, alarm 2 an H action with its parameter, alarm 3 output 10
    // off, alarm 4 output 60 on. Every fitted alarm has a list, so what is
    // read can be programmed back as it stands.
    const uint8_t lists[5][3] = {{0x41, 0xFF, 0xFF}, {0x42, 0x03, 0xFF}, {0x85, 0x10, 0xFF},
                                 {0x0A, 0xFF, 0xFF}, {0x7C, 0xFF, 0xFF}};
    for (size_t a = 0; a < 5; ++a) std::memcpy(record + 51 + 9 * a, lists[a], 3);
    record[96] = 10;   // dead time
    record[97] = 5;    // alarm pause
    record[98] = 1;    // alarm memory "1"
    record[99] = 0;    // manual alarm: alarm 0
    record[100] = 0x0F; record[101] = 5;   // relay 0: 5-tone entry 0, 5 s
    record[102] = 0xF1; record[103] = 20;  // relay 1: alarm 1, 20 s
    record[104] = 0xFF; record[105] = 0;
    record[106] = 0xFF; record[107] = 0;
}

void store_record(Device& device, const uint8_t* record) {
    std::memcpy(device.stored, record, kRecordBytes);
    uint8_t sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum = static_cast<uint8_t>(sum + record[i]);
    device.stored[kRecordBytes] = sum;
    device.stored[kRecordBytes + 1] = static_cast<uint8_t>(255 - sum);
}

void erase_record(Device& device) { std::memset(device.stored, 0xFF, kStoredBytes); }

bool stored_record_valid(const Device& device) {
    uint8_t sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum = static_cast<uint8_t>(sum + device.stored[i]);
    return device.stored[kRecordBytes] == sum && sum + device.stored[kRecordBytes + 1] == 255;
}

void device_init(Device& device) {
    std::memset(&device, 0, sizeof device);
    // Alarms 0..4 fitted, 10 addresses, relays up to 2; set A; version 2.30.
    device.setup[0] = 0x1F | 0x20 | 0x40;
    device.setup[1] = 0x01;
    device.setup[3] = 2;
    device.setup[4] = 30;
    seal_setup(device.setup);
    uint8_t record[kRecordBytes];
    default_record(record);
    store_record(device, record);
    clear_faults(device.faults);
    clear_noise(device.noise);
    device.mode = Mode::idle;
    clear_shared_state(device.codec_state);
}

void device_receive(Device& device, const uint8_t* bytes, size_t n) {
    decode_bytes(device.codec_state, device.frames, bytes, n, on_frame_stored, &device);
}

}  // namespace zav::sim
