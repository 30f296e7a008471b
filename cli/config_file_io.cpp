#include "cli/config_file_io.h"

#include <cerrno>
#include <cstdio>

#include "cli/console.h"
#include "cli/output_file.h"
#include "cli/system_error_text.h"
#include "core/config/config_file.h"

namespace zav::cli {

namespace {

// Reads at most kConfigFileBytes: whatever follows is ignored, as the
// window ignores it, so a large or endless file costs nothing.
bool read_head(std::FILE* file, uint8_t* bytes, size_t& count) {
    count = 0;
    while (count < kConfigFileBytes) {
        const size_t got = std::fread(bytes + count, 1, kConfigFileBytes - count, file);
        if (got == 0) break;
        count += got;
    }
    return std::ferror(file) == 0;
}

}  // namespace

Outcome load_configuration_file(const std::string& path, ConfigImage& image) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return failure(kExitFile, kConfigFileMissing, shown_name(path) + ": " + system_error_text(errno));
    }
    uint8_t bytes[kConfigFileBytes];
    size_t count = 0;
    errno = 0;
    const bool read_ok = read_head(file, bytes, count);
    const int read_error = errno;
    std::fclose(file);
    if (!read_ok) {
        return failure(kExitFile, kConfigFileShort, shown_name(path) + ": " + system_error_text(read_error ? read_error : EIO));
    }
    const ConfigFileOutcome outcome = load_config_file(bytes, count, image);
    if (outcome != ConfigFileOutcome::kOk) return failure(kExitFile, config_file_outcome_text(outcome), shown_name(path));
    return success(kConfigFileLoaded);
}

Outcome save_configuration_file(const std::string& path, const ConfigImage& image, bool force) {
    uint8_t bytes[kConfigFileBytes];
    build_config_file(image, bytes);
    return write_output_file(path, bytes, sizeof bytes, force);
}

}  // namespace zav::cli
