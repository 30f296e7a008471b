#include "core/app/access_code.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zav {

namespace {

// The program holds only a digest of the access code (64-bit FNV-1a) and its
// length: the code is for service staff, and a text search through the exe
// that every technician gets must not reveal it.
constexpr size_t kAccessCodeLength = 11;
constexpr uint64_t kAccessCodeDigest = 0xE965D34007A75FA4u;

uint64_t text_digest(const char* text) {
    uint64_t digest = 0xCBF29CE484222325u;
    for (; *text != '\0'; ++text) {
        digest ^= static_cast<uint8_t>(*text);
        digest *= 0x100000001B3u;
    }
    return digest;
}

}  // namespace

bool is_access_code(const char* argument_text) {
    return argument_text != nullptr && std::strlen(argument_text) == kAccessCodeLength &&
           text_digest(argument_text) == kAccessCodeDigest;
}

}  // namespace zav
