#include "core/config/config_file.h"

#include <cstring>

namespace zav {

uint16_t config_file_sum(const uint8_t* record) {
    unsigned sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum += record[i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}

void build_config_file(const ConfigImage& image, uint8_t* file_bytes) {
    std::memcpy(file_bytes, kConfigFileHeader, kConfigFileHeaderBytes);
    std::memcpy(file_bytes + kConfigFileHeaderBytes, image.bytes, kRecordBytes);
    const uint16_t sum = config_file_sum(image.bytes);
    file_bytes[kConfigFileSumOffset] = static_cast<uint8_t>(sum & 0xFF);
    file_bytes[kConfigFileSumOffset + 1] = static_cast<uint8_t>(sum >> 8);
}

ConfigFileOutcome load_config_file(const uint8_t* file_bytes, size_t count, ConfigImage& image) {
    if (count < kConfigFileHeaderBytes ||
        std::memcmp(file_bytes, kConfigFileHeader, kConfigFileHeaderBytes) != 0) {
        return ConfigFileOutcome::kInvalidHeader;
    }
    if (count < kConfigFileSumOffset) return ConfigFileOutcome::kShortRecord;
    if (count < kConfigFileBytes) return ConfigFileOutcome::kBadSum;
    const uint8_t* record = file_bytes + kConfigFileHeaderBytes;
    const uint16_t stored = static_cast<uint16_t>(file_bytes[kConfigFileSumOffset] |
                                                  (file_bytes[kConfigFileSumOffset + 1] << 8));
    if (stored != config_file_sum(record)) return ConfigFileOutcome::kBadSum;
    // Only a record that passed every check reaches the image.
    std::memcpy(image.bytes, record, kRecordBytes);
    return ConfigFileOutcome::kOk;
}

const char* config_file_outcome_text(ConfigFileOutcome outcome) {
    switch (outcome) {
        case ConfigFileOutcome::kInvalidHeader: return kConfigFileInvalid;
        case ConfigFileOutcome::kShortRecord: return kConfigFileShort;
        case ConfigFileOutcome::kBadSum: return kConfigFileBadSum;
        case ConfigFileOutcome::kOk: break;
    }
    return "";
}

}  // namespace zav
