// A configuration as a file holds it, either as the window's binary file or
// as a configuration text (config_text.h), told apart by its content, and
// the fitting it is taken for.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/config_image.h"
#include "fleet/base/outcome.h"
#include "fleet/text/config_text.h"

namespace zav {

// An exported text is about 3 KB; a text may be much longer with comments,
// but not without bound.
constexpr size_t kMaxConfigTextBytes = 256 * 1024;

// A configuration file read, before a fitting is applied: the window's
// binary file and a configuration text are told apart by their content,
// not by the name. A text is read whole (its record made and checked, see
// import_text), so that a command finds every error of a file before it
// asks a device; the file is read once, as a pipe gives its bytes once.
struct ConfigurationSource {
    std::string path;
    std::string name;  // the path as messages show it
    bool text = false;
    ConfigImage image;                    // the record, in bytes 0..107
    std::optional<SetupFitting> fitting;  // the one a text names
    // What the file holds that the window takes but that looks wrong (a
    // 5-tone number with a letter), each naming the file and the field.
    std::vector<std::string> warnings;
};
// The source of a file's bytes (source.path and source.name set by the
// caller; a binary file's bytes after its 133 are ignored, as the window
// ignores them). Failures carry the window's texts ("Ungültige Datei !",
// "Dateifehler", "Checksummen Fehler !") and exit 2, or the text's error
// with line and column: exit 4 where the field checks refused a value,
// else 2.
Outcome configuration_from_bytes(std::string_view bytes, ConfigurationSource& source);

// Image bytes 0..107 from a source read, for the fitting a command works
// with. A text that names another fitting is refused (exit 4), naming
// both: whose says where the other one comes from, before its name ("das
// Gerät hat", "--setup nennt").
Outcome configuration_for_fitting(const ConfigurationSource& source, SetupFitting fitting, ConfigImage& image,
                                  const std::string& whose = "verlangt ist");

// A text's fitting against one from elsewhere: success when the text names
// none or the same one, else the refusal configuration_for_fitting gives.
Outcome check_text_fitting(const ConfigurationSource& source, SetupFitting fitting, const std::string& whose);

}  // namespace zav
