// What a program or verify report carries to name its record and its time:
// the SHA-256 of the record and the start time in ISO 8601 with its offset.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "fleet/base/sha256.h"
#include "fleet/base/time_stamps.h"

namespace zav {
namespace {

std::string sha256_of(const std::string& text) {
    return sha256_hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Sha256, StandardVectorsAcrossTheBlockBoundaries) {
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", sha256_of(""));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", sha256_of("abc"));
    // 56 bytes: the length no longer fits the first padding block.
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              sha256_of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    // 112 bytes: two whole blocks and a padding block of its own.
    EXPECT_EQ("cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
              sha256_of("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
                        "mnopqrstnopqrstu"));
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
              sha256_of(std::string(1000000, 'a')));
}

TEST(LocalTime, Iso8601CarriesTheOffsetInHoursAndMinutes) {
    std::tm local = {};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 14;
    local.tm_min = 7;
    local.tm_sec = 9;
    EXPECT_EQ("2024-03-05T14:07:09+01:00", iso8601_with_offset(local, 3600));
    EXPECT_EQ("2024-03-05T14:07:09-03:30", iso8601_with_offset(local, -12600));
    EXPECT_EQ("2024-03-05T14:07:09+05:45", iso8601_with_offset(local, 20700));
    EXPECT_EQ("2024-03-05T14:07:09+00:00", iso8601_with_offset(local, 0));
    EXPECT_EQ(25u, local_time_now_iso8601().size());
}

// A device's JSON line and its log line give its duration from the same
// milliseconds: written exactly, never a millisecond short (1001 ms as
// seconds times 1000 is 1000.999..., which a cut would make 1.000 s).
TEST(LocalTime, DurationsAreExactToTheMillisecond) {
    EXPECT_EQ("1.001", nlohmann::json(duration_seconds(1001)).dump());
    EXPECT_EQ("4.312", nlohmann::json(duration_seconds(4312)).dump());
    EXPECT_EQ("3599.999", nlohmann::json(duration_seconds(3599999)).dump());
}

}  // namespace
}  // namespace zav
