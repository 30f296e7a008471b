// The file writer of both Windows programs (win32/file_replace.cpp), run
// under Wine: two writers replacing the same file at the same time, as two
// zavctl.exe saving the same name may, each write through a temporary file
// of their own. Two moves onto one name at the same moment may refuse each
// other (the one under way holds the name), and that save fails, safely;
// but a temporary file is never shared, the file is always one writer's
// whole file, and nothing is left beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "win32/file_replace.h"

namespace zav {
namespace {

constexpr int kRounds = 50;
constexpr DWORD kFileBytes = 133;

struct Writer {
    std::string path;
    uint8_t fill = 0;
    int refused_moves = 0;
    int other_failures = 0;  // making or writing the temporary file
    DWORD last_error = 0;
};

DWORD WINAPI replace_again_and_again(void* argument) {
    Writer& writer = *static_cast<Writer*>(argument);
    const std::vector<uint8_t> bytes(kFileBytes, writer.fill);
    for (int n = 0; n < kRounds; ++n) {
        FileReplaceFailure failure;
        if (replace_file_contents(writer.path.c_str(), bytes.data(), kFileBytes, failure)) continue;
        if (failure.step == FileReplaceStep::kReplace) {
            ++writer.refused_moves;
        } else {
            ++writer.other_failures;
            writer.last_error = failure.system_error;
        }
    }
    return 0;
}

std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::vector<uint8_t> bytes(2 * kFileBytes);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

TEST(FileReplace, TwoWritersAtOnceEachWriteAWholeFileAndLeaveNothingBehind) {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    const std::string folder = std::string(temp) + "zav-replace-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string path = folder + "\\anlage.zcf";

    Writer writers[2];
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i) {
        writers[i].path = path;
        writers[i].fill = static_cast<uint8_t>(0xA0 + i);
        threads[i] = CreateThread(nullptr, 0, replace_again_and_again, &writers[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 60000));
    for (HANDLE thread : threads) CloseHandle(thread);

    for (const Writer& writer : writers) {
        EXPECT_EQ(0, writer.other_failures) << "the temporary file failed, last with system error " << writer.last_error;
        std::printf("    [replace] writer %02X: %d of %d moves refused by the other's\n", writer.fill,
                    writer.refused_moves, kRounds);
    }
    const std::vector<uint8_t> bytes = file_bytes(path);
    ASSERT_EQ(kFileBytes, bytes.size());
    EXPECT_TRUE(bytes == std::vector<uint8_t>(kFileBytes, 0xA0) || bytes == std::vector<uint8_t>(kFileBytes, 0xA1))
        << "the file mixes both writers' bytes";
    EXPECT_EQ(std::vector<std::string>{"anlage.zcf"}, files_in(folder));

    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace zav
