#include "cli/commands/file_for_device.h"

#include <cstring>
#include <string>

#include "core/config/config_form.h"
#include "core/config/config_image.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"
#include "fleet/record/record_view.h"

namespace zav::cli {

Outcome take_file_for_device(const ConfigurationSource& file, DeviceLink& device, const Reporter& reporter) {
    ConfigImage& image = device.state.image;
    // A text that names a fitting must name the device's; the window's
    // field checks for the device's fitting follow, for any file.
    Outcome loaded =
        configuration_for_fitting(file, {image.bytes[kSetupByte1], image.bytes[kSetupByte2]}, image, "das Gerät hat");
    if (!loaded.ok()) return loaded;
    const uint8_t setup_byte1 = image.bytes[kSetupByte1];
    const uint8_t setup_byte2 = image.bytes[kSetupByte2];
    uint8_t taken[kRecordBytes];
    const int field_error = record_as_window_takes_it(image.bytes, setup_byte1, setup_byte2, taken);
    const RecordView view = view_record(image.bytes, setup_byte1, setup_byte2);
    if (field_error != 0) {
        const std::string field = field_error_detail(view);
        return failure(kExitRefused, config_error_text(field_error),
                       (field.empty() ? "" : field + ". ") +
                           "Das Konfigurationsfenster nähme diese Datei für dieses Gerät nicht an.");
    }
    reporter.block(beyond_fitting_report(view));
    reporter.block(device_receives_report(compare_records(image.bytes, taken, setup_byte1, setup_byte2)));
    std::memcpy(image.bytes, taken, kRecordBytes);
    return success();
}

}  // namespace zav::cli
