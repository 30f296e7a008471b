#include "win32/com_port.h"

#include "core/link/port_names.h"

namespace zav {

namespace {

constexpr DWORD kQueueBytes = 1024;

}  // namespace

void configure_port(HANDLE port) {
    SetCommMask(port, EV_RXCHAR);
    SetupComm(port, kQueueBytes, kQueueBytes);
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    // A read ends 1 ms after the line falls quiet; a write of n bytes takes
    // at most 100 + 10 n ms.
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = 1;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 100;
    SetCommTimeouts(port, &timeouts);

    // 2400 8N1, no flow control of any kind, DTR and RTS held inactive; the
    // driver's other settings stay as they are.
    DCB line = {};
    line.DCBlength = sizeof line;
    GetCommState(port, &line);
    line.DCBlength = sizeof line;
    line.BaudRate = CBR_2400;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = 1;
    line.fParity = 0;
    line.fOutxCtsFlow = 0;
    line.fOutxDsrFlow = 0;
    line.fDtrControl = DTR_CONTROL_DISABLE;
    line.fDsrSensitivity = 0;
    line.fTXContinueOnXoff = 0;
    line.fOutX = 0;
    line.fInX = 0;
    line.fErrorChar = 0;
    line.fNull = 0;
    line.fRtsControl = RTS_CONTROL_DISABLE;
    line.fAbortOnError = 0;
    SetCommState(port, &line);
}

HANDLE open_com_port(const char* port_name, PortFailure& failure, DWORD& system_error) {
    failure = PortFailure::kNone;
    system_error = 0;
    char path[kDevicePathBytes];
    if (!port_device_path(port_name, path, sizeof path)) {
        failure = PortFailure::kBadName;
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE port = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        system_error = GetLastError();
        switch (system_error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                failure = PortFailure::kMissing;
                break;
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
                // A port is opened unshared: denied means another program has it.
                failure = PortFailure::kBusy;
                break;
            default:
                failure = PortFailure::kOther;
                break;
        }
        return INVALID_HANDLE_VALUE;
    }
    configure_port(port);
    return port;
}

}  // namespace zav
