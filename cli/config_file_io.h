// Configuration files for the tool: read as the window's "Laden" reads them
// (header, record, sum), or as a configuration text; written whole or not
// at all.
#pragma once

#include <string>

#include "cli/config_text.h"
#include "cli/outcome.h"
#include "core/config/config_image.h"

namespace zav::cli {

// Reads path into image bytes 0..107; on any failure the image is left as
// it was. The window's binary file and a configuration text are told apart
// by their content, not by the name; a text passes the window's field
// checks for fitting. Failures carry the window's texts ("Datei nicht
// vorhanden !", "Ungültige Datei !", "Dateifehler", "Checksummen Fehler !")
// and exit 2, or the text's error with line and column: exit 4 where the
// field checks refused a value, else 2.
Outcome load_configuration_file(const std::string& path, ConfigImage& image, SetupFitting fitting = kFullFitting);

// The same in two steps, for a command that learns the fitting only after
// the file is read (from a device): a file that cannot be read, or a text
// that is no TOML, is told before the device is bothered.
struct ConfigurationSource {
    std::string path;
    bool text = false;
    std::string bytes;  // a text, as read
    ConfigImage image;  // a binary file's record, in bytes 0..107
};
Outcome read_configuration_file(const std::string& path, ConfigurationSource& source);
// Image bytes 0..107 from a source read: a binary file's record as it is, a
// text's after the window's field checks for fitting.
Outcome configuration_for_fitting(const ConfigurationSource& source, SetupFitting fitting, ConfigImage& image);

// Writes the 133-byte file for image bytes 0..107 as output_file.h writes
// ("-": standard output). A file is replaced only by a complete new one,
// and only with force: nothing partial is ever left at path. Failure:
// "Datei kann nicht angelegt werden !" with the reason, or "Datei existiert
// bereits: ...", exit 2.
Outcome save_configuration_file(const std::string& path, const ConfigImage& image, bool force);

}  // namespace zav::cli
