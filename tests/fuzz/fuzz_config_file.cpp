// The configuration file reader on arbitrary file contents: the image changes
// only when the file passes every check, and then only in its record bytes.
#include "core/config/config_file.h"
#include "fuzz_check.h"

using namespace zav;
using zav_fuzz::Exact;

namespace {

uint8_t pattern_byte(size_t i) { return static_cast<uint8_t>(i * 37 + 11); }

// The outcome as the file's layout decides it, judged independently of the
// reader: header, then the record's length, then the sum's presence and value.
ConfigFileOutcome expected_outcome(const uint8_t* file, size_t count) {
    if (count < kConfigFileHeaderBytes) return ConfigFileOutcome::kInvalidHeader;
    for (size_t i = 0; i < kConfigFileHeaderBytes; ++i) {
        if (file[i] != static_cast<uint8_t>(kConfigFileHeader[i])) return ConfigFileOutcome::kInvalidHeader;
    }
    if (count < kConfigFileHeaderBytes + kRecordBytes) return ConfigFileOutcome::kShortRecord;
    if (count < kConfigFileBytes) return ConfigFileOutcome::kBadSum;
    unsigned sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum += file[kConfigFileHeaderBytes + i];
    const unsigned stored = file[131] | (file[132] << 8);
    return (sum & 0xFFFF) == stored ? ConfigFileOutcome::kOk : ConfigFileOutcome::kBadSum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Exact<ConfigImage> image;
    for (size_t i = 0; i < kImageBytes; ++i) image->bytes[i] = pattern_byte(i);

    // The reader sees exactly the bytes that were read, in a buffer that ends there.
    uint8_t* file = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    std::memcpy(file, data, size);
    const ConfigFileOutcome outcome = load_config_file(file, size, *image);
    FUZZ_CHECK(outcome == expected_outcome(file, size));
    // Every refusal has its message, and only a refusal.
    FUZZ_CHECK((config_file_outcome_text(outcome)[0] == '\0') == (outcome == ConfigFileOutcome::kOk));

    if (outcome == ConfigFileOutcome::kOk) {
        FUZZ_CHECK(std::memcmp(image->bytes, file + kConfigFileHeaderBytes, kRecordBytes) == 0);
        // Saving what was loaded writes the same 133 bytes.
        uint8_t* saved = static_cast<uint8_t*>(std::malloc(kConfigFileBytes));
        build_config_file(*image, saved);
        FUZZ_CHECK(std::memcmp(saved, file, kConfigFileBytes) == 0);
        std::free(saved);
    } else {
        for (size_t i = 0; i < kRecordBytes; ++i) FUZZ_CHECK(image->bytes[i] == pattern_byte(i));
    }
    // The setup block and the zero bytes are never the file's business.
    for (size_t i = kRecordBytes; i < kImageBytes; ++i) FUZZ_CHECK(image->bytes[i] == pattern_byte(i));
    std::free(file);
    return 0;
}
