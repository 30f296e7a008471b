#include <gtest/gtest.h>

#include <cstring>

#include "core/app/access_code.h"
#include "core/link/shared_state.h"
#include "gui/app/messages.h"

namespace zav {
namespace {

TEST(AccessCode, OnlyTheExactWholeArgumentTextUnlocksTheServiceMode) {
    EXPECT_TRUE(is_access_code("618wqe402h9"));
    EXPECT_FALSE(is_access_code("618wqe402h9 "));
    EXPECT_FALSE(is_access_code("618WQE402H9"));
    EXPECT_FALSE(is_access_code("618wqe402h9 more"));
    EXPECT_FALSE(is_access_code(" 618wqe402h9"));
    EXPECT_FALSE(is_access_code(""));
    EXPECT_FALSE(is_access_code(nullptr));
}

TEST(Texts, GermanTextsAreWindows1252Bytes) {
    const char expected[] = "Nicht gen\xFC" "gend Speicher !";
    ASSERT_EQ(sizeof expected, sizeof kOutOfMemory);
    EXPECT_EQ(0, std::memcmp(expected, kOutOfMemory, sizeof expected));
}

TEST(SharedState, ClearingZeroesEveryField) {
    SharedState shared;
    std::memset(&shared, 0xAB, sizeof shared);
    clear_shared_state(shared);
    EXPECT_EQ(nullptr, shared.main_window);
    EXPECT_EQ(0, shared.selected_port);
    EXPECT_EQ(0u, shared.service_mode);
    EXPECT_EQ(nullptr, shared.requesting_window);
}

}  // namespace
}  // namespace zav
