#include "core/setup/setup_commands.h"

#include "core/link/worker.h"
#include "core/setup/setup_block.h"

namespace zav {

SetupEnd judge_setup_end(uint32_t result, const ConfigImage& image) {
    switch (result) {
        case kResultFailed: return SetupEnd::kConnectionLost;
        case kResultRefused: return SetupEnd::kRefused;
        case kResultWritten: return SetupEnd::kWritten;
        case kResultIdentified:
            return setup_block_valid(&image.bytes[kSetupBlock]) ? SetupEnd::kBlockRead : SetupEnd::kBlockInvalid;
        default: return SetupEnd::kNothing;
    }
}

}  // namespace zav
