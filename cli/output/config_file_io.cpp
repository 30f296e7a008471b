#include "cli/output/config_file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "cli/output/output_file.h"
#include "cli/platform/console.h"
#include "cli/platform/system_error_text.h"
#include "core/config/config_file.h"

namespace zav::cli {

namespace {

// Reads at most limit bytes: whatever follows is ignored (a binary file's
// tail, as the window ignores it), so a large or endless file costs little.
bool read_head(std::FILE* file, std::string& bytes, size_t limit) {
    bytes.clear();
    char buffer[4096];
    while (bytes.size() < limit) {
        const size_t got = std::fread(buffer, 1, std::min(sizeof buffer, limit - bytes.size()), file);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return std::ferror(file) == 0;
}

}  // namespace

Outcome read_configuration_file(const std::string& path, ConfigurationSource& source) {
    source.path = path;
    source.name = shown_name(path);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return failure(kExitFile, kConfigFileMissing, shown_name(path) + ": " + system_error_text(errno));
    }
    std::string bytes;
    errno = 0;
    const bool read_ok = read_head(file, bytes, kMaxConfigTextBytes + 1);
    const int read_error = errno;
    std::fclose(file);
    if (!read_ok) {
        return failure(kExitFile, kConfigFileShort, shown_name(path) + ": " + system_error_text(read_error ? read_error : EIO));
    }
    return configuration_from_bytes(bytes, source);
}

void tell_warnings(const Reporter& reporter, const ConfigurationSource& source) {
    for (const std::string& warning : source.warnings) reporter.note("Warnung: " + warning);
}

Outcome load_configuration_file(const std::string& path, ConfigImage& image, SetupFitting fitting) {
    ConfigurationSource source;
    const Outcome read = read_configuration_file(path, source);
    if (!read.ok()) return read;
    return configuration_for_fitting(source, fitting, image);
}

Outcome save_configuration_file(const std::string& path, const ConfigImage& image, bool force) {
    uint8_t bytes[kConfigFileBytes];
    build_config_file(image, bytes);
    return write_output_file(path, bytes, sizeof bytes, force);
}

}  // namespace zav::cli
