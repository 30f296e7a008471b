// The lines of the info window, built from the setup block in the image
// (setup bytes 1 and 2 and the version).
#pragma once

#include <cstddef>

#include "core/config/config_image.h"

namespace zav {

constexpr int kInfoMaxLines = 16;
constexpr size_t kInfoLineBytes = 24;

struct InfoText {
    int line_count;                          // 11..16
    char lines[kInfoMaxLines][kInfoLineBytes];
};

void build_info_text(const ConfigImage& image, InfoText& text);

}  // namespace zav
