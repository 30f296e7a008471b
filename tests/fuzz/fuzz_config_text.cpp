// A configuration file's bytes as zavctl takes a file it is given
// (configuration_from_bytes): above all a configuration text (TOML), edited
// by hand and passed between colleagues; the window's binary file too.
//
// Properties:
//  - a refused file names a line of the text (1 up to its number of lines,
//    with a column) and a reason, and writes nothing: the image holds its
//    start values, no fitting, no warning;
//  - an accepted text's record exports (for the fitting the text names,
//    else for the one the record describes) to a text that imports to the
//    same record byte for byte and names the same fitting, and that text
//    exports to itself again;
//  - an accepted binary file puts its record into the image and nothing
//    else.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "fleet/text/config_text.h"
#include "fleet/text/configuration_source.h"
#include "fuzz_check.h"

using namespace zav;

namespace {

size_t line_count(std::string_view text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1; }

bool same_fitting_or_none(const std::optional<SetupFitting>& a, const std::optional<SetupFitting>& b) {
    if (!a || !b) return !a && !b;
    return a->setup_byte1 == b->setup_byte1 && a->setup_byte2 == b->setup_byte2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A buffer that ends where the file does.
    char* file = static_cast<char*>(std::malloc(size ? size : 1));
    std::memcpy(file, data, size);
    const std::string_view bytes(file, size);

    ConfigurationSource source;
    source.name = "fuzz.toml";
    const Outcome outcome = configuration_from_bytes(bytes, source);
    ConfigImage start;
    set_image_start_values(start);

    if (!outcome.ok()) {
        FUZZ_CHECK(std::memcmp(&source.image, &start, sizeof start) == 0);
        FUZZ_CHECK(!source.fitting && source.warnings.empty());
        FUZZ_CHECK(!outcome.message.empty());
        if (source.text && size <= kMaxConfigTextBytes) {
            // The reader's own judgement, with its place.
            const ImportedText imported = import_text(bytes);
            FUZZ_CHECK(!imported.ok);
            FUZZ_CHECK(imported.error.line >= 1 && static_cast<size_t>(imported.error.line) <= line_count(bytes));
            FUZZ_CHECK(imported.error.column >= 1);
            FUZZ_CHECK(!imported.error.message.empty());
            FUZZ_CHECK(outcome.message.find("Zeile " + std::to_string(imported.error.line)) != std::string::npos);
        }
    } else if (!source.text) {
        FUZZ_CHECK(!source.fitting);
        FUZZ_CHECK(std::memcmp(source.image.bytes + kRecordBytes, start.bytes + kRecordBytes,
                               kImageBytes - kRecordBytes) == 0);
    } else {
        FUZZ_CHECK(std::memcmp(source.image.bytes + kRecordBytes, start.bytes + kRecordBytes,
                               kImageBytes - kRecordBytes) == 0);
        const std::string exported = export_text(source.image.bytes, source.fitting);
        const ImportedText again = import_text(exported);
        if (!again.ok) std::fprintf(stderr, "%s\n%s\n", exported.c_str(), text_error_line(again.error).c_str());
        FUZZ_CHECK(again.ok);
        FUZZ_CHECK(std::memcmp(again.record.data(), source.image.bytes, kRecordBytes) == 0);
        FUZZ_CHECK(same_fitting_or_none(again.fitting, source.fitting));
        FUZZ_CHECK(export_text(again.record.data(), again.fitting) == exported);
    }
    std::free(file);
    return 0;
}
