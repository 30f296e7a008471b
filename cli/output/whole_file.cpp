#include "cli/output/whole_file.h"

#include <cerrno>
#include <cstdio>

#include "cli/platform/console.h"
#include "cli/platform/system_error_text.h"

namespace zav::cli {

Outcome read_whole_file(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return failure(kExitFile, "Datei nicht vorhanden !", shown_name(path) + ": " + system_error_text(errno));
    }
    char buffer[65536];
    size_t got = 0;
    errno = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        return failure(kExitFile, "Dateifehler", shown_name(path) + ": " + system_error_text(error ? error : EIO));
    }
    return success();
}

}  // namespace zav::cli
