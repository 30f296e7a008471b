// One device transaction at a time, as the windowed program's worker thread
// runs it, but driven by the page: its read loop hands over what the port
// delivered, its timer says when a 500 ms wait ended without a frame. The
// machine is the core's (core/link/worker.h); nothing here judges a frame.
//
// The page's loop, in the worker thread's terms:
//   begin();                      the command frame to send
//   a chunk of bytes arrived:     receive(); if a frame was handed over,
//                                 the wait starts again
//   500 ms without a frame:       silence()
//   until the end message; stop() is the port-stop, also mid-way.
// Bytes are decoded one at a time and every stored frame goes to the machine
// before the next byte is decoded (the receiver waits for the worker to take
// each frame), so the ring never overflows and the order is the line's.
#pragma once

#include <cstdint>
#include <vector>

#include "core/config/config_image.h"
#include "core/link/frame_codec.h"
#include "core/link/shared_state.h"
#include "core/link/worker.h"

namespace zav::web {

// What one call of the machine asks the page to do, in order: frames to
// write, progress to show, and the end message's result code.
struct LinkStep {
    std::vector<std::vector<uint8_t>> sends;
    std::vector<uint32_t> progress;
    bool ended = false;
    uint32_t result = kResultFailed;
    int frames = 0;  // frames handed to the machine: the wait starts again
};

class PageLink {
public:
    PageLink();

    // What the machines read and write outside themselves, as the windows
    // share it: the setup block and record in the image, the read-back
    // buffer of a read. The decoder's state lives on from one transaction to
    // the next, as it does in the program.
    ConfigImage& image() { return image_; }
    const uint8_t* read_back() const { return read_back_; }

    LinkStep begin(uint8_t command, uint8_t block_length);
    LinkStep receive(const uint8_t* bytes, size_t count);
    LinkStep silence();
    // The port-stop: nothing more reaches the machine.
    void stop() { running_ = false; }

    bool running() const { return running_; }
    // A writing transaction has sent its first block or its setup block:
    // from here on a stop leaves the device written in part.
    bool writes_begun() const { return writes_begun_; }

private:
    void collect(const WorkerActions& actions, LinkStep& step);

    SharedState shared_;
    FrameBuffers frames_;
    ConfigImage image_;
    uint8_t read_back_[kReadBackBytes];
    Worker machine_;
    bool running_ = false;
    bool writes_begun_ = false;
};

}  // namespace zav::web
