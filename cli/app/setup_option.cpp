#include "cli/app/setup_option.h"

#include "cli/platform/console.h"
#include "core/config/config_image.h"
#include "core/setup/setup_block.h"
#include "fleet/base/hex.h"

namespace zav::cli {

Outcome parse_setup_option(const std::string& text, uint8_t* setup) {
    if (!parse_hex(text, setup, kSetupBlockBytes)) {
        return failure(kExitUsage, "--setup " + shown_name(text) + ": 10 Hex-Ziffern erwartet",
                       "Den Setup-Block angeben, wie \"zavctl identify\" ihn zeigt, z. B. BF073C020A.");
    }
    if (!setup_block_valid(setup)) {
        return failure(kExitUsage, "--setup " + shown_name(text) + ": " + kSetupDataInvalid,
                       "Das Prüfbyte (3. Byte) passt nicht zu den Setup-Bytes.");
    }
    return success();
}

}  // namespace zav::cli
