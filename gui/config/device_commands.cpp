// "Lesen", "Verifizieren" and "Programmieren": the configuration window's
// device transactions and what it makes of their end messages.
//
// "Programmieren" runs two transactions: an identification first, so that a
// record edited for one kind of device never reaches another, then the
// programming itself.
//
// Thread ownership: UI thread. The worker writes the read-back buffer (read)
// or the setup block (identification) and then posts the end message; this
// file reads them only when that message has arrived.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "gui/app/shell.h"
#include "gui/app/messages.h"
#include "core/config/config_commands.h"
#include "gui/config/config_window_parts.h"
#include "gui/link/link.h"
#include "core/link/worker.h"
#include "core/setup/setup_block.h"

namespace zav {
namespace {

constexpr int kReadProgressEnd = 13;     // last block number of a read
constexpr int kProgramProgressEnd = 6;   // last progress of a programming

struct CommandState {
    bool verify;                              // a finished read is compared, not taken over
    uint8_t kept_setup_block[kSetupBlockBytes];  // the block the record was edited for
};

CommandState g_commands;

bool start(HWND window, uint8_t command, uint8_t block_length, int progress_end) {
    if (!start_transaction(window, command, block_length)) return false;
    enable_command_buttons(false);
    SendMessageA(config_control(kIdProgress), PBM_SETRANGE, 0, MAKELPARAM(0, progress_end));
    return true;
}

void start_read(HWND window) { start(window, kReadCommand, kReadBlockLength, kReadProgressEnd); }

void on_read_finished(HWND window) {
    if (!device_copy_valid(g_read_back)) {
        show_error(window, kNoConfiguration, kCaptionConfiguration);
        return;
    }
    if (g_commands.verify) {
        const int differing = first_differing_byte(g_image, g_read_back);
        if (differing >= 0) {
            char text[kVerifyMessageBytes];
            format_verify_differs(differing, text, sizeof text);
            show_error(window, text, kCaptionConfiguration);
            return;
        }
        show_info(window, kVerifyOk, kCaptionConfiguration);
        return;
    }
    std::memcpy(g_image.bytes, g_read_back, kRecordBytes);
    show_new_record(window, kConfigurationRead);
}

// The identification has put the device's setup block into the image. The
// image keeps the block the record was edited for, whatever the device said.
void on_identified(HWND window) {
    uint8_t* block = &g_image.bytes[kSetupBlock];
    const bool same_type = setup_blocks_same_type(block, g_commands.kept_setup_block);
    std::memcpy(block, g_commands.kept_setup_block, kSetupBlockBytes);
    if (!same_type) {
        show_error(window, kTypeConflict, kCaptionConfiguration);
        return;
    }
    start(window, kProgramCommand, kProgramBlockLength, kProgramProgressEnd);
}

}  // namespace

void read_from_device(HWND window) {
    g_commands.verify = false;
    start_read(window);
}

void verify_against_device(HWND window) {
    g_commands.verify = true;
    if (!take_fields_into_image(window)) return;
    start_read(window);
}

void program_device(HWND window) {
    if (!take_fields_into_image(window)) return;
    std::memcpy(g_commands.kept_setup_block, &g_image.bytes[kSetupBlock], kSetupBlockBytes);
    start(window, kIdentifyCommand, g_command.block_length, kProgramProgressEnd);
}

// Progress is forwarded with a post so that the window never waits on the
// bar. A message of a transaction that is over (or not this window's) is
// dropped, so that it cannot move the bar after the end.
void on_transaction_progress(HWND window, WPARAM block_number) {
    if (!transaction_outstanding_for(window) || !g_shared.transaction_running) return;
    PostMessageA(config_control(kIdProgress), PBM_SETPOS, block_number, 0);
}

void on_transaction_end(HWND window, WPARAM result) {
    // A late or foreign end message must not stop a link this window does
    // not own, nor report an outcome twice.
    if (!transaction_outstanding_for(window)) return;
    port_stop();
    SendMessageA(config_control(kIdProgress), PBM_SETPOS, 0, 0);
    enable_command_buttons(true);
    switch (static_cast<uint32_t>(result)) {
        case kResultFailed:
            show_error(window, kConnectionLost, kCaptionConfiguration);
            break;
        case kResultRefused:
            show_error(window, kUpdateRefused, kCaptionConfiguration);
            break;
        case kResultWritten:
            show_info(window, kProgrammingDone, kCaptionConfiguration);
            break;
        case kResultRead:
            on_read_finished(window);
            break;
        case kResultIdentified:
            on_identified(window);
            break;
        default:
            break;
    }
}

}  // namespace zav
