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

// A finished read replaces the record; everything else is only told.
void on_read_finished(HWND window) {
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
    const ConfigVerdict verdict = judge_config_end(static_cast<uint32_t>(result), g_commands.verify, g_image, g_read_back);
    switch (verdict.end) {
        case ConfigEnd::kNothing:
            break;
        case ConfigEnd::kRead:
            on_read_finished(window);
            break;
        case ConfigEnd::kIdentified:
            on_identified(window);
            break;
        default: {
            char text[kConfigEndTextBytes];
            format_config_end(verdict, text, sizeof text);
            if (config_end_is_success(verdict.end)) {
                show_info(window, text, kCaptionConfiguration);
            } else {
                show_error(window, text, kCaptionConfiguration);
            }
            break;
        }
    }
}

}  // namespace zav
