// The frame trace as a line writes it: both directions, the bytes the
// decoder drops, the waits, the repeats, the opening and closing.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "cli/device/traced_line.h"
#include "fleet/base/text_encoding.h"

namespace zav::cli {
namespace {

using Bytes = std::vector<uint8_t>;

// A line whose reads hand out scripted chunks, each after a given time,
// on a clock that moves only when told.
class ChunkLine final : public SerialLine, public Clock {
public:
    struct Chunk {
        uint32_t after_ms;  // 0 and empty bytes: the read times out
        Bytes bytes;
    };
    std::deque<Chunk> chunks;
    std::vector<Bytes> written;

    LineStatus write(const uint8_t* bytes, size_t n) override {
        written.emplace_back(bytes, bytes + n);
        now_ += 10;
        return LineStatus::kOk;
    }
    LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) override {
        count = 0;
        if (chunks.empty() || chunks.front().bytes.empty()) {
            if (!chunks.empty()) chunks.pop_front();
            now_ += timeout_ms;
            return LineStatus::kTimedOut;
        }
        const Chunk chunk = chunks.front();
        chunks.pop_front();
        now_ += chunk.after_ms;
        count = std::min(size, chunk.bytes.size());
        std::copy(chunk.bytes.begin(), chunk.bytes.begin() + static_cast<long>(count), buffer);
        return LineStatus::kOk;
    }
    void discard_pending() override { ++discards; }
    uint32_t now_ms() override { return now_; }

    int discards = 0;

private:
    uint32_t now_ = 1000;
};

// The test keeps the line; the traced line gets a handle on it.
class LineHandle final : public SerialLine {
public:
    explicit LineHandle(SerialLine& line) : line_(line) {}
    LineStatus write(const uint8_t* bytes, size_t n) override { return line_.write(bytes, n); }
    LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) override {
        return line_.read(buffer, size, timeout_ms, count);
    }
    void discard_pending() override { line_.discard_pending(); }

private:
    SerialLine& line_;
};

class MemorySink final : public TraceSink {
public:
    explicit MemorySink(std::string& text) : text_(text) {}
    bool write(const std::string& utf8, std::string&) override {
        text_ += utf8;
        return true;
    }

private:
    std::string& text_;
};

std::vector<std::string> event_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t end = text.find('\n', begin);
        const std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line[0] != '#' && line.rfind("zavctl-trace", 0) != 0) lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

TEST(TracedLine, NamesEveryEventOfBothDirectionsAsTheDecoderCutsTheBytes) {
    std::string text;
    FrameTrace trace(std::make_unique<MemorySink>(text));
    ChunkLine line;
    // Stale bytes wait before the transaction; the first read empties them.
    line.chunks.push_back({0, {0x60, 0x60}});
    line.chunks.push_back({});
    {
        TracedLine traced(std::make_unique<LineHandle>(line), trace, "/home/techniker/Geräte/ttyUSB0", line);
        traced.discard_pending();
        const Bytes identify = {0xFF, 0x2B, 0xFE};
        traced.write(identify.data(), identify.size());
        uint8_t buffer[256];
        size_t count = 0;
        // Nothing for 500 ms: the command goes again.
        traced.read(buffer, sizeof buffer, 500, count);
        traced.write(identify.data(), identify.size());
        // A noise byte, an acknowledgement split over two reads, a frame
        // cut short by the next start byte, the setup block, and a frame
        // begun that the line never finishes.
        line.chunks.push_back({30, {0x13, 0xFF, 0xF0}});
        line.chunks.push_back({5, {0xFE, 0xFF, 0x7F, 0xFF, 0x7F, 0x01, 0x11, 0x02, 0x1E, 0xFE, 0xFF, 0x2B}});
        traced.read(buffer, sizeof buffer, 500, count);
        traced.read(buffer, sizeof buffer, 470, count);
        const Bytes accept = {0xFF, 0xF0, 0xFE};
        traced.write(accept.data(), accept.size());
    }
    const std::vector<std::string> expected = {
        "      0 ttyUSB0 open | 2400 8N1",
        "      0 ttyUSB0 flush 60 60 | vor der Übertragung verworfen",
        "     10 ttyUSB0 pc>dev FF 2B FE | Erkennung (+)",
        "    510 ttyUSB0 timeout | nichts in 500 ms",
        "    520 ttyUSB0 pc>dev FF 2B FE | Erkennung (+), Versuch 2",
        "    550 ttyUSB0 noise 13 | außerhalb eines Rahmens, verworfen",
        "    555 ttyUSB0 dev>pc FF F0 FE | ACK",
        "    555 ttyUSB0 noise FF 7F | unvollständiger Rahmen, verworfen",
        "    555 ttyUSB0 dev>pc FF 7F 01 11 02 1E FE | Setup-Block 7F0111021E",
        "    565 ttyUSB0 pc>dev FF F0 FE | ACK: Setup-Block angenommen",
        "    565 ttyUSB0 noise FF 2B | unvollständiger Rahmen, verworfen",
        "    565 ttyUSB0 close",
    };
    std::vector<std::string> expected_utf8;
    for (const std::string& line : expected) expected_utf8.push_back(utf8_from_cp1252(line));
    EXPECT_EQ(expected_utf8, event_lines(text));
    EXPECT_EQ(1, line.discards) << "the pending input is still dropped";
}

TEST(TracedLine, NamesTheBlocksOfAReadAndOfAProgrammingAndTheDevicesAnswers) {
    FrameMeaning reading;
    EXPECT_EQ("Lesen (-)", reading.sent({0x2D}));
    EXPECT_EQ("ACK", reading.received({0xF0}));
    EXPECT_EQ("Leseblock 12", reading.received({0x0C, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ("DONE: Block 12 übernommen", reading.sent({0x60}));
    EXPECT_EQ("REQ: Block 13 erbeten", reading.sent({0x63, 0x0D, 0x00}));
    EXPECT_EQ("Leseblock FFFF (der letzte)", reading.received({0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8}));

    FrameMeaning programming;
    Bytes block(18, 0x41);
    block[0] = 0x02;
    block[1] = 0x00;
    EXPECT_EQ("Programmieren (.)", programming.sent({0x2E}));
    EXPECT_EQ("Programmierblock 2", programming.sent(block));
    EXPECT_EQ("REQ: Block 1 erbeten", programming.received({0x63, 0x00, 0x01, 0x00}));
    block[0] = 0x01;
    EXPECT_EQ("Programmierblock 1, erbeten", programming.sent(block));
    EXPECT_EQ("ACK: Block 1", programming.received({0xF0}));
    EXPECT_EQ("REJ: Block 1 abgelehnt", programming.received({0xF1}));
    EXPECT_EQ("Programmierblock 1, Versuch 2", programming.sent(block));
    EXPECT_EQ("DONE: Block 1 geschrieben", programming.received({0x60}));

    FrameMeaning setup;
    EXPECT_EQ("Setup schreiben (*)", setup.sent({0x2A}));
    EXPECT_EQ("Setup-Block 7F0111021E", setup.sent({0x7F, 0x01, 0x11, 0x02, 0x1E}));
    EXPECT_EQ("DONE: Setup-Block geschrieben", setup.received({0x61}));
}

}  // namespace
}  // namespace zav::cli
