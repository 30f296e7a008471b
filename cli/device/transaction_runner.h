// Runs one device transaction over a serial line, on one thread: the same
// portable machine as the windowed program's worker thread (core/link/worker.h),
// with the receiver's work done in between its waits.
//
// The loop is the worker thread's loop: wait up to 500 ms for a frame;
// a frame goes to the machine, a wait that ends without one is a silence.
// Bytes are decoded one at a time and every stored frame is handed to the
// machine before the next byte is decoded, as the receiver waits for the
// worker to take each frame; so the ring never overflows and the machine
// sees the frames in the order they came.
#pragma once

#include <cstdint>
#include <functional>

#include "cli/platform/serial_line.h"
#include "core/config/config_image.h"
#include "core/link/frame_codec.h"
#include "core/link/shared_state.h"
#include "core/link/worker.h"

namespace zav::cli {

// What the machines read and write outside themselves, for one port. The
// decoder's state lives on from one transaction to the next, as it does in
// the program.
struct LinkState {
    SharedState shared;
    FrameBuffers frames;
    ConfigImage image;                 // the setup block (identify), the record (program)
    uint8_t read_back[kReadBackBytes];  // a configuration read lands here
};

// Zeroes everything and gives the image its start values.
void reset_link_state(LinkState& link);

enum class RunEnd {
    kFinished,     // the machine ended by itself; result holds its result code
    kUnanswered,   // nothing came from the device within give_up_unanswered_sends
    kLineGone,     // the line went away; the machine was stopped
    kInterrupted,  // Ctrl+C; the machine was stopped
};

struct RunOutcome {
    RunEnd end;
    uint32_t result;  // the end message's result code, for kFinished
    bool heard;       // at least one whole frame came from the device
};

struct RunOptions {
    // Each progress message of the machine (the block number), as the
    // window forwards it to its progress bar.
    std::function<void(uint32_t block_number)> on_progress;
    // Stops the transaction, as the window's port-stop would, when the
    // device has sent nothing at all and the machine is about to send its
    // command once more than this (0: never). A look of one send lasts
    // 1.5 s; a look of two sends has given the device the machine's own
    // second chance, so one lost frame cannot make it look silent.
    uint32_t give_up_unanswered_sends = 0;
    // Called once, as the command is about to be sent again and the
    // device has not said a word yet: the moment to tell a person what
    // the tool waits for.
    std::function<void()> on_unanswered;
};

RunOutcome run_transaction(SerialLine& line, Clock& clock, LinkState& link, CommandRecord command,
                           const RunOptions& options = RunOptions());

}  // namespace zav::cli
