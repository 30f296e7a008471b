// Shared ground of the fault tests (fault_*_test.cpp): the program's three
// transaction windows, their commands and outcome boxes, and a watch on what
// the program's process costs while a fault lasts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"

namespace zavtest {

// Control ids of the configuration window's buttons and progress bar.
constexpr int kConfigRead = config_control::kRead;
constexpr int kConfigVerify = config_control::kVerify;
constexpr int kConfigProgram = config_control::kProgram;
constexpr int kConfigProgress = config_control::kProgress;

constexpr const char kConnectCaption[] = "ZAV-Verbinden";
constexpr const char kConfigCaption[] = "ZAV-Konfiguration";
constexpr const char kSetupCaption[] = "ZAV-Setup";

constexpr const char kNotFound[] = "Kein ZAV 160 gefunden !";
constexpr const char kRecognised[] = "ZAV 160 erkannt";
constexpr const char kLinkLost[] = "Verbindung unterbrochen !";
constexpr const char kPortBusy[] = "Port COM1 konnte nicht geöffnet werden !";

// What one finished transaction showed.
struct Outcome {
    bool box = false;           // a box with the expected caption came
    std::string text;
    IconKind icon = IconKind::unknown;
    double seconds = 0;         // from the command to the box
};

// CPU time of the program and of the prefix's wineserver over a stretch of
// wall time; -1 when a figure cannot be read.
struct CpuWatch {
    int program_pid = -1;
    int server_pid = -1;
    double program_start = 0, server_start = 0;
    DWORD wall_start = 0;

    // False when either process's CPU time cannot be read.
    bool start(int program, int server) {
        program_pid = program;
        server_pid = server;
        UnixUsage program_usage, server_usage;
        const bool read = unix_usage(program_pid, program_usage) && unix_usage(server_pid, server_usage);
        program_start = program_usage.cpu_seconds;
        server_start = server_usage.cpu_seconds;
        wall_start = GetTickCount();
        return read;
    }
    double wall() const { return (GetTickCount() - wall_start) / 1000.0; }
    double program_cpu() const {
        UnixUsage usage;
        return unix_usage(program_pid, usage) ? usage.cpu_seconds - program_start : -1;
    }
    double server_cpu() const {
        UnixUsage usage;
        return unix_usage(server_pid, usage) ? usage.cpu_seconds - server_start : -1;
    }
};

// A record whose every field the form accepts as it is, so that it can be
// read, programmed back and verified unchanged: every fitted alarm has an
// action list, three 5-tone entries, one relay in use.
inline std::vector<uint8_t> programmable_record() {
    std::vector<uint8_t> record(108, 0xFF);
    record[0] = 3;
    const char entries[] = "123452345634567";
    for (int i = 0; i < 15; ++i) record[1 + i] = static_cast<uint8_t>(entries[i]);
    const uint8_t lists[5][3] = {{0x41, 0xFF, 0xFF}, {0x42, 0x03, 0xFF}, {0x85, 0x10, 0xFF},
                                 {0x0A, 0xFF, 0xFF}, {0x7C, 0xFF, 0xFF}};
    for (int a = 0; a < 5; ++a)
        for (int i = 0; i < 3; ++i) record[51 + 9 * a + i] = lists[a][i];
    record[96] = 10;
    record[97] = 5;
    record[98] = 1;
    record[99] = 0;
    record[100] = 0x0F;
    record[101] = 5;
    for (int r = 1; r < 4; ++r) {
        record[100 + 2 * r] = 0xFF;
        record[101 + 2 * r] = 0;
    }
    return record;
}

class FaultTest : public ProgramTest {
protected:
    HWND config = nullptr;
    HWND setup = nullptr;

    void TearDown() override {
        ProgramTest::TearDown();
        // A test that failed with the line down must not take the next one
        // with it; reset brings the line back.
        sim("reset");
    }

    HWND config_control(int id) const { return find_child(config, id); }
    HWND setup_control(int id) const { return find_child(setup, id); }

    // Waits for a box with this caption, reads it and closes it.
    Outcome await_box(const char* caption, DWORD since, int timeout_ms = kTransactionWait) {
        Outcome outcome;
        MessageBoxInfo info;
        outcome.box = wait_message_box(caption, info, timeout_ms);
        outcome.seconds = (GetTickCount() - since) / 1000.0;
        if (!outcome.box) return outcome;
        outcome.text = info.text;
        outcome.icon = info.icon;
        press_ok(info);
        return outcome;
    }

