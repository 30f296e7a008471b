// A serial port on Windows: COM1 to COM256, opened unshared for overlapped
// I/O and set up exactly as the windowed program sets its port
// (configure_port). Everything runs on the caller's thread: one overlapped
// read stays outstanding across calls, so no byte is lost between them, and
// each call waits for it together with the Ctrl+C event.
#include <windows.h>

#include <cstring>

#include "cli/platform/com_port_name.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/serial_port.h"
#include "cli/platform/win32/interrupt_event.h"
#include "cli/platform/win32/windows_error_text.h"
#include "core/link/port_names.h"
#include "win32/com_port.h"

namespace zav::cli {

namespace {

constexpr DWORD kReadBytes = 256;
// A read that ends at once without bytes is issued again after this pause,
// so that a port that keeps doing so cannot make the tool spin.
constexpr DWORD kEmptyReadPause = 10;
// Reads failing at once this many times in a row, with errors that do not
// plainly say the device has gone, mean all the same that it has.
constexpr unsigned kFailedReadsLimit = 20;
// How often a wait for the outstanding read looks whether the line is still
// there (see line_lost).
constexpr DWORD kLineCheckInterval = 100;
// How long past its own time-out a write is waited for before it is
// cancelled: only for a driver that does not keep the time-out.
constexpr DWORD kWriteGrace = 1000;

// Errors with which Windows answers I/O on a port whose device has gone
// (a pulled USB adapter) or whose I/O was ended under us.
bool device_gone(DWORD error) {
    switch (error) {
        case ERROR_OPERATION_ABORTED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_REMOVED:
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_HANDLE:
        case ERROR_GEN_FAILURE:
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_FILE_NOT_FOUND:
            return true;
        default:
            return false;
    }
}

class Win32SerialPort final : public SerialLine {
public:
    Win32SerialPort(HANDLE port, HANDLE read_event, HANDLE write_event)
        : port_(port), read_event_(read_event), write_event_(write_event) {}

    ~Win32SerialPort() override {
        forget_pending_read();
        CloseHandle(port_);
        CloseHandle(read_event_);
        CloseHandle(write_event_);
    }

    LineStatus write(const uint8_t* bytes, size_t n) override {
        OVERLAPPED write = {};
        write.hEvent = write_event_;
        const DWORD length = static_cast<DWORD>(n);
        bool cancelled = false;
        if (!WriteFile(port_, bytes, length, nullptr, &write)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) return device_gone(error) ? LineStatus::kGone : LineStatus::kTimedOut;
            // The port's write time-out (100 + 10 n ms) ends the write; a
            // driver that ignores it gets a little longer, then the write
            // is cancelled.
            const DWORD allowed = 100 + 10 * length + kWriteGrace;
            if (WaitForSingleObject(write_event_, allowed) != WAIT_OBJECT_0) {
                cancel_all_io();
                cancelled = true;
            }
        }
        DWORD written = 0;
        if (!GetOverlappedResult(port_, &write, &written, TRUE)) {
            return !cancelled && device_gone(GetLastError()) ? LineStatus::kGone : LineStatus::kTimedOut;
        }
        return written == length ? LineStatus::kOk : LineStatus::kTimedOut;
    }

    LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) override {
        count = 0;
        if (take_held(buffer, size, count)) return LineStatus::kOk;
        if (interrupted()) return LineStatus::kInterrupted;
        const DWORD started = GetTickCount();
        for (;;) {
            const DWORD elapsed = GetTickCount() - started;
            const DWORD left = elapsed < timeout_ms ? timeout_ms - elapsed : 0;
            DWORD error = ERROR_SUCCESS;
            const ReadStep step =
                read_pending_ ? await_read(left < kLineCheckInterval ? left : kLineCheckInterval, error)
                              : issue_read(error);
            switch (step) {
                case ReadStep::kEnded:
                    failed_reads_ = 0;
                    if (take_held(buffer, size, count)) return LineStatus::kOk;
                    break;  // nothing came with it
                case ReadStep::kOutstanding:
                    failed_reads_ = 0;
                    if (line_lost()) return LineStatus::kGone;
                    if (left == 0) return LineStatus::kTimedOut;  // the read stays outstanding
                    continue;
                case ReadStep::kStop:
                    return LineStatus::kInterrupted;
                case ReadStep::kFailed:
                    if (device_gone(error) || ++failed_reads_ >= kFailedReadsLimit) return LineStatus::kGone;
                    break;
            }
            // The next read is issued after a pause, so that a port that
            // keeps ending reads at once cannot make the tool spin.
            if (left == 0) return LineStatus::kTimedOut;
            if (pause(left < kEmptyReadPause ? left : kEmptyReadPause)) return LineStatus::kInterrupted;
        }
    }

    // Only the input: the last frame of the transaction before may still be
    // on its way out (under Wine, in a pseudo-terminal that a purge of the
    // output would empty).
    void discard_pending() override {
        forget_pending_read();
        held_begin_ = held_end_ = 0;
        PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR);
    }

