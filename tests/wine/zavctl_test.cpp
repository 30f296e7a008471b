// zavctl.exe, the command-line tool, under Wine against the virtual device
// on COM1: the console exe of the same width as the program.
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"

namespace zavtest {
namespace {

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(1024);
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

std::string temp_file(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

TEST_F(ProgramTest, ZavctlIdentifiesTheDeviceOnCom1) {
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM1 --json identify", run));
    EXPECT_EQ(0u, run.exit_code) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("\"version\": \"2.30\"")) << run.out;
    std::vector<uint8_t> setup;
    ASSERT_TRUE(sim_setup_block(setup));
    EXPECT_NE(std::string::npos, run.out.find("\"setup\": \"" + hex_text(setup) + "\"")) << run.out;
}

TEST_F(ProgramTest, ZavctlReadsTheDevicesRecordIntoAFile) {
    const std::string path = temp_file("zavctl-read.zcf");
    DeleteFileA(path.c_str());
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM1 read -o \"" + path + "\"", run));
    EXPECT_EQ(0u, run.exit_code) << run.err;

    std::vector<uint8_t> stored;
    ASSERT_TRUE(sim_stored_record(stored));
    std::vector<uint8_t> expected(reinterpret_cast<const uint8_t*>("ZAV-Konfigurationsdatei"),
                                  reinterpret_cast<const uint8_t*>("ZAV-Konfigurationsdatei") + 23);
    unsigned sum = 0;
    for (size_t i = 0; i < 108; ++i) {
        expected.push_back(stored[i]);
        sum += stored[i];
    }
    expected.push_back(static_cast<uint8_t>(sum & 0xFF));
    expected.push_back(static_cast<uint8_t>(sum >> 8));
    EXPECT_EQ(expected, file_bytes(path));
}

TEST_F(ProgramTest, ZavctlNamesAPortThatCannotBeOpened) {
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM9 identify", run));
    EXPECT_EQ(3u, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("Port COM9 konnte nicht ge")) << run.err;
}

}  // namespace
}  // namespace zavtest
