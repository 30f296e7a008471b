// The worker thread itself (gui/link/worker_thread.cpp), run under Wine:
// once the stop event is set it hands nothing more to its machine, writes
// nothing and posts nothing. The test plays the window and the receiver: the
// port is a pipe whose other end shows what the worker wrote, and device
// frames go into the ring as the receiver would store them.
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "gui/app/shell.h"
#include "gui/link/link.h"
#include "gui/link/link_threads.h"

namespace zav {
namespace {

using Bytes = std::vector<uint8_t>;

class WorkerThread : public ::testing::Test {
protected:
    HANDLE line = INVALID_HANDLE_VALUE;  // what the device would read
    HWND window = nullptr;               // the requesting window

    void SetUp() override {
        ASSERT_TRUE(create_link_events());
        clear_shared_state(g_shared);
        set_image_start_values(g_image);
        char name[64];
        wsprintfA(name, "\\\\.\\pipe\\zav-worker-thread-%lu", GetCurrentProcessId());
        line = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, line);
        g_shared.port = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, g_shared.port);
        window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window);
        g_shared.requesting_window = window;
    }

    void TearDown() override {
        if (g_worker_thread != nullptr) {
            SetEvent(g_link_events.stop);
            WaitForSingleObject(g_worker_thread, 5000);
            CloseHandle(g_worker_thread);
            g_worker_thread = nullptr;
        }
        if (g_shared.port != nullptr && g_shared.port != INVALID_HANDLE_VALUE) CloseHandle(g_shared.port);
        if (line != INVALID_HANDLE_VALUE) CloseHandle(line);
        if (window != nullptr) DestroyWindow(window);
        close_link_events();
    }

    static void frame_stored(void*) { ReleaseSemaphore(g_link_events.frame, 1, nullptr); }

    void device_says(std::initializer_list<uint8_t> payload) {
        uint8_t wire[2 * 16 + 2];
        const size_t length = encode_frame(payload.begin(), payload.size(), wire);
        decode_bytes(g_shared, g_frames, wire, length, frame_stored, nullptr);
    }

    static bool reaches_state(uint32_t state) {
        for (int waited = 0; waited < 5000; waited += 10) {
            if (*static_cast<volatile uint32_t*>(&g_shared.transaction_state) == state) return true;
            Sleep(10);
        }
        return false;
    }

    Bytes written() const {
        DWORD available = 0;
        if (!PeekNamedPipe(line, nullptr, 0, nullptr, &available, nullptr) || available == 0) return {};
        Bytes bytes(available);
        DWORD got = 0;
        ReadFile(line, bytes.data(), available, &got, nullptr);
        bytes.resize(got);
        return bytes;
    }
};

// The wait names the frame event first when both are set; the stop must win
// all the same. The worker is held while both arrive, so that it cannot take
// the frame before the stop is set.
TEST_F(WorkerThread, AFrameThatComesWithTheStopIsNotActedUpon) {
    g_command = CommandRecord{kIdentifyCommand, 0};
    ASSERT_TRUE(start_worker_thread());
    ASSERT_TRUE(reaches_state(2)) << "the identify command was not sent";
    device_says({kAcknowledge});
    ASSERT_TRUE(reaches_state(3)) << "the acknowledgement was not taken";

    ASSERT_NE(static_cast<DWORD>(-1), SuspendThread(g_worker_thread));
    device_says({1, 2, 3, 4, 5});
    SetEvent(g_link_events.stop);
    ResumeThread(g_worker_thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_worker_thread, 5000)) << "the stop did not end the worker";

    EXPECT_EQ(Bytes(kSetupBlockBytes, 0),
              Bytes(g_image.bytes + kSetupBlock, g_image.bytes + kSetupBlock + kSetupBlockBytes))
        << "the setup block was stored after the stop";
    EXPECT_EQ(Bytes({0xFF, kIdentifyCommand, 0xFE}), written()) << "only the command may have been sent";
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, window, 0, 0, PM_REMOVE)) << "message " << message.message << " posted";
}

}  // namespace
}  // namespace zav
