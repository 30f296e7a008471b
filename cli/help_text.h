// zavctl --help.
#pragma once

namespace zav::cli {

extern const char kHelpText[];

}  // namespace zav::cli
