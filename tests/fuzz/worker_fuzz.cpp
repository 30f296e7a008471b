// One transaction machine (ZAV_FUZZ_COMMAND) driven as the worker thread
// drives it, against a device that sends whatever the fuzzer says.
//
// Input: one byte whose bit 7 says that the next byte is the block length
// (else the window's own length is used), then events until the input ends:
//   op & 3 == 0   a 500 ms wait ended in silence
//   op & 3 == 1   the device sends a frame: a length byte (low 7 bits), the
//                 payload; with op bit 7 the wait times out just as it arrives
//   op & 3 == 2   raw line bytes: a count byte, the bytes (any frames in them
//                 are delivered as they are decoded)
//   op & 3 == 3   op >> 2 silent waits
// Then the device falls silent, and the machine must finish within a bounded
// number of waits. Frames travel through the encoder, the decoder and the
// receive ring, as on the line.
//
// Checked after every call: at most one frame sent, a sent frame well formed
// and carrying a payload of this transaction (the block numbered and filled
// from the record, the request naming the expected block),
// only waiting or finished states, exactly one end message with a result the
// transaction can give, nothing done after it, the image untouched except the
// setup block by a successful identification, and the read-back buffer
// (exactly its size on the heap) only written by the read, and by it only
// at the place of the expected block.
#include "fuzz_check.h"
#include "core/link/frame_codec.h"
#include "core/link/worker.h"
#include "core/link/worker_steps.h"

#ifndef ZAV_FUZZ_COMMAND
#error "ZAV_FUZZ_COMMAND names the transaction"
#endif

using namespace zav;
using zav_fuzz::Exact;
using zav_fuzz::Input;

namespace {

constexpr uint8_t kCommand = ZAV_FUZZ_COMMAND;
// From the moment the device falls silent: at most five sends, each followed
// by three silent waits, and the identification's own eleven.
constexpr int kMaxSilentWaits = 20;

const WorkerKind& kind() {
    switch (kCommand) {
        case kIdentifyCommand: return kIdentifyWorker;
        case kReadCommand: return kReadWorker;
        case kProgramCommand: return kProgramWorker;
        default: return kSetupWriteWorker;
    }
}

bool result_possible(uint32_t result) {
    switch (kCommand) {
        case kIdentifyCommand: return result == kResultFailed || result == kResultIdentified;
        case kReadCommand: return result == kResultFailed || result == kResultRead;
        default: return result == kResultFailed || result == kResultRefused || result == kResultWritten;
    }
}

uint8_t image_byte(size_t i) { return static_cast<uint8_t>(i * 13 + 7); }

// The image and read-back buffer as they were before the transaction.
struct Untouched {
    uint8_t image[kImageBytes];
    uint8_t read_back[kReadBackBytes];
    Untouched() {
        for (size_t i = 0; i < kImageBytes; ++i) image[i] = image_byte(i);
        std::memset(read_back, 0xA5, kReadBackBytes);
    }
};

struct Rig {
    Exact<SharedState> shared{0};
    Exact<FrameBuffers> frames{0};
    Exact<ConfigImage> image{0};
    uint8_t* read_back = static_cast<uint8_t*>(std::malloc(kReadBackBytes));
    Exact<Worker> worker{0};
    // The receiver's side: its own decoder state, as in the program.
    Exact<SharedState> receiver{0};
    bool ended = false;
    bool late = false;  // the next delivered frame arrives as a wait times out
    uint32_t result = kResultFailed;

    Rig() {
        for (size_t i = 0; i < kImageBytes; ++i) image->bytes[i] = image_byte(i);
        std::memset(read_back, 0xA5, kReadBackBytes);
    }
    ~Rig() { std::free(read_back); }

