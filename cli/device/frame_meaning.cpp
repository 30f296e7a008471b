#include "cli/device/frame_meaning.h"

#include <cstdio>

#include "core/link/worker.h"
#include "fleet/base/hex.h"

namespace zav::cli {

namespace {

std::string block_name(uint32_t number) {
    return number == kLastBlock ? std::string("Block FFFF (der letzte)") : "Block " + std::to_string(number);
}

uint32_t little_endian(const std::vector<uint8_t>& payload, size_t at) {
    return static_cast<uint32_t>(payload[at] | payload[at + 1] << 8);
}

bool is_command(uint8_t byte) {
    return byte == kIdentifyCommand || byte == kReadCommand || byte == kProgramCommand ||
           byte == kSetupWriteCommand;
}

const char* command_name(uint8_t byte) {
    switch (byte) {
        case kIdentifyCommand: return "Erkennung (+)";
        case kReadCommand: return "Lesen (-)";
        case kProgramCommand: return "Programmieren (.)";
        default: return "Setup schreiben (*)";
    }
}

std::string unknown(const std::vector<uint8_t>& payload) {
    if (payload.empty()) return "leerer Rahmen";
    return "unbekannt (" + std::to_string(payload.size()) + (payload.size() == 1 ? " Byte)" : " Bytes)");
}

}  // namespace

std::string FrameMeaning::sent_meaning(const std::vector<uint8_t>& payload, bool& repeatable) {
    repeatable = false;
    if (payload.size() == 1 && is_command(payload[0])) {
        command_ = payload[0];
        setup_came_ = false;
        block_known_ = false;
        repeatable = true;
        return command_name(payload[0]);
    }
    if (payload.size() == 1 && payload[0] == kAcknowledge) {
        return command_ == kIdentifyCommand && setup_came_ ? "ACK: Setup-Block angenommen" : "ACK";
    }
    if (payload.size() == 1 && payload[0] == kReject) {
        return command_ == kIdentifyCommand && setup_came_ ? "REJ: Setup-Block abgelehnt" : "REJ";
    }
    if (payload.size() == 1 && payload[0] == kBlockTaken) {
        return command_ == kReadCommand && block_known_ ? "DONE: " + block_name(block_) + " übernommen" : "DONE";
    }
    if (payload.size() == 3 && payload[0] == kBlockRequest) {
        return "REQ: " + block_name(little_endian(payload, 1)) + " erbeten";
    }
    if (command_ == kProgramCommand && payload.size() == 2u + kProgramBlockLength) {
        block_ = little_endian(payload, 0);
        block_known_ = true;
        repeatable = true;
        return "Programmier" + block_name(block_).replace(0, 1, "b");
    }
    if (command_ == kSetupWriteCommand && payload.size() == kSetupBlockBytes) {
        repeatable = true;
        return "Setup-Block " + hex_text(payload);
    }
    return unknown(payload);
}

std::string FrameMeaning::sent(const std::vector<uint8_t>& payload) {
    bool repeatable = false;
    const bool again = !last_sent_.empty() && payload == last_sent_;
    std::string meaning = sent_meaning(payload, repeatable);
    // A block the device asked for is built anew and counts its attempts
    // from the start, as the programming does.
    const bool asked_for = asked_ && repeatable;
    asked_ = false;
    attempt_ = again && repeatable && !asked_for ? attempt_ + 1 : 1;
    last_sent_ = payload;
    if (asked_for) meaning += ", erbeten";
    if (attempt_ > 1) meaning += ", Versuch " + std::to_string(attempt_);
    return meaning;
}

std::string FrameMeaning::received(const std::vector<uint8_t>& payload) {
    const bool one_byte = payload.size() == 1;
    const uint8_t first = payload.empty() ? 0 : payload[0];
    switch (command_) {
        case kIdentifyCommand:
            if (one_byte && first == kAcknowledge && !setup_came_) return "ACK";
            if (payload.size() == kSetupBlockBytes) {
                setup_came_ = true;
                return "Setup-Block " + hex_text(payload);
            }
            if (!payload.empty() && first != kAcknowledge) {
                setup_came_ = true;
                return "Setup-Block mit " + std::to_string(payload.size()) + " statt 5 Bytes";
            }
            break;
        case kReadCommand:
            if (one_byte && first == kAcknowledge) return "ACK";
            if (payload.size() >= 2) {
                block_ = little_endian(payload, 0);
                block_known_ = true;
                return "Lese" + block_name(block_).replace(0, 1, "b");
            }
            break;
        case kProgramCommand:
        case kSetupWriteCommand: {
            const std::string what = command_ == kSetupWriteCommand ? std::string("Setup-Block")
                                     : block_known_                ? block_name(block_)
                                                                   : std::string();
            if (payload.size() >= 4 && first == kBlockRequest) {
                asked_ = true;
                return "REQ: " + block_name(little_endian(payload, 2)) + " erbeten";
            }
            if (what.empty()) break;
            if (one_byte && first == kAcknowledge) return "ACK: " + what;
            if (one_byte && (first == kBlockTaken || first == kBlockTakenToo)) return "DONE: " + what + " geschrieben";
            if (one_byte && first == kReject) return "REJ: " + what + " abgelehnt";
            break;
        }
        default: break;
    }
    if (one_byte && first == kAcknowledge) return "ACK";
    if (one_byte && first == kReject) return "REJ";
    if (one_byte && (first == kBlockTaken || first == kBlockTakenToo)) return "DONE";
    return unknown(payload);
}

}  // namespace zav::cli
