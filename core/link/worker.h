// The four device transactions as portable state machines.
//
// A worker thread (gui/link/worker_thread.cpp) owns one machine and drives
// it like this:
//
//   worker_init(w, bindings, command); signal the worker started event;
//   worker_start(w, actions); perform(actions);
//   while (!worker_finished(w)) {
//       wait up to 500 ms for the frame event (a counting semaphore: one
//       wake-up per stored frame) or the stop event;
//       stop (set, whatever woke the wait): end the thread, nothing more
//                 reaches the machine;
//       frame:    slot = take_frame(ring); copy the slot; signal slot taken;
//                 worker_on_frame(w, copy, actions); perform(actions);
//       time-out: worker_on_timeout(w, actions); perform(actions);
//   }
//   then wait for the stop event only.
//
// perform runs the actions in order, and none once the stop event is set:
// kSend writes transmit[0 .. transmit_length) to the port (a write that fails
// at once is simply a send that gets no answer); kPost posts (message,
// wparam, 0) to the window that started the worker.
//
// Each call yields at most one kSend, and the transmit buffer holds its
// frame until the next call, so the thread needs no copy. The machine runs
// every step that needs no answer before it returns, so the thread only
// ever sees waiting states or the finished state. It never blocks and never
// touches the platform, so tests drive it against a scripted device on a
// virtual clock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/link/shared_state.h"
#include "core/config/config_image.h"
#include "core/link/frame_codec.h"

namespace zav {

// Command bytes of the program and answer bytes of the device.
constexpr uint8_t kIdentifyCommand = '+';
constexpr uint8_t kReadCommand = '-';
constexpr uint8_t kProgramCommand = '.';
constexpr uint8_t kSetupWriteCommand = '*';
constexpr uint8_t kAcknowledge = 0xF0;
constexpr uint8_t kReject = 0xF1;
constexpr uint8_t kBlockTaken = 0x60;
constexpr uint8_t kBlockTakenToo = 0x61;
constexpr uint8_t kBlockRequest = 0x63;
constexpr uint16_t kLastBlock = 0xFFFF;

constexpr uint8_t kReadBlockLength = 8;
constexpr uint8_t kProgramBlockLength = 16;

// The last progress a transaction reports, for the length of a progress
// bar: a read's last block number, and a programming's last block before
// the end block.
constexpr int kReadProgressEnd = 13;
constexpr int kProgramProgressEnd = 6;

// Messages a worker posts to the window that started it.
constexpr uint32_t kProgressMessage = 0x0400;  // WM_USER, wParam = block number
constexpr uint32_t kEndMessage = 0x0402;       // WM_USER + 2, wParam = result code

enum ResultCode : uint32_t {
    kResultFailed = 0,      // no answer, too many attempts or silences
    kResultRefused = 2,     // device refused a block after acknowledging it
    kResultWritten = 3,     // programming or setup write complete
    kResultRead = 4,        // configuration read complete
    kResultIdentified = 5,  // setup block received and stored
};

constexpr uint32_t kStateFinished = 10;
constexpr uint32_t kWaitMilliseconds = 500;
constexpr uint32_t kMaxSends = 5;
constexpr size_t kReadBackBytes = 1024;

// Handed to the worker thread at its start.
struct CommandRecord {
    uint8_t command;
    uint8_t block_length;
};

// Everything a machine reads and writes outside itself. The program binds
// the process-wide instances; tests bind fresh ones.
struct WorkerBindings {
    SharedState* shared;    // transaction state, transmit length
    FrameBuffers* frames;   // transmit buffer, receive ring
    ConfigImage* image;     // setup block (identify, setup write), record (program)
    uint8_t* read_back;     // kReadBackBytes, target of the configuration read
};

// One step's effects, to be performed in order by the thread.
struct WorkerAction {
    enum Kind : uint8_t { kSend, kPost } kind;
    uint32_t message;  // kPost
    uint32_t wparam;   // kPost
};

struct WorkerActions {
    WorkerAction action[4];
    uint8_t count;
};

struct Worker {
    WorkerBindings bind;
    CommandRecord command;
    uint32_t attempts;
    uint32_t silences;
    uint32_t block_number;       // read: expected block; program: block being sent
    bool last_block_stored;      // read
    bool acknowledged;           // program, setup write
    uint8_t snapshot[kRecordBytes];  // program
};

// Sets up a machine for command; the transaction state must already be 0.
// A command byte that names no transaction ends it at once with result 0.
void worker_init(Worker& worker, const WorkerBindings& bind, CommandRecord command);

// Runs from the current state until the machine waits or has finished.
// worker_on_frame and worker_on_timeout do nothing once it has finished.
void worker_start(Worker& worker, WorkerActions& out);

// A frame was taken from the ring (slot: length byte, then the payload).
void worker_on_frame(Worker& worker, const uint8_t* slot, WorkerActions& out);

// A 500 ms wait ended without the frame event. If a frame is waiting in the
// ring all the same, nothing is counted: the next wait will deliver it.
void worker_on_timeout(Worker& worker, WorkerActions& out);

inline bool worker_finished(const Worker& worker) {
    return worker.bind.shared->transaction_state == kStateFinished;
}

}  // namespace zav
