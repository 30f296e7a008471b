// The setup block and the info lines on arbitrary block bytes and option
// choices: every line and text stays within its buffer, composing never
// touches the version bytes, and a composed block is valid and reads back
// as the options it was composed from.
#include "fuzz_check.h"
#include "core/info/info_text.h"
#include "core/setup/setup_block.h"

using namespace zav;
using zav_fuzz::Exact;
using zav_fuzz::Input;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    Exact<ConfigImage> image{0};
    in.take(image->bytes + kSetupBlock, kSetupBlockBytes);
    uint8_t* block = image->bytes + kSetupBlock;

    Exact<InfoText> info{0xA5};
    build_info_text(*image, *info);
    FUZZ_CHECK(info->line_count >= 11 && info->line_count <= kInfoMaxLines);
    for (int i = 0; i < info->line_count; ++i) {
        FUZZ_CHECK(zav_fuzz::terminated(info->lines[i], kInfoLineBytes));
    }

    (void)setup_block_valid(block);
    (void)software_version_accepted(block[3]);
    const uint16_t shown = decompose_setup_block_mask(block);

    const uint16_t chosen = static_cast<uint16_t>(in.byte() | (in.byte() << 8));
    uint8_t before[kSetupBlockBytes];
    std::memcpy(before, block, sizeof before);
    const int error = compose_setup_block_mask(chosen, block);
    FUZZ_CHECK(error >= 0 && error <= kSetupGroupCount);
    FUZZ_CHECK((setup_compose_error_text(error)[0] == '\0') == (error == 0));
    FUZZ_CHECK(block[3] == before[3] && block[4] == before[4]);
    if (error != 0) {
        FUZZ_CHECK(std::memcmp(before, block, sizeof before) == 0);
    } else {
        FUZZ_CHECK(setup_block_valid(block));
        // One choice per group reads back unchanged.
        bool single_choices = true;
        for (int g = 0; g < kSetupGroupCount; ++g) {
            int count = 0;
            for (int o = kSetupGroups[g].first_option; o <= kSetupGroups[g].last_option; ++o) count += (chosen >> o) & 1;
            single_choices = single_choices && count == 1;
        }
        if (single_choices) FUZZ_CHECK(decompose_setup_block_mask(block) == chosen);
    }
    // A block as the setup window shows it composes to the same two bytes,
    // when it names a double-tone alarm and a relay code the options can
    // express.
    if ((before[0] & 0xC0) != 0xC0 && (before[0] & 0x1F) != 0) {
        uint8_t recomposed[kSetupBlockBytes] = {};
        FUZZ_CHECK(compose_setup_block_mask(shown, recomposed) == 0);
        FUZZ_CHECK(recomposed[0] == before[0] && recomposed[1] == (before[1] & 0x07));
    }
    for (int option = -2; option <= kSetupOptionCount + 1; ++option) {
        const int group = setup_option_group(option);
        FUZZ_CHECK(group >= -1 && group < kSetupGroupCount);
    }
    return 0;
}
