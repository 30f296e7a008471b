// A new file takes its name only if nothing holds it at the very moment it
// is put there: two ports of a series that back up at once must never
// replace each other's file, whatever either saw a moment before.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/platform/file_replace.h"

namespace zav::cli {
namespace {

std::string content_of(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    DIR* listing = opendir(folder.c_str());
    while (dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
    return names;
}

TEST(CreateWholeFile, TakesOnlyAFreeNameAndLeavesNoTemporaryFile) {
    char pattern[] = "/tmp/zav-create-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string taken = folder + "/taken.zcf", linked = folder + "/linked.zcf", free = folder + "/free.zcf";
    std::ofstream(taken) << "earlier";
    ASSERT_EQ(0, symlink("nowhere.zcf", linked.c_str()));
    const uint8_t bytes[] = {'n', 'e', 'w'};
    bool exists = false;
    std::string error;

    // A file that came after the name was looked at stays as it is.
    EXPECT_FALSE(create_whole_file(taken, bytes, sizeof bytes, exists, error));
    EXPECT_TRUE(exists);
    EXPECT_EQ("earlier", content_of(taken));
    // So does a link, even one that leads nowhere: nothing is written through it.
    EXPECT_FALSE(create_whole_file(linked, bytes, sizeof bytes, exists, error));
    EXPECT_TRUE(exists);
    EXPECT_EQ(2u, names_in(folder).size());  // and no temporary file is left behind

    EXPECT_TRUE(create_whole_file(free, bytes, sizeof bytes, exists, error)) << error;
    EXPECT_FALSE(exists);
    EXPECT_EQ("new", content_of(free));
    EXPECT_EQ(3u, names_in(folder).size());  // no temporary file is left beside them

    for (const std::string& name : names_in(folder)) unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());
}

}  // namespace
}  // namespace zav::cli
