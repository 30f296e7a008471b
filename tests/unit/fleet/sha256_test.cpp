#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fleet/base/sha256.h"

namespace zav {
namespace {

std::string digest_of(const std::string& text) {
    return sha256_hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// The published test vectors, and a record's length: the padding fits in
// the last block (3 bytes), needs a block of its own (56 bytes), and
// follows a whole block (108 bytes).
TEST(Sha256, KnownDigests) {
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", digest_of(""));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", digest_of("abc"));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              digest_of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    uint8_t record[108];
    for (int i = 0; i < 108; ++i) record[i] = static_cast<uint8_t>(i);
    EXPECT_EQ("44d21db70716bd7644cb0d819fa6791805ebc526ea32996a60e41dc753fcfafc", sha256_hex(record, sizeof record));
}

}  // namespace
}  // namespace zav
