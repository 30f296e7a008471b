// zavctl.exe, the command-line tool, under Wine against the virtual device
// on COM1: the console exe of the same width as the program.
#include <algorithm>
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
    bytes.resize(65536);
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

// Two adapters, one series: each COM port's device reads its row of the
// plan on a thread of its own, every line names its port, and the series
// ends by itself once both rows are done.
TEST_F(ProgramTest, ZavctlRunsOneSeriesOnTwoComPorts) {
    const std::string plan = temp_file("zavctl-two-ports.csv");
    const std::string folder = temp_file("zavctl-two-ports");
    HANDLE file = CreateFileA(plan.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const char rows[] = "bezeichnung\r\nErstes\r\nZweites\r\n";
    DWORD written = 0;
    WriteFile(file, rows, sizeof rows - 1, &written, nullptr);
    CloseHandle(file);
    DeleteFileA((folder + ".jsonl").c_str());
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM1 --port COM2 read --series --plan \"" + plan + "\" -o \"" + folder +
                             "\" --log \"" + folder + ".jsonl\"",
                         run, 60000));
    EXPECT_EQ(0u, run.exit_code) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find("[COM1] Ger")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("[COM2] Ger")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("Serie beendet: 2 gesichert, 0 fehlgeschlagen.")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  [COM1] 1 gesichert")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  [COM2] 1 gesichert")) << run.out;
}

TEST_F(ProgramTest, ZavctlNamesAPortThatCannotBeOpened) {
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM9 identify", run));
    EXPECT_EQ(3u, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("Port COM9 konnte nicht ge")) << run.err;
}

TEST_F(ProgramTest, ZavctlTracesTheFramesIntoANewFileOnly) {
    const std::string path = temp_file("zavctl-spur.txt");
    DeleteFileA(path.c_str());
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM1 --trace \"" + path + "\" identify", run));
    EXPECT_EQ(0u, run.exit_code) << run.err;
    const std::vector<uint8_t> bytes = file_bytes(path);
    const std::string trace(bytes.begin(), bytes.end());
    EXPECT_EQ(0u, trace.find("zavctl-trace 1\n")) << trace;
    EXPECT_NE(std::string::npos, trace.find(" COM1 pc>dev FF 2B FE | Erkennung (+)\n")) << trace;
    EXPECT_NE(std::string::npos, trace.find(" COM1 dev>pc FF F0 FE | ACK\n")) << trace;
    EXPECT_NE(std::string::npos, trace.find(" COM1 close\n")) << trace;

    // Never over a file that is there.
    ASSERT_TRUE(run_tool("--port COM1 --trace \"" + path + "\" identify", run));
    EXPECT_EQ(2u, run.exit_code) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("Datei existiert bereits")) << run.err;
    EXPECT_EQ(bytes, file_bytes(path));
    DeleteFileA(path.c_str());
}

// A USB dual adapter's second port as SetupAPI knows it, made up in Wine's
// registry: Wine's SetupAPI lists the devices of its Enum key, while its
// own COM1 stands only in the SERIALCOMM map.
class FakeUsbPort {
public:
    static constexpr const char* kEnum = "System\\CurrentControlSet\\Enum";
    static constexpr const char* kDevice = "USB\\VID_0403&PID_6010&MI_01";
    static constexpr const char* kInstance = "USB\\VID_0403&PID_6010&MI_01\\ZAVTEST&0&0001";

    FakeUsbPort() {
        HKEY usb;
        had_usb_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kEnum) + "\\USB").c_str(), 0, KEY_READ, &usb) ==
                   ERROR_SUCCESS;
        if (had_usb_) RegCloseKey(usb);
        set(kInstance, "ClassGUID", "{4d36e978-e325-11ce-bfc1-08002be10318}");
        set(kInstance, "FriendlyName", "USB Serial Port (COM47)");
        set(kInstance, "DeviceDesc", "USB Serial Port");
        set(kInstance, "Mfg", "FTDI");
        set(kInstance, "Service", "FTDIBUS");
        set(std::string(kInstance) + "\\Device Parameters", "PortName", "COM47");
    }
    ~FakeUsbPort() {
        const std::string instance = std::string(kEnum) + "\\" + kInstance;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (instance + "\\Device Parameters").c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, instance.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kEnum) + "\\" + kDevice).c_str());
        if (!had_usb_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kEnum) + "\\USB").c_str());
    }
    bool ok() const { return ok_; }

private:
    void set(const std::string& key_path, const char* name, const char* value) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kEnum) + "\\" + key_path).c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            ok_ = false;
            return;
        }
        ok_ = ok_ && RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                    static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
    }

    bool had_usb_ = false;
    bool ok_ = true;
};

// The console writes its lines with CR LF.
std::string lines_of(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

TEST_F(ProgramTest, ZavctlPortsNamesTheAdapterAsSetupApiDescribesIt) {
    FakeUsbPort adapter;
    ASSERT_TRUE(adapter.ok());
    ToolRun run;
    ASSERT_TRUE(run_tool("ports", run));
    EXPECT_EQ(0u, run.exit_code) << run.err;
    run.out = lines_of(run.out);
    // The ids and the interface from the instance id, maker and driver from
    // the device's properties; the name Device Manager shows without "(COM47)".
    EXPECT_NE(std::string::npos, run.out.find("COM47  USB Serial Port\n")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("USB 0403:6010, Schnittstelle 1, Hersteller FTDI, Treiber FTDIBUS"))
        << run.out;
    // Wine's own port is known only by its name.
    EXPECT_NE(std::string::npos, run.out.find("COM1\n")) << run.out;

    ASSERT_TRUE(run_tool("--json ports", run));
    run.out = lines_of(run.out);
    EXPECT_NE(std::string::npos, run.out.find("\"name\": \"COM1\",\n      \"problem_code\": null,\n      "
                                              "\"stable_name\": \"\",\n      \"usb\": null"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("\"interface\": 1,")) << run.out;
}

}  // namespace
}  // namespace zavtest
