#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/platform/system_error_text.h"

namespace zav::cli {
namespace {

// The C library's texts are English; not one of them may reach the user.
TEST(SystemErrorText, NoErrorNumberIsToldInTheSystemsEnglish) {
    for (int error = 1; error < 300; ++error) {
        const std::string text = system_error_text(error);
        EXPECT_NE(std::string(std::strerror(error)), text) << "errno " << error;
        EXPECT_FALSE(text.empty()) << "errno " << error;
    }
    EXPECT_EQ("Systemfehler 299", system_error_text(299));
    EXPECT_EQ("nicht vorhanden", system_error_text(ENOENT));
}

}  // namespace
}  // namespace zav::cli
