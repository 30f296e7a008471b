// Configuration files for the tool: read as the window's "Laden" reads them
// (header, record, sum), or as a configuration text; written whole or not
// at all.
#pragma once

#include <string>

#include "cli/output/reporter.h"
#include "core/config/config_image.h"
#include "fleet/base/outcome.h"
#include "fleet/text/configuration_source.h"

namespace zav::cli {

// The file at path read once (a pipe gives its bytes once) and taken as
// configuration_from_bytes takes it. Failures carry the window's texts
// ("Datei nicht vorhanden !", "Ungültige Datei !", "Dateifehler",
// "Checksummen Fehler !") and exit 2, or the text's error with line and
// column: exit 4 where the field checks refused a value, else 2.
Outcome read_configuration_file(const std::string& path, ConfigurationSource& source);

// Tells a source's warnings, one note each ("Warnung: ...").
void tell_warnings(const Reporter& reporter, const ConfigurationSource& source);

// Both steps at once (for the files of report).
Outcome load_configuration_file(const std::string& path, ConfigImage& image, SetupFitting fitting = kFullFitting);

// Writes the 133-byte file for image bytes 0..107 as output_file.h writes
// ("-": standard output). A file is replaced only by a complete new one,
// and only with force: nothing partial is ever left at path. Failure:
// "Datei kann nicht angelegt werden !" with the reason, or "Datei existiert
// bereits: ...", exit 2.
Outcome save_configuration_file(const std::string& path, const ConfigImage& image, bool force);

}  // namespace zav::cli