    void check(const WorkerActions& out, bool was_finished) {
        const Worker& w = *worker;
        // No step fills the list: a fourth action would mean that a fifth
        // could have been dropped without a word.
        FUZZ_CHECK(out.count < 4);
        int sends = 0;
        int ends = 0;
        for (int i = 0; i < out.count; ++i) {
            const WorkerAction& a = out.action[i];
            if (a.kind == WorkerAction::kSend) {
                ++sends;
                check_sent_frame();
            } else {
                FUZZ_CHECK(a.kind == WorkerAction::kPost);
                FUZZ_CHECK(a.message == kProgressMessage || a.message == kEndMessage);
                if (a.message == kEndMessage) {
                    ++ends;
                    FUZZ_CHECK(result_possible(a.wparam));
                    FUZZ_CHECK(i == out.count - 1);  // the end is the last word
                } else {
                    FUZZ_CHECK(kCommand == kReadCommand || kCommand == kProgramCommand);
                    FUZZ_CHECK(a.wparam <= 0xFFFF);
                }
            }
        }
        FUZZ_CHECK(sends <= 1);
        FUZZ_CHECK(ends <= 1);
        if (was_finished) FUZZ_CHECK(out.count == 0);
        const uint32_t state = state_of(w);
        const bool finished = state == kStateFinished;
        FUZZ_CHECK(finished || (state < 32 && (kind().waiting_states & state_bit(state)) != 0));
        // The end message comes exactly when the machine finishes.
        FUZZ_CHECK((ends == 1) == (finished && !was_finished));
        if (ends == 1) {
            FUZZ_CHECK(!ended);
            ended = true;
            for (int i = 0; i < out.count; ++i) {
                if (out.action[i].kind == WorkerAction::kPost && out.action[i].message == kEndMessage)
                    result = out.action[i].wparam;
            }
        }
        FUZZ_CHECK(w.attempts <= kMaxSends + 2);
        FUZZ_CHECK(frames->ring.read_index < kRingSlots && frames->ring.write_index < kRingSlots);
        check_image();
    }

    // A sent frame is a complete frame of one to 127 payload bytes, and its
    // payload is one the transaction sends.
    void check_sent_frame() {
        const uint32_t length = shared->transmit_length;
        FUZZ_CHECK(length >= 3 && length <= kTransmitBytes);
        const uint8_t* t = frames->transmit;
        FUZZ_CHECK(t[0] == kFrameStart && t[length - 1] == kFrameEnd);
        uint8_t payload[kSlotBytes];
        size_t n = 0;
        for (uint32_t i = 1; i + 1 < length; ++i) {
            FUZZ_CHECK(t[i] != kFrameStart && t[i] != kFrameEnd);
            if (t[i] == kFrameEscape) {
                FUZZ_CHECK(i + 2 < length);
                payload[n++] = static_cast<uint8_t>(t[++i] | 0x80);
            } else {
                payload[n++] = t[i];
            }
            FUZZ_CHECK(n <= kSlotBytes - 1);
        }
        check_sent_payload(payload, n);
    }

    void check_sent_payload(const uint8_t* p, size_t n) {
        static const Untouched untouched;
        if (n == 1) {
            switch (kCommand) {
                case kIdentifyCommand: FUZZ_CHECK(p[0] == kCommand || p[0] == kAcknowledge || p[0] == kReject); break;
                case kReadCommand: FUZZ_CHECK(p[0] == kCommand || p[0] == kBlockTaken); break;
                default: FUZZ_CHECK(p[0] == kCommand); break;
            }
            return;
        }
        switch (kCommand) {
            case kReadCommand:
                // The request names the block the worker expects.
                FUZZ_CHECK(n == 3 && p[0] == kBlockRequest);
                FUZZ_CHECK((p[1] | (p[2] << 8)) == (worker->block_number & 0xFFFF));
                break;
            case kSetupWriteCommand:
                FUZZ_CHECK(n == kSetupBlockBytes);
                FUZZ_CHECK(std::memcmp(p, untouched.image + kSetupBlock, kSetupBlockBytes) == 0);
                break;
            case kProgramCommand: {
                // Block number, then the record from number x length on,
                // padded with 0xFF past its end in the last block.
                const size_t length = worker->command.block_length;
                FUZZ_CHECK(n == 2 + length);
                const uint32_t number = p[0] | (p[1] << 8);
                FUZZ_CHECK(number == worker->block_number);
                if (number != kLastBlock) {
                    FUZZ_CHECK(number * length + length <= kRecordBytes);
                    FUZZ_CHECK(std::memcmp(p + 2, untouched.image + number * length, length) == 0);
                } else {
                    FUZZ_CHECK(p[n - 1] == 0xFF);
                }
                break;
            }
            default:
                FUZZ_CHECK(false);
        }
    }

    void check_image() {
        static const Untouched untouched;
        const size_t up_to = result == kResultIdentified ? kSetupBlock : kImageBytes;
        FUZZ_CHECK(std::memcmp(image->bytes, untouched.image, up_to) == 0);
        if (kCommand != kReadCommand) FUZZ_CHECK(std::memcmp(read_back, untouched.read_back, kReadBackBytes) == 0);
    }

    void timeout() {
        WorkerActions out{};
        const bool was_finished = worker_finished(*worker);
        worker_on_timeout(*worker, out);
        check(out, was_finished);
    }

