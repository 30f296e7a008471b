// Configuration files for the tool: read as the window's "Laden" reads them
// (header, record, sum), or as a configuration text; written whole or not
// at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/config_text.h"
#include "cli/outcome.h"
#include "cli/reporter.h"
#include "core/config/config_image.h"

namespace zav::cli {

// A configuration file read, before a fitting is applied: the window's
// binary file and a configuration text are told apart by their content,
// not by the name. A text is read whole (its record made and checked, see
// import_text), so that a command finds every error of a file before it
// asks a device; the file is read once, as a pipe gives its bytes once.
struct ConfigurationSource {
    std::string path;
    bool text = false;
    ConfigImage image;                    // the record, in bytes 0..107
    std::optional<SetupFitting> fitting;  // the one a text names
    // What the file holds that the window takes but that looks wrong (a
    // 5-tone number with a letter), each naming the file and the field.
    std::vector<std::string> warnings;
};
// Failures carry the window's texts ("Datei nicht vorhanden !", "Ungültige
// Datei !", "Dateifehler", "Checksummen Fehler !") and exit 2, or the
// text's error with line and column: exit 4 where the field checks refused
// a value, else 2.
Outcome read_configuration_file(const std::string& path, ConfigurationSource& source);

// Tells a source's warnings, one note each ("Warnung: ...").
void tell_warnings(const Reporter& reporter, const ConfigurationSource& source);

// Image bytes 0..107 from a source read, for the fitting a command works
// with. A text that names another fitting is refused (exit 4), naming
// both: whose says where the other one comes from, before its name ("das
// Gerät hat", "--setup nennt").
Outcome configuration_for_fitting(const ConfigurationSource& source, SetupFitting fitting, ConfigImage& image,
                                  const std::string& whose = "verlangt ist");

// A text's fitting against one from elsewhere: success when the text names
// none or the same one, else the refusal configuration_for_fitting gives.
Outcome check_text_fitting(const ConfigurationSource& source, SetupFitting fitting, const std::string& whose);

// Both steps at once (for the files of report).
Outcome load_configuration_file(const std::string& path, ConfigImage& image, SetupFitting fitting = kFullFitting);

// Writes the 133-byte file for image bytes 0..107 as output_file.h writes
// ("-": standard output). A file is replaced only by a complete new one,
// and only with force: nothing partial is ever left at path. Failure:
// "Datei kann nicht angelegt werden !" with the reason, or "Datei existiert
// bereits: ...", exit 2.
Outcome save_configuration_file(const std::string& path, const ConfigImage& image, bool force);

}  // namespace zav::cli
