#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cli/platform/user_folders.h"

namespace zav::cli {
namespace {

class BackupFolder : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"XDG_STATE_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_[name == std::string("HOME")] = value ? value : "";
            had_[name == std::string("HOME")] = value != nullptr;
        }
        setenv("HOME", "/home/technik", 1);
    }
    void TearDown() override {
        const char* names[] = {"XDG_STATE_HOME", "HOME"};
        for (int i = 0; i < 2; ++i) {
            if (had_[i]) setenv(names[i], saved_[i].c_str(), 1);
            else unsetenv(names[i]);
        }
    }
    static std::string folder() {
        std::string found;
        EXPECT_TRUE(default_backup_folder(found).ok());
        return found;
    }

private:
    std::string saved_[2];
    bool had_[2] = {};
};

// The base directory rules: an absolute XDG_STATE_HOME is taken; one that
// is relative is invalid and ignored, as if unset.
TEST_F(BackupFolder, FollowsTheBaseDirectoryRules) {
    setenv("XDG_STATE_HOME", "/srv/zustand", 1);
    EXPECT_EQ("/srv/zustand/zavkonfig/sicherungen", folder());
    setenv("XDG_STATE_HOME", "zustand", 1);
    EXPECT_EQ("/home/technik/.local/state/zavkonfig/sicherungen", folder());
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ("/home/technik/.local/state/zavkonfig/sicherungen", folder());
}

}  // namespace
}  // namespace zav::cli
