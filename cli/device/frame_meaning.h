// What a frame on the line means, in words, for the trace: which command,
// which block, ACK, DONE, REQ or REJ. A payload's meaning depends on the
// exchange it belongs to (a five-byte frame is the setup block in an
// identification, a block in a read), so the describer follows the frames
// of one port in the order they went over the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zav::cli {

class FrameMeaning {
public:
    // The payload of a frame the tool sent. A command or block sent again
    // unchanged is counted: "Lesen (-), Versuch 2".
    std::string sent(const std::vector<uint8_t>& payload);
    // The payload of a frame that came from the device.
    std::string received(const std::vector<uint8_t>& payload);

private:
    std::string sent_meaning(const std::vector<uint8_t>& payload, bool& repeatable);

    uint8_t command_ = 0;        // the command of the running exchange; 0 before the first
    bool setup_came_ = false;    // identification: the device has sent its setup block
    bool block_known_ = false;   // block_ holds a block number
    uint32_t block_ = 0;         // read: the last block that came; programming: the last sent
    bool asked_ = false;         // the device has just asked for a block (REQ)
    std::vector<uint8_t> last_sent_;
    unsigned attempt_ = 1;
};

}  // namespace zav::cli