private:
    enum class ReadStep {
        kEnded,        // the read has ended; its bytes, perhaps none, are held
        kOutstanding,  // the read is still under way
        kStop,         // a stop at once is wanted
        kFailed,       // the read failed with error
    };

    ReadStep issue_read(DWORD& error) {
        read_ = OVERLAPPED();
        read_.hEvent = read_event_;
        if (ReadFile(port_, input_, kReadBytes, nullptr, &read_)) return finish_read(FALSE, error);
        error = GetLastError();
        if (error != ERROR_IO_PENDING) return ReadStep::kFailed;
        read_pending_ = true;
        return ReadStep::kOutstanding;
    }

    // Waits up to ms for the outstanding read, or for Ctrl+C.
    ReadStep await_read(DWORD ms, DWORD& error) {
        HANDLE wait_list[2] = {read_event_, interrupt_event()};
        const DWORD woken = WaitForMultipleObjects(wait_list[1] != nullptr ? 2 : 1, wait_list, FALSE, ms);
        if (woken == WAIT_OBJECT_0) return finish_read(FALSE, error);
        if (woken == WAIT_TIMEOUT) return ReadStep::kOutstanding;
        // The event is signalled only while a stop at once is wanted.
        if (woken == WAIT_OBJECT_0 + 1) return interrupted() ? ReadStep::kStop : ReadStep::kOutstanding;
        error = GetLastError();
        return ReadStep::kFailed;
    }

    // Collects the result of the read just issued or just signalled.
    ReadStep finish_read(BOOL wait, DWORD& error) {
        DWORD got = 0;
        const bool ended_well = GetOverlappedResult(port_, &read_, &got, wait) != 0;
        if (!ended_well) {
            error = GetLastError();
            if (error == ERROR_IO_INCOMPLETE) return ReadStep::kOutstanding;
        }
        read_pending_ = false;
        // A cancelled read may have taken bytes before it ended.
        held_begin_ = 0;
        held_end_ = got <= kReadBytes ? got : 0;
        return ended_well ? ReadStep::kEnded : ReadStep::kFailed;
    }

    // Wine leaves a read on a hung-up line outstanding for ever; asking the
    // port for its state tells (ERROR_NOT_READY), as it tells on Windows of
    // an adapter that has been pulled.
    bool line_lost() {
        DWORD errors = 0;
        COMSTAT state;
        if (ClearCommError(port_, &errors, &state)) return false;
        return device_gone(GetLastError());
    }

    bool take_held(uint8_t* buffer, size_t size, size_t& count) {
        if (held_begin_ >= held_end_) return false;
        const size_t available = held_end_ - held_begin_;
        count = available < size ? available : size;
        std::memcpy(buffer, input_ + held_begin_, count);
        held_begin_ += count;
        return count > 0;
    }

    // Waits a moment, or until a stop at once is wanted (true).
    bool pause(DWORD ms) {
        const HANDLE stop = interrupt_event();
        if (stop == nullptr) {
            Sleep(ms);
            return false;
        }
        return WaitForSingleObject(stop, ms) == WAIT_OBJECT_0 && interrupted();
    }

    // Cancels the outstanding read and waits until it has let go of the
    // buffer; its bytes are dropped.
    void forget_pending_read() {
        if (!read_pending_) return;
        CancelIo(port_);
        DWORD ignored = 0;
        finish_read(TRUE, ignored);
        held_begin_ = held_end_ = 0;
    }

    // CancelIo ends every I/O of this thread on the port, the outstanding
    // read too: keep what that read had got, so no byte is lost.
    void cancel_all_io() {
        CancelIo(port_);
        DWORD ignored = 0;
        if (read_pending_) finish_read(TRUE, ignored);
    }

    HANDLE port_;
    HANDLE read_event_;
    HANDLE write_event_;
    OVERLAPPED read_ = {};
    bool read_pending_ = false;
    unsigned failed_reads_ = 0;  // in a row, across calls
    uint8_t input_[kReadBytes];
    size_t held_begin_ = 0;
    size_t held_end_ = 0;
};

class TickClock final : public Clock {
public:
    uint32_t now_ms() override { return GetTickCount(); }
};

}  // namespace

std::unique_ptr<SerialLine> open_serial_port(const std::string& name, PortOpenFailure& failure) {
    failure = PortOpenFailure();
    const std::string port_name = canonical_com_port_name(name);
    DWORD system_error = 0;
    const HANDLE port =
        port_name.empty() ? INVALID_HANDLE_VALUE : open_com_port(port_name.c_str(), failure.kind, system_error);
    if (port == INVALID_HANDLE_VALUE) {
        if (port_name.empty()) failure.kind = PortFailure::kBadName;
        if (system_error != 0) failure.detail = windows_error_text(system_error);
        return nullptr;
    }
    // Manual-reset events, as overlapped I/O wants them: ReadFile and
    // WriteFile reset them when the I/O starts.
    const HANDLE read_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE write_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (read_event == nullptr || write_event == nullptr) {
        failure.kind = PortFailure::kOther;
        failure.detail = windows_error_text(GetLastError());
        if (read_event != nullptr) CloseHandle(read_event);
        if (write_event != nullptr) CloseHandle(write_event);
        CloseHandle(port);
        return nullptr;
    }
    return std::make_unique<Win32SerialPort>(port, read_event, write_event);
}

Clock& system_clock() {
    static TickClock clock;
    return clock;
}

}  // namespace zav::cli