    // The worker thread's frame wake-up: take the slot, copy it, hand it on.
    static void on_stored(void* context) {
        Rig& rig = *static_cast<Rig*>(context);
        if (worker_finished(*rig.worker)) return;  // the thread only waits for the stop
        if (rig.late) {
            // The wait gave up just before the frame event: nothing counted.
            const uint32_t silences = rig.worker->silences;
            WorkerActions out{};
            worker_on_timeout(*rig.worker, out);
            FUZZ_CHECK(out.count == 0);
            FUZZ_CHECK(rig.worker->silences == silences);
        }
        const uint8_t* slot = take_frame(rig.frames->ring);
        uint8_t* copy = static_cast<uint8_t*>(std::malloc(kSlotBytes));
        std::memcpy(copy, slot, kSlotBytes);
        FUZZ_CHECK(copy[0] <= kSlotBytes - 1);
        const uint32_t expected_block = rig.worker->block_number;
        static uint8_t before[kReadBackBytes];
        if (kCommand == kReadCommand) std::memcpy(before, rig.read_back, kReadBackBytes);
        WorkerActions out{};
        worker_on_frame(*rig.worker, copy, out);
        rig.check(out, false);
        if (kCommand == kReadCommand) {
            // A block lands at expected block x block length, nowhere else.
            const size_t length = rig.worker->command.block_length;
            const uint64_t block_start = static_cast<uint64_t>(expected_block) * length;
            const size_t first = block_start < kReadBackBytes ? static_cast<size_t>(block_start) : kReadBackBytes;
            const size_t end = block_start + length < kReadBackBytes ? static_cast<size_t>(block_start + length) : kReadBackBytes;
            FUZZ_CHECK(std::memcmp(rig.read_back, before, first) == 0);
            FUZZ_CHECK(std::memcmp(rig.read_back + end, before + end, kReadBackBytes - end) == 0);
        }
        if (rig.result == kResultIdentified && out.count > 0) {
            // The stored setup block is the payload of the frame that ended it.
            FUZZ_CHECK(copy[0] == kSetupBlockBytes);
            FUZZ_CHECK(std::memcmp(rig.image->bytes + kSetupBlock, copy + 1, kSetupBlockBytes) == 0);
        }
        std::free(copy);
    }

    void line(const uint8_t* bytes, size_t n) {
        decode_bytes(*receiver, *frames, bytes, n, on_stored, this);
    }

    void device_frame(const uint8_t* payload, size_t n) {
        uint8_t wire[2 * kSlotBytes + 2];
        const size_t length = encode_frame(payload, n, wire);
        line(wire, length);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    Rig rig;

    // The window always asks for its own block length; any other comes from
    // the next byte.
    const uint8_t usual = kCommand == kReadCommand ? kReadBlockLength : kProgramBlockLength;
    const uint8_t block_length = (in.byte() & 0x80) ? in.byte() : usual;

    rig.shared->transaction_state = 0;
    WorkerBindings bind{rig.shared.p, rig.frames.p, rig.image.p, rig.read_back};
    worker_init(*rig.worker, bind, CommandRecord{kCommand, block_length});
    {
        WorkerActions out{};
        worker_start(*rig.worker, out);
        rig.check(out, false);
    }

    int events = 0;
    while (!in.empty() && events++ < 512) {
        const uint8_t op = in.byte();
        switch (op & 3) {
            case 0: rig.timeout(); break;
            case 1: {
                uint8_t payload[kSlotBytes];
                const size_t n = in.byte() & 0x7F;
                const size_t got = in.take(payload, n);
                rig.late = (op & 0x80) != 0;
                rig.device_frame(payload, got);
                rig.late = false;
                break;
            }
            case 2: {
                uint8_t bytes[256];
                const size_t got = in.take(bytes, in.byte());
                rig.line(bytes, got);
                break;
            }
            default:
                for (int k = 0; k < (op >> 2); ++k) rig.timeout();
                break;
        }
    }

    // The device falls silent: the machine ends by itself.
    int waits = 0;
    while (!worker_finished(*rig.worker)) {
        FUZZ_CHECK(waits++ < kMaxSilentWaits);
        rig.timeout();
    }
    // ZAV_FUZZ_VERBOSE=1 tells how a single input ended, for judging seeds.
    static const bool verbose = std::getenv("ZAV_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "result %u, %d silent waits at the end\n", rig.result, waits);
    return 0;
}
