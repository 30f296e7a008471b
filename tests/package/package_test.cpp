// The released program as a technician gets it: the exe unpacked from the
// zip starts, shows its main window and version, loads the example files
// that come with it, and ends with exit code 0 when its window is closed;
// the command-line tool beside it finds the device.
//
// run_package_test.sh unpacks the zip and sets ZAV_EXE to the unpacked exe
// and ZAV_PACKAGE_DIR to the unpacked folder (Windows paths).
#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"

namespace zavtest {
namespace {

std::string package_folder() {
    char value[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("ZAV_PACKAGE_DIR", value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::vector<std::string> example_files() {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    const std::string folder = package_folder() + "\\Beispiele\\";
    HANDLE search = FindFirstFileA((folder + "*.zcf").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        files.push_back(folder + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

bool file_in_package(const char* name) {
    return GetFileAttributesA((package_folder() + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

using PackageTest = ProgramTest;

TEST_F(PackageTest, HoldsTheProgramTheGuideTheLicenceAndTheExamples) {
    ASSERT_FALSE(package_folder().empty()) << "ZAV_PACKAGE_DIR is not set";
    EXPECT_TRUE(file_in_package("zavkonfig.exe"));
    EXPECT_TRUE(file_in_package("zavctl.exe"));
    EXPECT_TRUE(file_in_package("Benutzerhandbuch.html"));
    EXPECT_TRUE(file_in_package("LICENSE.txt"));
    EXPECT_EQ(2u, example_files().size());
}

TEST_F(PackageTest, StartsShowsItsVersionAndEndsWithCodeZero) {
    ASSERT_TRUE(start());
    post_menu_command(kMenuVersion);
    MessageBoxInfo box;
    ASSERT_TRUE(wait_message_box("ZAV-Konfiguration", box));
    EXPECT_EQ("V" ZAV_SOURCE_VERSION " ", box.text.substr(0, sizeof ZAV_SOURCE_VERSION + 1));
    ASSERT_TRUE(press_ok(box));

    PostMessageA(main(), WM_CLOSE, 0, 0);
    DWORD exit_code = 1234;
    ASSERT_TRUE(wait_program_exit(program, exit_code));
    EXPECT_EQ(0u, exit_code);
}

TEST_F(PackageTest, TheCommandLineToolFindsTheDevice) {
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM1 identify", run));
    EXPECT_EQ(0u, run.exit_code) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("ZAV 160 erkannt")) << run.out;
}

TEST_F(PackageTest, LoadsEveryExampleFile) {
    const std::vector<std::string> files = example_files();
    ASSERT_FALSE(files.empty());
    ASSERT_TRUE(start());
    post_menu_command(kMenuConnect);
    MessageBoxInfo box;
    ASSERT_TRUE(wait_message_box("ZAV-Verbinden", box, kTransactionWait));
    ASSERT_EQ("ZAV 160 erkannt", box.text);
    ASSERT_TRUE(press_ok(box));
    post_menu_command(kMenuConfiguration);
    HWND config = nullptr;
    ASSERT_TRUE(wait_until([&] { return (config = find_child_by_class(main(), "Konfig")) != nullptr; }));
    ASSERT_TRUE(wait_until([&] { return find_child(config, 13) != nullptr; }));

    for (const std::string& path : files) {
        click(find_child(config, 13));  // "Laden"
        HWND dialog = nullptr;
        ASSERT_TRUE(wait_until([&] { return (dialog = open_dialog(program)) != nullptr; })) << path;
        HWND name = nullptr;
        wait_until([&] { return (name = find_child(dialog, 1148)) != nullptr; });
        ASSERT_NE(nullptr, name);
        HWND edit = find_child_by_class(name, "Edit");
        set_text(edit ? edit : name, path);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        ASSERT_TRUE(wait_message_box("ZAV-Konfiguration", box)) << path;
        EXPECT_EQ("Konfigurations-Datei gelesen !", box.text) << path;
        ASSERT_TRUE(press_ok(box));
    }
}

}  // namespace
}  // namespace zavtest
