// The virtual device replaying a trace: the traced answers to the traced
// requests, after the traced pauses, and a departure named by its line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/trace_replay.h"

namespace zav::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// An identification the device answered only at the second try, slowly,
// with a noise byte, on a port opened twice; another port's lines between.
const char kTrace[] =
    "zavctl-trace 1\n"
    "# zavctl 2.30\n"
    "      0 ttyUSB0 open | 2400 8N1\n"                       // line 3
    "      1 ttyUSB0 flush 60 | vor der Übertragung verworfen\n"
    "     10 ttyUSB0 pc>dev FF 2B FE | Erkennung (+)\n"       // line 5
    "    510 ttyUSB0 timeout | nichts in 500 ms\n"
    "    520 ttyUSB0 pc>dev FF 2B FE | Erkennung (+), Versuch 2\n"  // line 7
    "      3 ttyUSB1 dev>pc FF F1 FE | REJ\n"
    "   1220 ttyUSB0 noise 13\n"
    "   1225 ttyUSB0 dev>pc FF F0 FE | ACK\n"
    "   1240 ttyUSB0 dev>pc FF 7F 01 11 02 1E FE | Setup-Block 7F0111021E\n"
    "   1250 ttyUSB0 pc>dev FF F0 FE | ACK: Setup-Block angenommen\n"  // line 12
    "   1260 ttyUSB0 close\n"
    "      0 ttyUSB0 open | 2400 8N1\n"
    "      5 ttyUSB0 pc>dev FF 2D FE | Lesen (-)\n"           // line 15
    "     12 ttyUSB0 dev>pc FF F0 FE | ACK\n";

struct Replayed {
    TraceReplay replay;
    std::vector<TracedAnswer> answers;

    explicit Replayed(const char* text, const std::string& port = "") {
        std::vector<TraceEvent> events;
        std::string error;
        EXPECT_TRUE(parse_trace(text, events, error)) << error;
        EXPECT_TRUE(replay.start(events, port, error)) << error;
    }
    std::vector<TracedAnswer> send(const Bytes& bytes) {
        answers.clear();
        replay.receive(bytes.data(), bytes.size(), answers);
        return answers;
    }
};

std::vector<std::string> shown(const std::vector<TracedAnswer>& answers) {
    std::vector<std::string> lines;
    for (const TracedAnswer& answer : answers) {
        std::string line = "+" + std::to_string(answer.delay_ms) + ":";
        for (const uint8_t b : answer.bytes) line += " " + std::to_string(b);
        lines.push_back(line);
    }
    return lines;
}

TEST(SimReplay, AnswersEachRequestAsTracedAfterTheTracedPauses) {
    Replayed device(kTrace);
    EXPECT_EQ("ttyUSB0", device.replay.port());
    EXPECT_EQ(4u, device.replay.requests());
    // The first identification went unanswered; the second got the noise
    // byte and both frames, 700 ms and more after it: a silent wait for the
    // program, which a replay must keep.
    EXPECT_TRUE(device.send({0xFF, 0x2B, 0xFE}).empty());
    const std::vector<std::string> answered = {"+700: 19", "+705: 255 240 254", "+720: 255 127 1 17 2 30 254"};
    // The request may come in pieces.
    EXPECT_TRUE(device.send({0xFF, 0x2B}).empty());
    EXPECT_EQ(answered, shown(device.send({0xFE})));
    // What the device sent after the port was closed is not an answer; a
    // new opening's times count from there.
    EXPECT_TRUE(device.send({0xFF, 0xF0, 0xFE}).empty());
    EXPECT_EQ(std::vector<std::string>{"+7: 255 240 254"}, shown(device.send({0xFF, 0x2D, 0xFE})));
    EXPECT_EQ(4u, device.replay.matched());
    EXPECT_EQ(0, device.replay.departed_at());
}

TEST(SimReplay, NamesTheLineWhereTheProgramDepartsAndAnswersNothingAfter) {
    Replayed device(kTrace);
    device.send({0xFF, 0x2B, 0xFE});
    device.send({0xFF, 0x2B, 0xFE});
    // The program asks for a read where the trace accepts the setup block.
    EXPECT_TRUE(device.send({0xFF, 0x2D, 0xFE}).empty());
    EXPECT_EQ(12, device.replay.departed_at());
    EXPECT_EQ("at line 12 (request 3 of 4): expected FF F0 FE, got FF 2D FE", device.replay.departure());
    EXPECT_TRUE(device.send({0xFF, 0xF0, 0xFE}).empty());
    EXPECT_EQ(2u, device.replay.matched());

    Replayed beyond(kTrace, "ttyUSB0");
    for (const Bytes& request : {Bytes{0xFF, 0x2B, 0xFE}, Bytes{0xFF, 0x2B, 0xFE}, Bytes{0xFF, 0xF0, 0xFE},
                                 Bytes{0xFF, 0x2D, 0xFE}}) {
        beyond.send(request);
    }
    beyond.send({0xFF, 0x60, 0xFE});
    EXPECT_EQ(16, beyond.replay.departed_at());
    EXPECT_EQ("after its last request (line 15): got FF 60 FE", beyond.replay.departure());
}

TEST(SimReplay, RefusesWhatIsNoTraceOfItsFormat) {
    std::vector<TraceEvent> events;
    std::string error;
    EXPECT_FALSE(parse_trace("0.489 pc>dev 2B\n", events, error));
    EXPECT_EQ("line 1: not a zavctl trace (it starts with \"zavctl-trace 1\")", error);
    EXPECT_FALSE(parse_trace("zavctl-trace 2\n", events, error));
    EXPECT_FALSE(parse_trace("zavctl-trace 1\n     10 ttyUSB0 pc>dev FF 2B FEX\n", events, error));
    EXPECT_EQ("line 2: not an event (ms port event [hex bytes] [| meaning])", error);
    TraceReplay replay;
    ASSERT_TRUE(parse_trace(kTrace, events, error));
    EXPECT_FALSE(replay.start(events, "COM3", error));
    EXPECT_EQ("the trace holds no request on port COM3", error);
}

}  // namespace
}  // namespace zav::sim