    Outcome run_connect() {
        const DWORD since = GetTickCount();
        post_menu_command(kMenuConnect);
        return await_box(kConnectCaption, since);
    }

    // Clicks a command button of the configuration or setup window and waits
    // for the outcome box. "Programmieren" of the configuration window runs
    // an identification first; its box comes only after both.
    Outcome run_button(HWND button, const char* caption, int timeout_ms = kTransactionWait) {
        const DWORD since = GetTickCount();
        click(button);
        return await_box(caption, since, timeout_ms);
    }
    Outcome run_config(int id, int timeout_ms = 2 * kTransactionWait) {
        return run_button(config_control(id), kConfigCaption, timeout_ms);
    }
    Outcome run_setup(int id) { return run_button(setup_control(id), kSetupCaption); }

    ::testing::AssertionResult connected() {
        Outcome outcome = run_connect();
        if (outcome.text != kRecognised)
            return ::testing::AssertionFailure() << "connect showed \"" << outcome.text << "\"";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult open_config() {
        post_menu_command(kMenuConfiguration);
        if (!wait_until([&] { return (config = find_child_by_class(main(), "Konfig")) != nullptr; }))
            return ::testing::AssertionFailure() << "the configuration window did not open";
        if (!wait_until([&] { return config_control(kConfigProgress) != nullptr; }))
            return ::testing::AssertionFailure() << "the configuration window has no progress bar";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult open_setup() {
        post_menu_command(kMenuSetup);
        if (!wait_until([&] { return (setup = find_child_by_class(main(), "Setup")) != nullptr; }))
            return ::testing::AssertionFailure() << "no setup window";
        if (!wait_until([&] { return setup_control(kSetupProgram) != nullptr; }))
            return ::testing::AssertionFailure() << "setup window without its buttons";
        return ::testing::AssertionSuccess();
    }

    // Program in service mode, connected, with the configuration window open.
    ::testing::AssertionResult configuration_ready() {
        ::testing::AssertionResult result = start(kAccessCode);
        if (result) result = connected();
        if (result) result = open_config();
        return result;
    }

    // As configuration_ready, and the fields hold the device's programmable
    // record (read from it), so "Programmieren" and "Verifizieren" can run.
    ::testing::AssertionResult fields_ready() {
        if (!sim("record " + hex_text(programmable_record())))
            return ::testing::AssertionFailure() << "the device took no record";
        ::testing::AssertionResult result = configuration_ready();
        if (!result) return result;
        Outcome outcome = run_config(kConfigRead);
        if (outcome.text != "Konfiguration gelesen !")
            return ::testing::AssertionFailure() << "read showed \"" << outcome.text << "\"";
        return ::testing::AssertionSuccess();
    }

    // Program in service mode with the setup window open and its options
    // filled from the device (a valid "Lesen").
    ::testing::AssertionResult setup_ready() {
        ::testing::AssertionResult result = start(kAccessCode);
        if (!result) return result;
        return setup_reopened();
    }

    // The setup window (again) open in the running program, read from the device.
    ::testing::AssertionResult setup_reopened() {
        ::testing::AssertionResult result = open_setup();
        if (!result) return result;
        Outcome outcome = run_setup(kSetupRead);
        if (outcome.text != "Setup gelesen !")
            return ::testing::AssertionFailure() << "setup read showed \"" << outcome.text << "\"";
        return ::testing::AssertionSuccess();
    }

    void close_window(HWND& window) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(wait_until([&] { return !IsWindow(window); })) << "the window did not close";
        window = nullptr;
    }

    bool config_buttons_enabled() const {
        for (int id = kConfigRead; id <= kConfigProgram; ++id)
            if (!is_enabled(config_control(id))) return false;
        return true;
    }
    bool setup_buttons_enabled() const {
        return is_enabled(setup_control(kSetupRead)) && is_enabled(setup_control(kSetupProgram));
    }

    // The device's stored configuration record (without sum and complement).
    std::vector<uint8_t> device_record() {
        std::vector<uint8_t> bytes;
        if (!sim_stored_record(bytes) || bytes.size() < 108) return {};
        bytes.resize(108);
        return bytes;
    }

    // A count from "get stats", e.g. "programmings"; -1 if missing.
    long sim_stat(const char* name) {
        std::string reply;
        if (!sim_command("get stats", reply)) return -1;
        const std::string key = std::string(name) + "=";
        size_t at = reply.find(key);
        return at == std::string::npos ? -1 : std::atol(reply.c_str() + at + key.size());
    }
};

}  // namespace zavtest
