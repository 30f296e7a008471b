#include "cli/commands/text_document.h"

#include "cli/platform/console.h"
#include "core/config/config_image.h"
#include "fleet/base/sha256.h"

namespace zav::cli {

nlohmann::json text_document(const std::string& input, const std::string& output, const Fitting& fitting,
                             const uint8_t* record) {
    return {{"input", json_name(input)},
            {"output", json_name(output.empty() ? std::string("-") : output)},
            {"fitting", fitting.known() ? fitting_json(fitting) : nlohmann::json(nullptr)},
            {"sha256", sha256_hex(record, kRecordBytes)}};
}

}  // namespace zav::cli
