#include "cli/device/loop_test.h"

#include "cli/device/wire_frames.h"
#include "core/link/worker.h"

namespace zav::cli {

namespace {

// Bytes a ZAV 160 drops in any state of its decoder (no FF, FE or FD),
// with alternating bits, so that a loop that garbles bits shows it.
const uint8_t kProbe[] = {0x00, 0x55, 0xAA};
// The identification, as the program sends it.
const uint8_t kIdentify[] = {kFrameStart, kIdentifyCommand, kFrameEnd};
const uint8_t kAccept[] = {kFrameStart, kAcknowledge, kFrameEnd};

// An echo of three bytes takes 12.5 ms, a USB adapter adds a few tens.
constexpr uint32_t kProbeWaitMs = 300;
// The program waits three times 500 ms for a device's acknowledgement.
constexpr uint32_t kDeviceWaitMs = 1500;
// The 256 bytes take 1.07 s at 2400 baud; at 1200 twice that.
constexpr uint32_t kLoopWaitMs = 4000;
constexpr uint32_t kQuietMs = 500;
constexpr size_t kAnswerShown = 16;

struct Heard {
    std::vector<uint8_t> bytes;
    uint32_t last_ms = 0;  // when the last of them came
    LineStatus status = LineStatus::kOk;  // kGone or kInterrupted when that ended it
};

// Reads until enough bytes have come, or wait_ms have passed since
// started_ms, or the line has been quiet for quiet_ms after some came.
Heard listen(SerialLine& line, Clock& clock, uint32_t started_ms, uint32_t wait_ms, size_t enough,
             uint32_t quiet_ms) {
    Heard heard;
    uint8_t buffer[256];
    while (heard.bytes.size() < enough) {
        const uint32_t now = clock.now_ms();
        const uint32_t waited = now - started_ms;
        if (waited >= wait_ms) break;
        uint32_t timeout = wait_ms - waited;
        if (!heard.bytes.empty() && timeout > quiet_ms) timeout = quiet_ms;
        size_t count = 0;
        const LineStatus status = line.read(buffer, sizeof buffer, timeout, count);
        if (status == LineStatus::kGone || status == LineStatus::kInterrupted) {
            heard.status = status;
            break;
        }
        if (status == LineStatus::kTimedOut) {
            if (!heard.bytes.empty()) break;
            continue;
        }
        heard.bytes.insert(heard.bytes.end(), buffer, buffer + count);
        heard.last_ms = clock.now_ms();
    }
    return heard;
}

LoopVerdict verdict_of_status(LineStatus status) {
    return status == LineStatus::kGone ? LoopVerdict::kLineGone : LoopVerdict::kInterrupted;
}

bool is_stop(LineStatus status) { return status == LineStatus::kGone || status == LineStatus::kInterrupted; }

// No echo to the probe: is a device there? Its acknowledgement says so;
// its setup block is accepted as the program accepts it, so that the
// device ends the identification as after any "Verbinden".
LoopFindings ask_for_device(SerialLine& line, Clock& clock) {
    LoopFindings findings;
    const LineStatus sent = line.write(kIdentify, sizeof kIdentify);
    if (is_stop(sent)) {
        findings.verdict = verdict_of_status(sent);
        return findings;
    }
    WireFrames frames;
    std::vector<WirePiece> pieces;
    std::vector<uint8_t> heard;
    bool acknowledged = false;
    uint32_t started = clock.now_ms();
    for (;;) {
        const Heard more = listen(line, clock, started, kDeviceWaitMs, 1, 0);
        if (is_stop(more.status)) {
            findings.verdict = verdict_of_status(more.status);
            return findings;
        }
        if (more.bytes.empty()) break;
        heard.insert(heard.end(), more.bytes.begin(), more.bytes.end());
        frames.feed(more.bytes.data(), more.bytes.size(), pieces);
        for (const WirePiece& piece : pieces) {
            std::vector<uint8_t> payload;
            if (piece.kind != WirePiece::kFrame || !frame_payload(piece.wire.data(), piece.wire.size(), payload)) {
                continue;
            }
            if (!acknowledged && payload.size() == 1 && payload[0] == kAcknowledge) {
                acknowledged = true;
                started = clock.now_ms();  // the setup block follows within the program's wait
            } else if (acknowledged && payload.size() == kSetupBlockBytes) {
                line.write(kAccept, sizeof kAccept);
                findings.verdict = LoopVerdict::kDeviceAnswers;
                findings.answer = payload;
                return findings;
            }
        }
        pieces.clear();
    }
    if (acknowledged) {
        findings.verdict = LoopVerdict::kDeviceAnswers;
    } else if (heard == std::vector<uint8_t>(kIdentify, kIdentify + sizeof kIdentify)) {
        // The loop answers after all; the probe was lost on the way.
        findings.verdict = LoopVerdict::kOk;
    } else if (!heard.empty()) {
        findings.verdict = LoopVerdict::kOtherAnswer;
        heard.resize(heard.size() < kAnswerShown ? heard.size() : kAnswerShown);
        findings.answer = heard;
    }
    return findings;
}

// Every byte value out and back, timed.
LoopFindings run_loop(SerialLine& line, Clock& clock) {
    LoopFindings findings;
    uint8_t sent[kLoopBytes];
    for (size_t i = 0; i < kLoopBytes; ++i) sent[i] = static_cast<uint8_t>(i);
    line.discard_pending();
    const uint32_t started = clock.now_ms();
    const LineStatus status = line.write(sent, sizeof sent);
    if (status != LineStatus::kOk) {
        findings.verdict = is_stop(status) ? verdict_of_status(status) : LoopVerdict::kNotSent;
        return findings;
    }
    findings.bytes_sent = kLoopBytes;
    // More than were sent would be wrong too: listen a moment longer.
    const Heard back = listen(line, clock, started, kLoopWaitMs, kLoopBytes + 1, kQuietMs);
    if (is_stop(back.status)) {
        findings.verdict = verdict_of_status(back.status);
        return findings;
    }
    findings.bytes_back = back.bytes.size();
    if (back.bytes.empty()) return findings;  // kNoEcho

    bool ascending = true;
    for (size_t i = 0; i < back.bytes.size(); ++i) {
        if (i > 0 && back.bytes[i] <= back.bytes[i - 1]) ascending = false;
        if (i < kLoopBytes && back.bytes[i] != sent[i]) {
            if (findings.first_wrong < 0) {
                findings.first_wrong = sent[i];
                findings.first_wrong_back = back.bytes[i];
            }
            ++findings.wrong_bytes;
        }
    }
    if (back.bytes.size() < kLoopBytes && ascending) {
        findings.verdict = LoopVerdict::kBytesLost;
        findings.wrong_bytes = 0;
        findings.first_wrong = -1;
        return findings;
    }
    if (findings.wrong_bytes > 0 || back.bytes.size() != kLoopBytes) {
        findings.verdict = LoopVerdict::kWrongBytes;
        return findings;
    }
    findings.byte_time_ms = static_cast<double>(back.last_ms - started) / static_cast<double>(kLoopBytes);
    findings.verdict = findings.byte_time_ms < kShortestByteTimeMs || findings.byte_time_ms > kLongestByteTimeMs
                           ? LoopVerdict::kWrongSpeed
                           : LoopVerdict::kOk;
    return findings;
}

}  // namespace

LoopFindings test_loop(SerialLine& line, Clock& clock) {
    line.discard_pending();
    const LineStatus sent = line.write(kProbe, sizeof kProbe);
    if (sent != LineStatus::kOk) {
        LoopFindings findings;
        findings.verdict = is_stop(sent) ? verdict_of_status(sent) : LoopVerdict::kNotSent;
        return findings;
    }
    const Heard echo = listen(line, clock, clock.now_ms(), kProbeWaitMs, sizeof kProbe, kProbeWaitMs);
    if (is_stop(echo.status)) {
        LoopFindings findings;
        findings.verdict = verdict_of_status(echo.status);
        return findings;
    }
    // A ZAV 160 never answers these bytes: whatever came, came back.
    if (echo.bytes.empty()) {
        LoopFindings device = ask_for_device(line, clock);
        if (device.verdict != LoopVerdict::kOk) return device;
    }
    return run_loop(line, clock);
}

}  // namespace zav::cli
